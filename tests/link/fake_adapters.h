#pragma once

#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "link/adapters.h"

namespace brevant::testing {

// Adapters and capture devices as a test sets them.
class FakeAdapterSource : public AdapterSource {
 public:
  std::vector<AdapterRecord> Entries() override {
    std::lock_guard lock(mutex_);
    return entries;
  }
  bool CaptureDevices(std::vector<std::string>& names, std::string& error) override {
    std::lock_guard lock(mutex_);
    if (captureListFails) {
      error = "no permission to list devices";
      return false;
    }
    names = captureDevices;
    return true;
  }
  std::optional<int> Mtu(const std::string& interfaceName) override {
    std::lock_guard lock(mutex_);
    const auto it = mtus.find(interfaceName);
    if (it == mtus.end())
      return std::nullopt;
    return it->second;
  }

  // Set before the source is shared with other threads.
  std::vector<AdapterRecord> entries;
  std::vector<std::string> captureDevices;
  bool captureListFails = false;
  std::map<std::string, int> mtus;

 private:
  std::mutex mutex_;
};

inline AdapterRecord Adapter(const std::string& name, const MacAddress& mac,
                             std::uint8_t kind = 1) {
  AdapterRecord record;
  record.kind = kind;
  record.mac = mac;
  record.name = name;
  record.description = name + " - test";
  return record;
}

}  // namespace brevant::testing
