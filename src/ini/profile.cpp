#include "ini/profile.h"

#include <fstream>
#include <iterator>

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

bool IsContinuation(unsigned char byte) {
  return (byte & 0xC0) == 0x80;
}

// The length of the well-formed UTF-8 sequence at the start of the text, 1
// for a byte that starts none (it stands for one replacement character, as
// the UTF-16 conversion of the value gives it): overlong forms, surrogates and
// code points past U+10FFFF are no characters.
std::size_t SequenceLength(std::string_view text) {
  const auto at = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
  const unsigned char lead = at(0);
  std::size_t length = 1;
  unsigned char low = 0x80;
  unsigned char high = 0xBF;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    low = lead == 0xE0 ? 0xA0 : 0x80;
    high = lead == 0xED ? 0x9F : 0xBF;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    low = lead == 0xF0 ? 0x90 : 0x80;
    high = lead == 0xF4 ? 0x8F : 0xBF;
  }
  if (length == 1 || length > text.size() || at(1) < low || at(1) > high)
    return 1;
  for (std::size_t k = 2; k < length; ++k) {
    if (!IsContinuation(at(k)))
      return 1;
  }
  return length;
}

}  // namespace

std::string AsciiLower(std::string_view text) {
  std::string lowered(text);
  for (char& c : lowered) {
    if (c >= 'A' && c <= 'Z')
      c = static_cast<char>(c - 'A' + 'a');
  }
  return lowered;
}

std::string CutToUtf16Units(std::string_view text, std::size_t maxUnits) {
  std::size_t units = 0;
  std::size_t i = 0;
  while (i < text.size()) {
    const std::size_t length = SequenceLength(text.substr(i));
    const std::size_t width = length == 4 ? 2 : 1;  // a surrogate pair
    if (units + width > maxUnits)
      break;
    units += width;
    i += length;
  }
  return std::string(text.substr(0, i));
}

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
