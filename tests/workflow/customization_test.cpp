#include "workflow/customization.h"

#include <gtest/gtest.h>

#include <fstream>

#include "fake_operator_port.h"
#include "records/diag_log.h"
#include "records/status_store.h"
#include "sheet_files.h"
#include "support/fake_link.h"
#include "support/temp_dir.h"

namespace brevant {
namespace {

using testing::FakeLink;
using testing::FakeOperatorPort;
using testing::ReadBytes;
using testing::TempDir;
using namespace std::chrono_literals;

const std::string kA = "C8:3A:35:00:00:0A";
const std::string kB = "C8:3A:35:00:00:0B";
const std::string kC = "C8:3A:35:00:00:0C";

// One PPP connection on VLAN 100, a LOID and an administrator password.
const std::string kXml =
    "<Config>\r\n"
    "<Dir Name=\"ATM_VC_TBL\">\r\n"
    "  <Value Name=\"WanName\" Value=\"INTERNET\"/>\r\n"
    "  <Value Name=\"vid\" Value=\"100\"/>\r\n"
    "  <Value Name=\"pppUser\" Value=\"template-user\"/>\r\n"
    "  <Value Name=\"pppPasswd\" Value=\"template-pass\"/>\r\n"
    "  <Value Name=\"ChannelMode\" Value=\"2\"/>\r\n"
    "</Dir>\r\n"
    "<Value Name=\"LOID_OLD\" Value=\"\"/>\r\n"
    "<Value Name=\"SUSER_PASSWORD\" Value=\"admin1\"/>\r\n"
    "</Config>\r\n";

const std::vector<std::string> kHeader = {"mac(*This column cannot be modified*)",
                                          "WanName1(*This column cannot be modified*)",
                                          "vid1",
                                          "pppUser1",
                                          "pppPassword1",
                                          "loid",
                                          "loidPassword",
                                          "ploamPassword",
                                          "loginPassword"};

std::vector<std::string> Row(const std::string& mac, const std::string& user) {
  return {mac, "INTERNET", "100", user, "pass-" + user, "", "", "", "admin-" + user};
}

class CustomizationTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* folder : {"ModifyExcel", "ModifyXml", "ModifyJson"}) {
      std::filesystem::create_directory(dir_ / folder);
    }
    store_ = std::make_unique<CSqlManagement>(dir_ / "data.db");
    for (const auto& mac : {kA, kB, kC}) {
      ASSERT_TRUE(store_->InsertOrUpdateDevice({mac, "2025-03-05 10:00:00", "", "", "", ""}));
    }
    services_.store = store_.get();
    services_.delivery = DeliveryContext{&link_, store_.get(), {}, {}};
    services_.executableDirectory = dir_.path();
    services_.deliveryStarting = [this] { ++started_; };
    SetTargetList(state_, {kA, kB});
  }

  // Edit with the XML above, then the operator's sheet replaces the made one.
  void EditWithSheet(const std::vector<std::vector<std::string>>& rows) {
    SetConfiguration(state_, dir_.Write("gateway.xml", kXml));
    ASSERT_TRUE(EditConfiguration(state_, port_, services_)) << port_.LastText();
    ASSERT_TRUE(std::filesystem::exists(state_.sheetPath));
    std::vector<std::vector<std::string>> sheet = {kHeader};
    sheet.insert(sheet.end(), rows.begin(), rows.end());
    testing::WriteInlineSheet(state_.sheetPath, sheet);
    port_.notes.clear();
  }

  ApplyOutcome ApplyAndWait() {
    const ApplyOutcome outcome = ApplyCustomization(state_, port_, services_);
    EXPECT_TRUE(WaitForDeliveryJobs(std::chrono::steady_clock::now() + 10s));
    return outcome;
  }

  ap_info_stu Device(const std::string& mac) {
    ap_info_stu row;
    std::vector<ap_info_stu> rows;
    int count = 0, ok = 0, failed = 0;
    EXPECT_TRUE(store_->QueryDevices(true, SORT_BY_MAC, mac, rows, count, ok, failed));
    return rows.empty() ? row : rows[0];
  }

  std::string DeviceFile(const std::string& mac, const char* extension) {
    std::string stem = mac;
    std::erase(stem, ':');
    return ReadBytes(dir_ / (std::string(extension) == ".xml" ? "ModifyXml" : "ModifyJson") /
                     (stem + extension));
  }

  TempDir dir_;
  std::unique_ptr<CSqlManagement> store_;
  FakeLink link_{[](FakeLink& l, const LinkFrame& f) {
    l.Deliver(MakeAcknowledgement(f.source(), f.destination(), f.category(), f.sequence()));
  }};
  FakeOperatorPort port_;
  CustomizationServices services_;
  CustomizationState state_;
  int started_ = 0;
};

