#include "tailoring/device_sheet.h"

#include <gtest/gtest.h>

#include <map>

#include "sheet_files.h"
#include "support/temp_dir.h"
#include "tailoring/field_rules.h"
#include "tailoring/xlsx_reader.h"

namespace brevant {
namespace {

using testing::Fixture;
using testing::ReadZipPart;
using testing::TempDir;
using testing::WriteInlineSheet;

const std::string kMac1 = "C8:3A:35:00:00:01";
const std::string kMac2 = "C8:3A:35:00:00:02";
const std::string kMac3 = "C8:3A:35:00:00:03";
const std::string kMacHeader = "mac(*This column cannot be modified*)";

std::string WanNameHeader(int w) {
  return "WanName" + std::to_string(w) + "(*This column cannot be modified*)";
}

// One WAN entry with VLAN 100 and a PPP account, dual band.
DeviceFieldRecord OneWanTemplate() {
  DeviceFieldRecord t;
  t.wanCount = 1;
  t.WanName[0] = "1_INTERNET_R_VID_100";
  t.vid[0] = "100";
  t.ChannelMode[0] = "2";
  t.pppUser[0] = "tuser";
  t.pppPassword[0] = "tpass";
  t.dualBand = true;
  t.loid = "tloid";
  t.loidPassword = "tlp";
  t.ploamPassword = "tpl";
  t.loginPassword = "tadmin";
  return t;
}

ap_info_stu Stored(const std::string& mac, const std::string& ssid2, const std::string& key2,
                   const std::string& ssid5, const std::string& key5) {
  ap_info_stu row;
  row.mac = mac;
  row.ssid2 = ssid2;
  row.key2 = key2;
  row.ssid5 = ssid5;
  row.key5 = key5;
  return row;
}

DeviceLookup LookupIn(std::map<std::string, ap_info_stu> store) {
  return [store = std::move(store)](const std::string& mac, ap_info_stu& row) {
    const auto found = store.find(mac);
    if (found == store.end())
      return false;
    row = found->second;
    return true;
  };
}

std::chrono::system_clock::time_point LocalTime(int year, int month, int day, int hour, int minute,
                                                int second) {
  std::tm t{};
  t.tm_year = year - 1900;
  t.tm_mon = month - 1;
  t.tm_mday = day;
  t.tm_hour = hour;
  t.tm_min = minute;
  t.tm_sec = second;
  t.tm_isdst = -1;
  return std::chrono::system_clock::from_time_t(std::mktime(&t));
}

std::vector<std::string> RowOf(const XlsxReader& sheet, int row) {
  std::vector<std::string> cells;
  for (int c = 0; c < sheet.columnCount(); ++c)
    cells.push_back(sheet.cell(row, c));
  return cells;
}

class DeviceSheetTest : public ::testing::Test {
 protected:
  void SetUp() override { SetWifiColumnsFlag(false); }
  void TearDown() override { SetWifiColumnsFlag(false); }

  // Creates the sheet in the temp folder and reads it back.
  XlsxReader Create(const DeviceFieldRecord& templateFields, const DeviceLookup& lookup) {
    state_.templateFields = templateFields;
    state_.sheetPath = DeviceSheetPath(dir_.path());
    EXPECT_TRUE(
        CreateDeviceSheet(state_.sheetPath, state_.targetList, templateFields, lookup, &note_));
    XlsxReader sheet;
    EXPECT_TRUE(sheet.Open(state_.sheetPath)) << sheet.error();
    return sheet;
  }

  bool Read() { return ReadDeviceSheet(state_.sheetPath, state_.templateFields, state_.sheetRows); }

