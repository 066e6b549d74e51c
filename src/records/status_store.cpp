#include "records/status_store.h"

#include <sqlite3.h>

#include <array>
#include <atomic>
#include <system_error>
#include <unordered_map>
#include <utility>

#include "app/exe_dir.h"
#include "i18n/language.h"
#include "records/diag_log.h"
#include "text/text.h"

namespace brevant {

namespace {

// SQLite keeps the declared widths as documentation only; ID is the rowid, so
// rows can be written back through it. mac compares without letter case, as the
// first engine did.
constexpr const char* kCreateTable =
    "CREATE TABLE ap_info(ID INTEGER PRIMARY KEY,result char(4),mac char(18) COLLATE NOCASE,"
    "ap_para_status int,ap_para_status_str char(33),ap_logo_status int,"
    "ap_logo_status_str char(33),ap_antitheft_status int,ap_antitheft_status_str char(33),"
    "ap_date char(33),ap_ssid2 char(33),ap_ssid5 char(33),ap_wpakey2 char(64),"
    "ap_wpakey5 char(64))";
constexpr const char* kCreateIndex = "CREATE INDEX ap_info_mac ON ap_info(mac)";
constexpr const char* kSelectByMac = "select * from ap_info where mac=?";
// The device list asks for every row's verdict on each refresh: only the codes.
constexpr const char* kSelectCodesByMac =
    "select ap_para_status, ap_logo_status, ap_antitheft_status from ap_info where mac=?";

constexpr const char* kStatusTexts[] = {
    "Wait operate",    "Operating",     "Operate success",        "Operate fail",
    "Transmit finish", "Transmit fail", "Device respond timeout", "Lockcode mismatch",
};

std::atomic<bool> gTraceEnabled{false};

// The class of a code, numbered like the verdicts: succeeded, failed, busy, idle.
DeviceResult Classify(std::int32_t code) {
  switch (code) {
    case OPERATE_SUCCESS:
      return RESULT_SUCCESS;
    case OPERATE_FAIL:
    case TRANSMIT_FAIL:
    case DEVICE_RESPOND_TIMEOUT:
    case LOCKCODE_MISMATCH:
      return RESULT_FAILED;
    case OPERATING:
    case TRANSMIT_FINISH:
      return RESULT_BUSY;
    default:
      return RESULT_IDLE;
  }
}

DeviceResult Decide(std::int32_t para, std::int32_t logo, std::int32_t antiTheft) {
  const DeviceResult p = Classify(para);
  const DeviceResult l = Classify(logo);
  const DeviceResult a = Classify(antiTheft);
  if ((p == RESULT_SUCCESS && (l == RESULT_SUCCESS || l == RESULT_IDLE)) ||
      (p == RESULT_IDLE && l == RESULT_SUCCESS) || a == RESULT_SUCCESS)
    return RESULT_SUCCESS;
  if (p == RESULT_FAILED || l == RESULT_FAILED || a == RESULT_FAILED)
    return RESULT_FAILED;
  if (p == RESULT_BUSY || l == RESULT_BUSY || a == RESULT_BUSY)
    return RESULT_BUSY;
  return RESULT_IDLE;
}

// The diagnostic log takes its own lock: never call this under the store's.
void Trace(std::int32_t para, std::int32_t logo, std::int32_t antiTheft) {
  WriteLog("CSqlManagement::EvaluateCodes", 0, __LINE__,
           "\r\n--------------------para:%d,logo:%d,anti:%d\r\n", para, logo, antiTheft);
  WriteLog("CSqlManagement::EvaluateCodes", 0, __LINE__,
           "\r\n--------------------rea:%d,reogo:%d,reanti:%d\r\n", Classify(para), Classify(logo),
           Classify(antiTheft));
}

// LIKE with '\' as its escape character: the filter's own wildcards match
// themselves.
std::string LikeSubstring(std::string_view filter) {
  std::string pattern = "%";
  for (const char c : filter) {
    if (c == '%' || c == '_' || c == '\\')
      pattern += '\\';
    pattern += c;
  }
  pattern += '%';
  return pattern;
}

void RemoveDatabaseFiles(const std::filesystem::path& file) {
  std::error_code ignored;
  std::filesystem::remove(file, ignored);
  // A journal left by an earlier run must not be played into the new file.
  for (const char* suffix : {"-journal", "-wal", "-shm"})
    std::filesystem::remove(file.string() + suffix, ignored);
}

// What the store knows of a device's current delivery, kept beside its row.
struct Delivery {
  enum Phase { None, Sending, Awaiting };
  std::uint64_t generation = 0;
  std::array<Phase, 3> phases{};  // configuration, logo, anti-theft
};

// Categories 1-3 to the index of their kind; -1 for anything else.
int KindIndex(int category) {
  return category >= 1 && category <= 3 ? category - 1 : -1;
}

const char* StatusColumn(int kind) {
  static const char* columns[] = {"ap_para_status", "ap_logo_status", "ap_antitheft_status"};
  return columns[kind];
}

}  // namespace

struct CSqlManagement::Impl {
  Impl() : recordset(database) {}

