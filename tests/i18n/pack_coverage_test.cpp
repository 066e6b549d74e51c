// The Chinese pack against the program: every text the program looks up, on
// every screen, dialog and menu and in every message of the sources, has an
// entry; and with the pack in effect no caption outgrows its fixed-size
// control and no caption of the program's is left in English.

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QContextMenuEvent>
#include <QFontMetrics>
#include <QImage>
#include <QLabel>
#include <QMenu>
#include <QRegularExpression>
#include <QTest>
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "controls/grid_ctrl.h"
#include "controls/picture_button.h"
#include "controls/skin_label.h"
#include "i18n/language.h"
#include "ini/profile.h"
#include "screens/anti_theft_dlg.h"
#include "screens/avatar_crop_dlg.h"
#include "screens/device_customization_dlg.h"
#include "screens/error_tip_wnd.h"
#include "screens/load_template_dlg.h"
#include "screens/modal_runner.h"
#include "screens/save_template_dlg.h"
#include "support/gui_test.h"
#include "tailoring/device_fields.h"
#include "tailoring/field_rules.h"
#include "tailoring/json_config.h"
#include "window_fixture.h"
#include "workflow/antitheft.h"
#include "workflow/antitheft_templates.h"

namespace brevant::testing {
namespace {

const std::filesystem::path kData = BREVANT_SOURCE_DIR "/data";
const std::filesystem::path kPack = kData / "Languages" / "Chinese.lng";

// Every key Translate looked up while a Recorder lived.
class Recorder {
 public:
  Recorder() {
    Keys().clear();
    SetLookupRecorder(&Record);
  }
  ~Recorder() { SetLookupRecorder(nullptr); }
  std::set<std::string> Taken() const {
    std::lock_guard lock(Mutex());
    return Keys();
  }

