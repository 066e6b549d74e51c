#pragma once

#include <optional>
#include <string>
#include <vector>

namespace brevant::cli {

// What one run of brevant-cli was asked to do.
struct CliOptions {
  std::string command;       // adapters, scan, deliver, sheet, antitheft, template
  std::string subcommand;    // template: list, save, delete
  std::string templateName;  // template save NAME, template delete NAME
  std::string adapter;
  bool all = false;
  std::vector<std::string> devices;  // upper-case MAC texts, each once, in the order given
  std::optional<std::string> logo;
  std::optional<std::string> config;
  std::optional<std::string> sheet;
  std::optional<std::string> out;
  std::optional<std::string> csv;  // deliver and antitheft: the results as CSV too
  int watchSeconds = 60;
  int tickMs = 1000;
  bool json = false;
  bool quiet = false;
  // Anti-theft entries and templates.
  std::optional<std::string> lockCode;
  std::optional<bool> switchOn;  // --on or --off; nothing: the template's, else on
  std::optional<std::string> acName;
  std::optional<std::string> dns1;
  std::optional<std::string> dns2;
  std::optional<std::string> loadTemplate;
};

struct ParseResult {
  bool ok = false;
  std::string error;  // what is wrong, for standard error (exit status 2)
  // Help was asked for (--help, -h, help [COMMAND]): print it and end with 0.
  bool help = false;
  std::string helpText;
  CliOptions options;
};

// The arguments after the program name.
ParseResult ParseCliArguments(const std::vector<std::string>& arguments);

// The whole help, or one command's ("template" covers its three forms); the
// general help for a name that is no command.
std::string UsageText(const std::string& command = {});

// The command names, in the order the help lists them.
const std::vector<std::string>& CommandNames();

}  // namespace brevant::cli
