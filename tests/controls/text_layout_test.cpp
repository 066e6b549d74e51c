#include "controls/text_layout.h"

#include <gtest/gtest.h>

#include <QFont>
#include <QFontMetricsF>

#include "controls/skin_font.h"

namespace brevant {
namespace {

// Every character (grapheme) is 10 pixels wide.
qreal TenEach(QStringView) {
  return 10;
}

std::vector<QString> Lines(std::initializer_list<const char16_t*> lines) {
  std::vector<QString> out;
  for (const char16_t* line : lines)
    out.push_back(QString::fromUtf16(line));
  return out;
}

TEST(BreakLines, BreaksBetweenCharactersAndAtLineFeeds) {
  struct Case {
    const char16_t* text;
    qreal width;
    std::vector<QString> lines;
  };
  const Case cases[] = {
      {u"abcdef", 30, Lines({u"abc", u"def"})},    // in the middle of a word
      {u"abc", 30, Lines({u"abc"})},               // exactly as wide as the label
      {u"ab cd", 30, Lines({u"ab ", u"cd"})},      // a blank is a character too
      {u"abc", 5, Lines({u"a", u"b", u"c"})},      // narrower than one character
      {u"a\nb", 100, Lines({u"a", u"b"})},         // every line feed
      {u"a\r\nb", 100, Lines({u"a", u"b"})},       // CR LF is one break
      {u"a\n\nb", 100, Lines({u"a", u"", u"b"})},  // an empty line stays
      {u"a\n", 100, Lines({u"a", u""})},
      {u"", 100, Lines({u""})},
      {u"abcd\nefgh", 30, Lines({u"abc", u"d", u"efg", u"h"})},
      {u"\U0001F600\U0001F600", 10, Lines({u"\U0001F600", u"\U0001F600"})},  // pairs stay whole
      {u"e\u0301e\u0301", 10, Lines({u"e\u0301", u"e\u0301"})},              // with their marks
      {u"确定要应用配置吗", 40, Lines({u"确定要应", u"用配置吗"})},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(BreakLines(QString::fromUtf16(c.text), c.width, TenEach), c.lines)
        << QString::fromUtf16(c.text).toStdString() << " in " << c.width;
  }
}

TEST(BreakLines, NoLineIsWiderThanTheLabelAndNothingIsLost) {
  const QFontMetricsF metrics(SkinFont(QString(), 17));
  const QString text = QStringLiteral(
      "Supports mouse dragging of the original image and the cropping area,\nand supports "
      "zooming in/out display via the scroll wheel. 请确认计算机网卡已启用！");
  for (qreal width : {320.0, 100.0, 37.0, 1.0}) {
    const auto lines = BreakLines(text, width, metrics);
    QString joined;
    for (const QString& line : lines) {
      if (line.size() > 1) {
        EXPECT_LE(metrics.horizontalAdvance(line), width + 1) << line.toStdString();
      }
      joined += line;
    }
    QString expected = text;
    expected.remove(u'\n');
    EXPECT_EQ(joined, expected) << width;
  }
}

TEST(BreakLines, TenThousandCharactersWrapWithoutHanging) {
  const QString text(10000, u'x');
  const auto lines = BreakLines(text, 200, QFontMetricsF(SkinFont(QString(), 16)));
  qsizetype total = 0;
  for (const QString& line : lines)
    total += line.size();
  EXPECT_EQ(total, 10000);
  EXPECT_GT(lines.size(), 100u);
}

TEST(ElideText, CutLinesEndWithThreeDotsAndWholeCharacters) {
  const QFontMetricsF metrics(SkinFont(QString(), 17));
  const QString text = QStringLiteral("Intel(R) Ethernet Connection I219-LM");
  EXPECT_EQ(ElideText(text, 1000, metrics), text);
  for (qreal width : {150.0, 60.0, 20.0}) {
    const QString cut = ElideText(text, width, metrics);
    EXPECT_TRUE(cut.endsWith(QStringLiteral("..."))) << width;
    EXPECT_TRUE(text.startsWith(cut.chopped(3))) << width;
    EXPECT_LE(metrics.horizontalAdvance(cut), width + 0.5) << width;
  }
  EXPECT_EQ(ElideText(text, 2, metrics), QString());  // not even the dots fit
}

}  // namespace
}  // namespace brevant
