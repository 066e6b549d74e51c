#include "link/transmit_manage.h"

#include <pthread.h>

#include <chrono>
#include <cstdio>
#include <ctime>
#include <system_error>

#include "app/exe_dir.h"
#include "link/delivery.h"
#include "link/pcap_capture.h"
#include "link/result_log.h"
#include "records/diag_log.h"
#include "text/text.h"

namespace brevant {

namespace {

constexpr const char* kInitFunction = "bool __thiscall AcTransmitManage::Init(void)";
constexpr const char* kReceiveFunction = "void AcTransmitManage::ThreadRecvDiscover(void)";
constexpr const char* kManageFunction = "void AcTransmitManage::ThreadManageDiscover(void)";

// How long a thread may go without looking at its stop flag.
constexpr auto kReceiveTurn = std::chrono::milliseconds(100);
constexpr auto kManageTurn = std::chrono::milliseconds(500);
// Pause after a failed read, so an interface that went away is not spun on.
constexpr auto kReadErrorPause = std::chrono::milliseconds(10);
// Frames read in one go before the stop flag is looked at again.
constexpr int kReadBatch = 256;
// How long Init waits for the receive handle to open.
constexpr auto kOpenWait = std::chrono::seconds(5);

std::uint64_t MacKey(const MacAddress& mac) {
  std::uint64_t key = 0;
  for (const std::uint8_t byte : mac)
    key = (key << 8) | byte;
  return key;
}

void NameThisThread(const char* name) {
  pthread_setname_np(pthread_self(), name);
}

}  // namespace

bool IsResultFrame(const LinkFrame& frame) {
  const std::uint16_t opcode = frame.opcode();
  switch (frame.category()) {
    case PARA_DATA:
      return opcode == OP_PARA_FAIL || opcode == OP_PARA_OK;
    case LOG_DATA:
      return opcode == OP_LOGO_FAIL || opcode == OP_LOGO_OK;
    case JSON_CMD_DATA:
      return opcode == OP_CMD_FAIL || opcode == OP_CMD_OK;
    default:
      return false;
  }
}

std::string LocalTimeText() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char text[80];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", local.tm_year + 1900,
                local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec);
  return text;
}

AcTransmitManage& AcTransmitManage::Instance() {
  // Made before the manager, so it outlives the receive thread at exit.
  static ResultLog resultLog(ExecutableDirectory());
  static AcTransmitManage manager(CSqlManagement::Instance(),
                                  std::make_shared<SysfsAdapterSource>(),
                                  std::make_shared<PcapCaptureFactory>());
  // Device results become log lines and statuses.
  static const bool wired = [] {
    manager.SetResultHandler([](const LinkFrame& frame) {
      HandleDeviceResult(frame, CSqlManagement::Instance(), resultLog);
    });
    return true;
  }();
  (void)wired;
  return manager;
}

AcTransmitManage::AcTransmitManage(CSqlManagement& store, std::shared_ptr<AdapterSource> adapters,
                                   std::shared_ptr<CaptureFactory> captures)
    : store_(store), adapters_(std::move(adapters)), captures_(std::move(captures)) {}

AcTransmitManage::~AcTransmitManage() {
  std::lock_guard lifecycle(lifecycleMutex_);
  StopThreads();
  std::lock_guard lock(sendMutex_);
  sendEndpoint_.reset();
}

