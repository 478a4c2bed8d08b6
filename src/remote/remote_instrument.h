// The instrument as the remote interface drives it: the status registers, the
// data format of the replies, continuous or held sweeping and the one sweep
// that INIT or TRIG:SING asks for, the data of the last complete sweep, and a
// setting changed as a key changes it.
#pragma once

#include <array>
#include <functional>
#include <optional>
#include <string>

#include "base/signal.h"
#include "display/marker_search.h"
#include "files/sweep_record.h"
#include "remote/scpi_error.h"

namespace ostra {

class Analyser;

enum class DataFormat { Ascii, Real64, Real32 };

class RemoteInstrument {
 public:
  explicit RemoteInstrument(Analyser& app);
  ~RemoteInstrument();
  RemoteInstrument(const RemoteInstrument&) = delete;
  RemoteInstrument& operator=(const RemoteInstrument&) = delete;

  Analyser& App() { return app_; }
  ScpiStatus& Status() { return status_; }
  // The simulated instrument answers: *IDN? gives serial number "0".
  bool Simulated() const { return simulated_; }
  void SetSimulated(bool on) { simulated_ = on; }

  // --- Replies -----------------------------------------------------------------
  DataFormat Format() const { return format_; }
  void SetFormat(DataFormat format) { format_ = format; }
  bool Swapped() const { return swapped_; }
  void SetSwapped(bool swapped) { swapped_ = swapped; }
  // The values as the data format writes them: numbers separated by commas,
  // or a definite-length block.
  std::string FormatValues(std::span<const double> values) const;

  // --- Triggering --------------------------------------------------------------
  bool Continuous() const { return continuous_; }
  // Held: the sweep stops after the sweep in progress; continuous: it runs.
  void SetContinuous(bool on);
  // One sweep from its start (all its averages when averaging is on); the
  // operation is pending from this call until that sweep is done.
  void TriggerSingle();
  // Ends a pending sweep (held: the sweep stops).
  void Abort();
  bool OperationPending() const { return pending_; }
  // *OPC: the operation-complete bit is set when the pending sweep is done.
  void ArmOperationComplete();
  // Emitted when a pending operation is done (from inside the sweep loop).
  Signal<> on_operation_complete;

  // The corrected data of the last complete sweep: the one INIT asked for when
  // sweeping is held, the latest otherwise; nothing before the first.
  const SweepRecord* LastData() const;

  // The search that CALC:MARK<m>:FUNC:EXEC runs for marker `index` (0..3).
  TraceExtreme MarkerSearch(int index) const { return searches_.at(static_cast<size_t>(index)); }
  void SetMarkerSearch(int index, TraceExtreme which) {
    searches_.at(static_cast<size_t>(index)) = which;
  }

  // --- Commands ----------------------------------------------------------------
  // Raises `code` (-200 or -221) when the instrument is taken by a procedure
  // that a key could not interrupt either (calibration, upgrade, the open
  // Sweep Parameters dialog).
  void RequireFree(int code) const;
  // Changes settings as a key does: a continuous sweep is stopped first and
  // restarted after, the chart's layout is refreshed. A held sweep is not
  // restarted: the next INIT programs the new settings.
  void ChangeSettings(const std::function<void()>& change);
  // *RST and SYST:PRES: factory settings (the calibration files stay),
  // continuous sweeping, markers off, ASCII replies.
  void Reset();

 private:
  bool InstrumentFree() const;
  void OnSweepDone();
  int SweepsWanted() const;
  void OnRunState(bool running);
  void Complete();

  Analyser& app_;
  ScpiStatus status_;
  DataFormat format_ = DataFormat::Ascii;
  bool swapped_ = false;
  bool simulated_ = false;
  bool continuous_ = true;
  bool pending_ = false;
  bool armed_ = false;     // waiting for the run that INIT started
  bool counting_ = false;  // in that run: counting its sweeps
  int sweeps_left_ = 0;
  bool opc_armed_ = false;
  std::optional<SweepRecord> snapshot_;
  std::array<TraceExtreme, 4> searches_{TraceExtreme::Maximum, TraceExtreme::Maximum,
                                        TraceExtreme::Maximum, TraceExtreme::Maximum};
  ScopedConnection sweep_done_;
  ScopedConnection run_state_;
};

}  // namespace ostra
