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
      {"scan", "--adapter is required (see brevant-cli scan --help)"},
      {"deliver --adapter e0 --logo l.png",
       "deliver needs either --all or --devices MAC[,MAC...] (see brevant-cli deliver --help)"},
      {"deliver --adapter e0 --all --devices C8:3A:35:A1:B2:C3 --logo l.png",
       "deliver needs either --all or --devices MAC[,MAC...] (see brevant-cli deliver --help)"},
      {"deliver --adapter e0 --all",
       "deliver needs --logo FILE, --config FILE or both (see brevant-cli deliver --help)"},
      {"deliver --adapter e0 --all --logo l.png --sheet s.xlsx",
       "--sheet goes with --config: it tailors that file (see brevant-cli deliver --help)"},
      {"deliver --adapter e0 --devices C8:3A:35:A1:B2 --logo l.png",
       "--devices: \"C8:3A:35:A1:B2\" is no MAC address (six two-digit hexadecimal numbers "
       "separated by colons, like C8:3A:35:A1:B2:C3)"},
      {"deliver --adapter e0 --all --logo l.png --watch 0",
       "--watch: Value 0 not in range 1 to 86400 (see brevant-cli deliver --help)"},
      {"deliver --adapter e0 --all --logo l.png --watch 5s",
       "--watch: Value 5s not in range 1 to 86400 (see brevant-cli deliver --help)"},
      {"deliver --adapter e0 --all --logo",
       "--logo: 1 required FILE missing (see brevant-cli deliver --help)"},
      {"deliver --adapter e0 --all --logo a --logo b",
       "--logo: At Most 1 required but received 2 (see brevant-cli deliver --help)"},
      {"scan --adapter e0 --lock-code x",
       "unexpected arguments: --lock-code x (see brevant-cli scan --help)"},
      {"scan --adapter e0 extra", "unexpected argument: extra (see brevant-cli scan --help)"},
      {"sheet --adapter e0 --all", "--config is required (see brevant-cli sheet --help)"},
      {"antitheft --adapter e0 --all",
       "--lock-code is required (see brevant-cli antitheft --help)"},
      {"antitheft --adapter e0 --all --lock-code a --on --off",
       "--on and --off exclude each other (see brevant-cli antitheft --help)"},
      {"template", "A subcommand is required (see brevant-cli template --help)"},
      {"template rename x", "A subcommand is required (see brevant-cli template --help)"},
      {"template save", "NAME is required (see brevant-cli template save --help)"},
      {"template list --off", "unexpected argument: --off (see brevant-cli template list --help)"},
      {"help frob", "help: there is no command \"frob\" (see brevant-cli --help)"},
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
            "--csv r.csv --json --quiet --tick-ms 250"));
  ASSERT_TRUE(deliver.ok) << deliver.error;
  const CliOptions& o = deliver.options;
  EXPECT_EQ(o.command, "deliver");
  EXPECT_EQ(o.adapter, "veth0");
  EXPECT_EQ(o.devices, (std::vector<std::string>{"C8:3A:35:A1:B2:C3", "C8:3A:35:A1:B2:C4"}));
  EXPECT_EQ(o.logo, "l.png");
  EXPECT_EQ(o.config, "c.xml");
  EXPECT_EQ(o.sheet, "s.xlsx");
  EXPECT_EQ(o.csv, "r.csv");
  EXPECT_EQ(o.watchSeconds, 15);
  EXPECT_TRUE(o.json && o.quiet);
  EXPECT_EQ(o.tickMs, 250);

  const ParseResult anti = ParseCliArguments(
      {"antitheft", "--adapter", "e0", "--all", "--lock-code", "abc", "--on", "--ac-name", "ac one",
       "--dns1", "8.8.8.8", "--dns2", "::1", "--template", "site A"});
  ASSERT_TRUE(anti.ok) << anti.error;
  EXPECT_TRUE(anti.options.all);
  EXPECT_EQ(anti.options.switchOn, true);
  EXPECT_EQ(anti.options.lockCode, "abc");
  EXPECT_EQ(anti.options.acName, "ac one");
  EXPECT_EQ(anti.options.dns2, "::1");
  EXPECT_EQ(anti.options.loadTemplate, "site A");
  EXPECT_EQ(anti.options.watchSeconds, 60);  // the default
  EXPECT_FALSE(anti.options.csv);

  const ParseResult save = ParseCliArguments({"template", "save", " padded ", "--off"});
  ASSERT_TRUE(save.ok) << save.error;
  EXPECT_EQ(save.options.command, "template");
  EXPECT_EQ(save.options.subcommand, "save");
  EXPECT_EQ(save.options.templateName, " padded ");
  EXPECT_EQ(save.options.switchOn, false);
  EXPECT_FALSE(ParseCliArguments({"template", "list"}).options.switchOn);
}

TEST(CliOptions, HelpForEveryCommand) {
  for (const std::string& command : CommandNames()) {
    for (const std::vector<std::string>& asked :
         {std::vector<std::string>{command, "--help"}, {command, "-h"}, {"help", command}}) {
      const ParseResult result = ParseCliArguments(asked);
      ASSERT_TRUE(result.ok) << result.error;
      EXPECT_TRUE(result.help);
      EXPECT_EQ(result.helpText, UsageText(command)) << command;
    }
    EXPECT_NE(UsageText(command).find("Usage: brevant-cli " + command), std::string::npos);
  }
  // Help wins over whatever else is missing or wrong after it.
  EXPECT_TRUE(ParseCliArguments({"deliver", "--help", "--watch", "0"}).help);
  const ParseResult general = ParseCliArguments({"--help"});
  ASSERT_TRUE(general.ok && general.help);
  EXPECT_EQ(general.helpText, UsageText());
  EXPECT_NE(general.helpText.find("Commands:"), std::string::npos);
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
