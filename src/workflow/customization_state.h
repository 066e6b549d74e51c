#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "tailoring/device_fields.h"

namespace brevant {

// What the customization page keeps between visits. Nothing of it is saved.
struct CustomizationState {
  std::vector<std::string> targetList;  // MAC texts of the ticked devices, in list order
  std::filesystem::path chosenLogoPath;
  std::string logoLine;  // empty: no logo chosen
  std::filesystem::path chosenConfigPath;
  std::string configLine;           // empty: no configuration file chosen
  std::filesystem::path sheetPath;  // empty: every device gets the file unchanged
  DeviceFieldRecord templateFields;
  std::vector<DeviceFieldRecord> sheetRows;
  int deliveryMode = 1;  // 1 logo, 2 configuration, 3 both
  std::filesystem::path perDeviceConfigPath;
};

}  // namespace brevant
