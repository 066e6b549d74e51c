#include "controls/combo_box.h"

#include <QApplication>
#include <QKeyEvent>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>
#include <QScrollBar>
#include <QStandardItemModel>
#include <QStyledItemDelegate>
#include <QToolTip>

#include "controls/skin_font.h"
#include "controls/skin_image.h"
#include "controls/text_layout.h"

namespace brevant {

namespace {

constexpr int kTextInset = 8;
constexpr int kPictureGap = 6;
constexpr int kTipDelayMs = 300;
constexpr int kTipShownMs = 8000;
constexpr int kTipReshowMs = 100;
constexpr int kGap = 2;  // between the box and its list

int PictureWidth(const QModelIndex& index) {
  const QVariant picture = index.data(Qt::DecorationRole);
  return picture.canConvert<QPixmap>() ? picture.value<QPixmap>().width() : 0;
}

class DropItemDelegate : public QStyledItemDelegate {
 public:
  DropItemDelegate(CCustomComboBox* combo, CDropListBoxWnd* list)
      : QStyledItemDelegate(list), combo_(combo), list_(list) {}

  QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex&) const override {
    return QSize(option.rect.width(), combo_->ItemHeight());
  }

  void paint(QPainter* painter, const QStyleOptionViewItem& option,
             const QModelIndex& index) const override {
    const ComboColors& colors = combo_->Colors();
    const QRect rect = option.rect;
    painter->save();
    painter->fillRect(rect, colors.box);
    const int row = index.row();
    const bool enabled = index.flags() & Qt::ItemIsEnabled;
    const bool hot = enabled && (row == list_->HoveredRow() || row == combo_->currentIndex());
    if (hot) {
      painter->setRenderHint(QPainter::Antialiasing);
      QPainterPath path;
      path.addRoundedRect(QRectF(rect).adjusted(4, 2, -4, -2), 3, 3);
      painter->fillPath(path, colors.hoverFill);
      painter->setRenderHint(QPainter::Antialiasing, false);
    }
    const QVariant pictureData = index.data(Qt::DecorationRole);
    int pictureWidth = 0;
    if (pictureData.canConvert<QPixmap>()) {
      const QPixmap picture = pictureData.value<QPixmap>();
      pictureWidth = picture.width();
      painter->drawPixmap(rect.left() + kTextInset,
                          rect.top() + (rect.height() - picture.height()) / 2, picture);
    }
    const QRect textRect = ItemTextRect(rect, pictureWidth);
    painter->setFont(option.font);
    painter->setPen(!enabled ? colors.disabledText : hot ? colors.hotText : colors.itemText);
    const QString text = ElideText(index.data(Qt::DisplayRole).toString(), textRect.width(),
                                   QFontMetricsF(option.font));
    painter->drawText(textRect, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, text);
    if (row < index.model()->rowCount() - 1) {
      painter->setPen(colors.separator);
      painter->drawLine(rect.left() + 12, rect.bottom(), rect.right() - 12, rect.bottom());
    }
    painter->restore();
  }

 private:
  CCustomComboBox* combo_;
  CDropListBoxWnd* list_;
};

}  // namespace

QRect ItemTextRect(const QRect& itemRect, int pictureWidth) {
  QRect text = itemRect.adjusted(kTextInset, 0, -kTextInset, 0);
  if (pictureWidth > 0)
    text.setLeft(text.left() + pictureWidth + kPictureGap);
  return text;
}

bool ItemTextIsCut(qreal textWidth, const QRect& itemRect, int pictureWidth) {
  return textWidth > std::max(0, ItemTextRect(itemRect, pictureWidth).width());
}

// ---- the box ----

CCustomComboBox::CCustomComboBox(QWidget* parent) : QComboBox(parent) {
  setFont(SkinFont(QString(), 16));
  setCursor(Qt::PointingHandCursor);
  setFocusPolicy(Qt::StrongFocus);
}

CCustomComboBox::~CCustomComboBox() {
  delete drop_;
}

void CCustomComboBox::AddItem(const QString& text, const QString& pictureFile) {
  addItem(text);
  const QPixmap picture = LoadSkinPixmap(pictureFile);
  if (!picture.isNull())
    setItemData(count() - 1, picture, Qt::DecorationRole);
}

void CCustomComboBox::SetItemEnabled(int index, bool enabled) {
  auto* standard = qobject_cast<QStandardItemModel*>(model());
  if (standard == nullptr || standard->item(index) == nullptr)
    return;
  standard->item(index)->setEnabled(enabled);
  update();
}

