#include "screens/application_dlg.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QMenu>
#include <QScreen>
#include <QSystemTrayIcon>
#include <QTimer>

#include "controls/picture_button.h"
#include "controls/skin_image.h"
#include "i18n/language.h"
#include "i18n/qt/retitle.h"
#include "records/status_store.h"
#include "screens/delayed_tooltip.h"
#include "screens/delivery_pages.h"
#include "screens/devices_control_dlg.h"
#include "screens/note_dlg.h"
#include "screens/select_adapter_dlg.h"

#ifndef BREVANT_VERSION
#define BREVANT_VERSION "0.0.0"
#endif

namespace brevant {

namespace {

QString Tr(const char* text) {
  return QString::fromStdString(Translate(text));
}

}  // namespace

CApplicationDlg::CApplicationDlg(const ScreenServices& services, QWidget* parent)
    : CTDialog(parent, Kind::Window), services_(services) {
  // A main window, not a dialog: it has a task bar entry and can be minimised.
  setWindowFlags(Qt::Window | Qt::FramelessWindowHint | Qt::WindowMinimizeButtonHint |
                 Qt::WindowSystemMenuHint);
  setObjectName(QStringLiteral("applicationWindow"));
  setWindowTitle(QStringLiteral("Brevant"));
  setWindowIcon(ApplicationIcon(services_.directory));
  setFixedSize(817, 540);
  SetDraggable(true);

  adapterPage_ = new CSelectAdapterDlg(this, services_);
  adapterPage_->move(247, 126);
  deviceList_ = new CDevicesControlDlg(this, services_, *this);
  deviceList_->move(0, 48);
  const DeliveryPageParts customization =
      MakeDeliveryPage(kCustomizationPage, this, services_, *this);
  customizationPage_ = customization.widget;
  customizationPage_->move(200, 142);
  const DeliveryPageParts antiTheft = MakeDeliveryPage(kAntiTheftPage, this, services_, *this);
  antiTheftPage_ = antiTheft.widget;
  antiTheftPage_->move(198, 57);
  deviceList_->SetDeliveryPage(kCustomizationPage, customization.page);
  deviceList_->SetDeliveryPage(kAntiTheftPage, antiTheft.page);
  for (QWidget* page : {static_cast<QWidget*>(adapterPage_), static_cast<QWidget*>(deviceList_),
                        customizationPage_, antiTheftPage_})
    page->hide();

  // The title bar: about, minimise, close, 24 x 24 each, centred in its 48 pixels.
  about_ = new CTButtonPicture(this);
  minimize_ = new CTButtonPicture(this);
  close_ = new CTButtonPicture(this);
  about_->setObjectName(QStringLiteral("aboutButton"));
  minimize_->setObjectName(QStringLiteral("minimizeButton"));
  close_->setObjectName(QStringLiteral("closeButton"));
  about_->setGeometry(725, 12, 24, 24);
  minimize_->setGeometry(753, 12, 24, 24);
  close_->setGeometry(781, 12, 24, 24);
  about_->SetPicture(Skin("help_normal.bmp"));
  minimize_->SetPictures(Skin("btn_min_normal.png"), Skin("btn_min_over.png"),
                         Skin("btn_min_down.png"));
  about_->setToolTip(Tr("About"));
  minimize_->setToolTip(Tr("Min"));
  close_->setToolTip(Tr("Close"));
  for (auto* button : {about_, minimize_, close_}) {
    button->setAccessibleName(button->toolTip());
    button->setFocusPolicy(Qt::NoFocus);
    DelayedToolTip::Install(button, 500);
  }
  connect(about_, &QAbstractButton::clicked, this, &CApplicationDlg::ShowAbout);
  connect(minimize_, &QAbstractButton::clicked, this, &CApplicationDlg::Minimize);
  connect(close_, &QAbstractButton::clicked, this, &CApplicationDlg::AskToClose);

  connect(adapterPage_, &CSelectAdapterDlg::ScanSettled, this, [this] {
    ShowPage(kDeviceListPage);
    deviceList_->SetAdapterName(adapterPage_->SelectedAdapterName());
    deviceList_->RefreshList(true, deviceList_->Ascending(), CDevicesControlDlg::kMacColumn);
  });
  connect(deviceList_, &CDevicesControlDlg::ChangeRequested, this, [this] {
    adapterPage_->FillList();
    ShowPage(kAdapterPage);
  });
  deviceList_->SetAdapterName(adapterPage_->SelectedAdapterName());

  TranslateWindow(this);
  MakeTray();
  ShowPage(kAdapterPage);

  if (QScreen* screen = QGuiApplication::primaryScreen())
    move(screen->availableGeometry().center() - rect().center());
}

CApplicationDlg::~CApplicationDlg() = default;

QIcon CApplicationDlg::ApplicationIcon(const std::filesystem::path& directory) {
  QIcon icon;
  for (int size : {16, 32, 48, 64, 128, 256}) {
    const auto file = directory / "Icons" / ("brevant-" + std::to_string(size) + ".png");
    if (std::filesystem::exists(file))
      icon.addFile(PathText(file), QSize(size, size));
  }
  return icon;
}

QString CApplicationDlg::Skin(const char* file) const {
  return PathText(services_.directory / "Skin" / file);
}

QWidget* CApplicationDlg::Page(int page) const {
  switch (page) {
    case kAdapterPage:
      return adapterPage_;
    case kDeviceListPage:
      return deviceList_;
    case kCustomizationPage:
      return customizationPage_;
    case kAntiTheftPage:
      return antiTheftPage_;
    default:
      return nullptr;
  }
}

void CApplicationDlg::SetBackground(const char* file) {
  background_ = QString::fromLatin1(file);
  SetBackgroundPicture(Skin(file));
  update();
}

void CApplicationDlg::SetCloseLook(bool second) {
  closeSecondLook_ = second;
  close_->SetPictures(Skin(second ? "btn_close_normal2.png" : "btn_close_normal.png"),
                      Skin("btn_close_over.png"), Skin("btn_close_down.png"));
  close_->update();
}

void CApplicationDlg::ShowPage(int page) {
  current_ = page;
  for (QWidget* widget : {static_cast<QWidget*>(adapterPage_), static_cast<QWidget*>(deviceList_),
                          customizationPage_, antiTheftPage_})
    widget->hide();
  if (page == kDeviceListPage) {
    SetCloseLook(false);
    about_->show();
    minimize_->show();
    close_->show();
    SetBackground("main_bk.jpg");
    deviceList_->show();
  } else if (page == kCustomizationPage || page == kAntiTheftPage) {
    SetCloseLook(false);
    about_->hide();
    minimize_->hide();
    close_->hide();
    SetBackground("main_bk3.jpg");
    Page(page)->show();
  } else {
    current_ = kAdapterPage;
    SetBackground("main_bk.png");
    SetCloseLook(true);
    // The about picture is drawn for the white title bar, not the red band.
    about_->hide();
    minimize_->hide();
    close_->show();
    adapterPage_->show();
  }
}

void CApplicationDlg::DeliveryStarted(int page) {
  if (page != kCustomizationPage && page != kAntiTheftPage)
    return;
  ShowPage(kDeviceListPage);
  deviceList_->StartWatching(page);
}

void CApplicationDlg::MakeTray() {
  // The menu is made whether or not a tray shows it, so it is retitled the same way.
  trayMenu_ = new QMenu(this);
  trayMenu_->setObjectName(QStringLiteral("trayMenu"));
  trayMenu_->addAction(QStringLiteral("Show Utility"), this, &CApplicationDlg::ShowUtility);
  trayMenu_->addAction(QStringLiteral("Exit"), this, &CApplicationDlg::AskToExit);
  TranslateMenu(trayMenu_);
  if (!QSystemTrayIcon::isSystemTrayAvailable())
    return;
  tray_ = new QSystemTrayIcon(windowIcon(), this);
  tray_->setObjectName(QStringLiteral("trayIcon"));
  tray_->setToolTip(Tr("Brevant"));
  tray_->setContextMenu(trayMenu_);
  connect(tray_, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason why) {
    if (why == QSystemTrayIcon::DoubleClick)
      ShowUtility();
  });
  tray_->show();
}

