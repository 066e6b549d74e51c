#include "screens/delayed_tooltip.h"

#include <QCursor>
#include <QEvent>
#include <QToolTip>
#include <QWidget>

namespace brevant {

DelayedToolTip::DelayedToolTip(QWidget* widget, int delayMs) : QObject(widget), widget_(widget) {
  timer_.setSingleShot(true);
  timer_.setInterval(delayMs);
  connect(&timer_, &QTimer::timeout, this, &DelayedToolTip::Show);
  widget->installEventFilter(this);
}

bool DelayedToolTip::eventFilter(QObject* watched, QEvent* event) {
  if (watched != widget_)
    return false;
  switch (event->type()) {
    case QEvent::ToolTip:
      return true;  // ours, on our own time
    case QEvent::Enter:
      timer_.start();
      break;
    case QEvent::Leave:
    case QEvent::Hide:
    case QEvent::MouseButtonPress:
      timer_.stop();
      QToolTip::hideText();
      break;
    default:
      break;
  }
  return false;
}

void DelayedToolTip::Show() {
  if (widget_->toolTip().isEmpty() || !widget_->isVisible() || !widget_->underMouse())
    return;
  QToolTip::showText(QCursor::pos() + QPoint(0, 16), widget_->toolTip(), widget_);
}

}  // namespace brevant
