#include "tailoring/picture_size.h"

#include <gtest/gtest.h>

#include "sheet_files.h"
#include "support/temp_dir.h"

namespace brevant {
namespace {

TEST(PictureSize, ReadsTheSizeOfEachFormatFromItsHeader) {
  struct Case {
    const char* file;
    int width, height;
    const char* format;
  };
  const Case cases[] = {{"pictures/logo_229x51.png", 229, 51, "PNG"},
                        {"pictures/logo_230x51.jpg", 230, 51, "JPEG"},
                        {"pictures/logo_229x52.bmp", 229, 52, "BMP"},
                        {"pictures/small_12x7.gif", 12, 7, "GIF"}};
  for (const auto& c : cases) {
    const auto size = ReadPictureSize(testing::Fixture(c.file));
    ASSERT_TRUE(size.has_value()) << c.file;
    EXPECT_EQ(size->width, c.width) << c.file;
    EXPECT_EQ(size->height, c.height) << c.file;
    EXPECT_EQ(size->format, c.format);
  }
}

TEST(PictureSize, AnythingElseIsNoPicture) {
  testing::TempDir dir;
  const std::string png = testing::ReadBytes(testing::Fixture("pictures/logo_229x51.png"));
  std::string topDown = testing::ReadBytes(testing::Fixture("pictures/logo_229x52.bmp"));
  topDown[22] = static_cast<char>(0xCC);  // height -52, stored top-down
  topDown[23] = topDown[24] = topDown[25] = static_cast<char>(0xFF);
  EXPECT_EQ(PictureSizeOf(topDown)->height, 52);
  for (const std::string& bytes :
       {std::string(), std::string("GIF89"), std::string("not a picture"), png.substr(0, 20),
        std::string("\xFF\xD8\xFF\xD9", 4)}) {
    EXPECT_FALSE(PictureSizeOf(bytes).has_value());
  }
  EXPECT_FALSE(ReadPictureSize(dir.path()).has_value());
  EXPECT_FALSE(ReadPictureSize(dir / "missing.png").has_value());
}

}  // namespace
}  // namespace brevant
