#include "link/delivery.h"

#include <fcntl.h>
#include <pthread.h>
#include <sched.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <utility>
#include <vector>

#include "link/result_log.h"
#include "records/diag_log.h"
#include "records/status_store.h"

namespace brevant {

namespace {

using SteadyClock = std::chrono::steady_clock;

std::mutex gRunningMutex;
std::condition_variable gRunningChanged;
int gRunning = 0;
// Every StopDeliveryJobs starts a new stop epoch; a job runs in the epoch in
// which it was started and ends when that epoch is over.
std::atomic<std::uint64_t> gStopEpoch{0};
// The epoch of the job this thread runs; none outside jobs, where a transfer
// takes the epoch in which it began.
thread_local std::optional<std::uint64_t> tJobEpoch;

void JobStarted() {
  std::lock_guard lock(gRunningMutex);
  ++gRunning;
}

void JobEnded() {
  // Notified under the lock: a waiter that sees the count reach 0 returns only
  // after this, so a process that then ends does not destroy the condition
  // variable under a job thread still notifying it.
  std::lock_guard lock(gRunningMutex);
  --gRunning;
  gRunningChanged.notify_all();
}

void* JobThreadMain(void* argument) {
  const std::unique_ptr<std::function<void()>> body(static_cast<std::function<void()>*>(argument));
  // An acknowledgement that wakes the job does not preempt the receive thread
  // that delivered it: with a thousand jobs that preemption is most of the cost.
  const sched_param param{};
  pthread_setschedparam(pthread_self(), SCHED_BATCH, &param);
  (*body)();
  return nullptr;
}

// A detached thread with a small stack: a job needs a few kilobytes, and a
// thousand threads with the default 8 MiB each make starting and ending them
// expensive.
bool StartJobThread(std::function<void()> body) {
  constexpr std::size_t kJobStack = 256 * 1024;
  pthread_attr_t attributes;
  if (pthread_attr_init(&attributes) != 0)
    return false;
  pthread_attr_setstacksize(&attributes, kJobStack);
  pthread_attr_setdetachstate(&attributes, PTHREAD_CREATE_DETACHED);
  auto owned = std::make_unique<std::function<void()>>(std::move(body));
  pthread_t thread;
  const int started = pthread_create(&thread, &attributes, JobThreadMain, owned.get());
  pthread_attr_destroy(&attributes);
  if (started != 0)
    return false;  // the body goes with `owned`
  owned.release();
  return true;
}

bool WaitForLink(DeliveryLink& link, const DeliveryTiming& timing) {
  for (int attempt = 1; attempt <= timing.linkAttempts; ++attempt) {
    if (link.IsUp())
      return true;
    if (attempt < timing.linkAttempts)
      std::this_thread::sleep_for(timing.linkRetryDelay);
  }
  return false;
}

// One frame of a transfer as the job makes it.
struct OutFrame {
  LinkFrame frame;
  std::uint32_t number = 0;  // the chunk counter; the command is 1
  bool final = false;        // the transfer's last frame
};

// Where the frames of a transfer come from, on the job's thread.
class FrameSource {
 public:
  virtual ~FrameSource() = default;
  // Makes the next frames into *out[0], *out[1], ... up to `count`, stopping
  // after the last one; how many were made. Fewer, before the last, where the
  // next one could not be made now: asked for alone, a source tries that one
  // again, and a frame that cannot be made then fails the transfer.
  virtual std::size_t Make(OutFrame* const* out, std::size_t count) = 0;
};

// Frames the job keeps ready, so that the thread that receives an
// acknowledgement can send the next chunk at once: a chunk then costs no
// wake-up of the job, which wakes once per half of these to read more.
constexpr std::size_t kAheadFrames = 32;

// One stop-and-wait transfer, attached to the link as its device's mailbox.
// A frame goes out and the next goes only after its acknowledgement, with the
// protocol's repetition and limits: every resendAfter of silence since its
// first sending sends it again, `sendings` periods fail; frames that are not
// the acknowledgement count as mismatches, re-sending at every multiple of
// mismatchResend and failing at mismatchFail (a steady flood fails by count,
// not time).
//
// Two threads drive it. The job's thread makes the frames, keeps the time-outs
// and handles whatever comes in queued. The thread that posts a frame (the
// link's receive thread) answers an acknowledgement itself when nothing waits
// before it and the next frame is ready: it sends that frame on the spot.
// Every decision is taken under the mailbox's lock in the order the frames
// came, and the frames decided are sent in that order by one thread at a time
// (whoever holds the sending turn), so the wire sees what one thread would
// have sent: no chunk twice for one acknowledgement, none skipped, none after
// the next.
class StopAndWait final : public FrameMailbox {
 public:
  StopAndWait(DeliveryLink& link, const DeliveryTiming& timing, std::uint64_t epoch,
              std::uint16_t category, bool anySequenceAcknowledges)
      : link_(link),
        timing_(timing),
        epoch_(epoch),
        category_(category),
        anySequence_(anySequenceAcknowledges) {}

