#include "controls/grid_ctrl.h"

#include <QAbstractTableModel>
#include <QPaintEvent>
#include <QPainter>
#include <QPainterPath>
#include <QScrollBar>
#include <QStyledItemDelegate>

#include "controls/image_list.h"
#include "controls/skin_font.h"
#include "controls/text_layout.h"

namespace brevant {

namespace {

int FixedIndex(bool fixed) {
  return fixed ? 1 : 0;
}

Qt::Alignment AlignmentOf(unsigned format) {
  Qt::Alignment alignment = Qt::AlignLeft;
  if (format & kGridCenter) {
    alignment = Qt::AlignHCenter;
  } else if (format & kGridRight) {
    alignment = Qt::AlignRight;
  }
  if ((format & kGridSingleLine) == 0) {
    alignment |= Qt::AlignTop;
  } else if (format & kGridVCenter) {
    alignment |= Qt::AlignVCenter;
  } else if (format & kGridBottom) {
    alignment |= Qt::AlignBottom;
  } else {
    alignment |= Qt::AlignTop;
  }
  return alignment;
}

const char kScrollBarStyle[] =
    "QScrollBar:vertical{width:10px;background:transparent;margin:2px 2px 2px 0}"
    "QScrollBar::handle:vertical{background:rgb(205,205,212);border-radius:4px;min-height:24px}"
    "QScrollBar::handle:vertical:hover{background:rgb(170,170,180)}"
    "QScrollBar:horizontal{height:10px;background:transparent;margin:0 2px 2px 2px}"
    "QScrollBar::handle:horizontal{background:rgb(205,205,212);border-radius:4px;min-width:24px}"
    "QScrollBar::add-line,QScrollBar::sub-line{width:0;height:0}"
    "QScrollBar::add-page,QScrollBar::sub-page{background:transparent}";

}  // namespace

// ---- model: the rows below the fixed one, and the fixed row as the header ----

class GridModel : public QAbstractTableModel {
 public:
  explicit GridModel(CGridCtrl* grid) : QAbstractTableModel(grid), grid_(grid) {}

  int rowCount(const QModelIndex& parent) const override {
    return parent.isValid() ? 0 : grid_->GetRowCount() - grid_->fixedRows_;
  }
  int columnCount(const QModelIndex& parent) const override {
    return parent.isValid() ? 0 : grid_->columns_;
  }
  Qt::ItemFlags flags(const QModelIndex& index) const override {
    return index.isValid() ? Qt::ItemIsEnabled : Qt::NoItemFlags;
  }
  QVariant data(const QModelIndex& index, int role) const override {
    return CellData(index.row() + grid_->fixedRows_, index.column(), role);
  }
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
    if (orientation != Qt::Horizontal || grid_->fixedRows_ == 0)
      return {};
    return CellData(0, section, role);
  }

  QVariant CellData(int row, int col, int role) const {
    const CGridCtrl::Cell* cell = grid_->At(row, col);
    if (cell == nullptr)
      return {};
    switch (role) {
      case Qt::DisplayRole:
      case Qt::AccessibleTextRole:
        return cell->text;
      case Qt::DecorationRole: {
        const QPixmap* image =
            grid_->images_ != nullptr ? grid_->images_->Image(cell->image) : nullptr;
        return image != nullptr ? QVariant(*image) : QVariant();
      }
      case Qt::FontRole:
        return grid_->FontOf(row, *cell);
      case Qt::ForegroundRole:
        return grid_->FgOf(row, *cell);
      case Qt::BackgroundRole:
        return grid_->BgOf(row, *cell);
      case Qt::TextAlignmentRole:
        return QVariant::fromValue(AlignmentOf(grid_->FormatOf(row, *cell)));
      default:
        return {};
    }
  }

  using QAbstractTableModel::beginInsertRows;
  using QAbstractTableModel::beginRemoveRows;
  using QAbstractTableModel::beginResetModel;
  using QAbstractTableModel::endInsertRows;
  using QAbstractTableModel::endRemoveRows;
  using QAbstractTableModel::endResetModel;

 private:
  CGridCtrl* grid_;
};

class GridDelegate : public QStyledItemDelegate {
 public:
  explicit GridDelegate(CGridCtrl* grid) : QStyledItemDelegate(grid), grid_(grid) {}

