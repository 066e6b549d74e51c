#pragma once

#include <QObject>

class QSocketNotifier;

namespace brevant {

// SIGTERM, SIGINT and SIGHUP (a logout, Ctrl-C in a terminal) reach the event
// loop as the signal Received, through a pipe: the handler itself only writes
// the signal's number. One object per process; the default actions come back
// when it is destroyed.
class QuitSignals : public QObject {
  Q_OBJECT

 public:
  explicit QuitSignals(QObject* parent = nullptr);
  ~QuitSignals() override;
  QuitSignals(const QuitSignals&) = delete;
  QuitSignals& operator=(const QuitSignals&) = delete;

  // False when the pipe or a handler could not be set up.
  bool Installed() const { return installed_; }

 signals:
  void Received(int signal);

 private:
  void Drain();

  QSocketNotifier* notifier_ = nullptr;
  bool installed_ = false;
};

}  // namespace brevant
