#include <QApplication>
#include <chrono>
#include <memory>

#include "app/exe_dir.h"
#include "app/startup.h"
#include "controls/skin_image.h"
#include "controls/skin_look.h"
#include "i18n/qt/toolkit_translation.h"
#include "link/adapters.h"
#include "link/delivery.h"
#include "link/pcap_capture.h"
#include "link/result_log.h"
#include "link/transmit_manage.h"
#include "records/diag_log.h"
#include "records/status_store.h"
#include "screens/application_dlg.h"
#include "screens/quit_signals.h"

// The composition root of the desktop application: the one-copy guard, the
// language pack, Setting.ini and the skin, then the store and the link manager
// handed to the window. It takes no command-line arguments.
int main(int argc, char** argv) {
  using namespace brevant;
  // A second copy ends here, silently, before it reaches the display.
  std::optional<AppCore> core = StartAppCore(ExecutableDirectory(), true);
  if (!core)
    return 0;

  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Brevant"));
  QApplication::setApplicationVersion(QStringLiteral(BREVANT_VERSION));
  QGuiApplication::setDesktopFileName(QStringLiteral("brevant"));
  // Notes shown while the window is in the tray must not end the program.
  QApplication::setQuitOnLastWindowClosed(false);
  InstallToolkitTranslation(app);
  // From here on a signal ends the program the clean way: jobs stopped, data.db deleted.
  QuitSignals quitSignals;
  // exit(), not quit(): quit() first offers every window a close, which the
  // window answers with its confirmation.
  const auto end = [] { QCoreApplication::exit(0); };
  QObject::connect(&quitSignals, &QuitSignals::Received, &app, end);
  InstallSkinLook();
  SetControlDiagnosticSink(
      [](const std::string& line) { WriteLog("controls", 2, 0, "%s", line.c_str()); });
  QApplication::setWindowIcon(CApplicationDlg::ApplicationIcon(ExecutableDirectory()));

  // Destroyed in the opposite order: the link (its threads) before the log
  // and the store its result handler writes to; the store last, deleting data.db.
  CSqlManagement store(CSqlManagement::DefaultDatabaseFile());
  ResultLog resultLog(ExecutableDirectory());
  ScreenServices services;
  services.store = &store;
  services.adapters = std::make_shared<SysfsAdapterSource>();
  services.directory = ExecutableDirectory();
  services.settings = core->settings;
  AcTransmitManage link(store, services.adapters, std::make_shared<PcapCaptureFactory>());
  link.SetResultHandler([&store, &resultLog](const LinkFrame& frame) {
    HandleDeviceResult(frame, store, resultLog);
  });
  services.link = &link;

  int status = 0;
  {
    CApplicationDlg window(services);
    QObject::connect(&window, &CApplicationDlg::ExitRequested, &app, end);
    window.show();
    status = app.exec();
    // No job may outlive the link and the store it uses.
    StopDeliveryJobs();
    if (!WaitForDeliveryJobs(std::chrono::steady_clock::now() + std::chrono::seconds(10)))
      WriteLog("main", 1, __LINE__, "delivery jobs still running at exit");
  }
  link.SetResultHandler({});
  return status;
}
