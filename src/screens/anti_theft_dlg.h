#pragma once

#include <QRect>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "controls/color_line.h"
#include "controls/picture_button.h"
#include "controls/skin_dialog.h"
#include "controls/skin_edit.h"
#include "controls/skin_label.h"
#include "screens/page_host.h"
#include "screens/screen_services.h"
#include "screens/window_operator_port.h"
#include "workflow/antitheft.h"
#include "workflow/antitheft_templates.h"

namespace brevant {

// The anti-theft page: a lock code, the protection switch, an AC name and two
// optional DNS servers, delivered as one command to every device the device
// list handed over. A child page of the main window, created once: what the
// operator typed stays between openings.
//
// The rules, the command text and the jobs are the workflow layer's
// (DecideAntiTheft, StartAntiTheftJobs); the page sequences them. Apply tells
// the host that a delivery started, shows the device list, then starts one job
// per target in list order. Cancel and the close button show the device list
// and change nothing.
//
// 420 x 426 with the switch on; 420 x 278 with it off (the switch's rows are
// hidden and the rest moves up); centred in its parent either way.
class CAntiTheftProtectionDlg : public CTDialog, public DeliveryPage {
  Q_OBJECT

 public:
  CAntiTheftProtectionDlg(QWidget* parent, const ScreenServices& services, PageHost& host);

  // DeliveryPage: the target list is replaced; Entered puts the focus in Lock Code.
  void SetTargetList(const std::vector<std::string>& targets) override;
  void Entered() override;
  const std::vector<std::string>& TargetList() const { return targets_; }

  // The page's entries as the rules read them (a DNS field may show the placeholder).
  AntiTheftFields Fields() const;
  bool SwitchOn() const { return switchOn_; }

  // For the template dialogs. What a template keeps: the switch and, when it
  // is on, the AC name and the DNS texts as displayed.
  TemplateValues TemplateFields() const;
  // Puts a template's values in: the switch, empty lock codes, and the three
  // texts as real values (never the placeholder, never cut to the typing
  // limit). The caller runs the switch layout.
  void ApplyTemplate(const TemplateValues& values);
  const std::string& LastTemplateName() const { return lastTemplateName_; }
  void SetLastTemplateName(std::string name) { lastTemplateName_ = std::move(name); }
  std::filesystem::path TemplateFile() const;
  OperatorPort& Port() { return port_; }
  // The skin picture of that name.
  QString SkinFile(const char* name) const;

  // The buttons' actions.
  void Apply();
  void Cancel();
  void ToggleSwitch();
  void LoadTemplate();
  void SaveAsTemplate();
  // Shows the switch's state: rows, positions, the page's size, then the
  // focus in Lock Code.
  void RunSwitchLayout();

  CTEditGdiplus* LockCodeEdit() const { return lockCode_; }
  CTEditGdiplus* ConfirmLockCodeEdit() const { return confirmLockCode_; }
  CTEditGdiplus* ACNameEdit() const { return acName_; }
  CTEditGdiplus* PrimaryDnsEdit() const { return primaryDns_; }
  CTEditGdiplus* SecondaryDnsEdit() const { return secondaryDns_; }
  CTEditGdiplus* Edit(AntiTheftField field) const;
  CTButtonPicture* SwitchButton() const { return switch_; }
  CTButtonPicture* ApplyButton() const { return apply_; }
  CTButtonPicture* CancelButton() const { return cancel_; }
  CTButtonPicture* CloseButton() const { return close_; }
  CTButtonPicture* LoadTemplateButton() const { return loadTemplate_; }
  CTButtonPicture* SaveTemplateButton() const { return saveTemplate_; }

  // How Apply starts each job's thread; empty (the default) is a thread of its
  // own. Tests use it to see the order jobs start in.
  void SetJobStarter(ThreadStarter starter) { jobStarter_ = std::move(starter); }

  // The full layout's rectangle of a control, as placed at creation.
  QRect FullGeometry(const QWidget* control) const;

  static constexpr int kWidth = 420;
  static constexpr int kFullHeight = 426;
  static constexpr int kCollapsedHeight = 278;

 private:
  void Centre();

  ScreenServices services_;
  PageHost& host_;
  WindowOperatorPort port_;
  std::vector<std::string> targets_;
  bool switchOn_ = true;
  std::string lastTemplateName_;
  ThreadStarter jobStarter_;

  CTStaticGdiplus* title_;
  CTButtonPicture* close_;
  CColorLine* topLine_;
  CTButtonPicture* loadTemplate_;
  CTButtonPicture* saveTemplate_;
  CTStaticGdiplus* lockMark_;
  CTStaticGdiplus* lockLabel_;
  CTEditGdiplus* lockCode_;
  CTStaticGdiplus* confirmMark_;
  CTStaticGdiplus* confirmLabel_;
  CTEditGdiplus* confirmLockCode_;
  CTStaticGdiplus* explanation_;
  CTStaticGdiplus* switchLabel_;
  CTButtonPicture* switch_;
  CTStaticGdiplus* acNameLabel_;
  CTStaticGdiplus* acNameMark_;
  CTEditGdiplus* acName_;
  CTStaticGdiplus* primaryLabel_;
  CTEditGdiplus* primaryDns_;
  CTStaticGdiplus* primaryNote_;
  CTStaticGdiplus* secondaryLabel_;
  CTEditGdiplus* secondaryDns_;
  CTStaticGdiplus* secondaryNote_;
  CColorLine* bottomLine_;
  CTButtonPicture* cancel_;
  CTButtonPicture* apply_;

  // The rows the switch shows and hides.
  std::vector<QWidget*> switchRows_;
  std::map<QWidget*, QRect> full_;
};

}  // namespace brevant
