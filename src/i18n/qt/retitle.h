#pragma once

#include <QString>

class QMenu;
class QWidget;

namespace brevant {

// The language pack's text for a text shown on screen (Translate over QString).
QString TranslateText(const QString& text);

// Retitles a dialog and every widget in it through the language pack, once in
// each widget's life: a widget already retitled is left alone (and so are its
// descendants when it is the dialog itself); a widget made later at the same
// address is new.
//
// The dialog's window title and each descendant's text (the "text" property,
// or a group box's title) are replaced by their translation, unless the text
// is empty or "...", or the translation is empty. Widgets whose text is the
// user's are never retitled: line and text edits, list, tree and table views,
// date/time and other spin boxes, progress bars. A combo box has its item texts
// retitled and keeps its selected item.
void TranslateWindow(QWidget* dialog);

// Retitles every item of a menu, separators aside, and those of its submenus,
// which keep opening from their items.
void TranslateMenu(QMenu* menu);

// Whether TranslateWindow has retitled this widget.
bool IsRetitled(const QWidget* widget);

}  // namespace brevant
