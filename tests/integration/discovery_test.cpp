// Discovery over a veth pair against brevant-devsim, with the real link
// manager, libpcap and store.

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <memory>
#include <thread>

#include "link/pcap_capture.h"
#include "link/scan_procedure.h"
#include "link/transmit_manage.h"
#include "records/status_store.h"
#include "support/sanitizers.h"
#include "support/temp_dir.h"
#include "testbed_fixture.h"

namespace brevant {
namespace {

using std::chrono::milliseconds;
using Clock = std::chrono::steady_clock;

// The scan's tick, shortened so a scan takes a second: the rule counts ticks,
// and simulated devices answer within milliseconds.
constexpr auto kTick = milliseconds(250);
constexpr auto kGenerous = milliseconds(10000);

class DiscoveryTest : public testing::TestBedTest {
 protected:
  void SetUp() override {
    TestBedTest::SetUp();
    if (IsSkipped() || HasFatalFailure())
      return;
    store_ = std::make_unique<CSqlManagement>(temp_ / "data.db");
    link_ = std::make_unique<AcTransmitManage>(*store_, std::make_shared<SysfsAdapterSource>(),
                                               std::make_shared<PcapCaptureFactory>());
    AdapterRecord record;
    record.kind = 1;
    record.name = bed_.ToolInterface();
    record.mac = testing::TestBed::kToolMac;
    std::string message;
    ASSERT_TRUE(link_->ApplyAdapter(record, &message)) << message;
    ASSERT_TRUE(link_->Init());
    ASSERT_TRUE(link_->IsUp()) << link_->LastOpenError();
    scan_ = std::make_unique<ScanProcedure>(ScanActionsFor(*link_, *store_));
  }

  void TearDown() override {
    scan_.reset();
    link_.reset();
    TestBedTest::TearDown();
  }

  // Runs a scan with real waits between ticks; the tick on which it ended.
  int RunScan() {
    scan_->Start();
    auto next = Clock::now();
    for (int tick = 1; tick <= 200; ++tick) {
      next += kTick;
      std::this_thread::sleep_until(next);
      if (scan_->Tick())
        return tick;
    }
    return -1;
  }

  // A scan whose first tick comes once `answers` rows are in, as if they had
  // all come within its first second however slow the machine is; the other
  // ticks follow at once. The tick on which it ended.
  int ScanOnceAnswered(std::size_t answers) {
    scan_->Start();
    if (!RowsBecome(answers, kGenerous)) {
      ADD_FAILURE() << Rows().size() << " rows, not " << answers;
      return -1;
    }
    for (int tick = 1; tick <= 40; ++tick) {
      if (scan_->Tick())
        return tick;
    }
    return -1;
  }

  std::vector<ap_info_stu> Rows() {
    std::vector<ap_info_stu> rows;
    int count = 0, success = 0, fail = 0;
    store_->QueryDevices(true, SORT_BY_MAC, "", rows, count, success, fail);
    return rows;
  }

  bool RowsBecome(std::size_t count, milliseconds limit) {
    const auto deadline = Clock::now() + limit;
    while (Rows().size() != count) {
      if (Clock::now() >= deadline)
        return false;
      std::this_thread::sleep_for(milliseconds(10));
    }
    return true;
  }

