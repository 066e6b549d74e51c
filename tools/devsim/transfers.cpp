#include "transfers.h"

#include <fstream>
#include <system_error>

namespace brevant::devsim {

namespace {

std::string Hex(const MacAddress& mac) {
  std::string text = DeviceMacText(mac);
  std::erase(text, ':');
  return text;
}

}  // namespace

std::string LockCodeOf(const std::string& commandText) {
  static const std::string kKey = "\"Lockcode\":\"";
  const auto start = commandText.find(kKey);
  if (start == std::string::npos)
    return {};
  const auto from = start + kKey.size();
  const auto end = commandText.find('"', from);
  if (end == std::string::npos)
    return {};
  return commandText.substr(from, end - from);
}

DeviceTransfers::DeviceTransfers(const MacAddress& device, std::string lockCode,
                                 TransferFaults faults, std::filesystem::path outputRoot)
    : device_(device),
      lockCode_(std::move(lockCode)),
      faults_(faults),
      folder_(outputRoot.empty() ? std::filesystem::path() : outputRoot / Hex(device)) {}

void DeviceTransfers::Error(const std::string& what) {
  errors_.push_back(what);
  if (folder_.empty())
    return;
  std::error_code ignored;
  std::filesystem::create_directories(folder_, ignored);
  std::ofstream(folder_ / "errors.txt", std::ios::app) << what << "\n";
}

void DeviceTransfers::Store(const char* kind, const std::string& bytes) {
  if (folder_.empty())
    return;
  std::error_code error;
  std::filesystem::create_directories(folder_, error);
  // Written aside and renamed, so a reader never sees half a file.
  const auto target = folder_ / kind;
  const auto partial = folder_ / (std::string(kind) + ".part");
  {
    std::ofstream out(partial, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  }
  std::filesystem::rename(partial, target, error);
  if (error)
    Error("cannot store " + target.string() + ": " + error.message());
}

void DeviceTransfers::Acknowledge(std::vector<Outgoing>& out, const LinkFrame& frame,
                                  std::uint16_t sequence) {
  if (faults_.neverAck)
    return;
  ++acksDue_;
  if (faults_.dropEvery != 0 && acksDue_ % faults_.dropEvery == 0)
    return;
  std::uint16_t echoed = sequence;
  if (faults_.ackAnySequence)
    echoed = 0xFFFF;
  if (faults_.ackPrevious)
    echoed = static_cast<std::uint16_t>(sequence - 1);
  out.push_back(
      {faults_.ackDelay, MakeAcknowledgement(frame.source(), device_, frame.category(), echoed)});
}

void DeviceTransfers::Report(std::vector<Outgoing>& out, const LinkFrame& frame,
                             std::uint16_t opcode) {
  if (faults_.neverReport)
    return;
  out.push_back({faults_.ackDelay + faults_.resultDelay,
                 MakeResult(frame.source(), device_, frame.category(), opcode),
                 faults_.holdResult});
}

std::vector<Outgoing> DeviceTransfers::OnFrame(const LinkFrame& frame, std::size_t capturedLength) {
  std::vector<Outgoing> out;
  OnFrame(frame, capturedLength, out);
  return out;
}

void DeviceTransfers::OnFrame(const LinkFrame& frame, std::size_t capturedLength,
                              std::vector<Outgoing>& out) {
  if (frame.destination() != device_)
    return;
  const std::uint16_t category = frame.category();
  const std::uint16_t opcode = frame.opcode();
  if (category == DISCOVERY)
    return;
  if (capturedLength != kFrameSize) {
    Error("frame of " + std::to_string(capturedLength) + " bytes, not 1286");
    return;
  }
  if (category == PARA_DATA && opcode == OP_PARA_CHUNK) {
    OnChunk(frame, para_, out);
  } else if (category == LOG_DATA && opcode == OP_LOGO_CHUNK) {
    OnChunk(frame, logo_, out);
  } else if (category == JSON_CMD_DATA && opcode == OP_CMD) {
    OnCommand(frame, out);
  } else {
    Error("unexpected category " + std::to_string(category) + " opcode " + std::to_string(opcode));
  }
}

void DeviceTransfers::OnChunk(const LinkFrame& frame, Reassembly& state,
                              std::vector<Outgoing>& out) {
  const std::uint16_t sequence = frame.sequence();
  const std::uint16_t flag = frame.chunkFlag();
  const std::uint16_t length = frame.dataLength();
  const char* kind = frame.category() == PARA_DATA ? "PARA_DATA" : "LOG_DATA";
  if (length > kChunkDataSize) {
    Error(std::string(kind) + ": data length " + std::to_string(length));
    return;
  }
  const auto now = std::chrono::steady_clock::now();
  // The tool sends a chunk again when it did not hear our acknowledgement,
  // within its five seconds of trying.
  const bool repeated = (state.active || state.finished) && sequence == state.lastSequence &&
                        frame == state.lastFrame && now - state.lastAt < std::chrono::seconds(6);
  if (repeated) {
    Acknowledge(out, frame, sequence);
    return;
  }
  // Chunks 65535 and 65536 both carry 0xFFFF and chunk 65537 carries 1 again,
  // so the next number follows from the count, not from the last number.
  const bool next =
      state.active && flag != CHUNK_FIRST && sequence == SequenceField(state.chunks + 1);
  const bool first = !next && (flag == CHUNK_FIRST || (flag == CHUNK_LAST && sequence == 1));
  if (first) {
    if (sequence != 1)
      Error(std::string(kind) + ": first chunk numbered " + std::to_string(sequence));
    if (state.active)
      Error(std::string(kind) + ": new transfer before the last one ended");
    state.active = true;
    state.finished = false;
    state.chunks = 0;
    state.bytes.clear();
  } else if (!state.active) {
    Error(std::string(kind) + ": chunk " + std::to_string(sequence) + " without a first chunk");
    return;
  } else if (!next) {
    Error(std::string(kind) + ": chunk " + std::to_string(sequence) + " after " +
          std::to_string(state.lastSequence));
    return;
  } else if (flag != CHUNK_MIDDLE && flag != CHUNK_LAST) {
    Error(std::string(kind) + ": chunk flag " + std::to_string(flag));
    return;
  }
  if (flag != CHUNK_LAST && length != kChunkDataSize) {
    Error(std::string(kind) + ": chunk " + std::to_string(sequence) + " carries " +
          std::to_string(length) + " bytes before the end");
  }
  ++state.chunks;
  state.lastSequence = sequence;
  state.lastFrame = frame;
  state.lastAt = now;
  // Kept only to be stored: without a folder, nothing is.
  if (!folder_.empty()) {
    const auto payload = frame.payload();
    state.bytes.append(payload.begin(), payload.end());
  }
  Acknowledge(out, frame, sequence);
  if (flag == CHUNK_LAST) {
    Store(kind, state.bytes);
    ++completed_;
    const bool para = frame.category() == PARA_DATA;
    const std::uint16_t result = faults_.reportFailure ? (para ? OP_PARA_FAIL : OP_LOGO_FAIL)
                                                       : (para ? OP_PARA_OK : OP_LOGO_OK);
    Report(out, frame, result);
    state.bytes.clear();
    state.active = false;
    state.finished = true;
  }
}

void DeviceTransfers::OnCommand(const LinkFrame& frame, std::vector<Outgoing>& out) {
  const auto payload = frame.payload();
  const std::string text(payload.begin(), payload.end());
  if (frame.sequence() != 1 || frame.chunkFlag() != CHUNK_LAST) {
    Error("command with sequence " + std::to_string(frame.sequence()) + " flag " +
          std::to_string(frame.chunkFlag()));
  }
  if (frame.dataLength() < kChunkDataSize && frame.dataField()[frame.dataLength()] != 0) {
    Error("command text without its NUL");
  }
  Acknowledge(out, frame, 1);
  Store("JSON_CMD_DATA", text);
  ++completed_;
  const bool accepted = !faults_.reportFailure && LockCodeOf(text) == lockCode_;
  Report(out, frame, accepted ? OP_CMD_OK : OP_CMD_FAIL);
}

}  // namespace brevant::devsim
