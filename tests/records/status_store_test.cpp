#include "records/status_store.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <future>
#include <latch>
#include <map>
#include <thread>

#include "app/exe_dir.h"
#include "i18n/language.h"
#include "records/diag_log.h"
#include "support/temp_dir.h"

namespace brevant {
namespace {

using testing::TempDir;

DiscoveredDevice Device(const std::string& mac, const std::string& tag = "a") {
  return {mac,          "2025-03-05 10:11:" + tag, "ssid2-" + tag, "ssid5-" + tag, "key2-" + tag,
          "key5-" + tag};
}

std::string Mac(int i) {
  char text[18];
  std::snprintf(text, sizeof text, "C8:3A:35:00:%02X:%02X", (i >> 8) & 0xff, i & 0xff);
  return text;
}

// Reads a row the way a person would look at the file while the tool runs: a
// copy of it (the store keeps the file locked), every column as text.
std::map<std::string, std::string> RawRow(const std::filesystem::path& file,
                                          const std::string& mac) {
  const auto copy = file.string() + ".copy";
  std::filesystem::copy_file(file, copy, std::filesystem::copy_options::overwrite_existing);
  CADODatabase db;
  EXPECT_TRUE(db.Open(copy)) << db.LastError().text;
  CADORecordset rs(db);
  EXPECT_TRUE(rs.Open("select * from ap_info where mac=?", {mac})) << rs.LastError().text;
  std::map<std::string, std::string> row;
  if (rs.RowCount() != 1)
    return row;
  for (const char* column :
       {"result", "mac", "ap_para_status", "ap_para_status_str", "ap_logo_status",
        "ap_logo_status_str", "ap_antitheft_status", "ap_antitheft_status_str", "ap_date",
        "ap_ssid2", "ap_ssid5", "ap_wpakey2", "ap_wpakey5"})
    EXPECT_TRUE(rs.ReadField(column, row[column]));
  return row;
}

struct Query {
  bool ok = false;
  std::vector<ap_info_stu> rows;
  int count = -1, success = 0, fail = 0;
};

Query QueryAll(CSqlManagement& store, bool ascending = true, SortKey key = SORT_BY_MAC,
               std::string_view filter = {}) {
  Query q;
  q.ok = store.QueryDevices(ascending, key, filter, q.rows, q.count, q.success, q.fail);
  return q;
}

std::vector<std::string> Macs(const Query& q) {
  std::vector<std::string> macs;
  for (const auto& row : q.rows)
    macs.push_back(row.mac);
  return macs;
}

class StoreTest : public ::testing::Test {
 protected:
  void SetUp() override { store_ = std::make_unique<CSqlManagement>(dir_ / "data.db"); }
  std::map<std::string, std::string> Raw(const std::string& mac) {
    return RawRow(store_->DatabaseFile(), mac);
  }

