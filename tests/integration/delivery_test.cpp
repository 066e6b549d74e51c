// Deliveries over a veth pair against brevant-devsim: the real link manager
// with its one receive handle, libpcap, the store on a file and the result
// logs in a folder, with the protocol's own timing.

#include <gtest/gtest.h>
#include <pcap/pcap.h>
#include <poll.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "link/delivery.h"
#include "link/pcap_capture.h"
#include "link/result_log.h"
#include "link/transmit_manage.h"
#include "records/status_store.h"
#include "support/temp_dir.h"
#include "testbed_fixture.h"

namespace brevant {
namespace {

using std::chrono::milliseconds;
using std::chrono::seconds;
using testing::ReadBytes;
using testing::TestBed;
using Clock = std::chrono::steady_clock;

std::string Pattern(std::size_t size, unsigned seed = 0) {
  std::string bytes(size, '\0');
  for (std::size_t i = 0; i < size; ++i)
    bytes[i] = static_cast<char>((i * 131 + seed * 17 + (i >> 10)) % 256);
  return bytes;
}

// devsim's pattern devices: 02:62:00:00:00:01 and counting up.
MacAddress PatternDevice(int n) {
  return {0x02, 0x62, 0x00, 0x00, static_cast<std::uint8_t>(n >> 8), static_cast<std::uint8_t>(n)};
}

std::string Hex(const MacAddress& mac) {
  std::string text = DeviceMacText(mac);
  std::erase(text, ':');
  return text;
}

// Every frame the tool sends, as the devices' end of the pair receives it,
// with the kernel's time stamp of its arrival: the time it was sent, give or
// take the kernel's own hand-over, however late this process reads it.
class WireTap {
 public:
  struct Seen {
    LinkFrame frame;
    std::size_t wireLength;
    std::chrono::microseconds at;  // the capture time stamp
  };

  WireTap(const TestBed& bed, std::string* error) {
    // The handle belongs to the namespace it is opened in; the thread that
    // reads it may be anywhere.
    const auto inDevices = bed.EnterDeviceNamespace(error);
    if (!inDevices)
      return;
    char message[PCAP_ERRBUF_SIZE] = {};
    pcap_t* handle = pcap_create(bed.DeviceInterface().c_str(), message);
    if (handle == nullptr) {
      *error = message;
      return;
    }
    bpf_program program{};
    const std::string filter = DeviceFilterText(TestBed::kToolMac);
    const bool ready = pcap_set_snaplen(handle, 2048) == 0 &&
                       pcap_set_immediate_mode(handle, 1) == 0 &&
                       pcap_set_buffer_size(handle, 4 * 1024 * 1024) == 0 &&
                       pcap_activate(handle) == 0 && pcap_setdirection(handle, PCAP_D_IN) == 0 &&
                       pcap_compile(handle, &program, filter.c_str(), 1, PCAP_NETMASK_UNKNOWN) == 0;
    const bool filtered = ready && pcap_setfilter(handle, &program) == 0;
    if (ready)
      pcap_freecode(&program);
    if (!filtered || pcap_setnonblock(handle, 1, message) != 0) {
      *error = std::string("tap on ") + bed.DeviceInterface() + ": " + pcap_geterr(handle);
      pcap_close(handle);
      return;
    }
    pcap_ = handle;
    reader_ = std::thread([this] { Read(); });
  }
  ~WireTap() {
    stop_ = true;
    if (reader_.joinable())
      reader_.join();
    if (pcap_ != nullptr)
      pcap_close(pcap_);
  }
  bool ok() const { return pcap_ != nullptr; }

  // The data chunks and commands seen, once at least `expected` of them have
  // been read (or after 10 s): the tap's thread may lag behind the wire on a
  // busy machine. The kernel keeps the order, so a frame sent twice comes
  // before the last one and is among them.
  std::vector<Seen> Transfers(std::size_t expected) const {
    std::unique_lock lock(mutex_);
    std::vector<Seen> out;
    read_.wait_for(lock, std::chrono::seconds(10), [&] {
      out.clear();
      for (const auto& s : seen_) {
        if (s.frame.category() != DISCOVERY)
          out.push_back(s);
      }
      return out.size() >= expected;
    });
    return out;
  }

