#include "link/delivery_link.h"

#include <linux/futex.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <ctime>

namespace brevant {

namespace {

// Room for a few frames first: a stop-and-wait job rarely holds more than one.
constexpr std::size_t kInitialRing = 4;

int* FutexWord(std::atomic<std::uint32_t>& word) {
  static_assert(sizeof(std::atomic<std::uint32_t>) == sizeof(int));
  return reinterpret_cast<int*>(&word);
}

// Sleeps while the word holds `seen`, until a wake-up or the deadline on the
// steady clock (CLOCK_MONOTONIC). Returns at once when the word has changed.
void FutexWaitUntil(std::atomic<std::uint32_t>& word, std::uint32_t seen,
                    std::chrono::steady_clock::time_point deadline) {
  const auto since = deadline.time_since_epoch();
  const auto secs = std::chrono::duration_cast<std::chrono::seconds>(since);
  timespec at{};
  at.tv_sec = static_cast<std::time_t>(secs.count());
  at.tv_nsec = static_cast<long>(std::chrono::nanoseconds(since - secs).count());
  ::syscall(SYS_futex, FutexWord(word), FUTEX_WAIT_BITSET | FUTEX_PRIVATE_FLAG,
            static_cast<int>(seen), &at, nullptr, FUTEX_BITSET_MATCH_ANY);
}

void FutexWakeAll(std::atomic<std::uint32_t>& word) {
  ::syscall(SYS_futex, FutexWord(word), FUTEX_WAKE | FUTEX_PRIVATE_FLAG, INT_MAX, nullptr, nullptr,
            0);
}

}  // namespace

FrameMailbox::FrameMailbox(std::size_t capacity) : capacity_(std::max<std::size_t>(capacity, 1)) {}

void FrameMailbox::Post(const LinkFrame& frame) {
  bool wake = false;
  bool taken = false;
  {
    std::lock_guard lock(mutex_);
    if (count_ == 0 && dropped_ == 0) {
      bool wakeToo = false;
      taken = TakeLocked(frame, wakeToo);
      if (taken)
        wake = wakeToo && NoteWakeLocked();
    }
    if (!taken) {
      if (count_ >= capacity_) {
        ++dropped_;
        return;
      }
      if (count_ == ring_.size()) {
        // Full but below capacity: unroll into a ring twice the size.
        std::vector<LinkFrame> grown(std::min(capacity_, std::max(kInitialRing, ring_.size() * 2)));
        for (std::size_t i = 0; i < count_; ++i)
          grown[i] = ring_[(head_ + i) % ring_.size()];
        ring_.swap(grown);
        head_ = 0;
      }
      ring_[(head_ + count_) % ring_.size()] = frame;
      ++count_;
      wake = NoteWakeLocked();
    }
  }
  if (taken)
    AfterTake();
  if (wake)
    WakeReader();
}

bool FrameMailbox::NoteWakeLocked() {
  if (waiters_ == 0)
    return false;
  posts_.fetch_add(1, std::memory_order_relaxed);
  return true;
}

void FrameMailbox::WakeReader() {
  FutexWakeAll(posts_);
}

std::optional<LinkFrame> FrameMailbox::PopLocked() {
  if (count_ == 0)
    return std::nullopt;
  LinkFrame frame = ring_[head_];
  head_ = (head_ + 1) % ring_.size();
  --count_;
  return frame;
}

void FrameMailbox::SleepLocked(std::unique_lock<std::mutex>& lock,
                               std::chrono::steady_clock::time_point deadline) {
  // Read under the lock: a post or wake after it changes the word, so the
  // sleep below either sees the change or is woken by it.
  const std::uint32_t seen = posts_.load(std::memory_order_relaxed);
  ++waiters_;
  lock.unlock();
  FutexWaitUntil(posts_, seen, deadline);
  lock.lock();
  --waiters_;
}

std::optional<LinkFrame> FrameMailbox::WaitUntil(std::chrono::steady_clock::time_point deadline) {
  std::unique_lock lock(mutex_);
  while (count_ == 0) {
    if (std::chrono::steady_clock::now() >= deadline)
      return std::nullopt;
    SleepLocked(lock, deadline);
  }
  return PopLocked();
}

std::size_t FrameMailbox::Held() {
  std::lock_guard lock(mutex_);
  return count_;
}

std::size_t FrameMailbox::TakeDroppedLocked() {
  const std::size_t dropped = dropped_;
  dropped_ = 0;
  return dropped;
}

std::size_t FrameMailbox::TakeDropped() {
  std::lock_guard lock(mutex_);
  return TakeDroppedLocked();
}

}  // namespace brevant
