#pragma once

#include <QColor>
#include <QWidget>

namespace brevant {

// A separator: a 1-pixel line across the full width at half the control's
// height. Default colour (128,128,128); the dialogs use (235,238,237).
class CColorLine : public QWidget {
  Q_OBJECT

 public:
  explicit CColorLine(QWidget* parent = nullptr);
  explicit CColorLine(const QColor& color, QWidget* parent = nullptr);

  void SetLineColor(const QColor& color);
  QColor LineColor() const { return color_; }

  QSize sizeHint() const override { return QSize(16, 1); }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QColor color_{128, 128, 128};
};

}  // namespace brevant
