#pragma once

#include "link/capture.h"

namespace brevant {

// Handles on real interfaces through libpcap: pcap_create, immediate mode,
// non-blocking reads, a poll(2) wait on the selectable descriptor. A handle
// belongs to the network namespace of the thread that opens it.
class PcapCaptureFactory : public CaptureFactory {
 public:
  std::unique_ptr<CaptureEndpoint> Open(const std::string& device, const CaptureOptions& options,
                                        std::string* error) override;
};

}  // namespace brevant
