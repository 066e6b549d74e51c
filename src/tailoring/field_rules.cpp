#include "tailoring/field_rules.h"

#include <algorithm>

#include "i18n/language.h"
#include "text/text.h"

namespace brevant {

namespace {

bool IsLetterOrDigit(char16_t c) {
  return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z') || (c >= u'0' && c <= u'9');
}

bool IsPppMark(char16_t c) {
  return std::u16string_view(u"\"&'();<>\\`|").find(c) != std::u16string_view::npos;
}

// Every printable ASCII mark except the question mark.
bool IsLoidMark(char16_t c) {
  return (c >= 0x21 && c <= 0x2F) || (c >= 0x3A && c <= 0x3E) || c == 0x40 ||
         (c >= 0x5B && c <= 0x60) || (c >= 0x7B && c <= 0x7E);
}

bool IsPasswordMark(char16_t c) {
  return std::u16string_view(u"-./:@_").find(c) != std::u16string_view::npos;
}

template <typename Allowed>
bool AllOf(std::u16string_view text, Allowed allowed) {
  return std::all_of(text.begin(), text.end(), allowed);
}

bool Between(std::size_t value, std::size_t low, std::size_t high) {
  return value >= low && value <= high;
}

// Fills a message pattern: %s and %d in order, %% as one percent sign. Our own
// filling, so a translated pattern cannot make the formatting misbehave.
std::string Fill(std::string_view pattern, std::string_view mac, int group = 0, int value = 0) {
  std::string out;
  int numbers = 0;
  for (std::size_t i = 0; i < pattern.size(); ++i) {
    if (pattern[i] == '%' && i + 1 < pattern.size()) {
      const char kind = pattern[i + 1];
      if (kind == 's') {
        out += mac;
        ++i;
        continue;
      }
      if (kind == 'd') {
        out += std::to_string(numbers++ == 0 ? group : value);
        ++i;
        continue;
      }
      if (kind == '%') {
        out += '%';
        ++i;
        continue;
      }
    }
    out += pattern[i];
  }
  return out;
}

// The colon after "met" is ASCII in the first six patterns and U+FF1A in the
// others.
constexpr char kVidPattern[] =
    "The MAC:%s vid%d value:%d is invalid. Please check that the following rules are met:VLAN ID "
    "must be an integer ranging from 1 to 4094!";
constexpr char kPppUserPattern[] =
    "The MAC:%s pppUser%d is invalid. Please check that the following rules are met:userName must "
    "contain 1 to 63 characters, except special characters &`()|\\<>;'\"";
constexpr char kPppPasswordPattern[] =
    "The MAC:%s pppPassword%d is invalid. Please check that the following rules are met:must "
    "contain 1 to 29 characters, except special characters &`()|\\<>;'\"";
constexpr char kSsid5gPattern[] =
    "The MAC:%s ssid_5g is invalid. Please check that the following rules are met:ssid_5G must "
    "contain 1 to 32 UTF-8 bytes.except Chinese or empty!";
constexpr char kSsid24gPattern[] =
    "The MAC:%s ssid_2.4g is invalid. Please check that the following rules are met:ssid_2.4G "
    "must contain 1 to 32 UTF-8 bytes.except Chinese or empty!";
constexpr char kPsk5gPattern[] =
    "The MAC:%s wlanPsk_5g is invalid. Please check that the following rules are met:wlanPsk_5G "
    "must contain 8 to 63 ASCII characters, except special characters \\ ' \" ";
constexpr char kPsk24gPattern[] =
    "The MAC:%s wlanPsk_2.4g is invalid. Please check that the following rules are "
    "met\xEF\xBC\x9AwlanPsk_2.4G must contain 8 to 63 ASCII characters, except special characters "
    "\\ ' \" ";
// The character list holds "=", which a pack key cannot: it is not translated.
constexpr char kLoidPattern[] =
    "The MAC:%s loidis is invalid. Please check that the following rules are met\xEF\xBC\x9Aloid "
    "contains a maximum of 24 characters, including digits, uppercase and lowercase letters, and "
    "special characters";
constexpr char kLoidCharacters[] = "  `~!@#$%%^&*()_+-=[]\\{}|;':\"<>,./";
constexpr char kLoidPasswordPattern[] =
    "The MAC:%s loidPassword is invalid. Please check that the following rules are "
    "met\xEF\xBC\x9Ato enter the loidPassword, you must first enter loid;The 'loidPassword' "
    "support 12 characters, including digits, letters, and special characters.:-_/@;";
constexpr char kPairingPattern[] = "The MAC:%s to set loidPassword, you must set loid first.";
constexpr char kPloamPattern[] =
    "The MAC:%s ploamPassword is invalid. Please check that the following rules are "
    "met\xEF\xBC\x9AploamPassword must contain 1 to 10 characters, including digits, letters, and "
    "special characters .:-_/@";
constexpr char kLoginPattern[] =
    "The MAC:%s loginPassword is invalid. Please check that the following rules are "
    "met\xEF\xBC\x9AloginPassword must contain 1 to 30 ASCII characters without spaces,not "
    "allowed blank space!";

}  // namespace

std::size_t Utf8Length(std::u16string_view text) {
  std::size_t bytes = 0;
  for (const char16_t c : text)
    bytes += c < 0x80 ? 1 : c < 0x800 ? 2 : 3;
  return bytes;
}

bool IsChineseCharacter(char16_t c) {
  if (c >= 0x4E00 && c <= 0x9FA5)
    return true;
  if (c >= 0x3008 && c <= 0x3011)
    return true;
  constexpr char16_t marks[] = {0x00B7, 0x2014, 0x2018, 0x2019, 0x201C, 0x201D, 0x2026, 0x3001,
                                0x3002, 0x3014, 0x3015, 0xFE43, 0xFE44, 0xFE4F, 0xFF01, 0xFF08,
                                0xFF09, 0xFF0C, 0xFF1A, 0xFF1B, 0xFF1F, 0xFF5E, 0xFFE5};
  return std::find(std::begin(marks), std::end(marks), c) != std::end(marks);
}

// The text is read like atoi, but whatever follows the number still goes into
// the device's file: no control character may be among it.
bool IsValidVlanId(std::string_view text) {
  const int value = AtoiLike(text);
  return value >= 1 && value <= 4094 && !HasControlCharacter(text);
}

bool IsValidPppUser(std::u16string_view text) {
  return Between(Utf8Length(text), 1, 63) &&
         AllOf(text, [](char16_t c) { return !IsPppMark(c) && !IsControlCharacter(c); });
}

bool IsValidPppPassword(std::u16string_view text) {
  return Between(Utf8Length(text), 1, 29) &&
         AllOf(text, [](char16_t c) { return !IsPppMark(c) && !IsControlCharacter(c); });
}

bool IsValidSsid(std::u16string_view text) {
  return !text.empty() && Between(Utf8Length(text), 1, 32) && AllOf(text, [](char16_t c) {
    return c != u' ' && !IsChineseCharacter(c) && !IsControlCharacter(c);
  });
}

bool IsValidWpaKey(std::u16string_view text) {
  return Between(text.size(), 8, 63) && AllOf(text, [](char16_t c) {
           return c >= 0x20 && c < 0x7F && c != u'"' && c != u'\'' && c != u'\\';
         });
}

bool IsValidLoid(std::u16string_view text) {
  return Utf8Length(text) <= 24 &&
         AllOf(text, [](char16_t c) { return IsLetterOrDigit(c) || IsLoidMark(c); });
}

bool IsValidLoidPassword(std::u16string_view text) {
  return Utf8Length(text) <= 12 &&
         AllOf(text, [](char16_t c) { return IsLetterOrDigit(c) || IsPasswordMark(c); });
}

bool IsValidPloamPassword(std::u16string_view text) {
  return Between(Utf8Length(text), 1, 10) &&
         AllOf(text, [](char16_t c) { return IsLetterOrDigit(c) || IsPasswordMark(c); });
}

bool IsValidLoginPassword(std::u16string_view text) {
  return Between(text.size(), 1, 30) &&
         AllOf(text, [](char16_t c) { return c > 0x20 && c < 0x7F; });
}

std::optional<std::string> FirstRuleFailure(const DeviceFieldRecord& row) {
  const std::string& mac = row.mac;
  const auto translated = [&](const char* pattern, const char* untranslated = "") {
    return Fill(Translate(pattern) + untranslated, mac);
  };
  const int groups = std::clamp(row.wanCount, 0, kMaxWanEntries);
  for (int w = 0; w < groups; ++w) {
    if (row.columns.vid[w] && !IsValidVlanId(row.vid[w]))
      return Fill(Translate(kVidPattern), mac, w + 1, AtoiLike(row.vid[w]));
    if (row.columns.ppp[w]) {
      if (!IsValidPppUser(Utf8ToUtf16(row.pppUser[w])))
        return Fill(Translate(kPppUserPattern), mac, w + 1);
      if (!IsValidPppPassword(Utf8ToUtf16(row.pppPassword[w])))
        return Fill(Translate(kPppPasswordPattern), mac, w + 1);
    }
  }
  if (row.columns.wifi5g && !IsValidSsid(Utf8ToUtf16(row.ssid_5g)))
    return translated(kSsid5gPattern);
  if (row.columns.wifi24g && !IsValidSsid(Utf8ToUtf16(row.ssid_24g)))
    return translated(kSsid24gPattern);
  if (row.columns.wifi5g && !IsValidWpaKey(Utf8ToUtf16(row.wlanPsk_5g)))
    return translated(kPsk5gPattern);
  if (row.columns.wifi24g && !IsValidWpaKey(Utf8ToUtf16(row.wlanPsk_24g)))
    return translated(kPsk24gPattern);
  if (!IsValidLoid(Utf8ToUtf16(row.loid)))
    return translated(kLoidPattern, kLoidCharacters);
  if (!IsValidLoidPassword(Utf8ToUtf16(row.loidPassword)))
    return translated(kLoidPasswordPattern);
  if (row.loid.empty() && !row.loidPassword.empty())
    return translated(kPairingPattern);
  if (!row.ploamPassword.empty() && !IsValidPloamPassword(Utf8ToUtf16(row.ploamPassword)))
    return translated(kPloamPattern);
  if (!IsValidLoginPassword(Utf8ToUtf16(row.loginPassword)))
    return translated(kLoginPattern);
  return std::nullopt;
}

}  // namespace brevant
