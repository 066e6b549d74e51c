#include "link/adapters.h"

#include <net/if.h>
#include <pcap/pcap.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <fstream>
#include <system_error>

#include "text/text.h"

namespace brevant {

namespace {

namespace fs = std::filesystem;

std::optional<std::string> ReadSmallFile(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  if (!in)
    return std::nullopt;
  std::string text(4096, '\0');
  in.read(text.data(), static_cast<std::streamsize>(text.size()));
  text.resize(static_cast<std::size_t>(in.gcount()));
  return TrimWhite(text);
}

std::optional<long> ReadNumber(const fs::path& file, int base) {
  const auto text = ReadSmallFile(file);
  if (!text || text->empty())
    return std::nullopt;
  errno = 0;
  char* end = nullptr;
  const long value = std::strtol(text->c_str(), &end, base);
  if (errno != 0 || end == text->c_str() || *end != '\0')
    return std::nullopt;
  return value;
}

fs::path Resolved(const fs::path& path) {
  std::error_code error;
  fs::path resolved = fs::canonical(path, error);
  return error ? fs::path() : resolved;
}

// What sysfs tells about the hardware behind an interface: the model of a
// USB adapter, else the driver's name, else that it is virtual.
std::string HardwareOf(const fs::path& interfaceDir) {
  const fs::path device = Resolved(interfaceDir / "device");
  if (!device.empty()) {
    // A USB network function sits below the USB device that names the model.
    if (Resolved(device / "subsystem").filename() == "usb") {
      for (const fs::path& dir : {device, device.parent_path()}) {
        const auto product = ReadSmallFile(dir / "product");
        if (product && !product->empty()) {
          const auto maker = ReadSmallFile(dir / "manufacturer");
          return maker && !maker->empty() ? *maker + " " + *product : *product;
        }
      }
    }
    const fs::path driver = Resolved(device / "driver");
    if (!driver.empty())
      return driver.filename().string();
  }
  if (Resolved(interfaceDir).string().find("/virtual/") != std::string::npos)
    return "virtual";
  return {};
}

}  // namespace

SysfsAdapterSource::SysfsAdapterSource(std::filesystem::path root) : root_(std::move(root)) {}

std::vector<AdapterRecord> SysfsAdapterSource::Entries() {
  struct Entry {
    long index;
    AdapterRecord record;
  };
  std::vector<Entry> entries;
  std::error_code error;
  for (fs::directory_iterator it(root_, error), end; !error && it != end; it.increment(error)) {
    const fs::path dir = it->path();
    const std::string name = dir.filename().string();
    AdapterRecord record;
    record.name = CutUtf8(name, kAdapterNameMax);
    const auto type = ReadNumber(dir / "type", 10);
    const auto flags = ReadNumber(dir / "flags", 16);
    const auto address = ReadSmallFile(dir / "address");
    const auto mac = address ? ParseMacText(*address) : std::nullopt;
    if (mac)
      record.mac = *mac;
    const bool ethernet = type && *type == 1;
    const bool loopback = flags && (*flags & IFF_LOOPBACK) != 0;
    const bool up = flags && (*flags & IFF_UP) != 0;
    record.kind = ethernet && !loopback && up && mac && name != "lo" ? 1 : 0;
    const std::string hardware = HardwareOf(dir);
    record.description =
        CutUtf8(hardware.empty() ? name : name + " - " + hardware, kAdapterDescriptionMax);
    entries.push_back({ReadNumber(dir / "ifindex", 10).value_or(1L << 30), std::move(record)});
  }
  std::stable_sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) {
    return a.index != b.index ? a.index < b.index : a.record.name < b.record.name;
  });
  std::vector<AdapterRecord> records;
  records.reserve(entries.size());
  for (auto& entry : entries)
    records.push_back(std::move(entry.record));
  return records;
}

bool SysfsAdapterSource::CaptureDevices(std::vector<std::string>& names, std::string& error) {
  names.clear();
  char errbuf[PCAP_ERRBUF_SIZE] = {};
  pcap_if_t* all = nullptr;
  if (pcap_findalldevs(&all, errbuf) == -1) {
    error = errbuf;
    return false;
  }
  for (const pcap_if_t* device = all; device != nullptr; device = device->next) {
    if (device->name != nullptr)
      names.emplace_back(device->name);
  }
  pcap_freealldevs(all);
  return true;
}

std::optional<int> SysfsAdapterSource::Mtu(const std::string& interfaceName) {
  return InterfaceMtu(interfaceName);
}

std::vector<AdapterRecord> OfferedAdapters(AdapterSource& source) {
  std::vector<AdapterRecord> offered;
  for (auto& record : source.Entries()) {
    if (record.kind == 1)
      offered.push_back(std::move(record));
  }
  return offered;
}

std::optional<std::string> MatchCaptureDevice(const std::vector<std::string>& captureDevices,
                                              std::string_view adapterName) {
  if (adapterName.empty())
    return std::nullopt;
  for (const auto& device : captureDevices) {
    if (device == adapterName)
      return device;
  }
  return std::nullopt;
}

std::string AdapterListText(const AdapterRecord& record) {
  std::string mac = AdapterMacText(record.mac);
  std::transform(mac.begin(), mac.end(), mac.begin(),
                 [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
  return record.description + " (" + mac + ")";
}

std::optional<int> InterfaceMtu(const std::string& interfaceName) {
  if (interfaceName.empty() || interfaceName.size() >= IFNAMSIZ)
    return std::nullopt;
  const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (fd < 0)
    return std::nullopt;
  ifreq request{};
  std::memcpy(request.ifr_name, interfaceName.data(), interfaceName.size());
  const int rc = ::ioctl(fd, SIOCGIFMTU, &request);
  ::close(fd);
  if (rc != 0)
    return std::nullopt;
  return request.ifr_mtu;
}

}  // namespace brevant