bool CCustomComboBox::IsItemEnabled(int index) const {
  const QModelIndex item = model()->index(index, modelColumn(), rootModelIndex());
  return item.isValid() && (item.flags() & Qt::ItemIsEnabled);
}

void CCustomComboBox::SetItemHeight(int pixels) {
  itemHeight_ = std::max(1, pixels);
}

void CCustomComboBox::SetFieldHeight(int pixels) {
  fieldHeight_ = std::max(1, pixels);
  updateGeometry();
}

void CCustomComboBox::SetCornerRadius(int radius) {
  radius_ = std::max(0, radius);
  update();
}

void CCustomComboBox::SetColors(const ComboColors& colors) {
  colors_ = colors;
  update();
  if (drop_ != nullptr)
    drop_->update();
}

void CCustomComboBox::SetEmptyText(const QString& text) {
  emptyText_ = text;
  update();
}

void CCustomComboBox::SetArrowPictures(const QString& normal, const QString& hot) {
  arrow_ = LoadSkinPixmap(normal);
  hotArrow_ = LoadSkinPixmap(hot);
  update();
}

void CCustomComboBox::SetListFont(const QString& face, int height, int weight) {
  setFont(SkinFont(face, height, weight));
}

bool CCustomComboBox::IsHot() const {
  return hover_ || IsListOpen();
}

bool CCustomComboBox::IsListOpen() const {
  return drop_ != nullptr && drop_->isVisible();
}

void CCustomComboBox::showPopup() {
  if (count() == 0 || !isEnabled())
    return;
  if (drop_ == nullptr)
    drop_ = new CDropListWnd(this);
  drop_->Open();
  update();
}

void CCustomComboBox::hidePopup() {
  if (drop_ != nullptr && drop_->isVisible())
    drop_->hide();
  update();
}

QSize CCustomComboBox::sizeHint() const {
  const QFontMetrics metrics(font());
  int widest = metrics.horizontalAdvance(emptyText_);
  for (int i = 0; i < count(); ++i)
    widest = std::max(widest, metrics.horizontalAdvance(itemText(i)));
  const int arrow = arrow_.isNull() ? 10 : arrow_.width();
  return QSize(widest + 2 * kTextInset + arrow + 8, fieldHeight_ + 6);
}

QSize CCustomComboBox::minimumSizeHint() const {
  return QSize(40, fieldHeight_ + 6);
}

