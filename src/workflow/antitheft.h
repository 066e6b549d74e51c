#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "link/delivery.h"
#include "workflow/operator_port.h"

namespace brevant {

class CSqlManagement;

// The DNS fields' placeholder: it is the field's text while shown, and counts
// as no address.
inline constexpr std::string_view kDnsPlaceholder = "e.g. 8.8.8.8";

// The anti-theft page's entries as displayed.
struct AntiTheftFields {
  std::string lockCode;
  std::string confirmLockCode;
  std::string acName;
  std::string primaryDns{kDnsPlaceholder};
  std::string secondaryDns{kDnsPlaceholder};
  bool switchOn = true;
};

enum class AntiTheftField { LockCode, ConfirmLockCode, ACName, PrimaryDns, SecondaryDns };

struct AntiTheftCheck {
  bool ok = true;
  std::string message;  // untranslated; empty when ok
  AntiTheftField field = AntiTheftField::LockCode;
};

// The page's rules in their order; the first that fails decides.
AntiTheftCheck ValidateAntiTheft(const AntiTheftFields& fields);

// Trimmed, then an IPv4 or else an IPv6 address; never with a control character.
bool IsValidAddress(std::string_view text);

// {"Lockcode":...,"Enable":...,"ACName":...,"DNS1":...,"DNS2":...}, no white space.
std::string AntiTheftCommandText(const AntiTheftFields& fields);

// What Apply decided before anything is changed.
struct AntiTheftDecision {
  bool proceed = false;
  std::optional<AntiTheftField> focus;  // the field to put the focus in after a failed rule
  std::string command;                  // the text every target receives
};

// Validation (a note for the first failing rule), the command's size, and the
// operator's confirmation.
AntiTheftDecision DecideAntiTheft(const AntiTheftFields& fields, OperatorPort& port);

// Clears every status, marks each target busy and starts its job (carrying
// the device's delivery generation), in target order. Returns how many jobs
// were started.
int StartAntiTheftJobs(const std::string& command, const std::vector<std::string>& targets,
                       CSqlManagement& store, const DeliveryContext& context);

}  // namespace brevant
