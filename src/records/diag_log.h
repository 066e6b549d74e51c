#pragma once

#include <functional>
#include <string>

namespace brevant {

struct LogTime {
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0, millisecond = 0;
};

// One diagnostic line: time, level, thread, location, message, CR LF.
std::string ComposeLogLine(const LogTime& time, int level, unsigned threadId,
                           const std::string& function, int line, const std::string& message);

// Composes the line for the calling thread at the current local time and hands
// it to the diagnostic sink (standard error unless replaced). Level 1 is an
// error, anything else information.
void WriteLog(const char* function, int level, int line, const char* format, ...)
    __attribute__((format(printf, 4, 5)));

// Replaces where the lines go (nothing restores standard error but passing an
// empty function). For tests and front ends that collect them.
void SetDiagnosticSink(std::function<void(const std::string&)> sink);

}  // namespace brevant
