// One delivery job's acknowledgement wait fed a stream of frames: SendFile or
// SendCommand against a link whose device answers each frame the job sends
// with the next frames of the input, then falls silent.
// Input: one control byte (bits 0-1 the transfer, 2-3 answers per frame sent,
// 4-6 the file, 7 set: the link is down), then 1286-byte frames (the last one
// zero-filled).

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <fstream>
#include <map>
#include <mutex>

#include "fuzz_support.h"
#include "link/delivery.h"

using namespace brevant;

namespace {

constexpr MacAddress kAdapter = {0x02, 0x00, 0x00, 0x00, 0x00, 0x01};
constexpr MacAddress kDevice = {0xC8, 0x3A, 0x35, 0xA1, 0xB2, 0xC3};
constexpr std::size_t kMostFrames = 16;

// Short enough that a run of silences stays far below a second.
DeliveryTiming Timing() {
  DeliveryTiming timing;
  timing.resendAfter = std::chrono::milliseconds(1);
  timing.sendings = 3;
  timing.linkAttempts = 2;
  timing.linkRetryDelay = std::chrono::milliseconds(1);
  timing.mismatchResend = 3;
  timing.mismatchFail = 10;
  return timing;
}

class AnsweringLink : public DeliveryLink {
 public:
  AnsweringLink(bool up, int answersPerFrame, std::deque<LinkFrame> answers)
      : up_(up), answersPerFrame_(answersPerFrame), answers_(std::move(answers)) {}

  bool IsUp() const override { return up_; }
  MacAddress AdapterMac() const override { return kAdapter; }
  bool Send(const LinkFrame& frame) override {
    sent_.push_back(frame);
    for (int i = 0; i < answersPerFrame_ && !answers_.empty(); ++i) {
      // Only frames from the job's device reach its mailbox.
      LinkFrame answer = answers_.front();
      answers_.pop_front();
      answer.setSource(frame.destination());
      posted_.push_back(answer);
      for (const auto& box : boxes_[answer.source()])
        box->Post(answer);
    }
    return true;
  }
  void Attach(const MacAddress& device, std::shared_ptr<FrameMailbox> mailbox) override {
    boxes_[device].push_back(std::move(mailbox));
  }
  void Detach(const MacAddress& device, const std::shared_ptr<FrameMailbox>& mailbox) override {
    std::erase(boxes_[device], mailbox);
  }

  const std::vector<LinkFrame>& sent() const { return sent_; }
  const std::vector<LinkFrame>& posted() const { return posted_; }
  std::size_t attached() const {
    std::size_t n = 0;
    for (const auto& [device, boxes] : boxes_)
      n += boxes.size();
    return n;
  }

