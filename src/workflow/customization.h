#pragma once

#include <ctime>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "link/delivery.h"
#include "workflow/customization_state.h"
#include "workflow/operator_port.h"

namespace brevant {

class CSqlManagement;

// Where the customization page's logic reaches beyond the page.
struct CustomizationServices {
  CSqlManagement* store = nullptr;
  DeliveryContext delivery;
  // The folder beside the executable that holds ModifyExcel/, ModifyXml/ and ModifyJson/.
  std::filesystem::path executableDirectory;
  // Called once a delivery is confirmed and checked, before anything is
  // changed: the window starts watching and shows the device list.
  std::function<void()> deliveryStarting;
};

// The most logo a device shows; a larger picture is cropped first.
inline constexpr int kLogoWidth = 229;
inline constexpr int kLogoHeight = 51;
bool LogoNeedsCropping(int width, int height);

// Where a cropped logo goes, relative to the executable's folder:
// "ModifyPicture/logo-14-05-09.final.png" for logo.final.png cropped at
// 14:05:09 (the name up to its first ".", the time, then the rest of the name;
// a name without "." keeps it all after the time). Empty when that text would
// be longer than kCroppedLogoNameMax UTF-16 code units.
inline constexpr std::size_t kCroppedLogoNameMax = 255;
std::string CroppedLogoName(const std::string& sourceFileName, const std::tm& localTime);

// The file lines show six blanks and the file name; an empty line means no file.
void SetTargetList(CustomizationState& state, const std::vector<std::string>& targets);
void SetLogo(CustomizationState& state, const std::filesystem::path& logo);
void DeleteLogo(CustomizationState& state);
void SetConfiguration(CustomizationState& state, const std::filesystem::path& configuration);
// Also forgets the sheet: the file then goes to every device unchanged.
void DeleteConfiguration(CustomizationState& state);

// ".xml" or ".json" from the configuration line's last ".", lower case; empty otherwise.
std::string ConfigurationKind(const CustomizationState& state);

// "Edit" on the configuration line: reads the chosen file's tailorable fields,
// writes the per-device sheet and lets the operator fill it in. True when the
// sheet was made and edited.
bool EditConfiguration(CustomizationState& state, OperatorPort& port,
                       const CustomizationServices& services);

struct ApplyOutcome {
  bool started = false;  // confirmed and checked; the devices were prepared
  int jobs = 0;          // delivery jobs started
};

// The sheet steps of Edit and Apply, each with its note when it fails.
// Lets the operator edit state.sheetPath; "Open excel fail!" when no editor
// starts. True when the edit is over, or the front end has no editor and told
// the operator where the sheet is.
bool OpenDeviceSheet(const CustomizationState& state, OperatorPort& port);
// Tests the rows in order; the first failure's message goes to a note.
bool ValidateSheetRows(const std::vector<DeviceFieldRecord>& rows, OperatorPort& port);
// Replaces state.sheetRows with one row per target in target order; a note
// naming the first target without a row, or with two.
bool OrderSheetRowsByTarget(CustomizationState& state, OperatorPort& port);

// "Apply": the delivery mode and its confirmation, the sheet read, matched to
// the targets and checked (the sheet opens again on a failed row), then the
// devices are prepared and one job per device is started, each carrying the
// device's delivery generation. Without an open store or a link it says so
// before asking anything, and changes nothing.
ApplyOutcome ApplyCustomization(CustomizationState& state, OperatorPort& port,
                                const CustomizationServices& services);

}  // namespace brevant