  // What the customization page keeps of a sheet.
  struct {
    std::vector<std::string> targetList;
    std::filesystem::path sheetPath;
    DeviceFieldRecord templateFields;
    std::vector<DeviceFieldRecord> sheetRows;
  } state_;
  TempDir dir_;
  std::string note_;
};

TEST_F(DeviceSheetTest, SheetHasOneRowPerTargetPrefilledFromTemplateAndStore) {
  state_.targetList = {kMac1, kMac2};
  const auto lookup =
      LookupIn({{kMac1, Stored(kMac1, " Net24-1 ", "key24-0001\t", "Net5-1", "key5-0001")},
                {kMac2, Stored(kMac2, "Net24-2", "key24-0002", "", "")}});
  const XlsxReader sheet = Create(OneWanTemplate(), lookup);
  EXPECT_TRUE(WifiColumnsFlag());
  EXPECT_EQ(state_.sheetPath.parent_path(), dir_.path());
  EXPECT_TRUE(note_.empty());

  EXPECT_EQ(RowOf(sheet, 0), (std::vector<std::string>{
                                 kMacHeader, WanNameHeader(1), "vid1", "pppUser1", "pppPassword1",
                                 "ssid_5g", "wlanPsk_5g", "ssid_2.4g", "wlanPsk_2.4g", "loid",
                                 "loidPassword", "ploamPassword", "loginPassword"}));
  EXPECT_EQ(RowOf(sheet, 1),
            (std::vector<std::string>{kMac1, "1_INTERNET_R_VID_100", "100", "tuser", "tpass",
                                      "Net5-1", "key5-0001", "Net24-1", "key24-0001", "tloid",
                                      "tlp", "tpl", "tadmin"}));
  EXPECT_EQ(RowOf(sheet, 2), (std::vector<std::string>{
                                 kMac2, "1_INTERNET_R_VID_100", "100", "tuser", "tpass", "", "",
                                 "Net24-2", "key24-0002", "tloid", "tlp", "tpl", "tadmin"}));
  EXPECT_EQ(sheet.rowCount(), 3);
}

TEST_F(DeviceSheetTest, SheetIsNamedByTheLocalTime) {
  state_.targetList = {kMac1};
  state_.sheetPath = DeviceSheetPath(dir_.path(), LocalTime(2025, 3, 5, 14, 7, 9));
  ASSERT_TRUE(
      CreateDeviceSheet(state_.sheetPath, state_.targetList, OneWanTemplate(), LookupIn({})));
  EXPECT_EQ(state_.sheetPath, dir_.path() / "ExcelFiels2025-03-05-14-07-09.xlsx");
  EXPECT_TRUE(std::filesystem::exists(state_.sheetPath));
}

TEST_F(DeviceSheetTest, ColumnsAreTextWithABoldFrozenHeader) {
  state_.targetList = {kMac1};
  Create(OneWanTemplate(), LookupIn({}));
  const std::string sheet = ReadZipPart(state_.sheetPath, "xl/worksheets/sheet1.xml");
  const std::string styles = ReadZipPart(state_.sheetPath, "xl/styles.xml");
  EXPECT_NE(sheet.find("ySplit=\"1\""), std::string::npos);
  EXPECT_NE(sheet.find("state=\"frozen\""), std::string::npos);
  // The first column is wide enough for its header.
  const std::string firstColumn = "<col min=\"1\" max=\"1\" width=\"";
  const auto width = sheet.find(firstColumn);
  ASSERT_NE(width, std::string::npos) << sheet;
  EXPECT_GE(std::stod(sheet.substr(width + firstColumn.size())), 37.0);
  // Text is the built-in number format 49 ("@").
  EXPECT_NE(styles.find("numFmtId=\"49\""), std::string::npos);
  EXPECT_NE(styles.find("<b/>"), std::string::npos);
}

TEST_F(DeviceSheetTest, WifiColumnsFollowTheFirstTargetsStoredNamesOnly) {
  // The first device reported no names (blanks only); a later one did.
  state_.targetList = {kMac1, kMac2};
  const XlsxReader without = Create(
      OneWanTemplate(), LookupIn({{kMac1, Stored(kMac1, "  ", "", "", "")},
                                  {kMac2, Stored(kMac2, "Net24-2", "key24-0002", "n5", "k5")}}));
  EXPECT_FALSE(WifiColumnsFlag());
  EXPECT_EQ(without.cell(0, 5), "loid");
  EXPECT_EQ(without.columnCount(), 9);

  // A 5 GHz name alone is enough.
  const XlsxReader with =
      Create(OneWanTemplate(), LookupIn({{kMac1, Stored(kMac1, "", "", "Net5", "k")}}));
  EXPECT_TRUE(WifiColumnsFlag());
  EXPECT_EQ(with.cell(0, 5), "ssid_5g");

  // A device the store does not know counts as one without names.
  Create(OneWanTemplate(), LookupIn({}));
  EXPECT_FALSE(WifiColumnsFlag());
}

TEST_F(DeviceSheetTest, HeaderFollowsTheTemplateEntries) {
  DeviceFieldRecord t = OneWanTemplate();
  t.wanCount = 2;
  t.WanName[1] = "2_TR069";
  t.vid[1] = "0";
  t.ChannelMode[1] = "1";
  EXPECT_EQ(SheetHeaderTexts(t, false),
            (std::vector<std::string>{kMacHeader, WanNameHeader(1), "vid1", "pppUser1",
                                      "pppPassword1", WanNameHeader(2), "loid", "loidPassword",
                                      "ploamPassword", "loginPassword"}));
  DeviceFieldRecord none;
  none.dualBand = true;
  EXPECT_EQ(SheetHeaderTexts(none, false)[1], "loid");
  EXPECT_EQ(SheetHeaderTexts(none, true)[1], "ssid_5g");
  none.dualBand = false;
  EXPECT_EQ(SheetHeaderTexts(none, true)[1], "ssid_2.4g");
  // Never more than ten WAN groups, whatever the template claims.
  DeviceFieldRecord many;
  many.wanCount = 12;
  EXPECT_EQ(SheetHeaderTexts(many, false).size(), 1u + 10 + 4);
}

TEST_F(DeviceSheetTest, ASheetThatCannotBeSavedGivesANote) {
  state_.targetList = {kMac1};
  const auto folder = dir_.path() / "missing";
  state_.sheetPath = DeviceSheetPath(folder);
  EXPECT_FALSE(CreateDeviceSheet(state_.sheetPath, state_.targetList, OneWanTemplate(),
                                 LookupIn({}), &note_));
  EXPECT_EQ(state_.sheetPath.parent_path(), folder);
  EXPECT_TRUE(note_.starts_with("Failed to save the excel file!")) << note_;
  EXPECT_FALSE(std::filesystem::exists(state_.sheetPath));
}

TEST_F(DeviceSheetTest, AllTenWanGroupsRoundTrip) {
  DeviceFieldRecord t;
  t.wanCount = 10;
  for (int w = 0; w < 10; ++w) {
    t.WanName[w] = "wan" + std::to_string(w + 1);
    t.vid[w] = w % 3 == 0 ? "0" : std::to_string(100 + w);
    t.ChannelMode[w] = w % 2 == 0 ? "2" : "1";
    t.pppUser[w] = "user" + std::to_string(w + 1);
    t.pppPassword[w] = "pass" + std::to_string(w + 1);
  }
  t.loginPassword = "admin";
  state_.targetList = {kMac1, kMac2};
  Create(t, LookupIn({{kMac1, Stored(kMac1, "n24", "key24key24", "", "")}}));
  ASSERT_TRUE(Read());
  ASSERT_EQ(state_.sheetRows.size(), 2u);
  for (const DeviceFieldRecord& row : state_.sheetRows) {
    EXPECT_EQ(row.wanCount, 10);
    for (int w = 0; w < 10; ++w) {
      EXPECT_EQ(row.WanName[w], t.WanName[w]);
      EXPECT_EQ(row.columns.vid[w], w % 3 != 0) << w;
      EXPECT_EQ(row.vid[w], w % 3 != 0 ? t.vid[w] : "") << w;
      EXPECT_EQ(row.columns.ppp[w], w % 2 == 0) << w;
      EXPECT_EQ(row.pppUser[w], w % 2 == 0 ? t.pppUser[w] : "") << w;
      EXPECT_EQ(row.pppPassword[w], w % 2 == 0 ? t.pppPassword[w] : "") << w;
    }
    EXPECT_FALSE(row.columns.wifi5g);  // single band template
    EXPECT_TRUE(row.columns.wifi24g);
    EXPECT_TRUE(row.columns.accounts);
    EXPECT_EQ(row.loginPassword, "admin");
  }
  EXPECT_EQ(state_.sheetRows[0].mac, kMac1);
  EXPECT_EQ(state_.sheetRows[0].ssid_24g, "n24");
  EXPECT_EQ(state_.sheetRows[1].mac, kMac2);
  EXPECT_EQ(state_.sheetRows[1].ssid_24g, "");
}

TEST_F(DeviceSheetTest, TextsSurviveTheSheetUnchanged) {
  DeviceFieldRecord t = OneWanTemplate();
  // A literal escape-like text, markup characters, blanks and a long value.
  t.pppUser[0] = "a_x0041_b";
  t.pppPassword[0] = "<&\"'>";
  t.loid = "  padded  ";
  t.loginPassword = std::string(300, 'x');
  state_.targetList = {kMac1};
  Create(t, LookupIn({}));
  ASSERT_TRUE(Read());
  ASSERT_EQ(state_.sheetRows.size(), 1u);
  const DeviceFieldRecord& row = state_.sheetRows[0];
  EXPECT_EQ(row.pppUser[0], "a_x0041_b");
  EXPECT_EQ(row.pppPassword[0], "<&\"'>");
  EXPECT_EQ(row.loid, "  padded  ");
  EXPECT_EQ(row.loginPassword, std::string(300, 'x'));
}

TEST_F(DeviceSheetTest, WifiColumnsAreKnownByTheirHeaderNotByTheFlag) {
  state_.targetList = {kMac1};
  Create(OneWanTemplate(),
         LookupIn({{kMac1, Stored(kMac1, "n24", "key24key24", "n5", "key5key5")}}));
  // A sheet made in an earlier run: the flag is clear now.
  SetWifiColumnsFlag(false);
  ASSERT_TRUE(Read());
  ASSERT_EQ(state_.sheetRows.size(), 1u);
  const DeviceFieldRecord& row = state_.sheetRows[0];
  EXPECT_TRUE(row.columns.wifi5g);
  EXPECT_TRUE(row.columns.wifi24g);
  EXPECT_EQ(row.ssid_5g, "n5");
  EXPECT_EQ(row.wlanPsk_24g, "key24key24");
  EXPECT_EQ(row.loid, "tloid");
  EXPECT_EQ(row.loginPassword, "tadmin");

  // And a sheet without them, read while the flag is set, has none.
  Create(OneWanTemplate(), LookupIn({}));
  SetWifiColumnsFlag(true);
  ASSERT_TRUE(Read());
  EXPECT_FALSE(state_.sheetRows[0].columns.wifi5g);
  EXPECT_FALSE(state_.sheetRows[0].columns.wifi24g);
  EXPECT_EQ(state_.sheetRows[0].loid, "tloid");
}

struct HeaderCase {
  const char* what;
  std::vector<std::string> header;
  bool readable;
  int wanCount;
};

TEST_F(DeviceSheetTest, HeaderVariants) {
  DeviceFieldRecord t = OneWanTemplate();
  t.wanCount = 2;
  t.vid[1] = "0";
  t.ChannelMode[1] = "1";
  const std::vector<std::string> accounts = {"loid", "loidPassword", "ploamPassword",
                                             "loginPassword"};
  const auto with = [&](std::vector<std::string> head) {
    head.insert(head.end(), accounts.begin(), accounts.end());
    return head;
  };
  const HeaderCase cases[] = {
      {"both groups",
       with({kMacHeader, WanNameHeader(1), "vid1", "pppUser1", "pppPassword1", WanNameHeader(2)}),
       true, 2},
      {"second group missing",
       with({kMacHeader, WanNameHeader(1), "vid1", "pppUser1", "pppPassword1"}), true, 1},
      {"no groups", with({kMacHeader}), true, 0},
      {"WanName prefix only", with({"mac", "WanName1", "vid1", "pppUser1", "pppPassword1"}), true,
       1},
      {"MAC in capitals", with({"MAC", WanNameHeader(1), "vid1", "pppUser1", "pppPassword1"}),
       false, 0},
      // The count would stop at 0 and every later cell be read off by columns.
      {"vid1 with a trailing blank",
       with({kMacHeader, WanNameHeader(1), "vid1 ", "pppUser1", "pppPassword1"}), false, 0},
      {"pppPassword1 missing", with({kMacHeader, WanNameHeader(1), "vid1", "pppUser1"}), false, 0},
      {"account column missing", {kMacHeader, "loid", "loidPassword", "ploamPassword"}, false, 0},
      {"half a Wi-Fi pair", with({kMacHeader, "ssid_2.4g"}), false, 0},
  };
  for (const auto& c : cases) {
    const auto file = dir_.path() / "variant.xlsx";
    std::vector<std::string> data(c.header.size(), "");
    data[0] = kMac1;
    WriteInlineSheet(file, {c.header, data});
    state_.sheetPath = file;
    state_.templateFields = t;
    state_.sheetRows = {DeviceFieldRecord{}};
    const bool readable = Read();
    EXPECT_EQ(readable, c.readable) << c.what;
    if (readable) {
      ASSERT_EQ(state_.sheetRows.size(), 1u) << c.what;
      EXPECT_EQ(state_.sheetRows[0].wanCount, c.wanCount) << c.what;
      EXPECT_TRUE(state_.sheetRows[0].columns.accounts) << c.what;
    }
  }
}

TEST_F(DeviceSheetTest, MoreWanGroupsThanTheRecordHoldsAreRefused) {
  DeviceFieldRecord t;
  t.wanCount = 10;
  std::vector<std::string> header = {kMacHeader};
  for (int w = 1; w <= 11; ++w)
    header.push_back(WanNameHeader(w));
  for (const char* name : {"loid", "loidPassword", "ploamPassword", "loginPassword"})
    header.push_back(name);
  WriteInlineSheet(dir_.path() / "wide.xlsx", {header, {kMac1}});
  state_.sheetPath = dir_.path() / "wide.xlsx";
  state_.templateFields = t;
  EXPECT_FALSE(Read());
}

TEST_F(DeviceSheetTest, EveryRowUpToTheFirstEmptyOneIsRead) {
  DeviceFieldRecord t;  // no WAN entries
  const std::vector<std::string> header = {kMacHeader, "loid", "loidPassword", "ploamPassword",
                                           "loginPassword"};
  WriteInlineSheet(dir_.path() / "rows.xlsx", {header,
                                               {kMac3, "", "", "", "p3"},
                                               {kMac1, "", "", "", "p1"},
                                               {"", "", "", "", "only a password"},
                                               {kMac2, "", "", "", "p2"},
                                               {"", "", "", "", ""},
                                               {kMac2, "stray", "", "", ""}});
  state_.sheetPath = dir_.path() / "rows.xlsx";
  state_.templateFields = t;
  ASSERT_TRUE(Read());
  ASSERT_EQ(state_.sheetRows.size(), 4u);
  EXPECT_EQ(state_.sheetRows[0].mac, kMac3);
  EXPECT_EQ(state_.sheetRows[2].loginPassword, "only a password");
  EXPECT_EQ(state_.sheetRows[3].mac, kMac2);
  EXPECT_EQ(state_.sheetRows[3].loginPassword, "p2");

  state_.sheetPath = dir_.path() / "absent.xlsx";
  EXPECT_FALSE(Read());
}

TEST_F(DeviceSheetTest, SheetsSavedBySpreadsheetApplicationsAreRead) {
  DeviceFieldRecord t = OneWanTemplate();
  t.wanCount = 2;
  t.vid[1] = "0";
  t.ChannelMode[1] = "1";
  for (const char* fixture : {"openpyxl_sheet.xlsx", "libreoffice_sheet.xlsx"}) {
    SCOPED_TRACE(fixture);
    state_.sheetPath = Fixture(fixture);
    state_.templateFields = t;
    state_.targetList = {kMac1, kMac2};
    ASSERT_TRUE(Read());
    // The stray row after the empty one is not read, so kMac2 has one row.
    ASSERT_EQ(state_.sheetRows.size(), 2u);
    SheetRowMatch match = MatchSheetRows(state_.targetList, state_.sheetRows);
    ASSERT_EQ(match.outcome, SheetRowMatch::Matched);
    state_.sheetRows = std::move(match.rows);
    const DeviceFieldRecord& first = state_.sheetRows[0];
    const DeviceFieldRecord& second = state_.sheetRows[1];
    EXPECT_EQ(first.mac, " c8:3a:35:00:00:01 ");
    EXPECT_EQ(first.vid[0], "100");
    EXPECT_EQ(first.pppUser[0], "user1@isp");
    EXPECT_EQ(first.pppPassword[0], "pw 1");
    EXPECT_EQ(first.ssid_24g, "net24-1");
    EXPECT_EQ(second.mac, kMac2);
    EXPECT_EQ(second.vid[0], "200");  // typed as a number
    EXPECT_EQ(second.ssid_5g, "Caf\xC3\xA9-5G-2");
    EXPECT_EQ(second.loginPassword, "12345678");  // typed as a number
    EXPECT_EQ(second.ploamPassword, "");
    EXPECT_EQ(second.wanCount, 2);
    EXPECT_FALSE(second.columns.vid[1]);
    EXPECT_TRUE(second.columns.wifi5g);
    for (const DeviceFieldRecord& row : state_.sheetRows)
      EXPECT_EQ(FirstRuleFailure(row), std::nullopt);
  }
}

DeviceFieldRecord RowFor(const std::string& mac, const std::string& login) {
  DeviceFieldRecord row;
  row.mac = mac;
  row.loginPassword = login;
  return row;
}

TEST(SheetRowMatch, RowsAreMatchedToTargetsByMac) {
  const std::vector<DeviceFieldRecord> rows = {RowFor("c8:3a:35:00:00:02", "second"),
                                               RowFor("11:22:33:44:55:66", "not a target"),
                                               RowFor(" C8:3A:35:00:00:01\t", "first")};
  SheetRowMatch match = MatchSheetRows({kMac1, kMac2}, rows);
  EXPECT_EQ(match.outcome, SheetRowMatch::Matched);
  ASSERT_EQ(match.rows.size(), 2u);
  EXPECT_EQ(match.rows[0].loginPassword, "first");
  EXPECT_EQ(match.rows[1].loginPassword, "second");

  // Three targets, two rows: the third has none.
  match = MatchSheetRows({kMac1, kMac3, kMac2}, rows);
  EXPECT_EQ(match.outcome, SheetRowMatch::Missing);
  EXPECT_EQ(match.mac, kMac3);
  EXPECT_TRUE(match.rows.empty());

  std::vector<DeviceFieldRecord> twice = rows;
  twice.push_back(RowFor("C8:3A:35:00:00:02", "again"));
  match = MatchSheetRows({kMac1, kMac2}, twice);
  EXPECT_EQ(match.outcome, SheetRowMatch::Duplicate);
  EXPECT_EQ(match.mac, kMac2);

  // Two rows of a device that is not a target do not matter.
  twice.push_back(RowFor("11:22:33:44:55:66", "again"));
  EXPECT_EQ(MatchSheetRows({kMac1}, twice).outcome, SheetRowMatch::Matched);
}

}  // namespace
}  // namespace brevant
