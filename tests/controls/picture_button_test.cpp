#include "controls/picture_button.h"

#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QTest>

#include "support/gui_test.h"
#include "support/temp_dir.h"

namespace brevant {
namespace {

using testing::Look;
using testing::TempDir;

const QColor kParent(10, 20, 30);

class PictureButtonTest : public ::testing::Test {
 protected:
  void SetUp() override {
    window_.resize(200, 100);
    window_.setAutoFillBackground(true);
    QPalette p = window_.palette();
    p.setColor(QPalette::Window, kParent);
    window_.setPalette(p);
    button_ = new CTButtonPicture(&window_);
    button_->setGeometry(20, 20, 40, 20);
  }

  QString Picture(const std::string& name, QSize size, QColor color) {
    QImage image(size, QImage::Format_ARGB32);
    image.fill(color);
    const QString file = QString::fromStdString((dir_ / name).string());
    image.save(file);
    return file;
  }

  QColor Centre() { return Look(button_).pixelColor(5, 5); }

  TempDir dir_;
  QWidget window_;
  CTButtonPicture* button_ = nullptr;
};

TEST_F(PictureButtonTest, EachStateDrawsItsPicture) {
  button_->SetPictures(Picture("n.png", {40, 20}, Qt::red), Picture("h.png", {40, 20}, Qt::green),
                       Picture("p.png", {40, 20}, Qt::blue),
                       Picture("d.png", {40, 20}, Qt::yellow));
  ASSERT_TRUE(testing::ShowAndWait(&window_));
  EXPECT_EQ(button_->State(), ControlState::Normal);
  EXPECT_EQ(Centre(), QColor(Qt::red));

  QTest::mouseMove(&window_, QPoint(30, 30));
  ASSERT_TRUE(QTest::qWaitFor([&] { return button_->State() == ControlState::Hover; }, 5000));
  EXPECT_EQ(Centre(), QColor(Qt::green));

  QTest::mousePress(button_, Qt::LeftButton, {}, QPoint(10, 10));
  EXPECT_EQ(button_->State(), ControlState::Pressed);
  EXPECT_EQ(Centre(), QColor(Qt::blue));
  QTest::mouseRelease(button_, Qt::LeftButton, {}, QPoint(10, 10));

  // Hover ends when the pointer leaves.
  QTest::mouseMove(&window_, QPoint(150, 80));
  ASSERT_TRUE(QTest::qWaitFor([&] { return button_->State() == ControlState::Normal; }, 5000));
  EXPECT_EQ(Centre(), QColor(Qt::red));

  button_->setEnabled(false);
  EXPECT_EQ(Centre(), QColor(Qt::yellow));
}

TEST_F(PictureButtonTest, AStateWithoutAPictureOfItsOwnShowsTheNormalOne) {
  button_->SetPictures(Picture("n.png", {40, 20}, Qt::red), Picture("h.png", {40, 20}, Qt::green),
                       Picture("p.png", {40, 20}, Qt::blue));
  button_->setEnabled(false);
  EXPECT_EQ(Centre(), QColor(Qt::red));
}

TEST_F(PictureButtonTest, ASmallerPictureIsDrawnUnscaledOverTheParent) {
  button_->SetPicture(Picture("small.png", {10, 8}, Qt::red));
  const QImage look = Look(&window_);
  EXPECT_EQ(look.pixelColor(20 + 5, 20 + 4), QColor(Qt::red));
  EXPECT_EQ(look.pixelColor(20 + 30, 20 + 15), kParent);  // the rest shows the parent
}

TEST_F(PictureButtonTest, ALargerPictureIsSqueezedToTheButton) {
  // Four quadrants of 40 x 20 each; the button is 40 x 20.
  QImage image(80, 40, QImage::Format_RGB32);
  image.fill(Qt::red);
  for (int y = 0; y < 40; ++y) {
    for (int x = 0; x < 80; ++x) {
      if (x >= 40 && y >= 20)
        image.setPixelColor(x, y, Qt::blue);
    }
  }
  const QString file = QString::fromStdString((dir_ / "large.png").string());
  ASSERT_TRUE(image.save(file));
  button_->SetPicture(file);
  const QImage look = Look(button_);
  EXPECT_EQ(look.pixelColor(5, 5), QColor(Qt::red));
  EXPECT_EQ(look.pixelColor(35, 17), QColor(Qt::blue));  // the whole picture, squeezed
  // Wider only counts too: 50 x 10 on 40 x 20 fills the button.
  button_->SetPicture(Picture("wide.png", {50, 10}, Qt::green));
  EXPECT_EQ(Look(button_).pixelColor(20, 17), QColor(Qt::green));
}

TEST_F(PictureButtonTest, TheCaptionTakesTheStateColour) {
  button_->setText(QStringLiteral("MMMM"));
  button_->SetCaptionFont(QString(), 20, 900);
  button_->SetCaptionColors(Qt::red, Qt::green, Qt::blue, Qt::yellow);
  auto has = [&](QColor color) {
    const QImage look = Look(button_);
    for (int y = 0; y < look.height(); ++y) {
      for (int x = 0; x < look.width(); ++x) {
        if (look.pixelColor(x, y) == color)
          return true;
      }
    }
    return false;
  };
  EXPECT_TRUE(has(Qt::red));
  button_->setEnabled(false);
  EXPECT_TRUE(has(Qt::yellow));
  EXPECT_FALSE(has(Qt::red));
}

TEST_F(PictureButtonTest, DefaultsAndTheHandCursor) {
  EXPECT_EQ(button_->cursor().shape(), Qt::PointingHandCursor);
  for (auto state :
       {ControlState::Normal, ControlState::Hover, ControlState::Pressed, ControlState::Disabled})
    EXPECT_EQ(button_->CaptionColor(state), QColor(255, 255, 255));
  EXPECT_EQ(button_->CaptionAlignment(), Qt::AlignCenter);
  EXPECT_EQ(button_->CaptionFont().family(), QStringLiteral("Microsoft YaHei"));
}

TEST_F(PictureButtonTest, SpaceClicksEnterDoesNot) {
  QSignalSpy clicked(button_, &QAbstractButton::clicked);
  ASSERT_TRUE(testing::ShowAndWait(&window_));
  button_->setFocus();
  QTest::keyClick(button_, Qt::Key_Return);
  QTest::keyClick(button_, Qt::Key_Enter);
  EXPECT_EQ(clicked.count(), 0);
  QTest::keyClick(button_, Qt::Key_Space);
  EXPECT_EQ(clicked.count(), 1);
}

TEST_F(PictureButtonTest, AMissingPictureIsReportedOnceAndTheButtonStillDraws) {
  testing::DiagnosticLines diagnostics;
  const QString missing = QString::fromStdString((dir_ / "gone.png").string());
  button_->SetPictures(missing, missing, missing, missing);
  CTButtonPicture other(&window_);
  other.SetPicture(missing);
  ASSERT_EQ(diagnostics.Lines().size(), 1u);
  EXPECT_NE(diagnostics.Lines()[0].find("gone.png"), std::string::npos);
  EXPECT_EQ(Look(&window_).pixelColor(25, 25), kParent);

  // An undecodable file likewise.
  const auto broken = dir_.Write("broken.png", "\x89PNG\r\n\x1a\nnot a picture");
  button_->SetPicture(QString::fromStdString(broken.string()));
  ASSERT_EQ(diagnostics.Lines().size(), 2u);
  EXPECT_NE(diagnostics.Lines()[1].find("broken.png"), std::string::npos);
}

}  // namespace
}  // namespace brevant
