#include "cli/cli_app.h"

#include <json/json.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <iostream>
#include <map>
#include <optional>
#include <sstream>
#include <system_error>
#include <thread>

#include "app/single_instance.h"
#include "cli/cli_options.h"
#include "i18n/language.h"
#include "link/adapters.h"
#include "link/delivery.h"
#include "link/scan_procedure.h"
#include "link/transmit_manage.h"
#include "records/status_store.h"
#include "tailoring/device_sheet.h"
#include "tailoring/json_config.h"
#include "tailoring/picture_size.h"
#include "tailoring/xml_config.h"
#include "text/text.h"
#include "workflow/antitheft.h"
#include "workflow/antitheft_templates.h"
#include "workflow/customization.h"
#include "workflow/delivery_results.h"
#include "workflow/delivery_watch.h"

namespace brevant::cli {

namespace {

using Clock = std::chrono::steady_clock;

// How often a watch looks at the store.
constexpr auto kWatchPoll = std::chrono::milliseconds(100);

// Notes become messages on standard error; confirmations are given by
// running the command, so they are answered OK.
class CliPort : public OperatorPort {
 public:
  explicit CliPort(std::ostream& err) : err_(err) {}
  bool Note(const std::string&, const std::string& text, bool withCancel) override {
    if (withCancel)
      return true;
    err_ << "brevant-cli: " << text << "\n";
    last_ = text;
    ++messages_;
    return true;
  }
  SheetEdit EditSheet(const std::filesystem::path& sheet) override {
    err_ << "brevant-cli: correct the sheet and run again: " << sheet.string() << "\n";
    return SheetEdit::NoEditor;
  }
  int Messages() const { return messages_; }
  const std::string& Last() const { return last_; }

 private:
  std::ostream& err_;
  int messages_ = 0;
  std::string last_;
};

// The file checks that keep a run from sending anything it cannot finish.
std::string CheckReadable(const std::filesystem::path& file, const char* what) {
  std::error_code error;
  const auto status = std::filesystem::status(file, error);
  // A folder on the way that the operator may not enter hides the file.
  if (error == std::errc::permission_denied) {
    return std::string(what) + " " + file.string() + " cannot be read (permission denied)";
  }
  if (error || !std::filesystem::exists(status)) {
    return std::string(what) + " " + file.string() + " does not exist";
  }
  if (std::filesystem::is_directory(status)) {
    return std::string(what) + " " + file.string() + " is a folder, not a file";
  }
  if (!std::filesystem::is_regular_file(status)) {
    return std::string(what) + " " + file.string() + " is not a plain file";
  }
  if (::access(file.c_str(), R_OK) != 0) {
    return std::string(what) + " " + file.string() + " cannot be read (permission denied)";
  }
  const auto size = std::filesystem::file_size(file, error);
  if (error)
    return std::string(what) + " " + file.string() + ": " + error.message();
  if (size > kLargestTransfer) {
    return std::string(what) + " " + file.string() + " has " + std::to_string(size) +
           " bytes; one transfer carries at most " + std::to_string(kLargestTransfer) +
           " (65535 chunks of 1024 bytes)";
  }
  return {};
}

// Where a file the run writes is to go: its folder must be there.
std::string CheckWritablePlace(const std::filesystem::path& file, const char* what) {
  std::error_code error;
  const auto folder = std::filesystem::absolute(file).parent_path();
  if (!std::filesystem::is_directory(folder, error))
    return std::string(what) + " " + file.string() + ": the folder " + folder.string() +
           " does not exist";
  if (std::filesystem::is_directory(file, error))
    return std::string(what) + " " + file.string() + " is a folder, not a file";
  return {};
}

std::string KindCheck(const std::filesystem::path& config) {
  CustomizationState probe;
  probe.configLine = config.filename().string();
  if (ConfigurationKind(probe).empty()) {
    return "configuration file " + config.string() + " is neither .xml nor .json";
  }
  return {};
}

Json::Value StatusJson(std::int32_t code) {
  Json::Value status;
  status["code"] = code;
  status["name"] = std::string(CSqlManagement::StatusName(code));
  status["text"] = std::string(CSqlManagement::StatusEnglishText(code));
  return status;
}

class Run {
 public:
  Run(const CliOptions& options, std::ostream& out, std::ostream& err, const CliServices& services)
      : o_(options), out_(out), err_(err), services_(services), port_(err) {
    document_["schema"] = 1;
    document_["command"] = o_.command == "template" ? "template " + o_.subcommand : o_.command;
  }

