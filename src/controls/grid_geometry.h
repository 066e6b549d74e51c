#pragma once

#include <QRect>
#include <QSize>

namespace brevant {

// Format flags of a grid cell; the values of the platform's text-drawing flags
// of the same names, so they can be combined the same way.
enum GridFormat : unsigned {
  kGridLeft = 0x0000,
  kGridCenter = 0x0001,  // horizontally
  kGridRight = 0x0002,
  kGridVCenter = 0x0004,  // vertically
  kGridBottom = 0x0008,
  kGridWordBreak = 0x0010,  // more than one line, broken between words
  kGridSingleLine = 0x0020,
  kGridNoPrefix = 0x0800,     // "&" is an ordinary character (always so here)
  kGridEndEllipsis = 0x8000,  // a cut line ends with "..."
};

// The default format of a cell: left, vertically centred, one line, "..." when cut.
inline constexpr unsigned kGridDefaultFormat =
    kGridLeft | kGridVCenter | kGridSingleLine | kGridNoPrefix | kGridEndEllipsis;

struct CellLayout {
  QRect image;  // empty when the cell has no picture
  QRect text;
};

// Where a cell's picture and text go. The picture sits at the cell's left edge
// plus the margin, centred vertically for kGridVCenter (never above the cell's
// top), at the bottom less the margin for kGridBottom, else at the top plus the
// margin; for kGridCenter it is centred horizontally instead. The text takes
// what is right of the picture (and the margin), inset by the margin on both sides.
CellLayout LayoutCell(const QRect& cell, const QSize& imageSize, unsigned format, int margin);

// The sort mark of a header cell: a small triangle at the right, centred vertically.
QRect SortMarkRect(const QRect& headerCell, int margin);

}  // namespace brevant
