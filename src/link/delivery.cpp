#include "link/delivery.h"

#include <fcntl.h>
#include <pthread.h>
#include <sched.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

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

// Frames of the job's device while it is attached.
class Attachment {
 public:
  Attachment(DeliveryLink& link, const MacAddress& device)
      : link_(link), device_(device), mailbox_(std::make_shared<FrameMailbox>()) {
    link_.Attach(device_, mailbox_);
  }
  ~Attachment() { link_.Detach(device_, mailbox_); }
  FrameMailbox& mailbox() { return *mailbox_; }

 private:
  DeliveryLink& link_;
  MacAddress device_;
  std::shared_ptr<FrameMailbox> mailbox_;
};

// Sends one frame and waits for its acknowledgement with the protocol's
// repetition and limits. Silence is the time spent waiting without a frame,
// added up since the frame was first sent: every resendAfter of it re-sends,
// and `sendings` periods of it fail. Frames that are not the acknowledgement
// count as mismatches, re-sending at every multiple of mismatchResend and
// failing at mismatchFail. A steady flood therefore fails by count, not time.
template <typename IsAck>
bool SendAndAwait(DeliveryLink& link, FrameMailbox& mailbox, const LinkFrame& frame,
                  const DeliveryTiming& timing, std::uint64_t epoch, IsAck isAck) {
  SteadyClock::duration silence{};
  int sent = 0;
  std::uint64_t mismatches = 0;
  link.Send(frame);
  ++sent;
  while (true) {
    const SteadyClock::duration nextSending = timing.resendAfter * sent;
    const auto waitStart = SteadyClock::now();
    const auto received = mailbox.WaitUntil(waitStart + (nextSending - silence));
    silence += SteadyClock::now() - waitStart;
    if (gStopEpoch.load(std::memory_order_relaxed) != epoch)
      return false;
    std::uint64_t newMismatches = mailbox.TakeDropped();
    if (!received) {
      if (sent >= timing.sendings)
        return false;
      link.Send(frame);
      ++sent;
    } else if (isAck(*received)) {
      return true;
    } else {
      ++newMismatches;
    }
    if (newMismatches == 0)
      continue;
    const std::uint64_t before = mismatches;
    mismatches += newMismatches;
    if (mismatches >= timing.mismatchFail)
      return false;
    // Frames the mailbox had to drop arrive here in one count; each multiple
    // they pass still sends the chunk once, as if they had come one by one.
    for (auto k = before / timing.mismatchResend; k < mismatches / timing.mismatchResend; ++k) {
      link.Send(frame);
    }
  }
}

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
  // Up to `size` bytes; -1 on a read error.
  long Read(std::uint8_t* buffer, std::size_t size) {
    std::size_t total = 0;
    while (total < size) {
      const ssize_t n = ::read(fd_, buffer + total, size - total);
      if (n < 0 && errno == EINTR)
        continue;
      if (n < 0)
        return -1;
      if (n == 0)
        break;
      total += static_cast<std::size_t>(n);
    }
    return static_cast<long>(total);
  }

 private:
  int fd_;
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
  Attachment attachment(link, transferTemplate.destination());
  InputFile file(path);
  const auto length = file.Size();
  if (!length)
    return false;

  std::uint64_t position = 0;
  std::uint32_t chunk = 0;
  std::uint8_t buffer[kChunkDataSize];
  do {
    const std::size_t want =
        static_cast<std::size_t>(std::min<std::uint64_t>(kChunkDataSize, *length - position));
    const long n = file.Read(buffer, want);
    // A read error, or a file that shrank under us, would send something else
    // than the file: the transfer fails instead.
    if (n < 0 || static_cast<std::size_t>(n) != want)
      return false;
    const std::uint64_t before = position;
    position += static_cast<std::uint64_t>(n);
    ++chunk;
    const LinkFrame frame =
        MakeDataChunk(transferTemplate, chunk, ChunkFlagFor(before, position, *length),
                      std::span<const std::uint8_t>(buffer, static_cast<std::size_t>(n)));
    if (position == *length && lastFrame)
      lastFrame();
    // The chunk counter is compared whole: past 65535 chunks only 0xFFFF acknowledges.
    const bool acknowledged =
        SendAndAwait(link, attachment.mailbox(), frame, timing, epoch, [&](const LinkFrame& f) {
          return f.sequence() == kAnySequence ||
                 (f.category() == category && f.opcode() == OP_ACK && f.sequence() == chunk);
        });
    if (!acknowledged)
      return false;
  } while (position < *length);
  return true;
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
  Attachment attachment(link, transferTemplate.destination());
  if (lastFrame)
    lastFrame();
  return SendAndAwait(link, attachment.mailbox(), *frame, timing, epoch, [](const LinkFrame& f) {
    return f.category() == JSON_CMD_DATA && f.opcode() == OP_ACK && f.sequence() == 1;
  });
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
