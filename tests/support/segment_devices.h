#pragma once

// The simulator's devices on a station of the in-memory segment, answering
// from a thread of their own until destroyed. Free of the test framework so
// the window gallery can run the same devices.

#include <atomic>
#include <chrono>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "device_plan.h"
#include "link/memory_segment.h"
#include "simulator.h"

namespace brevant::testing {

class SegmentDevices {
 public:
  // When the station cannot be opened nothing runs; OpenError() says why.
  SegmentDevices(const std::shared_ptr<MemorySegment>& segment,
                 std::vector<devsim::DevicePlan> plans, std::filesystem::path out = {},
                 const std::string& station = "dev0") {
    CaptureOptions options;
    options.filter = "ether proto 0x6262";
    endpoint_ = segment->Station(station)->Open(station, options, &openError_);
    if (!endpoint_)
      return;
    simulator_ = std::make_unique<devsim::Simulator>(
        std::move(plans), [this](const LinkFrame& frame) { return endpoint_->Send(frame); },
        std::move(out));
    thread_ = std::thread([this] { Loop(); });
  }
  ~SegmentDevices() {
    stop_ = true;
    if (thread_.joinable())
      thread_.join();
  }
  SegmentDevices(const SegmentDevices&) = delete;
  SegmentDevices& operator=(const SegmentDevices&) = delete;

  bool Running() const { return endpoint_ != nullptr; }
  const std::string& OpenError() const { return openError_; }

 private:
  void Loop() {
    using Clock = devsim::Simulator::Clock;
    LinkFrame frame;
    while (!stop_) {
      const auto next = simulator_->SendDue(Clock::now());
      auto deadline = Clock::now() + std::chrono::milliseconds(20);
      if (next && *next < deadline)
        deadline = *next;
      endpoint_->WaitReadable(deadline);
      std::size_t length = 0;
      while (endpoint_->Read(frame, &length) == ReadStatus::Frame)
        simulator_->OnFrame(frame, length, Clock::now());
    }
  }

  std::string openError_;
  std::unique_ptr<CaptureEndpoint> endpoint_;
  std::unique_ptr<devsim::Simulator> simulator_;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

}  // namespace brevant::testing