void CCustomComboBox::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  const QRectF box = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
  QPainterPath path;
  path.addRoundedRect(box, radius_, radius_);
  painter.fillPath(path, colors_.box);
  painter.setPen(QPen(IsHot() ? colors_.hotBorder : colors_.border, 1));
  painter.drawPath(path);

  // The drop arrow at the right.
  const QPixmap arrow = IsHot() && !hotArrow_.isNull() ? hotArrow_ : arrow_;
  int textRight = width() - kTextInset;
  if (!arrow.isNull()) {
    const int x = width() - 8 - arrow.width();
    painter.drawPixmap(x, (height() - arrow.height()) / 2, arrow);
    textRight = x - 4;
  } else {
    const qreal cx = width() - 14.5;
    const qreal cy = height() / 2.0;
    painter.setPen(QPen(QColor(120, 120, 130), 1.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.drawPolyline(
        QPolygonF({QPointF(cx - 4, cy - 2), QPointF(cx, cy + 2), QPointF(cx + 4, cy - 2)}));
    textRight = width() - 24;
  }
  painter.setRenderHint(QPainter::Antialiasing, false);

  QRect textRect(kTextInset, 0, textRight - kTextInset, height());
  const int current = currentIndex();
  QString text = emptyText_;
  QColor color = colors_.emptyText;
  if (current >= 0) {
    const QVariant picture = itemData(current, Qt::DecorationRole);
    if (picture.canConvert<QPixmap>()) {
      const QPixmap p = picture.value<QPixmap>();
      painter.drawPixmap(textRect.left(), (height() - p.height()) / 2, p);
      textRect.setLeft(textRect.left() + p.width() + kPictureGap);
    }
    text = currentText();
    color = isEnabled() ? colors_.itemText : colors_.disabledText;
  }
  painter.setFont(font());
  painter.setPen(color);
  painter.drawText(textRect, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                   ElideText(text, textRect.width(), QFontMetricsF(font())));
}

void CCustomComboBox::enterEvent(QEnterEvent* event) {
  hover_ = true;
  update();
  QComboBox::enterEvent(event);
}

void CCustomComboBox::leaveEvent(QEvent* event) {
  hover_ = false;
  update();
  QComboBox::leaveEvent(event);
}

// ---- the list ----

CDropListBoxWnd::CDropListBoxWnd(CCustomComboBox* combo, QWidget* parent)
    : QListView(parent), combo_(combo) {
  setModel(combo->model());
  setRootIndex(combo->rootModelIndex());
  setModelColumn(combo->modelColumn());
  setItemDelegate(new DropItemDelegate(combo, this));
  setUniformItemSizes(true);
  setFrameShape(QFrame::NoFrame);
  setFocusPolicy(Qt::NoFocus);
  setMouseTracking(true);
  setSelectionMode(QAbstractItemView::NoSelection);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
  setFont(combo->font());
  setCursor(Qt::PointingHandCursor);
  verticalScrollBar()->setStyleSheet(QStringLiteral(
      "QScrollBar:vertical{width:8px;background:transparent;margin:2px 1px 2px 0}"
      "QScrollBar::handle:vertical{background:rgb(205,205,212);border-radius:3px;min-height:20px}"
      "QScrollBar::add-line:vertical,QScrollBar::sub-line:vertical{height:0}"
      "QScrollBar::add-page:vertical,QScrollBar::sub-page:vertical{background:transparent}"));
  tipTimer_.setSingleShot(true);
  connect(&tipTimer_, &QTimer::timeout, this, &CDropListBoxWnd::ShowTip);
}

int CDropListBoxWnd::RowAt(const QPoint& viewportPoint) const {
  const QModelIndex index = indexAt(viewportPoint);
  return index.isValid() ? index.row() : -1;
}

void CDropListBoxWnd::SetHoveredRow(int row) {
  if (row == hovered_)
    return;
  hovered_ = row;
  viewport()->update();
}

void CDropListBoxWnd::mouseMoveEvent(QMouseEvent* event) {
  const QPoint point = event->position().toPoint();
  const int row = RowAt(point);
  tipPoint_ = point;
  if (row != hovered_) {
    const bool tipShown = QToolTip::isVisible();
    QToolTip::hideText();
    SetHoveredRow(row);
    tipTimer_.stop();
    if (row >= 0)
      tipTimer_.start(tipShown ? kTipReshowMs : kTipDelayMs);
  }
  event->accept();
}

void CDropListBoxWnd::mousePressEvent(QMouseEvent* event) {
  event->accept();
}

void CDropListBoxWnd::mouseReleaseEvent(QMouseEvent* event) {
  event->accept();
  if (event->button() != Qt::LeftButton)
    return;
  const int row = RowAt(event->position().toPoint());
  if (row < 0 || !combo_->IsItemEnabled(row))
    return;
  tipTimer_.stop();
  QToolTip::hideText();
  combo_->hidePopup();
  combo_->setCurrentIndex(row);
  emit combo_->activated(row);
  emit combo_->textActivated(combo_->itemText(row));
}

void CDropListBoxWnd::leaveEvent(QEvent* event) {
  tipTimer_.stop();
  SetHoveredRow(-1);
  QListView::leaveEvent(event);
}

bool CDropListBoxWnd::viewportEvent(QEvent* event) {
  // Tips come from ShowTip only, for texts that are cut.
  if (event->type() == QEvent::ToolTip)
    return true;
  return QListView::viewportEvent(event);
}

void CDropListBoxWnd::ShowTip() {
  if (hovered_ < 0 || !isVisible())
    return;
  const QModelIndex index = model()->index(hovered_, modelColumn(), rootIndex());
  const QString text = index.data(Qt::DisplayRole).toString();
  const QRect rect = visualRect(index);
  if (!ItemTextIsCut(QFontMetricsF(font()).horizontalAdvance(text), rect, PictureWidth(index)))
    return;
  QToolTip::showText(viewport()->mapToGlobal(tipPoint_ + QPoint(0, 16)), text, viewport(), rect,
                     kTipShownMs);
}

// ---- the drop window ----

CDropListWnd::CDropListWnd(CCustomComboBox* combo)
    : QWidget(nullptr, Qt::Popup | Qt::FramelessWindowHint | Qt::NoDropShadowWindowHint),
      combo_(combo),
      list_(new CDropListBoxWnd(combo, this)) {
  setObjectName(QStringLiteral("dropList"));
  list_->setObjectName(QStringLiteral("dropListBox"));
}

void CDropListWnd::Open() {
  const int rows = std::min(combo_->count(), std::max(1, combo_->maxVisibleItems()));
  const int listHeight = rows * combo_->ItemHeight() + 2;
  const int listWidth = combo_->width();
  QPoint at = combo_->mapToGlobal(QPoint(0, combo_->height() + kGap));
  QScreen* screen = combo_->screen();
  const QRect available = screen != nullptr ? screen->availableGeometry() : QRect();
  if (available.isValid() && at.y() + listHeight > available.bottom() &&
      combo_->mapToGlobal(QPoint(0, 0)).y() - kGap - listHeight >= available.top()) {
    at.setY(combo_->mapToGlobal(QPoint(0, 0)).y() - kGap - listHeight);
  }
  // Without a compositor a window cannot be partly transparent: the shadow is
  // drawn over what the screen shows under the window.
  under_ = screen != nullptr
               ? screen->grabWindow(0, at.x(), at.y(), listWidth + kShadow, listHeight + kShadow)
               : QPixmap();
  if (under_.size() != QSize(listWidth + kShadow, listHeight + kShadow))
    under_ = QPixmap();
  const int shadow = under_.isNull() ? 0 : kShadow;
  setGeometry(at.x(), at.y(), listWidth + shadow, listHeight + shadow);
  list_->setGeometry(1, 1, listWidth - 2, listHeight - 2);
  list_->setFont(combo_->font());
  list_->SetHoveredRow(-1);
  setAttribute(Qt::WA_NoMouseReplay, false);
  if (combo_->currentIndex() >= 0)
    list_->scrollTo(combo_->model()->index(combo_->currentIndex(), combo_->modelColumn(),
                                           combo_->rootModelIndex()));
  show();
}

void CDropListWnd::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  const int shadow = under_.isNull() ? 0 : kShadow;
  const QRect panel(0, 0, width() - shadow, height() - shadow);
  if (shadow > 0) {
    painter.drawPixmap(0, 0, under_);
    painter.setRenderHint(QPainter::Antialiasing);
    for (int k = shadow; k >= 1; --k) {
      QPainterPath path;
      path.addRoundedRect(QRectF(panel).adjusted(k - 1, k, k, k), 3 + k, 3 + k);
      painter.fillPath(path, QColor(0, 0, 0, 14));
    }
    painter.setRenderHint(QPainter::Antialiasing, false);
  }
  painter.fillRect(panel, combo_->Colors().box);
  painter.setPen(QColor(222, 222, 226));
  painter.drawRect(panel.adjusted(0, 0, -1, -1));
}

