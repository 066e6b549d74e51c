#pragma once

#include <filesystem>
#include <span>
#include <string>
#include <string_view>

namespace brevant {

// The skin images of the screens, each found in Skin/ beside the executable.
class SkinPaths {
 public:
  explicit SkinPaths(const std::filesystem::path& executableDirectory);

  // Every image file name the screens use.
  static std::span<const std::string_view> FileNames();

  // The full path of one image of FileNames().
  std::filesystem::path Path(std::string_view fileName) const;

 private:
  std::filesystem::path folder_;
};

}  // namespace brevant
