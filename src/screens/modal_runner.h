#pragma once

#include <QDialog>
#include <functional>
#include <vector>

namespace brevant {

// Runs a dialog modally and returns its result (QDialog::Accepted or Rejected).
// While a ModalAnswerer exists the dialog is shown without a modal loop
// instead, and the answerer's next function drives it, so a test never blocks.
int RunModal(QDialog& dialog);

// A test's stand-in for the operator of modal dialogs (the note dialog has its
// own, NoteAnswerer). Each dialog run while it lives is shown, handed to the
// next queued function (which clicks or types into it), and answered with the
// dialog's result once the function returns; a dialog still open then is
// rejected. With nothing queued the dialog is rejected at once. A second one
// made while one lives takes over until it is destroyed.
class ModalAnswerer {
 public:
  ModalAnswerer();
  ~ModalAnswerer();
  ModalAnswerer(const ModalAnswerer&) = delete;
  ModalAnswerer& operator=(const ModalAnswerer&) = delete;

  void Queue(std::function<void(QDialog&)> drive);
  // Dialogs run so far, by their object names.
  const std::vector<QString>& Dialogs() const { return dialogs_; }

 private:
  friend int RunModal(QDialog& dialog);
  int Answer(QDialog& dialog);

  std::vector<std::function<void(QDialog&)>> queue_;
  std::vector<QString> dialogs_;
  ModalAnswerer* previous_ = nullptr;
};

}  // namespace brevant