  void paint(QPainter* painter, const QStyleOptionViewItem& option,
             const QModelIndex& index) const override {
    grid_->PaintCell(*painter, option.rect, index.row() + grid_->fixedRows_, index.column());
  }
  QSize sizeHint(const QStyleOptionViewItem&, const QModelIndex& index) const override {
    return QSize(grid_->GetColumnWidth(index.column()),
                 grid_->GetRowHeight(index.row() + grid_->fixedRows_));
  }

 private:
  CGridCtrl* grid_;
};

class GridHeader : public QHeaderView {
 public:
  explicit GridHeader(CGridCtrl* grid) : QHeaderView(Qt::Horizontal, grid), grid_(grid) {
    setSectionsClickable(true);
    setHighlightSections(false);
    setSortIndicatorShown(false);
    setSectionResizeMode(QHeaderView::Fixed);
    setStretchLastSection(false);
    setMinimumSectionSize(1);
    setDefaultSectionSize(80);
  }

  void SetHeight(int height) {
    height_ = std::max(1, height);
    setFixedHeight(height_);
    updateGeometry();
  }
  int Height() const { return height_; }

  QSize sizeHint() const override { return QSize(QHeaderView::sizeHint().width(), height_); }

 protected:
  void paintEvent(QPaintEvent* event) override {
    QPainter painter(viewport());
    painter.fillRect(event->rect(), grid_->background_);
    for (int visual = 0; visual < count(); ++visual) {
      const int logical = logicalIndex(visual);
      if (isSectionHidden(logical))
        continue;
      const QRect rect(sectionViewportPosition(logical), 0, sectionSize(logical), height());
      if (rect.intersects(event->rect()))
        paintSection(&painter, rect, logical);
    }
  }

  void paintSection(QPainter* painter, const QRect& rect, int logical) const override {
    grid_->PaintCell(*painter, rect, 0, logical);
    if (logical != grid_->sortColumn_)
      return;
    const CGridCtrl::Cell* cell = grid_->At(0, logical);
    const QRect mark = SortMarkRect(rect, grid_->margin_);
    QPolygonF triangle;
    if (grid_->ascending_) {
      triangle << QPointF(mark.left(), mark.bottom() + 1)
               << QPointF(mark.right() + 1, mark.bottom() + 1)
               << QPointF(mark.left() + mark.width() / 2.0, mark.top());
    } else {
      triangle << QPointF(mark.left(), mark.top()) << QPointF(mark.right() + 1, mark.top())
               << QPointF(mark.left() + mark.width() / 2.0, mark.bottom() + 1);
    }
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    painter->setPen(Qt::NoPen);
    painter->setBrush(cell != nullptr ? grid_->FgOf(0, *cell) : grid_->defaultFg_[1]);
    painter->drawPolygon(triangle);
    painter->restore();
  }

 private:
  CGridCtrl* grid_;
  int height_ = 38;
};

// ---- the grid ----

CGridCtrl::CGridCtrl(QWidget* parent)
    : QTableView(parent), model_(new GridModel(this)), header_(new GridHeader(this)) {
  defaultFont_[FixedIndex(true)] = SkinFont(QString(), 15, 700);
  defaultFont_[FixedIndex(false)] = SkinFont(QString(), 15);
  defaultFg_[FixedIndex(true)] = QColor(68, 68, 79);
  defaultBg_[FixedIndex(true)] = QColor(247, 248, 250);
  defaultFg_[FixedIndex(false)] = QColor(0, 0, 0);
  defaultBg_[FixedIndex(false)] = QColor(255, 255, 255);

  setHorizontalHeader(header_);
  header_->SetHeight(38);
  header_->hide();
  setModel(model_);
  setItemDelegate(new GridDelegate(this));
  verticalHeader()->hide();
  verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  verticalHeader()->setMinimumSectionSize(1);
  verticalHeader()->setDefaultSectionSize(defaultRowHeight_);
  setShowGrid(false);
  setSelectionMode(QAbstractItemView::NoSelection);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
  setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
  setFrameShape(QFrame::NoFrame);
  setWordWrap(false);
  setCornerButtonEnabled(false);
  setTabKeyNavigation(false);
  verticalScrollBar()->setStyleSheet(QString::fromLatin1(kScrollBarStyle));
  horizontalScrollBar()->setStyleSheet(QString::fromLatin1(kScrollBarStyle));
  ApplyPalette();

  connect(this, &QAbstractItemView::clicked, this, [this](const QModelIndex& index) {
    emit CellClicked(index.row() + fixedRows_, index.column());
  });
  connect(header_, &QHeaderView::sectionClicked, this,
          [this](int section) { emit CellClicked(0, section); });
}

