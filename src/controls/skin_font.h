#pragma once

#include <QFont>
#include <QString>

namespace brevant {

// The face the screens name; drawn with WenQuanYi Micro Hei, which also covers Chinese.
inline constexpr char kSkinFontFace[] = "Microsoft YaHei";

// The screens give font heights as the original face's character cell (ascent
// plus descent), which is about 1.33 em: a height of 17 is a 13-pixel em, the
// size their label boxes were laid out for (an 18-pixel-high label holds a
// 17-high line with its descenders). A negative height is the em itself.
int SkinEmPixels(int height);

// A font for a cell height in pixels. Weight 0 is the normal weight; others as
// the screens give them (400 normal, 600 semi-bold, 700 bold).
QFont SkinFont(const QString& face, int height, int weight = 0, bool italic = false,
               bool underline = false);

// A font of a size in points at 96 pixels per inch, rounded to whole pixels
// (9.6 points is 13 pixels), whatever the screen's resolution.
QFont SkinFontPoints(const QString& face, double points, bool bold = false);

// Makes the named face render with a face that is installed. SkinFont calls it;
// it is safe to call more than once.
void InstallFontSubstitutions();

}  // namespace brevant
