#pragma once

#include <QColor>

#include "app/settings.h"

namespace brevant {

// The skin's palette, as its pictures are drawn.
inline const QColor kInk(68, 68, 79);
inline const QColor kSoftInk(120, 122, 135);
inline const QColor kBrandRed(216, 34, 40);
inline const QColor kSuccessGreen(34, 160, 92);
// The lines between a dialog's parts.
inline const QColor kSeparator(235, 238, 237);

// A colour of Setting.ini.
inline QColor ToQColor(PackedColor color) {
  return QColor(RedOf(color), GreenOf(color), BlueOf(color));
}

}  // namespace brevant
