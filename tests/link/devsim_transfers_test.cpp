// The simulated device's side of transfers: what it reassembles, stores,
// acknowledges and reports, and what it refuses.

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "support/temp_dir.h"
#include "transfers.h"

namespace brevant::devsim {
namespace {

using std::chrono::milliseconds;
using testing::ReadBytes;
using testing::TempDir;

const MacAddress kAdapter = {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E};
const MacAddress kDevice = {0x02, 0x62, 0x00, 0x00, 0x0A, 0x07};
constexpr const char* kDeviceFolder = "026200000A07";

std::string Pattern(std::size_t size, unsigned seed = 0) {
  std::string bytes(size, '\0');
  for (std::size_t i = 0; i < size; ++i)
    bytes[i] = static_cast<char>((i * 7 + 3 + seed) % 251);
  return bytes;
}

LinkFrame Template(std::uint16_t category) {
  return MakeTransferTemplate(kDevice, kAdapter, category,
                              category == PARA_DATA ? OP_PARA_CHUNK : OP_LOGO_CHUNK, 1);
}

// The chunks the tool makes of a file.
std::vector<LinkFrame> Chunks(std::uint16_t category, const std::string& content) {
  std::vector<LinkFrame> chunks;
  std::uint64_t position = 0;
  std::uint32_t number = 0;
  do {
    const std::size_t n = std::min<std::size_t>(kChunkDataSize, content.size() - position);
    const auto* data = reinterpret_cast<const std::uint8_t*>(content.data()) + position;
    const std::uint64_t before = position;
    position += n;
    chunks.push_back(MakeDataChunk(Template(category), ++number,
                                   ChunkFlagFor(before, position, content.size()),
                                   std::span<const std::uint8_t>(data, n)));
  } while (position < content.size());
  return chunks;
}

LinkFrame Command(const std::string& text) {
  return *MakeCommandFrame(MakeTransferTemplate(kDevice, kAdapter, JSON_CMD_DATA, OP_CMD, 1), text);
}

// Test names from the cases' own.
struct {
  template <class Info>
  std::string operator()(const Info& param) const {
    return param.param.name;
  }
} CaseName;

bool IsAck(const Outgoing& out) {
  return out.frame.opcode() == OP_ACK;
}

// Sequences of the acknowledgements, and result opcodes, in the order sent.
std::vector<std::uint16_t> AckSequences(const std::vector<Outgoing>& out) {
  std::vector<std::uint16_t> sequences;
  for (const auto& o : out) {
    if (IsAck(o))
      sequences.push_back(o.frame.sequence());
  }
  return sequences;
}

std::vector<std::uint16_t> Results(const std::vector<Outgoing>& out) {
  std::vector<std::uint16_t> opcodes;
  for (const auto& o : out) {
    if (!IsAck(o))
      opcodes.push_back(o.frame.opcode());
  }
  return opcodes;
}

class DeviceTransfersTest : public ::testing::Test {
 protected:
  DeviceTransfers& Device(TransferFaults faults = {}, std::string lockCode = "4711") {
    device_ = std::make_unique<DeviceTransfers>(kDevice, std::move(lockCode), faults, out_.path());
    return *device_;
  }
  // Every frame in turn, all answers together.
  std::vector<Outgoing> Feed(const std::vector<LinkFrame>& frames) {
    std::vector<Outgoing> all;
    for (const auto& f : frames) {
      auto answers = device_->OnFrame(f, kFrameSize);
      all.insert(all.end(), answers.begin(), answers.end());
    }
    return all;
  }
  std::filesystem::path Stored(const char* kind) const {
    return out_.path() / kDeviceFolder / kind;
  }
  std::string ErrorsFile() const { return ReadBytes(out_.path() / kDeviceFolder / "errors.txt"); }

