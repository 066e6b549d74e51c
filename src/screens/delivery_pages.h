#pragma once

#include <string>
#include <vector>

#include "controls/skin_dialog.h"
#include "screens/page_host.h"
#include "screens/screen_services.h"

class QWidget;

namespace brevant {

class CTButtonPicture;
class CTStaticGdiplus;

// A delivery page as the main window holds it: the widget, and the page the
// device list hands its targets to (the same object).
struct DeliveryPageParts {
  QWidget* widget = nullptr;
  DeliveryPage* page = nullptr;
};

// Makes page 162 (customization) or 163 (anti-theft), a hidden child of the
// main window. The one place where the window learns which classes they are.
DeliveryPageParts MakeDeliveryPage(int page, QWidget* parent, const ScreenServices& services,
                                   PageHost& host);

// A delivery page that only shows its title and goes back to the device list:
// it stands in for a page this build does not have yet.
class CDeliveryStandInDlg : public CTDialog, public DeliveryPage {
  Q_OBJECT

 public:
  CDeliveryStandInDlg(int page, QWidget* parent, const ScreenServices& services, PageHost& host);

  void SetTargetList(const std::vector<std::string>& targets) override { targets_ = targets; }
  const std::vector<std::string>& Targets() const { return targets_; }
  CTButtonPicture* CancelButton() const { return cancel_; }

 private:
  std::vector<std::string> targets_;
  CTStaticGdiplus* title_;
  CTButtonPicture* cancel_;
};

}  // namespace brevant
