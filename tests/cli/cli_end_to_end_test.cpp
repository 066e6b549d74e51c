// brevant-cli on the test bed: a copy of the bundle of its own per test, real
// frames over the veth pair, brevant-devsim on the far side.

#include <fcntl.h>
#include <json/json.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <ctime>
#include <fstream>
#include <regex>
#include <thread>

#include "sheet_files.h"
#include "support/temp_dir.h"
#include "testbed_fixture.h"

extern char** environ;

namespace brevant {
namespace {

using namespace std::chrono_literals;
using testing::ReadBytes;

const std::string kA = "02:62:00:00:00:0A";
const std::string kB = "02:62:00:00:00:0B";
const std::string kC = "02:62:00:00:00:0C";

std::string Hex(std::string mac) {
  std::erase(mac, ':');
  return mac;
}

struct CliRun {
  int status = -1;
  std::string out;
  std::string err;
};

class CliTest : public testing::TestBedTest {
 protected:
  void SetUp() override {
    TestBedTest::SetUp();
    if (IsSkipped() || HasFatalFailure())
      return;
    // A bundle of its own: data.db, Log/ and the per-device files are the run's.
    bundle_ = work_ / "bundle";
    const auto from = testing::TestBed::BundleDirectory();
    std::filesystem::create_directories(bundle_);
    for (const auto& entry : std::filesystem::directory_iterator(from)) {
      const auto name = entry.path().filename().string();
      if (name == "Log" || name.rfind("data.db", 0) == 0 || name == ".brevant.lock")
        continue;
      std::filesystem::copy(entry.path(), bundle_ / name, std::filesystem::copy_options::recursive);
    }
    std::filesystem::create_directories(bundle_ / "Log");
    out_ = work_ / "received";
  }

  CliRun Cli(std::vector<std::string> arguments, std::chrono::seconds limit = 60s) {
    return Run({}, std::move(arguments), limit);
  }

  // As another user: the words before the program (setpriv and its options).
  CliRun Run(const std::vector<std::string>& as, std::vector<std::string> arguments,
             std::chrono::seconds limit = 60s) {
    CliRun run;
    const std::string outFile = (work_ / "stdout").string();
    const std::string errFile = (work_ / "stderr").string();
    // ip netns exec also shows the namespace's own interfaces under /sys.
    arguments.insert(arguments.begin(), (bundle_ / "brevant-cli").string());
    arguments.insert(arguments.begin(), as.begin(), as.end());
    arguments.insert(arguments.begin(), {"ip", "netns", "exec", bed_.ToolNamespace()});
    std::vector<char*> argv;
    for (auto& a : arguments)
      argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    posix_spawn_file_actions_addopen(&actions, 2, errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    pid_t pid = -1;
    const int spawned = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0)
      return run;
    const auto deadline = std::chrono::steady_clock::now() + limit;
    int status = 0;
    while (::waitpid(pid, &status, WNOHANG) == 0) {
      if (std::chrono::steady_clock::now() > deadline) {
        ::kill(pid, SIGKILL);
        ::waitpid(pid, &status, 0);
        ADD_FAILURE() << "brevant-cli did not end within its time";
        break;
      }
      std::this_thread::sleep_for(20ms);
    }
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.out = ReadBytes(outFile);
    run.err = ReadBytes(errFile);
    return run;
  }

  void Devices(const std::vector<std::string>& plans) {
    std::vector<std::string> options = {"--out", out_.string()};
    for (const auto& plan : plans) {
      options.push_back("--device");
      options.push_back(plan);
    }
    StartDevsim(options);
  }

  std::vector<std::string> Common() {
    return {"--adapter", bed_.ToolInterface(), "--tick-ms", "100"};
  }

  static Json::Value Parse(const std::string& text) {
    Json::Value root;
    Json::CharReaderBuilder builder;
    std::string errors;
    std::istringstream in(text);
    EXPECT_TRUE(Json::parseFromStream(builder, in, &root, &errors)) << errors << text;
    return root;
  }

  // The result log of a run: the folder of the day it started, or of the
  // next day for a run across midnight. Take `started` before the run.
  static std::time_t Now() { return std::time(nullptr); }
  std::string ResultLog(std::time_t started, const char* file) const {
    std::tm day{};
    localtime_r(&started, &day);
    for (int next = 0; next < 2; ++next) {
      std::tm date = day;
      date.tm_mday += next;
      date.tm_isdst = -1;
      std::mktime(&date);
      char text[32];
      std::strftime(text, sizeof text, "%Y-%m-%d", &date);
      const auto path = bundle_ / "Log" / text / file;
      if (std::filesystem::exists(path))
        return ReadBytes(path);
    }
    ADD_FAILURE() << "no " << file << " of the run's day or the next";
    return {};
  }

