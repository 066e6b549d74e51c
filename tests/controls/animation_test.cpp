#include "controls/animation.h"

#include <gtest/gtest.h>

#include <QTest>

#include "controls/gif_writer.h"
#include "controls/picture.h"
#include "support/gui_test.h"
#include "support/temp_dir.h"

namespace brevant {
namespace {

using testing::DiagnosticLines;
using testing::GifFrame;
using testing::TempDir;
using testing::WriteGif;

constexpr QRgb kWhite = 0xFFFFFFFF;
constexpr QRgb kRed = 0xFFFF0000;
constexpr QRgb kGreen = 0xFF00FF00;
constexpr QRgb kBlue = 0xFF0000FF;
constexpr QRgb kYellow = 0xFFFFFF00;
const std::vector<QRgb> kPalette = {kWhite, kRed, kGreen, kBlue, kYellow};

QString Write(const TempDir& dir, const std::string& name, const std::string& bytes) {
  return QString::fromStdString(dir.Write(name, bytes).string());
}

TEST(FrameDelay, LongDelaysAreKeptShortOnesBecome100Ms) {
  const std::pair<int, int> cases[] = {{0, 100}, {1, 100}, {3, 100},  {4, 100},
                                       {5, 50},  {8, 80},  {10, 100}, {150, 1500}};
  for (const auto& [hundredths, ms] : cases)
    EXPECT_EQ(FrameDelayMs(hundredths), ms) << hundredths;
}

TEST(GifBackground, TheColourTheGifNamesElseWhite) {
  const std::string gif = WriteGif(4, 4, kPalette, 4, {{0, 0, 4, 4, 1}});
  EXPECT_EQ(GifBackgroundColor(QByteArray::fromStdString(gif)), QColor(kYellow));
  EXPECT_EQ(GifBackgroundColor("GIF89a"), QColor(Qt::white));  // cut short
  EXPECT_EQ(GifBackgroundColor("\x89PNG\r\n\x1a\n0000000000"), QColor(Qt::white));
  std::string noTable = gif;
  noTable[10] = 0;  // no global colour table
  EXPECT_EQ(GifBackgroundColor(QByteArray::fromStdString(noTable)), QColor(Qt::white));
}

TEST(DecodeAnimation, FramesKeepTheirDelaysByTheRule) {
  TempDir dir;
  const QString file = Write(
      dir, "delays.gif",
      WriteGif(8, 8, kPalette, 0, {{0, 0, 8, 8, 1, 3}, {0, 0, 8, 8, 2, 5}, {0, 0, 8, 8, 3, 0}}));
  const Animation animation = DecodeAnimation(file);
  ASSERT_EQ(animation.frames.size(), 3u);
  EXPECT_EQ(animation.frames[0].delayMs, 100);
  EXPECT_EQ(animation.frames[1].delayMs, 50);
  EXPECT_EQ(animation.frames[2].delayMs, 100);
}

TEST(DecodeAnimation, DisposalTwoLeavesTheBackgroundColourDisposalThreeWhatWasThere) {
  TempDir dir;
  // A green picture; a red square at the top left that is disposed of; then a
  // blue square at the bottom right. The background colour is yellow.
  for (int disposal : {2, 3}) {
    const QString file = Write(
        dir, "disposal" + std::to_string(disposal) + ".gif",
        WriteGif(
            16, 16, kPalette, 4,
            {{0, 0, 16, 16, 2, 10, 1}, {0, 0, 8, 8, 1, 10, disposal}, {8, 8, 8, 8, 3, 10, 1}}));
    const Animation animation = DecodeAnimation(file);
    ASSERT_EQ(animation.frames.size(), 3u) << disposal;
    EXPECT_EQ(animation.background, QColor(kYellow));
    const QImage second = ShownFrame(animation, 1);
    EXPECT_EQ(second.pixelColor(2, 2), QColor(kRed));
    const QImage third = ShownFrame(animation, 2);
    EXPECT_EQ(third.pixelColor(2, 2), QColor(disposal == 2 ? kYellow : kGreen)) << disposal;
    EXPECT_EQ(third.pixelColor(12, 12), QColor(kBlue));
    EXPECT_EQ(third.pixelColor(12, 2), QColor(kGreen));
  }
}

TEST(DecodeAnimation, APictureThatIsNotAGifIsOneStillFrame) {
  TempDir dir;
  QImage image(10, 6, QImage::Format_RGB32);
  image.fill(Qt::red);
  const QString file = QString::fromStdString((dir / "still.png").string());
  ASSERT_TRUE(image.save(file));
  const Animation animation = DecodeAnimation(file);
  ASSERT_EQ(animation.frames.size(), 1u);
  EXPECT_FALSE(animation.isGif);
  EXPECT_EQ(animation.frames[0].image.size(), QSize(10, 6));
}

class PictureTest : public ::testing::Test {
 protected:
  void SetUp() override {
    parent_.resize(60, 60);
    parent_.setAutoFillBackground(true);
    QPalette p = parent_.palette();
    p.setColor(QPalette::Window, QColor(10, 20, 30));
    parent_.setPalette(p);
    picture_ = new CTPicture(&parent_);
    picture_->setGeometry(0, 0, 40, 40);
  }

