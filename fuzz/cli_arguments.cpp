// brevant-cli's argument parser (CLI11 and our checks) on any argument list. Input: the arguments
// after the program name, each ended by a NUL byte (as the kernel hands them).

#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "cli/cli_options.h"
#include "fuzz_support.h"
#include "link/frame.h"

using namespace brevant;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::vector<std::string> arguments;
  std::string_view text = fuzz::AsText(data, size);
  while (!text.empty() && arguments.size() < 64) {
    const auto end = text.find('\0');
    arguments.emplace_back(text.substr(0, end));
    text = end == std::string_view::npos ? std::string_view{} : text.substr(end + 1);
  }

  const cli::ParseResult result = cli::ParseCliArguments(arguments);
  if (!result.ok) {
    BREVANT_FUZZ_CHECK(!result.error.empty(), "a refused argument list gives no reason");
    BREVANT_FUZZ_CHECK(result.error.find("brevant-cli") != std::string::npos,
                       "a refusal does not say where help is: %s", result.error.c_str());
    return 0;
  }
  if (result.help) {
    BREVANT_FUZZ_CHECK(result.helpText.find("Usage: brevant-cli") != std::string::npos,
                       "help without a usage line");
    return 0;
  }
  const cli::CliOptions& o = result.options;
  const auto& names = cli::CommandNames();
  BREVANT_FUZZ_CHECK(std::find(names.begin(), names.end(), o.command) != names.end(),
                     "unknown command %s accepted", o.command.c_str());
  BREVANT_FUZZ_CHECK(cli::UsageText(o.command) != cli::UsageText(), "command %s has no help",
                     o.command.c_str());
  for (std::size_t i = 0; i < o.devices.size(); ++i) {
    const auto mac = ParseMacText(o.devices[i]);
    BREVANT_FUZZ_CHECK(mac && DeviceMacText(*mac) == o.devices[i], "device %s is no MAC text",
                       o.devices[i].c_str());
    BREVANT_FUZZ_CHECK(std::count(o.devices.begin(), o.devices.end(), o.devices[i]) == 1,
                       "device %s is named twice", o.devices[i].c_str());
  }
  BREVANT_FUZZ_CHECK(o.watchSeconds >= 1 && o.watchSeconds <= 86400, "watch %d", o.watchSeconds);
  BREVANT_FUZZ_CHECK(o.tickMs >= 1 && o.tickMs <= 60000, "tick %d", o.tickMs);
  const bool targeted = o.command == "deliver" || o.command == "sheet" || o.command == "antitheft";
  if (targeted) {
    BREVANT_FUZZ_CHECK(!o.adapter.empty(), "%s without an adapter", o.command.c_str());
    BREVANT_FUZZ_CHECK(o.all != !o.devices.empty(), "%s needs --all or --devices",
                       o.command.c_str());
  }
  if (o.command == "antitheft")
    BREVANT_FUZZ_CHECK(o.lockCode.has_value(), "antitheft without a lock code");
  if (o.command == "deliver")
    BREVANT_FUZZ_CHECK(o.logo || o.config, "deliver without a logo or a configuration");
  if (o.command == "template") {
    BREVANT_FUZZ_CHECK(o.subcommand == "list" || o.subcommand == "save" || o.subcommand == "delete",
                       "template %s accepted", o.subcommand.c_str());
  }
  return 0;
}
