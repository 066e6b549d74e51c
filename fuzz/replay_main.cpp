// Replays a fuzz target over files instead of fuzzing: every file named, and
// every file under a folder named, goes once through LLVMFuzzerTestOneInput,
// in name order. Built with the target's own source into the test builds
// (ctest runs it over the committed corpus), so the targets and their seeds
// keep working between fuzzing campaigns. A broken property aborts, as it
// does under libFuzzer.

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

int main(int argc, char** argv) {
  std::vector<std::filesystem::path> files;
  for (int i = 1; i < argc; ++i) {
    const std::filesystem::path given = argv[i];
    if (std::filesystem::is_directory(given)) {
      for (const auto& entry : std::filesystem::recursive_directory_iterator(given)) {
        if (entry.is_regular_file())
          files.push_back(entry.path());
      }
    } else if (std::filesystem::is_regular_file(given)) {
      files.push_back(given);
    } else {
      std::fprintf(stderr, "replay: %s is neither a file nor a folder\n", argv[i]);
      return 2;
    }
  }
  if (files.empty()) {
    std::fprintf(stderr, "replay: no inputs (give corpus files or folders)\n");
    return 2;
  }
  std::sort(files.begin(), files.end());
  for (const auto& file : files) {
    std::ifstream in(file, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (!in.good() && !in.eof()) {
      std::fprintf(stderr, "replay: cannot read %s\n", file.c_str());
      return 2;
    }
    std::fprintf(stderr, "replay: %s (%zu bytes)\n", file.c_str(), bytes.size());
    LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
  }
  std::fprintf(stderr, "replay: %zu inputs, all passed\n", files.size());
  return 0;
}
