#include "workflow/antitheft.h"

#include <arpa/inet.h>

#include "i18n/language.h"
#include "records/diag_log.h"
#include "records/status_store.h"
#include "text/text.h"

namespace brevant {

namespace {

// Control characters count with the refused characters: the device reads the
// command up to its first NUL, and a tab or line break inside a JSON string
// makes the whole command invalid.
bool HasQuoteBackslashOrSpace(std::string_view text) {
  return text.find_first_of("\"\\ ") != std::string_view::npos || HasControlCharacter(text);
}

bool HasQuoteOrBackslash(std::string_view text) {
  return text.find_first_of("\"\\") != std::string_view::npos || HasControlCharacter(text);
}

bool IsPlaceholder(std::string_view text) {
  return text == kDnsPlaceholder;
}

AntiTheftCheck Fail(const char* message, AntiTheftField field) {
  return AntiTheftCheck{false, message, field};
}

}  // namespace

bool IsValidAddress(std::string_view text) {
  // The text goes into the command as it stands, so the white space the test
  // trims must not be a tab or line break either; and the address parser reads
  // up to a NUL, so whatever followed one would go in unchecked.
  if (HasControlCharacter(text))
    return false;
  const std::string trimmed = TrimWhite(text);
  if (trimmed.empty())
    return false;
  unsigned char address[16];
  return ::inet_pton(AF_INET, trimmed.c_str(), address) == 1 ||
         ::inet_pton(AF_INET6, trimmed.c_str(), address) == 1;
}

AntiTheftCheck ValidateAntiTheft(const AntiTheftFields& f) {
  using F = AntiTheftField;
  if (f.lockCode.empty())
    return Fail("Please input the Lock Code information!", F::LockCode);
  if (HasQuoteBackslashOrSpace(f.lockCode)) {
    return Fail(
        "The input Lock Code cannot contain space characters and special characters \" or \\ ",
        F::LockCode);
  }
  if (!f.switchOn)
    return {};
  if (f.confirmLockCode.empty()) {
    return Fail("Please input the Confirm Lock Code information!", F::ConfirmLockCode);
  }
  if (HasQuoteBackslashOrSpace(f.confirmLockCode)) {
    return Fail(
        "The input Confirm Lock Code cannot contain space characters and special characters \" "
        "or \\ ",
        F::ConfirmLockCode);
  }
  if (f.lockCode != f.confirmLockCode) {
    return Fail("The input information of the two is inconsistent!", F::ConfirmLockCode);
  }
  if (f.acName.empty())
    return Fail("Please input the AC Name information!", F::ACName);
  if (HasQuoteOrBackslash(f.acName)) {
    return Fail("The input AC Name cannot contain special characters \" or \\ ", F::ACName);
  }
  if (!IsPlaceholder(f.primaryDns) && !IsValidAddress(f.primaryDns)) {
    return Fail("The Primary DNS is invalid!", F::PrimaryDns);
  }
  if (!IsPlaceholder(f.secondaryDns) && !IsValidAddress(f.secondaryDns)) {
    return Fail("The Secondary DNS is invalid!", F::SecondaryDns);
  }
  return {};
}

std::string AntiTheftCommandText(const AntiTheftFields& f) {
  auto dns = [&](const std::string& text) {
    return f.switchOn && !IsPlaceholder(text) ? text : std::string("0.0.0.0");
  };
  return "{\"Lockcode\":\"" + f.lockCode + "\",\"Enable\":\"" + (f.switchOn ? "1" : "0") +
         "\",\"ACName\":\"" + (f.switchOn ? f.acName : std::string()) + "\",\"DNS1\":\"" +
         dns(f.primaryDns) + "\",\"DNS2\":\"" + dns(f.secondaryDns) + "\"}";
}

AntiTheftDecision DecideAntiTheft(const AntiTheftFields& fields, OperatorPort& port) {
  AntiTheftDecision decision;
  const AntiTheftCheck check = ValidateAntiTheft(fields);
  if (!check.ok) {
    port.Note(Translate("Note"), Translate(check.message), false);
    decision.focus = check.field;
    return decision;
  }
  decision.command = AntiTheftCommandText(fields);
  if (decision.command.size() > kJobCommandMax) {
    // Only texts loaded from a hand-edited template get here; a device must
    // never receive a cut command.
    port.Note(Translate("Note"),
              Translate("The anti-theft command is longer than a device accepts (511 characters). "
                        "Please shorten the AC Name or the DNS entries."),
              false);
    decision.focus = fields.switchOn ? AntiTheftField::ACName : AntiTheftField::LockCode;
    decision.command.clear();
    return decision;
  }
  decision.proceed = port.Note(Translate("Note"),
                               Translate("Are you sure you want to apply configuration?"), true);
  if (!decision.proceed)
    decision.command.clear();
  return decision;
}

int StartAntiTheftJobs(const std::string& command, const std::vector<std::string>& targets,
                       CSqlManagement& store, const DeliveryContext& context) {
  store.ResetStatuses();
  const MacAddress adapter = context.link != nullptr ? context.link->AdapterMac() : MacAddress{};
  int started = 0;
  for (const std::string& mac : targets) {
    const auto device = ParseMacText(mac);
    if (!device) {
      WriteLog("StartAntiTheftJobs", 1, __LINE__, "target %s is no MAC address; skipped",
               mac.c_str());
      continue;
    }
    store.SetAntiTheftStatus(mac, OPERATING);
    DeliveryJob job;
    job.destination = *device;
    job.source = adapter;
    job.kind = KIND_COMMAND;
    job.commandText = command;
    job.delivery = store.DeliveryGeneration(mac);
    if (StartDeliveryJob(std::move(job), context))
      ++started;
  }
  return started;
}

}  // namespace brevant