  // Runs the transfer on the job's thread; true when its last frame was
  // acknowledged. The hook runs right before the last frame first goes out.
  bool Run(FrameSource& source, const LastFrameHook& lastFrame) {
    OutFrame first;
    if (!MakeOne(source, first))
      return false;
    if (first.final && lastFrame)
      lastFrame();
    {
      std::lock_guard lock(Mutex());
      if (!first.final)
        ahead_.resize(kAheadFrames);
      InstallLocked(first);
      moreToRead_ = !first.final;
      wantMore_ = moreToRead_;
    }
    Flush();

    // The last frame, once read ahead: it waits here for the hook.
    std::optional<OutFrame> last;
    std::unique_lock lock(Mutex());
    for (;;) {
      // What came, in order, up to an acknowledgement that needs a frame from here.
      while (outcome_ == Outcome::Running && !acknowledged_) {
        const std::optional<LinkFrame> frame = PopLocked();
        if (!frame)
          break;
        HandleLocked(*frame);
      }
      if (outcome_ == Outcome::Running && gStopEpoch.load(std::memory_order_relaxed) != epoch_)
        outcome_ = Outcome::Failed;
      if (outcome_ != Outcome::Running)
        break;
      // (With the sending turn elsewhere, its holder sends these too.)
      if (!toSend_.empty() && !sending_) {
        lock.unlock();
        Flush();
        lock.lock();
        continue;
      }
      if (acknowledged_) {
        // Nothing was ready: the next frame goes out from here, read ahead
        // together with those after it.
        if (aheadCount_ == 0 && !last && moreToRead_)
          ReadAhead(lock, source, last);
        OutFrame next;
        if (aheadCount_ > 0) {
          next = PopAheadLocked();
        } else if (last) {
          next = *std::exchange(last, std::nullopt);
        } else {
          // One that could not be made before gets its last chance.
          lock.unlock();
          const bool made = MakeOne(source, next);
          lock.lock();
          if (!made) {
            outcome_ = Outcome::Failed;
            break;
          }
          moreToRead_ = !next.final;
        }
        if (next.final && lastFrame) {
          lock.unlock();
          lastFrame();
          lock.lock();
        }
        acknowledged_ = false;
        InstallLocked(next);
        wantMore_ = moreToRead_ && aheadCount_ <= kAheadFrames / 2;
        continue;
      }
      if (wantMore_) {
        wantMore_ = false;
        ReadAhead(lock, source, last);
        continue;
      }
      const auto deadline = firstSent_ + timing_.resendAfter * sent_;
      if (SteadyClock::now() >= deadline) {
        if (sent_ >= timing_.sendings) {
          outcome_ = Outcome::Failed;
          break;
        }
        toSend_.push_back(current_.frame);
        ++sent_;
        MismatchesLocked(TakeDroppedLocked());
        continue;
      }
      SleepLocked(lock, deadline);
    }
    lock.unlock();
    // What was decided before the end still goes out, and nothing of this
    // transfer goes out after it.
    Flush();
    lock.lock();
    while (sending_) {
      endWaits_ = true;
      SleepLocked(lock, SteadyClock::now() + std::chrono::milliseconds(10));
    }
    return outcome_ == Outcome::Acknowledged;
  }

 protected:
  bool TakeLocked(const LinkFrame& frame, bool& wake) override {
    // Only the acknowledgement whose next frame is ready; the job handles
    // everything else, in order.
    if (outcome_ != Outcome::Running || acknowledged_ || aheadCount_ == 0 || current_.final)
      return false;
    if (gStopEpoch.load(std::memory_order_relaxed) != epoch_ || !IsAckLocked(frame))
      return false;
    const bool wanted = wantMore_;
    AcknowledgedLocked();
    wake = wantMore_ && !wanted;
    return true;
  }

  void AfterTake() override { Flush(); }

