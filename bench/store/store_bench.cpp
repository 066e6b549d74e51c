// Device-list refresh and concurrent status writes on the status store, on a
// real scratch file in a fresh folder.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "records/status_store.h"

namespace {

using brevant::CSqlManagement;

class ScratchFolder {
 public:
  ScratchFolder() {
    const char* base = std::getenv("TMPDIR");
    std::string pattern =
        std::string(base != nullptr && base[0] != '\0' ? base : "/tmp") + "/brevant-bench-XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr)
      throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
  }
  ~ScratchFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

std::string Mac(int i) {
  char text[18];
  std::snprintf(text, sizeof text, "C8:3A:35:00:%02X:%02X", (i >> 8) & 0xff, i & 0xff);
  return text;
}

// A store holding n discovered devices in mixed states, as after a delivery.
std::unique_ptr<CSqlManagement> FilledStore(const ScratchFolder& folder, int n) {
  auto store = std::make_unique<CSqlManagement>(folder.path() / "data.db");
  for (int i = 0; i < n; ++i) {
    const std::string mac = Mac(i);
    store->InsertOrUpdateDevice(
        {mac, "2025-03-05 10:11:12", "ssid-2g-" + mac, "ssid-5g-" + mac, "key-2g", "key-5g"});
    store->SetParaStatus(mac, i % 3 == 0 ? brevant::OPERATE_SUCCESS : brevant::TRANSMIT_FINISH);
    store->SetResult(mac, i % 4);
  }
  return store;
}

// One device-list refresh: the rows, then one verdict per row.
void BM_DeviceListRefresh(benchmark::State& state) {
  ScratchFolder folder;
  const int n = static_cast<int>(state.range(0));
  auto store = FilledStore(folder, n);
  for (auto _ : state) {
    std::vector<brevant::ap_info_stu> rows;
    int count = 0, success = 0, fail = 0;
    if (!store->QueryDevices(true, brevant::SORT_BY_RESULT, "", rows, count, success, fail))
      state.SkipWithError("QueryDevices failed");
    int busy = 0;
    for (const auto& row : rows)
      busy += store->EvaluateDevice(row.mac) == brevant::RESULT_BUSY;
    benchmark::DoNotOptimize(busy);
  }
  state.counters["rows"] = n;
}
BENCHMARK(BM_DeviceListRefresh)->Arg(100)->Arg(1000)->Unit(benchmark::kMillisecond);

// 1000 status writes from 8 threads at once on a 1000-row table, as 1000
// delivery threads reporting would.
void BM_ConcurrentStatusWrites(benchmark::State& state) {
  ScratchFolder folder;
  constexpr int kRows = 1000;
  constexpr int kThreads = 8;
  auto store = FilledStore(folder, kRows);
  std::int32_t code = brevant::OPERATING;
  for (auto _ : state) {
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
      threads.emplace_back([&, t] {
        for (int i = t; i < kRows; i += kThreads)
          store->SetLogoStatus(Mac(i), code);
      });
    }
    for (auto& thread : threads)
      thread.join();
    code = code == brevant::OPERATING ? brevant::TRANSMIT_FINISH : brevant::OPERATING;
  }
  state.SetItemsProcessed(state.iterations() * kRows);
}
BENCHMARK(BM_ConcurrentStatusWrites)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
