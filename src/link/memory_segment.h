#pragma once

#include <cstddef>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "link/capture.h"

namespace brevant {

// An Ethernet segment in memory for unit tests. Each station is one host with
// one interface; every frame an endpoint sends is seen by every other open
// endpoint: as an inbound frame on other stations, as an outbound one on its
// own station (where inbound-only endpoints skip it). Filters are real capture
// filter texts, compiled for Ethernet and applied as libpcap would.
class MemorySegment : public std::enable_shared_from_this<MemorySegment> {
 public:
  static std::shared_ptr<MemorySegment> Create();

  // Opens handles on the station's interface only; other names fail as an
  // unknown device would.
  std::shared_ptr<CaptureFactory> Station(const std::string& interfaceName);

  // From now on every Open on the named interface fails with this reason
  // (empty: opens work again).
  void SetOpenFailure(const std::string& interfaceName, const std::string& reason);

  // Frames an endpoint may hold before further ones are dropped.
  void SetEndpointCapacity(std::size_t frames);

  // Endpoints open right now, on one interface.
  std::size_t OpenEndpoints(const std::string& interfaceName) const;

  class Endpoint;

 private:
  friend class MemoryStation;
  MemorySegment() = default;
  std::unique_ptr<CaptureEndpoint> Open(const std::string& station, const std::string& device,
                                        const CaptureOptions& options, std::string* error);
  void Transmit(const Endpoint* from, const LinkFrame& frame);
  void Remove(const Endpoint* endpoint);

  mutable std::mutex mutex_;
  std::vector<Endpoint*> endpoints_;
  std::vector<std::pair<std::string, std::string>> openFailures_;
  std::size_t capacity_ = 4096;
};

// True when the filter text compiles for Ethernet (the reason in *error if not).
bool CompileFilterForEthernet(const std::string& filter, std::string* error);

// Whether a frame of the given bytes passes the filter, as the kernel decides.
bool FilterAccepts(const std::string& filter, const std::uint8_t* bytes, std::size_t size);

}  // namespace brevant
