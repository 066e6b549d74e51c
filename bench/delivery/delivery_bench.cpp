// Delivery on a veth pair between network namespaces of our own, side by
// side in one run:
//   (a) one device, a 1 MiB file through the whole delivery path (job, shared
//       send handle, devsim, receive thread, mailbox), against a raw pcap
//       ping-pong of 1024 frames of 1286 bytes (the floor) and a TFTP fetch
//       of the same file with 1024-byte blocks (atftp against tftpd-hpa);
//   (b) 10, 100 and 1000 devices each receiving 64 KiB at once: wall time
//       until every job has ended, CPU time, peak memory, failures.
// Each prints the context switches per chunk too: the wake-ups a chunk costs,
// the steadier figure on a busy machine.
// Goals: one device within 1.3 x the floor of the same run; 1000 devices in
// <= 0.6 s wall and <= 0.8 s CPU in the tool, no failure, < 300 MB.
// Needs root (namespaces); without it, says so and exits 0.
//
//   build/bench/brevant_bench_delivery [--runs N] [--devices N | --one-device]
//
// --one-device measures (a) alone. --devices N measures (b) alone for N
// devices and prints on standard error the CLOCK_MONOTONIC window of each run
// (for perf record -k CLOCK_MONOTONIC and perf report --time).

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "app/single_instance.h"
#include "link/capture.h"
#include "link/delivery.h"
#include "link/pcap_capture.h"
#include "link/result_log.h"
#include "link/transmit_manage.h"
#include "records/status_store.h"
#include "testbed.h"

extern char** environ;