  // Keyed by the MAC text in lower case: the mac column compares without case.
  Delivery* FindDelivery(std::string_view mac) {
    const auto found = deliveries.find(AsciiLower(mac));
    return found == deliveries.end() ? nullptr : &found->second;
  }
  // OPERATING for a kind: it joins the device's delivery, or starts a new one
  // when it already belongs to the current one.
  void StartDelivery(std::string_view mac, int kind) {
    Delivery& delivery = deliveries[AsciiLower(mac)];
    if (delivery.generation == 0 || delivery.phases[kind] != Delivery::None)
      delivery = Delivery{++lastGeneration, {}};
    delivery.phases[kind] = Delivery::Sending;
  }

  // The scratch file needs no durability: it is deleted at exit anyway. The
  // journal stays (in memory) so that a failed statement still rolls back. No
  // other program uses the file, so the connection keeps its lock instead of
  // taking and checking it again on every statement (most of a statement's
  // cost); pages still reach the file at every commit, so a copy of it reads.
  void ScratchSettings() {
    database.Execute("PRAGMA synchronous=OFF");
    database.Execute("PRAGMA journal_mode=MEMORY");
    database.Execute("PRAGMA locking_mode=EXCLUSIVE");
  }

  // SQLite keeps a connection in exclusive locking mode in its error state
  // after an I/O error (a disk that turned read-only under a write, say), so
  // every later read fails too, though the file still reads. A read that
  // failed so opens the file afresh; writes go on failing while the disk
  // does. True when it did. Called with the lock held, right after the read.
  bool ReopenAfterIoError() {
    if ((database.LastError().code & 0xFF) != SQLITE_IOERR)
      return false;
    recordset.Close();
    if (!database.Open(connection))
      return false;
    ScratchSettings();
    return true;
  }

