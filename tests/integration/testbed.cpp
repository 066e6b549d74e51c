#include "testbed.h"

#include <fcntl.h>
#include <poll.h>
#include <sched.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <thread>

extern char** environ;

namespace brevant::testing {

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

std::atomic<int> gBedCounter{0};

// A descriptor of its own, closed on exec, above the standard ones so a dup2
// onto 0-3 in a child always has something to do.
int HighCloexec(int fd) {
  if (fd < 0)
    return fd;
  const int high = ::fcntl(fd, F_DUPFD_CLOEXEC, 10);
  ::close(fd);
  return high;
}

std::vector<char*> Argv(const std::vector<std::string>& args) {
  std::vector<char*> argv;
  for (const auto& a : args)
    argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  return argv;
}

std::string Joined(const std::vector<std::string>& args) {
  std::string text;
  for (const auto& a : args)
    text += (text.empty() ? "" : " ") + a;
  return text;
}

bool WaitForExit(pid_t pid, milliseconds limit, int* status) {
  const auto deadline = Clock::now() + limit;
  for (;;) {
    const pid_t done = ::waitpid(pid, status, WNOHANG);
    if (done == pid)
      return true;
    if (done < 0 && errno != EINTR)
      return true;  // not ours any more
    if (Clock::now() >= deadline)
      return false;
    std::this_thread::sleep_for(milliseconds(2));
  }
}

std::string ReadFile(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

}  // namespace

int RunCommand(const std::vector<std::string>& args, milliseconds limit, std::string* output) {
  int pipeFds[2];
  if (::pipe2(pipeFds, O_CLOEXEC) != 0)
    return -1;
  const int readFd = HighCloexec(pipeFds[0]);
  const int writeFd = HighCloexec(pipeFds[1]);
  ::fcntl(readFd, F_SETFL, O_NONBLOCK);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, writeFd, 1);
  posix_spawn_file_actions_adddup2(&actions, writeFd, 2);
  auto argv = Argv(args);
  pid_t pid = -1;
  const int spawned = ::posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  ::close(writeFd);
  if (spawned != 0) {
    ::close(readFd);
    if (output != nullptr)
      *output = args[0] + ": " + std::strerror(spawned);
    return -1;
  }

