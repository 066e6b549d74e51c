#include "ini/profile.h"
#include "text/text.h"

#include <gtest/gtest.h>

namespace brevant {
namespace {

TEST(ProfileFile, LooksUpWithoutRegardToCaseAndFirstOccurrenceWins) {
  const auto p = ProfileFile::Parse(
      "\xEF\xBB\xBF[Color]\r\n ChildBkColor = 1,2,3 "
      "\r\nchildbkcolor=9,9,9\r\n[color]\nLineColor=4\n");
  EXPECT_EQ(p.GetString("COLOR", "childBKcolor", "d", 63), "1,2,3");
  EXPECT_EQ(p.GetString("color", "LineColor", "d", 63), "4");
  EXPECT_EQ(p.GetString("Color", "Missing", "dflt", 63), "dflt");
  EXPECT_EQ(p.GetString("Nope", "LineColor", "dflt", 63), "dflt");
}

TEST(ProfileFile, StripsOnePairOfEnclosingQuotesAndKeepsEmptyValues) {
  const auto p = ProfileFile::Parse("[s]\na=\"x, y\"\nb='z'\nc=\"open\nd=\n");
  EXPECT_EQ(p.GetString("s", "a", "", 63), "x, y");
  EXPECT_EQ(p.GetString("s", "b", "", 63), "z");
  EXPECT_EQ(p.GetString("s", "c", "", 63), "\"open");
  EXPECT_EQ(p.GetString("s", "d", "dflt", 63), "");
}

TEST(ProfileFile, CutsValuesAndDefaultsToTheBufferWithoutSplittingCharacters) {
  const std::string hundred(100, 'v');
  const auto p = ProfileFile::Parse("[s]\nk=" + hundred + "\n");
  EXPECT_EQ(p.GetString("s", "k", "", 63), hundred.substr(0, 63));
  EXPECT_EQ(p.GetString("s", "missing", hundred, 63).size(), 63u);
  // Three-byte characters count one each; a four-byte one counts two.
  EXPECT_EQ(CutToUtf16Units("\xE4\xB8\xAD\xE4\xB8\xAD\xE4\xB8\xAD", 2), "\xE4\xB8\xAD\xE4\xB8\xAD");
  EXPECT_EQ(CutToUtf16Units("a\xF0\x9F\x98\x80", 2), "a");
  EXPECT_EQ(CutToUtf16Units("a\xF0\x9F\x98\x80", 3), "a\xF0\x9F\x98\x80");
}

TEST(ProfileFile, MissingFileGivesDefaults) {
  const auto p = ProfileFile::Load("/nonexistent/brevant/Setting.ini");
  EXPECT_TRUE(p.empty());
  EXPECT_EQ(p.GetString("Font", "FontName", "Microsoft YaHei", 63), "Microsoft YaHei");
}

}  // namespace
}  // namespace brevant
