#pragma once

// The anti-theft page over a temporary store, the in-memory segment and the
// simulator's devices: Apply really sends, the devices really answer.

#include <gtest/gtest.h>

#include <QTest>
#include <QWidget>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "device_plan.h"
#include "link/delivery.h"
#include "link/fake_adapters.h"
#include "link/memory_segment.h"
#include "link/result_log.h"
#include "link/transmit_manage.h"
#include "records/status_store.h"
#include "screens/anti_theft_dlg.h"
#include "screens/note_dlg.h"
#include "simulator.h"
#include "support/gui_test.h"
#include "support/temp_dir.h"

namespace brevant::testing {

// What the page asked of the main window, in order.
class FakePageHost : public PageHost {
 public:
  struct Call {
    enum Kind { Show, Started } kind;
    int page;
  };
  void ShowPage(int page) override {
    calls.push_back({Call::Show, page});
    if (onCall)
      onCall();
  }
  void DeliveryStarted(int page) override {
    calls.push_back({Call::Started, page});
    if (onCall)
      onCall();
  }
  std::vector<Call> calls;
  std::function<void()> onCall;
};

// A station of the segment with a thread reading its endpoint.
class StationLoop {
 public:
  StationLoop(const std::shared_ptr<MemorySegment>& segment, const std::string& station) {
    CaptureOptions options;
    options.filter = "ether proto 0x6262";
    options.inboundOnly = true;
    std::string error;
    endpoint_ = segment->Station(station)->Open(station, options, &error);
    EXPECT_TRUE(endpoint_) << error;
  }
  ~StationLoop() {
    stop_ = true;
    if (thread_.joinable())
      thread_.join();
  }
  CaptureEndpoint* Endpoint() const { return endpoint_.get(); }

  // Every frame that arrives goes to onFrame; onIdle runs between waits.
  void Start(std::function<void(const LinkFrame&, std::size_t)> onFrame,
             std::function<void()> onIdle = {}) {
    if (!endpoint_)
      return;
    thread_ = std::thread([this, onFrame = std::move(onFrame), onIdle = std::move(onIdle)] {
      LinkFrame frame;
      while (!stop_) {
        if (onIdle)
          onIdle();
        endpoint_->WaitReadable(std::chrono::steady_clock::now() + std::chrono::milliseconds(5));
        std::size_t length = 0;
        while (endpoint_->Read(frame, &length) == ReadStatus::Frame)
          onFrame(frame, length);
      }
    });
  }

 private:
  std::unique_ptr<CaptureEndpoint> endpoint_;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

// A device's row of the store, statuses included.
inline ap_info_stu StoreRow(CSqlManagement& store, const std::string& mac) {
  std::vector<ap_info_stu> rows;
  int count = 0, success = 0, fail = 0;
  store.QueryDevices(true, SORT_BY_MAC, "", rows, count, success, fail);
  for (const ap_info_stu& row : rows) {
    if (row.mac == mac)
      return row;
  }
  ADD_FAILURE() << mac << " is not in the store";
  return {};
}

class AntiTheftPageTest : public ::testing::Test {
 protected:
  static constexpr const char* kAdapter = "eth0";
  static constexpr MacAddress kAdapterMac = {0x02, 0x62, 0x62, 0x00, 0x00, 0xFE};

  AntiTheftPageTest() {
    for (const char* folder : {"IniTemplate", "Log"})
      std::filesystem::create_directories(dir_ / folder);
    dir_.Write("IniTemplate/Config.ini", "");
    std::filesystem::create_directory_symlink(BREVANT_SOURCE_DIR "/data/Skin", dir_ / "Skin");
    adapters_->entries = {Adapter(kAdapter, kAdapterMac)};
    adapters_->captureDevices = {kAdapter};
    adapters_->mtus = {{kAdapter, 1500}};
    link_ = std::make_unique<AcTransmitManage>(store_, adapters_, segment_->Station(kAdapter));
    link_->SetResultHandler(
        [this](const LinkFrame& frame) { HandleDeviceResult(frame, store_, log_); });
    services_.store = &store_;
    services_.link = link_.get();
    services_.adapters = adapters_;
    services_.directory = dir_.path();
    CNoteDlg::SetSkinFolder(PathText(dir_ / "Skin"));
    window_.setObjectName(QStringLiteral("mainWindow"));
    window_.resize(817, 540);
    page_ = new CAntiTheftProtectionDlg(&window_, services_, host_);
  }

  ~AntiTheftPageTest() override {
    // No job may outlive the link and the store it uses.
    StopDeliveryJobs();
    WaitForDeliveryJobs(std::chrono::steady_clock::now() + std::chrono::seconds(10));
    devices_.reset();
    tap_.reset();
    link_.reset();
  }

