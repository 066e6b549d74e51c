// The store when the disk under it fails: a full file system, one that turns
// read-only, a file that vanishes. Every operation answers with its failure
// value or keeps working; nothing crashes; the list's polling goes on.

#include <gtest/gtest.h>
#include <sched.h>
#include <sys/mount.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

#include "records/status_store.h"
#include "support/temp_dir.h"

namespace brevant {
namespace {

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

// What the device list does every second, whatever the store says.
void Poll(CSqlManagement& store, int rows) {
  std::vector<ap_info_stu> list;
  int count = 0, ok = 0, failed = 0;
  store.QueryDevices(true, SORT_BY_MAC, "", list, count, ok, failed);
  for (int i = 0; i < rows; i += 97) {
    store.SetResult(Mac(i), store.EvaluateDevice(Mac(i)));
  }
}

// A small file system of the test's own, in a mount namespace of its own.
class TinyFileSystemTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (::geteuid() != 0)
      GTEST_SKIP() << "needs root: the test mounts a small tmpfs";
    ASSERT_EQ(::unshare(CLONE_NEWNS), 0) << "unshare: " << std::strerror(errno);
    ASSERT_EQ(::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr), 0);
    ASSERT_EQ(::mount("tmpfs", dir_.path().c_str(), "tmpfs", 0, "size=192k"), 0)
        << std::strerror(errno);
    mounted_ = true;
  }
  void TearDown() override {
    if (mounted_)
      ::umount2(dir_.path().c_str(), MNT_DETACH);
  }
  testing::TempDir dir_;
  bool mounted_ = false;
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
  std::vector<ap_info_stu> list;
  int count = 0, ok = 0, failed = 0;
  EXPECT_TRUE(store.QueryDevices(true, SORT_BY_MAC, "", list, count, ok, failed));
  EXPECT_EQ(count, stored);
  EXPECT_EQ(list.back().key5, std::string(63, 'q'));
  Poll(store, stored);
  EXPECT_EQ(store.EvaluateDevice(Mac(0)), RESULT_IDLE);
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
  std::vector<ap_info_stu> list;
  int count = 0, ok = 0, failed = 0;
  EXPECT_FALSE(store.QueryDevices(true, SORT_BY_MAC, "", list, count, ok, failed));
  EXPECT_TRUE(list.empty());
  Poll(store, 3);
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
  Poll(store, 3);
}

}  // namespace
}  // namespace brevant
