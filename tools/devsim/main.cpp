// brevant-devsim: many simulated devices on one interface, behind one capture
// handle.

#include <fcntl.h>
#include <getopt.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "device_plan.h"
#include "link/capture.h"
#include "link/pcap_capture.h"
#include "simulator.h"

namespace {

using brevant::LinkFrame;
using brevant::ReadStatus;
using namespace brevant::devsim;

constexpr const char* kUsage = R"(Usage: brevant-devsim --interface IF [options]

Simulates devices on the Ethernet interface IF: every simulated device answers
every discovery request. Runs until SIGTERM or SIGINT; SIGUSR1 releases the
results that devices hold (--hold-results, hold=yes).

Devices made from patterns:
  --count N            N devices (default 1 when no --device or --device-file is given, else 0)
  --mac-base MAC       MAC address of the first; the others count up (default 02:62:00:00:00:01)
  --ssid2 PATTERN      2.4 GHz network name (default "Brevant-{n}-2G"); {n} is the
                       device number from 1, {mac} its MAC address without colons
  --ssid5 PATTERN      5 GHz network name (default "Brevant-{n}-5G")
  --key2 PATTERN       2.4 GHz key (default "key2-{mac}")
  --key5 PATTERN       5 GHz key (default "key5-{mac}")
  --fill MODE          none: texts as given (cut at the field width); full: exactly the
                       field width, without NUL; nul: one byte short, the NUL ends the field
  --delay-ms MS        answer MS milliseconds after the request (default 0)
  --spread-ms MS       spread the answers evenly over MS milliseconds after the delay
  --repeat K           answer each request K times; later answers carry other names

Devices given one by one (after the pattern devices; a MAC given twice counts once):
  --device PLAN        comma-separated key=value: mac (required), ssid2, ssid5, key2, key5,
                       again-ssid2, again-ssid5, again-key2, again-key5 (names of repeated
                       answers), delay (ms), repeat, repeat-gap (ms, default 20),
                       answer (yes|no), skip (requests ignored first), opcode (of the
                       answer, 4 unless testing a faulty device), fill; values take the
                       escapes \, \\ and \xNN
  --device-file FILE   one PLAN per line; blank lines and # comments are skipped
                       Transfer keys of a PLAN: lock (its lock code), ack (normal|never|
                       ffff|previous), drop-every (N), ack-delay (ms), report (ok|fail|
                       never), result-delay (ms), hold (yes|no: keep the result until
                       SIGUSR1)

Transfers (configuration files, logos, the anti-theft command):
  --out DIR            write every file received to DIR/<MAC without colons>/PARA_DATA,
                       LOG_DATA or JSON_CMD_DATA, and protocol errors to .../errors.txt
  --lock-code CODE     the lock code of every device without lock= (default empty); a
                       command with another Lockcode is answered with opcode 9
  --ack MODE           pattern devices acknowledge: normal, never, ffff (with 0xFFFF) or
                       previous (with the previous chunk's number)
  --drop-every N       pattern devices leave every Nth acknowledgement out
  --ack-delay-ms MS    pattern devices acknowledge MS milliseconds late
  --report MODE        pattern devices report: ok, fail or never
  --result-delay-ms MS pattern devices report MS milliseconds after the last chunk
  --hold-results       pattern devices keep each result until SIGUSR1, which releases
                       every result held so far (none sooner than its result delay)

Other:
  --ready-fd FD        write "ready" and a newline to descriptor FD once listening, then close it
  --list               print the simulated devices and exit
  --verbose            one line on standard error per frame received and answer sent
  --help               this text
)";

volatile sig_atomic_t gStop = 0;
volatile sig_atomic_t gRelease = 0;
int gSignalPipe[2] = {-1, -1};

void OnSignal(int signal) {
  if (signal == SIGUSR1) {
    gRelease = 1;
  } else {
    gStop = 1;
  }
  const char byte = 1;
  [[maybe_unused]] const auto ignored = ::write(gSignalPipe[1], &byte, 1);
}

struct Options {
  std::string interface;
  Population population;
  bool countGiven = false;
  std::vector<DevicePlan> devices;
  std::string out;
  std::string lockCode;
  int readyFd = -1;
  bool list = false;
  bool verbose = false;
};

int Fail(const std::string& message) {
  std::fprintf(stderr, "brevant-devsim: %s\n", message.c_str());
  return 2;
}

template <class T>
bool Number(const char* text, T& value) {
  const char* end = text + std::strlen(text);
  const auto [stop, ec] = std::from_chars(text, end, value);
  return ec == std::errc() && stop == end;
}

bool Milliseconds(const char* text, std::chrono::milliseconds& value) {
  long long ms = 0;
  if (!Number(text, ms) || ms < 0)
    return false;
  value = std::chrono::milliseconds(ms);
  return true;
}

// 0 to go on, otherwise the exit status.
int ParseOptions(int argc, char** argv, Options& options) {
  enum {
    kInterface = 1000,
    kCount,
    kMacBase,
    kSsid2,
    kSsid5,
    kKey2,
    kKey5,
    kFill,
    kDelay,
    kSpread,
    kRepeat,
    kDevice,
    kDeviceFile,
    kReadyFd,
    kOut,
    kLockCode,
    kAck,
    kDropEvery,
    kAckDelay,
    kReport,
    kResultDelay,
    kHoldResults,
    kList,
    kVerbose,
    kHelp,
  };
  const option longOptions[] = {
      {"interface", required_argument, nullptr, kInterface},
      {"count", required_argument, nullptr, kCount},
      {"mac-base", required_argument, nullptr, kMacBase},
      {"ssid2", required_argument, nullptr, kSsid2},
      {"ssid5", required_argument, nullptr, kSsid5},
      {"key2", required_argument, nullptr, kKey2},
      {"key5", required_argument, nullptr, kKey5},
      {"fill", required_argument, nullptr, kFill},
      {"delay-ms", required_argument, nullptr, kDelay},
      {"spread-ms", required_argument, nullptr, kSpread},
      {"repeat", required_argument, nullptr, kRepeat},
      {"device", required_argument, nullptr, kDevice},
      {"device-file", required_argument, nullptr, kDeviceFile},
      {"ready-fd", required_argument, nullptr, kReadyFd},
      {"out", required_argument, nullptr, kOut},
      {"lock-code", required_argument, nullptr, kLockCode},
      {"ack", required_argument, nullptr, kAck},
      {"drop-every", required_argument, nullptr, kDropEvery},
      {"ack-delay-ms", required_argument, nullptr, kAckDelay},
      {"report", required_argument, nullptr, kReport},
      {"result-delay-ms", required_argument, nullptr, kResultDelay},
      {"hold-results", no_argument, nullptr, kHoldResults},
      {"list", no_argument, nullptr, kList},
      {"verbose", no_argument, nullptr, kVerbose},
      {"help", no_argument, nullptr, kHelp},
      {nullptr, 0, nullptr, 0},
  };
  Population& p = options.population;
  p.count = 1;
  int option = 0;
  opterr = 0;
  while ((option = getopt_long(argc, argv, "", longOptions, nullptr)) != -1) {
    const std::string value = optarg != nullptr ? optarg : "";
    switch (option) {
      case kInterface:
        options.interface = value;
        break;
      case kCount:
        if (!Number(optarg, p.count) || p.count < 0)
          return Fail("--count needs a number of devices, not \"" + value + "\"");
        options.countGiven = true;
        break;
      case kMacBase: {
        const auto mac = brevant::ParseMacText(value);
        if (!mac)
          return Fail("--mac-base needs a MAC address like 02:62:00:00:00:01");
        p.macBase = *mac;
        break;
      }
      case kSsid2:
        p.ssid2 = value;
        break;
      case kSsid5:
        p.ssid5 = value;
        break;
      case kKey2:
        p.key2 = value;
        break;
      case kKey5:
        p.key5 = value;
        break;
      case kFill: {
        const auto fill = ParseFill(value);
        if (!fill)
          return Fail("--fill is none, full or nul");
        p.fill = *fill;
        break;
      }
      case kDelay:
        if (!Milliseconds(optarg, p.delay))
          return Fail("--delay-ms needs milliseconds");
        break;
      case kSpread:
        if (!Milliseconds(optarg, p.spread))
          return Fail("--spread-ms needs milliseconds");
        break;
      case kRepeat:
        if (!Number(optarg, p.repeat) || p.repeat < 1)
          return Fail("--repeat needs a number from 1");
        break;
      case kDevice: {
        std::string error;
        auto plan = ParseDevicePlan(value, &error);
        if (!plan)
          return Fail("--device " + value + ": " + error);
        options.devices.push_back(std::move(*plan));
        break;
      }
      case kDeviceFile: {
        std::ifstream in(value, std::ios::binary);
        if (!in)
          return Fail("cannot read " + value);
        std::stringstream contents;
        contents << in.rdbuf();
        std::string error;
        if (!ParseDeviceFile(contents.str(), options.devices, &error))
          return Fail(value + ": " + error);
        break;
      }
      case kReadyFd:
        if (!Number(optarg, options.readyFd) || options.readyFd < 0)
          return Fail("--ready-fd needs a descriptor number");
        break;
      case kOut:
        options.out = value;
        break;
      case kLockCode:
        options.lockCode = value;
        break;
      case kAck:
        if (!ParseAckMode(value, p.faults))
          return Fail("--ack is normal, never, ffff or previous");
        break;
      case kDropEvery:
        if (!Number(optarg, p.faults.dropEvery))
          return Fail("--drop-every needs a number");
        break;
      case kAckDelay:
        if (!Milliseconds(optarg, p.faults.ackDelay))
          return Fail("--ack-delay-ms needs milliseconds");
        break;
      case kReport:
        if (!ParseReportMode(value, p.faults))
          return Fail("--report is ok, fail or never");
        break;
      case kResultDelay:
        if (!Milliseconds(optarg, p.faults.resultDelay))
          return Fail("--result-delay-ms needs milliseconds");
        break;
      case kHoldResults:
        p.faults.holdResult = true;
        break;
      case kList:
        options.list = true;
        break;
      case kVerbose:
        options.verbose = true;
        break;
      case kHelp:
        std::fputs(kUsage, stdout);
        return -1;
      default:
        return Fail(std::string("unknown or incomplete option ") + argv[optind - 1] +
                    " (see --help)");
    }
  }
  if (optind < argc)
    return Fail(std::string("unexpected argument ") + argv[optind] + " (see --help)");
  if (!options.countGiven && !options.devices.empty())
    p.count = 0;
  if (options.interface.empty() && !options.list)
    return Fail("--interface is required (see --help)");
  return 0;
}

std::string Printable(const std::string& text) {
  std::string out;
  for (const unsigned char c : text) {
    if (c >= 0x20 && c < 0x7F && c != '\\') {
      out += static_cast<char>(c);
    } else {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\x%02X", c);
      out += escaped;
    }
  }
  return out;
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  if (const int status = ParseOptions(argc, argv, options); status != 0)
    return status < 0 ? 0 : status;

  std::vector<DevicePlan> devices = MakePopulation(options.population);
  devices.insert(devices.end(), options.devices.begin(), options.devices.end());

  if (options.list) {
    for (const auto& d : devices) {
      std::printf("%s ssid2=\"%s\" ssid5=\"%s\" key2=\"%s\" key5=\"%s\" delay=%lld%s\n",
                  brevant::DeviceMacText(d.mac).c_str(), Printable(d.texts.ssid2).c_str(),
                  Printable(d.texts.ssid5).c_str(), Printable(d.texts.key2).c_str(),
                  Printable(d.texts.key5).c_str(), static_cast<long long>(d.delay.count()),
                  d.answers ? "" : " silent");
    }
    return 0;
  }

  if (::pipe2(gSignalPipe, O_CLOEXEC | O_NONBLOCK) != 0)
    return Fail(std::string("pipe: ") + std::strerror(errno));
  struct sigaction action {};
  action.sa_handler = OnSignal;
  sigemptyset(&action.sa_mask);
  sigaction(SIGTERM, &action, nullptr);
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGUSR1, &action, nullptr);
  signal(SIGPIPE, SIG_IGN);

