#include "controls/combo_box.h"

#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QTest>
#include <QToolTip>

#include "support/gui_test.h"

namespace brevant {
namespace {

using testing::Look;

TEST(ComboItems, TheTextIsCutWhenWiderThanItsPlace) {
  struct Case {
    qreal textWidth;
    int itemWidth;
    int pictureWidth;
    bool cut;
  };
  const Case cases[] = {
      {100, 116, 0, false},                         // the width less 16
      {101, 116, 0, true},  {100, 138, 16, false},  // less the picture and 22
      {101, 138, 16, true}, {0, 10, 0, false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ItemTextIsCut(c.textWidth, QRect(0, 0, c.itemWidth, 20), c.pictureWidth), c.cut)
        << c.textWidth << " in " << c.itemWidth << " with " << c.pictureWidth;
  }
}

class ComboTest : public ::testing::Test {
 protected:
  void SetUp() override {
    window_.resize(400, 300);
    window_.move(50, 50);
    window_.setAutoFillBackground(true);
    combo_ = new CCustomComboBox(&window_);
    combo_->setGeometry(53, 40, 218, 24);
    combo_->SetFieldHeight(18);
    combo_->SetItemHeight(20);
    combo_->AddItem(QStringLiteral("eth0"));
    combo_->AddItem(QStringLiteral(
        "Intel Corporation 82574L Gigabit Network Connection with a very long name (AA:BB)"));
    combo_->AddItem(QStringLiteral("eth2"));
    ASSERT_TRUE(testing::ShowAndWait(&window_));
  }

  void Open() {
    combo_->showPopup();
    ASSERT_NE(combo_->DropWindow(), nullptr);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(combo_->DropWindow()));
  }

  QPoint RowCentre(int row) {
    auto* list = combo_->DropWindow()->List();
    return list->visualRect(list->model()->index(row, 0)).center();
  }

  QWidget window_;
  CCustomComboBox* combo_ = nullptr;
};

TEST_F(ComboTest, Defaults) {
  CCustomComboBox fresh;
  const ComboColors& c = fresh.Colors();
  EXPECT_EQ(c.box, QColor(255, 255, 255));
  EXPECT_EQ(c.hoverFill, QColor(235, 244, 255));
  EXPECT_EQ(c.itemText, QColor(50, 50, 50));
  EXPECT_EQ(c.hotText, QColor(20, 80, 200));
  EXPECT_EQ(c.disabledText, QColor(180, 180, 180));
  EXPECT_EQ(c.border, QColor(200, 200, 200));
  EXPECT_EQ(c.hotBorder, QColor(255, 128, 31));
  EXPECT_EQ(c.emptyText, QColor(190, 190, 190));
  EXPECT_EQ(fresh.CornerRadius(), 5);
  EXPECT_EQ(fresh.currentIndex(), -1);
}

TEST_F(ComboTest, NothingSelectedShowsTheEmptyTextInItsColour) {
  combo_->setCurrentIndex(-1);
  combo_->SetEmptyText(QStringLiteral("MMMMMMMM"));
  ComboColors colors = combo_->Colors();
  colors.emptyText = QColor(0, 200, 0);
  combo_->SetColors(colors);
  const QImage look = Look(combo_);
  bool green = false;
  for (int x = 0; x < look.width() && !green; ++x)
    for (int y = 0; y < look.height() && !green; ++y)
      green = testing::Near(look.pixelColor(x, y), QColor(0, 200, 0), 20);
  EXPECT_TRUE(green);
  EXPECT_EQ(combo_->SelectedText(), QString());
}

TEST_F(ComboTest, TheBorderIsHotUnderThePointerAndWhileTheListIsOpen) {
  auto top = [&] { return Look(combo_).pixelColor(100, 0); };
  EXPECT_EQ(top(), QColor(200, 200, 200));
  QTest::mouseMove(&window_, QPoint(100, 50));
  ASSERT_TRUE(QTest::qWaitFor([&] { return combo_->IsHot(); }, 5000));
  EXPECT_EQ(top(), QColor(255, 128, 31));
  QTest::mouseMove(&window_, QPoint(380, 280));
  ASSERT_TRUE(QTest::qWaitFor([&] { return !combo_->IsHot(); }, 5000));
  Open();
  EXPECT_TRUE(combo_->IsHot());
  EXPECT_EQ(top(), QColor(255, 128, 31));
  combo_->hidePopup();
  EXPECT_FALSE(combo_->IsHot());
}

TEST_F(ComboTest, TheListOpensBelowTheBoxAndAClickSelects) {
  QSignalSpy activated(combo_, &QComboBox::activated);
  Open();
  CDropListWnd* drop = combo_->DropWindow();
  const QPoint boxBottom = combo_->mapToGlobal(QPoint(0, combo_->height()));
  EXPECT_GE(drop->geometry().top(), boxBottom.y());
  EXPECT_EQ(drop->geometry().left(), boxBottom.x());
  EXPECT_EQ(drop->List()->width() + 2, combo_->width());

  auto* viewport = drop->List()->viewport();
  QTest::mouseClick(viewport, Qt::LeftButton, {}, RowCentre(2));
  EXPECT_FALSE(drop->isVisible());
  EXPECT_EQ(combo_->currentIndex(), 2);
  EXPECT_EQ(combo_->SelectedText(), QStringLiteral("eth2"));
  ASSERT_EQ(activated.count(), 1);
  EXPECT_EQ(activated[0][0].toInt(), 2);
}

TEST_F(ComboTest, ADisabledItemCannotBeChosen) {
  combo_->setCurrentIndex(0);
  combo_->SetItemEnabled(2, false);
  EXPECT_FALSE(combo_->IsItemEnabled(2));
  Open();
  QTest::mouseClick(combo_->DropWindow()->List()->viewport(), Qt::LeftButton, {}, RowCentre(2));
  EXPECT_EQ(combo_->currentIndex(), 0);
  combo_->hidePopup();
}

TEST_F(ComboTest, ATooltipShowsOnlyForATextThatIsCut) {
  Open();
  auto* list = combo_->DropWindow()->List();
  QTest::mouseMove(list->viewport(), RowCentre(0));
  QTest::qWait(700);
  EXPECT_FALSE(QToolTip::isVisible());

  QTest::mouseMove(list->viewport(), RowCentre(1));
  ASSERT_TRUE(QTest::qWaitFor([] { return QToolTip::isVisible(); }, 5000));
  EXPECT_EQ(QToolTip::text(), combo_->itemText(1));
  combo_->hidePopup();
  EXPECT_FALSE(QToolTip::isVisible());
}

TEST_F(ComboTest, KeysMoveAndChooseInTheOpenList) {
  combo_->setCurrentIndex(0);
  Open();
  CDropListWnd* drop = combo_->DropWindow();
  QTest::keyClick(drop, Qt::Key_Down);
  QTest::keyClick(drop, Qt::Key_Down);
  EXPECT_EQ(drop->List()->HoveredRow(), 2);
  QTest::keyClick(drop, Qt::Key_Return);
  EXPECT_EQ(combo_->currentIndex(), 2);
  EXPECT_FALSE(drop->isVisible());
  Open();
  QTest::keyClick(combo_->DropWindow(), Qt::Key_Escape);
  EXPECT_FALSE(combo_->IsListOpen());
  EXPECT_EQ(combo_->currentIndex(), 2);
}

}  // namespace
}  // namespace brevant