  int Lines(const std::string& text, const std::string& needle) const {
    int count = 0;
    for (std::size_t at = text.find(needle); at != std::string::npos;
         at = text.find(needle, at + 1))
      ++count;
    return count;
  }

  testing::TempDir work_;
  std::filesystem::path bundle_;
  std::filesystem::path out_;
};

std::string Configuration() {
  std::string xml = "<Config>\r\n";
  for (int i = 0; i < 60; ++i) {
    xml += "<Value Name=\"Entry" + std::to_string(i) + "\" Value=\"" +
           std::string(40, 'a' + i % 26) + "\"/>\r\n";
  }
  return xml + "<Value Name=\"SUSER_PASSWORD\" Value=\"admin\"/>\r\n</Config>\r\n";
}

TEST_F(CliTest, DeliversToThreeDevicesAndReportsTheOneThatFailed) {
  Devices({"mac=" + kA, "mac=" + kB + ",report=fail", "mac=" + kC});
  const auto config = work_.Write("gateway.xml", Configuration());
  const auto logo = std::filesystem::path(BREVANT_SOURCE_DIR) / "data/samples/logo.png";
  auto args = Common();
  for (const char* a : {"--all", "--json", "--quiet", "--watch", "20"})
    args.push_back(a);
  args.insert(args.end(), {"--config", config.string(), "--logo", logo.string()});
  const CliRun run = Cli({"deliver"});  // usage first: nothing sent
  EXPECT_EQ(run.status, 2);
  args.insert(args.begin(), "deliver");
  const std::time_t started = Now();
  const CliRun result = Cli(args);
  ASSERT_EQ(result.status, 1) << result.err << result.out;
  EXPECT_EQ(result.err, "");  // --quiet

  const Json::Value doc = Parse(result.out);
  ASSERT_EQ(doc["devices"].size(), 3u);
  std::map<std::string, Json::Value> byMac;
  for (const auto& d : doc["devices"])
    byMac[d["mac"].asString()] = d;
  EXPECT_EQ(doc["schema"].asInt(), 1);
  EXPECT_EQ(doc["exit"].asInt(), 1);
  EXPECT_EQ(byMac[kA]["verdict"].asString(), "success");
  EXPECT_EQ(byMac[kA]["configuration"]["code"].asInt(), 2);
  EXPECT_EQ(byMac[kA]["logo"]["code"].asInt(), 2);
  EXPECT_EQ(byMac[kB]["verdict"].asString(), "failed");
  EXPECT_EQ(byMac[kB]["configuration"]["code"].asInt(), 3);
  EXPECT_EQ(byMac[kB]["configuration"]["text"].asString(), "Operate fail");
  EXPECT_EQ(byMac[kC]["verdict"].asString(), "success");
  EXPECT_EQ(doc["succeeded"].asInt(), 2);
  EXPECT_EQ(doc["failed"].asInt(), 1);

  // What each device received is the file, byte for byte.
  for (const auto& mac : {kA, kB, kC}) {
    EXPECT_EQ(ReadBytes(out_ / Hex(mac) / "PARA_DATA"), Configuration()) << mac;
    EXPECT_EQ(ReadBytes(out_ / Hex(mac) / "LOG_DATA"), ReadBytes(logo)) << mac;
    EXPECT_FALSE(std::filesystem::exists(out_ / Hex(mac) / "errors.txt"))
        << ReadBytes(out_ / Hex(mac) / "errors.txt");
  }
  const std::string success = ResultLog(started, "Success.txt");
  const std::string fail = ResultLog(started, "Fail.txt");
  EXPECT_EQ(success.rfind("MAC\t\t\tType\t\tDate\n\r\n", 0), 0u);
  EXPECT_EQ(Lines(success, kA + "\t"), 2);
  EXPECT_EQ(Lines(success, kC + "\t"), 2);
  EXPECT_EQ(Lines(fail, kB + "\tPARA_DATA\t"), 1);
  EXPECT_EQ(Lines(fail, kB + "\tLOG_DATA\t"), 1);
  EXPECT_FALSE(std::filesystem::exists(bundle_ / "data.db"));  // deleted at exit
}

TEST_F(CliTest, TailorsEachDevicesConfigurationFromItsRowOfTheSheet) {
  Devices({"mac=" + kA + ",ssid2=home-a", "mac=" + kB});
  const std::string xml =
      "<Config>\r\n<Dir Name=\"ATM_VC_TBL\">\r\n"
      "  <Value Name=\"WanName\" Value=\"INTERNET\"/>\r\n"
      "  <Value Name=\"vid\" Value=\"100\"/>\r\n"
      "  <Value Name=\"pppUser\" Value=\"template\"/>\r\n"
      "  <Value Name=\"pppPasswd\" Value=\"template\"/>\r\n"
      "  <Value Name=\"ChannelMode\" Value=\"2\"/>\r\n</Dir>\r\n"
      "<Value Name=\"SUSER_PASSWORD\" Value=\"admin\"/>\r\n</Config>\r\n";
  const auto config = work_.Write("gateway.xml", xml);

  // The sheet the tool makes, then the operator's filled-in copy, rows swapped.
  auto sheetArgs = Common();
  sheetArgs.insert(sheetArgs.begin(), "sheet");
  sheetArgs.insert(sheetArgs.end(), {"--all", "--config", config.string(), "--out",
                                     (work_ / "made.xlsx").string(), "--quiet"});
  const CliRun made = Cli(sheetArgs);
  ASSERT_EQ(made.status, 0) << made.err;
  EXPECT_EQ(made.out, (work_ / "made.xlsx").string() + "\n");
  ASSERT_TRUE(std::filesystem::exists(work_ / "made.xlsx"));

  const std::vector<std::string> header = {"mac(*This column cannot be modified*)",
                                           "WanName1(*This column cannot be modified*)",
                                           "vid1",
                                           "pppUser1",
                                           "pppPassword1",
                                           "ssid_2.4g",
                                           "wlanPsk_2.4g",
                                           "loid",
                                           "loidPassword",
                                           "ploamPassword",
                                           "loginPassword"};
  testing::WriteInlineSheet(
      work_ / "filled.xlsx",
      {header,
       {kB, "INTERNET", "201", "bob", "pass-b", "net-b", "key-bbbbbbbb", "", "", "", "admin-b"},
       {kA, "INTERNET", "200", "alice", "pass-a", "net-a", "key-aaaaaaaa", "", "", "", "admin-a"}});
  auto args = Common();
  args.insert(args.begin(), "deliver");
  args.insert(args.end(), {"--all", "--config", config.string(), "--sheet",
                           (work_ / "filled.xlsx").string(), "--json", "--quiet", "--watch", "20"});
  const CliRun run = Cli(args);
  ASSERT_EQ(run.status, 0) << run.err << run.out;
  const std::string a = ReadBytes(out_ / Hex(kA) / "PARA_DATA");
  const std::string b = ReadBytes(out_ / Hex(kB) / "PARA_DATA");
  EXPECT_NE(a.find("<Value Name=\"pppUser\" Value=\"alice\"/>"), std::string::npos) << a;
  EXPECT_NE(a.find("<Value Name=\"vid\" Value=\"200\"/>"), std::string::npos) << a;
  EXPECT_NE(a.find("<Value Name=\"SUSER_PASSWORD\" Value=\"admin-a\"/>"), std::string::npos) << a;
  EXPECT_EQ(a.find("bob"), std::string::npos);
  EXPECT_NE(b.find("<Value Name=\"pppUser\" Value=\"bob\"/>"), std::string::npos) << b;
  EXPECT_EQ(b.find("alice"), std::string::npos);
  EXPECT_EQ(ReadBytes(bundle_ / "ModifyXml" / (Hex(kA) + ".xml")), a);
}

TEST_F(CliTest, AntiTheftWithOneMismatchingLockCode) {
  Devices({"mac=" + kA + ",lock=abc", "mac=" + kB + ",lock=abc", "mac=" + kC + ",lock=other"});
  auto args = Common();
  args.insert(args.begin(), "antitheft");
  args.insert(args.end(), {"--all", "--lock-code", "abc", "--ac-name", "ac one", "--dns1",
                           "8.8.8.8", "--json", "--watch", "20"});
  const std::time_t started = Now();
  const CliRun run = Cli(args);
  ASSERT_EQ(run.status, 1) << run.err << run.out;
  const Json::Value doc = Parse(run.out);
  ASSERT_EQ(doc["devices"].size(), 3u);
  for (const auto& d : doc["devices"]) {
    const bool mismatch = d["mac"].asString() == kC;
    EXPECT_EQ(d["antitheft"]["code"].asInt(), mismatch ? 7 : 2) << d["mac"].asString();
    EXPECT_EQ(d["verdict"].asString(), mismatch ? "failed" : "success");
  }
  const std::string command =
      R"({"Lockcode":"abc","Enable":"1","ACName":"ac one","DNS1":"8.8.8.8","DNS2":"0.0.0.0"})";
  for (const auto& mac : {kA, kB, kC})
    EXPECT_EQ(ReadBytes(out_ / Hex(mac) / "JSON_CMD_DATA"), command);
  const std::string fail = ResultLog(started, "Fail.txt");
  EXPECT_EQ(Lines(fail, kC + "\tJSON_CMD_DATA\t"), 1) << fail;
  // Progress went to standard error, a line per change.
  EXPECT_NE(run.err.find(kC + " antitheft: Lockcode mismatch"), std::string::npos) << run.err;
}

TEST_F(CliTest, BadInputAtTheFrontDoorSendsNothing) {
  Devices({"mac=" + kA});
  const auto good = work_.Write("good.xml", "<Config/>\r\n");
  const auto huge = work_ / "huge.xml";
  std::ofstream(huge).put('x');
  std::filesystem::resize_file(huge, 70ull * 1024 * 1024);
  const auto fake = work_.Write("fake.png", "no picture");
  const auto notSheet = work_.Write("sheet.xlsx", "no workbook");
  std::filesystem::create_directory(work_ / "folder.xml");
  const std::string big = std::string(BREVANT_TAILORING_FIXTURES) + "/pictures/logo_230x51.jpg";
  const std::string adapter = bed_.ToolInterface();
  struct Case {
    std::vector<std::string> args;
    const char* says;
  };
  const Case cases[] = {
      {{"deliver", "--adapter", adapter, "--all", "--config", (work_ / "missing.xml").string()},
       "does not exist"},
      {{"deliver", "--adapter", adapter, "--all", "--config", (work_ / "folder.xml").string()},
       "is a folder, not a file"},
      {{"deliver", "--adapter", adapter, "--all", "--config", huge.string()},
       "one transfer carries at most"},
      {{"deliver", "--adapter", adapter, "--all", "--logo", fake.string()}, "is not a PNG"},
      {{"deliver", "--adapter", adapter, "--all", "--logo", big}, "crop it"},
      {{"deliver", "--adapter", "nope0", "--all", "--config", good.string()},
       "no Ethernet adapter named \"nope0\""},
      {{"deliver", "--adapter", adapter, "--devices", "02:62:00:00:00", "--config", good.string()},
       "is no MAC address"},
      {{"deliver", "--adapter", adapter, "--all", "--config", good.string(), "--sheet",
        notSheet.string()},
       "Obtaining excel format information is incorrect!"},
      {{"antitheft", "--adapter", adapter, "--all", "--lock-code", "a\"b"},
       "cannot contain space characters"},
      {{"antitheft", "--adapter", adapter, "--all", "--lock-code", "ab", "--ac-name", "x", "--dns1",
        "1.2.3"},
       "The Primary DNS is invalid!"},
  };
  for (const auto& c : cases) {
    const CliRun run = Cli(c.args);
    EXPECT_EQ(run.status, 2) << c.args[0] << " " << c.args.back() << ": " << run.err;
    EXPECT_NE(run.err.find(c.says), std::string::npos) << run.err;
    EXPECT_EQ(run.err.rfind("brevant-cli: ", 0), 0u) << run.err;
    EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
  }
  // An MTU that would cut the frames is refused too.
  ASSERT_TRUE(bed_.IpInTool({"link", "set", adapter, "mtu", "1200"}));
  const CliRun mtu = Cli({"deliver", "--adapter", adapter, "--all", "--config", good.string()});
  EXPECT_EQ(mtu.status, 2);
  EXPECT_NE(mtu.err.find("the MTU of " + adapter + " is 1200"), std::string::npos) << mtu.err;

  ASSERT_TRUE(bed_.StopDevsim());
  EXPECT_NE(bed_.DevsimOutput().find("stopped; 0 frames in"), std::string::npos)
      << bed_.DevsimOutput();
}

TEST_F(CliTest, AnOperatorScansWithoutRootThroughTheCapabilityAlone) {
  Devices({"mac=" + kA, "mac=" + kB});
  // The bundle belongs to the operator (nobody here), who cannot capture
  // until the program carries cap_net_raw.
  std::filesystem::permissions(
      work_.path(), std::filesystem::perms::others_read | std::filesystem::perms::others_exec,
      std::filesystem::perm_options::add);
  ASSERT_EQ(testing::RunCommand({"chown", "-R", "65534:65534", bundle_.string()}, 10s), 0);
  const std::vector<std::string> nobody = {"setpriv", "--reuid=65534", "--regid=65534",
                                           "--clear-groups", "--inh-caps=-all"};
  const std::vector<std::string> scan = {"scan", "--adapter", bed_.ToolInterface(), "--tick-ms",
                                         "100"};

  const CliRun without = Run(nobody, scan);
  EXPECT_EQ(without.status, 1) << without.err;
  EXPECT_NE(without.err.find("capturing needs CAP_NET_RAW"), std::string::npos) << without.err;
  EXPECT_EQ(without.out, "");

  ASSERT_EQ(
      testing::RunCommand({"setcap", "cap_net_raw+ep", (bundle_ / "brevant-cli").string()}, 10s),
      0);
  const CliRun with = Run(nobody, scan);
  ASSERT_EQ(with.status, 0) << with.err;
  EXPECT_NE(with.out.find(kA + "\t"), std::string::npos) << with.out;
  EXPECT_NE(with.out.find(kB + "\t"), std::string::npos) << with.out;
}

TEST_F(CliTest, ScanListsTheDevicesAndAdaptersListsTheToolEnd) {
  Devices({"mac=" + kA + ",ssid2=home,ssid5=home-5g", "mac=" + kB});
  const CliRun adapters = Cli({"adapters"});
  ASSERT_EQ(adapters.status, 0);
  EXPECT_NE(adapters.out.find("(02:62:62:00:00:FE)\t" + bed_.ToolInterface() + "\n"),
            std::string::npos)
      << adapters.out;
  const CliRun scan = Cli({"scan", "--adapter", bed_.ToolInterface(), "--tick-ms", "100"});
  ASSERT_EQ(scan.status, 0) << scan.err;
  EXPECT_TRUE(std::regex_search(
      scan.out, std::regex(kA + "\t\\d{4}-\\d{2}-\\d{2} \\d{2}:\\d{2}:\\d{2}\thome\thome-5g\n")))
      << scan.out;
  EXPECT_NE(scan.out.find(kB + "\t"), std::string::npos);
}

}  // namespace
}  // namespace brevant

