#pragma once

#include "screens/page_host.h"
#include "screens/screen_services.h"

class QWidget;

namespace brevant {

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

}  // namespace brevant
