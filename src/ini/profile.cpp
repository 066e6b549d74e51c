#include "ini/profile.h"

#include <fstream>
#include <iterator>

#include "text/text.h"

namespace brevant {

namespace {

std::string_view TrimView(std::string_view text) {
  const auto first = text.find_first_not_of(" \t\r");
  if (first == std::string_view::npos)
    return {};
  const auto last = text.find_last_not_of(" \t\r");
  return text.substr(first, last - first + 1);
}

std::string Compose(std::string_view section, std::string_view key) {
  std::string composed = AsciiLower(section);
  composed += '\n';
  composed += AsciiLower(key);
  return composed;
}

}  // namespace

ProfileFile ProfileFile::Load(const std::filesystem::path& path) {
  std::error_code error;
  if (!std::filesystem::is_regular_file(path, error))
    return {};
  std::ifstream in(path, std::ios::binary);
  if (!in)
    return {};
  const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  return Parse(text);
}

ProfileFile ProfileFile::Parse(std::string_view text) {
  ProfileFile profile;
  if (text.substr(0, 3) == "\xEF\xBB\xBF")
    text.remove_prefix(3);
  std::string section;
  bool inSection = false;
  while (!text.empty()) {
    const auto end = text.find('\n');
    std::string_view line = TrimView(text.substr(0, end));
    text = end == std::string_view::npos ? std::string_view{} : text.substr(end + 1);
    if (line.empty() || line.front() == ';')
      continue;
    if (line.front() == '[') {
      const auto close = line.find(']');
      if (close == std::string_view::npos)
        continue;
      section = std::string(TrimView(line.substr(1, close - 1)));
      inSection = true;
      continue;
    }
    const auto equals = line.find('=');
    if (!inSection || equals == std::string_view::npos)
      continue;
    const std::string_view key = TrimView(line.substr(0, equals));
    if (key.empty())
      continue;
    std::string_view value = TrimView(line.substr(equals + 1));
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front()) {
      value = value.substr(1, value.size() - 2);
    }
    profile.values_.try_emplace(Compose(section, key), value);
  }
  return profile;
}

std::string ProfileFile::GetString(std::string_view section, std::string_view key,
                                   std::string_view defaultText, std::size_t maxChars) const {
  const auto found = values_.find(Compose(section, key));
  const std::string_view value = found == values_.end() ? defaultText : found->second;
  return CutToUtf16Units(value, maxChars);
}

}  // namespace brevant
