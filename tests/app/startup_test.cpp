#include "app/startup.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <set>

#include "app/exe_dir.h"
#include "i18n/language.h"
#include "support/temp_dir.h"

namespace brevant {
namespace {

using testing::TempDir;

// Points the runtime folder at a private one so parallel tests never meet.
class RuntimeDirTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* old = std::getenv("XDG_RUNTIME_DIR");
    if (old != nullptr)
      saved_ = old;
    hadOld_ = old != nullptr;
    ::setenv("XDG_RUNTIME_DIR", dir_.path().c_str(), 1);
  }
  void TearDown() override {
    if (hadOld_) {
      ::setenv("XDG_RUNTIME_DIR", saved_.c_str(), 1);
    } else {
      ::unsetenv("XDG_RUNTIME_DIR");
    }
  }
  TempDir dir_;
  std::string saved_;
  bool hadOld_ = false;
};

TEST_F(RuntimeDirTest, SecondCopyIsRefusedUntilTheFirstEnds) {
  EXPECT_EQ(SingleInstanceGuard::LockPath("Ostrel_Brevant"),
            (dir_.path() / "Ostrel_Brevant").string());
  auto first = SingleInstanceGuard::Acquire("Ostrel_Brevant");
  ASSERT_TRUE(first.has_value());

  // Another process asks for the same guard: refused while the first holds it.
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    // Drop the inherited descriptor's lock view: a new open competes for it.
    const bool got = SingleInstanceGuard::Acquire("Ostrel_Brevant").has_value();
    ::_exit(got ? 1 : 0);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);

  first.reset();
  EXPECT_TRUE(SingleInstanceGuard::Acquire("Ostrel_Brevant").has_value());
}

TEST_F(RuntimeDirTest, StartAppCoreEndsSilentlyWhenAnotherCopyRuns) {
  TempDir exe;
  auto running = StartAppCore(exe.path(), true);
  ASSERT_TRUE(running.has_value());
  EXPECT_FALSE(StartAppCore(exe.path(), true).has_value());
  // Front ends that may run side by side do not ask for the guard.
  EXPECT_TRUE(StartAppCore(exe.path(), false).has_value());
}

TEST_F(RuntimeDirTest, StartAppCoreReadsSettingsSkinAndRaisesTheFileLimit) {
  TempDir exe;
  exe.Write("Setting.ini", "[Color]\nChildBkColor=1,2,3\n");
  // A soft limit below the hard one, as a login session gives, so raising it shows.
  struct rlimit before {};
  ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &before), 0);
  ASSERT_GT(before.rlim_max, 64u) << "no room below the hard limit";
  struct rlimit lowered = before;
  lowered.rlim_cur = 64;
  ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &lowered), 0);

  auto core = StartAppCore(exe.path(), false);
  struct rlimit after {};
  ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &after), 0);
  ::setrlimit(RLIMIT_NOFILE, &before);
  EXPECT_EQ(after.rlim_cur, before.rlim_max);
  EXPECT_EQ(after.rlim_max, before.rlim_max);
  ASSERT_TRUE(core.has_value());
  EXPECT_EQ(core->settings.childBkColor, PackColor(1, 2, 3));
  EXPECT_EQ(core->skin.Path("main_bk.png"), exe.path() / "Skin" / "main_bk.png");
  EXPECT_EQ(CurrentLanguageName(), "English");
}

TEST(SkinPaths, ListsEveryImageOnceBesideTheExecutable) {
  const auto names = SkinPaths::FileNames();
  EXPECT_EQ(names.size(), 44u);
  std::set<std::string_view> unique(names.begin(), names.end());
  EXPECT_EQ(unique.size(), names.size());
  EXPECT_TRUE(unique.count("help_normal.bmp"));
  EXPECT_EQ(SkinPaths("/opt/b").Path("select.bmp"),
            std::filesystem::path("/opt/b/Skin/select.bmp"));
}

TEST(ExecutableDirectory, IsTheFolderOfThisTestProgramWithATrailingSlash) {
  char self[4096] = {};
  ASSERT_GT(::readlink("/proc/self/exe", self, sizeof self - 1), 0);
  const std::string expected = std::filesystem::path(self).parent_path().string() + "/";
  EXPECT_EQ(ExecutableDirectoryText(), expected);
  EXPECT_EQ(DirectoryOfExecutable("/opt/brevant/brevant"), "/opt/brevant/");
  EXPECT_EQ(DirectoryOfExecutable("brevant"), "./");
}

}  // namespace
}  // namespace brevant
