#include "controls/grid_ctrl.h"

#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QTest>

#include "controls/image_list.h"
#include "support/gui_test.h"
#include "support/temp_dir.h"

namespace brevant {
namespace {

using testing::Look;

TEST(GridGeometry, PictureAndTextInACell) {
  struct Case {
    const char* name;
    QRect cell;
    QSize image;
    unsigned format;
    QRect expectedImage;
    int textLeft;
  };
  const QRect cell(100, 50, 127, 48);
  const Case cases[] = {
      {"left, centred vertically",
       cell,
       {24, 24},
       kGridVCenter | kGridSingleLine,
       {103, 62, 24, 24},
       130},
      {"centred both ways", cell, {24, 24}, kGridCenter | kGridVCenter, {151, 62, 24, 24}, 178},
      {"top", cell, {24, 24}, kGridLeft, {103, 53, 24, 24}, 130},
      {"bottom", cell, {24, 24}, kGridBottom, {103, 71, 24, 24}, 130},
      {"never above the cell", QRect(0, 0, 60, 10), {24, 24}, kGridVCenter, {3, 0, 24, 24}, 30},
      {"no picture", cell, {}, kGridVCenter, {}, 103},
  };
  for (const Case& c : cases) {
    const CellLayout layout = LayoutCell(c.cell, c.image, c.format, 3);
    EXPECT_EQ(layout.image, c.expectedImage) << c.name;
    EXPECT_EQ(layout.text.left(), c.textLeft) << c.name;
    EXPECT_EQ(layout.text.right(), c.cell.right() - 3) << c.name;
  }
}

QImage Solid(QColor color, QColor centre = QColor()) {
  QImage image(24, 24, QImage::Format_RGB32);
  image.fill(color);
  if (centre.isValid()) {
    for (int y = 8; y < 16; ++y)
      for (int x = 8; x < 16; ++x)
        image.setPixelColor(x, y, centre);
  }
  return image;
}

class GridTest : public ::testing::Test {
 protected:
  void SetUp() override {
    grid_.resize(800, 300);
    grid_.SetColumnCount(4);
    grid_.SetFixedRowCount(1);
    const int widths[] = {63, 232, 341, 127};
    for (int col = 0; col < 4; ++col)
      grid_.SetColumnWidth(col, widths[col]);
    grid_.SetRowHeight(0, 38);
    grid_.SetItemText(0, 1, QStringLiteral("No."));
    grid_.SetItemText(0, 2, QStringLiteral("MAC Address"));
    grid_.SetItemText(0, 3, QStringLiteral("Status"));
    for (int i = 1; i <= 3; ++i) {
      const int row = grid_.InsertRow();
      grid_.SetRowHeight(row, 48);
      grid_.SetItemText(row, 1, QString::number(row));
      grid_.SetItemText(row, 2, QStringLiteral("C8:3A:35:A1:B2:C%1").arg(i));
    }
    images_.SetImage(3, Solid(Qt::white, Qt::red));
    grid_.SetImageList(&images_);
    ASSERT_TRUE(testing::ShowAndWait(&grid_));
  }

