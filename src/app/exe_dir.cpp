#include "app/exe_dir.h"

#include <unistd.h>

#include <climits>
#include <system_error>

namespace brevant {

std::string DirectoryOfExecutable(const std::string& executablePath) {
  const auto slash = executablePath.rfind('/');
  if (slash == std::string::npos)
    return "./";
  return executablePath.substr(0, slash + 1);
}

const std::filesystem::path& ExecutableDirectory() {
  static const std::filesystem::path directory = [] {
    std::error_code error;
    const auto exe = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error)
      return std::filesystem::current_path(error);
    return std::filesystem::path(DirectoryOfExecutable(exe.string()));
  }();
  return directory;
}

std::string ExecutableDirectoryText() {
  std::string text = ExecutableDirectory().string();
  if (text.empty() || text.back() != '/')
    text += '/';
  return text;
}

}  // namespace brevant
