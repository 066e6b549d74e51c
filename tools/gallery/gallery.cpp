// brevant-gallery: shows every skinned control in real windows, in each of its
// states, and writes what the screen shows to PNG files, one sheet per control.
// scripts/screenshot runs it under Xvfb, once per language.
//
//   brevant-gallery --data DIR --out DIR
//
// DIR of --data holds Skin/, Languages/ and Setting.ini (the bundle does).
#include <QApplication>
#include <QCursor>
#include <QDir>
#include <QFile>
#include <QPainter>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QToolTip>
#include <QWheelEvent>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "app/settings.h"
#include "controls/color_line.h"
#include "controls/combo_box.h"
#include "controls/grid_ctrl.h"
#include "controls/image_list.h"
#include "controls/picture.h"
#include "controls/picture_button.h"
#include "controls/skin_dialog.h"
#include "controls/skin_edit.h"
#include "controls/skin_font.h"
#include "controls/skin_label.h"
#include "gallery_common.h"
#include "i18n/qt/retitle.h"
#include "screens/avatar_crop_dlg.h"
#include "screens/device_customization_dlg.h"
#include "screens/note_dlg.h"

namespace brevant {
namespace {

const QColor kInk(68, 68, 79);
const QColor kRed(216, 34, 40);
const QColor kHint(181, 181, 190);
const QString kFace = QString::fromLatin1(kSkinFontFace);

QString gSkin;
QString gOut;
std::vector<std::string> gWritten;

QString Skin(const char* name) {
  return QDir(gSkin).filePath(QString::fromLatin1(name));
}

QString Tr(const char* text) {
  return TranslateText(QString::fromUtf8(text));
}

void Settle(int ms = 120) {
  QTest::qWait(ms);
}

// What the X server shows in a rectangle of the screen.
QImage ScreenShot(const QRect& global) {
  return QGuiApplication::primaryScreen()
      ->grabWindow(0, global.x(), global.y(), global.width(), global.height())
      .toImage();
}

QImage Grab(QWidget* widget) {
  return ScreenShot(QRect(widget->mapToGlobal(QPoint(0, 0)), widget->size()));
}

// A sheet: rows of captioned pictures, drawn on light grey.
class Sheet {
 public:
  explicit Sheet(QString title) : title_(std::move(title)) {}

  void Row(const QString& caption, std::vector<std::pair<QString, QImage>> cells) {
    rows_.push_back({caption, std::move(cells)});
  }

  void Save(const QString& name, int scale = 1) const {
    const QFont captionFont = SkinFont(kFace, 16);
    const QFont cellFont = SkinFont(kFace, 13);
    const int pad = 16;
    int width = 0;
    int height = pad + 30;
    for (const auto& row : rows_) {
      int w = pad + 190;
      int h = 0;
      for (const auto& [label, image] : row.cells) {
        w += std::max(image.width() * scale, 80) + pad;
        h = std::max(h, image.height() * scale + 18);
      }
      width = std::max(width, w);
      height += h + pad;
    }
    QImage sheet(std::max(width, 400), height, QImage::Format_RGB32);
    sheet.fill(QColor(236, 237, 240));
    QPainter painter(&sheet);
    painter.setFont(SkinFont(kFace, 20, 700));
    painter.setPen(kInk);
    painter.drawText(pad, pad + 18, title_);
    int y = pad + 30;
    for (const auto& row : rows_) {
      int h = 0;
      for (const auto& cell : row.cells)
        h = std::max(h, cell.second.height() * scale + 18);
      painter.setFont(captionFont);
      painter.setPen(kInk);
      painter.drawText(QRect(pad, y + 18, 180, h - 18),
                       Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, row.caption);
      int x = pad + 190;
      for (const auto& [label, image] : row.cells) {
        painter.setFont(cellFont);
        painter.setPen(QColor(120, 122, 135));
        painter.drawText(x, y + 12, label);
        painter.drawImage(QRect(x, y + 18, image.width() * scale, image.height() * scale), image);
        x += std::max(image.width() * scale, 80) + pad;
      }
      y += h + pad;
    }
    painter.end();
    const QString file = QDir(gOut).filePath(name);
    sheet.save(file);
    gWritten.push_back(file.toStdString());
  }

