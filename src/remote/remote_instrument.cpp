#include "remote/remote_instrument.h"

#include <algorithm>

#include "app/analyser.h"
#include "app/app_shell.h"
#include "app/instrument_owner.h"
#include "app/marker_actions.h"
#include "app/options_dialog.h"
#include "base/sweep_settings.h"
#include "base/text_util.h"
#include "display/trace_display.h"
#include "remote/scpi_values.h"
#include "sweep/sweep_engine.h"

namespace ostra {

RemoteInstrument::RemoteInstrument(Analyser& app)
    : app_(app),
      sweep_done_(app.Engine().on_sweep_done, [this] { OnSweepDone(); }),
      run_state_(app.Engine().on_run_state, [this](bool running) { OnRunState(running); }) {
  app_.Sweep().SetSweepsWanted([this] { return SweepsWanted(); });
}

RemoteInstrument::~RemoteInstrument() { app_.Sweep().SetSweepsWanted(nullptr); }

std::string RemoteInstrument::FormatValues(std::span<const double> values) const {
  if (format_ == DataFormat::Ascii) return FormatNumberList(values);
  return FormatBlock(values, format_ == DataFormat::Real32, swapped_);
}

// --- Triggering ---------------------------------------------------------------------

void RemoteInstrument::SetContinuous(bool on) {
  if (on == continuous_) return;
  continuous_ = on;
  if (on) {
    Abort();
    app_.Sweep().Restart();
  } else if (!pending_) {
    app_.Sweep().RequestStop();
  }
}

void RemoteInstrument::TriggerSingle() {
  if (pending_) Abort();
  pending_ = true;
  armed_ = true;
  counting_ = false;
  // A continuous sweep starts again from its first point, as it does when a
  // key changes a setting.
  if (app_.Engine().RunActive()) {
    app_.Sweep().Stop();
    app_.Sweep().Restart();
  } else {
    // Nothing holds the run back: it starts on the next turn of the event
    // loop, not a timer tick later.
    app_.Sweep().Restart(0);
  }
}

void RemoteInstrument::Abort() {
  if (!continuous_) app_.Sweep().RequestStop();
  if (pending_) Complete();
}

void RemoteInstrument::ArmOperationComplete() {
  if (pending_) {
    opc_armed_ = true;
  } else {
    status_.SetEvent(kEsrOperationComplete);
  }
}

void RemoteInstrument::OnRunState(bool running) {
  if (running && armed_) {
    armed_ = false;
    counting_ = true;
    const SweepSettings sweep = ReadSweepSettings(app_.Settings());
    sweeps_left_ = 1;
    if (sweep.average_on) {
      if (sweep.Converted(Setting::Average) && sweep.average > 1) {
        sweeps_left_ = static_cast<int>(std::min<int64_t>(sweep.average, 256));
      }
      app_.Engine().ResetAverageCount();
    }
  } else if (!running && counting_) {
    // The run ended before its sweeps were done (a key stopped it, the
    // instrument failed): the client is not left waiting.
    Complete();
  }
}

void RemoteInstrument::OnSweepDone() {
  if (counting_ && --sweeps_left_ <= 0) {
    if (const SweepRecord* record = app_.Recorder().LastComplete()) snapshot_ = *record;
    Complete();
  }
  if (!continuous_ && !pending_) app_.Sweep().RequestStop();
}

int RemoteInstrument::SweepsWanted() const {
  if (continuous_) return -1;
  // Held: the sweeps that INIT asked for, and none once they are done (a
  // run started by a key shows one sweep, as OnSweepDone stops it).
  return counting_ ? std::max(sweeps_left_, 0) : 0;
}

void RemoteInstrument::Complete() {
  pending_ = false;
  armed_ = false;
  counting_ = false;
  if (opc_armed_) {
    opc_armed_ = false;
    status_.SetEvent(kEsrOperationComplete);
  }
  on_operation_complete.Emit();
}

const SweepRecord* RemoteInstrument::LastData() const {
  if (!continuous_ && snapshot_) return &*snapshot_;
  return app_.Recorder().LastComplete();
}

// --- Commands --------------------------------------------------------------------------

bool RemoteInstrument::InstrumentFree() const {
  const AppShell& shell = app_.Shell();
  if (!shell.SettingsLoaded() || shell.StartupPending() || shell.ProgramEnded()) return false;
  // A calibration, the firmware upgrade, a recall or the close holds the
  // instrument; the Sweep Parameters dialog holds the settings.
  return !app_.Owner().WhyNot("Remote command") && !app_.Dialog().Open();
}

void RemoteInstrument::RequireFree(int code) const {
  if (!InstrumentFree()) throw ScpiError(code, "the instrument is busy");
}

void RemoteInstrument::ChangeSettings(const std::function<void()>& change) {
  const bool restart = continuous_ || pending_;
  if (restart) app_.Sweep().Stop();
  change();
  app_.Guard([&] { app_.Display().UpdateDisplayLayout(); });
  if (restart) app_.Sweep().Restart();
}

void RemoteInstrument::Reset() {
  Abort();
  app_.Sweep().Stop();
  // The factory settings as a start-up applies them: the formats' scaling
  // and the receiver gain of the mode.
  InstrumentSettings& settings = app_.Settings();
  settings.RestoreDefaults();
  app_.Display().ResetFormatScaling();
  app_.Display().ApplyFormatScalingToSettings();
  const bool transmission = ParseMode(settings.Mode()) == ModeKind::Transmission;
  settings.SetText(Setting::RxGain, transmission ? "24" : "39");
  app_.Markers().ClearMarkers();
  app_.Guard([&] { app_.Display().UpdateDisplayLayout(); });
  format_ = DataFormat::Ascii;
  swapped_ = false;
  continuous_ = true;
  snapshot_.reset();
  app_.Sweep().Restart();
}

}  // namespace ostra
