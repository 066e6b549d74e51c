#include "tailoring/device_sheet.h"

#include <xlsxwriter.h>

#include <algorithm>
#include <cstdio>
#include <optional>
#include <unordered_map>

#include "app/exe_dir.h"
#include "i18n/language.h"
#include "tailoring/xlsx_reader.h"
#include "text/text.h"

namespace brevant {

namespace {

enum class Field {
  Mac,
  WanName,
  Vid,
  PppUser,
  PppPassword,
  Ssid5g,
  WlanPsk5g,
  Ssid24g,
  WlanPsk24g,
  Loid,
  LoidPassword,
  PloamPassword,
  LoginPassword,
};

struct Column {
  Field field;
  int wan = 0;  // WAN entry index for the WAN fields
  std::string header;
};

const std::string& FieldOf(const DeviceFieldRecord& record, const Column& column) {
  switch (column.field) {
    case Field::Mac:
      return record.mac;
    case Field::WanName:
      return record.WanName[column.wan];
    case Field::Vid:
      return record.vid[column.wan];
    case Field::PppUser:
      return record.pppUser[column.wan];
    case Field::PppPassword:
      return record.pppPassword[column.wan];
    case Field::Ssid5g:
      return record.ssid_5g;
    case Field::WlanPsk5g:
      return record.wlanPsk_5g;
    case Field::Ssid24g:
      return record.ssid_24g;
    case Field::WlanPsk24g:
      return record.wlanPsk_24g;
    case Field::Loid:
      return record.loid;
    case Field::LoidPassword:
      return record.loidPassword;
    case Field::PloamPassword:
      return record.ploamPassword;
    case Field::LoginPassword:
      break;
  }
  return record.loginPassword;
}

std::string& FieldOf(DeviceFieldRecord& record, const Column& column) {
  return const_cast<std::string&>(FieldOf(static_cast<const DeviceFieldRecord&>(record), column));
}

const char kMacHeader[] = "mac(*This column cannot be modified*)";
const char kCannotBeModified[] = "(*This column cannot be modified*)";

// "vid" and 2 give "vid2".
std::string Numbered(std::string_view name, int number) {
  return std::string(name) + std::to_string(number);
}

std::vector<Column> WifiAndAccountColumns(bool wifi5g, bool wifi24g) {
  std::vector<Column> columns;
  if (wifi5g) {
    columns.push_back({Field::Ssid5g, 0, "ssid_5g"});
    columns.push_back({Field::WlanPsk5g, 0, "wlanPsk_5g"});
  }
  if (wifi24g) {
    columns.push_back({Field::Ssid24g, 0, "ssid_2.4g"});
    columns.push_back({Field::WlanPsk24g, 0, "wlanPsk_2.4g"});
  }
  columns.push_back({Field::Loid, 0, "loid"});
  columns.push_back({Field::LoidPassword, 0, "loidPassword"});
  columns.push_back({Field::PloamPassword, 0, "ploamPassword"});
  columns.push_back({Field::LoginPassword, 0, "loginPassword"});
  return columns;
}

std::vector<Column> SheetLayout(const DeviceFieldRecord& templateFields, bool wifiColumns) {
  std::vector<Column> columns{{Field::Mac, 0, kMacHeader}};
  const int wanCount = std::clamp(templateFields.wanCount, 0, kMaxWanEntries);
  for (int w = 0; w < wanCount; ++w) {
    columns.push_back({Field::WanName, w, Numbered("WanName", w + 1) + kCannotBeModified});
    if (HasVidColumn(templateFields, w))
      columns.push_back({Field::Vid, w, Numbered("vid", w + 1)});
    if (HasPppColumns(templateFields, w)) {
      columns.push_back({Field::PppUser, w, Numbered("pppUser", w + 1)});
      columns.push_back({Field::PppPassword, w, Numbered("pppPassword", w + 1)});
    }
  }
  for (auto& column : WifiAndAccountColumns(wifiColumns && templateFields.dualBand, wifiColumns))
    columns.push_back(std::move(column));
  return columns;
}

// The columns a sheet's header announces. The WAN groups are counted as far
// as the template's entries match; the Wi-Fi pairs are optional and known by
// their header texts; the four account columns must follow. Nothing is taken
// by position alone, so a damaged header fails instead of shifting values
// into the wrong fields.
std::optional<std::vector<Column>> ParseHeader(const XlsxReader& sheet,
                                               const DeviceFieldRecord& templateFields,
                                               int& groups) {
  if (!sheet.cell(0, 0).starts_with("mac"))
    return std::nullopt;
  std::vector<Column> columns{{Field::Mac, 0, sheet.cell(0, 0)}};
  int c = 1;
  groups = 0;
  for (int w = 0; w < kMaxWanEntries; ++w) {
    const std::string wanName = Numbered("WanName", w + 1);
    if (!sheet.cell(0, c).starts_with(wanName))
      break;
    std::vector<Column> group{{Field::WanName, w, sheet.cell(0, c)}};
    int next = c + 1;
    if (HasVidColumn(templateFields, w)) {
      if (sheet.cell(0, next) != Numbered("vid", w + 1))
        break;
      group.push_back({Field::Vid, w, sheet.cell(0, next)});
      ++next;
    }
    if (HasPppColumns(templateFields, w)) {
      if (sheet.cell(0, next) != Numbered("pppUser", w + 1) ||
          sheet.cell(0, next + 1) != Numbered("pppPassword", w + 1))
        break;
      group.push_back({Field::PppUser, w, sheet.cell(0, next)});
      group.push_back({Field::PppPassword, w, sheet.cell(0, next + 1)});
      next += 2;
    }
    columns.insert(columns.end(), group.begin(), group.end());
    c = next;
    ++groups;
  }
  const bool wifi5g = sheet.cell(0, c) == "ssid_5g" && sheet.cell(0, c + 1) == "wlanPsk_5g";
  const int c24 = c + (wifi5g ? 2 : 0);
  const bool wifi24g =
      sheet.cell(0, c24) == "ssid_2.4g" && sheet.cell(0, c24 + 1) == "wlanPsk_2.4g";
  for (auto& column : WifiAndAccountColumns(wifi5g, wifi24g)) {
    if (sheet.cell(0, static_cast<int>(columns.size())) != column.header)
      return std::nullopt;
    columns.push_back(std::move(column));
  }
  return columns;
}

// A cell text as the sheet must hold it: valid UTF-8 (libxlsxwriter writes
// bytes as they are), and a literal "_xHHHH_" protected as "_x005F_xHHHH_",
// which spreadsheet readers would otherwise take for an escaped character
// (libxlsxwriter escapes control characters that way but not the underscore).
std::string SheetText(std::string_view raw) {
  const std::string text = Utf16ToUtf8(Utf8ToUtf16(raw));
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '_' && i + 6 < text.size() && text[i + 1] == 'x' && text[i + 6] == '_' &&
        std::all_of(text.begin() + static_cast<std::ptrdiff_t>(i) + 2,
                    text.begin() + static_cast<std::ptrdiff_t>(i) + 6,
                    [](char c) { return HexDigitValue(c) >= 0; }))
      out += "_x005F";
    out += text[i];
  }
  return out;
}

