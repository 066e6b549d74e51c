#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "records/status_store.h"

namespace brevant {

// One target device's results as the device list shows them at the end of a
// delivery: read from the store in one go, so its codes and its verdict agree.
struct DeviceResultRow {
  std::string mac;
  // Configuration file, logo and anti-theft OperationStatus codes.
  std::array<std::int32_t, 3> codes{};
  DeviceResult verdict = RESULT_IDLE;
  std::string advice;  // the list's advice for a failed device; empty otherwise
  std::string time;    // local time the row was read, "%Y-%m-%d %H:%M:%S"
};

// The kinds of the three codes, as the results name them: "configuration",
// "logo", "antitheft".
inline constexpr std::array<std::string_view, 3> kResultKinds = {"configuration", "logo",
                                                                 "antitheft"};

// Each target's row, in target order. A target the store does not hold is
// idle with all codes 0.
std::vector<DeviceResultRow> ReadDeviceResults(CSqlManagement& store,
                                               const std::vector<std::string>& targets);

// "success", "failed", "busy", "idle": untranslated, for scripts.
std::string_view VerdictName(DeviceResult verdict);

}  // namespace brevant
