#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <queue>
#include <unordered_map>
#include <vector>

#include "device_plan.h"
#include "link/frame.h"
#include "transfers.h"

namespace brevant::devsim {

struct SimulatorStats {
  std::uint64_t framesIn = 0;
  std::uint64_t discoveryRequests = 0;
  std::uint64_t answersSent = 0;
  std::uint64_t sendFailures = 0;
  std::uint64_t ignored = 0;         // frames no simulated device handles
  std::uint64_t transfers = 0;       // files and commands received whole
  std::uint64_t protocolErrors = 0;  // what a real device would have refused
};

// Many devices behind one handle. Every frame from the wire goes through
// OnFrame, which dispatches it to the device it is addressed to (every device
// for a broadcast) and, there, on (category, opcode). Answers due at once are
// sent at once; later ones wait in a queue that SendDue empties.
class Simulator {
 public:
  using Clock = std::chrono::steady_clock;
  using SendFunction = std::function<bool(const LinkFrame&)>;

  // Received files go below outputRoot (nowhere when it is empty); a device
  // without a lock code of its own takes defaultLockCode.
  Simulator(std::vector<DevicePlan> devices, SendFunction send,
            std::filesystem::path outputRoot = {}, std::string defaultLockCode = {});

  void OnFrame(const LinkFrame& frame, std::size_t wireLength, Clock::time_point now);
  // Sends what is due by now; when the next frame is due, if any is waiting.
  std::optional<Clock::time_point> SendDue(Clock::time_point now);

  const SimulatorStats& Stats() const { return stats_; }
  std::size_t DeviceCount() const { return devices_.size(); }
  // Frames waiting for their time.
  std::size_t Pending() const { return pending_.size(); }

  // Results that devices keep until released (a test looks at what comes
  // before a device's result without racing its delay).
  std::size_t Held() const { return held_.size(); }
  // Every result held so far goes out at its own time or now, whichever is
  // later; results made afterwards are held again. How many were released.
  std::size_t ReleaseHeld(Clock::time_point now);

 private:
  // One simulated device and what it keeps between frames.
  struct SimDevice {
    DevicePlan plan;
    LinkFrame answer;  // the discovery response, its destination set per request
    LinkFrame again;
    unsigned requestsSeen = 0;
    std::unique_ptr<DeviceTransfers> transfers;
  };
  struct Due {
    Clock::time_point at;
    std::uint64_t order;  // keeps frames due at one time in the order they were made
    LinkFrame frame;
    bool operator>(const Due& other) const {
      return at != other.at ? at > other.at : order > other.order;
    }
  };

  void Dispatch(SimDevice& device, const LinkFrame& frame, std::size_t wireLength,
                Clock::time_point now);
  void OnDiscover(SimDevice& device, const LinkFrame& request, Clock::time_point now);
  void SendNow(const LinkFrame& frame);
  void SendLater(Clock::time_point at, const LinkFrame& frame);

  std::vector<SimDevice> devices_;
  std::unordered_map<std::uint64_t, std::size_t> byMac_;
  SendFunction send_;
  std::priority_queue<Due, std::vector<Due>, std::greater<Due>> pending_;
  std::vector<Due> held_;
  std::uint64_t order_ = 0;
  SimulatorStats stats_;
  std::vector<Outgoing> answers_;  // of the frame in hand, kept for its room
};

}  // namespace brevant::devsim
