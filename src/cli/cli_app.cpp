#include "cli/cli_app.h"

#include <json/json.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <fstream>
#include <iostream>
#include <map>
#include <memory>
#include <optional>
#include <sstream>
#include <thread>

#include "app/exe_dir.h"
#include "app/single_instance.h"
#include "app/startup.h"
#include "cli/cli_options.h"
#include "i18n/language.h"
#include "link/adapters.h"
#include "link/delivery.h"
#include "link/scan_procedure.h"
#include "link/transmit_manage.h"
#include "records/diag_log.h"
#include "records/status_store.h"
#include "tailoring/device_sheet.h"
#include "tailoring/json_config.h"
#include "tailoring/picture_size.h"
#include "tailoring/xml_config.h"
#include "text/text.h"
#include "workflow/antitheft.h"
#include "workflow/antitheft_templates.h"
#include "workflow/customization.h"
#include "workflow/delivery_watch.h"

namespace brevant::cli {

namespace {

using Clock = std::chrono::steady_clock;

// Notes become messages on standard error; confirmations are given by
// running the command, so they are answered OK.
class CliPort : public OperatorPort {
 public:
  explicit CliPort(std::ostream& err) : err_(err) {}
  bool Note(const std::string&, const std::string& text, bool withCancel) override {
    if (withCancel)
      return true;
    err_ << "brevant-cli: " << text << "\n";
    ++messages_;
    return true;
  }
  SheetEdit EditSheet(const std::filesystem::path& sheet) override {
    // Without a window there is no editor to wait for.
    err_ << "brevant-cli: correct the sheet and run again: " << sheet.string() << "\n";
    return SheetEdit::NotWaited;
  }
  int Messages() const { return messages_; }

