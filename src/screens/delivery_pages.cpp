#include "screens/delivery_pages.h"

#include "controls/picture_button.h"
#include "controls/skin_font.h"
#include "controls/skin_image.h"
#include "controls/skin_label.h"
#include "i18n/qt/retitle.h"
#include "screens/skin_colors.h"

namespace brevant {

namespace {

template <class Page>
DeliveryPageParts Parts(Page* page) {
  return {page, page};
}

}  // namespace

DeliveryPageParts MakeDeliveryPage(int page, QWidget* parent, const ScreenServices& services,
                                   PageHost& host) {
  // Stand-ins until the customization and anti-theft pages land; then the two
  // lines below become these two (with their headers included above):
  // clang-format off
  //   if (page == kCustomizationPage) return Parts(new CDeviceCustomizationDlg(parent, services, host));
  //   return Parts(new CAntiTheftProtectionDlg(parent, services, host));
  if (page == kCustomizationPage) return Parts(new CDeliveryStandInDlg(page, parent, services, host));
  return Parts(new CDeliveryStandInDlg(kAntiTheftPage, parent, services, host));
  // clang-format on
}

CDeliveryStandInDlg::CDeliveryStandInDlg(int page, QWidget* parent, const ScreenServices& services,
                                         PageHost& host)
    : CTDialog(parent, Kind::Page),
      title_(new CTStaticGdiplus(page == kCustomizationPage
                                     ? QStringLiteral("Device Customization")
                                     : QStringLiteral("Anti-Theft Protection"),
                                 this)),
      cancel_(new CTButtonPicture(QStringLiteral("Cancel"), this)) {
  const bool customization = page == kCustomizationPage;
  setObjectName(customization ? QStringLiteral("customizationPage")
                              : QStringLiteral("antiTheftPage"));
  setAccessibleName(title_->text());
  title_->setObjectName(QStringLiteral("pageTitle"));
  cancel_->setObjectName(QStringLiteral("pageCancel"));
  cancel_->setAccessibleName(QStringLiteral("Cancel"));
  TranslateWindow(this);

  const int height = customization ? 324 : 426;
  setFixedSize(420, height);
  SetBackgroundFill(true);
  SetCornerRadius(4);
  title_->setGeometry(24, 20, 372, 24);
  title_->SetTextFont(QString::fromLatin1(kSkinFontFace), 20, 600);
  title_->SetTextColor(kInk);

  const auto skin = [&](const char* file) { return PathText(services.directory / "Skin" / file); };
  cancel_->SetPictures(skin("cancel_btn_normal.png"), skin("cancel_btn_over.png"),
                       skin("cancel_btn_down.png"));
  cancel_->setGeometry(420 - 24 - 71, height - 24 - 27, 71, 27);
  cancel_->SetCaptionFont(QString::fromLatin1(kSkinFontFace), 17, 400);
  cancel_->SetCaptionColors(QColor(146, 146, 157), kBrandRed, kBrandRed, QColor(146, 146, 157));
  connect(cancel_, &QAbstractButton::clicked, this, [&host] { host.ShowPage(kDeviceListPage); });
}

}  // namespace brevant
