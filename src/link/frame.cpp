#include "link/frame.h"

#include "text/text.h"

#include <algorithm>
#include <cstring>

namespace brevant {

DiscoveryFieldLayout LayoutOf(DiscoveryField field) {
  switch (field) {
    case DiscoveryField::Ssid2:
      return {22, 34};
    case DiscoveryField::Ssid5:
      return {56, 34};
    case DiscoveryField::Key2:
      return {90, 66};
    case DiscoveryField::Key5:
      break;
  }
  return {156, 66};
}

LinkFrame LinkFrame::FromBytes(const std::uint8_t* data, std::size_t size) {
  LinkFrame frame;
  if (data != nullptr)
    std::memcpy(frame.bytes_.data(), data, std::min(size, kFrameSize));
  return frame;
}

std::span<const std::uint8_t> LinkFrame::payload() const {
  const std::size_t length = std::min<std::size_t>(dataLength(), kChunkDataSize);
  return std::span<const std::uint8_t>(bytes_.data() + frame_offset::kData, length);
}

bool LinkFrame::setPayload(std::span<const std::uint8_t> bytes) {
  if (bytes.size() > kChunkDataSize)
    return false;
  std::uint8_t* field = bytes_.data() + frame_offset::kData;
  std::memset(field, 0, kChunkDataSize);
  if (!bytes.empty())
    std::memcpy(field, bytes.data(), bytes.size());
  setDataLength(static_cast<std::uint16_t>(bytes.size()));
  return true;
}

void LinkFrame::setDiscoveryField(DiscoveryField field, std::string_view bytes) {
  const auto layout = LayoutOf(field);
  std::uint8_t* target = bytes_.data() + layout.offset;
  std::memset(target, 0, layout.width);
  std::memcpy(target, bytes.data(), std::min(bytes.size(), layout.width));
}

MacAddress LinkFrame::MacAt(std::size_t offset) const {
  MacAddress mac{};
  std::copy_n(bytes_.begin() + static_cast<std::ptrdiff_t>(offset), mac.size(), mac.begin());
  return mac;
}

void LinkFrame::SetMacAt(std::size_t offset, const MacAddress& mac) {
  std::copy(mac.begin(), mac.end(), bytes_.begin() + static_cast<std::ptrdiff_t>(offset));
}

std::uint16_t SequenceField(std::uint32_t chunkNumber) {
  const auto field = static_cast<std::uint16_t>(chunkNumber % 65536u);
  return field == 0 ? kAnySequence : field;
}

std::uint16_t ChunkFlagFor(std::uint64_t positionBefore, std::uint64_t positionAfter,
                           std::uint64_t length) {
  if (positionAfter == length)
    return CHUNK_LAST;
  return positionBefore == 0 ? CHUNK_FIRST : CHUNK_MIDDLE;
}

namespace {

LinkFrame Header(const MacAddress& destination, const MacAddress& source) {
  LinkFrame frame;
  frame.setDestination(destination);
  frame.setSource(source);
  frame.setEtherType(kEtherType);
  return frame;
}

std::string MacText(const MacAddress& mac, const char* digits) {
  std::string text(17, ':');
  for (std::size_t i = 0; i < 6; ++i) {
    text[i * 3] = digits[mac[i] >> 4];
    text[i * 3 + 1] = digits[mac[i] & 0x0F];
  }
  return text;
}

}  // namespace

LinkFrame MakeDiscoveryRequest(const MacAddress& adapter) {
  LinkFrame frame = Header(kBroadcastMac, adapter);
  frame.setCategory(DISCOVERY);
  frame.setOpcode(OP_DISCOVER);
  return frame;
}

LinkFrame MakeDiscoveryResponse(const MacAddress& adapter, const MacAddress& device,
                                const DiscoveryTexts& texts) {
  LinkFrame frame = Header(adapter, device);
  frame.setCategory(DISCOVERY);
  frame.setOpcode(OP_ACK);
  frame.setDiscoveryField(DiscoveryField::Ssid2, texts.ssid2);
  frame.setDiscoveryField(DiscoveryField::Ssid5, texts.ssid5);
  frame.setDiscoveryField(DiscoveryField::Key2, texts.key2);
  frame.setDiscoveryField(DiscoveryField::Key5, texts.key5);
  return frame;
}

LinkFrame MakeTransferTemplate(const MacAddress& destination, const MacAddress& source,
                               std::uint16_t category, std::uint16_t opcode,
                               std::uint16_t transferCount) {
  LinkFrame frame = Header(destination, source);
  frame.setCategory(category);
  frame.setOpcode(opcode);
  frame.setTransferCount(transferCount);
  return frame;
}

LinkFrame MakeDataChunk(const LinkFrame& transferTemplate, std::uint32_t chunkNumber,
                        std::uint16_t chunkFlag, std::span<const std::uint8_t> data) {
  LinkFrame frame = transferTemplate;
  frame.setSequence(SequenceField(chunkNumber));
  frame.setChunkFlag(chunkFlag);
  frame.setPayload(data.first(std::min(data.size(), kChunkDataSize)));
  return frame;
}

std::optional<LinkFrame> MakeCommandFrame(const LinkFrame& transferTemplate,
                                          std::string_view commandText) {
  if (commandText.size() > kCommandTextMax)
    return std::nullopt;
  LinkFrame frame = transferTemplate;
  frame.setSequence(1);
  frame.setChunkFlag(CHUNK_LAST);
  // The NUL after the text is already there: the rest of the field is zero.
  frame.setPayload(std::span<const std::uint8_t>(
      reinterpret_cast<const std::uint8_t*>(commandText.data()), commandText.size()));
  return frame;
}

LinkFrame MakeAcknowledgement(const MacAddress& adapter, const MacAddress& device,
                              std::uint16_t category, std::uint16_t sequence) {
  LinkFrame frame = Header(adapter, device);
  frame.setCategory(category);
  frame.setOpcode(OP_ACK);
  frame.setSequence(sequence);
  return frame;
}

LinkFrame MakeResult(const MacAddress& adapter, const MacAddress& device, std::uint16_t category,
                     std::uint16_t opcode) {
  LinkFrame frame = Header(adapter, device);
  frame.setCategory(category);
  frame.setOpcode(opcode);
  return frame;
}

DiscoveryTexts ReadDiscoveryTexts(const LinkFrame& frame) {
  auto read = [&](DiscoveryField field) {
    const auto layout = LayoutOf(field);
    const auto* begin = reinterpret_cast<const char*>(frame.data() + layout.offset);
    const auto* nul = static_cast<const char*>(std::memchr(begin, 0, layout.width));
    return std::string(begin,
                       nul != nullptr ? static_cast<std::size_t>(nul - begin) : layout.width);
  };
  return DiscoveryTexts{read(DiscoveryField::Ssid2), read(DiscoveryField::Ssid5),
                        read(DiscoveryField::Key2), read(DiscoveryField::Key5)};
}

std::string DeviceMacText(const MacAddress& mac) {
  return MacText(mac, "0123456789ABCDEF");
}

std::string AdapterMacText(const MacAddress& mac) {
  return MacText(mac, "0123456789abcdef");
}

std::optional<MacAddress> ParseMacText(std::string_view text) {
  if (text.size() != 17)
    return std::nullopt;
  MacAddress mac{};
  for (std::size_t i = 0; i < 6; ++i) {
    const std::size_t at = i * 3;
    if (i < 5 && text[at + 2] != ':')
      return std::nullopt;
    const int high = HexDigitValue(text[at]);
    const int low = HexDigitValue(text[at + 1]);
    if (high < 0 || low < 0)
      return std::nullopt;
    mac[i] = static_cast<std::uint8_t>(high * 16 + low);
  }
  return mac;
}

}  // namespace brevant
