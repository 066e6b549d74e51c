// A running job under a flood of unrelated frames from its device, through the
// real link manager and its receive thread on an in-memory segment.

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <atomic>
#include <thread>

#include "link/delivery.h"
#include "link/fake_adapters.h"
#include "link/memory_segment.h"
#include "link/transmit_manage.h"
#include "records/status_store.h"
#include "support/sanitizers.h"
#include "support/temp_dir.h"

namespace brevant {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

const MacAddress kAdapter = {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E};
const MacAddress kDevice = {0xC8, 0x3A, 0x35, 0x00, 0x00, 0x01};

long PeakRssKb() {
  rusage usage{};
  ::getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

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
  // acknowledgement, paced so the segment drops none, and then nothing.
  std::atomic<bool> stop{false};
  std::atomic<int> chunks{0};
  std::thread flooder([&] {
    const LinkFrame noise = MakeResult(kAdapter, kDevice, 9, OP_ACK);
    LinkFrame frame;
    while (!stop) {
      if (device->Read(frame) != ReadStatus::Frame) {
        device->WaitReadable(Clock::now() + 20ms);
        continue;
      }
      if (frame.category() != LOG_DATA || frame.opcode() != OP_LOGO_CHUNK)
        continue;
      if (chunks++ > 0)
        continue;
      for (int i = 0; i < 100000 && !stop; ++i) {
        device->Send(noise);
        if (i % 512 == 511)
          std::this_thread::sleep_for(1ms);
      }
    }
  });

  const long before = PeakRssKb();
  DeliveryTiming timing;
  timing.resendAfter = 30s;  // silence would take 150 s: the count must decide
  const auto file = dir.Write("logo.png", std::string(2000, 'L'));
  const auto start = Clock::now();
  const bool sent =
      SendFile(link, MakeTransferTemplate(kDevice, kAdapter, LOG_DATA, OP_LOGO_CHUNK, 1), LOG_DATA,
               file.string(), timing);
  const auto took = Clock::now() - start;
  stop = true;
  flooder.join();

  EXPECT_FALSE(sent);
  EXPECT_LT(took, 25s);
  // The first sending and one at every 20000 mismatches before the 100000th.
  EXPECT_EQ(chunks.load(), 5);
  // The job's mailbox holds at most 1024 frames whatever the device sends.
  if (!kUnderSanitizer) {
    EXPECT_LT(PeakRssKb() - before, 256 * 1024) << "kB";
  }
}

}  // namespace
}  // namespace brevant
