#include "cli/cli_options.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <memory>

#include "link/frame.h"

namespace brevant::cli {

namespace {

constexpr const char* kDescription =
    R"(Prepares devices on one Ethernet segment without a window: the same store,
result logs, rules and tailoring as the desktop application.)";

constexpr const char* kGeneralFooter = R"(
"brevant-cli COMMAND --help" or "brevant-cli help COMMAND" tells a command's
options.

Exit status, for every command: 0 when everything succeeded (every target
device succeeded); 1 when some device failed or was not decided, or the link
could not be used; 2 on bad input or files that cannot be used (the message
on standard error; nothing was sent).

--json writes one JSON object on standard output, whatever the command:
{"schema": 1, "command": ..., "exit": STATUS, ...}, with "error" holding the
message when the command ended before its work. Status codes are written as
numbers with their untranslated names and English texts. The README tells
every member.)";

constexpr const char* kTargetsFooter = R"(
The devices are found by a scan first: at least four ticks, another broadcast
every twelfth tick while devices keep answering. --all takes every device that
answered; --devices only those named, each of which must have answered.)";

constexpr const char* kWatchFooter = R"(
After the start the devices' results are watched until every target is
decided or SECONDS have passed; jobs still sending then are stopped. Each
device's statuses and verdict are printed (tab-separated, or with --json).
--csv FILE writes them as CSV too: mac, the three status codes and texts,
verdict, advice, time; UTF-8, quoted as RFC 4180 says. A file that cannot be
written makes the exit status 2.)";

// The options of every command, bound to the options they fill.
class Parser {
 public:
  Parser() {
    app_.name("brevant-cli");
    app_.description(kDescription);
    app_.footer(kGeneralFooter);
    app_.set_help_flag("-h,--help", "Show this help; COMMAND --help shows a command's");
    app_.require_subcommand(1);
    app_.get_formatter()->column_width(30);
    app_.get_formatter()->label("REQUIRED", "(required)");
    app_.get_formatter()->label("SUBCOMMAND", "COMMAND");

    auto* adapters = Command("adapters", "List the Ethernet adapters to work on");
    adapters->footer(
        "\nOne line per adapter: the text the adapter page shows, a tab, the system name.\n"
        "Only Ethernet adapters that are up are listed.");
    Json(adapters);

    auto* scan = Command("scan", "Discover the devices on an adapter");
    scan->footer(
        "\nPrints each device that answered: MAC, time of discovery, 2.4 GHz and 5 GHz\n"
        "network names, tab-separated. A scan lasts at least four ticks and ends at the\n"
        "first fourth tick without a new device.");
    Adapter(scan);
    Progress(scan);

    auto* deliver = Command("deliver", "Send a logo, a configuration file or both");
    Adapter(deliver);
    Targets(deliver);
    deliver->add_option("--logo", logo_, "The logo: PNG, JPEG, BMP or GIF, at most 229 x 51")
        ->type_name("FILE");
    deliver->add_option("--config", config_, "The configuration file: .xml or .json")
        ->type_name("FILE");
    deliver
        ->add_option("--sheet", sheet_,
                     "Tailor each device's copy of --config from its row of this sheet")
        ->type_name("FILE");
    Watch(deliver);
    Progress(deliver);
    deliver->footer(std::string("\nAt least one of --logo and --config; both go as one job per "
                                "device, the logo\nfirst. A larger picture is cropped in the "
                                "window first. Sheet rows are found by\ntheir MAC cell; "
                                "\"brevant-cli sheet\" makes a sheet to fill in.\n") +
                    kTargetsFooter + "\n" + kWatchFooter);

    auto* sheet = Command("sheet", "Write the per-device sheet for a configuration file");
    Adapter(sheet);
    Targets(sheet);
    sheet->add_option("--config", config_, "The configuration file: .xml or .json")
        ->type_name("FILE")
        ->required();
    sheet
        ->add_option("--out", out_,
                     "Write the sheet here (default: ModifyExcel/ beside the program)")
        ->type_name("FILE");
    Progress(sheet);
    sheet->footer(
        std::string("\nOne row per chosen device, filled in from the file and the "
                    "devices' stored\nnetwork names and keys. Prints the sheet's path. ") +
        kTargetsFooter);

    auto* antitheft = Command("antitheft", "Send the anti-theft lock command");
    Adapter(antitheft);
    Targets(antitheft);
    antitheft->add_option("--lock-code", lockCode_, "The lock code (it is also its confirmation)")
        ->type_name("CODE")
        ->required();
    Entries(antitheft);
    antitheft
        ->add_option("--template", loadTemplate_,
                     "Start from this template's switch, AC name and DNS servers")
        ->type_name("NAME");
    Watch(antitheft);
    Progress(antitheft);
    antitheft->footer(
        std::string("\nThe entries are checked as the anti-theft page checks them. Options given\n"
                    "override the template's values; --on turns protection on over a template\n"
                    "saved with it off. With protection off only the lock code is sent.\n") +
        kTargetsFooter + "\n" + kWatchFooter);

    auto* templates = Command("template", "List, save or delete anti-theft templates");
    templates->require_subcommand(1);
    templates->footer(
        "\nThe templates of IniTemplate/Config.ini beside the program. A saved template\n"
        "keeps the switch and, when it is on, the AC name and DNS servers (a DNS server\n"
        "not given is kept as the field's placeholder, which sends 0.0.0.0).");
    auto* list = Subcommand(templates, "list", "List the templates");
    Json(list);
    auto* save = Subcommand(templates, "save", "Save a new template");
    save->add_option("NAME", templateName_, "The template's name")->type_name("")->required();
    Entries(save);
    Json(save);
    auto* remove = Subcommand(templates, "delete", "Delete a template");
    remove->add_option("NAME", templateName_, "The template's name (outer blanks are ignored)")
        ->type_name("")
        ->required();
    Json(remove);

    help_ = Command("help", "Show the help of a command");
    help_->add_option("COMMAND", helpTopic_, "The command (and for template: list, save or delete)")
        ->type_name("");
  }

