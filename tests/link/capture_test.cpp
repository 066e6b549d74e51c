#include "link/capture.h"

#include <gtest/gtest.h>
#include <linux/capability.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <chrono>
#include <future>
#include <thread>

#include "link/memory_segment.h"
#include "link/pcap_capture.h"

namespace brevant {
namespace {

using std::chrono::milliseconds;
using Clock = std::chrono::steady_clock;

const MacAddress kAdapter = {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E};
const MacAddress kDevice = {0xC8, 0x3A, 0x35, 0xA1, 0xB2, 0xC3};
const MacAddress kOther = {0xC8, 0x3A, 0x35, 0xA1, 0xB2, 0xC4};

TEST(CaptureFilter, TextsNameTheAddressInTheirCaseAndTheEtherType) {
  EXPECT_EQ(ReceiveFilterText(kAdapter), "ether dst 00:1a:2b:3c:4d:5e and ether proto 0x6262");
  EXPECT_EQ(DeviceFilterText(kDevice), "ether src C8:3A:35:A1:B2:C3 and ether proto 0x6262");
  EXPECT_EQ(ReceiveCaptureOptions(kAdapter).filter, ReceiveFilterText(kAdapter));
  EXPECT_TRUE(ReceiveCaptureOptions(kAdapter).inboundOnly);
  for (const std::string& filter :
       {ReceiveFilterText(kAdapter), DeviceFilterText(kDevice), std::string(kKeepNothingFilter)}) {
    std::string error;
    EXPECT_TRUE(CompileFilterForEthernet(filter, &error)) << filter << ": " << error;
  }
  std::string error;
  EXPECT_FALSE(CompileFilterForEthernet("ether dst nonsense and", &error));
  EXPECT_NE(error.find("ether dst nonsense and"), std::string::npos) << error;
}

TEST(CaptureFilter, KeepsExactlyTheFramesItNames) {
  LinkFrame otherType = MakeDiscoveryResponse(kAdapter, kDevice, {});
  otherType.setEtherType(0x0800);
  struct Case {
    const char* what;
    std::string filter;
    LinkFrame frame;
    bool kept;
  };
  const Case cases[] = {
      {"response to the adapter", ReceiveFilterText(kAdapter),
       MakeDiscoveryResponse(kAdapter, kDevice, {}), true},
      {"result to the adapter", ReceiveFilterText(kAdapter),
       MakeResult(kAdapter, kDevice, PARA_DATA, OP_PARA_OK), true},
      {"frame to another adapter", ReceiveFilterText(kAdapter),
       MakeDiscoveryResponse(kOther, kDevice, {}), false},
      {"own broadcast", ReceiveFilterText(kAdapter), MakeDiscoveryRequest(kAdapter), false},
      {"another EtherType", ReceiveFilterText(kAdapter), otherType, false},
      {"frame of the device", DeviceFilterText(kDevice),
       MakeAcknowledgement(kAdapter, kDevice, PARA_DATA, 1), true},
      {"frame of another device", DeviceFilterText(kDevice),
       MakeAcknowledgement(kAdapter, kOther, PARA_DATA, 1), false},
      {"keep-nothing, response", kKeepNothingFilter, MakeDiscoveryResponse(kAdapter, kDevice, {}),
       false},
      {"keep-nothing, broadcast", kKeepNothingFilter, MakeDiscoveryRequest(kAdapter), false},
  };
  for (const auto& c : cases)
    EXPECT_EQ(FilterAccepts(c.filter, c.frame.data(), c.frame.size()), c.kept) << c.what;
}

// The tool's host (station eth0) and a device (station dev0) on one segment.
class MemorySegmentTest : public ::testing::Test {
 protected:
  std::unique_ptr<CaptureEndpoint> Open(const std::string& station, const CaptureOptions& options) {
    std::string error;
    auto endpoint = segment_->Station(station)->Open(station, options, &error);
    EXPECT_TRUE(endpoint) << error;
    return endpoint;
  }

  static std::optional<LinkFrame> ReadWithin(CaptureEndpoint& endpoint, milliseconds wait) {
    LinkFrame frame;
    if (endpoint.Read(frame) == ReadStatus::Frame)
      return frame;
    if (!endpoint.WaitReadable(Clock::now() + wait))
      return std::nullopt;
    if (endpoint.Read(frame) != ReadStatus::Frame)
      return std::nullopt;
    return frame;
  }

  CaptureOptions DeviceOptions() {
    CaptureOptions options;
    options.filter = "ether proto 0x6262";
    return options;
  }

