// The device grid at 1000 rows, as the device list drives it, on the offscreen
// platform: a full rebuild and one paint, and a status update of every row and
// one paint. The goal is at most 16 ms (one frame) for each.
//
// Then the device list itself over a real store of 1000 devices, watching a
// delivery to all of them: one tick of each of its timers (each target's row,
// the counters, the end of the watch) and a rebuild, each with its paint. The
// goal is at most 30 ms of the window thread, median, for each.
//
//   build/bench/brevant_bench_gui --benchmark_repetitions=10
//   --benchmark_report_aggregates_only=true
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <QApplication>
#include <cstdlib>
#include <filesystem>
#include <memory>

#include "controls/grid_ctrl.h"
#include "controls/image_list.h"
#include "controls/skin_look.h"
#include "link/memory_segment.h"
#include "link/transmit_manage.h"
#include "records/status_store.h"
#include "screens/devices_control_dlg.h"
#include "screens/page_host.h"
#include "screens/screen_services.h"

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

// The device list over a store of its own in a scratch folder.
class DeviceListBench : public brevant::PageHost {
 public:
  DeviceListBench() {
    char pattern[] = "/tmp/brevant-bench-gui-XXXXXX";
    folder_ = ::mkdtemp(pattern);
    std::filesystem::create_directory_symlink(BREVANT_SOURCE_DIR "/data/Skin", folder_ / "Skin");
    store_ = std::make_unique<brevant::CSqlManagement>(folder_ / "data.db");
    link_ = std::make_unique<brevant::AcTransmitManage>(*store_, std::make_shared<NoAdapters>(),
                                                        segment_->Station("eth0"));
    for (int i = 0; i < kRows; ++i) {
      brevant::DiscoveredDevice device;
      device.mac = Mac(i);
      device.time = "2025-03-05 14:07:09";
      device.ssid2 = "Brevant-" + std::to_string(i) + "-2G";
      store_->InsertOrUpdateDevice(device);
    }
    brevant::ScreenServices services;
    services.store = store_.get();
    services.link = link_.get();
    services.directory = folder_;
    page_ = std::make_unique<brevant::CDevicesControlDlg>(nullptr, services, *this);
    page_->SetTimerIntervalsForTesting(3600 * 1000);
    page_->show();
    page_->RefreshList(true, true, brevant::CDevicesControlDlg::kMacColumn);
    Paint();
  }
  ~DeviceListBench() override {
    page_.reset();
    link_.reset();
    store_.reset();
    std::error_code error;
    std::filesystem::remove_all(folder_, error);
  }

  void ShowPage(int) override {}
  void DeliveryStarted(int) override {}

  // Every device ticked, handed over and watched; a third of them answered.
  void StartWatching() {
    page_->OnCellClicked(0, brevant::CDevicesControlDlg::kCheckColumn);
    page_->HandToPage(brevant::kCustomizationPage);
    page_->StartWatching(brevant::kCustomizationPage);
    store_->ResetStatuses();
    for (int i = 0; i < kRows; ++i)
      store_->SetParaStatus(Mac(i), i % 3 == 0   ? brevant::OPERATE_SUCCESS
                                    : i % 3 == 1 ? brevant::TRANSMIT_FINISH
                                                 : brevant::OPERATING);
    Paint();
  }
  // The next devices' results come in, as they do during a delivery.
  void Progress(int round) {
    for (int i = round % 20; i < kRows; i += 20)
      store_->SetParaStatus(
          Mac(i), (i + round) % 2 == 0 ? brevant::OPERATE_SUCCESS : brevant::OPERATE_FAIL);
  }
  void Paint() {
    QCoreApplication::processEvents();
    page_->repaint();
  }
  brevant::CDevicesControlDlg& Page() { return *page_; }

 private:
  class NoAdapters : public brevant::AdapterSource {
   public:
    std::vector<brevant::AdapterRecord> Entries() override { return {}; }
    bool CaptureDevices(std::vector<std::string>&, std::string&) override { return true; }
    std::optional<int> Mtu(const std::string&) override { return 1500; }
  };
  static std::string Mac(int i) {
    char text[18];
    std::snprintf(text, sizeof text, "02:62:00:00:%02X:%02X", (i >> 8) & 0xFF, i & 0xFF);
    return text;
  }

  std::filesystem::path folder_;
  std::shared_ptr<brevant::MemorySegment> segment_ = brevant::MemorySegment::Create();
  std::unique_ptr<brevant::CSqlManagement> store_;
  std::unique_ptr<brevant::AcTransmitManage> link_;
  std::unique_ptr<brevant::CDevicesControlDlg> page_;
};

// Timer 1000: every target's verdict from the store, into its row and its result.
void BM_DeviceListProgressTick1000(benchmark::State& state) {
  DeviceListBench bench;
  bench.StartWatching();
  int round = 0;
  for (auto _ : state) {
    state.PauseTiming();
    bench.Progress(++round);
    state.ResumeTiming();
    bench.Page().ProgressTick();
    bench.Paint();
  }
}
BENCHMARK(BM_DeviceListProgressTick1000)->Unit(benchmark::kMillisecond)->UseRealTime();

// Timer 2000: the success and failure counters.
void BM_DeviceListCountersTick1000(benchmark::State& state) {
  DeviceListBench bench;
  bench.StartWatching();
  for (auto _ : state) {
    bench.Page().CountersTick();
    bench.Paint();
  }
}
BENCHMARK(BM_DeviceListCountersTick1000)->Unit(benchmark::kMillisecond)->UseRealTime();

// Timer 3000 on the tick that ends the watch (the others only add 3 seconds):
// every row a last time, the counters, the buttons back.
void BM_DeviceListWatchEndTick1000(benchmark::State& state) {
  DeviceListBench bench;
  int round = 0;
  for (auto _ : state) {
    state.PauseTiming();
    bench.StartWatching();
    for (int tick = 0; tick < 4; ++tick) {
      bench.Page().ProgressTick();
      bench.Page().WatchTick();
    }
    bench.Progress(++round);
    state.ResumeTiming();
    bench.Page().WatchTick();
    bench.Paint();
  }
}
BENCHMARK(BM_DeviceListWatchEndTick1000)->Unit(benchmark::kMillisecond)->UseRealTime();

// The end of a scan, or a click on a sortable header: the grid rebuilt from the store.
void BM_DeviceListRebuild1000(benchmark::State& state) {
  DeviceListBench bench;
  for (auto _ : state) {
    bench.Page().RefreshList(true, true, brevant::CDevicesControlDlg::kMacColumn);
    bench.Paint();
  }
}
BENCHMARK(BM_DeviceListRebuild1000)->Unit(benchmark::kMillisecond)->UseRealTime();

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
