// The anti-theft page on the namespace test bed, through the main window as
// the operator uses it: real frames through libpcap over a veth pair,
// brevant-devsim's devices on the far side, the device list watching the
// delivery and showing each device's result.
#include <QTest>

#include "screens/anti_theft_dlg.h"
#include "screens/error_tip_wnd.h"
#include "testbed_window_fixture.h"

namespace brevant::testing {
namespace {

using AntiTheftTestBedTest = TestBedWindowTest;

TEST_F(AntiTheftTestBedTest, TheGridShowsTheLockedDeviceAndTheMismatchWithItsAdvice) {
  const std::string locked = "02:62:00:00:05:01";
  const std::string other = "02:62:00:00:05:02";
  StartDevsim({"--count", "0", "--lock-code", "1234", "--device", "mac=" + locked + ",lock=9876",
               "--device", "mac=" + other});
  ASSERT_TRUE(ScanToDeviceList(2));
  ClickTicks({locked, other});
  QTest::mouseClick(List().AntiTheftButton(), Qt::LeftButton);
  ASSERT_EQ(Window().CurrentPage(), kAntiTheftPage);
  auto* page = dynamic_cast<CAntiTheftProtectionDlg*>(Window().Page(kAntiTheftPage));
  ASSERT_NE(page, nullptr);
  EXPECT_EQ(page->TargetList(), (std::vector<std::string>{locked, other}));

  const std::pair<CTEditGdiplus*, const char*> entries[] = {
      {page->LockCodeEdit(), "9876"},
      {page->ConfirmLockCodeEdit(), "9876"},
      {page->ACNameEdit(), "ac-1"},
      {page->PrimaryDnsEdit(), "8.8.8.8"},
  };
  for (const auto& [edit, text] : entries) {
    edit->setFocus(Qt::MouseFocusReason);
    QTest::keyClicks(edit, QString::fromLatin1(text));
  }
  NoteAnswerer notes;
  notes.Queue(CNoteDlg::kOk);
  QTest::mouseClick(page->ApplyButton(), Qt::LeftButton);
  ASSERT_EQ(notes.Notes().size(), 1u);
  EXPECT_EQ(notes.Notes()[0].text, QStringLiteral("Are you sure you want to apply configuration?"));
  EXPECT_TRUE(notes.Notes()[0].withCancel);
  // Back in the list, which watches the two devices.
  EXPECT_EQ(Window().CurrentPage(), kDeviceListPage);
  EXPECT_EQ(List().TargetList(), (std::vector<std::string>{locked, other}));

  RunWatchToItsEnd({locked, other});
  EXPECT_EQ(Row(locked).antiTheftStatus, OPERATE_SUCCESS);
  EXPECT_EQ(Row(other).antiTheftStatus, LOCKCODE_MISMATCH);
  EXPECT_EQ(StatusImage(locked), CDevicesControlDlg::kImageSuccess);
  EXPECT_EQ(StatusImage(other), CDevicesControlDlg::kImageFailed);
  EXPECT_EQ(List().SuccessCount(), 1);
  EXPECT_EQ(List().FailureCount(), 1);

  // The pointer on the failure icon: the balloon says why.
  const QRect cell = Grid().GetCellRect(List().RowOfMac(other), CDevicesControlDlg::kStatusColumn);
  QTest::mouseMove(Grid().viewport(), Grid().viewport()->mapFrom(
                                          &Grid(), QPoint(cell.left() + 15, cell.center().y())));
  CErrorTipWnd& balloon = *List().Balloon();
  ASSERT_TRUE(QTest::qWaitFor([&] { return balloon.IsShown(); }, 3000));
  EXPECT_TRUE(balloon.Text().contains(QStringLiteral("Make sure the Lock Code is correct.")))
      << balloon.Text().toStdString();
  QString advice = QString::fromStdString(CSqlManagement::GetAdvice(other));
  EXPECT_EQ(balloon.Text(), advice.replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
  // Not over the success icon.
  const QRect success =
      Grid().GetCellRect(List().RowOfMac(locked), CDevicesControlDlg::kStatusColumn);
  QTest::mouseMove(
      Grid().viewport(),
      Grid().viewport()->mapFrom(&Grid(), QPoint(success.left() + 15, success.center().y())));
  EXPECT_TRUE(QTest::qWaitFor([&] { return !balloon.IsShown(); }, 3000));
}

}  // namespace
}  // namespace brevant::testing
