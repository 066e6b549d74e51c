#pragma once

#include <QPointer>
#include <QWidget>
#include <filesystem>
#include <functional>

#include "workflow/operator_port.h"

namespace brevant {

// The window's side of the operator port: notes through the note dialog,
// owned by the given window, and sheet editing through whatever editor the
// window installed.
class WindowOperatorPort : public OperatorPort {
 public:
  using SheetEditor = std::function<SheetEdit(const std::filesystem::path&)>;

  explicit WindowOperatorPort(QWidget* owner, SheetEditor editor = {})
      : owner_(owner), editor_(std::move(editor)) {}

  bool Note(const std::string& title, const std::string& text, bool withCancel) override;
  // Without an editor the operator is told where the sheet is and asked to
  // say when it is saved.
  SheetEdit EditSheet(const std::filesystem::path& sheet) override;

  void SetSheetEditor(SheetEditor editor) { editor_ = std::move(editor); }

 private:
  QPointer<QWidget> owner_;
  SheetEditor editor_;
};

}  // namespace brevant
