// The customization page on the test bed: real frames over a veth pair to
// brevant-devsim, the sheet edited by a stand-in spreadsheet application that
// the test registers as the desktop's .xlsx handler, and each device checked
// for its own values in what it received.

#include <gtest/gtest.h>

#include <QTest>
#include <chrono>
#include <memory>
#include <thread>

#include "link/delivery.h"
#include "link/pcap_capture.h"
#include "link/result_log.h"
#include "link/transmit_manage.h"
#include "private_desktop.h"
#include "records/status_store.h"
#include "screens/device_customization_dlg.h"
#include "screens/note_dlg.h"
#include "support/gui_test.h"
#include "support/temp_dir.h"
#include "tailoring/xlsx_reader.h"
#include "testbed_fixture.h"

namespace brevant {
namespace {

using namespace std::chrono_literals;
using testing::ReadBytes;
using testing::TestBed;

class RecordingHost : public PageHost {
 public:
  void ShowPage(int page) override { calls.push_back("show " + std::to_string(page)); }
  void DeliveryStarted(int page) override { calls.push_back("started " + std::to_string(page)); }
  std::vector<std::string> calls;
};

// devsim's two pattern devices.
const std::vector<std::string> kDevices = {"02:62:00:00:00:01", "02:62:00:00:00:02"};

class CustomizationTestBedTest : public testing::TestBedTest {
 protected:
  void SetUp() override {
    TestBedTest::SetUp();
    if (IsSkipped() || HasFatalFailure())
      return;
    std::filesystem::create_directory_symlink(BREVANT_SOURCE_DIR "/data/Skin", dir_ / "Skin");
    for (const char* folder : {"ModifyExcel", "ModifyXml", "ModifyJson", "ModifyPicture", "Log"})
      std::filesystem::create_directories(dir_ / folder);
    CNoteDlg::SetSkinFolder(QString::fromStdString((dir_ / "Skin").string()));

    store_ = std::make_unique<CSqlManagement>(dir_ / "data.db");
    log_ = std::make_unique<ResultLog>(dir_.path());
    link_ = std::make_unique<AcTransmitManage>(*store_, std::make_shared<SysfsAdapterSource>(),
                                               std::make_shared<PcapCaptureFactory>());
    link_->SetResultHandler(
        [this](const LinkFrame& frame) { HandleDeviceResult(frame, *store_, *log_); });
    AdapterRecord record;
    record.kind = 1;
    record.name = bed_.ToolInterface();
    record.mac = TestBed::kToolMac;
    std::string message;
    ASSERT_TRUE(link_->ApplyAdapter(record, &message)) << message;
    ASSERT_TRUE(link_->Init());
    ASSERT_TRUE(link_->IsUp()) << link_->LastOpenError();
    StartDevsim({"--count", "2", "--out", Received().string()});

    // A scan: the devices and their reported Wi-Fi names go into the store.
    link_->SendDiscover();
    ASSERT_TRUE(QTest::qWaitFor([this] { return link_->DeviceCount() == 2; }, 10000));
    ASSERT_TRUE(QTest::qWaitFor(
        [this] {
          std::vector<ap_info_stu> rows;
          int count = 0, ok = 0, failed = 0;
          return store_->QueryDevices(true, SORT_BY_MAC, "", rows, count, ok, failed) &&
                 rows.size() == 2;
        },
        10000));

    window_.resize(817, 540);
    ASSERT_TRUE(testing::ShowAndWait(&window_));
    ScreenServices services;
    services.store = store_.get();
    services.link = link_.get();
    services.adapters = std::make_shared<SysfsAdapterSource>();
    services.directory = dir_.path();
    page_ = std::make_unique<CDeviceCustomizationDlg>(&window_, services, host_);
    page_->SheetEditor().SetPollInterval(50ms);
  }

