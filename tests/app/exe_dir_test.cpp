#include "app/exe_dir.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <functional>
#include <vector>

#include "support/temp_dir.h"

namespace brevant {
namespace {

using testing::TempDir;
namespace fs = std::filesystem;

fs::perms Mode(const fs::path& p) {
  return fs::symlink_status(p).permissions() & fs::perms::mask;
}

// An installed copy's folder is root's: data.db goes to a folder of the user's own.
TEST(ScratchDirectory, BesideTheProgramOnlyWhenItsFolderIsWritable) {
  TempDir exe, runtime, temp;
  const unsigned me = ::geteuid();
  EXPECT_EQ(ScratchDirectoryFor(exe.path(), true, runtime.path().c_str(), me, temp.path()),
            exe.path());
  EXPECT_FALSE(fs::exists(runtime / "brevant"));

  const auto chosen =
      ScratchDirectoryFor(exe.path(), false, runtime.path().c_str(), me, temp.path());
  ASSERT_TRUE(chosen.has_value());
  EXPECT_EQ(*chosen, runtime / "brevant");
  EXPECT_EQ(Mode(*chosen), fs::perms::owner_all);
  // A second start finds it made.
  EXPECT_EQ(ScratchDirectoryFor(exe.path(), false, runtime.path().c_str(), me, temp.path()),
            chosen);
}

TEST(ScratchDirectory, WithoutAUsableRuntimeFolderTheSharedTempIsUsed) {
  TempDir exe, temp;
  const unsigned me = ::geteuid();
  const fs::path mine = temp / ("brevant-" + std::to_string(me));
  for (const char* runtime :
       {static_cast<const char*>(nullptr), "", "relative/run", "/nonexistent/run"}) {
    SCOPED_TRACE(runtime == nullptr ? "(unset)" : runtime);
    EXPECT_EQ(ScratchDirectoryFor(exe.path(), false, runtime, me, temp.path()), mine);
    EXPECT_EQ(Mode(mine), fs::perms::owner_all);
  }
}

// In the shared temp folder anyone may have taken the name first.
TEST(ScratchDirectory, AFolderThatIsNotTheUsersAloneIsRefused) {
  TempDir exe, temp, elsewhere;
  const unsigned me = ::geteuid();
  struct Case {
    const char* what;
    unsigned user;  // who asks; the test process makes the name
    std::function<void(const fs::path&)> make;
    const char* says;
  };
  const std::vector<Case> cases = {
      {"a symbolic link to a folder", me,
       [&](const fs::path& p) { fs::create_directory_symlink(elsewhere.path(), p); },
       "not a folder"},
      {"a file", me, [](const fs::path& p) { std::ofstream(p) << "x"; }, "not a folder"},
      {"a folder open to others", me,
       [](const fs::path& p) {
         fs::create_directory(p);
         fs::permissions(p, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                                fs::perms::others_read | fs::perms::others_exec);
       },
       "open to other users"},
      {"another user's folder", me + 1,
       [](const fs::path& p) {
         fs::create_directory(p);
         fs::permissions(p, fs::perms::owner_all);
       },
       "belongs to another user"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const fs::path name = temp / ("brevant-" + std::to_string(c.user));
    c.make(name);
    std::string why;
    EXPECT_EQ(ScratchDirectoryFor(exe.path(), false, nullptr, c.user, temp.path(), &why),
              std::nullopt);
    EXPECT_NE(why.find(name.string() + ": " + c.says), std::string::npos) << why;
    fs::remove_all(name);
  }
}

}  // namespace
}  // namespace brevant
