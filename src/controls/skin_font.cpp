#include "controls/skin_font.h"

#include <QStringList>
#include <cmath>

namespace brevant {

namespace {

// Ascent plus descent of the original face over its em (2718 / 2048 units).
constexpr double kCellPerEm = 2718.0 / 2048.0;

int QtWeight(int weight) {
  if (weight <= 0)
    return QFont::Normal;
  return weight > 1000 ? 1000 : weight;
}

}  // namespace

int SkinEmPixels(int height) {
  if (height < 0)
    return -height;
  if (height == 0)
    return SkinEmPixels(16);
  const int em = static_cast<int>(std::lround(height / kCellPerEm));
  return em < 1 ? 1 : em;
}

void InstallFontSubstitutions() {
  static const bool done = [] {
    QFont::insertSubstitutions(
        QString::fromLatin1(kSkinFontFace),
        QStringList{QStringLiteral("WenQuanYi Micro Hei"), QStringLiteral("DejaVu Sans")});
    return true;
  }();
  (void)done;
}

QFont SkinFont(const QString& face, int height, int weight, bool italic, bool underline) {
  InstallFontSubstitutions();
  QFont font(face.isEmpty() ? QString::fromLatin1(kSkinFontFace) : face);
  font.setPixelSize(SkinEmPixels(height));
  font.setWeight(static_cast<QFont::Weight>(QtWeight(weight)));
  font.setItalic(italic);
  font.setUnderline(underline);
  font.setStyleStrategy(QFont::PreferAntialias);
  return font;
}

QFont SkinFontPoints(const QString& face, double points, bool bold) {
  const int pixels = static_cast<int>(std::lround(points * 96.0 / 72.0));
  return SkinFont(face, -(pixels < 1 ? 1 : pixels), bold ? QFont::Bold : QFont::Normal);
}

}  // namespace brevant
