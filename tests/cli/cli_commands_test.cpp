// brevant-cli's commands run in this process over the in-memory segment, with
// the simulator's devices answering: exit statuses, the JSON object, the help
// and what the devices receive.

#include <json/json.h>

#include <fstream>
#include <future>
#include <map>

#include "cli/cli_options.h"
#include "cli_in_process.h"
#include "sheet_files.h"

namespace brevant {
namespace {

using namespace std::chrono_literals;
using testing::CliInProcess;
using testing::CliRun;
using testing::ReadBytes;

const std::string kA = "02:62:00:00:00:0A";
const std::string kB = "02:62:00:00:00:0B";
const std::string kC = "02:62:00:00:00:0C";

std::string Hex(std::string mac) {
  std::erase(mac, ':');
  return mac;
}

Json::Value Parse(const std::string& text) {
  Json::Value root;
  Json::CharReaderBuilder builder;
  std::string errors;
  std::istringstream in(text);
  EXPECT_TRUE(Json::parseFromStream(builder, in, &root, &errors)) << errors << text;
  return root;
}

// The command's arguments with the adapter and short scan ticks.
std::vector<std::string> On(std::vector<std::string> arguments) {
  arguments.insert(arguments.begin() + 1, {"--adapter", "eth0", "--tick-ms", "20"});
  return arguments;
}

const std::string kXml =
    "<Config>\r\n<Dir Name=\"ATM_VC_TBL\">\r\n"
    "  <Value Name=\"WanName\" Value=\"INTERNET\"/>\r\n"
    "  <Value Name=\"vid\" Value=\"100\"/>\r\n"
    "  <Value Name=\"pppUser\" Value=\"template\"/>\r\n"
    "  <Value Name=\"pppPasswd\" Value=\"template\"/>\r\n"
    "  <Value Name=\"ChannelMode\" Value=\"2\"/>\r\n</Dir>\r\n"
    "<Value Name=\"SUSER_PASSWORD\" Value=\"admin\"/>\r\n</Config>\r\n";

class CliCommandsTest : public ::testing::Test {
 protected:
  std::filesystem::path Write(const std::string& name, const std::string& bytes) {
    return cli_.Scratch().Write(name, bytes);
  }
  CliInProcess cli_;
};

TEST_F(CliCommandsTest, DeliverReportsEveryDeviceInOneObjectWithUntranslatedCodes) {
  cli_.Devices({"mac=" + kA, "mac=" + kB + ",report=fail", "mac=" + kC});
  const auto config = Write("gateway.xml", kXml);
  const CliRun run =
      cli_.Run(On({"deliver", "--all", "--config", config.string(), "--json", "--watch", "20"}));
  ASSERT_EQ(run.status, 1) << run.err << run.out;
  const Json::Value doc = Parse(run.out);
  EXPECT_EQ(doc["schema"].asInt(), 1);
  EXPECT_EQ(doc["command"].asString(), "deliver");
  EXPECT_EQ(doc["exit"].asInt(), 1);
  EXPECT_EQ(doc["adapter"].asString(), "eth0");
  EXPECT_EQ(doc["succeeded"].asInt(), 2);
  EXPECT_EQ(doc["failed"].asInt(), 1);
  EXPECT_EQ(doc["undecided"].asInt(), 0);
  ASSERT_EQ(doc["devices"].size(), 3u);
  std::map<std::string, Json::Value> byMac;
  for (const auto& d : doc["devices"])
    byMac[d["mac"].asString()] = d;
  EXPECT_EQ(byMac[kA]["verdict"].asString(), "success");
  EXPECT_EQ(byMac[kA]["configuration"]["name"].asString(), "OPERATE_SUCCESS");
  EXPECT_EQ(byMac[kA]["logo"]["code"].asInt(), 0);
  EXPECT_EQ(byMac[kA]["logo"]["name"].asString(), "WAIT_OPERATE");
  EXPECT_EQ(byMac[kA]["advice"].asString(), "");
  const Json::Value& failed = byMac[kB];
  EXPECT_EQ(failed["verdict"].asString(), "failed");
  EXPECT_EQ(failed["configuration"]["code"].asInt(), 3);
  EXPECT_EQ(failed["configuration"]["name"].asString(), "OPERATE_FAIL");
  EXPECT_EQ(failed["configuration"]["text"].asString(), "Operate fail");
  EXPECT_EQ(failed["advice"].asString().rfind("1. Make sure the Lock Code is correct.", 0), 0u);
  EXPECT_EQ(byMac[kC]["verdict"].asString(), "success");
  for (const auto& mac : {kA, kB, kC})
    EXPECT_EQ(ReadBytes(cli_.Received() / Hex(mac) / "PARA_DATA"), kXml) << mac;
}

TEST_F(CliCommandsTest, CsvHoldsTheResultsAsPrintedAndABadPlaceSendsNothing) {
  cli_.Devices({"mac=" + kA + ",lock=abc", "mac=" + kB + ",lock=other"});
  const auto csv = cli_.Scratch() / "results.csv";
  const CliRun run = cli_.Run(On({"antitheft", "--all", "--lock-code", "abc", "--ac-name", "ac",
                                  "--json", "--csv", csv.string(), "--watch", "20"}));
  ASSERT_EQ(run.status, 1) << run.err;
  const Json::Value doc = Parse(run.out);
  EXPECT_EQ(doc["csv"].asString(), csv.string());
  const std::string text = ReadBytes(csv);
  std::vector<std::string> lines;
  for (std::size_t at = 0; at < text.size();) {
    const auto end = text.find("\r\n", at);
    ASSERT_NE(end, std::string::npos) << text;
    lines.push_back(text.substr(at, end - at));
    at = end + 2;
  }
  ASSERT_GE(lines.size(), 3u) << text;
  EXPECT_EQ(lines[0],
            "mac,configuration_code,configuration_status,logo_code,logo_status,antitheft_code,"
            "antitheft_status,verdict,advice,time");
  const std::string time = doc["devices"][0]["time"].asString();
  EXPECT_EQ(lines[1], kA + ",0,Wait operate,0,Wait operate,2,Operate success,success,," + time);
  EXPECT_EQ(
      lines[2].rfind(kB + ",0,Wait operate,0,Wait operate,7,Lockcode mismatch,failed,\"1.", 0), 0u)
      << lines[2];

  // A place where the file cannot go is found before anything is sent.
  const CliRun bad = cli_.Run(On({"deliver", "--all", "--config", Write("g.xml", kXml).string(),
                                  "--csv", (cli_.Scratch() / "nowhere" / "r.csv").string()}));
  EXPECT_EQ(bad.status, 2);
  EXPECT_NE(bad.err.find("does not exist"), std::string::npos) << bad.err;
  EXPECT_FALSE(std::filesystem::exists(cli_.Received() / Hex(kA) / "PARA_DATA"));
}

TEST_F(CliCommandsTest, EveryCommandWritesOneObjectWithTheSchemaAndItsExitStatus) {
  cli_.Devices({"mac=" + kA + ",ssid2=home,lock=abc"});
  const auto config = Write("gateway.xml", kXml);
  const struct {
    std::vector<std::string> arguments;
    const char* command;
    int status;
    const char* member;  // one member the command's object has
  } cases[] = {
      {{"adapters", "--json"}, "adapters", 0, "adapters"},
      {On({"scan", "--json"}), "scan", 0, "devices"},
      {On({"sheet", "--all", "--config", config.string(), "--json"}), "sheet", 0, "sheet"},
      {{"template", "save", "site", "--ac-name", "ac", "--json"}, "template save", 0, "name"},
      {{"template", "list", "--json"}, "template list", 0, "templates"},
      {{"template", "delete", "site", "--json"}, "template delete", 0, "name"},
      {{"template", "delete", "site", "--json"}, "template delete", 2, "error"},
      {On({"antitheft", "--all", "--lock-code", "abc", "--ac-name", "ac", "--json", "--watch",
           "20"}),
       "antitheft", 0, "devices"},
      {On({"deliver", "--all", "--config", (cli_.Scratch() / "gone.xml").string(), "--json"}),
       "deliver", 2, "error"},
      // A usage error still gives the object.
      {{"deliver", "--adapter", "eth0", "--json", "--watch", "0"}, "deliver", 2, "error"},
      {{"template", "save", "--json"}, "template save", 2, "error"},
  };
  for (const auto& c : cases) {
    const CliRun run = cli_.Run(c.arguments);
    EXPECT_EQ(run.status, c.status) << c.command << ": " << run.err;
    const Json::Value doc = Parse(run.out);
    ASSERT_TRUE(doc.isObject()) << c.command;
    EXPECT_EQ(doc["schema"].asInt(), 1) << c.command;
    EXPECT_EQ(doc["command"].asString(), c.command);
    EXPECT_EQ(doc["exit"].asInt(), c.status) << c.command;
    EXPECT_TRUE(doc.isMember(c.member)) << c.command << " " << run.out;
  }
}

TEST_F(CliCommandsTest, ExitStatusesAreOneForFailuresAndTwoForBadInputOrUnusableFiles) {
  cli_.Devices({"mac=" + kA});
  const auto config = Write("gateway.xml", kXml);
  const auto templates = cli_.Directory() / "IniTemplate" / "Config.ini";
  const struct {
    std::vector<std::string> arguments;
    int status;
    std::string says;
  } cases[] = {
      {{"deliver"}, 2, "--adapter is required"},
      {{"template", "frob"}, 2, "A subcommand is required"},
      {On({"sheet", "--all", "--config", config.string(), "--out",
           (cli_.Scratch() / "no-folder" / "s.xlsx").string()}),
       2, "does not exist"},
      {On({"deliver", "--devices", kB, "--config", config.string()}), 1,
       "device " + kB + " did not answer the scan; nothing was sent"},
      {{"deliver", "--adapter", "eth9", "--all", "--config", config.string()},
       2,
       "no Ethernet adapter named \"eth9\""},
  };
  for (const auto& c : cases) {
    const CliRun run = cli_.Run(c.arguments);
    EXPECT_EQ(run.status, c.status) << run.err;
    EXPECT_NE(run.err.find(c.says), std::string::npos) << run.err;
  }

  // The same unreadable template file gives 2 for every template command.
  std::filesystem::remove(templates);
  std::filesystem::create_directory(templates);
  for (const std::vector<std::string>& arguments : {std::vector<std::string>{"template", "list"},
                                                    {"template", "delete", "x"},
                                                    {"template", "save", "x"}}) {
    const CliRun run = cli_.Run(arguments);
    EXPECT_EQ(run.status, 2) << arguments[1] << ": " << run.err;
    EXPECT_NE(run.err.find("Cannot open file: " + templates.string()), std::string::npos)
        << run.err;
  }
}

TEST_F(CliCommandsTest, AFailingSheetRowSaysWhatToCorrectAndNothingAboutOpeningIt) {
  cli_.Devices({"mac=" + kA, "mac=" + kB});
  const auto config = Write("gateway.xml", kXml);
  const auto sheet = cli_.Scratch() / "filled.xlsx";
  testing::WriteInlineSheet(
      sheet, {{"mac(*This column cannot be modified*)",
               "WanName1(*This column cannot be modified*)", "vid1", "pppUser1", "pppPassword1",
               "loid", "loidPassword", "ploamPassword", "loginPassword"},
              {kA, "INTERNET", "200", "alice", "pass-a", "", "", "", "admin-a"},
              {kB, "INTERNET", "5000", "bob", "pass-b", "", "", "", "admin-b"}});
  const CliRun run =
      cli_.Run(On({"deliver", "--all", "--config", config.string(), "--sheet", sheet.string()}));
  EXPECT_EQ(run.status, 2) << run.err;
  EXPECT_NE(run.err.find("The MAC:" + kB + " vid1 value:5000 is invalid."), std::string::npos)
      << run.err;
  EXPECT_NE(run.err.find("correct the sheet and run again: " + sheet.string()), std::string::npos)
      << run.err;
  EXPECT_EQ(run.err.find("Unable to open excel file!"), std::string::npos) << run.err;
  EXPECT_FALSE(std::filesystem::exists(cli_.Received() / Hex(kA) / "PARA_DATA"));
}

TEST_F(CliCommandsTest, WhenNoJobCouldStartTheResultsComeAtOnce) {
  cli_.Devices({"mac=" + kA});
  const auto config = Write("gateway.xml", kXml);
  // No per-device file can be written: no device gets a job.
  std::filesystem::remove_all(cli_.Directory() / "ModifyXml");
  std::ofstream(cli_.Directory() / "ModifyXml") << "a file where the folder belongs";
  // A day of watching, unless nothing is waited for.
  auto run = std::async(std::launch::async, [&] {
    return cli_.Run(On({"deliver", "--all", "--config", config.string(), "--watch", "86400"}));
  });
  ASSERT_EQ(run.wait_for(60s), std::future_status::ready) << "the run waited for nothing";
  const CliRun result = run.get();
  EXPECT_EQ(result.status, 1) << result.err;
  EXPECT_NE(result.err.find("Failed to copy the configuration file!"), std::string::npos)
      << result.err;
  EXPECT_NE(result.out.find("0 succeeded, 0 failed, 1 not decided"), std::string::npos)
      << result.out;
}

TEST_F(CliCommandsTest, AfterAWatchRunsOutTheCodesAndTheVerdictsAgree) {
  // One device acknowledges and reports nothing, one never reports its result.
  cli_.Devices({"mac=" + kA + ",ack=never,report=never", "mac=" + kB + ",report=never"});
  const auto config = Write("gateway.xml", kXml);
  const CliRun run =
      cli_.Run(On({"deliver", "--all", "--config", config.string(), "--json", "--watch", "1"}));
  EXPECT_EQ(run.status, 1) << run.err;
  const Json::Value doc = Parse(run.out);
  ASSERT_EQ(doc["devices"].size(), 2u);
  const std::map<std::string, DeviceResult> verdicts = {{"success", RESULT_SUCCESS},
                                                        {"failed", RESULT_FAILED},
                                                        {"busy", RESULT_BUSY},
                                                        {"idle", RESULT_IDLE}};
  for (const auto& d : doc["devices"]) {
    const DeviceResult shown = verdicts.at(d["verdict"].asString());
    EXPECT_EQ(shown, CSqlManagement::EvaluateCodes(d["configuration"]["code"].asInt(),
                                                   d["logo"]["code"].asInt(),
                                                   d["antitheft"]["code"].asInt()))
        << d.toStyledString();
    // The job of the silent device was stopped: its transfer failed.
    if (d["mac"].asString() == kA)
      EXPECT_EQ(d["configuration"]["name"].asString(), "TRANSMIT_FAIL");
    else
      EXPECT_EQ(d["configuration"]["name"].asString(), "TRANSMIT_FINISH");
  }
  EXPECT_EQ(doc["failed"].asInt(), 1);
  EXPECT_EQ(doc["undecided"].asInt(), 1);
}

// A template saved with protection off keeps no DNS servers; on the command
// line, where no field can show the placeholder again, that means none.
TEST_F(CliCommandsTest, OnSwitchesProtectionOnOverATemplateSavedWithItOff) {
  cli_.Devices({"mac=" + kA + ",lock=abc"});
  ASSERT_EQ(cli_.Run({"template", "save", "site", "--off"}).status, 0);
  const CliRun off = cli_.Run(On({"antitheft", "--all", "--lock-code", "abc", "--template", "site",
                                  "--ac-name", "ac one", "--watch", "20"}));
  ASSERT_EQ(off.status, 0) << off.err;
  EXPECT_EQ(ReadBytes(cli_.Received() / Hex(kA) / "JSON_CMD_DATA"),
            R"({"Lockcode":"abc","Enable":"0","ACName":"","DNS1":"0.0.0.0","DNS2":"0.0.0.0"})");
  const CliRun on = cli_.Run(On({"antitheft", "--all", "--lock-code", "abc", "--template", "site",
                                 "--on", "--ac-name", "ac one", "--watch", "20"}));
  ASSERT_EQ(on.status, 0) << on.err;
  EXPECT_EQ(
      ReadBytes(cli_.Received() / Hex(kA) / "JSON_CMD_DATA"),
      R"({"Lockcode":"abc","Enable":"1","ACName":"ac one","DNS1":"0.0.0.0","DNS2":"0.0.0.0"})");
}

TEST_F(CliCommandsTest, EntriesThatWouldBreakTheCommandOrTheTemplateFileAreRefused) {
  cli_.Devices({"mac=" + kA});
  ASSERT_EQ(cli_.Run({"template", "save", "kept"}).status, 0);
  const auto file = cli_.Directory() / "IniTemplate" / "Config.ini";
  const std::string before = ReadBytes(file);
  const std::vector<std::string> cases[] = {
      {"template", "save", "two\nlines"},
      {"template", "save", "[x]"},
      {"template", "save", "ok", "--ac-name", "ac\r\nSwitchOn=0"},
      {"template", "save", "ok", "--dns1", "8.8.8.8\n"},
      On({"antitheft", "--all", "--lock-code", "ab\tc"}),
      On({"antitheft", "--all", "--lock-code", "abc", "--ac-name", "a\nb"}),
  };
  for (const auto& arguments : cases) {
    const CliRun run = cli_.Run(arguments);
    EXPECT_EQ(run.status, 2) << ::testing::PrintToString(arguments) << run.err;
    EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
  }
  EXPECT_EQ(ReadBytes(file), before);
  EXPECT_FALSE(std::filesystem::exists(cli_.Received() / Hex(kA) / "JSON_CMD_DATA"));
}

TEST(CliHelp, EveryCommandsHelpCoversEveryFlagAndHelpCommandGivesTheSame) {
  const std::map<std::string, std::vector<std::string>> flags = {
      {"adapters", {"--json"}},
      {"scan", {"--adapter", "--json", "--quiet", "--tick-ms"}},
      {"deliver",
       {"--adapter", "--all", "--devices", "--logo", "--config", "--sheet", "--watch", "--csv",
        "--json", "--quiet", "--tick-ms"}},
      {"sheet",
       {"--adapter", "--all", "--devices", "--config", "--out", "--json", "--quiet", "--tick-ms"}},
      {"antitheft",
       {"--adapter", "--all", "--devices", "--lock-code", "--on", "--off", "--ac-name", "--dns1",
        "--dns2", "--template", "--watch", "--csv", "--json", "--quiet", "--tick-ms"}},
      {"template",
       {"list", "save", "delete", "--on", "--off", "--ac-name", "--dns1", "--dns2", "--json"}},
  };
  CliInProcess cli;
  for (const auto& [command, names] : flags) {
    const CliRun help = cli.Run({command, "--help"});
    ASSERT_EQ(help.status, 0) << command;
    EXPECT_NE(help.out.find("brevant-cli " + command), std::string::npos) << help.out;
    for (const std::string& flag : names) {
      EXPECT_TRUE(help.out.find(flag + " ") != std::string::npos ||
                  help.out.find(flag + "\n") != std::string::npos)
          << command << " " << flag;
    }
    const CliRun viaHelp = cli.Run({"help", command});
    EXPECT_EQ(viaHelp.status, 0);
    EXPECT_EQ(viaHelp.out, help.out) << command;
  }
  const CliRun general = cli.Run({"help"});
  EXPECT_EQ(general.out, cli.Run({"--help"}).out);
  for (const std::string& command : cli::CommandNames())
    EXPECT_NE(general.out.find("  " + command + " "), std::string::npos) << command;
  EXPECT_NE(general.out.find("Exit status"), std::string::npos);
  EXPECT_NE(general.out.find("\"schema\": 1"), std::string::npos);
  EXPECT_EQ(cli.Run({"help", "frob"}).status, 2);
}

}  // namespace
}  // namespace brevant
