#include "controls/skin_dialog.h"

#include <gtest/gtest.h>

#include <QTest>

#include "controls/color_line.h"
#include "controls/skin_edit.h"
#include "controls/skin_label.h"
#include "support/gui_test.h"
#include "support/temp_dir.h"

namespace brevant {
namespace {

using testing::Look;

TEST(RoundedRegion, CornersAreCutRowByRow) {
  struct Case {
    QSize size;
    int radius;
    QPoint point;
    bool inside;
  };
  const Case cases[] = {
      {{100, 50}, 0, {0, 0}, true},   {{100, 50}, 4, {0, 0}, false},
      {{100, 50}, 4, {1, 0}, false},  {{100, 50}, 4, {2, 0}, true},
      {{100, 50}, 4, {0, 2}, true},   {{100, 50}, 4, {99, 49}, false},
      {{100, 50}, 4, {97, 49}, true}, {{100, 50}, 4, {50, 25}, true},
      {{100, 50}, 8, {1, 1}, false},  {{100, 50}, 8, {2, 2}, true},
      {{100, 50}, 8, {0, 3}, false},  {{100, 50}, 8, {0, 8}, true},
      {{10, 6}, 8, {5, 3}, true},     {{10, 6}, 8, {0, 0}, false},  // radius beyond the size
  };
  for (const Case& c : cases) {
    EXPECT_EQ(CTDialog::RoundedRegion(c.size, c.radius).contains(c.point), c.inside)
        << c.size.width() << "x" << c.size.height() << " r" << c.radius << " (" << c.point.x()
        << "," << c.point.y() << ")";
  }
  EXPECT_EQ(CTDialog::RoundedRegion({100, 50}, 4).boundingRect(), QRect(0, 0, 100, 50));
}

TEST(SkinDialog, Defaults) {
  CTDialog dialog;
  EXPECT_FALSE(dialog.BackgroundFill());
  EXPECT_EQ(dialog.BackgroundColor(), QColor(255, 255, 255));
  EXPECT_EQ(dialog.CornerRadius(), 0);
  EXPECT_EQ(dialog.Opacity(), 255);
  EXPECT_FALSE(dialog.Draggable());
  EXPECT_TRUE(dialog.isWindow());
  EXPECT_TRUE(dialog.windowFlags() & Qt::FramelessWindowHint);
  QWidget host;
  CTDialog page(&host, CTDialog::Kind::Page);
  EXPECT_FALSE(page.isWindow());
}

TEST(SkinDialog, TheShapeFollowsTheSize) {
  CTDialog dialog;
  dialog.resize(100, 50);
  dialog.SetCornerRadius(4);
  ASSERT_TRUE(testing::ShowAndWait(&dialog));
  EXPECT_FALSE(dialog.mask().contains(QPoint(0, 0)));
  EXPECT_TRUE(dialog.mask().contains(QPoint(50, 25)));
  dialog.resize(200, 80);
  EXPECT_EQ(dialog.mask().boundingRect(), QRect(0, 0, 200, 80));
  EXPECT_FALSE(dialog.mask().contains(QPoint(199, 79)));
  dialog.SetCornerRadius(0);
  EXPECT_TRUE(dialog.mask().isEmpty());
}

TEST(SkinDialog, FillThenLinesWithThePen) {
  CTDialog dialog;
  dialog.resize(100, 50);
  dialog.SetBackgroundFill(true);
  dialog.SetBackgroundColor(QColor(10, 20, 30));
  dialog.AddLine({0, 10}, {99, 10});
  dialog.SetLinePen(1, QColor(200, 0, 0));
  const QImage look = Look(&dialog);
  EXPECT_EQ(look.pixelColor(50, 10), QColor(200, 0, 0));
  EXPECT_EQ(look.pixelColor(50, 11), QColor(10, 20, 30));
  EXPECT_EQ(look.pixelColor(50, 30), QColor(10, 20, 30));
}

TEST(SkinDialog, TheBackgroundPictureIsStretchedOverEverything) {
  testing::TempDir dir;
  QImage picture(2, 2, QImage::Format_RGB32);
  picture.setPixelColor(0, 0, Qt::red);
  picture.setPixelColor(1, 0, Qt::green);
  picture.setPixelColor(0, 1, Qt::blue);
  picture.setPixelColor(1, 1, Qt::yellow);
  const QString file = QString::fromStdString((dir / "bk.png").string());
  ASSERT_TRUE(picture.save(file));
  CTDialog dialog;
  dialog.resize(100, 60);
  dialog.SetBackgroundFill(true);  // the picture wins
  dialog.SetBackgroundPicture(file);
  const QImage look = Look(&dialog);
  EXPECT_TRUE(testing::Near(look.pixelColor(5, 5), Qt::red, 40));
  EXPECT_TRUE(testing::Near(look.pixelColor(95, 5), Qt::green, 40));
  EXPECT_TRUE(testing::Near(look.pixelColor(5, 55), Qt::blue, 40));
  EXPECT_TRUE(testing::Near(look.pixelColor(95, 55), Qt::yellow, 40));
}

TEST(SkinDialog, EnterAndEscapeNeverCloseIt) {
  CTDialog dialog;
  dialog.resize(200, 100);
  auto* edit = new CTEditGdiplus(&dialog);
  edit->setGeometry(10, 10, 100, 24);
  dialog.open();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
  dialog.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
  edit->setFocus();
  for (auto key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape}) {
    QTest::keyClick(edit, key);
    QTest::keyClick(&dialog, key);
  }
  EXPECT_TRUE(dialog.isVisible());
  EXPECT_EQ(dialog.result(), 0);
  dialog.done(1);
  EXPECT_FALSE(dialog.isVisible());
}

TEST(SkinDialog, DraggingTheBackgroundOrALabelMovesTheWindow) {
  CTDialog dialog;
  dialog.resize(200, 100);
  dialog.move(100, 100);
  auto* label = new CTStaticGdiplus(QStringLiteral("Title"), &dialog);
  label->setGeometry(10, 10, 80, 20);
  ASSERT_TRUE(testing::ShowAndWait(&dialog));
  const QPoint start = dialog.pos();

  // Not draggable: nothing moves.
  QTest::mousePress(&dialog, Qt::LeftButton, {}, QPoint(150, 60));
  QTest::mouseMove(&dialog, QPoint(170, 80));
  QTest::mouseRelease(&dialog, Qt::LeftButton, {}, QPoint(170, 80));
  EXPECT_EQ(dialog.pos(), start);

  dialog.SetDraggable(true);
  QTest::mousePress(&dialog, Qt::LeftButton, {}, QPoint(150, 60));
  QTest::mouseMove(&dialog, QPoint(180, 90));
  QTest::mouseRelease(&dialog, Qt::LeftButton, {}, QPoint(180, 90));
  EXPECT_TRUE(QTest::qWaitFor([&] { return dialog.pos() == start + QPoint(30, 30); }, 5000))
      << dialog.pos().x() << "," << dialog.pos().y();

  const QPoint second = dialog.pos();
  QTest::mousePress(label, Qt::LeftButton, {}, QPoint(5, 5));
  QTest::mouseMove(label, QPoint(15, 25));
  QTest::mouseRelease(label, Qt::LeftButton, {}, QPoint(15, 25));
  EXPECT_TRUE(QTest::qWaitFor([&] { return dialog.pos() == second + QPoint(10, 20); }, 5000))
      << dialog.pos().x() << "," << dialog.pos().y();
}

TEST(ColorLine, OnePixelAcrossAtHalfTheHeight) {
  QWidget parent;
  parent.resize(100, 20);
  parent.setAutoFillBackground(true);
  CColorLine line(&parent);
  EXPECT_EQ(line.LineColor(), QColor(128, 128, 128));
  line.SetLineColor(QColor(235, 238, 237));
  line.setGeometry(0, 0, 100, 9);
  const QImage look = Look(&parent);
  EXPECT_EQ(look.pixelColor(0, 4), QColor(235, 238, 237));
  EXPECT_EQ(look.pixelColor(99, 4), QColor(235, 238, 237));
  EXPECT_NE(look.pixelColor(50, 3), QColor(235, 238, 237));
  EXPECT_NE(look.pixelColor(50, 5), QColor(235, 238, 237));
}

}  // namespace
}  // namespace brevant
