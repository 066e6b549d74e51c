#include "link/pcap_capture.h"

#include <linux/if_packet.h>
#include <pcap/pcap.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <mutex>

namespace brevant {

namespace {

class PcapEndpoint : public CaptureEndpoint {
 public:
  PcapEndpoint(pcap_t* handle, int wakeFd)
      : handle_(handle), fd_(pcap_get_selectable_fd(handle)), wakeFd_(wakeFd) {}
  ~PcapEndpoint() override {
    pcap_close(handle_);
    ::close(wakeFd_);
  }
  PcapEndpoint(const PcapEndpoint&) = delete;
  PcapEndpoint& operator=(const PcapEndpoint&) = delete;

  bool Send(const LinkFrame& frame) override {
    if (pcap_sendpacket(handle_, frame.data(), static_cast<int>(frame.size())) == 0)
      return true;
    SetError(pcap_geterr(handle_));
    return false;
  }

  ReadStatus Read(LinkFrame& frame, std::size_t* wireLength) override {
    pcap_pkthdr* header = nullptr;
    const u_char* data = nullptr;
    const int rc = pcap_next_ex(handle_, &header, &data);
    if (rc == 1) {
      frame = LinkFrame::FromBytes(data, header->caplen);
      if (wireLength != nullptr)
        *wireLength = header->len;
      return ReadStatus::Frame;
    }
    if (rc == 0 || rc == PCAP_ERROR_BREAK)
      return ReadStatus::Empty;
    SetError(pcap_geterr(handle_));
    return ReadStatus::Error;
  }

  bool WaitReadable(std::chrono::steady_clock::time_point deadline) override {
    for (;;) {
      const auto left =
          std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
      const int timeout = static_cast<int>(std::clamp<long long>(left.count(), 0, 60000));
      pollfd fds[2] = {{fd_, POLLIN, 0}, {wakeFd_, POLLIN, 0}};
      const int rc = ::poll(fds, 2, timeout);
      if (rc < 0 && errno == EINTR)
        continue;
      if (rc < 0) {
        SetError(std::strerror(errno));
        return true;  // the read reports it
      }
      if (fds[1].revents & POLLIN) {
        std::uint64_t count = 0;
        [[maybe_unused]] const auto ignored = ::read(wakeFd_, &count, sizeof count);
        return false;
      }
      if (fds[0].revents != 0)
        return true;
      if (timeout == 0 || std::chrono::steady_clock::now() >= deadline)
        return false;
    }
  }

  void Interrupt() override {
    const std::uint64_t one = 1;
    [[maybe_unused]] const auto ignored = ::write(wakeFd_, &one, sizeof one);
  }

  int SelectableFd() const override { return fd_; }

  std::string LastError() const override {
    std::lock_guard lock(errorMutex_);
    return error_;
  }

 private:
  void SetError(const char* text) {
    std::lock_guard lock(errorMutex_);
    error_ = text != nullptr ? text : "";
  }

  pcap_t* handle_;
  int fd_;
  int wakeFd_;
  mutable std::mutex errorMutex_;
  std::string error_;
};

std::string ActivationError(const std::string& device, int rc, pcap_t* handle) {
  switch (rc) {
    case PCAP_ERROR_PERM_DENIED:
      return device +
             ": capturing needs CAP_NET_RAW; run scripts/setup to give the programs that "
             "capability, or run as root";
    case PCAP_ERROR_NO_SUCH_DEVICE:
      return device + ": no such interface";
    case PCAP_ERROR_IFACE_NOT_UP:
      return device + ": the interface is down";
    default:
      break;
  }
  const char* detail = pcap_geterr(handle);
  return device + ": " + (detail != nullptr && detail[0] != '\0' ? detail : pcap_statustostr(rc));
}

}  // namespace

std::unique_ptr<CaptureEndpoint> PcapCaptureFactory::Open(const std::string& device,
                                                          const CaptureOptions& options,
                                                          std::string* error) {
  auto fail = [&](std::string text) -> std::unique_ptr<CaptureEndpoint> {
    if (error != nullptr)
      *error = std::move(text);
    return nullptr;
  };
  if (device.empty())
    return fail("no capture device chosen");
  char errbuf[PCAP_ERRBUF_SIZE] = {};
  pcap_t* handle = pcap_create(device.c_str(), errbuf);
  if (handle == nullptr)
    return fail(device + ": " + errbuf);
  auto closeWith = [&](std::string text) {
    pcap_close(handle);
    return fail(std::move(text));
  };
  pcap_set_snaplen(handle, options.snaplen);
  pcap_set_promisc(handle, options.promiscuous ? 1 : 0);
  pcap_set_timeout(handle, static_cast<int>(std::max<long long>(1, options.timeout.count())));
  // Without it a frame may wait in the kernel for the whole time-out.
  pcap_set_immediate_mode(handle, 1);
  if (options.bufferBytes > 0)
    pcap_set_buffer_size(handle, options.bufferBytes);
  const int activated = pcap_activate(handle);
  if (activated < 0)
    return closeWith(ActivationError(device, activated, handle));
  if (pcap_datalink(handle) != DLT_EN10MB)
    return closeWith(device + ": not an Ethernet interface");
  if (options.inboundOnly) {
    if (pcap_setdirection(handle, PCAP_D_IN) != 0)
      return closeWith(device + ": " + pcap_geterr(handle));
    // libpcap drops what this host sends only after the kernel has copied it
    // into the handle's ring: every frame sent would cost each inbound handle
    // a copy. Kernels since 4.20 leave such frames out; on older ones the
    // library's own check still drops them.
    const int one = 1;
    ::setsockopt(pcap_fileno(handle), SOL_PACKET, PACKET_IGNORE_OUTGOING, &one, sizeof one);
  }
  if (!options.filter.empty()) {
    bpf_program program{};
    if (pcap_compile(handle, &program, options.filter.c_str(), 1, PCAP_NETMASK_UNKNOWN) != 0)
      return closeWith("filter \"" + options.filter + "\": " + pcap_geterr(handle));
    const int set = pcap_setfilter(handle, &program);
    pcap_freecode(&program);
    if (set != 0)
      return closeWith("filter \"" + options.filter + "\": " + pcap_geterr(handle));
  }
  if (pcap_setnonblock(handle, 1, errbuf) != 0)
    return closeWith(device + ": " + errbuf);
  if (pcap_get_selectable_fd(handle) < 0)
    return closeWith(device + ": no selectable descriptor");
  const int wakeFd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  if (wakeFd < 0)
    return closeWith(std::string("eventfd: ") + std::strerror(errno));
  return std::make_unique<PcapEndpoint>(handle, wakeFd);
}

}  // namespace brevant
