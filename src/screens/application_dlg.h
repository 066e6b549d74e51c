#pragma once

#include <QIcon>
#include <QPointer>
#include <array>

#include "controls/skin_dialog.h"
#include "screens/page_host.h"
#include "screens/screen_services.h"

class QMenu;
class QSystemTrayIcon;

namespace brevant {

class CDevicesControlDlg;
class CSelectAdapterDlg;
class CTButtonPicture;

// The program's one top-level window, 817 x 540, frameless, centred: it hosts
// the four pages (adapter page, device list, customization, anti-theft),
// created once and shown one at a time, the title buttons (about, minimise,
// close) and the tray icon. Closing asks first; on "Ok" it emits
// ExitRequested and the program ends.
//
// A store that could not be opened is told in a note once the window shows;
// the window works on, with an empty list.
//
// Without a system tray, "Min" minimises the window to the task bar instead of
// hiding it, so it never becomes unreachable.
class CApplicationDlg : public CTDialog, public PageHost {
  Q_OBJECT

 public:
  explicit CApplicationDlg(const ScreenServices& services, QWidget* parent = nullptr);
  ~CApplicationDlg() override;

  // PageHost.
  void ShowPage(int page) override;
  void DeliveryStarted(int page) override;

  int CurrentPage() const { return current_; }
  QWidget* Page(int page) const;
  CSelectAdapterDlg* AdapterPage() const { return adapterPage_; }
  CDevicesControlDlg* DeviceList() const { return deviceList_; }
  CTButtonPicture* AboutButton() const { return about_; }
  CTButtonPicture* MinimizeButton() const { return minimize_; }
  CTButtonPicture* CloseButton() const { return close_; }
  // The tray icon; null where the system has no tray.
  QSystemTrayIcon* TrayIcon() const { return tray_; }
  QMenu* TrayMenu() const { return trayMenu_; }
  // The background picture of the page shown.
  QString BackgroundFile() const { return background_; }
  // Whether Close shows its second look (white, over the adapter page's band).
  bool CloseHasSecondLook() const { return closeSecondLook_; }

  // The title buttons and tray actions.
  void Minimize();
  void AskToClose();   // "Close": "Confirm Exit"
  void AskToExit();    // the tray's "Exit": "Note"
  void ShowUtility();  // the tray's "Show Utility" and a double click
  void ShowAbout();

  // The window's icon (the application's, from Icons/ beside the program).
  static QIcon ApplicationIcon(const std::filesystem::path& directory);

 signals:
  // The operator confirmed the end; the program quits its event loop.
  void ExitRequested();

 protected:
  void closeEvent(QCloseEvent* event) override;
  // The first time: a store that could not be opened is told over the window.
  void showEvent(QShowEvent* event) override;

 private:
  void SetBackground(const char* file);
  void SetCloseLook(bool second);
  void MakeTray();
  QString Skin(const char* file) const;

  ScreenServices services_;
  CSelectAdapterDlg* adapterPage_;
  CDevicesControlDlg* deviceList_;
  QWidget* customizationPage_;
  QWidget* antiTheftPage_;
  CTButtonPicture* about_;
  CTButtonPicture* minimize_;
  CTButtonPicture* close_;
  QSystemTrayIcon* tray_ = nullptr;
  QMenu* trayMenu_ = nullptr;
  int current_ = 0;
  QString background_;
  bool closeSecondLook_ = false;
  bool exiting_ = false;
  bool shown_ = false;
};

}  // namespace brevant
