#include "records/diag_log.h"

#include <sys/syscall.h>
#include <unistd.h>

#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <ctime>
#include <mutex>
#include <vector>

namespace brevant {

namespace {

std::mutex gSinkMutex;
std::function<void(const std::string&)> gSink;

std::string FormatV(const char* format, va_list args) {
  va_list measure;
  va_copy(measure, args);
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
  const int size = std::vsnprintf(nullptr, 0, format, measure);
  va_end(measure);
  if (size <= 0)
    return {};
  std::vector<char> buffer(static_cast<std::size_t>(size) + 1);
  std::vsnprintf(buffer.data(), buffer.size(), format, args);
#pragma GCC diagnostic pop
  return std::string(buffer.data(), static_cast<std::size_t>(size));
}

LogTime Now() {
  const auto now = std::chrono::system_clock::now();
  const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
  std::tm local{};
  localtime_r(&seconds, &local);
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()) %
                  std::chrono::seconds(1);
  return LogTime{local.tm_year + 1900,
                 local.tm_mon + 1,
                 local.tm_mday,
                 local.tm_hour,
                 local.tm_min,
                 local.tm_sec,
                 static_cast<int>(ms.count())};
}

}  // namespace

std::string ComposeLogLine(const LogTime& t, int level, unsigned threadId,
                           const std::string& function, int line, const std::string& message) {
  char time[64];
  std::snprintf(time, sizeof time, "[%04d-%02d-%02d %02d:%02d:%02d:%04d]", t.year, t.month, t.day,
                t.hour, t.minute, t.second, t.millisecond);
  char thread[32];
  std::snprintf(thread, sizeof thread, "[ThreadID: %u]", threadId);
  std::string text = time;
  text += level == 1 ? "[ERROR]" : "[INFO]";
  text += thread;
  // The location is not cut: a long function text is still told whole.
  text += "[" + function + ":" + std::to_string(line) + "]";
  text += message;
  text += "\r\n";
  return text;
}

void WriteLog(const char* function, int level, int line, const char* format, ...) {
  va_list args;
  va_start(args, format);
  const std::string message = FormatV(format, args);
  va_end(args);
  const std::string text =
      ComposeLogLine(Now(), level, static_cast<unsigned>(::syscall(SYS_gettid)),
                     function != nullptr ? function : "", line, message);
  std::lock_guard lock(gSinkMutex);
  if (gSink) {
    gSink(text);
  } else {
    std::fwrite(text.data(), 1, text.size(), stderr);
  }
}

void SetDiagnosticSink(std::function<void(const std::string&)> sink) {
  std::lock_guard lock(gSinkMutex);
  gSink = std::move(sink);
}

}  // namespace brevant