  std::shared_ptr<MemorySegment> segment_ = MemorySegment::Create();
};

TEST_F(MemorySegmentTest, ReceiveHandleSeesAnswersAndNotWhatItsHostSends) {
  auto receive = Open("eth0", ReceiveCaptureOptions(kAdapter));
  auto send = Open("eth0", SendCaptureOptions());
  auto device = Open("dev0", DeviceOptions());
  CaptureOptions everything;
  everything.inboundOnly = true;
  auto inboundOnly = Open("eth0", everything);
  auto bothWays = Open("eth0", CaptureOptions{});

  ASSERT_TRUE(send->Send(MakeDiscoveryRequest(kAdapter)));
  const auto request = ReadWithin(*device, milliseconds(2000));
  ASSERT_TRUE(request);
  EXPECT_EQ(*request, MakeDiscoveryRequest(kAdapter));
  EXPECT_TRUE(ReadWithin(*bothWays, milliseconds(2000)));  // outbound, seen without a direction
  EXPECT_FALSE(ReadWithin(*inboundOnly, milliseconds(0)));
  EXPECT_FALSE(ReadWithin(*receive, milliseconds(0)));

  const LinkFrame answer = MakeDiscoveryResponse(kAdapter, kDevice, {"a", "b", "c", "d"});
  ASSERT_TRUE(device->Send(answer));
  const auto got = ReadWithin(*receive, milliseconds(2000));
  ASSERT_TRUE(got);
  EXPECT_EQ(*got, answer);
  EXPECT_FALSE(ReadWithin(*receive, milliseconds(0))) << "one frame arrives once";
  EXPECT_FALSE(ReadWithin(*send, milliseconds(0))) << "the send handle keeps nothing";
  EXPECT_FALSE(ReadWithin(*device, milliseconds(0))) << "a sender does not see its own frame";

  device->Send(MakeDiscoveryResponse(kOther, kDevice, {}));
  EXPECT_FALSE(ReadWithin(*receive, milliseconds(20))) << "addressed to another adapter";
}

TEST_F(MemorySegmentTest, WaitsEndAtTheDeadlineOrWhenInterrupted) {
  auto receive = Open("eth0", ReceiveCaptureOptions(kAdapter));
  EXPECT_FALSE(receive->WaitReadable(Clock::now() + milliseconds(10)));

  auto waiting = std::async(std::launch::async, [&] {
    const auto start = Clock::now();
    const bool readable = receive->WaitReadable(start + std::chrono::seconds(30));
    return std::make_pair(readable, Clock::now() - start);
  });
  std::this_thread::sleep_for(milliseconds(20));
  receive->Interrupt();
  ASSERT_EQ(waiting.wait_for(std::chrono::seconds(10)), std::future_status::ready);
  const auto [readable, waited] = waiting.get();
  EXPECT_FALSE(readable);
  EXPECT_LT(waited, std::chrono::seconds(10));

  // An interrupt with nobody waiting makes the next wait return at once.
  receive->Interrupt();
  EXPECT_FALSE(receive->WaitReadable(Clock::now() + std::chrono::seconds(30)));
}

TEST_F(MemorySegmentTest, OpenFailuresCarryTheirReason) {
  std::string error;
  EXPECT_FALSE(segment_->Station("eth0")->Open("eth1", CaptureOptions{}, &error));
  EXPECT_EQ(error, "eth1: no such interface");
  EXPECT_FALSE(segment_->Station("eth0")->Open("", CaptureOptions{}, &error));
  EXPECT_EQ(error, "no capture device chosen");

  CaptureOptions broken;
  broken.filter = "ether dst";
  EXPECT_FALSE(segment_->Station("eth0")->Open("eth0", broken, &error));
  EXPECT_NE(error.find("ether dst"), std::string::npos) << error;

  segment_->SetOpenFailure("eth0", "eth0: capturing needs CAP_NET_RAW");
  EXPECT_FALSE(segment_->Station("eth0")->Open("eth0", CaptureOptions{}, &error));
  EXPECT_EQ(error, "eth0: capturing needs CAP_NET_RAW");
  segment_->SetOpenFailure("eth0", "");
  EXPECT_TRUE(segment_->Station("eth0")->Open("eth0", CaptureOptions{}, &error));
  EXPECT_EQ(segment_->OpenEndpoints("eth0"), 0u) << "a closed handle leaves the segment";
}

TEST_F(MemorySegmentTest, AFullHandleDropsFurtherFrames) {
  segment_->SetEndpointCapacity(2);
  auto receive = Open("eth0", ReceiveCaptureOptions(kAdapter));
  auto device = Open("dev0", DeviceOptions());
  for (int i = 0; i < 3; ++i)
    device->Send(MakeResult(kAdapter, kDevice, PARA_DATA, OP_PARA_OK));
  LinkFrame frame;
  EXPECT_EQ(receive->Read(frame), ReadStatus::Frame);
  EXPECT_EQ(receive->Read(frame), ReadStatus::Frame);
  EXPECT_EQ(receive->Read(frame), ReadStatus::Empty);
}

// Drops CAP_NET_RAW from the calling thread's effective set (capabilities are
// per thread on Linux, so the rest of the process keeps it).
bool DropNetRawOnThisThread() {
  __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
  __user_cap_data_struct data[2] = {};
  if (::syscall(SYS_capget, &header, data) != 0)
    return false;
  data[CAP_NET_RAW / 32].effective &= ~(1u << (CAP_NET_RAW % 32));
  return ::syscall(SYS_capset, &header, data) == 0;
}

TEST(PcapCapture, MissingPermissionSaysWhichCapabilityIsNeeded) {
  std::string error;
  bool dropped = false;
  std::thread opener([&] {
    dropped = DropNetRawOnThisThread();
    PcapCaptureFactory factory;
    EXPECT_FALSE(factory.Open("lo", CaptureOptions{}, &error));
  });
  opener.join();
  ASSERT_TRUE(dropped);
  EXPECT_NE(error.find("needs CAP_NET_RAW"), std::string::npos) << error;
  EXPECT_EQ(error.rfind("lo: ", 0), 0u) << error;
}

TEST(PcapCapture, UnknownInterfaceIsNamedInTheError) {
  std::string error;
  PcapCaptureFactory factory;
  EXPECT_FALSE(factory.Open("brvnosuch0", CaptureOptions{}, &error));
  EXPECT_NE(error.find("brvnosuch0"), std::string::npos) << error;
  EXPECT_FALSE(factory.Open("", CaptureOptions{}, &error));
  EXPECT_EQ(error, "no capture device chosen");
}

}  // namespace
}  // namespace brevant