 private:
  bool up_;
  int answersPerFrame_;
  std::deque<LinkFrame> answers_;
  std::vector<LinkFrame> sent_;
  std::vector<LinkFrame> posted_;
  std::map<MacAddress, std::vector<std::shared_ptr<FrameMailbox>>> boxes_;
};

struct FileChoice {
  std::filesystem::path path;
  std::string bytes;
  bool regular = true;
};

// Small files around the chunk size, a missing one and a folder.
const std::vector<FileChoice>& Files() {
  static const std::vector<FileChoice> files = [] {
    std::vector<FileChoice> made;
    for (const std::size_t size : {0, 1, 1024, 1025, 2500, 3072}) {
      FileChoice choice;
      choice.path = fuzz::ScratchDir() / ("file" + std::to_string(size));
      for (std::size_t i = 0; i < size; ++i)
        choice.bytes.push_back(static_cast<char>((i * 7 + 3) & 0xFF));
      std::ofstream(choice.path, std::ios::binary) << choice.bytes;
      made.push_back(std::move(choice));
    }
    made.push_back({fuzz::ScratchDir() / "missing", "", false});
    made.push_back({fuzz::ScratchDir(), "", false});
    return made;
  }();
  return files;
}

// Acknowledgements for every chunk, in order, among the frames the device sent.
bool AcknowledgedInOrder(const std::vector<LinkFrame>& posted, std::uint16_t category,
                         std::uint32_t chunks) {
  std::uint32_t next = 1;
  for (const LinkFrame& f : posted) {
    if (next > chunks)
      break;
    if (f.sequence() == kAnySequence ||
        (f.category() == category && f.opcode() == OP_ACK && f.sequence() == next))
      ++next;
  }
  return next > chunks;
}

void CheckFile(const AnsweringLink& link, const LinkFrame& transferTemplate, std::uint16_t category,
               const FileChoice& file, bool delivered) {
  const DeliveryTiming timing = Timing();
  const std::uint64_t length = file.bytes.size();
  const auto chunks =
      static_cast<std::uint32_t>(std::max<std::uint64_t>(1, (length + 1023) / 1024));
  const std::size_t mostPerChunk =
      static_cast<std::size_t>(timing.sendings) + timing.mismatchFail / timing.mismatchResend + 1;
  BREVANT_FUZZ_CHECK(link.sent().size() <= chunks * mostPerChunk, "%zu frames for %u chunks",
                     link.sent().size(), chunks);
  std::map<std::uint16_t, LinkFrame> byChunk;
  std::uint16_t last = 0;
  for (const LinkFrame& frame : link.sent()) {
    LinkFrame header = frame;
    header.setSequence(transferTemplate.sequence());
    header.setChunkFlag(transferTemplate.chunkFlag());
    header.setPayload({});
    BREVANT_FUZZ_CHECK(header == transferTemplate, "a chunk's header is not the transfer's");
    BREVANT_FUZZ_CHECK(frame.sequence() >= 1 && frame.sequence() <= chunks,
                       "chunk %u of a %u-chunk file", frame.sequence(), chunks);
    BREVANT_FUZZ_CHECK(frame.sequence() >= last && frame.sequence() <= last + 1,
                       "chunk %u sent after chunk %u", frame.sequence(), last);
    last = frame.sequence();
    const auto [at, fresh] = byChunk.emplace(frame.sequence(), frame);
    BREVANT_FUZZ_CHECK(fresh || at->second == frame, "chunk %u changed between sendings", last);
  }
  if (!delivered)
    return;
  BREVANT_FUZZ_CHECK(file.regular, "a file that is not there was delivered");
  BREVANT_FUZZ_CHECK(byChunk.size() == chunks, "%zu of %u chunks sent", byChunk.size(), chunks);
  std::string content;
  std::uint64_t position = 0;
  for (const auto& [number, frame] : byChunk) {
    const auto payload = frame.payload();
    content.append(reinterpret_cast<const char*>(payload.data()), payload.size());
    BREVANT_FUZZ_CHECK(
        frame.chunkFlag() == ChunkFlagFor(position, position + payload.size(), length),
        "chunk %u has the wrong flag", number);
    position += payload.size();
  }
  BREVANT_FUZZ_CHECK(content == file.bytes, "the chunks do not make up the file");
  BREVANT_FUZZ_CHECK(AcknowledgedInOrder(link.posted(), category, chunks),
                     "the file counts as delivered without an acknowledgement of every chunk");
}

void CheckCommand(const AnsweringLink& link, const LinkFrame& command, bool delivered) {
  const DeliveryTiming timing = Timing();
  BREVANT_FUZZ_CHECK(link.sent().size() <= static_cast<std::size_t>(timing.sendings) +
                                               timing.mismatchFail / timing.mismatchResend + 1,
                     "%zu sendings of one command", link.sent().size());
  for (const LinkFrame& frame : link.sent())
    BREVANT_FUZZ_CHECK(frame == command, "another frame than the command was sent");
  if (!delivered)
    return;
  BREVANT_FUZZ_CHECK(std::any_of(link.posted().begin(), link.posted().end(),
                                 [](const LinkFrame& f) {
                                   return f.category() == JSON_CMD_DATA && f.opcode() == OP_ACK &&
                                          f.sequence() == 1;
                                 }),
                     "the command counts as delivered without its acknowledgement");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const bool quiet = (fuzz::QuietDiagnostics(), true);
  (void)quiet;
  if (size == 0)
    return 0;
  const std::uint8_t control = data[0];
  std::deque<LinkFrame> answers;
  for (std::size_t at = 1; at < size && answers.size() < kMostFrames; at += kFrameSize)
    answers.push_back(LinkFrame::FromBytes(data + at, std::min(kFrameSize, size - at)));

  const int transfer = control & 0x03;
  const int answersPerFrame = (control >> 2) & 0x03;
  const FileChoice& file = Files()[(control >> 4) & 0x07];
  const bool up = (control & 0x80) == 0;
  AnsweringLink link(up, answersPerFrame, std::move(answers));

  if (transfer == 3) {
    const LinkFrame transferTemplate =
        MakeTransferTemplate(kDevice, kAdapter, JSON_CMD_DATA, OP_CMD, 1);
    const std::string text =
        R"({"Lockcode":"1234","Enable":"1","ACName":"ac","DNS1":"0.0.0.0","DNS2":"0.0.0.0"})";
    const bool delivered = SendCommand(link, transferTemplate, text, Timing());
    BREVANT_FUZZ_CHECK(up || !delivered, "a command went over a link that is down");
    CheckCommand(link, *MakeCommandFrame(transferTemplate, text), delivered);
  } else {
    const std::uint16_t category = transfer == 1 ? LOG_DATA : PARA_DATA;
    const std::uint16_t opcode = category == LOG_DATA ? OP_LOGO_CHUNK : OP_PARA_CHUNK;
    const LinkFrame transferTemplate =
        MakeTransferTemplate(kDevice, kAdapter, category, opcode, transfer == 2 ? 2 : 1);
    const bool delivered = SendFile(link, transferTemplate, category, file.path.string(), Timing());
    BREVANT_FUZZ_CHECK(up || !delivered, "a file went over a link that is down");
    CheckFile(link, transferTemplate, category, file, delivered);
  }
  BREVANT_FUZZ_CHECK(link.attached() == 0, "the job left its mailbox attached");
  return 0;
}
