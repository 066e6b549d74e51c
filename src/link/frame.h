#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace brevant {

inline constexpr std::size_t kFrameSize = 1286;
inline constexpr std::size_t kSendBufferSize = 1514;
inline constexpr std::size_t kChunkDataSize = 1024;
inline constexpr std::size_t kCommandTextMax = 511;
inline constexpr std::uint16_t kEtherType = 0x6262;
inline constexpr std::uint16_t kAnySequence = 0xFFFF;

using MacAddress = std::array<std::uint8_t, 6>;
inline constexpr MacAddress kBroadcastMac = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};

enum Category : std::uint16_t {
  DISCOVERY = 0,
  PARA_DATA = 1,
  LOG_DATA = 2,
  JSON_CMD_DATA = 3,
};

enum Opcode : std::uint16_t {
  OP_DISCOVER = 1,
  OP_PARA_CHUNK = 2,
  OP_LOGO_CHUNK = 3,
  OP_ACK = 4,
  OP_PARA_FAIL = 5,
  OP_PARA_OK = 6,
  OP_LOGO_FAIL = 7,
  OP_LOGO_OK = 8,
  OP_CMD_FAIL = 9,
  OP_CMD_OK = 10,
  OP_CMD = 11,
};

enum ChunkFlag : std::uint16_t {
  CHUNK_MIDDLE = 0,
  CHUNK_FIRST = 1,
  CHUNK_LAST = 2,
};

// Byte offsets of the fields.
namespace frame_offset {
inline constexpr std::size_t kDestination = 0;
inline constexpr std::size_t kSource = 6;
inline constexpr std::size_t kEtherType = 12;
inline constexpr std::size_t kCategory = 14;
inline constexpr std::size_t kSequence = 16;
inline constexpr std::size_t kOpcode = 18;
inline constexpr std::size_t kTransferCount = 20;
inline constexpr std::size_t kDiscovery = 22;
inline constexpr std::size_t kChunkFlag = 222;
inline constexpr std::size_t kData = 260;
inline constexpr std::size_t kDataLength = 1284;
}  // namespace frame_offset

// The four texts of a discovery response, each at its offset and width.
enum class DiscoveryField { Ssid2, Ssid5, Key2, Key5 };
struct DiscoveryFieldLayout {
  std::size_t offset;
  std::size_t width;
};
DiscoveryFieldLayout LayoutOf(DiscoveryField field);

struct DiscoveryTexts {
  std::string ssid2;
  std::string ssid5;
  std::string key2;
  std::string key5;
};

// One protocol message: always 1286 bytes, multi-byte numbers big-endian.
class LinkFrame {
 public:
  LinkFrame() = default;

  // A received frame: a shorter one leaves the rest zero, a longer one is cut.
  static LinkFrame FromBytes(const std::uint8_t* data, std::size_t size);
  static LinkFrame FromBytes(std::span<const std::uint8_t> bytes) {
    return FromBytes(bytes.data(), bytes.size());
  }

  const std::uint8_t* data() const { return bytes_.data(); }
  std::uint8_t* data() { return bytes_.data(); }
  static constexpr std::size_t size() { return kFrameSize; }
  const std::array<std::uint8_t, kFrameSize>& bytes() const { return bytes_; }

  MacAddress destination() const { return MacAt(frame_offset::kDestination); }
  MacAddress source() const { return MacAt(frame_offset::kSource); }
  void setDestination(const MacAddress& mac) { SetMacAt(frame_offset::kDestination, mac); }
  void setSource(const MacAddress& mac) { SetMacAt(frame_offset::kSource, mac); }

  std::uint16_t etherType() const { return U16At(frame_offset::kEtherType); }
  std::uint16_t category() const { return U16At(frame_offset::kCategory); }
  std::uint16_t sequence() const { return U16At(frame_offset::kSequence); }
  std::uint16_t opcode() const { return U16At(frame_offset::kOpcode); }
  std::uint16_t transferCount() const { return U16At(frame_offset::kTransferCount); }
  std::uint16_t chunkFlag() const { return U16At(frame_offset::kChunkFlag); }
  std::uint16_t dataLength() const { return U16At(frame_offset::kDataLength); }