  TempDir dir_;
  std::unique_ptr<CSqlManagement> store_;
};

TEST(StoreLifecycle, FileIsDeletedAtCreationAndAtDestruction) {
  TempDir dir;
  const auto file = dir / "data.db";
  {
    CSqlManagement first(file);
    ASSERT_TRUE(first.IsOpen());
    ASSERT_TRUE(first.InsertOrUpdateDevice(Device(Mac(1))));
  }
  EXPECT_FALSE(std::filesystem::exists(file));

  // Whatever an earlier run left (here a broken file and a stale journal), a
  // new store starts with an empty table.
  dir.Write("data.db", "not a database");
  dir.Write("data.db-journal", std::string(512, '\x7f'));
  CSqlManagement second(file);
  ASSERT_TRUE(second.IsOpen());
  const Query q = QueryAll(second);
  EXPECT_TRUE(q.ok);
  EXPECT_EQ(q.count, 0);
  EXPECT_FALSE(std::filesystem::exists(dir / "data.db-journal"));

  EXPECT_EQ(CSqlManagement::DefaultDatabaseFile(), ExecutableDirectory() / "data.db");
}

TEST(StoreLifecycle, StoreThatCannotOpenFailsEveryOperation) {
  TempDir dir;
  CSqlManagement store(dir / "missing" / "data.db");
  EXPECT_FALSE(store.IsOpen());
  EXPECT_FALSE(store.InsertOrUpdateDevice(Device(Mac(1))));
  EXPECT_FALSE(store.SetParaStatus(Mac(1), OPERATING));
  EXPECT_FALSE(store.SetLogoStatus(Mac(1), OPERATING));
  EXPECT_FALSE(store.SetAntiTheftStatus(Mac(1), OPERATING));
  EXPECT_FALSE(store.SetResult(Mac(1), 1));
  EXPECT_EQ(store.EvaluateDevice(Mac(1)), RESULT_IDLE);
  EXPECT_FALSE(store.ResetStatuses());
  EXPECT_FALSE(store.DeleteAllDevices());
  EXPECT_FALSE(store.ExecuteSql("DELETE FROM ap_info"));
  std::vector<ap_info_stu> rows;
  int count = 4, success = 5, fail = 6;
  EXPECT_FALSE(store.QueryDevices(true, SORT_BY_MAC, "", rows, count, success, fail));
  EXPECT_TRUE(rows.empty());
  EXPECT_EQ(success, 5);
  EXPECT_EQ(fail, 6);
  ap_info_stu row;
  row.mac = "stale";
  EXPECT_FALSE(store.GetDevice("", row));
  EXPECT_EQ(row.mac, "");
}

TEST(StoreCodes, EvaluateCodesClassifiesEveryCombination) {
  struct Case {
    std::int32_t para, logo, anti;
    DeviceResult result;
  };
  const Case cases[] = {
      {2, 0, 0, RESULT_SUCCESS}, {2, 3, 0, RESULT_FAILED},    {4, 1, 0, RESULT_BUSY},
      {0, 0, 0, RESULT_IDLE},    {0, 0, 2, RESULT_SUCCESS},   {0, 0, 7, RESULT_FAILED},
      {0, 2, 0, RESULT_SUCCESS}, {2, 2, 0, RESULT_SUCCESS},   {2, 1, 0, RESULT_BUSY},
      {3, 2, 0, RESULT_FAILED},  {5, 0, 2, RESULT_SUCCESS},   {6, 4, 0, RESULT_FAILED},
      {9, 0, 0, RESULT_IDLE},    {2, 9, 0, RESULT_SUCCESS},   {9, 9, 9, RESULT_IDLE},
      {9, 1, 9, RESULT_BUSY},    {-1, 0, 70000, RESULT_IDLE},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(CSqlManagement::EvaluateCodes(c.para, c.logo, c.anti), c.result)
        << c.para << "," << c.logo << "," << c.anti;
  }
}

TEST(StoreCodes, StatusTextsAndAdvice) {
  const char* texts[] = {"Wait operate",           "Operating",        "Operate success",
                         "Operate fail",           "Transmit finish",  "Transmit fail",
                         "Device respond timeout", "Lockcode mismatch"};
  for (int code = 0; code < 8; ++code)
    EXPECT_EQ(CSqlManagement::StatusText(code), texts[code]);
  EXPECT_EQ(CSqlManagement::StatusText(9), "");
  EXPECT_EQ(CSqlManagement::StatusText(-1), "");
  EXPECT_EQ(CSqlManagement::GetAdvice("any"),
            "1. Make sure the Lock Code is correct.\r\n"
            "2. Make sure the DUT is running a software version that supports Anti-Theft "
            "Protection.\r\n"
            "3. Check that the Ethernet cable is properly connected between the DUT and PC.");
}

class TraceTest : public StoreTest {
 protected:
  void TearDown() override {
    CSqlManagement::SetTraceEnabled(false);
    SetDiagnosticSink({});
  }
};

TEST_F(TraceTest, TraceLinesAreOffByDefaultAndGoToTheLogWhenOn) {
  std::vector<std::string> lines;
  SetDiagnosticSink([&](const std::string& line) { lines.push_back(line); });
  CSqlManagement::EvaluateCodes(2, 3, 9);
  EXPECT_TRUE(lines.empty());

  CSqlManagement::SetTraceEnabled(true);
  CSqlManagement::EvaluateCodes(2, 3, 9);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_NE(lines[0].find("[INFO]"), std::string::npos);
  EXPECT_NE(lines[0].find("[CSqlManagement::EvaluateCodes:"), std::string::npos);
  EXPECT_NE(lines[0].find("]\r\n--------------------para:2,logo:3,anti:9\r\n\r\n"),
            std::string::npos)
      << lines[0];
  EXPECT_NE(lines[1].find("]\r\n--------------------rea:0,reogo:1,reanti:3\r\n\r\n"),
            std::string::npos)
      << lines[1];
}

TEST_F(TraceTest, QueryTracesOutsideTheStoreLock) {
  ASSERT_TRUE(store_->InsertOrUpdateDevice(Device(Mac(1))));
  ASSERT_TRUE(store_->SetParaStatus(Mac(1), OPERATE_SUCCESS));
  std::vector<std::string> lines;
  bool storeFree = true;
  // A sink that needs the store (from another thread, as a front end's would)
  // must not find it locked.
  SetDiagnosticSink([&](const std::string& line) {
    lines.push_back(line);
    auto other = std::async(std::launch::async, [&] {
      ap_info_stu row;
      return store_->GetDevice(Mac(1), row);
    });
    storeFree = storeFree && other.wait_for(std::chrono::seconds(5)) == std::future_status::ready;
  });
  CSqlManagement::SetTraceEnabled(true);
  const Query q = QueryAll(*store_);
  SetDiagnosticSink({});
  EXPECT_TRUE(q.ok);
  EXPECT_TRUE(storeFree);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_NE(lines[0].find("para:2,logo:0,anti:0"), std::string::npos);
}

TEST_F(StoreTest, DiscoveringAgainResetsCodesAndRefreshesTextsButKeepsResult) {
  TempDir packs;
  packs.Write("Languages/Language.ini", "[LCID]\r\n2052=Chinese\r\n");
  packs.Write("Languages/Chinese.lng",
              "[ProgramOutStr]\r\nWait operate=\xE7\xAD\x89\xE5\xBE\x85\r\n");
  InitLanguage(packs.path(), 2052);
  struct English {
    const TempDir& packs;
    ~English() { InitLanguage(packs.path(), 1033); }
  } english{packs};
  const std::string waiting = "\xE7\xAD\x89\xE5\xBE\x85";
  EXPECT_EQ(CSqlManagement::StatusText(WAIT_OPERATE), waiting);

  ASSERT_TRUE(store_->InsertOrUpdateDevice(Device(Mac(1), "a")));
  EXPECT_EQ(Raw(Mac(1))["result"], "");
  ASSERT_TRUE(store_->SetParaStatus(Mac(1), OPERATE_SUCCESS));
  ASSERT_TRUE(store_->SetLogoStatus(Mac(1), OPERATE_FAIL));
  ASSERT_TRUE(store_->SetAntiTheftStatus(Mac(1), OPERATING));
  ASSERT_TRUE(store_->SetResult(Mac(1), RESULT_FAILED));
  ASSERT_TRUE(store_->InsertOrUpdateDevice(Device(Mac(1), "b")));

  const Query q = QueryAll(*store_);
  ASSERT_EQ(q.count, 1);
  auto raw = Raw(Mac(1));
  const std::map<std::string, std::string> expected = {
      {"result", "1"},
      {"mac", Mac(1)},
      {"ap_para_status", "0"},
      {"ap_para_status_str", waiting},
      {"ap_logo_status", "0"},
      {"ap_logo_status_str", waiting},
      {"ap_antitheft_status", "0"},
      {"ap_antitheft_status_str", waiting},
      {"ap_date", "2025-03-05 10:11:b"},
      {"ap_ssid2", "ssid2-b"},
      {"ap_ssid5", "ssid5-b"},
      {"ap_wpakey2", "key2-b"},
      {"ap_wpakey5", "key5-b"},
  };
  EXPECT_EQ(raw, expected);
}

TEST_F(StoreTest, StatusWritesFindTheirRowAndOnlyTheirColumns) {
  ASSERT_TRUE(store_->InsertOrUpdateDevice(Device(Mac(1))));
  ASSERT_TRUE(store_->InsertOrUpdateDevice(Device(Mac(2))));
  struct Case {
    std::function<bool(std::string_view, std::int32_t)> set;
    std::string column;
  };
  const Case cases[] = {
      {[&](std::string_view m, std::int32_t c) { return store_->SetParaStatus(m, c); },
       "ap_para_status"},
      {[&](std::string_view m, std::int32_t c) { return store_->SetLogoStatus(m, c); },
       "ap_logo_status"},
      {[&](std::string_view m, std::int32_t c) { return store_->SetAntiTheftStatus(m, c); },
       "ap_antitheft_status"},
  };
  for (const auto& c : cases) {
    ASSERT_TRUE(c.set(Mac(1), TRANSMIT_FINISH));
    auto raw = Raw(Mac(1));
    EXPECT_EQ(raw[c.column], "4");
    EXPECT_EQ(raw[c.column + "_str"], "Transmit finish");
    EXPECT_EQ(Raw(Mac(2))[c.column], "0");
    // A MAC without a row: false, and nothing is inserted.
    EXPECT_FALSE(c.set(Mac(3), OPERATE_SUCCESS));
    // The first engine compared MAC texts without letter case.
    std::string lower = Mac(2);
    for (char& ch : lower)
      ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
    EXPECT_TRUE(c.set(lower, 9));
    EXPECT_EQ(Raw(Mac(2))[c.column + "_str"], "");
  }
  EXPECT_FALSE(store_->SetResult(Mac(3), RESULT_SUCCESS));
  EXPECT_EQ(QueryAll(*store_).count, 2);
  EXPECT_EQ(store_->EvaluateDevice(Mac(1)), RESULT_BUSY);
  EXPECT_EQ(store_->EvaluateDevice(Mac(3)), RESULT_IDLE);
}

TEST_F(StoreTest, CodesReadBackWhole) {
  ASSERT_TRUE(store_->InsertOrUpdateDevice(Device(Mac(1))));
  ASSERT_TRUE(store_->SetParaStatus(Mac(1), 70000));
  ASSERT_TRUE(store_->SetLogoStatus(Mac(1), OPERATE_SUCCESS));
  const Query q = QueryAll(*store_);
  ASSERT_EQ(q.rows.size(), 1u);
  EXPECT_EQ(q.rows[0].paraStatus, 70000);  // not its low 16 bits, 4464
  EXPECT_EQ(q.rows[0].logoStatus, OPERATE_SUCCESS);
  // 70000 is no code (idle) and the logo succeeded.
  EXPECT_EQ(store_->EvaluateDevice(Mac(1)), RESULT_SUCCESS);
}

TEST_F(StoreTest, ResetStatusesEmptiesTextsAndResults) {
  for (int i = 1; i <= 3; ++i) {
    ASSERT_TRUE(store_->InsertOrUpdateDevice(Device(Mac(i))));
    ASSERT_TRUE(store_->SetParaStatus(Mac(i), OPERATE_SUCCESS));
    ASSERT_TRUE(store_->SetLogoStatus(Mac(i), TRANSMIT_FAIL));
    ASSERT_TRUE(store_->SetAntiTheftStatus(Mac(i), OPERATING));
    ASSERT_TRUE(store_->SetResult(Mac(i), RESULT_FAILED));
  }
  ASSERT_TRUE(store_->ResetStatuses());
  for (int i = 1; i <= 3; ++i) {
    EXPECT_EQ(store_->EvaluateDevice(Mac(i)), RESULT_IDLE);
    auto raw = Raw(Mac(i));
    EXPECT_EQ(raw["result"], "");
    for (const char* kind : {"ap_para_status", "ap_logo_status", "ap_antitheft_status"}) {
      EXPECT_EQ(raw[kind], "0");
      EXPECT_EQ(raw[std::string(kind) + "_str"], "");
    }
    EXPECT_EQ(raw["ap_ssid2"], "ssid2-a");
  }
}

TEST_F(StoreTest, EmptyTableQueriesTrueAndLeavesCountersAlone) {
  ASSERT_TRUE(store_->InsertOrUpdateDevice(Device(Mac(1))));
  ASSERT_TRUE(store_->DeleteAllDevices());
  std::vector<ap_info_stu> rows;
  int count = -1, success = 5, fail = 7;
  EXPECT_TRUE(store_->QueryDevices(false, SORT_BY_RESULT, "", rows, count, success, fail));
  EXPECT_TRUE(rows.empty());
  EXPECT_EQ(count, 0);
  EXPECT_EQ(success, 5);
  EXPECT_EQ(fail, 7);
}

TEST_F(StoreTest, QuerySortsByMacOrResultAndIncrementsCounters) {
  // Discovered out of order; results 3, 0, 1, 0, ''.
  const int order[] = {4, 1, 3, 2, 5};
  for (const int i : order)
    ASSERT_TRUE(store_->InsertOrUpdateDevice(Device(Mac(i))));
  ASSERT_TRUE(store_->SetParaStatus(Mac(2), OPERATE_SUCCESS));
  ASSERT_TRUE(store_->SetParaStatus(Mac(3), OPERATE_FAIL));
  ASSERT_TRUE(store_->SetAntiTheftStatus(Mac(4), OPERATE_SUCCESS));
  ASSERT_TRUE(store_->SetResult(Mac(1), RESULT_IDLE));
  ASSERT_TRUE(store_->SetResult(Mac(2), RESULT_SUCCESS));
  ASSERT_TRUE(store_->SetResult(Mac(3), RESULT_FAILED));
  ASSERT_TRUE(store_->SetResult(Mac(4), RESULT_SUCCESS));

  std::vector<ap_info_stu> rows;
  int count = 0, success = 10, fail = 20;
  ASSERT_TRUE(store_->QueryDevices(true, SORT_BY_MAC, "", rows, count, success, fail));
  EXPECT_EQ(count, 5);
  EXPECT_EQ(success, 12);
  EXPECT_EQ(fail, 21);
  EXPECT_EQ(rows[1].mac, Mac(2));
  EXPECT_EQ(rows[1].date, "2025-03-05 10:11:a");
  EXPECT_EQ(rows[1].paraStatus, OPERATE_SUCCESS);
  EXPECT_EQ(rows[1].key5, "key5-a");

  EXPECT_EQ(Macs(QueryAll(*store_, true, SORT_BY_MAC)),
            (std::vector{Mac(1), Mac(2), Mac(3), Mac(4), Mac(5)}));
  EXPECT_EQ(Macs(QueryAll(*store_, false, SORT_BY_MAC)),
            (std::vector{Mac(5), Mac(4), Mac(3), Mac(2), Mac(1)}));
  // Equal results keep the order of discovery (4 before 2).
  EXPECT_EQ(Macs(QueryAll(*store_, true, SORT_BY_RESULT)),
            (std::vector{Mac(5), Mac(4), Mac(2), Mac(3), Mac(1)}));
  EXPECT_EQ(Macs(QueryAll(*store_, false, SORT_BY_RESULT)),
            (std::vector{Mac(1), Mac(3), Mac(4), Mac(2), Mac(5)}));
  EXPECT_FALSE(QueryAll(*store_, true, static_cast<SortKey>(7)).ok);
}

TEST_F(StoreTest, FilterIsASubstringOfTheMacAndNeverSql) {
  for (const char* mac :
       {"AB:CD:00:00:00:01", "00:AB:CD:00:00:02", "00:00:00:00:AB:CD", "AB:CE:00:00:00:03"})
    ASSERT_TRUE(store_->InsertOrUpdateDevice(Device(mac)));
  struct Case {
    std::string filter;
    std::vector<std::string> macs;
  };
  const std::vector<std::string> abcd = {"00:00:00:00:AB:CD", "00:AB:CD:00:00:02",
                                         "AB:CD:00:00:00:01"};
  const Case cases[] = {
      {"AB:CD", abcd},
      {"ab:cd", abcd},
      {"", {"00:00:00:00:AB:CD", "00:AB:CD:00:00:02", "AB:CD:00:00:00:01", "AB:CE:00:00:00:03"}},
      {"AB:C_", {}},
      {"%", {}},
      {"\\", {}},
      {"%' OR '1'='1", {}},
      {"'; DELETE FROM ap_info; --", {}},
  };
  for (const auto& c : cases) {
    const Query q = QueryAll(*store_, true, SORT_BY_MAC, c.filter);
    EXPECT_TRUE(q.ok) << c.filter;
    EXPECT_EQ(Macs(q), c.macs) << c.filter;
    EXPECT_EQ(q.count, static_cast<int>(c.macs.size()));
  }
  EXPECT_EQ(QueryAll(*store_).count, 4);
}

TEST_F(StoreTest, QueryTrimsTheMacAndGetDeviceReturnsTextsAsStored) {
  ASSERT_TRUE(store_->InsertOrUpdateDevice(Device(" " + Mac(2) + "  ", "x")));
  ASSERT_TRUE(store_->InsertOrUpdateDevice(Device(Mac(1), "y")));
  // The blank sorts first; the MAC comes back trimmed.
  EXPECT_EQ(Macs(QueryAll(*store_)), (std::vector{Mac(2), Mac(1)}));

  ap_info_stu row;
  ASSERT_TRUE(store_->GetDevice("", row));  // the first row
  EXPECT_EQ(row.mac, " " + Mac(2) + "  ");
  EXPECT_EQ(row.ssid2, "ssid2-x");
  EXPECT_EQ(row.ssid5, "ssid5-x");
  EXPECT_EQ(row.key2, "key2-x");
  EXPECT_EQ(row.key5, "key5-x");
  EXPECT_EQ(row.date, "");
  EXPECT_EQ(row.paraStatus, 0);

  ASSERT_TRUE(store_->GetDevice(Mac(1), row));
  EXPECT_EQ(row.mac, Mac(1));
  EXPECT_EQ(row.ssid5, "ssid5-y");
  ASSERT_TRUE(store_->GetDevice(Mac(3), row));
  EXPECT_EQ(row.mac, "");
}

TEST_F(StoreTest, FailedRowWriteIsAFailure) {
  ASSERT_TRUE(store_->InsertOrUpdateDevice(Device(Mac(1))));
  ASSERT_TRUE(store_->ExecuteSql(
      "CREATE TRIGGER refuse_update BEFORE UPDATE ON ap_info BEGIN SELECT RAISE(ABORT, 'no'); "
      "END"));
  ASSERT_TRUE(store_->ExecuteSql(
      "CREATE TRIGGER refuse_insert BEFORE INSERT ON ap_info BEGIN SELECT RAISE(ABORT, 'no'); "
      "END"));
  EXPECT_FALSE(store_->SetParaStatus(Mac(1), OPERATING));
  EXPECT_FALSE(store_->SetLogoStatus(Mac(1), OPERATING));
  EXPECT_FALSE(store_->SetAntiTheftStatus(Mac(1), OPERATING));
  EXPECT_FALSE(store_->SetResult(Mac(1), RESULT_BUSY));
  EXPECT_FALSE(store_->InsertOrUpdateDevice(Device(Mac(1), "b")));
  EXPECT_FALSE(store_->InsertOrUpdateDevice(Device(Mac(2))));
  EXPECT_FALSE(store_->ResetStatuses());
  const Query q = QueryAll(*store_);
  ASSERT_EQ(q.count, 1);
  EXPECT_EQ(q.rows[0].paraStatus, WAIT_OPERATE);
  EXPECT_EQ(q.rows[0].date, "2025-03-05 10:11:a");
}

TEST_F(StoreTest, ManyThreadsWriteWhileAnotherQueries) {
  constexpr int kWriters = 6;
  constexpr int kDevices = 30;
  std::atomic<bool> done{false};
  std::atomic<int> badQueries{0};
  std::atomic<int> writing{0};  // writers between their first and last write
  std::atomic<long> amidst{0};  // queries that ran while writers were writing
  std::latch querying(1);
  std::thread reader([&] {
    for (bool first = true; !done.load(); first = false) {
      const bool before = writing > 0;
      const Query q = QueryAll(*store_, false, SORT_BY_RESULT);
      if (before || writing > 0)
        ++amidst;
      if (!q.ok || q.count != static_cast<int>(q.rows.size()) || q.success + q.fail > q.count)
        badQueries.fetch_add(1);
      for (const auto& row : q.rows)
        store_->EvaluateDevice(row.mac);
      if (first)
        querying.count_down();
    }
  });
  // The writers start once the reader queries, and each waits after every
  // device for a query to come between, so the two always meet.
  std::vector<std::thread> writers;
  for (int w = 0; w < kWriters; ++w) {
    writers.emplace_back([&, w] {
      querying.wait();
      ++writing;
      for (int d = 0; d < kDevices; ++d) {
        const long seen = amidst;
        const std::string mac = Mac(w * 100 + d);
        store_->InsertOrUpdateDevice(Device(mac));
        store_->SetParaStatus(mac, OPERATING);
        store_->SetParaStatus(mac, TRANSMIT_FINISH);
        store_->SetLogoStatus(mac, OPERATE_SUCCESS);
        store_->SetParaStatus(mac, d % 2 == 0 ? OPERATE_SUCCESS : OPERATE_FAIL);
        store_->SetResult(mac, store_->EvaluateDevice(mac));
        const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (amidst <= seen && std::chrono::steady_clock::now() < limit)
          std::this_thread::yield();
      }
      --writing;
    });
  }
  for (auto& writer : writers)
    writer.join();
  done = true;
  reader.join();

  EXPECT_GE(amidst.load(), kDevices) << "the reader never queried amid the writes";
  EXPECT_EQ(badQueries.load(), 0);
  const Query q = QueryAll(*store_);
  EXPECT_EQ(q.count, kWriters * kDevices);
  EXPECT_EQ(q.success, kWriters * kDevices / 2);
  EXPECT_EQ(q.fail, kWriters * kDevices / 2);
  for (const auto& row : q.rows)
    EXPECT_EQ(row.logoStatus, OPERATE_SUCCESS) << row.mac;
}

}  // namespace
}  // namespace brevant

