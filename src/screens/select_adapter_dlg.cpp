#include "screens/select_adapter_dlg.h"

#include <QTimer>

#include "controls/combo_box.h"
#include "controls/picture.h"
#include "controls/picture_button.h"
#include "controls/skin_font.h"
#include "controls/skin_image.h"
#include "controls/skin_label.h"
#include "i18n/language.h"
#include "i18n/qt/retitle.h"
#include "link/transmit_manage.h"
#include "screens/note_dlg.h"
#include "screens/skin_colors.h"

#ifndef BREVANT_VERSION
#define BREVANT_VERSION "0.0.0"
#endif

namespace brevant {

namespace {

const QString kFace = QString::fromLatin1(kSkinFontFace);

QString Tr(const char* text) {
  return QString::fromStdString(Translate(text));
}

ScanActions ActionsFor(const ScreenServices& services) {
  if (services.link == nullptr || services.store == nullptr)
    return {};
  return ScanActionsFor(*services.link, *services.store);
}

}  // namespace

CSelectAdapterDlg::CSelectAdapterDlg(QWidget* parent, const ScreenServices& services)
    : CTDialog(parent, Kind::Page),
      services_(services),
      logo_(new CTPicture(this)),
      title_(new CTStaticGdiplus(QStringLiteral("Select Network Adapter"), this)),
      list_(new CCustomComboBox(this)),
      scanButton_(new CTButtonPicture(QStringLiteral("Start Scan"), this)),
      animation_(new CTPicture(this)),
      footer_(new CTStaticGdiplus(this)),
      scan_(ActionsFor(services)) {
  setObjectName(QStringLiteral("adapterPage"));
  setAccessibleName(QStringLiteral("Select Network Adapter"));
  logo_->setObjectName(QStringLiteral("adapterLogo"));
  logo_->setAccessibleName(QStringLiteral("Brevant"));
  title_->setObjectName(QStringLiteral("adapterTitle"));
  list_->setObjectName(QStringLiteral("adapterList"));
  list_->setAccessibleName(QStringLiteral("Network adapter"));
  scanButton_->setObjectName(QStringLiteral("startScanButton"));
  scanButton_->setAccessibleName(QStringLiteral("Start Scan"));
  animation_->setObjectName(QStringLiteral("scanAnimation"));
  animation_->setAccessibleName(QStringLiteral("Scanning"));
  footer_->setObjectName(QStringLiteral("adapterFooter"));

  TranslateWindow(this);
  footer_->setText(FooterText());
  footer_->setAccessibleName(footer_->text());

  setFixedSize(324, 288);
  SetBackgroundFill(true);
  SetBackgroundColor(ToQColor(services_.settings.childBkColor));
  SetCornerRadius(4);  // an 8 x 8 corner ellipse

  logo_->setGeometry(53, 16, 220, 48);
  title_->setGeometry(73, 64, 178, 32);
  list_->setGeometry(53, 120, 218, 24);
  scanButton_->setGeometry(53, 182, 218, 24);
  animation_->setGeometry(221, 186, 16, 16);
  footer_->setGeometry(8, 254, 309, 18);

  logo_->Load(Skin("ostrel_logo.bmp"));
  title_->SetTextFont(kFace, 20, 500);
  title_->SetTextColor(QColor(128, 128, 128));
  title_->SetTextAlignment(Qt::AlignHCenter | Qt::AlignVCenter);

  list_->SetFieldHeight(18);
  list_->SetItemHeight(20);
  list_->SetArrowPictures(Skin("combox_down.png"));
  ComboColors colors = list_->Colors();
  colors.hotBorder = kBrandRed;
  list_->SetColors(colors);

  scanButton_->SetPictures(Skin("scan_btn_normal.png"), Skin("scan_btn_over.png"),
                           Skin("scan_btn_down.png"), Skin("scan_btn_disable.png"));
  scanButton_->SetCaptionFont(kFace, 17, 400);
  scanButton_->SetCaptionColor(ControlState::Normal, Qt::white);

  animation_->Load(Skin("wait_search.gif"));
  // The spinner is drawn on white: a round white badge on the button.
  CTDialog::ApplyRoundedShape(animation_, 8);
  animation_->hide();

  footer_->SetTextFont(kFace, 13, 400);
  footer_->SetTextColor(QColor(180, 180, 180));
  footer_->SetTextAlignment(Qt::AlignHCenter | Qt::AlignVCenter);

  connect(scanButton_, &QAbstractButton::clicked, this, &CSelectAdapterDlg::StartScan);
  timer_.setInterval(kTickMs);
  connect(&timer_, &QTimer::timeout, this, &CSelectAdapterDlg::Tick);

  FillList();
}

QString CSelectAdapterDlg::FooterText() {
  return Tr("Copyright © Ostrel. All rights reserved.") + QStringLiteral("  V") +
         QStringLiteral(BREVANT_VERSION);
}

QString CSelectAdapterDlg::Skin(const char* file) const {
  return PathText(services_.directory / "Skin" / file);
}

QString CSelectAdapterDlg::SelectedAdapterName() const {
  const int index = list_->currentIndex();
  if (index < 0 || index >= static_cast<int>(records_.size()))
    return {};
  return QString::fromStdString(records_[static_cast<std::size_t>(index)].description);
}

void CSelectAdapterDlg::Apply(const AdapterRecord& record) {
  if (services_.link == nullptr)
    return;
  std::string message;
  if (!services_.link->ApplyAdapter(record, &message) && !message.empty()) {
    pendingMessage_ = QString::fromStdString(Translate(message));
    if (isVisible())
      ShowPendingMessage();
  }
}

void CSelectAdapterDlg::ShowPendingMessage() {
  if (pendingMessage_.isEmpty())
    return;
  const QString message = pendingMessage_;
  pendingMessage_.clear();
  CNoteDlg::ShowNote(this, Tr("Note"), message);
}

void CSelectAdapterDlg::showEvent(QShowEvent* event) {
  CTDialog::showEvent(event);
  // After the window is on screen: a note opens over it.
  if (!pendingMessage_.isEmpty())
    QTimer::singleShot(0, this, &CSelectAdapterDlg::ShowPendingMessage);
}

void CSelectAdapterDlg::FillList() {
  records_.clear();
  if (services_.link != nullptr)
    services_.link->ListAdapters(records_);
  list_->clear();
  for (const AdapterRecord& record : records_)
    list_->AddItem(QString::fromStdString(AdapterListText(record)));
  if (records_.empty()) {
    list_->setCurrentIndex(-1);
    return;
  }
  if (!remembered_.empty()) {
    for (std::size_t i = 0; i < records_.size(); ++i) {
      if (AdapterListText(records_[i]) == remembered_) {
        list_->setCurrentIndex(static_cast<int>(i));
        Apply(records_[i]);
        return;
      }
    }
  }
  remembered_ = AdapterListText(records_.front());
  list_->setCurrentIndex(0);
  Apply(records_.front());
}

void CSelectAdapterDlg::StartScan() {
  if (!idle_)
    return;
  const int selected = list_->currentIndex();
  if (selected < 0) {
    CNoteDlg::ShowNote(this, Tr("Note"), Tr("Ensure the computer's NIC is enabled!"));
    FillList();
    return;
  }
  timer_.stop();
  idle_ = false;
  animation_->show();
  animation_->raise();
  animation_->Start();
  scanButton_->setEnabled(false);
  scanButton_->setText(Tr("Scanning for devices   "));

  // The choice as it is now: the list may have changed since it was filled.
  records_.clear();
  if (services_.link != nullptr)
    services_.link->ListAdapters(records_);
  if (selected < static_cast<int>(records_.size())) {
    const AdapterRecord& record = records_[static_cast<std::size_t>(selected)];
    remembered_ = AdapterListText(record);
    Apply(record);
    services_.link->Init();
  }
  scan_.Start();
  timer_.start();
}

void CSelectAdapterDlg::Tick() {
  if (idle_ || !scan_.Tick())
    return;
  timer_.stop();
  idle_ = true;
  animation_->Stop();
  animation_->hide();
  scanButton_->setEnabled(true);
  scanButton_->setText(Tr("Start Scan"));
  emit ScanSettled();
}

}  // namespace brevant
