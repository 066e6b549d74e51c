#include "screens/save_template_dlg.h"

#include "i18n/qt/retitle.h"
#include "screens/anti_theft_dlg.h"
#include "screens/skin_colors.h"
#include "screens/template_dialog_frame.h"
#include "workflow/antitheft_templates.h"

namespace brevant {

CSaveTemplateDlg::CSaveTemplateDlg(CAntiTheftProtectionDlg& page)
    : CTDialog(page.window(), Kind::Window),
      page_(page),
      title_(new CTStaticGdiplus(QStringLiteral("Save Template"), this)),
      close_(new CTButtonPicture(this)),
      topLine_(new CColorLine(kSeparator, this)),
      label_(new CTStaticGdiplus(QStringLiteral("Template Name:"), this)),
      name_(new CTEditGdiplus(this)),
      bottomLine_(new CColorLine(kSeparator, this)),
      cancel_(new CTButtonPicture(QStringLiteral("Cancel"), this)),
      save_(new CTButtonPicture(QStringLiteral("Save"), this)) {
  setObjectName(QStringLiteral("saveTemplateDialog"));
  setWindowTitle(QStringLiteral("Save Template"));
  TranslateWindow(this);
  setAccessibleName(windowTitle());

  struct Place {
    QWidget* control;
    const char* objectName;
    QRect rect;
  };
  const Place places[] = {
      {title_, "saveTemplateTitle", {16, 11, 105, 18}},
      {close_, "saveTemplateClose", {388, 12, 16, 16}},
      {topLine_, "saveTemplateTopSeparator", {0, 40, 420, 1}},
      {label_, "templateNameLabel", {59, 59, 102, 18}},
      {name_, "templateNameEdit", {163, 56, 180, 24}},
      {bottomLine_, "saveTemplateBottomSeparator", {0, 96, 420, 1}},
      {cancel_, "saveTemplateCancel", {252, 112, 71, 27}},
      {save_, "saveTemplateSave", {332, 112, 67, 27}},
  };
  for (const Place& place : places) {
    place.control->setObjectName(QString::fromLatin1(place.objectName));
    place.control->setGeometry(place.rect);
  }
  title_->setAccessibleName(title_->text());
  label_->setAccessibleName(label_->text());
  name_->setAccessibleName(label_->text());
  close_->setAccessibleName(QStringLiteral("Close"));
  cancel_->setAccessibleName(cancel_->text());
  save_->setAccessibleName(save_->text());

  DressTemplateDialog(*this, page, {title_, label_, close_, cancel_, save_});
  name_->SetTypingLimit(kNameLimit);

  connect(save_, &QAbstractButton::clicked, this, &CSaveTemplateDlg::Save);
}

void CSaveTemplateDlg::showEvent(QShowEvent* event) {
  CTDialog::showEvent(event);
  name_->setFocus(Qt::OtherFocusReason);
}

void CSaveTemplateDlg::Save() {
  bool clearName = false;
  if (SaveTemplate(page_.TemplateFile(), name_->text().toStdString(), page_.TemplateFields(),
                   page_.Port(), &clearName)) {
    accept();
    return;
  }
  if (clearName)
    name_->clear();
  name_->setFocus(Qt::OtherFocusReason);
}

}  // namespace brevant
