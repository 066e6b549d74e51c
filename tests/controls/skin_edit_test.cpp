#include "controls/skin_edit.h"

#include <gtest/gtest.h>

#include <QClipboard>
#include <QTest>

#include "support/gui_test.h"

namespace brevant {
namespace {

using testing::Look;
using testing::Near;

class EditTest : public ::testing::Test {
 protected:
  void SetUp() override {
    window_.resize(300, 100);
    edit_ = new CTEditGdiplus(&window_);
    edit_->setGeometry(20, 20, 180, 24);
    other_ = new CTEditGdiplus(&window_);
    other_->setGeometry(20, 60, 180, 24);
    ASSERT_TRUE(testing::ShowAndWait(&window_));
    window_.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window_));
    other_->setFocus();
  }

  void Focus(QWidget* widget) {
    widget->setFocus();
    ASSERT_TRUE(QTest::qWaitFor([&] { return widget->hasFocus(); }, 5000));
  }

  // Whether any pixel of the text area is near the colour.
  bool Shows(const QColor& color, int tolerance = 24) {
    const QImage look = Look(edit_);
    for (int y = 4; y < look.height() - 4; ++y) {
      for (int x = 4; x < look.width() - 4; ++x) {
        if (Near(look.pixelColor(x, y), color, tolerance))
          return true;
      }
    }
    return false;
  }

  QWidget window_;
  CTEditGdiplus* edit_ = nullptr;
  CTEditGdiplus* other_ = nullptr;
};

TEST_F(EditTest, ThePlaceholderIsTheRealTextInItsColourUntilTheFieldIsFocused) {
  edit_->SetPlaceholder(QStringLiteral("e.g. 8.8.8.8"), QColor(128, 128, 128));
  EXPECT_TRUE(edit_->IsShowingPlaceholder());
  EXPECT_EQ(edit_->text(), QStringLiteral("e.g. 8.8.8.8"));
  EXPECT_TRUE(Shows(QColor(128, 128, 128)));
  EXPECT_FALSE(Shows(QColor(0, 0, 0), 30));

  Focus(edit_);
  EXPECT_FALSE(edit_->IsShowingPlaceholder());
  EXPECT_EQ(edit_->text(), QString());
  QTest::keyClicks(edit_, QStringLiteral("1.1.1.1"));
  EXPECT_TRUE(Shows(QColor(0, 0, 0), 30));

  // Leaving with a text keeps it; leaving empty puts the placeholder back.
  Focus(other_);
  EXPECT_EQ(edit_->text(), QStringLiteral("1.1.1.1"));
  Focus(edit_);
  edit_->selectAll();
  QTest::keyClick(edit_, Qt::Key_Delete);
  Focus(other_);
  EXPECT_TRUE(edit_->IsShowingPlaceholder());
  EXPECT_EQ(edit_->text(), QStringLiteral("e.g. 8.8.8.8"));
}

TEST_F(EditTest, ARealTextSetByTheProgramIsNeverThePlaceholder) {
  edit_->SetPlaceholder(QStringLiteral("e.g. 8.8.8.8"), QColor(128, 128, 128));
  edit_->SetRealText(QStringLiteral("e.g. 8.8.8.8"));
  EXPECT_FALSE(edit_->IsShowingPlaceholder());
  EXPECT_TRUE(Shows(QColor(0, 0, 0), 30));
  Focus(edit_);
  EXPECT_EQ(edit_->text(), QStringLiteral("e.g. 8.8.8.8"));  // not emptied

  // An empty real value stays empty until the field is left.
  Focus(other_);
  edit_->SetRealText(QString());
  EXPECT_FALSE(edit_->IsShowingPlaceholder());
  EXPECT_EQ(edit_->text(), QString());
  Focus(edit_);
  Focus(other_);
  EXPECT_TRUE(edit_->IsShowingPlaceholder());
}

