#include "tailoring/json_config.h"

#include <gtest/gtest.h>
#include <json/json.h>

#include <optional>

#include "sheet_files.h"
#include "support/temp_dir.h"

namespace brevant {
namespace {

using testing::Fixture;
using testing::ReadBytes;
using testing::TempDir;

Json::Value Parse(const std::string& text) {
  JsonDocument document;
  EXPECT_TRUE(document.LoadText(text)) << document.error();
  return document.root();
}

Json::Value ParseFile(const std::filesystem::path& file) {
  return Parse(ReadBytes(file));
}

// The layout the library's own (deprecated) styled writer gives.
std::string LibraryStyled(const Json::Value& root) {
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
  Json::StyledWriter writer;
  return writer.write(root);
#pragma GCC diagnostic pop
}

// The sheet row for config.json: three connections, VLAN columns for the
// first and third, a PPP account for the first only.
DeviceFieldRecord Row() {
  DeviceFieldRecord row;
  row.wanCount = 3;
  row.WanName = {"1_INTERNET_R_VID_100", "2_TR069_R_VID", "3_VOIP_R_VID_300"};
  row.vid = {"200", "999", "301"};
  row.pppUser = {"u1", "not-a-column", "not-a-column"};
  row.pppPassword = {"p1", "not-a-column", "not-a-column"};
  row.columns.vid = {true, false, true};
  row.columns.ppp = {true, false, false};
  row.ssid_24g = "S24";
  row.wlanPsk_24g = "K24k24k24";
  row.ssid_5g = "S5";
  row.wlanPsk_5g = "K5k5k5k5";
  row.columns.wifi5g = row.columns.wifi24g = true;
  row.loid = "L1";
  row.loidPassword = "LP1";
  row.ploamPassword = "PL1";
  row.loginPassword = "admin1";
  row.columns.accounts = true;
  return row;
}

TEST(JsonTemplate, ReadsTheTablesAndBandLayout) {
  DeviceFieldRecord t;
  std::string error;
  ASSERT_TRUE(ReadJsonTemplate(Fixture("config.json"), t, error)) << error;
  EXPECT_EQ(t.loid, "loid-tpl");
  EXPECT_EQ(t.loidPassword, "lp-tpl");
  EXPECT_EQ(t.ploamPassword, "ploam-tpl");
  EXPECT_EQ(t.loginPassword, "admin-tpl");
  EXPECT_EQ(t.ssid_24g, "Net24");
  EXPECT_EQ(t.wlanPsk_24g, "key24key24");
  EXPECT_EQ(t.ssid_5g, "Net5");
  EXPECT_EQ(t.wlanPsk_5g, "key5key5");
  EXPECT_TRUE(t.dualBand);
  ASSERT_EQ(t.wanCount, 3);
  EXPECT_EQ(t.WanName[0], "1_INTERNET_R_VID_100");
  EXPECT_EQ(t.ChannelMode[0], "2");  // ucAddressingType 3
  EXPECT_EQ(t.vid[0], "100");
  EXPECT_EQ(t.pppUser[0], "user-tpl");
  EXPECT_EQ(t.pppPassword[0], "pass-tpl");
  EXPECT_EQ(t.ChannelMode[1], "");
  EXPECT_EQ(t.vid[1], "0");
  EXPECT_EQ(t.ChannelMode[2], "");
  EXPECT_EQ(t.pppUser[2], "keep-user");
}

TEST(JsonTemplate, BandLayoutAndWanCountFollowTheTables) {
  const auto read = [](const std::string& text) {
    TempDir dir;
    DeviceFieldRecord t;
    std::string error;
    EXPECT_TRUE(ReadJsonTemplate(dir.Write("c.json", text), t, error)) << error;
    return t;
  };
  const std::string base =
      R"("REMOTEMGT_LOID_REG_ATTR_TAB": [], "REMOTEMGT_PASSWORD_REG_ATTR_TAB": null,
         "SYSMNG_ACCOUNT_ATTR_TAB": [{}],)";
  DeviceFieldRecord t =
      read("{" + base + R"("WLAN_SSID_ATTR_CFG_TAB": [{"aucSSIDName": "a"}, {}]})");
  EXPECT_FALSE(t.dualBand);
  EXPECT_EQ(t.ssid_24g, "a");
  EXPECT_EQ(t.wanCount, 0);  // no WAN table is no error
  // A 5 GHz element without a name is no second network.
  std::string wlan = R"("WLAN_SSID_ATTR_CFG_TAB": [{"aucSSIDName": "a"},{},{},{},{},{},{},{},)";
  t = read("{" + base + wlan + R"({"aucPreSharedKey": "k"}]})");
  EXPECT_FALSE(t.dualBand);
  EXPECT_EQ(t.wlanPsk_5g, "k");
  t = read("{" + base + wlan + R"({"aucSSIDName": ""}]})");
  EXPECT_TRUE(t.dualBand);

