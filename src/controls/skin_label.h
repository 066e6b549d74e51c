#pragma once

#include <QColor>
#include <QLabel>
#include <QPixmap>
#include <array>
#include <vector>

#include "controls/picture_button.h"

namespace brevant {

// A text label that lays out its text itself.
//
// A new line starts at every line feed and wherever the next character would
// not fit into the label's width, in the middle of a word too (BreakLines).
// Lines are drawn one below the other, each the font's height plus the extra
// line spacing apart, each aligned left, centred or right; the block sits at
// the top unless a vertical alignment is set. The colour follows the state:
// hover while the pointer is over the label, pressed while a mouse button is
// held on it, disabled. Presses still reach the parent, so a skinned dialog
// can be dragged by its labels.
//
// Defaults: "Microsoft YaHei" height 16, normal weight; all four colours
// (112,112,112); left and top; extra line spacing 0; no background.
class CTStaticGdiplus : public QLabel {
  Q_OBJECT

 public:
  explicit CTStaticGdiplus(QWidget* parent = nullptr);
  explicit CTStaticGdiplus(const QString& text, QWidget* parent = nullptr);

  void SetTextFont(const QString& face, int height, int weight = 0, bool italic = false,
                   bool underline = false);
  void SetTextFont(const QFont& font);
  QFont TextFont() const { return font(); }
  void SetTextColors(const QColor& normal, const QColor& hover, const QColor& pressed,
                     const QColor& disabled);
  // The same colour in every state.
  void SetTextColor(const QColor& color);
  void SetStateColor(ControlState state, const QColor& color);
  QColor StateColor(ControlState state) const { return colors_[static_cast<std::size_t>(state)]; }
  ControlState State() const;

  // Horizontal: left, centre or right; vertical: top (default), centre or bottom.
  void SetTextAlignment(Qt::Alignment alignment);
  Qt::Alignment TextAlignment() const { return alignment_; }
  void SetLineSpacing(int pixels);
  int LineSpacing() const { return spacing_; }

  // Drawn stretched under the text; a picture wins over a fill. An empty path
  // or an invalid colour removes it.
  void SetBackgroundPicture(const QString& file);
  void SetBackgroundFill(const QColor& color);

  // The lines as they are drawn at the current width.
  const std::vector<QString>& Lines() const;

  QSize sizeHint() const override;
  QSize minimumSizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void changeEvent(QEvent* event) override;
  void enterEvent(QEnterEvent* event) override;
  void leaveEvent(QEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void Invalidate();

  std::array<QColor, 4> colors_;
  Qt::Alignment alignment_ = Qt::AlignLeft | Qt::AlignTop;
  int spacing_ = 0;
  QPixmap background_;
  QColor fill_;
  bool hover_ = false;
  bool pressed_ = false;
  mutable std::vector<QString> lines_;
  mutable QString laidText_;
  mutable int laidWidth_ = -1;
  mutable bool laidOut_ = false;
};

}  // namespace brevant
