// Inputs the fuzz targets found (fuzz/), kept as ordinary cases.

#include <gtest/gtest.h>

#include <json/reader.h>

#include <sstream>

#include "tailoring/json_config.h"

namespace brevant {
namespace {

using namespace std::string_literals;

// A line comment that ends in blanks after the last element of a table: the
// layout took the blank for indentation and wrote the closing bracket, and
// whatever followed, into the comment, so the device got a file that did not
// parse.
TEST(FuzzRegressions, ALineCommentEndingInBlanksKeepsTheFileWhole) {
  const std::string source =
      "{\"SYSMNG_ACCOUNT_ATTR_TAB\": [{\"aucUserAccountName\": \"admin\"} // last one  \n"
      "  ], \"REMOTEMGT_LOID_REG_ATTR_TAB\": [], \"REMOTEMGT_PASSWORD_REG_ATTR_TAB\": [],\n"
      " \"WLAN_SSID_ATTR_CFG_TAB\": [{\"ulIndex\": 0}, // tab  \n {\"ulIndex\": 1}]}\n";
  std::string output;
  std::string error;
  ASSERT_TRUE(RewriteJsonText(source, DeviceFieldRecord{}, output, error)) << error;
  Json::CharReaderBuilder builder;
  Json::Value before;
  Json::Value after;
  std::istringstream in(source);
  std::istringstream out(output);
  ASSERT_TRUE(Json::parseFromStream(builder, in, &before, &error)) << error;
  ASSERT_TRUE(Json::parseFromStream(builder, out, &after, &error)) << error << output;
  EXPECT_EQ(after, before);
  EXPECT_NE(output.find("// last one  \n"), std::string::npos) << output;
  EXPECT_NE(output.find("// tab  \n"), std::string::npos) << output;
}

}  // namespace
}  // namespace brevant
