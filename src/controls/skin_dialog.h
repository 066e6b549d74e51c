#pragma once

#include <QColor>
#include <QDialog>
#include <QLine>
#include <QPixmap>
#include <QRegion>
#include <vector>

namespace brevant {

// The base of every screen and dialog: its own background, lines, shape and dragging.
//
// Painting: the background picture stretched over the whole widget when one is
// set, else the background colour when the fill flag is on; then every line
// segment with the pen, and the outline when one is set. Children are drawn over that.
// Shape: with a corner radius the widget is cut to a rounded rectangle, kept in
// step with its size (an 8 x 8 corner ellipse is radius 4).
// Keys: Enter, Return and Escape are swallowed, from any child too, so no skinned
// dialog closes or acts on them; a dialog closes only through its buttons.
// Dragging: with the draggable flag, pressing the left mouse button anywhere on
// the background (labels included) moves the window as its title bar would.
//
// A Window is a frameless top-level dialog (run it with exec() or show()); a
// Page is a child widget of another window (the main window's pages).
//
// Defaults: no picture; fill off, colour (255,255,255); no lines, pen width 1
// colour (218,218,218); no outline; radius 0 (square); opacity 255 (opaque); not draggable.
class CTDialog : public QDialog {
  Q_OBJECT

 public:
  enum class Kind { Window, Page };

  explicit CTDialog(QWidget* parent = nullptr, Kind kind = Kind::Window);

  void SetBackgroundPicture(const QString& file);
  void SetBackgroundFill(bool fill);
  bool BackgroundFill() const { return fill_; }
  void SetBackgroundColor(const QColor& color);
  QColor BackgroundColor() const { return color_; }

  void AddLine(const QPoint& from, const QPoint& to);
  void ClearLines();
  const std::vector<QLine>& Lines() const { return lines_; }
  void SetLinePen(int width, const QColor& color);
  // A 1-pixel outline along the shape (rounded with the corners); none by default.
  void SetBorderColor(const QColor& color);
  QColor BorderColor() const { return border_; }

  void SetCornerRadius(int radius);
  int CornerRadius() const { return radius_; }
  // 0 is invisible, 255 opaque; top-level windows only.
  void SetOpacity(int alpha);
  int Opacity() const { return opacity_; }
  void SetDraggable(bool draggable);
  bool Draggable() const { return draggable_; }

  // The rounded shape of a size, as the window is cut to it.
  static QRegion RoundedRegion(const QSize& size, int radius);
  // Cuts any widget to that shape (0 removes the shape).
  static void ApplyRoundedShape(QWidget* widget, int radius);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  QPixmap picture_;
  bool fill_ = false;
  QColor color_{255, 255, 255};
  std::vector<QLine> lines_;
  int penWidth_ = 1;
  QColor penColor_{218, 218, 218};
  QColor border_;
  int radius_ = 0;
  int opacity_ = 255;
  bool draggable_ = false;
  bool dragging_ = false;
  QPoint dragStart_;
  QPoint dragOrigin_;
};

}  // namespace brevant
