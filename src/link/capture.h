#pragma once

#include <chrono>
#include <cstddef>
#include <memory>
#include <string>

#include "link/frame.h"

namespace brevant {

// How a capture handle is opened.
struct CaptureOptions {
  std::chrono::milliseconds timeout{1};
  // A capture filter text; empty keeps every frame.
  std::string filter;
  // Only frames that come in from the wire, not the ones this host sends.
  bool inboundOnly = false;
  // Kernel buffer; 0 leaves the library's default.
  int bufferBytes = 0;
  int snaplen = 2048;
  bool promiscuous = true;
};

// "ether dst 00:1a:2b:3c:4d:5e and ether proto 0x6262": what reaches the adapter.
std::string ReceiveFilterText(const MacAddress& adapter);
// "ether src C8:3A:35:A1:B2:C3 and ether proto 0x6262": what one device sends.
std::string DeviceFilterText(const MacAddress& device);
// A filter no frame passes: a handle that only sends keeps nothing.
inline constexpr const char* kKeepNothingFilter = "less 1";

// The process's one listening handle: inbound frames to the adapter, with room
// for bursts of a thousand devices answering at once.
CaptureOptions ReceiveCaptureOptions(const MacAddress& adapter);
// The one shared send handle: a small buffer and nothing kept.
CaptureOptions SendCaptureOptions();

enum class ReadStatus { Frame, Empty, Error };

// One open capture handle. Reads never block; waiting is WaitReadable's job,
// always with a deadline. Send and Read may be called from different threads,
// but each of them by one thread at a time; Interrupt from any thread.
class CaptureEndpoint {
 public:
  virtual ~CaptureEndpoint() = default;

  // Sends the 1286 bytes of the frame; false when the handle refused them.
  virtual bool Send(const LinkFrame& frame) = 0;
  // The next waiting frame into a zeroed 1286-byte buffer (a shorter frame
  // leaves the rest zero, a longer one is cut); wireLength, when given,
  // receives the length it had on the wire.
  virtual ReadStatus Read(LinkFrame& frame, std::size_t* wireLength = nullptr) = 0;
  // True when a frame (or an error) can be read; false at the deadline or
  // when Interrupt was called meanwhile.
  virtual bool WaitReadable(std::chrono::steady_clock::time_point deadline) = 0;
  // Wakes a WaitReadable in another thread (or makes the next one return).
  virtual void Interrupt() = 0;
  // A descriptor for poll(2) that turns readable with frames; -1 when there is none.
  virtual int SelectableFd() const = 0;
  // What went wrong in the last Send or Read.
  virtual std::string LastError() const = 0;
};

// Opens handles on named capture devices.
class CaptureFactory {
 public:
  virtual ~CaptureFactory() = default;
  // Nothing when the device cannot be opened, with the reason in *error.
  virtual std::unique_ptr<CaptureEndpoint> Open(const std::string& device,
                                                const CaptureOptions& options,
                                                std::string* error) = 0;
};

}  // namespace brevant
