#include "controls/animation.h"

#include <QBuffer>
#include <QFile>
#include <QImageReader>
#include <QPainter>

namespace brevant {

namespace {

// 256 MiB of decoded frames; a longer or larger animation stops at its last frame below it.
constexpr qint64 kMaxAnimationPixels = 64LL * 1024 * 1024;

}  // namespace

int FrameDelayMs(int hundredths) {
  return hundredths > 4 ? hundredths * 10 : 100;
}

QColor GifBackgroundColor(const QByteArray& bytes) {
  // Header (6), logical screen descriptor (7), then the global colour table.
  if (bytes.size() < 13 || !(bytes.startsWith("GIF87a") || bytes.startsWith("GIF89a")))
    return Qt::white;
  const auto flags = static_cast<unsigned char>(bytes[10]);
  const auto index = static_cast<unsigned char>(bytes[11]);
  if ((flags & 0x80) == 0)
    return Qt::white;
  const int entries = 1 << ((flags & 0x07) + 1);
  if (index >= entries || bytes.size() < 13 + 3 * (index + 1))
    return Qt::white;
  const int at = 13 + 3 * index;
  return QColor(static_cast<unsigned char>(bytes[at]), static_cast<unsigned char>(bytes[at + 1]),
                static_cast<unsigned char>(bytes[at + 2]));
}

Animation DecodeAnimation(const QString& file) {
  Animation animation;
  QFile in(file);
  if (!in.open(QIODevice::ReadOnly))
    return animation;
  const QByteArray bytes = in.readAll();
  QBuffer buffer;
  buffer.setData(bytes);
  buffer.open(QIODevice::ReadOnly);
  QImageReader reader(&buffer);
  animation.isGif = reader.format() == "gif";
  if (animation.isGif)
    animation.background = GifBackgroundColor(bytes);
  // The reader composes each frame with the disposal of the one before; a
  // disposed area comes out transparent, where the background colour shows.
  qint64 pixels = 0;
  while (reader.canRead()) {
    QImage image = reader.read();
    if (image.isNull())
      break;
    AnimationFrame frame;
    frame.delayMs = FrameDelayMs(reader.nextImageDelay() / 10);
    frame.image = std::move(image);
    pixels += qint64(frame.image.width()) * frame.image.height();
    animation.frames.push_back(std::move(frame));
    // One picture, or an animation that would not fit in memory: what we have is shown.
    if (!animation.isGif || pixels > kMaxAnimationPixels)
      break;
  }
  return animation;
}

QImage ShownFrame(const Animation& animation, int index) {
  if (index < 0 || index >= static_cast<int>(animation.frames.size()))
    return {};
  const QImage& image = animation.frames[static_cast<std::size_t>(index)].image;
  if (!animation.isGif)
    return image;
  QImage shown(image.size(), QImage::Format_ARGB32_Premultiplied);
  shown.fill(animation.background);
  QPainter painter(&shown);
  painter.drawImage(0, 0, image);
  return shown;
}

}  // namespace brevant
