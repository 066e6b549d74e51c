// The device grid at 1000 rows, as the device list drives it, on the offscreen
// platform: a full rebuild and one paint, and a status update of every row and
// one paint. The goal is at most 16 ms (one frame) for each.
//
//   build/bench/brevant_bench_gui --benchmark_repetitions=10
//   --benchmark_report_aggregates_only=true
#include <benchmark/benchmark.h>

#include <QApplication>
#include <cstdlib>

#include "controls/grid_ctrl.h"
#include "controls/image_list.h"
#include "controls/skin_look.h"

namespace {

using brevant::CGridCtrl;
using brevant::CImageList;

constexpr int kRows = 1000;

class DeviceGrid {
 public:
  DeviceGrid() {
    const char* files[] = {"unselect.bmp", "select.bmp", "part_select.bmp",
                           "success.bmp",  "error.bmp",  "operating.bmp"};
    for (int i = 0; i < 6; ++i)
      images_.SetImage(i, QStringLiteral(BREVANT_SOURCE_DIR "/data/Skin/") + files[i]);
    grid_.resize(783, 38 + 8 * 48);
    grid_.SetColumnCount(4);
    grid_.SetFixedRowCount(1);
    const int widths[] = {63, 232, 341, 127};
    for (int col = 0; col < 4; ++col)
      grid_.SetColumnWidth(col, widths[col]);
    grid_.SetRowHeight(0, 38);
    grid_.SetImageList(&images_);
    grid_.SetItemText(0, 1, QStringLiteral("No."));
    grid_.SetItemText(0, 2, QStringLiteral("MAC Address"));
    grid_.SetItemText(0, 3, QStringLiteral("Status"));
    grid_.show();
    Paint();
  }

  // What the device list does on every rebuild.
  void Rebuild() {
    grid_.DeleteNonFixedRows();
    for (int i = 0; i < kRows; ++i) {
      const int row = grid_.InsertRow();
      grid_.SetRowHeight(row, 48);
      grid_.SetItemImage(row, 0, 0);
      grid_.SetItemFormat(row, 1, brevant::kGridDefaultFormat);
      grid_.SetItemText(row, 1, QString::number(row));
      grid_.SetItemText(row, 2,
                        QStringLiteral("C8:3A:35:%1:%2:%3")
                            .arg((i >> 16) & 0xFF, 2, 16, QLatin1Char('0'))
                            .arg((i >> 8) & 0xFF, 2, 16, QLatin1Char('0'))
                            .arg(i & 0xFF, 2, 16, QLatin1Char('0'))
                            .toUpper());
      grid_.SetItemText(row, 3, QString());
      grid_.SetItemImage(row, 3, 3 + i % 4);
    }
    grid_.SetItemImage(0, 0, 0);
    grid_.SetSortColumn(2);
    grid_.SetSortAscending(true);
  }

  // What the per-device progress tick does for every watched device.
  void UpdateStatuses(int round) {
    for (int row = 1; row <= kRows; ++row) {
      grid_.SetItemImage(row, 0, 0);
      grid_.SetItemImage(row, 3, 3 + (row + round) % 4);
      grid_.RedrawCell(row, 3);
    }
    grid_.SetItemImage(0, 0, 0);
  }

  // Lets the view lay out what changed, then paints it once.
  void Paint() {
    QCoreApplication::processEvents();
    grid_.repaint();
  }

 private:
  CImageList images_;
  CGridCtrl grid_;
};

void BM_GridRebuild1000RowsAndPaint(benchmark::State& state) {
  DeviceGrid grid;
  for (auto _ : state) {
    grid.Rebuild();
    grid.Paint();
  }
}
BENCHMARK(BM_GridRebuild1000RowsAndPaint)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_GridStatusUpdate1000RowsAndPaint(benchmark::State& state) {
  DeviceGrid grid;
  grid.Rebuild();
  grid.Paint();
  int round = 0;
  for (auto _ : state) {
    grid.UpdateStatuses(++round);
    grid.Paint();
  }
}
BENCHMARK(BM_GridStatusUpdate1000RowsAndPaint)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
  ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QApplication app(argc, argv);
  brevant::InstallSkinLook();
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv))
    return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