  void TearDown() override {
    if (link_) {
      EXPECT_TRUE(WaitForDeliveryJobs(std::chrono::steady_clock::now() + 20s));
    }
    page_.reset();
    link_.reset();
    CNoteDlg::SetSkinFolder(QString());
    TestBedTest::TearDown();
  }

  std::filesystem::path Received() const { return dir_ / "received"; }
  std::int32_t ParaStatus(const std::string& mac) const {
    std::vector<ap_info_stu> rows;
    int count = 0, ok = 0, failed = 0;
    store_->QueryDevices(true, SORT_BY_MAC, mac, rows, count, ok, failed);
    return rows.empty() ? -1 : rows[0].paraStatus;
  }

  testing::TempDir dir_;
  testing::PrivateDesktop desktop_;
  std::unique_ptr<CSqlManagement> store_;
  std::unique_ptr<ResultLog> log_;
  std::unique_ptr<AcTransmitManage> link_;
  QWidget window_;
  RecordingHost host_;
  std::unique_ptr<CDeviceCustomizationDlg> page_;
  NoteAnswerer notes_;
};

TEST_F(CustomizationTestBedTest, EachDeviceReceivesItsOwnValuesFromTheEditedSheet) {
  const auto application =
      desktop_.Script("stand-in-calc", testing::FillSheetScript({{"pppUser2", "user-"},
                                                                 {"pppPassword2", "pw-"},
                                                                 {"ssid_2.4g", "net-"},
                                                                 {"loginPassword", "admin-"}}));
  desktop_.RegisterSheetApplication("stand-in-calc.desktop", application.string() + " %f");

  page_->show();
  page_->SetTargetList(kDevices);
  page_->SetFileChooser([](const QString&) {
    return QStringLiteral(BREVANT_SOURCE_DIR "/data/samples/gateway.xml");
  });
  page_->ConfigurationChooseButton()->click();

  // Edit: the sheet is made and handed to the stand-in application, which
  // fills it while the page waits.
  page_->ConfigurationLine()->click();
  const auto sheet = page_->State().sheetPath;
  ASSERT_TRUE(std::filesystem::exists(sheet));
  ASSERT_EQ(notes_.Notes().size(), 1u) << notes_.Notes().back().text.toStdString();
  EXPECT_EQ(ReadBytes(sheet.string() + ".args"), sheet.string() + "\n");
  XlsxReader filled;
  ASSERT_TRUE(filled.Open(sheet)) << filled.error();
  EXPECT_EQ(filled.cell(0, 0), "mac(*This column cannot be modified*)");
  EXPECT_EQ(filled.cell(1, 0), kDevices[0]);

  page_->ApplyButton()->click();
  ASSERT_EQ(notes_.Notes().size(), 2u) << notes_.Notes().back().text.toStdString();
  EXPECT_EQ(page_->LastApply().jobs, 2);
  EXPECT_EQ(host_.calls, (std::vector<std::string>{"started 162", "show 161"}));

  for (const auto& mac : kDevices) {
    SCOPED_TRACE(mac);
    const std::string stem = DeviceFileStem(mac);
    const auto received = Received() / stem / "PARA_DATA";
    ASSERT_TRUE(QTest::qWaitFor([&] { return std::filesystem::exists(received); }, 20000));
    ASSERT_TRUE(QTest::qWaitFor([&] { return ParaStatus(mac) == OPERATE_SUCCESS; }, 20000))
        << ParaStatus(mac);
    const std::string file = ReadBytes(received);
    EXPECT_EQ(file, ReadBytes(dir_ / "ModifyXml" / (stem + ".xml")));
    for (const std::string value : {"user-", "pw-", "net-", "admin-"})
      EXPECT_NE(file.find("Value=\"" + value + stem + "\""), std::string::npos) << value << file;
    const std::string other = DeviceFileStem(mac == kDevices[0] ? kDevices[1] : kDevices[0]);
    EXPECT_EQ(file.find(other), std::string::npos) << file;
  }
}

}  // namespace
}  // namespace brevant