  // More connections than the record holds: the first ten.
  std::string wan = R"("WAN_CONNECTION_ATTR_TAB": [)";
  for (int i = 0; i < 12; ++i)
    wan += (i ? "," : "") + std::string(R"({"aucWanName": "w)") + std::to_string(i) + "\"}";
  t = read("{" + base + R"("WLAN_SSID_ATTR_CFG_TAB": [], )" + wan + "]}");
  EXPECT_EQ(t.wanCount, 10);
  EXPECT_EQ(t.WanName[9], "w9");
}

struct ErrorCase {
  const char* what;
  std::optional<std::string> text;  // nothing: the file does not exist
  const char* error;
};

TEST(JsonErrors, EachFailureHasItsText) {
  const Json::Value fixture = ParseFile(Fixture("config.json"));
  const auto without = [&](const char* table) {
    Json::Value root = fixture;
    root.removeMember(table);
    return Json::FastWriter().write(root);
  };
  const ErrorCase cases[] = {
      {"missing file", std::nullopt, "Failed to load the JSON file."},
      {"empty file", "", "Failed to load the JSON file."},
      {"not JSON", "mac,WanName1\n", "Failed to load the JSON file."},
      {"truncated", ReadBytes(Fixture("config.json")).substr(0, 200),
       "Failed to load the JSON file."},
      {"a control byte", "\x01", "Failed to load the JSON file."},
      {"too deep", std::string(100000, '['), "Failed to load the JSON file."},
      {"no LOID table", without("REMOTEMGT_LOID_REG_ATTR_TAB"),
       "The key REMOTEMGT_LOID_REG_ATTR_TAB does not exist."},
      {"no PLOAM table", without("REMOTEMGT_PASSWORD_REG_ATTR_TAB"),
       "The key REMOTEMGT_PASSWORD_REG_ATTR_TAB does not exist."},
      {"no account table", without("SYSMNG_ACCOUNT_ATTR_TAB"),
       "The key SYSMNG_ACCOUNT_ATTR_TAB does not exist."},
      {"no WLAN table", without("WLAN_SSID_ATTR_CFG_TAB"),
       "The key WLAN_SSID_ATTR_CFG_TAB does not exist."},
      {"root is an array", "[{\"REMOTEMGT_LOID_REG_ATTR_TAB\": []}]",
       "The key REMOTEMGT_LOID_REG_ATTR_TAB does not exist."},
      {"root is null", "null", "The key REMOTEMGT_LOID_REG_ATTR_TAB does not exist."},
  };
  for (const auto& c : cases) {
    TempDir dir;
    const auto file = c.text ? dir.Write("c.json", *c.text) : dir / "absent.json";
    DeviceFieldRecord t;
    t.loid = "stale";
    std::string error;
    EXPECT_FALSE(ReadJsonTemplate(file, t, error)) << c.what;
    EXPECT_EQ(error, c.error) << c.what;
    EXPECT_EQ(t.loid, "") << c.what;  // nothing half-read survives
    error.clear();
    EXPECT_FALSE(RewriteJson(file, Row(), error)) << c.what;
    EXPECT_EQ(error, c.error) << c.what;
    if (c.text) {
      EXPECT_EQ(ReadBytes(file), *c.text) << c.what;  // left as it was
    }
  }
}

TEST(JsonErrors, AFileThatCannotBeSavedHasItsText) {
  TempDir dir;
  std::string error;
  EXPECT_FALSE(RewriteJson(Fixture("config.json"), dir / "no" / "out.json", Row(), error));
  EXPECT_EQ(error, "The json SaveToFile fail.");
}

TEST(JsonRewrite, SetsTheRowsFieldsAndKeepsEverythingElse) {
  TempDir dir;
  const auto file = dir / "c.json";
  std::filesystem::copy_file(Fixture("config.json"), file);
  std::string error;
  ASSERT_TRUE(RewriteJson(file, Row(), error)) << error;
  const std::string saved = ReadBytes(file);
  const Json::Value root = Parse(saved);

  Json::Value expected = ParseFile(Fixture("config.json"));
  expected["REMOTEMGT_LOID_REG_ATTR_TAB"][0]["aucLoidName"] = "L1";
  expected["REMOTEMGT_LOID_REG_ATTR_TAB"][0]["aucLoidPasswd"] = "LP1";
  expected["REMOTEMGT_PASSWORD_REG_ATTR_TAB"][0]["aucPasswd"] = "PL1";
  expected["SYSMNG_ACCOUNT_ATTR_TAB"][0]["aucUserAccountPassword"] = "admin1";
  expected["WLAN_SSID_ATTR_CFG_TAB"][0]["aucSSIDName"] = "S24";
  expected["WLAN_SSID_ATTR_CFG_TAB"][0]["aucPreSharedKey"] = "K24k24k24";
  expected["WLAN_SSID_ATTR_CFG_TAB"][8]["aucSSIDName"] = "S5";
  expected["WLAN_SSID_ATTR_CFG_TAB"][8]["aucPreSharedKey"] = "K5k5k5k5";
  Json::Value& wan = expected["WAN_CONNECTION_ATTR_TAB"];
  wan[0]["ulVlanIdMark"] = 200;
  wan[0]["aucUsername"] = "u1";
  wan[0]["aucPassword"] = "p1";
  wan[2]["ulVlanIdMark"] = 301;
  // Connection 2 (VLAN 0, no account) and connection 3's account keep their values.
  EXPECT_EQ(root, expected) << saved;

  // The styled layout, comments included, is the library's.
  EXPECT_EQ(saved, LibraryStyled(expected));
  EXPECT_NE(saved.find("// the connection with a PPP account"), std::string::npos);
  EXPECT_NE(saved.find("/* end of the tables */"), std::string::npos);
  EXPECT_NE(saved.find("\n   \"DEVICE_INFO\" : {"), std::string::npos);
}

TEST(JsonRewrite, MembersWithoutAColumnAreLeftAlone) {
  TempDir dir;
  const auto file = dir / "c.json";
  std::filesystem::copy_file(Fixture("config.json"), file);
  DeviceFieldRecord row = Row();
  row.columns.wifi5g = row.columns.wifi24g = false;
  row.ssid_24g = row.ssid_5g = "";
  row.wanCount = 1;  // the sheet had one WAN group
  std::string error;
  ASSERT_TRUE(RewriteJson(file, row, error)) << error;
  const Json::Value root = ParseFile(file);
  EXPECT_EQ(root["WLAN_SSID_ATTR_CFG_TAB"][0]["aucSSIDName"], "Net24");
  EXPECT_EQ(root["WLAN_SSID_ATTR_CFG_TAB"][8]["aucPreSharedKey"], "key5key5");
  EXPECT_EQ(root["WAN_CONNECTION_ATTR_TAB"][0]["ulVlanIdMark"], 200);
  EXPECT_EQ(root["WAN_CONNECTION_ATTR_TAB"][2]["ulVlanIdMark"], 300);
  EXPECT_EQ(root["SYSMNG_ACCOUNT_ATTR_TAB"][0]["aucUserAccountPassword"], "admin1");

  // A row that came from no column changes nothing but the layout.
  const auto untouched = dir / "u.json";
  std::filesystem::copy_file(Fixture("config.json"), untouched);
  ASSERT_TRUE(RewriteJson(untouched, DeviceFieldRecord{}, error)) << error;
  EXPECT_EQ(ParseFile(untouched), ParseFile(Fixture("config.json")));
}

TEST(JsonRewrite, ShortWlanTableIsNeverLengthened) {
  TempDir dir;
  const auto file = dir.Write("c.json", R"({"REMOTEMGT_LOID_REG_ATTR_TAB": [{}],
    "REMOTEMGT_PASSWORD_REG_ATTR_TAB": [{}], "SYSMNG_ACCOUNT_ATTR_TAB": [{}],
    "WLAN_SSID_ATTR_CFG_TAB": [{"aucSSIDName": "Net24"}, {"aucSSIDName": "guest"}]})");
  DeviceFieldRecord t;
  std::string error;
  ASSERT_TRUE(ReadJsonTemplate(file, t, error));
  EXPECT_FALSE(t.dualBand);
  ASSERT_TRUE(RewriteJson(file, Row(), error)) << error;
  const Json::Value root = ParseFile(file);
  ASSERT_EQ(root["WLAN_SSID_ATTR_CFG_TAB"].size(), 2u);
  EXPECT_EQ(root["WLAN_SSID_ATTR_CFG_TAB"][0]["aucSSIDName"], "S24");
  EXPECT_EQ(root["WLAN_SSID_ATTR_CFG_TAB"][1]["aucSSIDName"], "guest");
  // Members the file lacks are not added.
  EXPECT_FALSE(root["REMOTEMGT_LOID_REG_ATTR_TAB"][0].isMember("aucLoidName"));
  EXPECT_FALSE(root.isMember("WAN_CONNECTION_ATTR_TAB"));
}

