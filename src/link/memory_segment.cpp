#include "link/memory_segment.h"

#include <pcap/pcap.h>

#include <algorithm>
#include <condition_variable>
#include <deque>

namespace brevant {

namespace {

// Older libpcap versions kept the filter compiler's state in globals.
std::mutex gCompileMutex;

class CompiledFilter {
 public:
  CompiledFilter() = default;
  CompiledFilter(const CompiledFilter&) = delete;
  CompiledFilter& operator=(const CompiledFilter&) = delete;
  ~CompiledFilter() {
    if (compiled_)
      pcap_freecode(&program_);
  }

  bool Compile(const std::string& filter, std::string* error) {
    std::lock_guard lock(gCompileMutex);
    pcap_t* dead = pcap_open_dead(DLT_EN10MB, 2048);
    if (dead == nullptr) {
      if (error != nullptr)
        *error = "pcap_open_dead failed";
      return false;
    }
    const bool ok = pcap_compile(dead, &program_, filter.c_str(), 1, PCAP_NETMASK_UNKNOWN) == 0;
    if (!ok && error != nullptr)
      *error = "filter \"" + filter + "\": " + pcap_geterr(dead);
    pcap_close(dead);
    compiled_ = ok;
    return ok;
  }

  bool Accepts(const std::uint8_t* bytes, std::size_t size) const {
    if (!compiled_)
      return true;
    pcap_pkthdr header{};
    header.caplen = static_cast<bpf_u_int32>(size);
    header.len = static_cast<bpf_u_int32>(size);
    return pcap_offline_filter(&program_, &header, bytes) != 0;
  }

 private:
  bpf_program program_{};
  bool compiled_ = false;
};

}  // namespace

class MemorySegment::Endpoint : public CaptureEndpoint {
 public:
  Endpoint(std::shared_ptr<MemorySegment> segment, std::string station, std::string device,
           CaptureOptions options, std::size_t capacity)
      : segment_(std::move(segment)),
        station_(std::move(station)),
        device_(std::move(device)),
        options_(std::move(options)),
        capacity_(capacity) {}
  ~Endpoint() override { segment_->Remove(this); }
  Endpoint(const Endpoint&) = delete;
  Endpoint& operator=(const Endpoint&) = delete;

  bool CompileFilter(std::string* error) {
    return options_.filter.empty() || filter_.Compile(options_.filter, error);
  }

  bool Send(const LinkFrame& frame) override {
    segment_->Transmit(this, frame);
    return true;
  }

  ReadStatus Read(LinkFrame& frame, std::size_t* wireLength) override {
    std::lock_guard lock(mutex_);
    if (frames_.empty())
      return ReadStatus::Empty;
    frame = frames_.front();
    frames_.pop_front();
    if (wireLength != nullptr)
      *wireLength = kFrameSize;
    return ReadStatus::Frame;
  }

  bool WaitReadable(std::chrono::steady_clock::time_point deadline) override {
    std::unique_lock lock(mutex_);
    arrived_.wait_until(lock, deadline, [&] { return !frames_.empty() || interrupted_; });
    if (interrupted_) {
      interrupted_ = false;
      return false;
    }
    return !frames_.empty();
  }

  void Interrupt() override {
    {
      std::lock_guard lock(mutex_);
      interrupted_ = true;
    }
    arrived_.notify_all();
  }

  int SelectableFd() const override { return -1; }
  std::string LastError() const override { return {}; }

  // Called by the segment under its lock.
  void Offer(const Endpoint* from, const LinkFrame& frame) {
    if (from->station_ == station_ && options_.inboundOnly)
      return;
    if (!filter_.Accepts(frame.data(), frame.size()))
      return;
    {
      std::lock_guard lock(mutex_);
      if (frames_.size() >= capacity_) {
        ++dropped_;
        return;
      }
      frames_.push_back(frame);
    }
    arrived_.notify_one();
  }

