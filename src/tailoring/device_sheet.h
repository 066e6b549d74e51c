#pragma once

#include <chrono>
#include <ctime>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "records/status_store.h"
#include "tailoring/device_fields.h"

namespace brevant {

// Finds a device's stored row by its MAC text; the workflow wires it to
// CSqlManagement::GetDevice.
using DeviceLookup = std::function<bool(const std::string& mac, ap_info_stu& row)>;

// ModifyExcel/ beside the executable.
std::filesystem::path DefaultSheetFolder();

// "ExcelFiels2025-03-05-14-07-09.xlsx" for that local time.
std::string SheetFileName(const std::tm& localTime);

// The header row of the sheet made from this template, left to right.
std::vector<std::string> SheetHeaderTexts(const DeviceFieldRecord& templateFields,
                                          bool wifiColumns);

// "<folder>/ExcelFiels<local time>.xlsx": where a sheet made now goes.
std::filesystem::path DeviceSheetPath(
    const std::filesystem::path& folder,
    std::chrono::system_clock::time_point now = std::chrono::system_clock::now());

// Writes the per-device sheet: one row per target, pre-filled with the
// template's values and each device's stored Wi-Fi names and keys. Sets
// WifiColumnsFlag from the first target's stored names. A sheet that cannot
// be written is removed; false with the note to show in *note.
bool CreateDeviceSheet(const std::filesystem::path& sheet, const std::vector<std::string>& targets,
                       const DeviceFieldRecord& templateFields, const DeviceLookup& lookup,
                       std::string* note = nullptr);

// Reads every data row of the sheet (up to the first empty row) into rows,
// laid out by the header and the template fields; each row records which
// fields it took from a column. False when the file cannot be read or its
// header is not a sheet of this layout.
bool ReadDeviceSheet(const std::filesystem::path& sheet, const DeviceFieldRecord& templateFields,
                     std::vector<DeviceFieldRecord>& rows);

// Sheet rows matched to the targets by their MAC cell (trimmed, letter case
// ignored). Rows of devices that are not targets are ignored.
struct SheetRowMatch {
  enum Outcome { Matched, Missing, Duplicate };
  Outcome outcome = Matched;
  std::string mac;                      // the first target without a row, or with two
  std::vector<DeviceFieldRecord> rows;  // one per target, in target order, when matched
};
SheetRowMatch MatchSheetRows(const std::vector<std::string>& targets,
                             const std::vector<DeviceFieldRecord>& rows);

// The note for a match that failed: names the MAC without a row, or with two.
std::string SheetRowMatchNote(const SheetRowMatch& match);

}  // namespace brevant
