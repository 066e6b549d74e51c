#include "workflow/delivery_results.h"

#include <ctime>
#include <unordered_map>

#include "text/text.h"

namespace brevant {

namespace {

std::string LocalTimeNow() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
  return text;
}

}  // namespace

std::vector<DeviceResultRow> ReadDeviceResults(CSqlManagement& store,
                                               const std::vector<std::string>& targets) {
  std::vector<ap_info_stu> stored;
  int count = 0, successes = 0, failures = 0;
  store.QueryDevices(true, SORT_BY_MAC, "", stored, count, successes, failures);
  std::unordered_map<std::string, const ap_info_stu*> byMac;
  for (const ap_info_stu& row : stored)
    byMac.emplace(AsciiLower(row.mac), &row);

  const std::string time = LocalTimeNow();
  std::vector<DeviceResultRow> rows;
  rows.reserve(targets.size());
  for (const std::string& mac : targets) {
    DeviceResultRow row;
    row.mac = mac;
    row.time = time;
    if (const auto found = byMac.find(AsciiLower(mac)); found != byMac.end()) {
      const ap_info_stu& s = *found->second;
      row.codes = {s.paraStatus, s.logoStatus, s.antiTheftStatus};
    }
    row.verdict = CSqlManagement::EvaluateCodes(row.codes[0], row.codes[1], row.codes[2]);
    if (row.verdict == RESULT_FAILED)
      row.advice = CSqlManagement::GetAdvice(mac);
    rows.push_back(std::move(row));
  }
  return rows;
}

std::string_view VerdictName(DeviceResult verdict) {
  switch (verdict) {
    case RESULT_SUCCESS:
      return "success";
    case RESULT_FAILED:
      return "failed";
    case RESULT_BUSY:
      return "busy";
    case RESULT_IDLE:
      break;
  }
  return "idle";
}

}  // namespace brevant
