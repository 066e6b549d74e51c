#pragma once

#include <optional>
#include <string>

namespace brevant {

// A system-wide one-copy guard: an exclusive lock on a file of the given name
// in the runtime folder ($XDG_RUNTIME_DIR, else /tmp). The kernel releases it
// when the process ends, however it ends.
class SingleInstanceGuard {
 public:
  // Nothing when another process holds the lock.
  static std::optional<SingleInstanceGuard> Acquire(const std::string& name);
  // The same on a lock file at a path of the caller's.
  static std::optional<SingleInstanceGuard> AcquireFile(const std::string& path);
  static std::string LockPath(const std::string& name);

  SingleInstanceGuard(SingleInstanceGuard&& other) noexcept;
  SingleInstanceGuard& operator=(SingleInstanceGuard&& other) noexcept;
  SingleInstanceGuard(const SingleInstanceGuard&) = delete;
  SingleInstanceGuard& operator=(const SingleInstanceGuard&) = delete;
  ~SingleInstanceGuard();

 private:
  explicit SingleInstanceGuard(int fd) : fd_(fd) {}
  int fd_ = -1;
};

// The guard's name for the desktop application.
inline constexpr const char* kSingleInstanceName = "Ostrel_Brevant";

// Raises the open-file soft limit to the hard limit: every delivery job and
// capture handle costs descriptors.
void RaiseOpenFileLimit();

}  // namespace brevant
