#include "i18n/language.h"

#include <atomic>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <system_error>
#include <unordered_map>

#include "ini/profile.h"
#include "text/text.h"

namespace brevant {

namespace {

constexpr std::size_t kPackValueChars = 1023;

struct LanguageState {
  std::filesystem::path folder;
  std::uint16_t lcid = 1033;
  std::string name = "English";
  std::filesystem::path packPath;
  bool usable = false;
  ProfileFile pack;
};

std::atomic<LookupRecorder> gRecorder{nullptr};

std::mutex gStateMutex;
std::shared_ptr<const LanguageState> gState = std::make_shared<LanguageState>();

std::shared_ptr<const LanguageState> State() {
  std::lock_guard lock(gStateMutex);
  return gState;
}

struct LocaleEntry {
  std::string_view name;
  std::uint16_t lcid;
};

// Language and territory first, then the language alone.
constexpr LocaleEntry kLocales[] = {
    {"en_us", 1033}, {"en_gb", 2057}, {"en_au", 3081},  {"en_ca", 4105},  {"en_nz", 5129},
    {"en_ie", 6153}, {"en_za", 7177}, {"en_in", 16393}, {"en_sg", 18441}, {"zh_cn", 2052},
    {"zh_tw", 1028}, {"zh_hk", 3076}, {"zh_sg", 4100},  {"zh_mo", 5124},  {"de_de", 1031},
    {"de_ch", 2055}, {"de_at", 3079}, {"fr_fr", 1036},  {"fr_be", 2060},  {"fr_ca", 3084},
    {"fr_ch", 4108}, {"es_es", 3082}, {"es_mx", 2058},  {"it_it", 1040},  {"ja_jp", 1041},
    {"ko_kr", 1042}, {"nl_nl", 1043}, {"nl_be", 2067},  {"pt_br", 1046},  {"pt_pt", 2070},
    {"ru_ru", 1049}, {"pl_pl", 1045}, {"tr_tr", 1055},  {"ar_sa", 1025},  {"he_il", 1037},
    {"th_th", 1054}, {"vi_vn", 1066}, {"id_id", 1057},  {"ms_my", 1086},  {"cs_cz", 1029},
    {"sv_se", 1053}, {"da_dk", 1030}, {"fi_fi", 1035},  {"nb_no", 1044},  {"el_gr", 1032},
    {"hu_hu", 1038}, {"uk_ua", 1058}, {"ro_ro", 1048},  {"en", 1033},     {"zh", 2052},
    {"de", 1031},    {"fr", 1036},    {"es", 3082},     {"it", 1040},     {"ja", 1041},
    {"ko", 1042},    {"nl", 1043},    {"pt", 1046},     {"ru", 1049},     {"pl", 1045},
    {"tr", 1055},    {"ar", 1025},    {"he", 1037},     {"th", 1054},     {"vi", 1066},
    {"id", 1057},    {"ms", 1086},    {"cs", 1029},     {"sv", 1053},     {"da", 1030},
    {"fi", 1035},    {"nb", 1044},    {"no", 1044},     {"el", 1032},     {"hu", 1038},
    {"uk", 1058},    {"ro", 1048},
};

std::uint16_t Lookup(std::string_view key) {
  for (const auto& entry : kLocales) {
    if (entry.name == key)
      return entry.lcid;
  }
  return 0;
}

void ReplaceAll(std::string& text, std::string_view from, std::string_view to) {
  std::size_t at = 0;
  while ((at = text.find(from, at)) != std::string::npos) {
    text.replace(at, from.size(), to);
    at += to.size();
  }
}

}  // namespace

std::uint16_t LcidFromLocaleName(std::string_view posixLocale) {
  std::string name = AsciiLower(posixLocale);
  name = name.substr(0, name.find_first_of(".@"));
  for (char& c : name) {
    if (c == '-')
      c = '_';
  }
  if (name.empty() || name == "c" || name == "posix")
    return 1033;
  if (const auto lcid = Lookup(name))
    return lcid;
  return Lookup(name.substr(0, name.find('_')));
}

std::uint16_t SystemLcid() {
  for (const char* variable : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    const char* value = std::getenv(variable);
    if (value != nullptr && value[0] != '\0')
      return LcidFromLocaleName(value);
  }
  return 1033;
}

std::string DetectLanguage(const std::filesystem::path& executableDirectory, std::uint16_t lcid,
                           std::uint16_t* detectedLcid) {
  const ProfileFile map = ProfileFile::Load(executableDirectory / "Languages" / "Language.ini");
  std::string name = map.GetString("LCID", std::to_string(lcid), "", kPackValueChars);
  if (name.empty()) {
    name = "English";
    lcid = 1033;
  }
  if (detectedLcid != nullptr)
    *detectedLcid = lcid;
  return name;
}

std::string DetectLanguage() {
  return DetectLanguage(State()->folder, SystemLcid());
}

void InitLanguage(const std::filesystem::path& executableDirectory) {
  InitLanguage(executableDirectory, SystemLcid());
}

void InitLanguage(const std::filesystem::path& executableDirectory, std::uint16_t lcid) {
  auto state = std::make_shared<LanguageState>();
  state->folder = executableDirectory;
  state->name = DetectLanguage(executableDirectory, lcid, &state->lcid);
  if (state->name.empty())
    state->name = "English";
  const auto pack = executableDirectory / "Languages" / (state->name + ".lng");
  std::error_code error;
  if (std::filesystem::is_regular_file(pack, error) &&
      std::filesystem::file_size(pack, error) > 0 && !error) {
    state->packPath = pack;
    state->pack = ProfileFile::Load(pack);
    state->usable = true;
  }
  std::lock_guard lock(gStateMutex);
  gState = std::move(state);
}

std::string ExpandPackMarkers(std::string value) {
  ReplaceAll(value, "\\r\\n", "\r\n");
  ReplaceAll(value, "\\n", "\n");
  ReplaceAll(value, "[~NullInfoChrys~]", "");
  ReplaceAll(value, "[~Null~]", " ");
  return value;
}

std::string Translate(std::string_view text) {
  const auto state = State();
  // Pack keys are read trimmed, so a text with outer blanks ("          Select",
  // a button caption padded to leave room for its picture) is looked up by
  // what is between them, and keeps its blanks around the translation.
  constexpr std::string_view kOuter = " \t\r";
  const auto first = text.find_first_not_of(kOuter);
  if (first != std::string_view::npos) {
    const auto last = text.find_last_not_of(kOuter);
    if (const LookupRecorder recorder = gRecorder.load(std::memory_order_relaxed))
      recorder(text.substr(first, last - first + 1));
  }
  if (state->usable && first != std::string_view::npos) {
    const auto last = text.find_last_not_of(kOuter);
    const std::string value = state->pack.GetString(
        "ProgramOutStr", text.substr(first, last - first + 1), "", kPackValueChars);
    if (!value.empty()) {
      return std::string(text.substr(0, first)) + ExpandPackMarkers(value) +
             std::string(text.substr(last + 1));
    }
  }
  return ExpandPackMarkers(std::string(text));
}

std::string Translate(const char* text) {
  if (text == nullptr)
    return {};
  return Translate(std::string_view(text));
}

void SetLookupRecorder(LookupRecorder recorder) {
  gRecorder.store(recorder, std::memory_order_relaxed);
}

std::string CurrentLanguageName() {
  return State()->name;
}
std::filesystem::path CurrentPackPath() {
  return State()->packPath;
}
bool CurrentPackUsable() {
  return State()->usable;
}

}  // namespace brevant
