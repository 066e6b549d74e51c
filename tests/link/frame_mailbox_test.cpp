// The mailbox between the receive thread and a delivery job.

#include <gtest/gtest.h>

#include <chrono>
#include <thread>
#include <vector>

#include "link/delivery_link.h"

namespace brevant {
namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

LinkFrame Numbered(std::uint16_t n) {
  return MakeAcknowledgement({0x02, 0, 0, 0, 0, 1}, {0x02, 0x62, 0, 0, 0, 1}, PARA_DATA, n);
}

TEST(FrameMailbox, KeepsOrderWhileItGrowsAndWrapsAndCountsWhatDidNotFit) {
  FrameMailbox box(10);
  std::uint16_t posted = 0;
  std::uint16_t taken = 0;
  // Take fewer than are posted, so the ring wraps at every size it grows through.
  for (int round = 0; round < 6; ++round) {
    for (int i = 0; i < 3; ++i)
      box.Post(Numbered(++posted));
    for (int i = 0; i < 2; ++i) {
      const auto got = box.WaitUntil(Clock::now());
      ASSERT_TRUE(got);
      EXPECT_EQ(got->sequence(), ++taken);
    }
  }
  // 6 held; 4 more fit, the next 3 do not.
  for (int i = 0; i < 7; ++i)
    box.Post(Numbered(++posted));
  EXPECT_EQ(box.TakeDropped(), 3u);
  EXPECT_EQ(box.TakeDropped(), 0u) << "counted once";
  EXPECT_EQ(box.Held(), 10u);
  for (int i = 0; i < 10; ++i) {
    const auto got = box.WaitUntil(Clock::now());
    ASSERT_TRUE(got);
    EXPECT_EQ(got->sequence(), ++taken);
  }
  EXPECT_FALSE(box.WaitUntil(Clock::time_point::min()));
}

TEST(FrameMailbox, AWaitEndsAtItsDeadlineOrWithTheFramePostedMeanwhile) {
  FrameMailbox box(4096);  // room for all: a slow reader loses nothing
  const auto start = Clock::now();
  EXPECT_FALSE(box.WaitUntil(start + 50ms));
  EXPECT_GE(Clock::now() - start, 50ms);

  // Many hand-overs, each to a reader that may or may not be asleep yet.
  constexpr std::uint16_t kFrames = 2000;
  std::thread reader([&] {
    for (std::uint16_t n = 1; n <= kFrames; ++n) {
      const auto got = box.WaitUntil(Clock::now() + 5s);
      ASSERT_TRUE(got) << "frame " << n << " was posted but not seen";
      ASSERT_EQ(got->sequence(), n);
    }
  });
  for (std::uint16_t n = 1; n <= kFrames; ++n) {
    box.Post(Numbered(n));
    if (n % 3 == 0)
      std::this_thread::sleep_for(20us);
  }
  reader.join();
  EXPECT_EQ(box.TakeDropped(), 0u);
}

}  // namespace
}  // namespace brevant
