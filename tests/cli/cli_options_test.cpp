#include "cli/cli_options.h"

#include <gtest/gtest.h>

#include <sstream>

#include "cli/cli_app.h"
#include "support/temp_dir.h"

namespace brevant::cli {
namespace {

std::vector<std::string> Words(const std::string& line) {
  std::istringstream in(line);
  std::vector<std::string> words;
  for (std::string word; in >> word;)
    words.push_back(word);
  return words;
}

struct BadCase {
  const char* line;
  const char* error;
};

TEST(CliOptions, RefusesUsageErrorsWithAClearMessage) {
  const BadCase cases[] = {
      {"", "a command is needed (see brevant-cli --help)"},
      {"frobnicate", "unknown command \"frobnicate\" (see brevant-cli --help)"},
      {"scan", "scan needs --adapter IFNAME (brevant-cli adapters lists them)"},
      {"deliver --adapter e0 --logo l.png", "deliver needs either --all or --devices MAC[,MAC...]"},
      {"deliver --adapter e0 --all --devices C8:3A:35:A1:B2:C3 --logo l.png",
       "deliver needs either --all or --devices MAC[,MAC...]"},
      {"deliver --adapter e0 --all", "deliver needs --logo FILE, --config FILE or both"},
      {"deliver --adapter e0 --all --logo l.png --sheet s.xlsx",
       "--sheet goes with --config: it tailors that file"},
      {"deliver --adapter e0 --devices C8:3A:35:A1:B2 --logo l.png",
       "--devices: \"C8:3A:35:A1:B2\" is no MAC address (six two-digit hexadecimal numbers "
       "separated by colons, like C8:3A:35:A1:B2:C3)"},
      {"deliver --adapter e0 --all --logo l.png --watch 0",
       "--watch needs a number of seconds from 1 to 86400, not \"0\""},
      {"deliver --adapter e0 --all --logo l.png --watch 5s",
       "--watch needs a number of seconds from 1 to 86400, not \"5s\""},
      {"deliver --adapter e0 --all --logo", "--logo needs a value"},
      {"deliver --adapter e0 --all --logo a --logo b", "--logo is given twice"},
      {"scan --adapter e0 --lock-code x",
       "brevant-cli scan takes no option --lock-code (see brevant-cli scan --help)"},
      {"scan --adapter e0 extra", "unexpected argument \"extra\" (see brevant-cli scan --help)"},
      {"scan --adapter e0 --json=yes", "--json takes no value"},
      {"sheet --adapter e0 --all", "sheet needs --config FILE"},
      {"antitheft --adapter e0 --all", "antitheft needs --lock-code CODE"},
      {"template", "template needs list, save NAME or delete NAME"},
      {"template rename x", "template rename: unknown; use list, save or delete"},
      {"template save", "template save needs one NAME"},
      {"template list --off", "--off, --ac-name, --dns1 and --dns2 go with template save"},
      {"template delete x --json", "--json goes with template list"},
  };
  for (const auto& c : cases) {
    const ParseResult result = ParseCliArguments(Words(c.line));
    EXPECT_FALSE(result.ok) << c.line;
    EXPECT_EQ(result.error, c.error) << c.line;
  }
}

TEST(CliOptions, ReadsEveryOptionOfItsCommand) {
  const ParseResult deliver = ParseCliArguments(
      Words("deliver --adapter=veth0 --devices c8:3a:35:a1:b2:c3,C8:3A:35:A1:B2:C4 "
            "--devices C8:3A:35:A1:B2:C3 --logo l.png --config c.xml --sheet s.xlsx --watch 15 "
            "--json --quiet --tick-ms 250"));
  ASSERT_TRUE(deliver.ok) << deliver.error;
  const CliOptions& o = deliver.options;
  EXPECT_EQ(o.adapter, "veth0");
  EXPECT_EQ(o.devices, (std::vector<std::string>{"C8:3A:35:A1:B2:C3", "C8:3A:35:A1:B2:C4"}));
  EXPECT_EQ(o.logo, "l.png");
  EXPECT_EQ(o.config, "c.xml");
  EXPECT_EQ(o.sheet, "s.xlsx");
  EXPECT_EQ(o.watchSeconds, 15);
  EXPECT_TRUE(o.json && o.quiet);
  EXPECT_EQ(o.tickMs, 250);

  const ParseResult anti = ParseCliArguments(
      {"antitheft", "--adapter", "e0", "--all", "--lock-code", "abc", "--off", "--ac-name",
       "ac one", "--dns1", "8.8.8.8", "--dns2", "::1", "--template", "site A"});
  ASSERT_TRUE(anti.ok) << anti.error;
  EXPECT_TRUE(anti.options.all && anti.options.off);
  EXPECT_EQ(anti.options.lockCode, "abc");
  EXPECT_EQ(anti.options.acName, "ac one");
  EXPECT_EQ(anti.options.loadTemplate, "site A");
  EXPECT_EQ(anti.options.watchSeconds, 60);  // the default

  const ParseResult save = ParseCliArguments({"template", "save", " padded ", "--off"});
  ASSERT_TRUE(save.ok) << save.error;
  EXPECT_EQ(save.options.subcommand, "save");
  EXPECT_EQ(save.options.templateName, " padded ");
}

TEST(CliOptions, HelpForEveryCommand) {
  for (const char* command : {"adapters", "scan", "deliver", "sheet", "antitheft", "template"}) {
    const ParseResult result = ParseCliArguments({command, "--help"});
    ASSERT_TRUE(result.ok);
    EXPECT_TRUE(result.options.help);
    EXPECT_NE(UsageText(command).find(std::string("brevant-cli ") + command), std::string::npos);
  }
  std::ostringstream out, err;
  EXPECT_EQ(RunCli({"--help"}, out, err), kExitSuccess);
  EXPECT_NE(out.str().find("Commands:"), std::string::npos);
  EXPECT_EQ(RunCli({"scan"}, out, err), kExitBadInput);
  EXPECT_EQ(err.str(),
            "brevant-cli: scan needs --adapter IFNAME (brevant-cli adapters lists them)\n");
}

TEST(CliFiles, LogosAndConfigurationsThatCannotBeDeliveredAreRefused) {
  testing::TempDir dir;
  const std::string fixtures =
      std::string(BREVANT_SOURCE_DIR) + "/tests/tailoring/fixtures/pictures/";
  const auto huge = dir / "huge.xml";
  { std::ofstream(huge).put('x'); }
  std::filesystem::resize_file(huge, 70ull * 1024 * 1024);  // sparse: costs no disk
  const auto exact = dir / "exact.json";
  { std::ofstream(exact).put('x'); }
  std::filesystem::resize_file(exact, kLargestTransfer);
  dir.Write("notes.txt", "x");
  dir.Write("fake.png", "not a picture");
  std::filesystem::create_directory(dir / "folder.xml");

  EXPECT_EQ(CheckLogoFile(fixtures + "logo_229x51.png"), "");
  EXPECT_EQ(CheckLogoFile(fixtures + "small_12x7.gif"), "");
  EXPECT_NE(CheckLogoFile(fixtures + "logo_230x51.jpg").find("is 230 x 51 pixels"),
            std::string::npos);
  EXPECT_NE(CheckLogoFile(fixtures + "logo_229x52.bmp").find("at most 229 x 51"),
            std::string::npos);
  EXPECT_EQ(CheckLogoFile(dir / "fake.png"),
            "logo " + (dir / "fake.png").string() + " is not a PNG, JPEG, BMP or GIF picture");
  EXPECT_EQ(CheckLogoFile(dir / "gone.png"),
            "logo " + (dir / "gone.png").string() + " does not exist");

  EXPECT_EQ(CheckConfigFile(exact), "");
  EXPECT_NE(CheckConfigFile(huge).find("has 73400320 bytes; one transfer carries at most 67107840"),
            std::string::npos);
  EXPECT_EQ(CheckConfigFile(dir / "folder.xml"),
            "configuration file " + (dir / "folder.xml").string() + " is a folder, not a file");
  EXPECT_EQ(CheckConfigFile(dir / "notes.txt"),
            "configuration file " + (dir / "notes.txt").string() + " is neither .xml nor .json");
  EXPECT_EQ(CheckConfigFile("/dev/null.xml"), "configuration file /dev/null.xml does not exist");
}

}  // namespace
}  // namespace brevant::cli
