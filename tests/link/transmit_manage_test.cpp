#include "link/transmit_manage.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <regex>
#include <thread>

#include "fake_adapters.h"
#include "link/memory_segment.h"
#include "records/diag_log.h"
#include "support/temp_dir.h"

namespace brevant {
namespace {

using std::chrono::milliseconds;
using Clock = std::chrono::steady_clock;
using testing::TempDir;

const MacAddress kAdapter = {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E};
const MacAddress kDevice1 = {0xC8, 0x3A, 0x35, 0x00, 0x00, 0x01};
const MacAddress kDevice2 = {0xC8, 0x3A, 0x35, 0x00, 0x00, 0x02};
const MacAddress kDevice3 = {0xC8, 0x3A, 0x35, 0x00, 0x00, 0x03};

template <class Predicate>
bool Eventually(Predicate predicate, milliseconds limit = milliseconds(5000)) {
  const auto deadline = Clock::now() + limit;
  while (!predicate()) {
    if (Clock::now() >= deadline)
      return false;
    std::this_thread::sleep_for(milliseconds(1));
  }
  return true;
}

int ThreadsNamed(const std::string& name) {
  int count = 0;
  for (const auto& task : std::filesystem::directory_iterator("/proc/self/task")) {
    std::ifstream comm(task.path() / "comm");
    std::string text;
    std::getline(comm, text);
    count += text == name ? 1 : 0;
  }
  return count;
}

// The tool on station eth0 of an in-memory segment; devices answer from
// station dev0 through one handle that sees every frame of the protocol.
class LinkManagerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    adapters_->captureDevices = {"eth00", "eth0"};
    link_ = std::make_unique<AcTransmitManage>(store_, adapters_, segment_->Station("eth0"));
    ASSERT_TRUE(link_->ApplyAdapter(testing::Adapter("eth0", kAdapter)));
    CaptureOptions options;
    options.filter = "ether proto 0x6262";
    std::string error;
    devices_ = segment_->Station("dev0")->Open("dev0", options, &error);
    ASSERT_TRUE(devices_) << error;
  }
  void TearDown() override { SetDiagnosticSink({}); }

  std::optional<LinkFrame> NextAtDevices(milliseconds wait = milliseconds(5000)) {
    const auto deadline = Clock::now() + wait;
    LinkFrame frame;
    while (devices_->Read(frame) != ReadStatus::Frame) {
      if (!devices_->WaitReadable(deadline))
        return std::nullopt;
    }
    return frame;
  }

  void Answer(const MacAddress& device, const DiscoveryTexts& texts) {
    devices_->Send(MakeDiscoveryResponse(kAdapter, device, texts));
  }

  std::vector<ap_info_stu> Rows() {
    std::vector<ap_info_stu> rows;
    int count = 0, success = 0, fail = 0;
    store_.QueryDevices(true, SORT_BY_MAC, "", rows, count, success, fail);
    return rows;
  }

  std::shared_ptr<MemorySegment> segment_ = MemorySegment::Create();
  TempDir temp_;
  CSqlManagement store_{temp_ / "data.db"};
  std::shared_ptr<testing::FakeAdapterSource> adapters_ =
      std::make_shared<testing::FakeAdapterSource>();
  std::unique_ptr<AcTransmitManage> link_;
  std::unique_ptr<CaptureEndpoint> devices_;
};

