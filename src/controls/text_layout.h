#pragma once

#include <QFontMetricsF>
#include <QString>
#include <QStringView>
#include <functional>
#include <vector>

namespace brevant {

// Breaks a text into the lines a label draws: a new line at every line feed (a
// carriage return before it belongs to the break, and so does a lone one) and
// before any character that would not fit into `width` after the characters
// already on the line, in the middle of a word too. Characters are grapheme
// clusters, so a surrogate pair or a combining mark is never split. A line
// always takes at least one character, so a width narrower than one character
// gives one character per line instead of losing text or looping.
std::vector<QString> BreakLines(const QString& text, qreal width,
                                const std::function<qreal(QStringView)>& advance);

// The same, measured with a font.
std::vector<QString> BreakLines(const QString& text, qreal width, const QFontMetricsF& metrics);

// A line cut to a width with "..." at its end, as cut lines are drawn here; the
// text itself when it fits. Whole characters only.
QString ElideText(const QString& text, qreal width, const QFontMetricsF& metrics);

}  // namespace brevant
