#include "screens/anti_theft_dlg.h"

#include <QFontMetrics>
#include <algorithm>

#include "app/skin.h"
#include "controls/skin_font.h"
#include "controls/skin_image.h"
#include "i18n/qt/retitle.h"
#include "link/transmit_manage.h"
#include "screens/load_template_dlg.h"
#include "screens/modal_runner.h"
#include "screens/save_template_dlg.h"
#include "screens/skin_colors.h"

namespace brevant {

namespace {

const QColor kHint(153, 153, 160);
const QColor kTemplateRed(216, 34, 40);
const QColor kTemplateRedHot(180, 15, 0);
const QColor kPlaceholderGrey(128, 128, 128);
const QString kFace = QString::fromLatin1(kSkinFontFace);

constexpr int kCodeLimit = 32;
constexpr int kDnsLimit = 15;
// Switched off, these move up by this much, or end this far above where their
// full layout ends.
constexpr int kSwitchRise = 25;
constexpr int kSeparatorRise = 140;
constexpr int kButtonRise = 169;
// Between a required mark and its label's text.
constexpr int kMarkGap = 1;

QString Q(const std::string& text) {
  return QString::fromStdString(text);
}

std::string S(const QString& text) {
  return text.toStdString();
}

}  // namespace

CAntiTheftProtectionDlg::CAntiTheftProtectionDlg(QWidget* parent, const ScreenServices& services,
                                                 PageHost& host)
    : CTDialog(parent, Kind::Page),
      services_(services),
      host_(host),
      port_(this),
      title_(new CTStaticGdiplus(QStringLiteral("Anti-Theft Protection"), this)),
      close_(new CTButtonPicture(this)),
      topLine_(new CColorLine(kSeparator, this)),
      loadTemplate_(new CTButtonPicture(QStringLiteral("Load template"), this)),
      saveTemplate_(new CTButtonPicture(QStringLiteral("Save as template"), this)),
      lockMark_(new CTStaticGdiplus(QStringLiteral("*"), this)),
      lockLabel_(new CTStaticGdiplus(QStringLiteral("Lock Code "), this)),
      lockCode_(new CTEditGdiplus(this)),
      confirmMark_(new CTStaticGdiplus(QStringLiteral("*"), this)),
      confirmLabel_(new CTStaticGdiplus(QStringLiteral("Confirm Lock Code "), this)),
      confirmLockCode_(new CTEditGdiplus(this)),
      // Written with the language pack's line-break marker, which is how the
      // pack keys it; retitling turns the markers into line breaks.
      explanation_(new CTStaticGdiplus(QStringLiteral("Used to bind the device to the\\n"
                                                      "network. If the password is incorrect,\\n"
                                                      "the configuration will not take effect\\n"
                                                      "even if parameters are delivered."),
                                       this)),
      switchLabel_(new CTStaticGdiplus(QStringLiteral("Anti-Theft Protection:"), this)),
      switch_(new CTButtonPicture(this)),
      acNameLabel_(new CTStaticGdiplus(QStringLiteral("AC Name"), this)),
      acNameMark_(new CTStaticGdiplus(QStringLiteral("*"), this)),
      acName_(new CTEditGdiplus(this)),
      primaryLabel_(new CTStaticGdiplus(QStringLiteral("Primary DNS"), this)),
      primaryDns_(new CTEditGdiplus(this)),
      primaryNote_(new CTStaticGdiplus(QStringLiteral("(optional)"), this)),
      secondaryLabel_(new CTStaticGdiplus(QStringLiteral("Secondary DNS"), this)),
      secondaryDns_(new CTEditGdiplus(this)),
      secondaryNote_(new CTStaticGdiplus(QStringLiteral("(optional)"), this)),
      bottomLine_(new CColorLine(kSeparator, this)),
      cancel_(new CTButtonPicture(QStringLiteral("Cancel"), this)),
      apply_(new CTButtonPicture(QStringLiteral("Apply"), this)) {
  setObjectName(QStringLiteral("antiTheftPage"));
  TranslateWindow(this);
  setAccessibleName(title_->text());
  // The labels end where their fields begin: a trailing blank would push
  // "Lock Code " off the common right edge.
  for (CTStaticGdiplus* label : {lockLabel_, confirmLabel_})
    label->setText(label->text().trimmed());

  struct Place {
    QWidget* control;
    const char* objectName;
    QRect rect;
  };
  const Place places[] = {
      {title_, "antiTheftTitle", {22, 11, 144, 18}},
      {close_, "antiTheftClose", {388, 12, 16, 16}},
      {topLine_, "antiTheftTopSeparator", {0, 39, 420, 1}},
      {loadTemplate_, "loadTemplateButton", {160, 48, 108, 24}},
      {saveTemplate_, "saveTemplateButton", {280, 48, 124, 24}},
      {lockMark_, "lockCodeMark", {80, 93, 7, 7}},
      {lockLabel_, "lockCodeLabel", {87, 91, 64, 18}},
      {lockCode_, "lockCodeEdit", {163, 88, 180, 24}},
      {confirmMark_, "confirmLockCodeMark", {30, 129, 7, 7}},
      {confirmLabel_, "confirmLockCodeLabel", {38, 127, 113, 18}},
      {confirmLockCode_, "confirmLockCodeEdit", {163, 124, 180, 24}},
      {explanation_, "lockCodeExplanation", {163, 154, 180, 56}},
      // 4 pixels wider to the left than the original box: the text is a pixel
      // wider in the face drawn here.
      {switchLabel_, "protectionLabel", {23, 224, 128, 18}},
      {switch_, "protectionSwitch", {163, 226, 28, 16}},
      // The label's box was 84 high, reaching into the next row; one line is 18.
      {acNameLabel_, "acNameLabel", {94, 261, 57, 18}},
      {acNameMark_, "acNameMark", {86, 263, 7, 7}},
      {acName_, "acNameEdit", {163, 258, 180, 24}},
      {primaryLabel_, "primaryDnsLabel", {76, 297, 75, 18}},
      {primaryDns_, "primaryDnsEdit", {163, 294, 180, 24}},
      {primaryNote_, "primaryDnsOptional", {349, 297, 53, 18}},
      {secondaryLabel_, "secondaryDnsLabel", {60, 333, 91, 18}},
      {secondaryDns_, "secondaryDnsEdit", {163, 330, 180, 24}},
      {secondaryNote_, "secondaryDnsOptional", {349, 333, 53, 18}},
      {bottomLine_, "antiTheftBottomSeparator", {0, 370, 420, 1}},
      {cancel_, "cancelButton", {252, 386, 71, 27}},
      {apply_, "applyButton", {332, 386, 67, 27}},
  };
  for (const Place& place : places) {
    place.control->setObjectName(QString::fromLatin1(place.objectName));
    place.control->setGeometry(place.rect);
    if (auto* label = qobject_cast<QLabel*>(place.control))
      place.control->setAccessibleName(label->text());
    else if (auto* button = qobject_cast<QAbstractButton*>(place.control))
      place.control->setAccessibleName(button->text());
    full_[place.control] = place.rect;
  }
  close_->setAccessibleName(QStringLiteral("Close"));
  switch_->setAccessibleName(switchLabel_->text());
  lockCode_->setAccessibleName(lockLabel_->text());
  confirmLockCode_->setAccessibleName(confirmLabel_->text());
  acName_->setAccessibleName(acNameLabel_->text());
  primaryDns_->setAccessibleName(primaryLabel_->text());
  secondaryDns_->setAccessibleName(secondaryLabel_->text());
  for (CTStaticGdiplus* mark : {lockMark_, confirmMark_, acNameMark_})
    mark->setAccessibleName(QStringLiteral("required"));

  setFixedWidth(kWidth);
  resize(kWidth, kFullHeight);
  SetBackgroundFill(true);
  SetBackgroundColor(QColor(255, 255, 255));
  SetCornerRadius(4);

  title_->SetTextFont(kFace, 17, 600);
  title_->SetTextColor(kInk);
  for (CTStaticGdiplus* label :
       {lockLabel_, confirmLabel_, switchLabel_, acNameLabel_, primaryLabel_, secondaryLabel_}) {
    label->SetTextFont(kFace, 17, 400);
    label->SetTextColor(kInk);
    label->SetTextAlignment(Qt::AlignRight);
  }
  for (CTStaticGdiplus* mark : {lockMark_, confirmMark_, acNameMark_}) {
    mark->SetTextFont(kFace, 13, 400);
    mark->SetTextColor(kBrandRed);
  }
  // A required mark stands just before its label's text, whatever the
  // language makes that text's width (in English within a few pixels of the
  // original places).
  for (auto [mark, label] :
       {std::pair{lockMark_, lockLabel_}, std::pair{confirmMark_, confirmLabel_},
        std::pair{acNameMark_, acNameLabel_}}) {
    const int text = QFontMetrics(label->font()).horizontalAdvance(label->text());
    const QRect box = full_[label];
    QRect& place = full_[mark];
    place.moveLeft(std::max(0, box.left() + box.width() - text - kMarkGap - place.width()));
    mark->setGeometry(place);
  }
  explanation_->SetTextFont(kFace, 13, 400);
  explanation_->SetTextColor(kHint);
  for (CTStaticGdiplus* note : {primaryNote_, secondaryNote_}) {
    note->SetTextFont(kFace, 13, 400);
    note->SetTextColor(kHint);
    note->SetTextAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  }

  close_->SetPicture(SkinFile("btn_child_close.png"));
  for (CTButtonPicture* button : {loadTemplate_, saveTemplate_}) {
    button->SetPicture(SkinFile("btn_template.png"));
    button->SetCaptionFont(kFace, 17, 400);
    button->SetCaptionColors(kTemplateRed, kTemplateRedHot, kTemplateRedHot, kTemplateRed);
  }
  cancel_->SetPictures(SkinFile("cancel_btn_normal.png"), SkinFile("cancel_btn_over.png"),
                       SkinFile("cancel_btn_down.png"), SkinFile("cancel_btn_normal.png"));
  cancel_->SetCaptionFont(kFace, 17, 400);
  cancel_->SetCaptionColors(kInk, kBrandRed, kBrandRed, kInk);
  apply_->SetPictures(SkinFile("apply_btn_normal.png"), SkinFile("apply_btn_over.png"),
                      SkinFile("apply_btn_down.png"), SkinFile("apply_btn_disable.png"));
  apply_->SetCaptionFont(kFace, 17, 400);

  for (CTEditGdiplus* code : {lockCode_, confirmLockCode_, acName_})
    code->SetTypingLimit(kCodeLimit);
  for (CTEditGdiplus* dns : {primaryDns_, secondaryDns_}) {
    dns->SetTypingLimit(kDnsLimit);
    dns->SetPlaceholder(Q(std::string(kDnsPlaceholder)), kPlaceholderGrey);
  }
  // Tab goes through the fields in page order.
  setTabOrder(lockCode_, confirmLockCode_);
  setTabOrder(confirmLockCode_, acName_);
  setTabOrder(acName_, primaryDns_);
  setTabOrder(primaryDns_, secondaryDns_);

  switchRows_ = {confirmMark_, confirmLabel_, confirmLockCode_, acNameLabel_,    acNameMark_,
                 acName_,      primaryLabel_, primaryDns_,      secondaryLabel_, secondaryDns_};

  connect(close_, &QAbstractButton::clicked, this, &CAntiTheftProtectionDlg::Cancel);
  connect(cancel_, &QAbstractButton::clicked, this, &CAntiTheftProtectionDlg::Cancel);
  connect(apply_, &QAbstractButton::clicked, this, &CAntiTheftProtectionDlg::Apply);
  connect(switch_, &QAbstractButton::clicked, this, &CAntiTheftProtectionDlg::ToggleSwitch);
  connect(loadTemplate_, &QAbstractButton::clicked, this, &CAntiTheftProtectionDlg::LoadTemplate);
  connect(saveTemplate_, &QAbstractButton::clicked, this, &CAntiTheftProtectionDlg::SaveAsTemplate);

  RunSwitchLayout();
}

QString CAntiTheftProtectionDlg::SkinFile(const char* name) const {
  return PathText(SkinPaths(services_.directory).Path(name));
}

std::filesystem::path CAntiTheftProtectionDlg::TemplateFile() const {
  return TemplateFilePath(services_.directory);
}

void CAntiTheftProtectionDlg::SetTargetList(const std::vector<std::string>& targets) {
  targets_ = targets;
}

void CAntiTheftProtectionDlg::Entered() {
  lockCode_->setFocus(Qt::OtherFocusReason);
}

AntiTheftFields CAntiTheftProtectionDlg::Fields() const {
  AntiTheftFields fields;
  fields.lockCode = S(lockCode_->text());
  fields.confirmLockCode = S(confirmLockCode_->text());
  fields.acName = S(acName_->text());
  fields.primaryDns = S(primaryDns_->text());
  fields.secondaryDns = S(secondaryDns_->text());
  fields.switchOn = switchOn_;
  return fields;
}

TemplateValues CAntiTheftProtectionDlg::TemplateFields() const {
  TemplateValues values;
  values.switchOn = switchOn_;
  if (switchOn_) {
    values.acName = S(acName_->text());
    values.primaryDns = S(primaryDns_->text());
    values.secondaryDns = S(secondaryDns_->text());
  }
  return values;
}

void CAntiTheftProtectionDlg::ApplyTemplate(const TemplateValues& values) {
  switchOn_ = values.switchOn;
  lockCode_->clear();
  confirmLockCode_->clear();
  acName_->SetRealText(Q(values.acName));
  primaryDns_->SetRealText(Q(values.primaryDns));
  secondaryDns_->SetRealText(Q(values.secondaryDns));
}

CTEditGdiplus* CAntiTheftProtectionDlg::Edit(AntiTheftField field) const {
  switch (field) {
    case AntiTheftField::LockCode:
      return lockCode_;
    case AntiTheftField::ConfirmLockCode:
      return confirmLockCode_;
    case AntiTheftField::ACName:
      return acName_;
    case AntiTheftField::PrimaryDns:
      return primaryDns_;
    case AntiTheftField::SecondaryDns:
      return secondaryDns_;
  }
  return lockCode_;
}

QRect CAntiTheftProtectionDlg::FullGeometry(const QWidget* control) const {
  const auto found = full_.find(const_cast<QWidget*>(control));
  return found != full_.end() ? found->second : QRect();
}

void CAntiTheftProtectionDlg::Apply() {
  const AntiTheftDecision decision = DecideAntiTheft(Fields(), port_);
  if (!decision.proceed) {
    if (decision.focus)
      Edit(*decision.focus)->setFocus(Qt::OtherFocusReason);
    return;
  }
  host_.DeliveryStarted(kAntiTheftPage);
  host_.ShowPage(kDeviceListPage);
  if (services_.store == nullptr)
    return;
  StartAntiTheftJobs(decision.command, targets_, *services_.store,
                     DeliveryContext{services_.link, services_.store, {}, jobStarter_});
}

void CAntiTheftProtectionDlg::Cancel() {
  host_.ShowPage(kDeviceListPage);
}

void CAntiTheftProtectionDlg::ToggleSwitch() {
  switchOn_ = !switchOn_;
  RunSwitchLayout();
}

void CAntiTheftProtectionDlg::LoadTemplate() {
  hide();
  CLoadTemplateDlg dialog(*this);
  const int result = RunModal(dialog);
  show();
  if (result == QDialog::Accepted)
    RunSwitchLayout();
  else
    lockCode_->setFocus(Qt::OtherFocusReason);
}

void CAntiTheftProtectionDlg::SaveAsTemplate() {
  hide();
  CSaveTemplateDlg dialog(*this);
  RunModal(dialog);
  show();
  lockCode_->setFocus(Qt::OtherFocusReason);
}

void CAntiTheftProtectionDlg::RunSwitchLayout() {
  switch_->SetPicture(SkinFile(switchOn_ ? "btn_switch_on.png" : "btn_switch_off.png"));
  switch_->setAccessibleDescription(switchOn_ ? QStringLiteral("on") : QStringLiteral("off"));
  for (QWidget* row : switchRows_)
    row->setVisible(switchOn_);
  for (const auto& [control, rect] : full_)
    control->setGeometry(rect);
  if (switchOn_) {
    resize(kWidth, kFullHeight);
  } else {
    explanation_->move(full_[confirmLockCode_].topLeft());
    for (QWidget* control : {static_cast<QWidget*>(switchLabel_), static_cast<QWidget*>(switch_)})
      control->move(full_[control].topLeft() - QPoint(0, kSwitchRise));
    auto riseTo = [this](QWidget* control, int rise) {
      const QRect full = full_[control];
      control->move(full.left(), full.top() + full.height() - rise);
    };
    riseTo(bottomLine_, kSeparatorRise);
    riseTo(cancel_, kButtonRise);
    riseTo(apply_, kButtonRise);
    resize(kWidth, kCollapsedHeight);
  }
  SetCornerRadius(CornerRadius());
  Centre();
  lockCode_->setFocus(Qt::OtherFocusReason);
}

void CAntiTheftProtectionDlg::Centre() {
  const QWidget* host = parentWidget();
  if (host == nullptr)
    return;
  move((host->width() - width()) / 2, (host->height() - height()) / 2);
}

}  // namespace brevant
