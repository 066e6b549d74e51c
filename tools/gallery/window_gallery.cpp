// brevant-window-gallery: the main window as an operator sees it, in a real X
// window, with the simulator's devices on an in-memory segment: the adapter
// page, the scan, the device list, a delivery with one failure, the advice
// balloon, the results menu with its export and the about box. Writes what the screen shows to PNG
// files. scripts/screenshot runs it under Xvfb, once per language.
//
//   brevant-window-gallery --data DIR --out DIR
//
// DIR of --data holds Skin/, Languages/, Icons/, Setting.ini and samples/.
#include <QApplication>
#include <QCursor>
#include <QDir>
#include <QLineEdit>
#include <QMenu>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <unistd.h>

#include "controls/grid_ctrl.h"
#include "device_plan.h"
#include "gallery_common.h"
#include "link/adapters.h"
#include "link/delivery.h"
#include "link/memory_segment.h"
#include "link/result_log.h"
#include "link/transmit_manage.h"
#include "records/status_store.h"
#include "screens/application_dlg.h"
#include "screens/devices_control_dlg.h"
#include "screens/error_tip_wnd.h"
#include "screens/modal_runner.h"
#include "screens/note_dlg.h"
#include "screens/select_adapter_dlg.h"
#include "support/segment_devices.h"
#include "workflow/customization.h"

namespace brevant {
namespace {

QString gOut;
std::vector<std::string> gWritten;

// Two wired adapters, as a workstation lists them; the devices are behind the first.
class GalleryAdapters : public AdapterSource {
 public:
  std::vector<AdapterRecord> Entries() override {
    return {Record("enp3s0", "enp3s0 (Intel I211 Gigabit)", {0x00, 0x1B, 0x21, 0x3A, 0x4C, 0x5E}),
            Record("enp4s0", "enp4s0 (Realtek RTL8111)", {0x00, 0xE0, 0x4C, 0x68, 0x01, 0x2F})};
  }
  bool CaptureDevices(std::vector<std::string>& names, std::string&) override {
    names = {"enp3s0", "enp4s0"};
    return true;
  }
  std::optional<int> Mtu(const std::string&) override { return 1500; }

