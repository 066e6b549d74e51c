#include "i18n/qt/toolkit_translation.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>
#include <string>
#include <utility>

#include "i18n/language.h"

namespace brevant {

namespace {

// Qt's name for each pack Language.ini can name; English is Qt's own.
constexpr std::pair<const char*, const char*> kToolkitLocales[] = {
    {"Chinese", "zh_CN"},
};

}  // namespace

bool InstallToolkitTranslation(QCoreApplication& application) {
  if (!CurrentPackUsable())
    return false;
  const std::string pack = CurrentLanguageName();
  for (const auto& [name, locale] : kToolkitLocales) {
    if (pack != name)
      continue;
    auto* translator = new QTranslator(&application);
    if (!translator->load(QStringLiteral("qtbase_") + QString::fromLatin1(locale),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
      delete translator;
      return false;
    }
    return QCoreApplication::installTranslator(translator);
  }
  return false;
}

}  // namespace brevant
