// The anti-theft page's rules and command text, and the sheet's field rules.
// Input: up to six lines (escapes allowed): the switch ("0" is off), the lock
// code, its confirmation (missing: the lock code), the AC name and the two DNS
// entries (missing: the placeholder); then kPartSeparator and a sheet row (see
// ParseRowText).

#include <json/reader.h>
#include <json/value.h>

#include <cstddef>
#include <cstdint>
#include <memory>

#include "fuzz_support.h"
#include "tailoring/field_rules.h"
#include "workflow/antitheft.h"

using namespace brevant;

namespace {

AntiTheftFields FieldsFrom(std::string_view text) {
  const auto lines = fuzz::SplitParts(text, "\n", 7);
  auto line = [&](std::size_t i) -> std::optional<std::string> {
    if (i >= lines.size())
      return std::nullopt;
    return fuzz::Unescape(lines[i]);
  };
  AntiTheftFields fields;
  fields.switchOn = line(0).value_or("1") != "0";
  fields.lockCode = line(1).value_or("");
  fields.confirmLockCode = line(2).value_or(fields.lockCode);
  fields.acName = line(3).value_or("");
  fields.primaryDns = line(4).value_or(std::string(kDnsPlaceholder));
  fields.secondaryDns = line(5).value_or(std::string(kDnsPlaceholder));
  return fields;
}

// A passed check gives a JSON object of the five texts, the lock code as typed.
void CheckCommand(const AntiTheftFields& fields) {
  const std::string command = AntiTheftCommandText(fields);
  BREVANT_FUZZ_CHECK(command.find('\0') == std::string::npos,
                     "the command holds a NUL: the device would read it cut short");
  Json::CharReaderBuilder builder;
  Json::CharReaderBuilder::strictMode(&builder.settings_);
  const std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
  Json::Value root;
  std::string errors;
  BREVANT_FUZZ_CHECK(reader->parse(command.data(), command.data() + command.size(), &root, &errors),
                     "the command is no JSON: %s", errors.c_str());
  BREVANT_FUZZ_CHECK(root.isObject() && root.size() == 5, "the command is not five members");
  const std::vector<std::string> names = {"ACName", "DNS1", "DNS2", "Enable", "Lockcode"};
  BREVANT_FUZZ_CHECK(root.getMemberNames() == names, "the command's members are others");
  for (const std::string& name : names)
    BREVANT_FUZZ_CHECK(root[name].isString(), "%s is not a text", name.c_str());
  BREVANT_FUZZ_CHECK(root["Lockcode"].asString() == fields.lockCode,
                     "the command carries another lock code");
  BREVANT_FUZZ_CHECK(root["Enable"].asString() == (fields.switchOn ? "1" : "0"),
                     "the command's switch is wrong");
  BREVANT_FUZZ_CHECK(root["ACName"].asString() == (fields.switchOn ? fields.acName : ""),
                     "the command carries another AC name");
  for (const auto& [name, entry] :
       {std::pair{"DNS1", &fields.primaryDns}, std::pair{"DNS2", &fields.secondaryDns}}) {
    const std::string dns = root[name].asString();
    if (!fields.switchOn || *entry == kDnsPlaceholder)
      BREVANT_FUZZ_CHECK(dns == "0.0.0.0", "%s is not 0.0.0.0", name);
    else
      BREVANT_FUZZ_CHECK(dns == *entry && IsValidAddress(dns), "%s is not the address", name);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const auto parts = fuzz::SplitParts(fuzz::AsText(data, size), fuzz::kPartSeparator, 2);
  const AntiTheftFields fields = FieldsFrom(parts[0]);
  const AntiTheftCheck check = ValidateAntiTheft(fields);
  if (check.ok) {
    BREVANT_FUZZ_CHECK(check.message.empty(), "a passed check has a message");
    CheckCommand(fields);
  } else {
    BREVANT_FUZZ_CHECK(!check.message.empty(), "a failed check has no message");
  }
  (void)IsValidAddress(parts[0]);

  if (parts.size() > 1) {
    const DeviceFieldRecord row = fuzz::ParseRowText(parts[1]);
    if (const auto failure = FirstRuleFailure(row))
      BREVANT_FUZZ_CHECK(!failure->empty(), "a broken rule gives no message");
  }
  return 0;
}
