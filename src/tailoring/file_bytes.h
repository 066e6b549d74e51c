#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace brevant {

// A whole file's bytes, without line-end translation. False when it cannot be
// opened or read (a folder is not a file).
bool ReadFileBytes(const std::filesystem::path& path, std::string& bytes);
// Creates or empties the file and writes the bytes; false unless all reached it.
bool WriteFileBytes(const std::filesystem::path& path, std::string_view bytes);

}  // namespace brevant
