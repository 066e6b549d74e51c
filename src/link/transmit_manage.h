#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "link/adapters.h"
#include "link/auto_reset_event.h"
#include "link/capture.h"
#include "link/delivery_link.h"
#include "link/frame.h"
#include "records/status_store.h"

namespace brevant {

// The tool's side of the device link: the selected adapter, the process's one
// listening handle with its receive thread, the manage thread that records
// discovered devices and hands device results on, and the one send handle
// that discovery and every delivery job share.
//
// Lock order: the device-table lock is taken before the store's lock (inside
// InsertOrUpdateDevice), never the reverse; no other lock of this class is
// held while calling into the store or the result handler.
class AcTransmitManage : public DeliveryLink {
 public:
  using ResultHandler = std::function<void(const LinkFrame&)>;

  // The process's link manager: the process's store, the system's adapters,
  // libpcap. Created on first call, destroyed at exit.
  static AcTransmitManage& Instance();

  AcTransmitManage(CSqlManagement& store, std::shared_ptr<AdapterSource> adapters,
                   std::shared_ptr<CaptureFactory> captures);
  ~AcTransmitManage() override;
  AcTransmitManage(const AcTransmitManage&) = delete;
  AcTransmitManage& operator=(const AcTransmitManage&) = delete;

  // Stops and joins the threads of an earlier Init, then starts the receive
  // and the manage thread. Returns once the receive handle is open or has
  // failed to open (see IsUp). False when the event or a thread could not be
  // created (with the diagnostic line).
  bool Init();
  // Broadcasts one discovery request from the selected adapter; silently
  // nothing when the send handle cannot be opened.
  void SendDiscover();
  // Empties the device table; the next responses are recorded afresh.
  void ClearDevices();

  // The offered adapters (kind 1), in the system's order.
  void ListAdapters(std::vector<AdapterRecord>& list);
  // Selects the capture device named exactly as the record's adapter. False
  // when there is none (the selection keeps its previous device); when the
  // capture library cannot list its devices, *message receives
  // "pcap_findalldevs error" for the caller to show.
  bool FindCaptureDevice(const AdapterRecord& record, std::string* message = nullptr);
  // Applies a choice: the record's MAC address, then FindCaptureDevice.
  bool ApplyAdapter(const AdapterRecord& record, std::string* message = nullptr);
  void SetAdapterMac(const MacAddress& mac);
  std::string CaptureDeviceName() const;
  // The MTU of the selected capture device; nothing when it cannot be read.
  // Deliveries are refused below kMinimumLinkMtu.
  std::optional<int> CaptureDeviceMtu() const;

  // Receives every result frame (categories 1-3, opcodes 5-10) on the
  // manage thread, one at a time in the order they arrived. Empty: results
  // are ignored.
  void SetResultHandler(ResultHandler handler);

  // DeliveryLink.
  bool IsUp() const override;
  MacAddress AdapterMac() const override;
  bool Send(const LinkFrame& frame) override;
  void Attach(const MacAddress& device, std::shared_ptr<FrameMailbox> mailbox) override;
  void Detach(const MacAddress& device, const std::shared_ptr<FrameMailbox>& mailbox) override;

  // The device table, in order of first response.
  std::vector<DiscoveredDevice> Devices() const;
  std::size_t DeviceCount() const;
  // Why the receive or the send handle could not be opened last; empty when
  // both opened.
  std::string LastOpenError() const;

  // For tests: make one step of Init fail as if the platform had refused it.
  enum class InitStep { None, Event, ReceiveThread, ManageThread };
  void FailInitStepForTesting(InitStep step);
  // Receive and manage threads of this manager that have not ended.
  int LiveReceiveThreads() const { return liveReceive_.load(); }
  int LiveManageThreads() const { return liveManage_.load(); }

  // For tests: a smaller device table (the table holds kMaxDevices).
  void SetDeviceLimitForTesting(std::size_t devices);

