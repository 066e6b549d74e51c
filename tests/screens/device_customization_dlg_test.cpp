// The customization page over a temporary store, the in-memory segment and
// simulated devices: its layout, the logo and configuration choices, and
// applies whose jobs really run.
#include "screens/device_customization_dlg.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QImageReader>
#include <QRegularExpression>
#include <QToolTip>

#include "customization_fixture.h"
#include "i18n/language.h"
#include "private_desktop.h"
#include "screens/avatar_crop_dlg.h"
#include "sheet_files.h"

namespace brevant {
namespace {

using testing::CustomizationPageTest;
using testing::ReadBytes;

const std::filesystem::path kSamples = BREVANT_SOURCE_DIR "/data/samples";

QString Text(const std::filesystem::path& path) {
  return QString::fromStdString(path.string());
}

// A plain picture of a size.
std::filesystem::path Picture(const testing::TempDir& dir, const std::string& name, int w, int h) {
  QImage image(w, h, QImage::Format_RGB32);
  image.fill(QColor(200, 60, 40));
  const auto file = dir / name;
  EXPECT_TRUE(image.save(Text(file)));
  return file;
}

class PageTest : public CustomizationPageTest {
 protected:
  // The crop dialog's stand-in: records what it was given, answers as told.
  void CropWith(std::optional<std::filesystem::path> answer) {
    page_->SetCropper([this, answer](const std::filesystem::path& source) {
      cropped_.push_back(source);
      hiddenWhileCropping_ = hiddenWhileCropping_ && !page_->isVisible();
      return answer;
    });
  }
  // Sheet edits: the operator's edit is a sheet written with these rows.
  void EditSheetAs(std::function<std::vector<std::vector<std::string>>()> rows) {
    page_->Port().SetSheetEditor([this, rows](const std::filesystem::path& sheet) {
      edits_.push_back(sheet);
      testing::WriteInlineSheet(sheet, rows());
      return OperatorPort::SheetEdit::Edited;
    });
  }
  void TearDown() override {
    InitLanguage("/nonexistent", 1033);
    CustomizationPageTest::TearDown();
  }