 private:
  static AdapterRecord Record(const char* name, const char* description, MacAddress mac) {
    AdapterRecord record;
    record.kind = 1;
    record.name = name;
    record.description = description;
    record.mac = mac;
    return record;
  }
};

// Every question answered "Ok".
class YesPort : public OperatorPort {
 public:
  bool Note(const std::string&, const std::string&, bool) override { return true; }
  SheetEdit EditSheet(const std::filesystem::path&) override { return SheetEdit::NoEditor; }
};

void Settle(int ms = 150) {
  QTest::qWait(ms);
}

void Park() {
  QCursor::setPos(1270, 890);
  Settle(80);
}

void Save(const QImage& image, const char* name) {
  const QString file = QDir(gOut).filePath(QString::fromLatin1(name));
  image.save(file);
  gWritten.push_back(file.toStdString());
}

QImage ScreenShot(const QRect& global) {
  return QGuiApplication::primaryScreen()
      ->grabWindow(0, global.x(), global.y(), global.width(), global.height())
      .toImage();
}

QImage WindowShot(QWidget* window) {
  return ScreenShot(QRect(window->mapToGlobal(QPoint(0, 0)), window->size()));
}

int Run(const std::filesystem::path& data) {
  std::error_code error;
  const std::filesystem::path work = std::filesystem::temp_directory_path() /
                                     ("brevant-window-gallery-" + std::to_string(::getpid()));
  std::filesystem::remove_all(work, error);
  for (const char* folder : {"ModifyXml", "ModifyJson", "ModifyExcel", "ModifyPicture", "Log"})
    std::filesystem::create_directories(work / folder);
  for (const char* link : {"Skin", "Icons", "Languages", "ExcelTemplate", "IniTemplate"}) {
    if (std::filesystem::exists(data / link))
      std::filesystem::create_directory_symlink(std::filesystem::absolute(data / link), work / link,
                                                error);
  }

  auto segment = MemorySegment::Create();
  auto adapters = std::make_shared<GalleryAdapters>();
  CSqlManagement store(work / "data.db");
  ResultLog log(work);
  AcTransmitManage link(store, adapters, segment->Station("enp3s0"));
  link.SetResultHandler([&](const LinkFrame& frame) { HandleDeviceResult(frame, store, log); });
  std::vector<devsim::DevicePlan> plans;
  const char* devices[] = {
      "mac=02:62:00:1A:2B:01,ssid2=Lobby-2G,ssid5=Lobby-5G",
      "mac=02:62:00:1A:2B:02,ssid2=Office-2G,ssid5=Office-5G",
      "mac=02:62:00:1A:2B:03",
      "mac=02:62:00:1A:2B:04,ssid2=Store-12,ssid5=Store-12-5G",
      "mac=02:62:00:1A:2B:05,report=fail",
      "mac=02:62:00:1A:2B:06",
      "mac=02:62:00:1A:2B:07,ssid2=Cafe\\, terrace",
      "mac=02:62:00:1A:2B:08",
  };
  for (const char* text : devices) {
    std::string why;
    if (auto plan = devsim::ParseDevicePlan(text, &why))
      plans.push_back(*plan);
    else
      std::fprintf(stderr, "brevant-window-gallery: %s: %s\n", text, why.c_str());
  }
  testing::SegmentDevices far(segment, std::move(plans));
  if (!far.Running())
    std::fprintf(stderr, "brevant-window-gallery: %s\n", far.OpenError().c_str());

  ScreenServices services;
  services.store = &store;
  services.link = &link;
  services.adapters = adapters;
  services.directory = work;
  services.settings = ReadAppSettings(data / "Setting.ini");
  CApplicationDlg window(services);
  window.move(100, 60);
  window.show();
  (void)QTest::qWaitForWindowExposed(&window);
  Park();
  Settle(300);
  Save(WindowShot(&window), "window_adapter_page.png");

  // The scan, caught while it runs, then settled.
  CSelectAdapterDlg& adapterPage = *window.AdapterPage();
  adapterPage.SetTickIntervalForTesting(3600 * 1000);
  adapterPage.StartScan();
  Settle(400);
  Save(WindowShot(&window), "window_adapter_page_scanning.png");
  (void)QTest::qWaitFor([&] { return link.DeviceCount() >= 8; }, 10000);
  for (int tick = 0; tick < 4 && !adapterPage.Idle(); ++tick)
    adapterPage.Tick();
  CDevicesControlDlg& list = *window.DeviceList();
  Settle(300);
  Save(WindowShot(&window), "window_device_list.png");

  // Every device ticked, the sample configuration delivered to them all.
  list.OnCellClicked(0, CDevicesControlDlg::kCheckColumn);
  list.OnCellClicked(3, CDevicesControlDlg::kCheckColumn);
  Settle(200);
  Save(WindowShot(&window), "window_device_list_ticked.png");
  list.OnCellClicked(3, CDevicesControlDlg::kCheckColumn);
  list.HandToPage(kCustomizationPage);
  CustomizationState state;
  SetTargetList(state, list.TargetList());
  SetConfiguration(state, data / "samples" / "gateway.xml");
  CustomizationServices customization;
  customization.store = &store;
  customization.delivery.link = &link;
  customization.delivery.store = &store;
  customization.executableDirectory = work;
  customization.deliveryStarting = [&] { window.DeliveryStarted(kCustomizationPage); };
  YesPort yes;
  ApplyCustomization(state, yes, customization);
  Settle(600);
  Save(WindowShot(&window), "window_delivery_watching.png");
  (void)QTest::qWaitFor([&] { return list.CurrentState() == CDevicesControlDlg::State::Idle; },
                        30000);
  Settle(300);
  Save(WindowShot(&window), "window_delivery_results.png");

  // The advice over the failure icon.
  for (int row = 1; row <= list.RowCount(); ++row) {
    if (list.Grid()->GetItemImage(row, CDevicesControlDlg::kStatusColumn) !=
        CDevicesControlDlg::kImageFailed)
      continue;
    const QRect cell = list.Grid()->GetCellRect(row, CDevicesControlDlg::kStatusColumn);
    QCursor::setPos(list.Grid()->mapToGlobal(QPoint(cell.left() + 15, cell.center().y())));
    (void)QTest::qWaitFor([&] { return list.Balloon()->IsShown(); }, 3000);
    Settle(300);
    Save(WindowShot(&window), "window_balloon.png");
    QRect around = list.Balloon()->geometry().united(
        QRect(list.Grid()->mapToGlobal(cell.topLeft()), cell.size()));
    Save(ScreenShot(around.adjusted(-40, -16, 40, 16)), "window_balloon_close.png");
    break;
  }
  Park();

  // The results menu on the grid, the export's save dialog, and the note of
  // an export that cannot be written.
  {
    const QRect cell = list.Grid()->GetCellRect(2, CDevicesControlDlg::kMacColumn);
    const QPoint at = list.Grid()->mapToGlobal(cell.center());
    QCursor::setPos(at);
    list.OpenResultsMenu(at);
    list.ResultsMenu()->setActiveAction(list.ExportAction());
    Settle(300);
    Save(WindowShot(&window), "window_results_menu.png");
    list.ResultsMenu()->hide();
    Park();
    ModalAnswerer modal;
    modal.Queue([&window](QDialog& dialog) {
      if (auto* name = dialog.findChild<QLineEdit*>(QStringLiteral("fileNameEdit")))
        name->setText(QStringLiteral("/proc/results.csv"));
      Settle(800);
      Save(ScreenShot(dialog.frameGeometry()), "window_export_dialog.png");
      dialog.accept();
      // The note comes next, in a modal loop of its own.
      QTimer::singleShot(500, [&window] {
        for (QWidget* top : QApplication::topLevelWidgets()) {
          auto* note = qobject_cast<CNoteDlg*>(top);
          if (note != nullptr && note->isVisible()) {
            Save(WindowShot(&window), "window_export_failed.png");
            note->done(CNoteDlg::kOk);
          }
        }
      });
    });
    list.ExportResults();
  }
  Park();

  // The about box and the exit confirmation, over the window.
  for (const auto& [name, open] : std::vector<std::pair<const char*, std::function<void()>>>{
           {"window_about.png", [&] { window.ShowAbout(); }},
           {"window_confirm_exit.png", [&] { window.AskToClose(); }}}) {
    QTimer::singleShot(500, [&window, name = name] {
      for (QWidget* top : QApplication::topLevelWidgets()) {
        auto* note = qobject_cast<CNoteDlg*>(top);
        if (note != nullptr && note->isVisible()) {
          Save(WindowShot(&window), name);
          note->done(CNoteDlg::kCancel);
        }
      }
    });
    open();
  }
  Park();

  StopDeliveryJobs();
  WaitForDeliveryJobs(std::chrono::steady_clock::now() + std::chrono::seconds(10));
  link.SetResultHandler({});
  std::filesystem::remove_all(work, error);
  return 0;
}

}  // namespace
}  // namespace brevant

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  const auto folders = brevant::StartGallery(app, argc, argv, "brevant-window-gallery");
  if (!folders)
    return 2;
  brevant::gOut = folders->out;
  const std::filesystem::path dataDir = std::filesystem::absolute(folders->data.toStdString());
  const int status = brevant::Run(dataDir);
  for (const auto& file : brevant::gWritten)
    std::printf("%s\n", file.c_str());
  return status;
}
