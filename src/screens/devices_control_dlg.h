#pragma once

#include <QTimer>
#include <array>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "controls/image_list.h"
#include "controls/skin_dialog.h"
#include "link/scan_procedure.h"
#include "records/status_store.h"
#include "screens/page_host.h"
#include "screens/screen_services.h"

class QMenu;
class QAction;

namespace brevant {

class CErrorTipWnd;
class CGridCtrl;
class CTButtonPicture;
class CTPicture;
class CTStaticGdiplus;
class DeliveryWatch;

// The device list (page 161): the store's devices in a grid with check boxes
// and status icons, the success and failure counters, the buttons that hand
// the ticked devices to the delivery pages, a rescan, and the advice balloon
// over failure icons, and a right-click menu on the grid that exports the
// rows' results or ticks the failed devices for a retry. While a delivery runs
// it polls the store: each target's verdict every second, the counters every
// two, the end of the watch every three (every target counted, or 15 seconds).
//
// The handlers of its buttons, clicks and timers are public, so a test can
// drive it step by step; the timers call the same functions.
class CDevicesControlDlg : public CTDialog {
  Q_OBJECT

 public:
  // Grid columns.
  enum Column { kCheckColumn = 0, kNumberColumn = 1, kMacColumn = 2, kStatusColumn = 3 };
  // The grid's pictures, by index; kImageNone has no picture (an idle device).
  enum Image {
    kImageClear = 0,
    kImageSet = 1,
    kImagePartly = 2,
    kImageSuccess = 3,
    kImageFailed = 4,
    kImageBusy = 5,
    kImageNone = 6,
  };
  enum class State { Idle, Scanning, Watching };

  static constexpr int kScanTickMs = 1000;
  static constexpr int kProgressTickMs = 1000;
  static constexpr int kCountersTickMs = 2000;
  static constexpr int kWatchTickMs = 3000;
  static constexpr int kWatchSeconds = 15;
  static constexpr int kAdapterNameChars = 24;

  CDevicesControlDlg(QWidget* parent, const ScreenServices& services, PageHost& host);
  ~CDevicesControlDlg() override;

  // The page that the two hand-over buttons fill (kCustomizationPage, kAntiTheftPage).
  void SetDeliveryPage(int page, DeliveryPage* delivery);

  // "NIC:" and the adapter's name; a name of 24 characters or more is cut to
  // 24 and "...". The tooltip holds the whole name.
  void SetAdapterName(const QString& name);
  static QString AdapterLabelText(const QString& name);

  // Reads the store (sorted by MAC or by result), shows the counters and,
  // with rebuild, fills the grid anew: every row clear, the status icons from
  // each device's codes.
  void RefreshList(bool rebuild, bool ascending, int sortColumn);
  // The direction the next click on a sortable header sorts in.
  bool Ascending() const { return ascending_; }

  // A delivery page started a delivery to the target list (the page's id;
  // anything else is ignored): lock the page and watch those devices.
  void StartWatching(int page);

  // -- the handlers --
  void OnCellClicked(int row, int col);
  // "Device Customization" (kCustomizationPage) or "Anti-Theft Protection"
  // (kAntiTheftPage): the ticked devices to that page, or a note that none is ticked.
  void HandToPage(int page);
  void Rescan();
  // "Change": back to the adapter page.
  void Change();
  void ScanTick();      // every second while a rescan runs
  void ProgressTick();  // every second while watching: each target's row
  void CountersTick();  // every two seconds while watching
  void WatchTick();     // every three seconds while watching: the end?
  // The pointer is at this point of the grid: the balloon over a failure
  // icon, hidden anywhere else.
  void PointerAt(const QPoint& gridPoint);
  // A right click on the grid: the results menu at that point of the screen.
  // Not offered while a scan or a delivery watch locks the page; its items
  // are disabled while the grid has no rows.
  void OpenResultsMenu(const QPoint& globalPos);
  // "Export results…": asks for a .csv file (a save dialog, run through
  // RunModal) and writes every row's results to it as brevant-cli --csv does,
  // in grid order. A file that cannot be written gives a note naming it and
  // the reason; the store and the grid are untouched either way. False when
  // nothing was written (cancelled, locked, no rows, or the failure).
  bool ExportResults();
  // "Tick failed devices": ticks exactly the rows whose device the store
  // judges failed, unticks the others.
  void TickFailedDevices();

