#pragma once

namespace brevant {

class CAntiTheftProtectionDlg;
class CTButtonPicture;
class CTDialog;
class CTStaticGdiplus;

// The controls both template dialogs have around their own field.
struct TemplateDialogParts {
  CTStaticGdiplus* title = nullptr;
  CTStaticGdiplus* label = nullptr;
  CTButtonPicture* close = nullptr;
  CTButtonPicture* cancel = nullptr;
  CTButtonPicture* accept = nullptr;  // Save or Load
};

// Gives a template dialog the frame both share: its size, fill, outline and
// dragging, the title's and label's fonts, the close, Cancel and accept
// buttons' looks (close and Cancel reject the dialog), and its place centred
// over the window. The controls' places and names stay the dialog's own.
void DressTemplateDialog(CTDialog& dialog, const CAntiTheftProtectionDlg& page,
                         const TemplateDialogParts& parts);

}  // namespace brevant
