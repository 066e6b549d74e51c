#include "screens/avatar_crop_dlg.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QScreen>

#include "controls/skin_font.h"
#include "controls/skin_image.h"
#include "i18n/qt/retitle.h"
#include "screens/note_dlg.h"
#include "screens/skin_colors.h"
#include "workflow/customization.h"

namespace brevant {

namespace {

const QColor kHint(181, 181, 190);

std::tm LocalNow() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  return local;
}

void Tell(QWidget* owner, const QString& text) {
  CNoteDlg::ShowNote(owner, TranslateText(QStringLiteral("Note")), text, false);
}

}  // namespace

CAvatarCropDlg::CAvatarCropDlg(QWidget* owner, const QString& source,
                               const std::filesystem::path& directory)
    : CTDialog(owner != nullptr ? owner->window() : nullptr, Kind::Window),
      source_(source),
      directory_(directory),
      clock_(LocalNow),
      title_(new CTStaticGdiplus(this)),
      close_(new CTButtonPicture(this)),
      topLine_(new CColorLine(kSeparator, this)),
      canvas_(new CImagePreviewCtrl(this)),
      help_(new CTStaticGdiplus(this)),
      bottomLine_(new CColorLine(kSeparator, this)),
      cancel_(new CTButtonPicture(QStringLiteral("Cancel"), this)),
      apply_(new CTButtonPicture(QStringLiteral("Apply"), this)) {
  setObjectName(QStringLiteral("avatarCropDialog"));
  title_->setObjectName(QStringLiteral("cropTitle"));
  close_->setObjectName(QStringLiteral("cropClose"));
  topLine_->setObjectName(QStringLiteral("cropTopSeparator"));
  canvas_->setObjectName(QStringLiteral("cropCanvas"));
  help_->setObjectName(QStringLiteral("cropHelp"));
  bottomLine_->setObjectName(QStringLiteral("cropBottomSeparator"));
  cancel_->setObjectName(QStringLiteral("cropCancel"));
  apply_->setObjectName(QStringLiteral("cropApply"));
  close_->setAccessibleName(QStringLiteral("Close"));
  canvas_->setAccessibleName(QStringLiteral("Crop area"));
  cancel_->setAccessibleName(QStringLiteral("Cancel"));
  apply_->setAccessibleName(QStringLiteral("Apply"));

  setFixedSize(420, 276);
  SetBackgroundFill(true);
  SetBackgroundColor(QColor(255, 255, 255));
  // It opens over the main window's white page: an outline keeps its edge.
  SetBorderColor(QColor(222, 224, 230));
  SetCornerRadius(4);
  SetDraggable(true);

  title_->setGeometry(16, 18, 358, 48);
  close_->setGeometry(388, 18, 16, 16);
  topLine_->setGeometry(0, 64, 420, 1);
  canvas_->setGeometry(16, 70, 387, 118);
  // Two lines of help do not fit the 20 pixels of its box: it takes the room
  // down to the separator.
  help_->setGeometry(16, 194, 387, 36);
  bottomLine_->setGeometry(0, 232, 420, 1);
  cancel_->setGeometry(252, 242, 71, 27);
  apply_->setGeometry(332, 242, 67, 27);

  const QString face = QString::fromLatin1(kSkinFontFace);
  const QString name = QFileInfo(source).fileName();
  TranslateWindow(this);
  title_->setText(TranslateText(QStringLiteral("Image Cropping - [%1]")).arg(name));
  title_->SetTextFont(face, 17, 600);
  title_->SetTextColor(kInk);
  setWindowTitle(title_->text());
  setAccessibleName(title_->text());
  // The pack writes the help's line break as \n.
  help_->setText(
      TranslateText(QStringLiteral("Supports mouse dragging of the original image and the cropping "
                                   "area,\\nand supports zooming in/out display via the scroll "
                                   "wheel.")));
  help_->SetTextFont(face, 16, 400);
  help_->SetTextColor(kHint);

  close_->SetPicture(Skin("btn_child_close.png"));
  cancel_->SetPictures(Skin("cancel_btn_normal.png"), Skin("cancel_btn_over.png"),
                       Skin("cancel_btn_down.png"));
  cancel_->SetCaptionFont(face, 17, 400);
  cancel_->SetCaptionColors(QColor(146, 146, 157), kBrandRed, kBrandRed, QColor(146, 146, 157));
  apply_->SetPictures(Skin("apply_btn_normal.png"), Skin("apply_btn_over.png"),
                      Skin("apply_btn_down.png"), Skin("apply_btn_disable.png"));
  apply_->SetCaptionFont(face, 17, 400);

  connect(apply_, &QAbstractButton::clicked, this, &CAvatarCropDlg::Apply);
  connect(cancel_, &QAbstractButton::clicked, this, [this] { done(Rejected); });
  connect(close_, &QAbstractButton::clicked, this, [this] { done(Rejected); });

  if (QWidget* over = parentWidget()) {
    const QRect area(over->mapToGlobal(QPoint(0, 0)), over->size());
    move(area.center() - rect().center());
  } else if (QScreen* screen = QGuiApplication::primaryScreen()) {
    move(screen->availableGeometry().center() - rect().center());
  }

  QApplication::setOverrideCursor(Qt::WaitCursor);
  const bool loaded = canvas_->LoadPicture(source);
  QApplication::restoreOverrideCursor();
  apply_->setEnabled(loaded);
  if (!loaded) {
    Tell(parentWidget(),
         TranslateText(QStringLiteral("Image loading failed!Please confirm that the file format "
                                      "is correct (supports PNG / JPG / BMP).")));
  }
}

std::optional<std::filesystem::path> CAvatarCropDlg::Crop(QWidget* owner, const QString& source,
                                                          const std::filesystem::path& directory) {
  CAvatarCropDlg dialog(owner, source, directory);
  if (dialog.exec() != Accepted)
    return std::nullopt;
  return dialog.ResultPath();
}

void CAvatarCropDlg::reject() {
  // Closed by the window manager: the same as Cancel.
  done(Rejected);
}

QString CAvatarCropDlg::Skin(const char* name) const {
  return PathText(directory_ / "Skin" / name);
}

void CAvatarCropDlg::Apply() {
  if (!canvas_->HasPicture())
    return;
  const std::string name = CroppedLogoName(QFileInfo(source_).fileName().toStdString(), clock_());
  if (name.empty()) {
    Tell(this, TranslateText(QStringLiteral("The file name of the picture is too long!")));
    return;
  }
  const std::filesystem::path out = directory_ / name;
  if (!canvas_->RenderToFile(PathText(out))) {
    Tell(this, TranslateText(QStringLiteral("Failed to save the cropped picture!")) +
                   QStringLiteral("\n") + PathText(out));
    return;
  }
  result_ = out;
  done(Accepted);
}

}  // namespace brevant
