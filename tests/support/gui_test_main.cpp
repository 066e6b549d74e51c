// The main of every GUI test: one QApplication for the whole process, made
// before any widget, on the offscreen platform at scale 1, so tests run
// without a display and pixels are the pixels the screens lay out.
#include <gtest/gtest.h>

#include <QApplication>
#include <cstdlib>

#include "controls/skin_look.h"

int main(int argc, char** argv) {
  ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
  ::unsetenv("QT_SCALE_FACTOR");
  ::unsetenv("QT_SCREEN_SCALE_FACTORS");
  ::unsetenv("QT_AUTO_SCREEN_SCALE_FACTOR");
  ::setenv("QT_ENABLE_HIGHDPI_SCALING", "0", 1);
  ::testing::InitGoogleTest(&argc, argv);
  QApplication app(argc, argv);
  QApplication::setStyle(QStringLiteral("Fusion"));
  brevant::InstallSkinLook();
  return RUN_ALL_TESTS();
}
