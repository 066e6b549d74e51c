// The brevant program as the operator starts it (on the offscreen platform):
// a second copy ends at once, and SIGTERM, SIGINT and SIGHUP end it cleanly,
// deleting its data.db. Each test runs a copy of the bundle of its own.

#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "support/temp_dir.h"

extern char** environ;

namespace brevant {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

class ProgramTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::filesystem::path source = BREVANT_BUNDLE_DIR;
    bundle_ = dir_ / "bundle";
    runtime_ = dir_ / "runtime";
    std::filesystem::create_directories(bundle_);
    std::filesystem::create_directories(runtime_);
    std::filesystem::permissions(runtime_, std::filesystem::perms::owner_all);
    std::error_code error;
    // A link where the file system allows it: the program is large.
    std::filesystem::create_hard_link(source / "brevant", bundle_ / "brevant", error);
    if (error)
      std::filesystem::copy_file(source / "brevant", bundle_ / "brevant");
    for (const char* item : {"Setting.ini", "Languages", "Skin", "Icons", "Log"}) {
      if (std::filesystem::exists(source / item))
        std::filesystem::copy(source / item, bundle_ / item,
                              std::filesystem::copy_options::recursive);
    }
  }

  void TearDown() override {
    for (pid_t pid : started_) {
      if (pid > 0 && ::waitpid(pid, nullptr, WNOHANG) == 0) {
        ::kill(pid, SIGKILL);
        ::waitpid(pid, nullptr, 0);
      }
    }
  }

  // Starts the program; its pid.
  pid_t Start() {
    std::vector<std::string> env = {
        "QT_QPA_PLATFORM=offscreen",    "XDG_RUNTIME_DIR=" + runtime_.string(),
        "HOME=" + dir_.path().string(), "LANG=C.UTF-8",
        "PATH=/usr/bin:/bin",
    };
    std::vector<char*> envp;
    for (auto& e : env)
      envp.push_back(e.data());
    envp.push_back(nullptr);
    std::string program = (bundle_ / "brevant").string();
    char* argv[] = {program.data(), nullptr};
    pid_t pid = -1;
    const int failed = ::posix_spawn(&pid, program.c_str(), nullptr, nullptr, argv, envp.data());
    EXPECT_EQ(failed, 0) << program;
    started_.push_back(failed == 0 ? pid : -1);
    return failed == 0 ? pid : -1;
  }

  // Waits for the process to end; its exit status, -1 if it did not end by
  // itself (or was ended by a signal).
  static int WaitEnd(pid_t pid, std::chrono::milliseconds limit) {
    const auto deadline = Clock::now() + limit;
    while (Clock::now() < deadline) {
      int status = 0;
      const pid_t done = ::waitpid(pid, &status, WNOHANG);
      if (done == pid)
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
      std::this_thread::sleep_for(20ms);
    }
    return -1;
  }

  static bool Running(pid_t pid) { return ::waitpid(pid, nullptr, WNOHANG) == 0; }

  // The program is up once its store exists (its signal handling is in place by then).
  bool WaitUp(pid_t pid) {
    const auto deadline = Clock::now() + 30s;
    while (Clock::now() < deadline && Running(pid)) {
      if (std::filesystem::exists(Database()))
        return true;
      std::this_thread::sleep_for(20ms);
    }
    return false;
  }

  std::filesystem::path Database() const { return bundle_ / "data.db"; }

  // The store file's inode, 0 when it is gone.
  std::uint64_t StoreIdentity() const {
    struct stat info {};
    return ::stat(Database().c_str(), &info) == 0 ? info.st_ino : 0;
  }

  testing::TempDir dir_;
  std::filesystem::path bundle_;
  std::filesystem::path runtime_;
  std::vector<pid_t> started_;
};

TEST_F(ProgramTest, ASecondCopyEndsAtOnceAndLeavesTheFirstAlone) {
  const pid_t first = Start();
  ASSERT_TRUE(WaitUp(first));
  // The first copy may still be writing its store, so its identity, not its
  // time, shows that the second copy left it alone.
  const std::uint64_t store = StoreIdentity();
  const pid_t second = Start();
  EXPECT_EQ(WaitEnd(second, 30s), 0);
  EXPECT_TRUE(Running(first));
  EXPECT_EQ(StoreIdentity(), store);
  ::kill(first, SIGTERM);
  EXPECT_EQ(WaitEnd(first, 30s), 0);
}

TEST_F(ProgramTest, TermIntAndHupEndItCleanly) {
  for (int signal : {SIGTERM, SIGINT, SIGHUP}) {
    SCOPED_TRACE(::strsignal(signal));
    const pid_t pid = Start();
    ASSERT_TRUE(WaitUp(pid));
    ASSERT_EQ(::kill(pid, signal), 0);
    EXPECT_EQ(WaitEnd(pid, 30s), 0);
    EXPECT_FALSE(std::filesystem::exists(Database()));
  }
}

}  // namespace
}  // namespace brevant