  std::mutex mutex;
  CADODatabase database;
  CADORecordset recordset;
  std::string connection;
  std::unordered_map<std::string, Delivery> deliveries;
  std::uint64_t lastGeneration = 0;
  // Rows since the table was last emptied, and the limit.
  std::size_t rows = 0;
  std::size_t rowLimit = kMaxDevices;
  bool fullReported = false;
};

std::filesystem::path CSqlManagement::DefaultDatabaseFile() {
  std::string why;
  if (const auto folder = ScratchDirectory(&why))
    return *folder / "data.db";
  WriteLog("CSqlManagement::DefaultDatabaseFile", 1, __LINE__, "no private folder for data.db: %s",
           why.c_str());
  // Opening it there fails, and start-up tells the operator so.
  return ExecutableDirectory() / "data.db";
}

CSqlManagement& CSqlManagement::Instance() {
  static CSqlManagement store(DefaultDatabaseFile());
  return store;
}

CSqlManagement::CSqlManagement(const std::filesystem::path& databaseFile)
    : databaseFile_(databaseFile), impl_(std::make_unique<Impl>()) {
  impl_->connection = databaseFile_.string();
  RemoveDatabaseFiles(databaseFile_);
  CADODatabase& db = impl_->database;
  bool made = db.Create(impl_->connection) && db.Open(impl_->connection);
  if (made) {
    impl_->ScratchSettings();
    made = ExecuteSql(kCreateTable) && ExecuteSql(kCreateIndex);
  }
  db.Close();
  // A store without its table could only fail later, one operation at a time:
  // it stays closed, so start-up can tell the operator at once.
  if (made && db.Open(impl_->connection))
    impl_->ScratchSettings();
}

CSqlManagement::~CSqlManagement() {
  {
    std::lock_guard lock(impl_->mutex);
    impl_->recordset.Close();
    impl_->database.Close();
  }
  RemoveDatabaseFiles(databaseFile_);
}

bool CSqlManagement::IsOpen() const {
  std::lock_guard lock(impl_->mutex);
  return impl_->database.IsOpen();
}

std::string CSqlManagement::StatusText(std::int32_t code) {
  const std::string_view english = StatusEnglishText(code);
  return english.empty() ? std::string() : Translate(english);
}

std::string_view CSqlManagement::StatusEnglishText(std::int32_t code) {
  if (code < 0 || code >= static_cast<std::int32_t>(std::size(kStatusTexts)))
    return {};
  return kStatusTexts[code];
}

std::string_view CSqlManagement::StatusName(std::int32_t code) {
  static constexpr const char* kNames[] = {
      "WAIT_OPERATE",    "OPERATING",     "OPERATE_SUCCESS",        "OPERATE_FAIL",
      "TRANSMIT_FINISH", "TRANSMIT_FAIL", "DEVICE_RESPOND_TIMEOUT", "LOCKCODE_MISMATCH",
  };
  if (code < 0 || code >= static_cast<std::int32_t>(std::size(kNames)))
    return {};
  return kNames[code];
}

void CSqlManagement::SetTraceEnabled(bool enabled) {
  gTraceEnabled.store(enabled, std::memory_order_relaxed);
}

DeviceResult CSqlManagement::EvaluateCodes(std::int32_t para, std::int32_t logo,
                                           std::int32_t antiTheft) {
  if (gTraceEnabled.load(std::memory_order_relaxed))
    Trace(para, logo, antiTheft);
  return Decide(para, logo, antiTheft);
}

std::string CSqlManagement::GetAdvice(std::string_view /*mac*/) {
  return "1. Make sure the Lock Code is correct.\r\n"
         "2. Make sure the DUT is running a software version that supports Anti-Theft "
         "Protection.\r\n"
         "3. Check that the Ethernet cable is properly connected between the DUT and PC.";
}

bool CSqlManagement::ExecuteSql(const std::string& statement, const SqlParams& params) {
  for (int attempt = 0; attempt < 3; ++attempt) {
    std::lock_guard lock(impl_->mutex);
    if (impl_->database.IsOpen() && impl_->database.Execute(statement, params))
      return true;
  }
  return false;
}

bool CSqlManagement::InsertOrUpdateDevice(const DiscoveredDevice& device) {
  // Translation takes the language lock: done before the store's.
  const std::string waiting = StatusText(WAIT_OPERATE);
  bool full = false;
  bool stored = false;
  {
    std::lock_guard lock(impl_->mutex);
    if (!impl_->database.IsOpen())
      return false;
    CADORecordset& rs = impl_->recordset;
    if (!rs.Open(kSelectByMac, {device.mac}))
      return false;
    const bool known = rs.RowCount() > 0;
    const bool refused = !known && impl_->rows >= impl_->rowLimit;
    if (refused) {
      rs.Close();
      full = !impl_->fullReported;
      impl_->fullReported = true;
    } else if (known) {
      rs.Edit();
    } else if (!rs.AddNew()) {
      rs.Close();
      return false;
    }
    if (!refused) {
      const bool written =
          rs.WriteField("mac", device.mac) && rs.WriteField("ap_para_status", WAIT_OPERATE) &&
          rs.WriteField("ap_para_status_str", waiting) &&
          rs.WriteField("ap_logo_status", WAIT_OPERATE) &&
          rs.WriteField("ap_logo_status_str", waiting) &&
          rs.WriteField("ap_antitheft_status", WAIT_OPERATE) &&
          rs.WriteField("ap_antitheft_status_str", waiting) &&
          rs.WriteField("ap_date", device.time) && rs.WriteField("ap_ssid2", device.ssid2) &&
          rs.WriteField("ap_ssid5", device.ssid5) && rs.WriteField("ap_wpakey2", device.key2) &&
          rs.WriteField("ap_wpakey5", device.key5);
      // A half-written row is never stored: Close discards it.
      stored = written && rs.Update();
      rs.Close();
      if (stored && !known)
        ++impl_->rows;
      // Its statuses start again: no delivery of before is waiting any more.
      impl_->deliveries.erase(AsciiLower(device.mac));
    }
  }
  // The diagnostic log takes its own lock: after the store's is released.
  if (full) {
    WriteLog("CSqlManagement::InsertOrUpdateDevice", 1, __LINE__,
             "the device list is full (%zu devices); %s and later new devices are not recorded",
             impl_->rowLimit, device.mac.c_str());
  }
  return stored;
}

void CSqlManagement::SetDeviceLimitForTesting(std::size_t rows) {
  std::lock_guard lock(impl_->mutex);
  impl_->rowLimit = rows;
}

namespace {

struct ColumnValue {
  const char* column;
  SqlValue value;
};

// Writes columns of the row with the MAC; false when there is none or the row
// could not be written. Called with the lock held.
// With keepResultOf, a device result (2, 3 or 7) already in that column stays
// and nothing is written.
bool WriteRow(CADODatabase& database, CADORecordset& rs, std::string_view mac,
              std::initializer_list<ColumnValue> values, const char* keepResultOf = nullptr) {
  if (!database.IsOpen())
    return false;
  if (!rs.Open(kSelectByMac, {std::string(mac)}))
    return false;
  if (rs.RowCount() == 0) {
    rs.Close();
    return false;
  }
  if (keepResultOf != nullptr) {
    std::int32_t current = 0;
    if (rs.ReadField(keepResultOf, current) &&
        (current == OPERATE_SUCCESS || current == OPERATE_FAIL || current == LOCKCODE_MISMATCH)) {
      rs.Close();
      return true;
    }
  }
  rs.Edit();
  bool written = true;
  for (const auto& [column, value] : values) {
    if (const auto* integer = std::get_if<std::int64_t>(&value))
      written = written && rs.WriteField(column, *integer);
    else if (const auto* text = std::get_if<std::string>(&value))
      written = written && rs.WriteField(column, *text);
  }
  const bool stored = written && rs.Update();
  rs.Close();
  return stored;
}

}  // namespace

namespace {

// One status column pair written for a kind (0 configuration, 1 logo, 2
// anti-theft). Called with the lock held.
bool WriteStatus(CADODatabase& database, CADORecordset& rs, std::string_view mac, int kind,
                 std::int32_t code, const std::string& text, bool keepResult = false) {
  const std::string column = StatusColumn(kind);
  const std::string textColumn = column + "_str";
  return WriteRow(database, rs, mac,
                  {{column.c_str(), std::int64_t{code}}, {textColumn.c_str(), text}},
                  keepResult ? column.c_str() : nullptr);
}

}  // namespace

bool CSqlManagement::SetParaStatus(std::string_view mac, std::int32_t code) {
  const std::string text = StatusText(code);
  std::lock_guard lock(impl_->mutex);
  const bool written = WriteStatus(impl_->database, impl_->recordset, mac, 0, code, text);
  if (written && code == OPERATING)
    impl_->StartDelivery(mac, 0);
  return written;
}

bool CSqlManagement::SetLogoStatus(std::string_view mac, std::int32_t code) {
  const std::string text = StatusText(code);
  std::lock_guard lock(impl_->mutex);
  const bool written = WriteStatus(impl_->database, impl_->recordset, mac, 1, code, text);
  if (written && code == OPERATING)
    impl_->StartDelivery(mac, 1);
  return written;
}

bool CSqlManagement::SetAntiTheftStatus(std::string_view mac, std::int32_t code) {
  const std::string text = StatusText(code);
  std::lock_guard lock(impl_->mutex);
  const bool written = WriteStatus(impl_->database, impl_->recordset, mac, 2, code, text);
  if (written && code == OPERATING)
    impl_->StartDelivery(mac, 2);
  return written;
}

std::uint64_t CSqlManagement::DeliveryGeneration(std::string_view mac) {
  std::lock_guard lock(impl_->mutex);
  const Delivery* delivery = impl_->FindDelivery(mac);
  return delivery != nullptr ? delivery->generation : 0;
}

void CSqlManagement::AwaitDeviceResult(int category, std::string_view mac,
                                       std::uint64_t generation) {
  const int kind = KindIndex(category);
  if (kind < 0)
    return;
  std::lock_guard lock(impl_->mutex);
  Delivery* delivery = impl_->FindDelivery(mac);
  if (delivery != nullptr && (generation == 0 || delivery->generation == generation) &&
      delivery->phases[kind] == Delivery::Sending) {
    delivery->phases[kind] = Delivery::Awaiting;
  }
}

bool CSqlManagement::SetDeviceResult(int category, std::string_view mac, std::int32_t code) {
  const int kind = KindIndex(category);
  if (kind < 0)
    return false;
  const std::string text = StatusText(code);
  std::lock_guard lock(impl_->mutex);
  const Delivery* delivery = impl_->FindDelivery(mac);
  if (delivery == nullptr || delivery->phases[kind] != Delivery::Awaiting)
    return false;
  return WriteStatus(impl_->database, impl_->recordset, mac, kind, code, text);
}

bool CSqlManagement::SetTransferStatus(int category, std::string_view mac, std::int32_t code,
                                       std::uint64_t generation) {
  const int kind = KindIndex(category);
  if (kind < 0)
    return false;
  const std::string text = StatusText(code);
  std::lock_guard lock(impl_->mutex);
  if (generation != 0) {
    // A job of an earlier delivery: its news is not this delivery's.
    const Delivery* delivery = impl_->FindDelivery(mac);
    if (delivery == nullptr || delivery->generation != generation)
      return false;
  }
  return WriteStatus(impl_->database, impl_->recordset, mac, kind, code, text, true);
}

bool CSqlManagement::SetResult(std::string_view mac, int value) {
  std::lock_guard lock(impl_->mutex);
  return WriteRow(impl_->database, impl_->recordset, mac, {{"result", std::to_string(value)}});
}

DeviceResult CSqlManagement::EvaluateDevice(std::string_view mac) {
  std::int32_t para = 0, logo = 0, antiTheft = 0;
  {
    std::lock_guard lock(impl_->mutex);
    CADORecordset& rs = impl_->recordset;
    const SqlParams params = {std::string(mac)};
    if (impl_->database.IsOpen() &&
        (rs.Open(kSelectCodesByMac, params) ||
         (impl_->ReopenAfterIoError() && rs.Open(kSelectCodesByMac, params)))) {
      if (rs.RowCount() > 0 &&
          !(rs.ReadField("ap_para_status", para) && rs.ReadField("ap_logo_status", logo) &&
            rs.ReadField("ap_antitheft_status", antiTheft)))
        para = logo = antiTheft = 0;
      rs.Close();
    }
  }
  return EvaluateCodes(para, logo, antiTheft);
}

bool CSqlManagement::ResetStatuses() {
  {
    std::lock_guard lock(impl_->mutex);
    impl_->deliveries.clear();
  }
  return ExecuteSql(
      "UPDATE ap_info SET ap_antitheft_status = 0,ap_antitheft_status_str = '',"
      "ap_logo_status = 0,ap_logo_status_str = '',ap_para_status = 0,ap_para_status_str = '',"
      "result = ''");
}

bool CSqlManagement::DeleteAllDevices() {
  {
    std::lock_guard lock(impl_->mutex);
    impl_->deliveries.clear();
  }
  if (!ExecuteSql("DELETE FROM ap_info"))
    return false;
  std::lock_guard lock(impl_->mutex);
  impl_->rows = 0;
  impl_->fullReported = false;
  return true;
}

bool CSqlManagement::QueryDevices(bool ascending, SortKey sortKey, std::string_view filter,
                                  std::vector<ap_info_stu>& rows, int& rowCount, int& successCount,
                                  int& failCount) {
  const char* column = nullptr;
  if (sortKey == SORT_BY_MAC)
    column = "ap_info.mac";
  else if (sortKey == SORT_BY_RESULT)
    column = "ap_info.result";
  else
    return false;
  std::string statement = "select * from ap_info ";
  SqlParams params;
  if (!filter.empty()) {
    statement += " where ap_info.mac like ? escape '\\'";
    params.emplace_back(LikeSubstring(filter));
  }
  // Rows that sort alike keep the order of discovery, so a refresh does not
  // shuffle them.
  statement +=
      std::string(" order by ") + column + (ascending ? " asc" : " desc") + ", ap_info.ID asc";

  const std::size_t first = rows.size();
  {
    std::lock_guard lock(impl_->mutex);
    if (!impl_->database.IsOpen())
      return false;
    CADORecordset& rs = impl_->recordset;
    if (!rs.Open(statement, params) && !(impl_->ReopenAfterIoError() && rs.Open(statement, params)))
      return false;
    rowCount = static_cast<int>(rs.RowCount());
    rows.reserve(first + static_cast<std::size_t>(rowCount));
    for (long i = 0; i < rs.RowCount(); ++i) {
      ap_info_stu row;
      std::string mac;
      rs.ReadField("mac", mac);
      row.mac = TrimWhite(mac);
      rs.ReadField("ap_date", row.date);
      rs.ReadField("ap_para_status", row.paraStatus);
      rs.ReadField("ap_logo_status", row.logoStatus);
      rs.ReadField("ap_antitheft_status", row.antiTheftStatus);
      rs.ReadField("ap_ssid2", row.ssid2);
      rs.ReadField("ap_ssid5", row.ssid5);
      rs.ReadField("ap_wpakey2", row.key2);
      rs.ReadField("ap_wpakey5", row.key5);
      const DeviceResult result = Decide(row.paraStatus, row.logoStatus, row.antiTheftStatus);
      if (result == RESULT_SUCCESS)
        ++successCount;
      else if (result == RESULT_FAILED)
        ++failCount;
      rows.push_back(std::move(row));
      rs.MoveNext();
    }
    rs.Close();
  }
  if (gTraceEnabled.load(std::memory_order_relaxed)) {
    for (std::size_t i = first; i < rows.size(); ++i)
      Trace(rows[i].paraStatus, rows[i].logoStatus, rows[i].antiTheftStatus);
  }
  return true;
}

bool CSqlManagement::GetDevice(std::string_view mac, ap_info_stu& row) {
  row = ap_info_stu{};
  std::lock_guard lock(impl_->mutex);
  if (!impl_->database.IsOpen())
    return false;
  CADORecordset& rs = impl_->recordset;
  const auto open = [&] {
    return mac.empty() ? rs.Open("select * from ap_info order by ID")
                       : rs.Open(kSelectByMac, {std::string(mac)});
  };
  if (!open() && !(impl_->ReopenAfterIoError() && open()))
    return false;
  if (rs.RowCount() > 0) {
    rs.ReadField("mac", row.mac);
    rs.ReadField("ap_ssid2", row.ssid2);
    rs.ReadField("ap_ssid5", row.ssid5);
    rs.ReadField("ap_wpakey2", row.key2);
    rs.ReadField("ap_wpakey5", row.key5);
  }
  rs.Close();
  return true;
}

}  // namespace brevant
