#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "link/frame.h"

namespace brevant::devsim {

// How one simulated device misbehaves during transfers.
struct TransferFaults {
  bool neverAck = false;        // acknowledges nothing
  bool ackAnySequence = false;  // acknowledges with 0xFFFF
  bool ackPrevious = false;     // acknowledges with the previous chunk's number
  unsigned dropEvery = 0;       // drops every Nth acknowledgement (0: none)
  std::chrono::milliseconds ackDelay{0};
  bool reportFailure = false;  // reports failure after a whole transfer
  bool neverReport = false;    // sends no result at all
  std::chrono::milliseconds resultDelay{0};
  bool holdResult = false;  // keeps each result until the simulator releases it
};

// A frame to send after a delay; a held one waits for a release as well.
struct Outgoing {
  std::chrono::milliseconds delay{0};
  LinkFrame frame;
  bool held = false;
};

// The device side of chunk transfers and the anti-theft command: reassembles
// each transfer per category, checks what a real device would, writes every
// received file to <out>/<MAC without colons>/<PARA_DATA|LOG_DATA|JSON_CMD_DATA>,
// acknowledges, and reports the result. Protocol errors are appended to
// <out>/<MAC>/errors.txt, so tests can see them.
class DeviceTransfers {
 public:
  DeviceTransfers(const MacAddress& device, std::string lockCode, TransferFaults faults,
                  std::filesystem::path outputRoot);

  // A frame from the tool to this device; capturedLength is its length on the wire.
  std::vector<Outgoing> OnFrame(const LinkFrame& frame, std::size_t capturedLength);
  // The same, appending the answers to `out`.
  void OnFrame(const LinkFrame& frame, std::size_t capturedLength, std::vector<Outgoing>& out);

  const std::vector<std::string>& Errors() const { return errors_; }
  std::filesystem::path Folder() const { return folder_; }
  unsigned CompletedTransfers() const { return completed_; }

 private:
  struct Reassembly {
    bool active = false;             // a transfer has begun and not ended
    bool finished = false;           // the last transfer ended; its last chunk may come again
    std::uint32_t chunks = 0;        // accepted in this transfer
    std::uint16_t lastSequence = 0;  // of the last accepted chunk
    LinkFrame lastFrame;
    std::chrono::steady_clock::time_point lastAt;
    std::string bytes;
  };

  void OnChunk(const LinkFrame& frame, Reassembly& state, std::vector<Outgoing>& out);
  void OnCommand(const LinkFrame& frame, std::vector<Outgoing>& out);
  void Acknowledge(std::vector<Outgoing>& out, const LinkFrame& frame, std::uint16_t sequence);
  void Report(std::vector<Outgoing>& out, const LinkFrame& frame, std::uint16_t opcode);
  void Error(const std::string& what);
  void Store(const char* kind, const std::string& bytes);

  MacAddress device_;
  std::string lockCode_;
  TransferFaults faults_;
  std::filesystem::path folder_;
  Reassembly para_;
  Reassembly logo_;
  unsigned acksDue_ = 0;
  unsigned completed_ = 0;
  std::vector<std::string> errors_;
};

// The Lockcode member of a command text, as the tool writes it.
std::string LockCodeOf(const std::string& commandText);

}  // namespace brevant::devsim