  const std::string& device() const { return device_; }

 private:
  std::shared_ptr<MemorySegment> segment_;
  std::string station_;
  std::string device_;
  CaptureOptions options_;
  CompiledFilter filter_;
  std::size_t capacity_;
  std::mutex mutex_;
  std::condition_variable arrived_;
  std::deque<LinkFrame> frames_;
  std::size_t dropped_ = 0;
  bool interrupted_ = false;
};

class MemoryStation : public CaptureFactory {
 public:
  MemoryStation(std::shared_ptr<MemorySegment> segment, std::string name)
      : segment_(std::move(segment)), name_(std::move(name)) {}

  std::unique_ptr<CaptureEndpoint> Open(const std::string& device, const CaptureOptions& options,
                                        std::string* error) override {
    return segment_->Open(name_, device, options, error);
  }

 private:
  std::shared_ptr<MemorySegment> segment_;
  std::string name_;
};

std::shared_ptr<MemorySegment> MemorySegment::Create() {
  return std::shared_ptr<MemorySegment>(new MemorySegment());
}

std::shared_ptr<CaptureFactory> MemorySegment::Station(const std::string& interfaceName) {
  return std::make_shared<MemoryStation>(shared_from_this(), interfaceName);
}

void MemorySegment::SetOpenFailure(const std::string& interfaceName, const std::string& reason) {
  std::lock_guard lock(mutex_);
  std::erase_if(openFailures_, [&](const auto& entry) { return entry.first == interfaceName; });
  if (!reason.empty())
    openFailures_.emplace_back(interfaceName, reason);
}

void MemorySegment::SetEndpointCapacity(std::size_t frames) {
  std::lock_guard lock(mutex_);
  capacity_ = frames;
}

std::size_t MemorySegment::OpenEndpoints(const std::string& interfaceName) const {
  std::lock_guard lock(mutex_);
  return static_cast<std::size_t>(std::count_if(
      endpoints_.begin(), endpoints_.end(), [&](auto* e) { return e->device() == interfaceName; }));
}

std::unique_ptr<CaptureEndpoint> MemorySegment::Open(const std::string& station,
                                                     const std::string& device,
                                                     const CaptureOptions& options,
                                                     std::string* error) {
  auto fail = [&](std::string text) -> std::unique_ptr<CaptureEndpoint> {
    if (error != nullptr)
      *error = std::move(text);
    return nullptr;
  };
  if (device.empty())
    return fail("no capture device chosen");
  // The station is the host; its interface carries the station's name.
  if (device != station)
    return fail(device + ": no such interface");
  std::size_t capacity = 0;
  {
    std::lock_guard lock(mutex_);
    for (const auto& [name, reason] : openFailures_) {
      if (name == device)
        return fail(reason);
    }
    capacity = capacity_;
  }
  auto endpoint =
      std::make_unique<Endpoint>(shared_from_this(), station, device, options, capacity);
  if (!endpoint->CompileFilter(error))
    return nullptr;
  std::lock_guard lock(mutex_);
  endpoints_.push_back(endpoint.get());
  return endpoint;
}

void MemorySegment::Transmit(const Endpoint* from, const LinkFrame& frame) {
  std::lock_guard lock(mutex_);
  for (Endpoint* endpoint : endpoints_) {
    if (endpoint != from)
      endpoint->Offer(from, frame);
  }
}

void MemorySegment::Remove(const Endpoint* endpoint) {
  std::lock_guard lock(mutex_);
  std::erase(endpoints_, endpoint);
}

bool CompileFilterForEthernet(const std::string& filter, std::string* error) {
  CompiledFilter compiled;
  return compiled.Compile(filter, error);
}

bool FilterAccepts(const std::string& filter, const std::uint8_t* bytes, std::size_t size) {
  CompiledFilter compiled;
  return compiled.Compile(filter, nullptr) && compiled.Accepts(bytes, size);
}

}  // namespace brevant
