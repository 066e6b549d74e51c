// The advice balloon: where it goes on the screen and how it is shaped.

#include <gtest/gtest.h>

#include <QTest>

#include "screens/error_tip_wnd.h"
#include "support/gui_test.h"

namespace brevant {
namespace {

TEST(ErrorTipTest, TextWidthIsClampedAndHeightHasAFloor) {
  EXPECT_EQ(CErrorTipWnd::MeasureText(QStringLiteral("x")).width(), CErrorTipWnd::kTextMinWidth);
  EXPECT_GE(CErrorTipWnd::MeasureText(QStringLiteral("x")).height(), 12);
  const QSize advice = CErrorTipWnd::MeasureText(
      QStringLiteral("1. Make sure the Lock Code is correct.\n"
                     "2. Make sure the DUT is running a software version that supports "
                     "Anti-Theft Protection.\n"
                     "3. Check that the Ethernet cable is properly connected between the DUT and "
                     "PC."));
  EXPECT_EQ(advice.width(), CErrorTipWnd::kTextMaxWidth);  // long lines wrap at 292
  EXPECT_GE(advice.height(), 3 * CErrorTipWnd::MeasureText(QStringLiteral("x")).height());
}

TEST(ErrorTipTest, PlacedAboveTheAnchorInsideTheWorkArea) {
  const QRect work(0, 0, 1280, 900);
  const QSize text(100, 40);  // window 124 x 62
  struct Case {
    const char* name;
    QPoint anchor;
    QRect window;
    int tipX;
    bool below;
  };
  const Case cases[] = {
      {"centred over the anchor", {500, 400}, {438, 337, 124, 62}, 62, false},
      {"kept 4 pixels from the left", {10, 400}, {4, 337, 124, 62}, 12, false},
      {"kept 4 pixels from the right", {1275, 400}, {1152, 337, 124, 62}, 112, false},
      {"no room above: under the icon", {500, 60}, {438, 84, 124, 62}, 62, true},
      {"just room above", {500, 67}, {438, 4, 124, 62}, 62, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const TipLayout layout = CErrorTipWnd::Layout(text, c.anchor, work);
    EXPECT_EQ(layout.window, c.window);
    EXPECT_EQ(layout.tipX, c.tipX);
    EXPECT_EQ(layout.below, c.below);
    EXPECT_EQ(layout.body.height(), 62 - CErrorTipWnd::kPointerHeight);
    EXPECT_EQ(layout.text, QPoint(12, c.below ? 14 : 8));
    // The pointer's tip is part of the shape; the corners are not.
    const QPainterPath shape = CErrorTipWnd::Shape(layout);
    EXPECT_TRUE(shape.contains(QPointF(layout.tipX, c.below ? 1.5 : 60.5)));
    EXPECT_FALSE(shape.contains(QPointF(0.5, c.below ? 6.5 : 0.5)));
  }
}

TEST(ErrorTipTest, ShownWithoutFocusAndHiddenByAnEmptyText) {
  QWidget owner;
  ASSERT_TRUE(testing::ShowAndWait(&owner));
  CErrorTipWnd tip(&owner);
  EXPECT_FALSE(tip.Translucent());  // no compositor offscreen: the mask look
  tip.ShowTip(QStringLiteral("Check the cable."), QPoint(300, 300));
  EXPECT_TRUE(tip.IsShown());
  EXPECT_TRUE(tip.windowFlags().testFlag(Qt::WindowDoesNotAcceptFocus));
  EXPECT_TRUE(tip.testAttribute(Qt::WA_ShowWithoutActivating));
  EXPECT_FALSE(tip.mask().isEmpty());
  EXPECT_FALSE(tip.mask().contains(QPoint(0, 0)));  // a rounded corner
  EXPECT_EQ(tip.geometry().bottom(), 300 - 2);      // one pixel above the anchor
  const QImage look = tip.grab().toImage();
  EXPECT_TRUE(testing::Near(look.pixelColor(look.width() / 2, 4), QColor(65, 65, 65)));
  tip.ShowTip(QString(), QPoint(300, 300));
  EXPECT_FALSE(tip.IsShown());
  EXPECT_TRUE(tip.Text().isEmpty());
}

}  // namespace
}  // namespace brevant
