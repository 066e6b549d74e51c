// Frames as the receive thread hands them on: the input cut into 1286-byte
// frames (the last one zero-filled), each dispatched by a real link manager on
// an in-memory segment, whose manage thread records discovery responses in a
// real store and hands device results to HandleDeviceResult with a real result
// log; frames of one device also reach that device's mailbox.

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>

#include "fuzz_support.h"
#include "link/delivery.h"
#include "link/fake_adapters.h"
#include "link/memory_segment.h"
#include "link/result_log.h"
#include "link/transmit_manage.h"
#include "records/status_store.h"

using namespace brevant;

namespace {

constexpr MacAddress kAdapter = {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E};
// The device with a running job: its frames are posted to the mailbox.
constexpr MacAddress kJobDevice = {0xC8, 0x3A, 0x35, 0xA1, 0xB2, 0xC3};
// Sends the result that tells the run every earlier frame was handled.
constexpr MacAddress kMarker = {0x02, 0xF0, 0x22, 0x00, 0x00, 0x01};
constexpr std::size_t kMostFrames = 8;
constexpr std::size_t kMailboxFrames = 64;

class Rig {
 public:
  Rig()
      : adapters_(std::make_shared<testing::FakeAdapterSource>()),
        store_(fuzz::ScratchDir() / "data.db"),
        log_(fuzz::ScratchDir()),
        link_(store_, adapters_, segment_->Station("fz0")) {
    fuzz::QuietDiagnostics();
    adapters_->captureDevices = {"fz0"};
    if (!link_.ApplyAdapter(testing::Adapter("fz0", kAdapter)) || !link_.Init())
      fuzz::Broken("the link manager does not start");
    link_.SetResultHandler([this](const LinkFrame& frame) {
      if (frame.source() == kMarker) {
        {
          std::lock_guard lock(mutex_);
          ++markers_;
        }
        handled_.notify_all();
        return;
      }
      HandleDeviceResult(frame, store_, log_);
    });
    link_.Attach(kJobDevice, mailbox_);
  }
  ~Rig() { link_.Detach(kJobDevice, mailbox_); }

  void Run(const std::vector<LinkFrame>& frames) {
    link_.ClearDevices();
    store_.DeleteAllDevices();
    // The day's result log would grow with every run.
    if (++runs_ % 4096 == 0) {
      std::error_code ignored;
      std::filesystem::remove_all(fuzz::ScratchDir() / "Log", ignored);
    }

    std::uint64_t awaited = 0;
    {
      std::lock_guard lock(mutex_);
      awaited = markers_ + 1;
    }
    for (const LinkFrame& frame : frames)
      link_.DispatchForTesting(frame);
    link_.DispatchForTesting(MakeResult(kAdapter, kMarker, PARA_DATA, OP_PARA_OK));
    std::unique_lock lock(mutex_);
    if (!handled_.wait_for(lock, std::chrono::seconds(5), [&] { return markers_ >= awaited; }))
      fuzz::Broken("the manage thread did not handle the frames within 5 s");
    lock.unlock();

    CheckMailbox(frames);
    CheckDevices(frames);
  }

 private:
  // Every frame of the job's device, in order, and nothing else.
  void CheckMailbox(const std::vector<LinkFrame>& frames) {
    std::size_t next = 0;
    while (const auto posted = mailbox_->WaitUntil(std::chrono::steady_clock::now())) {
      while (next < frames.size() && frames[next].source() != kJobDevice)
        ++next;
      BREVANT_FUZZ_CHECK(next < frames.size() && *posted == frames[next],
                         "the mailbox holds a frame its device did not send");
      ++next;
    }
    while (next < frames.size() && frames[next].source() != kJobDevice)
      ++next;
    BREVANT_FUZZ_CHECK(next == frames.size(), "a frame of the job's device did not reach it");
    BREVANT_FUZZ_CHECK(mailbox_->TakeDropped() == 0, "the mailbox dropped frames");
  }

  // The device table: the first response of every device that can be one, in
  // order of arrival, with its texts; the store holds the same.
  void CheckDevices(const std::vector<LinkFrame>& frames) {
    std::vector<DiscoveredDevice> expected;
    for (const LinkFrame& frame : frames) {
      if (frame.category() != DISCOVERY || frame.opcode() != OP_ACK)
        continue;
      const MacAddress source = frame.source();
      if ((source[0] & 0x01) != 0 || source == MacAddress{})
        continue;
      const std::string mac = DeviceMacText(source);
      if (std::any_of(expected.begin(), expected.end(),
                      [&](const DiscoveredDevice& d) { return d.mac == mac; }))
        continue;
      const DiscoveryTexts texts = ReadDiscoveryTexts(frame);
      expected.push_back({mac, "", texts.ssid2, texts.ssid5, texts.key2, texts.key5});
    }
    const std::vector<DiscoveredDevice> table = link_.Devices();
    BREVANT_FUZZ_CHECK(table.size() == expected.size(), "%zu devices recorded, %zu answered",
                       table.size(), expected.size());
    for (std::size_t i = 0; i < table.size(); ++i) {
      const DiscoveredDevice& d = table[i];
      const DiscoveredDevice& e = expected[i];
      BREVANT_FUZZ_CHECK(d.mac == e.mac && d.ssid2 == e.ssid2 && d.ssid5 == e.ssid5 &&
                             d.key2 == e.key2 && d.key5 == e.key5,
                         "device %zu is recorded otherwise than it answered", i);
      ap_info_stu row;
      BREVANT_FUZZ_CHECK(store_.GetDevice(d.mac, row), "device %s is not in the store",
                         d.mac.c_str());
      BREVANT_FUZZ_CHECK(
          row.ssid2 == d.ssid2 && row.ssid5 == d.ssid5 && row.key2 == d.key2 && row.key5 == d.key5,
          "the store holds other texts for %s", d.mac.c_str());
    }
  }

  std::shared_ptr<MemorySegment> segment_ = MemorySegment::Create();
  std::shared_ptr<testing::FakeAdapterSource> adapters_;
  CSqlManagement store_;
  ResultLog log_;
  AcTransmitManage link_;
  std::shared_ptr<FrameMailbox> mailbox_ = std::make_shared<FrameMailbox>(kMailboxFrames);
  std::mutex mutex_;
  std::condition_variable handled_;
  std::uint64_t markers_ = 0;
  std::uint64_t runs_ = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static Rig rig;
  std::vector<LinkFrame> frames;
  for (std::size_t at = 0; at < size && frames.size() < kMostFrames; at += kFrameSize) {
    const LinkFrame frame = LinkFrame::FromBytes(data + at, std::min(kFrameSize, size - at));
    const DiscoveryTexts texts = ReadDiscoveryTexts(frame);
    for (const auto& [field, text] : {std::pair{DiscoveryField::Ssid2, &texts.ssid2},
                                      std::pair{DiscoveryField::Ssid5, &texts.ssid5},
                                      std::pair{DiscoveryField::Key2, &texts.key2},
                                      std::pair{DiscoveryField::Key5, &texts.key5}}) {
      BREVANT_FUZZ_CHECK(
          text->size() <= LayoutOf(field).width && text->find('\0') == std::string::npos,
          "a discovery text runs past its field");
    }
    // The marker's results are the run's own.
    if (frame.source() != kMarker)
      frames.push_back(frame);
  }
  rig.Run(frames);
  return 0;
}
