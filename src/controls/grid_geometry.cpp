#include "controls/grid_geometry.h"

#include <algorithm>

namespace brevant {

CellLayout LayoutCell(const QRect& cell, const QSize& imageSize, unsigned format, int margin) {
  CellLayout layout;
  QRect text = cell.adjusted(margin, 0, -margin, 0);
  if (!imageSize.isEmpty()) {
    int x = cell.left() + margin;
    if (format & kGridCenter)
      x = cell.left() + (cell.width() - imageSize.width()) / 2;
    int y = cell.top() + margin;
    if (format & kGridVCenter) {
      y = std::max(cell.top(), cell.top() + (cell.height() - imageSize.height()) / 2);
    } else if (format & kGridBottom) {
      y = std::max(cell.top(), cell.bottom() + 1 - margin - imageSize.height());
    }
    layout.image = QRect(QPoint(x, y), imageSize);
    text.setLeft(std::max(text.left(), layout.image.right() + 1 + margin));
  }
  layout.text = text;
  return layout;
}

QRect SortMarkRect(const QRect& headerCell, int margin) {
  constexpr int kWidth = 8;
  constexpr int kHeight = 5;
  return QRect(headerCell.right() + 1 - margin - 4 - kWidth,
               headerCell.top() + (headerCell.height() - kHeight) / 2, kWidth, kHeight);
}

}  // namespace brevant
