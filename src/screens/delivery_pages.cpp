#include "screens/delivery_pages.h"

#include "screens/anti_theft_dlg.h"
#include "screens/device_customization_dlg.h"

namespace brevant {

namespace {

template <class Page>
DeliveryPageParts Parts(Page* page) {
  return {page, page};
}

}  // namespace

DeliveryPageParts MakeDeliveryPage(int page, QWidget* parent, const ScreenServices& services,
                                   PageHost& host) {
  if (page == kCustomizationPage)
    return Parts(new CDeviceCustomizationDlg(parent, services, host));
  return Parts(new CAntiTheftProtectionDlg(parent, services, host));
}

}  // namespace brevant