  ParseResult Parse(const std::vector<std::string>& arguments) {
    ParseResult result;
    if (arguments.empty())
      return Failure("a command is needed (see brevant-cli --help)");
    const std::string& first = arguments[0];
    const auto& names = CommandNames();
    if (first.empty() || (first[0] != '-' && first != "help" &&
                          std::find(names.begin(), names.end(), first) == names.end())) {
      return Failure("unknown command \"" + first + "\" (see brevant-cli --help)");
    }
    // As the kernel hands them: the program's name first.
    std::vector<const char*> argv = {"brevant-cli"};
    for (const std::string& argument : arguments)
      argv.push_back(argument.c_str());
    try {
      app_.parse(static_cast<int>(argv.size()), argv.data());
    } catch (const CLI::CallForHelp&) {
      result.ok = result.help = true;
      result.helpText = HelpOfDeepest();
      return result;
    } catch (const CLI::CallForAllHelp&) {
      result.ok = result.help = true;
      result.helpText = HelpOfDeepest();
      return result;
    } catch (const CLI::ExtrasError&) {
      // CLI11 names them last first: in the order given instead.
      CLI::App* at = Deepest();
      std::string words;
      for (const std::string& word : at->remaining())
        words += (words.empty() ? "" : " ") + word;
      return Refused(arguments, "unexpected argument" +
                                    std::string(at->remaining().size() > 1 ? "s" : "") + ": " +
                                    words);
    } catch (const CLI::ParseError& error) {
      return Refused(arguments, error.what());
    }

    if (*help_) {
      result.ok = result.help = true;
      // After a parse the application's help is the parsed command's: the
      // general one comes from a parser that has parsed nothing.
      if (helpTopic_.empty()) {
        result.helpText = Parser().Usage("");
        return result;
      }
      CLI::App* topic = Find(&app_, helpTopic_[0]);
      if (topic != nullptr && topic != help_ && helpTopic_.size() == 2)
        topic = Find(topic, helpTopic_[1]);
      if (topic == nullptr || helpTopic_.size() > 2) {
        std::string asked;
        for (const std::string& word : helpTopic_)
          asked += (asked.empty() ? "" : " ") + word;
        return Failure("help: there is no command \"" + asked + "\" (see brevant-cli --help)");
      }
      result.helpText = HelpOf(topic);
      return result;
    }
    return Finish();
  }

