#include "link/scan_procedure.h"

#include <string_view>
#include <vector>

#include "link/transmit_manage.h"
#include "records/status_store.h"

namespace brevant {

ScanActions ScanActionsFor(AcTransmitManage& link, CSqlManagement& store) {
  ScanActions actions;
  actions.clearDevices = [&link] { link.ClearDevices(); };
  actions.deleteAllDevices = [&store] { store.DeleteAllDevices(); };
  actions.sendDiscover = [&link] { link.SendDiscover(); };
  actions.countDevices = [&store] {
    std::vector<ap_info_stu> rows;
    int rowCount = 0;
    int successCount = 0;
    int failCount = 0;
    store.QueryDevices(true, SORT_BY_MAC, std::string_view(), rows, rowCount, successCount,
                       failCount);
    return static_cast<int>(rows.size());
  };
  return actions;
}

ScanProcedure::ScanProcedure(ScanActions actions) : actions_(std::move(actions)) {}

void ScanProcedure::Start() {
  if (actions_.clearDevices)
    actions_.clearDevices();
  if (actions_.deleteAllDevices)
    actions_.deleteAllDevices();
  if (actions_.sendDiscover)
    actions_.sendDiscover();
  running_ = true;
  tick_ = 0;
  remembered_ = 0;
  broadcasts_ = 1;
  endedOn_ = 0;
}

bool ScanProcedure::Tick() {
  if (!running_)
    return true;
  const int count = actions_.countDevices ? actions_.countDevices() : 0;
  ++tick_;
  if (tick_ == 1)
    remembered_ = count;
  if (tick_ % 4 == 0) {
    if (count == remembered_) {
      End();
      return true;
    }
    if (tick_ % 12 == 0) {
      if (actions_.sendDiscover)
        actions_.sendDiscover();
      ++broadcasts_;
    }
    remembered_ = count;
  }
  return false;
}

void ScanProcedure::End() {
  endedOn_ = tick_;
  running_ = false;
  tick_ = 0;
  remembered_ = 0;
}

}  // namespace brevant
