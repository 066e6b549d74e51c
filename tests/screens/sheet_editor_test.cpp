// Editing the sheet in the desktop's spreadsheet application: how the
// application is found and started, and when the editing counts as over.
#include "screens/sheet_editor.h"

#include <gtest/gtest.h>

#include <QTimer>
#include <QWidget>

#include "private_desktop.h"
#include "screens/note_dlg.h"
#include "sheet_files.h"
#include "support/gui_test.h"
#include "support/temp_dir.h"
#include "tailoring/xlsx_reader.h"

namespace brevant {
namespace {

using testing::PrivateDesktop;
using testing::ReadBytes;
using testing::TempDir;
using namespace std::chrono_literals;

TEST(DesktopExec, SplitsQuotedArgumentsAndUndoesEscapes) {
  const std::pair<QString, QStringList> cases[] = {
      {"libreoffice --calc %U", {"libreoffice", "--calc", "%U"}},
      {"  gnumeric   %F ", {"gnumeric", "%F"}},
      {R"("/opt/My Office/calc" --view "%f")", {"/opt/My Office/calc", "--view", "%f"}},
      {R"(sh -c "echo \"a\\b\" \$HOME \`x\`" x)", {"sh", "-c", R"(echo "a\b" $HOME `x`)", "x"}},
      {R"(app "" %f)", {"app", "", "%f"}},
  };
  for (const auto& [exec, arguments] : cases) {
    const auto split = SplitDesktopExec(exec);
    ASSERT_TRUE(split) << exec.toStdString();
    EXPECT_EQ(*split, arguments) << exec.toStdString();
  }
  EXPECT_FALSE(SplitDesktopExec(R"(app "unterminated %f)"));
}

TEST(DesktopExec, ReadsTheExecOfTheDesktopEntryGroupOnly) {
  const QString text = QStringLiteral(
      "# comment\n[Desktop Action New]\nExec=wrong\n[Desktop Entry]\nName=Calc\n"
      "TryExec=calc\nExec = calc\\s--view\\t\\\\x %f\n[Other]\nExec=wrong too\n");
  EXPECT_EQ(DesktopEntryExec(text), QStringLiteral("calc --view\t\\x %f"));
  EXPECT_EQ(DesktopEntryExec(QStringLiteral("[Desktop Entry]\nName=x\n")), QString());
}

TEST(DesktopExec, FieldCodesTakeTheSheetAndLibreOfficeGetsNoRestore) {
  const QString sheet = QStringLiteral("/tmp/a b/ExcelFiels.xlsx");
  struct Case {
    const char* id;
    const char* exec;
    const char* program;
    QStringList arguments;
    bool libreOffice;
  };
  const Case cases[] = {
      {"libreoffice-calc.desktop",
       "libreoffice --calc %U",
       "libreoffice",
       {"--calc", "--norestore", sheet},
       true},
      {"org.libreoffice.LibreOffice.calc.desktop",
       "/usr/bin/flatpak run --branch=stable org.libreoffice.LibreOffice --calc %U",
       "/usr/bin/flatpak",
       {"run", "--branch=stable", "org.libreoffice.LibreOffice", "--calc", "--norestore", sheet},
       true},
      {"calc.desktop",
       "soffice --calc --norestore %f",
       "soffice",
       {"--calc", "--norestore", sheet},
       true},
      {"gnumeric.desktop",
       "gnumeric %i %c --file=%f 100%%",
       "gnumeric",
       {"--file=" + sheet, "100%"},
       false},
      {"editor.desktop", "editor --new-window", "editor", {"--new-window", sheet}, false},
      {"k.desktop", "kcalc %k %F", "kcalc", {"/apps/k.desktop", sheet}, false},
  };
  for (const Case& c : cases) {
    const auto application = SheetApplicationFor(
        QString::fromLatin1(c.id), QStringLiteral("/apps/k.desktop"),
        QStringLiteral("[Desktop Entry]\nExec=") + QString::fromLatin1(c.exec), sheet);
    ASSERT_TRUE(application) << c.exec;
    EXPECT_EQ(application->program, QString::fromLatin1(c.program)) << c.exec;
    EXPECT_EQ(application->arguments, c.arguments) << c.exec;
    EXPECT_EQ(application->libreOffice, c.libreOffice) << c.exec;
  }
  EXPECT_FALSE(SheetApplicationFor("x.desktop", "", "[Desktop Entry]\nName=x\n", sheet));
  EXPECT_FALSE(SheetApplicationFor("x.desktop", "", "[Desktop Entry]\nExec=\"open %f\n", sheet));
  EXPECT_EQ(LibreOfficeLockFile(QStringLiteral("/tmp/x/ExcelFiels1.xlsx")),
            QStringLiteral("/tmp/x/.~lock.ExcelFiels1.xlsx#"));
}

class SheetEditorTest : public ::testing::Test {
 protected:
  void SetUp() override {
    sheet_ = work_ / "ModifyExcel" / "ExcelFiels2025-03-05-14-07-09.xlsx";
    std::filesystem::create_directories(sheet_.parent_path());
    testing::WriteInlineSheet(sheet_, {{"mac(*This column cannot be modified*)", "loginPassword"},
                                       {"C8:3A:35:00:00:0A", "old"},
                                       {"C8:3A:35:00:00:0B", "old"}});
    page_.resize(420, 324);
    ASSERT_TRUE(testing::ShowAndWait(&page_));
    editor_.SetPollInterval(20ms);
    // While the editor waits: the page is disabled and timers keep firing.
    connect_ = QObject::connect(&tick_, &QTimer::timeout, [this] {
      if (editor_.IsWaiting()) {
        ++ticksWhileWaiting_;
        disabledWhileWaiting_ = disabledWhileWaiting_ && !page_.isEnabled();
      }
    });
    tick_.start(10);
  }
  void TearDown() override { QObject::disconnect(connect_); }

  std::string Cell(int row, int column) const {
    XlsxReader reader;
    EXPECT_TRUE(reader.Open(sheet_)) << reader.error();
    return reader.cell(row, column);
  }
  std::string Arguments() const { return ReadBytes(sheet_.string() + ".args"); }

  PrivateDesktop desktop_;
  TempDir work_;
  std::filesystem::path sheet_;
  QWidget page_;
  CSheetEditor editor_{&page_};
  QTimer tick_;
  QMetaObject::Connection connect_;
  int ticksWhileWaiting_ = 0;
  bool disabledWhileWaiting_ = true;
  NoteAnswerer notes_;
};

TEST_F(SheetEditorTest, WaitsForTheApplicationWithThePageDisabledAndEventsFlowing) {
  const auto app =
      desktop_.Script("fill-sheet", testing::FillSheetScript({{"loginPassword", "admin-"}}));
  desktop_.RegisterSheetApplication("stand-in-sheet.desktop", app.string() + " %f");

  EXPECT_EQ(editor_.Edit(sheet_), OperatorPort::SheetEdit::Edited);
  // The application had saved when the wait ended.
  EXPECT_EQ(Cell(1, 1), "admin-C83A3500000A");
  EXPECT_EQ(Cell(2, 1), "admin-C83A3500000B");
  EXPECT_EQ(Arguments(), sheet_.string() + "\n");
  EXPECT_GT(ticksWhileWaiting_, 5);
  EXPECT_TRUE(disabledWhileWaiting_);
  EXPECT_TRUE(page_.isEnabled());
  EXPECT_FALSE(editor_.IsWaiting());
  EXPECT_TRUE(notes_.Notes().empty());
  ASSERT_TRUE(editor_.LastApplication());
  EXPECT_EQ(editor_.LastApplication()->desktopId, QStringLiteral("stand-in-sheet.desktop"));
}

TEST_F(SheetEditorTest, ARunningLibreOfficeIsFollowedThroughItsLockFile) {
  // As a LibreOffice that is already running: the start returns at once, the
  // running one locks the sheet, edits, saves and unlocks it.
  const auto fill =
      desktop_.Script("fill-sheet", testing::FillSheetScript({{"loginPassword", "lo-"}}, 0));
  const auto soffice = desktop_.Script("soffice", R"(#!/bin/sh
for last; do :; done
lock="$(dirname "$last")/.~lock.$(basename "$last")#"
( sleep 0.3; echo "user,host,user,05.03.2025 14:07,file:///home/user;" > "$lock"
  sleep 0.6; ")" + fill.string() + R"(" "$last"; rm -f "$lock" ) >/dev/null 2>&1 &
exit 0
)");
  desktop_.RegisterSheetApplication("libreoffice-calc.desktop", soffice.string() + " --calc %U");

  EXPECT_EQ(editor_.Edit(sheet_), OperatorPort::SheetEdit::Edited);
  EXPECT_FALSE(std::filesystem::exists(
      LibreOfficeLockFile(QString::fromStdString(sheet_.string())).toStdString()));
  EXPECT_EQ(Cell(1, 1), "lo-C83A3500000A");
  // --norestore went in before the sheet.
  EXPECT_EQ(editor_.LastApplication()->arguments,
            (QStringList{"--calc", "--norestore", QString::fromStdString(sheet_.string())}));
  EXPECT_GT(ticksWhileWaiting_, 5);
  EXPECT_TRUE(disabledWhileWaiting_);
}

TEST_F(SheetEditorTest, WithNothingToWaitForANoteTellsWhereTheSheetIs) {
  struct Case {
    const char* name;
    std::function<void()> setUp;
  };
  const Case cases[] = {
      {"no application registered", [] {}},
      {"a LibreOffice start that never locks the sheet",
       [this] {
         const auto quick = desktop_.Script("soffice", "#!/bin/sh\nexit 0\n");
         desktop_.RegisterSheetApplication("libreoffice-calc.desktop", quick.string() + " %U");
       }},
      {"a desktop file that is not there",
       [this] {
         desktop_.RegisterSheetApplication("gone.desktop", "x");
         std::filesystem::remove(desktop_.Folder() / "data/applications/gone.desktop");
       }},
  };
  editor_.SetLockWait(300ms);
  for (const Case& c : cases) {
    c.setUp();
    const std::size_t before = notes_.Notes().size();
    EXPECT_EQ(editor_.Edit(sheet_), OperatorPort::SheetEdit::NoEditor) << c.name;
    ASSERT_EQ(notes_.Notes().size(), before + 1) << c.name;
    const auto& note = notes_.Notes().back();
    EXPECT_EQ(note.title, QStringLiteral("Note"));
    EXPECT_TRUE(note.text.endsWith(QString::fromStdString(sheet_.string()))) << c.name;
    EXPECT_FALSE(note.withCancel);
    EXPECT_TRUE(page_.isEnabled());
  }
}

TEST_F(SheetEditorTest, AnApplicationThatCannotStartIsReported) {
  desktop_.RegisterSheetApplication("broken.desktop",
                                    (desktop_.Folder() / "no-such-program").string() + " %f");
  EXPECT_EQ(editor_.Edit(sheet_), OperatorPort::SheetEdit::StartFailed);
  EXPECT_TRUE(notes_.Notes().empty());
  EXPECT_TRUE(page_.isEnabled());
}

}  // namespace
}  // namespace brevant
