#include "screens/note_dlg.h"

#include <gtest/gtest.h>

#include <QTest>
#include <QTimer>

#include "i18n/language.h"
#include "support/gui_test.h"

namespace brevant {
namespace {

using testing::Look;

class NoteTest : public ::testing::Test {
 protected:
  void SetUp() override {
    CNoteDlg::SetSkinFolder(QStringLiteral(BREVANT_SOURCE_DIR "/data/Skin"));
    owner_.resize(817, 540);
    owner_.move(120, 80);
    ASSERT_TRUE(testing::ShowAndWait(&owner_));
  }
  void TearDown() override { InitLanguage("/nonexistent", 1033); }

  QWidget owner_;
};

TEST_F(NoteTest, ControlsSitWhereTheScreenPutsThem) {
  CNoteDlg note(&owner_, QStringLiteral("Note"), QStringLiteral("Please select the devices!"),
                true);
  EXPECT_EQ(note.size(), QSize(415, 162));
  const std::pair<const char*, QRect> places[] = {
      {"noteTitle", {16, 11, 105, 18}},   {"noteClose", {388, 12, 16, 16}},
      {"noteSeparator", {0, 35, 420, 1}}, {"noteText", {65, 49, 320, 60}},
      {"noteCancel", {252, 128, 71, 27}}, {"noteOk", {332, 128, 67, 27}},
  };
  for (const auto& [name, rect] : places) {
    auto* widget = note.findChild<QWidget*>(QString::fromLatin1(name));
    ASSERT_NE(widget, nullptr) << name;
    EXPECT_EQ(widget->geometry(), rect) << name;
  }
  EXPECT_EQ(note.Title()->text(), QStringLiteral("Note"));
  EXPECT_EQ(note.OkButton()->text(), QStringLiteral("Ok"));
  EXPECT_EQ(note.CancelButton()->text(), QStringLiteral("Cancel"));
  EXPECT_FALSE(note.mask().contains(QPoint(0, 0)));  // rounded
  EXPECT_TRUE(note.Draggable());

  const QImage look = Look(&note);
  EXPECT_EQ(look.pixelColor(5, 100), QColor(248, 248, 248));
  EXPECT_EQ(look.pixelColor(200, 35), QColor(235, 238, 237));
  EXPECT_EQ(look.pixelColor(200, 34), QColor(248, 248, 248));
  // The skin's pictures are on the buttons: red "Ok", white "Cancel".
  EXPECT_EQ(look.pixelColor(332 + 3, 128 + 13), QColor(216, 34, 40));
  EXPECT_EQ(look.pixelColor(252 + 3, 128 + 13), QColor(255, 255, 255));
}

TEST_F(NoteTest, OpensAtTheTopLeftOfTheOwnersWindow) {
  auto* page = new QWidget(&owner_);
  page->setGeometry(200, 100, 300, 200);
  CNoteDlg note(page, QStringLiteral("Note"), QStringLiteral("text"), false);
  EXPECT_EQ(note.pos(), owner_.mapToGlobal(QPoint(0, 0)));
}

TEST_F(NoteTest, OkIsOneCancelAndCloseAreTwo) {
  NoteAnswerer answerer;
  answerer.Queue([](CNoteDlg& note) {
    note.show();
    QTest::mouseClick(note.OkButton(), Qt::LeftButton);
    return note.result();
  });
  answerer.Queue([](CNoteDlg& note) {
    note.show();
    QTest::mouseClick(note.CancelButton(), Qt::LeftButton);
    return note.result();
  });
  answerer.Queue([](CNoteDlg& note) {
    note.show();
    QTest::mouseClick(note.CloseButton(), Qt::LeftButton);
    return note.result();
  });
  EXPECT_EQ(CNoteDlg::ShowNote(&owner_, "Confirm Exit", "Sure?", true), CNoteDlg::kOk);
  EXPECT_EQ(CNoteDlg::ShowNote(&owner_, "Confirm Exit", "Sure?", true), CNoteDlg::kCancel);
  EXPECT_EQ(CNoteDlg::ShowNote(&owner_, "Note", "Gone", false), CNoteDlg::kCancel);
  ASSERT_EQ(answerer.Notes().size(), 3u);
  EXPECT_EQ(answerer.Notes()[0].title, QStringLiteral("Confirm Exit"));
  EXPECT_TRUE(answerer.Notes()[0].withCancel);
  EXPECT_FALSE(answerer.Notes()[2].withCancel);
  // Nothing queued: OK.
  EXPECT_EQ(CNoteDlg::ShowNote(&owner_, "Note", "Done", false), CNoteDlg::kOk);
  EXPECT_EQ(answerer.Notes().size(), 4u);
}

TEST_F(NoteTest, WithoutCancelOnlyOkAndCloseAreThere) {
  CNoteDlg note(&owner_, QStringLiteral("Note"), QStringLiteral("text"), false);
  ASSERT_TRUE(testing::ShowAndWait(&note));
  EXPECT_FALSE(note.CancelButton()->isVisible());
  EXPECT_TRUE(note.OkButton()->isVisible());
  EXPECT_TRUE(note.CloseButton()->isVisible());
}

TEST_F(NoteTest, EnterAndEscapeLeaveItOpen) {
  NoteAnswerer answerer;
  answerer.Queue([](CNoteDlg& note) {
    note.show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(&note));
    note.activateWindow();
    EXPECT_TRUE(QTest::qWaitForWindowActive(&note));
    note.OkButton()->setFocus();
    for (auto key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape}) {
      QTest::keyClick(&note, key);
      QTest::keyClick(note.OkButton(), key);
    }
    EXPECT_TRUE(note.isVisible());
    EXPECT_EQ(note.result(), 0);
    QTest::keyClick(note.OkButton(), Qt::Key_Space);  // a focused button still works
    return note.result();
  });
  EXPECT_EQ(CNoteDlg::ShowNote(&owner_, "Note", "text", true), CNoteDlg::kOk);
}

