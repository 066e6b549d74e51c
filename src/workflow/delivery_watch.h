#pragma once

#include <string>
#include <vector>

#include "records/status_store.h"

namespace brevant {

// Watches one delivery from the store, as the device list does: each target's
// verdict written back with SetResult, the success and failure counters, and
// the end of the watch (every target counted, or the time is over).
class DeliveryWatch {
 public:
  DeliveryWatch(CSqlManagement& store, std::vector<std::string> targets, int limitSeconds);

  // Each target's verdict, in target order, also written into its row (a
  // verdict the row already got from this watch is not written again).
  std::vector<DeviceResult> UpdateTargets();
  // The counters over every row of the store (the list's counters).
  void UpdateCounters();
  // Time passes; true when the watch is over.
  bool Advance(int seconds);

  int successes() const { return successes_; }
  int failures() const { return failures_; }
  int elapsed() const { return elapsed_; }
  const std::vector<std::string>& targets() const { return targets_; }

 private:
  CSqlManagement& store_;
  std::vector<std::string> targets_;
  // The verdict last written into each target's row; -1 before the first.
  std::vector<int> written_;
  int limit_;
  int elapsed_ = 0;
  int successes_ = 0;
  int failures_ = 0;
};

}  // namespace brevant