TEST(JsonRewrite, ConnectionsPastTheTenthAreLeftAlone) {
  TempDir dir;
  std::string wan;
  for (int i = 0; i < 12; ++i)
    wan += (i ? "," : "") + std::string(R"({"aucWanName": "old", "ulVlanIdMark": 1})");
  const auto file = dir.Write("c.json", R"({"REMOTEMGT_LOID_REG_ATTR_TAB": [],
    "REMOTEMGT_PASSWORD_REG_ATTR_TAB": [], "SYSMNG_ACCOUNT_ATTR_TAB": [],
    "WLAN_SSID_ATTR_CFG_TAB": [], "WAN_CONNECTION_ATTR_TAB": [)" +
                                            wan + "]}");
  DeviceFieldRecord row;
  row.wanCount = 10;
  row.WanName.fill("new");
  row.vid.fill("7");
  row.columns.vid.fill(true);
  std::string error;
  ASSERT_TRUE(RewriteJson(file, row, error)) << error;
  const Json::Value table = ParseFile(file)["WAN_CONNECTION_ATTR_TAB"];
  ASSERT_EQ(table.size(), 12u);
  for (Json::ArrayIndex i = 0; i < 12; ++i) {
    EXPECT_EQ(table[i]["aucWanName"], i < 10 ? "new" : "old") << i;
    EXPECT_EQ(table[i]["ulVlanIdMark"], i < 10 ? 7 : 1) << i;
  }
}