 private:
  enum class Outcome { Running, Acknowledged, Failed };

  bool IsAckLocked(const LinkFrame& f) const {
    // The chunk counter is compared whole: past 65535 chunks only 0xFFFF acknowledges.
    return (anySequence_ && f.sequence() == kAnySequence) ||
           (f.category() == category_ && f.opcode() == OP_ACK && f.sequence() == current_.number);
  }

  // The frame becomes the awaited one, and its first sending is due.
  void InstallLocked(const OutFrame& frame) {
    current_ = frame;
    sent_ = 1;
    firstSent_ = SteadyClock::now();
    mismatches_ = 0;
    toSend_.push_back(frame.frame);
  }

  void AcknowledgedLocked() {
    if (current_.final) {
      outcome_ = Outcome::Acknowledged;
      return;
    }
    if (aheadCount_ == 0) {
      acknowledged_ = true;
      return;
    }
    InstallLocked(PopAheadLocked());
    if (moreToRead_ && aheadCount_ <= kAheadFrames / 2)
      wantMore_ = true;
  }

  const OutFrame& PopAheadLocked() {
    const OutFrame& frame = ahead_[aheadHead_];
    aheadHead_ = (aheadHead_ + 1) % kAheadFrames;
    --aheadCount_;
    return frame;
  }

  // Makes frames into the free slots behind the ready ones, without the lock:
  // the posting thread touches none of them until they are counted in. The
  // last frame of the transfer stays out, in `last`, for the job to send.
  void ReadAhead(std::unique_lock<std::mutex>& lock, FrameSource& source,
                 std::optional<OutFrame>& last) {
    const std::size_t room = kAheadFrames - aheadCount_;
    const std::size_t tail = (aheadHead_ + aheadCount_) % kAheadFrames;
    lock.unlock();
    OutFrame* slots[kAheadFrames];
    for (std::size_t i = 0; i < room; ++i)
      slots[i] = &ahead_[(tail + i) % kAheadFrames];
    std::size_t made = source.Make(slots, room);
    bool more = made == room;
    if (made > 0 && slots[made - 1]->final) {
      last = *slots[--made];
      more = false;
    }
    lock.lock();
    aheadCount_ += made;
    // A frame that could not be made is asked for again when its turn comes.
    moreToRead_ = more;
  }

  static bool MakeOne(FrameSource& source, OutFrame& frame) {
    OutFrame* const slot = &frame;
    return source.Make(&slot, 1) == 1;
  }

  // A frame the job took from the queue.
  void HandleLocked(const LinkFrame& frame) {
    const std::uint64_t dropped = TakeDroppedLocked();
    if (IsAckLocked(frame)) {
      AcknowledgedLocked();
      return;
    }
    MismatchesLocked(dropped + 1);
  }

  void MismatchesLocked(std::uint64_t count) {
    if (count == 0)
      return;
    const std::uint64_t before = mismatches_;
    mismatches_ += count;
    if (mismatches_ >= timing_.mismatchFail) {
      outcome_ = Outcome::Failed;
      return;
    }
    // Frames the mailbox had to drop arrive here in one count; each multiple
    // they pass still sends the frame once, as if they had come one by one.
    for (auto k = before / timing_.mismatchResend; k < mismatches_ / timing_.mismatchResend; ++k)
      toSend_.push_back(current_.frame);
  }

  // Sends the frames decided so far, unless another thread has the sending
  // turn: that one sends them after its own.
  void Flush() {
    std::unique_lock lock(Mutex());
    if (sending_)
      return;
    sending_ = true;
    while (!toSend_.empty()) {
      inFlight_.swap(toSend_);
      lock.unlock();
      for (const LinkFrame& frame : inFlight_)
        link_.Send(frame);
      inFlight_.clear();
      lock.lock();
    }
    sending_ = false;
    const bool wake = endWaits_ && NoteWakeLocked();
    endWaits_ = false;
    lock.unlock();
    if (wake)
      WakeReader();
  }

  DeliveryLink& link_;
  const DeliveryTiming timing_;
  const std::uint64_t epoch_;
  const std::uint16_t category_;
  const bool anySequence_;

