// The anti-theft page on the namespace test bed: real frames through libpcap
// over a veth pair, brevant-devsim's devices on the far side.
#include <QTest>
#include <QWidget>

#include "antitheft_fixture.h"
#include "link/adapters.h"
#include "link/pcap_capture.h"
#include "testbed_fixture.h"

namespace brevant::testing {
namespace {

class AntiTheftTestBedTest : public TestBedTest {
 protected:
  void SetUp() override {
    TestBedTest::SetUp();
    if (IsSkipped() || HasFatalFailure())
      return;
    std::filesystem::create_directories(dir_ / "IniTemplate");
    dir_.Write("IniTemplate/Config.ini", "");
    std::filesystem::create_directory_symlink(BREVANT_SOURCE_DIR "/data/Skin", dir_ / "Skin");
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
    services_.store = store_.get();
    services_.link = link_.get();
    services_.directory = dir_.path();
    CNoteDlg::SetSkinFolder(PathText(dir_ / "Skin"));
  }

  void TearDown() override {
    if (link_) {
      EXPECT_TRUE(WaitForDeliveryJobs(std::chrono::steady_clock::now() + std::chrono::seconds(20)));
    }
    link_.reset();
    TestBedTest::TearDown();
  }

  std::int32_t WaitForAntiTheft(const std::string& mac, std::int32_t code) {
    (void)QTest::qWaitFor([&] { return StoreRow(*store_, mac).antiTheftStatus == code; }, 15000);
    return StoreRow(*store_, mac).antiTheftStatus;
  }

  TempDir dir_;
  std::unique_ptr<CSqlManagement> store_;
  std::unique_ptr<ResultLog> log_;
  std::unique_ptr<AcTransmitManage> link_;
  ScreenServices services_;
  FakePageHost host_;
};

TEST_F(AntiTheftTestBedTest, ThePageLocksOneDeviceAndTheOtherReportsAMismatch) {
  const std::string locked = "02:62:00:00:05:01";
  const std::string other = "02:62:00:00:05:02";
  StartDevsim({"--count", "0", "--lock-code", "1234", "--device", "mac=" + locked + ",lock=9876",
               "--device", "mac=" + other});
  link_->SendDiscover();
  ASSERT_TRUE(QTest::qWaitFor([&] { return link_->DeviceCount() >= 2; }, 10000));

  QWidget window;
  window.resize(817, 540);
  auto* page = new CAntiTheftProtectionDlg(&window, services_, host_);
  window.show();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
  page->SetTargetList({locked, other});
  page->show();
  page->Entered();
  const std::pair<CTEditGdiplus*, const char*> entries[] = {
      {page->LockCodeEdit(), "9876"},
      {page->ConfirmLockCodeEdit(), "9876"},
      {page->ACNameEdit(), "ac-1"},
      {page->PrimaryDnsEdit(), "8.8.8.8"},
  };
  for (const auto& [edit, text] : entries) {
    edit->setFocus(Qt::MouseFocusReason);
    QTest::keyClicks(edit, QString::fromLatin1(text));
  }
  NoteAnswerer notes;
  QTest::mouseClick(page->ApplyButton(), Qt::LeftButton);
  ASSERT_EQ(notes.Notes().size(), 1u);
  ASSERT_EQ(host_.calls.size(), 2u) << notes.Notes()[0].text.toStdString();

  EXPECT_EQ(WaitForAntiTheft(locked, OPERATE_SUCCESS), OPERATE_SUCCESS);
  EXPECT_EQ(WaitForAntiTheft(other, LOCKCODE_MISMATCH), LOCKCODE_MISMATCH);
  // What the device list shows: one success, one failure with the advice
  // its balloon gives.
  EXPECT_EQ(store_->EvaluateDevice(locked), RESULT_SUCCESS);
  EXPECT_EQ(store_->EvaluateDevice(other), RESULT_FAILED);
  EXPECT_NE(CSqlManagement::GetAdvice(other).find("Make sure the Lock Code is correct."),
            std::string::npos);
}

}  // namespace
}  // namespace brevant::testing