  // One handle for every device: what the tool sends, never what we send.
  brevant::CaptureOptions capture;
  capture.filter = "ether proto 0x6262";
  capture.inboundOnly = true;
  capture.bufferBytes = 8 * 1024 * 1024;
  std::string error;
  brevant::PcapCaptureFactory factory;
  auto endpoint = factory.Open(options.interface, capture, &error);
  if (!endpoint)
    return Fail(error);

  const bool verbose = options.verbose;
  Simulator simulator(
      std::move(devices),
      [&](const LinkFrame& frame) {
        const bool sent = endpoint->Send(frame);
        if (verbose) {
          std::fprintf(stderr, "sent %s -> %s category %u opcode %u%s\n",
                       brevant::DeviceMacText(frame.source()).c_str(),
                       brevant::DeviceMacText(frame.destination()).c_str(), frame.category(),
                       frame.opcode(), sent ? "" : (" failed: " + endpoint->LastError()).c_str());
        }
        return sent;
      },
      options.out, options.lockCode);

  std::fprintf(stderr, "brevant-devsim: %zu devices on %s\n", simulator.DeviceCount(),
               options.interface.c_str());
  if (options.readyFd >= 0) {
    static const char kReady[] = "ready\n";
    [[maybe_unused]] const auto ignored = ::write(options.readyFd, kReady, sizeof kReady - 1);
    ::close(options.readyFd);
  }

