#pragma once

#include <functional>
#include <map>
#include <mutex>
#include <vector>

#include "link/delivery_link.h"

namespace brevant::testing {

// A link whose far side is a function: every frame the job sends is recorded
// and handed to the device, which answers by posting to the attached mailboxes.
class FakeLink : public DeliveryLink {
 public:
  using Device = std::function<void(FakeLink&, const LinkFrame&)>;

  explicit FakeLink(Device device = {}) : device_(std::move(device)) {}

  bool IsUp() const override {
    std::lock_guard lock(mutex_);
    ++upQueries_;
    return up_;
  }
  MacAddress AdapterMac() const override { return {0x02, 0, 0, 0, 0, 1}; }
  bool Send(const LinkFrame& frame) override {
    {
      std::lock_guard lock(mutex_);
      sent_.push_back(frame);
    }
    if (device_)
      device_(*this, frame);
    return true;
  }
  void Attach(const MacAddress& device, std::shared_ptr<FrameMailbox> mailbox) override {
    std::lock_guard lock(mutex_);
    boxes_[device].push_back(std::move(mailbox));
  }
  void Detach(const MacAddress& device, const std::shared_ptr<FrameMailbox>& mailbox) override {
    std::lock_guard lock(mutex_);
    auto& list = boxes_[device];
    std::erase(list, mailbox);
  }

  // What the receive thread would do with a frame from a device.
  void Deliver(const LinkFrame& frame) {
    std::vector<std::shared_ptr<FrameMailbox>> boxes;
    {
      std::lock_guard lock(mutex_);
      boxes = boxes_[frame.source()];
    }
    for (auto& box : boxes)
      box->Post(frame);
  }

  void SetUp(bool up) {
    std::lock_guard lock(mutex_);
    up_ = up;
  }
  std::vector<LinkFrame> Sent() const {
    std::lock_guard lock(mutex_);
    return sent_;
  }
  int UpQueries() const {
    std::lock_guard lock(mutex_);
    return upQueries_;
  }
  std::size_t Attached(const MacAddress& device) const {
    std::lock_guard lock(mutex_);
    const auto found = boxes_.find(device);
    return found == boxes_.end() ? 0 : found->second.size();
  }

 private:
  Device device_;
  mutable std::mutex mutex_;
  bool up_ = true;
  mutable int upQueries_ = 0;
  std::vector<LinkFrame> sent_;
  std::map<MacAddress, std::vector<std::shared_ptr<FrameMailbox>>> boxes_;
};

}  // namespace brevant::testing
