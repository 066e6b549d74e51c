#pragma once

#include "controls/color_line.h"
#include "controls/picture_button.h"
#include "controls/skin_dialog.h"
#include "controls/skin_edit.h"
#include "controls/skin_label.h"

namespace brevant {

class CAntiTheftProtectionDlg;

// "Save as template": names the anti-theft page's network entries and adds
// them to the template file. Modal, 420 x 152, centred over the main window;
// closes with Accepted once saved, with Rejected by Cancel or the close
// button. The rules (an empty, refused or taken name, a file that cannot be
// read or written) are the workflow's SaveTemplate; a refused name keeps the
// dialog open with the focus in the name field.
class CSaveTemplateDlg : public CTDialog {
  Q_OBJECT

 public:
  explicit CSaveTemplateDlg(CAntiTheftProtectionDlg& page);

  void Save();

  CTEditGdiplus* NameEdit() const { return name_; }
  CTButtonPicture* SaveButton() const { return save_; }
  CTButtonPicture* CancelButton() const { return cancel_; }
  CTButtonPicture* CloseButton() const { return close_; }

  static constexpr int kNameLimit = 32;

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  CAntiTheftProtectionDlg& page_;
  CTStaticGdiplus* title_;
  CTButtonPicture* close_;
  CColorLine* topLine_;
  CTStaticGdiplus* label_;
  CTEditGdiplus* name_;
  CColorLine* bottomLine_;
  CTButtonPicture* cancel_;
  CTButtonPicture* save_;
};

}  // namespace brevant