TEST_F(EditTest, APasswordShowsStarsButThePlaceholderPlainly) {
  edit_->SetPassword(true);
  edit_->SetPlaceholder(QStringLiteral("Password"));
  EXPECT_EQ(edit_->displayText(), QStringLiteral("Password"));
  Focus(edit_);
  QTest::keyClicks(edit_, QStringLiteral("s3cret"));
  EXPECT_EQ(edit_->text(), QStringLiteral("s3cret"));
  EXPECT_EQ(edit_->displayText(), QStringLiteral("******"));
}

TEST_F(EditTest, TheTypingLimitHoldsForTypingAndPastingNotForTheProgram) {
  struct Case {
    const char* name;
    QString before;  // set by the program
    bool selectAll;
    QString typed;
    QString pasted;
    QString after;
  };
  const Case cases[] = {
      {"typing stops at the limit", "", false, "abcdefg", "", "abcde"},
      {"a paste is cut to fit", "ab", false, "", "123456789", "ab123"},
      {"a paste over a selection", "abcde", true, "", "xyz", "xyz"},
      {"a full field takes nothing", "abcde", false, "x", "y", "abcde"},
      {"a longer program text stays", "0123456789", false, "x", "", "0123456789"},
  };
  edit_->SetTypingLimit(5);
  Focus(edit_);
  for (const Case& c : cases) {
    edit_->setText(c.before);
    EXPECT_EQ(edit_->text(), c.before) << c.name;
    edit_->end(false);
    if (c.selectAll)
      edit_->selectAll();
    if (!c.typed.isEmpty())
      QTest::keyClicks(edit_, c.typed);
    if (!c.pasted.isEmpty()) {
      QGuiApplication::clipboard()->setText(c.pasted);
      QTest::keySequence(edit_, QKeySequence::Paste);
    }
    EXPECT_EQ(edit_->text(), c.after) << c.name;
  }
  // A long program text can still be shortened.
  edit_->setText(QStringLiteral("0123456789"));
  edit_->end(false);
  QTest::keyClick(edit_, Qt::Key_Backspace);
  EXPECT_EQ(edit_->text(), QStringLiteral("012345678"));
}

TEST_F(EditTest, TheBorderTakesTheColourOfTheState) {
  auto top = [&] { return Look(edit_).pixelColor(90, 0); };
  EXPECT_EQ(top(), QColor(213, 213, 220));
  QTest::mouseMove(&window_, QPoint(100, 30));
  ASSERT_TRUE(
      QTest::qWaitFor([&] { return edit_->CurrentBorderColor() == QColor(216, 34, 40); }, 5000));
  EXPECT_EQ(top(), QColor(216, 34, 40));
  QTest::mouseMove(&window_, QPoint(280, 90));
  ASSERT_TRUE(
      QTest::qWaitFor([&] { return edit_->CurrentBorderColor() == QColor(213, 213, 220); }, 5000));
  Focus(edit_);
  EXPECT_EQ(top(), QColor(216, 34, 40));
  edit_->setEnabled(false);
  EXPECT_EQ(top(), QColor(0, 0, 0));
  // The corners are rounded: the parent shows at the corner pixel.
  window_.setAutoFillBackground(true);
  QPalette p = window_.palette();
  p.setColor(QPalette::Window, Qt::white);
  window_.setPalette(p);
  EXPECT_EQ(Look(&window_).pixelColor(20, 20), QColor(Qt::white));
  EXPECT_EQ(Look(&window_).pixelColor(20 + 90, 20), QColor(0, 0, 0));
}

TEST_F(EditTest, TheTextStartsSixPixelsIn) {
  edit_->SetEditFont(QString(), 20, true);
  edit_->setText(QStringLiteral("H"));
  const QImage look = Look(edit_);
  int first = -1;
  for (int x = 1; x < look.width() && first < 0; ++x) {
    for (int y = 3; y < look.height() - 3; ++y) {
      if (look.pixelColor(x, y).lightness() < 128) {
        first = x;
        break;
      }
    }
  }
  EXPECT_GE(first, 6);
  EXPECT_LE(first, 9);
}

}  // namespace
}  // namespace brevant
