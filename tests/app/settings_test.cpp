#include "app/settings.h"

#include <gtest/gtest.h>

#include <limits>

#include "support/temp_dir.h"

namespace brevant {
namespace {

using testing::TempDir;

struct ColorCase {
  const char* text;
  std::optional<PackedColor> expected;
};

class ColorParseTest : public ::testing::TestWithParam<ColorCase> {};

TEST_P(ColorParseTest, ThreePartsOfByteRange) {
  EXPECT_EQ(ParseColor(GetParam().text), GetParam().expected) << GetParam().text;
}

INSTANTIATE_TEST_SUITE_P(
    Texts, ColorParseTest,
    ::testing::Values(ColorCase{"10,20,30", 0x1E140A}, ColorCase{"0,0,0", 0},
                      ColorCase{"255,255,255", 0xFFFFFF}, ColorCase{" 7, 8 ,9x", 0x090807},
                      ColorCase{"10,20", std::nullopt}, ColorCase{"10,20,30,40", std::nullopt},
                      ColorCase{"10,20,300", std::nullopt}, ColorCase{"-1,20,30", std::nullopt},
                      ColorCase{"10,,30", 0x1E000A},  // an empty part is a part, read as 0
                      ColorCase{"10,20,30,", std::nullopt}, ColorCase{"", std::nullopt},
                      ColorCase{"'1,2',3,4", 0x040301},  // a quoted run is one part
                      ColorCase{"\"1,2,3\"", std::nullopt}, ColorCase{"a,b,c", 0}));

TEST(AppSettings, DefaultsWhenTheFileIsMissing) {
  TempDir dir;
  const AppSettings s = ReadAppSettings(dir / "Setting.ini");
  EXPECT_EQ(s.childBkColor, PackColor(255, 255, 255));
  EXPECT_EQ(s.lineColor, PackColor(215, 215, 215));
  EXPECT_EQ(s.fontName, "Microsoft YaHei");
  EXPECT_EQ(s.gridTitleFont.weight, 700);
  EXPECT_EQ(s.gridTitleFont.height, 15);
  EXPECT_EQ(s.gridFont.weight, 0);
  EXPECT_EQ(s.gridFont.height, 15);
  EXPECT_EQ(s.gridFont.face, "Microsoft YaHei");
  EXPECT_EQ(s.gridTextColor, PackColor(0, 0, 0));
  EXPECT_EQ(s.gridTitleTextColor, PackColor(237, 112, 32));
  EXPECT_EQ(s.gridTitleBkColor, PackColor(186, 199, 231));
  EXPECT_EQ(s.gridRowHeight, 48);
}

TEST(AppSettings, ReadsValuesWithProfileRules) {
  TempDir dir;
  const std::string face40(40, 'F');
  const std::string long100 = std::string(60, '1') + std::string(40, '9');
  dir.Write("Setting.ini",
            "[COLOR]\r\nchildbkcolor=10,20,30\r\nLineColor=10,20\r\nGridTextColor=1,2,3,4\r\n"
            "GridTitleBkColor=10,20,300\r\n[font]\r\nFontName=" +
                face40 +
                "\r\nGridTitleFontWeight=abc\r\nGridTitleFontHeight= 21px\r\nGridFontWeight=" +
                long100 + "\r\n");
  const AppSettings s = ReadAppSettings(dir / "Setting.ini");
  EXPECT_EQ(RedOf(s.childBkColor), 10);
  EXPECT_EQ(GreenOf(s.childBkColor), 20);
  EXPECT_EQ(BlueOf(s.childBkColor), 30);
  // Colours that do not parse are black, not their defaults.
  EXPECT_EQ(s.lineColor, 0u);
  EXPECT_EQ(s.gridTextColor, 0u);
  EXPECT_EQ(s.gridTitleBkColor, 0u);
  EXPECT_EQ(s.gridTitleTextColor, PackColor(237, 112, 32));
  EXPECT_EQ(s.gridTitleFont.weight, 0);
  EXPECT_EQ(s.gridTitleFont.height, 21);
  EXPECT_EQ(s.fontName, face40);
  EXPECT_EQ(s.gridTitleFont.face, face40.substr(0, 31));
  EXPECT_EQ(s.gridFont.face, face40.substr(0, 31));
  // 63 characters survive the buffer: 60 ones and three nines, far past int.
  EXPECT_EQ(s.gridFontWeight, std::numeric_limits<int>::max());
}

TEST(AppSettings, AValueLineOf100CharactersKeepsItsFirst63) {
  TempDir dir;
  const std::string face100 = std::string(63, 'a') + std::string(37, 'b');
  dir.Write("Setting.ini", "[Font]\nFontName=" + face100 + "\n");
  EXPECT_EQ(ReadAppSettings(dir / "Setting.ini").fontName, std::string(63, 'a'));
}

}  // namespace
}  // namespace brevant