  std::string text;
  const auto deadline = Clock::now() + limit;
  int status = 0;
  auto drain = [&] {
    char buffer[4096];
    ssize_t n = 0;
    while ((n = ::read(readFd, buffer, sizeof buffer)) > 0)
      text.append(buffer, static_cast<std::size_t>(n));
  };
  for (;;) {
    pollfd p{readFd, POLLIN, 0};
    ::poll(&p, 1, 5);
    drain();
    const pid_t done = ::waitpid(pid, &status, WNOHANG);
    if (done == pid || (done < 0 && errno != EINTR)) {
      drain();  // what it wrote just before it ended
      break;
    }
    if (Clock::now() >= deadline) {
      ::kill(pid, SIGKILL);
      WaitForExit(pid, milliseconds(5000), &status);
      ::close(readFd);
      if (output != nullptr)
        *output = text + "\n(" + Joined(args) + ": killed after " + std::to_string(limit.count()) +
                  " ms)";
      return -1;
    }
  }
  ::close(readFd);
  if (output != nullptr)
    *output = text;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::unique_ptr<NamespaceEntry> NamespaceEntry::Enter(const std::string& name, std::string* error) {
  const int original = ::open("/proc/thread-self/ns/net", O_RDONLY | O_CLOEXEC);
  if (original < 0) {
    *error = std::string("/proc/thread-self/ns/net: ") + std::strerror(errno);
    return nullptr;
  }
  const std::string path = "/run/netns/" + name;
  const int target = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (target < 0 || ::setns(target, CLONE_NEWNET) != 0) {
    *error = path + ": " + std::strerror(errno);
    if (target >= 0)
      ::close(target);
    ::close(original);
    return nullptr;
  }
  ::close(target);
  return std::unique_ptr<NamespaceEntry>(new NamespaceEntry(original));
}

NamespaceEntry::~NamespaceEntry() {
  ::setns(original_, CLONE_NEWNET);
  ::close(original_);
}

TestBed::TestBed() {
  const std::string pid = std::to_string(::getpid());
  const std::string n = std::to_string(gBedCounter++);
  toolNamespace_ = "brv-" + pid + "-" + n + "-tool";
  deviceNamespace_ = "brv-" + pid + "-" + n + "-dev";
  // Interface names have 15 characters at most.
  toolInterface_ = "bt" + pid + "x" + n;
  deviceInterface_ = "bd" + pid + "x" + n;
  const char* base = std::getenv("TMPDIR");
  std::string pattern =
      std::string(base != nullptr && base[0] != '\0' ? base : "/tmp") + "/brevant-bed-XXXXXX";
  if (::mkdtemp(pattern.data()) != nullptr)
    workDir_ = pattern;
  devsimLog_ = workDir_ / "devsim.log";
}

TestBed::~TestBed() {
  Down();
  std::error_code ignored;
  if (!workDir_.empty())
    std::filesystem::remove_all(workDir_, ignored);
}

bool TestBed::IsRoot() {
  return ::geteuid() == 0;
}

std::filesystem::path TestBed::BundleDirectory() {
  const char* dir = std::getenv("BREVANT_BUNDLE_DIR");
  if (dir != nullptr && dir[0] != '\0')
    return dir;
#ifdef BREVANT_TESTBED_BUNDLE_DIR
  return BREVANT_TESTBED_BUNDLE_DIR;  // the bundle of the build this was built in
#else
  return {};
#endif
}

bool TestBed::Ip(const std::vector<std::string>& arguments, std::string* error) {
  std::vector<std::string> args = {"ip"};
  args.insert(args.end(), arguments.begin(), arguments.end());
  std::string output;
  const int status = RunCommand(args, milliseconds(10000), &output);
  if (status == 0)
    return true;
  if (error != nullptr)
    *error = Joined(args) + ": " + output;
  return false;
}

bool TestBed::IpInTool(const std::vector<std::string>& arguments, std::string* error) {
  std::vector<std::string> args = {"-n", toolNamespace_};
  args.insert(args.end(), arguments.begin(), arguments.end());
  return Ip(args, error);
}

bool TestBed::IpInDevices(const std::vector<std::string>& arguments, std::string* error) {
  std::vector<std::string> args = {"-n", deviceNamespace_};
  args.insert(args.end(), arguments.begin(), arguments.end());
  return Ip(args, error);
}

bool TestBed::Up(std::string* error) {
  if (created_)
    return true;
  if (workDir_.empty()) {
    *error = "no working folder";
    return false;
  }
  created_ = true;  // from here on Down removes whatever was made
  for (const auto& name : {toolNamespace_, deviceNamespace_}) {
    if (!Ip({"netns", "add", name}, error)) {
      // Left by an earlier process of the same id that did not get to clean up.
      Ip({"netns", "del", name}, nullptr);
      if (!Ip({"netns", "add", name}, error))
        return false;
    }
  }
  auto text = [](const MacAddress& mac) { return AdapterMacText(mac); };
  if (!IpInTool(
          {"link", "add", toolInterface_, "address", text(kToolMac), "type", "veth", "peer", "name",
           deviceInterface_, "address", text(kDeviceEndMac), "netns", deviceNamespace_},
          error))
    return false;
  if (!IpInTool({"link", "set", toolInterface_, "up"}, error) ||
      !IpInDevices({"link", "set", deviceInterface_, "up"}, error) ||
      !IpInTool({"link", "set", "lo", "up"}, error) ||
      !IpInDevices({"link", "set", "lo", "up"}, error))
    return false;
  // Frames sent before the carrier is up are lost.
  const auto deadline = Clock::now() + milliseconds(5000);
  for (;;) {
    std::string tool;
    std::string device;
    RunCommand({"ip", "-n", toolNamespace_, "-o", "link", "show", toolInterface_},
               milliseconds(5000), &tool);
    RunCommand({"ip", "-n", deviceNamespace_, "-o", "link", "show", deviceInterface_},
               milliseconds(5000), &device);
    if (tool.find("LOWER_UP") != std::string::npos && device.find("LOWER_UP") != std::string::npos)
      return true;
    if (Clock::now() >= deadline) {
      *error = "the veth pair did not come up: " + tool + device;
      return false;
    }
    std::this_thread::sleep_for(milliseconds(10));
  }
}

void TestBed::Down() {
  StopDevsim();
  if (!created_)
    return;
  Ip({"netns", "del", toolNamespace_}, nullptr);
  Ip({"netns", "del", deviceNamespace_}, nullptr);
  created_ = false;
}

bool TestBed::StartDevsim(const std::vector<std::string>& options, std::string* error) {
  if (devsimPid_ > 0) {
    *error = "brevant-devsim runs already";
    return false;
  }
  const auto bundle = BundleDirectory();
  if (bundle.empty()) {
    *error = "BREVANT_BUNDLE_DIR is not set: it names the folder of brevant-devsim";
    return false;
  }
  int readyFds[2];
  if (::pipe2(readyFds, O_CLOEXEC) != 0) {
    *error = std::string("pipe: ") + std::strerror(errno);
    return false;
  }
  const int readyRead = HighCloexec(readyFds[0]);
  const int readyWrite = HighCloexec(readyFds[1]);
  const int log =
      HighCloexec(::open(devsimLog_.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644));

  std::vector<std::string> args = {"ip",
                                   "netns",
                                   "exec",
                                   deviceNamespace_,
                                   (bundle / "brevant-devsim").string(),
                                   "--interface",
                                   deviceInterface_,
                                   "--ready-fd",
                                   "3"};
  args.insert(args.end(), options.begin(), options.end());
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  if (log >= 0) {
    posix_spawn_file_actions_adddup2(&actions, log, 1);
    posix_spawn_file_actions_adddup2(&actions, log, 2);
  }
  posix_spawn_file_actions_adddup2(&actions, readyWrite, 3);
  auto argv = Argv(args);
  pid_t pid = -1;
  const int spawned = ::posix_spawnp(&pid, "ip", &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  ::close(readyWrite);
  if (log >= 0)
    ::close(log);
  if (spawned != 0) {
    ::close(readyRead);
    *error = std::string("ip netns exec: ") + std::strerror(spawned);
    return false;
  }
  devsimPid_ = pid;

  std::string said;
  const auto deadline = Clock::now() + milliseconds(10000);
  while (said.find('\n') == std::string::npos && Clock::now() < deadline) {
    pollfd p{readyRead, POLLIN, 0};
    if (::poll(&p, 1, 50) <= 0)
      continue;
    char buffer[64];
    const ssize_t n = ::read(readyRead, buffer, sizeof buffer);
    if (n <= 0)
      break;  // it ended (or closed the descriptor) without saying so
    said.append(buffer, static_cast<std::size_t>(n));
  }
  ::close(readyRead);
  if (said == "ready\n")
    return true;
  StopDevsim();
  *error = Joined(args) + " did not start:\n" + DevsimOutput();
  return false;
}

bool TestBed::StopDevsim() {
  if (devsimPid_ <= 0)
    return false;
  int status = 0;
  ::kill(devsimPid_, SIGTERM);
  bool clean = WaitForExit(devsimPid_, milliseconds(5000), &status);
  if (!clean) {
    ::kill(devsimPid_, SIGKILL);
    WaitForExit(devsimPid_, milliseconds(5000), &status);
  }
  devsimPid_ = -1;
  return clean && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

bool TestBed::ReleaseDevsimResults() {
  return devsimPid_ > 0 && ::kill(devsimPid_, SIGUSR1) == 0;
}

std::string TestBed::DevsimOutput() const {
  return ReadFile(devsimLog_);
}

std::unique_ptr<NamespaceEntry> TestBed::EnterToolNamespace(std::string* error) const {
  return NamespaceEntry::Enter(toolNamespace_, error);
}

std::unique_ptr<NamespaceEntry> TestBed::EnterDeviceNamespace(std::string* error) const {
  return NamespaceEntry::Enter(deviceNamespace_, error);
}

int ThreadsNamed(const std::string& name) {
  int count = 0;
  std::error_code error;
  for (std::filesystem::directory_iterator it("/proc/self/task", error), end; !error && it != end;
       it.increment(error)) {
    std::ifstream comm(it->path() / "comm");
    std::string text;
    std::getline(comm, text);
    count += text == name ? 1 : 0;
  }
  return count;
}

}  // namespace brevant::testing