  TempDir dir_;
  QWidget parent_;
  CTPicture* picture_ = nullptr;
};

TEST_F(PictureTest, AStillIsDrawnAtItsNaturalSize) {
  QImage image(10, 6, QImage::Format_RGB32);
  image.fill(Qt::red);
  const QString file = QString::fromStdString((dir_ / "still.png").string());
  ASSERT_TRUE(image.save(file));
  ASSERT_TRUE(picture_->Load(file));
  EXPECT_FALSE(picture_->IsAnimated());
  const QImage look = testing::Look(&parent_);
  EXPECT_EQ(look.pixelColor(5, 3), QColor(Qt::red));
  EXPECT_EQ(look.pixelColor(20, 20), QColor(10, 20, 30));  // not stretched
}

TEST_F(PictureTest, AnAnimationPlaysRestartsAfterTheLastFrameAndStopsAtOnce) {
  const QString file = Write(
      dir_, "run.gif",
      WriteGif(8, 8, kPalette, 0, {{0, 0, 8, 8, 1, 5}, {0, 0, 8, 8, 2, 5}, {0, 0, 8, 8, 3, 5}}));
  ASSERT_TRUE(picture_->Load(file));
  ASSERT_EQ(picture_->FrameCount(), 3);
  EXPECT_FALSE(picture_->IsPlaying());  // loading does not start it
  picture_->Start();
  EXPECT_TRUE(QTest::qWaitFor([&] { return picture_->CurrentFrame() == 2; }, 5000));
  EXPECT_TRUE(QTest::qWaitFor([&] { return picture_->CurrentFrame() == 0; }, 5000));
  EXPECT_TRUE(QTest::qWaitFor([&] { return picture_->CurrentFrame() == 1; }, 5000));
  EXPECT_EQ(testing::Look(&parent_).pixelColor(4, 4), QColor(kGreen));
  picture_->Stop();
  EXPECT_FALSE(picture_->IsPlaying());
  const int stoppedAt = picture_->CurrentFrame();
  QTest::qWait(200);
  EXPECT_EQ(picture_->CurrentFrame(), stoppedAt);
}

TEST_F(PictureTest, AGifThatDoesNotDecodeShowsNothingAndSaysWhich) {
  DiagnosticLines diagnostics;
  const QString file = Write(dir_, "broken.gif", "GIF89a\x10\x00\x10\x00 not really");
  EXPECT_FALSE(picture_->Load(file));
  EXPECT_EQ(picture_->FrameCount(), 0);
  picture_->Start();
  EXPECT_FALSE(picture_->IsPlaying());
  ASSERT_EQ(diagnostics.Lines().size(), 1u);
  EXPECT_NE(diagnostics.Lines()[0].find("broken.gif"), std::string::npos);
  EXPECT_EQ(testing::Look(&parent_).pixelColor(5, 5), QColor(10, 20, 30));
}

}  // namespace
}  // namespace brevant
