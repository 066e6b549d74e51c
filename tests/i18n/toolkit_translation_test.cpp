#include "i18n/qt/toolkit_translation.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFileInfo>
#include <QLibraryInfo>

#include "i18n/language.h"
#include "support/temp_dir.h"

namespace brevant {
namespace {

// Qt's file dialog label, as Qt's sources spell it.
QString FileNameLabel() {
  return QCoreApplication::translate("QFileDialog", "File &name:");
}

TEST(ToolkitTranslation, QtsOwnTextsFollowTheChosenPack) {
  testing::TempDir dir;
  dir.Write("Languages/Language.ini", "[LCID]\r\n1033=English\r\n2052=Chinese\r\n");
  dir.Write("Languages/Chinese.lng", "[ProgramOutStr]\r\nCancel=取消\r\n");
  dir.Write("Languages/English.lng", "[ProgramOutStr]\r\nCancel=Cancel\r\n");

  InitLanguage(dir.path(), 1033);
  EXPECT_FALSE(InstallToolkitTranslation(*QCoreApplication::instance())) << "English is Qt's own";
  EXPECT_EQ(FileNameLabel(), QStringLiteral("File &name:"));

  if (!QFileInfo::exists(QLibraryInfo::path(QLibraryInfo::TranslationsPath) +
                         QStringLiteral("/qtbase_zh_CN.qm")))
    GTEST_SKIP() << "Qt's Chinese translations are not installed (qt6-translations-l10n)";
  InitLanguage(dir.path(), 2052);
  EXPECT_TRUE(InstallToolkitTranslation(*QCoreApplication::instance()));
  EXPECT_NE(FileNameLabel(), QStringLiteral("File &name:"));
  EXPECT_FALSE(FileNameLabel().isEmpty());
}

}  // namespace
}  // namespace brevant
