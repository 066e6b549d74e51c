#include <QApplication>
#include <QMenu>
#include <QTest>

#include "antitheft_fixture.h"
#include "screens/load_template_dlg.h"
#include "screens/modal_runner.h"
#include "screens/save_template_dlg.h"

namespace brevant::testing {
namespace {

class TemplateDialogsTest : public AntiTheftPageTest {
 protected:
  std::filesystem::path File() const { return dir_ / "IniTemplate" / "Config.ini"; }
  std::string FileText() const { return ReadBytes(File()); }
  void WriteFile(const std::string& text) { dir_.Write("IniTemplate/Config.ini", text); }

  // Presses "Save as template" and saves under the name.
  void SaveAs(const QString& name) {
    ModalAnswerer dialogs;
    dialogs.Queue([&](QDialog& dialog) {
      auto& save = static_cast<CSaveTemplateDlg&>(dialog);
      Type(save.NameEdit(), name);
      Click(save.SaveButton());
    });
    Click(page_->SaveTemplateButton());
    BackToWindow();
  }
  // Presses "Load template" and loads the entry of that text.
  void LoadNamed(const QString& name) {
    ModalAnswerer dialogs;
    dialogs.Queue([&](QDialog& dialog) {
      auto& load = static_cast<CLoadTemplateDlg&>(dialog);
      load.TemplateCombo()->setCurrentIndex(load.TemplateCombo()->findText(name));
      Click(load.LoadButton());
    });
    Click(page_->LoadTemplateButton());
    BackToWindow();
  }
  // A dialog the answerer showed takes the keyboard once its window is active;
  // the window takes it back when the dialog closes.
  static void Activate(QWidget* window) {
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitFor([&] { return QApplication::activeWindow() == window; }, 5000));
  }
  void BackToWindow() { Activate(&window_); }