void CApplicationDlg::Minimize() {
  // Hidden, it is reached again from the tray; without one it goes to the task bar.
  if (tray_ != nullptr && tray_->isVisible() && QSystemTrayIcon::isSystemTrayAvailable())
    hide();
  else
    showMinimized();
}

void CApplicationDlg::ShowUtility() {
  showNormal();
  raise();
  activateWindow();
}

void CApplicationDlg::AskToClose() {
  if (CNoteDlg::ShowNote(this, Tr("Confirm Exit"), Tr("Are you sure you want to exit Brevant?"),
                         true) != CNoteDlg::kOk)
    return;
  exiting_ = true;
  emit ExitRequested();
}

void CApplicationDlg::AskToExit() {
  if (CNoteDlg::ShowNote(this, Tr("Note"), Tr("Are you sure close program?"), true) !=
      CNoteDlg::kOk)
    return;
  exiting_ = true;
  emit ExitRequested();
}

void CApplicationDlg::ShowAbout() {
  const QString text = QStringLiteral("Brevant ") + QStringLiteral(BREVANT_VERSION) +
                       QLatin1Char('\n') + Tr("Copyright © Ostrel. All rights reserved.") +
                       QLatin1Char('\n') + Tr("Licensed for internal use only.");
  CNoteDlg::ShowNote(this, Tr("About Brevant"), text);
}

void CApplicationDlg::showEvent(QShowEvent* event) {
  CTDialog::showEvent(event);
  if (shown_)
    return;
  shown_ = true;
  if (services_.store != nullptr && !services_.store->IsOpen()) {
    QTimer::singleShot(0, this, [this] {
      CNoteDlg::ShowNote(this, Tr("Note"), Tr("Failed to open database, unable to get data."));
    });
  }
}

void CApplicationDlg::closeEvent(QCloseEvent* event) {
  // The window manager's close (a task bar menu, a key) asks like the button.
  event->ignore();
  if (!exiting_)
    AskToClose();
}

}  // namespace brevant
