#include "screens/window_operator_port.h"

#include "i18n/language.h"
#include "screens/note_dlg.h"

namespace brevant {

bool WindowOperatorPort::Note(const std::string& title, const std::string& text, bool withCancel) {
  return CNoteDlg::ShowNote(owner_, QString::fromStdString(title), QString::fromStdString(text),
                            withCancel) == CNoteDlg::kOk;
}

OperatorPort::SheetEdit WindowOperatorPort::EditSheet(const std::filesystem::path& sheet) {
  if (editor_)
    return editor_(sheet);
  Note(Translate("Note"),
       Translate("Edit the sheet, save it, then press Ok:") + "\n" + sheet.string(), false);
  return SheetEdit::NoEditor;
}

}  // namespace brevant
