#include "tailoring/xml_config.h"

#include "text/text.h"

#include <algorithm>
#include <optional>
#include <vector>

#include "app/exe_dir.h"
#include "i18n/language.h"
#include "tailoring/file_bytes.h"

namespace brevant {

namespace {

// One entry name with its marker forms: the reading marker ends with the
// value's opening quotation mark, the rewriting marker just before it.
class Entry {
 public:
  explicit Entry(std::string_view name)
      : rewriting_("<Value Name=\"" + std::string(name) + "\" Value"),
        reading_(rewriting_ + "=\"") {}

  bool In(std::string_view line) const { return line.find(rewriting_) != std::string_view::npos; }

  // The value after the reading marker up to the first "/> after it; empty
  // when the line has no end for it.
  std::optional<std::string> ValueIn(std::string_view line) const {
    const auto at = line.find(reading_);
    if (at == std::string_view::npos)
      return std::nullopt;
    const auto start = at + reading_.size();
    const auto end = line.find("\"/>", start);
    if (end == std::string_view::npos)
      return std::string();
    return DecodeXmlEntities(line.substr(start, end - start));
  }

  std::string Line(std::string_view value) const {
    return "  " + reading_ + EscapeXmlValue(value) + "\"/>";
  }

 private:
  std::string rewriting_;
  std::string reading_;
};

const Entry kPloamPassword("GPON_PLOAM_PASSWD");
const Entry kLoidPasswordOld("LOID_PASSWD_OLD");
const Entry kLoidOld("LOID_OLD");
const Entry kLoidPassword("LOID_PASSWD");
const Entry kLoid("LOID");
const Entry kLoginPassword("SUSER_PASSWORD");
const Entry kWscPsk5g("WSC_PSK");
const Entry kWscPsk24g("WLAN1_WSC_PSK");
const Entry kWpaPsk24g("WLAN1_WPA_PSK");
const Entry kSsid24g("WLAN1_SSID");
const Entry kWpaPsk("WLAN_WPA_PSK");
const Entry kSsidUpper("SSID");
const Entry kTableWscPsk("wscPsk");
const Entry kTableSsid("ssid");
const Entry kTableWpaPsk("wpaPSK");
const Entry kWanName("WanName");
const Entry kVid("vid");
const Entry kPppPassword("pppPasswd");
const Entry kPppUser("pppUser");
const Entry kChannelMode("ChannelMode");

bool Contains(std::string_view line, std::string_view text) {
  return line.find(text) != std::string_view::npos;
}

// Lines without their line ends (LF, or CR LF); a last line without a line end
// still counts.
std::vector<std::string_view> SplitLines(std::string_view text) {
  std::vector<std::string_view> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    const auto feed = text.find('\n', start);
    const auto end = feed == std::string_view::npos ? text.size() : feed;
    std::string_view line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r')
      line.remove_suffix(1);
    lines.push_back(line);
    if (feed == std::string_view::npos)
      break;
    start = feed + 1;
  }
  return lines;
}

class Rewriter {
 public:
  Rewriter(bool dualBand, const DeviceFieldRecord& row)
      : dualBand_(dualBand), row_(row), wanCount_(std::clamp(row.wanCount, 0, kMaxWanEntries)) {}

  std::string Line(std::string_view line) {
    line_ = line;
    const SheetColumns& has = row_.columns;
    if (kPloamPassword.In(line))
      return Set(kPloamPassword, has.accounts, row_.ploamPassword);
    if (kLoidPasswordOld.In(line))
      return Set(kLoidPasswordOld, has.accounts, row_.loidPassword);
    if (kLoidOld.In(line))
      return Set(kLoidOld, has.accounts, row_.loid);
    if (kLoidPassword.In(line))
      return Set(kLoidPassword, has.accounts, row_.loidPassword);
    if (kLoid.In(line))
      return Set(kLoid, has.accounts, row_.loid);
    if (kLoginPassword.In(line))
      return Set(kLoginPassword, has.accounts, row_.loginPassword);
    if (auto wireless = dualBand_ ? DualBand() : SingleBand())
      return *wireless;
    return Wan();
  }

 private:
  // The row's value when it has a column for the field; otherwise the chosen
  // file's line is kept.
  std::string Set(const Entry& entry, bool hasColumn, const std::string& value) const {
    return hasColumn ? entry.Line(value) : std::string(line_);
  }

