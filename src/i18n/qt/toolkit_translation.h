#pragma once

class QCoreApplication;

namespace brevant {

// Qt's own texts (file dialogs' labels and column headers, standard context
// menus) in the language of the pack InitLanguage chose, where the machine
// has Qt's translations for it. English needs none. False when nothing was
// installed.
bool InstallToolkitTranslation(QCoreApplication& application);

}  // namespace brevant
