#pragma once

#include <QTimer>
#include <memory>

#include "controls/color_line.h"
#include "controls/combo_box.h"
#include "controls/picture_button.h"
#include "controls/skin_dialog.h"
#include "controls/skin_label.h"
#include "workflow/antitheft_templates.h"

class QMenu;

namespace brevant {

class CAntiTheftProtectionDlg;

// "Load template": lists the templates of the file (read when the dialog is
// made; a file that cannot be read gives a note and an empty list), puts the
// chosen one into the anti-theft page, and deletes templates. Modal,
// 420 x 152, centred over the main window. Load closes with Accepted (with
// nothing selected too: the page's entries are then emptied and the switch
// turned off); Cancel and the close button with Rejected.
//
// The delete button shows only while an entry is selected (checked every
// 100 ms) and deletes without asking. A right click on the list opens a menu
// with "Edit", which does nothing.
class CLoadTemplateDlg : public CTDialog {
  Q_OBJECT

 public:
  explicit CLoadTemplateDlg(CAntiTheftProtectionDlg& page);
  ~CLoadTemplateDlg() override;

  void Load();
  void Delete();

  CCustomComboBox* TemplateCombo() const { return list_; }
  CTButtonPicture* DeleteButton() const { return delete_; }
  CTButtonPicture* LoadButton() const { return load_; }
  CTButtonPicture* CancelButton() const { return cancel_; }
  CTButtonPicture* CloseButton() const { return close_; }
  // The right-click menu, once it was opened.
  QMenu* ContextMenu() const { return menu_; }

  static constexpr int kDeleteCheckMs = 100;

 private:
  void UpdateDeleteButton();
  void OpenContextMenu(const QPoint& at);

  CAntiTheftProtectionDlg& page_;
  TemplateList templates_;
  CTStaticGdiplus* title_;
  CTButtonPicture* close_;
  CColorLine* topLine_;
  CTStaticGdiplus* label_;
  CCustomComboBox* list_;
  CTButtonPicture* delete_;
  CColorLine* bottomLine_;
  CTButtonPicture* cancel_;
  CTButtonPicture* load_;
  QTimer deleteCheck_;
  QMenu* menu_ = nullptr;
};

}  // namespace brevant
