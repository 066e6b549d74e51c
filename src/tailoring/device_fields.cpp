#include "tailoring/device_fields.h"

#include <atomic>

#include "text/text.h"

namespace brevant {

namespace {
std::atomic<bool> wifiColumns{false};
}  // namespace

bool HasVidColumn(const DeviceFieldRecord& templateFields, int w) {
  return w >= 0 && w < kMaxWanEntries && AtoiLike(templateFields.vid[w]) != 0;
}

bool HasPppColumns(const DeviceFieldRecord& templateFields, int w) {
  return w >= 0 && w < kMaxWanEntries && AtoiLike(templateFields.ChannelMode[w]) == 2;
}

bool WifiColumnsFlag() {
  return wifiColumns.load();
}

void SetWifiColumnsFlag(bool on) {
  wifiColumns.store(on);
}

std::string DeviceFileStem(std::string_view mac) {
  std::string stem;
  stem.reserve(mac.size());
  for (const char c : mac) {
    if (c != ':')
      stem.push_back(c);
  }
  return stem;
}

}  // namespace brevant
