#pragma once

#include <QColor>
#include <QImage>
#include <QPixmap>
#include <QString>
#include <filesystem>
#include <functional>
#include <string>

namespace brevant {

// A native path as the text the controls take.
QString PathText(const std::filesystem::path& path);

// The picture in a skin file, decoded once per file and shared by every control
// that shows it. A missing or undecodable file gives a null pixmap and one
// diagnostic line naming the file (one per file, however many controls ask).
// An empty path is "no picture" and reports nothing.
QPixmap LoadSkinPixmap(const QString& file);

// Where the controls report what they could not use: standard error unless
// replaced; the application hands the lines to its diagnostic log. An empty
// function restores standard error.
void SetControlDiagnosticSink(std::function<void(const std::string&)> sink);
void ReportControlDiagnostic(const std::string& line);

// Forgets every decoded picture and every reported file, so a file that
// changed or appeared is read again.
void ClearSkinPixmapCache();

// Colours are given as the settings give them: red, green, blue.
inline QColor Rgb(int red, int green, int blue) {
  return QColor(red, green, blue);
}

}  // namespace brevant