  // The window with the page shown and the focus in it, as the device list leaves it.
  void Open(const std::vector<std::string>& targets) {
    window_.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window_));
    page_->SetTargetList(targets);
    page_->show();
    page_->Entered();
  }

  // Devices from devsim plans ("mac=02:62:00:00:00:0A,lock=1234"), discovered
  // into the store as a scan does.
  void Devices(const std::vector<std::string>& plans, const std::string& defaultLock = "1234") {
    std::vector<devsim::DevicePlan> parsed;
    for (const auto& text : plans) {
      std::string error;
      auto plan = devsim::ParseDevicePlan(text, &error);
      ASSERT_TRUE(plan) << error;
      parsed.push_back(*plan);
    }
    const std::size_t count = parsed.size();
    devices_ = std::make_unique<StationLoop>(segment_, "dev0");
    ASSERT_NE(devices_->Endpoint(), nullptr);
    simulator_ = std::make_unique<devsim::Simulator>(
        std::move(parsed),
        [endpoint = devices_->Endpoint()](const LinkFrame& frame) { return endpoint->Send(frame); },
        dir_ / "received", defaultLock);
    // The simulator lives on the devices' thread only.
    devices_->Start(
        [this](const LinkFrame& frame, std::size_t length) {
          simulator_->OnFrame(frame, length, devsim::Simulator::Clock::now());
        },
        [this] { simulator_->SendDue(devsim::Simulator::Clock::now()); });
    tap_ = std::make_unique<StationLoop>(segment_, "tap");
    tap_->Start([this](const LinkFrame& frame, std::size_t) {
      if (frame.category() != JSON_CMD_DATA || frame.source() != kAdapterMac)
        return;
      std::lock_guard lock(tapMutex_);
      commands_.push_back(frame);
    });
    std::string message;
    ASSERT_TRUE(link_->ApplyAdapter(adapters_->entries[0], &message)) << message;
    ASSERT_TRUE(link_->Init());
    ASSERT_TRUE(link_->IsUp()) << link_->LastOpenError();
    link_->SendDiscover();
    ASSERT_TRUE(QTest::qWaitFor([&] { return link_->DeviceCount() >= count; }, 10000));
  }

  // The command frames the adapter sent, in wire order.
  std::vector<LinkFrame> Commands() {
    std::lock_guard lock(tapMutex_);
    return commands_;
  }
  // The devices the commands went to, in the order each first went out (a
  // command sent again after a second of silence counts once), and their texts.
  std::vector<std::pair<std::string, std::string>> CommandsByDevice() {
    std::vector<std::pair<std::string, std::string>> out;
    for (const LinkFrame& frame : Commands()) {
      const std::string mac = DeviceMacText(frame.destination());
      if (std::none_of(out.begin(), out.end(), [&](const auto& seen) { return seen.first == mac; }))
        out.emplace_back(mac, Payload(frame));
    }
    return out;
  }
  static std::string Payload(const LinkFrame& frame) {
    const auto payload = frame.payload();
    return std::string(payload.begin(), payload.end());
  }
  std::string Received(const std::string& mac) const {
    std::string hex;
    for (char c : mac) {
      if (c != ':')
        hex += c;
    }
    return ReadBytes(dir_ / "received" / hex / "JSON_CMD_DATA");
  }

  ap_info_stu Row(const std::string& mac) { return StoreRow(store_, mac); }
  // Waits until the device's anti-theft status is the code; the last one seen.
  std::int32_t WaitForAntiTheft(const std::string& mac, std::int32_t code) {
    (void)QTest::qWaitFor([&] { return Row(mac).antiTheftStatus == code; }, 10000);
    return Row(mac).antiTheftStatus;
  }

  void Type(QWidget* edit, const QString& text) {
    edit->setFocus(Qt::MouseFocusReason);
    QTest::keyClicks(edit, text);
  }
  void Click(QAbstractButton* button) { QTest::mouseClick(button, Qt::LeftButton); }

  TempDir dir_;
  CSqlManagement store_{dir_ / "data.db"};
  ResultLog log_{dir_.path()};
  std::shared_ptr<MemorySegment> segment_ = MemorySegment::Create();
  std::shared_ptr<FakeAdapterSource> adapters_ = std::make_shared<FakeAdapterSource>();
  std::unique_ptr<AcTransmitManage> link_;
  std::unique_ptr<devsim::Simulator> simulator_;
  std::unique_ptr<StationLoop> devices_;
  std::mutex tapMutex_;
  std::vector<LinkFrame> commands_;
  std::unique_ptr<StationLoop> tap_;
  ScreenServices services_;
  FakePageHost host_;
  QWidget window_;
  CAntiTheftProtectionDlg* page_ = nullptr;
};

}  // namespace brevant::testing
