#pragma once

#include <QObject>
#include <QTimer>

class QWidget;

namespace brevant {

// Shows a widget's tool tip (its toolTip property) once the pointer has rested
// on it for a fixed time, instead of the style's delay. Lives as long as the widget.
class DelayedToolTip : public QObject {
  Q_OBJECT

 public:
  DelayedToolTip(QWidget* widget, int delayMs);
  static void Install(QWidget* widget, int delayMs) { new DelayedToolTip(widget, delayMs); }

  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void Show();

  QWidget* widget_;
  QTimer timer_;
};

}  // namespace brevant
