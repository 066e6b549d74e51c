#include "controls/skin_look.h"

#include <QPalette>
#include <QToolTip>

#include "controls/skin_font.h"

namespace brevant {

void InstallSkinLook() {
  InstallFontSubstitutions();
  QPalette tips = QToolTip::palette();
  for (auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
    tips.setColor(group, QPalette::ToolTipBase, QColor(255, 255, 255));
    tips.setColor(group, QPalette::ToolTipText, QColor(68, 68, 79));
  }
  QToolTip::setPalette(tips);
  QToolTip::setFont(SkinFont(QString(), 16));
}

}  // namespace brevant