CGridCtrl::~CGridCtrl() = default;

CGridCtrl::Cell* CGridCtrl::At(int row, int col) {
  if (row < 0 || col < 0 || row >= GetRowCount() || col >= columns_)
    return nullptr;
  return &rows_[static_cast<std::size_t>(row)][static_cast<std::size_t>(col)];
}

const CGridCtrl::Cell* CGridCtrl::At(int row, int col) const {
  return const_cast<CGridCtrl*>(this)->At(row, col);
}

unsigned CGridCtrl::FormatOf(int row, const Cell& cell) const {
  return cell.format ? *cell.format : defaultFormat_[FixedIndex(IsFixed(row))];
}

const QFont& CGridCtrl::FontOf(int row, const Cell& cell) const {
  return cell.font ? *cell.font : defaultFont_[FixedIndex(IsFixed(row))];
}

QColor CGridCtrl::FgOf(int row, const Cell& cell) const {
  return cell.fg.isValid() ? cell.fg : defaultFg_[FixedIndex(IsFixed(row))];
}

QColor CGridCtrl::BgOf(int row, const Cell& cell) const {
  return cell.bg.isValid() ? cell.bg : defaultBg_[FixedIndex(IsFixed(row))];
}

void CGridCtrl::ApplyPalette() {
  QPalette p = palette();
  p.setColor(QPalette::Base, background_);
  p.setColor(QPalette::Window, background_);
  setPalette(p);
  viewport()->update();
  header_->viewport()->update();
}

// -- shape --

void CGridCtrl::SetFixedRowCount(int rows) {
  rows = std::clamp(rows, 0, 1);
  if (rows == fixedRows_)
    return;
  model_->beginResetModel();
  fixedRows_ = rows;
  if (GetRowCount() < fixedRows_)
    rows_.resize(static_cast<std::size_t>(fixedRows_),
                 std::vector<Cell>(static_cast<std::size_t>(columns_)));
  model_->endResetModel();
  header_->setVisible(fixedRows_ > 0);
}

void CGridCtrl::SetColumnCount(int columns) {
  columns = std::max(0, columns);
  if (columns == columns_)
    return;
  model_->beginResetModel();
  const int old = columns_;
  columns_ = columns;
  for (auto& row : rows_)
    row.resize(static_cast<std::size_t>(columns_));
  model_->endResetModel();
  for (int col = old; col < columns_; ++col)
    header_->resizeSection(col, defaultColumnWidth_);
}

void CGridCtrl::SetRowCount(int rows) {
  rows = std::max(rows, fixedRows_);
  const int old = GetRowCount();
  if (rows == old)
    return;
  if (rows > old) {
    model_->beginInsertRows(QModelIndex(), old - fixedRows_, rows - fixedRows_ - 1);
    rows_.resize(static_cast<std::size_t>(rows),
                 std::vector<Cell>(static_cast<std::size_t>(columns_)));
    model_->endInsertRows();
  } else {
    model_->beginRemoveRows(QModelIndex(), rows - fixedRows_, old - fixedRows_ - 1);
    rows_.resize(static_cast<std::size_t>(rows));
    model_->endRemoveRows();
  }
}

int CGridCtrl::InsertRow(const QString& firstCellText, int before) {
  if (GetRowCount() < fixedRows_)
    SetRowCount(fixedRows_);
  int row = before < 0 || before > GetRowCount() ? GetRowCount() : before;
  if (row < fixedRows_)
    row = fixedRows_;
  model_->beginInsertRows(QModelIndex(), row - fixedRows_, row - fixedRows_);
  rows_.insert(rows_.begin() + row, std::vector<Cell>(static_cast<std::size_t>(columns_)));
  if (columns_ > 0)
    rows_[static_cast<std::size_t>(row)][0].text = firstCellText;
  model_->endInsertRows();
  return row;
}

bool CGridCtrl::DeleteRow(int row) {
  if (row < fixedRows_ || row >= GetRowCount())
    return false;
  model_->beginRemoveRows(QModelIndex(), row - fixedRows_, row - fixedRows_);
  rows_.erase(rows_.begin() + row);
  model_->endRemoveRows();
  return true;
}

void CGridCtrl::DeleteNonFixedRows() {
  SetRowCount(fixedRows_);
}

void CGridCtrl::SetColumnWidth(int col, int width) {
  if (col < 0 || col >= columns_)
    return;
  header_->resizeSection(col, std::max(0, width));
}