  static QStringList Items(const CCustomComboBox* combo) {
    QStringList items;
    for (int i = 0; i < combo->count(); ++i)
      items << combo->itemText(i);
    return items;
  }
};

TEST_F(TemplateDialogsTest, SaveKeepsTheNetworkEntriesAndRefusesEmptyOrTakenNames) {
  Open({"02:62:00:00:00:01"});
  Type(page_->LockCodeEdit(), QStringLiteral("1234"));
  Type(page_->ACNameEdit(), QStringLiteral("ac one"));
  NoteAnswerer notes;
  ModalAnswerer dialogs;
  bool pageHidden = false;
  dialogs.Queue([&](QDialog& dialog) {
    auto& save = static_cast<CSaveTemplateDlg&>(dialog);
    pageHidden = !page_->isVisible();
    Activate(&save);
    EXPECT_EQ(save.size(), QSize(420, 152));
    EXPECT_EQ(QApplication::focusWidget(), save.NameEdit());
    Click(save.SaveButton());  // no name yet
    ASSERT_EQ(notes.Notes().size(), 1u);
    EXPECT_EQ(notes.Notes()[0].text, QStringLiteral("Please enter the Template Name!"));
    EXPECT_TRUE(save.isVisible());
    EXPECT_EQ(QApplication::focusWidget(), save.NameEdit());
    Type(save.NameEdit(), QStringLiteral("Site A"));
    Click(save.SaveButton());
  });
  Click(page_->SaveTemplateButton());
  EXPECT_TRUE(pageHidden);
  EXPECT_TRUE(page_->isVisible());
  // Untouched DNS fields are kept as they are displayed; never the lock code.
  const std::string siteA =
      "[Site A]\r\nACName=ac one\r\nPrimaryDns=e.g. 8.8.8.8\r\nSecondaryDns=e.g. 8.8.8.8\r\n"
      "SwitchOn=1\r\n\r\n";
  EXPECT_EQ(FileText(), siteA);

  // Switched off: empty entries whatever the hidden fields hold. A name that
  // differs only in case is another template, listed after the upper-case one.
  Click(page_->SwitchButton());
  SaveAs(QStringLiteral("site A"));
  EXPECT_EQ(FileText(),
            siteA + "[site A]\r\nACName=\r\nPrimaryDns=\r\nSecondaryDns=\r\nSwitchOn=0\r\n\r\n");

  // A taken name: the note, the name emptied, the dialog still open.
  const std::string before = FileText();
  notes.Queue(CNoteDlg::kOk);
  dialogs.Queue([&](QDialog& dialog) {
    auto& save = static_cast<CSaveTemplateDlg&>(dialog);
    Type(save.NameEdit(), QStringLiteral("Site A"));
    Click(save.SaveButton());
    EXPECT_EQ(notes.Notes().back().text,
              QStringLiteral("The name Site A has already exists.Please re-enter!"));
    EXPECT_TRUE(save.isVisible());
    EXPECT_TRUE(save.NameEdit()->text().isEmpty());
    Click(save.CancelButton());
  });
  Click(page_->SaveTemplateButton());
  EXPECT_EQ(FileText(), before);
  EXPECT_EQ(page_->LockCodeEdit()->text(), QStringLiteral("1234"));
}

TEST_F(TemplateDialogsTest, LoadListsInByteOrderPutsTheTemplateBackAndPreselectsItNextTime) {
  WriteFile(
      "[b]\r\nSwitchOn=1\r\nACName=ac b\r\nPrimaryDns=e.g. 8.8.8.8\r\nSecondaryDns=8.8.4.4\r\n"
      "[a]\r\nSwitchOn=0\r\nACName=ac a\r\n"
      "[B]\r\nSwitchOn=yes\r\n");
  Open({"02:62:00:00:00:01"});
  Type(page_->LockCodeEdit(), QStringLiteral("1234"));
  Type(page_->ConfirmLockCodeEdit(), QStringLiteral("1234"));
  {
    CLoadTemplateDlg load(*page_);
    load.show();
    EXPECT_EQ(Items(load.TemplateCombo()),
              (QStringList{QStringLiteral("B"), QStringLiteral("a"), QStringLiteral("b")}));
    EXPECT_EQ(load.TemplateCombo()->currentIndex(), -1);
    EXPECT_FALSE(load.DeleteButton()->isVisible());
    load.TemplateCombo()->setCurrentIndex(2);
    EXPECT_TRUE(QTest::qWaitFor([&] { return load.DeleteButton()->isVisible(); }, 2000));
  }

  LoadNamed(QStringLiteral("b"));
  EXPECT_TRUE(page_->SwitchOn());
  EXPECT_TRUE(page_->LockCodeEdit()->text().isEmpty());
  EXPECT_TRUE(page_->ConfirmLockCodeEdit()->text().isEmpty());
  EXPECT_EQ(page_->ACNameEdit()->text(), QStringLiteral("ac b"));
  // The saved placeholder comes back as a real value and still means "none".
  EXPECT_FALSE(page_->PrimaryDnsEdit()->IsShowingPlaceholder());
  EXPECT_EQ(page_->PrimaryDnsEdit()->text(), QStringLiteral("e.g. 8.8.8.8"));
  EXPECT_EQ(page_->LastTemplateName(), "b");
  page_->LockCodeEdit()->setText(QStringLiteral("1234"));
  page_->ConfirmLockCodeEdit()->setText(QStringLiteral("1234"));
  EXPECT_EQ(
      AntiTheftCommandText(page_->Fields()),
      R"({"Lockcode":"1234","Enable":"1","ACName":"ac b","DNS1":"0.0.0.0","DNS2":"8.8.4.4"})");

  // Any SwitchOn but "1" is off; the switch layout runs after the load.
  LoadNamed(QStringLiteral("B"));
  EXPECT_FALSE(page_->SwitchOn());
  EXPECT_EQ(page_->height(), CAntiTheftProtectionDlg::kCollapsedHeight);
  EXPECT_FALSE(page_->ACNameEdit()->isVisible());
  EXPECT_EQ(QApplication::focusWidget(), page_->LockCodeEdit());

  CLoadTemplateDlg again(*page_);
  EXPECT_EQ(again.TemplateCombo()->currentText(), QStringLiteral("B"));
}

TEST_F(TemplateDialogsTest, LoadWithNothingSelectedEmptiesTheEntriesAndTurnsTheSwitchOff) {
  WriteFile("[x]\r\nSwitchOn=1\r\nACName=ac x\r\n");
  Open({"02:62:00:00:00:01"});
  page_->SetLastTemplateName("gone");
  Type(page_->LockCodeEdit(), QStringLiteral("1234"));
  Type(page_->ACNameEdit(), QStringLiteral("ac"));
  Type(page_->PrimaryDnsEdit(), QStringLiteral("1.1.1.1"));
  for (const char* file : {"[x]\r\nSwitchOn=1\r\n", ""}) {  // a list, and an empty one
    WriteFile(file);
    ModalAnswerer dialogs;
    dialogs.Queue([&](QDialog& dialog) {
      auto& load = static_cast<CLoadTemplateDlg&>(dialog);
      EXPECT_EQ(load.TemplateCombo()->currentIndex(), -1);
      Click(load.LoadButton());
      EXPECT_EQ(load.result(), QDialog::Accepted);
    });
    Click(page_->LoadTemplateButton());
    EXPECT_FALSE(page_->SwitchOn());
    for (CTEditGdiplus* edit :
         {page_->LockCodeEdit(), page_->ConfirmLockCodeEdit(), page_->ACNameEdit(),
          page_->PrimaryDnsEdit(), page_->SecondaryDnsEdit()})
      EXPECT_TRUE(edit->text().isEmpty()) << edit->objectName().toStdString();
    EXPECT_EQ(page_->LastTemplateName(), "gone");
  }
}

TEST_F(TemplateDialogsTest, CancelAndCloseLeaveThePageAsItWas) {
  WriteFile("[x]\r\nSwitchOn=0\r\n");
  Open({"02:62:00:00:00:01"});
  Type(page_->LockCodeEdit(), QStringLiteral("1234"));
  for (int i = 0; i < 2; ++i) {
    ModalAnswerer dialogs;
    dialogs.Queue([&](QDialog& dialog) {
      auto& load = static_cast<CLoadTemplateDlg&>(dialog);
      load.TemplateCombo()->setCurrentIndex(0);
      Click(i == 0 ? load.CancelButton() : load.CloseButton());
    });
    Click(page_->LoadTemplateButton());
    EXPECT_TRUE(page_->SwitchOn());
    EXPECT_EQ(page_->LockCodeEdit()->text(), QStringLiteral("1234"));
    EXPECT_EQ(page_->LastTemplateName(), "");
    EXPECT_TRUE(page_->isVisible());
  }
}

TEST_F(TemplateDialogsTest, DeleteNeedsNoConfirmationAndLooksTheNameUpTrimmed) {
  WriteFile("[ b ]\r\nSwitchOn=1\r\n[A]\r\nSwitchOn=1\r\n[c]\r\nSwitchOn=0\r\n");
  Open({"02:62:00:00:00:01"});
  NoteAnswerer notes;
  {
    CLoadTemplateDlg load(*page_);
    load.show();
    CCustomComboBox* list = load.TemplateCombo();
    ASSERT_EQ(Items(list),
              (QStringList{QStringLiteral(" b "), QStringLiteral("A"), QStringLiteral("c")}));
    list->setCurrentIndex(2);
    ASSERT_TRUE(QTest::qWaitFor([&] { return load.DeleteButton()->isVisible(); }, 2000));
    Click(load.DeleteButton());
    EXPECT_EQ(Items(list), (QStringList{QStringLiteral(" b "), QStringLiteral("A")}));
    EXPECT_EQ(list->currentIndex(), 0);
    EXPECT_EQ(FileText(), "[ b ]\r\nSwitchOn=1\r\n\r\n[A]\r\nSwitchOn=1\r\n\r\n");

    // " b " leaves the list, but "b" is what is removed from the file.
    Click(load.DeleteButton());
    EXPECT_EQ(Items(list), QStringList{QStringLiteral("A")});
    EXPECT_EQ(FileText(), "[ b ]\r\nSwitchOn=1\r\n\r\n[A]\r\nSwitchOn=1\r\n\r\n");
    Click(load.DeleteButton());
    EXPECT_TRUE(Items(list).isEmpty());
    EXPECT_TRUE(QTest::qWaitFor([&] { return !load.DeleteButton()->isVisible(); }, 2000));
    EXPECT_TRUE(load.isVisible());
  }
  EXPECT_TRUE(notes.Notes().empty());
  // It shows again at the next opening.
  CLoadTemplateDlg again(*page_);
  EXPECT_EQ(Items(again.TemplateCombo()), QStringList{QStringLiteral(" b ")});
}

TEST_F(TemplateDialogsTest, AFileThatCannotBeReadIsReportedAndNothingIsListedOrSaved) {
  Open({"02:62:00:00:00:01"});
  struct Case {
    const char* file;  // nullptr: no file
    std::string message;
  };
  const Case cases[] = {
      {nullptr, "Cannot open file: " + File().string()},
      {"[x]\r\nSwitchOn=1\r\n; two\r\n[x]\r\n", "Duplicate section \"x\" found at line 4"},
  };
  for (const Case& c : cases) {
    std::filesystem::remove(File());
    if (c.file != nullptr)
      WriteFile(c.file);
    NoteAnswerer notes;
    {
      CLoadTemplateDlg load(*page_);
      ASSERT_EQ(notes.Notes().size(), 1u) << c.message;
      EXPECT_EQ(notes.Notes()[0].text.toStdString(), c.message);
      EXPECT_EQ(load.TemplateCombo()->count(), 0);
    }
    ModalAnswerer dialogs;
    dialogs.Queue([&](QDialog& dialog) {
      auto& save = static_cast<CSaveTemplateDlg&>(dialog);
      Type(save.NameEdit(), QStringLiteral("new"));
      for (int press = 0; press < 2; ++press) {
        Click(save.SaveButton());
        EXPECT_TRUE(save.isVisible());
        EXPECT_EQ(notes.Notes().back().text.toStdString(), c.message);
      }
    });
    Click(page_->SaveTemplateButton());
    EXPECT_EQ(notes.Notes().size(), 3u);
    EXPECT_EQ(std::filesystem::exists(File()), c.file != nullptr);
    if (c.file != nullptr) {
      EXPECT_EQ(FileText(), c.file);
    }
  }
}

TEST_F(TemplateDialogsTest, ARightClickOnTheListOffersEditWhichDoesNothing) {
  WriteFile("[x]\r\nSwitchOn=1\r\n");
  Open({"02:62:00:00:00:01"});
  CLoadTemplateDlg load(*page_);
  load.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&load));
  QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(20, 10),
                          load.TemplateCombo()->mapToGlobal(QPoint(20, 10)));
  QApplication::sendEvent(load.TemplateCombo(), &event);
  QMenu* menu = load.ContextMenu();
  ASSERT_NE(menu, nullptr);
  EXPECT_TRUE(QTest::qWaitFor([&] { return menu->isVisible(); }, 2000));
  ASSERT_EQ(menu->actions().size(), 1);
  EXPECT_EQ(menu->actions()[0]->text(), QStringLiteral("Edit"));
  menu->actions()[0]->trigger();
  menu->hide();
  EXPECT_TRUE(load.isVisible());
  EXPECT_EQ(FileText(), "[x]\r\nSwitchOn=1\r\n");
}

