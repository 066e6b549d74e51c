#include "screens/quit_signals.h"

#include <fcntl.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <cerrno>
#include <csignal>

namespace brevant {

namespace {

int gPipe[2] = {-1, -1};
constexpr int kSignals[] = {SIGTERM, SIGINT, SIGHUP};

extern "C" void OnQuitSignal(int signal) {
  const int saved = errno;
  const unsigned char number = static_cast<unsigned char>(signal);
  // A full pipe already holds a request to quit.
  [[maybe_unused]] const ssize_t written = ::write(gPipe[1], &number, 1);
  errno = saved;
}

}  // namespace

QuitSignals::QuitSignals(QObject* parent) : QObject(parent) {
  if (::pipe2(gPipe, O_CLOEXEC | O_NONBLOCK) != 0) {
    gPipe[0] = gPipe[1] = -1;
    return;
  }
  notifier_ = new QSocketNotifier(gPipe[0], QSocketNotifier::Read, this);
  connect(notifier_, &QSocketNotifier::activated, this, &QuitSignals::Drain);
  struct sigaction action = {};
  action.sa_handler = OnQuitSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  installed_ = true;
  for (int signal : kSignals)
    installed_ = ::sigaction(signal, &action, nullptr) == 0 && installed_;
}

QuitSignals::~QuitSignals() {
  struct sigaction action = {};
  action.sa_handler = SIG_DFL;
  sigemptyset(&action.sa_mask);
  for (int signal : kSignals)
    ::sigaction(signal, &action, nullptr);
  delete notifier_;
  for (int& fd : gPipe) {
    if (fd >= 0)
      ::close(fd);
    fd = -1;
  }
}

void QuitSignals::Drain() {
  unsigned char number = 0;
  int last = 0;
  while (::read(gPipe[0], &number, 1) == 1)
    last = number;
  if (last != 0)
    emit Received(last);
}

}  // namespace brevant
