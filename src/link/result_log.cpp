#include "link/result_log.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <system_error>

#include "records/diag_log.h"

namespace brevant {

std::string_view ResultTypeText(unsigned category) {
  switch (category) {
    case 1:
      return "PARA_DATA";
    case 2:
      return "LOG_DATA";
    case 3:
      return "JSON_CMD_DATA";
    default:
      return {};
  }
}

ResultLog::ResultLog(std::filesystem::path baseDirectory, Clock clock)
    : base_(std::move(baseDirectory)), clock_(std::move(clock)) {}

bool ResultLog::AppendRecord(const std::filesystem::path& file, std::string_view text,
                             std::string* error) {
  if (text.empty())
    return true;
  // The umask (or an installed copy's shared folder) decides who else may
  // append: a day's log is every operator's.
  const int fd = ::open(file.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
  if (fd < 0) {
    if (error != nullptr)
      *error = std::strerror(errno);
    return false;
  }
  std::string record(text);
  record += "\r\n";
  // One write with O_APPEND keeps a record in one piece.
  const ssize_t written = ::write(fd, record.data(), record.size());
  const int writeErrno = errno;
  const bool closed = ::close(fd) == 0;
  if (written != static_cast<ssize_t>(record.size()) || !closed) {
    if (error != nullptr) {
      *error =
          written < 0 ? std::strerror(writeErrno) : (closed ? "short write" : std::strerror(errno));
    }
    return false;
  }
  return true;
}

void ResultLog::WriteResult(std::string_view type, std::string_view deviceMac, bool success) {
  const std::time_t now = clock_ ? clock_() : std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char date[48];
  std::snprintf(date, sizeof date, "%04d-%02d-%02d", local.tm_year + 1900, local.tm_mon + 1,
                local.tm_mday);
  char time[96];
  std::snprintf(time, sizeof time, "%s %02d:%02d:%02d", date, local.tm_hour, local.tm_min,
                local.tm_sec);
  const std::filesystem::path folder = base_ / "Log" / date;
  const std::filesystem::path file = folder / (success ? "Success.txt" : "Fail.txt");
  const std::string line = std::string(deviceMac) + "\t" + std::string(type) + "\t" + time + "\n";

  std::lock_guard lock(mutex_);
  std::string error;
  std::error_code fsError;
  bool ok = true;
  if (!std::filesystem::is_directory(folder, fsError)) {
    std::filesystem::create_directories(folder, fsError);
    if (fsError) {
      error = fsError.message();
      ok = false;
    }
  }
  if (ok && !std::filesystem::exists(file, fsError))
    ok = AppendRecord(file, kHeader, &error);
  if (ok)
    ok = AppendRecord(file, line, &error);
  if (!ok) {
    WriteLog("ResultLog::WriteResult", 1, __LINE__, "result log line lost (%s): %s %s %s: %s",
             file.c_str(), std::string(deviceMac).c_str(), std::string(type).c_str(),
             success ? "success" : "fail", error.c_str());
  }
}

}  // namespace brevant
