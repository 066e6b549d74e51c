#include "screens/avatar_crop_dlg.h"

#include <gtest/gtest.h>

#include <QImageReader>

#include "i18n/language.h"
#include "screens/note_dlg.h"
#include "support/gui_test.h"
#include "support/temp_dir.h"

namespace brevant {
namespace {

using testing::TempDir;

QString Text(const std::filesystem::path& path) {
  return QString::fromStdString(path.string());
}

std::tm At(int hour, int minute, int second) {
  std::tm t{};
  t.tm_hour = hour;
  t.tm_min = minute;
  t.tm_sec = second;
  return t;
}

class CropDialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::filesystem::create_directory_symlink(BREVANT_SOURCE_DIR "/data/Skin", dir_ / "Skin");
    std::filesystem::create_directory(dir_ / "ModifyPicture");
    QImage picture(1000, 200, QImage::Format_RGB32);
    picture.fill(QColor(30, 120, 200));
    ASSERT_TRUE(picture.save(Text(dir_ / "logo.final.png")));
    owner_.resize(817, 540);
    owner_.move(100, 60);
    ASSERT_TRUE(testing::ShowAndWait(&owner_));
  }
  void TearDown() override { InitLanguage("/nonexistent", 1033); }

  TempDir dir_;
  QWidget owner_;
  NoteAnswerer notes_;
};

TEST_F(CropDialogTest, ControlsSitWhereTheScreenPutsThemInTheLanguageOfThePack) {
  InitLanguage(BREVANT_SOURCE_DIR "/data", 2052);
  CAvatarCropDlg dialog(&owner_, Text(dir_ / "logo.final.png"), dir_.path());
  EXPECT_EQ(dialog.size(), QSize(420, 276));
  const std::pair<const char*, QRect> places[] = {
      {"cropTitle", {16, 18, 358, 48}},      {"cropClose", {388, 18, 16, 16}},
      {"cropTopSeparator", {0, 64, 420, 1}}, {"cropCanvas", {16, 70, 387, 118}},
      {"cropHelp", {16, 194, 387, 36}},      {"cropBottomSeparator", {0, 232, 420, 1}},
      {"cropCancel", {252, 242, 71, 27}},    {"cropApply", {332, 242, 67, 27}},
  };
  for (const auto& [name, rect] : places) {
    auto* widget = dialog.findChild<QWidget*>(QString::fromLatin1(name));
    ASSERT_NE(widget, nullptr) << name;
    EXPECT_EQ(widget->geometry(), rect) << name;
  }
  ASSERT_TRUE(testing::ShowAndWait(&dialog));
  EXPECT_EQ(dialog.Title()->text(), QStringLiteral("图片裁剪 - [logo.final.png]"));
  EXPECT_EQ(dialog.ApplyButton()->text(), QStringLiteral("应用"));
  EXPECT_EQ(dialog.CancelButton()->text(), QStringLiteral("取消"));
  EXPECT_EQ(dialog.HelpText()->text().count(QLatin1Char('\n')), 1);
  // Every line of the help fits its box.
  EXPECT_LE(static_cast<int>(dialog.HelpText()->Lines().size()) *
                QFontMetrics(dialog.HelpText()->font()).height(),
            dialog.HelpText()->height());
  EXPECT_TRUE(dialog.Loaded());
  EXPECT_TRUE(dialog.ApplyButton()->isEnabled());
  EXPECT_TRUE(dialog.Draggable());
  EXPECT_FALSE(dialog.mask().contains(QPoint(0, 0)));
  // Centred over the owner's window.
  EXPECT_EQ(dialog.geometry().center(), owner_.geometry().center());
  const QImage look = testing::Look(&dialog);
  EXPECT_EQ(look.pixelColor(200, 64), QColor(235, 238, 237));
  EXPECT_EQ(look.pixelColor(200, 232), QColor(235, 238, 237));
  EXPECT_TRUE(notes_.Notes().empty());
}