TEST_F(CustomizationTest, AReorderedSheetStillGivesEachDeviceItsOwnRow) {
  EditWithSheet({Row(kB, "bob"), Row(" c8:3a:35:00:00:0a ", "alice"), Row(kC, "carol")});
  const ApplyOutcome outcome = ApplyAndWait();
  ASSERT_TRUE(outcome.started) << port_.LastText();
  EXPECT_EQ(outcome.jobs, 2);
  EXPECT_EQ(started_, 1);
  const std::string a = DeviceFile(kA, ".xml");
  const std::string b = DeviceFile(kB, ".xml");
  EXPECT_NE(a.find("<Value Name=\"pppUser\" Value=\"alice\"/>"), std::string::npos) << a;
  EXPECT_NE(a.find("<Value Name=\"SUSER_PASSWORD\" Value=\"admin-alice\"/>"), std::string::npos);
  EXPECT_EQ(a.find("bob"), std::string::npos);
  EXPECT_NE(b.find("<Value Name=\"pppUser\" Value=\"bob\"/>"), std::string::npos) << b;
  EXPECT_EQ(b.find("alice"), std::string::npos);
  // What each device received is its own file, byte for byte.
  std::map<MacAddress, std::string> received;
  for (const auto& f : link_.Sent())
    received[f.destination()].append(f.payload().begin(), f.payload().end());
  EXPECT_EQ(received[*ParseMacText(kA)], a);
  EXPECT_EQ(received[*ParseMacText(kB)], b);
  EXPECT_EQ(Device(kA).paraStatus, TRANSMIT_FINISH);
  EXPECT_EQ(Device(kC).paraStatus, WAIT_OPERATE);  // not a target
}

TEST_F(CustomizationTest, AFailingThirdRowDeliversNothingAndOpensTheSheetAgain) {
  SetTargetList(state_, {kA, kB, kC});
  auto bad = Row(kC, "carol");
  bad[3] = "car(ol";
  EditWithSheet({Row(kA, "alice"), Row(kB, "bob"), bad});
  ASSERT_TRUE(store_->SetParaStatus(kA, OPERATE_SUCCESS));
  const ApplyOutcome outcome = ApplyAndWait();
  EXPECT_FALSE(outcome.started);
  EXPECT_EQ(started_, 0);
  EXPECT_TRUE(link_.Sent().empty());
  ASSERT_EQ(port_.notes.size(), 2u);  // the confirmation, then the rule
  EXPECT_EQ(port_.notes[1].text.rfind("The MAC:" + kC + " pppUser1 is invalid.", 0), 0u)
      << port_.notes[1].text;
  EXPECT_EQ(port_.edited.back(), state_.sheetPath);
  EXPECT_EQ(Device(kA).paraStatus, OPERATE_SUCCESS);  // nothing was reset either
  EXPECT_FALSE(std::filesystem::exists(dir_ / "ModifyXml" / "C83A3500000A.xml"));
}

TEST_F(CustomizationTest, ACellWithAControlCharacterStopsTheApplyWithItsFieldsMessage) {
  // Spreadsheets carry characters XML cannot hold as _xHHHH_: a NUL or a tab
  // typed that way must never reach a device's file.
  const std::pair<std::vector<std::string>, const char*> cases[] = {
      {{kA, "INTERNET", "100", "ali_x0000_ce", "pass", "", "", "", "admin"}, " pppUser1 "},
      {{kA, "INTERNET", "100", "alice", "pass", "", "", "", "adm_x0009_in"}, " loginPassword "},
      {{kA, "INTERNET", "10_x000A_0", "alice", "pass", "", "", "", "admin"}, " vid1 "},
  };
  for (const auto& [row, field] : cases) {
    EditWithSheet({row, Row(kB, "bob")});
    EXPECT_FALSE(ApplyAndWait().started) << field;
    EXPECT_NE(port_.LastText().find("The MAC:" + kA + field), std::string::npos)
        << port_.LastText();
    EXPECT_EQ(link_.Sent().size(), 0u);
    EXPECT_FALSE(std::filesystem::exists(dir_ / "ModifyXml" / "C83A3500000A.xml"));
  }
}

