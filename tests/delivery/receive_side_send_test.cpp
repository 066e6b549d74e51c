// Acknowledgements that arrive on another thread, as the link's receive thread
// posts them: the next chunk then goes out from that thread, while the job
// sends the first and the last frame and keeps the time-outs. Together they
// must put on the wire what one thread would have: every chunk, in order,
// once per acknowledgement.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <map>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

#include "link/delivery.h"
#include "support/temp_dir.h"

namespace brevant {
namespace {

using testing::TempDir;
using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

const MacAddress kDevice = {0xC8, 0x3A, 0x35, 0xA1, 0xB2, 0xC3};
const MacAddress kAdapter = {0x02, 0, 0, 0, 0, 1};

std::string Pattern(std::size_t size) {
  std::string bytes(size, '\0');
  for (std::size_t i = 0; i < size; ++i)
    bytes[i] = static_cast<char>((i * 13 + 5) % 253);
  return bytes;
}

// What happened, in one order: sendings (with the thread that sent and when)
// and the hook before the last frame.
struct Event {
  enum Kind { Sent, Hook } kind;
  LinkFrame frame;
  std::thread::id thread;
  Clock::time_point at;
};

// A device with a thread of its own. Every frame sent is logged and handed to
// `answer`, which says what the device posts back and after how long; the
// device thread posts it when it is due.
class ThreadedDevice : public DeliveryLink {
 public:
  using Answer = std::function<std::vector<std::pair<Clock::duration, LinkFrame>>(
      const LinkFrame& sent, int sending)>;

  explicit ThreadedDevice(Answer answer)
      : answer_(std::move(answer)), thread_([this] { Loop(); }) {}
  ~ThreadedDevice() override {
    {
      std::lock_guard lock(mutex_);
      stop_ = true;
    }
    changed_.notify_all();
    thread_.join();
  }

  bool IsUp() const override { return true; }
  MacAddress AdapterMac() const override { return kAdapter; }
  bool Send(const LinkFrame& frame) override {
    std::lock_guard lock(mutex_);
    events_.push_back({Event::Sent, frame, std::this_thread::get_id(), Clock::now()});
    const int sending = ++sendings_[frame.sequence()];
    for (auto& [delay, reply] : answer_(frame, sending))
      due_.emplace(Clock::now() + delay, reply);
    changed_.notify_all();
    return true;
  }
  void Attach(const MacAddress&, std::shared_ptr<FrameMailbox> mailbox) override {
    std::lock_guard lock(mutex_);
    mailboxes_.push_back(std::move(mailbox));
  }
  void Detach(const MacAddress&, const std::shared_ptr<FrameMailbox>& mailbox) override {
    std::lock_guard lock(mutex_);
    std::erase(mailboxes_, mailbox);
  }

  void Hook() {
    std::lock_guard lock(mutex_);
    events_.push_back({Event::Hook, {}, std::this_thread::get_id(), Clock::now()});
  }
  std::vector<Event> Events() const {
    std::lock_guard lock(mutex_);
    return events_;
  }
  std::thread::id DeviceThread() const { return thread_.get_id(); }

 private:
  void Loop() {
    std::unique_lock lock(mutex_);
    while (!stop_) {
      if (due_.empty()) {
        changed_.wait(lock);
        continue;
      }
      const auto at = due_.begin()->first;
      if (Clock::now() < at) {
        changed_.wait_until(lock, at);
        continue;
      }
      const LinkFrame reply = due_.begin()->second;
      due_.erase(due_.begin());
      const auto boxes = mailboxes_;
      // Posted without the lock: a post may send, as the receive thread's does.
      lock.unlock();
      for (const auto& box : boxes)
        box->Post(reply);
      lock.lock();
    }
  }

