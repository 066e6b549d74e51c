#include "controls/skin_label.h"

#include <gtest/gtest.h>

#include <QTest>
#include <tuple>

#include "support/gui_test.h"

namespace brevant {
namespace {

using testing::Look;

// The leftmost and rightmost columns with ink (dark pixels), or -1.
std::pair<int, int> InkColumns(const QImage& look) {
  int left = -1;
  int right = -1;
  for (int x = 0; x < look.width(); ++x) {
    for (int y = 0; y < look.height(); ++y) {
      if (look.pixelColor(x, y).lightness() < 160) {
        if (left < 0)
          left = x;
        right = x;
        break;
      }
    }
  }
  return {left, right};
}

bool RowHasInk(const QImage& look, int y) {
  for (int x = 0; x < look.width(); ++x) {
    if (look.pixelColor(x, y).lightness() < 160)
      return true;
  }
  return false;
}

// The first rows with ink of the first two lines of text.
std::pair<int, int> LineTops(const QImage& look) {
  int y = 0;
  while (y < look.height() && !RowHasInk(look, y))
    ++y;
  const int first = y;
  while (y < look.height() && RowHasInk(look, y))
    ++y;
  while (y < look.height() && !RowHasInk(look, y))
    ++y;
  return {first, y};
}

class LabelTest : public ::testing::Test {
 protected:
  void SetUp() override {
    window_.resize(300, 200);
    window_.setAutoFillBackground(true);
    QPalette p = window_.palette();
    p.setColor(QPalette::Window, Qt::white);
    window_.setPalette(p);
    label_ = new CTStaticGdiplus(&window_);
    label_->SetTextColor(Qt::black);
    label_->SetTextFont(QString(), 17);
  }

  QWidget window_;
  CTStaticGdiplus* label_ = nullptr;
};

TEST_F(LabelTest, ALabelNarrowerThanAWordBreaksItBetweenCharacters) {
  label_->setGeometry(0, 0, 40, 120);
  label_->setText(QStringLiteral("Configuration"));
  const auto& lines = label_->Lines();
  ASSERT_GT(lines.size(), 1u);
  QString joined;
  for (const QString& line : lines)
    joined += line;
  EXPECT_EQ(joined, QStringLiteral("Configuration"));
  const QFontMetrics metrics(label_->font());
  for (const QString& line : lines)
    EXPECT_LE(metrics.horizontalAdvance(line), 41) << line.toStdString();
}

TEST_F(LabelTest, LinesAreAlignedAsSet) {
  label_->setGeometry(0, 0, 200, 30);
  label_->setText(QStringLiteral("Ok"));
  label_->SetTextAlignment(Qt::AlignLeft);
  EXPECT_LT(InkColumns(Look(label_)).first, 6);
  label_->SetTextAlignment(Qt::AlignRight);
  EXPECT_GT(InkColumns(Look(label_)).second, 193);
  label_->SetTextAlignment(Qt::AlignHCenter);
  const auto [left, right] = InkColumns(Look(label_));
  EXPECT_NEAR((left + right) / 2.0, 100, 3);
}

TEST_F(LabelTest, LinesAreTheFontHeightPlusTheSpacingApart) {
  label_->setGeometry(0, 0, 200, 100);
  label_->setText(QStringLiteral("T\nT"));
  const int step = QFontMetrics(label_->font()).height();
  auto [first, second] = LineTops(Look(label_));
  EXPECT_EQ(second - first, step);
  label_->SetLineSpacing(10);
  std::tie(first, second) = LineTops(Look(label_));
  EXPECT_EQ(second - first, step + 10);
}

TEST_F(LabelTest, TheColourFollowsTheState) {
  label_->setGeometry(10, 10, 200, 40);
  label_->setText(QStringLiteral("MMMM"));
  label_->SetTextFont(QString(), 30, 900);
  label_->SetTextColors(Qt::red, Qt::green, Qt::blue, Qt::yellow);
  auto has = [&](QColor color) {
    const QImage look = Look(label_);
    for (int y = 0; y < look.height(); ++y)
      for (int x = 0; x < look.width(); ++x)
        if (look.pixelColor(x, y) == color)
          return true;
    return false;
  };
  ASSERT_TRUE(testing::ShowAndWait(&window_));
  EXPECT_TRUE(has(Qt::red));
  QTest::mouseMove(&window_, QPoint(30, 20));
  ASSERT_TRUE(QTest::qWaitFor([&] { return label_->State() == ControlState::Hover; }, 5000));
  EXPECT_TRUE(has(Qt::green));
  QTest::mousePress(label_, Qt::LeftButton, {}, QPoint(20, 10));
  EXPECT_EQ(label_->State(), ControlState::Pressed);
  QTest::mouseRelease(label_, Qt::LeftButton, {}, QPoint(20, 10));
  EXPECT_EQ(label_->State(), ControlState::Hover);
  label_->setEnabled(false);
  EXPECT_TRUE(has(Qt::yellow));
}

TEST_F(LabelTest, TenThousandCharactersWrapAndPaint) {
  label_->setGeometry(0, 0, 120, 200);
  label_->setText(QString(10000, u'W'));
  const auto& lines = label_->Lines();
  qsizetype total = 0;
  for (const QString& line : lines)
    total += line.size();
  EXPECT_EQ(total, 10000);
  EXPECT_FALSE(Look(label_).isNull());
}

TEST_F(LabelTest, Defaults) {
  CTStaticGdiplus fresh;
  for (auto state :
       {ControlState::Normal, ControlState::Hover, ControlState::Pressed, ControlState::Disabled})
    EXPECT_EQ(fresh.StateColor(state), QColor(112, 112, 112));
  EXPECT_EQ(fresh.LineSpacing(), 0);
  EXPECT_EQ(fresh.TextAlignment(), Qt::AlignLeft | Qt::AlignTop);
  EXPECT_EQ(fresh.TextFont().family(), QStringLiteral("Microsoft YaHei"));
}

}  // namespace
}  // namespace brevant
