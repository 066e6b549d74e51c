#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "records/ado_database.h"

namespace brevant {

// A segment of this kind never holds more than a few thousand devices: the
// store and the link manager's device table stop there, so a flood of made-up
// source addresses cannot grow them without end.
inline constexpr std::size_t kMaxDevices = 8192;

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

  // A device beyond the row limit (kMaxDevices) is refused, with one
  // diagnostic line until DeleteAllDevices.
  bool InsertOrUpdateDevice(const DiscoveredDevice& device);
  bool SetParaStatus(std::string_view mac, std::int32_t code);
  bool SetLogoStatus(std::string_view mac, std::int32_t code);
  bool SetAntiTheftStatus(std::string_view mac, std::int32_t code);
  // Deliveries. Marking a kind OPERATING makes it part of the device's current
  // delivery (a new one when that kind was already part of it); ResetStatuses,
  // DeleteAllDevices and a new discovery of the device end every delivery. A
  // device result counts only for the delivery it belongs to: from the moment
  // the job sends the last frame of that kind's transfer (AwaitDeviceResult)
  // until the delivery ends. A late result of an earlier delivery can then
  // neither show as this one's result nor hide its failure.
  //
  // The generation of the device's current delivery; 0 when it has none. A
  // delivery page puts it into each job it starts.
  std::uint64_t DeliveryGeneration(std::string_view mac);
  // The job of that delivery is about to send the last frame of the kind
  // (category 1 configuration, 2 logo, 3 anti-theft): the device's result of
  // it may come from now on. Generation 0 stands for the current delivery.
  void AwaitDeviceResult(int category, std::string_view mac, std::uint64_t generation);
  // A device's result (OPERATE_SUCCESS, OPERATE_FAIL, LOCKCODE_MISMATCH) for the
  // kind. Written only while the device's current delivery awaits it; false,
  // writing nothing, otherwise.
  bool SetDeviceResult(int category, std::string_view mac, std::int32_t code);
  // A job's end of transfer (TRANSMIT_FINISH or TRANSMIT_FAIL). Nothing is
  // written for a job of a delivery that is no longer the device's current one
  // (generation 0: whichever is current). A device that answered fast may have
  // reported its result already: that result is kept, never overwritten by the
  // older news. True when written or kept.
  bool SetTransferStatus(int category, std::string_view mac, std::int32_t code,
                         std::uint64_t generation = 0);
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
  // The same untranslated ("Operate success"), and the code's name
  // ("OPERATE_SUCCESS"); both empty for codes outside 0-7.
  static std::string_view StatusEnglishText(std::int32_t code);
  static std::string_view StatusName(std::int32_t code);

  // For tests: a smaller row limit.
  void SetDeviceLimitForTesting(std::size_t rows);

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