TEST_F(CustomizationTest, ATargetWithoutARowOrWithTwoStopsBeforeAnythingIsSent) {
  EditWithSheet({Row(kA, "alice"), Row(kC, "carol")});
  EXPECT_FALSE(ApplyAndWait().started);
  EXPECT_EQ(port_.LastText(), "The MAC:" + kB + " has no row in the excel file.");
  EditWithSheet({Row(kA, "alice"), Row(kB, "bob"), Row(kA, "again")});
  EXPECT_FALSE(ApplyAndWait().started);
  EXPECT_EQ(port_.LastText(), "The MAC:" + kA + " has more than one row in the excel file.");
  EXPECT_TRUE(link_.Sent().empty());
}

TEST_F(CustomizationTest, AnUnreadableSheetStopsTheApply) {
  EditWithSheet({Row(kA, "alice"), Row(kB, "bob")});
  dir_.Write(state_.sheetPath.lexically_relative(dir_.path()).string(), "not a workbook");
  EXPECT_FALSE(ApplyAndWait().started);
  EXPECT_EQ(port_.LastText(), "Obtaining excel format information is incorrect!");
}

TEST_F(CustomizationTest, ModeFollowsTheFileLinesAndAsksItsOwnQuestion) {
  const auto logo = dir_.Write("logo.png", "PNG-bytes");
  const auto config = dir_.Write("plain.xml", kXml);
  struct Case {
    bool logo, config;
    int mode;
    const char* question;
  };
  const Case cases[] = {
      {true, true, 3, "Are you sure you want to submit logo and configration?"},
      {false, true, 2, "Are you sure you want to submit configration?"},
      {true, false, 1, "Are you sure you want to submit logo?"},
  };
  for (const auto& c : cases) {
    state_ = CustomizationState{};
    SetTargetList(state_, {kA});
    if (c.logo)
      SetLogo(state_, logo);
    if (c.config)
      SetConfiguration(state_, config);
    port_.notes.clear();
    port_.answer = false;
    EXPECT_FALSE(ApplyCustomization(state_, port_, services_).started);
    EXPECT_EQ(state_.deliveryMode, c.mode);  // kept even when cancelled
    ASSERT_EQ(port_.notes.size(), 1u);
    EXPECT_EQ(port_.notes[0].text, c.question);
    EXPECT_TRUE(port_.notes[0].withCancel);
  }
  EXPECT_TRUE(link_.Sent().empty());

  state_ = CustomizationState{};
  port_.notes.clear();
  EXPECT_FALSE(ApplyCustomization(state_, port_, services_).started);
  EXPECT_EQ(port_.LastText(), "Please select a logo image or a configuration file!");
  EXPECT_EQ(state_.deliveryMode, 1);
}

TEST_F(CustomizationTest, WithoutASheetEveryDeviceGetsAnUnchangedCopyNamedByItsMac) {
  SetLogo(state_, dir_.Write("logo.png", std::string(3000, 'L')));
  SetConfiguration(state_, dir_.Write("plain.xml", kXml));
  ASSERT_EQ(state_.configLine, "      plain.xml");
  const ApplyOutcome outcome = ApplyAndWait();
  ASSERT_TRUE(outcome.started);
  EXPECT_EQ(outcome.jobs, 2);
  EXPECT_EQ(DeviceFile(kA, ".xml"), kXml);
  EXPECT_EQ(DeviceFile(kB, ".xml"), kXml);
  for (const auto& mac : {kA, kB}) {
    EXPECT_EQ(Device(mac).logoStatus, TRANSMIT_FINISH);
    EXPECT_EQ(Device(mac).paraStatus, TRANSMIT_FINISH);
  }
  // Each device gets its logo first, then the configuration, both counted as
  // two transfers.
  for (const auto& mac : {kA, kB}) {
    std::vector<std::uint16_t> categories;
    for (const auto& frame : link_.Sent()) {
      if (DeviceMacText(frame.destination()) != mac)
        continue;
      EXPECT_EQ(frame.transferCount(), 2);
      if (categories.empty() || categories.back() != frame.category())
        categories.push_back(frame.category());
    }
    EXPECT_EQ(categories, (std::vector<std::uint16_t>{LOG_DATA, PARA_DATA})) << mac;
  }
}

