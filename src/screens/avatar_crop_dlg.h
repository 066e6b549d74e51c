#pragma once

#include <QString>
#include <ctime>
#include <filesystem>
#include <functional>
#include <optional>

#include "controls/color_line.h"
#include "controls/image_preview_ctrl.h"
#include "controls/picture_button.h"
#include "controls/skin_dialog.h"
#include "controls/skin_label.h"

namespace brevant {

// The logo crop dialog: the operator moves a 229 x 51 frame over a picture
// (zooming and panning the view as needed); "Apply" writes the framed part as
// a 229 x 51 JPEG under ModifyPicture/ and closes with Accepted, "Cancel" and
// the close button close with Rejected.
//
// 420 x 276 pixels, rounded corners, centred over the owner's window, dragged
// by its background. Its texts and notes go through the language pack like
// every other dialog's. A picture that cannot be decoded
// gives a note before the dialog shows, an empty canvas and a disabled
// "Apply". A name too long for the output, or an output that cannot be
// written (ModifyPicture/ missing, a full disk), gives a note and the dialog
// stays open.
class CAvatarCropDlg : public CTDialog {
  Q_OBJECT

 public:
  // directory: the folder beside the executable, which holds Skin/ and
  // ModifyPicture/ (never created here).
  CAvatarCropDlg(QWidget* owner, const QString& source, const std::filesystem::path& directory);

  // Runs the dialog modally: the written file after "Apply", nothing after Cancel.
  static std::optional<std::filesystem::path> Crop(QWidget* owner, const QString& source,
                                                   const std::filesystem::path& directory);

  // The file written by the last successful "Apply"; empty before.
  const std::filesystem::path& ResultPath() const { return result_; }
  const QString& SourcePath() const { return source_; }
  bool Loaded() const { return canvas_->HasPicture(); }

  // The local time an "Apply" names its file by (now, unless a test says otherwise).
  void SetClock(std::function<std::tm()> clock) { clock_ = std::move(clock); }

  CImagePreviewCtrl* Canvas() const { return canvas_; }
  CTStaticGdiplus* Title() const { return title_; }
  CTStaticGdiplus* HelpText() const { return help_; }
  CTButtonPicture* ApplyButton() const { return apply_; }
  CTButtonPicture* CancelButton() const { return cancel_; }
  CTButtonPicture* CloseButton() const { return close_; }

  void reject() override;

 private:
  void Apply();
  QString Skin(const char* name) const;

  QString source_;
  std::filesystem::path directory_;
  std::filesystem::path result_;
  std::function<std::tm()> clock_;
  CTStaticGdiplus* title_;
  CTButtonPicture* close_;
  CColorLine* topLine_;
  CImagePreviewCtrl* canvas_;
  CTStaticGdiplus* help_;
  CColorLine* bottomLine_;
  CTButtonPicture* cancel_;
  CTButtonPicture* apply_;
};

}  // namespace brevant
