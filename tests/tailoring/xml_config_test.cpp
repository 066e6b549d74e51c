#include "tailoring/xml_config.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "sheet_files.h"
#include "support/temp_dir.h"

namespace brevant {
namespace {

using testing::Fixture;
using testing::ReadBytes;
using testing::TempDir;

std::size_t Lines(const std::string& text) {
  const auto feeds = static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
  return feeds + (!text.empty() && text.back() != '\n' ? 1 : 0);
}

TEST(XmlTemplate, ReadsWanEntriesAccountsAndBandLayout) {
  DeviceFieldRecord t;
  ASSERT_TRUE(ReadXmlTemplate(Fixture("config_dual.xml"), t));
  EXPECT_TRUE(t.dualBand);
  EXPECT_EQ(t.loginPassword, "admin");
  EXPECT_EQ(t.loid, "oldloid");
  EXPECT_EQ(t.loidPassword, "oldlp");
  EXPECT_EQ(t.ploamPassword, "ploam&1");  // entities decoded
  ASSERT_EQ(t.wanCount, 3);
  EXPECT_EQ(t.WanName[0], "1_INTERNET_R_VID_100");
  EXPECT_EQ(t.vid[0], "100");
  EXPECT_EQ(t.pppUser[0], "olduser1");
  EXPECT_EQ(t.pppPassword[0], "oldpass1");
  EXPECT_EQ(t.ChannelMode[0], "2");
  EXPECT_EQ(t.vid[1], "0");
  EXPECT_EQ(t.ChannelMode[1], "1");
  EXPECT_EQ(t.WanName[2], "3_OTHER");
  EXPECT_EQ(t.vid[2], "300");
  EXPECT_TRUE(t.ssid_24g.empty());  // Wi-Fi names are not read from XML

  ASSERT_TRUE(ReadXmlTemplate(Fixture("config_single.xml"), t));
  EXPECT_FALSE(t.dualBand);  // WLAN_ without WLAN1_
  EXPECT_EQ(t.wanCount, 2);
  EXPECT_EQ(t.vid[1], "20");

  EXPECT_FALSE(ReadXmlTemplate(Fixture("absent.xml"), t));
}

TEST(XmlTemplate, EntriesEndAtChannelModeAndOnlyTenAreKept) {
  std::string text = "<Value Name=\"vid\" Value=\"5\"/>\n";  // before any ATM_VC_TBL: ignored
  for (int e = 1; e <= 12; ++e) {
    text += "<chain chainName=\"ATM_VC_TBL\">\n";
    text += "<Value Name=\"WanName\" Value=\"wan" + std::to_string(e) + "\"/>\n";
    text += "<Value Name=\"ChannelMode\" Value=\"2\"/>\n";
    // After the ChannelMode line: belongs to the next entry.
    text += "<Value Name=\"vid\" Value=\"" + std::to_string(e * 10) + "\"/>\n";
  }
  const DeviceFieldRecord t = ReadXmlTemplateText(text);
  EXPECT_EQ(t.wanCount, 10);
  EXPECT_EQ(t.WanName[0], "wan1");
  EXPECT_EQ(t.vid[0], "");
  EXPECT_EQ(t.vid[1], "10");
  EXPECT_EQ(t.WanName[9], "wan10");
  EXPECT_EQ(t.vid[9], "90");
}

TEST(XmlTemplate, ValuesAreCutAtTheirEndAndDecoded) {
  const DeviceFieldRecord t = ReadXmlTemplateText(
      "<Value Name=\"SUSER_PASSWORD\" Value=\"a&amp;b&lt;&#65;&#x42;&quot;&apos;&bogus;&\"/>\r\n"
      "<Value Name=\"LOID_OLD\" Value=\"no end here\r\n"
      "<Value Name=\"GPON_PLOAM_PASSWD\" Value=\"x\"/> <Value Name=\"y\" Value=\"z\"/>\r\n");
  EXPECT_EQ(t.loginPassword, "a&b<AB\"'&bogus;&");
  EXPECT_EQ(t.loid, "");
  EXPECT_EQ(t.ploamPassword, "x");
}

// The row the dual-band fixture is rewritten with: two WAN groups, the second
// without vid and PPP columns (its template VLAN is 0).
DeviceFieldRecord DualRow() {
  DeviceFieldRecord row;
  row.mac = "C8:3A:35:A1:B2:C3";
  row.wanCount = 2;
  row.WanName[0] = "1_INTERNET_R_VID_100";
  row.vid[0] = "200";
  row.pppUser[0] = "new&user";
  row.pppPassword[0] = "p<w>\"d";
  row.columns.vid[0] = true;
  row.columns.ppp[0] = true;
  row.WanName[1] = "2_TR069_R_VID";
  row.ssid_5g = "New5";
  row.wlanPsk_5g = "newkey5";
  row.ssid_24g = "New24";
  row.wlanPsk_24g = "newkey24";
  row.loid = "L1";
  row.loidPassword = "LP1";
  row.ploamPassword = "PL1";
  row.loginPassword = "Adm&1";
  row.columns.wifi5g = true;
  row.columns.wifi24g = true;
  row.columns.accounts = true;
  return row;
}

DeviceFieldRecord SingleRow() {
  DeviceFieldRecord row;
  row.wanCount = 1;
  row.vid[0] = "11";
  row.pppUser[0] = "u1new";
  row.pppPassword[0] = "p1new";
  row.columns.vid[0] = true;
  row.columns.ppp[0] = true;
  row.ssid_24g = "S24";
  row.wlanPsk_24g = "K24-key1";
  row.loginPassword = "root";
  row.columns.wifi24g = true;
  row.columns.accounts = true;
  return row;
}

// The four escapes a value needs inside its quotes, written out here rather
// than taken from the rewriter.
std::string Escaped(const std::string& text) {
  std::string out;
  for (const char c : text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

// A source line (counted from 1) that a rule replaces: the entry it is and the
// value it takes from the row.
struct Replaced {
  int line;
  std::string entry;
  std::string value;
};

// What a rewrite must give: each replaced line becomes two blanks and the
// entry with its new value, every other line stays as it was, and every line
// ends in CR LF.
std::string Expected(const std::string& source, const std::vector<Replaced>& replaced) {
  std::vector<std::string> lines;
  std::string::size_type start = 0;
  for (std::string::size_type end; (end = source.find('\n', start)) != std::string::npos;
       start = end + 1) {
    std::string line = source.substr(start, end - start);
    if (!line.empty() && line.back() == '\r')
      line.pop_back();
    lines.push_back(line);
  }
  if (start < source.size())
    lines.push_back(source.substr(start));
  for (const auto& r : replaced) {
    std::string& line = lines.at(static_cast<std::size_t>(r.line - 1));
    // The table must point at the entry it names.
    EXPECT_NE(line.find("<Value Name=\"" + r.entry + "\" Value"), std::string::npos)
        << "line " << r.line << " is " << line;
    line = "  <Value Name=\"" + r.entry + "\" Value=\"" + Escaped(r.value) + "\"/>";
  }
  std::string text;
  for (const auto& line : lines)
    text += line + "\r\n";
  return text;
}

// config_dual.xml rewritten with DualRow, rule by rule.
std::string DualExpected() {
  const DeviceFieldRecord row = DualRow();
  return Expected(ReadBytes(Fixture("config_dual.xml")),
                  {
                      // First in both layouts: each account entry from its field; the
                      // entries with and without _OLD take the same one.
                      {3, "SUSER_PASSWORD", row.loginPassword},
                      {4, "LOID", row.loid},
                      {5, "LOID_PASSWD", row.loidPassword},
                      {6, "LOID_OLD", row.loid},
                      {7, "LOID_PASSWD_OLD", row.loidPassword},
                      {8, "GPON_PLOAM_PASSWD", row.ploamPassword},
                      // Dual band: the first SSID takes the 5 GHz name; the second (line 10) stays.
                      {9, "SSID", row.ssid_5g},
                      {11, "WSC_PSK", row.wlanPsk_5g},
                      {12, "WLAN_WPA_PSK", row.wlanPsk_5g},
                      {13, "WLAN1_SSID", row.ssid_24g},
                      {14, "WLAN1_WPA_PSK", row.wlanPsk_24g},
                      {15, "WLAN1_WSC_PSK", row.wlanPsk_24g},
                      // WLAN_MBSSIB_TBL is the 5 GHz network up to its wpaPSK; the ssid
                      // after that (line 21) stays.
                      {18, "ssid", row.ssid_5g},
                      {19, "wscPsk", row.wlanPsk_5g},
                      {20, "wpaPSK", row.wlanPsk_5g},
                      // WLAN1_MBSSIB_TBL is the 2.4 GHz network.
                      {24, "ssid", row.ssid_24g},
                      {25, "wpaPSK", row.wlanPsk_24g},
                      // WAN entry 1 takes group 1's VLAN and PPP account (line 29 had a
                      // tab in front); WanName and ChannelMode stay. Group 2 has no vid or
                      // PPP column, so entry 2 keeps the file's values; entry 3 is past
                      // the row's two groups.
                      {29, "vid", row.vid[0]},
                      {30, "pppUser", row.pppUser[0]},
                      {31, "pppPasswd", row.pppPassword[0]},
                  });
}

TEST(XmlRewrite, DualBandFileFollowsEveryRule) {
  TempDir dir;
  ASSERT_TRUE(RewriteXml(true, DualRow(), Fixture("config_dual.xml"), dir / "out.xml"));
  const std::string out = ReadBytes(dir / "out.xml");
  EXPECT_EQ(out, DualExpected());
  EXPECT_EQ(Lines(out), Lines(ReadBytes(Fixture("config_dual.xml"))));
  // What was written reads back as the row's values.
  const DeviceFieldRecord back = ReadXmlTemplateText(out);
  EXPECT_EQ(back.pppPassword[0], "p<w>\"d");
  EXPECT_EQ(back.loginPassword, "Adm&1");
}

TEST(XmlRewrite, SingleBandFileFollowsEveryRule) {
  const DeviceFieldRecord row = SingleRow();
  const std::string expected =
      Expected(ReadBytes(Fixture("config_single.xml")),
               {
                   {2, "SUSER_PASSWORD", row.loginPassword},
                   // The sheet has the account columns: an empty cell writes an empty value.
                   {3, "GPON_PLOAM_PASSWD", row.ploamPassword},
                   // Single band: the first WLAN_WPA_PSK and the first ssid anywhere
                   // take the 2.4 GHz network; the second of each (lines 6 and 7) stays.
                   {4, "WLAN_WPA_PSK", row.wlanPsk_24g},
                   {5, "ssid", row.ssid_24g},
                   // The first WLAN_MBSSIB_TBL up to its wpaPSK; the ssid after that
                   // and the second table stay.
                   {9, "wscPsk", row.wlanPsk_24g},
                   {10, "ssid", row.ssid_24g},
                   {11, "wpaPSK", row.wlanPsk_24g},
                   // The row has one WAN group: entry 1 only.
                   {19, "vid", row.vid[0]},
                   {20, "pppUser", row.pppUser[0]},
                   {21, "pppPasswd", row.pppPassword[0]},
               });
  TempDir dir;
  ASSERT_TRUE(RewriteXml(false, row, Fixture("config_single.xml"), dir / "out.xml"));
  const std::string out = ReadBytes(dir / "out.xml");
  EXPECT_EQ(out, expected);
  EXPECT_EQ(Lines(out), Lines(ReadBytes(Fixture("config_single.xml"))));
}

TEST(XmlRewrite, FieldsWithoutAColumnKeepTheFilesLines) {
  const std::string source = ReadBytes(Fixture("config_dual.xml"));
  DeviceFieldRecord row = DualRow();
  row.columns = SheetColumns{};  // a row that came from no column at all
  std::string expected = source;
  std::string::size_type at = 0;
  while ((at = expected.find('\n', at)) != std::string::npos) {
    expected.insert(at, "\r");
    at += 2;
  }
  EXPECT_EQ(RewriteXmlText(true, row, source), expected);

  // Wi-Fi names untouched when the sheet had no Wi-Fi columns; accounts set.
  row = DualRow();
  row.columns.wifi5g = row.columns.wifi24g = false;
  const std::string out = RewriteXmlText(true, row, source);
  EXPECT_NE(out.find("\r\n<Value Name=\"SSID\" Value=\"Net5\"/>\r\n"), std::string::npos);
  EXPECT_NE(out.find("\r\n<Value Name=\"wpaPSK\" Value=\"tblwpa24\"/>\r\n"), std::string::npos);
  EXPECT_NE(out.find("\r\n  <Value Name=\"LOID\" Value=\"L1\"/>\r\n"), std::string::npos);
}

TEST(XmlRewrite, WanEntriesOpenOnlyUpToTheRowsGroupCount) {
  const std::string source =
      "<chain chainName=\"ATM_VC_TBL\">\n"
      "<Value Name=\"vid\" Value=\"1\"/>\n"
      "<Value Name=\"ChannelMode\" Value=\"2\"/>\n"
      "<Value Name=\"vid\" Value=\"between\"/>\n"
      "<chain chainName=\"ATM_VC_TBL\">\n"
      "<Value Name=\"vid\" Value=\"2\"/>\n"
      "<Value Name=\"ChannelMode\" Value=\"2\"/>\n"
      "<Value Name=\"vid\" Value=\"after\"/>\n";
  DeviceFieldRecord row;
  row.vid = {"100", "200"};
  row.columns.vid = {true, true};
  const auto rewrite = [&](int groups) {
    row.wanCount = groups;
    return RewriteXmlText(false, row, source);
  };
  EXPECT_EQ(rewrite(2),
            "<chain chainName=\"ATM_VC_TBL\">\r\n"
            "  <Value Name=\"vid\" Value=\"100\"/>\r\n"
            "<Value Name=\"ChannelMode\" Value=\"2\"/>\r\n"
            "  <Value Name=\"vid\" Value=\"100\"/>\r\n"  // still entry 1 until the next table line
            "<chain chainName=\"ATM_VC_TBL\">\r\n"
            "  <Value Name=\"vid\" Value=\"200\"/>\r\n"
            "<Value Name=\"ChannelMode\" Value=\"2\"/>\r\n"
            "<Value Name=\"vid\" Value=\"after\"/>\r\n");
  EXPECT_EQ(rewrite(1),
            "<chain chainName=\"ATM_VC_TBL\">\r\n"
            "  <Value Name=\"vid\" Value=\"100\"/>\r\n"
            "<Value Name=\"ChannelMode\" Value=\"2\"/>\r\n"
            "<Value Name=\"vid\" Value=\"between\"/>\r\n"
            "<chain chainName=\"ATM_VC_TBL\">\r\n"
            "<Value Name=\"vid\" Value=\"2\"/>\r\n"
            "<Value Name=\"ChannelMode\" Value=\"2\"/>\r\n"
            "<Value Name=\"vid\" Value=\"after\"/>\r\n");
  std::string unchanged = source;
  for (std::size_t at = 0; (at = unchanged.find('\n', at)) != std::string::npos; at += 2)
    unchanged.insert(at, "\r");
  EXPECT_EQ(rewrite(0), unchanged);
}

TEST(XmlRewrite, LineCountAndLineEndsAreKept) {
  const std::pair<std::string, std::string> cases[] = {
      {"", ""},
      {"\n", "\r\n"},
      {"a", "a\r\n"},
      {"a\r\nb\r\n", "a\r\nb\r\n"},
      {"a\n\nb", "a\r\n\r\nb\r\n"},
      {"a\r\r\n", "a\r\r\n"},  // only the CR of a CR LF belongs to the line end
  };
  for (const auto& [source, expected] : cases)
    EXPECT_EQ(RewriteXmlText(true, DualRow(), source), expected) << source;
}

TEST(XmlRewrite, EscapingKeepsTheFileWellFormed) {
  EXPECT_EQ(EscapeXmlValue("a&b<c>d\"e'f"), "a&amp;b&lt;c&gt;d&quot;e'f");
  EXPECT_EQ(EscapeXmlValue("line\r\nbreak\ttab\x01"), "line&#13;&#10;break&#9;tab&#1;");
  // A value with line breaks keeps its entry on one line, and reads back whole.
  DeviceFieldRecord row;
  row.loginPassword = "one\ntwo\r\n";
  row.columns.accounts = true;
  const std::string out =
      RewriteXmlText(false, row, "a\n<Value Name=\"SUSER_PASSWORD\" Value=\"x\"/>\nb\n");
  EXPECT_EQ(Lines(out), 3u);
  EXPECT_EQ(ReadXmlTemplateText(out).loginPassword, "one\ntwo\r\n");
  EXPECT_EQ(DecodeXmlEntities(EscapeXmlValue("&amp; <\">")), "&amp; <\">");
  EXPECT_EQ(DecodeXmlEntities("&#0;&#x110000;&#xD800;&#12a;"), "&#0;&#x110000;&#xD800;&#12a;");
  EXPECT_EQ(DecodeXmlEntities("&#x4E2D;&#20013;"), "\xE4\xB8\xAD\xE4\xB8\xAD");
}

TEST(XmlRewrite, UnreadableSourceOrUnwritableOutputFails) {
  TempDir dir;
  EXPECT_FALSE(RewriteXml(true, DualRow(), dir / "absent.xml", dir / "out.xml"));
  EXPECT_FALSE(std::filesystem::exists(dir / "out.xml"));
  EXPECT_FALSE(RewriteXml(true, DualRow(), Fixture("config_dual.xml"), dir / "no" / "out.xml"));
}

class DeviceXmlTest : public ::testing::Test {
 protected:
  void SetUp() override { std::filesystem::create_directory(dir_ / "ModifyXml"); }
  bool Write(const std::filesystem::path& folder, const DeviceFieldRecord& row = DualRow()) {
    return WriteDeviceXml(source_, row, "C8:3A:35:A1:B2:C3", folder, &written_, &note_);
  }
  TempDir dir_;
  DeviceFileSource source_{Fixture("config_dual.xml"), false, true};
  std::filesystem::path written_;
  std::string note_;
};

TEST_F(DeviceXmlTest, WithASheetTheDeviceGetsItsRewrittenFile) {
  source_.tailored = true;
  ASSERT_TRUE(Write(dir_ / "ModifyXml"));
  EXPECT_EQ(written_, dir_ / "ModifyXml" / "C83A35A1B2C3.xml");
  EXPECT_EQ(ReadBytes(written_), DualExpected());
  EXPECT_TRUE(note_.empty());
}

TEST_F(DeviceXmlTest, WithoutASheetTheDeviceGetsACopy) {
  ASSERT_TRUE(Write(dir_ / "ModifyXml", DeviceFieldRecord{}));
  EXPECT_EQ(ReadBytes(dir_ / "ModifyXml" / "C83A35A1B2C3.xml"),
            ReadBytes(Fixture("config_dual.xml")));
}

TEST_F(DeviceXmlTest, TheCopyOfAReadOnlyFileCanBeRewrittenLater) {
  // Operators sharing ModifyXml/ rewrite each other's copies: a copy must not
  // take the mode of a chosen file that nobody may write.
  const auto chosen = dir_.Write("chosen.xml", ReadBytes(Fixture("config_dual.xml")));
  std::filesystem::permissions(chosen, std::filesystem::perms::owner_read);
  source_.chosen = chosen;
  ASSERT_TRUE(Write(dir_ / "ModifyXml", DeviceFieldRecord{}));
  const auto copy = dir_ / "ModifyXml" / "C83A35A1B2C3.xml";
  EXPECT_NE(std::filesystem::status(copy).permissions() & std::filesystem::perms::owner_write,
            std::filesystem::perms::none);
  EXPECT_EQ(ReadBytes(copy), ReadBytes(chosen));
}

TEST_F(DeviceXmlTest, AFileThatCannotBeMadeGivesANote) {
  source_.tailored = true;
  EXPECT_FALSE(Write(dir_ / "missing"));
  EXPECT_EQ(written_, dir_ / "missing" / "C83A35A1B2C3.xml");
  EXPECT_EQ(note_, "Modify New Xml file fail!");

  source_.tailored = false;
  EXPECT_FALSE(Write(dir_ / "missing"));
  EXPECT_TRUE(note_.starts_with("Failed to copy the configuration file!")) << note_;

  source_.chosen = dir_ / "absent.xml";
  note_.clear();
  EXPECT_FALSE(Write(dir_ / "ModifyXml"));
  EXPECT_FALSE(note_.empty());
}

}  // namespace
}  // namespace brevant
