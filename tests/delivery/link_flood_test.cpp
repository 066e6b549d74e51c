// A running job under a flood of unrelated frames from its device, through the
// real link manager and its receive thread on an in-memory segment.

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <thread>

#include "link/delivery.h"
#include "link/fake_adapters.h"
#include "link/memory_segment.h"
#include "link/transmit_manage.h"
#include "records/status_store.h"
#include "support/temp_dir.h"

namespace brevant {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

const MacAddress kAdapter = {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E};
const MacAddress kDevice = {0xC8, 0x3A, 0x35, 0x00, 0x00, 0x01};
const MacAddress kOther = {0xC8, 0x3A, 0x35, 0x00, 0x00, 0x02};

// The link as the job sees it, except that the job's first sending holds the
// job up until `hold` returns: meanwhile nothing takes frames out of its
// mailbox, so the mailbox shows the most it will ever hold.
class HoldingLink : public DeliveryLink {
 public:
  HoldingLink(DeliveryLink& link, std::function<void(FrameMailbox&)> hold)
      : link_(link), hold_(std::move(hold)) {}

  bool IsUp() const override { return link_.IsUp(); }
  MacAddress AdapterMac() const override { return link_.AdapterMac(); }
  bool Send(const LinkFrame& frame) override {
    const bool sent = link_.Send(frame);
    if (!held_ && mailbox_) {
      held_ = true;
      hold_(*mailbox_);
    }
    return sent;
  }
  void Attach(const MacAddress& device, std::shared_ptr<FrameMailbox> mailbox) override {
    mailbox_ = mailbox;
    link_.Attach(device, std::move(mailbox));
  }
  void Detach(const MacAddress& device, const std::shared_ptr<FrameMailbox>& mailbox) override {
    link_.Detach(device, mailbox);
  }

 private:
  DeliveryLink& link_;
  std::function<void(FrameMailbox&)> hold_;
  std::shared_ptr<FrameMailbox> mailbox_;
  bool held_ = false;
};

TEST(LinkFlood, AJobFloodedWithUnrelatedFramesFailsByCountAndStaysBounded) {
  auto segment = MemorySegment::Create();
  // Room for the whole flood: the segment drops nothing the count must see.
  segment->SetEndpointCapacity(120000);
  testing::TempDir dir;
  CSqlManagement store(dir / "data.db");
  auto adapters = std::make_shared<testing::FakeAdapterSource>();
  adapters->captureDevices = {"eth0"};
  AcTransmitManage link(store, adapters, segment->Station("eth0"));
  ASSERT_TRUE(link.ApplyAdapter(testing::Adapter("eth0", kAdapter)));
  ASSERT_TRUE(link.Init());
  ASSERT_TRUE(link.IsUp());

  CaptureOptions options;
  options.filter = "ether proto 0x6262";
  options.inboundOnly = true;
  std::string error;
  auto device = segment->Station("dev0")->Open("dev0", options, &error);
  ASSERT_TRUE(device) << error;

  // The device answers the first chunk with 100000 frames that are no
  // acknowledgement, paced so the segment drops none, then another device's
  // discovery answer: once that one is in the store, the receive thread has
  // handled the whole flood. It counts every chunk it gets, to the last.
  std::atomic<bool> stop{false};
  std::atomic<int> chunks{0};
  std::thread flooder([&] {
    const LinkFrame noise = MakeResult(kAdapter, kDevice, 9, OP_ACK);
    LinkFrame frame;
    for (;;) {
      if (device->Read(frame) != ReadStatus::Frame) {
        // Told to stop once the job has ended, when all it sent is here.
        if (stop)
          break;
        device->WaitReadable(Clock::now() + 20ms);
        continue;
      }
      if (frame.category() != LOG_DATA || frame.opcode() != OP_LOGO_CHUNK)
        continue;
      if (chunks++ > 0)
        continue;
      for (int i = 0; i < 100000; ++i) {
        device->Send(noise);
        if (i % 512 == 511)
          std::this_thread::sleep_for(1ms);
      }
      device->Send(MakeDiscoveryResponse(kAdapter, kOther, {"sentinel", "", "", ""}));
    }
  });

  std::size_t heldAtMost = 0;
  bool floodHandled = false;
  HoldingLink holding(link, [&](FrameMailbox& mailbox) {
    const auto deadline = Clock::now() + 60s;
    while (link.DeviceCount() == 0 && Clock::now() < deadline)
      std::this_thread::sleep_for(5ms);
    floodHandled = link.DeviceCount() == 1;
    heldAtMost = mailbox.Held();
  });
  DeliveryTiming timing;
  // Silence would end the job after 30 s without a single repetition: every
  // repetition comes from the count.
  timing.resendAfter = 30s;
  timing.sendings = 1;
  const auto file = dir.Write("logo.png", std::string(2000, 'L'));
  const bool sent =
      SendFile(holding, MakeTransferTemplate(kDevice, kAdapter, LOG_DATA, OP_LOGO_CHUNK, 1),
               LOG_DATA, file.string(), timing);
  stop = true;
  flooder.join();

  EXPECT_FALSE(sent);
  ASSERT_TRUE(floodHandled) << "the receive thread never got through the flood";
  // 100000 frames came while the job was held up: its mailbox kept 1024 of
  // them and counted the rest, which the job still counted as mismatches.
  EXPECT_EQ(heldAtMost, 1024u);
  // The first sending and one at every 20000 mismatches before the 100000th.
  EXPECT_EQ(chunks.load(), 5);
}

}  // namespace
}  // namespace brevant