  std::optional<std::string> DualBand() {
    const bool has5g = row_.columns.wifi5g;
    const bool has24g = row_.columns.wifi24g;
    if (kWscPsk5g.In(line_))
      return Set(kWscPsk5g, has5g, row_.wlanPsk_5g);
    if (kWscPsk24g.In(line_))
      return Set(kWscPsk24g, has24g, row_.wlanPsk_24g);
    if (kWpaPsk24g.In(line_))
      return Set(kWpaPsk24g, has24g, row_.wlanPsk_24g);
    if (kSsid24g.In(line_))
      return Set(kSsid24g, has24g, row_.ssid_24g);
    if (kWpaPsk.In(line_))
      return Set(kWpaPsk, has5g, row_.wlanPsk_5g);
    if (kSsidUpper.In(line_) && firstSsids_ == 0) {
      ++firstSsids_;
      return Set(kSsidUpper, has5g, row_.ssid_5g);
    }
    if (Contains(line_, "WLAN1_MBSSIB_TBL") && !usedA_)
      inA_ = usedA_ = true;
    if (inA_) {
      if (auto line = TableLine(inA_, has24g, row_.ssid_24g, row_.wlanPsk_24g))
        return line;
    }
    if (Contains(line_, "WLAN_MBSSIB_TBL") && !usedB_)
      inB_ = usedB_ = true;
    if (inB_)
      return TableLine(inB_, has5g, row_.ssid_5g, row_.wlanPsk_5g);
    return std::nullopt;
  }

  std::optional<std::string> SingleBand() {
    const bool has24g = row_.columns.wifi24g;
    if (kTableSsid.In(line_) && firstSsids_ == 0) {
      ++firstSsids_;
      return Set(kTableSsid, has24g, row_.ssid_24g);
    }
    if (kWpaPsk.In(line_) && firstKeys_ == 0) {
      ++firstKeys_;
      return Set(kWpaPsk, has24g, row_.wlanPsk_24g);
    }
    if (Contains(line_, "WLAN_MBSSIB_TBL") && !usedA_)
      inA_ = usedA_ = true;
    if (inA_)
      return TableLine(inA_, has24g, row_.ssid_24g, row_.wlanPsk_24g);
    return std::nullopt;
  }

  // Inside a wireless table section, which ends with its wpaPSK line.
  std::optional<std::string> TableLine(bool& inTable, bool hasColumns, const std::string& ssid,
                                       const std::string& key) {
    if (kTableWscPsk.In(line_))
      return Set(kTableWscPsk, hasColumns, key);
    if (kTableSsid.In(line_))
      return Set(kTableSsid, hasColumns, ssid);
    if (kTableWpaPsk.In(line_)) {
      inTable = false;
      return Set(kTableWpaPsk, hasColumns, key);
    }
    return std::nullopt;
  }

  std::string Wan() {
    if (Contains(line_, "ATM_VC_TBL") && opened_ < wanCount_) {
      inWan_ = true;
      ++opened_;
    }
    if (inWan_) {
      const int w = opened_ - 1;
      if (kVid.In(line_))
        return Set(kVid, row_.columns.vid[w], row_.vid[w]);
      if (kPppPassword.In(line_))
        return Set(kPppPassword, row_.columns.ppp[w], row_.pppPassword[w]);
      if (kPppUser.In(line_))
        return Set(kPppUser, row_.columns.ppp[w], row_.pppUser[w]);
      if (kChannelMode.In(line_) && opened_ == wanCount_)
        inWan_ = false;
    }
    return std::string(line_);
  }

  const bool dualBand_;
  const DeviceFieldRecord& row_;
  const int wanCount_;
  std::string_view line_;
  int firstSsids_ = 0;
  int firstKeys_ = 0;
  int opened_ = 0;
  bool inA_ = false;
  bool inB_ = false;
  bool usedA_ = false;
  bool usedB_ = false;
  bool inWan_ = false;
};

bool IsPlainFileName(const std::string& name) {
  return !name.empty() && name != "." && name != ".." &&
         name.find_first_of(std::string_view("/\0", 2)) == std::string::npos;
}

}  // namespace

std::string DecodeXmlEntities(std::string_view value) {
  std::string out;
  out.reserve(value.size());
  std::size_t i = 0;
  while (i < value.size()) {
    if (value[i] == '&') {
      const auto end = value.find(';', i + 1);
      if (end != std::string_view::npos && end - i <= 10) {
        const std::string_view name = value.substr(i + 1, end - i - 1);
        std::optional<char32_t> code;
        if (name == "amp")
          code = U'&';
        else if (name == "lt")
          code = U'<';
        else if (name == "gt")
          code = U'>';
        else if (name == "quot")
          code = U'"';
        else if (name == "apos")
          code = U'\'';
        else if (name.size() >= 2 && name[0] == '#') {
          const bool hex = name[1] == 'x' || name[1] == 'X';
          const std::string_view digits = name.substr(hex ? 2 : 1);
          char32_t number = 0;
          bool ok = !digits.empty();
          for (const char c : digits) {
            const int digit = HexDigitValue(c);
            // A digit of the other base, or a number past Unicode, is no reference.
            if (digit < 0 || (!hex && digit > 9) || number > 0x10FFFF) {
              ok = false;
              break;
            }
            number = number * (hex ? 16 : 10) + static_cast<char32_t>(digit);
          }
          if (ok && number > 0 && number <= 0x10FFFF && (number < 0xD800 || number > 0xDFFF))
            code = number;
        }
        if (code) {
          AppendUtf8(out, *code);
          i = end + 1;
          continue;
        }
      }
    }
    out.push_back(value[i]);
    ++i;
  }
  return out;
}

