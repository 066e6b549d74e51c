// A language pack as the lookups read it: ProfileFile::Parse of any text, the
// values of a few keys cut to several widths, and the pack's markers expanded.

#include <cstddef>
#include <cstdint>
#include <limits>

#include "fuzz_support.h"
#include "i18n/language.h"
#include "ini/profile.h"
#include "text/text.h"

using namespace brevant;

namespace {

// The whole value, and cut to each width: a cut is a prefix that holds at most
// that many UTF-16 units and never splits a character.
void CheckLookup(const ProfileFile& pack, std::string_view section, std::string_view key) {
  constexpr std::size_t kWhole = std::numeric_limits<std::size_t>::max();
  const std::string whole = pack.GetString(section, key, "<none>", kWhole);
  const std::u16string wholeUnits = Utf8ToUtf16(whole);
  std::size_t previous = 0;
  for (const std::size_t width : {0, 1, 2, 3, 7, 64, 1023}) {
    const std::string cut = pack.GetString(section, key, "<none>", width);
    BREVANT_FUZZ_CHECK(whole.starts_with(cut), "a cut value is not a prefix of the value");
    BREVANT_FUZZ_CHECK(cut.size() >= previous, "a wider cut is shorter");
    const std::u16string units = Utf8ToUtf16(cut);
    BREVANT_FUZZ_CHECK(units.size() <= width, "a cut to %zu units holds %zu", width, units.size());
    BREVANT_FUZZ_CHECK(std::u16string_view(wholeUnits).starts_with(units),
                       "a cut to %zu units splits a character", width);
    previous = cut.size();
    (void)ExpandPackMarkers(cut);
  }
  (void)ExpandPackMarkers(whole);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text = fuzz::AsText(data, size);
  const ProfileFile pack = ProfileFile::Parse(text);
  // The keys the program asks a pack for, and the language map's.
  for (const char* key : {"Note", "Operate success", "The MAC:%s has no row in the excel file."})
    CheckLookup(pack, "ProgramOutStr", key);
  CheckLookup(pack, "LCID", "2052");
  CheckLookup(pack, "lcid", "1033");
  // A key named by the input itself: its first line, as section and key.
  const std::string_view first = text.substr(0, text.find('\n'));
  const auto equals = first.find('=');
  if (equals != std::string_view::npos)
    CheckLookup(pack, first.substr(0, equals), first.substr(equals + 1));
  (void)ExpandPackMarkers(std::string(text));
  return 0;
}