TEST_F(NoteTest, TheRealModalLoopReturnsTheButton) {
  QTimer::singleShot(0, [] {
    (void)QTest::qWaitFor([] { return QApplication::activeModalWidget() != nullptr; }, 5000);
    auto* note = qobject_cast<CNoteDlg*>(QApplication::activeModalWidget());
    if (note != nullptr)
      QTest::mouseClick(note->CancelButton(), Qt::LeftButton);
  });
  EXPECT_EQ(CNoteDlg::ShowNote(&owner_, "Note", "Modal", true), CNoteDlg::kCancel);
}

TEST_F(NoteTest, LongTextsBreakAtTheWidthAndAtLineFeeds) {
  CNoteDlg note(&owner_, QStringLiteral("Note"),
                QStringLiteral("The input Lock Code cannot contain space characters and special "
                               "characters \" or \\ \nSecond"),
                false);
  const auto& lines = note.Text()->Lines();
  ASSERT_GE(lines.size(), 3u);
  const QFontMetrics metrics(note.Text()->font());
  for (const QString& line : lines)
    EXPECT_LE(metrics.horizontalAdvance(line), 321) << line.toStdString();
  EXPECT_EQ(lines.back(), QStringLiteral("Second"));
}

TEST_F(NoteTest, OkAndCancelSpeakTheLanguageTheCallersTextsAreLeftAlone) {
  InitLanguage(BREVANT_SOURCE_DIR "/data", 2052);
  CNoteDlg note(&owner_, QStringLiteral("Ok"), QStringLiteral("Cancel"), true);
  EXPECT_EQ(note.OkButton()->text(), QString::fromUtf8("确定"));
  EXPECT_EQ(note.CancelButton()->text(), QString::fromUtf8("取消"));
  EXPECT_EQ(note.Title()->text(), QStringLiteral("Ok"));
  EXPECT_EQ(note.Text()->text(), QStringLiteral("Cancel"));
}

}  // namespace
}  // namespace brevant
