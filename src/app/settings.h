#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace brevant {

// Red in bits 0-7, green in 8-15, blue in 16-23.
using PackedColor = std::uint32_t;

constexpr PackedColor PackColor(int red, int green, int blue) {
  return static_cast<PackedColor>(red) | (static_cast<PackedColor>(green) << 8) |
         (static_cast<PackedColor>(blue) << 16);
}
constexpr int RedOf(PackedColor c) {
  return static_cast<int>(c & 0xFF);
}
constexpr int GreenOf(PackedColor c) {
  return static_cast<int>((c >> 8) & 0xFF);
}
constexpr int BlueOf(PackedColor c) {
  return static_cast<int>((c >> 16) & 0xFF);
}

struct FontSpec {
  int height = 0;
  int weight = 0;
  std::string face;  // at most 31 characters
};

// Display settings, read once at start and read-only afterwards.
struct AppSettings {
  PackedColor childBkColor = 0;
  PackedColor lineColor = 0;
  std::string fontName;
  int gridTitleFontWeight = 0;
  int gridTitleFontHeight = 0;
  int gridFontWeight = 0;
  int gridFontHeight = 0;
  PackedColor gridTextColor = 0;
  PackedColor gridTitleTextColor = 0;
  PackedColor gridTitleBkColor = 0;

  FontSpec gridTitleFont;
  FontSpec gridFont;
  int gridRowHeight = 48;
};

constexpr std::size_t kSettingValueChars = 63;
constexpr std::size_t kFontFaceChars = 31;

// Reads Setting.ini; a missing file, section or key gives the default texts.
AppSettings ReadAppSettings(const std::filesystem::path& settingFile);

// Splits at commas, a quoted run taken whole (its quotes removed).
std::vector<std::string> SplitColorParts(std::string_view text);

// Three parts of 0-255 packed into a colour; nothing when the text is not that.
std::optional<PackedColor> ParseColor(std::string_view text);

}  // namespace brevant
