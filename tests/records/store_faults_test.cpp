// The store when the disk under it fails: a full file system, one that is or
// turns read-only, a file that vanishes. Every operation answers with its
// failure value or keeps working; nothing crashes; the list's polling goes on
// and shows what was written.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sched.h>
#include <spawn.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <thread>

#include "records/status_store.h"
#include "support/temp_dir.h"

extern char** environ;

namespace brevant {
namespace {

using namespace std::chrono_literals;

std::string Mac(int i) {
  char text[18];
  std::snprintf(text, sizeof text, "C8:3A:35:00:%02X:%02X", (i >> 8) & 0xff, i & 0xff);
  return text;
}

DiscoveredDevice Device(int i) {
  return {Mac(i),
          "2025-03-05 10:00:00",
          std::string(32, 's'),
          std::string(32, 't'),
          std::string(63, 'k'),
          std::string(63, 'q')};
}

// What the device list gets from one round of its polling: the rows, then
// each row's verdict, written back into the row.
struct Polled {
  bool listed = false;
  std::vector<ap_info_stu> rows;
  int count = 0, ok = 0, failed = 0;
  std::vector<DeviceResult> verdicts;
  int resultsWritten = 0;
};

Polled Poll(CSqlManagement& store) {
  Polled p;
  p.listed = store.QueryDevices(true, SORT_BY_MAC, "", p.rows, p.count, p.ok, p.failed);
  for (const auto& row : p.rows) {
    p.verdicts.push_back(store.EvaluateDevice(row.mac));
    p.resultsWritten += store.SetResult(row.mac, p.verdicts.back()) ? 1 : 0;
  }
  return p;
}

template <class Predicate>
bool Eventually(Predicate predicate, std::chrono::milliseconds limit = 10000ms) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (!predicate()) {
    if (std::chrono::steady_clock::now() >= deadline)
      return false;
    std::this_thread::sleep_for(1ms);
  }
  return true;
}

// Runs a program (no shell), its output discarded; its exit status, or -1.
int RunQuietly(const std::vector<std::string>& arguments) {
  std::vector<char*> argv;
  for (const auto& a : arguments)
    argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  pid_t pid = -1;
  const int spawned = ::posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  int status = 0;
  if (spawned != 0 || ::waitpid(pid, &status, 0) != pid)
    return -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// A file system of the test's own, mounted in a mount namespace of its own:
// nothing outside sees it, and it goes when the process goes.
class OwnFileSystemTest : public ::testing::Test {
 protected:
  // Empty when the namespace is made, else why the test cannot run.
  std::string EnterMountNamespace() {
    if (::geteuid() != 0)
      return "needs root: the test mounts a file system of its own";
    if (::unshare(CLONE_NEWNS) != 0)
      return std::string("unshare: ") + std::strerror(errno);
    if (::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
      return std::string("mount --make-rprivate /: ") + std::strerror(errno);
    return {};
  }
  void TearDown() override {
    if (mounted_ && ::umount2(dir_.path().c_str(), 0) != 0)
      ::umount2(dir_.path().c_str(), MNT_DETACH);
  }
  testing::TempDir dir_;
  bool mounted_ = false;
};

// A small tmpfs.
class TinyFileSystemTest : public OwnFileSystemTest {
 protected:
  void SetUp() override {
    if (const std::string why = EnterMountNamespace(); !why.empty())
      GTEST_SKIP() << why;
    ASSERT_EQ(::mount("tmpfs", dir_.path().c_str(), "tmpfs", 0, "size=192k"), 0)
        << std::strerror(errno);
    mounted_ = true;
  }
};

TEST_F(TinyFileSystemTest, AFullDiskFailsWritesAndLeavesReadsWorking) {
  CSqlManagement store(dir_ / "data.db");
  ASSERT_TRUE(store.IsOpen());
  int stored = 0;
  while (stored < 20000 && store.InsertOrUpdateDevice(Device(stored)))
    ++stored;
  ASSERT_LT(stored, 20000) << "the file system never filled up";
  ASSERT_GT(stored, 10);

  // The row that did not fit is not there; the ones before it are whole.
  ap_info_stu row;
  EXPECT_TRUE(store.GetDevice(Mac(stored), row));
  EXPECT_EQ(row.mac, "");
  const Polled polled = Poll(store);
  ASSERT_TRUE(polled.listed);
  ASSERT_EQ(polled.count, stored);
  ASSERT_EQ(polled.rows.size(), static_cast<std::size_t>(stored));
  EXPECT_EQ(polled.rows.front().mac, Mac(0));
  EXPECT_EQ(polled.rows.back().mac, Mac(stored - 1));
  EXPECT_EQ(polled.rows.back().key5, std::string(63, 'q'));
  for (const DeviceResult verdict : polled.verdicts)
    EXPECT_EQ(verdict, RESULT_IDLE);
  // Whatever fitted of the written verdicts, the rows are still there whole.
  const Polled again = Poll(store);
  EXPECT_EQ(again.count, stored);
  EXPECT_EQ(again.rows.back().key5, std::string(63, 'q'));
}

TEST_F(TinyFileSystemTest, AReadOnlyFolderLeavesTheStoreClosedAndEveryOperationFailing) {
  ASSERT_EQ(::mount(nullptr, dir_.path().c_str(), nullptr, MS_REMOUNT | MS_RDONLY, "size=192k"), 0)
      << std::strerror(errno);
  CSqlManagement store(dir_ / "data.db");
  EXPECT_FALSE(store.IsOpen());
  EXPECT_FALSE(store.InsertOrUpdateDevice(Device(1)));
  EXPECT_FALSE(store.SetParaStatus(Mac(1), OPERATING));
  EXPECT_FALSE(store.SetTransferStatus(1, Mac(1), TRANSMIT_FINISH));
  EXPECT_FALSE(store.SetResult(Mac(1), RESULT_BUSY));
  EXPECT_FALSE(store.ResetStatuses());
  EXPECT_FALSE(store.DeleteAllDevices());
  EXPECT_EQ(store.EvaluateDevice(Mac(1)), RESULT_IDLE);
  ap_info_stu row;
  EXPECT_FALSE(store.GetDevice("", row));
  const Polled polled = Poll(store);
  EXPECT_FALSE(polled.listed);
  EXPECT_TRUE(polled.rows.empty());
  EXPECT_EQ(polled.count, 0);
}

// ext4 on a loop device, mounted with errors=remount-ro: the kernel's own
// error path (/sys/fs/ext4/<device>/trigger_fs_error) turns it read-only
// under open files, as it does when a disk fails.
class FailingDiskTest : public OwnFileSystemTest {
 protected:
  void SetUp() override {
    if (const std::string why = EnterMountNamespace(); !why.empty())
      GTEST_SKIP() << why;
    if (!std::filesystem::exists("/dev/loop-control"))
      GTEST_SKIP() << "needs loop devices (/dev/loop-control)";
    const auto disk = imageDir_.Write("disk.img", "");
    std::filesystem::resize_file(disk, 8 * 1024 * 1024);
    if (const int status = RunQuietly({"mkfs.ext4", "-q", "-F", disk.string()}); status != 0)
      GTEST_SKIP() << "needs mkfs.ext4 (e2fsprogs): it ended with " << status;
    if (const int status = RunQuietly({"mount", "-t", "ext4", "-o", "loop,errors=remount-ro",
                                       disk.string(), dir_.path().string()});
        status != 0) {
      GTEST_SKIP() << "needs a loop device: mount -o loop ended with " << status;
    }
    mounted_ = true;
    // The loop device the mount took.
    std::ifstream mounts("/proc/self/mounts");
    for (std::string line; std::getline(mounts, line);) {
      std::istringstream fields(line);
      std::string source, target;
      fields >> source >> target;
      if (target == dir_.path().string())
        device_ = std::filesystem::path(source).filename().string();
    }
    ASSERT_FALSE(device_.empty()) << "no mount on " << dir_.path();
  }

  bool TurnReadOnly() {
    std::ofstream trigger("/sys/fs/ext4/" + device_ + "/trigger_fs_error");
    trigger << "1\n";
    trigger.close();
    return trigger.good();
  }

  testing::TempDir imageDir_;
  std::string device_;
};

TEST_F(FailingDiskTest, TurningReadOnlyMidRunFailsWritesAndPollingShowsWhatWasWritten) {
  CSqlManagement store(dir_ / "data.db");
  ASSERT_TRUE(store.IsOpen());
  constexpr int kDevices = 3;
  for (int i = 0; i < kDevices; ++i)
    ASSERT_TRUE(store.InsertOrUpdateDevice(Device(i)));

  // Jobs write their statuses while the disk fails under them. Each device's
  // last status that the store reported written is what the list must show.
  std::atomic<bool> stop{false};
  std::atomic<int> written{0};
  std::atomic<int> refused{0};
  std::atomic<bool> writtenAfterRefusal{false};
  std::array<std::atomic<std::int32_t>, kDevices> last{};
  std::thread writer([&] {
    for (int n = 0; !stop; ++n) {
      const int i = n % kDevices;
      const std::int32_t code = (n / kDevices) % 2 == 0 ? TRANSMIT_FINISH : OPERATING;
      if (store.SetParaStatus(Mac(i), code)) {
        last[i] = code;
        ++written;
        writtenAfterRefusal = writtenAfterRefusal || refused > 0;
      } else {
        ++refused;
      }
    }
  });
  const bool wrote = Eventually([&] { return written >= 60; });
  const bool turned = wrote && TurnReadOnly();
  const bool refusing = turned && Eventually([&] { return refused >= 60; });
  stop = true;
  writer.join();
  ASSERT_TRUE(wrote) << "no statuses written";
  ASSERT_TRUE(turned) << "cannot trigger an error on " << device_;
  ASSERT_TRUE(refusing) << "writes still succeed on the read-only disk: " << written;
  EXPECT_FALSE(writtenAfterRefusal) << "a write succeeded after the disk turned read-only";

  EXPECT_FALSE(store.SetParaStatus(Mac(0), OPERATE_SUCCESS));
  EXPECT_FALSE(store.InsertOrUpdateDevice(Device(kDevices)));
  EXPECT_FALSE(store.ResetStatuses());
  EXPECT_FALSE(store.DeleteAllDevices());

  const Polled polled = Poll(store);
  ASSERT_TRUE(polled.listed);
  ASSERT_EQ(polled.count, kDevices);
  ASSERT_EQ(polled.rows.size(), static_cast<std::size_t>(kDevices));
  for (int i = 0; i < kDevices; ++i) {
    const auto& row = polled.rows[static_cast<std::size_t>(i)];
    EXPECT_EQ(row.mac, Mac(i));
    EXPECT_EQ(row.paraStatus, last[i].load()) << row.mac;
    EXPECT_EQ(row.key5, std::string(63, 'q'));
    EXPECT_EQ(polled.verdicts[static_cast<std::size_t>(i)], RESULT_BUSY) << row.mac;
  }
  EXPECT_EQ(polled.resultsWritten, 0);
  ap_info_stu row;
  EXPECT_TRUE(store.GetDevice(Mac(1), row));
  EXPECT_EQ(row.mac, Mac(1));
}

TEST(StoreFaults, AVanishedFileKeepsTheRunGoing) {
  testing::TempDir dir;
  CSqlManagement store(dir / "data.db");
  ASSERT_TRUE(store.InsertOrUpdateDevice(Device(1)));
  // Someone deletes the scratch file: the open file lives on until the end.
  std::filesystem::remove(dir / "data.db");
  EXPECT_TRUE(store.InsertOrUpdateDevice(Device(2)));
  EXPECT_TRUE(store.SetParaStatus(Mac(2), OPERATE_SUCCESS));
  EXPECT_EQ(store.EvaluateDevice(Mac(2)), RESULT_SUCCESS);
  const Polled polled = Poll(store);
  ASSERT_TRUE(polled.listed);
  ASSERT_EQ(polled.count, 2);
  EXPECT_EQ(polled.ok, 1);
  EXPECT_EQ(polled.verdicts, (std::vector<DeviceResult>{RESULT_IDLE, RESULT_SUCCESS}));
  EXPECT_EQ(polled.resultsWritten, 2);
}

}  // namespace
}  // namespace brevant
