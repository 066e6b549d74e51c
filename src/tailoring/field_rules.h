#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tailoring/device_fields.h"

namespace brevant {

// UTF-8 bytes counted per UTF-16 code unit: each half of a surrogate pair
// counts three, as the devices count.
std::size_t Utf8Length(std::u16string_view text);
bool IsChineseCharacter(char16_t unit);

// The rules the devices hold their fields to, on the whole text.
bool IsValidVlanId(std::string_view text);  // atoi-style value 1 … 4094
bool IsValidPppUser(std::u16string_view text);
bool IsValidPppPassword(std::u16string_view text);
bool IsValidSsid(std::u16string_view text);
bool IsValidWpaKey(std::u16string_view text);
bool IsValidLoid(std::u16string_view text);
bool IsValidLoidPassword(std::u16string_view text);
bool IsValidPloamPassword(std::u16string_view text);
bool IsValidLoginPassword(std::u16string_view text);

// The message for the first field of the row that breaks its rule, in the
// fixed test order; nothing when the row passes. A field is tested when it
// came from a column of the sheet (the account fields always).
std::optional<std::string> FirstRuleFailure(const DeviceFieldRecord& row);

}  // namespace brevant
