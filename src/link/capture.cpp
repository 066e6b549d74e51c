#include "link/capture.h"

namespace brevant {

std::string ReceiveFilterText(const MacAddress& adapter) {
  return "ether dst " + AdapterMacText(adapter) + " and ether proto 0x6262";
}

std::string DeviceFilterText(const MacAddress& device) {
  return "ether src " + DeviceMacText(device) + " and ether proto 0x6262";
}

CaptureOptions ReceiveCaptureOptions(const MacAddress& adapter) {
  CaptureOptions options;
  options.filter = ReceiveFilterText(adapter);
  options.inboundOnly = true;
  // A thousand 1286-byte answers to one broadcast, and acknowledgements of a
  // thousand running jobs, must fit while the thread is busy elsewhere.
  options.bufferBytes = 8 * 1024 * 1024;
  return options;
}

CaptureOptions SendCaptureOptions() {
  CaptureOptions options;
  options.filter = kKeepNothingFilter;
  options.inboundOnly = true;
  options.bufferBytes = 256 * 1024;
  return options;
}

}  // namespace brevant
