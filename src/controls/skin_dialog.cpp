#include "controls/skin_dialog.h"

#include <QKeyEvent>
#include <QPainter>
#include <QWindow>
#include <cmath>

#include "controls/skin_image.h"

namespace brevant {

CTDialog::CTDialog(QWidget* parent, Kind kind) : QDialog(parent) {
  if (kind == Kind::Page) {
    setWindowFlags(Qt::Widget);
  } else {
    setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint);
  }
  setSizeGripEnabled(false);
}

void CTDialog::SetBackgroundPicture(const QString& file) {
  picture_ = LoadSkinPixmap(file);
  update();
}

void CTDialog::SetBackgroundFill(bool fill) {
  fill_ = fill;
  update();
}

void CTDialog::SetBackgroundColor(const QColor& color) {
  color_ = color;
  update();
}

void CTDialog::AddLine(const QPoint& from, const QPoint& to) {
  lines_.emplace_back(from, to);
  update();
}

void CTDialog::ClearLines() {
  lines_.clear();
  update();
}

void CTDialog::SetLinePen(int width, const QColor& color) {
  penWidth_ = width;
  penColor_ = color;
  update();
}

void CTDialog::SetBorderColor(const QColor& color) {
  border_ = color;
  update();
}

void CTDialog::SetCornerRadius(int radius) {
  radius_ = radius < 0 ? 0 : radius;
  ApplyRoundedShape(this, radius_);
}

void CTDialog::SetOpacity(int alpha) {
  opacity_ = std::clamp(alpha, 0, 255);
  if (isWindow())
    setWindowOpacity(opacity_ / 255.0);
}

void CTDialog::SetDraggable(bool draggable) {
  draggable_ = draggable;
}

QRegion CTDialog::RoundedRegion(const QSize& size, int radius) {
  const int w = size.width();
  const int h = size.height();
  if (w <= 0 || h <= 0)
    return {};
  const int r = std::min({radius, w / 2, h / 2});
  if (r <= 0)
    return QRegion(0, 0, w, h);
  // Row by row: each corner row is inset by where the circle of radius r
  // crosses the middle of that row.
  QRegion region(0, r, w, h - 2 * r);
  for (int row = 0; row < r; ++row) {
    const double dy = r - row - 0.5;
    const int inset = static_cast<int>(std::lround(r - std::sqrt(double(r) * r - dy * dy)));
    region += QRect(inset, row, w - 2 * inset, 1);
    region += QRect(inset, h - 1 - row, w - 2 * inset, 1);
  }
  return region;
}

void CTDialog::ApplyRoundedShape(QWidget* widget, int radius) {
  if (radius <= 0) {
    widget->clearMask();
  } else {
    widget->setMask(RoundedRegion(widget->size(), radius));
  }
}

void CTDialog::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  if (!picture_.isNull()) {
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawPixmap(rect(), picture_);
  } else if (fill_) {
    painter.fillRect(rect(), color_);
  }
  if (!lines_.empty()) {
    QPen pen(penColor_, penWidth_);
    pen.setCapStyle(Qt::FlatCap);
    painter.setPen(pen);
    for (const QLine& line : lines_)
      painter.drawLine(line);
  }
  if (border_.isValid()) {
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(border_, 1));
    painter.setBrush(Qt::NoBrush);
    painter.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), radius_, radius_);
  }
}

void CTDialog::resizeEvent(QResizeEvent* event) {
  if (radius_ > 0)
    ApplyRoundedShape(this, radius_);
  QDialog::resizeEvent(event);
}

void CTDialog::showEvent(QShowEvent* event) {
  if (radius_ > 0)
    ApplyRoundedShape(this, radius_);
  if (isWindow() && opacity_ < 255)
    setWindowOpacity(opacity_ / 255.0);
  QDialog::showEvent(event);
}

void CTDialog::keyPressEvent(QKeyEvent* event) {
  switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Escape:
      event->accept();
      return;
    default:
      QDialog::keyPressEvent(event);
  }
}

void CTDialog::mousePressEvent(QMouseEvent* event) {
  if (!draggable_ || event->button() != Qt::LeftButton) {
    QDialog::mousePressEvent(event);
    return;
  }
  event->accept();
  // The window system moves a top-level window best; where it cannot (no
  // window manager, or the offscreen platform) the window follows the mouse.
  if (isWindow() && windowHandle() != nullptr && windowHandle()->startSystemMove())
    return;
  dragging_ = true;
  dragStart_ = event->globalPosition().toPoint();
  dragOrigin_ = pos();
}

void CTDialog::mouseMoveEvent(QMouseEvent* event) {
  if (dragging_ && (event->buttons() & Qt::LeftButton)) {
    move(dragOrigin_ + event->globalPosition().toPoint() - dragStart_);
    event->accept();
    return;
  }
  QDialog::mouseMoveEvent(event);
}

void CTDialog::mouseReleaseEvent(QMouseEvent* event) {
  if (dragging_ && event->button() == Qt::LeftButton) {
    dragging_ = false;
    event->accept();
    return;
  }
  QDialog::mouseReleaseEvent(event);
}

}  // namespace brevant