std::string EscapeXmlValue(std::string_view value) {
  std::string out;
  out.reserve(value.size());
  for (const char c : value) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      default:
        // A line break or other control character in a value would break the
        // file's one-entry-per-line layout; it goes in as a character reference.
        if (static_cast<unsigned char>(c) < 0x20)
          out += "&#" + std::to_string(static_cast<int>(c)) + ";";
        else
          out.push_back(c);
    }
  }
  return out;
}

DeviceFieldRecord ReadXmlTemplateText(std::string_view text) {
  DeviceFieldRecord fields;
  bool wlan1 = false;
  bool wlan = false;
  bool wanTable = false;
  int i = 0;
  for (const std::string_view line : SplitLines(text)) {
    wlan1 = wlan1 || Contains(line, "WLAN1_");
    wlan = wlan || Contains(line, "WLAN_");
    if (auto value = kPloamPassword.ValueIn(line)) {
      fields.ploamPassword = std::move(*value);
    } else if (auto loidPassword = kLoidPasswordOld.ValueIn(line)) {
      fields.loidPassword = std::move(*loidPassword);
    } else if (auto loid = kLoidOld.ValueIn(line)) {
      fields.loid = std::move(*loid);
    } else if (auto login = kLoginPassword.ValueIn(line)) {
      fields.loginPassword = std::move(*login);
    } else {
      if (Contains(line, "ATM_VC_TBL") && i < kMaxWanEntries)
        wanTable = true;
      // An entry ends with its ChannelMode line; entries past the tenth are
      // left alone.
      if (!wanTable || i >= kMaxWanEntries)
        continue;
      if (auto name = kWanName.ValueIn(line)) {
        fields.WanName[i] = std::move(*name);
      } else if (auto vid = kVid.ValueIn(line)) {
        fields.vid[i] = std::move(*vid);
      } else if (auto password = kPppPassword.ValueIn(line)) {
        fields.pppPassword[i] = std::move(*password);
      } else if (auto user = kPppUser.ValueIn(line)) {
        fields.pppUser[i] = std::move(*user);
      } else if (auto mode = kChannelMode.ValueIn(line)) {
        fields.ChannelMode[i] = std::move(*mode);
        ++i;
      }
    }
  }
  fields.wanCount = i;
  fields.dualBand = wlan1 && wlan;
  return fields;
}

bool ReadXmlTemplate(const std::filesystem::path& path, DeviceFieldRecord& fields) {
  std::string text;
  if (!ReadFileBytes(path, text))
    return false;
  fields = ReadXmlTemplateText(text);
  return true;
}

std::string RewriteXmlText(bool dualBand, const DeviceFieldRecord& row, std::string_view source) {
  Rewriter rewriter(dualBand, row);
  std::string out;
  out.reserve(source.size() + source.size() / 16);
  for (const std::string_view line : SplitLines(source)) {
    out += rewriter.Line(line);
    out += "\r\n";
  }
  return out;
}

bool RewriteXml(bool dualBand, const DeviceFieldRecord& row, const std::filesystem::path& source,
                const std::filesystem::path& output) {
  std::string text;
  if (!ReadFileBytes(source, text))
    return false;
  return WriteFileBytes(output, RewriteXmlText(dualBand, row, text));
}

std::filesystem::path DefaultXmlFolder() {
  return ExecutableDirectory() / "ModifyXml";
}

bool CopyConfigurationFile(const std::filesystem::path& source,
                           const std::filesystem::path& destination, std::string* note) {
  std::error_code error;
  // Copying a file onto itself (the chosen file already is the device's) is done.
  if (std::filesystem::equivalent(source, destination, error))
    return true;
  // Written afresh, not copied with the source's mode: the copy must be as
  // writable as every other file the tool writes, since in an installed copy
  // the operators share the folder and rewrite each other's files.
  std::string bytes;
  if (!ReadFileBytes(source, bytes) || !WriteFileBytes(destination, bytes)) {
    if (note != nullptr)
      *note = Translate("Failed to copy the configuration file!") + "\n" + destination.string();
    return false;
  }
  return true;
}

bool WriteDeviceXml(const DeviceFileSource& source, const DeviceFieldRecord& row,
                    const std::string& mac, const std::filesystem::path& folder,
                    std::filesystem::path* written, std::string* note) {
  const std::filesystem::path output = folder / (DeviceFileStem(mac) + ".xml");
  if (written != nullptr)
    *written = output;
  const bool plain = IsPlainFileName(DeviceFileStem(mac));
  if (!source.tailored && plain)
    return CopyConfigurationFile(source.chosen, output, note);
  if (!plain || !RewriteXml(source.dualBand, row, source.chosen, output)) {
    if (note != nullptr)
      *note = Translate("Modify New Xml file fail!");
    return false;
  }
  return true;
}

}  // namespace brevant
