#pragma once

// Helpers for GUI tests (they run under support/gui_test_main.cpp).
#include <QApplication>
#include <QColor>
#include <QImage>
#include <QString>
#include <QTest>
#include <QWidget>
#include <string>
#include <vector>

#include "controls/skin_image.h"

namespace brevant::testing {

// The skin pictures of the source tree.
inline QString SkinFile(const char* name) {
  return QStringLiteral(BREVANT_SOURCE_DIR "/data/Skin/") + QString::fromLatin1(name);
}

// What a widget looks like now, as an image of its own pixels.
inline QImage Look(QWidget* widget) {
  return widget->grab().toImage().convertToFormat(QImage::Format_RGB32);
}

inline QColor PixelAt(const QImage& image, int x, int y) {
  return QColor(image.pixel(x, y));
}

// Shows a top-level widget and waits until it is exposed.
inline bool ShowAndWait(QWidget* widget) {
  widget->show();
  return QTest::qWaitForWindowExposed(widget);
}

// Collects the diagnostic lines the controls write while it lives.
class DiagnosticLines {
 public:
  DiagnosticLines() {
    SetControlDiagnosticSink([this](const std::string& line) { lines_.push_back(line); });
  }
  ~DiagnosticLines() { SetControlDiagnosticSink({}); }
  const std::vector<std::string>& Lines() const { return lines_; }

 private:
  std::vector<std::string> lines_;
};

// Colours close enough to be the same on screen (antialiasing, rounding).
inline bool Near(const QColor& a, const QColor& b, int tolerance = 6) {
  return std::abs(a.red() - b.red()) <= tolerance && std::abs(a.green() - b.green()) <= tolerance &&
         std::abs(a.blue() - b.blue()) <= tolerance;
}

}  // namespace brevant::testing