  // Under the mailbox's lock.
  OutFrame current_;
  int sent_ = 0;  // sendings after silence, the first included
  SteadyClock::time_point firstSent_;
  std::uint64_t mismatches_ = 0;
  Outcome outcome_ = Outcome::Running;
  bool acknowledged_ = false;  // and no next frame was ready: the job's turn
  // Ready frames, in a ring of kAheadFrames: [aheadHead_, + aheadCount_).
  std::vector<OutFrame> ahead_;
  std::size_t aheadHead_ = 0;
  std::size_t aheadCount_ = 0;
  bool moreToRead_ = false;  // frames before the last one are still to be read
  bool wantMore_ = false;    // the job is to read ahead
  std::vector<LinkFrame> toSend_;
  bool sending_ = false;   // a thread has the sending turn
  bool endWaits_ = false;  // the job waits for that turn to end
  // The frames being sent; only the thread with the sending turn touches it.
  std::vector<LinkFrame> inFlight_;
};

// Attached to its device for as long as it lives.
class Attachment {
 public:
  Attachment(DeliveryLink& link, const MacAddress& device, std::shared_ptr<StopAndWait> transfer)
      : link_(link), device_(device), transfer_(std::move(transfer)) {
    link_.Attach(device_, transfer_);
  }
  ~Attachment() { link_.Detach(device_, transfer_); }
  Attachment(const Attachment&) = delete;
  Attachment& operator=(const Attachment&) = delete;

 private:
  DeliveryLink& link_;
  MacAddress device_;
  std::shared_ptr<FrameMailbox> transfer_;
};

// A file opened for reading that others may read and write meanwhile. Opened
// without blocking: opening a FIFO would otherwise wait for a writer for good
// (Size then refuses it, as anything that is not a regular file).
class InputFile {
 public:
  explicit InputFile(const std::string& path)
      : fd_(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK)) {}
  ~InputFile() {
    if (fd_ >= 0)
      ::close(fd_);
  }
  InputFile(const InputFile&) = delete;
  InputFile& operator=(const InputFile&) = delete;

  // The size of a regular file; nothing for anything else.
  std::optional<std::uint64_t> Size() const {
    struct stat info {};
    if (fd_ < 0 || ::fstat(fd_, &info) != 0 || !S_ISREG(info.st_mode))
      return std::nullopt;
    return static_cast<std::uint64_t>(info.st_size);
  }
  // The bytes at `offset` into the part, as many as there are up to its
  // length; fewer only at the end of the file or at a read error.
  std::uint64_t ReadAt(const iovec& part, std::uint64_t offset) {
    auto* buffer = static_cast<std::uint8_t*>(part.iov_base);
    std::size_t total = 0;
    while (total < part.iov_len) {
      const ssize_t n =
          ::pread(fd_, buffer + total, part.iov_len - total, static_cast<off_t>(offset + total));
      if (n < 0 && errno == EINTR)
        continue;
      if (n <= 0)
        break;
      total += static_cast<std::size_t>(n);
    }
    return total;
  }
  // The bytes at `offset` into the parts in turn, in one system call: however
  // many it gave (0 at an error).
  std::uint64_t ReadAt(const iovec* parts, std::size_t count, std::uint64_t offset) {
    for (;;) {
      const ssize_t n = ::preadv(fd_, parts, static_cast<int>(count), static_cast<off_t>(offset));
      if (n < 0 && errno == EINTR)
        continue;
      return n < 0 ? 0 : static_cast<std::uint64_t>(n);
    }
  }

 private:
  int fd_;
};

// The chunks of a file, their data read straight into the frames: one at a
// time, or several in one system call when read ahead.
class FileFrames : public FrameSource {
 public:
  FileFrames(const LinkFrame& transferTemplate, InputFile& file, std::uint64_t length)
      : template_(transferTemplate), file_(file), length_(length) {}

  std::size_t Make(OutFrame* const* out, std::size_t count) override {
    count = std::min(count, kAheadFrames);
    std::size_t frames = 0;
    std::uint64_t end = position_;
    iovec parts[kAheadFrames];
    // An empty file is one empty chunk.
    while (frames < count && (end < length_ || (length_ == 0 && chunk_ == 0 && frames == 0))) {
      const std::size_t want =
          static_cast<std::size_t>(std::min<std::uint64_t>(kChunkDataSize, length_ - end));
      out[frames]->frame = template_;
      parts[frames] = {out[frames]->frame.data() + frame_offset::kData, want};
      end += want;
      ++frames;
    }
    if (frames == 0)
      return 0;
    // A read error, or a file that shrank under us, would send something else
    // than the file: the transfer fails instead.
    const std::uint64_t got =
        frames == 1 ? file_.ReadAt(parts[0], position_) : file_.ReadAt(parts, frames, position_);
    std::size_t made = 0;
    std::uint64_t covered = 0;
    // Whole chunks only; one cut short is read again alone.
    for (; made < frames && got >= covered + parts[made].iov_len; ++made) {
      const std::size_t n = parts[made].iov_len;
      covered += n;
      const std::uint64_t before = position_;
      position_ += n;
      ++chunk_;
      LinkFrame& frame = out[made]->frame;
      frame.setSequence(SequenceField(chunk_));
      frame.setChunkFlag(ChunkFlagFor(before, position_, length_));
      frame.setDataLength(static_cast<std::uint16_t>(n));
      out[made]->number = chunk_;
      out[made]->final = position_ == length_;
    }
    return made;
  }