  // "template save" gives that form's help.
  std::string Usage(const std::string& command) {
    const auto blank = command.find(' ');
    CLI::App* sub = command.empty() ? nullptr : Find(&app_, command.substr(0, blank));
    if (sub != nullptr && blank != std::string::npos) {
      CLI::App* form = Find(sub, command.substr(blank + 1));
      sub = form != nullptr ? form : sub;
    }
    if (sub == nullptr || sub == help_)
      return app_.help();
    return HelpOf(sub);
  }

 private:
  CLI::App* Command(const std::string& name, const std::string& description) {
    return Subcommand(&app_, name, description);
  }
  static CLI::App* Subcommand(CLI::App* parent, const std::string& name,
                              const std::string& description) {
    auto* sub = parent->add_subcommand(name, description);
    sub->set_help_flag("-h,--help", "Show this help");
    sub->group("Commands");
    return sub;
  }

  // The subcommand of that name; nothing for any other name.
  static CLI::App* Find(CLI::App* parent, const std::string& name) {
    const auto found =
        parent->get_subcommands([&](const CLI::App* sub) { return sub->get_name() == name; });
    return found.empty() ? nullptr : found.front();
  }

  void Json(CLI::App* sub) {
    sub->add_flag("--json", json_, "Write one JSON object on standard output");
  }
  void Adapter(CLI::App* sub) {
    sub->add_option("--adapter", adapter_, "The adapter cabled to the devices (see adapters)")
        ->type_name("IFNAME")
        ->required();
  }
  void Targets(CLI::App* sub) {
    // Exactly one of the two; Finish says so.
    sub->add_flag("--all", all_, "Every device that answers the scan");
    sub->add_option("--devices", devices_,
                    "These devices (may be repeated), e.g. C8:3A:35:A1:B2:C3")
        ->type_name("MAC[,MAC...]")
        ->delimiter(',');
  }
  void Progress(CLI::App* sub) {
    Json(sub);
    sub->add_flag("--quiet", quiet_, "No progress lines on standard error");
    sub->add_option("--tick-ms", tickMs_, "Length of a scan tick (default 1000)")
        ->type_name("MS")
        ->check(CLI::Range(1, 60000).description(""));
  }
  void Watch(CLI::App* sub) {
    sub->add_option("--watch", watchSeconds_, "Watch the results this long (default 60)")
        ->type_name("SECONDS")
        ->check(CLI::Range(1, 86400).description(""));
    sub->add_option("--csv", csv_, "Also write the results to this CSV file")->type_name("FILE");
  }
  void Entries(CLI::App* sub) {
    // Not both; Finish says so.
    sub->add_flag("--on", on_, "Protection on (the default without a template)");
    sub->add_flag("--off", off_, "Protection off");
    sub->add_option("--ac-name", acName_, "The AC name")->type_name("NAME");
    sub->add_option("--dns1", dns1_, "The primary DNS server (IPv4 or IPv6)")->type_name("ADDR");
    sub->add_option("--dns2", dns2_, "The secondary DNS server")->type_name("ADDR");
  }

  // A parse that failed; help asked for anywhere still wins, as the values
  // are checked before CLI11 looks at the help flag.
  ParseResult Refused(const std::vector<std::string>& arguments, const std::string& message) {
    const bool helpAsked = std::any_of(arguments.begin(), arguments.end(),
                                       [](const auto& a) { return a == "-h" || a == "--help"; });
    if (helpAsked) {
      std::string command = arguments[0];
      if (command == "template" && arguments.size() > 1 && !arguments[1].empty() &&
          arguments[1][0] != '-')
        command += " " + arguments[1];
      ParseResult result;
      result.ok = result.help = true;
      result.helpText = Parser().Usage(command);
      return result;
    }
    return Failure(message + " (see " + Prefix(Deepest()) + " --help)");
  }

  ParseResult Failure(std::string message) const {
    ParseResult result;
    result.error = std::move(message);
    return result;
  }

