#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

namespace brevant {

// Locale identifiers as the language map keys them (1033 English, 2052
// Simplified Chinese, ...). 0 for a locale the table does not know.
std::uint16_t LcidFromLocaleName(std::string_view posixLocale);

// The identifier of the process's message locale: the first set of LC_ALL,
// LC_MESSAGES and LANG; "C", "POSIX" and an unset locale count as 1033.
std::uint16_t SystemLcid();

// The language named for the locale in Languages/Language.ini of the folder;
// "English" (and 1033) when there is no entry.
std::string DetectLanguage(const std::filesystem::path& executableDirectory, std::uint16_t lcid,
                           std::uint16_t* detectedLcid = nullptr);
// The same for the folder given to InitLanguage and the system locale.
std::string DetectLanguage();

// Selects the pack once at start-up. A missing or empty pack leaves every text
// in English.
void InitLanguage(const std::filesystem::path& executableDirectory);
void InitLanguage(const std::filesystem::path& executableDirectory, std::uint16_t lcid);

// The translation of an English text, with the pack's line-break and empty-text
// markers replaced; the text itself when the pack has none. Blanks, tabs and
// CRs at either end are not part of the lookup (the pack's keys are read
// trimmed): the translation gets the text's own outer blanks back. Safe from
// any thread.
std::string Translate(std::string_view text);
std::string Translate(const char* text);  // null gives the empty text

// Tests only: called with every text Translate looks up, as the pack's key
// (without its outer blanks), whether or not the pack has it; from whichever
// thread looks it up. Null stops it.
using LookupRecorder = void (*)(std::string_view key);
void SetLookupRecorder(LookupRecorder recorder);

// What InitLanguage chose, for diagnostics.
std::string CurrentLanguageName();
std::filesystem::path CurrentPackPath();
bool CurrentPackUsable();

// The marker replacements, in their order.
std::string ExpandPackMarkers(std::string value);

}  // namespace brevant
