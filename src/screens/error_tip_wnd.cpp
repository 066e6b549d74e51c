#include "screens/error_tip_wnd.h"

#include <QBitmap>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QPainter>
#include <QScreen>
#include <algorithm>
#include <cmath>
#include <string>

#include "controls/skin_font.h"

#if __has_include(<xcb/xcb.h>)
#include <xcb/xcb.h>

#include <QtGui/qguiapplication_platform.h>
#define BREVANT_HAVE_XCB 1
#endif

namespace brevant {

namespace {

const QColor kFill(32, 32, 32, 217);
// The translucent fill as it looks over the white device list, for displays
// without per-pixel alpha.
const QColor kOpaqueFill(65, 65, 65);
const QColor kShadow(0, 0, 0, 180);
constexpr int kTextLeft = 12;
constexpr int kTextTop = 8;

}  // namespace

CErrorTipWnd::CErrorTipWnd(QWidget* owner)
    : QWidget(owner, Qt::ToolTip | Qt::FramelessWindowHint | Qt::WindowDoesNotAcceptFocus |
                         Qt::WindowStaysOnTopHint),
      translucent_(CompositorRuns()) {
  setObjectName(QStringLiteral("errorTip"));
  setAccessibleName(QStringLiteral("Advice"));
  setAttribute(Qt::WA_ShowWithoutActivating);
  setAttribute(Qt::WA_TransparentForMouseEvents);
  setFocusPolicy(Qt::NoFocus);
  if (translucent_) {
    setAttribute(Qt::WA_TranslucentBackground);
    setAutoFillBackground(false);
  }
  setFont(TipFont());
}

QFont CErrorTipWnd::TipFont() {
  // 12 pixels is the em here (a negative height is the em itself).
  return SkinFont(QString::fromLatin1(kSkinFontFace), -12);
}

QSize CErrorTipWnd::MeasureText(const QString& text) {
  const QFontMetricsF metrics(TipFont());
  const QRectF box = metrics.boundingRect(QRectF(0, 0, kTextMaxWidth, 100000),
                                          Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, text);
  const int width =
      std::clamp(static_cast<int>(std::ceil(box.width())), kTextMinWidth, kTextMaxWidth);
  const int height = std::max(12, static_cast<int>(std::ceil(box.height())));
  return {width, height};
}

TipLayout CErrorTipWnd::Layout(const QSize& textSize, const QPoint& anchor, const QRect& workArea) {
  TipLayout layout;
  const int width = textSize.width() + 2 * kTextLeft;
  const int height = textSize.height() + 2 * kTextTop + kPointerHeight;
  int left = anchor.x() - width / 2;
  int top = anchor.y() - height - 1;
  left = std::min(left, workArea.left() + workArea.width() - kMargin - width);
  left = std::max(left, workArea.left() + kMargin);
  if (top < workArea.top() + kMargin) {
    // No room above: under the icon (24 pixels high), pointing up at it.
    top = anchor.y() + 24;
    layout.below = true;
  }
  layout.window = QRect(left, top, width, height);
  layout.tipX = std::clamp(anchor.x() - left, kRadius, width - kRadius);
  const int bodyTop = layout.below ? kPointerHeight : 0;
  layout.body = QRect(0, bodyTop, width, height - kPointerHeight);
  layout.text = QPoint(kTextLeft, bodyTop + kTextTop);
  return layout;
}

QPainterPath CErrorTipWnd::Shape(const TipLayout& layout) {
  QPainterPath body;
  body.addRoundedRect(QRectF(layout.body), kRadius, kRadius);
  QPainterPath pointer;
  const qreal half = kPointerWidth / 2.0;
  if (layout.below) {
    const qreal base = layout.body.top() + 1;  // overlaps the body: no seam
    pointer.moveTo(layout.tipX - half, base);
    pointer.lineTo(layout.tipX, 0);
    pointer.lineTo(layout.tipX + half, base);
  } else {
    const qreal base = layout.body.bottom();
    pointer.moveTo(layout.tipX - half, base);
    pointer.lineTo(layout.tipX, layout.window.height());
    pointer.lineTo(layout.tipX + half, base);
  }
  pointer.closeSubpath();
  return body.united(pointer);
}

void CErrorTipWnd::ShowTip(const QString& text, const QPoint& anchor) {
  if (text.isEmpty()) {
    HideTip();
    return;
  }
  QString shown = text;
  shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  if (isVisible() && shown == text_ && anchor == anchor_)
    return;
  text_ = shown;
  anchor_ = anchor;
  QScreen* screen = QGuiApplication::screenAt(anchor);
  if (screen == nullptr)
    screen = QGuiApplication::primaryScreen();
  const QRect work =
      screen != nullptr ? screen->availableGeometry() : QRect(0, 0, 1 << 16, 1 << 16);
  layout_ = Layout(MeasureText(text_), anchor, work);
  setGeometry(layout_.window);
  if (!translucent_) {
    QBitmap mask(layout_.window.size());
    mask.fill(Qt::color0);
    QPainter painter(&mask);
    painter.setPen(Qt::NoPen);
    painter.setBrush(Qt::color1);
    painter.drawPath(Shape(layout_));
    painter.end();
    setMask(mask);
  }
  update();
  show();
}

void CErrorTipWnd::HideTip() {
  hide();
  text_.clear();
  anchor_ = QPoint();
}

void CErrorTipWnd::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing, translucent_);
  painter.setRenderHint(QPainter::TextAntialiasing);
  if (translucent_) {
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.fillRect(rect(), Qt::transparent);
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
  }
  painter.setPen(Qt::NoPen);
  painter.setBrush(translucent_ ? kFill : kOpaqueFill);
  painter.drawPath(Shape(layout_));

  const QSize textSize(layout_.window.width() - 2 * kTextLeft,
                       layout_.body.height() - 2 * kTextTop);
  const QRect box(layout_.text, textSize);
  const int flags = Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap;
  painter.setFont(TipFont());
  painter.setPen(kShadow);
  painter.drawText(box.translated(1, 1), flags, text_);
  painter.setPen(Qt::white);
  painter.drawText(box, flags, text_);
}

bool CErrorTipWnd::CompositorRuns() {
  const QString platform = QGuiApplication::platformName();
  if (platform.startsWith(QStringLiteral("wayland")))
    return true;
#ifdef BREVANT_HAVE_XCB
  if (platform != QStringLiteral("xcb"))
    return false;
  auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
  xcb_connection_t* connection = x11 != nullptr ? x11->connection() : nullptr;
  if (connection == nullptr)
    return false;
  // A compositing manager owns the selection _NET_WM_CM_S<screen>.
  const int screens = xcb_setup_roots_length(xcb_get_setup(connection));
  for (int i = 0; i < screens; ++i) {
    const std::string name = "_NET_WM_CM_S" + std::to_string(i);
    xcb_intern_atom_reply_t* atom = xcb_intern_atom_reply(
        connection,
        xcb_intern_atom(connection, 1, static_cast<std::uint16_t>(name.size()), name.c_str()),
        nullptr);
    if (atom == nullptr)
      continue;
    const xcb_atom_t id = atom->atom;
    std::free(atom);
    if (id == XCB_ATOM_NONE)
      continue;
    xcb_get_selection_owner_reply_t* owner =
        xcb_get_selection_owner_reply(connection, xcb_get_selection_owner(connection, id), nullptr);
    const bool owned = owner != nullptr && owner->owner != XCB_WINDOW_NONE;
    std::free(owner);
    if (owned)
      return true;
  }
#endif
  return false;
}

}  // namespace brevant