  using Clock = Simulator::Clock;
  std::optional<Clock::time_point> next;
  LinkFrame frame;
  int exitStatus = 0;
  while (gStop == 0) {
    int timeout = 1000;
    if (next) {
      const auto left = std::chrono::ceil<std::chrono::milliseconds>(*next - Clock::now());
      timeout = static_cast<int>(std::clamp<long long>(left.count(), 0, 1000));
    }
    pollfd fds[2] = {{endpoint->SelectableFd(), POLLIN, 0}, {gSignalPipe[0], POLLIN, 0}};
    const int ready = ::poll(fds, 2, timeout);
    if (ready < 0 && errno != EINTR)
      return Fail(std::string("poll: ") + std::strerror(errno));
    if (gStop != 0)
      break;
    if (fds[1].revents != 0) {
      char bytes[64];
      while (::read(gSignalPipe[0], bytes, sizeof bytes) > 0) {
      }
    }
    if (gRelease != 0) {
      // Cleared before releasing: a signal meanwhile only releases once more.
      gRelease = 0;
      const std::size_t released = simulator.ReleaseHeld(Clock::now());
      if (verbose)
        std::fprintf(stderr, "released %zu held results\n", released);
    }
    if (ready > 0 && fds[0].revents != 0) {
      for (;;) {
        std::size_t wireLength = 0;
        const ReadStatus status = endpoint->Read(frame, &wireLength);
        if (status == ReadStatus::Empty)
          break;
        if (status == ReadStatus::Error) {
          std::fprintf(stderr, "brevant-devsim: read: %s\n", endpoint->LastError().c_str());
          // The interface went away: nothing more will come.
          if (fds[0].revents & (POLLERR | POLLHUP | POLLNVAL)) {
            gStop = 1;
            exitStatus = 1;
          }
          break;
        }
        if (verbose) {
          std::fprintf(stderr, "got %s -> %s category %u opcode %u sequence %u\n",
                       brevant::DeviceMacText(frame.source()).c_str(),
                       brevant::DeviceMacText(frame.destination()).c_str(), frame.category(),
                       frame.opcode(), frame.sequence());
        }
        simulator.OnFrame(frame, wireLength, Clock::now());
      }
    }
    next = simulator.SendDue(Clock::now());
  }

  const auto& stats = simulator.Stats();
  std::fprintf(stderr,
               "brevant-devsim: stopped; %llu frames in, %llu discovery requests, %llu answers "
               "sent, %llu send failures, %llu ignored, %llu transfers, %llu protocol errors\n",
               static_cast<unsigned long long>(stats.framesIn),
               static_cast<unsigned long long>(stats.discoveryRequests),
               static_cast<unsigned long long>(stats.answersSent),
               static_cast<unsigned long long>(stats.sendFailures),
               static_cast<unsigned long long>(stats.ignored),
               static_cast<unsigned long long>(stats.transfers),
               static_cast<unsigned long long>(stats.protocolErrors));
  return exitStatus;
}
