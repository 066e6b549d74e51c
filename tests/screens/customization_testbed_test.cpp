// The customization page on the test bed, through the main window as the
// operator uses it: real frames over a veth pair to brevant-devsim, the sheet
// edited by a stand-in spreadsheet application that the test registers as the
// desktop's .xlsx handler, each device checked for its own values in what it
// received, and the device list showing every device's success.

#include <gtest/gtest.h>

#include <QTest>
#include <chrono>

#include "private_desktop.h"
#include "screens/device_customization_dlg.h"
#include "tailoring/xlsx_reader.h"
#include "testbed_window_fixture.h"

namespace brevant {
namespace {

using namespace std::chrono_literals;
using testing::ReadBytes;

// devsim's two pattern devices.
const std::vector<std::string> kDevices = {"02:62:00:00:00:01", "02:62:00:00:00:02"};

class CustomizationTestBedTest : public testing::TestBedWindowTest {
 protected:
  std::filesystem::path Received() const { return dir_ / "received"; }

  testing::PrivateDesktop desktop_;
  NoteAnswerer notes_;
};

TEST_F(CustomizationTestBedTest, EachDeviceReceivesItsOwnValuesFromTheEditedSheet) {
  const auto application =
      desktop_.Script("stand-in-calc", testing::FillSheetScript({{"pppUser2", "user-"},
                                                                 {"pppPassword2", "pw-"},
                                                                 {"ssid_2.4g", "net-"},
                                                                 {"loginPassword", "admin-"}}));
  desktop_.RegisterSheetApplication("stand-in-calc.desktop", application.string() + " %f");
  StartDevsim({"--count", "2", "--out", Received().string()});
  ASSERT_TRUE(ScanToDeviceList(2));
  ClickTicks(kDevices);
  QTest::mouseClick(List().CustomizationButton(), Qt::LeftButton);
  ASSERT_EQ(Window().CurrentPage(), kCustomizationPage);
  auto* page = dynamic_cast<CDeviceCustomizationDlg*>(Window().Page(kCustomizationPage));
  ASSERT_NE(page, nullptr);
  page->SheetEditor().SetPollInterval(50ms);
  page->SetFileChooser([](const QString&) {
    return QStringLiteral(BREVANT_SOURCE_DIR "/data/samples/gateway.xml");
  });
  page->ConfigurationChooseButton()->click();

  // Edit: the sheet is made and handed to the stand-in application, which
  // fills it while the page waits.
  page->ConfigurationLine()->click();
  const auto sheet = page->State().sheetPath;
  ASSERT_TRUE(std::filesystem::exists(sheet));
  ASSERT_EQ(notes_.Notes().size(), 1u) << notes_.Notes().back().text.toStdString();
  EXPECT_EQ(ReadBytes(sheet.string() + ".args"), sheet.string() + "\n");
  XlsxReader filled;
  ASSERT_TRUE(filled.Open(sheet)) << filled.error();
  EXPECT_EQ(filled.cell(0, 0), "mac(*This column cannot be modified*)");
  EXPECT_EQ(filled.cell(1, 0), kDevices[0]);

  page->ApplyButton()->click();
  ASSERT_EQ(notes_.Notes().size(), 2u) << notes_.Notes().back().text.toStdString();
  EXPECT_EQ(page->LastApply().jobs, 2);
  EXPECT_EQ(Window().CurrentPage(), kDeviceListPage);

  for (const auto& mac : kDevices) {
    SCOPED_TRACE(mac);
    const std::string stem = DeviceFileStem(mac);
    const auto received = Received() / stem / "PARA_DATA";
    ASSERT_TRUE(QTest::qWaitFor([&] { return std::filesystem::exists(received); }, 20000));
    ASSERT_TRUE(QTest::qWaitFor([&] { return Row(mac).paraStatus == OPERATE_SUCCESS; }, 20000))
        << Row(mac).paraStatus;
    const std::string file = ReadBytes(received);
    EXPECT_EQ(file, ReadBytes(dir_ / "ModifyXml" / (stem + ".xml")));
    for (const std::string value : {"user-", "pw-", "net-", "admin-"})
      EXPECT_NE(file.find("Value=\"" + value + stem + "\""), std::string::npos) << value << file;
    const std::string other = DeviceFileStem(mac == kDevices[0] ? kDevices[1] : kDevices[0]);
    EXPECT_EQ(file.find(other), std::string::npos) << file;
  }

  RunWatchToItsEnd(kDevices);
  for (const auto& mac : kDevices)
    EXPECT_EQ(StatusImage(mac), CDevicesControlDlg::kImageSuccess) << mac;
  EXPECT_EQ(List().SuccessCount(), 2);
  EXPECT_EQ(List().FailureCount(), 0);
}

}  // namespace
}  // namespace brevant