namespace {

using brevant::testing::NamespaceEntry;
using brevant::testing::RunCommand;
using brevant::testing::TestBed;
using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;
using std::chrono::seconds;

constexpr std::size_t kBigFile = 1024 * 1024;
constexpr std::size_t kSmallFile = 64 * 1024;
constexpr int kPingPongs = 1024;
constexpr const char* kToolIp = "10.62.0.1";
constexpr const char* kDeviceIp = "10.62.0.2";
constexpr const char* kTftpPort = "6969";
// One device: the delivery within this many times the floor of the same run.
constexpr double kFloorGoal = 1.3;

std::string SwitchesText(double perChunk) {
  if (perChunk < 0)
    return "?";
  char text[32];
  std::snprintf(text, sizeof text, "%.2f", perChunk);
  return text;
}

double Seconds(Clock::duration d) {
  return std::chrono::duration<double>(d).count();
}

double Median(std::vector<double> values) {
  if (values.empty())
    return 0;
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

std::string Pattern(std::size_t size, unsigned seed) {
  std::string bytes(size, '\0');
  for (std::size_t i = 0; i < size; ++i)
    bytes[i] = static_cast<char>((i * 131 + seed * 17 + (i >> 10)) % 256);
  return bytes;
}

bool WriteFile(const std::filesystem::path& file, const std::string& bytes) {
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out);
}

brevant::MacAddress PatternDevice(int n) {
  return {0x02, 0x62, 0x00, 0x00, static_cast<std::uint8_t>(n >> 8), static_cast<std::uint8_t>(n)};
}

// A scratch folder, removed at the end.
struct Scratch {
  Scratch() {
    char pattern[] = "/tmp/brevant-bench-XXXXXX";
    if (::mkdtemp(pattern) != nullptr)
      path = pattern;
  }
  ~Scratch() {
    std::error_code ignored;
    if (!path.empty())
      std::filesystem::remove_all(path, ignored);
  }
  std::filesystem::path path;
};

double CpuSeconds(int who) {
  rusage usage{};
  ::getrusage(who, &usage);
  auto s = [](const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6; };
  return s(usage.ru_utime) + s(usage.ru_stime);
}

long MaxRssKiB() {
  rusage usage{};
  ::getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

// Our child brevant-devsim (ip netns exec hands over to it): its pid.
std::optional<pid_t> DevsimPid() {
  std::error_code error;
  for (std::filesystem::directory_iterator it("/proc", error), end; !error && it != end;
       it.increment(error)) {
    std::ifstream status(it->path() / "status");
    std::string line;
    std::string name;
    pid_t parent = -1;
    while (std::getline(status, line)) {
      if (line.rfind("Name:", 0) == 0)
        name = line.substr(line.find_first_not_of(" \t", 5));
      else if (line.rfind("PPid:", 0) == 0)
        parent = std::stoi(line.substr(5));
    }
    if (name == "brevant-devsim" && parent == ::getpid())
      return std::stoi(it->path().filename().string());
  }
  return std::nullopt;
}

// utime + stime of a process, in seconds: to the nanosecond from the
// scheduler's count of its main thread where the kernel keeps one (devsim has
// no other thread), else in clock ticks.
double ProcessCpuSeconds(pid_t pid) {
  {
    std::ifstream schedstat("/proc/" + std::to_string(pid) + "/schedstat");
    unsigned long long ns = 0;
    if (schedstat >> ns)
      return static_cast<double>(ns) / 1e9;
  }
  std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const auto close = text.rfind(')');
  if (close == std::string::npos)
    return 0;
  std::istringstream fields(text.substr(close + 2));
  std::string field;
  unsigned long utime = 0, stime = 0;
  for (int i = 3; fields >> field; ++i) {
    if (i == 14)
      utime = std::stoul(field);
    if (i == 15) {
      stime = std::stoul(field);
      break;
    }
  }
  return static_cast<double>(utime + stime) / static_cast<double>(::sysconf(_SC_CLK_TCK));
}

// Context switches of this process, every thread so far included (a thread
// switches once per sleep and once per preemption): the wake-ups that a chunk
// costs, steadier than time on a busy machine.
long ContextSwitches() {
  rusage usage{};
  ::getrusage(RUSAGE_SELF, &usage);
  return usage.ru_nvcsw + usage.ru_nivcsw;
}

// The same for a single-threaded process.
long ProcessContextSwitches(pid_t pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/status");
  std::string line;
  long total = 0;
  while (std::getline(in, line)) {
    if (line.rfind("voluntary_ctxt_switches:", 0) == 0 ||
        line.rfind("nonvoluntary_ctxt_switches:", 0) == 0)
      total += std::atol(line.c_str() + line.find(':') + 1);
  }
  return total;
}

// A bed with devsim on the far side, the link manager and store on ours.
class Bench {
 public:
  // The namespaces and the pair, this thread in the tool's namespace.
  bool Up(std::string* error) {
    if (scratch_.path.empty()) {
      *error = "no scratch folder";
      return false;
    }
    if (!bed_.Up(error))
      return false;
    inTool_ = bed_.EnterToolNamespace(error);
    return inTool_ != nullptr;
  }

  // devsim, then the link manager and the store.
  bool Start(const std::vector<std::string>& devsimOptions, std::string* error) {
    if (!bed_.StartDevsim(devsimOptions, error))
      return false;
    store_ = std::make_unique<brevant::CSqlManagement>(scratch_.path / "data.db");
    log_ = std::make_unique<brevant::ResultLog>(scratch_.path);
    link_ = std::make_unique<brevant::AcTransmitManage>(
        *store_, std::make_shared<brevant::SysfsAdapterSource>(),
        std::make_shared<brevant::PcapCaptureFactory>());
    link_->SetResultHandler([this](const brevant::LinkFrame& frame) {
      brevant::HandleDeviceResult(frame, *store_, *log_);
    });
    brevant::AdapterRecord record;
    record.kind = 1;
    record.name = bed_.ToolInterface();
    record.mac = TestBed::kToolMac;
    if (!link_->ApplyAdapter(record) || !link_->Init() || !link_->IsUp()) {
      *error = "the link did not come up: " + link_->LastOpenError();
      return false;
    }
    context_.link = link_.get();
    context_.store = store_.get();
    return true;
  }

  ~Bench() {
    brevant::WaitForDeliveryJobs(Clock::now() + seconds(30));
    link_.reset();
    inTool_.reset();
    bed_.Down();
  }

  bool Discover(std::size_t count) {
    store_->DeleteAllDevices();
    link_->ClearDevices();
    link_->SendDiscover();
    const auto deadline = Clock::now() + seconds(20);
    while (link_->DeviceCount() < count && Clock::now() < deadline)
      std::this_thread::sleep_for(milliseconds(5));
    return link_->DeviceCount() == count;
  }

  // Marks every device busy and fills its job, as the pages do; then, timed,
  // starts one configuration delivery per file and waits until all have ended.
  std::optional<Clock::duration> DeliverAll(const std::vector<std::string>& files) {
    std::vector<brevant::DeliveryJob> jobs;
    for (std::size_t i = 0; i < files.size(); ++i) {
      brevant::DeliveryJob job;
      job.destination = PatternDevice(static_cast<int>(i) + 1);
      job.source = link_->AdapterMac();
      job.kind = brevant::KIND_CONFIG;
      job.configPath = files[i];
      store_->SetParaStatus(brevant::DeviceMacText(job.destination), brevant::OPERATING);
      jobs.push_back(std::move(job));
    }
    const auto start = Clock::now();
    for (auto& job : jobs) {
      if (!brevant::StartDeliveryJob(std::move(job), context_))
        return std::nullopt;
    }
    if (!brevant::WaitForDeliveryJobs(start + seconds(60)))
      return std::nullopt;
    return Clock::now() - start;
  }

  // Devices whose configuration status is neither 4 nor 2.
  int Failures(std::size_t count) {
    std::vector<brevant::ap_info_stu> rows;
    int rowCount = 0, success = 0, fail = 0;
    store_->QueryDevices(true, brevant::SORT_BY_MAC, "", rows, rowCount, success, fail);
    int failures = static_cast<int>(count) - static_cast<int>(rows.size());
    for (const auto& row : rows) {
      if (row.paraStatus != brevant::TRANSMIT_FINISH && row.paraStatus != brevant::OPERATE_SUCCESS)
        ++failures;
    }
    return failures;
  }

  TestBed& bed() { return bed_; }
  const std::filesystem::path& scratch() const { return scratch_.path; }

 private:
  Scratch scratch_;
  TestBed bed_;
  std::unique_ptr<NamespaceEntry> inTool_;
  std::unique_ptr<brevant::CSqlManagement> store_;
  std::unique_ptr<brevant::ResultLog> log_;
  std::unique_ptr<brevant::AcTransmitManage> link_;
  brevant::DeliveryContext context_;
};

// 1024 frames of 1286 bytes bounced between the namespaces through two pcap
// handles made as the link manager makes its own: the floor of any
// stop-and-wait over this wire.
std::optional<Clock::duration> PingPong(const TestBed& bed, std::string* error,
                                        double* cpu = nullptr) {
  brevant::PcapCaptureFactory factory;
  const brevant::MacAddress device = {0x02, 0x62, 0x00, 0x00, 0xFF, 0xFE};
  std::unique_ptr<brevant::CaptureEndpoint> far;
  {
    const auto inDevices = bed.EnterDeviceNamespace(error);
    if (!inDevices)
      return std::nullopt;
    brevant::CaptureOptions options;
    options.filter = brevant::DeviceFilterText(TestBed::kToolMac);
    options.inboundOnly = true;
    far = factory.Open(bed.DeviceInterface(), options, error);
  }
  std::unique_ptr<brevant::CaptureEndpoint> near;
  {
    const auto inTool = bed.EnterToolNamespace(error);
    if (!inTool)
      return std::nullopt;
    near =
        factory.Open(bed.ToolInterface(), brevant::ReceiveCaptureOptions(TestBed::kToolMac), error);
  }
  if (!far || !near)
    return std::nullopt;
  std::atomic<bool> stop{false};
  std::thread echo([&] {
    brevant::LinkFrame frame;
    while (!stop) {
      if (!far->WaitReadable(Clock::now() + milliseconds(100)))
        continue;
      while (far->Read(frame) == brevant::ReadStatus::Frame) {
        frame.setDestination(TestBed::kToolMac);
        frame.setSource(device);
        far->Send(frame);
      }
    }
  });
  const std::string data = Pattern(brevant::kChunkDataSize, 1);
  const brevant::LinkFrame ping = brevant::MakeDataChunk(
      brevant::MakeTransferTemplate(device, TestBed::kToolMac, brevant::PARA_DATA,
                                    brevant::OP_PARA_CHUNK, 1),
      1, brevant::CHUNK_MIDDLE,
      std::span(reinterpret_cast<const std::uint8_t*>(data.data()), data.size()));
  brevant::LinkFrame pong;
  int done = 0;
  const double cpuBefore = CpuSeconds(RUSAGE_SELF);
  const auto start = Clock::now();
  for (; done < kPingPongs; ++done) {
    near->Send(ping);
    bool got = false;
    while (!got && near->WaitReadable(Clock::now() + seconds(1)))
      got = near->Read(pong) == brevant::ReadStatus::Frame;
    if (!got)
      break;
  }
  const auto took = Clock::now() - start;
  if (cpu != nullptr)
    *cpu = CpuSeconds(RUSAGE_SELF) - cpuBefore;
  stop = true;
  far->Interrupt();
  echo.join();
  if (done < kPingPongs) {
    *error = "ping-pong lost a frame after " + std::to_string(done);
    return std::nullopt;
  }
  return took;
}

// tftpd-hpa in the devices' namespace, in the foreground, serving one folder.
class TftpServer {
 public:
  TftpServer(TestBed& bed, const std::filesystem::path& folder, std::string* error) {
    const auto inDevices = bed.EnterDeviceNamespace(error);
    if (!inDevices)
      return;
    const std::string address = std::string(kDeviceIp) + ":" + kTftpPort;
    std::vector<std::string> args = {"in.tftpd", "-L", "-s", folder.string(), "-a", address};
    std::vector<char*> argv;
    for (auto& a : args)
      argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    // The child takes this thread's network namespace.
    const int rc = ::posix_spawnp(&pid_, "in.tftpd", &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) {
      pid_ = -1;
      *error =
          std::string("in.tftpd: ") + std::strerror(rc) + " (scripts/setup installs tftpd-hpa)";
    }
  }
  ~TftpServer() {
    if (pid_ <= 0)
      return;
    ::kill(pid_, SIGTERM);
    int status = 0;
    const auto deadline = Clock::now() + seconds(5);
    while (::waitpid(pid_, &status, WNOHANG) == 0) {
      if (Clock::now() >= deadline) {
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, &status, 0);
        break;
      }
      std::this_thread::sleep_for(milliseconds(5));
    }
  }
  bool ok() const { return pid_ > 0; }

 private:
  pid_t pid_ = -1;
};

// One atftp fetch from the tool's namespace (this thread is in it); the
// wall time of the client, start-up included.
std::optional<Clock::duration> TftpFetch(const std::string& name, const std::filesystem::path& to,
                                         std::string* error) {
  std::error_code ignored;
  std::filesystem::remove(to, ignored);
  const auto start = Clock::now();
  std::string output;
  const int status = RunCommand({"atftp", "--get", "-r", name, "-l", to.string(), "--option",
                                 "blksize 1024", kDeviceIp, kTftpPort},
                                milliseconds(10000), &output);
  const auto took = Clock::now() - start;
  if (status != 0) {
    *error = "atftp: " + output;
    return std::nullopt;
  }
  return took;
}

struct OneDevice {
  double floor = 0;      // s for 1024 round trips
  double delivery = 0;   // s for 1 MiB
  double tftpFull = 0;   // s for 1 MiB, client start-up included
  double tftpStart = 0;  // s for a one-block file: start-up and one round trip
  int deliveryFailures = 0;
  double toolSwitches = 0;    // per chunk of the delivery
  double devsimSwitches = 0;  // per chunk; -1: unknown
  double toolCpu = 0;         // s per chunk
  double devsimCpu = 0;       // s per chunk
  double floorCpu = 0;        // s per round trip, both ends
};

bool RunOneDevice(int runs, OneDevice& result, std::string* error) {
  // The floor on a pair of its own, where nothing else listens; the delivery
  // and TFTP on the other. The three take turns in every run, so a machine
  // that gets busier meanwhile weighs on all of them alike.
  TestBed floorBed;
  if (!floorBed.Up(error))
    return false;
  Bench bench;
  if (!bench.Up(error) || !bench.Start({"--count", "1"}, error))
    return false;
  if (!bench.Discover(1)) {
    *error = "the device was not discovered";
    return false;
  }
  const std::string content = Pattern(kBigFile, 7);
  const auto file = bench.scratch() / "config.bin";
  if (!WriteFile(file, content)) {
    *error = "cannot write " + file.string();
    return false;
  }

  // TFTP over IPv4 between the same namespaces as the delivery.
  auto& bed = bench.bed();
  if (!bed.IpInTool({"addr", "add", std::string(kToolIp) + "/24", "dev", bed.ToolInterface()},
                    error) ||
      !bed.IpInDevices(
          {"addr", "add", std::string(kDeviceIp) + "/24", "dev", bed.DeviceInterface()}, error))
    return false;
  Scratch served;
  ::chmod(served.path.c_str(), 0755);  // the server reads as nobody
  if (!WriteFile(served.path / "big.bin", content) || !WriteFile(served.path / "one.bin", "x")) {
    *error = "cannot write the TFTP files";
    return false;
  }
  ::chmod((served.path / "big.bin").c_str(), 0644);
  ::chmod((served.path / "one.bin").c_str(), 0644);
  TftpServer server(bed, served.path, error);
  if (!server.ok())
    return false;
  Scratch fetched;
  // The server needs a moment to bind its socket.
  const auto ready = Clock::now() + seconds(5);
  while (!TftpFetch("one.bin", fetched.path / "one.bin", error)) {
    if (Clock::now() >= ready)
      return false;
    std::this_thread::sleep_for(milliseconds(50));
  }

  const auto devsim = DevsimPid();
  std::vector<double> floors, deliveries, fulls, starts, toolSwitches, devsimSwitches, toolCpu,
      devsimCpu, floorCpu;
  for (int run = 0; run < runs; ++run) {
    double pingPongCpu = 0;
    const auto floor = PingPong(floorBed, error, &pingPongCpu);
    if (!floor)
      return false;
    floorCpu.push_back(pingPongCpu / kPingPongs);
    floors.push_back(Seconds(*floor));

    const long toolBefore = ContextSwitches();
    const long devsimBefore = devsim ? ProcessContextSwitches(*devsim) : 0;
    const double toolCpuBefore = CpuSeconds(RUSAGE_SELF);
    const double devsimCpuBefore = devsim ? ProcessCpuSeconds(*devsim) : 0;
    const auto delivery = bench.DeliverAll({file.string()});
    const double chunks = static_cast<double>(kBigFile / 1024);
    toolSwitches.push_back(static_cast<double>(ContextSwitches() - toolBefore) / chunks);
    devsimSwitches.push_back(
        devsim ? static_cast<double>(ProcessContextSwitches(*devsim) - devsimBefore) / chunks : -1);
    toolCpu.push_back((CpuSeconds(RUSAGE_SELF) - toolCpuBefore) / chunks);
    devsimCpu.push_back(devsim ? (ProcessCpuSeconds(*devsim) - devsimCpuBefore) / chunks : 0);
    if (!delivery || bench.Failures(1) != 0)
      ++result.deliveryFailures;
    else
      deliveries.push_back(Seconds(*delivery));

    const auto full = TftpFetch("big.bin", fetched.path / "big.bin", error);
    const auto one = TftpFetch("one.bin", fetched.path / "one.bin", error);
    if (!full || !one)
      return false;
    std::ifstream got(fetched.path / "big.bin", std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(got)),
                            std::istreambuf_iterator<char>());
    if (bytes != content) {
      *error = "the TFTP copy differs from the file";
      return false;
    }
    fulls.push_back(Seconds(*full));
    starts.push_back(Seconds(*one));
  }
  result.floor = Median(floors);
  result.delivery = Median(deliveries);
  result.tftpFull = Median(fulls);
  result.tftpStart = Median(starts);
  result.toolSwitches = Median(toolSwitches);
  result.devsimSwitches = Median(devsimSwitches);
  result.toolCpu = Median(toolCpu);
  result.devsimCpu = Median(devsimCpu);
  result.floorCpu = Median(floorCpu);
  return true;
}