 private:
  const LinkFrame& template_;
  InputFile& file_;
  const std::uint64_t length_;
  std::uint64_t position_ = 0;  // of the next chunk
  std::uint32_t chunk_ = 0;
};

// The anti-theft command: one frame, sequence 1.
class OneFrame : public FrameSource {
 public:
  explicit OneFrame(const LinkFrame& frame) : frame_(frame) {}
  std::size_t Make(OutFrame* const* out, std::size_t count) override {
    if (taken_ || count == 0)
      return 0;
    taken_ = true;
    *out[0] = OutFrame{frame_, 1, true};
    return 1;
  }

 private:
  LinkFrame frame_;
  bool taken_ = false;
};

}  // namespace

std::string DeliveryJob::CheckFields() const {
  if (configPath.size() > kJobPathMax)
    return "configuration file path longer than 259 bytes";
  if (logoPath.size() > kJobPathMax)
    return "logo file path longer than 259 bytes";
  if (commandText.size() > kJobCommandMax)
    return "command text longer than 511 bytes";
  return {};
}

std::uint64_t TransferEpoch() {
  return tJobEpoch.value_or(gStopEpoch.load(std::memory_order_relaxed));
}

bool SendFile(DeliveryLink& link, const LinkFrame& transferTemplate, std::uint16_t category,
              const std::string& path, const DeliveryTiming& timing,
              const LastFrameHook& lastFrame) {
  const std::uint64_t epoch = TransferEpoch();
  if (!WaitForLink(link, timing))
    return false;
  auto transfer = std::make_shared<StopAndWait>(link, timing, epoch, category, true);
  Attachment attachment(link, transferTemplate.destination(), transfer);
  InputFile file(path);
  const auto length = file.Size();
  if (!length)
    return false;
  FileFrames frames(transferTemplate, file, *length);
  return transfer->Run(frames, lastFrame);
}

bool SendCommand(DeliveryLink& link, const LinkFrame& transferTemplate,
                 const std::string& commandText, const DeliveryTiming& timing,
                 const LastFrameHook& lastFrame) {
  const std::uint64_t epoch = TransferEpoch();
  const auto frame = MakeCommandFrame(transferTemplate, commandText);
  if (!frame)
    return false;
  if (!WaitForLink(link, timing))
    return false;
  // 0xFFFF acknowledges files only.
  auto transfer = std::make_shared<StopAndWait>(link, timing, epoch, JSON_CMD_DATA, false);
  Attachment attachment(link, transferTemplate.destination(), transfer);
  OneFrame command(*frame);
  return transfer->Run(command, lastFrame);
}

