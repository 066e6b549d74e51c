#include "cli/cli_options.h"

#include <algorithm>
#include <charconv>
#include <map>
#include <set>

#include "link/frame.h"

namespace brevant::cli {

namespace {

constexpr const char* kGeneral = R"(Usage: brevant-cli COMMAND [options]

Prepares devices on one Ethernet segment without a window: the same store,
result logs, rules and tailoring as the desktop application.

Commands:
  adapters     the Ethernet adapters to work on
  scan         discover the devices on an adapter
  deliver      send a logo, a configuration file or both (tailored from a sheet)
  sheet        write the per-device sheet for a configuration file
  antitheft    send the anti-theft lock command
  template     list, save or delete anti-theft templates

Exit status: 0 when every target succeeded, 1 when any failed or was not decided
(or the link could not be used), 2 on bad input or usage (the message on standard
error). "brevant-cli COMMAND --help" tells more.
)";

const std::map<std::string, std::string> kCommandHelp = {
    {"adapters", R"(Usage: brevant-cli adapters [--json]

One line per adapter: the text the adapter page shows, a tab, the system name.
)"},
    {"scan", R"(Usage: brevant-cli scan --adapter IFNAME [--json] [--quiet] [--tick-ms MS]

Broadcasts a discovery request on IFNAME and waits until no new device has
answered for a check (at least four ticks; another broadcast every twelfth tick
while devices keep coming), then prints each device: MAC, time of discovery,
2.4 GHz and 5 GHz network names, tab-separated.
  --tick-ms MS   length of a scan tick (default 1000)
)"},
    {"deliver", R"(Usage: brevant-cli deliver --adapter IFNAME (--all | --devices MAC[,MAC...])
                          [--logo FILE] [--config FILE] [--sheet FILE]
                          [--watch SECONDS] [--json] [--quiet] [--tick-ms MS]

Scans, then delivers to the chosen devices at once: the logo (at most 229 x 51
pixels: crop larger pictures first), the configuration file (.xml or .json),
or both. With --sheet, every device receives its own copy of the configuration
tailored from its row of the sheet (rows are found by their MAC cell). Then
watches the devices' results for SECONDS (default 60) or until every one is
decided, and prints each device's statuses and verdict.
  --json         one JSON document on standard output
  --quiet        no progress lines on standard error
)"},
    {"sheet", R"(Usage: brevant-cli sheet --adapter IFNAME (--all | --devices MAC[,MAC...])
                        --config FILE [--out FILE] [--json] [--quiet] [--tick-ms MS]

Scans, then writes the per-device sheet for the configuration file: one row
per chosen device, filled in from the file and the devices' stored network
names and keys. Prints its path (in ModifyExcel/ beside the program unless
--out says where).
)"},
    {"antitheft",
     R"(Usage: brevant-cli antitheft --adapter IFNAME (--all | --devices MAC[,MAC...])
                            --lock-code CODE [--off] [--ac-name NAME]
                            [--dns1 ADDR] [--dns2 ADDR] [--template NAME]
                            [--watch SECONDS] [--json] [--quiet] [--tick-ms MS]

Checks the entries as the anti-theft page does (the lock code is also its
confirmation), scans, sends the lock command to the chosen devices, watches
and prints the results. --template NAME takes the switch, AC name and DNS
servers of a saved template first; the options given override them. --off
turns the protection off (only the lock code is then sent).
)"},
    {"template", R"(Usage: brevant-cli template list [--json]
       brevant-cli template save NAME [--off] [--ac-name NAME] [--dns1 ADDR] [--dns2 ADDR]
       brevant-cli template delete NAME

The anti-theft templates of IniTemplate/Config.ini beside the program. A saved
template keeps the switch and, when it is on, the AC name and DNS servers (a
DNS server not given is kept as the field's placeholder, which sends 0.0.0.0).
)"},
};

// Options each command takes; true when the option takes a value.
const std::map<std::string, std::map<std::string, bool>> kAllowed = {
    {"adapters", {{"json", false}}},
    {"scan", {{"adapter", true}, {"json", false}, {"quiet", false}, {"tick-ms", true}}},
    {"deliver",
     {{"adapter", true},
      {"all", false},
      {"devices", true},
      {"logo", true},
      {"config", true},
      {"sheet", true},
      {"watch", true},
      {"json", false},
      {"quiet", false},
      {"tick-ms", true}}},
    {"sheet",
     {{"adapter", true},
      {"all", false},
      {"devices", true},
      {"config", true},
      {"out", true},
      {"json", false},
      {"quiet", false},
      {"tick-ms", true}}},
    {"antitheft",
     {{"adapter", true},
      {"all", false},
      {"devices", true},
      {"lock-code", true},
      {"off", false},
      {"ac-name", true},
      {"dns1", true},
      {"dns2", true},
      {"template", true},
      {"watch", true},
      {"json", false},
      {"quiet", false},
      {"tick-ms", true}}},
    {"template",
     {{"json", false}, {"off", false}, {"ac-name", true}, {"dns1", true}, {"dns2", true}}},
};

bool Integer(const std::string& text, int low, int high, int& value) {
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  return error == std::errc() && end == text.data() + text.size() && value >= low && value <= high;
}

ParseResult Failure(std::string message) {
  ParseResult result;
  result.error = std::move(message);
  return result;
}

}  // namespace

std::string UsageText(const std::string& command) {
  const auto help = kCommandHelp.find(command);
  return help != kCommandHelp.end() ? help->second : kGeneral;
}

ParseResult ParseCliArguments(const std::vector<std::string>& arguments) {
  ParseResult result;
  CliOptions& o = result.options;
  if (arguments.empty())
    return Failure("a command is needed (see brevant-cli --help)");
  if (arguments[0] == "--help" || arguments[0] == "-h" || arguments[0] == "help") {
    o.help = true;
    result.ok = true;
    return result;
  }
  o.command = arguments[0];
  const auto allowed = kAllowed.find(o.command);
  if (allowed == kAllowed.end()) {
    return Failure("unknown command \"" + o.command + "\" (see brevant-cli --help)");
  }

  std::vector<std::string> positional;
  std::set<std::string> seen;
  for (std::size_t i = 1; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    if (argument == "--help" || argument == "-h") {
      o.help = true;
      result.ok = true;
      return result;
    }
    if (argument.rfind("--", 0) != 0) {
      positional.push_back(argument);
      continue;
    }
    std::string name = argument.substr(2);
    std::optional<std::string> value;
    if (const auto equals = name.find('='); equals != std::string::npos) {
      value = name.substr(equals + 1);
      name = name.substr(0, equals);
    }
    const auto option = allowed->second.find(name);
    if (option == allowed->second.end()) {
      return Failure("brevant-cli " + o.command + " takes no option --" + name +
                     " (see brevant-cli " + o.command + " --help)");
    }
    if (option->second && !value) {
      if (i + 1 >= arguments.size())
        return Failure("--" + name + " needs a value");
      value = arguments[++i];
    }
    if (!option->second && value)
      return Failure("--" + name + " takes no value");
    if (name != "devices" && !seen.insert(name).second) {
      return Failure("--" + name + " is given twice");
    }
    const std::string v = value.value_or("");
    if (name == "adapter") {
      o.adapter = v;
    } else if (name == "all") {
      o.all = true;
    } else if (name == "devices") {
      std::size_t start = 0;
      while (start <= v.size()) {
        const auto comma = v.find(',', start);
        const std::string text =
            v.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        const auto mac = ParseMacText(text);
        if (!mac) {
          return Failure("--devices: \"" + text +
                         "\" is no MAC address (six two-digit hexadecimal numbers separated by "
                         "colons, like C8:3A:35:A1:B2:C3)");
        }
        const std::string upper = DeviceMacText(*mac);
        if (std::find(o.devices.begin(), o.devices.end(), upper) == o.devices.end()) {
          o.devices.push_back(upper);
        }
        if (comma == std::string::npos)
          break;
        start = comma + 1;
      }
    } else if (name == "logo") {
      o.logo = v;
    } else if (name == "config") {
      o.config = v;
    } else if (name == "sheet") {
      o.sheet = v;
    } else if (name == "out") {
      o.out = v;
    } else if (name == "watch") {
      if (!Integer(v, 1, 86400, o.watchSeconds)) {
        return Failure("--watch needs a number of seconds from 1 to 86400, not \"" + v + "\"");
      }
    } else if (name == "tick-ms") {
      if (!Integer(v, 1, 60000, o.tickMs)) {
        return Failure("--tick-ms needs milliseconds from 1 to 60000, not \"" + v + "\"");
      }
    } else if (name == "json") {
      o.json = true;
    } else if (name == "quiet") {
      o.quiet = true;
    } else if (name == "lock-code") {
      o.lockCode = v;
    } else if (name == "off") {
      o.off = true;
    } else if (name == "ac-name") {
      o.acName = v;
    } else if (name == "dns1") {
      o.dns1 = v;
    } else if (name == "dns2") {
      o.dns2 = v;
    } else if (name == "template") {
      o.loadTemplate = v;
    }
  }

  const bool targeted = o.command == "deliver" || o.command == "sheet" || o.command == "antitheft";
  if (o.command == "template") {
    if (positional.empty())
      return Failure("template needs list, save NAME or delete NAME");
    o.subcommand = positional[0];
    const bool named = o.subcommand == "save" || o.subcommand == "delete";
    if (o.subcommand != "list" && !named) {
      return Failure("template " + o.subcommand + ": unknown; use list, save or delete");
    }
    if (named && positional.size() != 2)
      return Failure("template " + o.subcommand + " needs one NAME");
    if (!named && positional.size() != 1)
      return Failure("template list takes no NAME");
    if (named)
      o.templateName = positional[1];
    const bool valueOptions = o.off || o.acName || o.dns1 || o.dns2;
    if (o.subcommand != "save" && valueOptions) {
      return Failure("--off, --ac-name, --dns1 and --dns2 go with template save");
    }
    if (o.subcommand != "list" && o.json)
      return Failure("--json goes with template list");
  } else if (!positional.empty()) {
    return Failure("unexpected argument \"" + positional[0] + "\" (see brevant-cli " + o.command +
                   " --help)");
  }
  if ((o.command == "scan" || targeted) && o.adapter.empty()) {
    return Failure(o.command + " needs --adapter IFNAME (brevant-cli adapters lists them)");
  }
  if (targeted) {
    if (o.all == !o.devices.empty()) {
      return Failure(o.command + " needs either --all or --devices MAC[,MAC...]");
    }
  }
  if (o.command == "deliver") {
    if (!o.logo && !o.config)
      return Failure("deliver needs --logo FILE, --config FILE or both");
    if (o.sheet && !o.config)
      return Failure("--sheet goes with --config: it tailors that file");
  }
  if (o.command == "sheet" && !o.config)
    return Failure("sheet needs --config FILE");
  if (o.command == "antitheft" && !o.lockCode)
    return Failure("antitheft needs --lock-code CODE");
  result.ok = true;
  return result;
}

}  // namespace brevant::cli
