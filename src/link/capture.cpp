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
  // Every device of a large segment answers one broadcast at the same moment:
  // 5000 answers at a ring slot of about 2 KiB each must fit while the thread
  // is busy elsewhere, and so must the acknowledgements of a thousand jobs.
  options.bufferBytes = 32 * 1024 * 1024;
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