bool AcTransmitManage::Init() {
  std::lock_guard lifecycle(lifecycleMutex_);
  StopThreads();
  {
    // A fresh start also reopens the send handle, on the adapter now chosen.
    std::lock_guard lock(sendMutex_);
    sendEndpoint_.reset();
    std::lock_guard errorLock(errorMutex_);
    sendOpenError_.clear();
  }
  // Frames left to us while the handle was held here.
  SendPending();

  if (failStep_ != InitStep::Event)
    event_manage_discover_ = std::make_shared<AutoResetEvent>();
  if (!event_manage_discover_) {
    WriteLog(kInitFunction, 1, 115, "create event_manage_discover fail");
    return false;
  }
  receiveStop_ = false;
  manageStop_ = false;
  {
    std::lock_guard lock(queueMutex_);
    responseQueue_.clear();
  }

  auto start = [&](std::thread& thread, InitStep step, std::atomic<int>& live, auto body) {
    if (failStep_ == step)
      return false;
    ++live;
    try {
      thread = std::thread(body);
    } catch (const std::system_error&) {
      --live;
      return false;
    }
    return true;
  };

  const std::string device = CaptureDeviceName();
  const MacAddress adapter = AdapterMac();
  {
    std::lock_guard lock(receiveMutex_);
    receiveState_ = ReceiveState::Starting;
  }
  if (!start(thread_recv_discover_, InitStep::ReceiveThread, liveReceive_,
             [this, device, adapter] { ThreadRecvDiscover(device, adapter); })) {
    std::lock_guard lock(receiveMutex_);
    receiveState_ = ReceiveState::Idle;
    WriteLog(kInitFunction, 1, 123, "create thread_recv_discover fail");
    return false;
  }
  const bool manageStarted = start(thread_manage_discover_, InitStep::ManageThread, liveManage_,
                                   [this] { ThreadManageDiscover(); });
  // Named from here too, so the name is there when Init returns.
  if (manageStarted)
    pthread_setname_np(thread_manage_discover_.native_handle(), kManageThreadName);
  {
    // Responses to a broadcast sent right after Init must find the handle open.
    std::unique_lock lock(receiveMutex_);
    receiveChanged_.wait_for(lock, kOpenWait,
                             [&] { return receiveState_ != ReceiveState::Starting; });
  }
  if (!manageStarted) {
    WriteLog(kInitFunction, 1, 131, "create thread_manage_discover fail");
    return false;
  }
  return true;
}

void AcTransmitManage::StopThreads() {
  receiveStop_ = true;
  manageStop_ = true;
  if (event_manage_discover_)
    event_manage_discover_->Set();
  {
    std::lock_guard lock(receiveMutex_);
    if (receiveEndpoint_ != nullptr)
      receiveEndpoint_->Interrupt();
  }
  if (thread_recv_discover_.joinable())
    thread_recv_discover_.join();
  if (thread_manage_discover_.joinable())
    thread_manage_discover_.join();
  event_manage_discover_.reset();
}

void AcTransmitManage::ThreadRecvDiscover(std::string device, MacAddress adapter) {
  NameThisThread(kReceiveThreadName);
  std::string error;
  std::unique_ptr<CaptureEndpoint> endpoint =
      captures_->Open(device, ReceiveCaptureOptions(adapter), &error);
  {
    std::lock_guard lock(errorMutex_);
    receiveOpenError_ = endpoint ? std::string() : error;
  }
  {
    std::lock_guard lock(receiveMutex_);
    receiveEndpoint_ = endpoint.get();
    receiveState_ = endpoint ? ReceiveState::Open : ReceiveState::Failed;
    up_ = endpoint != nullptr;
  }
  receiveChanged_.notify_all();
  if (!endpoint) {
    // No device is found and no result is received until the next Init.
    WriteLog(kReceiveFunction, 1, __LINE__, "cannot listen: %s", error.c_str());
    --liveReceive_;
    return;
  }

  LinkFrame frame;
  while (!receiveStop_) {
    if (!endpoint->WaitReadable(std::chrono::steady_clock::now() + kReceiveTurn))
      continue;
    for (int n = 0; n < kReadBatch && !receiveStop_; ++n) {
      const ReadStatus status = endpoint->Read(frame);
      if (status == ReadStatus::Frame) {
        HandleFrame(frame);
        continue;
      }
      if (status == ReadStatus::Error)
        std::this_thread::sleep_for(kReadErrorPause);
      break;
    }
  }

  {
    std::lock_guard lock(receiveMutex_);
    receiveEndpoint_ = nullptr;
    receiveState_ = ReceiveState::Idle;
    up_ = false;
  }
  endpoint.reset();
  --liveReceive_;
}