 private:
  void Read() {
    pollfd readable{pcap_get_selectable_fd(pcap_), POLLIN, 0};
    while (!stop_) {
      ::poll(&readable, 1, 50);
      pcap_pkthdr* header = nullptr;
      const u_char* data = nullptr;
      while (pcap_next_ex(pcap_, &header, &data) == 1) {
        const auto at =
            std::chrono::seconds(header->ts.tv_sec) + std::chrono::microseconds(header->ts.tv_usec);
        {
          std::lock_guard lock(mutex_);
          seen_.push_back({LinkFrame::FromBytes(data, header->caplen), header->len, at});
        }
        read_.notify_all();
      }
    }
  }

  pcap_t* pcap_ = nullptr;
  std::thread reader_;
  std::atomic<bool> stop_{false};
  mutable std::mutex mutex_;
  mutable std::condition_variable read_;
  std::vector<Seen> seen_;
};

class DeliveryTest : public testing::TestBedTest {
 protected:
  void SetUp() override {
    TestBedTest::SetUp();
    if (IsSkipped() || HasFatalFailure())
      return;
    store_ = std::make_unique<CSqlManagement>(temp_ / "data.db");
    log_ = std::make_unique<ResultLog>(temp_ / "bundle");
    link_ = std::make_unique<AcTransmitManage>(*store_, std::make_shared<SysfsAdapterSource>(),
                                               std::make_shared<PcapCaptureFactory>());
    link_->SetResultHandler(
        [this](const LinkFrame& frame) { HandleDeviceResult(frame, *store_, *log_); });
    AdapterRecord record;
    record.kind = 1;
    record.name = bed_.ToolInterface();
    record.mac = TestBed::kToolMac;
    std::string message;
    ASSERT_TRUE(link_->ApplyAdapter(record, &message)) << message;
    ASSERT_TRUE(link_->Init());
    ASSERT_TRUE(link_->IsUp()) << link_->LastOpenError();
    context_.link = link_.get();
    context_.store = store_.get();
  }

  void TearDown() override {
    // A job still running uses the link: let every one end first.
    if (link_) {
      EXPECT_TRUE(WaitForDeliveryJobs(Clock::now() + seconds(20)));
      ExpectNoProtocolErrors();
    }
    tap_.reset();
    link_.reset();
    TestBedTest::TearDown();
  }

  // devsim with its files going below our folder.
  void StartDevices(std::vector<std::string> options) {
    options.insert(options.begin(), {"--out", devsimOut().string()});
    StartDevsim(options);
  }

  // Discovery puts the devices into the store, as before any delivery.
  void Discover(std::size_t count) {
    link_->SendDiscover();
    const auto deadline = Clock::now() + seconds(10);
    while (link_->DeviceCount() < count && Clock::now() < deadline)
      std::this_thread::sleep_for(milliseconds(5));
    ASSERT_EQ(link_->DeviceCount(), count);
  }

  void Tap() {
    std::string error;
    tap_ = std::make_unique<WireTap>(bed_, &error);
    ASSERT_TRUE(tap_->ok()) << error;
  }

  DeliveryJob Job(const MacAddress& device, std::int32_t kind) const {
    DeliveryJob job;
    job.destination = device;
    job.source = link_->AdapterMac();
    job.kind = kind;
    return job;
  }

  // Marks the kinds busy, as the pages do, and starts the job.
  void Start(const DeliveryJob& job) {
    const std::string mac = DeviceMacText(job.destination);
    if (job.kind == KIND_LOGO || job.kind == KIND_LOGO_AND_CONFIG)
      store_->SetLogoStatus(mac, OPERATING);
    if (job.kind == KIND_CONFIG || job.kind == KIND_LOGO_AND_CONFIG)
      store_->SetParaStatus(mac, OPERATING);
    if (job.kind == KIND_COMMAND)
      store_->SetAntiTheftStatus(mac, OPERATING);
    std::string error;
    ASSERT_TRUE(StartDeliveryJob(job, context_, &error)) << error;
  }

  // Devices started with --hold-results or hold=yes send what they hold.
  void ReleaseResults() { ASSERT_TRUE(bed_.ReleaseDevsimResults()); }

  void WaitForJobs(seconds limit = seconds(20)) {
    ASSERT_TRUE(WaitForDeliveryJobs(Clock::now() + limit)) << "jobs still running";
  }

  ap_info_stu Row(const MacAddress& device) {
    std::vector<ap_info_stu> rows;
    int count = 0, success = 0, fail = 0;
    store_->QueryDevices(true, SORT_BY_MAC, "", rows, count, success, fail);
    const std::string mac = DeviceMacText(device);
    for (auto& row : rows) {
      if (row.mac == mac)
        return row;
    }
    ADD_FAILURE() << mac << " is not in the store";
    return {};
  }

