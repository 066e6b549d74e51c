#include "tailoring/file_bytes.h"

#include <fstream>
#include <iterator>

namespace brevant {

bool ReadFileBytes(const std::filesystem::path& path, std::string& bytes) {
  std::error_code error;
  if (std::filesystem::is_directory(path, error))
    return false;
  std::ifstream in(path, std::ios::binary);
  if (!in.is_open())
    return false;
  bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return !in.bad();
}

bool WriteFileBytes(const std::filesystem::path& path, std::string_view bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  if (!out.is_open())
    return false;
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  out.close();
  return !out.fail();
}

}  // namespace brevant
