#pragma once

#include <filesystem>
#include <optional>

#include "app/settings.h"
#include "app/single_instance.h"
#include "app/skin.h"

namespace brevant {

// What start-up sets up before any service object or window exists.
struct AppCore {
  std::optional<SingleInstanceGuard> guard;  // held for the life of the process
  AppSettings settings;
  SkinPaths skin;
};

// The one-copy guard (when asked for), the language pack, Setting.ini, the skin
// paths and the open-file limit, in that order. Nothing when another copy
// already runs: the caller then ends at once, silently.
std::optional<AppCore> StartAppCore(const std::filesystem::path& executableDirectory,
                                    bool singleCopy);

}  // namespace brevant
