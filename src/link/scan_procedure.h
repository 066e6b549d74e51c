#pragma once

#include <functional>

namespace brevant {

class AcTransmitManage;
class CSqlManagement;

// What a scan calls; the screens and brevant-cli use ScanActionsFor, tests
// their own functions.
struct ScanActions {
  std::function<void()> clearDevices;
  std::function<void()> deleteAllDevices;
  std::function<void()> sendDiscover;
  std::function<int()> countDevices;
};

// The link manager's table, the store's rows and the broadcast.
ScanActions ScanActionsFor(AcTransmitManage& link, CSqlManagement& store);

// When discovery requests go out and when a scan is over. The caller drives
// it with a one-second tick: Start, then Tick until it returns true. A scan
// lasts at least four ticks, ends at the first multiple of four at which the
// count has not grown since the previous check, and broadcasts again every
// twelfth tick while it still grows.
class ScanProcedure {
 public:
  explicit ScanProcedure(ScanActions actions);

  // Empties the device table and the store and broadcasts; the counters
  // start at 0.
  void Start();
  // One tick; true when the scan is over (the procedure is idle again). A
  // tick while idle does nothing and returns true.
  bool Tick();

  bool Running() const { return running_; }
  int TickNumber() const { return tick_; }
  int RememberedCount() const { return remembered_; }
  // Broadcasts since Start, the first one included.
  int Broadcasts() const { return broadcasts_; }
  // The tick on which the last scan ended; 0 before any ended.
  int EndedOnTick() const { return endedOn_; }

 private:
  void End();

  ScanActions actions_;
  bool running_ = false;
  int tick_ = 0;
  int remembered_ = 0;
  int broadcasts_ = 0;
  int endedOn_ = 0;
};

}  // namespace brevant
