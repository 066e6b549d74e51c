#include "controls/picture.h"

#include <QPainter>

#include "controls/skin_image.h"

namespace brevant {

CTPicture::CTPicture(QWidget* parent) : QWidget(parent) {
  timer_.setSingleShot(true);
  timer_.setTimerType(Qt::PreciseTimer);
  connect(&timer_, &QTimer::timeout, this, &CTPicture::Advance);
}

bool CTPicture::Load(const QString& file) {
  Stop();
  frame_ = 0;
  animation_ = DecodeAnimation(file);
  if (animation_.frames.empty() && !file.isEmpty())
    ReportControlDiagnostic("picture " + file.toStdString() + " cannot be decoded");
  updateGeometry();
  update();
  return !animation_.frames.empty();
}

void CTPicture::Clear() {
  Stop();
  frame_ = 0;
  animation_ = Animation{};
  update();
}

void CTPicture::Start() {
  if (!IsAnimated() || timer_.isActive())
    return;
  timer_.start(animation_.frames[static_cast<std::size_t>(frame_)].delayMs);
}

void CTPicture::Stop() {
  timer_.stop();
}

QSize CTPicture::PictureSize() const {
  return animation_.frames.empty() ? QSize() : animation_.frames.front().image.size();
}

void CTPicture::SetBackgroundColor(const QColor& color) {
  animation_.background = color;
  update();
}

QSize CTPicture::sizeHint() const {
  const QSize size = PictureSize();
  return size.isEmpty() ? QSize(16, 16) : size;
}

void CTPicture::Advance() {
  if (!IsAnimated())
    return;
  frame_ = (frame_ + 1) % FrameCount();
  update();
  timer_.start(animation_.frames[static_cast<std::size_t>(frame_)].delayMs);
}

void CTPicture::paintEvent(QPaintEvent*) {
  if (animation_.frames.empty())
    return;
  QPainter painter(this);
  const QImage& image = animation_.frames[static_cast<std::size_t>(frame_)].image;
  if (animation_.isGif)
    painter.fillRect(QRect(QPoint(0, 0), image.size()), animation_.background);
  painter.drawImage(0, 0, image);
}

}  // namespace brevant