  // Handles a frame as the receive thread does one from its handle (for the
  // routing benchmark).
  void DispatchForTesting(const LinkFrame& frame) { HandleFrame(frame); }

  // Responses and results waiting for the manage thread; beyond it (a manage
  // thread that could not start, a flood) further ones are dropped rather
  // than hoarded, each lost result with a diagnostic line.
  static constexpr std::size_t kResponseQueueMax = 16384;

  // Thread names, as /proc/self/task/*/comm shows them.
  static constexpr const char* kReceiveThreadName = "brv-recv";
  static constexpr const char* kManageThreadName = "brv-manage";

 private:
  enum class ReceiveState { Idle, Starting, Open, Failed };

  void StopThreads();
  void ThreadRecvDiscover(std::string device, MacAddress adapter);
  void ThreadManageDiscover();
  void HandleFrame(const LinkFrame& frame);
  // Sends what is queued while the handle is free; false when the first
  // round failed.
  bool SendPending();
  bool SendLocked(const LinkFrame& frame, const std::string& device);
  void ProcessDiscoveryResponse(const LinkFrame& frame);
  void HandleResult(const LinkFrame& frame);

  CSqlManagement& store_;
  std::shared_ptr<AdapterSource> adapters_;
  std::shared_ptr<CaptureFactory> captures_;

  // Serialises Init and destruction.
  std::mutex lifecycleMutex_;
  InitStep failStep_ = InitStep::None;

  // Selected adapter: written by the window thread, read by every other.
  mutable std::mutex selectionMutex_;
  std::string captureDeviceName_;
  MacAddress adapterMac_{};

  std::mutex adapterListMutex_;

  std::thread thread_recv_discover_;
  std::thread thread_manage_discover_;
  std::shared_ptr<AutoResetEvent> event_manage_discover_;
  std::atomic<bool> receiveStop_{false};
  std::atomic<bool> manageStop_{false};
  std::atomic<int> liveReceive_{0};
  std::atomic<int> liveManage_{0};

  // The receive handle while the receive thread holds it open.
  mutable std::mutex receiveMutex_;
  std::condition_variable receiveChanged_;
  CaptureEndpoint* receiveEndpoint_ = nullptr;
  ReceiveState receiveState_ = ReceiveState::Idle;
  std::atomic<bool> up_{false};

  // Discovery responses and device results for the manage thread.
  std::mutex queueMutex_;
  std::vector<LinkFrame> responseQueue_;
  bool responsesDropped_ = false;  // since the queue last had room

  mutable std::mutex deviceTableMutex_;
  std::vector<DiscoveredDevice> devices_;
  std::unordered_set<std::string> knownMacs_;
  std::size_t deviceLimit_ = kMaxDevices;
  bool badSourceLogged_ = false;
  bool tableFullLogged_ = false;

  // The send handle, and the frames waiting for whoever holds it.
  std::mutex sendMutex_;
  std::unique_ptr<CaptureEndpoint> sendEndpoint_;
  std::string sendDevice_;
  std::vector<LinkFrame> sending_;
  std::mutex pendingMutex_;
  std::vector<LinkFrame> pending_;

  // Mailboxes of running jobs, by device MAC.
  std::mutex routeMutex_;
  std::unordered_map<std::uint64_t, std::vector<std::shared_ptr<FrameMailbox>>> mailboxes_;

  std::mutex handlerMutex_;
  std::shared_ptr<const ResultHandler> resultHandler_;

  mutable std::mutex errorMutex_;
  std::string receiveOpenError_;
  std::string sendOpenError_;
};

// Whether the frame is a device's result: category 1 opcode 5/6, category 2
// opcode 7/8, category 3 opcode 9/10.
bool IsResultFrame(const LinkFrame& frame);

// "%04d-%02d-%02d %02d:%02d:%02d" of the local time now.
std::string LocalTimeText();

}  // namespace brevant
