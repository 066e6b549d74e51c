#pragma once

#include <QMenu>
#include <QString>
#include <QTimer>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "controls/color_line.h"
#include "controls/picture_button.h"
#include "controls/skin_dialog.h"
#include "controls/skin_label.h"
#include "screens/page_host.h"
#include "screens/screen_services.h"
#include "screens/sheet_editor.h"
#include "screens/window_operator_port.h"
#include "workflow/customization.h"

namespace brevant {

// The customization page (162): the operator picks a logo (cropped to
// 229 x 51 first when larger) and a configuration file, may tailor the file
// per device through a sheet edited in the spreadsheet application, and
// applies both to the target list the device list handed over. The rules are
// the customization workflow's; the page sequences them.
//
// 420 x 324 pixels when both file lines show; each empty file line is hidden
// and takes its 34 pixels with it, and the page is centred in its parent
// again. A file line shows six blanks and the file name (cut with "..." when
// long), its tool tip the full path after 500 ms; a click edits, a right
// click opens its menu (Edit, Delete). Cancel and the close button show the
// device list and keep every choice. Texts are retitled when the page is
// first shown.
class CDeviceCustomizationDlg : public CTDialog, public DeliveryPage {
  Q_OBJECT

 public:
  static constexpr int kWidth = 420;
  static constexpr int kHeight = 324;
  // The room of one file line.
  static constexpr int kLineStep = 34;
  static constexpr int kTipDelayMs = 500;

  // The file-open dialogs' filters, their names in the pack's language.
  static QString PictureFilter();
  static QString ConfigurationFilter();

  // Picks a file with the given filter: its path, or empty when cancelled.
  using FileChooser = std::function<QString(const QString& filter)>;
  // Crops a picture: the cropped file, or nothing when cancelled.
  using Cropper =
      std::function<std::optional<std::filesystem::path>(const std::filesystem::path& source)>;

  CDeviceCustomizationDlg(QWidget* parent, const ScreenServices& services, PageHost& host);

  // DeliveryPage.
  void SetTargetList(const std::vector<std::string>& targets) override;

  const CustomizationState& State() const { return state_; }

  // What the buttons, lines and menu items do.
  void ChooseLogo();
  void EditLogo();
  void RemoveLogo();
  void ChooseConfiguration();
  void EditConfigurationFile();
  void RemoveConfiguration();
  void Apply();
  void BackToDeviceList();

  // The platform's file dialog and the crop dialog by default; tests put
  // their own in.
  void SetFileChooser(FileChooser chooser) { chooser_ = std::move(chooser); }
  void SetCropper(Cropper cropper) { cropper_ = std::move(cropper); }
  WindowOperatorPort& Port() { return port_; }
  CSheetEditor& SheetEditor() { return editor_; }
  // The jobs' wire timing (the protocol's by default).
  void SetDeliveryTiming(const DeliveryTiming& timing) { timing_ = timing; }
  // The result of the last Apply.
  const ApplyOutcome& LastApply() const { return lastApply_; }

  CTStaticGdiplus* Title() const { return title_; }
  CTButtonPicture* CloseButton() const { return close_; }
  CTButtonPicture* LogoChooseButton() const { return logoChoose_; }
  CTButtonPicture* LogoLine() const { return logoLine_; }
  CTStaticGdiplus* LogoHint() const { return logoHint_; }
  CTButtonPicture* ConfigurationChooseButton() const { return configChoose_; }
  CTButtonPicture* ConfigurationLine() const { return configLine_; }
  CTStaticGdiplus* ConfigurationHint() const { return configHint_; }
  CTButtonPicture* CancelButton() const { return cancel_; }
  CTButtonPicture* ApplyButton() const { return apply_; }
  QMenu* LogoMenu() const { return logoMenu_; }
  QMenu* ConfigurationMenu() const { return configMenu_; }

 protected:
  void showEvent(QShowEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  struct Placed {
    QWidget* widget;
    QRect rect;
    int below;  // 0 above both lines, 1 below the logo line, 2 below the configuration line
  };

  CustomizationServices Services();
  std::optional<std::filesystem::path> RunCropper(const std::filesystem::path& source);
  QString ChooseFile(const QString& filter);
  void LayOut();
  void Retitle();
  QString Skin(const char* name) const;

  ScreenServices services_;
  PageHost& host_;
  CustomizationState state_;
  CSheetEditor editor_;
  WindowOperatorPort port_;
  FileChooser chooser_;
  Cropper cropper_;
  DeliveryTiming timing_;
  ApplyOutcome lastApply_;
  bool retitled_ = false;

  CTStaticGdiplus* title_;
  CTButtonPicture* close_;
  CColorLine* topLine_;
  CTStaticGdiplus* logoLabel_;
  CTButtonPicture* logoChoose_;
  CTButtonPicture* logoLine_;
  CTStaticGdiplus* logoHint_;
  CTStaticGdiplus* configLabel_;
  CTButtonPicture* configChoose_;
  CTButtonPicture* configLine_;
  CTStaticGdiplus* configHint_;
  CColorLine* bottomLine_;
  CTButtonPicture* cancel_;
  CTButtonPicture* apply_;
  QMenu* logoMenu_;
  QMenu* configMenu_;
  std::vector<Placed> placed_;
  QTimer tipTimer_;
  QWidget* tipFor_ = nullptr;
};

}  // namespace brevant