  void setEtherType(std::uint16_t v) { SetU16At(frame_offset::kEtherType, v); }
  void setCategory(std::uint16_t v) { SetU16At(frame_offset::kCategory, v); }
  void setSequence(std::uint16_t v) { SetU16At(frame_offset::kSequence, v); }
  void setOpcode(std::uint16_t v) { SetU16At(frame_offset::kOpcode, v); }
  void setTransferCount(std::uint16_t v) { SetU16At(frame_offset::kTransferCount, v); }
  void setChunkFlag(std::uint16_t v) { SetU16At(frame_offset::kChunkFlag, v); }
  void setDataLength(std::uint16_t v) { SetU16At(frame_offset::kDataLength, v); }

  // The 1024-byte data field, whole.
  std::span<const std::uint8_t, kChunkDataSize> dataField() const {
    return std::span<const std::uint8_t, kChunkDataSize>(bytes_.data() + frame_offset::kData,
                                                         kChunkDataSize);
  }
  // The meaningful bytes of data: data length, at most 1024.
  std::span<const std::uint8_t> payload() const;
  // Sets data and data length; the rest of the field is zeroed. False (and
  // nothing changed) when more than 1024 bytes are given.
  bool setPayload(std::span<const std::uint8_t> bytes);

  // Copies the raw bytes of one discovery field, at most its width.
  void setDiscoveryField(DiscoveryField field, std::string_view bytes);

  bool operator==(const LinkFrame&) const = default;

 private:
  std::uint16_t U16At(std::size_t offset) const {
    return static_cast<std::uint16_t>((bytes_[offset] << 8) | bytes_[offset + 1]);
  }
  void SetU16At(std::size_t offset, std::uint16_t v) {
    bytes_[offset] = static_cast<std::uint8_t>(v >> 8);
    bytes_[offset + 1] = static_cast<std::uint8_t>(v & 0xFF);
  }
  MacAddress MacAt(std::size_t offset) const;
  void SetMacAt(std::size_t offset, const MacAddress& mac);

  std::array<std::uint8_t, kFrameSize> bytes_{};
};

// The sequence field of chunk number n: n modulo 65536, with 0 sent as 0xFFFF.
std::uint16_t SequenceField(std::uint32_t chunkNumber);

// The chunk flag from the file position before and after reading the chunk.
std::uint16_t ChunkFlagFor(std::uint64_t positionBefore, std::uint64_t positionAfter,
                           std::uint64_t length);

// Discovery request: broadcast, category 0, opcode 1, from the adapter.
LinkFrame MakeDiscoveryRequest(const MacAddress& adapter);

// Discovery response from a device to the adapter; each text is copied raw,
// at most its width (a text of the full width carries no NUL).
LinkFrame MakeDiscoveryResponse(const MacAddress& adapter, const MacAddress& device,
                                const DiscoveryTexts& texts);

// Header of every frame of one transfer; the job fills in each chunk.
LinkFrame MakeTransferTemplate(const MacAddress& destination, const MacAddress& source,
                               std::uint16_t category, std::uint16_t opcode,
                               std::uint16_t transferCount);

// One data chunk of a transfer, from its template.
LinkFrame MakeDataChunk(const LinkFrame& transferTemplate, std::uint32_t chunkNumber,
                        std::uint16_t chunkFlag, std::span<const std::uint8_t> data);

// The anti-theft command from its template: sequence 1, flag 2, the text and a
// NUL. Nothing when the text is longer than 511 bytes.
std::optional<LinkFrame> MakeCommandFrame(const LinkFrame& transferTemplate,
                                          std::string_view commandText);

// Acknowledgement and result frames (device to tool).
LinkFrame MakeAcknowledgement(const MacAddress& adapter, const MacAddress& device,
                              std::uint16_t category, std::uint16_t sequence);
LinkFrame MakeResult(const MacAddress& adapter, const MacAddress& device, std::uint16_t category,
                     std::uint16_t opcode);

// The four texts, each read up to its first NUL and never past its width.
DiscoveryTexts ReadDiscoveryTexts(const LinkFrame& frame);

// "C8:3A:35:A1:B2:C3" for devices, "c8:3a:35:a1:b2:c3" for adapters.
std::string DeviceMacText(const MacAddress& mac);
std::string AdapterMacText(const MacAddress& mac);

// Six two-digit hexadecimal numbers separated by colons, either case; 17
// characters exactly. Nothing for anything else.
std::optional<MacAddress> ParseMacText(std::string_view text);

}  // namespace brevant
