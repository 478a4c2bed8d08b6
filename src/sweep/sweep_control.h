// The one owner of stopping and restarting the sweep: the stop request that
// the acquisition loop tests before every pass, and BeginSweepTimer, whose
// tick programs the sweep from the settings and starts a new run. Handlers
// that change what is measured call Stop() before they change a setting and
// Restart() when they are done.
#pragma once

#include "base/platform.h"
#include "base/signal.h"

namespace ostra {

class SweepControl {
 public:
  // The wait that follows a stop request, before the instrument is used.
  static constexpr int kStopWaitMs = 20;
  // BeginSweepTimer's interval: the restart runs from the event loop right
  // after the current handler has returned.
  static constexpr int kRestartIntervalMs = 1;

  explicit SweepControl(Platform& platform) : platform_(platform) {}
  SweepControl(const SweepControl&) = delete;
  SweepControl& operator=(const SweepControl&) = delete;

  // Stop the sweep: the running loop ends after its current pass; then the
  // 20 ms wait, blocking this thread without processing messages.
  void Stop() {
    RequestStop();
    platform_.Sleep(kStopWaitMs);
  }
  // The request alone, without the wait.
  void RequestStop() { SetRequest(true); }
  // Sweep programming clears the request before a run (the calibration
  // clears it before each capture).
  void ClearStop() { SetRequest(false); }
  bool StopRequested() const { return stop_request_; }
  // Emitted when the request is set or cleared.
  Signal<> on_change;

  // Restart the sweep: enables BeginSweepTimer.
  void Restart() { platform_.SetTimer(TimerId::BeginSweep, true, kRestartIntervalMs); }
  // Disables BeginSweepTimer (its tick, and the end of the program).
  void CancelRestart() { platform_.SetTimer(TimerId::BeginSweep, false, kRestartIntervalMs); }

 private:
  void SetRequest(bool on) {
    if (stop_request_ == on) return;
    stop_request_ = on;
    on_change.Emit();
  }

  Platform& platform_;
  bool stop_request_ = false;
};

}  // namespace ostra
