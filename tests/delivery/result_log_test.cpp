#include "link/result_log.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "records/diag_log.h"
#include "support/temp_dir.h"

namespace brevant {
namespace {

using testing::ReadBytes;
using testing::TempDir;

// Local midnight of a day, whatever the machine's zone.
std::time_t LocalTime(int year, int month, int day, int hour, int minute, int second) {
  std::tm t{};
  t.tm_year = year - 1900;
  t.tm_mon = month - 1;
  t.tm_mday = day;
  t.tm_hour = hour;
  t.tm_min = minute;
  t.tm_sec = second;
  t.tm_isdst = -1;
  return std::mktime(&t);
}

TEST(ResultLog, FirstResultOfADayCreatesTheFoldersAndTheHeader) {
  TempDir dir;
  std::time_t now = LocalTime(2025, 3, 5, 9, 8, 7);
  ResultLog log(dir.path(), [&] { return now; });
  log.WriteResult("PARA_DATA", "C8:3A:35:A1:B2:C3", true);
  const auto day = dir.path() / "Log" / "2025-03-05";
  EXPECT_EQ(ReadBytes(day / "Success.txt"),
            "MAC\t\t\tType\t\tDate\n\r\n"
            "C8:3A:35:A1:B2:C3\tPARA_DATA\t2025-03-05 09:08:07\n\r\n");
  EXPECT_FALSE(std::filesystem::exists(day / "Fail.txt"));

  // A second success appends without a second header; a failure has its own file.
  now += 60;
  log.WriteResult("LOG_DATA", "C8:3A:35:A1:B2:C3", true);
  log.WriteResult("JSON_CMD_DATA", "C8:3A:35:A1:B2:C3", false);
  EXPECT_EQ(ReadBytes(day / "Success.txt"),
            "MAC\t\t\tType\t\tDate\n\r\n"
            "C8:3A:35:A1:B2:C3\tPARA_DATA\t2025-03-05 09:08:07\n\r\n"
            "C8:3A:35:A1:B2:C3\tLOG_DATA\t2025-03-05 09:09:07\n\r\n");
  EXPECT_EQ(ReadBytes(day / "Fail.txt"),
            "MAC\t\t\tType\t\tDate\n\r\n"
            "C8:3A:35:A1:B2:C3\tJSON_CMD_DATA\t2025-03-05 09:09:07\n\r\n");
}

TEST(ResultLog, AResultJustAfterMidnightGoesToTheNewDay) {
  TempDir dir;
  std::time_t now = LocalTime(2025, 12, 31, 23, 59, 59);
  ResultLog log(dir.path(), [&] { return now; });
  log.WriteResult("PARA_DATA", "AA:AA:AA:AA:AA:AA", false);
  now += 2;
  log.WriteResult("PARA_DATA", "BB:BB:BB:BB:BB:BB", false);
  EXPECT_NE(ReadBytes(dir.path() / "Log" / "2025-12-31" / "Fail.txt").find("AA:AA"),
            std::string::npos);
  EXPECT_EQ(ReadBytes(dir.path() / "Log" / "2026-01-01" / "Fail.txt"),
            "MAC\t\t\tType\t\tDate\n\r\n"
            "BB:BB:BB:BB:BB:BB\tPARA_DATA\t2026-01-01 00:00:01\n\r\n");
}

TEST(ResultLog, TheUmaskDecidesWhoElseMayAppend) {
  // Operators of one installed copy share a day's log (umask 002 or a shared
  // folder's default ACL): the file must not be made owner-only.
  TempDir dir;
  const mode_t old = ::umask(002);
  ResultLog log(dir.path(), [] { return LocalTime(2025, 3, 5, 9, 8, 7); });
  log.WriteResult("PARA_DATA", "C8:3A:35:A1:B2:C3", true);
  ::umask(old);
  const auto mode =
      std::filesystem::status(dir.path() / "Log" / "2025-03-05" / "Success.txt").permissions();
  EXPECT_NE(mode & std::filesystem::perms::group_write, std::filesystem::perms::none);
  EXPECT_EQ(mode & std::filesystem::perms::others_write, std::filesystem::perms::none);
}

TEST(ResultLog, ADeletedFileStartsAgainWithItsHeader) {
  TempDir dir;
  const std::time_t now = LocalTime(2025, 3, 5, 10, 0, 0);
  ResultLog log(dir.path(), [&] { return now; });
  log.WriteResult("PARA_DATA", "AA:AA:AA:AA:AA:AA", true);
  std::filesystem::remove(dir.path() / "Log" / "2025-03-05" / "Success.txt");
  log.WriteResult("PARA_DATA", "BB:BB:BB:BB:BB:BB", true);
  EXPECT_EQ(ReadBytes(dir.path() / "Log" / "2025-03-05" / "Success.txt"),
            "MAC\t\t\tType\t\tDate\n\r\nBB:BB:BB:BB:BB:BB\tPARA_DATA\t2025-03-05 10:00:00\n\r\n");
}

TEST(ResultLog, ALineThatCannotBeWrittenIsReportedToTheDiagnosticLog) {
  TempDir dir;
  std::vector<std::string> lines;
  SetDiagnosticSink([&](const std::string& text) { lines.push_back(text); });
  // A file where the Log folder should be: nothing can be created below it.
  dir.Write("Log", "not a folder");
  ResultLog log(dir.path());
  log.WriteResult("LOG_DATA", "C8:3A:35:A1:B2:C3", false);
  SetDiagnosticSink({});
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_NE(lines[0].find("[ERROR]"), std::string::npos);
  EXPECT_NE(lines[0].find("result log line lost"), std::string::npos);
  EXPECT_NE(lines[0].find("C8:3A:35:A1:B2:C3 LOG_DATA fail"), std::string::npos) << lines[0];
}

TEST(ResultLog, AppendRecordWritesTextAndCrLfAndNothingForEmptyText) {
  TempDir dir;
  const auto file = dir / "f.txt";
  EXPECT_TRUE(ResultLog::AppendRecord(file, ""));
  EXPECT_FALSE(std::filesystem::exists(file));
  EXPECT_TRUE(ResultLog::AppendRecord(file, "a\n"));
  EXPECT_EQ(ReadBytes(file), "a\n\r\n");
  std::string error;
  EXPECT_FALSE(ResultLog::AppendRecord(dir / "missing" / "f.txt", "x", &error));
  EXPECT_FALSE(error.empty());
}

}  // namespace
}  // namespace brevant
