// The sweep engine: programs the instrument from the settings and runs the
// acquisition loop. One TMyThread at a time reads the next acquisition while
// the user-interface thread converts, corrects and plots the previous one.
#pragma once

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "app/app_log.h"
#include "app/instrument_settings.h"
#include "app/platform.h"
#include "cal/cal_tables.h"
#include "device/device_link.h"
#include "sweep/sample_conversion.h"
#include "sweep/sweep_programming.h"

namespace ostra {

class TraceDisplay;
class SweepEngine;

// The worker of one acquisition: sends StartSweep, reads the sample stream
// into the receive buffer, then runs its completion step on the
// user-interface thread and ends.
class TMyThread {
 public:
  TMyThread(SweepEngine& engine, uint32_t bytes_to_read) : engine_(engine), bytes_(bytes_to_read) {}
  ~TMyThread();
  TMyThread(const TMyThread&) = delete;
  TMyThread& operator=(const TMyThread&) = delete;

  void Resume();
  void Join();

 private:
  void Execute();

  SweepEngine& engine_;
  uint32_t bytes_;
  std::thread thread_;
};

class SweepEngine {
 public:
  SweepEngine(Platform& platform, DeviceLink& link, InstrumentSettings& settings, AppLog& log,
              TraceDisplay& display, std::filesystem::path cal_dir, bool& sweep_stop_request);
  ~SweepEngine();
  SweepEngine(const SweepEngine&) = delete;
  SweepEngine& operator=(const SweepEngine&) = delete;

  // Programs the instrument from the current settings.
  void ProgramCurrentSweep();
  // Runs the acquisition loop with "normal" or one of the capture modes and
  // returns when the run ends.
  void RunSweepLoop(const std::string& capture_mode);
  // Sets the preamplifier and receiver gain; false when the instrument did
  // not answer the preamplifier command.
  bool ApplyReceiverSettings();
  // Waits `ms` while processing window messages (sleeping in the event loop).
  void WaitMilliseconds(int ms);

  bool RunActive() const { return run_active_; }
  // A worker is reading an acquisition whose completion step has not run.
  bool AcquisitionPending() const { return current_worker_ != nullptr && !acquisition_done_; }
  // Lets a worker still in flight finish (used at shut-down).
  void Shutdown();

  CalibrationStore& Calibration() { return calibration_; }
  SampleConverter& Converter() { return converter_; }
  const SweepEstimates& Estimates() const { return programmer_.Estimates(); }
  void SizeAverageHistory();
  void ResetAverageCount();
  int MeasuredAcquisitionTime() const { return measured_acquisition_time_; }
  int SaturationCount() const { return converter_.SaturationCount; }

  // Called after the last point of each displayed sweep (the markers).
  std::function<void()> on_sweep_done;
  // Writes the caption of cal_label ("C" or "C?").
  std::function<void(const std::string&)> set_cal_label;
  // Called when a run ends on a driver error, after its message.
  std::function<void()> on_fatal_error;

 private:
  friend class TMyThread;

  int64_t ElapsedMs(int64_t since) const;
  void ConvertAndPlotSweep(int sweep, const std::string& capture_mode, std::ofstream* capture);
  void WaitForWorker();
  static std::filesystem::path CaptureFileName(const std::string& mode);

  Platform& platform_;
  DeviceLink& link_;
  InstrumentSettings& settings_;
  AppLog& log_;
  TraceDisplay& display_;
  std::filesystem::path cal_dir_;
  bool& sweep_stop_request_;

  CalibrationStore calibration_;
  SampleConverter converter_;
  SweepProgrammer programmer_;

  std::vector<uint8_t> work_buffer_ = std::vector<uint8_t>(kRxBufferSize);
  std::unique_ptr<TMyThread> current_worker_;
  bool acquisition_done_ = true;
  int64_t acquisition_start_count_ = 0;
  int measured_acquisition_time_ = 0;
  std::atomic<uint32_t> bytes_received_{0};
  bool run_active_ = false;
  bool cal_doubtful_ = false;  // "C?" shown in this run

  // Read once at the start of a run.
  std::string run_sweep_type_;
  std::string run_mode_;
  int run_points_ = 0;
  int run_dwell_ = 0;
};

}  // namespace ostra
