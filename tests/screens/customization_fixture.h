#pragma once

// The customization page over a scratch folder laid out as the bundle is, a
// temporary store, the in-memory segment and the simulator's devices on its
// far side, with a host that records what the page asks of the window.

#include <gtest/gtest.h>

#include <QTest>
#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "link/delivery.h"
#include "link/fake_adapters.h"
#include "link/memory_segment.h"
#include "link/result_log.h"
#include "link/transmit_manage.h"
#include "records/status_store.h"
#include "screens/device_customization_dlg.h"
#include "screens/note_dlg.h"
#include "support/gui_test.h"
#include "support/simulated_devices.h"
#include "support/temp_dir.h"

namespace brevant::testing {

class RecordingHost : public PageHost {
 public:
  void ShowPage(int page) override { calls.push_back("show " + std::to_string(page)); }
  void DeliveryStarted(int page) override { calls.push_back("started " + std::to_string(page)); }
  std::vector<std::string> calls;
};

class CustomizationPageTest : public ::testing::Test {
 protected:
  static constexpr const char* kA = "C8:3A:35:00:00:0A";
  static constexpr const char* kB = "C8:3A:35:00:00:0B";
  static constexpr const char* kC = "C8:3A:35:00:00:0C";
  static constexpr MacAddress kAdapterMac = {0x02, 0x62, 0x62, 0x00, 0x00, 0xFE};

  void SetUp() override {
    std::filesystem::create_directory_symlink(BREVANT_SOURCE_DIR "/data/Skin", dir_ / "Skin");
    for (const char* folder : {"ModifyExcel", "ModifyXml", "ModifyJson", "ModifyPicture", "Log"})
      std::filesystem::create_directories(dir_ / folder);
    CNoteDlg::SetSkinFolder(QString::fromStdString((dir_ / "Skin").string()));
    store_ = std::make_unique<CSqlManagement>(dir_ / "data.db");
    for (const char* mac : {kA, kB, kC})
      ASSERT_TRUE(store_->InsertOrUpdateDevice({mac, "2025-03-05 10:00:00", "", "", "", ""}));
    adapters_->entries = {Adapter("eth0", kAdapterMac)};
    adapters_->captureDevices = {"eth0"};
    adapters_->mtus = {{"eth0", 1500}};
    link_ = std::make_unique<AcTransmitManage>(*store_, adapters_, segment_->Station("eth0"));
    link_->SetResultHandler(
        [this](const LinkFrame& frame) { HandleDeviceResult(frame, *store_, log_); });
    ASSERT_TRUE(link_->ApplyAdapter(adapters_->entries[0]));
    ASSERT_TRUE(link_->Init());
    // What the devices receive goes to Received()/<MAC without colons>/PARA_DATA or LOG_DATA.
    devices_ = std::make_unique<SimulatedDevices>(
        segment_,
        SimulatedDevices::Plans(
            {std::string("mac=") + kA, std::string("mac=") + kB, std::string("mac=") + kC}),
        Received());

    window_.resize(817, 540);
    window_.move(40, 40);
    ASSERT_TRUE(ShowAndWait(&window_));
    MakePage();
  }

  // A new page, shown: it is retitled in the language in force now.
  void MakePage() {
    page_.reset();
    ScreenServices services;
    services.store = store_.get();
    services.link = link_.get();
    services.adapters = adapters_;
    services.directory = dir_.path();
    page_ = std::make_unique<CDeviceCustomizationDlg>(&window_, services, host_);
    DeliveryTiming timing;
    timing.resendAfter = std::chrono::milliseconds(200);
    page_->SetDeliveryTiming(timing);
    page_->SetTargetList({kA, kB});
    page_->show();
  }

  void TearDown() override {
    // No job may outlive the link and the store it uses.
    StopDeliveryJobs();
    WaitForDeliveryJobs(std::chrono::steady_clock::now() + std::chrono::seconds(10));
    page_.reset();
    devices_.reset();
    link_.reset();
    CNoteDlg::SetSkinFolder(QString());
  }

  // The next file dialog picks this file.
  void Pick(const std::filesystem::path& file) {
    page_->SetFileChooser([this, file](const QString& filter) {
      filters_.push_back(filter);
      return QString::fromStdString(file.string());
    });
  }

  std::filesystem::path Received() const { return dir_ / "received"; }
  std::string ReceivedFile(const std::string& mac, const char* kind) const {
    return ReadBytes(Received() / DeviceFileStem(mac) / kind);
  }
  bool WaitForReceived(const std::string& mac, const char* kind) const {
    const auto file = Received() / DeviceFileStem(mac) / kind;
    return QTest::qWaitFor([&] { return std::filesystem::exists(file); }, 15000) &&
           WaitForDeliveryJobs(std::chrono::steady_clock::now() + std::chrono::seconds(15));
  }
  ap_info_stu Device(const std::string& mac) const {
    std::vector<ap_info_stu> rows;
    int count = 0, ok = 0, failed = 0;
    EXPECT_TRUE(store_->QueryDevices(true, SORT_BY_MAC, mac, rows, count, ok, failed));
    return rows.empty() ? ap_info_stu{} : rows[0];
  }

  TempDir dir_;
  std::unique_ptr<CSqlManagement> store_;
  std::shared_ptr<MemorySegment> segment_ = MemorySegment::Create();
  std::shared_ptr<FakeAdapterSource> adapters_ = std::make_shared<FakeAdapterSource>();
  ResultLog log_{dir_.path()};
  std::unique_ptr<AcTransmitManage> link_;
  std::unique_ptr<SimulatedDevices> devices_;
  QWidget window_;
  RecordingHost host_;
  std::unique_ptr<CDeviceCustomizationDlg> page_;
  std::vector<QString> filters_;  // of the file dialogs opened
  NoteAnswerer notes_;
};

}  // namespace brevant::testing