TEST_F(LinkManagerTest, ADiscoveryRecordsEveryAnsweringDeviceInTableAndStore) {
  EXPECT_FALSE(link_->IsUp());
  ASSERT_TRUE(link_->Init());
  EXPECT_TRUE(link_->IsUp());
  link_->SendDiscover();
  const auto request = NextAtDevices();
  ASSERT_TRUE(request);
  EXPECT_EQ(*request, MakeDiscoveryRequest(kAdapter));

  const std::string fullName(34, 'N');  // no NUL within its width
  Answer(kDevice2, {"two-2G", "two-5G", "key two", "key two 5"});
  Answer(kDevice1, {fullName, "", std::string(66, 'k'), "k5"});
  Answer(kDevice3, {"three", "three5", "", ""});
  ASSERT_TRUE(Eventually([&] { return Rows().size() == 3; }));

  const auto table = link_->Devices();
  ASSERT_EQ(table.size(), 3u);
  EXPECT_EQ(table[0].mac, "C8:3A:35:00:00:02");  // in order of first response
  EXPECT_EQ(table[1].mac, "C8:3A:35:00:00:01");
  EXPECT_EQ(table[2].mac, "C8:3A:35:00:00:03");
  EXPECT_EQ(table[1].ssid2, fullName);
  EXPECT_EQ(table[1].ssid5, "");
  EXPECT_EQ(table[1].key2, std::string(66, 'k'));
  EXPECT_EQ(table[1].key5, "k5");
  EXPECT_TRUE(std::regex_match(table[0].time, std::regex(R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d)")))
      << table[0].time;

  const auto rows = Rows();
  EXPECT_EQ(rows[0].mac, "C8:3A:35:00:00:01");
  EXPECT_EQ(rows[0].ssid2, fullName);
  EXPECT_EQ(rows[1].ssid2, "two-2G");
  EXPECT_EQ(rows[1].key5, "key two 5");
  for (const auto& row : rows) {
    EXPECT_EQ(row.paraStatus, WAIT_OPERATE);
    EXPECT_EQ(row.logoStatus, WAIT_OPERATE);
    EXPECT_EQ(row.antiTheftStatus, WAIT_OPERATE);
  }
}

TEST_F(LinkManagerTest, ADeviceIsRecordedOncePerScanWithItsFirstAnswer) {
  ASSERT_TRUE(link_->Init());
  Answer(kDevice1, {"first", "first5", "k", "k5"});
  Answer(kDevice1, {"second", "second5", "k", "k5"});
  Answer(kDevice2, {"marker", "", "", ""});
  ASSERT_TRUE(Eventually([&] { return link_->DeviceCount() == 2; }));
  const auto rows = Rows();
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0].ssid2, "first");
  EXPECT_EQ(rows[0].ssid5, "first5");

  // A new scan records it afresh.
  link_->ClearDevices();
  EXPECT_EQ(link_->DeviceCount(), 0u);
  EXPECT_EQ(Rows().size(), 2u) << "the store is emptied by the scan, not here";
  Answer(kDevice1, {"third", "", "", ""});
  ASSERT_TRUE(Eventually([&] { return link_->DeviceCount() == 1; }));
  EXPECT_EQ(link_->Devices()[0].ssid2, "third");
}

TEST_F(LinkManagerTest, OnlyDiscoveryResponsesFromDevicesAreRecorded) {
  std::vector<LinkFrame> results;
  std::mutex resultsMutex;
  link_->SetResultHandler([&](const LinkFrame& frame) {
    std::lock_guard lock(resultsMutex);
    results.push_back(frame);
  });
  ASSERT_TRUE(link_->Init());

  LinkFrame otherOpcode = MakeDiscoveryResponse(kAdapter, kDevice1, {"x", "", "", ""});
  otherOpcode.setOpcode(OP_PARA_OK);
  LinkFrame request = MakeDiscoveryRequest(kDevice1);
  request.setDestination(kAdapter);
  devices_->Send(otherOpcode);
  devices_->Send(request);
  devices_->Send(MakeAcknowledgement(kAdapter, kDevice1, PARA_DATA, 1));
  devices_->Send(MakeDiscoveryResponse(kAdapter, kBroadcastMac, {"group", "", "", ""}));
  devices_->Send(MakeDiscoveryResponse(kAdapter, {0x01, 0, 0x5E, 0, 0, 1}, {"mc", "", "", ""}));
  devices_->Send(MakeDiscoveryResponse(kAdapter, MacAddress{}, {"zero", "", "", ""}));
  Answer(kDevice2, {"marker", "", "", ""});
  ASSERT_TRUE(Eventually([&] { return link_->DeviceCount() == 1; }));
  // Frames are handled in order, so everything before the marker was seen.
  EXPECT_EQ(link_->Devices()[0].mac, "C8:3A:35:00:00:02");
  ASSERT_EQ(Rows().size(), 1u);
  std::lock_guard lock(resultsMutex);
  EXPECT_TRUE(results.empty());
}

TEST_F(LinkManagerTest, ResultFramesGoToTheResultHandlerAndNothingElseDoes) {
  std::vector<std::pair<std::uint16_t, std::uint16_t>> handled;
  std::mutex handledMutex;
  link_->SetResultHandler([&](const LinkFrame& frame) {
    std::lock_guard lock(handledMutex);
    handled.emplace_back(frame.category(), frame.opcode());
    EXPECT_EQ(frame.source(), kDevice1);
  });
  ASSERT_TRUE(link_->Init());
  const std::pair<std::uint16_t, std::uint16_t> frames[] = {
      {1, 5}, {1, 6}, {2, 7}, {2, 8}, {3, 9}, {3, 10},  // results
      {1, 4}, {2, 4}, {3, 4},                           // acknowledgements
      {1, 7}, {2, 5}, {3, 6}, {0, 6}, {4, 6}, {1, 11},  // opcodes of other categories
  };
  for (const auto& [category, opcode] : frames)
    devices_->Send(MakeResult(kAdapter, kDevice1, category, opcode));
  devices_->Send(MakeResult(kAdapter, kDevice1, 3, 10));  // marker
  ASSERT_TRUE(Eventually([&] {
    std::lock_guard lock(handledMutex);
    return handled.size() >= 7;
  }));
  std::lock_guard lock(handledMutex);
  EXPECT_EQ(handled, (std::vector<std::pair<std::uint16_t, std::uint16_t>>{
                         {1, 5}, {1, 6}, {2, 7}, {2, 8}, {3, 9}, {3, 10}, {3, 10}}));
}