void AcTransmitManage::HandleFrame(const LinkFrame& frame) {
  {
    // Every frame of a device with a running job reaches that job. Posted
    // outside the lock: a post may wake its job or send the job's next chunk
    // from here, and jobs that attach or detach meanwhile should not wait for
    // that.
    thread_local std::vector<std::shared_ptr<FrameMailbox>> targets;
    {
      std::lock_guard lock(routeMutex_);
      if (!mailboxes_.empty()) {
        const auto it = mailboxes_.find(MacKey(frame.source()));
        if (it != mailboxes_.end())
          targets.assign(it->second.begin(), it->second.end());
      }
    }
    for (const auto& mailbox : targets)
      mailbox->Post(frame);
    targets.clear();
  }

  const bool response = frame.category() == DISCOVERY && frame.opcode() == OP_ACK;
  // Anything else (acknowledgements among them) is for the jobs alone.
  if (!response && !IsResultFrame(frame))
    return;
  // Recorded by the manage thread, in the order they came: the store and the
  // result log may keep it waiting, and the acknowledgements of every running
  // job must not wait behind them.
  bool dropped = false;
  bool firstDroppedResponse = false;
  {
    std::lock_guard lock(queueMutex_);
    if (responseQueue_.size() < kResponseQueueMax) {
      responseQueue_.push_back(frame);
      responsesDropped_ = false;
    } else {
      dropped = true;
      firstDroppedResponse = response && !responsesDropped_;
      responsesDropped_ = responsesDropped_ || response;
    }
  }
  if (event_manage_discover_)
    event_manage_discover_->Set();
  if (!dropped)
    return;
  // The queue is full. A device result is lost for good, so each one is named;
  // a device whose answer is lost answers the next broadcast again.
  if (!response) {
    const std::string type(ResultTypeText(frame.category()));
    const bool success =
        frame.opcode() == OP_PARA_OK || frame.opcode() == OP_LOGO_OK || frame.opcode() == OP_CMD_OK;
    WriteLog(kReceiveFunction, 1, __LINE__, "%s %s of %s lost: %zu frames wait already",
             type.c_str(), success ? "success" : "failure", DeviceMacText(frame.source()).c_str(),
             kResponseQueueMax);
  } else if (firstDroppedResponse) {
    WriteLog(kReceiveFunction, 1, __LINE__,
             "discovery responses lost from %s on: %zu frames wait already",
             DeviceMacText(frame.source()).c_str(), kResponseQueueMax);
  }
}

void AcTransmitManage::HandleResult(const LinkFrame& frame) {
  std::shared_ptr<const ResultHandler> handler;
  {
    std::lock_guard lock(handlerMutex_);
    handler = resultHandler_;
  }
  if (handler && *handler)
    (*handler)(frame);
}

void AcTransmitManage::ThreadManageDiscover() {
  NameThisThread(kManageThreadName);
  const std::shared_ptr<AutoResetEvent> event = event_manage_discover_;
  std::vector<LinkFrame> taken;
  while (true) {
    // The deadline only bounds how long a stop can go unnoticed.
    const bool signalled = event->WaitFor(kManageTurn);
    if (manageStop_)
      break;
    if (!signalled)
      continue;
    {
      std::lock_guard lock(queueMutex_);
      taken.swap(responseQueue_);
    }
    for (const LinkFrame& frame : taken) {
      if (manageStop_)
        break;
      if (frame.category() == DISCOVERY)
        ProcessDiscoveryResponse(frame);
      else
        HandleResult(frame);
    }
    taken.clear();
  }
  --liveManage_;
}

