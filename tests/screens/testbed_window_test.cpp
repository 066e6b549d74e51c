// The window on the namespace test bed: real libpcap on the tool end of a
// veth pair, brevant-devsim with three devices on the other; a scan from the
// adapter page lists the three.

#include <gtest/gtest.h>

#include <QTest>
#include <memory>

#include "controls/grid_ctrl.h"
#include "link/adapters.h"
#include "link/pcap_capture.h"
#include "link/transmit_manage.h"
#include "records/status_store.h"
#include "screens/application_dlg.h"
#include "screens/devices_control_dlg.h"
#include "screens/note_dlg.h"
#include "screens/select_adapter_dlg.h"
#include "support/temp_dir.h"
#include "testbed_fixture.h"

namespace brevant {
namespace {

// The tool end as the only adapter; capture devices and MTUs from the system,
// in this thread's namespace. (/sys/class/net shows the namespace sysfs was
// mounted in, not the thread's.)
class ToolEndAdapters : public SysfsAdapterSource {
 public:
  explicit ToolEndAdapters(AdapterRecord record) : record_(std::move(record)) {}
  std::vector<AdapterRecord> Entries() override { return {record_}; }

 private:
  AdapterRecord record_;
};

class TestBedWindowTest : public testing::TestBedTest {
 protected:
  void TearDown() override {
    window_.reset();
    link_.reset();
    TestBedTest::TearDown();
  }

  testing::TempDir dir_;
  std::unique_ptr<CSqlManagement> store_;
  std::unique_ptr<AcTransmitManage> link_;
  std::unique_ptr<CApplicationDlg> window_;
};

TEST_F(TestBedWindowTest, AScanFromTheAdapterPageListsThreeDevices) {
  StartDevsim({"--count", "3"});
  std::filesystem::create_directory_symlink(BREVANT_SOURCE_DIR "/data/Skin", dir_ / "Skin");
  CNoteDlg::SetSkinFolder(QStringLiteral(BREVANT_SOURCE_DIR "/data/Skin"));
  AdapterRecord record;
  record.kind = 1;
  record.name = bed_.ToolInterface();
  record.description = bed_.ToolInterface() + " (veth)";
  record.mac = testing::TestBed::kToolMac;
  auto adapters = std::make_shared<ToolEndAdapters>(record);
  store_ = std::make_unique<CSqlManagement>(dir_ / "data.db");
  link_ =
      std::make_unique<AcTransmitManage>(*store_, adapters, std::make_shared<PcapCaptureFactory>());
  ScreenServices services;
  services.store = store_.get();
  services.link = link_.get();
  services.adapters = adapters;
  services.directory = dir_.path();
  window_ = std::make_unique<CApplicationDlg>(services);
  window_->AdapterPage()->SetTickIntervalForTesting(3600 * 1000);
  window_->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(window_.get()));

  CSelectAdapterDlg& page = *window_->AdapterPage();
  ASSERT_EQ(page.Adapters().size(), 1u);
  page.StartScan();
  ASSERT_TRUE(link_->IsUp()) << link_->LastOpenError();
  ASSERT_TRUE(QTest::qWaitFor([&] { return link_->DeviceCount() >= 3; }, 10000))
      << link_->DeviceCount() << " devices answered";
  for (int tick = 1; tick <= 4 && !page.Idle(); ++tick)
    page.Tick();
  ASSERT_TRUE(page.Idle());
  EXPECT_EQ(window_->CurrentPage(), kDeviceListPage);
  CDevicesControlDlg& list = *window_->DeviceList();
  ASSERT_EQ(list.RowCount(), 3);
  for (int row = 1; row <= 3; ++row) {
    EXPECT_EQ(list.Grid()->GetItemText(row, CDevicesControlDlg::kMacColumn).toStdString(),
              "02:62:00:00:00:0" + std::to_string(row));
  }
}

}  // namespace
}  // namespace brevant
