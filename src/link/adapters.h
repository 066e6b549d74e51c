#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "link/frame.h"

namespace brevant {

inline constexpr std::size_t kAdapterDescriptionMax = 131;
inline constexpr std::size_t kAdapterNameMax = 259;
// A 1286-byte frame is 1272 bytes after its Ethernet header: an interface that
// carries less would cut every frame.
inline constexpr int kMinimumLinkMtu = 1272;

// One adapter as listed for the operator.
struct AdapterRecord {
  std::uint8_t kind = 0;  // 1: offered to the operator
  MacAddress mac{};
  std::string description;  // readable name, at most 131 bytes
  std::string name;         // system name, at most 259 bytes

  bool operator==(const AdapterRecord&) const = default;
};

// Where adapters come from: the system's interfaces, or a fake in tests.
class AdapterSource {
 public:
  virtual ~AdapterSource() = default;
  // Every interface in the system's order; kind 1 for those to offer.
  virtual std::vector<AdapterRecord> Entries() = 0;
  // The capture library's device names in its order; false (with the
  // library's reason) when the list cannot be had.
  virtual bool CaptureDevices(std::vector<std::string>& names, std::string& error) = 0;
  // The interface's MTU; nothing when it cannot be read.
  virtual std::optional<int> Mtu(const std::string& interfaceName) = 0;
};

// The interfaces under a sysfs net folder, in interface-index order. Ethernet
// (type 1) interfaces that are up, loopback excluded, are kind 1. The
// description is the name with the device's model or its driver. Capture
// devices come from pcap_findalldevs, MTUs from the kernel, both in the
// calling thread's network namespace.
class SysfsAdapterSource : public AdapterSource {
 public:
  explicit SysfsAdapterSource(std::filesystem::path root = "/sys/class/net");

  std::vector<AdapterRecord> Entries() override;
  bool CaptureDevices(std::vector<std::string>& names, std::string& error) override;
  std::optional<int> Mtu(const std::string& interfaceName) override;

 private:
  std::filesystem::path root_;
};

// The entries of kind 1, in order.
std::vector<AdapterRecord> OfferedAdapters(AdapterSource& source);

// The first capture device whose name is the adapter's name exactly (a
// substring test would take eth10 for eth1).
std::optional<std::string> MatchCaptureDevice(const std::vector<std::string>& captureDevices,
                                              std::string_view adapterName);

// "Intel I219-LM (00:1A:2B:3C:4D:5E)": the adapter list's text of one record.
std::string AdapterListText(const AdapterRecord& record);

// The interface's MTU from the kernel, in the calling thread's namespace.
std::optional<int> InterfaceMtu(const std::string& interfaceName);

}  // namespace brevant