TEST(JsonRewrite, TextsKeepTheirBytes) {
  TempDir dir;
  const std::string odd = "caf\xC3\xA9 \xE4\xB8\xAD \xFF\xFE";  // UTF-8 and two stray bytes
  const auto file = dir.Write("c.json", R"({"REMOTEMGT_LOID_REG_ATTR_TAB": [],
    "REMOTEMGT_PASSWORD_REG_ATTR_TAB": [], "SYSMNG_ACCOUNT_ATTR_TAB": [],
    "WLAN_SSID_ATTR_CFG_TAB": [{"aucSSIDName": "x", "aucOther": ")" +
                                            odd + R"("}]})");
  DeviceFieldRecord row;
  row.ssid_24g = "\xE7\xBD\x91\"\\\n\x01";
  row.columns.wifi24g = true;
  std::string error;
  ASSERT_TRUE(RewriteJson(file, row, error)) << error;
  const std::string saved = ReadBytes(file);
  EXPECT_NE(saved.find("\"aucOther\" : \"" + odd + "\""), std::string::npos) << saved;
  EXPECT_NE(saved.find("\"aucSSIDName\" : \"\xE7\xBD\x91\\\"\\\\\\n\\u0001\""), std::string::npos)
      << saved;
  EXPECT_EQ(ParseFile(file)["WLAN_SSID_ATTR_CFG_TAB"][0]["aucSSIDName"].asString(), row.ssid_24g);
}

