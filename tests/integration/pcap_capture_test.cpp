// The libpcap endpoint and the adapter lookups on a real veth pair.

#include <gtest/gtest.h>
#include <pcap/pcap.h>

#include <chrono>
#include <future>
#include <memory>
#include <thread>
#include <vector>

#include "link/adapters.h"
#include "link/capture.h"
#include "link/pcap_capture.h"
#include "link/transmit_manage.h"
#include "records/status_store.h"
#include "support/temp_dir.h"
#include "testbed_fixture.h"

namespace brevant {
namespace {

using std::chrono::milliseconds;
using Clock = std::chrono::steady_clock;
using testing::TestBed;

const MacAddress kDevice = {0x02, 0x62, 0x00, 0x00, 0x00, 0x01};
const MacAddress kElsewhere = {0x02, 0x62, 0x00, 0x00, 0x00, 0x99};

class PcapOnVeth : public testing::TestBedTest {
 protected:
  void TearDown() override {
    tool_.reset();
    toolSend_.reset();
    device_.reset();
    if (raw_ != nullptr)
      pcap_close(raw_);
    TestBedTest::TearDown();
  }

  // Opens on the devices' end from a thread that enters their namespace.
  std::unique_ptr<CaptureEndpoint> OpenOnDeviceEnd(const CaptureOptions& options) {
    std::unique_ptr<CaptureEndpoint> endpoint;
    std::string error;
    std::thread([&] {
      auto inDevices = bed_.EnterDeviceNamespace(&error);
      if (inDevices)
        endpoint = PcapCaptureFactory().Open(bed_.DeviceInterface(), options, &error);
      if (raw_ == nullptr && inDevices) {
        char errbuf[PCAP_ERRBUF_SIZE] = {};
        raw_ = pcap_open_live(bed_.DeviceInterface().c_str(), 2048, 1, 1, errbuf);
      }
    }).join();
    EXPECT_TRUE(endpoint) << error;
    return endpoint;
  }

  std::unique_ptr<CaptureEndpoint> OpenOnToolEnd(const CaptureOptions& options) {
    std::string error;
    auto endpoint = PcapCaptureFactory().Open(bed_.ToolInterface(), options, &error);
    EXPECT_TRUE(endpoint) << error;
    return endpoint;
  }

  static std::optional<LinkFrame> ReadWithin(CaptureEndpoint& endpoint, milliseconds wait,
                                             std::size_t* wireLength = nullptr) {
    const auto deadline = Clock::now() + wait;
    LinkFrame frame;
    for (;;) {
      if (endpoint.Read(frame, wireLength) == ReadStatus::Frame)
        return frame;
      if (!endpoint.WaitReadable(deadline))
        return std::nullopt;
    }
  }

  void OpenAll() {
    tool_ = OpenOnToolEnd(ReceiveCaptureOptions(TestBed::kToolMac));
    toolSend_ = OpenOnToolEnd(SendCaptureOptions());
    CaptureOptions deviceOptions;
    deviceOptions.filter = "ether proto 0x6262";
    deviceOptions.inboundOnly = true;
    device_ = OpenOnDeviceEnd(deviceOptions);
    ASSERT_TRUE(tool_ && toolSend_ && device_ && raw_);
  }

