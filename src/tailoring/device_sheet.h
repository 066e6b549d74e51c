#pragma once

#include <chrono>
#include <ctime>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "records/status_store.h"
#include "tailoring/customization_state.h"
#include "tailoring/device_fields.h"
#include "tailoring/operator_port.h"

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

// Writes the per-device sheet: one row per target, pre-filled with the
// template's values and each device's stored Wi-Fi names and keys. Sets
// state.sheetPath first, then WifiColumnsFlag from the first target's stored
// names. A sheet that cannot be written gives a note and false.
bool CreateDeviceSheet(
    CustomizationState& state, const DeviceFieldRecord& templateFields, const DeviceLookup& lookup,
    OperatorPort& port, const std::filesystem::path& folder = DefaultSheetFolder(),
    std::chrono::system_clock::time_point now = std::chrono::system_clock::now());

// Reads every data row of state.sheetPath (up to the first empty row) into
// state.sheetRows, laid out by the header and state.templateFields; each row
// records which fields it took from a column. False, without a note, when the
// file cannot be read or its header is not a sheet of this layout.
bool ReadDeviceSheet(CustomizationState& state);

// Lets the operator edit the sheet. "Open excel fail!" when no editor starts.
bool OpenDeviceSheet(const CustomizationState& state, OperatorPort& port);

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

// Replaces state.sheetRows with one row per target in target order; when a
// target has no row or two, shows a note naming it and returns false.
bool OrderSheetRowsByTarget(CustomizationState& state, OperatorPort& port);

}  // namespace brevant
