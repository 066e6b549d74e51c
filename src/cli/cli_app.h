#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <iosfwd>
#include <memory>
#include <string>
#include <vector>

namespace brevant {
class AcTransmitManage;
class AdapterSource;
class CSqlManagement;
}  // namespace brevant

namespace brevant::cli {

inline constexpr int kExitSuccess = 0;
inline constexpr int kExitFailed = 1;
inline constexpr int kExitBadInput = 2;

// What brevant-cli works with. The program hands it the system's adapters,
// the process's store and link manager and the folder beside it; tests hand
// it an in-memory segment and a folder of their own.
struct CliServices {
  // Holds IniTemplate/, ModifyExcel/, ModifyXml/, ModifyJson/ and the lock
  // that keeps two runs apart.
  std::filesystem::path directory;
  std::shared_ptr<AdapterSource> adapters;
  // Made on first use, after the folder lock is held: a store starts by
  // deleting its database file. The link manager works over that store.
  std::function<CSqlManagement&()> store;
  std::function<AcTransmitManage&()> link;
};

// Runs one command; the exit status (0 all succeeded, 1 some failed or were
// not decided, 2 bad input or unusable files). Results go to out, progress and
// messages to err.
int RunCli(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err,
           const CliServices& services);

// The largest file one transfer carries: 65535 chunks of 1024 bytes.
inline constexpr std::uintmax_t kLargestTransfer = 65535ull * 1024ull;

// Why a file cannot be delivered as a logo or a configuration; empty when it can.
std::string CheckLogoFile(const std::filesystem::path& file);
std::string CheckConfigFile(const std::filesystem::path& file);

}  // namespace brevant::cli
