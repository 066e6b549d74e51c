#pragma once

#include <ctime>
#include <filesystem>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>

namespace brevant {

// The day's success and failure logs under Log/<date>/ of a base folder (the
// executable's). Each record opens, appends and closes its file.
class ResultLog {
 public:
  using Clock = std::function<std::time_t()>;

  explicit ResultLog(std::filesystem::path baseDirectory, Clock clock = nullptr);

  // One line for a device's result; the day is the local date at this moment.
  // A line that cannot be written is reported to the diagnostic log.
  void WriteResult(std::string_view type, std::string_view deviceMac, bool success);

  static constexpr std::string_view kHeader = "MAC\t\t\tType\t\tDate\n";

  // Appends text and CR LF; an empty text writes nothing. False on any failure.
  static bool AppendRecord(const std::filesystem::path& file, std::string_view text,
                           std::string* error = nullptr);

 private:
  std::filesystem::path base_;
  Clock clock_;
  std::mutex mutex_;
};

// "PARA_DATA", "LOG_DATA", "JSON_CMD_DATA" for categories 1, 2, 3; empty otherwise.
std::string_view ResultTypeText(unsigned category);

}  // namespace brevant