TEST_F(LinkManagerTest, EveryFrameOfADeviceReachesItsAttachedMailboxes) {
  ASSERT_TRUE(link_->Init());
  auto first = std::make_shared<FrameMailbox>();
  auto second = std::make_shared<FrameMailbox>();
  auto other = std::make_shared<FrameMailbox>();
  link_->Attach(kDevice1, first);
  link_->Attach(kDevice1, second);
  link_->Attach(kDevice2, other);

  const LinkFrame sent[] = {
      MakeAcknowledgement(kAdapter, kDevice1, PARA_DATA, 7),
      MakeDiscoveryResponse(kAdapter, kDevice1, {"n", "", "", ""}),
      MakeResult(kAdapter, kDevice1, LOG_DATA, OP_LOGO_OK),
  };
  for (const auto& frame : sent)
    devices_->Send(frame);
  // Not addressed to the adapter: the receive handle never sees it.
  devices_->Send(MakeAcknowledgement(kDevice3, kDevice1, PARA_DATA, 8));
  for (const auto& box : {first, second}) {
    for (const auto& expected : sent) {
      const auto got = box->WaitUntil(Clock::now() + milliseconds(5000));
      ASSERT_TRUE(got);
      EXPECT_EQ(*got, expected);
    }
  }
  EXPECT_FALSE(first->WaitUntil(Clock::now() + milliseconds(20)));
  EXPECT_FALSE(other->WaitUntil(Clock::now()));

  link_->Detach(kDevice1, first);
  devices_->Send(MakeAcknowledgement(kAdapter, kDevice1, PARA_DATA, 9));
  const auto got = second->WaitUntil(Clock::now() + milliseconds(5000));
  ASSERT_TRUE(got);
  EXPECT_EQ(got->sequence(), 9);
  EXPECT_FALSE(first->WaitUntil(Clock::now() + milliseconds(20)));
  link_->Detach(kDevice1, second);
  link_->Detach(kDevice1, second);  // twice is harmless
}

TEST_F(LinkManagerTest, SendUsesOneSharedHandleOnTheChosenAdapter) {
  const LinkFrame chunk =
      MakeDataChunk(MakeTransferTemplate(kDevice1, kAdapter, PARA_DATA, OP_PARA_CHUNK, 1), 1,
                    CHUNK_LAST, std::vector<std::uint8_t>{1, 2, 3});
  std::vector<std::thread> senders;
  for (int i = 0; i < 4; ++i)
    senders.emplace_back([&] { EXPECT_TRUE(link_->Send(chunk)); });
  for (auto& sender : senders)
    sender.join();
  for (int i = 0; i < 4; ++i) {
    const auto got = NextAtDevices();
    ASSERT_TRUE(got);
    EXPECT_EQ(*got, chunk);
  }
  EXPECT_EQ(segment_->OpenEndpoints("eth0"), 1u);
  EXPECT_EQ(link_->AdapterMac(), kAdapter);
}

TEST_F(LinkManagerTest, AHandleThatCannotOpenLeavesTheLinkDownWithTheReason) {
  std::vector<std::string> lines;
  std::mutex linesMutex;
  SetDiagnosticSink([&](const std::string& line) {
    std::lock_guard lock(linesMutex);
    lines.push_back(line);
  });
  segment_->SetOpenFailure("eth0", "eth0: capturing needs CAP_NET_RAW");
  EXPECT_TRUE(link_->Init());  // the threads were created; listening failed
  EXPECT_FALSE(link_->IsUp());
  EXPECT_EQ(link_->LastOpenError(), "eth0: capturing needs CAP_NET_RAW");
  EXPECT_FALSE(link_->Send(MakeDiscoveryRequest(kAdapter)));
  link_->SendDiscover();
  EXPECT_FALSE(NextAtDevices(milliseconds(20)));
  {
    std::lock_guard lock(linesMutex);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_THAT(lines[0], ::testing::HasSubstr("[ERROR]"));
    EXPECT_THAT(lines[0], ::testing::HasSubstr("needs CAP_NET_RAW"));
  }

  segment_->SetOpenFailure("eth0", "");
  EXPECT_TRUE(link_->Init());
  EXPECT_TRUE(link_->IsUp());
  EXPECT_EQ(link_->LastOpenError(), "");
}

