#pragma once

// The main window for the window fixtures: shown, its timers slowed to an
// hour, so a test drives the ticks itself and nothing depends on how fast
// the machine is.

#include <gtest/gtest.h>

#include <QTest>
#include <memory>

#include "screens/application_dlg.h"
#include "screens/devices_control_dlg.h"
#include "screens/screen_services.h"
#include "screens/select_adapter_dlg.h"

namespace brevant::testing {

inline constexpr int kTimerHour = 3600 * 1000;

// Made into `window` before it is shown: whatever runs while it is being
// exposed finds it there.
inline void ShowSlowedWindow(std::unique_ptr<CApplicationDlg>& window,
                             const ScreenServices& services) {
  window = std::make_unique<CApplicationDlg>(services);
  window->AdapterPage()->SetTickIntervalForTesting(kTimerHour);
  window->DeviceList()->SetTimerIntervalsForTesting(kTimerHour);
  window->show();
  EXPECT_TRUE(QTest::qWaitForWindowExposed(window.get()));
}

}  // namespace brevant::testing
