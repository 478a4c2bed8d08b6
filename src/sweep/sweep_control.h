// The one owner of stopping and restarting the sweep: the stop request that
// the acquisition loop tests before every pass, and BeginSweepTimer, whose
// tick programs the sweep from the settings and starts a new run. Handlers
// that change what is measured call Stop() before they change a setting and
// Restart() when they are done.
#pragma once

#include <functional>

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

  // A held run (sweeping asked for one sweep at a time) says how many more
  // sweeps it is to show before it stops: the loop then reads no acquisition
  // ahead that it would not show, and ends at once after the last one
  // instead of pacing a next sweep. -1 (no one asks, or sweeping is
  // continuous): the loop runs and paces its sweeps as always.
  void SetSweepsWanted(std::function<int()> wanted) { sweeps_wanted_ = std::move(wanted); }
  int SweepsWanted() const { return sweeps_wanted_ ? sweeps_wanted_() : -1; }

  // Restart the sweep: enables BeginSweepTimer. A restart that nothing holds
  // back (no run active) may ask for the next turn of the event loop instead.
  void Restart(int interval_ms = kRestartIntervalMs) {
    platform_.SetTimer(TimerId::BeginSweep, true, interval_ms);
  }
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
  std::function<int()> sweeps_wanted_;
};

}  // namespace ostra