namespace brevant {
namespace {

// A file the operator names but may not read stops the run at the front door,
// before anything goes on the wire. Root reads every file, so the runs are
// made as the operator: nobody here.
TEST_F(CliTest, AFileTheOperatorMayNotReadStopsTheRunAtTheFrontDoor) {
  Devices({"mac=" + kA});
  std::filesystem::permissions(
      work_.path(), std::filesystem::perms::others_read | std::filesystem::perms::others_exec,
      std::filesystem::perm_options::add);
  ASSERT_EQ(testing::RunCommand({"chown", "-R", "65534:65534", bundle_.string()}, 10s), 0);
  const auto readable = work_.Write("gateway.xml", "<Config/>\r\n");
  std::filesystem::permissions(readable, std::filesystem::perms::others_read,
                               std::filesystem::perm_options::add);
  // Root's own files, for root alone.
  const auto config = work_.Write("private.xml", "<Config/>\r\n");
  const auto logo = work_.Write("private.png", ReadBytes(std::filesystem::path(BREVANT_SOURCE_DIR) /
                                                         "data/samples/logo.png"));
  const auto sheet = work_.Write("private.xlsx", "no workbook either");
  const auto closed = work_.Write("closed/gateway.xml", "<Config/>\r\n");
  for (const auto& file : {config, logo, sheet, closed.parent_path()}) {
    std::filesystem::permissions(file, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::replace);
  }
  const std::vector<std::string> nobody = {"setpriv", "--reuid=65534", "--regid=65534",
                                           "--clear-groups", "--inh-caps=-all"};
  const std::string adapter = bed_.ToolInterface();
  struct Case {
    std::vector<std::string> args;
    std::string says;
  };
  const Case cases[] = {
      {{"--config", config.string()}, "configuration file " + config.string()},
      {{"--logo", logo.string()}, "logo " + logo.string()},
      {{"--config", readable.string(), "--sheet", sheet.string()}, "sheet " + sheet.string()},
      {{"--config", closed.string()}, "configuration file " + closed.string()},
  };
  for (const auto& c : cases) {
    std::vector<std::string> args = {"deliver", "--adapter", adapter, "--all"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    const CliRun run = Run(nobody, args);
    EXPECT_EQ(run.status, 2) << c.says << ": " << run.err;
    EXPECT_NE(run.err.find(c.says + " cannot be read (permission denied)"), std::string::npos)
        << run.err;
    EXPECT_EQ(run.err.rfind("brevant-cli: ", 0), 0u) << run.err;
    EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
  }
  ASSERT_TRUE(bed_.StopDevsim());
  EXPECT_NE(bed_.DevsimOutput().find("stopped; 0 frames in"), std::string::npos)
      << bed_.DevsimOutput();
}

}  // namespace
}  // namespace brevant
