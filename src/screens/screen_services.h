#pragma once

#include <filesystem>
#include <memory>

#include "app/settings.h"

namespace brevant {

class AcTransmitManage;
class AdapterSource;
class CSqlManagement;

// What the screens work with, made once by the program's main (or by a test
// over a temporary store and the in-memory segment) and handed down: no
// screen reaches for a process-wide instance.
struct ScreenServices {
  // The device status store; it may have failed to open (IsOpen() false).
  CSqlManagement* store = nullptr;
  // The link manager: adapter, discovery, and the link delivery jobs use.
  AcTransmitManage* link = nullptr;
  // The system's adapters (or a test's).
  std::shared_ptr<AdapterSource> adapters;
  // The folder beside the executable: Skin/, IniTemplate/, Modify*/, Log/.
  std::filesystem::path directory;
  // The display settings of Setting.ini (colours and grid fonts); the
  // defaults of a missing file unless the caller read one.
  AppSettings settings = ReadAppSettings({});
};

}  // namespace brevant
