#include "i18n/qt/retitle.h"

#include <QAbstractItemView>
#include <QAbstractSpinBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QMenu>
#include <QMetaProperty>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QTextEdit>
#include <QWidget>
#include <optional>
#include <string_view>

#include "i18n/language.h"

namespace brevant {

namespace {

// Kept on the widget itself, so it goes with the widget.
constexpr char kRetitled[] = "brevantRetitled";

bool MarkRetitled(QWidget* widget) {
  if (IsRetitled(widget))
    return false;
  widget->setProperty(kRetitled, true);
  return true;
}

// The widgets whose text is the user's, not the program's.
bool KeepsItsText(const QWidget* widget) {
  return qobject_cast<const QLineEdit*>(widget) != nullptr ||
         qobject_cast<const QTextEdit*>(widget) != nullptr ||
         qobject_cast<const QPlainTextEdit*>(widget) != nullptr ||
         qobject_cast<const QAbstractItemView*>(widget) != nullptr ||
         qobject_cast<const QAbstractSpinBox*>(widget) != nullptr ||
         qobject_cast<const QProgressBar*>(widget) != nullptr;
}

// The translation to set, or nothing when the text stays.
std::optional<QString> Retitled(const QString& text) {
  if (text.isEmpty() || text == QLatin1String("..."))
    return std::nullopt;
  QString translated = TranslateText(text);
  if (translated.isEmpty() || translated == text)
    return std::nullopt;
  return translated;
}

void RetitleItems(QComboBox* combo) {
  const int selected = combo->currentIndex();
  const QSignalBlocker quiet(combo);
  for (int i = 0; i < combo->count(); ++i) {
    if (auto translated = Retitled(combo->itemText(i)))
      combo->setItemText(i, *translated);
  }
  if (selected >= 0 && selected < combo->count())
    combo->setCurrentIndex(selected);
}

void RetitleText(QWidget* widget) {
  const QMetaObject* meta = widget->metaObject();
  for (const char* name : {"text", "title"}) {
    if (qobject_cast<QGroupBox*>(widget) == nullptr && std::string_view(name) == "title")
      continue;
    const int index = meta->indexOfProperty(name);
    if (index < 0)
      continue;
    const QMetaProperty property = meta->property(index);
    if (!property.isWritable() || property.metaType().id() != QMetaType::QString)
      continue;
    if (auto translated = Retitled(property.read(widget).toString()))
      property.write(widget, *translated);
    return;
  }
}

}  // namespace

QString TranslateText(const QString& text) {
  return QString::fromStdString(Translate(text.toStdString()));
}

bool IsRetitled(const QWidget* widget) {
  return widget != nullptr && widget->property(kRetitled).toBool();
}

void TranslateWindow(QWidget* dialog) {
  if (dialog == nullptr || !MarkRetitled(dialog))
    return;
  if (auto title = Retitled(dialog->windowTitle()))
    dialog->setWindowTitle(*title);
  const auto children = dialog->findChildren<QWidget*>();
  for (QWidget* child : children) {
    if (!MarkRetitled(child) || KeepsItsText(child))
      continue;
    if (auto* combo = qobject_cast<QComboBox*>(child))
      RetitleItems(combo);
    RetitleText(child);
  }
}

void TranslateMenu(QMenu* menu) {
  if (menu == nullptr)
    return;
  const auto actions = menu->actions();
  for (QAction* action : actions) {
    if (action->isSeparator())
      continue;
    if (auto translated = Retitled(action->text()))
      action->setText(*translated);
    if (QMenu* submenu = QMenu::menuInAction(action))
      TranslateMenu(submenu);
  }
}

}  // namespace brevant