std::size_t DisplayLength(std::string_view text) {
  return static_cast<std::size_t>(
      std::count_if(text.begin(), text.end(), [](char c) { return (c & 0xC0) != 0x80; }));
}

bool WriteSheet(const std::filesystem::path& path, const std::vector<Column>& layout,
                const std::vector<std::vector<std::string>>& rows) {
  lxw_workbook* workbook = workbook_new(path.c_str());
  if (workbook == nullptr)
    return false;
  lxw_worksheet* sheet = workbook_add_worksheet(workbook, nullptr);
  lxw_format* text = workbook_add_format(workbook);
  lxw_format* header = workbook_add_format(workbook);
  bool written = sheet != nullptr && text != nullptr && header != nullptr;
  if (written) {
    // Text format on whole columns, so what the operator types (a VLAN ID, a
    // numeric password) stays text.
    // 49 is the built-in text format "@".
    format_set_num_format_index(text, 49);
    format_set_num_format_index(header, 49);
    format_set_bold(header);
    for (std::size_t c = 0; c < layout.size() && written; ++c) {
      std::size_t width = DisplayLength(layout[c].header);
      for (const auto& row : rows)
        width = std::max(width, DisplayLength(row[c]));
      const auto col = static_cast<lxw_col_t>(c);
      written =
          worksheet_set_column(sheet, col, col,
                               static_cast<double>(std::clamp<std::size_t>(width + 2, 10, 60)),
                               text) == LXW_NO_ERROR &&
          worksheet_write_string(sheet, 0, col, layout[c].header.c_str(), header) == LXW_NO_ERROR;
    }
    worksheet_freeze_panes(sheet, 1, 0);
    for (std::size_t r = 0; r < rows.size() && written; ++r) {
      for (std::size_t c = 0; c < layout.size() && written; ++c) {
        written =
            worksheet_write_string(sheet, static_cast<lxw_row_t>(r + 1), static_cast<lxw_col_t>(c),
                                   rows[r][c].c_str(), text) == LXW_NO_ERROR;
      }
    }
  }
  const lxw_error closed = workbook_close(workbook);
  return written && closed == LXW_NO_ERROR;
}

