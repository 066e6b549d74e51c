#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace brevant {

struct PictureSize {
  int width = 0;
  int height = 0;
  std::string format;  // "PNG", "JPEG", "BMP", "GIF"
};

// The size of a PNG, JPEG, BMP or GIF picture from its header; nothing for a
// file that is none of them (or too short to tell).
std::optional<PictureSize> ReadPictureSize(const std::filesystem::path& file);
std::optional<PictureSize> PictureSizeOf(const std::string& headerBytes);

}  // namespace brevant