  Answer answer_;
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  bool stop_ = false;
  std::vector<Event> events_;
  std::map<std::uint16_t, int> sendings_;
  std::multimap<Clock::time_point, LinkFrame> due_;
  std::vector<std::shared_ptr<FrameMailbox>> mailboxes_;
  std::thread thread_;  // last: it starts once the rest is there
};

LinkFrame AckOf(const LinkFrame& f) {
  return MakeAcknowledgement(kAdapter, kDevice, f.category(), f.sequence());
}

struct Sendings {
  std::vector<std::uint16_t> numbers;  // of every sending, in order
  std::vector<LinkFrame> firsts;       // the first sending of each chunk
  bool hookBeforeLast = false;
  int fromDevice = 0;  // sendings made on the thread that posted an acknowledgement
};

Sendings Summarise(const std::vector<Event>& events, std::thread::id device) {
  Sendings s;
  std::set<std::uint16_t> seen;
  std::size_t hookAt = events.size();
  std::size_t lastAt = events.size();
  for (std::size_t i = 0; i < events.size(); ++i) {
    const Event& e = events[i];
    if (e.kind == Event::Hook) {
      hookAt = std::min(hookAt, i);
      continue;
    }
    if (seen.insert(e.frame.sequence()).second)
      s.firsts.push_back(e.frame);
    if (e.frame.chunkFlag() == CHUNK_LAST)
      lastAt = std::min(lastAt, i);
    s.numbers.push_back(e.frame.sequence());
    s.fromDevice += e.thread == device ? 1 : 0;
  }
  s.hookBeforeLast = hookAt < lastAt;
  return s;
}

std::string Reassemble(const std::vector<LinkFrame>& frames) {
  std::string bytes;
  for (const auto& f : frames)
    bytes.append(f.payload().begin(), f.payload().end());
  return bytes;
}

struct HandOverCase {
  const char* name;
  std::size_t size;
  ThreadedDevice::Answer answer;
  // The device pauses before it answers, so the job has let go of the
  // sending turn by then: the answering thread sends. (An answer that comes
  // at once may find the job still sending, which then sends for it.)
  bool sentFromDevice = false;
};

// Never a time-out here: every chunk must go out exactly once, whichever
// thread sends it, also when frames the job must look at first come between.
class HandOverTest : public ::testing::TestWithParam<HandOverCase> {};

TEST_P(HandOverTest, EveryChunkGoesOutOnceInOrder) {
  TempDir dir;
  const std::string content = Pattern(GetParam().size);
  const auto path = dir.Write("logo.png", content).string();
  ThreadedDevice device(GetParam().answer);
  DeliveryTiming timing;
  timing.resendAfter = 60s;
  ASSERT_TRUE(SendFile(device, MakeTransferTemplate(kDevice, kAdapter, LOG_DATA, OP_LOGO_CHUNK, 1),
                       LOG_DATA, path, timing, [&] { device.Hook(); }));
  const Sendings s = Summarise(device.Events(), device.DeviceThread());
  const std::size_t chunks = std::max<std::size_t>(1, (content.size() + 1023) / 1024);
  std::vector<std::uint16_t> once(chunks);
  for (std::size_t i = 0; i < chunks; ++i)
    once[i] = static_cast<std::uint16_t>(i + 1);
  EXPECT_EQ(s.numbers, once);
  EXPECT_EQ(Reassemble(s.firsts), content);
  EXPECT_TRUE(s.hookBeforeLast) << "the last frame went out before the job's hook";
  if (GetParam().sentFromDevice) {
    EXPECT_GT(s.fromDevice, 0) << "no chunk went out from the thread that got its acknowledgement";
  }
}

std::vector<std::pair<Clock::duration, LinkFrame>> At(Clock::duration delay, LinkFrame frame) {
  return {{delay, frame}};
}

INSTANTIATE_TEST_SUITE_P(
    Devices, HandOverTest,
    ::testing::Values(
        HandOverCase{"AtOnce", 100 * 1024 + 7,
                     [](const LinkFrame& f, int) { return At(0s, AckOf(f)); }},
        HandOverCase{"AfterVaryingPauses", 80 * 1024,
                     [](const LinkFrame& f, int) {
                       return At(std::chrono::microseconds(70 + f.sequence() % 5 * 70), AckOf(f));
                     },
                     true},
        // A stale acknowledgement waits in the mailbox before each real one,
        // so the job has to handle it first, in order.
        HandOverCase{"WithStaleAcknowledgementsBetween", 70 * 1024 + 1000,
                     [](const LinkFrame& f, int) {
                       LinkFrame stale = AckOf(f);
                       stale.setSequence(static_cast<std::uint16_t>(f.sequence() - 1));
                       std::vector<std::pair<Clock::duration, LinkFrame>> out;
                       if (f.sequence() % 3 == 0)
                         out.push_back({0s, stale});
                       out.push_back({0s, AckOf(f)});
                       return out;
                     }},
        HandOverCase{"WithFFFF", 40 * 1024,
                     [](const LinkFrame& f, int) {
                       LinkFrame ack = AckOf(f);
                       ack.setSequence(kAnySequence);
                       return At(0s, ack);
                     }},
        HandOverCase{"OneChunk", 600, [](const LinkFrame& f, int) { return At(0s, AckOf(f)); }}),
    [](const auto& param) { return std::string(param.param.name); });

// The acknowledgement of every fourth chunk comes about as the job's time-out
// sends that chunk again: some before it, some after. A chunk then goes out a
// second time only because of its time-out, never twice for one
// acknowledgement, and the next one is neither skipped nor sent before it.
TEST(ReceiveSideSend, AnAcknowledgementAtTheTimeOutSendsTheNextChunkOnce) {
  constexpr auto kResend = 300ms;
  TempDir dir;
  const std::string content = Pattern(24 * 1024);
  const auto path = dir.Write("c.xml", content).string();
  int raced = 0;
  ThreadedDevice device([&](const LinkFrame& f, int sending) {
    // Only the first sending is answered: a second acknowledgement would
    // hide a second sending of the next chunk among stale ones.
    if (sending > 1)
      return std::vector<std::pair<Clock::duration, LinkFrame>>{};
    if (f.sequence() % 4 != 0)
      return At(0s, AckOf(f));
    // Around the time-out: 2 ms early to 2 ms late.
    const auto offset = std::chrono::microseconds((raced++ % 5) * 1000 - 2000);
    return At(kResend + offset, AckOf(f));
  });
  DeliveryTiming timing;
  timing.resendAfter = kResend;
  ASSERT_TRUE(SendFile(device, MakeTransferTemplate(kDevice, kAdapter, PARA_DATA, OP_PARA_CHUNK, 1),
                       PARA_DATA, path, timing, [&] { device.Hook(); }));

  const std::vector<Event> events = device.Events();
  const Sendings s = Summarise(events, device.DeviceThread());
  // In order, none skipped, the file whole.
  EXPECT_TRUE(std::is_sorted(s.numbers.begin(), s.numbers.end()));
  ASSERT_EQ(s.firsts.size(), 24u);
  for (std::size_t i = 0; i < s.firsts.size(); ++i)
    EXPECT_EQ(s.firsts[i].sequence(), i + 1);
  EXPECT_EQ(Reassemble(s.firsts), content);
  // A chunk's sendings are a time-out apart: one sent twice for a single
  // acknowledgement would follow its first sending at once.
  std::map<std::uint16_t, Clock::time_point> previous;
  for (const Event& e : events) {
    if (e.kind != Event::Sent)
      continue;
    const std::uint16_t n = e.frame.sequence();
    if (previous.count(n) != 0) {
      EXPECT_GE(e.at - previous[n], kResend / 2) << "chunk " << n << " went out twice at once";
    }
    previous[n] = e.at;
  }
}

}  // namespace
}  // namespace brevant