std::string FormatMac(std::string pattern, std::string_view mac) {
  const auto at = pattern.find("%s");
  if (at != std::string::npos)
    pattern.replace(at, 2, mac);
  return pattern;
}

std::string MacKey(std::string_view mac) {
  std::string key = TrimWhite(mac);
  for (char& c : key) {
    if (c >= 'A' && c <= 'Z')
      c = static_cast<char>(c - 'A' + 'a');
  }
  return key;
}

}  // namespace

std::filesystem::path DefaultSheetFolder() {
  return ExecutableDirectory() / "ModifyExcel";
}

std::string SheetFileName(const std::tm& localTime) {
  char name[64];
  std::snprintf(name, sizeof name, "ExcelFiels%04d-%02d-%02d-%02d-%02d-%02d.xlsx",
                localTime.tm_year + 1900, localTime.tm_mon + 1, localTime.tm_mday,
                localTime.tm_hour, localTime.tm_min, localTime.tm_sec);
  return name;
}

std::vector<std::string> SheetHeaderTexts(const DeviceFieldRecord& templateFields,
                                          bool wifiColumns) {
  std::vector<std::string> headers;
  for (const auto& column : SheetLayout(templateFields, wifiColumns))
    headers.push_back(column.header);
  return headers;
}

std::filesystem::path DeviceSheetPath(const std::filesystem::path& folder,
                                      std::chrono::system_clock::time_point now) {
  const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
  std::tm localTime{};
  localtime_r(&seconds, &localTime);
  return folder / SheetFileName(localTime);
}