  std::vector<std::filesystem::path> cropped_;
  bool hiddenWhileCropping_ = true;
  std::vector<std::filesystem::path> edits_;
};

TEST_F(PageTest, ControlsSitWhereTheTableSaysAndEmptyLinesTakeNoRoom) {
  // Both lines empty: 68 pixels less, centred in the window.
  EXPECT_EQ(page_->size(), QSize(420, 256));
  EXPECT_EQ(page_->pos(), QPoint((817 - 420) / 2, (540 - 256) / 2));
  EXPECT_FALSE(page_->LogoLine()->isVisible());
  EXPECT_FALSE(page_->ConfigurationLine()->isVisible());

  Pick(Picture(dir_, "small.png", 100, 40));
  page_->LogoChooseButton()->click();
  Pick(kSamples / "gateway.xml");
  page_->ConfigurationChooseButton()->click();
  EXPECT_EQ(page_->size(), QSize(420, 324));
  EXPECT_EQ(page_->pos(), QPoint((817 - 420) / 2, (540 - 324) / 2));
  // The file dialogs' filters, in English without a pack.
  ASSERT_EQ(filters_.size(), 2u);
  EXPECT_EQ(filters_[0],
            QStringLiteral("Image Files (*.png *.jpg *.jpeg *.bmp);;PNG Files (*.png);;"
                           "JPEG Files (*.jpg *.jpeg);;BMP Files (*.bmp)"));
  EXPECT_EQ(filters_[1],
            QStringLiteral("Files (*.xml *.json);;XML Files (*.xml);;JSON Files (*.json)"));
  const std::pair<const char*, QRect> places[] = {
      {"customizationTitle", {16, 11, 145, 18}},
      {"customizationClose", {388, 12, 16, 16}},
      {"customizationTopSeparator", {0, 40, 420, 1}},
      {"logoLabel", {62, 59, 116, 18}},
      {"logoChoose", {191, 56, 99, 28}},
      {"logoLine", {191, 86, 209, 28}},
      {"logoHint", {191, 120, 213, 28}},
      {"configurationLabel", {16, 163, 172, 18}},
      {"configurationChoose", {191, 160, 99, 28}},
      {"configurationLine", {191, 190, 209, 28}},
      {"configurationHint", {191, 224, 217, 28}},
      {"customizationBottomSeparator", {0, 268, 420, 1}},
      {"customizationCancel", {252, 284, 71, 27}},
      {"customizationApply", {332, 284, 67, 27}},
  };
  for (const auto& [name, rect] : places) {
    auto* widget = page_->findChild<QWidget*>(QString::fromLatin1(name));
    ASSERT_NE(widget, nullptr) << name;
    EXPECT_EQ(widget->geometry(), rect) << name;
    EXPECT_TRUE(widget->isVisible()) << name;
  }
  EXPECT_EQ(page_->LogoLine()->text(), QStringLiteral("      small.png"));
  EXPECT_EQ(page_->LogoLine()->toolTip(), Text(dir_ / "small.png"));
  EXPECT_EQ(page_->ConfigurationLine()->text(), QStringLiteral("      gateway.xml"));
  EXPECT_EQ(page_->ConfigurationLine()->toolTip(), Text(kSamples / "gateway.xml"));
  EXPECT_EQ(page_->LogoChooseButton()->text(), QStringLiteral("          Select"));
  EXPECT_EQ(page_->LogoHint()->Lines(),
            (std::vector<QString>{"Supported formats: JPG, PNG, JPEG |", "Maximum size: 10KB"}));
  EXPECT_EQ(page_->ConfigurationHint()->Lines(),
            (std::vector<QString>{"Import pre-configured file for batch", "deployment"}));
  const QImage look = testing::Look(page_.get());
  EXPECT_EQ(look.pixelColor(300, 40), QColor(235, 238, 237));
  EXPECT_EQ(look.pixelColor(300, 268), QColor(235, 238, 237));
  EXPECT_EQ(look.pixelColor(30, 120), QColor(255, 255, 255));

  // Deleting a line hides it, moves what is below it up 34 pixels and
  // centres the page again.
  struct Step {
    QAction* action;
    int height;
    int applyTop;
  };
  const Step steps[] = {
      {page_->LogoMenu()->actions().at(1), 290, 284 - 34},
      {page_->ConfigurationMenu()->actions().at(1), 256, 284 - 68},
  };
  for (const Step& step : steps) {
    step.action->trigger();
    EXPECT_EQ(page_->height(), step.height);
    EXPECT_EQ(page_->ApplyButton()->y(), step.applyTop);
    EXPECT_EQ(page_->pos(), QPoint((817 - 420) / 2, (540 - step.height) / 2));
  }
  EXPECT_EQ(page_->findChild<QWidget*>("configurationChoose")->y(), 160 - 34);
  EXPECT_EQ(page_->findChild<QWidget*>("configurationHint")->y(), 224 - 68);
  // Only the configuration line left: the logo's room is gone, its own is back.
  Pick(kSamples / "gateway.json");
  page_->ConfigurationChooseButton()->click();
  EXPECT_EQ(page_->height(), 290);
  EXPECT_EQ(page_->ConfigurationLine()->y(), 190 - 34);
}

TEST_F(PageTest, OnlyPicturesLargerThanTheLogoGoThroughTheCropDialog) {
  const auto result = dir_ / "ModifyPicture" / "cut-10-00-00.png";
  CropWith(result);
  struct Case {
    std::filesystem::path file;
    bool cropped;
  };
  const Case cases[] = {
      {Picture(dir_, "exact.png", 229, 51), false},
      {Picture(dir_, "wider.png", 230, 51), true},
      {Picture(dir_, "higher.bmp", 229, 52), true},
      {Picture(dir_, "photo.jpg", 1000, 200), true},
      // Not a picture at all: counts as 0 x 0 and goes as it is.
      {dir_.Write("notes.png", "just some text"), false},
  };
  for (const Case& c : cases) {
    cropped_.clear();
    Pick(c.file);
    page_->LogoChooseButton()->click();
    const auto logo = c.cropped ? result : c.file;
    EXPECT_EQ(cropped_.size(), c.cropped ? 1u : 0u) << c.file;
    if (c.cropped) {
      EXPECT_EQ(cropped_[0], c.file);
    }
    EXPECT_EQ(page_->State().chosenLogoPath, logo) << c.file;
    EXPECT_EQ(page_->LogoLine()->text(), "      " + Text(logo.filename())) << c.file;
    EXPECT_TRUE(page_->LogoLine()->isVisible());
  }
  EXPECT_TRUE(hiddenWhileCropping_);
  EXPECT_TRUE(page_->isVisible());  // shown again afterwards
  // A cancelled file dialog changes nothing.
  page_->SetFileChooser([](const QString&) { return QString(); });
  page_->LogoChooseButton()->click();
  EXPECT_EQ(page_->State().chosenLogoPath, dir_ / "notes.png");
}

TEST_F(PageTest, ACancelledCropLeavesNoLogo) {
  CropWith(std::nullopt);
  Pick(Picture(dir_, "big.png", 600, 120));
  page_->LogoChooseButton()->click();
  EXPECT_FALSE(page_->LogoLine()->isVisible());
  EXPECT_TRUE(page_->State().logoLine.empty());
  EXPECT_EQ(page_->State().chosenLogoPath, dir_ / "big.png");  // kept, but no logo

  page_->ApplyButton()->click();
  ASSERT_EQ(notes_.Notes().size(), 1u);
  EXPECT_EQ(notes_.Notes()[0].text,
            QStringLiteral("Please select a logo image or a configuration file!"));
  EXPECT_FALSE(notes_.Notes()[0].withCancel);
  EXPECT_TRUE(host_.calls.empty());

  // Editing a chosen logo and cancelling drops it too.
  CropWith(dir_ / "ModifyPicture" / "x.png");
  page_->LogoChooseButton()->click();
  ASSERT_TRUE(page_->LogoLine()->isVisible());
  CropWith(std::nullopt);
  page_->LogoLine()->click();
  EXPECT_FALSE(page_->LogoLine()->isVisible());
}

TEST_F(PageTest, APickedLargePictureIsCroppedInTheCropDialog) {
  bool pageHidden = false;
  bool clicked = false;
  // The crop dialog runs modally: click its "Apply" once it is up.
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, [&] {
    auto* dialog = qobject_cast<CAvatarCropDlg*>(QApplication::activeModalWidget());
    if (dialog == nullptr || clicked)
      return;
    clicked = true;
    pageHidden = !page_->isVisible();
    dialog->ApplyButton()->click();
  });
  poll.start(20);
  Pick(Picture(dir_, "banner.final.png", 1000, 200));
  page_->LogoChooseButton()->click();
  poll.stop();
  ASSERT_TRUE(clicked);
  EXPECT_TRUE(pageHidden);
  const QString line = page_->LogoLine()->text();
  EXPECT_TRUE(
      QRegularExpression(R"(^      banner-\d\d-\d\d-\d\d\.final\.png$)").match(line).hasMatch())
      << line.toStdString();
  const auto written = page_->State().chosenLogoPath;
  EXPECT_EQ(written.parent_path(), dir_ / "ModifyPicture");
  QImageReader reader(Text(written));
  reader.setDecideFormatFromContent(true);
  EXPECT_EQ(reader.format(), QByteArray("jpeg"));
  EXPECT_EQ(reader.size(), QSize(229, 51));
}

TEST_F(PageTest, MenusToolTipsAndTextsSpeakThePacksLanguage) {
  InitLanguage(BREVANT_SOURCE_DIR "/data", 2052);
  MakePage();
  EXPECT_EQ(page_->LogoMenu()->actions().at(0)->text(), QString::fromUtf8("编辑"));
  EXPECT_EQ(page_->LogoMenu()->actions().at(1)->text(), QString::fromUtf8("删除"));
  EXPECT_EQ(page_->ConfigurationMenu()->actions().at(0)->text(), QString::fromUtf8("编辑"));
  EXPECT_EQ(page_->ApplyButton()->text(), QString::fromUtf8("应用"));
  EXPECT_EQ(page_->CancelButton()->text(), QString::fromUtf8("取消"));

  Pick(kSamples / "gateway.xml");
  page_->ConfigurationChooseButton()->click();
  Pick({});
  page_->LogoChooseButton()->click();
  // The file dialogs' filter names, the picture filter's as the operators have always read them.
  ASSERT_EQ(filters_.size(), 2u);
  EXPECT_EQ(filters_[1], QString::fromUtf8("图片文件 (*.png *.jpg *.jpeg *.bmp);;PNG 文件 (*.png);;"
                                           "JPEG 文件 (*.jpg *.jpeg);;BMP 文件 (*.bmp)"));
  EXPECT_EQ(filters_[0], QString::fromUtf8("配置文件 (*.xml *.json);;XML 文件 (*.xml);;"
                                           "JSON 文件 (*.json)"));
  CTButtonPicture* line = page_->ConfigurationLine();
  // A right click opens the line's menu at the pointer (through the window,
  // which turns the click into the context menu request).
  QTest::mouseClick(window_.windowHandle(), Qt::RightButton, {},
                    line->mapTo(&window_, QPoint(40, 10)));
  ASSERT_TRUE(QTest::qWaitFor([&] { return page_->ConfigurationMenu()->isVisible(); }, 3000));
  EXPECT_LE(
      (page_->ConfigurationMenu()->pos() - line->mapToGlobal(QPoint(40, 10))).manhattanLength(), 2);
  page_->ConfigurationMenu()->hide();

  // The tool tip, after its delay, holds the whole path.
  QTest::mouseMove(line, QPoint(60, 14));
  EXPECT_FALSE(QToolTip::isVisible());
  ASSERT_TRUE(QTest::qWaitFor([] { return QToolTip::isVisible(); }, 3000));
  EXPECT_EQ(QToolTip::text(), Text(kSamples / "gateway.xml"));
  QToolTip::hideText();
}

TEST_F(PageTest, AConfigurationNeverEditedGoesUnchangedToEveryDeviceNamedByItsMac) {
  Pick(kSamples / "gateway.xml");
  page_->ConfigurationChooseButton()->click();
  page_->ApplyButton()->click();
  ASSERT_EQ(notes_.Notes().size(), 1u);
  EXPECT_EQ(notes_.Notes()[0].text,
            QStringLiteral("Are you sure you want to submit configration?"));
  EXPECT_TRUE(notes_.Notes()[0].withCancel);
  EXPECT_EQ(host_.calls, (std::vector<std::string>{"started 162", "show 161"}));
  EXPECT_EQ(page_->LastApply().jobs, 2);
  const std::string original = ReadBytes(kSamples / "gateway.xml");
  for (const char* mac : {kA, kB}) {
    ASSERT_TRUE(WaitForReceived(mac, "PARA_DATA")) << mac;
    EXPECT_EQ(ReadBytes(dir_ / "ModifyXml" / (DeviceFileStem(mac) + ".xml")), original) << mac;
    EXPECT_EQ(ReceivedFile(mac, "PARA_DATA"), original) << mac;
  }
  EXPECT_TRUE(QTest::qWaitFor([&] { return Device(kA).paraStatus == OPERATE_SUCCESS; }, 10000))
      << Device(kA).paraStatus;
  EXPECT_FALSE(std::filesystem::exists(Received() / DeviceFileStem(kC)));  // not a target
}

TEST_F(PageTest, AFileNamedAXmlJsonIsEditedAndAppliedAsJson) {
  // The stand-in spreadsheet application fills each row's login password.
  testing::PrivateDesktop desktop;
  const auto app = desktop.Script(
      "fill-sheet", testing::FillSheetScript({{"loginPassword", "json-"}, {"loid", "L"}}, 0.1));
  desktop.RegisterSheetApplication("stand-in-sheet.desktop", app.string() + " %f");
  page_->SheetEditor().SetPollInterval(std::chrono::milliseconds(20));

  const auto json = dir_.Write("a.xml.json", ReadBytes(kSamples / "gateway.json"));
  Pick(json);
  page_->ConfigurationChooseButton()->click();
  page_->ConfigurationLine()->click();  // Edit
  ASSERT_EQ(notes_.Notes().size(), 1u) << notes_.Notes().back().text.toStdString();
  EXPECT_EQ(notes_.Notes()[0].text,
            QStringLiteral("Are you sure you want to modify configration?"));
  const auto sheet = page_->State().sheetPath;
  ASSERT_TRUE(std::filesystem::exists(sheet));
  EXPECT_EQ(sheet.parent_path(), dir_ / "ModifyExcel");
  // Read as JSON: the JSON template's fields went into the sheet.
  EXPECT_EQ(page_->State().templateFields.loginPassword, "admin");

  page_->ApplyButton()->click();
  ASSERT_EQ(page_->LastApply().jobs, 2) << notes_.Notes().back().text.toStdString();
  for (const char* mac : {kA, kB}) {
    ASSERT_TRUE(WaitForReceived(mac, "PARA_DATA")) << mac;
    const std::string file = ReadBytes(dir_ / "ModifyJson" / (DeviceFileStem(mac) + ".json"));
    EXPECT_NE(file.find("\"json-" + DeviceFileStem(mac) + "\""), std::string::npos) << file;
    EXPECT_EQ(ReceivedFile(mac, "PARA_DATA"), file) << mac;
    EXPECT_FALSE(std::filesystem::exists(dir_ / "ModifyXml" / (DeviceFileStem(mac) + ".xml")));
  }
}

std::vector<std::string> GatewayRow(const std::string& mac, const std::string& user) {
  // mac, WanName1, vid1, WanName2, vid2, pppUser2, pppPassword2, loid,
  // loidPassword, ploamPassword, loginPassword
  return {mac, "1_TR069_R_VID_46", "46", "2_INTERNET_R_VID_41", "41", user, "pw-" + user, "", "",
          "",  "admin-" + user};
}

TEST_F(PageTest, AFailingSheetRowDeliversNothingAndOpensTheSheetAgain) {
  page_->SetTargetList({kA, kB, kC});
  EditSheetAs([] {
    std::vector<std::vector<std::string>> rows = {
        {"mac(*This column cannot be modified*)", "WanName1(*This column cannot be modified*)",
         "vid1", "WanName2(*This column cannot be modified*)", "vid2", "pppUser2", "pppPassword2",
         "loid", "loidPassword", "ploamPassword", "loginPassword"},
        GatewayRow(kA, "alice"),
        GatewayRow(kB, "bob"),
        GatewayRow(kC, "car(ol")};
    return rows;
  });
  Pick(kSamples / "gateway.xml");
  page_->ConfigurationChooseButton()->click();
  page_->ConfigurationLine()->click();
  ASSERT_EQ(edits_.size(), 1u);
  page_->ApplyButton()->click();
  ASSERT_EQ(notes_.Notes().size(), 3u);  // edit's confirmation, apply's, the rule
  EXPECT_TRUE(notes_.Notes()[2].text.startsWith(QStringLiteral("The MAC:") + kC + " pppUser2"))
      << notes_.Notes()[2].text.toStdString();
  ASSERT_EQ(edits_.size(), 2u);  // opened again to be corrected
  EXPECT_EQ(edits_[1], edits_[0]);
  EXPECT_FALSE(page_->LastApply().started);
  EXPECT_TRUE(host_.calls.empty());
  QTest::qWait(300);
  EXPECT_FALSE(std::filesystem::exists(Received()));
  EXPECT_FALSE(std::filesystem::exists(dir_ / "ModifyXml" / (DeviceFileStem(kA) + ".xml")));
}

TEST_F(PageTest, AFailedPerDeviceWriteStopsTheLaterJobs) {
  page_->SetTargetList({kA, kB, kC});
  std::filesystem::create_directory(dir_ / "ModifyXml" / (DeviceFileStem(kB) + ".xml"));
  Pick(kSamples / "gateway.xml");
  page_->ConfigurationChooseButton()->click();
  page_->ApplyButton()->click();
  EXPECT_TRUE(page_->LastApply().started);
  EXPECT_EQ(page_->LastApply().jobs, 1);
  ASSERT_EQ(notes_.Notes().size(), 2u);
  EXPECT_FALSE(notes_.Notes()[1].withCancel);  // the failed copy's note
  ASSERT_TRUE(WaitForReceived(kA, "PARA_DATA"));
  EXPECT_EQ(Device(kB).paraStatus, WAIT_OPERATE);
  EXPECT_EQ(Device(kC).paraStatus, WAIT_OPERATE);
  EXPECT_FALSE(std::filesystem::exists(Received() / DeviceFileStem(kB)));
  EXPECT_FALSE(std::filesystem::exists(Received() / DeviceFileStem(kC)));
}

TEST_F(PageTest, CancelAndCloseShowTheDeviceListAndKeepEveryChoice) {
  Pick(Picture(dir_, "small.png", 100, 40));
  page_->LogoChooseButton()->click();
  Pick(kSamples / "gateway.xml");
  page_->ConfigurationChooseButton()->click();
  const CustomizationState before = page_->State();
  page_->CancelButton()->click();
  page_->CloseButton()->click();
  EXPECT_EQ(host_.calls, (std::vector<std::string>{"show 161", "show 161"}));
  EXPECT_EQ(page_->State().logoLine, before.logoLine);
  EXPECT_EQ(page_->State().configLine, before.configLine);
  EXPECT_EQ(page_->State().chosenLogoPath, before.chosenLogoPath);
  // Each visit replaces the target list.
  page_->SetTargetList({kC});
  EXPECT_EQ(page_->State().targetList, std::vector<std::string>{kC});
  // Enter and Escape neither apply nor close.
  QTest::keyClick(page_->ApplyButton(), Qt::Key_Return);
  QTest::keyClick(page_.get(), Qt::Key_Escape);
  EXPECT_TRUE(notes_.Notes().empty());
  EXPECT_EQ(host_.calls.size(), 2u);
  EXPECT_TRUE(page_->isVisible());
}

}  // namespace
}  // namespace brevant
