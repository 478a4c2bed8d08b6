// Turns the endings the user did not choose from the program (SIGINT,
// SIGTERM) into a call on the user-interface thread, so the program can close
// the way Exit does and keep the user's settings.
#pragma once

#include <QObject>
#include <functional>

namespace ostra {

class SystemCloseWatcher : public QObject {
 public:
  // Installs the signal handlers. One watcher per process.
  explicit SystemCloseWatcher(std::function<void()> on_close, QObject* parent = nullptr);
  ~SystemCloseWatcher() override;
  SystemCloseWatcher(const SystemCloseWatcher&) = delete;
  SystemCloseWatcher& operator=(const SystemCloseWatcher&) = delete;

 private:
  void Deliver();
  std::function<void()> on_close_;
  bool delivered_ = false;
};

}  // namespace ostra
