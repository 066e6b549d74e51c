#include "app/single_instance.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdlib>
#include <utility>

namespace brevant {

std::string SingleInstanceGuard::LockPath(const std::string& name) {
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  std::string folder = (runtime != nullptr && runtime[0] != '\0') ? runtime : "/tmp";
  if (folder.back() != '/')
    folder += '/';
  return folder + name;
}

std::optional<SingleInstanceGuard> SingleInstanceGuard::Acquire(const std::string& name) {
  return AcquireFile(LockPath(name));
}

std::optional<SingleInstanceGuard> SingleInstanceGuard::AcquireFile(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (fd < 0)
    return std::nullopt;
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    ::close(fd);
    return std::nullopt;
  }
  return SingleInstanceGuard(fd);
}

SingleInstanceGuard::SingleInstanceGuard(SingleInstanceGuard&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)) {}

SingleInstanceGuard& SingleInstanceGuard::operator=(SingleInstanceGuard&& other) noexcept {
  if (this != &other) {
    if (fd_ >= 0)
      ::close(fd_);
    fd_ = std::exchange(other.fd_, -1);
  }
  return *this;
}

SingleInstanceGuard::~SingleInstanceGuard() {
  if (fd_ >= 0)
    ::close(fd_);
}

void RaiseOpenFileLimit() {
  struct rlimit limit {};
  if (::getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur < limit.rlim_max) {
    limit.rlim_cur = limit.rlim_max;
    ::setrlimit(RLIMIT_NOFILE, &limit);
  }
}

}  // namespace brevant