bool CreateDeviceSheet(const std::filesystem::path& sheet, const std::vector<std::string>& targets,
                       const DeviceFieldRecord& templateFields, const DeviceLookup& lookup,
                       std::string* note) {
  const auto stored = [&](const std::string& mac) {
    ap_info_stu row;
    if (!lookup || !lookup(mac, row))
      row = ap_info_stu{};
    return row;
  };
  // The store keeps names unpadded: a device has stored names when either of
  // them holds more than white space.
  bool wifiColumns = false;
  if (!targets.empty()) {
    const ap_info_stu first = stored(targets.front());
    wifiColumns = !TrimWhite(first.ssid2).empty() || !TrimWhite(first.ssid5).empty();
  }
  SetWifiColumnsFlag(wifiColumns);

  const std::vector<Column> layout = SheetLayout(templateFields, wifiColumns);
  std::vector<std::vector<std::string>> rows;
  rows.reserve(targets.size());
  for (const std::string& mac : targets) {
    ap_info_stu device;
    if (wifiColumns)
      device = stored(mac);
    std::vector<std::string> cells;
    cells.reserve(layout.size());
    for (const Column& column : layout) {
      switch (column.field) {
        case Field::Mac:
          cells.push_back(mac);
          break;
        case Field::Ssid5g:
          cells.push_back(TrimWhite(device.ssid5));
          break;
        case Field::WlanPsk5g:
          cells.push_back(TrimWhite(device.key5));
          break;
        case Field::Ssid24g:
          cells.push_back(TrimWhite(device.ssid2));
          break;
        case Field::WlanPsk24g:
          cells.push_back(TrimWhite(device.key2));
          break;
        default:
          cells.push_back(FieldOf(templateFields, column));
          break;
      }
      cells.back() = SheetText(cells.back());
    }
    rows.push_back(std::move(cells));
  }

  if (!WriteSheet(sheet, layout, rows)) {
    std::error_code ignored;
    std::filesystem::remove(sheet, ignored);
    if (note != nullptr)
      *note = Translate("Failed to save the excel file!") + "\n" + sheet.string();
    return false;
  }
  return true;
}

bool ReadDeviceSheet(const std::filesystem::path& file, const DeviceFieldRecord& templateFields,
                     std::vector<DeviceFieldRecord>& rows) {
  XlsxReader sheet;
  rows.clear();
  if (!sheet.Open(file))
    return false;
  int groups = 0;
  const auto layout = ParseHeader(sheet, templateFields, groups);
  if (!layout)
    return false;

  DeviceFieldRecord work;
  work.wanCount = groups;
  for (const Column& column : *layout) {
    switch (column.field) {
      case Field::Vid:
        work.columns.vid[column.wan] = true;
        break;
      case Field::PppUser:
        work.columns.ppp[column.wan] = true;
        break;
      case Field::Ssid5g:
        work.columns.wifi5g = true;
        break;
      case Field::Ssid24g:
        work.columns.wifi24g = true;
        break;
      case Field::Loid:
        work.columns.accounts = true;
        break;
      default:
        break;
    }
  }

  for (int r = 1; r < sheet.rowCount(); ++r) {
    DeviceFieldRecord row = work;
    bool empty = true;
    for (std::size_t c = 0; c < layout->size(); ++c) {
      std::string text = sheet.cell(r, static_cast<int>(c));
      if (!TrimWhite(text).empty())
        empty = false;
      FieldOf(row, (*layout)[c]) = std::move(text);
    }
    if (empty)
      break;
    rows.push_back(std::move(row));
  }
  return true;
}

SheetRowMatch MatchSheetRows(const std::vector<std::string>& targets,
                             const std::vector<DeviceFieldRecord>& rows) {
  std::unordered_map<std::string, std::vector<std::size_t>> byMac;
  for (std::size_t i = 0; i < rows.size(); ++i)
    byMac[MacKey(rows[i].mac)].push_back(i);
  SheetRowMatch match;
  match.rows.reserve(targets.size());
  for (const std::string& target : targets) {
    const auto found = byMac.find(MacKey(target));
    if (found == byMac.end() || found->second.size() != 1) {
      match.outcome = found == byMac.end() ? SheetRowMatch::Missing : SheetRowMatch::Duplicate;
      match.mac = target;
      match.rows.clear();
      return match;
    }
    match.rows.push_back(rows[found->second.front()]);
  }
  return match;
}

std::string SheetRowMatchNote(const SheetRowMatch& match) {
  switch (match.outcome) {
    case SheetRowMatch::Missing:
      return FormatMac(Translate("The MAC:%s has no row in the excel file."), match.mac);
    case SheetRowMatch::Duplicate:
      return FormatMac(Translate("The MAC:%s has more than one row in the excel file."), match.mac);
    case SheetRowMatch::Matched:
      break;
  }
  return {};
}

}  // namespace brevant
