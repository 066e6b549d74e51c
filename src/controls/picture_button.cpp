#include "controls/picture_button.h"

#include <QEnterEvent>
#include <QPainter>

#include "controls/skin_font.h"
#include "controls/skin_image.h"

namespace brevant {

CTButtonPicture::CTButtonPicture(QWidget* parent) : CTButtonPicture(QString(), parent) {}

CTButtonPicture::CTButtonPicture(const QString& caption, QWidget* parent)
    : QAbstractButton(parent), font_(SkinFont(QString(), 16)) {
  colors_.fill(QColor(255, 255, 255));
  setText(caption);
  setCursor(Qt::PointingHandCursor);
  setMouseTracking(true);
  setFocusPolicy(Qt::StrongFocus);
}

void CTButtonPicture::SetPictures(const QString& normal, const QString& hover,
                                  const QString& pressed, const QString& disabled) {
  pictures_[Index(ControlState::Normal)] = LoadSkinPixmap(normal);
  pictures_[Index(ControlState::Hover)] = LoadSkinPixmap(hover);
  pictures_[Index(ControlState::Pressed)] = LoadSkinPixmap(pressed);
  pictures_[Index(ControlState::Disabled)] = LoadSkinPixmap(disabled);
  updateGeometry();
  update();
}

void CTButtonPicture::SetPicture(const QString& file) {
  SetPictures(file, file, file, file);
}

void CTButtonPicture::SetStatePicture(ControlState state, const QString& file) {
  pictures_[Index(state)] = LoadSkinPixmap(file);
  updateGeometry();
  update();
}

QPixmap CTButtonPicture::StatePicture(ControlState state) const {
  const QPixmap& own = pictures_[Index(state)];
  return own.isNull() ? pictures_[Index(ControlState::Normal)] : own;
}

void CTButtonPicture::SetCaptionFont(const QString& face, int height, int weight) {
  SetCaptionFont(SkinFont(face, height, weight));
}

void CTButtonPicture::SetCaptionFont(const QFont& font) {
  font_ = font;
  updateGeometry();
  update();
}

void CTButtonPicture::SetCaptionColors(const QColor& normal, const QColor& hover,
                                       const QColor& pressed, const QColor& disabled) {
  colors_ = {normal, hover, pressed, disabled};
  update();
}

void CTButtonPicture::SetCaptionColor(ControlState state, const QColor& color) {
  colors_[Index(state)] = color;
  update();
}

void CTButtonPicture::SetCaptionAlignment(Qt::Alignment alignment) {
  alignment_ = alignment;
  update();
}

ControlState CTButtonPicture::State() const {
  if (!isEnabled())
    return ControlState::Disabled;
  if (isDown())
    return ControlState::Pressed;
  if (hover_)
    return ControlState::Hover;
  return ControlState::Normal;
}

QSize CTButtonPicture::sizeHint() const {
  const QPixmap normal = pictures_[Index(ControlState::Normal)];
  if (!normal.isNull())
    return normal.size();
  const QFontMetrics metrics(font_);
  return QSize(metrics.horizontalAdvance(text()) + 16, metrics.height() + 8);
}

void CTButtonPicture::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  const ControlState state = State();
  const QPixmap picture = StatePicture(state);
  if (!picture.isNull()) {
    if (picture.width() > width() || picture.height() > height()) {
      painter.setRenderHint(QPainter::SmoothPixmapTransform);
      painter.drawPixmap(rect(), picture);
    } else {
      painter.drawPixmap(0, 0, picture);
    }
  }
  if (!text().isEmpty()) {
    painter.setFont(font_);
    painter.setPen(colors_[Index(state)]);
    painter.drawText(rect(), static_cast<int>(alignment_) | Qt::TextSingleLine, text());
  }
}

void CTButtonPicture::SetHover(bool hover) {
  if (hover_ == hover)
    return;
  hover_ = hover;
  update();
}

void CTButtonPicture::enterEvent(QEnterEvent* event) {
  SetHover(true);
  QAbstractButton::enterEvent(event);
}

void CTButtonPicture::leaveEvent(QEvent* event) {
  SetHover(false);
  QAbstractButton::leaveEvent(event);
}

void CTButtonPicture::mouseMoveEvent(QMouseEvent* event) {
  SetHover(rect().contains(event->position().toPoint()));
  QAbstractButton::mouseMoveEvent(event);
}

void CTButtonPicture::hideEvent(QHideEvent* event) {
  SetHover(false);
  QAbstractButton::hideEvent(event);
}

void CTButtonPicture::changeEvent(QEvent* event) {
  if (event->type() == QEvent::EnabledChange)
    update();
  QAbstractButton::changeEvent(event);
}

}  // namespace brevant
