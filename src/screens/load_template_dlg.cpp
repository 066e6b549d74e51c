#include "screens/load_template_dlg.h"

#include <QMenu>

#include "controls/skin_font.h"
#include "i18n/qt/retitle.h"
#include "screens/anti_theft_dlg.h"
#include "screens/skin_colors.h"
#include "screens/template_dialog_frame.h"
#include "text/text.h"

namespace brevant {

namespace {

const QString kFace = QString::fromLatin1(kSkinFontFace);

}  // namespace

CLoadTemplateDlg::CLoadTemplateDlg(CAntiTheftProtectionDlg& page)
    : CTDialog(page.window(), Kind::Window),
      page_(page),
      templates_(page.TemplateFile(), page.Port()),
      title_(new CTStaticGdiplus(QStringLiteral("Load Template"), this)),
      close_(new CTButtonPicture(this)),
      topLine_(new CColorLine(kSeparator, this)),
      label_(new CTStaticGdiplus(QStringLiteral("Select Template:"), this)),
      list_(new CCustomComboBox(this)),
      delete_(new CTButtonPicture(this)),
      bottomLine_(new CColorLine(kSeparator, this)),
      cancel_(new CTButtonPicture(QStringLiteral("Cancel"), this)),
      load_(new CTButtonPicture(QStringLiteral("Load"), this)) {
  setObjectName(QStringLiteral("loadTemplateDialog"));
  setWindowTitle(QStringLiteral("Load Template"));
  TranslateWindow(this);
  setAccessibleName(windowTitle());

  struct Place {
    QWidget* control;
    const char* objectName;
    QRect rect;
  };
  const Place places[] = {
      {title_, "loadTemplateTitle", {16, 11, 106, 18}},
      {close_, "loadTemplateClose", {388, 12, 16, 16}},
      {topLine_, "loadTemplateTopSeparator", {0, 40, 420, 1}},
      {label_, "selectTemplateLabel", {59, 59, 102, 18}},
      {list_, "templateList", {171, 59, 180, 24}},
      {delete_, "deleteTemplateButton", {357, 62, 24, 24}},
      {bottomLine_, "loadTemplateBottomSeparator", {0, 96, 420, 1}},
      {cancel_, "loadTemplateCancel", {252, 112, 71, 27}},
      {load_, "loadTemplateLoad", {332, 112, 67, 27}},
  };
  for (const Place& place : places) {
    place.control->setObjectName(QString::fromLatin1(place.objectName));
    place.control->setGeometry(place.rect);
  }
  title_->setAccessibleName(title_->text());
  label_->setAccessibleName(label_->text());
  list_->setAccessibleName(label_->text());
  close_->setAccessibleName(QStringLiteral("Close"));
  delete_->setAccessibleName(QStringLiteral("Delete template"));
  cancel_->setAccessibleName(cancel_->text());
  load_->setAccessibleName(load_->text());

  DressTemplateDialog(*this, page, {title_, label_, close_, cancel_, load_});
  list_->SetFieldHeight(18);
  list_->SetItemHeight(20);
  ComboColors colors;
  colors.hotBorder = kBrandRed;
  list_->SetColors(colors);
  list_->SetArrowPictures(page.SkinFile("combox_down.png"));
  delete_->SetPictures(page.SkinFile("btn_close_normal.png"), page.SkinFile("btn_close_over.png"),
                       page.SkinFile("btn_close_down.png"));

  // Template names are the operator's: never retitled, listed in byte order.
  for (const std::string& name : templates_.Names())
    list_->AddItem(QString::fromStdString(name));
  list_->setCurrentIndex(-1);
  if (!page.LastTemplateName().empty()) {
    list_->setCurrentIndex(list_->findText(QString::fromStdString(page.LastTemplateName()),
                                           Qt::MatchExactly | Qt::MatchCaseSensitive));
  }

  list_->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(list_, &QWidget::customContextMenuRequested, this, &CLoadTemplateDlg::OpenContextMenu);
  connect(load_, &QAbstractButton::clicked, this, &CLoadTemplateDlg::Load);
  connect(delete_, &QAbstractButton::clicked, this, &CLoadTemplateDlg::Delete);
  connect(&deleteCheck_, &QTimer::timeout, this, &CLoadTemplateDlg::UpdateDeleteButton);
  UpdateDeleteButton();
  deleteCheck_.start(kDeleteCheckMs);
}

CLoadTemplateDlg::~CLoadTemplateDlg() = default;

void CLoadTemplateDlg::UpdateDeleteButton() {
  delete_->setVisible(list_->currentIndex() >= 0);
}

void CLoadTemplateDlg::Load() {
  const int index = list_->currentIndex();
  const std::string selected = index >= 0 ? list_->itemText(index).toStdString() : std::string();
  page_.ApplyTemplate(templates_.Load(selected));
  accept();
  if (index >= 0)
    page_.SetLastTemplateName(TrimWhite(selected));
}

void CLoadTemplateDlg::Delete() {
  const int index = list_->currentIndex();
  if (index < 0)
    return;
  templates_.Delete(list_->itemText(index).toStdString());
  list_->removeItem(index);
  list_->setCurrentIndex(list_->count() > 0 ? 0 : -1);
  UpdateDeleteButton();
}

void CLoadTemplateDlg::OpenContextMenu(const QPoint& at) {
  if (menu_ == nullptr) {
    menu_ = new QMenu(this);
    menu_->setObjectName(QStringLiteral("templateMenu"));
    menu_->setFont(SkinFont(kFace, 16));
    // White, with an edge that shows over the white dialog.
    menu_->setStyleSheet(QStringLiteral(
        "QMenu { background-color: #ffffff; border: 1px solid rgb(222,224,230); padding: 4px 0; }"
        "QMenu::item { color: rgb(68,68,79); padding: 4px 28px 4px 16px; }"
        "QMenu::item:selected { background-color: rgb(235,244,255); color: rgb(216,34,40); }"));
    menu_->addAction(QStringLiteral("Edit"))->setObjectName(QStringLiteral("templateEdit"));
    TranslateMenu(menu_);
  }
  menu_->popup(list_->mapToGlobal(at));
}

}  // namespace brevant
