#include "link/delivery_link.h"

namespace brevant {

void FrameMailbox::Post(const LinkFrame& frame) {
  {
    std::lock_guard lock(mutex_);
    if (frames_.size() >= capacity_) {
      ++dropped_;
      return;
    }
    frames_.push_back(frame);
  }
  arrived_.notify_one();
}

std::optional<LinkFrame> FrameMailbox::WaitUntil(std::chrono::steady_clock::time_point deadline) {
  std::unique_lock lock(mutex_);
  if (!arrived_.wait_until(lock, deadline, [&] { return !frames_.empty(); }))
    return std::nullopt;
  LinkFrame frame = frames_.front();
  frames_.pop_front();
  return frame;
}

std::size_t FrameMailbox::TakeDropped() {
  std::lock_guard lock(mutex_);
  const std::size_t dropped = dropped_;
  dropped_ = 0;
  return dropped;
}

}  // namespace brevant
