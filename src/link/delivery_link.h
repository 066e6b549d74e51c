#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "link/frame.h"

namespace brevant {

// Frames from one device, handed from the shared receive thread to a running
// delivery job. Bounded: a device that floods the tool cannot grow it without
// limit; frames that do not fit are counted as dropped.
//
// It is on the path of every chunk of every job, so it allocates nothing per
// frame (a ring that grows by doubling up to its capacity) and a wake-up costs
// one system call on each side: the wait is a futex on a counter, not a
// condition variable, whose mutex would cost one more after every wake-up.
//
// A subclass may take a frame as it is posted (TakeLocked), so that the
// posting thread answers it without waking the reader at all.
class FrameMailbox {
 public:
  explicit FrameMailbox(std::size_t capacity = 1024);
  virtual ~FrameMailbox() = default;
  FrameMailbox(const FrameMailbox&) = delete;
  FrameMailbox& operator=(const FrameMailbox&) = delete;

  void Post(const LinkFrame& frame);
  // The oldest frame, waiting until the deadline at most.
  std::optional<LinkFrame> WaitUntil(std::chrono::steady_clock::time_point deadline);
  // Frames that arrived while the box was full, since the last call.
  std::size_t TakeDropped();
  // Frames waiting now; never more than the capacity.
  std::size_t Held();

 protected:
  // Offered each posted frame that finds no frame waiting (so frames are
  // still taken in the order they came), under the lock. True when it took
  // the frame, which is then not kept; setting *wake wakes the reader all the
  // same. AfterTake follows on the posting thread, without the lock.
  virtual bool TakeLocked(const LinkFrame& /*frame*/, bool& /*wake*/) { return false; }
  virtual void AfterTake() {}

  std::mutex& Mutex() { return mutex_; }
  // Under the lock: the oldest frame, if any.
  std::optional<LinkFrame> PopLocked();
  std::size_t TakeDroppedLocked();
  // Sleeps until a post, a wake or the deadline, letting go of the lock meanwhile.
  void SleepLocked(std::unique_lock<std::mutex>& lock,
                   std::chrono::steady_clock::time_point deadline);
  // Under the lock: the sleeping reader is to wake. True when one sleeps:
  // the caller then calls WakeReader once it has let go of the lock.
  bool NoteWakeLocked();
  void WakeReader();

 private:
  std::mutex mutex_;
  std::vector<LinkFrame> ring_;
  std::size_t head_ = 0;   // the oldest frame
  std::size_t count_ = 0;  // frames held
  std::size_t capacity_;
  std::size_t dropped_ = 0;
  int waiters_ = 0;
  // The futex word: changes with every post or wake that finds a waiter.
  std::atomic<std::uint32_t> posts_{0};
};

// What a delivery job needs of the link: the selected adapter, the one shared
// send handle, and the frames of its device from the one receive handle.
class DeliveryLink {
 public:
  virtual ~DeliveryLink() = default;

  // True while the receive handle is open (a scan or Init has brought it up).
  virtual bool IsUp() const = 0;
  virtual MacAddress AdapterMac() const = 0;
  // Sends exactly 1286 bytes on the shared send handle; false when it failed.
  // A frame may be sent by another thread that holds the handle at that
  // moment; it counts as sent.
  virtual bool Send(const LinkFrame& frame) = 0;
  // From now on every frame whose source is the device is also posted to the
  // mailbox, until Detach. Several mailboxes may watch one device. A post may
  // call Send on the posting thread (a job's next chunk answers its device's
  // acknowledgement there), so the link posts without holding a lock that
  // Send takes.
  virtual void Attach(const MacAddress& device, std::shared_ptr<FrameMailbox> mailbox) = 0;
  virtual void Detach(const MacAddress& device, const std::shared_ptr<FrameMailbox>& mailbox) = 0;
};

}  // namespace brevant