  TempDir out_;
  std::unique_ptr<DeviceTransfers> device_;
};

struct ReassemblyCase {
  std::uint16_t category;
  std::size_t size;
  const char* kind;
  std::uint16_t result;
};

class ReassemblyTest : public DeviceTransfersTest,
                       public ::testing::WithParamInterface<ReassemblyCase> {};

TEST_P(ReassemblyTest, ChunksInOrderAreAcknowledgedStoredExactlyAndReported) {
  const auto& c = GetParam();
  auto& device = Device();
  const std::string content = Pattern(c.size);
  const auto chunks = Chunks(c.category, content);
  const auto out = Feed(chunks);

  EXPECT_TRUE(device.Errors().empty()) << device.Errors().front();
  ASSERT_EQ(out.size(), chunks.size() + 1);
  for (std::size_t i = 0; i < chunks.size(); ++i) {
    const LinkFrame& ack = out[i].frame;
    EXPECT_EQ(ack.destination(), kAdapter);
    EXPECT_EQ(ack.source(), kDevice);
    EXPECT_EQ(ack.etherType(), kEtherType);
    EXPECT_EQ(ack.category(), c.category);
    EXPECT_EQ(ack.opcode(), OP_ACK);
    EXPECT_EQ(ack.sequence(), i + 1);
    EXPECT_EQ(out[i].delay, milliseconds(0));
  }
  // The result follows the last chunk's acknowledgement.
  const LinkFrame& result = out.back().frame;
  EXPECT_EQ(result.destination(), kAdapter);
  EXPECT_EQ(result.source(), kDevice);
  EXPECT_EQ(result.category(), c.category);
  EXPECT_EQ(result.opcode(), c.result);
  EXPECT_EQ(ReadBytes(Stored(c.kind)), content);
  EXPECT_FALSE(std::filesystem::exists(Stored(c.kind).string() + ".part"));
  EXPECT_EQ(device.CompletedTransfers(), 1u);
  EXPECT_EQ(device.Folder(), out_.path() / kDeviceFolder);
}

INSTANTIATE_TEST_SUITE_P(
    Files, ReassemblyTest,
    ::testing::Values(ReassemblyCase{PARA_DATA, 0, "PARA_DATA", OP_PARA_OK},     // lone 2, length 0
                      ReassemblyCase{LOG_DATA, 1024, "LOG_DATA", OP_LOGO_OK},    // lone 2, full
                      ReassemblyCase{PARA_DATA, 1025, "PARA_DATA", OP_PARA_OK},  // 1, 2
                      ReassemblyCase{LOG_DATA, 3000, "LOG_DATA", OP_LOGO_OK}));  // 1, 0, 2

TEST_F(DeviceTransfersTest, ARepeatedChunkIsAcknowledgedAgainButNotAppended) {
  auto& device = Device();
  const std::string content = Pattern(3000);
  const auto c = Chunks(PARA_DATA, content);
  // The tool did not hear the first two acknowledgements of chunk 2, nor the
  // one of the last chunk.
  const auto out = Feed({c[0], c[1], c[1], c[1], c[2], c[2]});
  EXPECT_TRUE(device.Errors().empty()) << device.Errors().front();
  EXPECT_EQ(AckSequences(out), (std::vector<std::uint16_t>{1, 2, 2, 2, 3, 3}));
  EXPECT_EQ(Results(out), std::vector<std::uint16_t>{OP_PARA_OK}) << "one result per transfer";
  EXPECT_EQ(ReadBytes(Stored("PARA_DATA")), content);
  EXPECT_EQ(device.CompletedTransfers(), 1u);

  // A fresh transfer of the same category after it is no repetition.
  const std::string second = Pattern(1500, 1);
  const auto more = Feed(Chunks(PARA_DATA, second));
  EXPECT_EQ(Results(more), std::vector<std::uint16_t>{OP_PARA_OK});
  EXPECT_EQ(ReadBytes(Stored("PARA_DATA")), second);
  EXPECT_TRUE(device.Errors().empty()) << device.Errors().front();
}

TEST_F(DeviceTransfersTest, LogoAndConfigurationReassembleSideBySide) {
  auto& device = Device();
  const std::string logo = Pattern(2500, 1);
  const std::string config = Pattern(2100, 2);
  const auto l = Chunks(LOG_DATA, logo);
  const auto p = Chunks(PARA_DATA, config);
  const auto out = Feed({l[0], p[0], l[1], p[1], p[2], l[2]});
  EXPECT_TRUE(device.Errors().empty()) << device.Errors().front();
  EXPECT_EQ(Results(out), (std::vector<std::uint16_t>{OP_PARA_OK, OP_LOGO_OK}));
  EXPECT_EQ(ReadBytes(Stored("LOG_DATA")), logo);
  EXPECT_EQ(ReadBytes(Stored("PARA_DATA")), config);
}

TEST_F(DeviceTransfersTest, SequenceNumbersWrapAsTheToolSendsThem) {
  // 65537 chunks: numbers 65535 and 65536 both go out as 0xFFFF, 65537 as 1.
  // Stored nowhere, so the 64 MiB stay in memory.
  DeviceTransfers device(kDevice, "", {}, {});
  const LinkFrame tmpl = Template(LOG_DATA);
  constexpr std::uint32_t kChunks = 65537;
  std::vector<std::uint16_t> lastAcks;
  std::vector<Outgoing> last;
  std::uint8_t data[kChunkDataSize] = {};
  for (std::uint32_t n = 1; n <= kChunks; ++n) {
    // Different bytes in every chunk, so 65535 and 65536 are not one chunk twice.
    data[0] = static_cast<std::uint8_t>(n);
    data[1] = static_cast<std::uint8_t>(n >> 8);
    data[2] = static_cast<std::uint8_t>(n >> 16);
    const std::uint16_t flag = n == 1 ? CHUNK_FIRST : (n == kChunks ? CHUNK_LAST : CHUNK_MIDDLE);
    last = device.OnFrame(MakeDataChunk(tmpl, n, flag, data), kFrameSize);
    ASSERT_FALSE(last.empty()) << "chunk " << n << ": "
                               << (device.Errors().empty() ? "" : device.Errors().back());
    if (n >= 65534)
      lastAcks.push_back(last.front().frame.sequence());
  }
  EXPECT_TRUE(device.Errors().empty()) << device.Errors().front();
  EXPECT_EQ(lastAcks, (std::vector<std::uint16_t>{65534, 0xFFFF, 0xFFFF, 1}));
  EXPECT_EQ(Results(last), std::vector<std::uint16_t>{OP_LOGO_OK});
  EXPECT_EQ(device.CompletedTransfers(), 1u);
}

// A frame, or a run of frames, that a real device would refuse.
struct RefusalCase {
  const char* name;
  std::vector<LinkFrame> (*frames)();
  std::size_t capturedLength;  // of the last frame
  const char* error;
  std::vector<std::uint16_t> acks;  // what is acknowledged all the same
};

std::vector<LinkFrame> OutOfOrder() {
  const auto c = Chunks(PARA_DATA, Pattern(4000));
  return {c[0], c[2]};
}
std::vector<LinkFrame> ShortMiddleChunk() {
  auto c = Chunks(PARA_DATA, Pattern(3000));
  c[1].setPayload(std::vector<std::uint8_t>(1000, 0x55));
  return c;
}
std::vector<LinkFrame> DataLengthTooLong() {
  auto c = Chunks(PARA_DATA, Pattern(100));
  c[0].setDataLength(1025);
  return c;
}
std::vector<LinkFrame> OneChunk() {
  return Chunks(LOG_DATA, Pattern(10));
}
std::vector<LinkFrame> NewTransferWhileOpen() {
  auto first = Chunks(LOG_DATA, Pattern(3000));
  auto second = Chunks(LOG_DATA, Pattern(3000, 5));
  return {first[0], first[1], second[0]};
}
std::vector<LinkFrame> LoneChunkWhileOpen() {
  auto first = Chunks(LOG_DATA, Pattern(3000));
  return {first[0], Chunks(LOG_DATA, Pattern(5))[0]};
}
std::vector<LinkFrame> MiddleWithoutFirst() {
  return {Chunks(PARA_DATA, Pattern(3000))[1]};
}
std::vector<LinkFrame> FirstNumberedTwo() {
  auto c = Chunks(PARA_DATA, Pattern(3000));
  c[0].setSequence(2);
  return {c[0]};
}
std::vector<LinkFrame> BadFlag() {
  auto c = Chunks(PARA_DATA, Pattern(3000));
  c[1].setChunkFlag(3);
  return {c[0], c[1]};
}
std::vector<LinkFrame> UnknownOpcode() {
  auto frame = Template(PARA_DATA);
  frame.setOpcode(OP_LOGO_CHUNK);
  return {frame};
}

class RefusalTest : public DeviceTransfersTest,
                    public ::testing::WithParamInterface<RefusalCase> {};

TEST_P(RefusalTest, IsWrittenToTheErrorsFile) {
  const auto& c = GetParam();
  auto& device = Device();
  auto frames = c.frames();
  const LinkFrame lastFrame = frames.back();
  frames.pop_back();
  auto out = Feed(frames);
  const auto answers = device.OnFrame(lastFrame, c.capturedLength);
  out.insert(out.end(), answers.begin(), answers.end());

  ASSERT_FALSE(device.Errors().empty());
  EXPECT_NE(device.Errors().front().find(c.error), std::string::npos) << device.Errors().front();
  EXPECT_NE(ErrorsFile().find(device.Errors().front() + "\n"), std::string::npos) << ErrorsFile();
  EXPECT_EQ(AckSequences(out), c.acks);
}

INSTANTIATE_TEST_SUITE_P(
    Faults, RefusalTest,
    ::testing::Values(
        RefusalCase{"wrong_order", OutOfOrder, kFrameSize, "PARA_DATA: chunk 3 after 1", {1}},
        RefusalCase{"short_middle_chunk",
                    ShortMiddleChunk,
                    kFrameSize,
                    "chunk 2 carries 1000 bytes before the end",
                    {1, 2, 3}},
        RefusalCase{"data_length_over_1024",
                    DataLengthTooLong,
                    kFrameSize,
                    "PARA_DATA: data length 1025",
                    {}},
        RefusalCase{"frame_of_1285_bytes", OneChunk, 1285, "frame of 1285 bytes, not 1286", {}},
        RefusalCase{"frame_of_60_bytes", OneChunk, 60, "frame of 60 bytes, not 1286", {}},
        RefusalCase{"new_transfer_while_open",
                    NewTransferWhileOpen,
                    kFrameSize,
                    "LOG_DATA: new transfer before the last one ended",
                    {1, 2, 1}},
        RefusalCase{"lone_chunk_while_open",
                    LoneChunkWhileOpen,
                    kFrameSize,
                    "LOG_DATA: new transfer before the last one ended",
                    {1, 1}},
        RefusalCase{"middle_without_first",
                    MiddleWithoutFirst,
                    kFrameSize,
                    "chunk 2 without a first chunk",
                    {}},
        RefusalCase{
            "first_numbered_two", FirstNumberedTwo, kFrameSize, "first chunk numbered 2", {2}},
        RefusalCase{"chunk_flag_3", BadFlag, kFrameSize, "PARA_DATA: chunk flag 3", {1}},
        RefusalCase{
            "unknown_opcode", UnknownOpcode, kFrameSize, "unexpected category 1 opcode 3", {}}),
    CaseName);

TEST_F(DeviceTransfersTest, FramesForOthersAndDiscoveryAreNotTransfers) {
  auto& device = Device();
  LinkFrame other = Chunks(PARA_DATA, Pattern(10))[0];
  other.setDestination({0x02, 0x62, 0, 0, 0, 0x99});
  EXPECT_TRUE(device.OnFrame(other, kFrameSize).empty());
  EXPECT_TRUE(device.OnFrame(MakeDiscoveryRequest(kAdapter), kFrameSize).empty());
  EXPECT_TRUE(device.Errors().empty());
  EXPECT_FALSE(std::filesystem::exists(out_.path() / kDeviceFolder));
}

struct CommandCase {
  const char* name;
  std::string text;
  std::string deviceLock;
  bool reportFailure;
  std::uint16_t result;
};

class CommandTest : public DeviceTransfersTest,
                    public ::testing::WithParamInterface<CommandCase> {};

TEST_P(CommandTest, IsAcknowledgedStoredAndAnsweredByItsLockCode) {
  const auto& c = GetParam();
  TransferFaults faults;
  faults.reportFailure = c.reportFailure;
  auto& device = Device(faults, c.deviceLock);
  const auto out = Feed({Command(c.text)});
  EXPECT_TRUE(device.Errors().empty()) << device.Errors().front();
  ASSERT_EQ(out.size(), 2u);
  EXPECT_EQ(out[0].frame.category(), JSON_CMD_DATA);
  EXPECT_EQ(out[0].frame.opcode(), OP_ACK);
  EXPECT_EQ(out[0].frame.sequence(), 1);
  EXPECT_EQ(out[1].frame.category(), JSON_CMD_DATA);
  EXPECT_EQ(out[1].frame.opcode(), c.result);
  EXPECT_EQ(out[1].frame.destination(), kAdapter);
  EXPECT_EQ(ReadBytes(Stored("JSON_CMD_DATA")), c.text) << "the text without its NUL";
}

const std::string kCommand4711 =
    R"({"Lockcode":"4711","Enable":"1","ACName":"ac-north","DNS1":"10.0.0.1","DNS2":""})";

INSTANTIATE_TEST_SUITE_P(
    LockCodes, CommandTest,
    ::testing::Values(CommandCase{"equal", kCommand4711, "4711", false, OP_CMD_OK},
                      CommandCase{"unequal", kCommand4711, "4712", false, OP_CMD_FAIL},
                      CommandCase{"prefix_only", kCommand4711, "471", false, OP_CMD_FAIL},
                      CommandCase{"equal_but_reporting_failure", kCommand4711, "4711", true,
                                  OP_CMD_FAIL},
                      CommandCase{"longest_text",
                                  R"({"Lockcode":"x","pad":")" + std::string(511 - 25, 'p') + "\"}",
                                  "x", false, OP_CMD_OK}),
    CaseName);

TEST(LockCodeOf, ReadsTheMemberUpToItsClosingQuote) {
  EXPECT_EQ(LockCodeOf(kCommand4711), "4711");
  EXPECT_EQ(LockCodeOf(R"({"Lockcode":"","Enable":"0"})"), "");
  EXPECT_EQ(LockCodeOf(R"({"Enable":"0"})"), "");
  EXPECT_EQ(LockCodeOf(R"({"Lockcode":"open)"), "");
}

TEST_F(DeviceTransfersTest, ACommandWithAnotherSequenceOrWithoutItsNulIsAnError) {
  auto& device = Device();
  LinkFrame frame = Command(kCommand4711);
  frame.setSequence(2);
  Feed({frame});
  LinkFrame noNul = Command("abc");
  noNul.setDataLength(2);  // "ab" followed by 'c', not by the NUL
  Feed({noNul});
  ASSERT_EQ(device.Errors().size(), 2u);
  EXPECT_EQ(device.Errors()[0], "command with sequence 2 flag 2");
  EXPECT_EQ(device.Errors()[1], "command text without its NUL");
}

// What each fault option does to a two-chunk configuration file.
struct FaultCase {
  const char* name;
  TransferFaults faults;
  std::vector<std::uint16_t> acks;
  milliseconds ackDelay;
  std::vector<std::uint16_t> results;
  milliseconds resultDelay;
  bool resultHeld = false;
};

TransferFaults Faults(void (*set)(TransferFaults&)) {
  TransferFaults faults;
  set(faults);
  return faults;
}

class FaultTest : public DeviceTransfersTest, public ::testing::WithParamInterface<FaultCase> {};

TEST_P(FaultTest, ShapesAcknowledgementsAndResult) {
  const auto& c = GetParam();
  auto& device = Device(c.faults);
  const std::string content = Pattern(2000);
  const auto out = Feed(Chunks(PARA_DATA, content));
  EXPECT_TRUE(device.Errors().empty()) << device.Errors().front();
  EXPECT_EQ(AckSequences(out), c.acks);
  EXPECT_EQ(Results(out), c.results);
  for (const auto& o : out) {
    EXPECT_EQ(o.delay, IsAck(o) ? c.ackDelay : c.resultDelay);
    EXPECT_EQ(o.held, !IsAck(o) && c.resultHeld) << "only a result is ever held";
  }
  // Whatever the answers, the device got the file.
  EXPECT_EQ(ReadBytes(Stored("PARA_DATA")), content);
}

INSTANTIATE_TEST_SUITE_P(
    Options, FaultTest,
    ::testing::Values(FaultCase{"none", {}, {1, 2}, milliseconds(0), {OP_PARA_OK}, milliseconds(0)},
                      FaultCase{"ack_never",
                                Faults([](TransferFaults& f) { f.neverAck = true; }),
                                {},
                                milliseconds(0),
                                {OP_PARA_OK},
                                milliseconds(0)},
                      FaultCase{"ack_ffff",
                                Faults([](TransferFaults& f) { f.ackAnySequence = true; }),
                                {0xFFFF, 0xFFFF},
                                milliseconds(0),
                                {OP_PARA_OK},
                                milliseconds(0)},
                      FaultCase{"ack_previous",
                                Faults([](TransferFaults& f) { f.ackPrevious = true; }),
                                {0, 1},
                                milliseconds(0),
                                {OP_PARA_OK},
                                milliseconds(0)},
                      FaultCase{"ack_delay",
                                Faults([](TransferFaults& f) { f.ackDelay = milliseconds(30); }),
                                {1, 2},
                                milliseconds(30),
                                {OP_PARA_OK},
                                milliseconds(30)},
                      FaultCase{"report_fail",
                                Faults([](TransferFaults& f) { f.reportFailure = true; }),
                                {1, 2},
                                milliseconds(0),
                                {OP_PARA_FAIL},
                                milliseconds(0)},
                      FaultCase{"report_never",
                                Faults([](TransferFaults& f) { f.neverReport = true; }),
                                {1, 2},
                                milliseconds(0),
                                {},
                                milliseconds(0)},
                      FaultCase{"result_delay",
                                Faults([](TransferFaults& f) {
                                  f.ackDelay = milliseconds(5);
                                  f.resultDelay = milliseconds(200);
                                }),
                                {1, 2},
                                milliseconds(5),
                                {OP_PARA_OK},
                                milliseconds(205)},
                      FaultCase{"hold_result",
                                Faults([](TransferFaults& f) {
                                  f.holdResult = true;
                                  f.resultDelay = milliseconds(50);
                                }),
                                {1, 2},
                                milliseconds(0),
                                {OP_PARA_OK},
                                milliseconds(50),
                                true}),
    CaseName);

TEST_F(DeviceTransfersTest, DropEveryLeavesOutEveryNthAcknowledgementRepeatsIncluded) {
  TransferFaults faults;
  faults.dropEvery = 2;
  auto& device = Device(faults);
  const auto c = Chunks(LOG_DATA, Pattern(3000));
  // Each chunk is sent again after its dropped acknowledgement.
  std::vector<std::vector<std::uint16_t>> acks;
  for (const auto& f : {c[0], c[1], c[1], c[2], c[2]})
    acks.push_back(AckSequences(device.OnFrame(f, kFrameSize)));
  EXPECT_EQ(acks, (std::vector<std::vector<std::uint16_t>>{{1}, {}, {2}, {}, {3}}));
  EXPECT_TRUE(device.Errors().empty()) << device.Errors().front();
  EXPECT_EQ(device.CompletedTransfers(), 1u);
}

TEST_F(DeviceTransfersTest, ADeviceWithoutAnOutputFolderWritesNothing) {
  DeviceTransfers device(kDevice, "", {}, {});
  EXPECT_TRUE(device.Folder().empty());
  EXPECT_EQ(Results(device.OnFrame(Chunks(PARA_DATA, Pattern(10))[0], kFrameSize)),
            std::vector<std::uint16_t>{OP_PARA_OK});
  EXPECT_EQ(device.OnFrame(Chunks(PARA_DATA, Pattern(10))[0], 1000).size(), 0u);
  EXPECT_EQ(device.Errors().size(), 1u);
  EXPECT_TRUE(std::filesystem::is_empty(out_.path()));
}

}  // namespace
}  // namespace brevant::devsim
