#include "text/text.h"

#include <gtest/gtest.h>

#include <limits>

namespace brevant {
namespace {

TEST(AtoiLike, ReadsLikeTheCLibrary) {
  const std::pair<const char*, int> cases[] = {
      {"12", 12},
      {" 12", 12},
      {"\t-7x", -7},
      {"+5", 5},
      {"12abc", 12},
      {"abc", 0},
      {"", 0},
      {"- 3", 0},
      {"0x10", 0},
      {"4094", 4094},
      {"99999999999", std::numeric_limits<int>::max()},
      {"-99999999999", std::numeric_limits<int>::min()},
  };
  for (const auto& [text, value] : cases)
    EXPECT_EQ(AtoiLike(text), value) << text;
}

TEST(Utf, RoundTripsAndReplacesInvalidBytes) {
  const std::string text = "a\xC3\xA9\xE4\xB8\xAD\xF0\x9F\x98\x80";
  const std::u16string wide = Utf8ToUtf16(text);
  EXPECT_EQ(wide, (std::u16string{u'a', 0xE9, 0x4E2D, 0xD83D, 0xDE00}));
  EXPECT_EQ(Utf16ToUtf8(wide), text);
  EXPECT_EQ(Utf8ToUtf16("\xFF"
                        "a\xC3"),
            (std::u16string{0xFFFD, u'a', 0xFFFD}));
  EXPECT_EQ(Utf8ToUtf16("\xED\xA0\x80"), (std::u16string{0xFFFD, 0xFFFD, 0xFFFD}));
}

TEST(TrimWhite, RemovesWhiteSpaceAtBothEnds) {
  EXPECT_EQ(TrimWhite(" \t a b \r\n"), "a b");
  EXPECT_EQ(TrimWhite("   "), "");
}

}  // namespace
}  // namespace brevant
