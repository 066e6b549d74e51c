#include <QApplication>
#include <QTest>

#include "antitheft_fixture.h"
#include "screens/modal_runner.h"
#include "screens/note_dlg.h"

namespace brevant::testing {
namespace {

using Call = FakePageHost::Call;

const std::string kA = "02:62:00:00:00:01";
const std::string kB = "02:62:00:00:00:02";
const std::string kC = "02:62:00:00:00:03";
const std::string kD = "02:62:00:00:00:04";

std::string Plan(const std::string& mac, const std::string& lock = "1234") {
  return "mac=" + mac + ",lock=" + lock;
}

QWidget* Child(QWidget* page, const char* name) {
  return page->findChild<QWidget*>(QString::fromLatin1(name));
}

TEST_F(AntiTheftPageTest, SwitchLayoutCollapsesMovesAndRestores) {
  Open({kA});
  // Created with the switch on: the full page, centred in the window.
  EXPECT_TRUE(page_->SwitchOn());
  EXPECT_EQ(page_->geometry(), QRect(198, 57, 420, 426));
  struct Spot {
    const char* name;
    QRect full;
    QRect off;  // empty: hidden when off
  };
  const Spot spots[] = {
      {"antiTheftTitle", {22, 11, 144, 18}, {22, 11, 144, 18}},
      {"loadTemplateButton", {160, 48, 108, 24}, {160, 48, 108, 24}},
      {"lockCodeEdit", {163, 88, 180, 24}, {163, 88, 180, 24}},
      {"confirmLockCodeEdit", {163, 124, 180, 24}, {}},
      {"confirmLockCodeLabel", {38, 127, 113, 18}, {}},
      {"lockCodeExplanation", {163, 154, 180, 56}, {163, 124, 180, 56}},
      {"protectionLabel", {23, 224, 128, 18}, {23, 199, 128, 18}},
      {"protectionSwitch", {163, 226, 28, 16}, {163, 201, 28, 16}},
      {"acNameEdit", {163, 258, 180, 24}, {}},
      {"primaryDnsLabel", {76, 297, 75, 18}, {}},
      {"secondaryDnsEdit", {163, 330, 180, 24}, {}},
      {"antiTheftBottomSeparator", {0, 370, 420, 1}, {0, 231, 420, 1}},
      {"cancelButton", {252, 386, 71, 27}, {252, 244, 71, 27}},
      {"applyButton", {332, 386, 67, 27}, {332, 244, 67, 27}},
  };
  auto check = [&](bool on) {
    for (const Spot& spot : spots) {
      QWidget* control = Child(page_, spot.name);
      ASSERT_NE(control, nullptr) << spot.name;
      const QRect expected = on ? spot.full : spot.off;
      EXPECT_EQ(control->isVisible(), !expected.isNull()) << spot.name << (on ? " on" : " off");
      if (!expected.isNull()) {
        EXPECT_EQ(control->geometry(), expected) << spot.name << (on ? " on" : " off");
      }
    }
    EXPECT_EQ(QApplication::focusWidget(), page_->LockCodeEdit());
  };
  check(true);
  // Each required mark stands right before its label's text, on its table row.
  for (auto [mark, label, y] : {std::tuple{"lockCodeMark", "lockCodeLabel", 93},
                                std::tuple{"confirmLockCodeMark", "confirmLockCodeLabel", 129},
                                std::tuple{"acNameMark", "acNameLabel", 263}}) {
    auto* text = static_cast<CTStaticGdiplus*>(Child(page_, label));
    const QRect at = Child(page_, mark)->geometry();
    EXPECT_EQ(at.size(), QSize(7, 7)) << mark;
    EXPECT_EQ(at.y(), y) << mark;
    const int start =
        text->geometry().right() + 1 - QFontMetrics(text->font()).horizontalAdvance(text->text());
    EXPECT_EQ(at.right() + 2, start) << mark;
  }

  Click(page_->SwitchButton());
  EXPECT_FALSE(page_->SwitchOn());
  EXPECT_EQ(page_->geometry(), QRect(198, 131, 420, 278));
  check(false);
  // The notes stay where they were, below the collapsed page's edge.
  EXPECT_EQ(Child(page_, "primaryDnsOptional")->geometry(), QRect(349, 297, 53, 18));
  EXPECT_EQ(page_->SwitchButton()->StatePicture(ControlState::Normal).toImage(),
            LoadSkinPixmap(page_->SkinFile("btn_switch_off.png")).toImage());

  Click(page_->SwitchButton());
  EXPECT_EQ(page_->geometry(), QRect(198, 57, 420, 426));
  check(true);
  EXPECT_EQ(page_->SwitchButton()->StatePicture(ControlState::Normal).toImage(),
            LoadSkinPixmap(page_->SkinFile("btn_switch_on.png")).toImage());
}

TEST_F(AntiTheftPageTest, EveryTextFitsItsBox) {
  Open({kA});
  for (CTStaticGdiplus* label : page_->findChildren<CTStaticGdiplus*>()) {
    const std::size_t lines = label->objectName() == QStringLiteral("lockCodeExplanation") ? 4 : 1;
    EXPECT_EQ(label->Lines().size(), lines)
        << label->objectName().toStdString() << " needs " << label->sizeHint().width() << " x "
        << label->sizeHint().height() << ", has " << label->width() << " x " << label->height();
    // A required mark's box is 7 x 7: its star is drawn in the upper part of a line.
    if (label->text() != QStringLiteral("*")) {
      EXPECT_LE(label->sizeHint().height(), label->height()) << label->objectName().toStdString();
    }
  }
  for (CTButtonPicture* button : page_->findChildren<CTButtonPicture*>()) {
    const int caption = QFontMetrics(button->CaptionFont()).horizontalAdvance(button->text());
    EXPECT_LE(caption + 8, button->width()) << button->objectName().toStdString();
  }
}

TEST_F(AntiTheftPageTest, TypingIsLimitedAndDnsFieldsShowTheirPlaceholder) {
  Open({kA});
  for (CTEditGdiplus* dns : {page_->PrimaryDnsEdit(), page_->SecondaryDnsEdit()}) {
    EXPECT_TRUE(dns->IsShowingPlaceholder());
    EXPECT_EQ(dns->text(), QStringLiteral("e.g. 8.8.8.8"));
    EXPECT_EQ(dns->PlaceholderColor(), QColor(128, 128, 128));
  }
  // The placeholder is the field's text while shown: the command says "no address".
  EXPECT_EQ(page_->Fields().primaryDns, "e.g. 8.8.8.8");

  const QString forty(40, QLatin1Char('x'));
  for (CTEditGdiplus* edit :
       {page_->LockCodeEdit(), page_->ConfirmLockCodeEdit(), page_->ACNameEdit()}) {
    Type(edit, forty);
    EXPECT_EQ(edit->text().size(), 32) << edit->objectName().toStdString();
  }
  Type(page_->PrimaryDnsEdit(), QStringLiteral("1111.2222.3333.4444"));
  EXPECT_EQ(page_->PrimaryDnsEdit()->text(), QStringLiteral("1111.2222.3333."));

  // Entering a field that shows the placeholder empties it; leaving it empty puts it back.
  Type(page_->SecondaryDnsEdit(), QString());
  EXPECT_TRUE(page_->SecondaryDnsEdit()->text().isEmpty());
  page_->LockCodeEdit()->setFocus(Qt::MouseFocusReason);
  EXPECT_TRUE(page_->SecondaryDnsEdit()->IsShowingPlaceholder());

  // A template's texts are not cut.
  TemplateValues values;
  values.switchOn = true;
  values.acName = std::string(40, 'a');
  values.primaryDns = "2001:db8:0:0:0:0:0:1";
  page_->ApplyTemplate(values);
  EXPECT_EQ(page_->ACNameEdit()->text().size(), 40);
  EXPECT_EQ(page_->Fields().primaryDns, values.primaryDns);
  EXPECT_TRUE(page_->LockCodeEdit()->text().isEmpty());
  EXPECT_TRUE(page_->ConfirmLockCodeEdit()->text().isEmpty());
}

TEST_F(AntiTheftPageTest, AFailedRuleShowsItsNoteAndFocusesItsField) {
  Open({kA});
  struct Case {
    const char* lock;
    const char* confirm;
    const char* acName;
    const char* primary;  // nullptr: untouched
    const char* message;
    const char* focus;
  };
  const Case cases[] = {
      {"", "", "", nullptr, "Please input the Lock Code information!", "lockCodeEdit"},
      {"ab cd", "", "", nullptr,
       "The input Lock Code cannot contain space characters and special characters \" or \\ ",
       "lockCodeEdit"},
      {"Abcd", "abcd", "ac", nullptr, "The input information of the two is inconsistent!",
       "confirmLockCodeEdit"},
      {"abcd", "abcd", "", nullptr, "Please input the AC Name information!", "acNameEdit"},
      {"abcd", "abcd", "a\"c", nullptr,
       "The input AC Name cannot contain special characters \" or \\ ", "acNameEdit"},
      {"abcd", "abcd", "ac one", "256.1.1.1", "The Primary DNS is invalid!", "primaryDnsEdit"},
  };
  for (const Case& c : cases) {
    page_->LockCodeEdit()->setText(QString::fromUtf8(c.lock));
    page_->ConfirmLockCodeEdit()->setText(QString::fromUtf8(c.confirm));
    page_->ACNameEdit()->setText(QString::fromUtf8(c.acName));
    if (c.primary != nullptr)
      page_->PrimaryDnsEdit()->SetRealText(QString::fromUtf8(c.primary));
    page_->SecondaryDnsEdit()->setFocus();  // away from every field a rule names
    NoteAnswerer notes;
    Click(page_->ApplyButton());
    ASSERT_EQ(notes.Notes().size(), 1u) << c.message;
    EXPECT_EQ(notes.Notes()[0].title, QStringLiteral("Note"));
    EXPECT_EQ(notes.Notes()[0].text.toStdString(), c.message);
    EXPECT_FALSE(notes.Notes()[0].withCancel);
    EXPECT_EQ(QApplication::focusWidget(), Child(page_, c.focus)) << c.message;
  }
  EXPECT_TRUE(host_.calls.empty());
  EXPECT_TRUE(page_->isVisible());
}

TEST_F(AntiTheftPageTest, SwitchedOffSendsOnlyTheLockCodeWhateverTheHiddenFieldsHold) {
  Devices({Plan(kA, "Lock-9")});
  Open({kA});
  Type(page_->ConfirmLockCodeEdit(), QStringLiteral("other"));
  Type(page_->ACNameEdit(), QStringLiteral("hidden ac"));
  Type(page_->PrimaryDnsEdit(), QStringLiteral("1.2.3.4"));
  Type(page_->SecondaryDnsEdit(), QStringLiteral("nonsense"));
  Click(page_->SwitchButton());
  Type(page_->LockCodeEdit(), QStringLiteral("Lock-9"));

  // The device list is told before it is shown, and both before any status changes.
  std::vector<std::int32_t> statusAtCalls;
  host_.onCall = [&] { statusAtCalls.push_back(Row(kA).antiTheftStatus); };
  NoteAnswerer notes;
  Click(page_->ApplyButton());
  ASSERT_EQ(notes.Notes().size(), 1u);
  EXPECT_EQ(notes.Notes()[0].text, QStringLiteral("Are you sure you want to apply configuration?"));
  EXPECT_TRUE(notes.Notes()[0].withCancel);
  ASSERT_EQ(host_.calls.size(), 2u);
  EXPECT_EQ(host_.calls[0].kind, Call::Started);
  EXPECT_EQ(host_.calls[0].page, kAntiTheftPage);
  EXPECT_EQ(host_.calls[1].kind, Call::Show);
  EXPECT_EQ(host_.calls[1].page, kDeviceListPage);
  EXPECT_EQ(statusAtCalls, (std::vector<std::int32_t>{WAIT_OPERATE, WAIT_OPERATE}));

  EXPECT_EQ(WaitForAntiTheft(kA, OPERATE_SUCCESS), OPERATE_SUCCESS);
  EXPECT_EQ(Received(kA),
            R"({"Lockcode":"Lock-9","Enable":"0","ACName":"","DNS1":"0.0.0.0","DNS2":"0.0.0.0"})");
  // The hidden fields keep what they held.
  EXPECT_EQ(page_->ACNameEdit()->text(), QStringLiteral("hidden ac"));
}

TEST_F(AntiTheftPageTest, ThreeTargetsGetOneJobEachInListOrderWithOneCommand) {
  Devices({Plan(kA), Plan(kB), Plan(kC), Plan(kD)});
  ASSERT_TRUE(store_.SetParaStatus(kD, OPERATE_FAIL));  // an earlier delivery's verdict
  // Each job runs to its end before the next starts, so the wire shows the start order.
  page_->SetJobStarter([](std::function<void()> job) {
    std::thread(std::move(job)).join();
    return true;
  });
  Open({kC, kA, kB});
  Type(page_->LockCodeEdit(), QStringLiteral("1234"));
  Type(page_->ConfirmLockCodeEdit(), QStringLiteral("1234"));
  Type(page_->ACNameEdit(), QStringLiteral("AC one"));
  Type(page_->PrimaryDnsEdit(), QStringLiteral(" 8.8.8.8"));
  NoteAnswerer notes;
  Click(page_->ApplyButton());
  ASSERT_EQ(notes.Notes().size(), 1u);

  const std::string command =
      R"({"Lockcode":"1234","Enable":"1","ACName":"AC one","DNS1":" 8.8.8.8","DNS2":"0.0.0.0"})";
  ASSERT_TRUE(QTest::qWaitFor([&] { return CommandsByDevice().size() >= 3; }, 10000));
  const auto sent = CommandsByDevice();
  ASSERT_EQ(sent.size(), 3u);
  const std::string order[] = {kC, kA, kB};
  for (std::size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(sent[i].first, order[i]) << "job " << i + 1;
    EXPECT_EQ(sent[i].second, command) << "job " << i + 1;
  }
  for (const std::string& mac : order)
    EXPECT_EQ(WaitForAntiTheft(mac, OPERATE_SUCCESS), OPERATE_SUCCESS) << mac;
  // The device that is no target was cleared too, and got nothing.
  EXPECT_EQ(Row(kD).paraStatus, WAIT_OPERATE);
  EXPECT_EQ(Row(kD).antiTheftStatus, WAIT_OPERATE);
  EXPECT_EQ(Received(kD), "");
}

TEST_F(AntiTheftPageTest, CancelledConfirmationAndCancelChangeNothing) {
  Devices({Plan(kA)});
  ASSERT_TRUE(store_.SetLogoStatus(kA, OPERATE_SUCCESS));
  Open({kA});
  Click(page_->SwitchButton());
  Type(page_->LockCodeEdit(), QStringLiteral("1234"));
  {
    NoteAnswerer notes;
    notes.Queue(CNoteDlg::kCancel);
    Click(page_->ApplyButton());
    EXPECT_EQ(notes.Notes().size(), 1u);
  }
  EXPECT_TRUE(host_.calls.empty());
  EXPECT_TRUE(page_->isVisible());

  for (QAbstractButton* leave : {static_cast<QAbstractButton*>(page_->CancelButton()),
                                 static_cast<QAbstractButton*>(page_->CloseButton())}) {
    host_.calls.clear();
    NoteAnswerer notes;
    Click(leave);
    EXPECT_TRUE(notes.Notes().empty());
    ASSERT_EQ(host_.calls.size(), 1u);
    EXPECT_EQ(host_.calls[0].kind, Call::Show);
    EXPECT_EQ(host_.calls[0].page, kDeviceListPage);
  }
  QTest::qWait(200);
  EXPECT_TRUE(Commands().empty());
  EXPECT_EQ(Row(kA).logoStatus, OPERATE_SUCCESS);
  EXPECT_EQ(Row(kA).antiTheftStatus, WAIT_OPERATE);
  EXPECT_EQ(page_->LockCodeEdit()->text(), QStringLiteral("1234"));
  EXPECT_FALSE(page_->SwitchOn());
}

TEST_F(AntiTheftPageTest, TheSecondOpeningShowsThePreviousEntriesForNewTargets) {
  Devices({Plan(kA), Plan(kB)});
  Open({kA});
  Type(page_->LockCodeEdit(), QStringLiteral("1234"));
  Type(page_->ConfirmLockCodeEdit(), QStringLiteral("1234"));
  Type(page_->ACNameEdit(), QStringLiteral("AC one"));
  Type(page_->SecondaryDnsEdit(), QStringLiteral("::1"));
  {
    NoteAnswerer notes;
    Click(page_->ApplyButton());
  }
  EXPECT_EQ(WaitForAntiTheft(kA, OPERATE_SUCCESS), OPERATE_SUCCESS);
  page_->hide();  // the window shows the device list

  page_->SecondaryDnsEdit()->setFocus();
  page_->SetTargetList({kB});
  page_->show();
  page_->Entered();
  EXPECT_EQ(page_->TargetList(), std::vector<std::string>{kB});
  EXPECT_EQ(QApplication::focusWidget(), page_->LockCodeEdit());
  EXPECT_EQ(page_->LockCodeEdit()->text(), QStringLiteral("1234"));
  EXPECT_EQ(page_->ConfirmLockCodeEdit()->text(), QStringLiteral("1234"));
  EXPECT_EQ(page_->ACNameEdit()->text(), QStringLiteral("AC one"));
  EXPECT_TRUE(page_->PrimaryDnsEdit()->IsShowingPlaceholder());
  EXPECT_EQ(page_->SecondaryDnsEdit()->text(), QStringLiteral("::1"));
  {
    NoteAnswerer notes;
    Click(page_->ApplyButton());
  }
  EXPECT_EQ(WaitForAntiTheft(kB, OPERATE_SUCCESS), OPERATE_SUCCESS);
  EXPECT_EQ(Received(kB), Received(kA));
  // The tap's thread may see the second command after the device has answered it.
  EXPECT_TRUE(QTest::qWaitFor([&] { return CommandsByDevice().size() >= 2; }, 10000));
  EXPECT_EQ(CommandsByDevice().size(), 2u);
}

TEST_F(AntiTheftPageTest, ACommandTooLongForAJobIsRefusedAndNothingIsSent) {
  Devices({Plan(kA)});
  Open({kA});
  // Only a hand-edited template can bring such an AC name.
  TemplateValues values;
  values.switchOn = true;
  values.acName = std::string(480, 'a');
  page_->ApplyTemplate(values);
  page_->PrimaryDnsEdit()->SetRealText(QStringLiteral("e.g. 8.8.8.8"));
  page_->SecondaryDnsEdit()->SetRealText(QStringLiteral("e.g. 8.8.8.8"));
  page_->RunSwitchLayout();
  Type(page_->LockCodeEdit(), QStringLiteral("1234"));
  Type(page_->ConfirmLockCodeEdit(), QStringLiteral("1234"));
  NoteAnswerer notes;
  Click(page_->ApplyButton());
  ASSERT_EQ(notes.Notes().size(), 1u);
  EXPECT_FALSE(notes.Notes()[0].withCancel);
  EXPECT_TRUE(notes.Notes()[0].text.contains(QStringLiteral("511")))
      << notes.Notes()[0].text.toStdString();
  EXPECT_EQ(QApplication::focusWidget(), page_->ACNameEdit());
  EXPECT_TRUE(host_.calls.empty());
  QTest::qWait(200);
  EXPECT_TRUE(Commands().empty());
  EXPECT_EQ(Row(kA).antiTheftStatus, WAIT_OPERATE);
}

}  // namespace
}  // namespace brevant::testing