TEST_F(TemplateDialogsTest, ATemplateWithoutDnsStopsAtPrimaryDnsUntilAnAddressOrTheFieldIsVisited) {
  const std::string mac = "02:62:00:00:00:01";
  Devices({"mac=" + mac + ",lock=1234"});
  Open({mac});
  Click(page_->SwitchButton());
  SaveAs(QStringLiteral("off"));
  LoadNamed(QStringLiteral("off"));
  Click(page_->SwitchButton());
  ASSERT_TRUE(page_->SwitchOn());
  Type(page_->LockCodeEdit(), QStringLiteral("1234"));
  Type(page_->ConfirmLockCodeEdit(), QStringLiteral("1234"));
  Type(page_->ACNameEdit(), QStringLiteral("ac"));
  EXPECT_TRUE(page_->PrimaryDnsEdit()->text().isEmpty());
  EXPECT_FALSE(page_->PrimaryDnsEdit()->IsShowingPlaceholder());

  NoteAnswerer notes;
  page_->ACNameEdit()->setFocus(Qt::MouseFocusReason);
  Click(page_->ApplyButton());
  EXPECT_EQ(notes.Notes().back().text, QStringLiteral("The Primary DNS is invalid!"));
  EXPECT_EQ(QApplication::focusWidget(), page_->PrimaryDnsEdit());
  // One way on: an address typed in.
  QTest::keyClicks(page_->PrimaryDnsEdit(), QStringLiteral("9.9.9.9"));
  Click(page_->ApplyButton());
  EXPECT_EQ(notes.Notes().back().text, QStringLiteral("The Secondary DNS is invalid!"));
  EXPECT_EQ(QApplication::focusWidget(), page_->SecondaryDnsEdit());
  // The other: the field entered and left empty shows the placeholder again
  // (pressing Apply leaves it).
  Click(page_->ApplyButton());
  EXPECT_TRUE(page_->SecondaryDnsEdit()->IsShowingPlaceholder());
  EXPECT_EQ(notes.Notes().back().text,
            QStringLiteral("Are you sure you want to apply configuration?"));
  EXPECT_EQ(WaitForAntiTheft(mac, OPERATE_SUCCESS), OPERATE_SUCCESS);
  EXPECT_EQ(Received(mac),
            R"({"Lockcode":"1234","Enable":"1","ACName":"ac","DNS1":"9.9.9.9","DNS2":"0.0.0.0"})");
}

}  // namespace
}  // namespace brevant::testing