  // The command (or template form) the arguments reached.
  CLI::App* Deepest() {
    CLI::App* current = &app_;
    while (!current->get_subcommands().empty())
      current = current->get_subcommands().front();
    return current;
  }
  std::string Prefix(const CLI::App* sub) const {
    std::string prefix;
    for (const CLI::App* at = sub; at != nullptr; at = at->get_parent())
      prefix = at->get_name() + (prefix.empty() ? "" : " " + prefix);
    return prefix;
  }
  std::string HelpOf(CLI::App* sub) {
    if (sub == &app_)
      return app_.help();
    return sub->help(Prefix(sub->get_parent()), CLI::AppFormatMode::All);
  }
  std::string HelpOfDeepest() { return HelpOf(Deepest()); }

  // The options the parser filled, checked for what CLI11 cannot say.
  ParseResult Finish() {
    ParseResult result;
    CliOptions& o = result.options;
    CLI::App* command = app_.get_subcommands().front();
    o.command = command->get_name();
    const std::string see = " (see brevant-cli " + o.command + " --help)";
    if (o.command == "template") {
      o.subcommand = command->get_subcommands().front()->get_name();
      o.templateName = templateName_;
    }
    o.adapter = adapter_;
    o.all = all_;
    for (const std::string& text : devices_) {
      const auto mac = ParseMacText(text);
      if (!mac) {
        return Failure("--devices: \"" + text +
                       "\" is no MAC address (six two-digit hexadecimal numbers separated by "
                       "colons, like C8:3A:35:A1:B2:C3)");
      }
      const std::string upper = DeviceMacText(*mac);
      if (std::find(o.devices.begin(), o.devices.end(), upper) == o.devices.end())
        o.devices.push_back(upper);
    }
    const auto given = [&](const char* option) {
      const CLI::App* at =
          command->get_subcommands().empty() ? command : command->get_subcommands().front();
      const CLI::Option* found = at->get_option_no_throw(option);
      return found != nullptr && found->count() > 0;
    };
    if (given("--logo"))
      o.logo = logo_;
    if (given("--config"))
      o.config = config_;
    if (given("--sheet"))
      o.sheet = sheet_;
    if (given("--out"))
      o.out = out_;
    if (given("--csv"))
      o.csv = csv_;
    if (given("--lock-code"))
      o.lockCode = lockCode_;
    if (given("--ac-name"))
      o.acName = acName_;
    if (given("--dns1"))
      o.dns1 = dns1_;
    if (given("--dns2"))
      o.dns2 = dns2_;
    if (given("--template"))
      o.loadTemplate = loadTemplate_;
    if (on_ && off_)
      return Failure("--on and --off exclude each other" + see);
    if (on_ || off_)
      o.switchOn = on_;
    o.watchSeconds = watchSeconds_;
    o.tickMs = tickMs_;
    o.json = json_;
    o.quiet = quiet_;

    const bool targeted =
        o.command == "deliver" || o.command == "sheet" || o.command == "antitheft";
    if (targeted && o.all == !o.devices.empty())
      return Failure(o.command + " needs either --all or --devices MAC[,MAC...]" + see);
    if (o.command == "deliver") {
      if (!o.logo && !o.config)
        return Failure("deliver needs --logo FILE, --config FILE or both" + see);
      if (o.sheet && !o.config)
        return Failure("--sheet goes with --config: it tailors that file" + see);
    }
    result.ok = true;
    return result;
  }

  CLI::App app_;
  CLI::App* help_ = nullptr;
  std::vector<std::string> helpTopic_;
  std::string adapter_;
  bool all_ = false;
  std::vector<std::string> devices_;
  std::string logo_, config_, sheet_, out_, csv_, lockCode_, acName_, dns1_, dns2_, loadTemplate_;
  std::string templateName_;
  bool on_ = false;
  bool off_ = false;
  int watchSeconds_ = 60;
  int tickMs_ = 1000;
  bool json_ = false;
  bool quiet_ = false;
};

}  // namespace

const std::vector<std::string>& CommandNames() {
  static const std::vector<std::string> names = {"adapters", "scan",      "deliver",
                                                 "sheet",    "antitheft", "template"};
  return names;
}

std::string UsageText(const std::string& command) {
  return Parser().Usage(command);
}

ParseResult ParseCliArguments(const std::vector<std::string>& arguments) {
  // CLI11 reports what it refuses by exceptions; nothing else escapes.
  try {
    return Parser().Parse(arguments);
  } catch (const std::exception& error) {
    ParseResult result;
    result.error = error.what();
    return result;
  }
}

}  // namespace brevant::cli