TEST(JsonRewrite, MembersOfUnexpectedTypesNeverCrashAndAreLeftAlone) {
  const std::string tables = R"("REMOTEMGT_PASSWORD_REG_ATTR_TAB": [{"aucPasswd": [1, 2]}],
    "SYSMNG_ACCOUNT_ATTR_TAB": {"aucUserAccountPassword": "in an object, not an array"},
    "REMOTEMGT_LOID_REG_ATTR_TAB": [{"aucLoidName": 12345, "aucLoidPasswd": 1.5}],
    "WLAN_SSID_ATTR_CFG_TAB": [{"aucSSIDName": 7, "aucPreSharedKey": {"k": 1}}],)";
  const std::string wan = R"("WAN_CONNECTION_ATTR_TAB": [
      {"aucWanName": "w1", "ucAddressingType": "3", "ulVlanIdMark": "100",
       "aucUsername": null, "aucPassword": true},
      "not an object",
      {"aucWanName": ["w3"], "ucAddressingType": 3.0, "ulVlanIdMark": 100.0},
      {"ulVlanIdMark": 1e30}
    ])";
  TempDir dir;
  const auto file = dir.Write("c.json", "{" + tables + wan + "}");
  DeviceFieldRecord t;
  std::string error;
  ASSERT_TRUE(ReadJsonTemplate(file, t, error)) << error;
  EXPECT_EQ(t.ploamPassword, "");  // an array is no text
  EXPECT_EQ(t.loginPassword, "");  // the table is no array
  EXPECT_EQ(t.loid, "12345");      // an integer reads as its digits
  EXPECT_EQ(t.loidPassword, "");   // a real does not
  EXPECT_EQ(t.ssid_24g, "7");
  EXPECT_EQ(t.wanCount, 4);
  EXPECT_EQ(t.vid[0], "");          // a string VLAN gives no vid column
  EXPECT_EQ(t.ChannelMode[0], "");  // a string addressing type is not 3
  EXPECT_EQ(t.pppUser[0], "");      // null reads empty
  EXPECT_EQ(t.WanName[1], "");      // the element is no object
  EXPECT_EQ(t.WanName[2], "");
  EXPECT_EQ(t.ChannelMode[2], "2");  // 3.0 is the integer 3
  EXPECT_EQ(t.vid[2], "100");
  EXPECT_EQ(t.vid[3], "");  // too large for an integer

  DeviceFieldRecord row;
  row.wanCount = 4;
  row.WanName.fill("new");
  row.vid.fill("9");
  row.columns.vid.fill(true);
  row.pppUser.fill("u");
  row.pppPassword.fill("p");
  row.columns.ppp.fill(true);
  row.loid = "777";
  row.loidPassword = "lp";
  row.ploamPassword = "pl";
  row.loginPassword = "admin";
  row.columns.accounts = true;
  row.ssid_24g = "Net";
  row.wlanPsk_24g = "key";
  row.columns.wifi24g = true;
  ASSERT_TRUE(RewriteJson(file, row, error)) << error;
  const Json::Value root = ParseFile(file);
  EXPECT_EQ(root["REMOTEMGT_PASSWORD_REG_ATTR_TAB"][0]["aucPasswd"].size(), 2u);
  EXPECT_EQ(root["SYSMNG_ACCOUNT_ATTR_TAB"]["aucUserAccountPassword"],
            "in an object, not an array");
  EXPECT_EQ(root["REMOTEMGT_LOID_REG_ATTR_TAB"][0]["aucLoidName"], 777);  // stays an integer
  EXPECT_EQ(root["REMOTEMGT_LOID_REG_ATTR_TAB"][0]["aucLoidPasswd"], 1.5);
  EXPECT_EQ(root["WLAN_SSID_ATTR_CFG_TAB"][0]["aucSSIDName"], "Net");
  EXPECT_TRUE(root["WLAN_SSID_ATTR_CFG_TAB"][0]["aucPreSharedKey"].isObject());
  const Json::Value& connections = root["WAN_CONNECTION_ATTR_TAB"];
  EXPECT_EQ(connections[0]["aucWanName"], "new");
  EXPECT_EQ(connections[0]["ulVlanIdMark"], "100");
  EXPECT_EQ(connections[0]["aucUsername"], "u");
  EXPECT_EQ(connections[0]["aucPassword"], true);
  EXPECT_EQ(connections[0]["ucAddressingType"], "3");
  EXPECT_EQ(connections[1], "not an object");
  EXPECT_TRUE(connections[2]["aucWanName"].isArray());
  EXPECT_EQ(connections[2]["ulVlanIdMark"], 9);
  EXPECT_EQ(connections[3]["ulVlanIdMark"], 1e30);
}

