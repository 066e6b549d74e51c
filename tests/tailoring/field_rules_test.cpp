#include "tailoring/field_rules.h"

#include <gtest/gtest.h>

#include <functional>

#include "i18n/language.h"
#include "support/temp_dir.h"
#include "text/text.h"

namespace brevant {
namespace {

using testing::TempDir;

std::string Repeat(std::string_view unit, int count) {
  std::string text;
  for (int i = 0; i < count; ++i)
    text += unit;
  return text;
}

const std::string kCjk = "\xE4\xB8\xAD";        // U+4E2D
const std::string kAccent = "\xC3\xA9";         // U+00E9
const std::string kEmoji = "\xF0\x9F\x98\x80";  // U+1F600, a surrogate pair

TEST(FieldRules, Utf8LengthCountsPerCodeUnit) {
  EXPECT_EQ(Utf8Length(u""), 0u);
  EXPECT_EQ(Utf8Length(Utf8ToUtf16("a" + kAccent + kCjk)), 6u);
  // Each half of a surrogate pair counts three.
  EXPECT_EQ(Utf8Length(Utf8ToUtf16(kEmoji)), 6u);
  EXPECT_EQ(Utf8Length(u"\u007F\u0080\u07FF\u0800"), 1u + 2 + 2 + 3);
}

TEST(FieldRules, ChineseCharactersAreTheIdeographRangeAndThirtyThreeMarks) {
  int marks = 0;
  for (char32_t c = 0; c <= 0xFFFF; ++c) {
    if (IsChineseCharacter(static_cast<char16_t>(c)) && (c < 0x4E00 || c > 0x9FA5))
      ++marks;
  }
  EXPECT_EQ(marks, 33);
  for (const char16_t c : {0x4E00, 0x9FA5, 0x00B7, 0x3008, 0x3011, 0xFF0C, 0xFF1A, 0xFFE5})
    EXPECT_TRUE(IsChineseCharacter(c)) << std::hex << int(c);
  for (const char16_t c : {0x4DFF, 0x9FA6, 0x3007, 0x3012, 0x002C, 0x00E9})
    EXPECT_FALSE(IsChineseCharacter(c)) << std::hex << int(c);
}

TEST(FieldRules, VlanIdReadsLikeAtoiAndMustLieIn1To4094) {
  const std::pair<const char*, bool> cases[] = {
      {"1", true},    {"4094", true}, {"0", false},  {"4095", false}, {" 12", true},
      {"12ab", true}, {"", false},    {"ab", false}, {"-5", false},   {"99999999999", false},
  };
  for (const auto& [text, valid] : cases)
    EXPECT_EQ(IsValidVlanId(text), valid) << '"' << text << '"';
}

struct TextCase {
  const char* rule;
  std::function<bool(std::u16string_view)> test;
  std::string text;
  bool valid;
};

TEST(FieldRules, TextRulesHoldTheirBounds) {
  const TextCase cases[] = {
      {"pppUser", IsValidPppUser, Repeat("a", 63), true},
      {"pppUser", IsValidPppUser, Repeat("a", 64), false},
      {"pppUser", IsValidPppUser, Repeat(kCjk, 21), true},  // 63 UTF-8 bytes
      {"pppUser", IsValidPppUser, Repeat(kCjk, 22), false},
      {"pppUser", IsValidPppUser, "", false},
      {"pppUser", IsValidPppUser, "user name", true},
      {"pppPassword", IsValidPppPassword, Repeat("p", 29), true},
      {"pppPassword", IsValidPppPassword, Repeat("p", 30), false},
      {"pppPassword", IsValidPppPassword, "with blanks ok", true},
      {"pppPassword", IsValidPppPassword, "paren(", false},
      {"pppPassword", IsValidPppPassword, "", false},
      {"ssid", IsValidSsid, Repeat("s", 32), true},
      {"ssid", IsValidSsid, Repeat("s", 33), false},
      {"ssid", IsValidSsid, Repeat(kAccent, 16), true},
      {"ssid", IsValidSsid, Repeat(kAccent, 17), false},
      {"ssid", IsValidSsid, "my net", false},
      {"ssid", IsValidSsid, "net" + kCjk, false},
      {"ssid", IsValidSsid, "net\xEF\xBC\x8C", false},  // full-width comma
      {"ssid", IsValidSsid, kEmoji, true},
      {"ssid", IsValidSsid, "", false},
      {"wpaKey", IsValidWpaKey, Repeat("k", 7), false},
      {"wpaKey", IsValidWpaKey, Repeat("k", 8), true},
      {"wpaKey", IsValidWpaKey, Repeat("k", 63), true},
      {"wpaKey", IsValidWpaKey, Repeat("k", 64), false},
      {"wpaKey", IsValidWpaKey, "abcdefg'", false},
      {"wpaKey", IsValidWpaKey, "abcdefg\"", false},
      {"wpaKey", IsValidWpaKey, "abcdefg\\", false},
      {"wpaKey", IsValidWpaKey, "abcdefg" + kAccent, false},
      {"wpaKey", IsValidWpaKey, "with blank", true},
      {"loid", IsValidLoid, "", true},
      {"loid", IsValidLoid, Repeat("L", 24), true},
      {"loid", IsValidLoid, Repeat("L", 25), false},
      {"loid", IsValidLoid, "lo?id", false},
      {"loid", IsValidLoid, "lo id", false},
      {"loid", IsValidLoid, "a!#$%&'()*+,-./:;<=>@", true},
      {"loid", IsValidLoid, "[\\]^_`{|}~", true},
      {"loid", IsValidLoid, "lo" + kCjk, false},
      {"loidPassword", IsValidLoidPassword, "", true},
      {"loidPassword", IsValidLoidPassword, Repeat("p", 12), true},
      {"loidPassword", IsValidLoidPassword, Repeat("p", 14), false},
      {"loidPassword", IsValidLoidPassword, "a-._/:@b", true},
      {"loidPassword", IsValidLoidPassword, "a!b", false},
      {"ploamPassword", IsValidPloamPassword, "", false},
      {"ploamPassword", IsValidPloamPassword, Repeat("9", 10), true},
      {"ploamPassword", IsValidPloamPassword, Repeat("9", 11), false},
      {"ploamPassword", IsValidPloamPassword, "ab cd", false},
      {"loginPassword", IsValidLoginPassword, "", false},
      {"loginPassword", IsValidLoginPassword, Repeat("x", 30), true},
      {"loginPassword", IsValidLoginPassword, Repeat("x", 31), false},
      {"loginPassword", IsValidLoginPassword, "ab cd", false},
      {"loginPassword", IsValidLoginPassword, "ab" + kAccent, false},
      {"loginPassword", IsValidLoginPassword, "!\"#'<>\\", true},
  };
  for (const auto& c : cases)
    EXPECT_EQ(c.test(Utf8ToUtf16(c.text)), c.valid) << c.rule << " \"" << c.text << '"';
}

TEST(FieldRules, EveryPppMarkIsRefusedInUserAndPassword) {
  for (const char mark : std::string("\"&'();<>\\`|")) {
    const std::u16string text = u"ab" + std::u16string(1, mark) + u"cd";
    EXPECT_FALSE(IsValidPppUser(text)) << mark;
    EXPECT_FALSE(IsValidPppPassword(text)) << mark;
  }
  EXPECT_TRUE(IsValidPppUser(u"a@b.c-d_e!#$%*+,/:=?[]^{}~"));
}

// A row that passes every rule, with every column present and two WAN groups.
DeviceFieldRecord GoodRow() {
  DeviceFieldRecord row;
  row.mac = "C8:3A:35:A1:B2:C3";
  row.wanCount = 2;
  for (int w = 0; w < 2; ++w) {
    row.WanName[w] = "wan" + std::to_string(w + 1);
    row.vid[w] = "10" + std::to_string(w);
    row.pppUser[w] = "user" + std::to_string(w + 1);
    row.pppPassword[w] = "secret";
    row.columns.vid[w] = true;
    row.columns.ppp[w] = true;
  }
  row.ssid_5g = "net5";
  row.wlanPsk_5g = "key5key5";
  row.ssid_24g = "net24";
  row.wlanPsk_24g = "key24key24";
  row.loid = "loid1";
  row.loidPassword = "pw";
  row.ploamPassword = "";
  row.loginPassword = "admin";
  row.columns.wifi5g = true;
  row.columns.wifi24g = true;
  row.columns.accounts = true;
  return row;
}

std::string FirstFailureOf(const DeviceFieldRecord& row) {
  const auto failure = FirstRuleFailure(row);
  return failure ? *failure : std::string("(passes)");
}

TEST(FieldRules, FieldsAreTestedInTheFixedOrder) {
  DeviceFieldRecord row = GoodRow();
  ASSERT_FALSE(FirstRuleFailure(row));
  // Everything broken at once; mending one field at a time must walk the order.
  row.vid = {"0", "4095"};
  row.pppUser = {"", ""};
  row.pppPassword = {"", ""};
  row.ssid_5g = row.ssid_24g = "a b";
  row.wlanPsk_5g = row.wlanPsk_24g = "short";
  row.loid = "a?";
  row.loidPassword = "bad!";
  row.ploamPassword = "a b";
  row.loginPassword = "";
  const std::vector<std::pair<std::string, std::function<void()>>> steps = {
      {"vid1 value:0", [&] { row.vid[0] = "1"; }},
      {"pppUser1 ", [&] { row.pppUser[0] = "u"; }},
      {"pppPassword1 ", [&] { row.pppPassword[0] = "p"; }},
      {"vid2 value:4095", [&] { row.vid[1] = "2"; }},
      {"pppUser2 ", [&] { row.pppUser[1] = "u"; }},
      {"pppPassword2 ", [&] { row.pppPassword[1] = "p"; }},
      {"ssid_5g ", [&] { row.ssid_5g = "n5"; }},
      {"ssid_2.4g ", [&] { row.ssid_24g = "n24"; }},
      {"wlanPsk_5g ", [&] { row.wlanPsk_5g = "12345678"; }},
      {"wlanPsk_2.4g ", [&] { row.wlanPsk_24g = "12345678"; }},
      {"loidis ", [&] { row.loid = ""; }},
      {"loidPassword is", [&] { row.loidPassword = "pw"; }},
      {"to set loidPassword", [&] { row.loid = "loid"; }},
      {"ploamPassword ", [&] { row.ploamPassword = "ok"; }},
      {"loginPassword ", [&] { row.loginPassword = "admin"; }},
  };
  for (const auto& [expected, mend] : steps) {
    const std::string message = FirstFailureOf(row);
    EXPECT_NE(message.find("The MAC:C8:3A:35:A1:B2:C3 " + expected), std::string::npos)
        << "expected " << expected << ", got " << message;
    mend();
  }
  EXPECT_FALSE(FirstRuleFailure(row));
}

TEST(FieldRules, ControlCharactersAreRefusedInEveryFieldWithItsMessage) {
  using namespace std::string_literals;
  // The device reads a Wi-Fi key up to a NUL: "1234567" NUL "x" would pass as
  // 9 characters and arrive as 7. Tabs and line breaks break the file.
  const std::string controls[] = {"\t"s, "\r"s, "\n"s, "\0"s, "\x1F"s, "\x7F"s, "\xC2\x85"s};
  const std::vector<
      std::pair<std::string, std::function<void(DeviceFieldRecord&, const std::string&)>>>
      fields = {
          {"vid1 ", [](DeviceFieldRecord& r, const std::string& c) { r.vid[0] = "12" + c; }},
          {"pppUser2 ",
           [](DeviceFieldRecord& r, const std::string& c) { r.pppUser[1] = "u" + c + "v"; }},
          {"pppPassword1 ",
           [](DeviceFieldRecord& r, const std::string& c) { r.pppPassword[0] = "p" + c; }},
          {"ssid_5g ", [](DeviceFieldRecord& r, const std::string& c) { r.ssid_5g = "net" + c; }},
          {"ssid_2.4g ",
           [](DeviceFieldRecord& r, const std::string& c) { r.ssid_24g = c + "net"; }},
          {"wlanPsk_5g ",
           [](DeviceFieldRecord& r, const std::string& c) { r.wlanPsk_5g = "1234567" + c + "x"; }},
          {"wlanPsk_2.4g ",
           [](DeviceFieldRecord& r, const std::string& c) { r.wlanPsk_24g = "12345678" + c; }},
          {"loidis ", [](DeviceFieldRecord& r, const std::string& c) { r.loid = "lo" + c; }},
          {"loidPassword is",
           [](DeviceFieldRecord& r, const std::string& c) { r.loidPassword = c + "pw"; }},
          {"ploamPassword ",
           [](DeviceFieldRecord& r, const std::string& c) { r.ploamPassword = "pl" + c; }},
          {"loginPassword ",
           [](DeviceFieldRecord& r, const std::string& c) { r.loginPassword = "admin" + c; }},
      };
  for (const auto& [field, put] : fields) {
    for (const std::string& control : controls) {
      DeviceFieldRecord row = GoodRow();
      put(row, control);
      EXPECT_NE(FirstFailureOf(row).find("The MAC:C8:3A:35:A1:B2:C3 " + field), std::string::npos)
          << field << " with " << ::testing::PrintToString(control);
    }
  }
  // Non-breaking spaces and other characters past the controls stay allowed
  // where the rule allows non-ASCII text.
  DeviceFieldRecord row = GoodRow();
  row.pppUser[0] = "user\xC2\xA0one";
  row.ssid_24g = "caf\xC3\xA9";
  EXPECT_FALSE(FirstRuleFailure(row)) << FirstFailureOf(row);
}

TEST(FieldRules, MessagesAreExact) {
  DeviceFieldRecord row = GoodRow();
  row.vid[0] = "12ab";
  row.vid[1] = "0x5";
  EXPECT_EQ(FirstFailureOf(row),
            "The MAC:C8:3A:35:A1:B2:C3 vid2 value:0 is invalid. Please check that the following "
            "rules are met:VLAN ID must be an integer ranging from 1 to 4094!");

  row = GoodRow();
  row.pppUser[1] = "a<b";
  EXPECT_EQ(FirstFailureOf(row),
            "The MAC:C8:3A:35:A1:B2:C3 pppUser2 is invalid. Please check that the following rules "
            "are met:userName must contain 1 to 63 characters, except special characters "
            "&`()|\\<>;'\"");

  row = GoodRow();
  row.pppPassword[0] = "";
  EXPECT_EQ(FirstFailureOf(row),
            "The MAC:C8:3A:35:A1:B2:C3 pppPassword1 is invalid. Please check that the following "
            "rules are met:must contain 1 to 29 characters, except special characters "
            "&`()|\\<>;'\"");

  row = GoodRow();
  row.ssid_5g = "";
  EXPECT_EQ(FirstFailureOf(row),
            "The MAC:C8:3A:35:A1:B2:C3 ssid_5g is invalid. Please check that the following rules "
            "are met:ssid_5G must contain 1 to 32 UTF-8 bytes.except Chinese or empty!");

  row = GoodRow();
  row.ssid_24g = kCjk;
  EXPECT_EQ(FirstFailureOf(row),
            "The MAC:C8:3A:35:A1:B2:C3 ssid_2.4g is invalid. Please check that the following "
            "rules are met:ssid_2.4G must contain 1 to 32 UTF-8 bytes.except Chinese or empty!");

  row = GoodRow();
  row.wlanPsk_5g = "";
  EXPECT_EQ(FirstFailureOf(row),
            "The MAC:C8:3A:35:A1:B2:C3 wlanPsk_5g is invalid. Please check that the following "
            "rules are met:wlanPsk_5G must contain 8 to 63 ASCII characters, except special "
            "characters \\ ' \" ");

  row = GoodRow();
  row.wlanPsk_24g = "";
  EXPECT_EQ(FirstFailureOf(row),
            "The MAC:C8:3A:35:A1:B2:C3 wlanPsk_2.4g is invalid. Please check that the following "
            "rules are met\xEF\xBC\x9AwlanPsk_2.4G must contain 8 to 63 ASCII characters, except "
            "special characters \\ ' \" ");

  row = GoodRow();
  row.loid = Repeat("L", 25);
  EXPECT_EQ(FirstFailureOf(row),
            "The MAC:C8:3A:35:A1:B2:C3 loidis is invalid. Please check that the following rules "
            "are met\xEF\xBC\x9Aloid contains a maximum of 24 characters, including digits, "
            "uppercase and lowercase letters, and special characters  "
            "`~!@#$%^&*()_+-=[]\\{}|;':\"<>,./");

  row = GoodRow();
  row.loidPassword = Repeat("p", 14);
  EXPECT_EQ(FirstFailureOf(row),
            "The MAC:C8:3A:35:A1:B2:C3 loidPassword is invalid. Please check that the following "
            "rules are met\xEF\xBC\x9Ato enter the loidPassword, you must first enter loid;The "
            "'loidPassword' support 12 characters, including digits, letters, and special "
            "characters.:-_/@;");

  row = GoodRow();
  row.loid = "";
  EXPECT_EQ(FirstFailureOf(row),
            "The MAC:C8:3A:35:A1:B2:C3 to set loidPassword, you must set loid first.");

  row = GoodRow();
  row.ploamPassword = "with blank";
  EXPECT_EQ(FirstFailureOf(row),
            "The MAC:C8:3A:35:A1:B2:C3 ploamPassword is invalid. Please check that the following "
            "rules are met\xEF\xBC\x9AploamPassword must contain 1 to 10 characters, including "
            "digits, letters, and special characters .:-_/@");

  row = GoodRow();
  row.loginPassword = Repeat("x", 31);
  EXPECT_EQ(FirstFailureOf(row),
            "The MAC:C8:3A:35:A1:B2:C3 loginPassword is invalid. Please check that the following "
            "rules are met\xEF\xBC\x9AloginPassword must contain 1 to 30 ASCII characters without "
            "spaces,not allowed blank space!");
}

TEST(FieldRules, OnlyFieldsWithAColumnAreTested) {
  DeviceFieldRecord row = GoodRow();
  row.columns.wifi5g = row.columns.wifi24g = false;
  row.ssid_5g = row.ssid_24g = row.wlanPsk_5g = row.wlanPsk_24g = "";
  row.columns.vid[1] = false;
  row.vid[1] = "";
  row.columns.ppp[0] = false;
  row.pppUser[0] = row.pppPassword[0] = "";
  EXPECT_FALSE(FirstRuleFailure(row));
  // A WAN group past the row's count is never looked at.
  row.wanCount = 1;
  row.vid[1] = "0";
  row.columns.vid[1] = true;
  EXPECT_FALSE(FirstRuleFailure(row));
  // The account fields are always tested.
  row.columns.accounts = false;
  row.loginPassword = "";
  EXPECT_TRUE(FirstRuleFailure(row));
}

TEST(FieldRules, PatternsAreTranslatedBeforeFilling) {
  TempDir dir;
  dir.Write("Languages/Language.ini", "[LCID]\r\n2052=Chinese\r\n");
  dir.Write("Languages/Chinese.lng",
            "[ProgramOutStr]\r\n"
            "The MAC:%s ssid_5g is invalid. Please check that the following rules are "
            "met:ssid_5G must contain 1 to 32 UTF-8 bytes.except Chinese or empty!=5G %s bad\r\n"
            "The MAC:%s vid%d value:%d is invalid. Please check that the following rules are "
            "met:VLAN ID must be an integer ranging from 1 to 4094!=VID %s %d %d\r\n"
            "The MAC:%s loidis is invalid. Please check that the following rules are "
            "met\xEF\xBC\x9Aloid contains a maximum of 24 characters, including digits, uppercase "
            "and lowercase letters, and special characters=LOID %s chars\r\n");
  InitLanguage(dir.path(), 2052);
  DeviceFieldRecord row = GoodRow();
  row.ssid_5g = "";
  const std::string ssidMessage = FirstFailureOf(row);
  row = GoodRow();
  row.vid[0] = "0";
  const std::string vidMessage = FirstFailureOf(row);
  row = GoodRow();
  row.loid = Repeat("l", 25);
  const std::string loidMessage = FirstFailureOf(row);
  TempDir empty;
  InitLanguage(empty.path(), 1033);
  const std::string englishLoid = FirstFailureOf(row);

  EXPECT_EQ(ssidMessage, "5G C8:3A:35:A1:B2:C3 bad");
  EXPECT_EQ(vidMessage, "VID C8:3A:35:A1:B2:C3 1 0");
  // The loid's list of characters holds "=", which no pack key can: it follows the translation.
  EXPECT_EQ(loidMessage, "LOID C8:3A:35:A1:B2:C3 chars  `~!@#$%^&*()_+-=[]\\{}|;':\"<>,./");
  EXPECT_TRUE(englishLoid.ends_with("and special characters  `~!@#$%^&*()_+-=[]\\{}|;':\"<>,./"))
      << englishLoid;
}

TEST(FieldRules, AWholeOverlongCellNeverPasses) {
  // A cell far past any width: the rule sees all of it.
  DeviceFieldRecord row = GoodRow();
  row.pppUser[0] = Repeat("a", 200);
  EXPECT_TRUE(FirstFailureOf(row).find("pppUser1") != std::string::npos);
  row = GoodRow();
  row.ssid_24g = Repeat("s", 32) + " ";
  EXPECT_TRUE(FirstFailureOf(row).find("ssid_2.4g") != std::string::npos);
}

}  // namespace
}  // namespace brevant