TEST_F(LinkManagerTest, InitReplacesTheThreadsOfAnEarlierInit) {
  for (int i = 0; i < 3; ++i) {
    ASSERT_TRUE(link_->Init());
    Answer(kDevice1, {"n", "", "", ""});  // keep the threads busy across restarts
  }
  EXPECT_EQ(link_->LiveReceiveThreads(), 1);
  EXPECT_EQ(link_->LiveManageThreads(), 1);
  // A joined thread leaves /proc a moment after its join, and a new one takes
  // its name a moment after it starts.
  EXPECT_TRUE(Eventually([] {
    return ThreadsNamed(AcTransmitManage::kReceiveThreadName) == 1 &&
           ThreadsNamed(AcTransmitManage::kManageThreadName) == 1;
  })) << ThreadsNamed(AcTransmitManage::kReceiveThreadName)
      << " receive and " << ThreadsNamed(AcTransmitManage::kManageThreadName) << " manage threads";
  link_->SendDiscover();
  EXPECT_EQ(segment_->OpenEndpoints("eth0"), 2u) << "one receive and one send handle";

  Answer(kDevice2, {"after", "", "", ""});
  ASSERT_TRUE(Eventually([&] {
    const auto table = link_->Devices();
    return std::any_of(table.begin(), table.end(),
                       [](const DiscoveredDevice& d) { return d.mac == "C8:3A:35:00:00:02"; });
  }));

  link_.reset();
  EXPECT_TRUE(Eventually([] {
    return ThreadsNamed(AcTransmitManage::kReceiveThreadName) == 0 &&
           ThreadsNamed(AcTransmitManage::kManageThreadName) == 0;
  }));
  EXPECT_EQ(segment_->OpenEndpoints("eth0"), 0u);
}

TEST_F(LinkManagerTest, InitFailuresWriteTheirDiagnosticLine) {
  struct Case {
    AcTransmitManage::InitStep step;
    int line;
    const char* message;
    int receiveThreads;
  };
  const Case cases[] = {
      {AcTransmitManage::InitStep::Event, 115, "create event_manage_discover fail", 0},
      {AcTransmitManage::InitStep::ReceiveThread, 123, "create thread_recv_discover fail", 0},
      {AcTransmitManage::InitStep::ManageThread, 131, "create thread_manage_discover fail", 1},
  };
  for (const auto& c : cases) {
    std::vector<std::string> lines;
    SetDiagnosticSink([&](const std::string& line) { lines.push_back(line); });
    link_->FailInitStepForTesting(c.step);
    EXPECT_FALSE(link_->Init()) << c.message;
    SetDiagnosticSink({});
    ASSERT_EQ(lines.size(), 1u) << c.message;
    EXPECT_THAT(lines[0], ::testing::HasSubstr("[ERROR]"));
    EXPECT_THAT(lines[0], ::testing::EndsWith("[bool __thiscall AcTransmitManage::Init(void):" +
                                              std::to_string(c.line) + "]" + c.message + "\r\n"));
    EXPECT_EQ(link_->LiveReceiveThreads(), c.receiveThreads) << c.message;
    EXPECT_EQ(link_->LiveManageThreads(), 0) << c.message;
  }
  link_->FailInitStepForTesting(AcTransmitManage::InitStep::None);
  EXPECT_TRUE(link_->Init());
  EXPECT_EQ(link_->LiveReceiveThreads(), 1);
  EXPECT_EQ(link_->LiveManageThreads(), 1);
}

TEST(LinkManagerStore, ADeviceTheStoreRejectsStaysInTheTable) {
  TempDir temp;
  CSqlManagement closed(temp / "missing-folder" / "data.db");
  ASSERT_FALSE(closed.IsOpen());
  auto segment = MemorySegment::Create();
  auto adapters = std::make_shared<testing::FakeAdapterSource>();
  adapters->captureDevices = {"eth0"};
  AcTransmitManage link(closed, adapters, segment->Station("eth0"));
  ASSERT_TRUE(link.ApplyAdapter(testing::Adapter("eth0", kAdapter)));
  ASSERT_TRUE(link.Init());
  std::string error;
  auto device = segment->Station("dev0")->Open("dev0", CaptureOptions{}, &error);
  ASSERT_TRUE(device) << error;
  device->Send(MakeDiscoveryResponse(kAdapter, kDevice1, {"n", "", "", ""}));
  EXPECT_TRUE(Eventually([&] { return link.DeviceCount() == 1; }));
}

}  // namespace
}  // namespace brevant
