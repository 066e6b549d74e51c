#include "workflow/delivery_watch.h"

namespace brevant {

DeliveryWatch::DeliveryWatch(CSqlManagement& store, std::vector<std::string> targets,
                             int limitSeconds)
    : store_(store),
      targets_(std::move(targets)),
      written_(targets_.size(), -1),
      limit_(limitSeconds) {}

std::vector<DeviceResult> DeliveryWatch::UpdateTargets() {
  std::vector<DeviceResult> verdicts;
  verdicts.reserve(targets_.size());
  for (std::size_t i = 0; i < targets_.size(); ++i) {
    const DeviceResult verdict = store_.EvaluateDevice(targets_[i]);
    // With a thousand targets the writes are most of a tick.
    if (written_[i] != verdict && store_.SetResult(targets_[i], verdict))
      written_[i] = verdict;
    verdicts.push_back(verdict);
  }
  return verdicts;
}

void DeliveryWatch::UpdateCounters() {
  std::vector<ap_info_stu> rows;
  int count = 0;
  int successes = 0;
  int failures = 0;
  // A store that fails shows zero counts; the watch then runs its time out.
  if (!store_.QueryDevices(true, SORT_BY_MAC, "", rows, count, successes, failures)) {
    successes = failures = 0;
  }
  successes_ = successes;
  failures_ = failures;
}

bool DeliveryWatch::Advance(int seconds) {
  elapsed_ += seconds;
  return elapsed_ >= limit_ || successes_ + failures_ == static_cast<int>(targets_.size());
}

}  // namespace brevant
