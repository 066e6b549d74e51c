#include "workflow/delivery_results.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <memory>
#include <unordered_map>

#include "text/text.h"

namespace brevant {

namespace {

std::string LocalTimeNow() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
  return text;
}

// One field, quoted when it has to be.
std::string CsvField(std::string_view text) {
  if (text.find_first_of(",\"\r\n") == std::string_view::npos)
    return std::string(text);
  std::string quoted = "\"";
  for (const char c : text) {
    if (c == '"')
      quoted += '"';
    quoted += c;
  }
  return quoted + '"';
}

bool Failure(std::string* error, std::string message) {
  if (error != nullptr)
    *error = std::move(message);
  return false;
}

}  // namespace

std::vector<DeviceResultRow> ReadDeviceResults(CSqlManagement& store,
                                               const std::vector<std::string>& targets) {
  std::vector<ap_info_stu> stored;
  int count = 0, successes = 0, failures = 0;
  store.QueryDevices(true, SORT_BY_MAC, "", stored, count, successes, failures);
  std::unordered_map<std::string, const ap_info_stu*> byMac;
  for (const ap_info_stu& row : stored)
    byMac.emplace(AsciiLower(row.mac), &row);

  const std::string time = LocalTimeNow();
  std::vector<DeviceResultRow> rows;
  rows.reserve(targets.size());
  for (const std::string& mac : targets) {
    DeviceResultRow row;
    row.mac = mac;
    row.time = time;
    if (const auto found = byMac.find(AsciiLower(mac)); found != byMac.end()) {
      const ap_info_stu& s = *found->second;
      row.codes = {s.paraStatus, s.logoStatus, s.antiTheftStatus};
    }
    row.verdict = CSqlManagement::EvaluateCodes(row.codes[0], row.codes[1], row.codes[2]);
    if (row.verdict == RESULT_FAILED)
      row.advice = CSqlManagement::GetAdvice(mac);
    rows.push_back(std::move(row));
  }
  return rows;
}

std::string_view VerdictName(DeviceResult verdict) {
  switch (verdict) {
    case RESULT_SUCCESS:
      return "success";
    case RESULT_FAILED:
      return "failed";
    case RESULT_BUSY:
      return "busy";
    case RESULT_IDLE:
      break;
  }
  return "idle";
}

std::string ResultsCsvText(const std::vector<DeviceResultRow>& rows) {
  std::string text;
  text += "mac";
  for (const std::string_view kind : kResultKinds) {
    text += "," + std::string(kind) + "_code";
    text += "," + std::string(kind) + "_status";
  }
  text += ",verdict,advice,time\r\n";
  for (const DeviceResultRow& row : rows) {
    text += CsvField(row.mac);
    for (const std::int32_t code : row.codes) {
      text += "," + std::to_string(code);
      text += "," + CsvField(CSqlManagement::StatusEnglishText(code));
    }
    text += "," + CsvField(VerdictName(row.verdict));
    text += "," + CsvField(row.advice);
    text += "," + CsvField(row.time);
    text += "\r\n";
  }
  return text;
}

bool ExportResultsCsv(const std::vector<DeviceResultRow>& rows, const std::filesystem::path& file,
                      std::string* error) {
  std::error_code status;
  if (file.empty())
    return Failure(error, "no file to export the results to");
  if (std::filesystem::is_directory(file, status))
    return Failure(error, "cannot export the results to " + file.string() + ": it is a folder");
  const std::filesystem::path folder = file.has_parent_path() ? file.parent_path() : ".";
  if (!std::filesystem::is_directory(folder, status)) {
    return Failure(error, "cannot export the results to " + file.string() + ": the folder " +
                              folder.string() + " does not exist");
  }
  const std::string text = ResultsCsvText(rows);
  // Beside the file, so the rename cannot cross file systems.
  std::string temporary = (folder / ("." + file.filename().string() + ".XXXXXX")).string();
  const int fd = ::mkstemp(temporary.data());
  if (fd < 0) {
    return Failure(error,
                   "cannot export the results to " + file.string() + ": " + std::strerror(errno));
  }
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> out(::fdopen(fd, "wb"), &std::fclose);
  if (!out) {
    const int why = errno;
    ::close(fd);
    ::unlink(temporary.c_str());
    return Failure(error,
                   "cannot export the results to " + file.string() + ": " + std::strerror(why));
  }
  const bool written = std::fwrite(text.data(), 1, text.size(), out.get()) == text.size();
  const int writeError = errno;
  // A full disk shows at the flush: the file is complete or not there.
  const bool closed = std::fclose(out.release()) == 0;
  const int closeError = errno;
  if (!written || !closed) {
    ::unlink(temporary.c_str());
    return Failure(error, "cannot export the results to " + file.string() + ": " +
                              std::strerror(!written ? writeError : closeError));
  }
  // mkstemp makes the file for its owner alone; an export is an ordinary file.
  const mode_t mask = ::umask(0);
  ::umask(mask);
  ::chmod(temporary.c_str(), 0666 & ~mask);
  std::filesystem::rename(temporary, file, status);
  if (status) {
    ::unlink(temporary.c_str());
    return Failure(error,
                   "cannot export the results to " + file.string() + ": " + status.message());
  }
  return true;
}

bool ExportResultsCsv(CSqlManagement& store, const std::vector<std::string>& targets,
                      const std::filesystem::path& file, std::string* error) {
  return ExportResultsCsv(ReadDeviceResults(store, targets), file, error);
}

}  // namespace brevant
