#include "controls/skin_label.h"

#include <QApplication>
#include <QMouseEvent>
#include <QPainter>

#include "controls/skin_font.h"
#include "controls/skin_image.h"
#include "controls/text_layout.h"

namespace brevant {

CTStaticGdiplus::CTStaticGdiplus(QWidget* parent) : CTStaticGdiplus(QString(), parent) {}

CTStaticGdiplus::CTStaticGdiplus(const QString& text, QWidget* parent) : QLabel(parent) {
  colors_.fill(QColor(112, 112, 112));
  setTextFormat(Qt::PlainText);
  setFont(SkinFont(QString(), 16));
  setText(text);
}

void CTStaticGdiplus::SetTextFont(const QString& face, int height, int weight, bool italic,
                                  bool underline) {
  setFont(SkinFont(face, height, weight, italic, underline));
}

void CTStaticGdiplus::SetTextFont(const QFont& font) {
  setFont(font);
}

void CTStaticGdiplus::SetTextColors(const QColor& normal, const QColor& hover,
                                    const QColor& pressed, const QColor& disabled) {
  colors_ = {normal, hover, pressed, disabled};
  update();
}

void CTStaticGdiplus::SetTextColor(const QColor& color) {
  SetTextColors(color, color, color, color);
}

void CTStaticGdiplus::SetStateColor(ControlState state, const QColor& color) {
  colors_[static_cast<std::size_t>(state)] = color;
  update();
}

ControlState CTStaticGdiplus::State() const {
  if (!isEnabled())
    return ControlState::Disabled;
  if (pressed_)
    return ControlState::Pressed;
  if (hover_)
    return ControlState::Hover;
  return ControlState::Normal;
}

void CTStaticGdiplus::SetTextAlignment(Qt::Alignment alignment) {
  alignment_ = alignment;
  update();
}

void CTStaticGdiplus::SetLineSpacing(int pixels) {
  spacing_ = pixels;
  updateGeometry();
  update();
}

void CTStaticGdiplus::SetBackgroundPicture(const QString& file) {
  background_ = LoadSkinPixmap(file);
  update();
}

void CTStaticGdiplus::SetBackgroundFill(const QColor& color) {
  fill_ = color;
  update();
}

const std::vector<QString>& CTStaticGdiplus::Lines() const {
  if (!laidOut_ || laidWidth_ != width() || laidText_ != text()) {
    lines_ = BreakLines(text(), width(), QFontMetricsF(font()));
    laidText_ = text();
    laidWidth_ = width();
    laidOut_ = true;
  }
  return lines_;
}

void CTStaticGdiplus::Invalidate() {
  laidOut_ = false;
  updateGeometry();
  update();
}

QSize CTStaticGdiplus::sizeHint() const {
  const QFontMetrics metrics(font());
  int widest = 0;
  int count = 0;
  for (const QString& line : BreakLines(text(), 1e9, QFontMetricsF(font()))) {
    widest = std::max(widest, metrics.horizontalAdvance(line));
    ++count;
  }
  return QSize(widest, count * metrics.height() + (count > 0 ? (count - 1) * spacing_ : 0));
}

QSize CTStaticGdiplus::minimumSizeHint() const {
  return QSize(0, 0);
}

void CTStaticGdiplus::paintEvent(QPaintEvent* event) {
  QPainter painter(this);
  if (!background_.isNull()) {
    painter.drawPixmap(rect(), background_);
  } else if (fill_.isValid()) {
    painter.fillRect(rect(), fill_);
  }
  const auto& lines = Lines();
  if (lines.empty() || text().isEmpty())
    return;
  painter.setFont(font());
  painter.setPen(colors_[static_cast<std::size_t>(State())]);
  const QFontMetrics metrics(font());
  const int step = metrics.height() + spacing_;
  const int block = static_cast<int>(lines.size()) * step - spacing_;
  int y = 0;
  if (alignment_ & Qt::AlignVCenter) {
    y = (height() - block) / 2;
  } else if (alignment_ & Qt::AlignBottom) {
    y = height() - block;
  }
  const int horizontal =
      static_cast<int>(alignment_ & (Qt::AlignLeft | Qt::AlignHCenter | Qt::AlignRight));
  // Only the lines that meet the region to paint are drawn: a label of
  // thousands of lines costs what it shows.
  const QRect area = event->rect();
  for (const QString& line : lines) {
    if (y > area.bottom())
      break;
    if (y + step >= area.top()) {
      painter.drawText(QRect(0, y, width(), metrics.height()),
                       (horizontal == 0 ? static_cast<int>(Qt::AlignLeft) : horizontal) |
                           Qt::AlignTop | Qt::TextSingleLine,
                       line);
    }
    y += step;
  }
}

void CTStaticGdiplus::resizeEvent(QResizeEvent* event) {
  laidOut_ = false;
  QLabel::resizeEvent(event);
}

void CTStaticGdiplus::changeEvent(QEvent* event) {
  if (event->type() == QEvent::FontChange)
    Invalidate();
  QLabel::changeEvent(event);
}

void CTStaticGdiplus::enterEvent(QEnterEvent* event) {
  hover_ = true;
  update();
  QLabel::enterEvent(event);
}

void CTStaticGdiplus::leaveEvent(QEvent* event) {
  hover_ = false;
  update();
  QLabel::leaveEvent(event);
}

void CTStaticGdiplus::mousePressEvent(QMouseEvent* event) {
  // The press goes on to the parent (dragging a dialog by its labels); the
  // release is watched for on the application.
  if (!pressed_) {
    pressed_ = true;
    qApp->installEventFilter(this);
    update();
  }
  event->ignore();
}

bool CTStaticGdiplus::eventFilter(QObject* watched, QEvent* event) {
  if (pressed_ && event->type() == QEvent::MouseButtonRelease &&
      QGuiApplication::mouseButtons() == Qt::NoButton) {
    pressed_ = false;
    qApp->removeEventFilter(this);
    update();
  }
  return QLabel::eventFilter(watched, event);
}

}  // namespace brevant
