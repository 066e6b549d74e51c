// The window on the namespace test bed: real libpcap on the tool end of a
// veth pair, brevant-devsim with three devices on the other; a scan from the
// adapter page lists the three.

#include <gtest/gtest.h>

#include "testbed_window_fixture.h"

namespace brevant {
namespace {

using testing::TestBedWindowTest;

TEST_F(TestBedWindowTest, AScanFromTheAdapterPageListsThreeDevices) {
  StartDevsim({"--count", "3"});
  ASSERT_TRUE(ScanToDeviceList(3));
  EXPECT_EQ(Window().CurrentPage(), kDeviceListPage);
  for (int row = 1; row <= 3; ++row) {
    EXPECT_EQ(Grid().GetItemText(row, CDevicesControlDlg::kMacColumn).toStdString(),
              "02:62:00:00:00:0" + std::to_string(row));
  }
}

}  // namespace
}  // namespace brevant
