#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "records/ado_database.h"

namespace brevant {

// The state of one delivery kind on one device.
enum OperationStatus : std::int32_t {
  WAIT_OPERATE = 0,
  OPERATING = 1,
  OPERATE_SUCCESS = 2,
  OPERATE_FAIL = 3,
  TRANSMIT_FINISH = 4,
  TRANSMIT_FAIL = 5,
  DEVICE_RESPOND_TIMEOUT = 6,
  LOCKCODE_MISMATCH = 7,
};

// A device's overall verdict, derived from its three codes.
enum DeviceResult : int {
  RESULT_SUCCESS = 0,
  RESULT_FAILED = 1,
  RESULT_BUSY = 2,
  RESULT_IDLE = 3,
};

// The device list's column numbers, used as sort keys.
enum SortKey : int {
  SORT_BY_MAC = 2,
  SORT_BY_RESULT = 3,
};

// What discovery hands the store for one device. Texts are whole (the frame
// widths already bound them).
struct DiscoveredDevice {
  std::string mac;   // "C8:3A:35:A1:B2:C3"
  std::string time;  // "%04d-%02d-%02d %02d:%02d:%02d"
  std::string ssid2;
  std::string ssid5;
  std::string key2;
  std::string key5;
};

// One device row as the store hands it to the screens.
struct ap_info_stu {
  std::string mac;
  std::string date;
  std::int32_t paraStatus = 0;
  std::int32_t logoStatus = 0;
  std::int32_t antiTheftStatus = 0;
  std::string ssid2;
  std::string ssid5;
  std::string key2;
  std::string key5;
};

class CADODatabase;
class CADORecordset;

// The per-run store of discovered devices and their delivery states, in the
// table ap_info of a scratch SQLite file that is deleted when the store is
// created and again when it is destroyed. Every operation is serialised by one
// lock; no other lock is taken inside it.
class CSqlManagement {
 public:
  // The process's store, data.db in the scratch folder (beside the executable
  // when it may be written there), created on first call.
  static CSqlManagement& Instance();
  // The file Instance uses.
  static std::filesystem::path DefaultDatabaseFile();

  // A store on the given database file (tests and tools use their own).
  explicit CSqlManagement(const std::filesystem::path& databaseFile);
  ~CSqlManagement();
  CSqlManagement(const CSqlManagement&) = delete;
  CSqlManagement& operator=(const CSqlManagement&) = delete;

  // False when the database could not be opened at creation; every operation
  // then returns its failure value.
  bool IsOpen() const;
  const std::filesystem::path& DatabaseFile() const { return databaseFile_; }

  bool InsertOrUpdateDevice(const DiscoveredDevice& device);
  bool SetParaStatus(std::string_view mac, std::int32_t code);
  bool SetLogoStatus(std::string_view mac, std::int32_t code);
  bool SetAntiTheftStatus(std::string_view mac, std::int32_t code);
  // A job's end of transfer (TRANSMIT_FINISH or TRANSMIT_FAIL) for category 1
  // (configuration), 2 (logo) or 3 (anti-theft). A device that answered fast
  // may have reported its result already: that result is kept, never
  // overwritten by the older news. True when written or kept.
  bool SetTransferStatus(int category, std::string_view mac, std::int32_t code);
  bool SetResult(std::string_view mac, int value);
  DeviceResult EvaluateDevice(std::string_view mac);
  static DeviceResult EvaluateCodes(std::int32_t para, std::int32_t logo, std::int32_t antiTheft);
  static std::string GetAdvice(std::string_view mac);
  bool ResetStatuses();
  bool DeleteAllDevices();
  // Rows are appended and counters incremented, not set: callers start from an
  // empty list and zeroed counters.
  bool QueryDevices(bool ascending, SortKey sortKey, std::string_view filter,
                    std::vector<ap_info_stu>& rows, int& rowCount, int& successCount,
                    int& failCount);
  bool GetDevice(std::string_view mac, ap_info_stu& row);
  // The translated display text of a code; empty for codes outside 0-7.
  static std::string StatusText(std::int32_t code);

  // The EvaluateCodes trace lines go to the diagnostic log when switched on.
  static void SetTraceEnabled(bool enabled);

  // Runs one statement that gives no rows, up to three attempts, each under the
  // lock. Values go in as bound parameters.
  bool ExecuteSql(const std::string& statement, const SqlParams& params = {});

 private:
  struct Impl;
  std::filesystem::path databaseFile_;
  std::unique_ptr<Impl> impl_;
};

}  // namespace brevant
