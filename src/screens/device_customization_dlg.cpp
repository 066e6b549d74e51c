#include "screens/device_customization_dlg.h"

#include <QCursor>
#include <QEvent>
#include <QFileDialog>
#include <QToolTip>

#include "controls/skin_font.h"
#include "controls/skin_image.h"
#include "controls/text_layout.h"
#include "i18n/qt/retitle.h"
#include "link/transmit_manage.h"
#include "screens/avatar_crop_dlg.h"
#include "screens/skin_colors.h"
#include "tailoring/picture_size.h"

namespace brevant {

namespace {

const QColor kHint(181, 181, 190);
const QColor kCancelInk(146, 146, 157);

// Pack keys of the two hints: the pack writes a line break as \n.
const char kLogoHint[] = "Supported formats: JPG, PNG, JPEG |\\nMaximum size: 10KB";
const char kConfigurationHint[] = "Import pre-configured file for batch\\ndeployment";
const char kSelect[] = "          Select";

std::filesystem::path ToPath(const QString& file) {
  return std::filesystem::path(file.toStdString());
}

}  // namespace

QString CDeviceCustomizationDlg::PictureFilter() {
  // Only the names are translated; the patterns are the file system's.
  return TranslateText(QStringLiteral("Image Files")) +
         QStringLiteral(" (*.png *.jpg *.jpeg *.bmp);;") +
         TranslateText(QStringLiteral("PNG Files")) + QStringLiteral(" (*.png);;") +
         TranslateText(QStringLiteral("JPEG Files")) + QStringLiteral(" (*.jpg *.jpeg);;") +
         TranslateText(QStringLiteral("BMP Files")) + QStringLiteral(" (*.bmp)");
}

QString CDeviceCustomizationDlg::ConfigurationFilter() {
  return TranslateText(QStringLiteral("Files")) + QStringLiteral(" (*.xml *.json);;") +
         TranslateText(QStringLiteral("XML Files")) + QStringLiteral(" (*.xml);;") +
         TranslateText(QStringLiteral("JSON Files")) + QStringLiteral(" (*.json)");
}

CDeviceCustomizationDlg::CDeviceCustomizationDlg(QWidget* parent, const ScreenServices& services,
                                                 PageHost& host)
    : CTDialog(parent, Kind::Page),
      services_(services),
      host_(host),
      editor_(this),
      port_(this),
      title_(new CTStaticGdiplus(QStringLiteral("Device Customization"), this)),
      close_(new CTButtonPicture(this)),
      topLine_(new CColorLine(kSeparator, this)),
      logoLabel_(new CTStaticGdiplus(QStringLiteral("Logo Customization"), this)),
      logoChoose_(new CTButtonPicture(QString::fromLatin1(kSelect), this)),
      logoLine_(new CTButtonPicture(this)),
      logoHint_(new CTStaticGdiplus(TranslateText(QString::fromLatin1(kLogoHint)), this)),
      configLabel_(new CTStaticGdiplus(QStringLiteral("Default Configuration Modify"), this)),
      configChoose_(new CTButtonPicture(QString::fromLatin1(kSelect), this)),
      configLine_(new CTButtonPicture(this)),
      configHint_(
          new CTStaticGdiplus(TranslateText(QString::fromLatin1(kConfigurationHint)), this)),
      bottomLine_(new CColorLine(kSeparator, this)),
      cancel_(new CTButtonPicture(QStringLiteral("Cancel"), this)),
      apply_(new CTButtonPicture(QStringLiteral("Apply"), this)),
      logoMenu_(new QMenu(this)),
      configMenu_(new QMenu(this)) {
  setObjectName(QStringLiteral("customizationPage"));
  setAccessibleName(QStringLiteral("Device Customization"));
  port_.SetSheetEditor([this](const std::filesystem::path& sheet) { return editor_.Edit(sheet); });
  chooser_ = [this](const QString& filter) {
    return QFileDialog::getOpenFileName(this, TranslateText(QStringLiteral("Open")), QString(),
                                        filter);
  };
  cropper_ = [this](const std::filesystem::path& source) {
    return CAvatarCropDlg::Crop(this, PathText(source), services_.directory);
  };

  SetBackgroundFill(true);
  SetBackgroundColor(QColor(255, 255, 255));
  SetCornerRadius(4);

  const struct {
    QWidget* widget;
    const char* name;
    QRect rect;
    int below;
  } table[] = {
      {title_, "customizationTitle", {16, 11, 145, 18}, 0},
      {close_, "customizationClose", {388, 12, 16, 16}, 0},
      {topLine_, "customizationTopSeparator", {0, 40, 420, 1}, 0},
      {logoLabel_, "logoLabel", {62, 59, 116, 18}, 0},
      {logoChoose_, "logoChoose", {191, 56, 99, 28}, 0},
      {logoLine_, "logoLine", {191, 86, 209, 28}, 0},
      {logoHint_, "logoHint", {191, 120, 213, 28}, 1},
      {configLabel_, "configurationLabel", {16, 163, 172, 18}, 1},
      {configChoose_, "configurationChoose", {191, 160, 99, 28}, 1},
      {configLine_, "configurationLine", {191, 190, 209, 28}, 1},
      {configHint_, "configurationHint", {191, 224, 217, 28}, 2},
      {bottomLine_, "customizationBottomSeparator", {0, 268, 420, 1}, 2},
      {cancel_, "customizationCancel", {252, 284, 71, 27}, 2},
      {apply_, "customizationApply", {332, 284, 67, 27}, 2},
  };
  for (const auto& row : table) {
    row.widget->setObjectName(QString::fromLatin1(row.name));
    row.widget->setGeometry(row.rect);
    placed_.push_back({row.widget, row.rect, row.below});
  }
  close_->setAccessibleName(QStringLiteral("Close"));
  logoChoose_->setAccessibleName(QStringLiteral("Select logo"));
  configChoose_->setAccessibleName(QStringLiteral("Select configuration"));
  logoLine_->setAccessibleName(QStringLiteral("Logo file"));
  configLine_->setAccessibleName(QStringLiteral("Configuration file"));
  cancel_->setAccessibleName(QStringLiteral("Cancel"));
  apply_->setAccessibleName(QStringLiteral("Apply"));
  logoHint_->setAccessibleName(QStringLiteral("Logo hint"));
  configHint_->setAccessibleName(QStringLiteral("Configuration hint"));

  const QString face = QString::fromLatin1(kSkinFontFace);
  title_->SetTextFont(face, 17, 600);
  title_->SetTextColor(kInk);
  // Right-aligned, so a shorter translation still ends beside its button.
  for (CTStaticGdiplus* label : {logoLabel_, configLabel_}) {
    label->SetTextFont(face, 17, 400);
    label->SetTextColor(kInk);
    label->SetTextAlignment(Qt::AlignRight);
  }
  for (CTStaticGdiplus* hint : {logoHint_, configHint_}) {
    hint->SetTextFont(face, 16, 400);
    hint->SetTextColor(kHint);
  }
  close_->SetPicture(Skin("btn_child_close.png"));
  const struct {
    CTButtonPicture* button;
    const char* picture;
  } skinned[] = {
      {logoChoose_, "choose_btn_normal.png"},
      {configChoose_, "choose_btn_normal.png"},
      {logoLine_, "btn_pic_file.png"},
      {configLine_, "btn_ini_file.png"},
  };
  for (const auto& [button, picture] : skinned) {
    button->SetPicture(Skin(picture));
    button->SetCaptionFont(face, 17, 400);
    button->SetCaptionColors(kInk, kBrandRed, kBrandRed, kInk);
  }
  for (CTButtonPicture* line : {logoLine_, configLine_}) {
    line->SetCaptionAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    line->setContextMenuPolicy(Qt::CustomContextMenu);
    line->installEventFilter(this);
  }
  cancel_->SetPictures(Skin("cancel_btn_normal.png"), Skin("cancel_btn_over.png"),
                       Skin("cancel_btn_down.png"));
  cancel_->SetCaptionFont(face, 17, 400);
  cancel_->SetCaptionColors(kCancelInk, kBrandRed, kBrandRed, kCancelInk);
  apply_->SetPictures(Skin("apply_btn_normal.png"), Skin("apply_btn_over.png"),
                      Skin("apply_btn_down.png"), Skin("apply_btn_disable.png"));
  apply_->SetCaptionFont(face, 17, 400);

  const QString menuLook = QStringLiteral(
      "QMenu { background-color: #ffffff; color: rgb(68,68,79); border: 1px solid rgb(222,224,230);"
      " padding: 4px 0px; }"
      "QMenu::item { padding: 5px 28px 5px 20px; background-color: transparent; }"
      "QMenu::item:selected { background-color: rgb(252,236,237); color: rgb(216,34,40); }");
  const struct {
    QMenu* menu;
    const char* name;
    void (CDeviceCustomizationDlg::*edit)();
    void (CDeviceCustomizationDlg::*remove)();
    CTButtonPicture* line;
  } menus[] = {
      {logoMenu_, "logoMenu", &CDeviceCustomizationDlg::EditLogo,
       &CDeviceCustomizationDlg::RemoveLogo, logoLine_},
      {configMenu_, "configurationMenu", &CDeviceCustomizationDlg::EditConfigurationFile,
       &CDeviceCustomizationDlg::RemoveConfiguration, configLine_},
  };
  for (const auto& m : menus) {
    m.menu->setObjectName(QString::fromLatin1(m.name));
    m.menu->setStyleSheet(menuLook);
    m.menu->setFont(SkinFont(face, 16, 400));
    QAction* edit = m.menu->addAction(QStringLiteral("Edit"));
    QAction* remove = m.menu->addAction(QStringLiteral("Delete"));
    edit->setObjectName(QString::fromLatin1(m.name) + QStringLiteral("Edit"));
    remove->setObjectName(QString::fromLatin1(m.name) + QStringLiteral("Delete"));
    connect(edit, &QAction::triggered, this, m.edit);
    connect(remove, &QAction::triggered, this, m.remove);
    QMenu* menu = m.menu;
    CTButtonPicture* line = m.line;
    connect(line, &QWidget::customContextMenuRequested, this,
            [menu, line](const QPoint& at) { menu->popup(line->mapToGlobal(at)); });
  }

  connect(logoChoose_, &QAbstractButton::clicked, this, &CDeviceCustomizationDlg::ChooseLogo);
  connect(logoLine_, &QAbstractButton::clicked, this, &CDeviceCustomizationDlg::EditLogo);
  connect(configChoose_, &QAbstractButton::clicked, this,
          &CDeviceCustomizationDlg::ChooseConfiguration);
  connect(configLine_, &QAbstractButton::clicked, this,
          &CDeviceCustomizationDlg::EditConfigurationFile);
  connect(apply_, &QAbstractButton::clicked, this, &CDeviceCustomizationDlg::Apply);
  connect(cancel_, &QAbstractButton::clicked, this, &CDeviceCustomizationDlg::BackToDeviceList);
  connect(close_, &QAbstractButton::clicked, this, &CDeviceCustomizationDlg::BackToDeviceList);

  tipTimer_.setSingleShot(true);
  tipTimer_.setInterval(kTipDelayMs);
  connect(&tipTimer_, &QTimer::timeout, this, [this] {
    if (tipFor_ != nullptr && tipFor_->isVisible() && tipFor_->underMouse())
      QToolTip::showText(QCursor::pos(), tipFor_->toolTip(), tipFor_);
  });

  LayOut();
}

QString CDeviceCustomizationDlg::Skin(const char* name) const {
  return PathText(services_.directory / "Skin" / name);
}

void CDeviceCustomizationDlg::SetTargetList(const std::vector<std::string>& targets) {
  brevant::SetTargetList(state_, targets);
}

CustomizationServices CDeviceCustomizationDlg::Services() {
  CustomizationServices services;
  services.store = services_.store;
  services.delivery = DeliveryContext{services_.link, services_.store, timing_, {}};
  services.executableDirectory = services_.directory;
  services.deliveryStarting = [this] {
    host_.DeliveryStarted(kCustomizationPage);
    host_.ShowPage(kDeviceListPage);
  };
  return services;
}

QString CDeviceCustomizationDlg::ChooseFile(const QString& filter) {
  return chooser_ ? chooser_(filter) : QString();
}

std::optional<std::filesystem::path> CDeviceCustomizationDlg::RunCropper(
    const std::filesystem::path& source) {
  // The page steps aside while the crop dialog is open.
  const bool shown = isVisible();
  hide();
  std::optional<std::filesystem::path> cropped;
  if (cropper_)
    cropped = cropper_(source);
  if (shown)
    show();
  return cropped;
}

void CDeviceCustomizationDlg::ChooseLogo() {
  const QString file = ChooseFile(PictureFilter());
  if (file.isEmpty())
    return;
  std::filesystem::path logo = ToPath(file);
  state_.chosenLogoPath = logo;
  // A file that is no picture counts as 0 x 0 and goes as it is.
  const auto size = ReadPictureSize(logo);
  if (size && LogoNeedsCropping(size->width, size->height)) {
    const auto cropped = RunCropper(logo);
    if (!cropped) {
      brevant::DeleteLogo(state_);
      LayOut();
      return;
    }
    logo = *cropped;
  }
  brevant::SetLogo(state_, logo);
  LayOut();
}

void CDeviceCustomizationDlg::EditLogo() {
  const auto cropped = RunCropper(state_.chosenLogoPath);
  if (cropped)
    brevant::SetLogo(state_, *cropped);
  else
    brevant::DeleteLogo(state_);
  LayOut();
}

void CDeviceCustomizationDlg::RemoveLogo() {
  brevant::DeleteLogo(state_);
  LayOut();
}

void CDeviceCustomizationDlg::ChooseConfiguration() {
  const QString file = ChooseFile(ConfigurationFilter());
  if (file.isEmpty())
    return;
  brevant::SetConfiguration(state_, ToPath(file));
  LayOut();
}

void CDeviceCustomizationDlg::EditConfigurationFile() {
  brevant::EditConfiguration(state_, port_, Services());
}

void CDeviceCustomizationDlg::RemoveConfiguration() {
  brevant::DeleteConfiguration(state_);
  LayOut();
}

void CDeviceCustomizationDlg::Apply() {
  lastApply_ = brevant::ApplyCustomization(state_, port_, Services());
}

void CDeviceCustomizationDlg::BackToDeviceList() {
  host_.ShowPage(kDeviceListPage);
}

void CDeviceCustomizationDlg::LayOut() {
  const bool logo = !state_.logoLine.empty();
  const bool config = !state_.configLine.empty();
  const struct {
    CTButtonPicture* line;
    const std::string& text;
    const std::filesystem::path& path;
  } lines[] = {
      {logoLine_, state_.logoLine, state_.chosenLogoPath},
      {configLine_, state_.configLine, state_.chosenConfigPath},
  };
  for (const auto& l : lines) {
    const QString text = QString::fromStdString(l.text);
    l.line->setText(ElideText(text, l.line->width() - 6, QFontMetricsF(l.line->CaptionFont())));
    l.line->setToolTip(text.isEmpty() ? QString() : PathText(l.path));
    l.line->setVisible(!text.isEmpty());
  }
  const int shift[3] = {0, logo ? 0 : kLineStep, (logo ? 0 : kLineStep) + (config ? 0 : kLineStep)};
  for (const Placed& p : placed_)
    p.widget->move(p.rect.x(), p.rect.y() - shift[p.below]);
  resize(kWidth, kHeight - shift[2]);
  if (QWidget* parent = parentWidget()) {
    move((parent->width() - width()) / 2, (parent->height() - height()) / 2);
  }
}

void CDeviceCustomizationDlg::Retitle() {
  if (retitled_)
    return;
  retitled_ = true;
  TranslateWindow(this);
  TranslateMenu(logoMenu_);
  TranslateMenu(configMenu_);
  // The hints' pack keys hold their line breaks as \n.
  logoHint_->setText(TranslateText(QString::fromLatin1(kLogoHint)));
  configHint_->setText(TranslateText(QString::fromLatin1(kConfigurationHint)));
}

void CDeviceCustomizationDlg::showEvent(QShowEvent* event) {
  Retitle();
  LayOut();
  CTDialog::showEvent(event);
}

bool CDeviceCustomizationDlg::eventFilter(QObject* watched, QEvent* event) {
  if (watched == logoLine_ || watched == configLine_) {
    switch (event->type()) {
      case QEvent::ToolTip:
        // Shown by the page's own timer, after its own delay.
        return true;
      case QEvent::Enter:
        tipFor_ = static_cast<QWidget*>(watched);
        tipTimer_.start();
        break;
      case QEvent::Leave:
      case QEvent::MouseButtonPress:
      case QEvent::Hide:
        tipTimer_.stop();
        if (tipFor_ == watched)
          QToolTip::hideText();
        break;
      default:
        break;
    }
  }
  return CTDialog::eventFilter(watched, event);
}

}  // namespace brevant
