// The main window: its pages, backgrounds and title buttons, the exit
// confirmations, the about box, and minimising without a tray.

#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QSystemTrayIcon>
#include <QTest>
#include <QToolTip>

#include "controls/picture_button.h"
#include "support/gui_test.h"
#include "window_fixture.h"

namespace brevant {
namespace {

using testing::WindowFixture;

TEST(ApplicationWindowTest, OpensFramelessWithThePagesInPlaceAndTheAdapterPageShown) {
  WindowFixture f;
  CApplicationDlg& window = f.Window();
  EXPECT_EQ(window.size(), QSize(817, 540));
  EXPECT_TRUE(window.windowFlags().testFlag(Qt::FramelessWindowHint));
  EXPECT_TRUE(window.isWindow());
  EXPECT_FALSE(window.windowIcon().isNull());
  EXPECT_EQ(window.CurrentPage(), kAdapterPage);
  const struct {
    int page;
    QPoint at;
  } pages[] = {{kAdapterPage, {247, 126}},
               {kDeviceListPage, {0, 48}},
               {kCustomizationPage, {200, 142}},
               {kAntiTheftPage, {198, 57}}};
  for (const auto& p : pages) {
    EXPECT_EQ(window.Page(p.page)->pos(), p.at) << p.page;
    EXPECT_EQ(window.Page(p.page)->isVisible(), p.page == kAdapterPage) << p.page;
  }
  EXPECT_EQ(window.Page(kDeviceListPage)->size(), QSize(817, 492));
  EXPECT_EQ(window.Page(kAdapterPage)->size(), QSize(324, 288));
}

TEST(ApplicationWindowTest, AStoreThatCannotBeOpenedIsToldAndTheWindowWorksOn) {
  WindowFixture f(false);
  ASSERT_FALSE(f.Store().IsOpen());
  f.Window();
  ASSERT_TRUE(QTest::qWaitFor([&] { return !f.Notes().Notes().empty(); }, 5000));
  EXPECT_EQ(f.Notes().Notes()[0].text,
            QStringLiteral("Failed to open database, unable to get data."));
  f.Window().ShowPage(kDeviceListPage);
  f.DeviceList().RefreshList(true, true, CDevicesControlDlg::kMacColumn);
  EXPECT_EQ(f.DeviceList().RowCount(), 0);
  EXPECT_EQ(f.DeviceList().SuccessCount(), 0);
  f.DeviceList().Rescan();
  for (int tick = 1; tick <= 4; ++tick)
    f.DeviceList().ScanTick();
  EXPECT_EQ(f.DeviceList().CurrentState(), CDevicesControlDlg::State::Idle);
  EXPECT_EQ(f.Notes().Notes().size(), 1u);
}

TEST(ApplicationWindowTest, EachPageHasItsBackgroundAndTitleButtons) {
  WindowFixture f;
  CApplicationDlg& window = f.Window();
  struct Case {
    int page;
    const char* background;
    bool minimize;
    bool close;
    bool closeSecondLook;
  };
  const Case cases[] = {
      {kDeviceListPage, "main_bk.jpg", true, true, false},
      {kCustomizationPage, "main_bk3.jpg", false, false, false},
      {kAntiTheftPage, "main_bk3.jpg", false, false, false},
      {kAdapterPage, "main_bk.png", false, true, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.page);
    window.ShowPage(c.page);
    EXPECT_EQ(window.CurrentPage(), c.page);
    EXPECT_EQ(window.BackgroundFile(), QString::fromLatin1(c.background));
    EXPECT_EQ(window.MinimizeButton()->isVisible(), c.minimize);
    EXPECT_EQ(window.AboutButton()->isVisible(), c.minimize);
    EXPECT_EQ(window.CloseButton()->isVisible(), c.close);
    EXPECT_EQ(window.CloseHasSecondLook(), c.closeSecondLook);
    for (int other : {kAdapterPage, kDeviceListPage, kCustomizationPage, kAntiTheftPage})
      EXPECT_EQ(window.Page(other)->isVisible(), other == c.page) << other;
  }
}

TEST(ApplicationWindowTest, CloseAndTrayExitAskBeforeTheProgramEnds) {
  struct Case {
    const char* name;
    void (CApplicationDlg::*ask)();
    const char* title;
    const char* text;
  };
  const Case cases[] = {
      {"Close", &CApplicationDlg::AskToClose, "Confirm Exit",
       "Are you sure you want to exit Brevant?"},
      {"tray Exit", &CApplicationDlg::AskToExit, "Note", "Are you sure close program?"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    WindowFixture f;
    CApplicationDlg& window = f.Window();
    QSignalSpy exits(&window, &CApplicationDlg::ExitRequested);
    f.Notes().Queue(CNoteDlg::kCancel);
    (window.*c.ask)();
    EXPECT_EQ(exits.count(), 0);
    f.Notes().Queue(CNoteDlg::kOk);
    (window.*c.ask)();
    EXPECT_EQ(exits.count(), 1);
    ASSERT_EQ(f.Notes().Notes().size(), 2u);
    EXPECT_EQ(f.Notes().Notes()[0].title, QString::fromLatin1(c.title));
    EXPECT_EQ(f.Notes().Notes()[0].text, QString::fromLatin1(c.text));
    EXPECT_TRUE(f.Notes().Notes()[0].withCancel);
  }
}

TEST(ApplicationWindowTest, TheCloseButtonAndTheWindowManagersCloseAsk) {
  WindowFixture f;
  CApplicationDlg& window = f.Window();
  QSignalSpy exits(&window, &CApplicationDlg::ExitRequested);
  f.Notes().Queue(CNoteDlg::kCancel);
  window.CloseButton()->click();
  f.Notes().Queue(CNoteDlg::kCancel);
  EXPECT_FALSE(window.close());  // refused: the window stays
  EXPECT_TRUE(window.isVisible());
  EXPECT_EQ(f.Notes().Notes().size(), 2u);
  EXPECT_EQ(exits.count(), 0);
}

TEST(ApplicationWindowTest, EnterAndEscapeCloseNothing) {
  WindowFixture f;
  CApplicationDlg& window = f.Window();
  window.ShowPage(kDeviceListPage);
  ASSERT_TRUE(testing::ShowAndWait(&window));
  QSignalSpy exits(&window, &CApplicationDlg::ExitRequested);
  for (QWidget* target : {static_cast<QWidget*>(&window), window.Page(kDeviceListPage)}) {
    for (int key : {Qt::Key_Escape, Qt::Key_Return, Qt::Key_Enter})
      QTest::keyClick(target, static_cast<Qt::Key>(key));
  }
  EXPECT_TRUE(window.isVisible());
  EXPECT_TRUE(window.Page(kDeviceListPage)->isVisible());
  EXPECT_EQ(exits.count(), 0);
  EXPECT_TRUE(f.Notes().Notes().empty());
}

TEST(ApplicationWindowTest, MinimizeWithoutATrayKeepsTheWindowInTheTaskBar) {
  WindowFixture f;
  CApplicationDlg& window = f.Window();
  ASSERT_FALSE(QSystemTrayIcon::isSystemTrayAvailable());  // offscreen has none
  EXPECT_EQ(window.TrayIcon(), nullptr);
  window.ShowPage(kDeviceListPage);
  window.MinimizeButton()->click();
  EXPECT_TRUE(window.isMinimized());
  EXPECT_TRUE(window.isVisible());
  window.ShowUtility();
  EXPECT_FALSE(window.isMinimized());
}

TEST(ApplicationWindowTest, TheAboutBoxNamesTheProgramAndItsVersion) {
  WindowFixture f;
  f.Window().ShowPage(kDeviceListPage);
  f.Window().AboutButton()->click();
  ASSERT_EQ(f.Notes().Notes().size(), 1u);
  EXPECT_EQ(f.Notes().Notes()[0].title, QStringLiteral("About Brevant"));
  EXPECT_TRUE(f.Notes().Notes()[0].text.startsWith(QStringLiteral("Brevant " BREVANT_VERSION "\n")))
      << f.Notes().Notes()[0].text.toStdString();
  EXPECT_EQ(f.Notes().Notes()[0].text.count(QLatin1Char('\n')), 2);
}

TEST(ApplicationWindowTest, TitleButtonTooltipsComeAfterTheirDelay) {
  WindowFixture f;
  CApplicationDlg& window = f.Window();
  window.ShowPage(kDeviceListPage);
  ASSERT_TRUE(testing::ShowAndWait(&window));
  struct Case {
    CTButtonPicture* button;
    const char* tip;
  };
  const Case cases[] = {{window.MinimizeButton(), "Min"}, {window.CloseButton(), "Close"}};
  for (const Case& c : cases) {
    QTest::mouseMove(&window, QPoint(400, 300));
    QTest::mouseMove(c.button, QPoint(12, 12));
    EXPECT_FALSE(QToolTip::isVisible() && QToolTip::text() == QString::fromLatin1(c.tip));
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return QToolTip::isVisible() && QToolTip::text() == QString::fromLatin1(c.tip); },
        5000))
        << c.tip;
  }
  QTest::mouseMove(&window, QPoint(400, 300));
}

}  // namespace
}  // namespace brevant
