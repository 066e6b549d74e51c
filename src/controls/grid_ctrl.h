#pragma once

#include <QColor>
#include <QFont>
#include <QHeaderView>
#include <QTableView>
#include <optional>
#include <vector>

#include "controls/grid_geometry.h"

namespace brevant {

class CImageList;
class GridModel;
class GridHeader;

// A cell of the grid; rows and columns count from 0, the fixed row included.
struct CellId {
  int row = -1;
  int col = -1;
  bool IsValid() const { return row >= 0 && col >= 0; }
  friend bool operator==(const CellId&, const CellId&) = default;
};

// A table of cells with text, format, font, colours and a picture index, and
// at most one fixed (header) row, which stays at the top while the rows scroll.
//
// It is a QTableView over its own model, so every cell is reachable by screen
// readers and scripts (the fixed row as the horizontal header). It draws every
// cell itself: the background, the picture of the cell's index from the image
// list (LayoutCell), then the text within what remains, in the cell's format;
// grid lines right of and below each cell. The control neither sorts nor
// ticks: a click on any cell, fixed row included, is reported by CellClicked
// with the cell's row and column; the sort mark is drawn where it is told.
// There is no limit on the number of rows.
//
// Defaults: no fixed row, no columns; column width 80; fixed row height 38;
// other rows 48; cell margin 3; format kGridDefaultFormat; fixed cells
// "Microsoft YaHei" height 15 weight 700, text (68,68,79) on (247,248,250);
// other cells height 15 normal, text (0,0,0) on (255,255,255); background
// (255,255,255); lines (235,238,237), both ways; no sort mark; no image list.
class CGridCtrl : public QTableView {
  Q_OBJECT

 public:
  enum class GridLines { None, Horizontal, Vertical, Both };

  explicit CGridCtrl(QWidget* parent = nullptr);
  ~CGridCtrl() override;

  // -- shape --
  // 0 or 1 fixed rows.
  void SetFixedRowCount(int rows);
  int GetFixedRowCount() const { return fixedRows_; }
  void SetColumnCount(int columns);
  int GetColumnCount() const { return columns_; }
  // Rows including the fixed one; more rows are added empty, fewer cut off.
  void SetRowCount(int rows);
  int GetRowCount() const { return static_cast<int>(rows_.size()); }
  // Appends a row (or inserts it before `before`) with the text of its first
  // cell; the new row's index.
  int InsertRow(const QString& firstCellText = {}, int before = -1);
  bool DeleteRow(int row);
  void DeleteNonFixedRows();

  void SetColumnWidth(int col, int width);
  int GetColumnWidth(int col) const;
  // Row 0 is the fixed row when there is one.
  void SetRowHeight(int row, int height);
  int GetRowHeight(int row) const;
  // The height of rows added from now on.
  void SetDefaultRowHeight(int height);
  int GetDefaultRowHeight() const { return defaultRowHeight_; }

  // -- cells -- (false for a cell that does not exist)
  bool SetItemText(int row, int col, const QString& text);
  QString GetItemText(int row, int col) const;
  bool SetItemFormat(int row, int col, unsigned format);
  unsigned GetItemFormat(int row, int col) const;
  bool SetItemFont(int row, int col, const QFont& font);
  QFont GetItemFont(int row, int col) const;
  bool SetItemFgColour(int row, int col, const QColor& color);
  QColor GetItemFgColour(int row, int col) const;
  bool SetItemBkColour(int row, int col, const QColor& color);
  QColor GetItemBkColour(int row, int col) const;
  // -1 is no picture; an index without a picture in the list draws nothing.
  bool SetItemImage(int row, int col, int image);
  int GetItemImage(int row, int col) const;

  // What cells use when they set nothing of their own, for the fixed row and the others.
  void SetDefaultCellFormat(bool fixed, unsigned format);
  void SetDefaultCellFont(bool fixed, const QFont& font);
  void SetDefaultCellColors(bool fixed, const QColor& text, const QColor& background);

  // -- the control --
  // Not owned; it must outlive the grid or be replaced first.
  void SetImageList(const CImageList* images);
  const CImageList* GetImageList() const { return images_; }
  void SetGridBkColor(const QColor& color);
  QColor GetGridBkColor() const { return background_; }
  void SetGridLineColor(const QColor& color);
  QColor GetGridLineColor() const { return lineColor_; }
  void SetGridLines(GridLines lines);
  void SetCellMargin(int margin);
  int GetCellMargin() const { return margin_; }

  // The column whose fixed cell shows the sort mark (-1: none) and its direction.
  void SetSortColumn(int col);
  int GetSortColumn() const { return sortColumn_; }
  void SetSortAscending(bool ascending);
  bool GetSortAscending() const { return ascending_; }

  // -- geometry, in the grid's own coordinates --
  // The cell under a point, or an invalid id.
  CellId GetCellFromPt(const QPoint& point) const;
  // A cell's rectangle as drawn (partly or wholly scrolled out of view is
  // still its place); empty for a cell that does not exist.
  QRect GetCellRect(int row, int col) const;

  void RedrawCell(int row, int col);
  // Repaints everything.
  void Refresh();

 signals:
  void CellClicked(int row, int col);

 private:
  friend class GridModel;
  friend class GridHeader;
  friend class GridDelegate;

  struct Cell {
    QString text;
    int image = -1;
    std::optional<unsigned> format;
    std::optional<QFont> font;
    QColor fg;
    QColor bg;
  };

  Cell* At(int row, int col);
  const Cell* At(int row, int col) const;
  bool IsFixed(int row) const { return row < fixedRows_; }
  unsigned FormatOf(int row, const Cell& cell) const;
  const QFont& FontOf(int row, const Cell& cell) const;
  QColor FgOf(int row, const Cell& cell) const;
  QColor BgOf(int row, const Cell& cell) const;
  // Draws one cell into its rectangle.
  void PaintCell(QPainter& painter, const QRect& rect, int row, int col) const;
  void ApplyPalette();

  GridModel* model_;
  GridHeader* header_;
  int fixedRows_ = 0;
  int columns_ = 0;
  std::vector<std::vector<Cell>> rows_;
  int defaultRowHeight_ = 48;
  int defaultColumnWidth_ = 80;
  unsigned defaultFormat_[2] = {kGridDefaultFormat, kGridDefaultFormat};
  QFont defaultFont_[2];
  QColor defaultFg_[2];
  QColor defaultBg_[2];
  const CImageList* images_ = nullptr;
  QColor background_{255, 255, 255};
  QColor lineColor_{235, 238, 237};
  GridLines lines_ = GridLines::Both;
  int margin_ = 3;
  int sortColumn_ = -1;
  bool ascending_ = true;
};

}  // namespace brevant
