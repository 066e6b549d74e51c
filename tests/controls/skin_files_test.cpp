// The skin in data/Skin: every picture the screens load, decodable, the size
// of the control that shows it.
#include <gtest/gtest.h>

#include <QImageReader>
#include <map>

#include "app/skin.h"
#include "controls/animation.h"
#include "support/gui_test.h"

namespace brevant {
namespace {

const std::map<std::string, QSize> kSizes = {
    {"main_bk.png", {817, 540}},
    {"main_bk.jpg", {817, 540}},
    {"main_bk3.jpg", {817, 540}},
    {"wait_search.gif", {16, 16}},
    {"scan_btn_normal.png", {218, 24}},
    {"scan_btn_over.png", {218, 24}},
    {"scan_btn_down.png", {218, 24}},
    {"scan_btn_disable.png", {218, 24}},
    {"ostrel_logo.bmp", {220, 48}},
    {"combox_down.png", {12, 12}},
    {"protection_btn_normal.png", {142, 24}},
    {"protection_btn_over.png", {142, 24}},
    {"protection_btn_down.png", {142, 24}},
    {"protection_btn_disable.png", {142, 24}},
    {"change_btn_normal.png", {48, 18}},
    {"btn_template.png", {124, 24}},
    {"select.bmp", {24, 24}},
    {"unselect.bmp", {24, 24}},
    {"part_select.bmp", {24, 24}},
    {"success.bmp", {24, 24}},
    {"error.bmp", {24, 24}},
    {"operating.bmp", {24, 24}},
    {"apply_btn_normal.png", {67, 27}},
    {"apply_btn_over.png", {67, 27}},
    {"apply_btn_down.png", {67, 27}},
    {"apply_btn_disable.png", {67, 27}},
    {"cancel_btn_normal.png", {71, 27}},
    {"cancel_btn_over.png", {71, 27}},
    {"cancel_btn_down.png", {71, 27}},
    {"choose_btn_normal.png", {99, 28}},
    {"btn_ini_file.png", {209, 28}},
    {"btn_pic_file.png", {209, 28}},
    {"btn_switch_on.png", {28, 16}},
    {"btn_switch_off.png", {28, 16}},
    {"btn_close_normal.png", {24, 24}},
    {"btn_close_over.png", {24, 24}},
    {"btn_close_down.png", {24, 24}},
    {"btn_close_normal2.png", {24, 24}},
    {"btn_child_close.png", {16, 16}},
    {"btn_child_close2.png", {16, 16}},
    {"btn_min_normal.png", {24, 24}},
    {"btn_min_over.png", {24, 24}},
    {"btn_min_down.png", {24, 24}},
    {"help_normal.bmp", {24, 24}},
};

TEST(SkinFiles, EveryPictureOfTheSkinListIsThereAtItsSize) {
  ASSERT_EQ(SkinPaths::FileNames().size(), kSizes.size());
  for (std::string_view name : SkinPaths::FileNames()) {
    const auto size = kSizes.find(std::string(name));
    ASSERT_NE(size, kSizes.end()) << name;
    QImageReader reader(testing::SkinFile(std::string(name).c_str()));
    const QImage image = reader.read();
    ASSERT_FALSE(image.isNull()) << name << ": " << reader.errorString().toStdString();
    EXPECT_EQ(image.size(), size->second) << name;
  }
}

TEST(SkinFiles, ButtonsHaveRoundedTransparentCorners) {
  for (const char* name : {"scan_btn_normal.png", "apply_btn_normal.png", "cancel_btn_normal.png",
                           "protection_btn_normal.png", "btn_switch_on.png"}) {
    const QImage image(testing::SkinFile(name));
    EXPECT_EQ(image.pixelColor(0, 0).alpha(), 0) << name;
    EXPECT_EQ(image.pixelColor(image.width() / 2, image.height() / 2).alpha(), 255) << name;
  }
}

TEST(SkinFiles, GridPicturesAreClearOnlyAroundTheirMark) {
  // White is transparent in the grid; the marks paint their own white as 254.
  for (const char* name : {"select.bmp", "unselect.bmp", "part_select.bmp", "success.bmp",
                           "error.bmp", "operating.bmp"}) {
    const QImage image(testing::SkinFile(name));
    EXPECT_EQ(image.pixelColor(0, 0), QColor(255, 255, 255)) << name;
    int white = 0;
    for (int y = 6; y < 18; ++y)
      for (int x = 6; x < 18; ++x)
        white += image.pixelColor(x, y) == QColor(255, 255, 255);
    EXPECT_EQ(white, 0) << name;
  }
}

TEST(SkinFiles, TheWaitAnimationTurns) {
  const Animation animation = DecodeAnimation(testing::SkinFile("wait_search.gif"));
  ASSERT_GE(animation.frames.size(), 8u);
  EXPECT_EQ(animation.background, QColor(255, 255, 255));
  EXPECT_NE(ShownFrame(animation, 0), ShownFrame(animation, 1));
  for (const auto& frame : animation.frames)
    EXPECT_EQ(frame.delayMs, 80);
}

}  // namespace
}  // namespace brevant