int CGridCtrl::GetColumnWidth(int col) const {
  return col >= 0 && col < columns_ ? header_->sectionSize(col) : 0;
}

void CGridCtrl::SetRowHeight(int row, int height) {
  height = std::max(1, height);
  if (IsFixed(row)) {
    header_->SetHeight(height);
    updateGeometries();
    return;
  }
  if (row < 0 || row >= GetRowCount())
    return;
  if (verticalHeader()->sectionSize(row - fixedRows_) != height)
    verticalHeader()->resizeSection(row - fixedRows_, height);
}

int CGridCtrl::GetRowHeight(int row) const {
  if (IsFixed(row))
    return header_->Height();
  if (row < 0 || row >= GetRowCount())
    return 0;
  return verticalHeader()->sectionSize(row - fixedRows_);
}

void CGridCtrl::SetDefaultRowHeight(int height) {
  defaultRowHeight_ = std::max(1, height);
  verticalHeader()->setDefaultSectionSize(defaultRowHeight_);
}

// -- cells --

bool CGridCtrl::SetItemText(int row, int col, const QString& text) {
  Cell* cell = At(row, col);
  if (cell == nullptr)
    return false;
  if (cell->text != text) {
    cell->text = text;
    RedrawCell(row, col);
  }
  return true;
}

QString CGridCtrl::GetItemText(int row, int col) const {
  const Cell* cell = At(row, col);
  return cell != nullptr ? cell->text : QString();
}

bool CGridCtrl::SetItemFormat(int row, int col, unsigned format) {
  Cell* cell = At(row, col);
  if (cell == nullptr)
    return false;
  cell->format = format;
  RedrawCell(row, col);
  return true;
}

unsigned CGridCtrl::GetItemFormat(int row, int col) const {
  const Cell* cell = At(row, col);
  return cell != nullptr ? FormatOf(row, *cell) : defaultFormat_[FixedIndex(IsFixed(row))];
}

bool CGridCtrl::SetItemFont(int row, int col, const QFont& font) {
  Cell* cell = At(row, col);
  if (cell == nullptr)
    return false;
  cell->font = font;
  RedrawCell(row, col);
  return true;
}

QFont CGridCtrl::GetItemFont(int row, int col) const {
  const Cell* cell = At(row, col);
  return cell != nullptr ? FontOf(row, *cell) : defaultFont_[FixedIndex(IsFixed(row))];
}

bool CGridCtrl::SetItemFgColour(int row, int col, const QColor& color) {
  Cell* cell = At(row, col);
  if (cell == nullptr)
    return false;
  cell->fg = color;
  RedrawCell(row, col);
  return true;
}

QColor CGridCtrl::GetItemFgColour(int row, int col) const {
  const Cell* cell = At(row, col);
  return cell != nullptr ? FgOf(row, *cell) : QColor();
}

bool CGridCtrl::SetItemBkColour(int row, int col, const QColor& color) {
  Cell* cell = At(row, col);
  if (cell == nullptr)
    return false;
  cell->bg = color;
  RedrawCell(row, col);
  return true;
}

QColor CGridCtrl::GetItemBkColour(int row, int col) const {
  const Cell* cell = At(row, col);
  return cell != nullptr ? BgOf(row, *cell) : QColor();
}

bool CGridCtrl::SetItemImage(int row, int col, int image) {
  Cell* cell = At(row, col);
  if (cell == nullptr)
    return false;
  if (cell->image != image) {
    cell->image = image < 0 ? -1 : image;
    RedrawCell(row, col);
  }
  return true;
}

int CGridCtrl::GetItemImage(int row, int col) const {
  const Cell* cell = At(row, col);
  return cell != nullptr ? cell->image : -1;
}

void CGridCtrl::SetDefaultCellFormat(bool fixed, unsigned format) {
  defaultFormat_[FixedIndex(fixed)] = format;
  Refresh();
}

void CGridCtrl::SetDefaultCellFont(bool fixed, const QFont& font) {
  defaultFont_[FixedIndex(fixed)] = font;
  Refresh();
}

void CGridCtrl::SetDefaultCellColors(bool fixed, const QColor& text, const QColor& background) {
  defaultFg_[FixedIndex(fixed)] = text;
  defaultBg_[FixedIndex(fixed)] = background;
  Refresh();
}

// -- the control --

void CGridCtrl::SetImageList(const CImageList* images) {
  images_ = images;
  Refresh();
}