TEST_F(CustomizationTest, APathTooLongForTheJobFailsItsDevicesInsteadOfLeavingThemBusy) {
  // A folder so deep that ModifyXml/<MAC>.xml, or a logo in it, is longer than
  // a job carries.
  const auto deep = dir_ / std::string(100, 'd') / std::string(100, 'e') / std::string(40, 'f');
  std::filesystem::create_directories(deep / "ModifyXml");
  ASSERT_GT((deep / "ModifyXml" / "C83A3500000A.xml").string().size(), kJobPathMax);
  std::vector<std::string> lines;
  SetDiagnosticSink([&](const std::string& line) { lines.push_back(line); });

  // The per-device files are made beside a deep executable.
  SetConfiguration(state_, dir_.Write("plain.xml", kXml));
  services_.executableDirectory = deep;
  ApplyOutcome outcome = ApplyAndWait();
  EXPECT_TRUE(outcome.started);
  EXPECT_EQ(outcome.jobs, 0);
  for (const auto& mac : {kA, kB}) {
    EXPECT_EQ(Device(mac).paraStatus, TRANSMIT_FAIL) << mac;
    EXPECT_EQ(Device(mac).logoStatus, WAIT_OPERATE) << mac;
  }
  EXPECT_EQ(ReadBytes(deep / "ModifyXml" / "C83A3500000A.xml"), kXml);

  // A logo from a deep folder fails both kinds of the job that would carry it.
  state_ = CustomizationState{};
  SetTargetList(state_, {kA, kB});
  std::ofstream(deep / "logo.png", std::ios::binary) << std::string(3000, 'L');
  SetLogo(state_, deep / "logo.png");
  SetConfiguration(state_, dir_.Write("plain.xml", kXml));
  services_.executableDirectory = dir_.path();
  outcome = ApplyAndWait();
  SetDiagnosticSink({});
  EXPECT_TRUE(outcome.started);
  EXPECT_EQ(outcome.jobs, 0);
  for (const auto& mac : {kA, kB}) {
    EXPECT_EQ(Device(mac).paraStatus, TRANSMIT_FAIL) << mac;
    EXPECT_EQ(Device(mac).logoStatus, TRANSMIT_FAIL) << mac;
  }
  EXPECT_TRUE(link_.Sent().empty());
  // Each device without its job leaves a diagnostic line.
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_NE(lines[0].find("no delivery job for " + kA), std::string::npos) << lines[0];
  EXPECT_NE(lines[3].find("no delivery job for " + kB), std::string::npos) << lines[3];
}

TEST_F(CustomizationTest, AFileThatCannotBeWrittenStopsThePreparationThere) {
  SetTargetList(state_, {kA, kB, kC});
  SetConfiguration(state_, dir_.Write("plain.xml", kXml));
  std::filesystem::create_directory(dir_ / "ModifyXml" / "C83A3500000B.xml");
  ASSERT_TRUE(store_->SetParaStatus(kC, OPERATE_FAIL));
  const ApplyOutcome outcome = ApplyAndWait();
  EXPECT_TRUE(outcome.started);
  EXPECT_EQ(outcome.jobs, 1);
  EXPECT_EQ(Device(kA).paraStatus, TRANSMIT_FINISH);
  EXPECT_EQ(Device(kB).paraStatus, WAIT_OPERATE);
  EXPECT_EQ(Device(kC).paraStatus, WAIT_OPERATE);  // cleared, no job
  EXPECT_FALSE(port_.notes.back().withCancel);     // the note of the failed copy
}

TEST_F(CustomizationTest, WithoutAStoreOrALinkApplyTellsSoBeforeAskingAnything) {
  SetConfiguration(state_, dir_.Write("plain.xml", kXml));
  CSqlManagement closed(dir_ / "no-such-folder" / "data.db");
  ASSERT_FALSE(closed.IsOpen());
  const struct {
    CSqlManagement* store;
    DeliveryLink* link;
    const char* says;
  } cases[] = {
      {nullptr, &link_, "Failed to open database, unable to get data."},
      {&closed, &link_, "Failed to open database, unable to get data."},
      {store_.get(), nullptr, "The device link is not ready: choose an adapter and scan first."},
  };
  for (const auto& c : cases) {
    CustomizationServices services = services_;
    services.store = c.store;
    services.delivery = DeliveryContext{c.link, c.store, {}, {}};
    port_.notes.clear();
    EXPECT_FALSE(ApplyCustomization(state_, port_, services).started) << c.says;
    ASSERT_EQ(port_.notes.size(), 1u) << c.says;
    EXPECT_EQ(port_.notes[0].text, c.says);
    EXPECT_FALSE(port_.notes[0].withCancel);
  }
  EXPECT_EQ(started_, 0);
  EXPECT_TRUE(link_.Sent().empty());
}

