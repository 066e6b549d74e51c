#pragma once

#include <QColor>
#include <QImage>
#include <QString>
#include <algorithm>

#include "app/settings.h"
#include "controls/skin_image.h"

namespace brevant {

// The skin's palette, as its pictures are drawn.
inline const QColor kInk(68, 68, 79);
inline const QColor kSoftInk(120, 122, 135);
inline const QColor kBrandRed(216, 34, 40);
inline const QColor kSuccessGreen(34, 160, 92);

// A colour of Setting.ini.
inline QColor ToQColor(PackedColor color) {
  return QColor(RedOf(color), GreenOf(color), BlueOf(color));
}

// The colour of a skin picture at a fraction of its width, half way down: what
// an animation drawn over a button of that picture puts behind its frames.
inline QColor PictureColorAt(const QString& file, double fraction) {
  const QImage image = LoadSkinPixmap(file).toImage();
  if (image.isNull())
    return QColor(255, 255, 255);
  const int x = std::clamp(static_cast<int>(image.width() * fraction), 0, image.width() - 1);
  return image.pixelColor(x, image.height() / 2);
}

}  // namespace brevant