TEST(JsonDocument, RootAndSaveFollowTheLoadedFlag) {
  TempDir dir;
  JsonDocument document;
  EXPECT_FALSE(document.loaded());
  EXPECT_FALSE(document.Save(dir / "a.json"));
  EXPECT_FALSE(std::filesystem::exists(dir / "a.json"));
  EXPECT_TRUE(document.root().isObject());
  EXPECT_TRUE(document.loaded());
  ASSERT_TRUE(document.Save(dir / "a.json"));
  EXPECT_EQ(ReadBytes(dir / "a.json"), "{}\n");
  EXPECT_FALSE(document.LoadText("{\"a\": }"));
  EXPECT_FALSE(document.loaded());
  EXPECT_NE(document.error().find("Line 1"), std::string::npos) << document.error();
}

class DeviceJsonTest : public ::testing::Test {
 protected:
  void SetUp() override { std::filesystem::create_directory(dir_ / "ModifyJson"); }
  bool Write(const std::filesystem::path& folder) {
    return WriteDeviceJson(source_, Row(), "C8:3A:35:A1:B2:C3", folder, &written_, &note_);
  }
  TempDir dir_;
  DeviceFileSource source_{Fixture("config.json")};
  std::filesystem::path written_;
  std::string note_;
};

TEST_F(DeviceJsonTest, WithASheetTheDeviceGetsItsRewrittenFile) {
  source_.tailored = true;
  ASSERT_TRUE(Write(dir_ / "ModifyJson"));
  EXPECT_EQ(written_, dir_ / "ModifyJson" / "C83A35A1B2C3.json");
  EXPECT_EQ(ParseFile(written_)["SYSMNG_ACCOUNT_ATTR_TAB"][0]["aucUserAccountPassword"], "admin1");
  EXPECT_TRUE(note_.empty());
  // The chosen file itself is not touched.
  EXPECT_EQ(
      ParseFile(Fixture("config.json"))["SYSMNG_ACCOUNT_ATTR_TAB"][0]["aucUserAccountPassword"],
      "admin-tpl");
}

TEST_F(DeviceJsonTest, WithoutASheetTheDeviceGetsACopy) {
  ASSERT_TRUE(Write(dir_ / "ModifyJson"));
  EXPECT_EQ(ReadBytes(dir_ / "ModifyJson" / "C83A35A1B2C3.json"),
            ReadBytes(Fixture("config.json")));
}

TEST_F(DeviceJsonTest, AFileThatCannotBeMadeGivesANote) {
  source_.tailored = true;
  source_.chosen = dir_.Write("bad.json", R"({"REMOTEMGT_LOID_REG_ATTR_TAB": []})");
  EXPECT_FALSE(Write(dir_ / "ModifyJson"));
  EXPECT_EQ(note_, "The key REMOTEMGT_PASSWORD_REG_ATTR_TAB does not exist.");

  // An earlier device file must not be rewritten when the copy fails.
  source_.chosen = Fixture("config.json");
  EXPECT_FALSE(Write(dir_ / "missing"));
  EXPECT_TRUE(note_.starts_with("Failed to copy the configuration file!")) << note_;
}

}  // namespace
}  // namespace brevant
