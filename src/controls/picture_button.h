#pragma once

#include <QAbstractButton>
#include <QColor>
#include <QFont>
#include <QPixmap>
#include <array>

namespace brevant {

// The look a skinned control is in. Disabled wins over pressed, pressed over hover.
enum class ControlState { Normal = 0, Hover = 1, Pressed = 2, Disabled = 3 };

// A push button drawn from pictures, one per state, with its caption on top.
//
// Drawing: whatever the parent shows under the button, then the state's
// picture: squeezed to the button when it is larger in either direction
// (proportions ignored), else drawn unscaled at the top-left corner, so the
// rest of the button shows the parent; then the caption (the button's text),
// one line, in the state's colour, centred unless told otherwise.
// Hover starts when the pointer moves onto the button and ends when it leaves;
// pressed is while the mouse button or the space bar holds it down. The pointer
// over it is the hand. Enter does not press it (skinned dialogs swallow Enter).
//
// Defaults: no pictures; caption "Microsoft YaHei" height 16, normal weight;
// caption colour white (255,255,255) in every state; caption centred.
class CTButtonPicture : public QAbstractButton {
  Q_OBJECT

 public:
  explicit CTButtonPicture(QWidget* parent = nullptr);
  explicit CTButtonPicture(const QString& caption, QWidget* parent = nullptr);

  // The four state pictures from files; an empty path, or a state given no
  // picture, shows the normal picture. A file that cannot be used leaves the
  // button drawn without it (and is reported once).
  void SetPictures(const QString& normal, const QString& hover = {}, const QString& pressed = {},
                   const QString& disabled = {});
  // One picture for every state.
  void SetPicture(const QString& file);
  void SetStatePicture(ControlState state, const QString& file);
  // The picture the state draws (the normal one when the state has none).
  QPixmap StatePicture(ControlState state) const;

  void SetCaptionFont(const QString& face, int height, int weight = 0);
  void SetCaptionFont(const QFont& font);
  QFont CaptionFont() const { return font_; }
  void SetCaptionColors(const QColor& normal, const QColor& hover, const QColor& pressed,
                        const QColor& disabled);
  void SetCaptionColor(ControlState state, const QColor& color);
  QColor CaptionColor(ControlState state) const { return colors_[Index(state)]; }
  void SetCaptionAlignment(Qt::Alignment alignment);
  Qt::Alignment CaptionAlignment() const { return alignment_; }

  ControlState State() const;

  QSize sizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void enterEvent(QEnterEvent* event) override;
  void leaveEvent(QEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void hideEvent(QHideEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  static std::size_t Index(ControlState state) { return static_cast<std::size_t>(state); }
  void SetHover(bool hover);

  std::array<QPixmap, 4> pictures_;
  std::array<QColor, 4> colors_;
  QFont font_;
  Qt::Alignment alignment_ = Qt::AlignCenter;
  bool hover_ = false;
};

}  // namespace brevant
