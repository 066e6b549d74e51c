#include "workflow/delivery_results.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include "support/temp_dir.h"

namespace brevant {
namespace {

using testing::ReadBytes;
using testing::TempDir;

const std::string kHeader =
    "mac,configuration_code,configuration_status,logo_code,logo_status,antitheft_code,"
    "antitheft_status,verdict,advice,time\r\n";

TEST(DeliveryResults, CodesAndVerdictsComeFromOneReadingOfEachTarget) {
  TempDir dir;
  CSqlManagement store(dir / "data.db");
  for (const char* mac : {"C8:3A:35:00:00:01", "C8:3A:35:00:00:02"})
    ASSERT_TRUE(store.InsertOrUpdateDevice({mac, "t", "", "", "", ""}));
  ASSERT_TRUE(store.SetParaStatus("C8:3A:35:00:00:01", OPERATE_SUCCESS));
  ASSERT_TRUE(store.SetLogoStatus("C8:3A:35:00:00:02", TRANSMIT_FAIL));
  const auto rows =
      ReadDeviceResults(store, {"C8:3A:35:00:00:02", "c8:3a:35:00:00:01", "C8:3A:35:00:00:09"});
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[0].codes, (std::array<std::int32_t, 3>{0, TRANSMIT_FAIL, 0}));
  EXPECT_EQ(rows[0].verdict, RESULT_FAILED);
  EXPECT_EQ(rows[0].advice, CSqlManagement::GetAdvice(rows[0].mac));
  EXPECT_EQ(rows[1].mac, "c8:3a:35:00:00:01");  // as the caller named it
  EXPECT_EQ(rows[1].codes[0], OPERATE_SUCCESS);
  EXPECT_EQ(rows[1].verdict, RESULT_SUCCESS);
  EXPECT_EQ(rows[1].advice, "");
  EXPECT_EQ(rows[2].verdict, RESULT_IDLE);  // not in the store
  EXPECT_EQ(rows[2].time.size(), 19u);
}

TEST(ResultsCsv, FieldsAreQuotedAsRfc4180SaysAndTextsAreEnglish) {
  DeviceResultRow failed;
  failed.mac = "C8:3A:35:00:00:01";
  failed.codes = {OPERATE_FAIL, OPERATE_SUCCESS, WAIT_OPERATE};
  failed.verdict = RESULT_FAILED;
  failed.advice = "1. Check \"the\" cable,\r\n2. again";
  failed.time = "2025-03-05 14:07:09";
  DeviceResultRow odd;
  odd.mac = "caf\xC3\xA9,\"mac\"";  // UTF-8 passes unchanged
  odd.codes = {9, LOCKCODE_MISMATCH, TRANSMIT_FINISH};
  odd.verdict = RESULT_BUSY;
  EXPECT_EQ(ResultsCsvText({}), kHeader);
  EXPECT_EQ(ResultsCsvText({failed, odd}),
            kHeader +
                "C8:3A:35:00:00:01,3,Operate fail,2,Operate success,0,Wait operate,failed,"
                "\"1. Check \"\"the\"\" cable,\r\n2. again\",2025-03-05 14:07:09\r\n"
                "\"caf\xC3\xA9,\"\"mac\"\"\",9,,7,Lockcode mismatch,4,Transmit finish,busy,,\r\n");
}

TEST(ResultsCsv, AFileIsReplacedWholeOrLeftAsItWas) {
  TempDir dir;
  DeviceResultRow row;
  row.mac = "C8:3A:35:00:00:01";
  const auto file = dir.Write("results.csv", "an older export");
  std::string error;
  ASSERT_TRUE(ExportResultsCsv({row}, file, &error)) << error;
  EXPECT_EQ(ReadBytes(file), ResultsCsvText({row}));
  struct stat info {};
  ASSERT_EQ(::stat(file.c_str(), &info), 0);
  EXPECT_NE(info.st_mode & S_IRGRP, 0u);  // an ordinary file, not the temporary's 0600

  const struct {
    std::filesystem::path file;
    const char* says;
  } cases[] = {
      {dir / "missing" / "r.csv", "does not exist"},
      {dir.path(), "it is a folder"},
      {"", "no file"},
      // A folder in which no file can be made, even by root.
      {"/proc/results.csv", "cannot export the results to /proc/results.csv: "},
  };
  for (const auto& c : cases) {
    error.clear();
    EXPECT_FALSE(ExportResultsCsv({row}, c.file, &error)) << c.says;
    EXPECT_NE(error.find(c.says), std::string::npos) << error;
  }
  // No temporary is left behind.
  std::size_t entries = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(dir.path()))
    ++entries;
  EXPECT_EQ(entries, 1u);
}

TEST(ResultsCsv, TheStoreIsExportedAsItHoldsTheTargets) {
  TempDir dir;
  CSqlManagement store(dir / "data.db");
  ASSERT_TRUE(store.InsertOrUpdateDevice({"C8:3A:35:00:00:01", "t", "", "", "", ""}));
  ASSERT_TRUE(store.SetAntiTheftStatus("C8:3A:35:00:00:01", LOCKCODE_MISMATCH));
  std::string error;
  ASSERT_TRUE(ExportResultsCsv(store, {"C8:3A:35:00:00:01"}, dir / "r.csv", &error)) << error;
  const std::string text = ReadBytes(dir / "r.csv");
  EXPECT_EQ(text.rfind(kHeader + "C8:3A:35:00:00:01,0,Wait operate,0,Wait operate,7,"
                                 "Lockcode mismatch,failed,\"1. Make sure",
                       0),
            0u)
      << text;
}

}  // namespace
}  // namespace brevant
