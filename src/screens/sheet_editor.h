#pragma once

#include <QPointer>
#include <QString>
#include <QStringList>
#include <QWidget>
#include <chrono>
#include <filesystem>
#include <optional>

#include "workflow/operator_port.h"

namespace brevant {

// The MIME type of .xlsx workbooks, whose default application edits the sheet.
inline constexpr char kSheetMimeType[] =
    "application/vnd.openxmlformats-officedocument.spreadsheetml.sheet";

// How the desktop starts its default application for a file.
struct SheetApplication {
  QString desktopId;  // "libreoffice-calc.desktop"
  QString desktopFile;
  QString program;
  QStringList arguments;  // the file among them
  // LibreOffice hands a file to an instance already running and returns at
  // once: its lock file beside the sheet tells when the editing is over.
  bool libreOffice = false;
};

// The arguments of a desktop entry's Exec value, quoting and escapes undone;
// nothing when the value is malformed (an unterminated quote, a stray
// reserved character outside quotes is kept as it is).
std::optional<QStringList> SplitDesktopExec(const QString& exec);

// The Exec value of the [Desktop Entry] group of a desktop file's text, with
// the value escapes (\s \n \t \r \\) undone; empty when there is none.
QString DesktopEntryExec(const QString& desktopFileText);

// The command line for one file: %f %F %u %U become the file, %k the desktop
// file, %% a percent sign; %i %c and the deprecated codes go. Without a file
// code the file is added at the end. For LibreOffice "--norestore" goes just
// before the file, so a crash recovery never takes the place of the sheet.
std::optional<SheetApplication> SheetApplicationFor(const QString& desktopId,
                                                    const QString& desktopFile,
                                                    const QString& desktopFileText,
                                                    const QString& sheet);

// "<folder>/.~lock.<name>#", LibreOffice's lock file for a document.
QString LibreOfficeLockFile(const QString& document);

// The folders desktop files are searched in, most important first
// ($XDG_DATA_HOME, then $XDG_DATA_DIRS, each with /applications).
QStringList DesktopFileFolders();

// Asks `xdg-mime query default` for the .xlsx application and reads its
// desktop file. Nothing when xdg-mime is missing, names none, or its desktop
// file cannot be found or has no usable Exec line.
std::optional<SheetApplication> ResolveSheetApplication(const QString& sheet);

// Lets the operator edit a sheet in the desktop's spreadsheet application
// and returns when that is over, with the page disabled and the window's
// events flowing meanwhile (the other pages' timers go on).
//
// "Over" is the application's end; for LibreOffice its lock file beside the
// sheet appearing and then going (or its process ending after the lock went).
// Where nothing can be waited for (no application registered, or a start
// that returned at once and never locked the sheet) a note tells the sheet's
// path and waits for the operator to say it is saved. The application is
// started detached: closing Brevant never closes the operator's spreadsheet.
class CSheetEditor {
 public:
  explicit CSheetEditor(QWidget* page);

  OperatorPort::SheetEdit Edit(const std::filesystem::path& sheet);

  // How long a start that returned at once is given for its lock file to
  // appear before the note takes over.
  void SetLockWait(std::chrono::milliseconds wait) { lockWait_ = wait; }
  // How often the process and the lock file are looked at.
  void SetPollInterval(std::chrono::milliseconds interval) { poll_ = interval; }

  bool IsWaiting() const { return waiting_; }
  // The application of the last edit (empty when none was found).
  const std::optional<SheetApplication>& LastApplication() const { return last_; }

 private:
  OperatorPort::SheetEdit AskOperator(const std::filesystem::path& sheet);

  QPointer<QWidget> page_;
  std::chrono::milliseconds lockWait_{30000};
  std::chrono::milliseconds poll_{200};
  bool waiting_ = false;
  std::optional<SheetApplication> last_;
};

}  // namespace brevant
