#include "i18n/qt/retitle.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QTextEdit>
#include <QTreeWidget>
#include <functional>

#include "controls/picture_button.h"
#include "controls/skin_edit.h"
#include "controls/skin_label.h"
#include "i18n/language.h"
#include "support/temp_dir.h"

namespace brevant {
namespace {

using testing::TempDir;

class RetitleTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir_ = new TempDir;
    dir_->Write("Languages/Language.ini", "[LCID]\r\n2052=Chinese\r\n");
    dir_->Write("Languages/Chinese.lng",
                "[ProgramOutStr]\r\n"
                "Ok=\xE7\xA1\xAE\xE5\xAE\x9A\r\n"      // 确定
                "Cancel=\xE5\x8F\x96\xE6\xB6\x88\r\n"  // 取消
                "Title=T-zh\r\n"
                "Typed=Typed-zh\r\n"
                "Item A=A-zh\r\n"
                "Item B=B-zh\r\n"
                "Gone=[~NullInfoChrys~]\r\n"
                "...=dots-zh\r\n"
                "Edit=Edit-zh\r\n"
                "More=More-zh\r\n"
                "Sub=Sub-zh\r\n");
    InitLanguage(dir_->path(), 2052);
  }
  static void TearDownTestSuite() {
    InitLanguage("/nonexistent", 1033);
    delete dir_;
  }

  static QString Zh(const char* utf8) { return QString::fromUtf8(utf8); }

  static TempDir* dir_;
};

TempDir* RetitleTest::dir_ = nullptr;

TEST_F(RetitleTest, TextsOfTheProgramAreRetitledTheUsersAreNot) {
  struct Case {
    const char* kind;
    std::function<QWidget*(QWidget*)> make;
    std::function<QString(QWidget*)> read;
    QString after;
  };
  auto text = [](QWidget* w) { return w->property("text").toString(); };
  const Case cases[] = {
      {"label", [](QWidget* p) { return new QLabel("Ok", p); }, text, Zh("确定")},
      {"push button", [](QWidget* p) { return new QPushButton("Cancel", p); }, text, Zh("取消")},
      {"check box", [](QWidget* p) { return new QCheckBox("Ok", p); }, text, Zh("确定")},
      {"group box", [](QWidget* p) { return new QGroupBox("Title", p); },
       [](QWidget* w) { return static_cast<QGroupBox*>(w)->title(); }, "T-zh"},
      {"skinned label", [](QWidget* p) { return new CTStaticGdiplus("Ok", p); }, text, Zh("确定")},
      {"picture button", [](QWidget* p) { return new CTButtonPicture("Cancel", p); }, text,
       Zh("取消")},
      {"three dots", [](QWidget* p) { return new QLabel("...", p); }, text, "..."},
      {"empty translation", [](QWidget* p) { return new QLabel("Gone", p); }, text, "Gone"},
      {"no translation", [](QWidget* p) { return new QLabel("Unknown", p); }, text, "Unknown"},
      {"line edit", [](QWidget* p) { return new QLineEdit("Typed", p); }, text, "Typed"},
      {"skinned edit",
       [](QWidget* p) {
         auto* e = new CTEditGdiplus(p);
         e->setText("Typed");
         return e;
       },
       text, "Typed"},
      {"text edit", [](QWidget* p) { return new QTextEdit("Typed", p); },
       [](QWidget* w) { return static_cast<QTextEdit*>(w)->toPlainText(); }, "Typed"},
      {"plain text edit", [](QWidget* p) { return new QPlainTextEdit("Typed", p); },
       [](QWidget* w) { return static_cast<QPlainTextEdit*>(w)->toPlainText(); }, "Typed"},
      {"list",
       [](QWidget* p) {
         auto* l = new QListWidget(p);
         l->addItem("Typed");
         return l;
       },
       [](QWidget* w) { return static_cast<QListWidget*>(w)->item(0)->text(); }, "Typed"},
      {"tree",
       [](QWidget* p) {
         auto* t = new QTreeWidget(p);
         t->addTopLevelItem(new QTreeWidgetItem(QStringList{"Typed"}));
         return t;
       },
       [](QWidget* w) { return static_cast<QTreeWidget*>(w)->topLevelItem(0)->text(0); }, "Typed"},
      {"table",
       [](QWidget* p) {
         auto* t = new QTableWidget(1, 1, p);
         t->setItem(0, 0, new QTableWidgetItem("Typed"));
         return t;
       },
       [](QWidget* w) { return static_cast<QTableWidget*>(w)->item(0, 0)->text(); }, "Typed"},
      {"spin box",
       [](QWidget* p) {
         auto* s = new QSpinBox(p);
         s->setSpecialValueText("Typed");
         return s;
       },
       [](QWidget* w) { return static_cast<QSpinBox*>(w)->specialValueText(); }, "Typed"},
      {"date edit",
       [](QWidget* p) {
         auto* d = new QDateTimeEdit(p);
         d->setSpecialValueText("Typed");
         return d;
       },
       [](QWidget* w) { return static_cast<QDateTimeEdit*>(w)->specialValueText(); }, "Typed"},
      {"progress bar",
       [](QWidget* p) {
         auto* b = new QProgressBar(p);
         b->setFormat("Typed");
         return b;
       },
       [](QWidget* w) { return static_cast<QProgressBar*>(w)->format(); }, "Typed"},
  };
  for (const Case& c : cases) {
    QDialog dialog;
    QWidget* widget = c.make(&dialog);
    TranslateWindow(&dialog);
    EXPECT_EQ(c.read(widget), c.after) << c.kind;
    EXPECT_TRUE(IsRetitled(widget)) << c.kind;
  }
}

