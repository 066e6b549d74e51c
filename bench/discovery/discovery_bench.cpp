// Discovery time for N simulated devices on a veth pair in namespaces of our
// own: from the broadcast until all N are in the store (the whole path), and
// until all N answers reached a bare receive handle (the simulator and the
// wire alone). These need root; without it they are left out, with a note.
// Also the receive thread's cost of routing one frame to the mailbox of a
// running job among 1000 (with the job's taking it).
//
//   build/bench/brevant_bench_discovery

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <thread>

#include "link/memory_segment.h"
#include "link/pcap_capture.h"
#include "link/transmit_manage.h"
#include "records/status_store.h"
#include "testbed.h"

namespace {

using brevant::testing::TestBed;
using Clock = std::chrono::steady_clock;

constexpr auto kGiveUp = std::chrono::seconds(10);

// A bed with N devices and the tool's side entered on this thread.
struct Bed {
  explicit Bed(int devices, benchmark::State& state) {
    std::string error;
    if (!bed.Up(&error) || !bed.StartDevsim({"--count", std::to_string(devices)}, &error)) {
      state.SkipWithError(error.c_str());
      return;
    }
    inTool = bed.EnterToolNamespace(&error);
    if (!inTool)
      state.SkipWithError(error.c_str());
  }
  ~Bed() {
    inTool.reset();
    bed.Down();
  }
  bool ok() const { return inTool != nullptr; }

  TestBed bed;
  std::unique_ptr<brevant::testing::NamespaceEntry> inTool;
};

void BM_DiscoveryIntoStore(benchmark::State& state) {
  const auto devices = static_cast<std::size_t>(state.range(0));
  Bed bed(static_cast<int>(devices), state);
  if (!bed.ok())
    return;
  char folder[] = "/tmp/brevant-bench-XXXXXX";
  if (::mkdtemp(folder) == nullptr) {
    state.SkipWithError("mkdtemp failed");
    return;
  }
  {
    brevant::CSqlManagement store(std::string(folder) + "/data.db");
    brevant::AcTransmitManage link(store, std::make_shared<brevant::SysfsAdapterSource>(),
                                   std::make_shared<brevant::PcapCaptureFactory>());
    brevant::AdapterRecord record;
    record.name = bed.bed.ToolInterface();
    record.mac = TestBed::kToolMac;
    if (!link.ApplyAdapter(record) || !link.Init() || !link.IsUp()) {
      state.SkipWithError(("the link did not come up: " + link.LastOpenError()).c_str());
      return;
    }
    for (auto _ : state) {
      link.ClearDevices();
      store.DeleteAllDevices();
      const auto start = Clock::now();
      link.SendDiscover();
      while (link.DeviceCount() < devices && Clock::now() - start < kGiveUp)
        std::this_thread::sleep_for(std::chrono::microseconds(100));
      const auto elapsed = Clock::now() - start;
      state.SetIterationTime(std::chrono::duration<double>(elapsed).count());
      if (link.DeviceCount() < devices) {
        state.SkipWithError(("only " + std::to_string(link.DeviceCount()) + " devices within " +
                             std::to_string(kGiveUp.count()) + " s")
                                .c_str());
        break;
      }
    }
    state.counters["devices"] = static_cast<double>(devices);
  }
  std::filesystem::remove_all(folder);
}

void BM_DevsimAnswers(benchmark::State& state) {
  const auto devices = static_cast<std::size_t>(state.range(0));
  Bed bed(static_cast<int>(devices), state);
  if (!bed.ok())
    return;
  brevant::PcapCaptureFactory factory;
  std::string error;
  auto receive = factory.Open(bed.bed.ToolInterface(),
                              brevant::ReceiveCaptureOptions(TestBed::kToolMac), &error);
  auto send = factory.Open(bed.bed.ToolInterface(), brevant::SendCaptureOptions(), &error);
  if (!receive || !send) {
    state.SkipWithError(error.c_str());
    return;
  }
  brevant::LinkFrame frame;
  for (auto _ : state) {
    const auto start = Clock::now();
    send->Send(brevant::MakeDiscoveryRequest(TestBed::kToolMac));
    std::size_t answers = 0;
    while (answers < devices && receive->WaitReadable(start + kGiveUp)) {
      while (receive->Read(frame) == brevant::ReadStatus::Frame)
        ++answers;
    }
    state.SetIterationTime(std::chrono::duration<double>(Clock::now() - start).count());
    if (answers < devices) {
      state.SkipWithError(("only " + std::to_string(answers) + " answers").c_str());
      break;
    }
  }
  state.counters["devices"] = static_cast<double>(devices);
}

// Jobs at ~200 chunks/s each give the receive thread ~200 000 frames/s to route.
void BM_RouteToMailboxes(benchmark::State& state) {
  const int jobs = static_cast<int>(state.range(0));
  char folder[] = "/tmp/brevant-bench-XXXXXX";
  if (::mkdtemp(folder) == nullptr) {
    state.SkipWithError("mkdtemp failed");
    return;
  }
  {
    brevant::CSqlManagement store(std::string(folder) + "/data.db");
    brevant::AcTransmitManage link(store, std::make_shared<brevant::SysfsAdapterSource>(),
                                   brevant::MemorySegment::Create()->Station("eth0"));
    std::vector<brevant::LinkFrame> acks;
    std::vector<std::shared_ptr<brevant::FrameMailbox>> boxes;
    for (int i = 0; i < jobs; ++i) {
      const brevant::MacAddress device = {
          0x02, 0x62, 0, 0, static_cast<std::uint8_t>(i >> 8), static_cast<std::uint8_t>(i)};
      boxes.push_back(std::make_shared<brevant::FrameMailbox>());
      link.Attach(device, boxes.back());
      acks.push_back(
          brevant::MakeAcknowledgement(TestBed::kToolMac, device, brevant::PARA_DATA, 1));
    }
    // Stop-and-wait: each job takes its frame before the next one for it comes.
    std::size_t next = 0;
    for (auto _ : state) {
      link.DispatchForTesting(acks[next]);
      boxes[next]->WaitUntil(Clock::time_point::min());
      next = next + 1 == acks.size() ? 0 : next + 1;
    }
    state.SetItemsProcessed(state.iterations());
  }
  std::filesystem::remove_all(folder);
}

BENCHMARK(BM_RouteToMailboxes)->Arg(1000)->Iterations(2000000);

}  // namespace

int main(int argc, char** argv) {
  if (TestBed::IsRoot()) {
    for (const int devices : {10, 100, 1000}) {
      benchmark::RegisterBenchmark("BM_DiscoveryIntoStore", BM_DiscoveryIntoStore)
          ->Arg(devices)
          ->UseManualTime()
          ->Iterations(10)
          ->Unit(benchmark::kMillisecond);
    }
    for (const int devices : {10, 100, 1000}) {
      benchmark::RegisterBenchmark("BM_DevsimAnswers", BM_DevsimAnswers)
          ->Arg(devices)
          ->UseManualTime()
          ->Iterations(20)
          ->Unit(benchmark::kMillisecond);
    }
  } else {
    std::puts(
        "brevant_bench_discovery: the discovery benchmarks need root (they create network "
        "namespaces); measuring the routing alone");
  }
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv))
    return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