  // Waits until the field holds the code; the value it holds at the end.
  std::int32_t WaitForCode(const MacAddress& device, std::int32_t ap_info_stu::*field,
                           std::int32_t code, milliseconds limit = milliseconds(10000)) {
    const auto deadline = Clock::now() + limit;
    for (;;) {
      const std::int32_t now = Row(device).*field;
      if (now == code || Clock::now() >= deadline)
        return now;
      std::this_thread::sleep_for(milliseconds(10));
    }
  }

  std::filesystem::path devsimOut() const { return temp_ / "devsim"; }
  std::filesystem::path Received(const MacAddress& device, const char* kind) const {
    return devsimOut() / Hex(device) / kind;
  }

  // The folder of the day's result logs: the only one there is.
  std::filesystem::path DayFolder() const {
    std::error_code error;
    for (const auto& day : std::filesystem::directory_iterator(temp_ / "bundle" / "Log", error))
      return day.path();
    return {};
  }
  std::string ResultLogText(const char* file) const { return ReadBytes(DayFolder() / file); }

  void ExpectNoProtocolErrors() const {
    std::error_code error;
    for (std::filesystem::recursive_directory_iterator it(devsimOut(), error), end;
         !error && it != end; it.increment(error)) {
      if (it->path().filename() == "errors.txt")
        ADD_FAILURE() << it->path() << ":\n" << ReadBytes(it->path());
    }
  }

  std::string WriteFile(const std::string& name, const std::string& bytes) {
    return temp_.Write(name, bytes).string();
  }