namespace brevant {
namespace {

TEST_F(StoreTest, TransferEndKeepsADeviceResultThatCameFirst) {
  ASSERT_TRUE(store_->InsertOrUpdateDevice(Device(Mac(1))));
  struct Case {
    std::int32_t before;
    std::int32_t written;
    std::int32_t after;
  };
  const Case cases[] = {{OPERATING, TRANSMIT_FINISH, TRANSMIT_FINISH},
                        {OPERATING, TRANSMIT_FAIL, TRANSMIT_FAIL},
                        {OPERATE_SUCCESS, TRANSMIT_FINISH, OPERATE_SUCCESS},
                        {OPERATE_FAIL, TRANSMIT_FINISH, OPERATE_FAIL},
                        {LOCKCODE_MISMATCH, TRANSMIT_FAIL, LOCKCODE_MISMATCH},
                        {WAIT_OPERATE, TRANSMIT_FINISH, TRANSMIT_FINISH}};
  for (const auto& c : cases) {
    for (int category = 1; category <= 3; ++category) {
      ASSERT_TRUE(store_->ResetStatuses());
      const bool set = category == 1   ? store_->SetParaStatus(Mac(1), c.before)
                       : category == 2 ? store_->SetLogoStatus(Mac(1), c.before)
                                       : store_->SetAntiTheftStatus(Mac(1), c.before);
      ASSERT_TRUE(set);
      EXPECT_TRUE(store_->SetTransferStatus(category, Mac(1), c.written));
      const ap_info_stu row = QueryAll(*store_).rows.at(0);
      const std::int32_t now = category == 1   ? row.paraStatus
                               : category == 2 ? row.logoStatus
                                               : row.antiTheftStatus;
      EXPECT_EQ(now, c.after) << "category " << category << " before " << c.before;
    }
  }
  EXPECT_FALSE(store_->SetTransferStatus(1, Mac(2), TRANSMIT_FINISH));  // no such row
  EXPECT_FALSE(store_->SetTransferStatus(4, Mac(1), TRANSMIT_FINISH));
}

}  // namespace
}  // namespace brevant
