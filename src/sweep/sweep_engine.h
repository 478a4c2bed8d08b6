// The sweep engine: programs the instrument from the settings and runs the
// acquisition loop. One TMyThread at a time reads the next acquisition while
// the user-interface thread converts, corrects and plots the previous one.
#pragma once

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "base/app_log.h"
#include "base/constants.h"
#include "base/instrument_settings.h"
#include "base/platform.h"
#include "base/signal.h"
#include "cal/cal_tables.h"
#include "device/device_link.h"
#include "sweep/sample_conversion.h"
#include "sweep/sweep_control.h"
#include "sweep/sweep_pipeline.h"
#include "sweep/sweep_programming.h"
#include "sweep/trace_sink.h"

namespace ostra {

class AtomicFile;
class SweepEngine;

// The worker of one acquisition: sends StartSweep, reads the sample stream
// into the engine's read buffer, then runs its completion step on the
// user-interface thread and ends. It never calls the user interface itself:
// what happened (the bytes read, a start that did not go out) is handed back
// in the completion step, and the user-interface thread reports it.
class TMyThread {
 public:
  TMyThread(SweepEngine& engine, uint32_t bytes_to_read) : engine_(engine), bytes_(bytes_to_read) {}
  ~TMyThread();
  TMyThread(const TMyThread&) = delete;
  TMyThread& operator=(const TMyThread&) = delete;

  void Resume();
  void Join();
  // Called on the user-interface thread when the program ends without
  // waiting for this worker: true when the worker will touch nothing of the
  // engine again (its read returns into the read buffer and it ends);
  // false when it has already finished its read and is handing its
  // completion step over, which then runs as usual.
  bool Abandon();

 private:
  void Execute();

  enum State : int { kReading, kFinishing, kAbandoned };
  SweepEngine& engine_;
  uint32_t bytes_;
  std::atomic<int> state_{kReading};
  std::thread thread_;
};

class SweepEngine {
 public:
  SweepEngine(Platform& platform, DeviceLink& link, InstrumentSettings& settings, AppLog& log,
              TraceSink& trace, std::filesystem::path cal_dir, SweepControl& control);
  ~SweepEngine();
  SweepEngine(const SweepEngine&) = delete;
  SweepEngine& operator=(const SweepEngine&) = delete;

  // Programs the instrument from the current settings.
  void ProgramCurrentSweep();
  // Runs the acquisition loop with "normal" or one of the capture modes and
  // returns when the run ends. A run asked for while another is active (a
  // calibration started by a key press inside the running loop) takes over:
  // the active run's worker is waited for and its acquisition dropped, the
  // new run goes ahead, and the old one returns as soon as control comes
  // back to it, without plotting anything more.
  void RunSweepLoop(std::string_view capture_mode);
  // Sets the preamplifier and receiver gain; false when the instrument did
  // not answer the preamplifier command.
  bool ApplyReceiverSettings();
  // Waits `ms` while processing window messages (sleeping in the event loop);
  // `until_acquired`: or until the acquisition being read is in.
  void WaitMilliseconds(int ms, bool until_acquired = false);

  // A run is on the stack: a restart is held back until it has returned.
  bool RunActive() const { return run_depth_ > 0; }
  // A worker is reading an acquisition whose completion step has not run.
  bool AcquisitionPending() const { return current_worker_ != nullptr && !acquisition_done_; }
  // Lets a worker still in flight finish (used at shut-down); once the
  // program is ending (EndWithin), only until the end's deadline.
  void Shutdown();
  // Ends the active run where it is suspended (a handler inside its message
  // processing is about to close the instrument and start afresh): its
  // worker finishes, its acquisition is dropped, and it returns without
  // showing another sweep.
  void EndActiveRun();
  // Ends the active run as EndActiveRun does, then closes the instrument.
  void CloseInstrument();
  // Lets an acquisition in flight end, processing window messages meanwhile
  // (never waiting on the link's lock while a read holds it).
  void AwaitAcquisition() { WaitForWorker(); }