 private:
  std::ostream& err_;
  int messages_ = 0;
};

// The file checks that keep a run from sending anything it cannot finish.
std::string CheckReadable(const std::filesystem::path& file, const char* what) {
  std::error_code error;
  const auto status = std::filesystem::status(file, error);
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

const char* StatusKey(int index) {
  static const char* keys[] = {"para", "logo", "antitheft"};
  return keys[index];
}

const char* VerdictText(DeviceResult verdict) {
  switch (verdict) {
    case RESULT_SUCCESS:
      return "success";
    case RESULT_FAILED:
      return "failed";
    case RESULT_BUSY:
      return "busy";
    default:
      return "idle";
  }
}

struct DeviceReport {
  std::string mac;
  std::int32_t codes[3] = {0, 0, 0};
  DeviceResult verdict = RESULT_IDLE;
};

class Run {
 public:
  Run(const CliOptions& options, std::ostream& out, std::ostream& err)
      : o_(options), out_(out), err_(err), port_(err) {}

  int Execute();

 private:
  int Fail(int status, const std::string& message) {
    err_ << "brevant-cli: " << message << "\n";
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
  // Watches, prints and ends the jobs; the exit status.
  int WatchAndReport(const std::vector<std::string>& targets);
  void PrintReports(const std::vector<DeviceReport>& reports);
  bool ReadTemplateFields(const std::filesystem::path& config, DeviceFieldRecord& fields);

  const CliOptions& o_;
  std::ostream& out_;
  std::ostream& err_;
  CliPort port_;
  std::optional<SingleInstanceGuard> folderLock_;
  CSqlManagement* store_ = nullptr;
  AcTransmitManage* link_ = nullptr;
};

int Run::Execute() {
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

int Run::Adapters() {
  SysfsAdapterSource source;
  const auto adapters = OfferedAdapters(source);
  if (o_.json) {
    Json::Value list(Json::arrayValue);
    for (const auto& a : adapters) {
      Json::Value item;
      item["text"] = AdapterListText(a);
      item["name"] = a.name;
      item["mac"] = DeviceMacText(a.mac);
      list.append(item);
    }
    out_ << list.toStyledString();
  } else {
    for (const auto& a : adapters)
      out_ << AdapterListText(a) << "\t" << a.name << "\n";
  }
  return kExitSuccess;
}

int Run::BringUpAndScan(bool delivering) {
  SysfsAdapterSource source;
  std::optional<AdapterRecord> chosen;
  for (const auto& a : OfferedAdapters(source)) {
    if (a.name == o_.adapter)
      chosen = a;
  }
  if (!chosen) {
    return Fail(kExitBadInput, "no Ethernet adapter named \"" + o_.adapter +
                                   "\" is up here (brevant-cli adapters lists them)");
  }
  if (delivering) {
    const auto mtu = source.Mtu(chosen->name);
    if (mtu && *mtu < kMinimumLinkMtu) {
      return Fail(kExitBadInput, "the MTU of " + chosen->name + " is " + std::to_string(*mtu) +
                                     "; the devices' 1286-byte frames need at least " +
                                     std::to_string(kMinimumLinkMtu));
    }
  }

  // data.db, the logs and the per-device files live beside the program: one
  // run at a time per folder.
  folderLock_ = SingleInstanceGuard::AcquireFile(ExecutableDirectoryText() + ".brevant.lock");
  if (!folderLock_ && ::access(ExecutableDirectoryText().c_str(), W_OK) == 0) {
    return Fail(kExitFailed, "another Brevant program is working in " + ExecutableDirectoryText() +
                                 "; wait for it to end");
  }
  store_ = &CSqlManagement::Instance();
  if (!store_->IsOpen()) {
    return Fail(kExitFailed, Translate("Failed to open database, unable to get data.") + " (" +
                                 store_->DatabaseFile().string() + ")");
  }
  link_ = &AcTransmitManage::Instance();
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
  if (o_.json) {
    Json::Value list(Json::arrayValue);
    for (const auto& r : rows) {
      Json::Value item;
      item["mac"] = r.mac;
      item["time"] = r.date;
      item["ssid2"] = r.ssid2;
      item["ssid5"] = r.ssid5;
      list.append(item);
    }
    Json::Value document;
    document["devices"] = list;
    out_ << document.toStyledString();
  } else {
    for (const auto& r : rows)
      out_ << r.mac << "\t" << r.date << "\t" << r.ssid2 << "\t" << r.ssid5 << "\n";
  }
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
      return Fail(kExitFailed, "no device answered on " + o_.adapter);
    return 0;
  }
  for (const std::string& mac : o_.devices) {
    const bool found =
        std::any_of(rows.begin(), rows.end(), [&](const ap_info_stu& r) { return r.mac == mac; });
    if (!found)
      return Fail(kExitBadInput, "device " + mac + " did not answer the scan; nothing was sent");
  }
  targets = o_.devices;
  return 0;
}

bool Run::ReadTemplateFields(const std::filesystem::path& config, DeviceFieldRecord& fields) {
  CustomizationState probe;
  probe.configLine = config.filename().string();
  const std::string kind = ConfigurationKind(probe);
  if (kind == ".xml") {
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

std::string KindCheck(const std::filesystem::path& config) {
  CustomizationState probe;
  probe.configLine = config.filename().string();
  if (ConfigurationKind(probe).empty()) {
    return "configuration file " + config.string() + " is neither .xml nor .json";
  }
  return {};
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
  services.executableDirectory = ExecutableDirectory();
  const ApplyOutcome outcome = ApplyCustomization(state, port_, services);
  if (!outcome.started)
    return kExitBadInput;
  Progress("delivering to " + std::to_string(targets.size()) + " devices (" +
           std::to_string(outcome.jobs) + " jobs)");
  return WatchAndReport(targets);
}

int Run::Sheet() {
  if (const auto why = CheckConfigFile(*o_.config); !why.empty())
    return Fail(kExitBadInput, why);
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
  state.sheetPath = DeviceSheetPath(ExecutableDirectory() / "ModifyExcel");
  std::string note;
  if (!CreateDeviceSheet(state.sheetPath, state.targetList, state.templateFields, lookup, &note)) {
    Fail(kExitFailed, note);
    return Fail(kExitFailed, Translate("Create excel fields Info error!"));
  }
  std::filesystem::path sheet = state.sheetPath;
  if (o_.out) {
    std::error_code error;
    const std::filesystem::path target = std::filesystem::absolute(*o_.out);
    std::filesystem::copy_file(sheet, target, std::filesystem::copy_options::overwrite_existing,
                               error);
    if (error)
      return Fail(kExitFailed, "cannot write " + target.string() + ": " + error.message());
    std::filesystem::remove(sheet, error);
    sheet = target;
  }
  if (o_.json) {
    Json::Value document;
    document["sheet"] = sheet.string();
    out_ << document.toStyledString();
  } else {
    out_ << sheet.string() << "\n";
  }
  return kExitSuccess;
}

int Run::AntiTheft() {
  AntiTheftFields fields;
  if (o_.loadTemplate) {
    TemplateList list(TemplateFilePath(ExecutableDirectory()), port_);
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
  if (o_.off)
    fields.switchOn = false;
  if (o_.acName)
    fields.acName = *o_.acName;
  if (o_.dns1)
    fields.primaryDns = *o_.dns1;
  if (o_.dns2)
    fields.secondaryDns = *o_.dns2;
  const AntiTheftCheck check = ValidateAntiTheft(fields);
  if (!check.ok)
    return Fail(kExitBadInput, Translate(check.message));
  const AntiTheftDecision decision = DecideAntiTheft(fields, port_);
  if (!decision.proceed)
    return kExitBadInput;

  if (const int status = BringUpAndScan(true))
    return status;
  std::vector<std::string> targets;
  if (const int status = ChooseTargets(targets))
    return status;
  const int jobs = StartAntiTheftJobs(decision.command, targets, *store_,
                                      DeliveryContext{link_, store_, {}, {}});
  Progress("sending the lock command to " + std::to_string(targets.size()) + " devices (" +
           std::to_string(jobs) + " jobs)");
  return WatchAndReport(targets);
}

int Run::WatchAndReport(const std::vector<std::string>& targets) {
  DeliveryWatch watch(*store_, targets, o_.watchSeconds);
  std::map<std::string, DeviceReport> last;
  auto next = Clock::now();
  while (true) {
    watch.UpdateTargets();
    watch.UpdateCounters();
    for (const std::string& mac : targets) {
      ap_info_stu row;
      std::vector<ap_info_stu> rows;
      int count = 0, ok = 0, failed = 0;
      store_->QueryDevices(true, SORT_BY_MAC, mac, rows, count, ok, failed);
      if (rows.empty())
        continue;
      row = rows[0];
      DeviceReport now{
          mac,
          {row.paraStatus, row.logoStatus, row.antiTheftStatus},
          CSqlManagement::EvaluateCodes(row.paraStatus, row.logoStatus, row.antiTheftStatus)};
      DeviceReport& before = last[mac];
      for (int k = 0; k < 3; ++k) {
        if (before.mac.empty() || before.codes[k] != now.codes[k]) {
          if (now.codes[k] != 0 || !before.mac.empty()) {
            Progress(mac + " " + StatusKey(k) + ": " + CSqlManagement::StatusText(now.codes[k]));
          }
        }
      }
      before = now;
    }
    if (watch.Advance(1))
      break;
    next += std::chrono::seconds(1);
    std::this_thread::sleep_until(next);
  }

  // Jobs still sending (a device that stopped answering) end now, so none
  // outlives the link.
  if (!WaitForDeliveryJobs(Clock::now() + std::chrono::seconds(1))) {
    StopDeliveryJobs();
    WaitForDeliveryJobs(Clock::now() + std::chrono::seconds(5));
  }

  std::vector<DeviceReport> reports;
  bool allSucceeded = true;
  for (const std::string& mac : targets) {
    DeviceReport report = last[mac];
    report.mac = mac;
    report.verdict = store_->EvaluateDevice(mac);
    allSucceeded = allSucceeded && report.verdict == RESULT_SUCCESS;
    reports.push_back(report);
  }
  PrintReports(reports);
  return allSucceeded ? kExitSuccess : kExitFailed;
}

void Run::PrintReports(const std::vector<DeviceReport>& reports) {
  int successes = 0;
  int failures = 0;
  for (const auto& r : reports) {
    successes += r.verdict == RESULT_SUCCESS;
    failures += r.verdict == RESULT_FAILED;
  }
  if (o_.json) {
    Json::Value devices(Json::arrayValue);
    for (const auto& r : reports) {
      Json::Value item;
      item["mac"] = r.mac;
      for (int k = 0; k < 3; ++k) {
        item[StatusKey(k)]["code"] = r.codes[k];
        item[StatusKey(k)]["text"] = CSqlManagement::StatusText(r.codes[k]);
      }
      item["verdict"] = VerdictText(r.verdict);
      devices.append(item);
    }
    Json::Value document;
    document["command"] = o_.command;
    document["devices"] = devices;
    document["successes"] = successes;
    document["failures"] = failures;
    out_ << document.toStyledString();
    return;
  }
  out_ << "MAC\t\t\tconfiguration\tlogo\tanti-theft\tverdict\n";
  for (const auto& r : reports) {
    out_ << r.mac;
    for (const std::int32_t code : r.codes) {
      const std::string text = CSqlManagement::StatusText(code);
      out_ << "\t" << (text.empty() ? "-" : text);
    }
    out_ << "\t" << VerdictText(r.verdict) << "\n";
  }
  out_ << successes << " succeeded, " << failures << " failed, "
       << reports.size() - static_cast<std::size_t>(successes + failures) << " not decided\n";
}

int Run::Template() {
  const std::filesystem::path file = TemplateFilePath(ExecutableDirectory());
  if (o_.subcommand == "list") {
    TemplateList list(file, port_);
    if (port_.Messages() != 0)
      return kExitFailed;
    if (o_.json) {
      Json::Value document(Json::arrayValue);
      for (const auto& name : list.Names()) {
        const TemplateValues v = list.Load(name);
        Json::Value item;
        item["name"] = name;
        item["switchOn"] = v.switchOn;
        item["acName"] = v.acName;
        item["primaryDns"] = v.primaryDns;
        item["secondaryDns"] = v.secondaryDns;
        document.append(item);
      }
      out_ << document.toStyledString();
    } else {
      for (const auto& name : list.Names())
        out_ << name << "\n";
    }
    return kExitSuccess;
  }
  if (o_.subcommand == "save") {
    TemplateValues values;
    values.switchOn = !o_.off;
    values.acName = o_.acName.value_or("");
    values.primaryDns = o_.dns1.value_or(std::string(kDnsPlaceholder));
    values.secondaryDns = o_.dns2.value_or(std::string(kDnsPlaceholder));
    return SaveTemplate(file, o_.templateName, values, port_) ? kExitSuccess : kExitBadInput;
  }
  TemplateList list(file, port_);
  if (port_.Messages() != 0)
    return kExitFailed;
  const std::string name = TrimWhite(o_.templateName);
  const auto& names = list.Names();
  if (std::find(names.begin(), names.end(), name) == names.end()) {
    return Fail(kExitBadInput, "no anti-theft template named \"" + name + "\"");
  }
  return list.Delete(name) ? kExitSuccess : kExitFailed;
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

int RunCli(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err) {
  const ParseResult parsed = ParseCliArguments(arguments);
  if (!parsed.ok) {
    err << "brevant-cli: " << parsed.error << "\n";
    return kExitBadInput;
  }
  if (parsed.options.help) {
    out << UsageText(parsed.options.command);
    return kExitSuccess;
  }
  // Side by side with the window or other runs: no one-copy guard here.
  const auto core = StartAppCore(ExecutableDirectory(), false);
  Run run(parsed.options, out, err);
  return run.Execute();
}

}  // namespace brevant::cli
