#pragma once

#include <string>
#include <vector>

namespace brevant {

// The main window's four pages, by their dialog ids.
enum PageId : int {
  kAdapterPage = 160,
  kDeviceListPage = 161,
  kCustomizationPage = 162,
  kAntiTheftPage = 163,
};

// What a page asks of the window that hosts it.
class PageHost {
 public:
  virtual ~PageHost() = default;
  // Shows one page and hides the others, with that page's background and
  // title buttons.
  virtual void ShowPage(int page) = 0;
  // A delivery page (kCustomizationPage or kAntiTheftPage) started a delivery
  // to the target list the device list handed it: the device list locks its
  // buttons and watches those devices.
  virtual void DeliveryStarted(int page) = 0;
};

// A delivery page (customization or anti-theft) as the device list sees it.
// The page itself is a widget of the main window, created once and hidden.
class DeliveryPage {
 public:
  virtual ~DeliveryPage() = default;
  // Replaces the page's target list: the MAC texts of the ticked devices in
  // list order. Called each time the device list shows the page.
  virtual void SetTargetList(const std::vector<std::string>& targets) = 0;
  // The page has just been shown by the device list (the anti-theft page puts
  // the focus in its first field).
  virtual void Entered() {}
};

}  // namespace brevant
