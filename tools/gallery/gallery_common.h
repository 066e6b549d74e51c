#pragma once

// How the gallery programs start.

#include <QApplication>
#include <QString>
#include <optional>

namespace brevant {

struct GalleryFolders {
  QString data;  // holds Skin/ and Languages/, as the bundle does
  QString out;   // where the PNG files go
};

// Reads "--data DIR --out DIR", makes the output folder, and takes the skin,
// the language pack and Qt's own texts from DIR and the skinned look. Without
// either folder it prints the program's usage and gives nothing.
std::optional<GalleryFolders> StartGallery(QApplication& app, int argc, char** argv,
                                           const char* program);

}  // namespace brevant
