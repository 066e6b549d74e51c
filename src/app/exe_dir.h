#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace brevant {

// The folder of the running executable, computed once from /proc/self/exe.
// Every file of the tool is found relative to it.
const std::filesystem::path& ExecutableDirectory();

// The same folder as text ending with '/', so a file name can be appended.
std::string ExecutableDirectoryText();

// The folder part of an executable path, with its trailing separator.
std::string DirectoryOfExecutable(const std::string& executablePath);

// Where the per-run scratch files (data.db) go: the executable's folder when
// this process may write there, as in the bundle. An installed copy's folder
// belongs to root, so each user then works in a private folder of their own:
// $XDG_RUNTIME_DIR/brevant, else /tmp/brevant-UID, made on first use. Nothing
// (and the reason in *why) when that folder cannot be made or is not private:
// another user's, a symbolic link, or open to others.
std::optional<std::filesystem::path> ScratchDirectory(std::string* why = nullptr);

// The same rule with its inputs given; sharedTemp stands for /tmp.
std::optional<std::filesystem::path> ScratchDirectoryFor(
    const std::filesystem::path& executableDirectory, bool executableDirectoryWritable,
    const char* runtimeDirectory, unsigned user, const std::filesystem::path& sharedTemp,
    std::string* why = nullptr);

}  // namespace brevant
