#include "link/frame.h"

#include <gtest/gtest.h>

#include <vector>

namespace brevant {
namespace {

const MacAddress kAdapter = {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E};
const MacAddress kDevice = {0xC8, 0x3A, 0x35, 0xA1, 0xB2, 0xC3};

TEST(LinkFrame, FieldsAreBigEndianAtTheirOffsets) {
  LinkFrame f = MakeTransferTemplate(kDevice, kAdapter, PARA_DATA, OP_PARA_CHUNK, 2);
  f.setSequence(0x1234);
  f.setChunkFlag(CHUNK_LAST);
  f.setDataLength(0x0400);
  const auto& b = f.bytes();
  EXPECT_EQ(b.size(), 1286u);
  EXPECT_EQ(std::vector<std::uint8_t>(b.begin(), b.begin() + 6),
            std::vector<std::uint8_t>(kDevice.begin(), kDevice.end()));
  EXPECT_EQ(std::vector<std::uint8_t>(b.begin() + 6, b.begin() + 12),
            std::vector<std::uint8_t>(kAdapter.begin(), kAdapter.end()));
  const std::pair<std::size_t, std::uint16_t> fields[] = {
      {12, 0x6262}, {14, 1}, {16, 0x1234}, {18, 2}, {20, 2}, {222, 2}, {1284, 0x0400}};
  for (const auto& [offset, value] : fields) {
    EXPECT_EQ(b[offset], value >> 8) << offset;
    EXPECT_EQ(b[offset + 1], value & 0xFF) << offset;
  }
}

TEST(LinkFrame, DiscoveryRequestIsBroadcastCategoryZeroOpcodeOneAndNothingElse) {
  const LinkFrame f = MakeDiscoveryRequest(kAdapter);
  LinkFrame expected;
  expected.setDestination(kBroadcastMac);
  expected.setSource(kAdapter);
  expected.setEtherType(0x6262);
  expected.setOpcode(1);
  EXPECT_EQ(f, expected);
  EXPECT_EQ(f.category(), DISCOVERY);
}

TEST(LinkFrame, ShortFramesReadZeroFilledAndLongOnesCut) {
  std::vector<std::uint8_t> shortFrame(60, 0xAB);
  const LinkFrame s = LinkFrame::FromBytes(shortFrame);
  for (std::size_t i = 0; i < 60; ++i)
    ASSERT_EQ(s.bytes()[i], 0xAB);
  for (std::size_t i = 60; i < kFrameSize; ++i)
    ASSERT_EQ(s.bytes()[i], 0) << i;
  EXPECT_EQ(s.dataLength(), 0);

  std::vector<std::uint8_t> longFrame(1600, 0x11);
  longFrame[1285] = 0x22;
  const LinkFrame l = LinkFrame::FromBytes(longFrame);
  EXPECT_EQ(l.bytes()[1285], 0x22);
  EXPECT_EQ(l.dataLength(), 0x1122);
  EXPECT_EQ(l.payload().size(), kChunkDataSize);  // a wild length never reads past the field
  EXPECT_EQ(LinkFrame::FromBytes(nullptr, 10), LinkFrame());
}

TEST(SequenceField, WrapsModulo65536WithZeroSentAsFFFF) {
  const std::pair<std::uint32_t, std::uint16_t> cases[] = {
      {1, 1}, {2, 2}, {65535, 65535}, {65536, 0xFFFF}, {65537, 1}, {131072, 0xFFFF}, {0, 0xFFFF}};
  for (const auto& [chunk, field] : cases)
    EXPECT_EQ(SequenceField(chunk), field) << chunk;
}

struct ChunkPlan {
  std::uint64_t fileSize;
  std::vector<std::uint16_t> flags;
  std::vector<std::size_t> lengths;
};

// Walks a file of the given size the way a transfer reads it.
ChunkPlan Plan(std::uint64_t size) {
  ChunkPlan plan{size, {}, {}};
  std::uint64_t position = 0;
  do {
    const std::uint64_t n = std::min<std::uint64_t>(kChunkDataSize, size - position);
    plan.flags.push_back(ChunkFlagFor(position, position + n, size));
    plan.lengths.push_back(static_cast<std::size_t>(n));
    position += n;
  } while (position < size);
  return plan;
}

TEST(ChunkFlag, FirstMiddleAndLastFromTheFilePosition) {
  const ChunkPlan cases[] = {
      {0, {2}, {0}},
      {1, {2}, {1}},
      {1024, {2}, {1024}},
      {1025, {1, 2}, {1024, 1}},
      {3000, {1, 0, 2}, {1024, 1024, 952}},
      {10240, {1, 0, 0, 0, 0, 0, 0, 0, 0, 2}, std::vector<std::size_t>(10, 1024)},
  };
  for (const auto& expected : cases) {
    const ChunkPlan got = Plan(expected.fileSize);
    EXPECT_EQ(got.flags, expected.flags) << expected.fileSize;
    EXPECT_EQ(got.lengths, expected.lengths) << expected.fileSize;
  }
}

TEST(DataChunk, CarriesSequenceFlagAndBytes) {
  const LinkFrame t = MakeTransferTemplate(kDevice, kAdapter, LOG_DATA, OP_LOGO_CHUNK, 1);
  const std::vector<std::uint8_t> bytes(952, 0x5A);
  const LinkFrame c = MakeDataChunk(t, 3, CHUNK_LAST, bytes);
  EXPECT_EQ(c.sequence(), 3);
  EXPECT_EQ(c.chunkFlag(), CHUNK_LAST);
  EXPECT_EQ(c.dataLength(), 952);
  EXPECT_EQ(std::vector<std::uint8_t>(c.payload().begin(), c.payload().end()), bytes);
  EXPECT_EQ(c.dataField()[952], 0);
  EXPECT_EQ(MakeDataChunk(t, 65536, CHUNK_MIDDLE, bytes).sequence(), 0xFFFF);
  EXPECT_EQ(MakeDataChunk(t, 1, CHUNK_LAST, {}).dataLength(), 0);
}

TEST(CommandFrame, TextAndNulWithinTheFieldAndRefusedWhenTooLong) {
  const LinkFrame t = MakeTransferTemplate(kDevice, kAdapter, JSON_CMD_DATA, OP_CMD, 1);
  const std::string text(511, 'c');
  const auto frame = MakeCommandFrame(t, text);
  ASSERT_TRUE(frame.has_value());
  EXPECT_EQ(frame->sequence(), 1);
  EXPECT_EQ(frame->chunkFlag(), CHUNK_LAST);
  EXPECT_EQ(frame->transferCount(), 1);
  EXPECT_EQ(frame->opcode(), OP_CMD);
  EXPECT_EQ(frame->dataLength(), 511);
  EXPECT_EQ(frame->dataField()[510], 'c');
  EXPECT_EQ(frame->dataField()[511], 0);
  EXPECT_FALSE(MakeCommandFrame(t, std::string(512, 'c')).has_value());
}

TEST(DiscoveryResponse, TextsReadToTheirFirstNulAndNeverPastTheirWidth) {
  const std::string full34(34, 'S');
  const LinkFrame f = MakeDiscoveryResponse(
      kAdapter, kDevice, DiscoveryTexts{full34, "five", std::string(66, 'K'), "key5"});
  EXPECT_EQ(f.destination(), kAdapter);
  EXPECT_EQ(f.source(), kDevice);
  EXPECT_EQ(f.category(), DISCOVERY);
  EXPECT_EQ(f.opcode(), OP_ACK);
  const DiscoveryTexts t = ReadDiscoveryTexts(f);
  EXPECT_EQ(t.ssid2, full34);
  EXPECT_EQ(t.ssid5, "five");
  EXPECT_EQ(t.key2, std::string(66, 'K'));
  EXPECT_EQ(t.key5, "key5");

  // Longer texts than the width are cut on building; the next field starts clean.
  const LinkFrame over =
      MakeDiscoveryResponse(kAdapter, kDevice, DiscoveryTexts{std::string(40, 'x'), "", "", ""});
  EXPECT_EQ(ReadDiscoveryTexts(over).ssid2, std::string(34, 'x'));
  EXPECT_EQ(ReadDiscoveryTexts(over).ssid5, "");

  // Bytes after a NUL inside a field are not part of the text.
  LinkFrame raw = f;
  raw.data()[56] = 'a';
  raw.data()[57] = 0;
  raw.data()[58] = 'z';
  EXPECT_EQ(ReadDiscoveryTexts(raw).ssid5, "a");
}

TEST(AckAndResult, CarryCategoryOpcodeAndSequence) {
  const LinkFrame ack = MakeAcknowledgement(kAdapter, kDevice, LOG_DATA, 7);
  EXPECT_EQ(ack.category(), LOG_DATA);
  EXPECT_EQ(ack.opcode(), OP_ACK);
  EXPECT_EQ(ack.sequence(), 7);
  const LinkFrame result = MakeResult(kAdapter, kDevice, JSON_CMD_DATA, OP_CMD_FAIL);
  EXPECT_EQ(result.opcode(), OP_CMD_FAIL);
  EXPECT_EQ(result.source(), kDevice);
}

TEST(MacText, DeviceUpperAdapterLowerAndStrictParsing) {
  EXPECT_EQ(DeviceMacText(kDevice), "C8:3A:35:A1:B2:C3");
  EXPECT_EQ(AdapterMacText(kAdapter), "00:1a:2b:3c:4d:5e");
  EXPECT_EQ(ParseMacText("c8:3a:35:A1:b2:C3"), kDevice);
  for (const char* bad : {"", "C8:3A:35:A1:B2", "C8:3A:35:A1:B2:C3:", "C8-3A-35-A1-B2-C3",
                          "G8:3A:35:A1:B2:C3", "C8:3A:35:A1:B2:C ", "C83A35A1B2C3"}) {
    EXPECT_FALSE(ParseMacText(bad).has_value()) << bad;
  }
}

}  // namespace
}  // namespace brevant
