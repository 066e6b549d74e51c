#include "controls/text_layout.h"

#include <QHash>
#include <QTextBoundaryFinder>

namespace brevant {

namespace {

// Room for rounding in the advances, so a text exactly as wide as the label fits.
constexpr qreal kSlack = 0.01;

void BreakParagraph(QStringView paragraph, qreal width,
                    const std::function<qreal(QStringView)>& advance, std::vector<QString>& lines) {
  if (paragraph.isEmpty()) {
    lines.emplace_back();
    return;
  }
  QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, paragraph.data(),
                             static_cast<int>(paragraph.size()));
  qsizetype lineStart = 0;
  qreal lineWidth = 0;
  qsizetype start = 0;
  for (qsizetype end = finder.toNextBoundary(); end > 0; end = finder.toNextBoundary()) {
    const qreal w = advance(paragraph.mid(start, end - start));
    if (start > lineStart && lineWidth + w > width + kSlack) {
      lines.push_back(paragraph.mid(lineStart, start - lineStart).toString());
      lineStart = start;
      lineWidth = 0;
    }
    lineWidth += w;
    start = end;
  }
  lines.push_back(paragraph.mid(lineStart).toString());
}

}  // namespace

std::vector<QString> BreakLines(const QString& text, qreal width,
                                const std::function<qreal(QStringView)>& advance) {
  std::vector<QString> lines;
  const QStringView all(text);
  qsizetype start = 0;
  for (qsizetype i = 0; i < all.size(); ++i) {
    const QChar c = all[i];
    if (c != u'\n' && c != u'\r')
      continue;
    BreakParagraph(all.mid(start, i - start), width, advance, lines);
    if (c == u'\r' && i + 1 < all.size() && all[i + 1] == u'\n')
      ++i;
    start = i + 1;
  }
  BreakParagraph(all.mid(start), width, advance, lines);
  return lines;
}

std::vector<QString> BreakLines(const QString& text, qreal width, const QFontMetricsF& metrics) {
  // Long texts repeat the same few characters; measure each once.
  QHash<QChar, qreal> single;
  return BreakLines(text, width, [&](QStringView grapheme) {
    if (grapheme.size() == 1) {
      const QChar c = grapheme[0];
      const auto found = single.constFind(c);
      if (found != single.constEnd())
        return *found;
      const qreal w = metrics.horizontalAdvance(c);
      single.insert(c, w);
      return w;
    }
    return metrics.horizontalAdvance(grapheme.toString());
  });
}

QString ElideText(const QString& text, qreal width, const QFontMetricsF& metrics) {
  if (metrics.horizontalAdvance(text) <= width + kSlack)
    return text;
  const QString dots = QStringLiteral("...");
  const qreal room = width - metrics.horizontalAdvance(dots);
  if (room < 0)
    return QString();
  QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
  qsizetype kept = 0;
  qreal used = 0;
  qsizetype start = 0;
  for (qsizetype end = finder.toNextBoundary(); end > 0; end = finder.toNextBoundary()) {
    used += metrics.horizontalAdvance(text.mid(start, end - start));
    if (used > room + kSlack)
      break;
    kept = end;
    start = end;
  }
  return text.left(kept) + dots;
}

}  // namespace brevant
