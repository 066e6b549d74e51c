// The device list (page 161) over a real store: ticking, sorting, the hand-over
// to the delivery pages, the rescan, the delivery watch, the balloon and the
// results menu. The ticks are driven by the tests; progress comes only through
// the store.

#include <gtest/gtest.h>

#include <QFileDialog>
#include <QLineEdit>
#include <QMenu>
#include <QTest>

#include "controls/picture.h"
#include "controls/picture_button.h"
#include "controls/skin_image.h"
#include "controls/skin_label.h"
#include "screens/error_tip_wnd.h"
#include "screens/modal_runner.h"
#include "support/gui_test.h"
#include "window_fixture.h"

namespace brevant {
namespace {

using testing::WindowFixture;
using State = CDevicesControlDlg::State;

const std::string kA = "02:62:00:00:00:01";
const std::string kB = "02:62:00:00:00:02";
const std::string kC = "02:62:00:00:00:03";

// The records of a CSV text (RFC 4180: quoted fields may hold commas, quotes
// and line ends), each a list of fields; every record ends in CR LF.
std::vector<std::vector<std::string>> ParseCsv(const std::string& text) {
  std::vector<std::vector<std::string>> records;
  std::vector<std::string> fields;
  std::string field;
  bool quoted = false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (quoted) {
      if (c != '"') {
        field += c;
      } else if (i + 1 < text.size() && text[i + 1] == '"') {
        field += '"';
        ++i;
      } else {
        quoted = false;
      }
    } else if (c == '"') {
      quoted = true;
    } else if (c == ',') {
      fields.push_back(std::move(field));
      field.clear();
    } else if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
      fields.push_back(std::move(field));
      field.clear();
      records.push_back(std::move(fields));
      fields.clear();
      ++i;
    } else {
      field += c;
    }
  }
  EXPECT_TRUE(field.empty() && fields.empty() && !quoted) << "the last record has no CR LF";
  return records;
}

DiscoveredDevice Device(const std::string& mac) {
  DiscoveredDevice device;
  device.mac = mac;
  device.time = "2025-03-05 14:07:09";
  return device;
}

// A window whose store holds devices put there as discovery would, shown in
// the device list.
class DeviceListTest : public ::testing::Test {
 protected:
  void ShowDevices(const std::vector<std::string>& macs) {
    for (const auto& mac : macs)
      ASSERT_TRUE(f_.Store().InsertOrUpdateDevice(Device(mac)));
    f_.Window().ShowPage(kDeviceListPage);
    list().RefreshList(true, list().Ascending(), CDevicesControlDlg::kMacColumn);
    ASSERT_EQ(list().RowCount(), static_cast<int>(macs.size()));
  }
  CDevicesControlDlg& list() { return f_.DeviceList(); }
  CGridCtrl& grid() { return *list().Grid(); }
  QString Mac(int row) { return grid().GetItemText(row, CDevicesControlDlg::kMacColumn); }
  int HeaderImage() { return grid().GetItemImage(0, CDevicesControlDlg::kCheckColumn); }
  int StatusImage(int row) { return grid().GetItemImage(row, CDevicesControlDlg::kStatusColumn); }

  // What a delivery page is handed, whichever page the window has.
  struct RecordingPage : DeliveryPage {
    void SetTargetList(const std::vector<std::string>& list) override { targets = list; }
    void Entered() override { entered = targets.size(); }
    std::vector<std::string> targets;
    std::size_t entered = 0;
  };

  // A delivery started to the ticked rows from page 162, as the page would.
  void StartDelivery(const std::vector<int>& rows) {
    f_.TickRows(rows);
    list().HandToPage(kCustomizationPage);
    ASSERT_EQ(f_.Window().CurrentPage(), kCustomizationPage);
    f_.Window().DeliveryStarted(kCustomizationPage);
    ASSERT_EQ(list().CurrentState(), State::Watching);
    f_.Store().ResetStatuses();
    for (const auto& mac : list().TargetList())
      f_.Store().SetParaStatus(mac, OPERATING);
  }

