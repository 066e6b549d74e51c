#include "ini/ini_document.h"

#include <gtest/gtest.h>

#include <array>

#include "support/temp_dir.h"

namespace brevant {
namespace {

using testing::ReadBytes;
using testing::TempDir;

struct LoadCase {
  const char* name;
  std::string text;
  // Expected content written as the saved form, "" for no sections.
  std::string saved;
};

class IniLoadTest : public ::testing::TestWithParam<LoadCase> {};

TEST_P(IniLoadTest, ParsesToExpectedContent) {
  TempDir dir;
  const auto path = dir.Write("t.ini", GetParam().text).string();
  CIniDocument doc;
  ASSERT_TRUE(doc.Load(path)) << doc.LastErrorText();
  EXPECT_EQ(doc.LastErrorText(), "");
  ASSERT_TRUE(doc.Save((dir / "out.ini").string()));
  EXPECT_EQ(ReadBytes(dir / "out.ini"), GetParam().saved);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, IniLoadTest,
    ::testing::Values(
        LoadCase{"Empty", "", ""}, LoadCase{"OnlyComments", "; one\n# two\n\n", ""},
        LoadCase{"TrimmedKeyAndValue", "[s]\n  name = a b  \n", "[s]\r\nname=a b\r\n\r\n"},
        LoadCase{"TabsTrimmed", "[s]\n\tk\t=\tv\t\n", "[s]\r\nk=v\r\n\r\n"},
        LoadCase{"SplitAtFirstEquals", "[s]\na=b=c\n", "[s]\r\na=b=c\r\n\r\n"},
        LoadCase{"EmptyKeyIgnored", "[s]\n=x\n", "[s]\r\n\r\n"},
        LoadCase{"EmptyValueKept", "[s]\nkey=\n", "[s]\r\nkey=\r\n\r\n"},
        LoadCase{"SpacesInsideBrackets", "[ x ]\nk=v\n", "[ x ]\r\nk=v\r\n\r\n"},
        LoadCase{"UnclosedHeaderIgnored", "[s]\n[x\nk=v\n", "[s]\r\nk=v\r\n\r\n"},
        LoadCase{"UnclosedHeaderWithEqualsIsKey", "[s]\n[x=1\n", "[s]\r\n[x=1\r\n\r\n"},
        LoadCase{"CaseMakesSectionsDiffer", "[X]\n[x]\n", "[X]\r\n\r\n[x]\r\n\r\n"},
        LoadCase{"KeysBeforeHeaderDropped", "a=1\n[s]\nb=2\n", "[s]\r\nb=2\r\n\r\n"},
        LoadCase{"KeysUnderEmptyNameDropped", "[]\na=1\n", "[]\r\n\r\n"},
        LoadCase{"ByteOrder", "[b]\n[a]\n[B]\n", "[B]\r\n\r\n[a]\r\n\r\n[b]\r\n\r\n"},
        LoadCase{"NoInlineComments", "[s]\nk=v ; not a comment\n",
                 "[s]\r\nk=v ; not a comment\r\n\r\n"},
        LoadCase{"CrLfInput", "[s]\r\nk=v\r\n", "[s]\r\nk=v\r\n\r\n"},
        LoadCase{"LastLineWithoutEnd", "[s]\nk=v", "[s]\r\nk=v\r\n\r\n"},
        LoadCase{"LaterKeyReplaces", "[s]\nk=1\nk=2\n", "[s]\r\nk=2\r\n\r\n"},
        LoadCase{"ByteOrderMarkBreaksFirstHeader", "\xEF\xBB\xBF[s]\nk=v\n[t]\nq=1\n",
                 "[t]\r\nq=1\r\n\r\n"},
        LoadCase{"UnsignedByteOrder", "[\xC3\xA9]\n[z]\n", "[z]\r\n\r\n[\xC3\xA9]\r\n\r\n"}),
    [](const auto& param) { return std::string(param.param.name); });

TEST(IniDocument, DuplicateSectionFailsWithPhysicalLineNumberAndEmptiesContent) {
  TempDir dir;
  const auto path = dir.Write("dup.ini", "[x]\na=1\n; c\n\n[y]\nb=2\n[x]\nc=3\n").string();
  CIniDocument doc;
  doc.SetValue("keep", "k", "v");
  EXPECT_FALSE(doc.Load(path));
  EXPECT_EQ(doc.LastErrorText(), "Duplicate section \"x\" found at line 7");
  EXPECT_TRUE(doc.GetSectionNames().empty());
}

TEST(IniDocument, MissingFileKeepsContentAndNamesThePath) {
  TempDir dir;
  CIniDocument doc;
  ASSERT_TRUE(doc.Load(dir.Write("a.ini", "[a]\nk=v\n").string()));
  const std::string missing = (dir / "nope.ini").string();
  EXPECT_FALSE(doc.Load(missing));
  EXPECT_EQ(doc.LastErrorText(), "Cannot open file: " + missing);
  EXPECT_EQ(doc.GetValue("a", "k", "-"), "v");
  // A folder or an endless device is no file either.
  EXPECT_FALSE(doc.Load(dir.path().string()));
  EXPECT_FALSE(doc.Load("/dev/zero"));
  EXPECT_EQ(doc.GetValue("a", "k", "-"), "v");
}

TEST(IniDocument, LookupsEditsAndRemoval) {
  CIniDocument doc;
  EXPECT_EQ(doc.GetValue("s", "k", "dflt"), "dflt");
  doc.SetValue("s", "k", "1");
  doc.SetValue("s", "k", "2");
  EXPECT_EQ(doc.GetValue("s", "k", "dflt"), "2");
  EXPECT_EQ(doc.GetValue("s", "K", "dflt"), "dflt");  // keys are case-sensitive
  EXPECT_EQ(doc.GetValue("S", "k", "dflt"), "dflt");
  EXPECT_TRUE(doc.FindSection("s"));
  EXPECT_EQ(doc.RemoveSection("s"), 1);
  EXPECT_EQ(doc.RemoveSection("s"), 0);
  EXPECT_FALSE(doc.FindSection("s"));
}

TEST(IniDocument, LoadThenSaveDropsCommentsAndSortsKeys) {
  TempDir dir;
  const auto path =
      dir.Write("t.ini",
                "; header comment\n[tpl]\nSwitchOn=1\nACName=ac one\n\n# x\nPrimaryDns=8.8.8.8\n")
          .string();
  CIniDocument doc;
  ASSERT_TRUE(doc.Load(path));
  ASSERT_TRUE(doc.Save(path));
  EXPECT_EQ(ReadBytes(path), "[tpl]\r\nACName=ac one\r\nPrimaryDns=8.8.8.8\r\nSwitchOn=1\r\n\r\n");
}

TEST(IniDocument, SaveToUnwritablePlaceFailsAndKeepsContent) {
  TempDir dir;
  CIniDocument doc;
  doc.SetValue("s", "k", "v");
  EXPECT_FALSE(doc.Save((dir / "missing-folder" / "c.ini").string()));
  EXPECT_EQ(doc.GetValue("s", "k", ""), "v");
  EXPECT_EQ(doc.LastErrorText(), "");
}

TEST(IniDocument, SaveRefusesWhatWouldNotReadBackAndKeepsTheFile) {
  TempDir dir;
  const auto file = dir.Write("t.ini", "[a]\r\nk=v\r\n\r\n");
  using namespace std::string_literals;
  const std::array<std::array<std::string, 3>, 4> cases = {{
      {"b\nc", "k", "v"},
      {"b", "k\n", "v"},
      {"b", "k=x", "v"},
      {"b", "k", "v\n[a]"},
  }};
  for (const auto& [section, key, value] : cases) {
    CIniDocument document;
    ASSERT_TRUE(document.Load(file.string()));
    document.SetValue(section, key, value);
    EXPECT_FALSE(document.Save(file.string())) << section << "/" << key << "/" << value;
    EXPECT_EQ(ReadBytes(file), "[a]\r\nk=v\r\n\r\n");
  }
  // A CR or a NUL inside reads back as it was written.
  CIniDocument document;
  document.SetValue("c\rd", "k", "v\r\0w"s);
  ASSERT_TRUE(document.Save(file.string()));
  CIniDocument reloaded;
  ASSERT_TRUE(reloaded.Load(file.string()));
  EXPECT_EQ(reloaded.GetValue("c\rd", "k", ""), "v\r\0w"s);
}

TEST(IniDocument, SaveReportsAFullDisk) {
  // /dev/full accepts the open and fails every write: a full disk.
  if (!std::filesystem::exists("/dev/full"))
    GTEST_SKIP() << "no /dev/full here";
  CIniDocument doc;
  doc.SetValue("s", "k", "v");
  EXPECT_FALSE(doc.Save("/dev/full"));
}

}  // namespace
}  // namespace brevant
