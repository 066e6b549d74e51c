#pragma once

// What the fuzz targets share: splitting an input into parts, values with
// escapes, a sheet row written as text, a scratch folder, quiet diagnostics,
// and the way a broken property stops the run.

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "records/diag_log.h"
#include "support/temp_dir.h"
#include "tailoring/device_fields.h"
#include "text/text.h"

namespace brevant::fuzz {

// Between the parts of an input made of several texts (a template and a row,
// the parts of a workbook).
inline constexpr std::string_view kPartSeparator = "\n=====\n";

inline std::string_view AsText(const std::uint8_t* data, std::size_t size) {
  return std::string_view(reinterpret_cast<const char*>(data), size);
}

// The text cut at every separator; the last of at most `most` parts keeps the
// rest, separators included.
inline std::vector<std::string_view> SplitParts(std::string_view text, std::string_view separator,
                                                std::size_t most) {
  std::vector<std::string_view> parts;
  while (parts.size() + 1 < most) {
    const auto at = text.find(separator);
    if (at == std::string_view::npos)
      break;
    parts.push_back(text.substr(0, at));
    text.remove_prefix(at + separator.size());
  }
  parts.push_back(text);
  return parts;
}

// \n \r \t \0 \\ and \xHH as the bytes they stand for; any other backslash stays.
inline std::string Unescape(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\\' || i + 1 == text.size()) {
      out += text[i];
      continue;
    }
    const char next = text[i + 1];
    if (next == 'n' || next == 'r' || next == 't' || next == '0' || next == '\\') {
      out += next == 'n'   ? '\n'
             : next == 'r' ? '\r'
             : next == 't' ? '\t'
             : next == '0' ? '\0'
                           : '\\';
      ++i;
    } else if (next == 'x' && i + 3 < text.size() && HexDigitValue(text[i + 2]) >= 0 &&
               HexDigitValue(text[i + 3]) >= 0) {
      out += static_cast<char>(HexDigitValue(text[i + 2]) * 16 + HexDigitValue(text[i + 3]));
      i += 3;
    } else {
      out += text[i];
    }
  }
  return out;
}

// A sheet row as lines "name=value" (values with escapes), the names as the
// sheet's header has them: mac, WanName1, vid1, pppUser1, pppPassword1,
// ChannelMode1 ... up to 10, ssid_5g, wlanPsk_5g, ssid_2.4g, wlanPsk_2.4g,
// loid, loidPassword, ploamPassword, loginPassword; also wanCount=N and
// dualBand=1. A field named in the text came from a column of the sheet.
inline DeviceFieldRecord ParseRowText(std::string_view text) {
  DeviceFieldRecord row;
  int groups = 0;
  bool explicitCount = false;
  for (const std::string_view line : SplitParts(text, "\n", 1000)) {
    const auto equals = line.find('=');
    if (equals == std::string_view::npos)
      continue;
    const std::string_view name = line.substr(0, equals);
    std::string value = Unescape(line.substr(equals + 1));
    SheetColumns& has = row.columns;
    auto wan = [&](std::string_view stem) -> int {
      if (!name.starts_with(stem) || name.size() == stem.size())
        return -1;
      const int number = AtoiLike(name.substr(stem.size()));
      return number >= 1 && number <= kMaxWanEntries ? number - 1 : -1;
    };
    int w = -1;
    if (name == "mac") {
      row.mac = std::move(value);
    } else if (name == "wanCount") {
      row.wanCount = AtoiLike(value);
      explicitCount = true;
    } else if (name == "dualBand") {
      row.dualBand = AtoiLike(value) != 0;
    } else if (name == "ssid_5g" || name == "wlanPsk_5g") {
      (name == "ssid_5g" ? row.ssid_5g : row.wlanPsk_5g) = std::move(value);
      has.wifi5g = true;
    } else if (name == "ssid_2.4g" || name == "wlanPsk_2.4g") {
      (name == "ssid_2.4g" ? row.ssid_24g : row.wlanPsk_24g) = std::move(value);
      has.wifi24g = true;
    } else if (name == "loid" || name == "loidPassword" || name == "ploamPassword" ||
               name == "loginPassword") {
      std::string& field = name == "loid"            ? row.loid
                           : name == "loidPassword"  ? row.loidPassword
                           : name == "ploamPassword" ? row.ploamPassword
                                                     : row.loginPassword;
      field = std::move(value);
      has.accounts = true;
    } else if ((w = wan("WanName")) >= 0) {
      row.WanName[w] = std::move(value);
    } else if ((w = wan("vid")) >= 0) {
      row.vid[w] = std::move(value);
      has.vid[w] = true;
    } else if ((w = wan("pppUser")) >= 0 || (w = wan("pppPassword")) >= 0) {
      (name.starts_with("pppUser") ? row.pppUser[w] : row.pppPassword[w]) = std::move(value);
      has.ppp[w] = true;
    } else if ((w = wan("ChannelMode")) >= 0) {
      row.ChannelMode[w] = std::move(value);
    }
    if (w >= 0)
      groups = std::max(groups, w + 1);
  }
  if (!explicitCount)
    row.wanCount = groups;
  return row;
}

// The process's scratch folder (under TMPDIR), removed at a normal exit.
inline const std::filesystem::path& ScratchDir() {
  static const brevant::testing::TempDir dir;
  return dir.path();
}

// Diagnostic lines of millions of runs would drown the fuzzer's own output.
inline void QuietDiagnostics() {
  SetDiagnosticSink([](const std::string&) {});
}

// A property the code must keep does not hold: the input is a finding.
[[noreturn]] inline void Broken(const char* format, ...) __attribute__((format(printf, 1, 2)));
inline void Broken(const char* format, ...) {
  std::fputs("property broken: ", stderr);
  va_list arguments;
  va_start(arguments, format);
  std::vfprintf(stderr, format, arguments);
  va_end(arguments);
  std::fputc('\n', stderr);
  std::abort();
}

#define BREVANT_FUZZ_CHECK(condition, ...)  \
  do {                                      \
    if (!(condition))                       \
      ::brevant::fuzz::Broken(__VA_ARGS__); \
  } while (false)

}  // namespace brevant::fuzz
