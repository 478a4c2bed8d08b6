#include "gui/system_close.h"

#include <atomic>
#include <cerrno>
#include <csignal>

#include "gui/handler_call.h"

#ifdef _WIN32
#include <QTimer>
#else
#include <fcntl.h>
#include <unistd.h>
#include <QSocketNotifier>
#endif

namespace ostra {

namespace {

#ifdef _WIN32
std::atomic<bool> g_signalled{false};
void OnSignal(int) { g_signalled = true; }
#else
// The self-pipe: the handler writes one byte, the notifier wakes the event
// loop on the user-interface thread.
int g_pipe[2] = {-1, -1};
void OnSignal(int) {
  const char byte = 1;
  const int saved = errno;
  [[maybe_unused]] const auto n = ::write(g_pipe[1], &byte, 1);
  errno = saved;
}
#endif

}  // namespace

SystemCloseWatcher::SystemCloseWatcher(std::function<void()> on_close, QObject* parent)
    : QObject(parent), on_close_(std::move(on_close)) {
#ifdef _WIN32
  auto* poll = new QTimer(this);
  connect(poll, &QTimer::timeout, this, [this] {
    if (g_signalled.exchange(false)) Deliver();
  });
  poll->start(100);
  std::signal(SIGINT, OnSignal);
  std::signal(SIGTERM, OnSignal);
#else
  if (::pipe(g_pipe) != 0) return;
  for (int fd : g_pipe) {
    ::fcntl(fd, F_SETFD, FD_CLOEXEC);
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
  }
  auto* notifier = new QSocketNotifier(g_pipe[0], QSocketNotifier::Read, this);
  connect(notifier, &QSocketNotifier::activated, this, [this] {
    char buffer[16];
    while (::read(g_pipe[0], buffer, sizeof buffer) > 0) {
    }
    Deliver();
  });
  struct sigaction action {};
  action.sa_handler = OnSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
  // The terminal the program was started from closing, and the end of a
  // session (which follows its SIGTERM with a SIGHUP), close it the same way.
  sigaction(SIGHUP, &action, nullptr);
#endif
}

SystemCloseWatcher::~SystemCloseWatcher() {
  std::signal(SIGINT, SIG_DFL);
  std::signal(SIGTERM, SIG_DFL);
#ifndef _WIN32
  std::signal(SIGHUP, SIG_DFL);
  for (int& fd : g_pipe) {
    if (fd >= 0) ::close(fd);
    fd = -1;
  }
#endif
}

void SystemCloseWatcher::Deliver() {
  if (delivered_) return;
  delivered_ = true;
  // The program now closes as Exit does; a second signal ends it at once, as
  // an impatient user expects.
  std::signal(SIGINT, SIG_DFL);
  std::signal(SIGTERM, SIG_DFL);
#ifndef _WIN32
  // The SIGHUP of a session's end arrives right after its SIGTERM: it must
  // not cut the save short.
  std::signal(SIGHUP, SIG_IGN);
#endif
  CallHandler(on_close_);
}

}  // namespace ostra