  // The longest the end of the program waits for a worker: one read
  // time-out and a margin. A worker stuck in the driver longer is left
  // behind, and the program ends without touching what it shares again.
  static constexpr int kEndWaitMs = static_cast<int>(kUsbReadTimeoutMs) + 400;
  // The program is ending: every later wait for the worker ends `ms` after
  // the first call at the latest.
  void EndWithin(int ms);
  // A worker was left behind: it may still be inside the driver, writing
  // into the read buffer. The engine's destructor joins it; the
  // program instead ends its process without destroying what it uses.
  bool WorkerAbandoned() const { return abandoned_worker_ != nullptr; }

  CalibrationStore& Calibration() { return calibration_; }
  SampleConverter& Converter() { return converter_; }
  const SweepEstimates& Estimates() const { return programmer_.Estimates(); }
  void SizeAverageHistory();
  void ResetAverageCount();
  int MeasuredAcquisitionTime() const { return measured_acquisition_time_; }
  int SaturationCount() const { return converter_.SaturationCount; }
  // Capture runs whose calibration file was written, since the engine began.
  uint64_t CapturesWritten() const { return captures_written_; }

  // Emitted after the last point of each displayed sweep (the markers).
  Signal<> on_sweep_done;
  // The caption of cal_label: "C" at the start of a run, "C?" when the
  // calibration tables do not belong to the sweep.
  Signal<const std::string&> on_cal_label;
  // Emitted when a run ends on a driver error, after its message.
  Signal<> on_fatal_error;
  // Emitted with true when the acquisition loop starts running and with
  // false when it has returned (a run that takes over a running one is the
  // same sweeping).
  Signal<bool> on_run_state;

 private:
  friend class TMyThread;

  int64_t ElapsedMs(int64_t since) const;
  // The steps of a run.
  uint32_t ReadInitialAcquisition(uint32_t to_read);
  bool BeginRun(std::string_view capture_mode);
  bool RunPass(uint64_t run, uint32_t expected, uint32_t to_read, AtomicFile* capture);
  void EndPass(AtomicFile* capture);
  bool ShowSweep(uint64_t run, int sweep, AtomicFile* capture);
  bool DriverFailed();
  void TakeAcquisition(uint32_t expected);
  void ConvertAndPlotSweep(int sweep, AtomicFile* capture);
  void StartWorker(uint32_t to_read);
  void WaitForWorker();
  bool PastEndDeadline() const;
  bool AbandonWorker();
  // The run that owns the loop; a run taken over by a later one does not.
  bool Owns(uint64_t run) const { return live_run_ == run; }
  void TakeOverActiveRun();

  Platform& platform_;
  DeviceLink& link_;
  InstrumentSettings& settings_;
  AppLog& log_;
  TraceSink& trace_;
  std::filesystem::path cal_dir_;
  SweepControl& control_;

  CalibrationStore calibration_;
  SampleConverter converter_;
  SweepProgrammer programmer_;

  std::vector<uint8_t> work_buffer_ = std::vector<uint8_t>(kRxBufferSize);
  SweepStage stage_;
  // The worker's: the sample stream is read here, and copied into the work
  // buffer once the worker has finished. Nothing else writes it.
  std::vector<uint8_t> read_buffer_ = std::vector<uint8_t>(kRxBufferSize);
  std::unique_ptr<TMyThread> current_worker_;
  std::unique_ptr<TMyThread> abandoned_worker_;
  bool ending_ = false;
  int64_t end_deadline_ = 0;  // performance counter
  bool acquisition_done_ = true;
  int64_t acquisition_start_count_ = 0;
  int measured_acquisition_time_ = 0;
  int64_t pass_start_ = 0;  // performance counter at the start of the pass shown
  std::atomic<uint32_t> bytes_received_{0};
  std::atomic<bool> start_not_written_{false};  // the worker's StartSweep did not go out
  bool cal_doubtful_ = false;                   // "C?" shown in this run

  int run_depth_ = 0;  // runs on the stack
  uint64_t captures_written_ = 0;
  uint64_t run_serial_ = 0;
  uint64_t live_run_ = 0;  // the run that owns the loop, 0 when none
};

}  // namespace ostra
