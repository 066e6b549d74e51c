#include "app/startup.h"

#include "i18n/language.h"

namespace brevant {

std::optional<AppCore> StartAppCore(const std::filesystem::path& executableDirectory,
                                    bool singleCopy) {
  std::optional<SingleInstanceGuard> guard;
  if (singleCopy) {
    guard = SingleInstanceGuard::Acquire(kSingleInstanceName);
    if (!guard)
      return std::nullopt;
  }
  InitLanguage(executableDirectory);
  AppCore core{std::move(guard), ReadAppSettings(executableDirectory / "Setting.ini"),
               SkinPaths(executableDirectory)};
  RaiseOpenFileLimit();
  return core;
}

}  // namespace brevant
