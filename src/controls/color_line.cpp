#include "controls/color_line.h"

#include <QPainter>

namespace brevant {

CColorLine::CColorLine(QWidget* parent) : QWidget(parent) {}

CColorLine::CColorLine(const QColor& color, QWidget* parent) : QWidget(parent), color_(color) {}

void CColorLine::SetLineColor(const QColor& color) {
  color_ = color;
  update();
}

void CColorLine::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(0, height() / 2, width(), 1, color_);
}

}  // namespace brevant
