#include "gallery_common.h"

#include <QDir>
#include <cstdio>

#include "controls/skin_look.h"
#include "i18n/language.h"
#include "i18n/qt/toolkit_translation.h"
#include "screens/note_dlg.h"

namespace brevant {

std::optional<GalleryFolders> StartGallery(QApplication& app, int argc, char** argv,
                                           const char* program) {
  GalleryFolders folders;
  for (int i = 1; i + 1 < argc; ++i) {
    const QString arg = QString::fromLocal8Bit(argv[i]);
    if (arg == QLatin1String("--data"))
      folders.data = QString::fromLocal8Bit(argv[++i]);
    else if (arg == QLatin1String("--out"))
      folders.out = QString::fromLocal8Bit(argv[++i]);
  }
  if (folders.data.isEmpty() || folders.out.isEmpty()) {
    std::fprintf(stderr, "usage: %s --data DIR --out DIR\n", program);
    return std::nullopt;
  }
  QDir().mkpath(folders.out);
  CNoteDlg::SetSkinFolder(QDir(folders.data).filePath(QStringLiteral("Skin")));
  InitLanguage(folders.data.toStdString());
  InstallToolkitTranslation(app);
  InstallSkinLook();
  return folders;
}

}  // namespace brevant
