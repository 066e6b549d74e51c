// A sheet the tool made, saved again by LibreOffice Calc, reads back the same.
// LibreOffice is too large for CI: without it the test is skipped, saying so.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <sstream>
#include <thread>

#include "support/temp_dir.h"
#include "tailoring/device_sheet.h"
#include "tailoring/xml_config.h"

extern char** environ;

namespace brevant {
namespace {

using testing::TempDir;

std::filesystem::path FindOnPath(const std::string& program) {
  const char* path = std::getenv("PATH");
  std::stringstream folders(path != nullptr ? path : "");
  std::string folder;
  while (std::getline(folders, folder, ':')) {
    const auto candidate = std::filesystem::path(folder) / program;
    if (!folder.empty() && ::access(candidate.c_str(), X_OK) == 0)
      return candidate;
  }
  return {};
}

// Runs a program (no shell), its output to a file; its exit status, or -1
// when it could not start or had to be killed after the limit.
int RunProgram(const std::vector<std::string>& argv, const std::filesystem::path& output,
               std::chrono::seconds limit) {
  std::vector<char*> args;
  for (const auto& a : argv)
    args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_adddup2(&actions, 1, 2);
  pid_t pid = -1;
  const int spawned = posix_spawn(&pid, args[0], &actions, nullptr, args.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0)
    return -1;
  const auto deadline = std::chrono::steady_clock::now() + limit;
  int status = 0;
  while (::waitpid(pid, &status, WNOHANG) == 0) {
    if (std::chrono::steady_clock::now() > deadline) {
      ::kill(pid, SIGKILL);
      ::waitpid(pid, &status, 0);
      return -1;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(LibreOfficeRoundTrip, ASheetSavedByCalcReadsBackTheSame) {
  const auto soffice = FindOnPath("soffice");
  if (soffice.empty())
    GTEST_SKIP() << "LibreOffice is not installed (no soffice on PATH): the round trip through "
                    "Calc is not tried";

  TempDir dir;
  DeviceFieldRecord fields;
  ASSERT_TRUE(ReadXmlTemplate(BREVANT_SOURCE_DIR "/data/samples/gateway.xml", fields));
  // Texts a spreadsheet could take for something else: a number with a
  // leading zero, outer blanks, markup characters, non-ASCII text.
  fields.pppUser[1] = "0041";
  fields.pppPassword[1] = "  p&w<\"x\">  ";
  fields.loid = "1e5";
  fields.loginPassword = "P\xC3\xA4sswort \xE4\xB8\xAD";
  const std::vector<std::string> targets = {"C8:3A:35:00:00:0A", "C8:3A:35:00:00:0B"};
  const DeviceLookup stored = [](const std::string& mac, ap_info_stu& row) {
    row.mac = mac;
    row.ssid2 = "Caf\xC3\xA9-" + mac.substr(15);
    row.key2 = "00012345";
    row.ssid5 = "TRUE";
    row.key5 = "=1+1";
    return true;
  };
  const auto made = dir / "made" / "ExcelFiels2025-03-05-14-07-09.xlsx";
  std::filesystem::create_directories(made.parent_path());
  ASSERT_TRUE(CreateDeviceSheet(made, targets, fields, stored));
  ASSERT_TRUE(WifiColumnsFlag());

  // Its own profile, so the machine's (or a running Calc) is never used.
  const auto saved = dir / "saved";
  const int status =
      RunProgram({soffice.string(), "-env:UserInstallation=file://" + (dir / "profile").string(),
                  "--headless", "--norestore", "--convert-to", "xlsx:Calc MS Excel 2007 XML",
                  "--outdir", saved.string(), made.string()},
                 dir / "soffice.txt", std::chrono::seconds(180));
  ASSERT_EQ(status, 0) << testing::ReadBytes(dir / "soffice.txt");
  const auto resaved = saved / made.filename();
  ASSERT_TRUE(std::filesystem::exists(resaved)) << testing::ReadBytes(dir / "soffice.txt");

  std::vector<DeviceFieldRecord> before;
  std::vector<DeviceFieldRecord> after;
  ASSERT_TRUE(ReadDeviceSheet(made, fields, before));
  ASSERT_TRUE(ReadDeviceSheet(resaved, fields, after));
  ASSERT_EQ(before.size(), 2u);
  ASSERT_EQ(after.size(), before.size());
  for (std::size_t i = 0; i < before.size(); ++i) {
    const DeviceFieldRecord& b = before[i];
    const DeviceFieldRecord& a = after[i];
    SCOPED_TRACE(b.mac);
    EXPECT_EQ(a.mac, targets[i]);
    EXPECT_EQ(a.mac, b.mac);
    EXPECT_EQ(a.wanCount, b.wanCount);
    EXPECT_EQ(a.WanName, b.WanName);
    EXPECT_EQ(a.vid, b.vid);
    EXPECT_EQ(a.pppUser, b.pppUser);
    EXPECT_EQ(a.pppPassword, b.pppPassword);
    EXPECT_EQ(a.ssid_5g, b.ssid_5g);
    EXPECT_EQ(a.wlanPsk_5g, b.wlanPsk_5g);
    EXPECT_EQ(a.ssid_24g, b.ssid_24g);
    EXPECT_EQ(a.wlanPsk_24g, b.wlanPsk_24g);
    EXPECT_EQ(a.loid, b.loid);
    EXPECT_EQ(a.loidPassword, b.loidPassword);
    EXPECT_EQ(a.ploamPassword, b.ploamPassword);
    EXPECT_EQ(a.loginPassword, b.loginPassword);
    EXPECT_EQ(a.columns.vid, b.columns.vid);
    EXPECT_EQ(a.columns.ppp, b.columns.ppp);
    EXPECT_EQ(a.columns.wifi5g, b.columns.wifi5g);
    EXPECT_EQ(a.columns.wifi24g, b.columns.wifi24g);
  }
  EXPECT_EQ(after[1].pppPassword[1], "  p&w<\"x\">  ");
  EXPECT_EQ(after[0].pppUser[1], "0041");
  EXPECT_EQ(after[0].wlanPsk_24g, "00012345");
}

}  // namespace
}  // namespace brevant
