#include "tailoring/picture_size.h"

#include <cstdint>
#include <fstream>

namespace brevant {

namespace {

std::uint32_t Be16(const std::string& b, std::size_t at) {
  return (std::uint32_t(std::uint8_t(b[at])) << 8) | std::uint8_t(b[at + 1]);
}
std::uint32_t Be32(const std::string& b, std::size_t at) {
  return (Be16(b, at) << 16) | Be16(b, at + 2);
}
std::uint32_t Le16(const std::string& b, std::size_t at) {
  return std::uint8_t(b[at]) | (std::uint32_t(std::uint8_t(b[at + 1])) << 8);
}
std::uint32_t Le32(const std::string& b, std::size_t at) {
  return Le16(b, at) | (Le16(b, at + 2) << 16);
}

std::optional<PictureSize> Sized(std::uint32_t width, std::uint32_t height, const char* format) {
  if (width == 0 || height == 0 || width > 1u << 24 || height > 1u << 24)
    return std::nullopt;
  return PictureSize{static_cast<int>(width), static_cast<int>(height), format};
}

std::optional<PictureSize> Jpeg(const std::string& b) {
  std::size_t at = 2;
  while (at + 4 <= b.size()) {
    if (std::uint8_t(b[at]) != 0xFF)
      return std::nullopt;
    const std::uint8_t marker = std::uint8_t(b[at + 1]);
    if (marker == 0xFF) {  // fill byte
      ++at;
      continue;
    }
    if (marker == 0xD8 || (marker >= 0xD0 && marker <= 0xD7) || marker == 0x01) {
      at += 2;
      continue;
    }
    const std::uint32_t length = Be16(b, at + 2);
    if (length < 2)
      return std::nullopt;
    // Start-of-frame markers carry the size; C4, C8 and CC are other tables.
    const bool frame =
        marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
    if (frame) {
      if (at + 9 > b.size())
        return std::nullopt;
      return Sized(Be16(b, at + 7), Be16(b, at + 5), "JPEG");
    }
    if (marker == 0xD9 || marker == 0xDA)
      return std::nullopt;  // no frame before the data
    at += 2 + length;
  }
  return std::nullopt;
}

}  // namespace

std::optional<PictureSize> PictureSizeOf(const std::string& b) {
  if (b.size() >= 24 && b.compare(0, 8, "\x89PNG\r\n\x1a\n") == 0 &&
      b.compare(12, 4, "IHDR") == 0) {
    return Sized(Be32(b, 16), Be32(b, 20), "PNG");
  }
  if (b.size() >= 4 && std::uint8_t(b[0]) == 0xFF && std::uint8_t(b[1]) == 0xD8)
    return Jpeg(b);
  if (b.size() >= 26 && b.compare(0, 2, "BM") == 0) {
    const std::uint32_t header = Le32(b, 14);
    if (header == 12)
      return Sized(Le16(b, 18), Le16(b, 20), "BMP");
    if (header < 40)
      return std::nullopt;
    // A negative height is a picture stored top-down.
    const auto height = static_cast<std::int32_t>(Le32(b, 22));
    return Sized(Le32(b, 18),
                 static_cast<std::uint32_t>(height < 0 ? -std::int64_t(height) : height), "BMP");
  }
  if (b.size() >= 10 && (b.compare(0, 6, "GIF87a") == 0 || b.compare(0, 6, "GIF89a") == 0)) {
    return Sized(Le16(b, 6), Le16(b, 8), "GIF");
  }
  return std::nullopt;
}

std::optional<PictureSize> ReadPictureSize(const std::filesystem::path& file) {
  std::error_code error;
  if (!std::filesystem::is_regular_file(file, error))
    return std::nullopt;
  std::ifstream in(file, std::ios::binary);
  // JPEG headers may carry large metadata before the frame.
  std::string bytes(256 * 1024, '\0');
  in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  bytes.resize(static_cast<std::size_t>(in.gcount()));
  return PictureSizeOf(bytes);
}

}  // namespace brevant