  // Answers the next export's save dialog with this file (typed as the
  // operator would), or cancels it when the file is empty.
  void AnswerSaveDialog(ModalAnswerer& modal, const QString& file) {
    modal.Queue([file](QDialog& dialog) {
      auto* save = qobject_cast<QFileDialog*>(&dialog);
      ASSERT_NE(save, nullptr);
      EXPECT_EQ(save->acceptMode(), QFileDialog::AcceptSave);
      if (file.isEmpty()) {
        dialog.reject();
        return;
      }
      // The name field takes a whole path, as the operator may type it.
      auto* name = save->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
      ASSERT_NE(name, nullptr);
      name->setText(file);
      dialog.accept();  // QFileDialog's own accept, as its Save button does
    });
  }

  WindowFixture f_;
};

TEST_F(DeviceListTest, RowsShowNumberMacAndStatusOfEachDevice) {
  ShowDevices({kB, kA, kC});
  ASSERT_TRUE(f_.Store().SetParaStatus(kA, OPERATE_SUCCESS));
  ASSERT_TRUE(f_.Store().SetParaStatus(kB, OPERATE_FAIL));
  ASSERT_TRUE(f_.Store().SetParaStatus(kC, OPERATING));
  list().RefreshList(true, true, CDevicesControlDlg::kMacColumn);
  for (int row = 1; row <= 3; ++row) {
    EXPECT_EQ(grid().GetItemText(row, CDevicesControlDlg::kNumberColumn), QString::number(row));
    EXPECT_EQ(grid().GetItemImage(row, CDevicesControlDlg::kCheckColumn),
              CDevicesControlDlg::kImageClear);
  }
  EXPECT_EQ(Mac(1).toStdString(), kA);
  EXPECT_EQ(StatusImage(1), CDevicesControlDlg::kImageSuccess);
  EXPECT_EQ(StatusImage(2), CDevicesControlDlg::kImageFailed);
  EXPECT_EQ(StatusImage(3), CDevicesControlDlg::kImageBusy);
  EXPECT_EQ(list().SuccessCount(), 1);
  EXPECT_EQ(list().FailureCount(), 1);
  EXPECT_EQ(list().SuccessLabel()->text(), QStringLiteral("1"));
  EXPECT_EQ(list().FailureLabel()->text(), QStringLiteral("1"));
  EXPECT_EQ(list().RowOfMac(kC), 3);
  EXPECT_EQ(list().RowOfMac("02:62:00:00:00:99"), -1);
}

TEST_F(DeviceListTest, TickingFollowsTheHeaderAndTheRows) {
  ShowDevices({kA, kB, kC});
  const int clear = CDevicesControlDlg::kImageClear;
  const int set = CDevicesControlDlg::kImageSet;
  const int partly = CDevicesControlDlg::kImagePartly;

  f_.TickRows({1, 3});
  EXPECT_EQ(list().TickedCount(), 2);
  EXPECT_EQ(HeaderImage(), partly);
  EXPECT_EQ(list().CheckState(0), 2);
  f_.TickRows({2});
  EXPECT_EQ(HeaderImage(), set);
  EXPECT_EQ(list().CheckState(0), 1);

  // The header clears every row, then ticks every row.
  list().OnCellClicked(0, CDevicesControlDlg::kCheckColumn);
  EXPECT_EQ(list().TickedCount(), 0);
  EXPECT_EQ(HeaderImage(), clear);
  for (int row = 1; row <= 3; ++row)
    EXPECT_EQ(grid().GetItemImage(row, 0), clear) << row;
  list().OnCellClicked(0, CDevicesControlDlg::kCheckColumn);
  EXPECT_EQ(list().TickedCount(), 3);
  EXPECT_EQ(HeaderImage(), set);
  for (int row = 1; row <= 3; ++row)
    EXPECT_EQ(grid().GetItemImage(row, 0), set) << row;

  // Un-ticking one row leaves the header partly ticked; the other columns do nothing.
  f_.TickRows({2});
  EXPECT_EQ(HeaderImage(), partly);
  list().OnCellClicked(1, CDevicesControlDlg::kMacColumn);
  EXPECT_EQ(list().TickedCount(), 2);
}

TEST_F(DeviceListTest, ClicksOnTheGridReachTheTicks) {
  ShowDevices({kA, kB});
  ASSERT_TRUE(testing::ShowAndWait(&f_.Window()));
  const QRect cell = grid().GetCellRect(2, CDevicesControlDlg::kCheckColumn);
  QTest::mouseClick(grid().viewport(), Qt::LeftButton, {},
                    grid().viewport()->mapFrom(&grid(), cell.center()));
  EXPECT_EQ(list().CheckState(2), 1);
  EXPECT_EQ(HeaderImage(), CDevicesControlDlg::kImagePartly);
}

