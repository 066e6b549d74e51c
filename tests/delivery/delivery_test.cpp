#include "link/delivery.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <atomic>
#include <fstream>
#include <future>
#include <thread>

#include "link/result_log.h"
#include "records/diag_log.h"
#include "records/status_store.h"
#include "support/fake_link.h"
#include "support/temp_dir.h"

namespace brevant {
namespace {

using testing::FakeLink;
using testing::ReadBytes;
using testing::TempDir;
using namespace std::chrono_literals;

const MacAddress kDevice = {0xC8, 0x3A, 0x35, 0xA1, 0xB2, 0xC3};
const MacAddress kAdapter = {0x02, 0, 0, 0, 0, 1};
const std::string kDeviceText = "C8:3A:35:A1:B2:C3";

// The protocol's counts with short times, so a silent device costs 100 ms.
DeliveryTiming FastTiming() {
  DeliveryTiming t;
  t.resendAfter = 20ms;
  t.linkRetryDelay = 5ms;
  return t;
}

LinkFrame LogoTemplate(std::uint16_t transfers = 1) {
  return MakeTransferTemplate(kDevice, kAdapter, LOG_DATA, OP_LOGO_CHUNK, transfers);
}

std::string Pattern(std::size_t size) {
  std::string bytes(size, '\0');
  for (std::size_t i = 0; i < size; ++i)
    bytes[i] = static_cast<char>((i * 7 + 3) % 251);
  return bytes;
}

// A device that acknowledges every chunk as a well-behaved device does.
void Acknowledge(FakeLink& link, const LinkFrame& f) {
  link.Deliver(MakeAcknowledgement(kAdapter, kDevice, f.category(), f.sequence()));
}

std::string Reassemble(const std::vector<LinkFrame>& frames) {
  std::string bytes;
  for (const auto& f : frames)
    bytes.append(f.payload().begin(), f.payload().end());
  return bytes;
}

struct ChunkingCase {
  std::size_t size;
  std::vector<std::uint16_t> flags;
  std::vector<std::uint16_t> lengths;
};

class ChunkingTest : public ::testing::TestWithParam<ChunkingCase> {};

TEST_P(ChunkingTest, FileGoesOutInNumberedChunksAndArrivesWhole) {
  TempDir dir;
  const std::string content = Pattern(GetParam().size);
  const auto path = dir.Write("logo.png", content).string();
  FakeLink link(Acknowledge);
  ASSERT_TRUE(SendFile(link, LogoTemplate(), LOG_DATA, path, FastTiming()));
  const auto sent = link.Sent();
  ASSERT_EQ(sent.size(), GetParam().flags.size());
  for (std::size_t i = 0; i < sent.size(); ++i) {
    EXPECT_EQ(sent[i].sequence(), i + 1);
    EXPECT_EQ(sent[i].chunkFlag(), GetParam().flags[i]) << i;
    EXPECT_EQ(sent[i].dataLength(), GetParam().lengths[i]) << i;
    EXPECT_EQ(sent[i].category(), LOG_DATA);
    EXPECT_EQ(sent[i].opcode(), OP_LOGO_CHUNK);
    EXPECT_EQ(sent[i].destination(), kDevice);
  }
  EXPECT_EQ(Reassemble(sent), content);
  EXPECT_EQ(link.Attached(kDevice), 0u);  // the job lets go of its device
}

INSTANTIATE_TEST_SUITE_P(
    Sizes, ChunkingTest,
    ::testing::Values(
        ChunkingCase{0, {2}, {0}}, ChunkingCase{1024, {2}, {1024}},
        ChunkingCase{1025, {1, 2}, {1024, 1}}, ChunkingCase{3000, {1, 0, 2}, {1024, 1024, 952}},
        ChunkingCase{10240, {1, 0, 0, 0, 0, 0, 0, 0, 0, 2}, std::vector<std::uint16_t>(10, 1024)}),
    [](const auto& param) { return "Bytes" + std::to_string(param.param.size); });

TEST(SendFile, AcknowledgementsWithFFFFCompleteAnyTransfer) {
  TempDir dir;
  const auto path = dir.Write("c.xml", Pattern(5000)).string();
  // Category and opcode do not matter with 0xFFFF.
  FakeLink link([](FakeLink& l, const LinkFrame&) {
    LinkFrame ack = MakeAcknowledgement(kAdapter, kDevice, 9, 0xFFFF);
    ack.setOpcode(77);
    l.Deliver(ack);
  });
  ASSERT_TRUE(SendFile(link, LogoTemplate(), LOG_DATA, path, FastTiming()));
  EXPECT_EQ(link.Sent().size(), 5u);
}

TEST(SendFile, SilentDeviceGetsTheChunkFiveTimesOneIntervalApartThenFails) {
  TempDir dir;
  const auto path = dir.Write("c.xml", "abc").string();
  std::vector<std::chrono::steady_clock::time_point> times;
  FakeLink timed(
      [&](FakeLink&, const LinkFrame&) { times.push_back(std::chrono::steady_clock::now()); });
  DeliveryTiming timing = FastTiming();
  timing.resendAfter = 50ms;
  const auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(SendFile(timed, LogoTemplate(), LOG_DATA, path, timing));
  const auto took = std::chrono::steady_clock::now() - start;
  ASSERT_EQ(times.size(), 5u);
  // Sendings keep to multiples of the interval from the first, so one late
  // wake-up shortens the gap after it rather than pushing all later ones.
  for (std::size_t i = 1; i < times.size(); ++i)
    EXPECT_GE(times[i] - times[0], i * 50ms - 2ms) << i;
  EXPECT_GE(took, 250ms);  // the fifth period of silence ends it
  for (const auto& f : timed.Sent())
    EXPECT_EQ(f.sequence(), 1);
}

TEST(SendFile, StaleSequenceCountsAsMismatchWithoutEndingOrRepeating) {
  TempDir dir;
  const auto path = dir.Write("c.xml", Pattern(2048)).string();
  // Chunk 2 first hears the acknowledgement of chunk 1 again, then its own.
  FakeLink link([](FakeLink& l, const LinkFrame& f) {
    if (f.sequence() == 2)
      l.Deliver(MakeAcknowledgement(kAdapter, kDevice, LOG_DATA, 1));
    l.Deliver(MakeAcknowledgement(kAdapter, kDevice, LOG_DATA, f.sequence()));
  });
  ASSERT_TRUE(SendFile(link, LogoTemplate(), LOG_DATA, path, FastTiming()));
  EXPECT_EQ(link.Sent().size(), 2u);
}

TEST(SendFile, WrongCategoryOrOpcodeIsNoAcknowledgement) {
  TempDir dir;
  const auto path = dir.Write("c.xml", "x").string();
  FakeLink link([](FakeLink& l, const LinkFrame& f) {
    l.Deliver(MakeAcknowledgement(kAdapter, kDevice, PARA_DATA, f.sequence()));
    LinkFrame wrongOp = MakeAcknowledgement(kAdapter, kDevice, LOG_DATA, f.sequence());
    wrongOp.setOpcode(OP_LOGO_OK);
    l.Deliver(wrongOp);
  });
  EXPECT_FALSE(SendFile(link, LogoTemplate(), LOG_DATA, path, FastTiming()));
  EXPECT_EQ(link.Sent().size(), 5u);
}

TEST(SendFile, AFloodOfUnrelatedFramesFailsByCountWithARepetitionEvery20000) {
  TempDir dir;
  const auto path = dir.Write("c.xml", "x").string();
  std::atomic<bool> flooded{false};
  FakeLink link([&](FakeLink& l, const LinkFrame&) {
    if (flooded.exchange(true))
      return;
    const LinkFrame noise = MakeResult(kAdapter, kDevice, DISCOVERY, OP_ACK);
    for (int i = 0; i < 100000; ++i)
      l.Deliver(noise);
  });
  DeliveryTiming timing = FastTiming();
  timing.resendAfter = 10s;  // silence never decides here
  const auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(SendFile(link, LogoTemplate(), LOG_DATA, path, timing));
  EXPECT_LT(std::chrono::steady_clock::now() - start, 10s);
  // Frames the bounded mailbox had to drop still count.
  EXPECT_EQ(link.Sent().size(), 5u);  // the first sending and one at 20000, 40000, 60000, 80000
}

TEST(SendFile, RecoversADroppedAcknowledgementByOneRepetition) {
  TempDir dir;
  const auto path = dir.Write("c.xml", Pattern(3000)).string();
  int sendings = 0;
  FakeLink link([&](FakeLink& l, const LinkFrame& f) {
    if (++sendings == 2)
      return;  // the acknowledgement of chunk 2 is lost
    Acknowledge(l, f);
  });
  ASSERT_TRUE(SendFile(link, LogoTemplate(), LOG_DATA, path, FastTiming()));
  const auto sent = link.Sent();
  ASSERT_EQ(sent.size(), 4u);
  EXPECT_EQ(sent[1], sent[2]);  // the same chunk again, same number
  EXPECT_EQ(Reassemble({sent[0], sent[2], sent[3]}), Pattern(3000));
}

TEST(SendFile, UnreadableShrinkingOrMissingFilesFail) {
  TempDir dir;
  FakeLink link(Acknowledge);
  EXPECT_FALSE(
      SendFile(link, LogoTemplate(), LOG_DATA, (dir / "missing.png").string(), FastTiming()));
  EXPECT_FALSE(SendFile(link, LogoTemplate(), LOG_DATA, dir.path().string(), FastTiming()));
  EXPECT_TRUE(link.Sent().empty());

  // The file loses its tail after the first chunk went out.
  const auto path = dir.Write("shrinks.xml", Pattern(3000));
  FakeLink shrinking([&](FakeLink& l, const LinkFrame& f) {
    if (f.sequence() == 1)
      std::filesystem::resize_file(path, 1500);
    Acknowledge(l, f);
  });
  EXPECT_FALSE(SendFile(shrinking, LogoTemplate(), LOG_DATA, path.string(), FastTiming()));
  EXPECT_EQ(shrinking.Sent().size(), 1u);
}

TEST(SendFile, AFifoIsRefusedWithoutBlockingTheJob) {
  TempDir dir;
  const auto fifo = dir / "pipe.xml";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  FakeLink link(Acknowledge);
  auto sent = std::async(std::launch::async, [&] {
    return SendFile(link, LogoTemplate(), LOG_DATA, fifo.string(), FastTiming());
  });
  if (sent.wait_for(10s) != std::future_status::ready) {
    ADD_FAILURE() << "SendFile blocked on a FIFO";
    std::ofstream writer(fifo);  // lets the blocked open go on
  }
  EXPECT_FALSE(sent.get());
  EXPECT_TRUE(link.Sent().empty());
}

TEST(SendFile, AFileDeletedWhileItIsSentStillGoesOutWhole) {
  TempDir dir;
  const auto path = dir.Write("vanishes.xml", Pattern(5000));
  FakeLink link([&](FakeLink& l, const LinkFrame& f) {
    if (f.sequence() == 1)
      std::filesystem::remove(path);
    Acknowledge(l, f);
  });
  ASSERT_TRUE(SendFile(link, LogoTemplate(), LOG_DATA, path.string(), FastTiming()));
  EXPECT_EQ(Reassemble(link.Sent()), Pattern(5000));
}

TEST(SendFile, LinkThatIsNotUpIsAskedTenTimesThenTheTransferFails) {
  TempDir dir;
  const auto path = dir.Write("c.xml", "x").string();
  FakeLink link(Acknowledge);
  link.SetUp(false);
  DeliveryTiming timing = FastTiming();
  timing.linkRetryDelay = 10ms;
  const auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(SendFile(link, LogoTemplate(), LOG_DATA, path, timing));
  EXPECT_GE(std::chrono::steady_clock::now() - start, 90ms);
  EXPECT_EQ(link.UpQueries(), 10);
  EXPECT_TRUE(link.Sent().empty());
}

TEST(SendCommand, OnlyCategoryThreeOpcodeFourSequenceOneAcknowledges) {
  const LinkFrame tmpl = MakeTransferTemplate(kDevice, kAdapter, JSON_CMD_DATA, OP_CMD, 1);
  const std::string text = "{\"Lockcode\":\"abc\",\"Enable\":\"1\"}";
  FakeLink good([](FakeLink& l, const LinkFrame&) {
    l.Deliver(MakeAcknowledgement(kAdapter, kDevice, JSON_CMD_DATA, 1));
  });
  ASSERT_TRUE(SendCommand(good, tmpl, text, FastTiming()));
  ASSERT_EQ(good.Sent().size(), 1u);
  const LinkFrame sent = good.Sent()[0];
  EXPECT_EQ(sent.sequence(), 1);
  EXPECT_EQ(sent.chunkFlag(), CHUNK_LAST);
  EXPECT_EQ(sent.dataLength(), text.size());
  EXPECT_EQ(std::string(sent.payload().begin(), sent.payload().end()), text);

  // 0xFFFF acknowledges files only.
  FakeLink ffff([](FakeLink& l, const LinkFrame&) {
    l.Deliver(MakeAcknowledgement(kAdapter, kDevice, JSON_CMD_DATA, 0xFFFF));
  });
  EXPECT_FALSE(SendCommand(ffff, tmpl, text, FastTiming()));
  EXPECT_EQ(ffff.Sent().size(), 5u);

  EXPECT_TRUE(SendCommand(good, tmpl, std::string(511, 'c'), FastTiming()));
  EXPECT_EQ(good.Sent().back().dataLength(), 511);
}

TEST(DeliveryJob, TextsLongerThanTheirFieldsAreRefusedBeforeAnything) {
  const std::pair<DeliveryJob, bool> cases[] = {
      {DeliveryJob{kDevice, kAdapter, KIND_CONFIG, std::string(259, 'p'), "", ""}, true},
      {DeliveryJob{kDevice, kAdapter, KIND_CONFIG, std::string(260, 'p'), "", ""}, false},
      {DeliveryJob{kDevice, kAdapter, KIND_LOGO, "", std::string(260, 'p'), ""}, false},
      {DeliveryJob{kDevice, kAdapter, KIND_COMMAND, "", "", std::string(511, 'c')}, true},
      {DeliveryJob{kDevice, kAdapter, KIND_COMMAND, "", "", std::string(512, 'c')}, false},
  };
  for (const auto& [job, fits] : cases)
    EXPECT_EQ(job.CheckFields().empty(), fits);

  int starts = 0;
  TempDir dir;
  CSqlManagement store(dir / "data.db");
  FakeLink link;
  DeliveryContext context{&link, &store, {}, {}};
  context.startThread = [&](std::function<void()>) { return ++starts, true; };
  std::string error;
  EXPECT_FALSE(StartDeliveryJob(cases[4].first, context, &error));
  EXPECT_EQ(error, "command text longer than 511 bytes");
  // A job needs its link and its store; without them it would crash on its thread.
  for (const DeliveryContext& missing :
       {DeliveryContext{nullptr, &store, {}, context.startThread},
        DeliveryContext{&link, nullptr, {}, context.startThread}}) {
    EXPECT_FALSE(StartDeliveryJob(cases[0].first, missing, &error));
    EXPECT_EQ(error, "no link or no store for the job");
  }
  EXPECT_EQ(starts, 0);
}

TEST(DeliveryJob, ThreadStartIsTriedFiveTimes) {
  DeliveryJob job{kDevice, kAdapter, KIND_COMMAND, "", "", "{}"};
  TempDir dir;
  CSqlManagement store(dir / "data.db");
  FakeLink link;
  int attempts = 0;
  DeliveryContext refusing{&link, &store, {}, {}};
  refusing.startThread = [&](std::function<void()>) { return ++attempts, false; };
  EXPECT_FALSE(StartDeliveryJob(job, refusing));
  EXPECT_EQ(attempts, 5);
  EXPECT_EQ(RunningDeliveryJobs(), 0);

  attempts = 0;
  std::function<void()> body;
  DeliveryContext lateSuccess{&link, &store, {}, {}};
  lateSuccess.startThread = [&](std::function<void()> b) {
    if (++attempts < 5)
      return false;
    body = std::move(b);
    return true;
  };
  EXPECT_TRUE(StartDeliveryJob(job, lateSuccess));
  EXPECT_EQ(attempts, 5);
  EXPECT_TRUE(body != nullptr);
}

class StoreTest : public ::testing::Test {
 protected:
  void SetUp() override {
    store_ = std::make_unique<CSqlManagement>(dir_ / "data.db");
    ASSERT_TRUE(store_->IsOpen());
    ASSERT_TRUE(store_->InsertOrUpdateDevice(
        DiscoveredDevice{kDeviceText, "2025-03-05 10:00:00", "", "", "", ""}));
  }
  // A job of a new delivery of the category's kind, as a delivery page makes it.
  DeliveryJob Job(std::int32_t kind, const std::string& file, std::uint16_t category) {
    EXPECT_TRUE(store_->ResetStatuses());
    EXPECT_TRUE(category == PARA_DATA  ? store_->SetParaStatus(kDeviceText, OPERATING)
                : category == LOG_DATA ? store_->SetLogoStatus(kDeviceText, OPERATING)
                                       : store_->SetAntiTheftStatus(kDeviceText, OPERATING));
    DeliveryJob job{kDevice, kAdapter, kind, file, file, ""};
    job.delivery = store_->DeliveryGeneration(kDeviceText);
    EXPECT_NE(job.delivery, 0u);
    return job;
  }
  // A delivery of the category's kind whose last frame has gone out.
  void AwaitingResult(std::uint16_t category) {
    Job(KIND_LOGO, "", category);
    store_->AwaitDeviceResult(category, kDeviceText, 0);
  }
  ap_info_stu Row() {
    std::vector<ap_info_stu> rows;
    int count = 0, ok = 0, failed = 0;
    EXPECT_TRUE(store_->QueryDevices(true, SORT_BY_MAC, kDeviceText, rows, count, ok, failed));
    EXPECT_EQ(rows.size(), 1u);
    return rows.empty() ? ap_info_stu{} : rows[0];
  }
  TempDir dir_;
  std::unique_ptr<CSqlManagement> store_;
};

TEST_F(StoreTest, KindThreeSendsTheConfigurationWhateverBecameOfTheLogo) {
  const auto config = dir_.Write("cfg.xml", Pattern(1500)).string();
  FakeLink link(Acknowledge);
  DeliveryContext context{&link, store_.get(), FastTiming(), {}};
  RunDeliveryJob(DeliveryJob{kDevice, kAdapter, KIND_LOGO_AND_CONFIG, config,
                             (dir_ / "no-logo.png").string(), ""},
                 context);
  const auto sent = link.Sent();
  ASSERT_EQ(sent.size(), 2u);
  for (const auto& f : sent) {
    EXPECT_EQ(f.category(), PARA_DATA);
    EXPECT_EQ(f.opcode(), OP_PARA_CHUNK);
    EXPECT_EQ(f.transferCount(), 2);
  }
  const ap_info_stu row = Row();
  EXPECT_EQ(row.logoStatus, TRANSMIT_FAIL);
  EXPECT_EQ(row.paraStatus, TRANSMIT_FINISH);
}

TEST_F(StoreTest, EachKindWritesItsOwnStatusAfterItsTransfer) {
  const auto file = dir_.Write("f.bin", Pattern(100)).string();
  struct Case {
    std::int32_t kind;
    std::uint16_t category, opcode;
    std::int32_t ap_info_stu::*status;
  };
  const Case cases[] = {{KIND_LOGO, LOG_DATA, OP_LOGO_CHUNK, &ap_info_stu::logoStatus},
                        {KIND_CONFIG, PARA_DATA, OP_PARA_CHUNK, &ap_info_stu::paraStatus},
                        {KIND_COMMAND, JSON_CMD_DATA, OP_CMD, &ap_info_stu::antiTheftStatus}};
  for (const auto& c : cases) {
    ASSERT_TRUE(store_->ResetStatuses());
    FakeLink link([](FakeLink& l, const LinkFrame& f) {
      l.Deliver(MakeAcknowledgement(kAdapter, kDevice, f.category(), f.sequence()));
    });
    DeliveryContext context{&link, store_.get(), FastTiming(), {}};
    RunDeliveryJob(DeliveryJob{kDevice, kAdapter, c.kind, file, file, "{}"}, context);
    ASSERT_EQ(link.Sent().size(), 1u);
    EXPECT_EQ(link.Sent()[0].category(), c.category);
    EXPECT_EQ(link.Sent()[0].opcode(), c.opcode);
    EXPECT_EQ(link.Sent()[0].transferCount(), 1);
    EXPECT_EQ(Row().*c.status, TRANSMIT_FINISH) << c.kind;
  }
}

TEST_F(StoreTest, StartedJobRunsOnItsOwnThreadAndIsCounted) {
  const auto file = dir_.Write("f.bin", Pattern(4000)).string();
  FakeLink link(Acknowledge);
  DeliveryContext context{&link, store_.get(), FastTiming(), {}};
  ASSERT_TRUE(StartDeliveryJob(DeliveryJob{kDevice, kAdapter, KIND_LOGO, "", file, ""}, context));
  ASSERT_TRUE(WaitForDeliveryJobs(std::chrono::steady_clock::now() + 5s));
  EXPECT_EQ(Row().logoStatus, TRANSMIT_FINISH);
  EXPECT_EQ(Reassemble(link.Sent()), Pattern(4000));
}

TEST_F(StoreTest, AResultThatOvertakesTheLastAcknowledgementIsKept) {
  // A fast device reports before the job has written the end of its transfer.
  const auto file = dir_.Write("f.bin", Pattern(1500)).string();
  TempDir logs;
  ResultLog log(logs.path());
  FakeLink link([&](FakeLink& l, const LinkFrame& f) {
    if (f.chunkFlag() == CHUNK_LAST) {
      HandleDeviceResult(MakeResult(kAdapter, kDevice, f.category(), OP_PARA_OK), *store_, log);
    }
    Acknowledge(l, f);
  });
  DeliveryContext context{&link, store_.get(), FastTiming(), {}};
  RunDeliveryJob(Job(KIND_CONFIG, file, PARA_DATA), context);
  EXPECT_EQ(Row().paraStatus, OPERATE_SUCCESS);

  // Without a result first, the end of the transfer is written as ever.
  FakeLink plain(Acknowledge);
  DeliveryContext plainContext{&plain, store_.get(), FastTiming(), {}};
  RunDeliveryJob(Job(KIND_CONFIG, file, PARA_DATA), plainContext);
  EXPECT_EQ(Row().paraStatus, TRANSMIT_FINISH);
}

TEST_F(StoreTest, ALateResultOfAnEarlierDeliveryNeitherShowsNorHidesThisOnesFailure) {
  // Three chunks: the device acknowledges the first, then falls silent. While
  // the first goes out, its success of the delivery before arrives.
  const auto file = dir_.Write("f.bin", Pattern(2500)).string();
  TempDir logs;
  ResultLog log(logs.path());
  std::vector<std::int32_t> seen;
  std::vector<std::string> lines;
  SetDiagnosticSink([&](const std::string& text) { lines.push_back(text); });
  FakeLink link([&](FakeLink& l, const LinkFrame& f) {
    if (f.sequence() == 1) {
      HandleDeviceResult(MakeResult(kAdapter, kDevice, PARA_DATA, OP_PARA_OK), *store_, log);
      seen.push_back(Row().paraStatus);
      Acknowledge(l, f);
    }
  });
  DeliveryContext context{&link, store_.get(), FastTiming(), {}};
  RunDeliveryJob(Job(KIND_CONFIG, file, PARA_DATA), context);
  SetDiagnosticSink({});
  EXPECT_EQ(seen, (std::vector<std::int32_t>{OPERATING}));
  EXPECT_EQ(Row().paraStatus, TRANSMIT_FAIL);
  EXPECT_EQ(store_->EvaluateDevice(kDeviceText), RESULT_FAILED);
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_NE(lines[0].find("PARA_DATA success of " + kDeviceText + " not recorded"),
            std::string::npos)
      << lines[0];
}

TEST_F(StoreTest, ResultsOfAKindThisDeliveryDoesNotSendCountForNothing) {
  // An anti-theft delivery; the configuration success of an earlier one would
  // otherwise make the device a success whatever the lock code did.
  TempDir logs;
  ResultLog log(logs.path());
  FakeLink link([&](FakeLink& l, const LinkFrame& f) {
    HandleDeviceResult(MakeResult(kAdapter, kDevice, PARA_DATA, OP_PARA_OK), *store_, log);
    l.Deliver(MakeAcknowledgement(kAdapter, kDevice, JSON_CMD_DATA, 1));
    HandleDeviceResult(MakeResult(kAdapter, kDevice, JSON_CMD_DATA, OP_CMD_FAIL), *store_, log);
    (void)f;
  });
  DeliveryContext context{&link, store_.get(), FastTiming(), {}};
  DeliveryJob job = Job(KIND_COMMAND, "", JSON_CMD_DATA);
  job.commandText = "{}";
  RunDeliveryJob(job, context);
  const ap_info_stu row = Row();
  EXPECT_EQ(row.paraStatus, WAIT_OPERATE);
  EXPECT_EQ(row.antiTheftStatus, LOCKCODE_MISMATCH);
  EXPECT_EQ(store_->EvaluateDevice(kDeviceText), RESULT_FAILED);
}

TEST_F(StoreTest, AJobOfAnEarlierDeliveryDoesNotWriteOverTheNextOne) {
  const auto file = dir_.Write("f.bin", Pattern(100)).string();
  const DeliveryJob earlier = Job(KIND_CONFIG, file, PARA_DATA);
  const DeliveryJob current = Job(KIND_CONFIG, file, PARA_DATA);
  ASSERT_NE(earlier.delivery, current.delivery);
  FakeLink link(Acknowledge);
  DeliveryContext context{&link, store_.get(), FastTiming(), {}};
  RunDeliveryJob(earlier, context);
  EXPECT_EQ(Row().paraStatus, OPERATING);
  RunDeliveryJob(current, context);
  EXPECT_EQ(Row().paraStatus, TRANSMIT_FINISH);
}

TEST_F(StoreTest, StoppingEndsTheRunningJobsOnlyAndLaterJobsRunNormally) {
  const auto file = dir_.Write("f.bin", Pattern(3000)).string();
  // A silent device: only the stop can end this job within the test's time.
  FakeLink silent;
  DeliveryTiming slow = FastTiming();
  slow.resendAfter = 200ms;
  slow.sendings = 10000;
  DeliveryContext silentContext{&silent, store_.get(), slow, {}};
  ASSERT_TRUE(StartDeliveryJob(Job(KIND_LOGO, file, LOG_DATA), silentContext));
  const auto deadline = std::chrono::steady_clock::now() + 10s;
  while (silent.Sent().empty() && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(1ms);
  ASSERT_FALSE(silent.Sent().empty());
  StopDeliveryJobs();
  ASSERT_TRUE(WaitForDeliveryJobs(std::chrono::steady_clock::now() + 10s));
  EXPECT_EQ(Row().logoStatus, TRANSMIT_FAIL);

  // A job started after the stop runs to its end.
  FakeLink answering(Acknowledge);
  DeliveryContext context{&answering, store_.get(), FastTiming(), {}};
  ASSERT_TRUE(StartDeliveryJob(Job(KIND_LOGO, file, LOG_DATA), context));
  ASSERT_TRUE(WaitForDeliveryJobs(std::chrono::steady_clock::now() + 10s));
  EXPECT_EQ(Row().logoStatus, TRANSMIT_FINISH);
  EXPECT_EQ(Reassemble(answering.Sent()), Pattern(3000));
}

TEST_F(StoreTest, AResultWhoseLogLineIsLostStillSetsTheStatus) {
  TempDir logs;
  const std::time_t at = 1741168800;
  ResultLog log(logs.path(), [at] { return at; });
  std::tm local{};
  localtime_r(&at, &local);
  char date[16];
  std::strftime(date, sizeof date, "%Y-%m-%d", &local);
  // A folder where the day's file should be: it cannot be opened for appending.
  std::filesystem::create_directories(logs.path() / "Log" / date / "Success.txt");
  std::vector<std::string> lines;
  AwaitingResult(LOG_DATA);
  SetDiagnosticSink([&](const std::string& text) { lines.push_back(text); });
  EXPECT_TRUE(
      HandleDeviceResult(MakeResult(kAdapter, kDevice, LOG_DATA, OP_LOGO_OK), *store_, log));
  SetDiagnosticSink({});
  EXPECT_EQ(Row().logoStatus, OPERATE_SUCCESS);
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_NE(lines[0].find("result log line lost"), std::string::npos);
  EXPECT_NE(lines[0].find(kDeviceText + " LOG_DATA success"), std::string::npos) << lines[0];
}

struct ResultCase {
  std::uint16_t category, opcode;
  const char* file;
  const char* type;
  std::int32_t code;
  std::int32_t ap_info_stu::*status;
};

TEST_F(StoreTest, DeviceResultsWriteTheLogLineAndThenTheStatus) {
  const ResultCase cases[] = {
      {1, 6, "Success.txt", "PARA_DATA", OPERATE_SUCCESS, &ap_info_stu::paraStatus},
      {1, 5, "Fail.txt", "PARA_DATA", OPERATE_FAIL, &ap_info_stu::paraStatus},
      {2, 8, "Success.txt", "LOG_DATA", OPERATE_SUCCESS, &ap_info_stu::logoStatus},
      {2, 7, "Fail.txt", "LOG_DATA", OPERATE_FAIL, &ap_info_stu::logoStatus},
      {3, 10, "Success.txt", "JSON_CMD_DATA", OPERATE_SUCCESS, &ap_info_stu::antiTheftStatus},
      {3, 9, "Fail.txt", "JSON_CMD_DATA", LOCKCODE_MISMATCH, &ap_info_stu::antiTheftStatus},
  };
  for (const auto& c : cases) {
    TempDir logs;
    // The line takes its time as it is made: the status then is still the one before.
    std::int32_t statusWhileLogging = -1;
    ResultLog log(logs.path(), [&] {
      statusWhileLogging = Row().*c.status;
      return std::time_t{1741168800};  // 2025-03-05, midday UTC
    });
    AwaitingResult(c.category);
    const std::int32_t before = Row().*c.status;
    ASSERT_NE(before, c.code) << c.opcode;
    ASSERT_TRUE(
        HandleDeviceResult(MakeResult(kAdapter, kDevice, c.category, c.opcode), *store_, log));
    EXPECT_EQ(statusWhileLogging, before) << c.opcode << ": the status came first";
    EXPECT_EQ(Row().*c.status, c.code) << c.opcode;
    std::tm local{};
    const std::time_t at = 1741168800;
    localtime_r(&at, &local);
    char date[16];
    std::strftime(date, sizeof date, "%Y-%m-%d", &local);
    const std::string text = ReadBytes(logs.path() / "Log" / date / c.file);
    EXPECT_NE(text.find(kDeviceText + "\t" + c.type + "\t" + date), std::string::npos) << text;
  }
}

TEST_F(StoreTest, ResultFromAnUnknownDeviceIsLoggedAndOtherFramesAreNoResults) {
  TempDir logs;
  ResultLog log(logs.path());
  const MacAddress stranger = {0xAA, 0xBB, 0xCC, 0xDD, 0xEE, 0x01};
  EXPECT_TRUE(
      HandleDeviceResult(MakeResult(kAdapter, stranger, PARA_DATA, OP_PARA_OK), *store_, log));
  bool found = false;
  for (const auto& day : std::filesystem::directory_iterator(logs.path() / "Log")) {
    found = ReadBytes(day.path() / "Success.txt").find("AA:BB:CC:DD:EE:01\tPARA_DATA\t") !=
            std::string::npos;
  }
  EXPECT_TRUE(found);
  EXPECT_FALSE(
      HandleDeviceResult(MakeAcknowledgement(kAdapter, kDevice, PARA_DATA, 1), *store_, log));
  EXPECT_FALSE(
      HandleDeviceResult(MakeResult(kAdapter, kDevice, PARA_DATA, OP_LOGO_OK), *store_, log));
  EXPECT_FALSE(
      HandleDeviceResult(MakeResult(kAdapter, kDevice, DISCOVERY, OP_PARA_OK), *store_, log));
  EXPECT_EQ(Row().paraStatus, WAIT_OPERATE);
}

}  // namespace
}  // namespace brevant
