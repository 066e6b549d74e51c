#pragma once

// The simulator's devices on a station of the in-memory segment, answering
// from a thread of their own until destroyed.

#include <gtest/gtest.h>

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

class SimulatedDevices {
 public:
  SimulatedDevices(const std::shared_ptr<MemorySegment>& segment,
                   std::vector<devsim::DevicePlan> plans, std::filesystem::path out = {},
                   const std::string& station = "dev0") {
    CaptureOptions options;
    options.filter = "ether proto 0x6262";
    std::string error;
    endpoint_ = segment->Station(station)->Open(station, options, &error);
    EXPECT_TRUE(endpoint_) << error;
    if (!endpoint_)
      return;
    simulator_ = std::make_unique<devsim::Simulator>(
        std::move(plans), [this](const LinkFrame& frame) { return endpoint_->Send(frame); },
        std::move(out));
    thread_ = std::thread([this] { Loop(); });
  }
  ~SimulatedDevices() {
    stop_ = true;
    if (thread_.joinable())
      thread_.join();
  }
  SimulatedDevices(const SimulatedDevices&) = delete;
  SimulatedDevices& operator=(const SimulatedDevices&) = delete;

  // Plans from devsim's device texts ("mac=02:62:00:00:00:0A,report=fail").
  static std::vector<devsim::DevicePlan> Plans(const std::vector<std::string>& texts) {
    std::vector<devsim::DevicePlan> plans;
    for (const auto& text : texts) {
      std::string error;
      auto plan = devsim::ParseDevicePlan(text, &error);
      EXPECT_TRUE(plan) << error;
      if (plan)
        plans.push_back(*plan);
    }
    return plans;
  }

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

  std::unique_ptr<CaptureEndpoint> endpoint_;
  std::unique_ptr<devsim::Simulator> simulator_;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

}  // namespace brevant::testing
