#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace brevant {

// Releases one waiting thread per Set, then resets; a Set with nobody waiting
// is kept for the next wait. Several Sets before a wait count as one.
class AutoResetEvent {
 public:
  void Set() {
    {
      std::lock_guard lock(mutex_);
      signalled_ = true;
    }
    condition_.notify_one();
  }

  // True when the event was set (and is now reset); false at the deadline.
  bool WaitUntil(std::chrono::steady_clock::time_point deadline) {
    std::unique_lock lock(mutex_);
    if (!condition_.wait_until(lock, deadline, [&] { return signalled_; }))
      return false;
    signalled_ = false;
    return true;
  }

  template <class Rep, class Period>
  bool WaitFor(std::chrono::duration<Rep, Period> timeout) {
    return WaitUntil(std::chrono::steady_clock::now() + timeout);
  }

 private:
  std::mutex mutex_;
  std::condition_variable condition_;
  bool signalled_ = false;
};

}  // namespace brevant
