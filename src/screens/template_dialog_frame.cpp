#include "screens/template_dialog_frame.h"

#include "controls/picture_button.h"
#include "controls/skin_dialog.h"
#include "controls/skin_font.h"
#include "controls/skin_label.h"
#include "screens/anti_theft_dlg.h"
#include "screens/skin_colors.h"

namespace brevant {

void DressTemplateDialog(CTDialog& dialog, const CAntiTheftProtectionDlg& page,
                         const TemplateDialogParts& parts) {
  const QString face = QString::fromLatin1(kSkinFontFace);
  dialog.setFixedSize(420, 152);
  dialog.SetBackgroundFill(true);
  dialog.SetBackgroundColor(QColor(255, 255, 255));
  // It opens over the main window's background: an outline keeps its edge.
  dialog.SetBorderColor(QColor(222, 224, 230));
  dialog.SetCornerRadius(4);
  dialog.SetDraggable(true);

  parts.title->SetTextFont(face, 17, 600);
  parts.title->SetTextColor(kInk);
  parts.label->SetTextFont(face, 17, 400);
  parts.label->SetTextColor(kInk);
  parts.close->SetPicture(page.SkinFile("btn_child_close.png"));
  parts.cancel->SetPictures(page.SkinFile("cancel_btn_normal.png"),
                            page.SkinFile("cancel_btn_over.png"),
                            page.SkinFile("cancel_btn_down.png"));
  parts.cancel->SetCaptionFont(face, 17, 400);
  parts.cancel->SetCaptionColors(kInk, kBrandRed, kBrandRed, kInk);
  parts.accept->SetPictures(
      page.SkinFile("apply_btn_normal.png"), page.SkinFile("apply_btn_over.png"),
      page.SkinFile("apply_btn_down.png"), page.SkinFile("apply_btn_disable.png"));
  parts.accept->SetCaptionFont(face, 17, 400);

  QObject::connect(parts.cancel, &QAbstractButton::clicked, &dialog, &QDialog::reject);
  QObject::connect(parts.close, &QAbstractButton::clicked, &dialog, &QDialog::reject);

  if (QWidget* owner = dialog.parentWidget())
    dialog.move(owner->mapToGlobal(owner->rect().center()) - dialog.rect().center());
}

}  // namespace brevant