  // -- what a test looks at --
  State CurrentState() const { return state_; }
  // Row 0 is the header: 0 none ticked, 1 all, 2 some. Data rows 0 or 1.
  int CheckState(int row) const;
  int TickedCount() const { return ticked_; }
  int RowCount() const;  // data rows
  // The first row of the MAC; -1 when it has none.
  int RowOfMac(const std::string& mac) const;
  const std::vector<std::string>& TargetList() const { return targets_; }
  int SuccessCount() const { return successes_; }
  int FailureCount() const { return failures_; }
  bool ScanTimerActive() const { return scanTimer_.isActive(); }
  bool WatchTimersActive() const;
  const ScanProcedure& Scan() const { return scan_; }
  // The seconds the watch has counted; 0 when not watching.
  int WatchElapsed() const;
  static int StatusImage(DeviceResult result);
  // For tests that drive the ticks themselves: every timer's interval.
  void SetTimerIntervalsForTesting(int ms);

  CGridCtrl* Grid() const { return grid_; }
  CTButtonPicture* CustomizationButton() const { return customization_; }
  CTButtonPicture* AntiTheftButton() const { return antiTheft_; }
  CTButtonPicture* ScanButton() const { return scanButton_; }
  CTButtonPicture* ChangeButton() const { return change_; }
  CTPicture* WaitAnimation() const { return wait_; }
  CTStaticGdiplus* AdapterLabel() const { return adapterLabel_; }
  CTStaticGdiplus* SuccessLabel() const { return successCount_; }
  CTStaticGdiplus* FailureLabel() const { return failureCount_; }
  CErrorTipWnd* Balloon() const { return balloon_; }
  QMenu* ResultsMenu() const { return resultsMenu_; }
  QAction* ExportAction() const { return exportAction_; }
  QAction* TickFailedAction() const { return tickFailedAction_; }

 signals:
  // "Change" was pressed: the window refills and shows the adapter page.
  void ChangeRequested();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void hideEvent(QHideEvent* event) override;

 private:
  void Rebuild(const std::vector<ap_info_stu>& rows);
  void ShowCounters(int successes, int failures);
  void LayoutCounters();
  void ToggleAll();
  void ToggleRow(int row);
  void FollowCount();
  void ClearChecks();
  void SetControlsEnabled(bool enabled);
  void UpdateTargetRows();
  void EndWatch();
  void HideBalloon();
  // The MAC of every data row, in grid order.
  std::vector<std::string> RowMacs() const;
  // The file the operator picks for an export; empty when cancelled.
  QString AskExportFile();
  QString Skin(const char* file) const;

  ScreenServices services_;
  PageHost& host_;
  std::array<DeliveryPage*, 2> pages_{};

  CTButtonPicture* customization_;
  CTButtonPicture* antiTheft_;
  CTButtonPicture* scanButton_;
  CTPicture* wait_;
  CTStaticGdiplus* adapterLabel_;
  CTButtonPicture* change_;
  CTStaticGdiplus* successText_;
  CTStaticGdiplus* successCount_;
  CTStaticGdiplus* failureText_;
  CTStaticGdiplus* failureCount_;
  CTStaticGdiplus* devicesText_;
  CGridCtrl* grid_;
  CImageList images_;
  CErrorTipWnd* balloon_;
  QMenu* resultsMenu_;
  QAction* exportAction_;
  QAction* tickFailedAction_;
  // Where the last export went: the next one starts there.
  QString exportFolder_;

  State state_ = State::Idle;
  // One entry per grid row, the header's first; no limit on the rows.
  std::vector<int> checks_{0};
  int ticked_ = 0;
  bool ascending_ = true;
  int successes_ = 0;
  int failures_ = 0;
  std::vector<std::string> targets_;
  // Rebuilt with the grid: a watched device's row without a search.
  std::unordered_map<std::string, int> rowOfMac_;

  ScanProcedure scan_;
  std::unique_ptr<DeliveryWatch> watch_;
  QTimer scanTimer_;
  QTimer progressTimer_;
  QTimer countersTimer_;
  QTimer watchTimer_;

  std::string balloonMac_;
};

}  // namespace brevant
