#pragma once

#include <QPainterPath>
#include <QRect>
#include <QString>
#include <QWidget>

namespace brevant {

// Where the balloon goes and how it is shaped, computed apart from painting.
struct TipLayout {
  QRect window;        // in screen coordinates
  int tipX = 0;        // the pointer's tip, in window coordinates
  bool below = false;  // placed under the anchor: the pointer is on the top edge
  QRect body;          // the rounded rectangle, in window coordinates
  QPoint text;         // top-left of the text box, in window coordinates
};

// The advice balloon of the device list: dark grey, rounded, with a pointer
// towards the anchor, white text with a soft shadow. It never takes the focus
// and stays above the window that owns it.
//
// Drawn with per-pixel alpha where a compositor runs (Wayland, or an X server
// whose screen has a compositing manager); elsewhere the window is cut to its
// shape with a mask and drawn opaque, as the translucent grey looks over white.
class CErrorTipWnd : public QWidget {
  Q_OBJECT

 public:
  static constexpr int kTextMaxWidth = 292;
  static constexpr int kTextMinWidth = 48;
  static constexpr int kRadius = 12;
  static constexpr int kPointerHeight = 6;
  static constexpr int kPointerWidth = 12;
  static constexpr int kMargin = 4;

  explicit CErrorTipWnd(QWidget* owner);

  // Shows the text with the pointer's tip at the anchor (screen coordinates);
  // an empty text hides it. Nothing changes when the same text is shown at
  // the same anchor.
  void ShowTip(const QString& text, const QPoint& anchor);
  void HideTip();
  bool IsShown() const { return isVisible(); }
  QString Text() const { return text_; }
  QPoint Anchor() const { return anchor_; }
  // Whether it draws with per-pixel alpha (else with a mask).
  bool Translucent() const { return translucent_; }

  // The text's box in the balloon's font, the width clamped to 48-292.
  static QSize MeasureText(const QString& text);
  static TipLayout Layout(const QSize& textSize, const QPoint& anchor, const QRect& workArea);
  static QPainterPath Shape(const TipLayout& layout);
  static QFont TipFont();

  // Whether a compositing manager runs on the display (per-pixel alpha works).
  static bool CompositorRuns();

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QString text_;
  QPoint anchor_;
  TipLayout layout_;
  bool translucent_ = false;
};

}  // namespace brevant
