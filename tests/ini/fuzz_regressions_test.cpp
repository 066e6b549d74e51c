// Inputs the fuzz targets found (fuzz/), kept as ordinary cases.

#include <gtest/gtest.h>

#include "ini/profile.h"
#include "text/text.h"

namespace brevant {
namespace {

// Bytes that are not well-formed UTF-8 count one unit each, as the UTF-16
// text of the value holds one replacement character for each: a lead byte
// past 0xF4, an overlong form, a surrogate or a code point past U+10FFFF
// followed by continuation bytes must not pass for one character.
TEST(FuzzRegressions, CutCountsEveryByteOfAMalformedSequence) {
  struct Case {
    std::string text;
    std::size_t units;
    std::string cut;
  } cases[] = {
      {"Ch\xFF\xFF\xFF\xBA\x94", 5, "Ch\xFF\xFF\xFF"},  // the fuzzer's language-pack value
      {"\xFF\xBA\x94", 1, "\xFF"},
      {"\xE0\x80\x80z", 2, "\xE0\x80"},         // overlong U+0000
      {"\xED\xA0\x80z", 3, "\xED\xA0\x80"},     // surrogate U+D800
      {"\xF4\x90\x80\x80", 2, "\xF4\x90"},      // past U+10FFFF
      {"\xF0\x80\x80\x80", 1, "\xF0"},          // overlong four-byte form
      {"\xE4\xB8\xAD\xE4", 1, "\xE4\xB8\xAD"},  // well-formed: one unit, then a lone lead
      {"\xF0\x9F\x98\x80x", 2, "\xF0\x9F\x98\x80"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(CutToUtf16Units(c.text, c.units), c.cut) << ::testing::PrintToString(c.text);

  const auto pack = ProfileFile::Parse("[LCID]\n2052=Ch\xFF\xFF\xFF\xBA\x94\xE8\xB6\x85\n");
  EXPECT_EQ(pack.GetString("LCID", "2052", "", 7), "Ch\xFF\xFF\xFF\xBA\x94");
}

}  // namespace
}  // namespace brevant