TEST_F(DeviceListTest, MacAndStatusHeadersSortAscendingThenDescending) {
  ShowDevices({kB, kC, kA});
  ASSERT_TRUE(f_.Store().SetParaStatus(kC, OPERATE_SUCCESS));  // result 0 sorts first
  ASSERT_TRUE(f_.Store().SetResult(kC, RESULT_SUCCESS));
  ASSERT_TRUE(f_.Store().SetResult(kA, RESULT_IDLE));
  ASSERT_TRUE(f_.Store().SetResult(kB, RESULT_IDLE));

  // "No." does nothing.
  list().OnCellClicked(0, CDevicesControlDlg::kNumberColumn);
  EXPECT_EQ(Mac(1).toStdString(), kA);
  EXPECT_TRUE(list().Ascending());

  list().OnCellClicked(0, CDevicesControlDlg::kMacColumn);
  EXPECT_EQ(Mac(1).toStdString(), kA);
  EXPECT_EQ(Mac(3).toStdString(), kC);
  EXPECT_EQ(grid().GetSortColumn(), CDevicesControlDlg::kMacColumn);
  EXPECT_TRUE(grid().GetSortAscending());
  list().OnCellClicked(0, CDevicesControlDlg::kMacColumn);
  EXPECT_EQ(Mac(1).toStdString(), kC);
  EXPECT_EQ(Mac(3).toStdString(), kA);
  EXPECT_FALSE(grid().GetSortAscending());
  EXPECT_EQ(list().RowOfMac(kA), 3);  // the row map follows the rebuild

  list().OnCellClicked(0, CDevicesControlDlg::kStatusColumn);
  EXPECT_EQ(Mac(1).toStdString(), kC);
  EXPECT_EQ(grid().GetSortColumn(), CDevicesControlDlg::kStatusColumn);
  list().OnCellClicked(0, CDevicesControlDlg::kStatusColumn);
  EXPECT_EQ(Mac(3).toStdString(), kC);

  // A sort clears the ticks.
  f_.TickRows({1});
  list().OnCellClicked(0, CDevicesControlDlg::kMacColumn);
  EXPECT_EQ(list().TickedCount(), 0);
  EXPECT_EQ(HeaderImage(), CDevicesControlDlg::kImageClear);
}

TEST_F(DeviceListTest, NoTickedDeviceGivesANoteAndStays) {
  ShowDevices({kA});
  for (int page : {kCustomizationPage, kAntiTheftPage}) {
    list().HandToPage(page);
    ASSERT_FALSE(f_.Notes().Notes().empty());
    EXPECT_EQ(f_.Notes().Notes().back().title, QStringLiteral("Note"));
    EXPECT_EQ(f_.Notes().Notes().back().text, QStringLiteral("Please select the devices!"));
    EXPECT_EQ(f_.Window().CurrentPage(), kDeviceListPage);
  }
}

TEST_F(DeviceListTest, TickedDevicesGoToThePageInListOrder) {
  ShowDevices({kC, kA, kB});
  for (int page : {kCustomizationPage, kAntiTheftPage}) {
    SCOPED_TRACE(page);
    RecordingPage delivery;
    list().SetDeliveryPage(page, &delivery);
    f_.TickRows({3, 1});
    list().HandToPage(page);
    EXPECT_TRUE(f_.Notes().Notes().empty());
    EXPECT_EQ(f_.Window().CurrentPage(), page);
    EXPECT_TRUE(f_.Window().Page(page)->isVisible());
    EXPECT_FALSE(list().isVisible());
    const std::vector<std::string> expected = {kA, kC};
    EXPECT_EQ(delivery.targets, expected);
    EXPECT_EQ(delivery.entered, 2u);  // told after it had the list
    EXPECT_EQ(list().TargetList(), expected);

    // Back (the page's Cancel) with the ticks as they were.
    f_.Window().ShowPage(kDeviceListPage);
    EXPECT_EQ(list().TickedCount(), 2);
    f_.TickRows({3, 1});
    list().SetDeliveryPage(page, nullptr);
  }
}

