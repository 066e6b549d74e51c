// The adapter page (page 160): the list of adapters, the adapter remembered
// across "Change", the scan and its hand-over to the device list.

#include <gtest/gtest.h>

#include <QTest>

#include "controls/combo_box.h"
#include "controls/picture.h"
#include "controls/picture_button.h"
#include "controls/skin_label.h"
#include "window_fixture.h"

namespace brevant {
namespace {

using testing::Adapter;
using testing::WindowFixture;

constexpr MacAddress kSecondMac = {0x02, 0x62, 0x62, 0x00, 0x01, 0xFE};
constexpr MacAddress kThirdMac = {0x02, 0x62, 0x62, 0x00, 0x02, 0xFE};

class AdapterPageTest : public ::testing::Test {
 protected:
  AdapterPageTest() {
    f_.Adapters().entries = {Adapter("eth0", WindowFixture::kAdapterMac),
                             Adapter("eth1", kSecondMac)};
    f_.Adapters().captureDevices = {"eth0", "eth1", "eth2"};
  }
  CSelectAdapterDlg& page() { return f_.AdapterPage(); }
  CCustomComboBox& list() { return *page().AdapterList(); }
  std::string Text(int index) { return AdapterListText(f_.Adapters().entries[index]); }

  // A scan on the selected adapter that finds nothing: it settles on tick 4.
  void ScanNothing() {
    page().StartScan();
    for (int tick = 1; tick <= 4; ++tick)
      page().Tick();
    ASSERT_TRUE(page().Idle());
    ASSERT_EQ(f_.Window().CurrentPage(), kDeviceListPage);
  }
  void Change() { f_.DeviceList().ChangeButton()->click(); }

  WindowFixture f_;
};

TEST_F(AdapterPageTest, ListsEveryAdapterAndAppliesTheFirst) {
  ASSERT_EQ(list().count(), 2);
  EXPECT_EQ(list().itemText(0).toStdString(), "eth0 - test (02:62:62:00:00:FE)");
  EXPECT_EQ(list().itemText(1).toStdString(), Text(1));
  EXPECT_EQ(list().currentIndex(), 0);
  EXPECT_EQ(page().RememberedAdapter(), Text(0));
  EXPECT_EQ(f_.Link().CaptureDeviceName(), "eth0");
  EXPECT_EQ(f_.Link().AdapterMac(), WindowFixture::kAdapterMac);
  EXPECT_TRUE(page().Idle());
  EXPECT_FALSE(page().Animation()->isVisible());
  EXPECT_EQ(f_.Window().CurrentPage(), kAdapterPage);
  // The device list names the adapter from the start.
  EXPECT_EQ(f_.DeviceList().AdapterLabel()->text(), QStringLiteral("NIC:eth0 - test"));
}

TEST_F(AdapterPageTest, TheScannedAdapterIsSelectedAgainAfterChange) {
  list().setCurrentIndex(1);
  ScanNothing();
  EXPECT_EQ(f_.Link().CaptureDeviceName(), "eth1");
  EXPECT_EQ(page().RememberedAdapter(), Text(1));
  EXPECT_EQ(f_.DeviceList().AdapterLabel()->text(), QStringLiteral("NIC:eth1 - test"));
  Change();
  EXPECT_EQ(f_.Window().CurrentPage(), kAdapterPage);
  EXPECT_EQ(list().currentIndex(), 1);
  EXPECT_EQ(f_.Link().CaptureDeviceName(), "eth1");
}

TEST_F(AdapterPageTest, AVanishedAdapterGivesWayToTheFirst) {
  list().setCurrentIndex(1);
  ScanNothing();
  f_.Adapters().entries = {Adapter("eth2", kThirdMac), Adapter("eth0", WindowFixture::kAdapterMac)};
  Change();
  EXPECT_EQ(list().count(), 2);
  EXPECT_EQ(list().currentIndex(), 0);
  EXPECT_EQ(page().RememberedAdapter(), Text(0));
  EXPECT_EQ(f_.Link().CaptureDeviceName(), "eth2");
}

TEST_F(AdapterPageTest, AChoiceCountsOnlyWhenTheScanStarts) {
  list().setCurrentIndex(1);
  EXPECT_EQ(f_.Link().CaptureDeviceName(), "eth0");
  page().FillList();
  EXPECT_EQ(list().currentIndex(), 0);
}

TEST_F(AdapterPageTest, StartScanTwiceScansOnce) {
  page().ScanButton()->click();
  EXPECT_FALSE(page().Idle());
  EXPECT_TRUE(page().TickActive());
  EXPECT_FALSE(page().ScanButton()->isEnabled());
  EXPECT_EQ(page().ScanButton()->text(), QStringLiteral("Scanning for devices   "));
  EXPECT_TRUE(page().Animation()->isVisible());
  EXPECT_TRUE(page().Animation()->IsPlaying());
  page().StartScan();
  EXPECT_EQ(page().Scan().Broadcasts(), 1);
  page().Tick();
  page().StartScan();
  EXPECT_EQ(page().Scan().TickNumber(), 1);
}

TEST_F(AdapterPageTest, NoAdapterGivesTheNicNoteAndStaysIdle) {
  WindowFixture f;
  f.Adapters().entries.clear();
  CSelectAdapterDlg& empty = f.AdapterPage();
  EXPECT_EQ(empty.AdapterList()->count(), 0);
  EXPECT_EQ(empty.AdapterList()->currentIndex(), -1);
  empty.ScanButton()->click();
  ASSERT_EQ(f.Notes().Notes().size(), 1u);
  EXPECT_EQ(f.Notes().Notes()[0].title, QStringLiteral("Note"));
  EXPECT_EQ(f.Notes().Notes()[0].text, QStringLiteral("Ensure the computer's NIC is enabled!"));
  EXPECT_TRUE(empty.Idle());
  EXPECT_FALSE(empty.TickActive());
  EXPECT_EQ(f.Window().CurrentPage(), kAdapterPage);
}

TEST_F(AdapterPageTest, ACaptureListThatFailsIsToldOnceTheWindowShows) {
  WindowFixture f;
  f.Adapters().captureListFails = true;
  f.Window();
  ASSERT_TRUE(QTest::qWaitFor([&] { return !f.Notes().Notes().empty(); }, 5000));
  EXPECT_EQ(f.Notes().Notes()[0].text, QStringLiteral("pcap_findalldevs error"));
}

TEST_F(AdapterPageTest, ASettledScanShowsTheDevicesInTheList) {
  f_.Devices({"mac=02:62:00:00:00:03", "mac=02:62:00:00:00:01", "mac=02:62:00:00:00:02"});
  ASSERT_TRUE(f_.ScanToDeviceList(3));
  EXPECT_EQ(page().Scan().EndedOnTick(), 4);
  EXPECT_FALSE(page().TickActive());
  EXPECT_EQ(page().ScanButton()->text(), QStringLiteral("Start Scan"));
  EXPECT_TRUE(page().ScanButton()->isEnabled());
  EXPECT_FALSE(page().Animation()->isVisible());
  EXPECT_EQ(f_.Window().BackgroundFile(), QStringLiteral("main_bk.jpg"));
  EXPECT_EQ(f_.DeviceList().Grid()->GetItemText(1, CDevicesControlDlg::kMacColumn),
            QStringLiteral("02:62:00:00:00:01"));
  EXPECT_TRUE(f_.Link().IsUp());
}

}  // namespace
}  // namespace brevant
