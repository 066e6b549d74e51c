#include "controls/image_list.h"

#include "controls/skin_image.h"

namespace brevant {

CImageList::CImageList(QSize size, QColor transparent) : size_(size), transparent_(transparent) {}

bool CImageList::SetImage(int index, const QString& file) {
  const QPixmap loaded = LoadSkinPixmap(file);
  return SetImage(index, loaded.isNull() ? QImage() : loaded.toImage());
}

bool CImageList::SetImage(int index, const QImage& source) {
  if (index < 0)
    return false;
  if (static_cast<std::size_t>(index) >= images_.size())
    images_.resize(static_cast<std::size_t>(index) + 1);
  auto& slot = images_[static_cast<std::size_t>(index)];
  if (source.isNull()) {
    slot = QPixmap();
    return false;
  }
  QImage image = source.convertToFormat(QImage::Format_ARGB32);
  const QRgb clear = transparent_.rgb() & 0x00FFFFFF;
  for (int y = 0; y < image.height(); ++y) {
    auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
    for (int x = 0; x < image.width(); ++x) {
      if ((line[x] & 0x00FFFFFF) == clear)
        line[x] = 0;
    }
  }
  if (image.size() != size_)
    image = image.scaled(size_, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
  slot = QPixmap::fromImage(image);
  return true;
}

int CImageList::Add(const QString& file) {
  const int index = Count();
  SetImage(index, file);
  return index;
}

const QPixmap* CImageList::Image(int index) const {
  if (index < 0 || static_cast<std::size_t>(index) >= images_.size())
    return nullptr;
  const QPixmap& image = images_[static_cast<std::size_t>(index)];
  return image.isNull() ? nullptr : &image;
}

}  // namespace brevant