TEST_F(DeviceListTest, RescanLocksThePageAndSettlesAtTickFour) {
  f_.Devices({"mac=" + kA, "mac=" + kB});
  ASSERT_TRUE(f_.ScanToDeviceList(2));
  f_.Devices({"mac=" + kA, "mac=" + kB, "mac=" + kC});

  list().ScanButton()->click();
  EXPECT_EQ(list().CurrentState(), State::Scanning);
  EXPECT_TRUE(list().ScanTimerActive());
  EXPECT_EQ(list().ScanButton()->text(), QStringLiteral("Scanning   "));
  EXPECT_FALSE(list().ScanButton()->isEnabled());
  EXPECT_FALSE(list().CustomizationButton()->isEnabled());
  EXPECT_FALSE(list().AntiTheftButton()->isEnabled());
  EXPECT_FALSE(list().ChangeButton()->isEnabled());
  EXPECT_TRUE(list().WaitAnimation()->isVisible());
  EXPECT_TRUE(list().WaitAnimation()->IsPlaying());
  // The list is locked: no ticking while it scans; a second rescan is ignored.
  f_.TickRows({1});
  EXPECT_EQ(list().TickedCount(), 0);
  list().Rescan();
  EXPECT_EQ(list().Scan().Broadcasts(), 1);

  ASSERT_TRUE(f_.WaitForStoreRows(3));
  for (int tick = 1; tick <= 3; ++tick) {
    list().ScanTick();
    EXPECT_EQ(list().CurrentState(), State::Scanning) << tick;
  }
  list().ScanTick();
  EXPECT_EQ(list().CurrentState(), State::Idle);
  EXPECT_EQ(list().Scan().EndedOnTick(), 4);
  EXPECT_FALSE(list().ScanTimerActive());
  EXPECT_EQ(list().RowCount(), 3);
  EXPECT_EQ(list().ScanButton()->text(), QStringLiteral("Scan Devices"));
  EXPECT_TRUE(list().ScanButton()->isEnabled());
  EXPECT_TRUE(list().ChangeButton()->isEnabled());
  EXPECT_FALSE(list().WaitAnimation()->isVisible());
}