struct ManyDevices {
  int devices = 0;
  double wall = 0;
  double cpu = 0;
  double devsimCpu = 0;
  double toolSwitches = 0;    // per chunk
  double devsimSwitches = 0;  // per chunk; -1: unknown
  long maxRssKiB = 0;
  int failures = 0;
  long resent = -1;  // chunks sent again; -1: unknown
  bool ended = false;
  Clock::time_point from, to;  // the measured window
};

bool RunManyDevices(int devices, ManyDevices& result, std::string* error) {
  result.devices = devices;
  Bench bench;
  if (!bench.Up(error) || !bench.Start({"--count", std::to_string(devices)}, error))
    return false;
  if (!bench.Discover(static_cast<std::size_t>(devices))) {
    *error = "not every device was discovered";
    return false;
  }
  std::vector<std::string> files;
  for (int n = 1; n <= devices; ++n) {
    const auto file = bench.scratch() / ("config-" + std::to_string(n) + ".json");
    if (!WriteFile(file, Pattern(kSmallFile, static_cast<unsigned>(n)))) {
      *error = "cannot write " + file.string();
      return false;
    }
    files.push_back(file.string());
  }
  const auto devsim = DevsimPid();
  const double devsimBefore = devsim ? ProcessCpuSeconds(*devsim) : 0;
  const double cpuBefore = CpuSeconds(RUSAGE_SELF);
  const long switchesBefore = ContextSwitches();
  const long devsimSwitchesBefore = devsim ? ProcessContextSwitches(*devsim) : 0;
  result.from = Clock::now();
  const auto took = bench.DeliverAll(files);
  result.to = Clock::now();
  result.cpu = CpuSeconds(RUSAGE_SELF) - cpuBefore;
  result.devsimCpu = devsim ? ProcessCpuSeconds(*devsim) - devsimBefore : 0;
  const long chunks = static_cast<long>(devices) * static_cast<long>(kSmallFile / 1024);
  result.toolSwitches =
      static_cast<double>(ContextSwitches() - switchesBefore) / static_cast<double>(chunks);
  result.devsimSwitches =
      devsim ? static_cast<double>(ProcessContextSwitches(*devsim) - devsimSwitchesBefore) /
                   static_cast<double>(chunks)
             : -1;
  result.maxRssKiB = MaxRssKiB();
  result.ended = took.has_value();
  result.wall = took ? Seconds(*took) : 0;
  result.failures = bench.Failures(static_cast<std::size_t>(devices));
  // Chunks sent more than once: devsim counts every frame it got.
  bench.bed().StopDevsim();
  const std::string said = bench.bed().DevsimOutput();
  const auto at = said.find("stopped; ");
  if (at != std::string::npos) {
    const long framesIn = std::atol(said.c_str() + at + 9);
    result.resent = framesIn - chunks - 1;  // and the one discovery request
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  int runs = 5;
  int only = 0;
  bool oneOnly = false;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--runs") == 0 && i + 1 < argc) {
      runs = std::max(1, std::atoi(argv[++i]));
    } else if (std::strcmp(argv[i], "--devices") == 0 && i + 1 < argc) {
      only = std::max(1, std::atoi(argv[++i]));
    } else if (std::strcmp(argv[i], "--one-device") == 0) {
      oneOnly = true;
    } else {
      std::fprintf(stderr, "usage: %s [--runs N] [--devices N | --one-device]\n", argv[0]);
      return 2;
    }
  }
  if (!TestBed::IsRoot()) {
    std::puts(
        "brevant_bench_delivery: needs root (it creates network namespaces and a veth pair); "
        "nothing measured");
    return 0;
  }
  // As the tool does at start: 1000 jobs hold 1000 open files at once.
  brevant::RaiseOpenFileLimit();
  signal(SIGPIPE, SIG_IGN);

  double load[1] = {0};
  ::getloadavg(load, 1);
  std::printf(
      "Delivery on a veth pair between two namespaces, %ld cores, median of %d runs "
      "(load average %.2f at start)\n\n",
      ::sysconf(_SC_NPROCESSORS_ONLN), runs, load[0]);
  bool allMet = true;

  OneDevice one;
  std::string error;
  if (only != 0) {
    // Only (b), for one number of devices: for profiling.
  } else if (!RunOneDevice(runs, one, &error)) {
    std::printf("(a) one device: not measured: %s\n\n", error.c_str());
    allMet = false;
  } else {
    const double tftp = one.tftpFull - one.tftpStart;
    const double toFloor = one.floor > 0 ? one.delivery / one.floor : 0;
    const double toTftp = tftp > 0 ? one.delivery / tftp : 0;
    const bool met = one.deliveryFailures == 0 && one.delivery > 0 && toFloor <= kFloorGoal;
    allMet = allMet && met;
    std::printf("(a) one device, 1 MiB = 1024 chunks of 1024 bytes\n");
    std::printf("  %-52s %9s %14s\n", "path", "time ms", "per second");
    std::printf("  %-52s %9.1f %10.0f rtt\n", "raw pcap ping-pong, 1024 frames of 1286 bytes",
                one.floor * 1e3, kPingPongs / one.floor);
    std::printf("  %-52s %9.1f %10.0f chunks\n", "Brevant delivery (StartDeliveryJob, devsim)",
                one.delivery * 1e3, 1024 / one.delivery);
    std::printf("  %-52s %9.1f %10.0f blocks\n", "TFTP atftp <- tftpd-hpa, blksize 1024",
                tftp * 1e3, 1025 / tftp);
    std::printf("  %-52s %9.1f\n", "  (atftp start-up + 1 block, taken off the above)",
                one.tftpStart * 1e3);
    std::printf("  delivery / floor %.2f, delivery / TFTP %.2f\n", toFloor, toTftp);
    std::printf(
        "  CPU per round trip: floor %.1f us (both ends), delivery %.1f us tool + %.1f us "
        "devsim\n",
        one.floorCpu * 1e6, one.toolCpu * 1e6, one.devsimCpu * 1e6);
    std::printf("  context switches per chunk: tool %.2f, devsim %s\n", one.toolSwitches,
                SwitchesText(one.devsimSwitches).c_str());
    std::printf("  goal: delivery <= %.1f x the floor = %.1f ms: %s%s\n\n", kFloorGoal,
                kFloorGoal * one.floor * 1e3, met ? "met" : "MISSED",
                one.deliveryFailures != 0
                    ? (" (" + std::to_string(one.deliveryFailures) + " runs failed)").c_str()
                    : "");
  }

  if (oneOnly)
    return 0;
  std::printf("(b) N devices, 64 KiB each, all jobs started at once\n");
  std::printf("  %7s %9s %8s %12s %14s %11s %9s %8s %s\n", "devices", "wall s", "best s",
              "CPU s tool", "CPU s devsim", "max RSS MB", "failures", "re-sent", "goal");
  const std::vector<int> counts =
      only != 0 ? std::vector<int>{only} : std::vector<int>{10, 100, 1000};
  std::string switchLine;
  for (const int devices : counts) {
    std::vector<double> walls, cpus, devsimCpus, toolSwitches, devsimSwitches;
    ManyDevices total;
    total.ended = true;
    total.resent = 0;
    for (int run = 0; run < runs; ++run) {
      ManyDevices many;
      if (!RunManyDevices(devices, many, &error)) {
        total.ended = false;
        break;
      }
      walls.push_back(many.wall);
      cpus.push_back(many.cpu);
      devsimCpus.push_back(many.devsimCpu);
      toolSwitches.push_back(many.toolSwitches);
      devsimSwitches.push_back(many.devsimSwitches);
      total.maxRssKiB = std::max(total.maxRssKiB, many.maxRssKiB);
      total.failures += many.failures;
      total.resent = many.resent < 0 || total.resent < 0 ? -1 : total.resent + many.resent;
      total.ended = total.ended && many.ended;
      if (only != 0) {
        // For perf record -k CLOCK_MONOTONIC ... and perf report --time FROM,TO.
        std::fprintf(stderr, "window %.6f,%.6f\n", Seconds(many.from.time_since_epoch()),
                     Seconds(many.to.time_since_epoch()));
      }
    }
    if (static_cast<int>(walls.size()) < runs) {
      std::printf("  %7d not measured: %s\n", devices, error.c_str());
      allMet = false;
      continue;
    }
    const double wall = Median(walls);
    std::string goal = "-";
    if (devices == 1000) {
      const bool met = total.ended && wall <= 0.6 && Median(cpus) <= 0.8 && total.failures == 0 &&
                       total.maxRssKiB < 300 * 1024;
      allMet = allMet && met;
      goal =
          std::string(met ? "met" : "MISSED") + " (<= 0.6 s, <= 0.8 s CPU, no failure, < 300 MB)";
    }
    char switches[96];
    std::snprintf(switches, sizeof switches, "%s%d devices: tool %.2f, devsim %s",
                  switchLine.empty() ? "" : "; ", devices, Median(toolSwitches),
                  SwitchesText(Median(devsimSwitches)).c_str());
    switchLine += switches;
    std::printf("  %7d %9.3f %8.3f %12.2f %14.2f %11.1f %9d %8ld %s%s\n", devices, wall,
                *std::min_element(walls.begin(), walls.end()), Median(cpus), Median(devsimCpus),
                total.maxRssKiB / 1024.0, total.failures, total.resent, goal.c_str(),
                total.ended ? "" : " (jobs still running after 60 s)");
  }
  if (!switchLine.empty())
    std::printf("  context switches per chunk: %s\n", switchLine.c_str());
  std::printf("\n%s\n", allMet ? "all goals met" : "a goal was missed");
  return 0;
}