TEST_F(CropDialogTest, APictureThatCannotBeDecodedGivesANoteAndNothingToApply) {
  InitLanguage(BREVANT_SOURCE_DIR "/data", 2052);
  const auto broken = dir_.Write("broken.png", "not a picture at all");
  CAvatarCropDlg dialog(&owner_, Text(broken), dir_.path());
  ASSERT_EQ(notes_.Notes().size(), 1u);
  EXPECT_EQ(notes_.Notes()[0].title, QString::fromUtf8("\xE6\x8F\x90\xE7\xA4\xBA"));  // 提示
  EXPECT_FALSE(notes_.Notes()[0].withCancel);
  EXPECT_FALSE(dialog.Loaded());
  EXPECT_FALSE(dialog.ApplyButton()->isEnabled());
  ASSERT_TRUE(testing::ShowAndWait(&dialog));
  dialog.ApplyButton()->click();
  EXPECT_TRUE(dialog.isVisible());
  EXPECT_TRUE(dialog.ResultPath().empty());
  dialog.CancelButton()->click();
  EXPECT_FALSE(dialog.isVisible());
  EXPECT_EQ(dialog.result(), QDialog::Rejected);
}

TEST_F(CropDialogTest, ApplyWritesAJpegNamedBySourceAndTimeAndCloses) {
  CAvatarCropDlg dialog(&owner_, Text(dir_ / "logo.final.png"), dir_.path());
  dialog.SetClock([] { return At(14, 5, 9); });
  ASSERT_TRUE(testing::ShowAndWait(&dialog));
  dialog.ApplyButton()->click();
  EXPECT_FALSE(dialog.isVisible());
  EXPECT_EQ(dialog.result(), QDialog::Accepted);
  const auto written = dir_ / "ModifyPicture" / "logo-14-05-09.final.png";
  EXPECT_EQ(dialog.ResultPath(), written);
  QImageReader reader(Text(written));
  reader.setDecideFormatFromContent(true);
  EXPECT_EQ(reader.format(), QByteArray("jpeg"));
  const QImage image = reader.read();
  EXPECT_EQ(image.size(), QSize(229, 51));
  EXPECT_TRUE(testing::Near(image.pixelColor(100, 25), QColor(30, 120, 200), 6));
  EXPECT_TRUE(notes_.Notes().empty());
}

TEST_F(CropDialogTest, AnOutputThatCannotBeWrittenLeavesTheDialogOpenWithANote) {
  struct Case {
    const char* why;
    std::string source;
    bool removeFolder;
    const char* note;
  };
  const Case cases[] = {
      {"a name too long for the output", std::string(233, 'n') + ".png", false,
       "The file name of the picture is too long!"},
      {"no ModifyPicture folder", "logo.png", true, "Failed to save the cropped picture!\n"},
  };
  for (const Case& c : cases) {
    QImage picture(400, 100, QImage::Format_RGB32);
    picture.fill(Qt::red);
    ASSERT_TRUE(picture.save(Text(dir_ / c.source), "PNG")) << c.why;
    if (c.removeFolder)
      std::filesystem::remove_all(dir_ / "ModifyPicture");
    CAvatarCropDlg dialog(&owner_, Text(dir_ / c.source), dir_.path());
    ASSERT_TRUE(testing::ShowAndWait(&dialog));
    const std::size_t before = notes_.Notes().size();
    dialog.ApplyButton()->click();
    ASSERT_EQ(notes_.Notes().size(), before + 1) << c.why;
    EXPECT_TRUE(notes_.Notes().back().text.startsWith(QString::fromLatin1(c.note)))
        << notes_.Notes().back().text.toStdString();
    EXPECT_TRUE(dialog.isVisible()) << c.why;
    EXPECT_TRUE(dialog.ResultPath().empty());
    dialog.CloseButton()->click();
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
  }
  EXPECT_FALSE(std::filesystem::exists(dir_ / "ModifyPicture"));  // never made here
}

}  // namespace
}  // namespace brevant
