#pragma once

#include <sys/types.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "link/frame.h"

namespace brevant::testing {

// Runs a program (no shell) and waits for it at most `limit`; a program still
// running then is killed. Its exit status, or -1 when it could not be started,
// was killed or ended by a signal. Standard output and error go to *output.
int RunCommand(const std::vector<std::string>& argv, std::chrono::milliseconds limit,
               std::string* output = nullptr);

// The calling thread inside a network namespace until the object is
// destroyed; then back in the namespace it came from. Threads it starts
// meanwhile, and capture handles it opens, belong to that namespace.
class NamespaceEntry {
 public:
  static std::unique_ptr<NamespaceEntry> Enter(const std::string& name, std::string* error);
  ~NamespaceEntry();
  NamespaceEntry(const NamespaceEntry&) = delete;
  NamespaceEntry& operator=(const NamespaceEntry&) = delete;

 private:
  explicit NamespaceEntry(int original) : original_(original) {}
  int original_;
};

// Two network namespaces of their own joined by a veth pair: the tool's side
// and the devices' side, where brevant-devsim runs. Names carry the process id
// and a counter, so beds of tests running in parallel never meet; nothing
// outside the two namespaces is touched, and both are removed by Down or the
// destructor.
class TestBed {
 public:
  TestBed();
  ~TestBed();
  TestBed(const TestBed&) = delete;
  TestBed& operator=(const TestBed&) = delete;

  // Creates the namespaces and the pair, both ends up. False with the reason.
  bool Up(std::string* error);
  // Stops brevant-devsim and removes the namespaces; safe to call twice.
  void Down();

  const std::string& ToolNamespace() const { return toolNamespace_; }
  const std::string& DeviceNamespace() const { return deviceNamespace_; }
  const std::string& ToolInterface() const { return toolInterface_; }
  const std::string& DeviceInterface() const { return deviceInterface_; }
  // The tool end's MAC address, set when the pair is made.
  static constexpr MacAddress kToolMac = {0x02, 0x62, 0x62, 0x00, 0x00, 0xFE};
  static constexpr MacAddress kDeviceEndMac = {0x02, 0x62, 0x62, 0x00, 0x00, 0xFD};

  // Starts brevant-devsim on the devices' end with these options (the
  // interface is added) and returns once it listens. False with the reason
  // (and its output) when it could not start.
  bool StartDevsim(const std::vector<std::string>& options, std::string* error);
  // SIGTERM, then SIGKILL after 5 s. True when it ended by itself with status 0.
  bool StopDevsim();
  // SIGUSR1: devices that hold their results (--hold-results, hold=yes) send
  // every result held so far. False when brevant-devsim does not run.
  bool ReleaseDevsimResults();
  bool DevsimRunning() const { return devsimPid_ > 0; }
  // Everything brevant-devsim wrote so far.
  std::string DevsimOutput() const;

  // Runs `ip` with these arguments inside one of the two namespaces.
  bool IpInTool(const std::vector<std::string>& arguments, std::string* error = nullptr);
  bool IpInDevices(const std::vector<std::string>& arguments, std::string* error = nullptr);

  std::unique_ptr<NamespaceEntry> EnterToolNamespace(std::string* error) const;
  std::unique_ptr<NamespaceEntry> EnterDeviceNamespace(std::string* error) const;

  // Where brevant-devsim is: $BREVANT_BUNDLE_DIR, else the build's bundle.
  static std::filesystem::path BundleDirectory();
  static bool IsRoot();

 private:
  bool Ip(const std::vector<std::string>& arguments, std::string* error);

  std::string toolNamespace_;
  std::string deviceNamespace_;
  std::string toolInterface_;
  std::string deviceInterface_;
  std::filesystem::path workDir_;
  std::filesystem::path devsimLog_;
  bool created_ = false;
  pid_t devsimPid_ = -1;
};

// Threads of this process with that name (/proc/self/task/*/comm).
int ThreadsNamed(const std::string& name);

}  // namespace brevant::testing
