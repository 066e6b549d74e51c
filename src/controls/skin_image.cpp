#include "controls/skin_image.h"

#include <QFileInfo>
#include <QHash>
#include <QImageReader>
#include <cstdio>
#include <mutex>

namespace brevant {

namespace {

struct Sink {
  std::mutex mutex;
  std::function<void(const std::string&)> function;
};

Sink& TheSink() {
  static Sink sink;
  return sink;
}

// Pixmaps live on the window thread only, like the controls that show them.
QHash<QString, QPixmap>& Cache() {
  static QHash<QString, QPixmap> cache;
  return cache;
}

}  // namespace

QString PathText(const std::filesystem::path& path) {
  return QString::fromStdString(path.string());
}

void SetControlDiagnosticSink(std::function<void(const std::string&)> sink) {
  auto& s = TheSink();
  std::lock_guard lock(s.mutex);
  s.function = std::move(sink);
}

void ReportControlDiagnostic(const std::string& line) {
  auto& s = TheSink();
  std::function<void(const std::string&)> function;
  {
    std::lock_guard lock(s.mutex);
    function = s.function;
  }
  if (function) {
    function(line);
  } else {
    std::fprintf(stderr, "%s\n", line.c_str());
  }
}

QPixmap LoadSkinPixmap(const QString& file) {
  if (file.isEmpty())
    return {};
  auto& cache = Cache();
  const auto found = cache.constFind(file);
  if (found != cache.constEnd())
    return *found;
  QImageReader reader(file);
  const QImage image = reader.read();
  QPixmap pixmap;
  if (image.isNull()) {
    const bool exists = QFileInfo::exists(file);
    ReportControlDiagnostic(
        "skin picture " + file.toStdString() +
        (exists ? " cannot be decoded: " + reader.errorString().toStdString() : " is missing"));
  } else {
    pixmap = QPixmap::fromImage(image);
  }
  cache.insert(file, pixmap);
  return pixmap;
}

void ClearSkinPixmapCache() {
  Cache().clear();
}

}  // namespace brevant