  CGridCtrl grid_;
  CImageList images_;
};

TEST_F(GridTest, EveryCellIsReachableAndItsRectangleMapsBack) {
  EXPECT_EQ(grid_.GetRowCount(), 4);
  EXPECT_EQ(grid_.GetCellRect(0, 0), QRect(0, 0, 63, 38));
  EXPECT_EQ(grid_.GetCellRect(1, 1), QRect(63, 38, 232, 48));
  EXPECT_EQ(grid_.GetCellRect(3, 3), QRect(636, 134, 127, 48));
  for (int row = 0; row < 4; ++row) {
    for (int col = 0; col < 4; ++col) {
      const QRect rect = grid_.GetCellRect(row, col);
      for (QPoint p : {rect.topLeft(), rect.center(), rect.bottomRight()})
        EXPECT_EQ(grid_.GetCellFromPt(p), (CellId{row, col})) << row << "," << col;
    }
  }
  EXPECT_FALSE(grid_.GetCellFromPt(QPoint(790, 20)).IsValid());  // right of the columns
  EXPECT_FALSE(grid_.GetCellFromPt(QPoint(10, 250)).IsValid());  // below the rows
  EXPECT_TRUE(grid_.GetCellRect(9, 0).isEmpty());
  // Screen readers see the same texts.
  EXPECT_EQ(grid_.model()->data(grid_.model()->index(1, 2)).toString(),
            QStringLiteral("C8:3A:35:A1:B2:C2"));
  EXPECT_EQ(grid_.model()->headerData(2, Qt::Horizontal).toString(), QStringLiteral("MAC Address"));
}

TEST_F(GridTest, ClicksOnAnyCellAreReportedWithRowAndColumn) {
  QSignalSpy clicked(&grid_, &CGridCtrl::CellClicked);
  const std::pair<int, int> cells[] = {{0, 0}, {0, 2}, {0, 3}, {1, 0}, {2, 3}, {3, 1}};
  for (const auto& [row, col] : cells) {
    const QPoint point = grid_.GetCellRect(row, col).center();
    QWidget* target = grid_.childAt(point);
    ASSERT_NE(target, nullptr);
    QTest::mouseClick(target, Qt::LeftButton, {}, target->mapFrom(&grid_, point));
  }
  ASSERT_EQ(clicked.count(), 6);
  for (int i = 0; i < 6; ++i) {
    EXPECT_EQ(clicked[i][0].toInt(), cells[i].first) << i;
    EXPECT_EQ(clicked[i][1].toInt(), cells[i].second) << i;
  }
  grid_.setEnabled(false);
  const QPoint point = grid_.GetCellRect(1, 0).center();
  QWidget* target = grid_.childAt(point);
  QTest::mouseClick(target, Qt::LeftButton, {}, target->mapFrom(&grid_, point));
  EXPECT_EQ(clicked.count(), 6);
}

TEST_F(GridTest, TheStatusPictureSitsThreePixelsInAndCentredWithWhiteTransparent) {
  grid_.SetItemBkColour(2, 3, QColor(0, 0, 200));
  grid_.SetItemImage(2, 3, 3);
  const QRect cell = grid_.GetCellRect(2, 3);
  const QImage look = Look(&grid_);
  const QPoint centre(cell.left() + 3 + 12, cell.top() + (cell.height() - 1) / 2);
  EXPECT_EQ(look.pixelColor(centre), QColor(Qt::red));
  EXPECT_EQ(look.pixelColor(cell.left() + 3 + 2, centre.y()), QColor(0, 0, 200));  // white is clear
  EXPECT_EQ(look.pixelColor(cell.left() + 3 + 8, cell.top() + 12 - 1), QColor(0, 0, 200));
  // An index with no picture draws nothing.
  grid_.SetItemImage(2, 3, 6);
  EXPECT_EQ(Look(&grid_).pixelColor(centre), QColor(0, 0, 200));
}

TEST_F(GridTest, TheSortMarkPointsTheWayOfTheSort) {
  grid_.SetItemFgColour(0, 2, QColor(200, 0, 0));
  grid_.SetItemBkColour(0, 2, Qt::white);
  grid_.SetSortColumn(2);
  grid_.SetSortAscending(true);
  const QRect mark = SortMarkRect(grid_.GetCellRect(0, 2).adjusted(0, 0, -1, -1), 3);
  auto width = [&](int y) {
    const QImage look = Look(&grid_);
    int n = 0;
    for (int x = mark.left() - 1; x <= mark.right() + 1; ++x)
      n += look.pixelColor(x, y).red() > 150 && look.pixelColor(x, y).green() < 120;
    return n;
  };
  EXPECT_LT(width(mark.top() + 1), width(mark.bottom()));  // ascending: point up
  grid_.SetSortAscending(false);
  EXPECT_GT(width(mark.top()), width(mark.bottom() - 1));
  grid_.SetSortColumn(-1);
  EXPECT_EQ(width(mark.top() + 2), 0);
}

TEST_F(GridTest, RebuildingKeepsTheHeaderAndHasNoRowLimit) {
  grid_.DeleteNonFixedRows();
  EXPECT_EQ(grid_.GetRowCount(), 1);
  EXPECT_EQ(grid_.GetItemText(0, 2), QStringLiteral("MAC Address"));
  for (int i = 0; i < 2000; ++i) {
    const int row = grid_.InsertRow();
    grid_.SetItemText(row, 2, QString::number(row));
  }
  EXPECT_EQ(grid_.GetRowCount(), 2001);
  EXPECT_EQ(grid_.GetItemText(2000, 2), QStringLiteral("2000"));
  EXPECT_EQ(grid_.GetRowHeight(2000), 48);
  // The last row can be scrolled to and hit.
  grid_.scrollToBottom();
  const QRect last = grid_.GetCellRect(2000, 2);
  EXPECT_EQ(grid_.GetCellFromPt(last.center()), (CellId{2000, 2}));
  EXPECT_FALSE(grid_.SetItemText(2001, 0, QStringLiteral("x")));
  EXPECT_FALSE(grid_.SetItemText(1, 4, QStringLiteral("x")));
}

TEST(ImageList, AMissingFileKeepsTheOtherIndicesAndIsReported) {
  testing::TempDir dir;
  testing::DiagnosticLines diagnostics;
  const QString red = QString::fromStdString((dir / "red.bmp").string());
  ASSERT_TRUE(Solid(Qt::red).save(red));
  CImageList images;
  EXPECT_FALSE(images.SetImage(0, QString::fromStdString((dir / "unselect.bmp").string())));
  EXPECT_TRUE(images.SetImage(1, red));
  EXPECT_EQ(images.Count(), 2);
  EXPECT_EQ(images.Image(0), nullptr);
  ASSERT_NE(images.Image(1), nullptr);
  EXPECT_EQ(images.Image(1)->toImage().pixelColor(5, 5), QColor(Qt::red));
  EXPECT_EQ(images.Image(7), nullptr);
  ASSERT_EQ(diagnostics.Lines().size(), 1u);
  EXPECT_NE(diagnostics.Lines()[0].find("unselect.bmp"), std::string::npos);
}

TEST(ImageList, PicturesOfAnotherSizeAreScaledToTheList) {
  CImageList images;
  QImage big(48, 48, QImage::Format_RGB32);
  big.fill(Qt::blue);
  ASSERT_TRUE(images.SetImage(0, big));
  EXPECT_EQ(images.Image(0)->size(), QSize(24, 24));
}

}  // namespace
}  // namespace brevant