  brevant::testing::TempDir temp_;
  std::unique_ptr<CSqlManagement> store_;
  std::unique_ptr<AcTransmitManage> link_;
  std::unique_ptr<ScanProcedure> scan_;
};

TEST_F(DiscoveryTest, ThreeDevicesAnsweringAtOnceEndTheScanOnTickFour) {
  StartDevsim({"--count", "3"});
  EXPECT_EQ(ScanOnceAnswered(3), 4);
  const auto rows = Rows();
  ASSERT_EQ(rows.size(), 3u);
  for (int i = 0; i < 3; ++i) {
    const std::string n = std::to_string(i + 1);
    EXPECT_EQ(rows[i].mac, "02:62:00:00:00:0" + n);
    EXPECT_EQ(rows[i].ssid2, "Brevant-" + n + "-2G");
    EXPECT_EQ(rows[i].ssid5, "Brevant-" + n + "-5G");
    EXPECT_EQ(rows[i].key2, "key2-02620000000" + n);
    EXPECT_EQ(rows[i].paraStatus, WAIT_OPERATE);
  }
}

TEST_F(DiscoveryTest, NoAnswerEndsTheScanOnTickFourWithAnEmptyList) {
  StartDevsim({"--count", "0"});
  EXPECT_EQ(ScanOnceAnswered(0), 4);
  EXPECT_TRUE(Rows().empty());
  EXPECT_EQ(link_->DeviceCount(), 0u);
}

TEST_F(DiscoveryTest, ADeviceAnsweringTwiceIsRecordedOnceWithItsFirstNames) {
  // The repeated answers go out back to back before the other devices'
  // answers, so by the time those are in, the repeats have been handled.
  StartDevsim({"--device",
               "mac=02:62:00:00:01:01,ssid2=first,ssid5=first5,repeat=3,repeat-gap=0,"
               "again-ssid2=second,again-ssid5=second5",
               "--device", "mac=02:62:00:00:01:02,ssid2=wide,key5=k,fill=full", "--device",
               "mac=02:62:00:00:01:03,ssid2=narrow,fill=nul"});
  EXPECT_EQ(ScanOnceAnswered(3), 4);
  const auto rows = Rows();
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[0].ssid2, "first");
  EXPECT_EQ(rows[0].ssid5, "first5");
  // Texts filling their whole field are read to the field's end, not beyond.
  EXPECT_EQ(rows[1].ssid2, "wide" + std::string(30, '#'));
  EXPECT_EQ(rows[1].ssid5, std::string(34, '#'));
  EXPECT_EQ(rows[1].key2, std::string(66, '#'));
  EXPECT_EQ(rows[1].key5, "k" + std::string(65, '#'));
  EXPECT_EQ(rows[2].ssid2, "narrow" + std::string(27, '#'));
  EXPECT_EQ(rows[2].key5, std::string(65, '#'));
}

TEST_F(DiscoveryTest, AnAnswerAfterTheScanStillAddsItsDevice) {
  // The late device lets the scan's request pass and answers the next one,
  // which comes only once the scan is over.
  StartDevsim({"--count", "1", "--device", "mac=02:62:00:00:02:01,skip=1"});
  EXPECT_EQ(ScanOnceAnswered(1), 4);
  EXPECT_FALSE(scan_->Running());
  EXPECT_EQ(Rows().size(), 1u);
  link_->SendDiscover();
  ASSERT_TRUE(RowsBecome(2, kGenerous));
  EXPECT_EQ(Rows()[1].mac, "02:62:00:00:02:01");
  EXPECT_EQ(link_->DeviceCount(), 2u);
}

TEST_F(DiscoveryTest, ADiscoveryFrameWithAnotherOpcodeIsIgnored) {
  // The faulty device answers first, so by the time the sound one is in,
  // its frame has been handled.
  StartDevsim({"--device", "mac=02:62:00:00:03:01,opcode=5", "--device",
               "mac=02:62:00:00:03:02,opcode=1", "--device", "mac=02:62:00:00:03:03"});
  EXPECT_EQ(ScanOnceAnswered(1), 4);
  const auto rows = Rows();
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0].mac, "02:62:00:00:03:03");
}

TEST_F(DiscoveryTest, InitWhileThreadsRunLeavesOneReceiveAndOneManageThread) {
  StartDevsim({"--count", "5", "--spread-ms", "100"});
  for (int i = 0; i < 4; ++i) {
    link_->SendDiscover();  // answers arrive while the threads are replaced
    std::this_thread::sleep_for(milliseconds(20 * i));
    ASSERT_TRUE(link_->Init());
  }
  // Replaced threads are joined; each leaves /proc a moment after its join.
  const auto deadline = Clock::now() + kGenerous;
  while (Clock::now() < deadline &&
         (testing::ThreadsNamed(AcTransmitManage::kReceiveThreadName) != 1 ||
          testing::ThreadsNamed(AcTransmitManage::kManageThreadName) != 1)) {
    std::this_thread::sleep_for(milliseconds(5));
  }
  EXPECT_EQ(testing::ThreadsNamed(AcTransmitManage::kReceiveThreadName), 1);
  EXPECT_EQ(testing::ThreadsNamed(AcTransmitManage::kManageThreadName), 1);
  EXPECT_EQ(ScanOnceAnswered(5), 4);
  EXPECT_EQ(Rows().size(), 5u);
}

long ResidentKb() {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);) {
    if (line.rfind("VmRSS:", 0) == 0)
      return std::stol(line.substr(6));
  }
  return 0;
}

TEST_F(DiscoveryTest, AFloodOfFiveThousandDevicesIsHeldWholeAndTheScanEnds) {
  StartDevsim({"--count", "5000", "--fill", "full"});
  const long before = ResidentKb();
  const int endedOn = RunScan();
  EXPECT_GT(endedOn, 0) << "the scan never ended";
  ASSERT_TRUE(RowsBecome(5000, milliseconds(10000))) << Rows().size();
  EXPECT_EQ(link_->DeviceCount(), 5000u);
  const auto rows = Rows();
  EXPECT_EQ(rows.front().mac, "02:62:00:00:00:01");
  EXPECT_EQ(rows.back().mac, "02:62:00:00:13:88");
  EXPECT_EQ(rows.back().key5.size(), 66u);
  // What they hold is about 2 MB of texts; the process must not grow far past it.
  if (!kUnderSanitizer) {
    EXPECT_LT(ResidentKb() - before, 48 * 1024) << "kB";
  }
}

}  // namespace
}  // namespace brevant
