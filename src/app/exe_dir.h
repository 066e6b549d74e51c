#pragma once

#include <filesystem>
#include <string>

namespace brevant {

// The folder of the running executable, computed once from /proc/self/exe.
// Every file of the tool is found relative to it.
const std::filesystem::path& ExecutableDirectory();

// The same folder as text ending with '/', so a file name can be appended.
std::string ExecutableDirectoryText();

// The folder part of an executable path, with its trailing separator.
std::string DirectoryOfExecutable(const std::string& executablePath);

}  // namespace brevant