TEST_F(RetitleTest, TheDialogTitleAndWidgetsInsideOthersToo) {
  QDialog dialog;
  dialog.setWindowTitle("Title");
  auto* page = new QWidget(&dialog);
  auto* deep = new QLabel("Ok", page);
  TranslateWindow(&dialog);
  EXPECT_EQ(dialog.windowTitle(), "T-zh");
  EXPECT_EQ(deep->text(), Zh("确定"));
}

TEST_F(RetitleTest, ComboItemsAreRetitledAndTheSelectionKept) {
  QDialog dialog;
  auto* combo = new QComboBox(&dialog);
  combo->addItems({"Item A", "Item B", "Other"});
  combo->setCurrentIndex(1);
  int changes = 0;
  QObject::connect(combo, &QComboBox::currentIndexChanged, [&] { ++changes; });
  TranslateWindow(&dialog);
  EXPECT_EQ(combo->itemText(0), "A-zh");
  EXPECT_EQ(combo->itemText(1), "B-zh");
  EXPECT_EQ(combo->itemText(2), "Other");
  EXPECT_EQ(combo->currentIndex(), 1);
  EXPECT_EQ(combo->currentText(), "B-zh");
  EXPECT_EQ(changes, 0);
}

TEST_F(RetitleTest, EachWidgetOnceInItsLife) {
  QDialog dialog;
  auto* label = new QLabel("Ok", &dialog);
  TranslateWindow(&dialog);
  label->setText("Cancel");
  auto* later = new QLabel("Ok", &dialog);
  TranslateWindow(&dialog);  // the dialog was done: nothing more
  EXPECT_EQ(label->text(), "Cancel");
  EXPECT_EQ(later->text(), "Ok");

  // A new widget, even at an address a destroyed one had, is retitled.
  for (int i = 0; i < 20; ++i) {
    auto* fresh = new QDialog;
    auto* inside = new QLabel("Ok", fresh);
    EXPECT_FALSE(IsRetitled(fresh));
    TranslateWindow(fresh);
    EXPECT_EQ(inside->text(), Zh("确定"));
    delete fresh;
  }
}

TEST_F(RetitleTest, MenusAreRetitledWithTheirSubmenus) {
  QMenu menu;
  QAction* edit = menu.addAction("Edit");
  menu.addSeparator();
  QMenu* more = menu.addMenu("More");
  QAction* sub = more->addAction("Sub");
  QAction* dots = more->addAction("...");
  TranslateMenu(&menu);
  EXPECT_EQ(edit->text(), "Edit-zh");
  EXPECT_EQ(more->title(), "More-zh");
  EXPECT_EQ(sub->text(), "Sub-zh");
  EXPECT_EQ(dots->text(), "...");
  // The item still opens its submenu.
  QAction* moreItem = menu.actions().at(2);
  EXPECT_EQ(QMenu::menuInAction(moreItem), more);
  EXPECT_TRUE(menu.actions().at(1)->isSeparator());
}

}  // namespace
}  // namespace brevant
