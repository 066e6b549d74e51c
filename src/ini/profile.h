#pragma once

#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>
#include <unordered_map>

namespace brevant {

// Read-only profile-file lookups: section and key names compare without regard
// to ASCII letter case, the first occurrence wins, values are trimmed and lose
// one pair of enclosing quotes, and a missing file, section or key yields the
// caller's default.
class ProfileFile {
 public:
  ProfileFile() = default;
  static ProfileFile Load(const std::filesystem::path& path);
  static ProfileFile Parse(std::string_view text);

  // The value cut to at most maxChars characters (UTF-16 code units, never
  // splitting a character), as a fixed lookup buffer of maxChars + 1 would.
  std::string GetString(std::string_view section, std::string_view key,
                        std::string_view defaultText, std::size_t maxChars) const;
  bool empty() const { return values_.empty(); }

 private:
  std::unordered_map<std::string, std::string> values_;  // "section\nkey", folded
};

}  // namespace brevant