void CDropListWnd::keyPressEvent(QKeyEvent* event) {
  const int count = combo_->count();
  auto step = [&](int from, int direction) {
    for (int row = from + direction; row >= 0 && row < count; row += direction) {
      if (combo_->IsItemEnabled(row))
        return row;
    }
    return from;
  };
  int row = list_->HoveredRow() >= 0 ? list_->HoveredRow() : combo_->currentIndex();
  switch (event->key()) {
    case Qt::Key_Up:
      row = step(row < 0 ? count : row, -1);
      break;
    case Qt::Key_Down:
      row = step(row, 1);
      break;
    case Qt::Key_Return:
    case Qt::Key_Enter:
      if (row >= 0 && combo_->IsItemEnabled(row)) {
        combo_->hidePopup();
        combo_->setCurrentIndex(row);
        emit combo_->activated(row);
        emit combo_->textActivated(combo_->itemText(row));
      }
      return;
    case Qt::Key_Escape:
    case Qt::Key_F4:
      combo_->hidePopup();
      return;
    default:
      QWidget::keyPressEvent(event);
      return;
  }
  if (row >= 0 && row < count) {
    list_->SetHoveredRow(row);
    list_->scrollTo(combo_->model()->index(row, combo_->modelColumn(), combo_->rootModelIndex()));
  }
}

void CDropListWnd::mousePressEvent(QMouseEvent* event) {
  const QPoint global = event->globalPosition().toPoint();
  if (!rect().contains(event->position().toPoint())) {
    // A press on the box that opened the list only closes it.
    if (QRect(combo_->mapToGlobal(QPoint(0, 0)), combo_->size()).contains(global))
      setAttribute(Qt::WA_NoMouseReplay);
    combo_->hidePopup();
    return;
  }
  QWidget::mousePressEvent(event);
}

void CDropListWnd::hideEvent(QHideEvent* event) {
  QToolTip::hideText();
  combo_->update();
  QWidget::hideEvent(event);
}

}  // namespace brevant
