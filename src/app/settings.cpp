#include "app/settings.h"

#include "ini/profile.h"
#include "text/text.h"

namespace brevant {

std::vector<std::string> SplitColorParts(std::string_view text) {
  std::vector<std::string> parts(1);
  char quote = 0;
  for (const char c : text) {
    if (quote != 0) {
      if (c == quote) {
        quote = 0;
      } else {
        parts.back() += c;
      }
    } else if (c == '"' || c == '\'') {
      quote = c;
    } else if (c == ',') {
      parts.emplace_back();
    } else {
      parts.back() += c;
    }
  }
  return parts;
}

std::optional<PackedColor> ParseColor(std::string_view text) {
  const auto parts = SplitColorParts(text);
  if (parts.size() != 3)
    return std::nullopt;
  int channel[3];
  for (int i = 0; i < 3; ++i) {
    channel[i] = AtoiLike(parts[static_cast<std::size_t>(i)]);
    if (channel[i] < 0 || channel[i] > 255)
      return std::nullopt;
  }
  return PackColor(channel[0], channel[1], channel[2]);
}

AppSettings ReadAppSettings(const std::filesystem::path& settingFile) {
  const ProfileFile profile = ProfileFile::Load(settingFile);
  auto text = [&](std::string_view section, std::string_view key, std::string_view fallback) {
    return profile.GetString(section, key, fallback, kSettingValueChars);
  };
  auto color = [&](PackedColor& field, std::string_view key, std::string_view fallback) {
    // A colour that does not parse keeps its previous value (black).
    if (const auto parsed = ParseColor(text("Color", key, fallback)))
      field = *parsed;
  };

  AppSettings s;
  color(s.childBkColor, "ChildBkColor", "255,255,255");
  color(s.lineColor, "LineColor", "215,215,215");
  s.fontName = text("Font", "FontName", "Microsoft YaHei");
  s.gridTitleFontWeight = AtoiLike(text("Font", "GridTitleFontWeight", "700"));
  s.gridTitleFontHeight = AtoiLike(text("Font", "GridTitleFontHeight", "15"));
  s.gridFontWeight = AtoiLike(text("Font", "GridFontWeight", "0"));
  s.gridFontHeight = AtoiLike(text("Font", "GridFontHeight", "15"));
  color(s.gridTextColor, "GridTextColor", "0,0,0");
  color(s.gridTitleTextColor, "GridTitleTextColor", "237,112,32");
  color(s.gridTitleBkColor, "GridTitleBkColor", "186,199,231");

  const std::string face = CutToUtf16Units(s.fontName, kFontFaceChars);
  s.gridTitleFont = FontSpec{s.gridTitleFontHeight, s.gridTitleFontWeight, face};
  s.gridFont = FontSpec{s.gridFontHeight, s.gridFontWeight, face};
  return s;
}

}  // namespace brevant
