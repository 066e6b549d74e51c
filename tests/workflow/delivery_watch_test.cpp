#include "workflow/delivery_watch.h"

#include <gtest/gtest.h>

#include "support/temp_dir.h"

namespace brevant {
namespace {

class DeliveryWatchTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const auto& mac : {kA, kB, kC})
      ASSERT_TRUE(store_.InsertOrUpdateDevice({mac, "t", "", "", "", ""}));
  }
  static constexpr const char* kA = "AA:00:00:00:00:01";
  static constexpr const char* kB = "AA:00:00:00:00:02";
  static constexpr const char* kC = "AA:00:00:00:00:03";
  testing::TempDir dir_;
  CSqlManagement store_{dir_ / "data.db"};
};

TEST_F(DeliveryWatchTest, EndsAsSoonAsEveryTargetIsCounted) {
  DeliveryWatch watch(store_, {kA, kB}, 15);
  ASSERT_TRUE(store_.SetParaStatus(kA, OPERATE_SUCCESS));
  ASSERT_TRUE(store_.SetParaStatus(kB, TRANSMIT_FINISH));
  EXPECT_EQ(watch.UpdateTargets(), (std::vector<DeviceResult>{RESULT_SUCCESS, RESULT_BUSY}));
  watch.UpdateCounters();
  EXPECT_FALSE(watch.Advance(3));
  ASSERT_TRUE(store_.SetParaStatus(kB, OPERATE_FAIL));
  EXPECT_EQ(watch.UpdateTargets(), (std::vector<DeviceResult>{RESULT_SUCCESS, RESULT_FAILED}));
  watch.UpdateCounters();
  EXPECT_EQ(watch.successes(), 1);
  EXPECT_EQ(watch.failures(), 1);
  EXPECT_TRUE(watch.Advance(3));

  // The verdicts went into the rows, so the list sorts by them.
  std::vector<ap_info_stu> rows;
  int count = 0, ok = 0, failed = 0;
  ASSERT_TRUE(store_.QueryDevices(false, SORT_BY_RESULT, "", rows, count, ok, failed));
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[0].mac, kB);  // "1" sorts after "0" and the empty text
}

TEST_F(DeliveryWatchTest, EndsAtTheTimeLimitWhenADeviceNeverReports) {
  DeliveryWatch watch(store_, {kA, kB}, 15);
  ASSERT_TRUE(store_.SetParaStatus(kA, OPERATE_SUCCESS));
  ASSERT_TRUE(store_.SetParaStatus(kB, TRANSMIT_FINISH));
  int ticks = 0;
  do {
    watch.UpdateTargets();
    watch.UpdateCounters();
    ++ticks;
  } while (!watch.Advance(3));
  EXPECT_EQ(ticks, 5);  // five three-second ticks
  EXPECT_EQ(watch.elapsed(), 15);
}

TEST_F(DeliveryWatchTest, AClosedStoreCountsNothingAndRunsTheTimeOut) {
  testing::TempDir other;
  std::filesystem::create_directory(other / "data.db");  // a folder where the file should be
  CSqlManagement closed(other / "data.db" / "x" / "data.db");
  ASSERT_FALSE(closed.IsOpen());
  DeliveryWatch watch(closed, {kA}, 2);
  EXPECT_EQ(watch.UpdateTargets(), (std::vector<DeviceResult>{RESULT_IDLE}));
  watch.UpdateCounters();
  EXPECT_FALSE(watch.Advance(1));
  EXPECT_TRUE(watch.Advance(1));
}

}  // namespace
}  // namespace brevant
