#pragma once

#include <QTimer>
#include <string>
#include <vector>

#include "controls/skin_dialog.h"
#include "link/adapters.h"
#include "link/scan_procedure.h"
#include "screens/screen_services.h"

namespace brevant {

class CCustomComboBox;
class CTButtonPicture;
class CTPicture;
class CTStaticGdiplus;

// The adapter page (page 160): the operator picks the Ethernet adapter cabled
// to the devices and presses "Start Scan"; the page applies it to the link
// manager, starts the link's threads and runs the scan with an animation.
// When the scan has settled it says so (ScanSettled) and the window shows the
// device list.
//
// The page remembers the adapter of the last scan started here (by its list
// text) and selects it again whenever the list is refilled; an adapter that
// has gone gives way to the first one.
class CSelectAdapterDlg : public CTDialog {
  Q_OBJECT

 public:
  static constexpr int kTickMs = 1000;

  CSelectAdapterDlg(QWidget* parent, const ScreenServices& services);

  // Lists the adapters anew and selects (and applies to the link manager)
  // the remembered one, or the first.
  void FillList();
  // "Start Scan".
  void StartScan();
  // One tick of the running scan.
  void Tick();

  bool Idle() const { return idle_; }
  const ScanProcedure& Scan() const { return scan_; }
  bool TickActive() const { return timer_.isActive(); }
  // For tests that drive the ticks themselves.
  void SetTickIntervalForTesting(int ms) { timer_.setInterval(ms); }
  const std::string& RememberedAdapter() const { return remembered_; }
  // The selected adapter's readable name (its description); empty when none.
  QString SelectedAdapterName() const;
  const std::vector<AdapterRecord>& Adapters() const { return records_; }

  CCustomComboBox* AdapterList() const { return list_; }
  CTButtonPicture* ScanButton() const { return scanButton_; }
  CTPicture* Animation() const { return animation_; }
  CTStaticGdiplus* Footer() const { return footer_; }

  // The footer's notice: the owner and the version.
  static QString FooterText();

 signals:
  // The scan is over: show the device list and fill it from the store.
  void ScanSettled();

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void Apply(const AdapterRecord& record);
  void ShowPendingMessage();
  QString Skin(const char* file) const;

  ScreenServices services_;
  CTPicture* logo_;
  CTStaticGdiplus* title_;
  CCustomComboBox* list_;
  CTButtonPicture* scanButton_;
  CTPicture* animation_;
  CTStaticGdiplus* footer_;

  std::vector<AdapterRecord> records_;
  std::string remembered_;
  bool idle_ = true;
  ScanProcedure scan_;
  QTimer timer_;
  // A capture-library failure met while the window was not up yet.
  QString pendingMessage_;
};

}  // namespace brevant
