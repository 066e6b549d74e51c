#include "link/scan_procedure.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace brevant {
namespace {

// A scan against a scripted row count: counts[i] is what the store holds at
// tick i + 1 (the last value holds on).
struct ScriptedScan {
  explicit ScriptedScan(std::vector<int> script) : counts(std::move(script)) {
    ScanActions actions;
    actions.clearDevices = [this] { calls.push_back("ClearDevices"); };
    actions.deleteAllDevices = [this] { calls.push_back("DeleteAllDevices"); };
    actions.sendDiscover = [this] {
      calls.push_back("SendDiscover");
      broadcastTicks.push_back(ticks);
    };
    actions.countDevices = [this] {
      ++ticks;
      return counts[std::min<std::size_t>(ticks - 1, counts.size() - 1)];
    };
    scan = std::make_unique<ScanProcedure>(std::move(actions));
  }

  // Ticks until the scan is over; the tick on which it ended.
  int Run(int limit = 100) {
    scan->Start();
    for (int tick = 1; tick <= limit; ++tick) {
      if (scan->Tick())
        return tick;
    }
    return -1;
  }

  std::vector<int> counts;
  std::size_t ticks = 0;
  std::vector<std::string> calls;
  std::vector<std::size_t> broadcastTicks;
  std::unique_ptr<ScanProcedure> scan;
};

TEST(ScanProcedure, StartEmptiesTableAndStoreThenBroadcasts) {
  ScriptedScan s({0});
  s.scan->Start();
  EXPECT_EQ(s.calls,
            (std::vector<std::string>{"ClearDevices", "DeleteAllDevices", "SendDiscover"}));
  EXPECT_TRUE(s.scan->Running());
  EXPECT_EQ(s.scan->TickNumber(), 0);
  EXPECT_EQ(s.scan->RememberedCount(), 0);
}

TEST(ScanProcedure, EndsAtTheFirstFourthTickWithoutGrowthAndRebroadcastsEveryTwelfth) {
  struct Case {
    const char* what;
    std::vector<int> counts;  // per tick from tick 1
    int endTick;
    std::vector<std::size_t> broadcastTicks;  // 0: the one at the start
  };
  const Case cases[] = {
      {"three devices within the first second", {3}, 4, {0}},
      {"no device", {0}, 4, {0}},
      {"growth until tick 12", {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}, 16, {0, 12}},
      {"growth between ticks 1 and 4 only", {1, 2, 3, 4}, 8, {0}},
      {"a device found on tick 2 only", {0, 1}, 8, {0}},
      {"growth until tick 24",
       {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21, 22, 23, 24},
       28,
       {0, 12, 24}},
      {"a device lost between checks still differs", {2, 2, 2, 1}, 8, {0}},
  };
  for (const auto& c : cases) {
    ScriptedScan s(c.counts);
    EXPECT_EQ(s.Run(), c.endTick) << c.what;
    EXPECT_EQ(s.broadcastTicks, c.broadcastTicks) << c.what;
    EXPECT_EQ(s.scan->EndedOnTick(), c.endTick) << c.what;
    EXPECT_EQ(s.scan->Broadcasts(), static_cast<int>(c.broadcastTicks.size())) << c.what;
    EXPECT_FALSE(s.scan->Running()) << c.what;
    EXPECT_EQ(s.scan->TickNumber(), 0) << c.what;
    EXPECT_EQ(s.scan->RememberedCount(), 0) << c.what;
  }
}

TEST(ScanProcedure, RemembersTheCountOfTickOneAndOfEveryCheck) {
  ScriptedScan s({5, 6, 7, 8, 9});
  s.scan->Start();
  EXPECT_FALSE(s.scan->Tick());
  EXPECT_EQ(s.scan->RememberedCount(), 5);
  EXPECT_FALSE(s.scan->Tick());
  EXPECT_FALSE(s.scan->Tick());
  EXPECT_EQ(s.scan->RememberedCount(), 5);
  EXPECT_FALSE(s.scan->Tick());
  EXPECT_EQ(s.scan->TickNumber(), 4);
  EXPECT_EQ(s.scan->RememberedCount(), 8);
}

TEST(ScanProcedure, ATickWhileIdleDoesNothing) {
  ScriptedScan s({1});
  EXPECT_TRUE(s.scan->Tick());
  EXPECT_EQ(s.ticks, 0u);
  EXPECT_TRUE(s.calls.empty());
  // A new start after an end begins from zero.
  EXPECT_EQ(s.Run(), 4);
  EXPECT_EQ(s.Run(), 4);
}

}  // namespace
}  // namespace brevant
