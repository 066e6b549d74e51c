#include "controls/image_preview_ctrl.h"

#include <QBuffer>
#include <QImageReader>
#include <QImageWriter>
#include <QMouseEvent>
#include <QPainter>
#include <QSaveFile>
#include <QWheelEvent>

namespace brevant {

namespace {

const QColor kBackground(40, 40, 40);
const QColor kShade(0, 0, 0, 140);

// Larger display sizes are drawn straight from the picture instead of from a
// scaled copy (a copy that large would cost more than it saves).
constexpr qint64 kScaledCopyMaxPixels = 4096LL * 4096LL;

QRect ToQRect(const CropRect& r) {
  return QRect(r.x, r.y, r.w, r.h);
}

}  // namespace

CImagePreviewCtrl::CImagePreviewCtrl(QWidget* parent) : QWidget(parent) {
  setMouseTracking(true);
  setAttribute(Qt::WA_OpaquePaintEvent);
}

bool CImagePreviewCtrl::LoadPicture(const QString& file) {
  QImageReader reader(file);
  QImage picture = reader.read();
  picture_ = QImage();
  path_.clear();
  scaled_ = QImage();
  wheelRest_ = 0;
  if (picture.isNull() || picture.width() <= 0 || picture.height() <= 0) {
    geometry_.Clear();
    update();
    return false;
  }
  picture_ = picture.convertToFormat(QImage::Format_ARGB32_Premultiplied);
  path_ = file;
  geometry_.SetCanvas(width(), height());
  geometry_.Load(picture_.width(), picture_.height());
  UpdateCursor(mapFromGlobal(QCursor::pos()));
  update();
  return true;
}

QImage CImagePreviewCtrl::RenderCrop() const {
  const CropRegion source = geometry_.Source();
  if (!HasPicture() || source.w <= 0 || source.h <= 0)
    return {};
  QImage out(kOutputWidth, kOutputHeight, QImage::Format_ARGB32);
  out.fill(Qt::transparent);
  QPainter painter(&out);
  painter.setRenderHint(QPainter::SmoothPixmapTransform);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.drawImage(QRectF(0, 0, kOutputWidth, kOutputHeight), picture_,
                    QRectF(source.x, source.y, source.w, source.h));
  painter.end();
  return out;
}

bool CImagePreviewCtrl::RenderToFile(const QString& file, QString* error) const {
  const auto fail = [&](const QString& why) {
    if (error != nullptr)
      *error = why;
    return false;
  };
  const QImage crop = RenderCrop();
  if (crop.isNull())
    return fail(QStringLiteral("no picture to crop"));
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  QImageWriter writer(&buffer, "jpeg");
  writer.setQuality(kJpegQuality);
  if (!writer.write(crop))
    return fail(writer.errorString());
  // Written beside the old file and then put in its place: a failed write
  // leaves an existing file as it was.
  QSaveFile out(file);
  if (!out.open(QIODevice::WriteOnly) || out.write(bytes) != bytes.size() || !out.commit())
    return fail(out.errorString());
  return true;
}

void CImagePreviewCtrl::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), kBackground);
  if (!HasPicture())
    return;
  const CropRect& display = geometry_.Display();
  const QRect target = ToQRect(display);
  painter.setRenderHint(QPainter::SmoothPixmapTransform);
  if (static_cast<qint64>(display.w) * display.h <= kScaledCopyMaxPixels) {
    if (scaled_.size() != target.size()) {
      scaled_ = picture_.scaled(target.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    }
    painter.drawImage(target.topLeft(), scaled_);
  } else {
    painter.drawImage(target, picture_);
  }

  const QRect frame = ToQRect(geometry_.Frame());
  if (frame.isEmpty()) {
    painter.fillRect(rect(), kShade);
    return;
  }
  // The four bands around the frame.
  const int w = width();
  const int h = height();
  painter.fillRect(QRect(0, 0, w, frame.top()), kShade);
  painter.fillRect(QRect(0, frame.top() + frame.height(), w, h - frame.top() - frame.height()),
                   kShade);
  painter.fillRect(QRect(0, frame.top(), frame.left(), frame.height()), kShade);
  painter.fillRect(QRect(frame.left() + frame.width(), frame.top(),
                         w - frame.left() - frame.width(), frame.height()),
                   kShade);
  painter.setPen(QPen(Qt::white, 2));
  painter.setBrush(Qt::NoBrush);
  painter.drawRect(QRectF(frame.x(), frame.y(), frame.width(), frame.height()));
}

void CImagePreviewCtrl::resizeEvent(QResizeEvent*) {
  geometry_.SetCanvas(width(), height());
  update();
}

void CImagePreviewCtrl::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton || !HasPicture())
    return;
  const QPoint at = event->position().toPoint();
  geometry_.Press(at.x(), at.y());
  UpdateCursor(at);
}

void CImagePreviewCtrl::mouseMoveEvent(QMouseEvent* event) {
  const QPoint at = event->position().toPoint();
  if (HasPicture() && geometry_.Dragging() != CropGeometry::Drag::None) {
    geometry_.Move(at.x(), at.y());
    update();
  }
  UpdateCursor(at);
}

void CImagePreviewCtrl::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton || !HasPicture())
    return;
  const QPoint at = event->position().toPoint();
  geometry_.Release(at.x(), at.y());
  UpdateCursor(at);
  update();
}

void CImagePreviewCtrl::mouseDoubleClickEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton || !HasPicture())
    return;
  const QPoint at = event->position().toPoint();
  // The double click's own press starts no drag.
  if (geometry_.DoubleClick(at.x(), at.y()))
    update();
  UpdateCursor(at);
}

void CImagePreviewCtrl::wheelEvent(QWheelEvent* event) {
  event->accept();
  if (!HasPicture())
    return;
  // A notch is 120; finer wheels add up to one.
  wheelRest_ += event->angleDelta().y();
  const QPoint at = event->position().toPoint();
  bool changed = false;
  while (wheelRest_ >= 120 || wheelRest_ <= -120) {
    const int step = wheelRest_ > 0 ? 120 : -120;
    wheelRest_ -= step;
    changed = geometry_.Wheel(at.x(), at.y(), step) || changed;
  }
  if (changed) {
    UpdateCursor(at);
    update();
  }
}

void CImagePreviewCtrl::UpdateCursor(const QPoint& at) {
  switch (geometry_.CursorAt(at.x(), at.y())) {
    case CropGeometry::Cursor::Move:
      setCursor(Qt::SizeAllCursor);
      break;
    case CropGeometry::Cursor::Hand:
      setCursor(Qt::PointingHandCursor);
      break;
    case CropGeometry::Cursor::Arrow:
      unsetCursor();
      break;
  }
}

}  // namespace brevant
