#pragma once

#include <QColor>
#include <QComboBox>
#include <QElapsedTimer>
#include <QListView>
#include <QPixmap>
#include <QTimer>

namespace brevant {

class CDropListWnd;
class CDropListBoxWnd;

// The colours of a drop-down list, with their defaults.
struct ComboColors {
  QColor box{255, 255, 255};        // fill of the closed box and of the list
  QColor hoverFill{235, 244, 255};  // the item under the pointer and the selected one
  QColor itemText{50, 50, 50};
  QColor hotText{20, 80, 200};  // text of the item under the pointer or selected
  QColor disabledText{180, 180, 180};
  QColor border{200, 200, 200};
  QColor hotBorder{255, 128, 31};   // while the pointer is over the box or the list is open
  QColor emptyText{190, 190, 190};  // the empty-selection text
  QColor separator{235, 235, 235};  // the line under each item but the last
};

// Where an item's text goes inside its row: inset 8 pixels, after the item's
// picture (and 6 pixels) when it has one. The tooltip shows exactly when the
// text is wider than this.
QRect ItemTextRect(const QRect& itemRect, int pictureWidth);
bool ItemTextIsCut(qreal textWidth, const QRect& itemRect, int pictureWidth);

// A drop-down list of texts, drawn by itself, with its own drop window.
//
// Closed: a rounded box filled with the box colour showing the selected item's
// picture and text, or the empty-selection text in its colour when nothing is
// selected, on one line cut with an ellipsis and centred vertically, then the
// drop arrow at the right; the border is the hot border while the pointer is
// over the box or the list is open. Outside the rounded box the parent shows.
// Open: a CDropListWnd below the box (above it when the screen has no room),
// as wide as the box, with a drop shadow and no standard border. Each row:
// hovered or selected rows get a rounded fill inset 4 and 2 pixels and the hot
// text colour, disabled rows the disabled colour; a separator line from 12
// pixels after the left edge to 12 before the right under every row but the
// last. Resting the pointer on a row whose text is cut shows the full text as a
// tooltip: after 300 ms, for 8000 ms, 100 ms when moving on from another tip.
//
// The items are the QComboBox's (addItem, setCurrentIndex, currentText, the
// activated and currentIndexChanged signals); -1 is "nothing selected".
//
// Defaults: row height 20, selection field 18 (the box's preferred height is
// that plus 6), corner radius 5, the colours of ComboColors, no arrow picture
// (a drawn chevron), no empty-selection text, "Microsoft YaHei" height 16.
class CCustomComboBox : public QComboBox {
  Q_OBJECT

 public:
  explicit CCustomComboBox(QWidget* parent = nullptr);
  ~CCustomComboBox() override;

  // Adds an item with an optional picture drawn before its text.
  void AddItem(const QString& text, const QString& pictureFile = {});
  void SetItemEnabled(int index, bool enabled);
  bool IsItemEnabled(int index) const;
  // The selected item's text; empty when nothing is selected.
  QString SelectedText() const { return currentText(); }

  void SetItemHeight(int pixels);
  int ItemHeight() const { return itemHeight_; }
  void SetFieldHeight(int pixels);
  int FieldHeight() const { return fieldHeight_; }
  void SetCornerRadius(int radius);
  int CornerRadius() const { return radius_; }
  void SetColors(const ComboColors& colors);
  const ComboColors& Colors() const { return colors_; }
  void SetEmptyText(const QString& text);
  QString EmptyText() const { return emptyText_; }
  // The drop arrow; the hot one (if any) while the box is hot.
  void SetArrowPictures(const QString& normal, const QString& hot = {});
  void SetListFont(const QString& face, int height, int weight = 0);

  // Hot: the pointer is over the box or the list is open.
  bool IsHot() const;
  bool IsListOpen() const;
  // The open list (null before it was first opened).
  CDropListWnd* DropWindow() const { return drop_; }

  void showPopup() override;
  void hidePopup() override;
  QSize sizeHint() const override;
  QSize minimumSizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void enterEvent(QEnterEvent* event) override;
  void leaveEvent(QEvent* event) override;

 private:
  friend class CDropListWnd;
  friend class CDropListBoxWnd;

  int itemHeight_ = 20;
  int fieldHeight_ = 18;
  int radius_ = 5;
  ComboColors colors_;
  QString emptyText_;
  QPixmap arrow_;
  QPixmap hotArrow_;
  bool hover_ = false;
  CDropListWnd* drop_ = nullptr;
};

// The list inside the drop window.
class CDropListBoxWnd : public QListView {
  Q_OBJECT

 public:
  explicit CDropListBoxWnd(CCustomComboBox* combo, QWidget* parent);

  int HoveredRow() const { return hovered_; }
  void SetHoveredRow(int row);
  // The row under a point of the viewport, or -1.
  int RowAt(const QPoint& viewportPoint) const;

 protected:
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void leaveEvent(QEvent* event) override;
  bool viewportEvent(QEvent* event) override;

 private:
  void ShowTip();

  CCustomComboBox* combo_;
  int hovered_ = -1;
  QTimer tipTimer_;
  QPoint tipPoint_;
  QElapsedTimer sinceTip_;
};

// The drop window: a popup below the box holding the list, with a shadow.
class CDropListWnd : public QWidget {
  Q_OBJECT

 public:
  explicit CDropListWnd(CCustomComboBox* combo);

  CDropListBoxWnd* List() const { return list_; }
  // Places the window for the box and shows it.
  void Open();

  // Pixels of shadow right of and below the list.
  static constexpr int kShadow = 4;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void hideEvent(QHideEvent* event) override;

 private:
  CCustomComboBox* combo_;
  CDropListBoxWnd* list_;
  QPixmap under_;
};

}  // namespace brevant
