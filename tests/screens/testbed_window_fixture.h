#pragma once

// The main window on the namespace test bed: real libpcap on the tool end of a
// veth pair, brevant-devsim on the other, a temporary folder laid out like the
// bundle and a fresh store that the devices' answers fill. A test scans from
// the adapter page, ticks rows in the device list's grid, and hands them to a
// delivery page as the operator does:
//
//   StartDevsim({"--count", "2"});
//   ASSERT_TRUE(ScanToDeviceList(2));
//   ClickTicks({"02:62:00:00:00:01", "02:62:00:00:00:02"});
//   QTest::mouseClick(List().AntiTheftButton(), Qt::LeftButton);
//
// The window's timers are slowed to an hour: the adapter page's ticks are the
// test's, and the device list's watch runs on its own timers only once every
// target has its result (RunWatchToItsEnd), so nothing hangs on how fast the
// machine is.

#include <gtest/gtest.h>

#include <QTest>
#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "controls/grid_ctrl.h"
#include "link/adapters.h"
#include "link/delivery.h"
#include "link/pcap_capture.h"
#include "link/result_log.h"
#include "link/transmit_manage.h"
#include "records/status_store.h"
#include "screens/application_dlg.h"
#include "screens/devices_control_dlg.h"
#include "screens/note_dlg.h"
#include "screens/select_adapter_dlg.h"
#include "slowed_window.h"
#include "support/temp_dir.h"
#include "testbed_fixture.h"

namespace brevant::testing {

// The tool end as the only adapter; capture devices and MTUs from the system,
// in this thread's namespace. (/sys/class/net shows the namespace sysfs was
// mounted in, not the thread's.)
class ToolEndAdapters : public SysfsAdapterSource {
 public:
  explicit ToolEndAdapters(AdapterRecord record) : record_(std::move(record)) {}
  std::vector<AdapterRecord> Entries() override { return {record_}; }

 private:
  AdapterRecord record_;
};

class TestBedWindowTest : public TestBedTest {
 protected:
  void SetUp() override {
    TestBedTest::SetUp();
    if (IsSkipped() || HasFatalFailure())
      return;
    for (const char* folder :
         {"IniTemplate", "ModifyExcel", "ModifyXml", "ModifyJson", "ModifyPicture", "Log"})
      std::filesystem::create_directories(dir_ / folder);
    dir_.Write("IniTemplate/Config.ini", "");
    std::filesystem::create_directory_symlink(BREVANT_SOURCE_DIR "/data/Skin", dir_ / "Skin");
    CNoteDlg::SetSkinFolder(QStringLiteral(BREVANT_SOURCE_DIR "/data/Skin"));
    AdapterRecord record;
    record.kind = 1;
    record.name = bed_.ToolInterface();
    record.description = bed_.ToolInterface() + " (veth)";
    record.mac = TestBed::kToolMac;
    adapters_ = std::make_shared<ToolEndAdapters>(record);
    store_ = std::make_unique<CSqlManagement>(dir_ / "data.db");
    log_ = std::make_unique<ResultLog>(dir_.path());
    link_ = std::make_unique<AcTransmitManage>(*store_, adapters_,
                                               std::make_shared<PcapCaptureFactory>());
    link_->SetResultHandler(
        [this](const LinkFrame& frame) { HandleDeviceResult(frame, *store_, *log_); });
    services_.store = store_.get();
    services_.link = link_.get();
    services_.adapters = adapters_;
    services_.directory = dir_.path();
  }

  void TearDown() override {
    // No job may outlive the link and store it uses.
    if (link_) {
      EXPECT_TRUE(WaitForDeliveryJobs(std::chrono::steady_clock::now() + std::chrono::seconds(20)));
    }
    window_.reset();
    link_.reset();
    TestBedTest::TearDown();
  }

  // The window, made and shown on first use, its timers slowed to an hour.
  CApplicationDlg& Window() {
    if (!window_)
      ShowSlowedWindow(window_, services_);
    return *window_;
  }
  CDevicesControlDlg& List() { return *Window().DeviceList(); }
  CGridCtrl& Grid() { return *List().Grid(); }

  // "Start Scan" on the adapter page; once `devices` have answered, its ticks
  // until the scan settles and the device list shows them.
  bool ScanToDeviceList(std::size_t devices) {
    CSelectAdapterDlg& page = *Window().AdapterPage();
    if (page.Adapters().size() != 1u) {
      ADD_FAILURE() << page.Adapters().size() << " adapters listed";
      return false;
    }
    page.StartScan();
    if (!link_->IsUp()) {
      ADD_FAILURE() << link_->LastOpenError();
      return false;
    }
    if (!QTest::qWaitFor([&] { return link_->DeviceCount() >= devices; }, 10000)) {
      ADD_FAILURE() << link_->DeviceCount() << " devices answered, not " << devices;
      return false;
    }
    for (int tick = 1; tick <= 4 && !page.Idle(); ++tick)
      page.Tick();
    return page.Idle() && Window().CurrentPage() == kDeviceListPage &&
           List().RowCount() == static_cast<int>(devices);
  }

  // Clicks each device's check box in the grid.
  void ClickTicks(const std::vector<std::string>& macs) {
    for (const std::string& mac : macs) {
      const int row = List().RowOfMac(mac);
      ASSERT_GT(row, 0) << mac;
      const QRect cell = Grid().GetCellRect(row, CDevicesControlDlg::kCheckColumn);
      QTest::mouseClick(Grid().viewport(), Qt::LeftButton, {},
                        Grid().viewport()->mapFrom(&Grid(), cell.center()));
      ASSERT_EQ(List().CheckState(row), 1) << mac;
    }
  }

  // Waits until the store judges every device (success or failure), then lets
  // the device list's watch run on its own timers until it ends: its rows
  // and counters then show what the store holds.
  void RunWatchToItsEnd(const std::vector<std::string>& macs) {
    ASSERT_EQ(List().CurrentState(), CDevicesControlDlg::State::Watching);
    for (const std::string& mac : macs) {
      ASSERT_TRUE(QTest::qWaitFor(
          [&] {
            const DeviceResult result = store_->EvaluateDevice(mac);
            return result == RESULT_SUCCESS || result == RESULT_FAILED;
          },
          20000))
          << mac << " has no result";
    }
    List().SetTimerIntervalsForTesting(100);
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return List().CurrentState() == CDevicesControlDlg::State::Idle; }, 10000));
  }

  int StatusImage(const std::string& mac) {
    return Grid().GetItemImage(List().RowOfMac(mac), CDevicesControlDlg::kStatusColumn);
  }

  // The device's row of the store, its codes included.
  ap_info_stu Row(const std::string& mac) {
    std::vector<ap_info_stu> rows;
    int count = 0, successes = 0, failures = 0;
    store_->QueryDevices(true, SORT_BY_MAC, mac, rows, count, successes, failures);
    EXPECT_EQ(rows.size(), 1u) << mac;
    return rows.empty() ? ap_info_stu{} : rows.front();
  }

  TempDir dir_;
  std::shared_ptr<ToolEndAdapters> adapters_;
  std::unique_ptr<CSqlManagement> store_;
  std::unique_ptr<ResultLog> log_;
  std::unique_ptr<AcTransmitManage> link_;
  ScreenServices services_;
  std::unique_ptr<CApplicationDlg> window_;
};

}  // namespace brevant::testing
