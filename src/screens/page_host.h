#pragma once

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

}  // namespace brevant