void RunDeliveryJob(const DeliveryJob& job, const DeliveryContext& context) {
  DeliveryLink& link = *context.link;
  CSqlManagement& store = *context.store;
  const std::string mac = DeviceMacText(job.destination);
  auto templateFor = [&](std::uint16_t category, std::uint16_t opcode, std::uint16_t transfers) {
    return MakeTransferTemplate(job.destination, job.source, category, opcode, transfers);
  };
  auto status = [](bool ok) { return ok ? TRANSMIT_FINISH : TRANSMIT_FAIL; };

  auto finish = [&](std::uint16_t category, bool ok) {
    store.SetTransferStatus(category, mac, status(ok), job.delivery);
  };
  // The device's result of a kind counts once its last frame is on its way.
  auto awaiting = [&](std::uint16_t category) {
    return [&store, &mac, &job, category] { store.AwaitDeviceResult(category, mac, job.delivery); };
  };
  switch (job.kind) {
    case KIND_LOGO:
      finish(LOG_DATA, SendFile(link, templateFor(LOG_DATA, OP_LOGO_CHUNK, 1), LOG_DATA,
                                job.logoPath, context.timing, awaiting(LOG_DATA)));
      break;
    case KIND_CONFIG:
      finish(PARA_DATA, SendFile(link, templateFor(PARA_DATA, OP_PARA_CHUNK, 1), PARA_DATA,
                                 job.configPath, context.timing, awaiting(PARA_DATA)));
      break;
    case KIND_COMMAND:
      finish(JSON_CMD_DATA, SendCommand(link, templateFor(JSON_CMD_DATA, OP_CMD, 1),
                                        job.commandText, context.timing, awaiting(JSON_CMD_DATA)));
      break;
    default:
      // The configuration goes whatever became of the logo.
      finish(LOG_DATA, SendFile(link, templateFor(LOG_DATA, OP_LOGO_CHUNK, 2), LOG_DATA,
                                job.logoPath, context.timing, awaiting(LOG_DATA)));
      finish(PARA_DATA, SendFile(link, templateFor(PARA_DATA, OP_PARA_CHUNK, 2), PARA_DATA,
                                 job.configPath, context.timing, awaiting(PARA_DATA)));
      break;
  }
}

bool StartDeliveryJob(DeliveryJob job, const DeliveryContext& context, std::string* error) {
  if (context.link == nullptr || context.store == nullptr) {
    if (error != nullptr)
      *error = "no link or no store for the job";
    return false;
  }
  const std::string why = job.CheckFields();
  if (!why.empty()) {
    if (error != nullptr)
      *error = why;
    return false;
  }
  ThreadStarter start = context.startThread;
  if (!start)
    start = StartJobThread;
  // A stop from now on ends this job; one before it does not.
  const std::uint64_t epoch = gStopEpoch.load();
  for (int attempt = 0; attempt < 5; ++attempt) {
    // The count lets shut-down wait for the job; it drops when the last copy of
    // the body is gone, whether it ran or the start was refused.
    JobStarted();
    std::shared_ptr<void> running(nullptr, [](void*) { JobEnded(); });
    // The thread owns its copy of the job.
    if (start([job, context, running, epoch] {
          tJobEpoch = epoch;
          RunDeliveryJob(job, context);
          tJobEpoch.reset();
        }))
      return true;
  }
  if (error != nullptr)
    *error = "no thread could be started for the job";
  return false;
}

bool HandleDeviceResult(const LinkFrame& frame, CSqlManagement& store, ResultLog& log) {
  const std::uint16_t category = frame.category();
  const std::uint16_t opcode = frame.opcode();
  bool success = false;
  std::int32_t code = 0;
  switch (opcode) {
    case OP_PARA_OK:
    case OP_LOGO_OK:
    case OP_CMD_OK:
      success = true;
      code = OPERATE_SUCCESS;
      break;
    case OP_PARA_FAIL:
    case OP_LOGO_FAIL:
      code = OPERATE_FAIL;
      break;
    case OP_CMD_FAIL:
      code = LOCKCODE_MISMATCH;
      break;
    default:
      return false;
  }
  // Each category has its own two result opcodes.
  const bool matches =
      (category == PARA_DATA && (opcode == OP_PARA_OK || opcode == OP_PARA_FAIL)) ||
      (category == LOG_DATA && (opcode == OP_LOGO_OK || opcode == OP_LOGO_FAIL)) ||
      (category == JSON_CMD_DATA && (opcode == OP_CMD_OK || opcode == OP_CMD_FAIL));
  if (!matches)
    return false;
  const std::string mac = DeviceMacText(frame.source());
  log.WriteResult(ResultTypeText(category), mac, success);
  if (!store.SetDeviceResult(category, mac, code)) {
    const std::string type(ResultTypeText(category));
    WriteLog("HandleDeviceResult", 1, __LINE__,
             "%s %s of %s not recorded: no delivery of it waits for a result", type.c_str(),
             success ? "success" : "failure", mac.c_str());
  }
  return true;
}

int RunningDeliveryJobs() {
  std::lock_guard lock(gRunningMutex);
  return gRunning;
}

void StopDeliveryJobs() {
  gStopEpoch.fetch_add(1);
}

bool WaitForDeliveryJobs(std::chrono::steady_clock::time_point deadline) {
  std::unique_lock lock(gRunningMutex);
  return gRunningChanged.wait_until(lock, deadline, [] { return gRunning == 0; });
}

}  // namespace brevant