  brevant::testing::TempDir temp_;
  std::unique_ptr<CSqlManagement> store_;
  std::unique_ptr<ResultLog> log_;
  std::unique_ptr<AcTransmitManage> link_;
  std::unique_ptr<WireTap> tap_;
  DeliveryContext context_;
};

struct ChunkingCase {
  std::size_t size;
  std::vector<std::uint16_t> flags;
  std::vector<std::uint16_t> lengths;
};

class ChunkingOnTheWire : public DeliveryTest,
                          public ::testing::WithParamInterface<ChunkingCase> {};

TEST_P(ChunkingOnTheWire, AFileArrivesByteExactInNumberedChunks) {
  const auto& c = GetParam();
  StartDevices({"--count", "1", "--hold-results"});
  Discover(1);
  Tap();
  const MacAddress device = PatternDevice(1);
  const std::string content = Pattern(c.size);
  DeliveryJob job = Job(device, KIND_CONFIG);
  job.configPath = WriteFile("config.xml", content);
  Start(job);
  WaitForJobs();
  EXPECT_EQ(Row(device).paraStatus, TRANSMIT_FINISH) << "the device holds its result";
  ReleaseResults();
  EXPECT_EQ(WaitForCode(device, &ap_info_stu::paraStatus, OPERATE_SUCCESS), OPERATE_SUCCESS);

  EXPECT_EQ(ReadBytes(Received(device, "PARA_DATA")), content);
  const auto frames = tap_->Transfers(c.flags.size());
  ASSERT_EQ(frames.size(), c.flags.size());
  for (std::size_t i = 0; i < frames.size(); ++i) {
    const LinkFrame& f = frames[i].frame;
    EXPECT_EQ(frames[i].wireLength, kFrameSize);
    EXPECT_EQ(f.destination(), device);
    EXPECT_EQ(f.source(), TestBed::kToolMac);
    EXPECT_EQ(f.category(), PARA_DATA);
    EXPECT_EQ(f.opcode(), OP_PARA_CHUNK);
    EXPECT_EQ(f.transferCount(), 1);
    EXPECT_EQ(f.sequence(), i + 1);
    EXPECT_EQ(f.chunkFlag(), c.flags[i]) << "chunk " << i + 1;
    EXPECT_EQ(f.dataLength(), c.lengths[i]) << "chunk " << i + 1;
  }
  const std::string line = DeviceMacText(device) + "\tPARA_DATA\t";
  const std::string success = ResultLogText("Success.txt");
  EXPECT_EQ(success.rfind(std::string(ResultLog::kHeader) + "\r\n" + line, 0), 0u) << success;
}

INSTANTIATE_TEST_SUITE_P(Files, ChunkingOnTheWire,
                         ::testing::Values(ChunkingCase{3000, {1, 0, 2}, {1024, 1024, 952}},
                                           ChunkingCase{0, {2}, {0}}),
                         [](const auto& c) { return "Bytes" + std::to_string(c.param.size); });

TEST_F(DeliveryTest, AcknowledgementsWithFFFFCompleteATransfer) {
  StartDevices({"--count", "1", "--ack", "ffff", "--hold-results"});
  Discover(1);
  Tap();
  const MacAddress device = PatternDevice(1);
  const std::string content = Pattern(5000, 1);
  DeliveryJob job = Job(device, KIND_LOGO);
  job.logoPath = WriteFile("logo.png", content);
  Start(job);
  WaitForJobs();
  EXPECT_EQ(Row(device).logoStatus, TRANSMIT_FINISH);
  ReleaseResults();
  EXPECT_EQ(WaitForCode(device, &ap_info_stu::logoStatus, OPERATE_SUCCESS), OPERATE_SUCCESS);
  EXPECT_EQ(ReadBytes(Received(device, "LOG_DATA")), content);
  EXPECT_EQ(tap_->Transfers(5).size(), 5u) << "each chunk once";
}

// What the kernel's hand-over of a frame to the tap may add to its time
// stamp; the times compared are seconds apart.
constexpr auto kStampSlack = milliseconds(50);

TEST_F(DeliveryTest, ASilentDeviceGetsTheChunkFiveTimesASecondApartThenFails) {
  StartDevices({"--count", "1", "--ack", "never"});
  Discover(1);
  Tap();
  const MacAddress device = PatternDevice(1);
  DeliveryJob job = Job(device, KIND_CONFIG);
  job.configPath = WriteFile("config.xml", Pattern(3000));
  const auto start = Clock::now();
  Start(job);
  WaitForJobs(seconds(30));
  const auto end = Clock::now();
  EXPECT_EQ(Row(device).paraStatus, TRANSMIT_FAIL);

  const auto frames = tap_->Transfers(5);
  ASSERT_EQ(frames.size(), 5u);
  // The job counts the silence since the first sending: the i-th repetition
  // comes i seconds after it at the earliest, however late one wake-up was.
  for (std::size_t i = 0; i < frames.size(); ++i) {
    EXPECT_EQ(frames[i].frame, frames[0].frame) << "the same first chunk";
    EXPECT_GE(frames[i].at - frames[0].at, seconds(i) - kStampSlack) << "sending " << i + 1;
  }
  // The fifth second of silence ends it.
  EXPECT_GE(end - start, seconds(5));
  EXPECT_EQ(frames[0].frame.sequence(), 1);
  EXPECT_FALSE(std::filesystem::exists(Received(device, "PARA_DATA")));
}

TEST_F(DeliveryTest, KindThreeWithAnUnreadableLogoStillDeliversTheConfiguration) {
  StartDevices({"--count", "1", "--hold-results"});
  Discover(1);
  Tap();
  const MacAddress device = PatternDevice(1);
  const std::string content = Pattern(2500, 2);
  DeliveryJob job = Job(device, KIND_LOGO_AND_CONFIG);
  job.logoPath = (temp_ / "no-such-logo.png").string();
  job.configPath = WriteFile("config.xml", content);
  Start(job);
  WaitForJobs();
  const ap_info_stu row = Row(device);
  EXPECT_EQ(row.logoStatus, TRANSMIT_FAIL);
  EXPECT_EQ(row.paraStatus, TRANSMIT_FINISH);
  ReleaseResults();
  EXPECT_EQ(WaitForCode(device, &ap_info_stu::paraStatus, OPERATE_SUCCESS), OPERATE_SUCCESS);
  EXPECT_EQ(Row(device).logoStatus, TRANSMIT_FAIL);

  EXPECT_EQ(ReadBytes(Received(device, "PARA_DATA")), content);
  EXPECT_FALSE(std::filesystem::exists(Received(device, "LOG_DATA")));
  const auto frames = tap_->Transfers(3);
  ASSERT_EQ(frames.size(), 3u);
  for (const auto& f : frames) {
    EXPECT_EQ(f.frame.category(), PARA_DATA);
    EXPECT_EQ(f.frame.transferCount(), 2) << "the job was for two transfers";
  }
}

TEST_F(DeliveryTest, TheLockCodeDecidesBetweenSuccessAndMismatch) {
  const MacAddress matching = {0x02, 0x62, 0x00, 0x00, 0x05, 0x01};
  const MacAddress other = {0x02, 0x62, 0x00, 0x00, 0x05, 0x02};
  StartDevices({"--count", "0", "--lock-code", "1234", "--device",
                "mac=02:62:00:00:05:01,lock=9876,hold=yes", "--device",
                "mac=02:62:00:00:05:02,hold=yes"});
  Discover(2);
  const std::string command =
      R"({"Lockcode":"9876","Enable":"1","ACName":"ac-1","DNS1":"8.8.8.8","DNS2":""})";
  for (const MacAddress& device : {matching, other}) {
    DeliveryJob job = Job(device, KIND_COMMAND);
    job.commandText = command;
    Start(job);
  }
  WaitForJobs();
  EXPECT_EQ(Row(matching).antiTheftStatus, TRANSMIT_FINISH);
  EXPECT_EQ(Row(other).antiTheftStatus, TRANSMIT_FINISH);
  ReleaseResults();
  EXPECT_EQ(WaitForCode(matching, &ap_info_stu::antiTheftStatus, OPERATE_SUCCESS), OPERATE_SUCCESS);
  EXPECT_EQ(WaitForCode(other, &ap_info_stu::antiTheftStatus, LOCKCODE_MISMATCH),
            LOCKCODE_MISMATCH);
  EXPECT_EQ(ReadBytes(Received(other, "JSON_CMD_DATA")), command);

  const std::string fail = ResultLogText("Fail.txt");
  const std::string header = std::string(ResultLog::kHeader) + "\r\n";
  const std::string failLine = DeviceMacText(other) + "\tJSON_CMD_DATA\t";
  ASSERT_EQ(fail.rfind(header + failLine, 0), 0u) << fail;
  // The date and time of the line, then LF CR LF; nothing else.
  const std::string stamp = fail.substr(header.size() + failLine.size());
  EXPECT_EQ(stamp.size(), 19u + 3u) << stamp;
  EXPECT_EQ(stamp.substr(19), "\n\r\n");
  EXPECT_EQ(DayFolder().filename().string(), stamp.substr(0, 10)) << "Log/<date of the line>";
  EXPECT_NE(ResultLogText("Success.txt").find(DeviceMacText(matching) + "\tJSON_CMD_DATA\t"),
            std::string::npos);
}

TEST_F(DeliveryTest, ADroppedAcknowledgementIsRecoveredByOneResending) {
  StartDevices({"--count", "1", "--drop-every", "3", "--hold-results"});
  Discover(1);
  Tap();
  const MacAddress device = PatternDevice(1);
  const std::string content = Pattern(3000, 3);
  DeliveryJob job = Job(device, KIND_CONFIG);
  job.configPath = WriteFile("config.xml", content);
  Start(job);
  WaitForJobs();
  EXPECT_EQ(Row(device).paraStatus, TRANSMIT_FINISH);
  ReleaseResults();
  EXPECT_EQ(WaitForCode(device, &ap_info_stu::paraStatus, OPERATE_SUCCESS), OPERATE_SUCCESS);
  EXPECT_EQ(ReadBytes(Received(device, "PARA_DATA")), content);

  const auto frames = tap_->Transfers(4);
  std::vector<std::uint16_t> sequences;
  for (const auto& f : frames)
    sequences.push_back(f.frame.sequence());
  ASSERT_EQ(sequences, (std::vector<std::uint16_t>{1, 2, 3, 3}));
  EXPECT_EQ(frames[3].frame, frames[2].frame);
  EXPECT_GE(frames[3].at - frames[2].at, seconds(1) - kStampSlack) << "a second of silence";
}

TEST_F(DeliveryTest, FiftyDevicesAtOnceEachReceiveTheirOwnFileWhole) {
  constexpr int kDevices = 50;
  constexpr std::size_t kSize = 64 * 1024;
  StartDevices({"--count", std::to_string(kDevices), "--result-delay-ms", "300"});
  Discover(kDevices);
  std::vector<std::string> contents;
  for (int n = 1; n <= kDevices; ++n) {
    contents.push_back(Pattern(kSize, static_cast<unsigned>(n)));
    DeliveryJob job = Job(PatternDevice(n), KIND_CONFIG);
    job.configPath = WriteFile("config-" + std::to_string(n) + ".json", contents.back());
    Start(job);
  }
  WaitForJobs(seconds(60));
  for (int n = 1; n <= kDevices; ++n) {
    const MacAddress device = PatternDevice(n);
    EXPECT_EQ(WaitForCode(device, &ap_info_stu::paraStatus, OPERATE_SUCCESS), OPERATE_SUCCESS)
        << DeviceMacText(device);
    EXPECT_TRUE(ReadBytes(Received(device, "PARA_DATA")) == contents[n - 1])
        << DeviceMacText(device) << " did not get its file";
  }
}

}  // namespace
}  // namespace brevant
