// brevant-antitheft-gallery: the anti-theft page (switched on, filled in, and
// switched off) and its two template dialogs in real windows over the main
// window's background, written to PNG files as the screen shows them.
// scripts/screenshot runs it under Xvfb, once per language.
//
//   brevant-antitheft-gallery --data DIR --out DIR
//
// DIR of --data holds Skin/ and Languages/ (the bundle does). The templates
// listed come from a scratch folder, never from DIR.
#include <QApplication>
#include <QCursor>
#include <QDir>
#include <QMenu>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "controls/skin_dialog.h"
#include "gallery_common.h"
#include "screens/anti_theft_dlg.h"
#include "screens/load_template_dlg.h"
#include "screens/save_template_dlg.h"

namespace brevant {
namespace {

QString gOut;

class NoHost : public PageHost {
 public:
  void ShowPage(int) override {}
  void DeliveryStarted(int) override {}
};

void Settle(int ms = 200) {
  QTest::qWait(ms);
}

void Park() {
  QCursor::setPos(1270, 890);
  Settle(60);
}

QImage ScreenShot(const QRect& global) {
  return QGuiApplication::primaryScreen()
      ->grabWindow(0, global.x(), global.y(), global.width(), global.height())
      .toImage();
}

void Save(QWidget* window, const char* name) {
  Park();
  Settle(250);
  const QImage image = ScreenShot(QRect(window->mapToGlobal(QPoint(0, 0)), window->size()));
  const QString file = QDir(gOut).filePath(QString::fromLatin1(name));
  if (!image.save(file))
    std::fprintf(stderr, "cannot write %s\n", file.toLocal8Bit().constData());
  else
    std::printf("%s\n", file.toLocal8Bit().constData());
}

void Type(QWidget* edit, const char* text) {
  edit->setFocus(Qt::MouseFocusReason);
  QTest::keyClicks(edit, QString::fromUtf8(text));
}

int Run(const std::filesystem::path& data) {
  QTemporaryDir scratch;
  const std::filesystem::path folder = scratch.path().toStdString();
  std::filesystem::create_directory_symlink(std::filesystem::absolute(data / "Skin"),
                                            folder / "Skin");
  std::filesystem::create_directories(folder / "IniTemplate");
  std::ofstream(folder / "IniTemplate" / "Config.ini", std::ios::binary)
      << "[Branch office]\r\nSwitchOn=1\r\nACName=AC-branch\r\n"
         "[Head office]\r\nSwitchOn=1\r\nACName=AC-head\r\nPrimaryDns=10.0.0.53\r\n"
         "[lab]\r\nSwitchOn=0\r\n";

  CTDialog window;
  window.setObjectName(QStringLiteral("mainWindow"));
  window.setFixedSize(817, 540);
  window.SetBackgroundPicture(QString::fromStdString((data / "Skin" / "main_bk3.jpg").string()));
  window.move(20, 20);
  ScreenServices services;
  services.directory = folder;
  NoHost host;
  auto* page = new CAntiTheftProtectionDlg(&window, services, host);
  window.show();
  (void)QTest::qWaitForWindowExposed(&window);
  window.activateWindow();
  page->show();
  page->Entered();
  Save(&window, "antitheft_on.png");

  Type(page->LockCodeEdit(), "Lock-2024");
  Type(page->ConfirmLockCodeEdit(), "Lock-2024");
  Type(page->ACNameEdit(), "AC head office");
  Type(page->PrimaryDnsEdit(), "10.0.0.53");
  page->LockCodeEdit()->setFocus();
  Save(&window, "antitheft_on_filled.png");

  page->ToggleSwitch();
  Save(&window, "antitheft_off.png");
  page->ToggleSwitch();

  page->hide();
  {
    CSaveTemplateDlg save(*page);
    save.show();
    (void)QTest::qWaitForWindowExposed(&save);
    save.activateWindow();
    Type(save.NameEdit(), "Head office 2");
    Save(&window, "save_template.png");
  }
  {
    page->SetLastTemplateName("Head office");
    CLoadTemplateDlg load(*page);
    load.show();
    (void)QTest::qWaitForWindowExposed(&load);
    load.activateWindow();
    Save(&window, "load_template.png");
    load.TemplateCombo()->showPopup();
    Settle(300);
    Save(&window, "load_template_list.png");
    load.TemplateCombo()->hidePopup();
    QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(40, 12),
                            load.TemplateCombo()->mapToGlobal(QPoint(40, 12)));
    QApplication::sendEvent(load.TemplateCombo(), &event);
    Settle(300);
    Save(&window, "load_template_menu.png");
    if (load.ContextMenu() != nullptr)
      load.ContextMenu()->hide();
  }
  return 0;
}

}  // namespace
}  // namespace brevant

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  const auto folders = brevant::StartGallery(app, argc, argv, "brevant-antitheft-gallery");
  if (!folders)
    return 2;
  brevant::gOut = folders->out;
  return brevant::Run(folders->data.toStdString());
}
