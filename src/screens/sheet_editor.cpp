#include "screens/sheet_editor.h"

#include <QDateTime>
#include <QDeadlineTimer>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTimer>

#include "controls/skin_image.h"
#include "i18n/qt/retitle.h"
#include "screens/note_dlg.h"

namespace brevant {

namespace {

// Whether the process still runs. A process that has ended but was not
// reaped yet (a zombie) counts as ended.
bool ProcessAlive(qint64 pid) {
  QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
  if (pid <= 0 || !stat.open(QIODevice::ReadOnly))
    return false;
  const QByteArray line = stat.readAll();
  const int close = line.lastIndexOf(')');
  if (close < 0 || close + 2 >= line.size())
    return false;
  const char state = line.at(close + 2);
  return state != 'Z' && state != 'X' && state != 'x';
}

// The value escapes of a desktop file (\s \n \t \r \\); others stay for the
// Exec quoting rules.
QString UnescapeValue(const QString& value) {
  QString out;
  out.reserve(value.size());
  for (qsizetype i = 0; i < value.size(); ++i) {
    const QChar c = value.at(i);
    if (c != QLatin1Char('\\') || i + 1 >= value.size()) {
      out += c;
      continue;
    }
    const QChar next = value.at(i + 1);
    if (next == QLatin1Char('s'))
      out += QLatin1Char(' ');
    else if (next == QLatin1Char('n'))
      out += QLatin1Char('\n');
    else if (next == QLatin1Char('t'))
      out += QLatin1Char('\t');
    else if (next == QLatin1Char('r'))
      out += QLatin1Char('\r');
    else if (next == QLatin1Char('\\'))
      out += QLatin1Char('\\');
    else {
      out += c;
      out += next;
    }
    ++i;
  }
  return out;
}

bool IsLibreOffice(const QString& desktopId, const QString& program) {
  const QString id = desktopId.toLower();
  const QString name = QFileInfo(program).fileName().toLower();
  return id.contains(QLatin1String("libreoffice")) ||
         name.startsWith(QLatin1String("libreoffice")) ||
         name.startsWith(QLatin1String("soffice")) || name == QLatin1String("localc");
}

}  // namespace

std::optional<QStringList> SplitDesktopExec(const QString& exec) {
  QStringList arguments;
  QString current;
  bool inArgument = false;
  bool quoted = false;
  for (qsizetype i = 0; i < exec.size(); ++i) {
    const QChar c = exec.at(i);
    if (quoted) {
      if (c == QLatin1Char('"')) {
        quoted = false;
      } else if (c == QLatin1Char('\\') && i + 1 < exec.size() &&
                 QStringLiteral("\"`$\\").contains(exec.at(i + 1))) {
        current += exec.at(++i);
      } else {
        current += c;
      }
    } else if (c == QLatin1Char(' ') || c == QLatin1Char('\t') || c == QLatin1Char('\n')) {
      if (inArgument)
        arguments << current;
      current.clear();
      inArgument = false;
    } else if (c == QLatin1Char('"')) {
      quoted = true;
      inArgument = true;
    } else {
      current += c;
      inArgument = true;
    }
  }
  if (quoted)
    return std::nullopt;
  if (inArgument)
    arguments << current;
  return arguments;
}

QString DesktopEntryExec(const QString& desktopFileText) {
  bool inEntry = false;
  const QStringList lines = desktopFileText.split(QLatin1Char('\n'));
  for (QString line : lines) {
    line = line.trimmed();
    if (line.startsWith(QLatin1Char('['))) {
      inEntry = line == QLatin1String("[Desktop Entry]");
      continue;
    }
    if (!inEntry || line.startsWith(QLatin1Char('#')))
      continue;
    const qsizetype equals = line.indexOf(QLatin1Char('='));
    if (equals < 0 || line.left(equals).trimmed() != QLatin1String("Exec"))
      continue;
    return UnescapeValue(line.mid(equals + 1).trimmed());
  }
  return {};
}

std::optional<SheetApplication> SheetApplicationFor(const QString& desktopId,
                                                    const QString& desktopFile,
                                                    const QString& desktopFileText,
                                                    const QString& sheet) {
  const auto split = SplitDesktopExec(DesktopEntryExec(desktopFileText));
  if (!split || split->isEmpty())
    return std::nullopt;
  QStringList arguments;
  int fileAt = -1;
  for (const QString& argument : *split) {
    QString expanded;
    bool hadCode = false;
    bool tookFile = false;
    for (qsizetype i = 0; i < argument.size(); ++i) {
      const QChar c = argument.at(i);
      if (c != QLatin1Char('%') || i + 1 >= argument.size()) {
        expanded += c;
        continue;
      }
      const QChar code = argument.at(++i);
      hadCode = true;
      if (QStringLiteral("fFuU").contains(code)) {
        expanded += sheet;
        tookFile = true;
      } else if (code == QLatin1Char('k')) {
        expanded += desktopFile;
      } else if (code == QLatin1Char('%')) {
        expanded += QLatin1Char('%');
      }
      // %i, %c and the deprecated codes are left out.
    }
    if (hadCode && expanded.isEmpty())
      continue;
    if (tookFile && fileAt < 0)
      fileAt = static_cast<int>(arguments.size());
    arguments << expanded;
  }
  if (arguments.isEmpty())
    return std::nullopt;
  if (fileAt < 0) {
    fileAt = static_cast<int>(arguments.size());
    arguments << sheet;
  }
  SheetApplication application;
  application.desktopId = desktopId;
  application.desktopFile = desktopFile;
  application.program = arguments.takeFirst();
  --fileAt;
  application.libreOffice = IsLibreOffice(desktopId, application.program);
  if (application.libreOffice && !arguments.contains(QLatin1String("--norestore")))
    arguments.insert(std::max(0, fileAt), QStringLiteral("--norestore"));
  application.arguments = arguments;
  return application;
}

QString LibreOfficeLockFile(const QString& document) {
  const QFileInfo info(document);
  return info.absoluteDir().filePath(QStringLiteral(".~lock.") + info.fileName() +
                                     QLatin1Char('#'));
}

QStringList DesktopFileFolders() {
  const QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  QStringList folders;
  QString home = environment.value(QStringLiteral("XDG_DATA_HOME"));
  if (home.isEmpty())
    home = QDir::homePath() + QStringLiteral("/.local/share");
  folders << home;
  QString dirs = environment.value(QStringLiteral("XDG_DATA_DIRS"));
  if (dirs.isEmpty())
    dirs = QStringLiteral("/usr/local/share:/usr/share");
  for (const QString& dir : dirs.split(QLatin1Char(':'), Qt::SkipEmptyParts))
    folders << dir;
  for (QString& folder : folders)
    folder = QDir(folder).filePath(QStringLiteral("applications"));
  return folders;
}

std::optional<SheetApplication> ResolveSheetApplication(const QString& sheet) {
  QProcess query;
  query.start(QStringLiteral("xdg-mime"), {QStringLiteral("query"), QStringLiteral("default"),
                                           QString::fromLatin1(kSheetMimeType)});
  if (!query.waitForStarted(5000))
    return std::nullopt;
  if (!query.waitForFinished(10000)) {
    query.kill();
    query.waitForFinished(1000);
    return std::nullopt;
  }
  const QString id =
      QString::fromUtf8(query.readAllStandardOutput()).section(QLatin1Char('\n'), 0, 0).trimmed();
  if (id.isEmpty() || id.contains(QLatin1Char('/')))
    return std::nullopt;
  // A desktop file ID names "a/b.desktop" as "a-b.desktop".
  QStringList names{id};
  for (qsizetype dash = id.indexOf(QLatin1Char('-')); dash >= 0;
       dash = id.indexOf(QLatin1Char('-'), dash + 1)) {
    QString name = names.back();
    name[dash] = QLatin1Char('/');
    names << name;
  }
  for (const QString& folder : DesktopFileFolders()) {
    for (const QString& name : names) {
      QFile file(QDir(folder).filePath(name));
      if (!file.open(QIODevice::ReadOnly))
        continue;
      return SheetApplicationFor(id, file.fileName(), QString::fromUtf8(file.readAll()), sheet);
    }
  }
  return std::nullopt;
}

CSheetEditor::CSheetEditor(QWidget* page) : page_(page) {}

OperatorPort::SheetEdit CSheetEditor::AskOperator(const std::filesystem::path& sheet) {
  CNoteDlg::ShowNote(page_, TranslateText(QStringLiteral("Note")),
                     TranslateText(QStringLiteral("Edit the sheet, save it, then press Ok:")) +
                         QStringLiteral("\n") + PathText(sheet),
                     false);
  return OperatorPort::SheetEdit::NoEditor;
}

OperatorPort::SheetEdit CSheetEditor::Edit(const std::filesystem::path& sheet) {
  if (waiting_)
    return OperatorPort::SheetEdit::NotWaited;
  std::error_code error;
  const std::filesystem::path absolute = std::filesystem::absolute(sheet, error);
  const QString sheetText = PathText(error ? sheet : absolute);
  last_ = ResolveSheetApplication(sheetText);
  if (!last_)
    return AskOperator(sheet);

  const QString lock = LibreOfficeLockFile(sheetText);
  const QFileInfo lockBefore(lock);
  const bool lockedBefore = lockBefore.exists();
  const QDateTime lockTimeBefore = lockedBefore ? lockBefore.lastModified() : QDateTime();

  qint64 pid = 0;
  if (!QProcess::startDetached(last_->program, last_->arguments,
                               QFileInfo(sheetText).absolutePath(), &pid)) {
    return OperatorPort::SheetEdit::StartFailed;
  }

  enum class Outcome { Waiting, Edited, AskOperator };
  Outcome outcome = Outcome::Waiting;
  bool processGone = false;
  bool lockSeen = false;
  QDeadlineTimer lockDeadline;
  const bool libreOffice = last_->libreOffice;

  if (page_)
    page_->setEnabled(false);
  waiting_ = true;
  QEventLoop loop;
  QTimer poll;
  poll.setInterval(static_cast<int>(poll_.count()));
  const auto check = [&] {
    if (!processGone && !ProcessAlive(pid)) {
      processGone = true;
      lockDeadline.setRemainingTime(lockWait_);
    }
    if (!libreOffice) {
      if (processGone)
        outcome = Outcome::Edited;
    } else {
      const QFileInfo info(lock);
      const bool present = info.exists();
      // A lock left from before counts once LibreOffice writes it anew.
      if (present && (!lockedBefore || info.lastModified() != lockTimeBefore))
        lockSeen = true;
      if (lockSeen && !present)
        outcome = Outcome::Edited;
      else if (processGone && !lockSeen && lockDeadline.hasExpired())
        outcome = Outcome::AskOperator;
    }
    if (outcome != Outcome::Waiting)
      loop.quit();
  };
  QObject::connect(&poll, &QTimer::timeout, &loop, check);
  poll.start();
  check();
  if (outcome == Outcome::Waiting)
    loop.exec();
  poll.stop();
  waiting_ = false;
  if (page_)
    page_->setEnabled(true);

  switch (outcome) {
    case Outcome::Waiting:
      // The program is closing: the wait ends without an edit.
      return OperatorPort::SheetEdit::NotWaited;
    case Outcome::AskOperator:
      return AskOperator(sheet);
    case Outcome::Edited:
      break;
  }
  if (page_) {
    page_->window()->raise();
    page_->window()->activateWindow();
  }
  return OperatorPort::SheetEdit::Edited;
}

}  // namespace brevant
