#include "screens/modal_runner.h"

namespace brevant {

namespace {

ModalAnswerer* gAnswerer = nullptr;

}  // namespace

int RunModal(QDialog& dialog) {
  if (gAnswerer != nullptr)
    return gAnswerer->Answer(dialog);
  return dialog.exec() == QDialog::Accepted ? QDialog::Accepted : QDialog::Rejected;
}

ModalAnswerer::ModalAnswerer() : previous_(gAnswerer) {
  gAnswerer = this;
}

ModalAnswerer::~ModalAnswerer() {
  if (gAnswerer == this)
    gAnswerer = previous_;
}

void ModalAnswerer::Queue(std::function<void(QDialog&)> drive) {
  queue_.push_back(std::move(drive));
}

int ModalAnswerer::Answer(QDialog& dialog) {
  dialogs_.push_back(dialog.objectName());
  dialog.setResult(QDialog::Rejected);
  if (queue_.empty())
    return QDialog::Rejected;
  auto drive = std::move(queue_.front());
  queue_.erase(queue_.begin());
  dialog.show();
  dialog.activateWindow();
  drive(dialog);
  if (dialog.isVisible())
    dialog.done(QDialog::Rejected);
  return dialog.result() == QDialog::Accepted ? QDialog::Accepted : QDialog::Rejected;
}

}  // namespace brevant
