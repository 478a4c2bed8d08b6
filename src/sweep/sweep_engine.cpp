#include "sweep/sweep_engine.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <exception>

#include "base/atomic_file.h"
#include "base/errors.h"
#include "base/text_util.h"
#include "cal/error_correction.h"
#include "sweep/sweep_pipeline.h"

namespace ostra {

namespace {

// More readings than this beyond the converter's limit end the run.
constexpr int kSaturationLimit = 5;

}  // namespace

// --- TMyThread -----------------------------------------------------------------

TMyThread::~TMyThread() { Join(); }

void TMyThread::Resume() {
  thread_ = std::thread([this] { Execute(); });
}

void TMyThread::Join() {
  if (thread_.joinable()) thread_.join();
}

bool TMyThread::Abandon() {
  int reading = kReading;
  return state_.compare_exchange_strong(reading, kAbandoned);
}

void TMyThread::Execute() {
  const DeviceLink::SweepReading reading =
      engine_.link_.StartSweepAndRead(std::span(engine_.read_buffer_).first(bytes_));
  // Left behind at the end of the program: nothing of the engine is touched.
  int expected = kReading;
  if (!state_.compare_exchange_strong(expected, kFinishing)) return;
  engine_.bytes_received_ = reading.received;
  engine_.start_not_written_ = !reading.written;
  engine_.platform_.RunOnUiThread([this] {
    engine_.acquisition_done_ = true;
    engine_.measured_acquisition_time_ =
        static_cast<int>(engine_.ElapsedMs(engine_.acquisition_start_count_));
  });
}

// --- SweepEngine ---------------------------------------------------------------

SweepEngine::SweepEngine(Platform& platform, DeviceLink& link, InstrumentSettings& settings,
                         AppLog& log, TraceSink& trace, std::filesystem::path cal_dir,
                         SweepControl& control)
    : platform_(platform),
      link_(link),
      settings_(settings),
      log_(log),
      trace_(trace),
      cal_dir_(std::move(cal_dir)),
      control_(control),
      converter_(settings_),
      programmer_(settings_, platform_, log_, calibration_, converter_, cal_dir_,
                  [this](const SweepProgram& program) { return link_.ProgramSweep(program); }) {}

SweepEngine::~SweepEngine() {
  Shutdown();
  // A worker left behind still uses the link's buffers: it ends before they go.
  abandoned_worker_.reset();
}

void SweepEngine::Shutdown() { WaitForWorker(); }

void SweepEngine::EndActiveRun() {
  if (live_run_ != 0) {
    TakeOverActiveRun();
  } else {
    WaitForWorker();
  }
}

void SweepEngine::CloseInstrument() {
  EndActiveRun();
  link_.CloseInstrument();
}

void SweepEngine::EndWithin(int ms) {
  if (ending_) return;
  ending_ = true;
  end_deadline_ = platform_.PerformanceCounter() +
                  static_cast<int64_t>(ms) * platform_.PerformanceFrequency() / 1000;
}

bool SweepEngine::PastEndDeadline() const {
  return ending_ && platform_.PerformanceCounter() >= end_deadline_;
}

void SweepEngine::WaitForWorker() {
  // The worker's completion step runs on this thread: let it run before
  // joining, so the worker never waits for a thread that waits for it. A run
  // started from inside this wait may already have taken the worker over.
  while (current_worker_ != nullptr && !acquisition_done_) {
    if (PastEndDeadline() && AbandonWorker()) return;
    platform_.WaitForEvents(5);
  }
  if (current_worker_ == nullptr) return;
  current_worker_->Join();
  current_worker_.reset();
  if (start_not_written_.exchange(false) && !ending_) {
    platform_.ShowMessage("Device write time out");
  }
}

bool SweepEngine::AbandonWorker() {
  if (!current_worker_->Abandon()) return false;  // its completion step is on its way
  abandoned_worker_ = std::move(current_worker_);
  acquisition_done_ = true;
  try {
    log_.WriteLog(
        "The acquisition thread did not return from the driver; the program ends "
        "without it");
  } catch (const std::exception&) {
    // The log cannot be written; the ending goes on.
  }
  return true;
}

int64_t SweepEngine::ElapsedMs(int64_t since) const {
  const int64_t frequency = platform_.PerformanceFrequency();
  if (frequency <= 0) return 0;
  const double ms = static_cast<double>(platform_.PerformanceCounter() - since) * 1000.0 /
                    static_cast<double>(frequency);
  return RoundHalfEven(ms);
}

void SweepEngine::SizeAverageHistory() {
  // Held in the range of an int; SizeHistory holds them to what a run uses.
  const auto held = [](int64_t value) {
    return static_cast<int>(std::clamp<int64_t>(value, INT32_MIN, INT32_MAX));
  };
  const SweepSettings sweep = ReadSweepSettings(settings_);
  sweep.Require({Setting::Average, Setting::Points});
  converter_.SizeHistory(held(sweep.average), held(sweep.points));
}

void SweepEngine::ResetAverageCount() { converter_.AverageCount = 0; }

void SweepEngine::ProgramCurrentSweep() { programmer_.ProgramCurrentSweep(control_); }

bool SweepEngine::ApplyReceiverSettings() {
  return ostra::ApplyReceiverSettings(
      settings_, log_, [this](bool on) { return link_.SetPreamp(on); },
      [this](uint8_t code) { return link_.SetRxGain(code); });
}

void SweepEngine::WaitMilliseconds(int ms, bool until_acquired) {
  const int64_t frequency = platform_.PerformanceFrequency();
  if (frequency <= 0) platform_.ShowMessage("Performance counter not supported by hardware");
  const int64_t start = platform_.PerformanceCounter();
  for (;;) {
    const int64_t elapsed = ElapsedMs(start);
    const bool acquired = until_acquired && current_worker_ != nullptr && acquisition_done_;
    if (elapsed >= ms || frequency <= 0 || acquired) {
      platform_.ProcessMessages();
      break;
    }
    // Sleep in the event loop until the next event or the deadline.
    platform_.WaitForEvents(static_cast<int>(ms - elapsed));
    if (ElapsedMs(start) >= ms) break;
  }
}

void SweepEngine::ConvertAndPlotSweep(int sweep, AtomicFile* capture) {
  const bool doubtful = ProcessSweep(converter_, calibration_, trace_, work_buffer_.data(),
                                     work_buffer_.size(), sweep, stage_, capture);
  if (doubtful && !cal_doubtful_) {
    cal_doubtful_ = true;
    on_cal_label.Emit("C?");
  }
  on_sweep_done.Emit();
}

void SweepEngine::TakeOverActiveRun() {
  // The active run is suspended in a message-processing step of its pass;
  // its worker finishes and its acquisition is dropped. It returns when
  // control comes back to it, since it no longer owns the loop.
  WaitForWorker();
  live_run_ = 0;
}

void SweepEngine::RunSweepLoop(std::string_view capture_mode) {
  if (live_run_ != 0) TakeOverActiveRun();
  const uint64_t run = ++run_serial_;
  live_run_ = run;
  if (run_depth_++ == 0) on_run_state.Emit(true);
  struct RunEnd {
    SweepEngine& engine;
    uint64_t run;
    ~RunEnd() {
      if (engine.Owns(run)) {
        engine.WaitForWorker();
        engine.live_run_ = 0;
      }
      if (--engine.run_depth_ == 0) engine.on_run_state.Emit(false);
    }
  } run_end{*this, run};

  const uint32_t expected =
      static_cast<uint32_t>(std::max(programmer_.Estimates().ExpectedLength, 0));
  // A read never asks for more than the buffers hold.
  const uint32_t to_read = std::min(expected, kRxBufferSize);
  const uint32_t n = ReadInitialAcquisition(to_read);
  if (n != expected) {
    log_.WriteLog("Unexpected bytes(at start) = Got " + std::to_string(n) + "; Expected " +
                  std::to_string(expected));
    control_.RequestStop();
  }
  if (!BeginRun(capture_mode)) control_.RequestStop();

  std::unique_ptr<AtomicFile> capture;
  if (const auto file = CaptureFileName(capture_mode)) {
    capture = std::make_unique<AtomicFile>(cal_dir_ / *file);
  }
  while (!control_.StopRequested()) {
    if (!RunPass(run, expected, to_read, capture.get())) return;
  }
}

uint32_t SweepEngine::ReadInitialAcquisition(uint32_t to_read) {
  acquisition_start_count_ = platform_.PerformanceCounter();
  // No worker is reading: the run reads straight into the work buffer.
  const DeviceLink::SweepReading reading =
      link_.StartSweepAndRead(std::span(work_buffer_).first(to_read));
  const uint32_t n = reading.received;
  if (!reading.written) {
    platform_.ShowMessage("Device write time out while setting off sweep.");
    log_.WriteLog("Device write time out while setting off sweep.");
  }

  measured_acquisition_time_ = static_cast<int>(ElapsedMs(acquisition_start_count_));
  if (measured_acquisition_time_ * 1.05 > kUsbReadTimeoutMs) {
    log_.WriteLog("USB READ TIMEOUT (" + std::to_string(kUsbReadTimeoutMs) +
                  ")needs adjusting for this acquisition duration (" +
                  std::to_string(measured_acquisition_time_) + "). It is too close!");
  }
  log_.WriteLog("Measured acquisition time is " + std::to_string(measured_acquisition_time_));
  return n;
}

bool SweepEngine::BeginRun(std::string_view capture_mode) {
  converter_.BeginRun(std::string(capture_mode));
  const RunParameters& run = converter_.Run();
  // Points and dwell read from a state file must fit the per-point arrays
  // (501 points fill them exactly): such a run does no pass, with the
  // dialog's own message.
  bool fits = true;
  if (!control_.StopRequested()) {
    const std::string refusal = RunLimitRefusal(run.settings);
    if (!refusal.empty()) {
      platform_.ShowMessage(refusal);
      fits = false;
    }
  }
  cal_doubtful_ = false;
  on_cal_label.Emit("C");
  return fits;
}

void SweepEngine::StartWorker(uint32_t to_read) {
  acquisition_start_count_ = platform_.PerformanceCounter();
  acquisition_done_ = false;
  current_worker_ = std::make_unique<TMyThread>(*this, to_read);
  current_worker_->Resume();
}

bool SweepEngine::RunPass(uint64_t run, uint32_t expected, uint32_t to_read, AtomicFile* capture) {
  const int sweep_count = programmer_.Estimates().SweepCount;
  // The next acquisition is read while this one is shown, unless a held run
  // wants no sweep beyond this pass.
  const int wanted = control_.SweepsWanted();
  const bool read_ahead = wanted < 0 || wanted > sweep_count;
  bool reading = read_ahead;
  pass_start_ = platform_.PerformanceCounter();
  if (reading) StartWorker(to_read);
  for (int k = 0; k < sweep_count; ++k) {
    // A capture run writes sweep 0 and ends.
    if (!ShowSweep(run, k, capture)) return false;
    if (capture != nullptr) break;
    if (converter_.SaturationCount > kSaturationLimit) break;
    if (control_.SweepsWanted() == 0) break;
  }
  EndPass(capture);
  // A held run that goes on after all (sweeping was made continuous while
  // it was shown) reads its next acquisition now.
  if (!reading && !control_.StopRequested()) {
    StartWorker(to_read);
    reading = true;
  }
  WaitForWorker();
  // A worker left behind may still be writing the receive buffer.
  if (!Owns(run) || WorkerAbandoned()) return false;
  if (DriverFailed()) return false;
  if (reading) TakeAcquisition(expected);
  return true;
}

void SweepEngine::EndPass(AtomicFile* capture) {
  if (capture != nullptr) {
    capture->Commit();
    ++captures_written_;
    control_.RequestStop();
  }
  if (converter_.SaturationCount > kSaturationLimit) {
    control_.RequestStop();
    platform_.ShowMessage("Error..Device is saturating due to excess power, please drop RF power");
  }
}

bool SweepEngine::ShowSweep(uint64_t run, int sweep, AtomicFile* capture) {
  const int sweep_count = programmer_.Estimates().SweepCount;
  const int64_t sweep_start = platform_.PerformanceCounter();
  ConvertAndPlotSweep(sweep, capture);
  // A held run that has shown its last sweep has no next one to pace.
  if (control_.SweepsWanted() == 0) return Owns(run);
  // Pacing: the sweeps of a pass together take about one acquisition time.
  // Sweep k of a pass is due k + 1 parts of an acquisition after the pass
  // began: a wait that overshoots is made up by the next one instead of
  // adding up over the pass. The last sweep's wait ends when the acquisition
  // read meanwhile is in, which is when the next pass can begin.
  const double due = static_cast<double>(measured_acquisition_time_) * (sweep + 1) / sweep_count;
  const int refresh =
      static_cast<int>(RoundHalfEven(due - static_cast<double>(ElapsedMs(pass_start_))));
  programmer_.SetRefreshRate(refresh);
  WaitMilliseconds(refresh, /*until_acquired=*/sweep + 1 == sweep_count);
  if (!Owns(run)) return false;
  platform_.SetStatusText("Refresh rate: " + std::to_string(ElapsedMs(sweep_start)));
  platform_.ProcessMessages();
  return Owns(run);
}

bool SweepEngine::DriverFailed() {
  if (link_.LastDriverStatus() == 0) return false;
  control_.RequestStop();
  platform_.ShowMessage(link_.UsbErrorMessage(), MessageKind::Error);
  on_fatal_error.Emit();
  return true;
}

void SweepEngine::TakeAcquisition(uint32_t expected) {
  const uint32_t received = bytes_received_;
  if (received == expected) {
    std::copy_n(read_buffer_.begin(), expected, work_buffer_.begin());
  } else {
    // The next pass shows the previous acquisition again.
    log_.WriteLog("Unexpected bytes(in loop) = Got " + std::to_string(received) + "; Expected " +
                  std::to_string(expected));
  }
}

}  // namespace ostra
