#pragma once

// The simulator's devices on a station of the in-memory segment, answering
// from a thread of their own until destroyed; a station that cannot be
// opened fails the test.

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "device_plan.h"
#include "support/segment_devices.h"

namespace brevant::testing {

class SimulatedDevices : public SegmentDevices {
 public:
  SimulatedDevices(const std::shared_ptr<MemorySegment>& segment,
                   std::vector<devsim::DevicePlan> plans, std::filesystem::path out = {},
                   const std::string& station = "dev0")
      : SegmentDevices(segment, std::move(plans), std::move(out), station) {
    EXPECT_TRUE(Running()) << OpenError();
  }

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
};

}  // namespace brevant::testing