 private:
  struct RowData {
    QString caption;
    std::vector<std::pair<QString, QImage>> cells;
  };
  QString title_;
  std::vector<RowData> rows_;
};

// A white window to put controls on, at a fixed place on the screen.
class Stage : public CTDialog {
 public:
  explicit Stage(QSize size, QColor color = Qt::white) {
    SetBackgroundFill(true);
    SetBackgroundColor(color);
    setFixedSize(size);
    move(40, 40);
  }
  void Up() {
    show();
    (void)QTest::qWaitForWindowExposed(this);
    activateWindow();
    Settle(200);
  }
};

void Park() {
  QCursor::setPos(1270, 890);
  Settle(60);
}

// A control as the screen shows it, with the parent around it.
QImage Shot(QWidget* control, int margin = 4) {
  const QRect area(control->mapToGlobal(QPoint(-margin, -margin)),
                   control->size() + QSize(2 * margin, 2 * margin));
  return ScreenShot(area);
}

// Normal, hover (the pointer on it), pressed, disabled.
std::vector<std::pair<QString, QImage>> ButtonStates(CTButtonPicture* button) {
  std::vector<std::pair<QString, QImage>> out;
  Park();
  out.emplace_back("normal", Shot(button));
  QCursor::setPos(button->mapToGlobal(button->rect().center()));
  (void)QTest::qWaitFor([&] { return button->State() == ControlState::Hover; }, 2000);
  Settle();
  out.emplace_back("hover", Shot(button));
  QTest::mousePress(button, Qt::LeftButton, {}, button->rect().center());
  Settle();
  out.emplace_back("pressed", Shot(button));
  QTest::mouseRelease(button, Qt::LeftButton, {}, button->rect().center());
  Park();
  button->setEnabled(false);
  Settle();
  out.emplace_back("disabled", Shot(button));
  button->setEnabled(true);
  return out;
}

void Buttons() {
  Stage stage({560, 80});
  stage.Up();
  Sheet sheet(QStringLiteral("CTButtonPicture"));
  struct Kind {
    const char* caption;
    const char* label;
    QSize size;
    std::function<void(CTButtonPicture*)> style;
  };
  auto red = [](const char* stem) {
    return [stem](CTButtonPicture* b) {
      const std::string s(stem);
      b->SetPictures(Skin((s + "_normal.png").c_str()), Skin((s + "_over.png").c_str()),
                     Skin((s + "_down.png").c_str()), Skin((s + "_disable.png").c_str()));
      b->SetCaptionFont(kFace, 17, 400);
    };
  };
  auto inked = [](std::function<void(CTButtonPicture*)> pictures, QColor normal, QColor hot) {
    return [pictures, normal, hot](CTButtonPicture* b) {
      pictures(b);
      b->SetCaptionFont(kFace, 17, 400);
      b->SetCaptionColors(normal, hot, hot, normal);
    };
  };
  const std::vector<Kind> kinds = {
      {"Start Scan", "scan button", {218, 24}, red("scan_btn")},
      {"Device Customization", "page button", {140, 24}, red("protection_btn")},
      {"Anti-Theft Protection", "page button", {142, 24}, red("protection_btn")},
      {"Scan Devices", "page button", {96, 24}, red("protection_btn")},
      {"Apply", "Apply / Ok", {67, 27}, red("apply_btn")},
      {"Cancel",
       "Cancel",
       {71, 27},
       inked(
           [](CTButtonPicture* b) {
             b->SetPictures(Skin("cancel_btn_normal.png"), Skin("cancel_btn_over.png"),
                            Skin("cancel_btn_down.png"), Skin("cancel_btn_normal.png"));
           },
           kInk, kRed)},
      {"Load template",
       "template",
       {108, 24},
       inked([](CTButtonPicture* b) { b->SetPicture(Skin("btn_template.png")); }, kRed,
             QColor(180, 15, 0))},
      {"Save as template",
       "template",
       {124, 24},
       inked([](CTButtonPicture* b) { b->SetPicture(Skin("btn_template.png")); }, kRed,
             QColor(180, 15, 0))},
      {"          Select",
       "choose",
       {99, 28},
       inked([](CTButtonPicture* b) { b->SetPicture(Skin("choose_btn_normal.png")); }, kInk, kRed)},
      {"      gateway.xml",
       "configuration line",
       {209, 28},
       [&](CTButtonPicture* b) {
         inked([](CTButtonPicture* c) { c->SetPicture(Skin("btn_ini_file.png")); }, kInk, kRed)(b);
         b->SetCaptionAlignment(Qt::AlignLeft | Qt::AlignVCenter);
       }},
      {"      logo.png",
       "logo line",
       {209, 28},
       [&](CTButtonPicture* b) {
         inked([](CTButtonPicture* c) { c->SetPicture(Skin("btn_pic_file.png")); }, kInk, kRed)(b);
         b->SetCaptionAlignment(Qt::AlignLeft | Qt::AlignVCenter);
       }},
      {"Change",
       "Change",
       {48, 18},
       [](CTButtonPicture* b) {
         b->SetPicture(Skin("change_btn_normal.png"));
         b->SetCaptionFont(kFace, 15, 400);
       }},
      {"",
       "switch on",
       {28, 16},
       [](CTButtonPicture* b) { b->SetPicture(Skin("btn_switch_on.png")); }},
      {"",
       "switch off",
       {28, 16},
       [](CTButtonPicture* b) { b->SetPicture(Skin("btn_switch_off.png")); }},
      {"",
       "close (main)",
       {24, 24},
       [](CTButtonPicture* b) {
         b->SetPictures(Skin("btn_close_normal.png"), Skin("btn_close_over.png"),
                        Skin("btn_close_down.png"));
       }},
      {"",
       "minimise",
       {24, 24},
       [](CTButtonPicture* b) {
         b->SetPictures(Skin("btn_min_normal.png"), Skin("btn_min_over.png"),
                        Skin("btn_min_down.png"));
       }},
      {"",
       "information",
       {24, 24},
       [](CTButtonPicture* b) { b->SetPicture(Skin("help_normal.bmp")); }},
      {"",
       "close (dialogs)",
       {16, 16},
       [](CTButtonPicture* b) { b->SetPicture(Skin("btn_child_close.png")); }},
  };
  for (const Kind& kind : kinds) {
    CTButtonPicture button(Tr(kind.caption), &stage);
    button.setGeometry(QRect(QPoint(20, 20), kind.size));
    kind.style(&button);
    button.show();
    Settle(60);
    sheet.Row(QString::fromUtf8(kind.label), ButtonStates(&button));
  }
  sheet.Save(QStringLiteral("buttons.png"), 2);
}

void Edits() {
  Stage stage({440, 300});
  Sheet sheet(QStringLiteral("CTEditGdiplus"));
  auto make = [&](int y) {
    auto* edit = new CTEditGdiplus(&stage);
    edit->setGeometry(163, y, 180, 24);
    return edit;
  };
  CTEditGdiplus* placeholder = make(20);
  placeholder->SetPlaceholder(Tr("e.g. 8.8.8.8"), QColor(128, 128, 128));
  CTEditGdiplus* value = make(60);
  value->SetRealText(QStringLiteral("192.168.100.254"));
  CTEditGdiplus* password = make(100);
  password->SetPassword(true);
  password->SetRealText(QStringLiteral("lockcode"));
  CTEditGdiplus* chinese = make(140);
  chinese->SetRealText(QString::fromUtf8("办公室网络 AC-01"));
  CTEditGdiplus* disabled = make(180);
  disabled->SetRealText(QStringLiteral("8.8.4.4"));
  disabled->setEnabled(false);
  CTEditGdiplus* sink = make(220);
  stage.Up();
  sink->setFocus();
  Park();
  sheet.Row(QStringLiteral("placeholder"), {{"normal", Shot(placeholder)}});
  QCursor::setPos(placeholder->mapToGlobal(placeholder->rect().center()));
  Settle();
  sheet.Row(QStringLiteral("placeholder, hover"), {{"hover", Shot(placeholder)}});
  Park();
  placeholder->setFocus();
  QTest::keyClicks(placeholder, QStringLiteral("8.8.8.8"));
  Settle();
  sheet.Row(QStringLiteral("typed, focus"), {{"focus", Shot(placeholder)}});
  sink->setFocus();
  Settle();
  sheet.Row(QStringLiteral("value"), {{"normal", Shot(value)}});
  sheet.Row(QStringLiteral("password"), {{"normal", Shot(password)}});
  sheet.Row(QStringLiteral("Chinese text"), {{"normal", Shot(chinese)}});
  sheet.Row(QStringLiteral("disabled"), {{"disabled", Shot(disabled)}});
  sheet.Save(QStringLiteral("edits.png"), 2);
}

void Labels() {
  Stage stage({460, 330});
  Sheet sheet(QStringLiteral("CTStaticGdiplus"));
  auto label = [&](const char* text, QRect rect, int height, int weight, QColor color,
                   Qt::Alignment alignment = Qt::AlignLeft) {
    auto* l = new CTStaticGdiplus(Tr(text), &stage);
    l->setGeometry(rect);
    l->SetTextFont(kFace, height, weight);
    l->SetTextColor(color);
    l->SetTextAlignment(alignment);
    return l;
  };
  auto* title = label("Anti-Theft Protection", {22, 11, 144, 18}, 17, 600, kInk);
  auto* right = label("Confirm Lock Code ", {38, 40, 113, 18}, 17, 400, kInk, Qt::AlignRight);
  auto* explanation = label(
      "Used to bind the device to the\nnetwork. If the password is incorrect,\nthe configuration "
      "will not take effect\neven if parameters are delivered.",
      {163, 70, 180, 56}, 13, 400, kHint);
  auto* select = label("Select Network Adapter", {73, 140, 178, 32}, 20, 500, QColor(128, 128, 128),
                       Qt::AlignHCenter);
  auto* broken = label("Configuration successful", {20, 180, 90, 60}, 17, 400, kInk);
  auto* note = label(
      "The input Lock Code cannot contain space characters and special characters "
      "\" or \\ ",
      {65, 250, 320, 60}, 17, 400, kInk);
  stage.Up();
  Park();
  sheet.Row(QStringLiteral("title 17/600"), {{"", Shot(title)}});
  sheet.Row(QStringLiteral("label, right aligned"), {{"", Shot(right)}});
  sheet.Row(QStringLiteral("hint, line feeds"), {{"", Shot(explanation)}});
  sheet.Row(QStringLiteral("adapter page title 20/500, centred"), {{"", Shot(select)}});
  sheet.Row(QStringLiteral("word broken between characters"), {{"", Shot(broken)}});
  sheet.Row(QStringLiteral("note text, 320 wide"), {{"", Shot(note)}});
  sheet.Save(QStringLiteral("labels.png"), 2);
}

void Pictures() {
  Stage stage({300, 120});
  Sheet sheet(QStringLiteral("CTPicture"));
  CTPicture logo(&stage);
  logo.setGeometry(20, 16, 220, 48);
  logo.Load(Skin("ostrel_logo.bmp"));
  CTPicture wait(&stage);
  wait.setGeometry(20, 80, 16, 16);
  wait.Load(Skin("wait_search.gif"));
  stage.Up();
  Park();
  sheet.Row(QStringLiteral("logo, 220 x 48"), {{"", Shot(&logo, 0)}});
  std::vector<std::pair<QString, QImage>> frames;
  wait.Start();
  for (int i = 0; i < wait.FrameCount(); i += 2) {
    (void)QTest::qWaitFor([&] { return wait.CurrentFrame() == i; }, 3000);
    Settle(10);
    frames.emplace_back(QString::number(i), Shot(&wait, 0).scaled(64, 64));
  }
  wait.Stop();
  sheet.Row(QStringLiteral("wait_search.gif, frames, 4 x"), frames);
  sheet.Save(QStringLiteral("pictures.png"), 2);
}

void Combo() {
  Stage stage({440, 260});
  Sheet sheet(QStringLiteral("CCustomComboBox"));
  auto make = [&](int y) {
    auto* combo = new CCustomComboBox(&stage);
    combo->setGeometry(53, y, 218, 24);
    combo->SetFieldHeight(18);
    combo->SetItemHeight(20);
    combo->SetListFont(kFace, 16, 400);
    combo->SetArrowPictures(Skin("combox_down.png"));
    return combo;
  };
  CCustomComboBox* adapters = make(20);
  for (const char* name :
       {"Intel(R) Ethernet Connection I219-LM (A4:BB:6D:11:22:33)", "enp3s0 (00:1B:21:AA:BB:CC)",
        "USB 10/100/1000 LAN (00:E0:4C:68:01:02)", "eth1 (52:54:00:12:34:56)"})
    adapters->AddItem(QString::fromUtf8(name));
  adapters->setCurrentIndex(1);
  CCustomComboBox* empty = make(60);
  empty->SetEmptyText(Tr("Select Template:"));
  stage.Up();
  Park();
  sheet.Row(QStringLiteral("closed"), {{"", Shot(adapters)}});
  sheet.Row(QStringLiteral("nothing selected"), {{"", Shot(empty)}});
  QCursor::setPos(adapters->mapToGlobal(adapters->rect().center()));
  Settle();
  sheet.Row(QStringLiteral("hot"), {{"", Shot(adapters)}});
  adapters->showPopup();
  (void)QTest::qWaitForWindowExposed(adapters->DropWindow());
  auto* list = adapters->DropWindow()->List();
  const QRect row = list->visualRect(list->model()->index(0, 0));
  QCursor::setPos(list->viewport()->mapToGlobal(row.center()));
  (void)QTest::qWaitFor([] { return QToolTip::isVisible(); }, 3000);
  Settle(300);
  const QRect area(adapters->mapToGlobal(QPoint(-8, -8)), QSize(380, 170));
  sheet.Row(QStringLiteral("open, pointer on a cut item"), {{"", ScreenShot(area)}});
  adapters->hidePopup();
  sheet.Save(QStringLiteral("combo.png"), 2);
}

void Grid(const AppSettings& settings) {
  Stage stage({817, 420});
  Sheet sheet(QStringLiteral("CGridCtrl"));
  auto color = [](PackedColor c) { return QColor(RedOf(c), GreenOf(c), BlueOf(c)); };
  CImageList images;
  const char* files[] = {"unselect.bmp", "select.bmp", "part_select.bmp",
                         "success.bmp",  "error.bmp",  "operating.bmp"};
  for (int i = 0; i < 6; ++i)
    images.SetImage(i, Skin(files[i]));
  CGridCtrl grid(&stage);
  grid.setGeometry(27, 20, 763, 38 + 5 * 48);
  grid.SetColumnCount(4);
  grid.SetFixedRowCount(1);
  const int widths[] = {63, 232, 341, 127};
  for (int col = 0; col < 4; ++col)
    grid.SetColumnWidth(col, widths[col]);
  grid.SetRowHeight(0, 38);
  grid.SetImageList(&images);
  grid.SetGridBkColor(color(settings.childBkColor));
  grid.SetGridLineColor(color(settings.lineColor));
  grid.SetDefaultCellFont(true,
                          SkinFont(QString::fromStdString(settings.gridTitleFont.face),
                                   settings.gridTitleFont.height, settings.gridTitleFont.weight));
  grid.SetDefaultCellFont(false, SkinFont(QString::fromStdString(settings.gridFont.face),
                                          settings.gridFont.height, settings.gridFont.weight));
  grid.SetDefaultCellColors(true, color(settings.gridTitleTextColor),
                            color(settings.gridTitleBkColor));
  grid.SetDefaultCellColors(false, color(settings.gridTextColor), Qt::white);
  const char* headers[] = {"", "No.", "MAC Address", "Status"};
  for (int col = 0; col < 4; ++col)
    grid.SetItemText(0, col, Tr(headers[col]));
  grid.SetItemImage(0, 0, 2);
  const int status[] = {3, 4, 5, 6, 3};
  for (int i = 0; i < 5; ++i) {
    const int row = grid.InsertRow();
    grid.SetItemImage(row, 0, i % 2 == 0 ? 1 : 0);
    grid.SetItemText(row, 1, QString::number(row));
    grid.SetItemText(row, 2, QStringLiteral("C8:3A:35:A1:B2:%1").arg(0xC0 + i, 2, 16).toUpper());
    grid.SetItemImage(row, 3, status[i]);
  }
  grid.SetSortColumn(2);
  grid.SetSortAscending(true);
  stage.Up();
  Park();
  sheet.Row(QStringLiteral("device list, colours of Setting.ini"), {{"", Shot(&grid, 0)}});
  sheet.Save(QStringLiteral("grid.png"));
}

// A dialog of the size and look the template dialogs have, from the controls.
void Dialog() {
  QWidget backdrop;
  backdrop.setFixedSize(560, 260);
  backdrop.move(30, 30);
  backdrop.setAutoFillBackground(true);
  QPalette p = backdrop.palette();
  p.setColor(QPalette::Window, QColor(244, 245, 247));
  backdrop.setPalette(p);
  backdrop.show();
  (void)QTest::qWaitForWindowExposed(&backdrop);

  CTDialog dialog(&backdrop);
  dialog.setFixedSize(420, 152);
  dialog.SetBackgroundFill(true);
  dialog.SetCornerRadius(4);
  dialog.SetDraggable(true);
  dialog.AddLine({0, 40}, {420, 40});
  dialog.AddLine({0, 96}, {420, 96});
  dialog.SetLinePen(1, QColor(235, 238, 237));
  CTStaticGdiplus title(QStringLiteral("Save Template"), &dialog);
  title.setGeometry(16, 11, 105, 18);
  title.SetTextFont(kFace, 17, 600);
  title.SetTextColor(kInk);
  CTButtonPicture close(&dialog);
  close.setGeometry(388, 12, 16, 16);
  close.SetPicture(Skin("btn_child_close.png"));
  CTStaticGdiplus label(QStringLiteral("Template Name:"), &dialog);
  label.setGeometry(59, 59, 102, 18);
  label.SetTextFont(kFace, 17, 400);
  label.SetTextColor(kInk);
  label.SetTextAlignment(Qt::AlignRight);
  CTEditGdiplus name(&dialog);
  name.setGeometry(163, 56, 180, 24);
  CTButtonPicture cancel(QStringLiteral("Cancel"), &dialog);
  cancel.setGeometry(252, 112, 71, 27);
  cancel.SetPictures(Skin("cancel_btn_normal.png"), Skin("cancel_btn_over.png"),
                     Skin("cancel_btn_down.png"));
  cancel.SetCaptionFont(kFace, 17, 400);
  cancel.SetCaptionColors(kInk, kRed, kRed, kInk);
  CTButtonPicture save(QStringLiteral("Save"), &dialog);
  save.setGeometry(332, 112, 67, 27);
  save.SetPictures(Skin("apply_btn_normal.png"), Skin("apply_btn_over.png"),
                   Skin("apply_btn_down.png"), Skin("apply_btn_disable.png"));
  save.SetCaptionFont(kFace, 17, 400);
  TranslateWindow(&dialog);
  dialog.move(backdrop.mapToGlobal(QPoint(70, 54)));
  dialog.show();
  (void)QTest::qWaitForWindowExposed(&dialog);
  Settle(200);
  name.setFocus();
  QTest::keyClicks(&name, QStringLiteral("Branch office"));
  Park();
  Settle();
  Sheet sheet(QStringLiteral("CTDialog"));
  sheet.Row(QStringLiteral("a 420 x 152 dialog: lines, rounded corners, controls"),
            {{"", Grab(&backdrop)}});
  sheet.Save(QStringLiteral("dialog.png"));
}

void Notes() {
  CTDialog owner;
  owner.setFixedSize(817, 540);
  owner.SetBackgroundPicture(Skin("main_bk.jpg"));
  owner.move(20, 20);
  owner.show();
  (void)QTest::qWaitForWindowExposed(&owner);
  struct Case {
    const char* file;
    const char* title;
    const char* text;
    bool withCancel;
  };
  const Case cases[] = {
      {"note_cancel.png", "Confirm Exit", "Are you sure you want to exit Brevant?", true},
      {"note.png", "Note", "Please select the devices!", false},
      {"note_long.png", "Note",
       "The input Lock Code cannot contain space characters and special characters \" or \\ ",
       false},
  };
  for (const Case& c : cases) {
    CNoteDlg note(&owner, Tr(c.title), Tr(c.text), c.withCancel);
    note.show();
    (void)QTest::qWaitForWindowExposed(&note);
    Park();
    Settle(250);
    const QRect area(owner.mapToGlobal(QPoint(0, 0)), QSize(455, 200));
    const QImage look = ScreenShot(area);
    std::vector<std::pair<QString, QImage>> cells = {{"", look}};
    if (c.withCancel) {
      QCursor::setPos(note.CancelButton()->mapToGlobal(note.CancelButton()->rect().center()));
      Settle(200);
      cells.emplace_back("pointer on Cancel", ScreenShot(area));
    }
    Sheet sheet(QStringLiteral("CNoteDlg"));
    sheet.Row(QString::fromUtf8(c.title), cells);
    sheet.Save(QString::fromLatin1(c.file));
    note.done(CNoteDlg::kOk);
  }
}

// The adapter page's controls at their places on the window background.
void AdapterPage() {
  CTDialog window;
  window.setFixedSize(817, 540);
  window.SetBackgroundPicture(Skin("main_bk.png"));
  window.move(20, 20);
  CTDialog page(&window, CTDialog::Kind::Page);
  page.setGeometry(247, 126, 324, 288);
  page.SetBackgroundFill(true);
  page.SetCornerRadius(4);
  CTPicture logo(&page);
  logo.setGeometry(53, 16, 220, 48);
  logo.Load(Skin("ostrel_logo.bmp"));
  CTStaticGdiplus title(Tr("Select Network Adapter"), &page);
  title.setGeometry(73, 64, 178, 32);
  title.SetTextFont(kFace, 20, 500);
  title.SetTextColor(QColor(128, 128, 128));
  title.SetTextAlignment(Qt::AlignHCenter | Qt::AlignVCenter);
  CCustomComboBox adapters(&page);
  adapters.setGeometry(53, 120, 218, 24);
  adapters.SetFieldHeight(18);
  adapters.SetItemHeight(20);
  adapters.SetArrowPictures(Skin("combox_down.png"));
  adapters.AddItem(QStringLiteral("enp3s0 (00:1B:21:AA:BB:CC)"));
  adapters.setCurrentIndex(0);
  CTButtonPicture scan(Tr("Start Scan"), &page);
  scan.setGeometry(53, 182, 218, 24);
  scan.SetPictures(Skin("scan_btn_normal.png"), Skin("scan_btn_over.png"),
                   Skin("scan_btn_down.png"), Skin("scan_btn_disable.png"));
  scan.SetCaptionFont(kFace, 17, 400);
  CTStaticGdiplus footer(QStringLiteral("Brevant 0.1  \u00B7  batch device preparation"), &page);
  footer.setGeometry(8, 254, 309, 18);
  footer.SetTextFont(kFace, 13, 400);
  footer.SetTextColor(QColor(180, 180, 180));
  footer.SetTextAlignment(Qt::AlignHCenter);
  CTButtonPicture close(&window);
  close.setGeometry(777, 12, 24, 24);
  close.SetPicture(Skin("btn_close_normal2.png"));
  window.show();
  (void)QTest::qWaitForWindowExposed(&window);
  Park();
  Settle(250);
  Sheet sheet(QStringLiteral("Skin together: the adapter page's controls on main_bk.png"));
  sheet.Row(QStringLiteral("817 x 540"), {{"", Grab(&window)}});
  sheet.Save(QStringLiteral("adapter_page.png"));
}

// The customization page and the crop dialog over the window's background.
class NoHost : public PageHost {
 public:
  void ShowPage(int) override {}
  void DeliveryStarted(int) override {}
};

// An operator's logo picture, larger than a device shows: the application's
// icon and a name on a soft gradient.
QString Banner(const QString& data, const QString& folder) {
  QImage banner(1200, 320, QImage::Format_RGB32);
  QPainter painter(&banner);
  QLinearGradient fill(0, 0, 1200, 320);
  fill.setColorAt(0, QColor(252, 244, 243));
  fill.setColorAt(1, QColor(236, 240, 247));
  painter.fillRect(banner.rect(), fill);
  painter.setRenderHint(QPainter::SmoothPixmapTransform);
  painter.drawImage(QRect(120, 64, 192, 192),
                    QImage(QDir(data).filePath(QStringLiteral("Icons/brevant-256.png"))));
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setPen(kRed);
  painter.setFont(SkinFont(kFace, -96, 700));
  painter.drawText(QRect(350, 60, 820, 130), Qt::AlignLeft | Qt::AlignVCenter,
                   QStringLiteral("Brevant"));
  painter.setPen(kInk);
  painter.setFont(SkinFont(kFace, -40, 400));
  painter.drawText(QRect(356, 180, 820, 70), Qt::AlignLeft | Qt::AlignVCenter,
                   QStringLiteral("Home gateways, prepared in batches"));
  painter.end();
  const QString file = QDir(folder).filePath(QStringLiteral("brevant-banner.final.png"));
  banner.save(file);
  return file;
}

void CustomizationPage(const QString& data) {
  QTemporaryDir scratch;
  CTDialog window;
  window.setFixedSize(817, 540);
  window.SetBackgroundPicture(Skin("main_bk3.jpg"));
  window.move(20, 20);
  ScreenServices services;
  services.directory = data.toStdString();
  NoHost host;
  CDeviceCustomizationDlg page(&window, services, host);
  window.show();
  page.show();
  (void)QTest::qWaitForWindowExposed(&window);
  Park();
  Settle(250);
  Sheet sheet(QStringLiteral("CDeviceCustomizationDlg on main_bk3.jpg"));
  sheet.Row(QStringLiteral("nothing chosen: both lines folded away"), {{"", Grab(&window)}});

  const QString logo = QDir(data).absoluteFilePath(QStringLiteral("samples/logo.png"));
  page.SetFileChooser([&](const QString&) { return logo; });
  page.LogoChooseButton()->click();
  const QString config =
      QDir(scratch.path()).filePath(QStringLiteral("gateway-configuration-second-floor-2025.xml"));
  QFile::copy(QDir(data).filePath(QStringLiteral("samples/gateway.xml")), config);
  page.SetFileChooser([&](const QString&) { return config; });
  page.ConfigurationChooseButton()->click();
  Park();
  Settle(250);
  sheet.Row(QStringLiteral("a logo and a configuration"), {{"", Grab(&window)}});

  QCursor::setPos(page.LogoLine()->mapToGlobal(QPoint(120, 14)));
  Settle(900);
  sheet.Row(QStringLiteral("pointer on the logo line: its tool tip"), {{"", Grab(&window)}});
  QToolTip::hideText();
  Park();
  page.ConfigurationMenu()->popup(page.ConfigurationLine()->mapToGlobal(QPoint(60, 16)));
  Settle(300);
  sheet.Row(QStringLiteral("right click on the configuration line"), {{"", Grab(&window)}});
  page.ConfigurationMenu()->hide();
  page.LogoMenu()->actions().at(1)->trigger();
  Park();
  Settle(250);
  sheet.Row(QStringLiteral("the logo deleted"), {{"", Grab(&window)}});
  sheet.Save(QStringLiteral("customization_page.png"));
}

void CropDialog(const QString& data) {
  QTemporaryDir scratch;
  CTDialog window;
  window.setFixedSize(817, 540);
  window.SetBackgroundPicture(Skin("main_bk3.jpg"));
  window.move(20, 20);
  window.show();
  (void)QTest::qWaitForWindowExposed(&window);
  CAvatarCropDlg dialog(&window, Banner(data, scratch.path()), data.toStdString());
  dialog.show();
  (void)QTest::qWaitForWindowExposed(&dialog);
  Park();
  Settle(250);
  Sheet sheet(QStringLiteral("CAvatarCropDlg"));
  sheet.Row(QStringLiteral("as opened"), {{"", Grab(&dialog)}});
  CImagePreviewCtrl* canvas = dialog.Canvas();
  const QPoint at(150, 60);
  for (int i = 0; i < 4; ++i) {
    QWheelEvent wheel(at, canvas->mapToGlobal(at), QPoint(), QPoint(0, 120), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(canvas, &wheel);
  }
  Settle(250);
  sheet.Row(QStringLiteral("zoomed in four notches at the icon"), {{"", Grab(&dialog)}});
  for (int i = 0; i < 8; ++i) {
    QWheelEvent wheel(at, canvas->mapToGlobal(at), QPoint(), QPoint(0, 120), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(canvas, &wheel);
  }
  Settle(250);
  sheet.Row(QStringLiteral("zoomed in further: the frame is cut to what shows"),
            {{"", Grab(&dialog)}});
  sheet.Save(QStringLiteral("crop_dialog.png"));
  dialog.done(QDialog::Rejected);
}

}  // namespace
}  // namespace brevant

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  const auto folders = brevant::StartGallery(app, argc, argv, "brevant-gallery");
  if (!folders)
    return 2;
  brevant::gOut = folders->out;
  const QString data = folders->data;
  brevant::gSkin = QDir(data).filePath(QStringLiteral("Skin"));
  const auto settings = brevant::ReadAppSettings(QDir(data).filePath("Setting.ini").toStdString());

  brevant::Buttons();
  brevant::Edits();
  brevant::Labels();
  brevant::Pictures();
  brevant::Combo();
  brevant::Grid(settings);
  brevant::Dialog();
  brevant::Notes();
  brevant::AdapterPage();
  brevant::CustomizationPage(data);
  brevant::CropDialog(data);
  for (const auto& file : brevant::gWritten)
    std::printf("%s\n", file.c_str());
  return 0;
}