TEST_F(CustomizationTest, TheExtensionDecidesForEditAndApplyAlike) {
  const std::string json =
      "{\"REMOTEMGT_LOID_REG_ATTR_TAB\":[{\"aucLoidName\":\"x\"}],"
      "\"REMOTEMGT_PASSWORD_REG_ATTR_TAB\":[{}],\"SYSMNG_ACCOUNT_ATTR_TAB\":[{}],"
      "\"WLAN_SSID_ATTR_CFG_TAB\":[{}]}";
  SetConfiguration(state_, dir_.Write("a.xml.json", json));
  EXPECT_EQ(ConfigurationKind(state_), ".json");
  ASSERT_TRUE(ApplyAndWait().started);
  EXPECT_EQ(DeviceFile(kA, ".json"), json);
  EXPECT_FALSE(std::filesystem::exists(dir_ / "ModifyXml" / "C83A3500000A.xml"));

  SetConfiguration(state_, dir_.Write("notes.txt", "x"));
  port_.notes.clear();
  EXPECT_FALSE(ApplyCustomization(state_, port_, services_).started);
  EXPECT_EQ(port_.LastText(), "Modify file is not .xml or .json file!");
}

TEST_F(CustomizationTest, EditChecksTheLineAndTheFileBeforeMakingTheSheet) {
  EXPECT_FALSE(EditConfiguration(state_, port_, services_));
  EXPECT_EQ(port_.LastText(), "Please select the xml or json file");

  SetConfiguration(state_, dir_.Write("notes.TXT", "x"));
  EXPECT_FALSE(EditConfiguration(state_, port_, services_));
  EXPECT_EQ(port_.LastText(), "Modify file is not .xml or .json file!");

  SetConfiguration(state_, dir_.Write("UPPER.XML", kXml));
  port_.answer = false;
  EXPECT_FALSE(EditConfiguration(state_, port_, services_));
  EXPECT_EQ(port_.LastText(), "Are you sure you want to modify configration?");
  EXPECT_TRUE(state_.sheetPath.empty());
  port_.answer = true;

  SetConfiguration(state_, dir_ / "missing.xml");
  EXPECT_FALSE(EditConfiguration(state_, port_, services_));
  EXPECT_EQ(port_.LastText(), "Failed to read the XML file.");

  SetConfiguration(state_, dir_.Write("broken.json", "{ nope"));
  EXPECT_FALSE(EditConfiguration(state_, port_, services_));
  EXPECT_EQ(port_.LastText(), "Failed to load the JSON file.");
  EXPECT_TRUE(state_.sheetPath.empty());

  SetConfiguration(state_, dir_.Write("gateway.xml", kXml));
  port_.edit = OperatorPort::SheetEdit::StartFailed;
  port_.notes.clear();
  EXPECT_FALSE(EditConfiguration(state_, port_, services_));
  ASSERT_EQ(port_.notes.size(), 3u);
  EXPECT_EQ(port_.notes[1].text, "Open excel fail!");
  EXPECT_EQ(port_.notes[2].text, "Unable to open excel file!");
  EXPECT_TRUE(std::filesystem::exists(state_.sheetPath));
  EXPECT_EQ(state_.templateFields.pppUser[0], "template-user");
}

TEST_F(CustomizationTest, DeletingTheConfigurationForgetsTheSheet) {
  EditWithSheet({Row(kA, "alice"), Row(kB, "bob")});
  DeleteConfiguration(state_);
  EXPECT_TRUE(state_.configLine.empty());
  EXPECT_TRUE(state_.sheetPath.empty());
  SetConfiguration(state_, dir_.Write("other.xml", kXml));
  ASSERT_TRUE(ApplyAndWait().started);
  EXPECT_EQ(DeviceFile(kA, ".xml"), kXml);
}

DeviceFieldRecord RowFor(const std::string& mac, const std::string& login) {
  DeviceFieldRecord row;
  row.mac = mac;
  row.loginPassword = login;
  return row;
}

