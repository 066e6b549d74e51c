// Texts with blanks at either end: the pack's keys are read trimmed, so the
// lookup is by what lies between the blanks, and the blanks stay.

#include <gtest/gtest.h>

#include "i18n/language.h"
#include "support/temp_dir.h"

namespace brevant {
namespace {

TEST(TranslateOuterBlanks, TheCoreIsLookedUpAndTheCallersBlanksComeBack) {
  testing::TempDir dir;
  dir.Write("Languages/Language.ini", "[LCID]\r\n2052=Chinese\r\n");
  dir.Write("Languages/Chinese.lng",
            "[ProgramOutStr]\r\n"
            "Select=\xE9\x80\x89\xE6\x8B\xA9\r\n"  // 选择
            "  Padded key  =padded\r\n"
            "Empty=[~NullInfoChrys~]\r\n"
            "Blank=[~Null~]\r\n");
  InitLanguage(dir.path(), 2052);
  const struct {
    std::string text;
    std::string translated;
  } cases[] = {
      {"Select", "\xE9\x80\x89\xE6\x8B\xA9"},
      {"          Select", "          \xE9\x80\x89\xE6\x8B\xA9"},
      {"\tSelect  ", "\t\xE9\x80\x89\xE6\x8B\xA9  "},
      {"  padded KEY ", "  padded "},  // letter case and the key's own blanks do not matter
      {"   Empty", "   "},
      {"Blank ", "  "},
      {"          Unknown", "          Unknown"},  // no entry: the text as it is
      {"   ", "   "},
      {"", ""},
      {"Sel ect", "Sel ect"},  // inner blanks are part of the key
  };
  for (const auto& c : cases)
    EXPECT_EQ(Translate(c.text), c.translated) << "[" << c.text << "]";
  InitLanguage(dir.path(), 1033);
  EXPECT_EQ(Translate("          Select"), "          Select");
}

}  // namespace
}  // namespace brevant