  std::unique_ptr<CaptureEndpoint> tool_;
  std::unique_ptr<CaptureEndpoint> toolSend_;
  std::unique_ptr<CaptureEndpoint> device_;
  pcap_t* raw_ = nullptr;  // the devices' end, for frames of any length
};

TEST_F(PcapOnVeth, TheReceiveHandleKeepsFramesToTheAdapterAndNotItsOwn) {
  OpenAll();
  const LinkFrame request = MakeDiscoveryRequest(TestBed::kToolMac);
  ASSERT_TRUE(toolSend_->Send(request)) << toolSend_->LastError();
  std::size_t length = 0;
  const auto got = ReadWithin(*device_, milliseconds(5000), &length);
  ASSERT_TRUE(got);
  EXPECT_EQ(*got, request);
  EXPECT_EQ(length, kFrameSize);

  LinkFrame otherType = MakeDiscoveryResponse(TestBed::kToolMac, kDevice, {});
  otherType.setEtherType(0x88B5);
  device_->Send(otherType);
  device_->Send(MakeDiscoveryResponse(kElsewhere, kDevice, {}));
  const LinkFrame answer = MakeDiscoveryResponse(TestBed::kToolMac, kDevice, {"n", "", "", ""});
  ASSERT_TRUE(device_->Send(answer));
  const auto received = ReadWithin(*tool_, milliseconds(5000));
  ASSERT_TRUE(received);
  EXPECT_EQ(*received, answer) << "the frames before it were not for the receive handle";
  EXPECT_FALSE(ReadWithin(*tool_, milliseconds(50)));
  EXPECT_FALSE(ReadWithin(*toolSend_, milliseconds(0))) << "the send handle keeps nothing";
}

TEST_F(PcapOnVeth, ShortFramesReadZeroFilledAndLongOnesCut) {
  OpenAll();
  LinkFrame header = MakeResult(TestBed::kToolMac, kDevice, PARA_DATA, OP_PARA_OK);
  std::vector<std::uint8_t> shortFrame(header.data(), header.data() + 60);
  ASSERT_EQ(pcap_sendpacket(raw_, shortFrame.data(), static_cast<int>(shortFrame.size())), 0);
  std::size_t length = 0;
  auto got = ReadWithin(*tool_, milliseconds(5000), &length);
  ASSERT_TRUE(got);
  EXPECT_EQ(length, 60u);
  EXPECT_EQ(*got, LinkFrame::FromBytes(shortFrame));
  EXPECT_EQ(got->opcode(), OP_PARA_OK);

  std::vector<std::uint8_t> longFrame(header.data(), header.data() + kFrameSize);
  longFrame.resize(1400, 0xEE);
  ASSERT_EQ(pcap_sendpacket(raw_, longFrame.data(), static_cast<int>(longFrame.size())), 0);
  got = ReadWithin(*tool_, milliseconds(5000), &length);
  ASSERT_TRUE(got);
  EXPECT_EQ(length, 1400u);
  EXPECT_EQ(*got, header);
}

TEST_F(PcapOnVeth, AWaitEndsAtItsDeadlineOrWhenInterrupted) {
  tool_ = OpenOnToolEnd(ReceiveCaptureOptions(TestBed::kToolMac));
  ASSERT_TRUE(tool_);
  ASSERT_GE(tool_->SelectableFd(), 0);
  const auto start = Clock::now();
  EXPECT_FALSE(tool_->WaitReadable(start + milliseconds(30)));
  EXPECT_GE(Clock::now() - start, milliseconds(30));

  auto waiting = std::async(std::launch::async, [&] {
    return tool_->WaitReadable(Clock::now() + std::chrono::seconds(30));
  });
  std::this_thread::sleep_for(milliseconds(20));
  tool_->Interrupt();
  ASSERT_EQ(waiting.wait_for(std::chrono::seconds(10)), std::future_status::ready);
  EXPECT_FALSE(waiting.get());
}

TEST_F(PcapOnVeth, TheCaptureDeviceIsFoundByItsExactNameAndItsMtuRead) {
  // An interface whose name starts with the adapter's.
  const std::string longer = bed_.ToolInterface() + "0";
  std::string error;
  ASSERT_TRUE(bed_.IpInTool(
      {"link", "add", longer, "type", "veth", "peer", "name", bed_.ToolInterface() + "1"}, &error))
      << error;
  ASSERT_TRUE(bed_.IpInTool({"link", "set", bed_.ToolInterface(), "mtu", "1271"}, &error)) << error;

  brevant::testing::TempDir temp;
  CSqlManagement store(temp / "data.db");
  auto source = std::make_shared<SysfsAdapterSource>();
  std::vector<std::string> devices;
  ASSERT_TRUE(source->CaptureDevices(devices, error)) << error;
  EXPECT_NE(std::find(devices.begin(), devices.end(), longer), devices.end());

  AcTransmitManage link(store, source, std::make_shared<PcapCaptureFactory>());
  for (const std::string& name : {longer, bed_.ToolInterface()}) {
    AdapterRecord record;
    record.name = name;
    record.mac = TestBed::kToolMac;
    ASSERT_TRUE(link.ApplyAdapter(record, &error));
    EXPECT_EQ(link.CaptureDeviceName(), name);
  }
  EXPECT_EQ(link.CaptureDeviceMtu(), 1271);
  EXPECT_LT(*link.CaptureDeviceMtu(), kMinimumLinkMtu);
}

}  // namespace
}  // namespace brevant
