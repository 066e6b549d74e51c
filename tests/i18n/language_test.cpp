#include "i18n/language.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <latch>
#include <thread>
#include <vector>

#include "support/temp_dir.h"

namespace brevant {
namespace {

using testing::TempDir;

TEST(Lcid, PosixLocalesMapToWindowsIdentifiers) {
  const std::pair<const char*, std::uint16_t> cases[] = {
      {"en_US.UTF-8", 1033}, {"zh_CN.UTF-8", 2052}, {"zh_CN.GB18030@pinyin", 2052},
      {"zh_TW", 1028},       {"de_DE", 1031},       {"de_LU.UTF-8", 1031},
      {"C", 1033},           {"POSIX", 1033},       {"C.UTF-8", 1033},
      {"en-GB", 2057},       {"xx_YY", 0},          {"", 1033},
  };
  for (const auto& [locale, lcid] : cases)
    EXPECT_EQ(LcidFromLocaleName(locale), lcid) << locale;
}

TEST(Lcid, EnvironmentOrderIsLcAllThenLcMessagesThenLang) {
  const char* saved[3] = {std::getenv("LC_ALL"), std::getenv("LC_MESSAGES"), std::getenv("LANG")};
  const std::string keep[3] = {saved[0] ? saved[0] : "", saved[1] ? saved[1] : "",
                               saved[2] ? saved[2] : ""};
  ::setenv("LANG", "de_DE.UTF-8", 1);
  ::setenv("LC_MESSAGES", "zh_CN.UTF-8", 1);
  ::unsetenv("LC_ALL");
  EXPECT_EQ(SystemLcid(), 2052);
  ::setenv("LC_ALL", "fr_FR", 1);
  EXPECT_EQ(SystemLcid(), 1036);
  ::unsetenv("LC_ALL");
  ::unsetenv("LC_MESSAGES");
  EXPECT_EQ(SystemLcid(), 1031);
  const char* names[3] = {"LC_ALL", "LC_MESSAGES", "LANG"};
  for (int i = 0; i < 3; ++i) {
    if (saved[i]) {
      ::setenv(names[i], keep[i].c_str(), 1);
    } else {
      ::unsetenv(names[i]);
    }
  }
}

class LanguagePackTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_.Write("Languages/Language.ini",
               "[LCID]\r\n1033=English\r\n2052=Chinese\r\n1031=German\r\n");
    dir_.Write("Languages/Chinese.lng",
               "[ProgramOutStr]\r\n"
               "note=\xE6\x8F\x90\xE7\xA4\xBA\r\n"  // key in other letter case
               "Two Lines=first\\nsecond\r\n"
               "Crlf=a\\r\\nb\r\n"
               "Gone=[~NullInfoChrys~]\r\n"
               "Blank=[~Null~]\r\n"
               "Untranslated=\r\n"
               "Long=" +
                   std::string(1100, 'x') + "\r\n");
  }
  void TearDown() override { InitLanguage(dir_.path(), 1033); }
  TempDir dir_;
};

TEST_F(LanguagePackTest, DetectLanguageFallsBackToEnglish) {
  std::uint16_t id = 0;
  EXPECT_EQ(DetectLanguage(dir_.path(), 2052, &id), "Chinese");
  EXPECT_EQ(id, 2052);
  EXPECT_EQ(DetectLanguage(dir_.path(), 1041, &id), "English");
  EXPECT_EQ(id, 1033);
  TempDir empty;
  EXPECT_EQ(DetectLanguage(empty.path(), 2052, &id), "English");
}