 private:
  static std::mutex& Mutex() {
    static std::mutex mutex;
    return mutex;
  }
  static std::set<std::string>& Keys() {
    static std::set<std::string> keys;
    return keys;
  }
  static void Record(std::string_view key) {
    std::lock_guard lock(Mutex());
    Keys().emplace(key);
  }
};

bool HasLetter(std::string_view text) {
  return std::any_of(text.begin(), text.end(),
                     [](char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); });
}

// What the Chinese pack lacks of these program texts, one line each.
std::string Missing(const std::set<std::string>& keys) {
  const ProfileFile pack = ProfileFile::Load(kPack);
  std::string missing;
  for (const std::string& key : keys) {
    // A text already translated (a dialog retitled twice) is no English key.
    if (!HasLetter(key) || QString::fromStdString(key).contains(
                               QRegularExpression(QStringLiteral("[\\x{3000}-\\x{9FFF}]"))))
      continue;
    if (key.find('=') != std::string::npos || key.front() == ';' || key.front() == '[')
      missing += "  cannot be a pack key: \"" + key + "\"\n";
    else if (pack.GetString("ProgramOutStr", key, "", 1023).empty())
      missing += "  \"" + key + "\"\n";
  }
  return missing;
}

// The C++ string literals starting at text[at] ("a" "b" joined), unescaped;
// at is left after them.
std::string ReadLiterals(const std::string& text, std::size_t& at) {
  std::string out;
  while (true) {
    while (at < text.size() && std::isspace(static_cast<unsigned char>(text[at])))
      ++at;
    if (at >= text.size() || text[at] != '"')
      return out;
    for (++at; at < text.size() && text[at] != '"'; ++at) {
      if (text[at] != '\\') {
        out += text[at];
        continue;
      }
      const char c = text[++at];
      switch (c) {
        case 'n':
          out += '\n';
          break;
        case 'r':
          out += '\r';
          break;
        case 't':
          out += '\t';
          break;
        case 'x': {
          int value = 0;
          for (int digits = 0;
               digits < 2 && std::isxdigit(static_cast<unsigned char>(text[at + 1])); ++digits)
            value = value * 16 + std::stoi(std::string(1, text[++at]), nullptr, 16);
          out += static_cast<char>(value);
          break;
        }
        default:
          out += c;
      }
    }
    ++at;
  }
}

bool IsNameChar(char c) {
  return std::isalnum(static_cast<unsigned char>(c)) || c == '_';
}

std::string ReadFile(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// The literal texts the sources hand to the pack: the string arguments of
// Translate and its wrappers, and the named constants they are given.
std::set<std::string> ScanSources() {
  const std::vector<std::string> calls = {"Translate(",      "Tr(",         "TranslateText(",
                                          "TranslateLines(", "Tell(port, ", "Ask(port, ",
                                          "translated("};
  std::set<std::string> texts;
  std::map<std::string, std::string> constants;  // name: text
  std::set<std::string> namesUsed;
  for (const auto& entry :
       std::filesystem::recursive_directory_iterator(BREVANT_SOURCE_DIR "/src")) {
    const auto extension = entry.path().extension();
    if (extension != ".cpp" && extension != ".h")
      continue;
    const std::string text = ReadFile(entry.path());
    const bool workflow = entry.path().parent_path().filename() == "workflow";
    std::vector<std::string> fileCalls = calls;
    if (workflow)
      fileCalls.push_back("Fail(");  // the anti-theft checks' messages
    for (const std::string& call : fileCalls) {
      for (std::size_t at = text.find(call); at != std::string::npos;
           at = text.find(call, at + 1)) {
        if (at > 0 &&
            (std::isalnum(static_cast<unsigned char>(text[at - 1])) || text[at - 1] == '_'))
          continue;
        // Every literal and named constant among the call's arguments.
        int depth = 1;
        for (std::size_t p = at + call.size(); p < text.size() && depth > 0;) {
          const char c = text[p];
          if (c == '"') {
            texts.insert(ReadLiterals(text, p));
          } else if (c == 'k' && !IsNameChar(text[p - 1])) {
            std::size_t end = p;
            while (end < text.size() && IsNameChar(text[end]))
              ++end;
            namesUsed.insert(text.substr(p, end - p));
            p = end;
          } else {
            depth += c == '(' ? 1 : c == ')' ? -1 : 0;
            ++p;
          }
        }
      }
    }
    // Named texts: kName[] = "..." and kName = "...".
    for (std::size_t at = text.find(" k"); at != std::string::npos; at = text.find(" k", at + 1)) {
      std::size_t end = at + 1;
      while (end < text.size() &&
             (std::isalnum(static_cast<unsigned char>(text[end])) || text[end] == '_'))
        ++end;
      const std::string name = text.substr(at + 1, end - at - 1);
      std::size_t p = end;
      if (text.compare(p, 2, "[]") == 0)
        p += 2;
      if (text.compare(p, 3, " = ") != 0)
        continue;
      p += 3;
      while (p < text.size() && std::isspace(static_cast<unsigned char>(text[p])))
        ++p;
      if (text[p] == '"')
        constants.emplace(name, ReadLiterals(text, p));
    }
  }
  for (const std::string& name : namesUsed) {
    const auto found = constants.find(name);
    if (found != constants.end())
      texts.insert(found->second);
  }
  // As Translate looks them up: without the outer blanks.
  std::set<std::string> keys;
  for (const std::string& text : texts) {
    const auto first = text.find_first_not_of(" \t\r");
    if (first != std::string::npos)
      keys.insert(text.substr(first, text.find_last_not_of(" \t\r") - first + 1));
  }
  return keys;
}

// A note port that says OK and remembers nothing: the texts go through the recorder.
class QuietPort : public OperatorPort {
 public:
  bool Note(const std::string&, const std::string&, bool) override { return true; }
  SheetEdit EditSheet(const std::filesystem::path&) override { return SheetEdit::Edited; }
};

bool HasCjk(const QString& text) {
  return std::any_of(text.begin(), text.end(),
                     [](QChar c) { return c.unicode() >= 0x3000 && c.unicode() <= 0x9FFF; });
}

// Clipped captions and untranslated texts seen on the screens, one line each.
class ScreenCheck {
 public:
  // The program's own texts on the screen, not data: data goes in here.
  void AllowData(const QString& text) { data_.insert(text); }

  void Inspect(QWidget* top, const QString& where) {
    QList<QWidget*> widgets = top->findChildren<QWidget*>();
    widgets.prepend(top);
    for (QWidget* widget : widgets) {
      if (!widget->isVisible() || widget->width() <= 0)
        continue;
      const QString name = where + QLatin1Char('/') + widget->objectName();
      if (auto* label = qobject_cast<CTStaticGdiplus*>(widget)) {
        CheckLabel(label, name);
      } else if (auto* button = qobject_cast<CTButtonPicture*>(widget)) {
        CheckButton(button, name);
      } else if (auto* menu = qobject_cast<QMenu*>(widget)) {
        CheckMenu(menu, name);
      }
    }
    if (!top->windowTitle().isEmpty())
      CheckLanguage(top->windowTitle(), where + QStringLiteral(" title"));
  }

  void CheckMenu(QMenu* menu, const QString& where) {
    for (QAction* action : menu->actions()) {
      if (!action->isSeparator())
        CheckLanguage(action->text(), where + QStringLiteral(" item"));
    }
  }

  void CheckLanguage(const QString& text, const QString& where) {
    if (HasCjk(text) || data_.count(text) != 0 || !HasLetter(text.toStdString()))
      return;
    english_.insert("  " + where.toStdString() + ": \"" + text.toStdString() + "\"");
  }

  std::string Clipped() const { return Join(clipped_); }
  std::string English() const { return Join(english_); }

 private:
  static std::string Join(const std::set<std::string>& lines) {
    std::string out;
    for (const auto& line : lines)
      out += line + "\n";
    return out;
  }

  void CheckLabel(CTStaticGdiplus* label, const QString& where) {
    const QString text = label->text();
    if (text.isEmpty())
      return;
    CheckLanguage(text, where);
    // The label breaks its lines itself, in words too: what matters is
    // whether they all fit its height (one line always shows).
    const QFontMetrics metrics(label->font());
    const int lines = static_cast<int>(label->Lines().size());
    const int step = metrics.height() + label->LineSpacing();
    const int fit = std::max(1, (label->height() + label->LineSpacing()) / step);
    if (lines > fit) {
      clipped_.insert("  " + where.toStdString() + ": \"" + text.toStdString() + "\" needs " +
                      std::to_string(lines) + " lines of " + std::to_string(step) +
                      " pixels, has " + std::to_string(label->width()) + " x " +
                      std::to_string(label->height()));
    }
  }

  void CheckButton(CTButtonPicture* button, const QString& where) {
    const QString text = button->text();
    if (text.isEmpty())
      return;
    // The file lines show a file's name (allowed as data).
    if (data_.count(text) != 0)
      return;
    CheckLanguage(text, where);
    const QFontMetrics metrics(button->CaptionFont());
    const int width = metrics.horizontalAdvance(text);
    if (width > button->width() || metrics.ascent() + metrics.descent() > button->height() + 2) {
      clipped_.insert("  " + where.toStdString() + ": \"" + text.toStdString() + "\" is " +
                      std::to_string(width) + " pixels wide, has " +
                      std::to_string(button->width()) + " x " + std::to_string(button->height()));
    }
  }

  std::set<QString> data_;
  std::set<std::string> clipped_;
  std::set<std::string> english_;
};

// Walks every screen, dialog and menu of the program with the Chinese pack
// in effect, inspecting each as it shows.
class ChineseScreens : public ::testing::Test {
 protected:
  void SetUp() override { InitLanguage(kData, 2052); }
  void TearDown() override { InitLanguage("/nonexistent", 1033); }

  // Every note the walk meets is inspected, then answered.
  void AnswerNotes(int answer) {
    for (int i = 0; i < 40; ++i) {
      f_.Notes().Queue([this, answer](CNoteDlg& note) {
        note.show();
        check_.Inspect(&note, QStringLiteral("note ") + note.Title()->text());
        ++notes_;
        return answer;
      });
    }
  }

  void Walk() {
    f_.Devices({"mac=02:62:00:00:00:01", "mac=02:62:00:00:00:02", "mac=02:62:00:00:00:03"});
    CApplicationDlg& window = f_.Window();
    check_.AllowData(QStringLiteral("Brevant"));
    AnswerNotes(CNoteDlg::kCancel);

    // The adapter page, idle and scanning.
    check_.Inspect(&window, QStringLiteral("adapter page"));
    ASSERT_NE(window.TrayMenu(), nullptr);
    check_.CheckMenu(window.TrayMenu(), QStringLiteral("tray menu"));
    f_.AdapterPage().StartScan();
    check_.Inspect(&window, QStringLiteral("adapter page scanning"));
    ASSERT_TRUE(f_.WaitForStoreRows(3));
    for (int tick = 1; tick <= 4 && !f_.AdapterPage().Idle(); ++tick)
      f_.AdapterPage().Tick();
    ASSERT_EQ(window.CurrentPage(), kDeviceListPage);

    // The title buttons' notes, the about box.
    window.ShowAbout();
    window.AskToClose();
    window.AskToExit();

    // The device list, idle, rescanning, with nothing ticked, with a failure's advice.
    CDevicesControlDlg& list = f_.DeviceList();
    check_.Inspect(&window, QStringLiteral("device list"));
    for (int col = 1; col < 4; ++col)
      check_.CheckLanguage(list.Grid()->GetItemText(0, col), QStringLiteral("grid header"));
    list.Rescan();
    check_.Inspect(&window, QStringLiteral("device list scanning"));
    ASSERT_TRUE(f_.WaitForStoreRows(3));
    for (int tick = 0; tick < 10 && !list.ScanButton()->isEnabled(); ++tick)
      list.ScanTick();
    ASSERT_TRUE(list.ScanButton()->isEnabled());
    list.HandToPage(kCustomizationPage);
    ASSERT_TRUE(f_.Store().SetParaStatus("02:62:00:00:00:02", OPERATE_FAIL));
    list.RefreshList(true, true, CDevicesControlDlg::kMacColumn);
    f_.PointAtIcon(2, CDevicesControlDlg::kStatusColumn);
    auto* balloon = window.findChild<CErrorTipWnd*>();
    ASSERT_NE(balloon, nullptr);
    ASSERT_TRUE(balloon->IsShown());
    check_.CheckLanguage(balloon->Text(), QStringLiteral("advice balloon"));
    list.PointerAt(QPoint(-1, -1));

    // The customization page, its menus, its notes and the crop dialog.
    f_.TickRows({1, 2});
    list.HandToPage(kCustomizationPage);
    auto* customization = window.findChild<CDeviceCustomizationDlg*>();
    ASSERT_NE(customization, nullptr);
    ASSERT_TRUE(customization->isVisible());
    check_.Inspect(&window, QStringLiteral("customization page"));
    check_.CheckMenu(customization->LogoMenu(), QStringLiteral("logo menu"));
    check_.CheckMenu(customization->ConfigurationMenu(), QStringLiteral("configuration menu"));
    std::vector<QString> filters;
    const auto pick = [&](const std::filesystem::path& file) {
      customization->SetFileChooser([&filters, file](const QString& filter) {
        filters.push_back(filter);
        return QString::fromStdString(file.string());
      });
    };
    customization->Apply();
    customization->EditConfigurationFile();
    const auto odd = f_.Folder() / "notes.txt";
    std::ofstream(odd) << "x";
    pick(odd);
    customization->ChooseConfiguration();
    check_.AllowData(QStringLiteral("      notes.txt"));
    customization->EditConfigurationFile();
    pick(kData / "samples" / "gateway.xml");
    customization->ChooseConfiguration();
    check_.AllowData(QStringLiteral("      gateway.xml"));
    pick(kData / "samples" / "logo.png");
    customization->ChooseLogo();
    check_.AllowData(QStringLiteral("      logo.png"));
    check_.Inspect(&window, QStringLiteral("customization page with files"));
    customization->Apply();  // asks, and is told Cancel
    customization->RemoveLogo();
    customization->Apply();
    for (const QString& filter : filters) {
      for (const QString& part : filter.split(QStringLiteral(";;")))
        check_.CheckLanguage(part.left(part.indexOf(QLatin1Char('('))).trimmed(),
                             QStringLiteral("file dialog filter"));
    }
    {
      const QString big = QString::fromStdString((f_.Folder() / "big.png").string());
      QImage picture(400, 120, QImage::Format_RGB32);
      picture.fill(Qt::darkRed);
      ASSERT_TRUE(picture.save(big));
      CAvatarCropDlg crop(&window, big, f_.Folder());
      check_.AllowData(crop.windowTitle());  // checked as the title label
      ASSERT_TRUE(ShowAndWait(&crop));
      check_.Inspect(&crop, QStringLiteral("crop dialog"));
      CAvatarCropDlg broken(&window, QString::fromStdString(odd.string()), f_.Folder());
    }
    customization->BackToDeviceList();

    // The anti-theft page, both switch layouts, its notes and template dialogs.
    if (list.CheckState(1) == 0)
      f_.TickRows({1, 2});
    list.HandToPage(kAntiTheftPage);
    auto* antiTheft = window.findChild<CAntiTheftProtectionDlg*>();
    ASSERT_NE(antiTheft, nullptr);
    ASSERT_TRUE(antiTheft->isVisible());
    check_.Inspect(&window, QStringLiteral("anti-theft page"));
    antiTheft->Apply();
    antiTheft->ToggleSwitch();
    check_.Inspect(&window, QStringLiteral("anti-theft page switched off"));
    antiTheft->ToggleSwitch();
    {
      ModalAnswerer dialogs;
      dialogs.Queue([this](QDialog& dialog) {
        check_.Inspect(&dialog, QStringLiteral("save template"));
        static_cast<CSaveTemplateDlg&>(dialog).Save();  // no name: a note
      });
      dialogs.Queue([this](QDialog& dialog) {
        auto& load = static_cast<CLoadTemplateDlg&>(dialog);
        check_.Inspect(&dialog, QStringLiteral("load template"));
        QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(20, 10),
                                load.TemplateCombo()->mapToGlobal(QPoint(20, 10)));
        QApplication::sendEvent(load.TemplateCombo(), &event);
        ASSERT_NE(load.ContextMenu(), nullptr);
        check_.CheckMenu(load.ContextMenu(), QStringLiteral("template menu"));
        load.ContextMenu()->hide();
      });
      antiTheft->SaveAsTemplate();
      antiTheft->LoadTemplate();
      EXPECT_EQ(dialogs.Dialogs().size(), 2u);
    }
    antiTheft->Cancel();

    // Every menu of the window, once every page has been shown.
    for (QMenu* menu : window.findChildren<QMenu*>())
      check_.CheckMenu(menu, QStringLiteral("menu ") + menu->objectName());

    // The adapter page again, with no adapter to scan on.
    list.Change();
    f_.Adapters().entries.clear();
    f_.AdapterPage().FillList();
    f_.AdapterPage().StartScan();
  }

  WindowFixture f_;
  ScreenCheck check_;
  int notes_ = 0;
};

TEST_F(ChineseScreens, ThePackHasEveryTextTheScreensLookUp) {
  Recorder recorder;
  Walk();
  EXPECT_GE(notes_, 10);
  const std::set<std::string> keys = recorder.Taken();
  EXPECT_GE(keys.size(), 80u);
  const std::string missing = Missing(keys);
  EXPECT_TRUE(missing.empty()) << "the Chinese pack lacks:\n" << missing;
}

TEST_F(ChineseScreens, NoCaptionIsClippedOrLeftInEnglish) {
  Walk();
  EXPECT_TRUE(check_.Clipped().empty()) << "clipped in Chinese:\n" << check_.Clipped();
  EXPECT_TRUE(check_.English().empty()) << "still English:\n" << check_.English();
}

TEST(ChinesePack, HasEveryMessageTheSourcesHandToTheTranslation) {
  const std::set<std::string> keys = ScanSources();
  // The scan found the kinds of texts it is meant to find.
  for (const char* text : {"Please select the devices!", "Open excel fail!", "Scan Devices",
                           "Supported formats: JPG, PNG, JPEG |\\nMaximum size: 10KB",
                           "Please input the Lock Code information!"})
    EXPECT_EQ(keys.count(text), 1u) << text;
  const std::string missing = Missing(keys);
  EXPECT_TRUE(missing.empty()) << "the Chinese pack lacks:\n" << missing;
}

TEST(ChinesePack, HasTheMessagesTheCoreMakesFromTables) {
  TempDir dir;
  Recorder recorder;
  // Status texts.
  for (int code = 0; code < 8; ++code)
    CSqlManagement::StatusText(code);
  // Every field rule's message.
  DeviceFieldRecord row;
  row.mac = "02:62:00:00:00:01";
  row.wanCount = 1;
  row.columns.vid[0] = row.columns.ppp[0] = true;
  row.columns.wifi5g = row.columns.wifi24g = true;
  const auto failWith = [&](auto change) {
    DeviceFieldRecord bad = row;
    bad.vid[0] = "10";
    bad.pppUser[0] = "user";
    bad.pppPassword[0] = "secret";
    bad.ssid_5g = bad.ssid_24g = "net";
    bad.wlanPsk_5g = bad.wlanPsk_24g = "12345678";
    bad.loginPassword = "admin";
    change(bad);
    EXPECT_TRUE(FirstRuleFailure(bad));
  };
  failWith([](DeviceFieldRecord& r) { r.vid[0] = "0"; });
  failWith([](DeviceFieldRecord& r) { r.pppUser[0] = ""; });
  failWith([](DeviceFieldRecord& r) { r.pppPassword[0] = ""; });
  failWith([](DeviceFieldRecord& r) { r.ssid_5g = ""; });
  failWith([](DeviceFieldRecord& r) { r.ssid_24g = ""; });
  failWith([](DeviceFieldRecord& r) { r.wlanPsk_5g = "1"; });
  failWith([](DeviceFieldRecord& r) { r.wlanPsk_24g = "1"; });
  failWith([](DeviceFieldRecord& r) { r.loid = std::string(25, 'l'); });
  failWith([](DeviceFieldRecord& r) { r.loidPassword = std::string(13, 'p'); });
  failWith([](DeviceFieldRecord& r) { r.loidPassword = "pass"; });
  failWith([](DeviceFieldRecord& r) { r.ploamPassword = std::string(11, 'p'); });
  failWith([](DeviceFieldRecord& r) { r.loginPassword = ""; });
  // The JSON template's errors, as the page shows them.
  for (const std::string& text :
       {std::string("{"), std::string("{}"), std::string(R"({"REMOTEMGT_LOID_REG_ATTR_TAB":[]})"),
        std::string(R"({"REMOTEMGT_LOID_REG_ATTR_TAB":[],"REMOTEMGT_PASSWORD_REG_ATTR_TAB":[]})"),
        std::string(R"({"REMOTEMGT_LOID_REG_ATTR_TAB":[],"REMOTEMGT_PASSWORD_REG_ATTR_TAB":[],)"
                    R"("SYSMNG_ACCOUNT_ATTR_TAB":[]})")}) {
    DeviceFieldRecord fields;
    std::string error;
    EXPECT_FALSE(ReadJsonTemplateText(text, fields, error)) << text;
    Translate(error);
  }
  Translate(kJsonSaveFailed);
  // The template checks' messages.
  QuietPort port;
  const auto file = dir.Write("Config.ini", "");
  for (auto change : {+[](TemplateValues& v) { v.acName = "a\tb"; },
                      +[](TemplateValues& v) { v.primaryDns = "1\n"; },
                      +[](TemplateValues& v) { v.secondaryDns = "\x01"; }}) {
    TemplateValues values;
    values.switchOn = true;
    change(values);
    EXPECT_FALSE(SaveTemplate(file, "site", values, port));
  }
  // The anti-theft checks' messages.
  for (auto change : {+[](AntiTheftFields& f) { f.lockCode = "a b"; },
                      +[](AntiTheftFields& f) { f.confirmLockCode = "a b"; },
                      +[](AntiTheftFields& f) { f.acName = "a\"b"; }}) {
    AntiTheftFields fields;
    fields.switchOn = true;
    fields.lockCode = fields.confirmLockCode = "1234";
    fields.acName = "ac";
    change(fields);
    EXPECT_FALSE(DecideAntiTheft(fields, port).proceed);
  }
  const std::string missing = Missing(recorder.Taken());
  EXPECT_TRUE(missing.empty()) << "the Chinese pack lacks:\n" << missing;
}

}  // namespace
}  // namespace brevant::testing
