#include "records/diag_log.h"

#include <gtest/gtest.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <regex>

namespace brevant {
namespace {

TEST(DiagnosticLine, ComposesTimeLevelThreadLocationAndMessage) {
  const LogTime t{2024, 2, 1, 9, 5, 3, 7};
  EXPECT_EQ(
      ComposeLogLine(t, 1, 4242, "bool __thiscall AcTransmitManage::Init(void)", 115,
                     "create event_manage_discover fail"),
      "[2024-02-01 09:05:03:0007][ERROR][ThreadID: 4242]"
      "[bool __thiscall AcTransmitManage::Init(void):115]create event_manage_discover fail\r\n");
  for (const int level : {0, 2, -1}) {
    EXPECT_NE(ComposeLogLine(t, level, 1, "f", 1, "m").find("[INFO][ThreadID: 1]"),
              std::string::npos);
  }
}

TEST(DiagnosticLine, LongMessagesAndLocationsAreComposedWhole) {
  const std::string message(2000, 'm');
  const std::string function(700, 'f');
  const std::string line = ComposeLogLine(LogTime{}, 1, 1, function, 9, message);
  EXPECT_NE(line.find("[" + function + ":9]" + message + "\r\n"), std::string::npos);
}

TEST(WriteLog, FormatsTheMessageForTheCallingThread) {
  std::vector<std::string> lines;
  SetDiagnosticSink([&](const std::string& text) { lines.push_back(text); });
  WriteLog("fn", 1, 123, "value %d and %s", 42, std::string(600, 'x').c_str());
  SetDiagnosticSink({});
  ASSERT_EQ(lines.size(), 1u);
  const std::regex shape(
      R"(\[\d{4}-\d{2}-\d{2} \d{2}:\d{2}:\d{2}:\d{4}\]\[ERROR\]\[ThreadID: (\d+)\]\[fn:123\]value 42 and x{600}\r\n)");
  std::smatch match;
  ASSERT_TRUE(std::regex_match(lines[0], match, shape)) << lines[0];
  EXPECT_EQ(std::stoul(match[1].str()), static_cast<unsigned long>(::syscall(SYS_gettid)));
}

}  // namespace
}  // namespace brevant