// How the watch of a delivery to two devices ends: at the next 3-second tick
// once both are counted, else at the fifth (15 seconds).
TEST_F(DeviceListTest, WatchEndsWhenEveryTargetIsCountedOrAtTheFifthTick) {
  struct Case {
    const char* name;
    std::int32_t a;
    std::int32_t b;
    int endsOnTick;
    int successes;
    int failures;
  };
  const Case cases[] = {
      {"both succeed", OPERATE_SUCCESS, OPERATE_SUCCESS, 1, 2, 0},
      {"one fails", OPERATE_SUCCESS, OPERATE_FAIL, 1, 1, 1},
      {"one still busy", OPERATE_SUCCESS, TRANSMIT_FINISH, 5, 1, 0},
      {"none answers", OPERATING, OPERATING, 5, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    WindowFixture f;
    for (const auto& mac : {kA, kB, kC})
      ASSERT_TRUE(f.Store().InsertOrUpdateDevice(Device(mac)));
    CDevicesControlDlg& page = f.DeviceList();
    f.Window().ShowPage(kDeviceListPage);
    page.RefreshList(true, true, CDevicesControlDlg::kMacColumn);
    f.TickRows({1, 2});
    page.HandToPage(kCustomizationPage);
    f.Window().DeliveryStarted(kCustomizationPage);
    EXPECT_EQ(f.Window().CurrentPage(), kDeviceListPage);
    EXPECT_TRUE(page.WatchTimersActive());
    EXPECT_FALSE(page.CustomizationButton()->isEnabled());
    EXPECT_EQ(page.ScanButton()->text(), QStringLiteral("Scanning   "));
    EXPECT_EQ(page.Grid()->GetItemImage(3, 3), CDevicesControlDlg::kImageNone);

    f.Store().ResetStatuses();
    f.Store().SetParaStatus(kA, OPERATING);
    f.Store().SetParaStatus(kB, OPERATING);
    page.ProgressTick();
    EXPECT_EQ(page.Grid()->GetItemImage(1, 3), CDevicesControlDlg::kImageBusy);
    EXPECT_EQ(page.TickedCount(), 0);
    EXPECT_EQ(page.Grid()->GetItemImage(0, 0), CDevicesControlDlg::kImageClear);
    f.Store().SetParaStatus(kA, c.a);
    f.Store().SetParaStatus(kB, c.b);

    int tick = 0;
    while (page.CurrentState() == State::Watching && tick < 10) {
      ++tick;
      page.ProgressTick();
      page.CountersTick();
      page.WatchTick();
    }
    EXPECT_EQ(tick, c.endsOnTick);
    EXPECT_EQ(page.CurrentState(), State::Idle);
    EXPECT_FALSE(page.WatchTimersActive());
    EXPECT_TRUE(page.TargetList().empty());
    EXPECT_TRUE(page.CustomizationButton()->isEnabled());
    EXPECT_EQ(page.ScanButton()->text(), QStringLiteral("Scan Devices"));
    EXPECT_EQ(page.SuccessCount(), c.successes);
    EXPECT_EQ(page.FailureCount(), c.failures);
    EXPECT_EQ(page.Grid()->GetItemImage(1, 3),
              CDevicesControlDlg::StatusImage(CSqlManagement::EvaluateCodes(c.a, 0, 0)));
  }
}

TEST_F(DeviceListTest, ResultCountedAfterTheRowsLastTickStillShowsInItsRow) {
  ShowDevices({kA, kB});
  StartDelivery({1, 2});
  list().ProgressTick();
  EXPECT_EQ(StatusImage(1), CDevicesControlDlg::kImageBusy);
  // Both results land after the rows' tick and before the counters' tick.
  f_.Store().SetParaStatus(kA, OPERATE_SUCCESS);
  f_.Store().SetParaStatus(kB, OPERATE_FAIL);
  list().CountersTick();
  list().WatchTick();
  EXPECT_EQ(list().CurrentState(), State::Idle);
  EXPECT_EQ(StatusImage(1), CDevicesControlDlg::kImageSuccess);
  EXPECT_EQ(StatusImage(2), CDevicesControlDlg::kImageFailed);
}

TEST_F(DeviceListTest, DeliveryStartOfAnyOtherPageIsIgnored) {
  ShowDevices({kA});
  f_.TickRows({1});
  f_.Window().DeliveryStarted(0);
  f_.Window().DeliveryStarted(kDeviceListPage);
  EXPECT_EQ(list().CurrentState(), State::Idle);
  EXPECT_FALSE(list().WatchTimersActive());
}

TEST_F(DeviceListTest, BalloonShowsTheAdviceOverAFailureIconOnly) {
  ShowDevices({kA, kB});
  ASSERT_TRUE(f_.Store().SetParaStatus(kA, OPERATE_SUCCESS));
  ASSERT_TRUE(f_.Store().SetParaStatus(kB, OPERATE_FAIL));
  list().RefreshList(true, true, CDevicesControlDlg::kMacColumn);
  ASSERT_TRUE(testing::ShowAndWait(&f_.Window()));
  CErrorTipWnd& balloon = *list().Balloon();

  f_.PointAtIcon(2, CDevicesControlDlg::kStatusColumn);
  ASSERT_TRUE(balloon.IsShown());
  QString advice = QString::fromStdString(CSqlManagement::GetAdvice(kB));
  EXPECT_EQ(balloon.Text(), advice.replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
  EXPECT_EQ(balloon.Text().count(QLatin1Char('\n')), 2);  // three lines
  // Above the icon, its pointer at the icon's middle.
  const QRect cell = list().Grid()->GetCellRect(2, CDevicesControlDlg::kStatusColumn);
  const QPoint iconTop = list().Grid()->mapToGlobal(
      QPoint(cell.left() + 3 + 12, cell.top() + (cell.height() - 24) / 2));
  EXPECT_EQ(balloon.Anchor(), iconTop);
  EXPECT_LE(balloon.geometry().bottom(), iconTop.y());
  // It never takes the focus.
  EXPECT_TRUE(balloon.testAttribute(Qt::WA_ShowWithoutActivating));
  EXPECT_NE(QGuiApplication::focusWindow(), balloon.windowHandle());

  // Off the icon (same cell, right of it), over a success icon, off the grid: hidden.
  list().PointerAt(QPoint(cell.left() + 60, cell.center().y()));
  EXPECT_FALSE(balloon.IsShown());
  f_.PointAtIcon(2, CDevicesControlDlg::kStatusColumn);
  EXPECT_TRUE(balloon.IsShown());
  f_.PointAtIcon(1, CDevicesControlDlg::kStatusColumn);
  EXPECT_FALSE(balloon.IsShown());
  f_.PointAtIcon(2, CDevicesControlDlg::kStatusColumn);
  f_.Window().ShowPage(kAdapterPage);
  EXPECT_FALSE(balloon.IsShown());
}

TEST_F(DeviceListTest, AdapterLabelCutsLongNamesAndKeepsThemInTheTooltip) {
  struct Case {
    QString name;
    QString shown;
  };
  const Case cases[] = {
      {QStringLiteral("eth0 (e1000e)"), QStringLiteral("NIC:eth0 (e1000e)")},
      {QStringLiteral("12345678901234567890123"), QStringLiteral("NIC:12345678901234567890123")},
      {QStringLiteral("123456789012345678901234"),
       QStringLiteral("NIC:123456789012345678901234...")},
      {QStringLiteral("enp0s31f6 (Intel Ethernet I219-LM)"),
       QStringLiteral("NIC:enp0s31f6 (Intel Etherne...")},
  };
  for (const Case& c : cases) {
    list().SetAdapterName(c.name);
    EXPECT_EQ(list().AdapterLabel()->text(), c.shown);
    EXPECT_EQ(list().AdapterLabel()->toolTip(), c.name);
  }
}

TEST_F(DeviceListTest, MoreThan1023RowsAreListedAndTicked) {
  const int devices = 1100;
  for (int i = 1; i <= devices; ++i) {
    char mac[18];
    std::snprintf(mac, sizeof mac, "02:62:00:00:%02X:%02X", i >> 8, i & 0xFF);
    ASSERT_TRUE(f_.Store().InsertOrUpdateDevice(Device(mac)));
  }
  f_.Window().ShowPage(kDeviceListPage);
  list().RefreshList(true, true, CDevicesControlDlg::kMacColumn);
  ASSERT_EQ(list().RowCount(), devices);
  f_.TickRows({devices, 1024});
  EXPECT_EQ(list().CheckState(devices), 1);
  list().OnCellClicked(0, CDevicesControlDlg::kCheckColumn);
  list().OnCellClicked(0, CDevicesControlDlg::kCheckColumn);
  EXPECT_EQ(list().TickedCount(), devices);
  list().HandToPage(kAntiTheftPage);
  EXPECT_EQ(list().TargetList().size(), static_cast<std::size_t>(devices));
  EXPECT_EQ(list().TargetList().back(), "02:62:00:00:04:4C");
}

TEST_F(DeviceListTest, ExportWritesEveryRowsResultsInGridOrder) {
  ShowDevices({kC, kA, kB});
  ASSERT_TRUE(f_.Store().SetParaStatus(kA, OPERATE_SUCCESS));
  ASSERT_TRUE(f_.Store().SetAntiTheftStatus(kB, LOCKCODE_MISMATCH));
  list().RefreshList(true, true, CDevicesControlDlg::kMacColumn);
  f_.TickRows({1});
  ModalAnswerer modal;
  // Typed without its suffix: the dialog adds ".csv".
  AnswerSaveDialog(modal, PathText(f_.Folder() / "results"));
  ASSERT_TRUE(list().ExportResults());
  EXPECT_EQ(modal.Dialogs(), (std::vector<QString>{QStringLiteral("exportResultsDialog")}));
  EXPECT_TRUE(f_.Notes().Notes().empty());

  const auto records = ParseCsv(testing::ReadBytes(f_.Folder() / "results.csv"));
  ASSERT_EQ(records.size(), 4u);
  EXPECT_EQ(records[0],
            (std::vector<std::string>{"mac", "configuration_code", "configuration_status",
                                      "logo_code", "logo_status", "antitheft_code",
                                      "antitheft_status", "verdict", "advice", "time"}));
  const struct {
    const std::string& mac;
    std::int32_t para;
    std::int32_t antiTheft;
    const char* verdict;
  } expected[] = {
      {kA, OPERATE_SUCCESS, 0, "success"},
      {kB, 0, LOCKCODE_MISMATCH, "failed"},
      {kC, 0, 0, "idle"},
  };
  for (std::size_t i = 0; i < 3; ++i) {
    const auto& row = records[i + 1];
    const auto& e = expected[i];
    SCOPED_TRACE(e.mac);
    ASSERT_EQ(row.size(), 10u);
    EXPECT_EQ(row[0], e.mac);
    EXPECT_EQ(row[0], Mac(static_cast<int>(i) + 1).toStdString());
    EXPECT_EQ(row[1], std::to_string(e.para));
    EXPECT_EQ(row[2], CSqlManagement::StatusEnglishText(e.para));
    EXPECT_EQ(row[3], "0");
    EXPECT_EQ(row[5], std::to_string(e.antiTheft));
    EXPECT_EQ(row[6], CSqlManagement::StatusEnglishText(e.antiTheft));
    EXPECT_EQ(row[7], e.verdict);
    EXPECT_EQ(row[8], std::string(e.verdict) == "failed" ? CSqlManagement::GetAdvice(e.mac) : "");
    EXPECT_EQ(row[9].size(), 19u) << row[9];
  }
  EXPECT_NE(records[2][8].find("Make sure the Lock Code is correct."), std::string::npos);
  // The list is as it was.
  EXPECT_EQ(list().RowCount(), 3);
  EXPECT_EQ(list().CheckState(1), 1);

  // The next export starts where this one went; a cancelled one writes nothing.
  modal.Queue([&](QDialog& dialog) {
    EXPECT_EQ(static_cast<QFileDialog&>(dialog).directory().absolutePath(), PathText(f_.Folder()));
    dialog.reject();
  });
  EXPECT_FALSE(list().ExportResults());
  EXPECT_TRUE(f_.Notes().Notes().empty());
}

TEST_F(DeviceListTest, AnExportThatCannotBeWrittenGivesANoteNamingTheFileAndWhy) {
  ShowDevices({kA});
  const struct {
    QString file;
    const char* says;
  } cases[] = {
      {PathText(f_.Folder() / "missing" / "r.csv"), "does not exist"},
      {QStringLiteral("/proc/results.csv"), "/proc/results.csv"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.says);
    ModalAnswerer modal;
    AnswerSaveDialog(modal, c.file);
    const std::size_t before = f_.Notes().Notes().size();
    EXPECT_FALSE(list().ExportResults());
    ASSERT_EQ(f_.Notes().Notes().size(), before + 1);
    const auto& note = f_.Notes().Notes().back();
    EXPECT_EQ(note.title, QStringLiteral("Note"));
    EXPECT_TRUE(note.text.startsWith(QStringLiteral("The results could not be exported:\n")))
        << note.text.toStdString();
    EXPECT_TRUE(note.text.contains(QString::fromLatin1(c.says))) << note.text.toStdString();
  }
  EXPECT_EQ(list().RowCount(), 1);
}

TEST_F(DeviceListTest, TickFailedDevicesTicksExactlyTheFailures) {
  struct Case {
    const char* name;
    std::array<std::int32_t, 3> para;  // kA, kB, kC's configuration codes
    std::vector<int> tickedBefore;
    std::vector<int> ticked;
    int header;
  };
  const Case cases[] = {
      {"one of three", {OPERATE_SUCCESS, OPERATE_FAIL, OPERATING}, {1, 3}, {2}, 2},
      {"every one", {OPERATE_FAIL, TRANSMIT_FAIL, OPERATE_FAIL}, {}, {1, 2, 3}, 1},
      {"none", {OPERATE_SUCCESS, 0, OPERATING}, {1, 2, 3}, {}, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    WindowFixture f;
    for (std::size_t i = 0; i < 3; ++i) {
      const std::string mac = std::array{kA, kB, kC}[i];
      ASSERT_TRUE(f.Store().InsertOrUpdateDevice(Device(mac)));
      ASSERT_TRUE(f.Store().SetParaStatus(mac, c.para[i]));
    }
    CDevicesControlDlg& page = f.DeviceList();
    f.Window().ShowPage(kDeviceListPage);
    page.RefreshList(true, true, CDevicesControlDlg::kMacColumn);
    f.TickRows(c.tickedBefore);
    page.TickFailedAction()->trigger();
    std::vector<int> ticked;
    for (int row = 1; row <= 3; ++row) {
      if (page.CheckState(row) == 1)
        ticked.push_back(row);
      EXPECT_EQ(page.Grid()->GetItemImage(row, CDevicesControlDlg::kCheckColumn),
                page.CheckState(row) == 1 ? CDevicesControlDlg::kImageSet
                                          : CDevicesControlDlg::kImageClear);
    }
    EXPECT_EQ(ticked, c.ticked);
    EXPECT_EQ(page.TickedCount(), static_cast<int>(c.ticked.size()));
    EXPECT_EQ(page.CheckState(0), c.header);
    const int headerImages[] = {CDevicesControlDlg::kImageClear, CDevicesControlDlg::kImageSet,
                                CDevicesControlDlg::kImagePartly};
    EXPECT_EQ(page.Grid()->GetItemImage(0, CDevicesControlDlg::kCheckColumn),
              headerImages[c.header]);
    // A retry goes to just those devices.
    if (!c.ticked.empty()) {
      page.HandToPage(kCustomizationPage);
      EXPECT_EQ(page.TargetList().size(), c.ticked.size());
    }
  }
}

TEST_F(DeviceListTest, TheResultsMenuOpensOnARightClickUnlessThePageIsLocked) {
  ShowDevices({kA, kB});
  ASSERT_TRUE(f_.Store().SetParaStatus(kA, OPERATE_FAIL));
  ASSERT_TRUE(testing::ShowAndWait(&f_.Window()));
  QMenu& menu = *list().ResultsMenu();
  ASSERT_EQ(menu.actions().size(), 2);
  EXPECT_EQ(menu.actions().at(0)->text(), QString::fromUtf8("Export results\u2026"));
  EXPECT_EQ(menu.actions().at(1)->text(), QStringLiteral("Tick failed devices"));

  const QPoint at = grid().viewport()->mapFrom(
      &grid(), grid().GetCellRect(2, CDevicesControlDlg::kMacColumn).center());
  // Through the window, which turns the click into the context menu request.
  const auto rightClick = [&] {
    QTest::mouseClick(f_.Window().windowHandle(), Qt::RightButton, {},
                      grid().viewport()->mapTo(&f_.Window(), at));
  };
  rightClick();
  ASSERT_TRUE(QTest::qWaitFor([&] { return menu.isVisible(); }, 3000));
  EXPECT_LE((menu.pos() - grid().viewport()->mapToGlobal(at)).manhattanLength(), 2);
  EXPECT_TRUE(list().ExportAction()->isEnabled());
  EXPECT_TRUE(list().TickFailedAction()->isEnabled());
  EXPECT_EQ(list().CheckState(2), 0);  // a right click ticks nothing
  menu.hide();

  // While a delivery is watched the menu is not offered, and its items do nothing.
  f_.TickRows({2});
  list().HandToPage(kCustomizationPage);
  f_.Window().DeliveryStarted(kCustomizationPage);
  ASSERT_EQ(list().CurrentState(), State::Watching);
  rightClick();
  QCoreApplication::processEvents();
  EXPECT_FALSE(menu.isVisible());
  ModalAnswerer modal;
  EXPECT_FALSE(list().ExportResults());
  EXPECT_TRUE(modal.Dialogs().empty());
  const int ticked = list().TickedCount();
  list().TickFailedDevices();
  EXPECT_EQ(list().TickedCount(), ticked);
  EXPECT_EQ(list().CheckState(1), 0);  // the failed device stays as it was
}

TEST_F(DeviceListTest, TheResultsMenuOfAnEmptyListOffersNothing) {
  f_.Window().ShowPage(kDeviceListPage);
  list().RefreshList(true, true, CDevicesControlDlg::kMacColumn);
  ASSERT_EQ(list().RowCount(), 0);
  list().OpenResultsMenu(list().Grid()->mapToGlobal(QPoint(100, 100)));
  ASSERT_TRUE(QTest::qWaitFor([&] { return list().ResultsMenu()->isVisible(); }, 3000));
  EXPECT_FALSE(list().ExportAction()->isEnabled());
  EXPECT_FALSE(list().TickFailedAction()->isEnabled());
  list().ResultsMenu()->hide();
  ModalAnswerer modal;
  EXPECT_FALSE(list().ExportResults());
  EXPECT_TRUE(modal.Dialogs().empty());
}

TEST_F(DeviceListTest, ChangeGoesBackToTheAdapterPageWithTheTicksCleared) {
  ShowDevices({kA, kB});
  f_.TickRows({1});
  list().ChangeButton()->click();
  EXPECT_EQ(f_.Window().CurrentPage(), kAdapterPage);
  EXPECT_EQ(f_.Window().BackgroundFile(), QStringLiteral("main_bk.png"));
  EXPECT_EQ(list().TickedCount(), 0);
  EXPECT_EQ(list().CheckState(1), 0);
}

}  // namespace
}  // namespace brevant