  int Execute() {
    const int status = Dispatch();
    if (o_.json) {
      document_["exit"] = status;
      out_ << document_.toStyledString();
    }
    return status;
  }

 private:
  int Dispatch() {
    if (o_.command == "adapters")
      return Adapters();
    if (o_.command == "template")
      return Template();
    if (o_.command == "scan")
      return Scan();
    if (o_.command == "deliver")
      return Deliver();
    if (o_.command == "sheet")
      return Sheet();
    return AntiTheft();
  }

  int Fail(int status, const std::string& message) {
    err_ << "brevant-cli: " << message << "\n";
    document_["error"] = message;
    return status;
  }
  // A workflow told the operator already; its note is the run's error.
  int Failed(int status) {
    if (!port_.Last().empty())
      document_["error"] = port_.Last();
    return status;
  }
  void Progress(const std::string& line) {
    if (!o_.quiet)
      err_ << line << "\n";
  }

  int Adapters();
  int Scan();
  int Deliver();
  int Sheet();
  int AntiTheft();
  int Template();

  // Opens the store and the link on the adapter, runs a scan; 0 or the exit status.
  int BringUpAndScan(bool delivering);
  // The targets among the scanned devices; 0 or the exit status.
  int ChooseTargets(std::vector<std::string>& targets);
  // Watches while jobs run, ends them, prints the results; the exit status.
  int WatchAndReport(const std::vector<std::string>& targets, int jobs);
  void ReportChanges(const std::vector<DeviceResultRow>& rows);
  void PrintResults(const std::vector<DeviceResultRow>& rows);
  bool ReadTemplateFields(const std::filesystem::path& config, DeviceFieldRecord& fields);

