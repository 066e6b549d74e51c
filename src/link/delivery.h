#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>

#include "link/delivery_link.h"
#include "link/frame.h"

namespace brevant {

class CSqlManagement;
class ResultLog;

enum DeliveryKind : std::int32_t {
  KIND_LOGO = 1,
  KIND_CONFIG = 2,
  KIND_LOGO_AND_CONFIG = 3,
  KIND_COMMAND = 4,
};

// Field sizes of a job record: the longest texts a job carries.
inline constexpr std::size_t kJobPathMax = 259;
inline constexpr std::size_t kJobCommandMax = kCommandTextMax;

// What a delivery page fills per target device and hands to the job's thread.
struct DeliveryJob {
  MacAddress destination{};
  MacAddress source{};
  std::int32_t kind = 0;
  std::string configPath;   // kinds 2 and 3
  std::string logoPath;     // kinds 1 and 3
  std::string commandText;  // kind 4
  // The store's generation of the device's delivery this job belongs to
  // (CSqlManagement::DeliveryGeneration after marking it OPERATING); 0: the
  // delivery that is current when the job writes.
  std::uint64_t delivery = 0;

  // Empty when every text fits its field; otherwise what does not.
  std::string CheckFields() const;
};

// The wire timing. The defaults are the protocol's; tests scale the times.
struct DeliveryTiming {
  std::chrono::milliseconds resendAfter{1000};  // silence before a chunk goes out again
  int sendings = 5;                             // the first sending and four repetitions
  int linkAttempts = 10;                        // while the link is not up
  std::chrono::milliseconds linkRetryDelay{100};
  std::uint32_t mismatchResend = 20000;  // re-send at every multiple
  std::uint32_t mismatchFail = 100000;
};

using ThreadStarter = std::function<bool(std::function<void()>)>;

struct DeliveryContext {
  DeliveryLink* link = nullptr;
  CSqlManagement* store = nullptr;
  DeliveryTiming timing;
  // Starts a detached thread; false when the platform refused one. Empty: std::thread.
  ThreadStarter startThread;
};

// Starts the job on a thread of its own, up to 5 attempts. False when the job's
// texts do not fit their fields (why in *error) or no thread could be started;
// the device then keeps the status the page wrote.
bool StartDeliveryJob(DeliveryJob job, const DeliveryContext& context,
                      std::string* error = nullptr);

// The job's transfers in order, with the status after each (the job thread's body).
void RunDeliveryJob(const DeliveryJob& job, const DeliveryContext& context);

// Called once, right before the last frame of a transfer first goes out: from
// then on the device may report its result.
using LastFrameHook = std::function<void()>;

// One file in 1024-byte chunks, stop-and-wait. True when the whole file was
// acknowledged. Only a regular file is sent; anything else (a FIFO, a device)
// fails at once without blocking.
bool SendFile(DeliveryLink& link, const LinkFrame& transferTemplate, std::uint16_t category,
              const std::string& path, const DeliveryTiming& timing,
              const LastFrameHook& lastFrame = {});

// The anti-theft command. True when it was acknowledged.
bool SendCommand(DeliveryLink& link, const LinkFrame& transferTemplate,
                 const std::string& commandText, const DeliveryTiming& timing,
                 const LastFrameHook& lastFrame = {});

// A device's result frame (categories 1-3, opcodes 5-10): the log line first,
// then the status, when the device's delivery awaits that result (a
// diagnostic line says so when it does not). False for any other frame.
bool HandleDeviceResult(const LinkFrame& frame, CSqlManagement& store, ResultLog& log);

// Jobs whose threads have not ended yet, and a wait for them (at shut-down and
// in tests). True when none is left by the deadline.
int RunningDeliveryJobs();
bool WaitForDeliveryJobs(std::chrono::steady_clock::time_point deadline);

// At shut-down: every job started before this call fails at its next wait
// (within one re-send interval), so no job outlives the link it uses. Jobs
// started afterwards run normally.
void StopDeliveryJobs();

}  // namespace brevant