TEST_F(LanguagePackTest, TranslateLooksUpWithoutCaseAndExpandsMarkers) {
  InitLanguage(dir_.path(), 2052);
  EXPECT_TRUE(CurrentPackUsable());
  EXPECT_EQ(CurrentPackPath(), dir_.path() / "Languages" / "Chinese.lng");
  const std::pair<const char*, std::string> cases[] = {
      {"Note", "\xE6\x8F\x90\xE7\xA4\xBA"},
      {"NOTE", "\xE6\x8F\x90\xE7\xA4\xBA"},
      {"Two Lines", "first\nsecond"},
      {"Crlf", "a\r\nb"},
      {"Gone", ""},
      {"Blank", " "},
      {"Untranslated", "Untranslated"},
      {"Missing Text", "Missing Text"},
      // Markers apply to texts without a translation too.
      {"x\\ny[~Null~]z", "x\ny z"},
  };
  for (const auto& [text, expected] : cases)
    EXPECT_EQ(Translate(text), expected) << text;
  EXPECT_EQ(Translate(std::string("Long")), std::string(1023, 'x'));
  EXPECT_EQ(Translate(static_cast<const char*>(nullptr)), "");
}

TEST_F(LanguagePackTest, MissingOrEmptyPackKeepsEnglish) {
  InitLanguage(dir_.path(), 1031);  // German listed, no German.lng
  EXPECT_EQ(CurrentLanguageName(), "German");
  EXPECT_FALSE(CurrentPackUsable());
  EXPECT_EQ(Translate("Note"), "Note");
  dir_.Write("Languages/German.lng", "");
  InitLanguage(dir_.path(), 1031);
  EXPECT_FALSE(CurrentPackUsable());
  EXPECT_EQ(Translate("Note"), "Note");
}

TEST_F(LanguagePackTest, MarkersAreReplacedInOrder) {
  // The CR LF form goes first, so its backslash-n is not read as a lone LF.
  EXPECT_EQ(ExpandPackMarkers("a\\r\\nb\\nc"), "a\r\nb\nc");
  EXPECT_EQ(ExpandPackMarkers("[~Null[~NullInfoChrys~]~]"), " ");
}

TEST_F(LanguagePackTest, TranslateIsSafeWhileThePackIsReplaced) {
  InitLanguage(dir_.path(), 2052);
  constexpr int kReaders = 4;
  constexpr long kMeetings = 200;
  std::atomic<bool> stop{false};
  std::atomic<bool> replacing{false};
  std::atomic<int> wrong{0};
  std::atomic<long> met{0};  // lookups that a replacement was under way for
  std::latch running(kReaders);
  std::vector<std::thread> readers;
  for (int t = 0; t < kReaders; ++t) {
    readers.emplace_back([&] {
      running.count_down();
      while (!stop) {
        const bool before = replacing;
        const std::string text = Translate("Note");
        if (before || replacing)
          ++met;
        if (text != "Note" && text != "\xE6\x8F\x90\xE7\xA4\xBA")
          ++wrong;
      }
    });
  }
  // Every reader is looking texts up before the first replacement, and the
  // replacements go on until the lookups have met them often enough.
  running.wait();
  const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  for (int i = 0; (i < 200 || met < kMeetings) && std::chrono::steady_clock::now() < limit; ++i) {
    replacing = true;
    InitLanguage(dir_.path(), i % 2 == 0 ? 1033 : 2052);
    replacing = false;
  }
  stop = true;
  for (auto& r : readers)
    r.join();
  EXPECT_GE(met, kMeetings) << "the lookups never met a replacement";
  EXPECT_EQ(wrong, 0);
}

TEST(ShippedPacks, MapEnglishAndSimplifiedChinese) {
  const std::filesystem::path data = std::filesystem::path(BREVANT_SOURCE_DIR) / "data";
  EXPECT_EQ(DetectLanguage(data, 1033), "English");
  EXPECT_EQ(DetectLanguage(data, 2052), "Chinese");
  InitLanguage(data, 2052);
  EXPECT_TRUE(CurrentPackUsable());
  EXPECT_NE(Translate("Operate success"), "Operate success");
  InitLanguage(data, 1033);
  EXPECT_EQ(Translate("Operate success"), "Operate success");
}

}  // namespace
}  // namespace brevant
