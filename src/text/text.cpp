#include "text/text.h"

#include <limits>

namespace brevant {

namespace {

bool IsContinuation(unsigned char byte) {
  return (byte & 0xC0) == 0x80;
}

// The length of the well-formed UTF-8 sequence at the start of the text, 1
// for a byte that starts none (it stands for one replacement character, as
// the UTF-16 conversion gives it): overlong forms, surrogates and code points
// past U+10FFFF are no characters.
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

std::u16string Utf8ToUtf16(std::string_view text) {
  std::u16string out;
  out.reserve(text.size());
  std::size_t i = 0;
  while (i < text.size()) {
    const auto b0 = static_cast<unsigned char>(text[i]);
    char32_t cp = 0xFFFD;
    std::size_t length = 1;
    auto cont = [&](std::size_t k) {
      return i + k < text.size() && (static_cast<unsigned char>(text[i + k]) & 0xC0) == 0x80;
    };
    auto byteAt = [&](std::size_t k) { return static_cast<unsigned char>(text[i + k]) & 0x3F; };
    if (b0 < 0x80) {
      cp = b0;
    } else if (b0 >= 0xC2 && b0 < 0xE0 && cont(1)) {
      cp = (char32_t(b0 & 0x1F) << 6) | byteAt(1);
      length = 2;
    } else if (b0 >= 0xE0 && b0 < 0xF0 && cont(1) && cont(2)) {
      const char32_t v = (char32_t(b0 & 0x0F) << 12) | (char32_t(byteAt(1)) << 6) | byteAt(2);
      if (v >= 0x800 && (v < 0xD800 || v > 0xDFFF)) {
        cp = v;
        length = 3;
      }
    } else if (b0 >= 0xF0 && b0 <= 0xF4 && cont(1) && cont(2) && cont(3)) {
      const char32_t v = (char32_t(b0 & 0x07) << 18) | (char32_t(byteAt(1)) << 12) |
                         (char32_t(byteAt(2)) << 6) | byteAt(3);
      if (v >= 0x10000 && v <= 0x10FFFF) {
        cp = v;
        length = 4;
      }
    }
    if (cp >= 0x10000) {
      cp -= 0x10000;
      out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
    } else {
      out.push_back(static_cast<char16_t>(cp));
    }
    i += length;
  }
  return out;
}

std::string Utf16ToUtf8(std::u16string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    char32_t cp = text[i];
    if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
        text[i + 1] <= 0xDFFF) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      ++i;
    } else if (cp >= 0xD800 && cp <= 0xDFFF) {
      cp = 0xFFFD;
    }
    AppendUtf8(out, cp);
  }
  return out;
}

void AppendUtf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out.push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else if (cp < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}

int HexDigitValue(char c) {
  if (c >= '0' && c <= '9')
    return c - '0';
  if (c >= 'a' && c <= 'f')
    return c - 'a' + 10;
  if (c >= 'A' && c <= 'F')
    return c - 'A' + 10;
  return -1;
}

int AtoiLike(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r')))
    ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  long long value = 0;
  constexpr long long kLimit = static_cast<long long>(std::numeric_limits<int>::max()) + 1;
  while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
    value = value * 10 + (text[i] - '0');
    if (value > kLimit)
      value = kLimit;
    ++i;
  }
  if (negative)
    value = -value;
  if (value > std::numeric_limits<int>::max())
    return std::numeric_limits<int>::max();
  if (value < std::numeric_limits<int>::min())
    return std::numeric_limits<int>::min();
  return static_cast<int>(value);
}

std::string TrimWhite(std::string_view text) {
  constexpr std::string_view kWhite = " \t\r\n\v\f";
  const auto first = text.find_first_not_of(kWhite);
  if (first == std::string_view::npos)
    return {};
  const auto last = text.find_last_not_of(kWhite);
  return std::string(text.substr(first, last - first + 1));
}

bool IsControlCharacter(char32_t c) {
  return c < 0x20 || (c >= 0x7F && c <= 0x9F);
}

bool HasControlCharacter(std::u16string_view text) {
  for (const char16_t c : text) {
    if (IsControlCharacter(c))
      return true;
  }
  return false;
}

bool HasControlCharacter(std::string_view text) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto byte = static_cast<unsigned char>(text[i]);
    if (byte < 0x20 || byte == 0x7F)
      return true;
    // U+0080 to U+009F are C2 80 to C2 9F.
    if (byte == 0xC2 && i + 1 < text.size()) {
      const auto next = static_cast<unsigned char>(text[i + 1]);
      if (next >= 0x80 && next <= 0x9F)
        return true;
    }
  }
  return false;
}

std::string TrimBlanks(std::string_view text) {
  const auto first = text.find_first_not_of(" \t");
  if (first == std::string_view::npos)
    return {};
  const auto last = text.find_last_not_of(" \t");
  return std::string(text.substr(first, last - first + 1));
}

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

std::string CutUtf8(std::string_view text, std::size_t maxBytes) {
  if (text.size() <= maxBytes)
    return std::string(text);
  std::size_t cut = maxBytes;
  while (cut > 0 && IsContinuation(static_cast<unsigned char>(text[cut])))
    --cut;
  return std::string(text.substr(0, cut));
}

}  // namespace brevant