void AcTransmitManage::ProcessDiscoveryResponse(const LinkFrame& frame) {
  const MacAddress source = frame.source();
  DiscoveredDevice device;
  device.time = LocalTimeText();
  device.mac = DeviceMacText(source);
  // A group address cannot be a device: recording it would send a delivery
  // to every device on the segment.
  const bool groupAddress = (source[0] & 0x01) != 0;
  const bool zeroAddress = source == MacAddress{};

  std::lock_guard lock(deviceTableMutex_);
  if (groupAddress || zeroAddress) {
    if (!badSourceLogged_) {
      badSourceLogged_ = true;
      WriteLog(kManageFunction, 1, __LINE__, "ignored a discovery response from %s",
               device.mac.c_str());
    }
    return;
  }
  if (knownMacs_.count(device.mac) != 0)
    return;
  if (knownMacs_.size() >= deviceLimit_) {
    if (!tableFullLogged_) {
      tableFullLogged_ = true;
      WriteLog(kManageFunction, 1, __LINE__,
               "the device table is full (%zu devices); %s and later new devices are ignored",
               deviceLimit_, device.mac.c_str());
    }
    return;
  }
  knownMacs_.insert(device.mac);
  DiscoveryTexts texts = ReadDiscoveryTexts(frame);
  device.ssid2 = std::move(texts.ssid2);
  device.ssid5 = std::move(texts.ssid5);
  device.key2 = std::move(texts.key2);
  device.key5 = std::move(texts.key5);
  devices_.push_back(device);
  // The store's lock is taken inside the device-table lock, as everywhere.
  store_.InsertOrUpdateDevice(device);
}

void AcTransmitManage::SendDiscover() {
  Send(MakeDiscoveryRequest(AdapterMac()));
}

void AcTransmitManage::ClearDevices() {
  std::lock_guard lock(deviceTableMutex_);
  devices_.clear();
  knownMacs_.clear();
  badSourceLogged_ = false;
  tableFullLogged_ = false;
}

void AcTransmitManage::SetDeviceLimitForTesting(std::size_t devices) {
  std::lock_guard lock(deviceTableMutex_);
  deviceLimit_ = devices;
}

void AcTransmitManage::ListAdapters(std::vector<AdapterRecord>& list) {
  std::lock_guard lock(adapterListMutex_);
  list = OfferedAdapters(*adapters_);
}

bool AcTransmitManage::FindCaptureDevice(const AdapterRecord& record, std::string* message) {
  if (message != nullptr)
    message->clear();
  std::vector<std::string> devices;
  std::string error;
  if (!adapters_->CaptureDevices(devices, error)) {
    if (message != nullptr)
      *message = "pcap_findalldevs error";
    return false;
  }
  const auto match = MatchCaptureDevice(devices, record.name);
  if (!match)
    return false;
  std::lock_guard lock(selectionMutex_);
  captureDeviceName_ = CutUtf8(*match, kAdapterNameMax);
  return true;
}

bool AcTransmitManage::ApplyAdapter(const AdapterRecord& record, std::string* message) {
  SetAdapterMac(record.mac);
  return FindCaptureDevice(record, message);
}

void AcTransmitManage::SetAdapterMac(const MacAddress& mac) {
  std::lock_guard lock(selectionMutex_);
  adapterMac_ = mac;
}

std::string AcTransmitManage::CaptureDeviceName() const {
  std::lock_guard lock(selectionMutex_);
  return captureDeviceName_;
}

std::optional<int> AcTransmitManage::CaptureDeviceMtu() const {
  const std::string device = CaptureDeviceName();
  if (device.empty())
    return std::nullopt;
  return adapters_->Mtu(device);
}

void AcTransmitManage::SetResultHandler(ResultHandler handler) {
  auto shared = handler ? std::make_shared<const ResultHandler>(std::move(handler)) : nullptr;
  std::lock_guard lock(handlerMutex_);
  resultHandler_ = std::move(shared);
}

bool AcTransmitManage::IsUp() const {
  return up_;
}

MacAddress AcTransmitManage::AdapterMac() const {
  std::lock_guard lock(selectionMutex_);
  return adapterMac_;
}

