#pragma once

#include <filesystem>
#include <string>

namespace brevant {

// What the delivery pages' logic needs from whoever faces the operator: the
// window's note dialog and spreadsheet editing, or the command line's stand-ins.
class OperatorPort {
 public:
  enum class SheetEdit {
    Edited,       // the editor ran and has ended
    StartFailed,  // no editor could be started
    NotWaited,    // started, but nothing to wait for (an editor already running took it)
    NoEditor,     // this front end has none: it told the operator where the sheet is
  };

  virtual ~OperatorPort() = default;
  // Shows a note; true when the operator answered OK. Title and text come
  // already translated.
  virtual bool Note(const std::string& title, const std::string& text, bool withCancel) = 0;
  // Lets the operator edit the sheet and returns when that is over.
  virtual SheetEdit EditSheet(const std::filesystem::path& sheet) = 0;
};

}  // namespace brevant
