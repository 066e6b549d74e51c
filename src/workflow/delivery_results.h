#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
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

// The results as CSV, for the window's "Export results..." and brevant-cli's
// --csv. A header line, then one line per row with the columns mac,
// configuration_code, configuration_status, logo_code, logo_status,
// antitheft_code, antitheft_status, verdict, advice, time: codes as numbers,
// statuses in English, the verdict as VerdictName gives it. UTF-8 without a
// byte-order mark, CR LF line ends; a field holding a comma, a quotation mark,
// CR or LF is quoted, its quotation marks doubled (RFC 4180).
std::string ResultsCsvText(const std::vector<DeviceResultRow>& rows);

// Writes ResultsCsvText to the file, replacing it whole or leaving it as it
// was: the text goes to a temporary file beside it, which then takes its
// name. False, with a message naming the file and the reason in *error, when
// it cannot be written.
bool ExportResultsCsv(const std::vector<DeviceResultRow>& rows, const std::filesystem::path& file,
                      std::string* error = nullptr);
// The same for the targets' rows as the store holds them now.
bool ExportResultsCsv(CSqlManagement& store, const std::vector<std::string>& targets,
                      const std::filesystem::path& file, std::string* error = nullptr);

}  // namespace brevant
