#include "screens/note_dlg.h"

#include <QCoreApplication>
#include <QDir>
#include <QGuiApplication>
#include <QScreen>

#include "controls/skin_font.h"
#include "i18n/qt/retitle.h"
#include "screens/skin_colors.h"

namespace brevant {

namespace {

NoteAnswerer* gAnswerer = nullptr;

QString& SkinFolder() {
  static QString folder;
  return folder;
}

QString SkinFile(const char* name) {
  QString folder = SkinFolder();
  if (folder.isEmpty())
    folder = QCoreApplication::applicationDirPath() + QStringLiteral("/Skin");
  return QDir(folder).filePath(QString::fromLatin1(name));
}

}  // namespace

void CNoteDlg::SetSkinFolder(const QString& folder) {
  SkinFolder() = folder;
}

CNoteDlg::CNoteDlg(QWidget* owner, const QString& title, const QString& text, bool withCancel)
    : CTDialog(owner != nullptr ? owner->window() : nullptr, Kind::Window),
      title_(new CTStaticGdiplus(this)),
      close_(new CTButtonPicture(this)),
      separator_(new CColorLine(QColor(235, 238, 237), this)),
      text_(new CTStaticGdiplus(this)),
      cancel_(new CTButtonPicture(QStringLiteral("Cancel"), this)),
      ok_(new CTButtonPicture(QStringLiteral("Ok"), this)),
      withCancel_(withCancel) {
  setObjectName(QStringLiteral("noteDialog"));
  title_->setObjectName(QStringLiteral("noteTitle"));
  close_->setObjectName(QStringLiteral("noteClose"));
  separator_->setObjectName(QStringLiteral("noteSeparator"));
  text_->setObjectName(QStringLiteral("noteText"));
  cancel_->setObjectName(QStringLiteral("noteCancel"));
  ok_->setObjectName(QStringLiteral("noteOk"));
  close_->setAccessibleName(QStringLiteral("Close"));

  // The fixed texts first; title and text are the caller's, already translated.
  TranslateWindow(this);

  setFixedSize(415, 162);
  SetBackgroundFill(true);
  SetBackgroundColor(QColor(248, 248, 248));
  // It opens over the main window's white corner: an outline keeps its edge.
  SetBorderColor(QColor(222, 224, 230));
  SetDraggable(true);

  title_->setGeometry(16, 11, 105, 18);
  close_->setGeometry(388, 12, 16, 16);
  separator_->setGeometry(0, 35, 420, 1);
  text_->setGeometry(65, 49, 320, 60);
  cancel_->setGeometry(252, 128, 71, 27);
  ok_->setGeometry(332, 128, 67, 27);

  title_->setText(title);
  title_->SetTextFont(QString::fromLatin1(kSkinFontFace), 17, 600);
  title_->SetTextColor(kInk);
  text_->setText(text);
  text_->SetTextFont(QString::fromLatin1(kSkinFontFace), 17, 400);
  text_->SetTextColor(kInk);
  setWindowTitle(title);
  setAccessibleName(title);

  close_->SetPicture(SkinFile("btn_child_close2.png"));
  cancel_->SetPictures(SkinFile("cancel_btn_normal.png"), SkinFile("cancel_btn_over.png"),
                       SkinFile("cancel_btn_down.png"));
  cancel_->SetCaptionFont(QString::fromLatin1(kSkinFontFace), 17, 400);
  cancel_->SetCaptionColors(kInk, kBrandRed, kBrandRed, kInk);
  ok_->SetPictures(SkinFile("apply_btn_normal.png"), SkinFile("apply_btn_over.png"),
                   SkinFile("apply_btn_down.png"), SkinFile("apply_btn_disable.png"));
  ok_->SetCaptionFont(QString::fromLatin1(kSkinFontFace), 17, 400);
  cancel_->setVisible(withCancel);

  connect(ok_, &QAbstractButton::clicked, this, [this] { done(kOk); });
  connect(cancel_, &QAbstractButton::clicked, this, [this] { done(kCancel); });
  connect(close_, &QAbstractButton::clicked, this, [this] { done(kCancel); });

  SetCornerRadius(4);
  if (owner != nullptr) {
    move(owner->window()->mapToGlobal(QPoint(0, 0)));
  } else if (QScreen* screen = QGuiApplication::primaryScreen()) {
    move(screen->availableGeometry().center() - rect().center());
  }
}

void CNoteDlg::reject() {
  // Closed by the window manager: the same as the close button.
  done(kCancel);
}

int CNoteDlg::ShowNote(QWidget* owner, const QString& title, const QString& text, bool withCancel) {
  CNoteDlg note(owner, title, text, withCancel);
  if (gAnswerer != nullptr)
    return gAnswerer->Answer(note);
  const int result = note.exec();
  return result == kOk ? kOk : kCancel;
}

NoteAnswerer::NoteAnswerer() {
  gAnswerer = this;
}

NoteAnswerer::~NoteAnswerer() {
  if (gAnswerer == this)
    gAnswerer = nullptr;
}

void NoteAnswerer::Queue(int answer) {
  queue_.push_back([answer](CNoteDlg&) { return answer; });
}

void NoteAnswerer::Queue(std::function<int(CNoteDlg&)> answer) {
  queue_.push_back(std::move(answer));
}

int NoteAnswerer::Answer(CNoteDlg& note) {
  notes_.push_back({note.Title()->text(), note.Text()->text(), note.WithCancel()});
  if (queue_.empty())
    return CNoteDlg::kOk;
  auto answer = std::move(queue_.front());
  queue_.erase(queue_.begin());
  return answer(note);
}

}  // namespace brevant
