#include "app/exe_dir.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <system_error>
#include <vector>

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

namespace {

// The folder itself, made when missing; a reason when it is not this user's alone.
std::string PrivateFolderFault(const std::filesystem::path& folder, unsigned user) {
  if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST)
    return std::strerror(errno);
  struct stat info {};
  if (::lstat(folder.c_str(), &info) != 0)
    return std::strerror(errno);
  if (!S_ISDIR(info.st_mode))
    return "not a folder";
  if (info.st_uid != user)
    return "belongs to another user";
  if ((info.st_mode & 077) != 0)
    return "open to other users";
  return {};
}

}  // namespace

std::optional<std::filesystem::path> ScratchDirectoryFor(
    const std::filesystem::path& executableDirectory, bool executableDirectoryWritable,
    const char* runtimeDirectory, unsigned user, const std::filesystem::path& sharedTemp,
    std::string* why) {
  if (executableDirectoryWritable)
    return executableDirectory;
  // A relative runtime folder is not one (the XDG rule). /tmp is shared, so
  // the folder there is only used once it is shown to be this user's alone.
  std::vector<std::filesystem::path> candidates;
  if (runtimeDirectory != nullptr && runtimeDirectory[0] == '/')
    candidates.push_back(std::filesystem::path(runtimeDirectory) / "brevant");
  candidates.push_back(sharedTemp / ("brevant-" + std::to_string(user)));
  std::string reasons;
  for (const auto& folder : candidates) {
    const std::string fault = PrivateFolderFault(folder, user);
    if (fault.empty())
      return folder;
    reasons += (reasons.empty() ? "" : "; ") + folder.string() + ": " + fault;
  }
  if (why != nullptr)
    *why = reasons;
  return std::nullopt;
}

std::optional<std::filesystem::path> ScratchDirectory(std::string* why) {
  const auto& folder = ExecutableDirectory();
  return ScratchDirectoryFor(folder, ::access(folder.c_str(), W_OK | X_OK) == 0,
                             std::getenv("XDG_RUNTIME_DIR"), ::geteuid(), "/tmp", why);
}

}  // namespace brevant