TEST(SheetSteps, ValidationNotesTheFirstFailingRowOnly) {
  FakeOperatorPort port;
  EXPECT_TRUE(ValidateSheetRows({RowFor(kA, "admin"), RowFor(kB, "admin")}, port));
  EXPECT_TRUE(port.notes.empty());
  EXPECT_FALSE(ValidateSheetRows({RowFor(kA, "admin"), RowFor(kB, ""), RowFor(kC, "")}, port));
  ASSERT_EQ(port.notes.size(), 1u);
  EXPECT_EQ(port.notes[0].title, "Note");
  EXPECT_FALSE(port.notes[0].withCancel);
  EXPECT_TRUE(port.notes[0].text.starts_with("The MAC:" + kB + " loginPassword"));
}

TEST(SheetSteps, OrderingNotesTheTargetWithoutARow) {
  CustomizationState state;
  state.targetList = {kA, kB};
  state.sheetRows = {RowFor(kA, "a")};
  FakeOperatorPort port;
  EXPECT_FALSE(OrderSheetRowsByTarget(state, port));
  EXPECT_EQ(port.LastText(), "The MAC:" + kB + " has no row in the excel file.");
  EXPECT_EQ(state.sheetRows.size(), 1u);

  state.sheetRows = {RowFor(kA, "a"), RowFor(kB, "b"), RowFor(kA, "c")};
  EXPECT_FALSE(OrderSheetRowsByTarget(state, port));
  EXPECT_EQ(port.LastText(), "The MAC:" + kA + " has more than one row in the excel file.");
  EXPECT_EQ(port.notes.size(), 2u);
}

TEST(OpenDeviceSheet, ReportsHowTheEditEnded) {
  CustomizationState state;
  state.sheetPath = "/tmp/sheet.xlsx";
  const std::pair<OperatorPort::SheetEdit, bool> cases[] = {
      {OperatorPort::SheetEdit::Edited, true},
      {OperatorPort::SheetEdit::StartFailed, false},
      {OperatorPort::SheetEdit::NotWaited, false},
      {OperatorPort::SheetEdit::NoEditor, true},
  };
  for (const auto& [edit, result] : cases) {
    FakeOperatorPort port;
    port.edit = edit;
    EXPECT_EQ(OpenDeviceSheet(state, port), result);
    ASSERT_EQ(port.edited.size(), 1u);
    EXPECT_EQ(port.edited[0], state.sheetPath);
    if (edit == OperatorPort::SheetEdit::StartFailed) {
      ASSERT_EQ(port.notes.size(), 1u);
      EXPECT_EQ(port.notes[0].text, "Open excel fail!");
    } else {
      EXPECT_TRUE(port.notes.empty());
    }
  }
}

TEST(Logo, OnlyPicturesLargerThanTheLogoAreCropped) {
  EXPECT_FALSE(LogoNeedsCropping(229, 51));
  EXPECT_TRUE(LogoNeedsCropping(230, 51));
  EXPECT_TRUE(LogoNeedsCropping(229, 52));
  EXPECT_FALSE(LogoNeedsCropping(0, 0));  // a file that is no picture
}

TEST(Logo, CroppedLogosAreNamedByTheSourceAndTheTime) {
  std::tm at{};
  at.tm_hour = 14;
  at.tm_min = 5;
  at.tm_sec = 9;
  const std::pair<std::string, std::string> cases[] = {
      {"logo.final.png", "ModifyPicture/logo-14-05-09.final.png"},
      {"logo.png", "ModifyPicture/logo-14-05-09.png"},
      {"logo", "ModifyPicture/-14-05-09logo"},
      {".hidden.jpg", "ModifyPicture/-14-05-09.hidden.jpg"},
      {"\u6807\u5fd7.bmp", "ModifyPicture/\u6807\u5fd7-14-05-09.bmp"},
  };
  for (const auto& [source, name] : cases)
    EXPECT_EQ(CroppedLogoName(source, at), name) << source;

  // "ModifyPicture/" and "-HH-MM-SS" take 23 of the 255 units a name may have.
  const std::string longest = std::string(228, 'a') + ".png";
  EXPECT_EQ(CroppedLogoName(longest, at).size(), 255u);
  EXPECT_EQ(CroppedLogoName("b" + longest, at), "");
  // Counted in UTF-16 units, not bytes: 232 Chinese characters fit.
  std::string chinese;
  for (int i = 0; i < 232; ++i)
    chinese += "\u6807";
  EXPECT_NE(CroppedLogoName(chinese, at), "");
  EXPECT_EQ(CroppedLogoName(chinese + "x", at), "");
}

}  // namespace
}  // namespace brevant
