#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>

#include "link/frame.h"

namespace brevant {

// Frames from one device, handed from the shared receive thread to a running
// delivery job. Bounded: a device that floods the tool cannot grow it without
// limit; frames that do not fit are counted as dropped.
class FrameMailbox {
 public:
  explicit FrameMailbox(std::size_t capacity = 1024) : capacity_(capacity) {}

  void Post(const LinkFrame& frame);
  // The oldest frame, waiting until the deadline at most.
  std::optional<LinkFrame> WaitUntil(std::chrono::steady_clock::time_point deadline);
  // Frames that arrived while the box was full, since the last call.
  std::size_t TakeDropped();

 private:
  std::mutex mutex_;
  std::condition_variable arrived_;
  std::deque<LinkFrame> frames_;
  std::size_t capacity_;
  std::size_t dropped_ = 0;
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
  virtual bool Send(const LinkFrame& frame) = 0;
  // From now on every frame whose source is the device is also posted to the
  // mailbox, until Detach. Several mailboxes may watch one device.
  virtual void Attach(const MacAddress& device, std::shared_ptr<FrameMailbox> mailbox) = 0;
  virtual void Detach(const MacAddress& device, const std::shared_ptr<FrameMailbox>& mailbox) = 0;
};

}  // namespace brevant
