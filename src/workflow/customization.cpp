#include "workflow/customization.h"

#include <cstdio>

#include "i18n/language.h"
#include "records/diag_log.h"
#include "records/status_store.h"
#include "tailoring/device_sheet.h"
#include "tailoring/field_rules.h"
#include "tailoring/json_config.h"
#include "tailoring/xml_config.h"
#include "text/text.h"

namespace brevant {

namespace {

constexpr const char* kLinePrefix = "      ";

void Tell(OperatorPort& port, const std::string& text) {
  port.Note(Translate("Note"), Translate(text), false);
}

bool Ask(OperatorPort& port, const std::string& text) {
  return port.Note(Translate("Note"), Translate(text), true);
}

std::string LineFor(const std::filesystem::path& file) {
  return kLinePrefix + file.filename().string();
}

// The device's configuration file, rewritten from its row while a sheet is in
// use; its path becomes state.perDeviceConfigPath.
bool WriteDeviceConfiguration(CustomizationState& state, const std::string& kind,
                              const DeviceFieldRecord& row, const std::string& mac,
                              OperatorPort& port,
                              const std::filesystem::path& executableDirectory) {
  const DeviceFileSource source{state.chosenConfigPath, !state.sheetPath.empty(),
                                state.templateFields.dualBand};
  std::string note;
  const bool written = kind == ".json"
                           ? WriteDeviceJson(source, row, mac, executableDirectory / "ModifyJson",
                                             &state.perDeviceConfigPath, &note)
                           : WriteDeviceXml(source, row, mac, executableDirectory / "ModifyXml",
                                            &state.perDeviceConfigPath, &note);
  if (!written)
    port.Note(Translate("Note"), note, false);
  return written;
}

}  // namespace

bool LogoNeedsCropping(int width, int height) {
  return width > kLogoWidth || height > kLogoHeight;
}

std::string CroppedLogoName(const std::string& sourceFileName, const std::tm& localTime) {
  const auto dot = sourceFileName.find('.');
  const std::string base = dot == std::string::npos ? std::string() : sourceFileName.substr(0, dot);
  const std::string rest = dot == std::string::npos ? sourceFileName : sourceFileName.substr(dot);
  char time[16];
  std::snprintf(time, sizeof time, "-%02d-%02d-%02d", localTime.tm_hour, localTime.tm_min,
                localTime.tm_sec);
  std::string name = "ModifyPicture/" + base + time + rest;
  if (Utf8ToUtf16(name).size() > kCroppedLogoNameMax)
    return {};
  return name;
}

void SetTargetList(CustomizationState& state, const std::vector<std::string>& targets) {
  state.targetList = targets;
}

void SetLogo(CustomizationState& state, const std::filesystem::path& logo) {
  state.chosenLogoPath = logo;
  state.logoLine = LineFor(logo);
}

void DeleteLogo(CustomizationState& state) {
  state.logoLine.clear();
}

void SetConfiguration(CustomizationState& state, const std::filesystem::path& configuration) {
  state.chosenConfigPath = configuration;
  state.configLine = LineFor(configuration);
}

void DeleteConfiguration(CustomizationState& state) {
  state.configLine.clear();
  state.sheetPath.clear();
}

std::string ConfigurationKind(const CustomizationState& state) {
  const auto dot = state.configLine.rfind('.');
  if (dot == std::string::npos)
    return {};
  const std::string extension = AsciiLower(state.configLine.substr(dot));
  return extension == ".xml" || extension == ".json" ? extension : std::string();
}

bool EditConfiguration(CustomizationState& state, OperatorPort& port,
                       const CustomizationServices& services) {
  if (state.configLine.empty()) {
    Tell(port, "Please select the xml or json file");
    return false;
  }
  const std::string kind = ConfigurationKind(state);
  if (kind.empty()) {
    Tell(port, "Modify file is not .xml or .json file!");
    return false;
  }
  if (!Ask(port, "Are you sure you want to modify configration?"))
    return false;

  state.templateFields = DeviceFieldRecord{};
  if (kind == ".xml") {
    if (!ReadXmlTemplate(state.chosenConfigPath, state.templateFields)) {
      Tell(port, "Failed to read the XML file.");
      return false;
    }
  } else {
    std::string error;
    if (!ReadJsonTemplate(state.chosenConfigPath, state.templateFields, error)) {
      Tell(port, error);
      return false;
    }
  }

  const DeviceLookup lookup = [&](const std::string& mac, ap_info_stu& row) {
    return services.store != nullptr && services.store->GetDevice(mac, row);
  };
  // The page names the new sheet before anything can fail.
  state.sheetPath = DeviceSheetPath(services.executableDirectory / "ModifyExcel");
  std::string note;
  if (!CreateDeviceSheet(state.sheetPath, state.targetList, state.templateFields, lookup, &note)) {
    port.Note(Translate("Note"), note, false);
    Tell(port, "Create excel fields Info error!");
    return false;
  }
  if (!OpenDeviceSheet(state, port)) {
    Tell(port, "Unable to open excel file!");
    return false;
  }
  return true;
}

bool OpenDeviceSheet(const CustomizationState& state, OperatorPort& port) {
  switch (port.EditSheet(state.sheetPath)) {
    case OperatorPort::SheetEdit::Edited:
    case OperatorPort::SheetEdit::NoEditor:
      return true;
    case OperatorPort::SheetEdit::StartFailed:
      Tell(port, "Open excel fail!");
      return false;
    case OperatorPort::SheetEdit::NotWaited:
      break;
  }
  return false;
}

bool ValidateSheetRows(const std::vector<DeviceFieldRecord>& rows, OperatorPort& port) {
  for (const DeviceFieldRecord& row : rows) {
    if (auto message = FirstRuleFailure(row)) {
      port.Note(Translate("Note"), *message, false);
      return false;
    }
  }
  return true;
}

bool OrderSheetRowsByTarget(CustomizationState& state, OperatorPort& port) {
  SheetRowMatch match = MatchSheetRows(state.targetList, state.sheetRows);
  if (match.outcome != SheetRowMatch::Matched) {
    port.Note(Translate("Note"), SheetRowMatchNote(match), false);
    return false;
  }
  state.sheetRows = std::move(match.rows);
  return true;
}

ApplyOutcome ApplyCustomization(CustomizationState& state, OperatorPort& port,
                                const CustomizationServices& services) {
  ApplyOutcome outcome;
  const bool logo = !state.logoLine.empty();
  const bool config = !state.configLine.empty();
  if (!logo && !config) {
    Tell(port, "Please select a logo image or a configuration file!");
    return outcome;
  }
  state.deliveryMode = logo && config ? KIND_LOGO_AND_CONFIG : config ? KIND_CONFIG : KIND_LOGO;
  // Any other file would go out as whatever a previous apply left behind.
  const std::string kind = config ? ConfigurationKind(state) : std::string();
  if (config && kind.empty()) {
    Tell(port, "Modify file is not .xml or .json file!");
    return outcome;
  }
  // Without the store (it could not be opened) or the link nothing can be
  // marked or sent: said before the operator is asked anything.
  if (services.store == nullptr || !services.store->IsOpen() ||
      services.delivery.store == nullptr) {
    Tell(port, "Failed to open database, unable to get data.");
    return outcome;
  }
  if (services.delivery.link == nullptr) {
    Tell(port, "The device link is not ready: choose an adapter and scan first.");
    return outcome;
  }
  const char* question = state.deliveryMode == KIND_LOGO_AND_CONFIG
                             ? "Are you sure you want to submit logo and configration?"
                         : state.deliveryMode == KIND_CONFIG
                             ? "Are you sure you want to submit configration?"
                             : "Are you sure you want to submit logo?";
  if (!Ask(port, question))
    return outcome;

  const bool tailored = state.deliveryMode != KIND_LOGO && !state.sheetPath.empty();
  if (tailored) {
    if (!ReadDeviceSheet(state.sheetPath, state.templateFields, state.sheetRows)) {
      Tell(port, "Obtaining excel format information is incorrect!");
      return outcome;
    }
    // Rows go to devices by their MAC cell, never by position: a sorted sheet
    // must not give one device another's account.
    if (!OrderSheetRowsByTarget(state, port))
      return outcome;
    if (!ValidateSheetRows(state.sheetRows, port)) {
      if (!OpenDeviceSheet(state, port))
        Tell(port, "Unable to open excel file!");
      return outcome;
    }
  }

  if (services.deliveryStarting)
    services.deliveryStarting();
  outcome.started = true;

  // The kind follows the file's extension for editing and applying alike.
  CSqlManagement& store = *services.store;
  store.ResetStatuses();
  const MacAddress adapter =
      services.delivery.link != nullptr ? services.delivery.link->AdapterMac() : MacAddress{};
  for (std::size_t i = 0; i < state.targetList.size(); ++i) {
    const std::string& mac = state.targetList[i];
    const DeviceFieldRecord row =
        tailored && i < state.sheetRows.size() ? state.sheetRows[i] : DeviceFieldRecord{};
    // This device and the later ones get no job; the jobs started go on.
    if (state.deliveryMode != KIND_LOGO &&
        !WriteDeviceConfiguration(state, kind, row, mac, port, services.executableDirectory))
      break;
    const auto device = ParseMacText(mac);
    if (!device) {
      WriteLog("ApplyCustomization", 1, __LINE__, "target %s is no MAC address; skipped",
               mac.c_str());
      continue;
    }
    if (state.deliveryMode != KIND_CONFIG)
      store.SetLogoStatus(mac, OPERATING);
    if (state.deliveryMode != KIND_LOGO)
      store.SetParaStatus(mac, OPERATING);

    DeliveryJob job;
    job.destination = *device;
    job.source = adapter;
    job.kind = state.deliveryMode;
    // Results of an earlier delivery to the device then cannot count for this one.
    job.delivery = store.DeliveryGeneration(mac);
    if (state.deliveryMode != KIND_LOGO)
      job.configPath = state.perDeviceConfigPath.string();
    if (state.deliveryMode != KIND_CONFIG)
      job.logoPath = state.chosenLogoPath.string();
    if (const std::string why = job.CheckFields(); !why.empty()) {
      // A path too long for the job record: the list shows it as failed
      // instead of busy for ever.
      WriteLog("ApplyCustomization", 1, __LINE__, "no delivery job for %s: %s", mac.c_str(),
               why.c_str());
      if (state.deliveryMode != KIND_CONFIG)
        store.SetLogoStatus(mac, TRANSMIT_FAIL);
      if (state.deliveryMode != KIND_LOGO)
        store.SetParaStatus(mac, TRANSMIT_FAIL);
      continue;
    }
    // A thread that cannot be started leaves the device busy, as the page set it.
    if (StartDeliveryJob(std::move(job), services.delivery))
      ++outcome.jobs;
  }
  return outcome;
}

}  // namespace brevant
