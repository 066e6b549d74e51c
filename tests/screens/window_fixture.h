#pragma once

// The main window as the program builds it, over a temporary folder laid out
// like the bundle (Skin/ from the source tree), a fresh store, the in-memory
// segment and the simulator's devices on its far side. No root, no wire, no
// display. Page tests build on it:
//
//   WindowFixture f;
//   f.Devices({"mac=02:62:00:00:00:01", "mac=02:62:00:00:00:02,report=fail"});
//   ASSERT_TRUE(f.ScanToDeviceList(2));
//   f.TickRows({1, 2});
//   f.DeviceList().HandToPage(kCustomizationPage);   // the page now has both targets
//
// Every timer of the window is slowed to an hour: a test drives the ticks
// itself, so nothing depends on how fast the machine is.

#include <gtest/gtest.h>

#include <QTest>
#include <chrono>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "controls/grid_ctrl.h"
#include "link/delivery.h"
#include "link/fake_adapters.h"
#include "link/memory_segment.h"
#include "link/result_log.h"
#include "link/transmit_manage.h"
#include "records/status_store.h"
#include "screens/application_dlg.h"
#include "screens/devices_control_dlg.h"
#include "screens/note_dlg.h"
#include "screens/screen_services.h"
#include "screens/select_adapter_dlg.h"
#include "slowed_window.h"
#include "support/simulated_devices.h"
#include "support/temp_dir.h"

namespace brevant::testing {

class WindowFixture {
 public:
  static constexpr const char* kAdapterName = "eth0";
  static constexpr MacAddress kAdapterMac = {0x02, 0x62, 0x62, 0x00, 0x00, 0xFE};

  // storeOpens false: the store's file cannot be made (a folder of that
  // name is in the way), as when the disk refuses it.
  explicit WindowFixture(bool storeOpens = true) {
    for (const char* folder :
         {"IniTemplate", "ModifyExcel", "ModifyXml", "ModifyJson", "ModifyPicture", "Log"})
      std::filesystem::create_directories(dir_ / folder);
    dir_.Write("IniTemplate/Config.ini", "");
    std::filesystem::create_directory_symlink(BREVANT_SOURCE_DIR "/data/Skin", dir_ / "Skin");
    std::filesystem::create_directory_symlink(BREVANT_SOURCE_DIR "/data/Icons", dir_ / "Icons");
    CNoteDlg::SetSkinFolder(QStringLiteral(BREVANT_SOURCE_DIR "/data/Skin"));
    adapters_->entries = {Adapter(kAdapterName, kAdapterMac)};
    adapters_->captureDevices = {kAdapterName};
    adapters_->mtus = {{kAdapterName, 1500}};
    if (!storeOpens)
      dir_.Write("data.db/in-the-way", "");
    store_ = std::make_unique<CSqlManagement>(dir_ / "data.db");
    link_ = std::make_unique<AcTransmitManage>(*store_, adapters_, segment_->Station(kAdapterName));
    link_->SetResultHandler(
        [this](const LinkFrame& frame) { HandleDeviceResult(frame, *store_, log_); });
    services_.store = store_.get();
    services_.link = link_.get();
    services_.adapters = adapters_;
    services_.directory = dir_.path();
  }

  ~WindowFixture() {
    // No job may outlive the link and store it uses.
    StopDeliveryJobs();
    WaitForDeliveryJobs(std::chrono::steady_clock::now() + std::chrono::seconds(10));
    window_.reset();
    devices_.reset();
    link_.reset();
  }

  // The adapters the system lists (set before the window is made, or before
  // a refill). A second adapter needs a station of its own on the segment.
  FakeAdapterSource& Adapters() { return *adapters_; }

  // Devices from devsim plans ("mac=02:62:00:00:00:0A,report=fail"), on the
  // far side of the adapter; what they receive goes to Received().
  void Devices(const std::vector<std::string>& plans) {
    devices_.reset();
    devices_ =
        std::make_unique<SimulatedDevices>(segment_, SimulatedDevices::Plans(plans), Received());
  }

  // The window, made on first use, shown on the offscreen platform, its
  // timers slowed to an hour.
  CApplicationDlg& Window() {
    if (!window_)
      ShowSlowedWindow(window_, services_);
    return *window_;
  }
  CSelectAdapterDlg& AdapterPage() { return *Window().AdapterPage(); }
  CDevicesControlDlg& DeviceList() { return *Window().DeviceList(); }

  // Rows in the store now.
  int StoreRows() {
    std::vector<ap_info_stu> rows;
    int count = 0, successes = 0, failures = 0;
    store_->QueryDevices(true, SORT_BY_MAC, "", rows, count, successes, failures);
    return static_cast<int>(rows.size());
  }
  bool WaitForStoreRows(int rows, int ms = 10000) {
    return QTest::qWaitFor([&] { return StoreRows() >= rows; }, ms);
  }

  // "Start Scan" on the adapter page, then its ticks once `devices` rows are
  // in (as if they had all answered within the first second): the scan
  // settles on tick 4 and the device list shows the rows.
  bool ScanToDeviceList(int devices) {
    CSelectAdapterDlg& page = AdapterPage();
    page.StartScan();
    if (!WaitForStoreRows(devices)) {
      ADD_FAILURE() << StoreRows() << " rows, not " << devices;
      return false;
    }
    for (int tick = 1; tick <= 4 && !page.Idle(); ++tick)
      page.Tick();
    return page.Idle() && Window().CurrentPage() == kDeviceListPage &&
           DeviceList().RowCount() == devices;
  }

  // Clicks the check boxes of these data rows.
  void TickRows(const std::vector<int>& rows) {
    for (int row : rows)
      DeviceList().OnCellClicked(row, CDevicesControlDlg::kCheckColumn);
  }

  // Moves the pointer onto the middle of a grid cell's icon (or any point of the grid).
  void PointAtIcon(int row, int col) {
    CGridCtrl* grid = DeviceList().Grid();
    const QRect cell = grid->GetCellRect(row, col);
    const QPoint point(cell.left() + 3 + 12, cell.center().y());
    QTest::mouseMove(grid->viewport(), grid->viewport()->mapFrom(grid, point));
    DeviceList().PointerAt(point);
  }

  CSqlManagement& Store() { return *store_; }
  AcTransmitManage& Link() { return *link_; }
  const ScreenServices& Services() const { return services_; }
  const std::filesystem::path& Folder() const { return dir_.path(); }
  std::filesystem::path Received() const { return dir_ / "received"; }
  std::shared_ptr<MemorySegment> Segment() const { return segment_; }
  NoteAnswerer& Notes() { return notes_; }

  // A delivery context over this link and store, at the protocol's timing.
  DeliveryContext Delivery() {
    DeliveryContext context;
    context.link = link_.get();
    context.store = store_.get();
    return context;
  }

 private:
  TempDir dir_;
  NoteAnswerer notes_;
  std::shared_ptr<MemorySegment> segment_ = MemorySegment::Create();
  std::shared_ptr<FakeAdapterSource> adapters_ = std::make_shared<FakeAdapterSource>();
  ResultLog log_{dir_.path()};
  std::unique_ptr<CSqlManagement> store_;
  std::unique_ptr<AcTransmitManage> link_;
  std::unique_ptr<SimulatedDevices> devices_;
  ScreenServices services_;
  std::unique_ptr<CApplicationDlg> window_;
};

}  // namespace brevant::testing