  const CliOptions& o_;
  std::ostream& out_;
  std::ostream& err_;
  const CliServices& services_;
  CliPort port_;
  Json::Value document_;
  std::optional<SingleInstanceGuard> folderLock_;
  CSqlManagement* store_ = nullptr;
  AcTransmitManage* link_ = nullptr;
  std::map<std::string, std::array<std::int32_t, 3>> shown_;
};

int Run::Adapters() {
  const auto adapters = OfferedAdapters(*services_.adapters);
  Json::Value list(Json::arrayValue);
  for (const auto& a : adapters) {
    Json::Value item;
    item["name"] = a.name;
    item["mac"] = DeviceMacText(a.mac);
    item["description"] = a.description;
    item["text"] = AdapterListText(a);
    list.append(item);
    if (!o_.json)
      out_ << AdapterListText(a) << "\t" << a.name << "\n";
  }
  document_["adapters"] = list;
  return kExitSuccess;
}

int Run::BringUpAndScan(bool delivering) {
  document_["adapter"] = o_.adapter;
  std::optional<AdapterRecord> chosen;
  for (const auto& a : OfferedAdapters(*services_.adapters)) {
    if (a.name == o_.adapter)
      chosen = a;
  }
  if (!chosen) {
    return Fail(kExitBadInput, "no Ethernet adapter named \"" + o_.adapter +
                                   "\" is up here (brevant-cli adapters lists them)");
  }
  if (delivering) {
    const auto mtu = services_.adapters->Mtu(chosen->name);
    if (mtu && *mtu < kMinimumLinkMtu) {
      return Fail(kExitBadInput, "the MTU of " + chosen->name + " is " + std::to_string(*mtu) +
                                     "; the devices' 1286-byte frames need at least " +
                                     std::to_string(kMinimumLinkMtu));
    }
  }

  // data.db, the logs and the per-device files live in the folder: one run at
  // a time per folder. An installed copy's folder is root's, but its lock file
  // is the operators' to take.
  const std::filesystem::path lock = services_.directory / ".brevant.lock";
  folderLock_ = SingleInstanceGuard::AcquireFile(lock.string());
  if (!folderLock_ &&
      (::access(services_.directory.c_str(), W_OK) == 0 || ::access(lock.c_str(), W_OK) == 0)) {
    return Fail(kExitFailed, "another Brevant program is working in " +
                                 services_.directory.string() + "; wait for it to end");
  }
  store_ = &services_.store();
  if (!store_->IsOpen()) {
    return Fail(kExitBadInput, Translate("Failed to open database, unable to get data.") + " (" +
                                   store_->DatabaseFile().string() + ")");
  }
  link_ = &services_.link();
  std::string message;
  if (!link_->ApplyAdapter(*chosen, &message)) {
    return Fail(kExitFailed, message.empty() ? "no capture device for " + chosen->name : message);
  }
  link_->Init();
  if (!link_->IsUp())
    return Fail(kExitFailed, "cannot listen on " + chosen->name + ": " + link_->LastOpenError());

  Progress("scanning " + chosen->name + " ...");
  ScanProcedure scan(ScanActionsFor(*link_, *store_));
  scan.Start();
  auto next = Clock::now();
  // A scan that keeps growing re-broadcasts; no segment grows for ever.
  for (int tick = 0; tick < 3600; ++tick) {
    next += std::chrono::milliseconds(o_.tickMs);
    std::this_thread::sleep_until(next);
    if (scan.Tick())
      break;
  }
  Progress("scan over after " + std::to_string(scan.EndedOnTick()) +
           " ticks: " + std::to_string(link_->DeviceCount()) + " devices");
  return 0;
}

int Run::Scan() {
  if (const int status = BringUpAndScan(false))
    return status;
  std::vector<ap_info_stu> rows;
  int count = 0, ok = 0, failed = 0;
  store_->QueryDevices(true, SORT_BY_MAC, "", rows, count, ok, failed);
  Json::Value list(Json::arrayValue);
  for (const auto& r : rows) {
    Json::Value item;
    item["mac"] = r.mac;
    item["time"] = r.date;
    item["ssid2"] = r.ssid2;
    item["ssid5"] = r.ssid5;
    list.append(item);
    if (!o_.json)
      out_ << r.mac << "\t" << r.date << "\t" << r.ssid2 << "\t" << r.ssid5 << "\n";
  }
  document_["devices"] = list;
  return kExitSuccess;
}

int Run::ChooseTargets(std::vector<std::string>& targets) {
  std::vector<ap_info_stu> rows;
  int count = 0, ok = 0, failed = 0;
  store_->QueryDevices(true, SORT_BY_MAC, "", rows, count, ok, failed);
  if (o_.all) {
    for (const auto& r : rows)
      targets.push_back(r.mac);
    if (targets.empty())
      return Fail(kExitFailed, "no device answered on " + o_.adapter + "; nothing was sent");
    return 0;
  }
  for (const std::string& mac : o_.devices) {
    const bool found =
        std::any_of(rows.begin(), rows.end(), [&](const ap_info_stu& r) { return r.mac == mac; });
    if (!found)
      return Fail(kExitFailed, "device " + mac + " did not answer the scan; nothing was sent");
  }
  targets = o_.devices;
  return 0;
}

bool Run::ReadTemplateFields(const std::filesystem::path& config, DeviceFieldRecord& fields) {
  CustomizationState probe;
  probe.configLine = config.filename().string();
  if (ConfigurationKind(probe) == ".xml") {
    if (ReadXmlTemplate(config, fields))
      return true;
    Fail(kExitBadInput, Translate("Failed to read the XML file.") + " (" + config.string() + ")");
    return false;
  }
  std::string error;
  if (ReadJsonTemplate(config, fields, error))
    return true;
  Fail(kExitBadInput, Translate(error) + " (" + config.string() + ")");
  return false;
}

int Run::Deliver() {
  CustomizationState state;
  if (o_.logo) {
    if (const auto why = CheckLogoFile(*o_.logo); !why.empty())
      return Fail(kExitBadInput, why);
    SetLogo(state, std::filesystem::absolute(*o_.logo));
  }
  if (o_.config) {
    if (const auto why = CheckConfigFile(*o_.config); !why.empty())
      return Fail(kExitBadInput, why);
    SetConfiguration(state, std::filesystem::absolute(*o_.config));
  }
  if (o_.csv) {
    if (const auto why = CheckWritablePlace(*o_.csv, "--csv"); !why.empty())
      return Fail(kExitBadInput, why);
  }
  if (o_.sheet) {
    if (const auto why = CheckReadable(*o_.sheet, "sheet"); !why.empty())
      return Fail(kExitBadInput, why);
    if (!ReadTemplateFields(state.chosenConfigPath, state.templateFields))
      return kExitBadInput;
    state.sheetPath = std::filesystem::absolute(*o_.sheet);
    // Read now, so a sheet that is no workbook of this layout stops the run
    // before anything goes on the wire.
    std::vector<DeviceFieldRecord> rows;
    if (!ReadDeviceSheet(state.sheetPath, state.templateFields, rows)) {
      return Fail(kExitBadInput, Translate("Obtaining excel format information is incorrect!") +
                                     " (" + state.sheetPath.string() + ")");
    }
  }
  if (const int status = BringUpAndScan(true))
    return status;
  std::vector<std::string> targets;
  if (const int status = ChooseTargets(targets))
    return status;
  SetTargetList(state, targets);

  CustomizationServices services;
  services.store = store_;
  services.delivery = DeliveryContext{link_, store_, {}, {}};
  services.executableDirectory = services_.directory;
  const ApplyOutcome outcome = ApplyCustomization(state, port_, services);
  if (!outcome.started)
    return Failed(kExitBadInput);
  Progress("delivering to " + std::to_string(targets.size()) + " devices (" +
           std::to_string(outcome.jobs) + " jobs)");
  return WatchAndReport(targets, outcome.jobs);
}

int Run::Sheet() {
  if (const auto why = CheckConfigFile(*o_.config); !why.empty())
    return Fail(kExitBadInput, why);
  if (o_.out) {
    if (const auto why = CheckWritablePlace(*o_.out, "--out"); !why.empty())
      return Fail(kExitBadInput, why);
  }
  CustomizationState state;
  SetConfiguration(state, std::filesystem::absolute(*o_.config));
  if (!ReadTemplateFields(state.chosenConfigPath, state.templateFields))
    return kExitBadInput;
  if (const int status = BringUpAndScan(false))
    return status;
  std::vector<std::string> targets;
  if (const int status = ChooseTargets(targets))
    return status;
  SetTargetList(state, targets);
  const DeviceLookup lookup = [&](const std::string& mac, ap_info_stu& row) {
    return store_->GetDevice(mac, row);
  };
  state.sheetPath = DeviceSheetPath(services_.directory / "ModifyExcel");
  std::string note;
  if (!CreateDeviceSheet(state.sheetPath, state.targetList, state.templateFields, lookup, &note))
    return Fail(kExitBadInput, note);
  std::filesystem::path sheet = state.sheetPath;
  if (o_.out) {
    std::error_code error;
    const std::filesystem::path target = std::filesystem::absolute(*o_.out);
    std::filesystem::copy_file(sheet, target, std::filesystem::copy_options::overwrite_existing,
                               error);
    if (error)
      return Fail(kExitBadInput, "cannot write " + target.string() + ": " + error.message());
    std::filesystem::remove(sheet, error);
    sheet = target;
  }
  document_["sheet"] = sheet.string();
  if (!o_.json)
    out_ << sheet.string() << "\n";
  return kExitSuccess;
}

int Run::AntiTheft() {
  if (o_.csv) {
    if (const auto why = CheckWritablePlace(*o_.csv, "--csv"); !why.empty())
      return Fail(kExitBadInput, why);
  }
  AntiTheftFields fields;
  if (o_.loadTemplate) {
    TemplateList list(TemplateFilePath(services_.directory), port_);
    if (port_.Messages() != 0)
      return Failed(kExitBadInput);
    const auto& names = list.Names();
    if (std::find(names.begin(), names.end(), *o_.loadTemplate) == names.end()) {
      return Fail(kExitBadInput, "no anti-theft template named \"" + *o_.loadTemplate + "\"");
    }
    const TemplateValues values = list.Load(*o_.loadTemplate);
    fields.switchOn = values.switchOn;
    fields.acName = values.acName;
    fields.primaryDns = values.primaryDns;
    fields.secondaryDns = values.secondaryDns;
  }
  fields.lockCode = fields.confirmLockCode = *o_.lockCode;
  if (o_.switchOn)
    fields.switchOn = *o_.switchOn;
  if (o_.acName)
    fields.acName = *o_.acName;
  if (o_.dns1)
    fields.primaryDns = *o_.dns1;
  if (o_.dns2)
    fields.secondaryDns = *o_.dns2;
  // No field here can show the placeholder again after a template left it
  // empty (as one saved with protection off does): an empty DNS entry is none.
  for (std::string* dns : {&fields.primaryDns, &fields.secondaryDns}) {
    if (dns->empty())
      *dns = std::string(kDnsPlaceholder);
  }
  const AntiTheftDecision decision = DecideAntiTheft(fields, port_);
  if (!decision.proceed)
    return Failed(kExitBadInput);

  if (const int status = BringUpAndScan(true))
    return status;
  std::vector<std::string> targets;
  if (const int status = ChooseTargets(targets))
    return status;
  const int jobs = StartAntiTheftJobs(decision.command, targets, *store_,
                                      DeliveryContext{link_, store_, {}, {}});
  Progress("sending the lock command to " + std::to_string(targets.size()) + " devices (" +
           std::to_string(jobs) + " jobs)");
  return WatchAndReport(targets, jobs);
}

void Run::ReportChanges(const std::vector<DeviceResultRow>& rows) {
  for (const DeviceResultRow& row : rows) {
    const auto before = shown_.find(row.mac);
    for (std::size_t k = 0; k < row.codes.size(); ++k) {
      const bool changed =
          before == shown_.end() ? row.codes[k] != WAIT_OPERATE : before->second[k] != row.codes[k];
      if (changed) {
        Progress(row.mac + " " + std::string(kResultKinds[k]) + ": " +
                 CSqlManagement::StatusText(row.codes[k]));
      }
    }
    shown_[row.mac] = row.codes;
  }
}

int Run::WatchAndReport(const std::vector<std::string>& targets, int jobs) {
  const auto deadline = Clock::now() + std::chrono::seconds(o_.watchSeconds);
  // Nothing to wait for when no job started: the statuses are final.
  if (jobs > 0) {
    DeliveryWatch watch(*store_, targets, o_.watchSeconds);
    while (true) {
      // The verdicts go into the rows as the device list writes them.
      const std::vector<DeviceResult> verdicts = watch.UpdateTargets();
      ReportChanges(ReadDeviceResults(*store_, targets));
      const bool decided = std::all_of(verdicts.begin(), verdicts.end(), [](DeviceResult v) {
        return v == RESULT_SUCCESS || v == RESULT_FAILED;
      });
      if (decided || Clock::now() >= deadline)
        break;
      std::this_thread::sleep_until(std::min(deadline, Clock::now() + kWatchPoll));
    }
  }
  // A decided device may still be sending (the configuration after a failed
  // logo): it has the rest of the watch. Jobs sending after that end now, so
  // none outlives the link.
  if (!WaitForDeliveryJobs(std::max(deadline, Clock::now()))) {
    StopDeliveryJobs();
    WaitForDeliveryJobs(Clock::now() + std::chrono::seconds(10));
  }

  // Codes and verdicts from one reading, after the last job has written.
  const std::vector<DeviceResultRow> rows = ReadDeviceResults(*store_, targets);
  ReportChanges(rows);
  PrintResults(rows);
  if (o_.csv) {
    std::string error;
    if (!ExportResultsCsv(rows, *o_.csv, &error))
      return Fail(kExitBadInput, error);
    document_["csv"] = std::filesystem::absolute(*o_.csv).string();
  }
  const bool allSucceeded = std::all_of(rows.begin(), rows.end(), [](const DeviceResultRow& r) {
    return r.verdict == RESULT_SUCCESS;
  });
  return allSucceeded ? kExitSuccess : kExitFailed;
}

void Run::PrintResults(const std::vector<DeviceResultRow>& rows) {
  int successes = 0;
  int failures = 0;
  for (const auto& r : rows) {
    successes += r.verdict == RESULT_SUCCESS;
    failures += r.verdict == RESULT_FAILED;
  }
  const int undecided = static_cast<int>(rows.size()) - successes - failures;
  Json::Value devices(Json::arrayValue);
  for (const auto& r : rows) {
    Json::Value item;
    item["mac"] = r.mac;
    for (std::size_t k = 0; k < r.codes.size(); ++k)
      item[std::string(kResultKinds[k])] = StatusJson(r.codes[k]);
    item["verdict"] = std::string(VerdictName(r.verdict));
    item["advice"] = r.advice;
    item["time"] = r.time;
    devices.append(item);
  }
  document_["devices"] = devices;
  document_["succeeded"] = successes;
  document_["failed"] = failures;
  document_["undecided"] = undecided;
  if (o_.json)
    return;
  out_ << "MAC\t\t\tconfiguration\tlogo\tanti-theft\tverdict\n";
  for (const auto& r : rows) {
    out_ << r.mac;
    for (const std::int32_t code : r.codes) {
      const std::string text = CSqlManagement::StatusText(code);
      out_ << "\t" << (text.empty() ? "-" : text);
    }
    out_ << "\t" << VerdictName(r.verdict) << "\n";
  }
  out_ << successes << " succeeded, " << failures << " failed, " << undecided << " not decided\n";
}

int Run::Template() {
  const std::filesystem::path file = TemplateFilePath(services_.directory);
  if (o_.subcommand == "save") {
    TemplateValues values;
    values.switchOn = o_.switchOn.value_or(true);
    values.acName = o_.acName.value_or("");
    values.primaryDns = o_.dns1.value_or(std::string(kDnsPlaceholder));
    values.secondaryDns = o_.dns2.value_or(std::string(kDnsPlaceholder));
    document_["name"] = o_.templateName;
    return SaveTemplate(file, o_.templateName, values, port_) ? kExitSuccess
                                                              : Failed(kExitBadInput);
  }
  TemplateList list(file, port_);
  if (port_.Messages() != 0)
    return Failed(kExitBadInput);
  if (o_.subcommand == "list") {
    Json::Value templates(Json::arrayValue);
    for (const auto& name : list.Names()) {
      const TemplateValues v = list.Load(name);
      Json::Value item;
      item["name"] = name;
      item["switchOn"] = v.switchOn;
      item["acName"] = v.acName;
      item["primaryDns"] = v.primaryDns;
      item["secondaryDns"] = v.secondaryDns;
      templates.append(item);
      if (!o_.json)
        out_ << name << "\n";
    }
    document_["templates"] = templates;
    return kExitSuccess;
  }
  const std::string name = TrimWhite(o_.templateName);
  document_["name"] = name;
  const auto& names = list.Names();
  if (std::find(names.begin(), names.end(), name) == names.end()) {
    return Fail(kExitBadInput, "no anti-theft template named \"" + name + "\"");
  }
  return list.Delete(name) ? kExitSuccess : Failed(kExitBadInput);
}

}  // namespace

std::string CheckLogoFile(const std::filesystem::path& file) {
  if (auto why = CheckReadable(file, "logo"); !why.empty())
    return why;
  const auto size = ReadPictureSize(file);
  if (!size)
    return "logo " + file.string() + " is not a PNG, JPEG, BMP or GIF picture";
  if (LogoNeedsCropping(size->width, size->height)) {
    return "logo " + file.string() + " is " + std::to_string(size->width) + " x " +
           std::to_string(size->height) + " pixels; a device shows at most " +
           std::to_string(kLogoWidth) + " x " + std::to_string(kLogoHeight) +
           " (crop it in the window first)";
  }
  return {};
}

std::string CheckConfigFile(const std::filesystem::path& file) {
  if (auto why = KindCheck(file); !why.empty())
    return why;
  return CheckReadable(file, "configuration file");
}

int RunCli(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err,
           const CliServices& services) {
  const ParseResult parsed = ParseCliArguments(arguments);
  if (!parsed.ok) {
    err << "brevant-cli: " << parsed.error << "\n";
    // A script that asked for JSON gets its object for a usage error too.
    if (std::find(arguments.begin(), arguments.end(), "--json") != arguments.end()) {
      const auto& names = CommandNames();
      std::string command;
      if (std::find(names.begin(), names.end(), arguments[0]) != names.end()) {
        command = arguments[0];
        if (command == "template" && arguments.size() > 1 &&
            (arguments[1] == "list" || arguments[1] == "save" || arguments[1] == "delete"))
          command += " " + arguments[1];
      }
      Json::Value document;
      document["schema"] = 1;
      document["command"] = command;
      document["exit"] = kExitBadInput;
      document["error"] = parsed.error;
      out << document.toStyledString();
    }
    return kExitBadInput;
  }
  if (parsed.help) {
    out << parsed.helpText;
    return kExitSuccess;
  }
  Run run(parsed.options, out, err, services);
  return run.Execute();
}

}  // namespace brevant::cli
