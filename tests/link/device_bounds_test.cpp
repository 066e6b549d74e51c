// What the link manager and the store hold at most, and what they say when a
// flood goes past it.

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <mutex>
#include <thread>

#include "fake_adapters.h"
#include "link/memory_segment.h"
#include "link/transmit_manage.h"
#include "records/diag_log.h"
#include "support/temp_dir.h"

namespace brevant {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

const MacAddress kAdapter = {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E};

MacAddress Device(unsigned n) {
  return {0x02, 0x62, 0x00, 0x00, static_cast<std::uint8_t>(n >> 8), static_cast<std::uint8_t>(n)};
}

template <class Predicate>
bool Eventually(Predicate predicate, std::chrono::milliseconds limit = 10s) {
  const auto deadline = Clock::now() + limit;
  while (!predicate()) {
    if (Clock::now() >= deadline)
      return false;
    std::this_thread::sleep_for(1ms);
  }
  return true;
}

// Diagnostic lines, collected from any thread.
class Lines {
 public:
  Lines() {
    SetDiagnosticSink([this](const std::string& line) {
      std::lock_guard lock(mutex_);
      lines_.push_back(line);
    });
  }
  ~Lines() { SetDiagnosticSink({}); }
  std::vector<std::string> Containing(const std::string& text) const {
    std::lock_guard lock(mutex_);
    std::vector<std::string> found;
    for (const auto& line : lines_) {
      if (line.find(text) != std::string::npos)
        found.push_back(line);
    }
    return found;
  }

 private:
  mutable std::mutex mutex_;
  std::vector<std::string> lines_;
};

class DeviceBoundsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    adapters_->captureDevices = {"eth0"};
    link_ = std::make_unique<AcTransmitManage>(store_, adapters_, segment_->Station("eth0"));
    ASSERT_TRUE(link_->ApplyAdapter(testing::Adapter("eth0", kAdapter)));
    ASSERT_TRUE(link_->Init());
  }
  void TearDown() override { link_.reset(); }

  std::size_t Rows() {
    std::vector<ap_info_stu> rows;
    int count = 0, ok = 0, failed = 0;
    store_.QueryDevices(true, SORT_BY_MAC, "", rows, count, ok, failed);
    return rows.size();
  }

  std::shared_ptr<MemorySegment> segment_ = MemorySegment::Create();
  testing::TempDir temp_;
  CSqlManagement store_{temp_ / "data.db"};
  std::shared_ptr<testing::FakeAdapterSource> adapters_ =
      std::make_shared<testing::FakeAdapterSource>();
  std::unique_ptr<AcTransmitManage> link_;
};

TEST_F(DeviceBoundsTest, TheDeviceTableStopsAtItsBoundWithOneLine) {
  EXPECT_GE(kMaxDevices, 5000u);  // a scan of five thousand devices is held whole
  Lines lines;
  link_->SetDeviceLimitForTesting(5);
  // A result after the answers marks the moment all of them were processed.
  std::promise<void> processed;
  link_->SetResultHandler([&](const LinkFrame&) { processed.set_value(); });
  for (unsigned n = 1; n <= 8; ++n)
    link_->DispatchForTesting(MakeDiscoveryResponse(kAdapter, Device(n), {"s", "", "", ""}));
  link_->DispatchForTesting(MakeResult(kAdapter, Device(1), PARA_DATA, OP_PARA_OK));
  ASSERT_EQ(processed.get_future().wait_for(10s), std::future_status::ready);
  EXPECT_EQ(link_->DeviceCount(), 5u);
  EXPECT_EQ(Rows(), 5u);
  const auto full = lines.Containing("the device table is full (5 devices)");
  ASSERT_EQ(full.size(), 1u);
  EXPECT_NE(full[0].find(DeviceMacText(Device(6))), std::string::npos) << full[0];

  // A new scan starts with room again.
  link_->ClearDevices();
  link_->DispatchForTesting(MakeDiscoveryResponse(kAdapter, Device(9), {"s", "", "", ""}));
  ASSERT_TRUE(Eventually([&] { return link_->DeviceCount() == 1; }));
}

TEST_F(DeviceBoundsTest, TheStoreStopsAtItsBoundAndStillRefreshesKnownDevices) {
  Lines lines;
  store_.SetDeviceLimitForTesting(3);
  for (unsigned n = 1; n <= 5; ++n) {
    EXPECT_EQ(store_.InsertOrUpdateDevice({DeviceMacText(Device(n)), "t", "", "", "", ""}), n <= 3)
        << n;
  }
  EXPECT_TRUE(store_.InsertOrUpdateDevice({DeviceMacText(Device(2)), "again", "", "", "", ""}));
  EXPECT_EQ(Rows(), 3u);
  const auto full = lines.Containing("the device list is full (3 devices)");
  ASSERT_EQ(full.size(), 1u);
  EXPECT_NE(full[0].find(DeviceMacText(Device(4))), std::string::npos) << full[0];

  ASSERT_TRUE(store_.DeleteAllDevices());
  EXPECT_TRUE(store_.InsertOrUpdateDevice({DeviceMacText(Device(4)), "t", "", "", "", ""}));
}

TEST_F(DeviceBoundsTest, EveryResultLostToAFullQueueIsNamed) {
  Lines lines;
  // The manage thread hangs in the first result until the queue is full.
  std::promise<void> entered;
  std::promise<void> release;
  std::shared_future<void> released = release.get_future().share();
  std::atomic<int> handled{0};
  link_->SetResultHandler([&](const LinkFrame&) {
    if (handled++ == 0) {
      entered.set_value();
      released.wait();
    }
  });
  link_->DispatchForTesting(MakeResult(kAdapter, Device(1), PARA_DATA, OP_PARA_OK));
  ASSERT_EQ(entered.get_future().wait_for(10s), std::future_status::ready);
  for (std::size_t i = 0; i < AcTransmitManage::kResponseQueueMax; ++i)
    link_->DispatchForTesting(MakeResult(kAdapter, Device(2), PARA_DATA, OP_PARA_OK));
  EXPECT_TRUE(lines.Containing(" lost").empty());

  link_->DispatchForTesting(MakeResult(kAdapter, Device(3), LOG_DATA, OP_LOGO_FAIL));
  link_->DispatchForTesting(MakeResult(kAdapter, Device(4), JSON_CMD_DATA, OP_CMD_OK));
  for (unsigned n = 5; n <= 7; ++n)
    link_->DispatchForTesting(MakeDiscoveryResponse(kAdapter, Device(n), {"s", "", "", ""}));
  release.set_value();

  const auto lost = lines.Containing(" lost");
  ASSERT_EQ(lost.size(), 3u);
  EXPECT_NE(lost[0].find("LOG_DATA failure of " + DeviceMacText(Device(3)) + " lost"),
            std::string::npos)
      << lost[0];
  EXPECT_NE(lost[1].find("JSON_CMD_DATA success of " + DeviceMacText(Device(4)) + " lost"),
            std::string::npos)
      << lost[1];
  // Answers a device gives again at the next broadcast: one line for the lot.
  EXPECT_NE(lost[2].find("discovery responses lost from " + DeviceMacText(Device(5))),
            std::string::npos)
      << lost[2];
  ASSERT_TRUE(Eventually(
      [&] { return handled.load() == static_cast<int>(AcTransmitManage::kResponseQueueMax) + 1; }));
}

}  // namespace
}  // namespace brevant
