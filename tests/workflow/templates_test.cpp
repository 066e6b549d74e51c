#include "workflow/antitheft_templates.h"

#include <gtest/gtest.h>

#include "fake_operator_port.h"
#include "support/temp_dir.h"

namespace brevant {
namespace {

using testing::FakeOperatorPort;
using testing::ReadBytes;
using testing::TempDir;

class TemplatesTest : public ::testing::Test {
 protected:
  void SetUp() override { file_ = dir_.Write("IniTemplate/Config.ini", ""); }
  TempDir dir_;
  std::filesystem::path file_;
  FakeOperatorPort port_;
};

TEST_F(TemplatesTest, SaveWritesTheFourKeysInByteOrderAndOffClearsTheTexts) {
  ASSERT_TRUE(SaveTemplate(file_, "site A", {true, "ac", "e.g. 8.8.8.8", "1.1.1.1"}, port_));
  ASSERT_TRUE(SaveTemplate(file_, "off", {false, "hidden", "9.9.9.9", "8.8.8.8"}, port_));
  EXPECT_TRUE(port_.notes.empty());
  EXPECT_EQ(ReadBytes(file_),
            "[off]\r\nACName=\r\nPrimaryDns=\r\nSecondaryDns=\r\nSwitchOn=0\r\n\r\n"
            "[site A]\r\nACName=ac\r\nPrimaryDns=e.g. "
            "8.8.8.8\r\nSecondaryDns=1.1.1.1\r\nSwitchOn=1\r\n\r\n");
}

TEST_F(TemplatesTest, SaveRefusesEmptyAndExistingNamesAndUnreadableFiles) {
  ASSERT_TRUE(SaveTemplate(file_, "x", {true, "a", "", ""}, port_));
  bool clear = false;
  EXPECT_FALSE(SaveTemplate(file_, "", {}, port_, &clear));
  EXPECT_FALSE(clear);
  EXPECT_FALSE(SaveTemplate(file_, "x", {}, port_, &clear));
  EXPECT_TRUE(clear);
  EXPECT_TRUE(SaveTemplate(file_, "X", {}, port_));  // letter case makes another name
  ASSERT_EQ(port_.notes.size(), 2u);
  EXPECT_EQ(port_.notes[0].text, "Please enter the Template Name!");
  EXPECT_EQ(port_.notes[1].text, "The name x has already exists.Please re-enter!");

  port_.notes.clear();
  const auto missing = dir_ / "nowhere" / "Config.ini";
  EXPECT_FALSE(SaveTemplate(missing, "y", {}, port_));
  ASSERT_EQ(port_.notes.size(), 1u);
  EXPECT_EQ(port_.notes[0].text, "Cannot open file: " + missing.string());
  EXPECT_FALSE(std::filesystem::exists(missing));

  // A duplicate section empties the document: nothing is saved over the file.
  const std::string broken = "[a]\nk=1\n[a]\n";
  dir_.Write("IniTemplate/Config.ini", broken);
  port_.notes.clear();
  EXPECT_FALSE(SaveTemplate(file_, "z", {}, port_));
  EXPECT_EQ(port_.notes.at(0).text, "Duplicate section \"a\" found at line 3");
  EXPECT_EQ(ReadBytes(file_), broken);
}

TEST_F(TemplatesTest, NamesAndValuesThatWouldBreakTheFileAreRefusedAndTheFileKept) {
  ASSERT_TRUE(SaveTemplate(file_, "kept", {true, "ac", "1.1.1.1", ""}, port_));
  const std::string before = ReadBytes(file_);
  using namespace std::string_literals;
  const struct {
    std::string name;
    TemplateValues values;
    const char* says;
  } cases[] = {
      {"two\nlines", {}, "The Template Name cannot contain control characters"},
      {"cr\r", {}, "The Template Name cannot contain control characters"},
      {"nul\0x"s, {}, "The Template Name cannot contain control characters"},
      {"tab\there", {}, "The Template Name cannot contain control characters"},
      {"[kept", {}, "or the characters [ and ]!"},
      {"a]b", {}, "or the characters [ and ]!"},
      {"ok", {true, "ac\r\nSwitchOn=0", "", ""}, "The AC Name of a template cannot contain"},
      {"ok", {true, "ac", "8.8.8.8\n", ""}, "The Primary DNS of a template cannot contain"},
      {"ok", {true, "ac", "", "1.1.1.1\0"s}, "The Secondary DNS of a template cannot contain"},
  };
  for (const auto& c : cases) {
    port_.notes.clear();
    EXPECT_FALSE(SaveTemplate(file_, c.name, c.values, port_)) << c.says;
    ASSERT_EQ(port_.notes.size(), 1u) << c.says;
    EXPECT_NE(port_.notes[0].text.find(c.says), std::string::npos) << port_.notes[0].text;
    EXPECT_EQ(ReadBytes(file_), before) << c.says;
  }
  // With the switch off the values are not saved, so they do not matter.
  EXPECT_TRUE(SaveTemplate(file_, "off", {false, "x\ny", "", ""}, port_));
  EXPECT_EQ(TemplateList(file_, port_).Names(), (std::vector<std::string>{"kept", "off"}));
}

TEST_F(TemplatesTest, LoadListsInByteOrderAndGivesEmptyValuesForNoSelection) {
  dir_.Write("IniTemplate/Config.ini",
             "[b]\nSwitchOn=1\nACName=bee\nPrimaryDns=e.g. 8.8.8.8\n[B]\nSwitchOn=yes\n[a]\n");
  TemplateList list(file_, port_);
  EXPECT_TRUE(port_.notes.empty());
  EXPECT_EQ(list.Names(), (std::vector<std::string>{"B", "a", "b"}));
  const TemplateValues b = list.Load("b");
  EXPECT_TRUE(b.switchOn);
  EXPECT_EQ(b.acName, "bee");
  EXPECT_EQ(b.primaryDns, "e.g. 8.8.8.8");
  EXPECT_EQ(b.secondaryDns, "");
  EXPECT_FALSE(list.Load("B").switchOn);  // only "1" switches on
  const TemplateValues none = list.Load("");
  EXPECT_FALSE(none.switchOn);
  EXPECT_EQ(none.acName, "");
}

TEST_F(TemplatesTest, UnreadableFileOpensAnEmptyListWithItsReason) {
  TemplateList list(dir_ / "missing.ini", port_);
  EXPECT_TRUE(list.Names().empty());
  ASSERT_EQ(port_.notes.size(), 1u);
  EXPECT_EQ(port_.notes[0].text, "Cannot open file: " + (dir_ / "missing.ini").string());
}

TEST_F(TemplatesTest, DeleteLooksTheTemplateUpByItsTrimmedName) {
  dir_.Write("IniTemplate/Config.ini", "[ padded ]\nSwitchOn=1\n[keep]\nSwitchOn=0\n[gone]\n");
  {
    TemplateList list(file_, port_);
    ASSERT_EQ(list.Names().size(), 3u);
    EXPECT_TRUE(list.Delete("gone"));
    EXPECT_TRUE(list.Delete(" padded "));
    EXPECT_EQ(list.Names(), (std::vector<std::string>{"keep"}));
  }
  // The padded one left the list but stays in the file.
  TemplateList again(file_, port_);
  EXPECT_EQ(again.Names(), (std::vector<std::string>{" padded ", "keep"}));
}

TEST_F(TemplatesTest, DeleteReportsAFileThatCannotBeWritten) {
  dir_.Write("IniTemplate/Config.ini", "[x]\nSwitchOn=1\n[y]\n");
  TemplateList list(file_, port_);
  // The file turns into a folder behind the dialog's back: nothing can be written.
  std::filesystem::remove(file_);
  std::filesystem::create_directory(file_);
  EXPECT_FALSE(list.Delete("x"));
  ASSERT_EQ(port_.notes.size(), 1u);
  EXPECT_EQ(port_.notes[0].text, "The template file could not be written: " + file_.string());
  EXPECT_EQ(list.Names(), (std::vector<std::string>{"y"}));
}

}  // namespace
}  // namespace brevant
