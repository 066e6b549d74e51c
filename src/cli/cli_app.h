#pragma once

#include <filesystem>
#include <iosfwd>
#include <string>
#include <vector>

namespace brevant::cli {

inline constexpr int kExitSuccess = 0;
inline constexpr int kExitFailed = 1;
inline constexpr int kExitBadInput = 2;

// Runs one command; the exit status. Results go to out, progress and
// messages to err.
int RunCli(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err);

// The largest file one transfer carries: 65535 chunks of 1024 bytes.
inline constexpr std::uintmax_t kLargestTransfer = 65535ull * 1024ull;

// Why a file cannot be delivered as a logo or a configuration; empty when it can.
std::string CheckLogoFile(const std::filesystem::path& file);
std::string CheckConfigFile(const std::filesystem::path& file);

}  // namespace brevant::cli