void CGridCtrl::SetGridBkColor(const QColor& color) {
  background_ = color;
  ApplyPalette();
}

void CGridCtrl::SetGridLineColor(const QColor& color) {
  lineColor_ = color;
  Refresh();
}

void CGridCtrl::SetGridLines(GridLines lines) {
  lines_ = lines;
  Refresh();
}

void CGridCtrl::SetCellMargin(int margin) {
  margin_ = std::max(0, margin);
  Refresh();
}

void CGridCtrl::SetSortColumn(int col) {
  if (sortColumn_ == col)
    return;
  const int old = sortColumn_;
  sortColumn_ = col;
  if (fixedRows_ > 0) {
    RedrawCell(0, old);
    RedrawCell(0, col);
  }
}

void CGridCtrl::SetSortAscending(bool ascending) {
  ascending_ = ascending;
  if (fixedRows_ > 0)
    RedrawCell(0, sortColumn_);
}

// -- geometry --

CellId CGridCtrl::GetCellFromPt(const QPoint& point) const {
  if (fixedRows_ > 0 && header_->isVisible() && header_->geometry().contains(point)) {
    const int col = header_->logicalIndexAt(point.x() - header_->x());
    return col >= 0 ? CellId{0, col} : CellId{};
  }
  if (!viewport()->geometry().contains(point))
    return {};
  const QPoint inside = point - viewport()->pos();
  const int row = rowAt(inside.y());
  const int col = columnAt(inside.x());
  if (row < 0 || col < 0)
    return {};
  return {row + fixedRows_, col};
}

QRect CGridCtrl::GetCellRect(int row, int col) const {
  if (At(row, col) == nullptr)
    return {};
  if (IsFixed(row)) {
    return QRect(header_->x() + header_->sectionViewportPosition(col), header_->y(),
                 header_->sectionSize(col), header_->height());
  }
  const QRect rect = visualRect(model_->index(row - fixedRows_, col));
  return rect.translated(viewport()->pos());
}

void CGridCtrl::RedrawCell(int row, int col) {
  if (At(row, col) == nullptr)
    return;
  if (IsFixed(row)) {
    header_->viewport()->update(header_->sectionViewportPosition(col), 0, header_->sectionSize(col),
                                header_->height());
    emit model_->headerDataChanged(Qt::Horizontal, col, col);
    return;
  }
  const QModelIndex index = model_->index(row - fixedRows_, col);
  emit model_->dataChanged(index, index);
}

void CGridCtrl::Refresh() {
  viewport()->update();
  header_->viewport()->update();
}

// -- drawing --

void CGridCtrl::PaintCell(QPainter& painter, const QRect& rect, int row, int col) const {
  const bool right = lines_ == GridLines::Both || lines_ == GridLines::Vertical;
  const bool below = lines_ == GridLines::Both || lines_ == GridLines::Horizontal;
  QRect content = rect;
  if (right)
    content.setRight(rect.right() - 1);
  if (below)
    content.setBottom(rect.bottom() - 1);
  const Cell* cell = At(row, col);
  if (cell == nullptr) {
    painter.fillRect(rect, background_);
    return;
  }
  painter.fillRect(content, BgOf(row, *cell));
  const QPixmap* image = images_ != nullptr ? images_->Image(cell->image) : nullptr;
  const unsigned format = FormatOf(row, *cell);
  const CellLayout layout =
      LayoutCell(content, image != nullptr ? image->size() : QSize(), format, margin_);
  if (image != nullptr)
    painter.drawPixmap(layout.image.topLeft(), *image);
  if (!cell->text.isEmpty() && layout.text.width() > 0) {
    const QFont& font = FontOf(row, *cell);
    painter.setFont(font);
    painter.setPen(FgOf(row, *cell));
    int flags = static_cast<int>(AlignmentOf(format));
    QString text = cell->text;
    if (format & kGridSingleLine) {
      flags |= Qt::TextSingleLine;
      if (format & kGridEndEllipsis)
        text = ElideText(text, layout.text.width(), QFontMetricsF(font));
    } else if (format & kGridWordBreak) {
      flags |= Qt::TextWordWrap;
    }
    painter.drawText(layout.text, flags, text);
  }
  if (right || below) {
    painter.setPen(lineColor_);
    if (right)
      painter.drawLine(rect.right(), rect.top(), rect.right(), rect.bottom());
    if (below)
      painter.drawLine(rect.left(), rect.bottom(), rect.right(), rect.bottom());
  }
}

}  // namespace brevant