bool AcTransmitManage::Send(const LinkFrame& frame) {
  // A thousand jobs send at once. A sender that finds the handle busy leaves
  // its frame to the thread sending at that moment instead of sleeping on the
  // lock: that sleep and its wake-up cost more than the send itself.
  {
    // Free, with nothing queued before this frame: it goes out from here.
    std::unique_lock lock(sendMutex_, std::try_to_lock);
    if (lock.owns_lock()) {
      bool queued = false;
      {
        std::lock_guard pendingLock(pendingMutex_);
        queued = !pending_.empty();
      }
      if (!queued) {
        const bool sent = SendLocked(frame, CaptureDeviceName());
        lock.unlock();
        bool more = false;
        {
          std::lock_guard pendingLock(pendingMutex_);
          more = !pending_.empty();
        }
        if (more)
          SendPending();
        return sent;
      }
    }
  }
  {
    std::lock_guard lock(pendingMutex_);
    pending_.push_back(frame);
  }
  return SendPending();
}

bool AcTransmitManage::SendPending() {
  // Our frame goes in the first round we hold the handle; later rounds send
  // frames queued meanwhile by others.
  std::optional<bool> ours;
  for (;;) {
    std::unique_lock lock(sendMutex_, std::try_to_lock);
    if (!lock.owns_lock())
      return ours.value_or(true);  // the holder looks at the queue after it lets go
    {
      std::lock_guard pendingLock(pendingMutex_);
      sending_.swap(pending_);
    }
    const std::string device = CaptureDeviceName();
    bool sent = true;
    for (const LinkFrame& queued : sending_) {
      // After a failure the rest would fail alike; they are lost as on a bad wire.
      if (sent)
        sent = SendLocked(queued, device);
    }
    sending_.clear();
    if (!ours)
      ours = sent;
    lock.unlock();
    std::lock_guard pendingLock(pendingMutex_);
    if (pending_.empty())
      return *ours;
  }
}

bool AcTransmitManage::SendLocked(const LinkFrame& frame, const std::string& device) {
  if (!sendEndpoint_ || sendDevice_ != device) {
    sendEndpoint_.reset();
    std::string error;
    sendEndpoint_ = captures_->Open(device, SendCaptureOptions(), &error);
    {
      std::lock_guard errorLock(errorMutex_);
      sendOpenError_ = sendEndpoint_ ? std::string() : error;
    }
    if (!sendEndpoint_)
      return false;
    sendDevice_ = device;
  }
  if (sendEndpoint_->Send(frame))
    return true;
  // Opened afresh at the next send: the interface may have gone and come back.
  sendEndpoint_.reset();
  return false;
}

void AcTransmitManage::Attach(const MacAddress& device, std::shared_ptr<FrameMailbox> mailbox) {
  if (!mailbox)
    return;
  std::lock_guard lock(routeMutex_);
  mailboxes_[MacKey(device)].push_back(std::move(mailbox));
}

void AcTransmitManage::Detach(const MacAddress& device,
                              const std::shared_ptr<FrameMailbox>& mailbox) {
  std::lock_guard lock(routeMutex_);
  const auto it = mailboxes_.find(MacKey(device));
  if (it == mailboxes_.end())
    return;
  std::erase(it->second, mailbox);
  if (it->second.empty())
    mailboxes_.erase(it);
}

std::vector<DiscoveredDevice> AcTransmitManage::Devices() const {
  std::lock_guard lock(deviceTableMutex_);
  return devices_;
}

std::size_t AcTransmitManage::DeviceCount() const {
  std::lock_guard lock(deviceTableMutex_);
  return devices_.size();
}

std::string AcTransmitManage::LastOpenError() const {
  std::lock_guard lock(errorMutex_);
  return receiveOpenError_.empty() ? sendOpenError_ : receiveOpenError_;
}

void AcTransmitManage::FailInitStepForTesting(InitStep step) {
  std::lock_guard lifecycle(lifecycleMutex_);
  failStep_ = step;
}

}  // namespace brevant
