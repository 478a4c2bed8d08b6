#include "sweep/sweep_engine.h"

#include <algorithm>
#include <cmath>

#include "app/errors.h"
#include "app/text_util.h"
#include "cal/error_correction.h"
#include "display/trace_display.h"

namespace ostra {

namespace {

constexpr int kReadTimeoutMs = 600;

struct CaptureFile {
  const char* mode;
  const char* file;
};

constexpr CaptureFile kCaptureFiles[] = {
    {"dc_offset_cal", "cal_dc_offset.dat"}, {"open_cal", "cal_open.dat"},
    {"short_cal", "cal_short.dat"},         {"load_cal", "cal_load.dat"},
    {"thru_cal", "cal_thru.dat"},           {"thru_ph_cal", "cal_thru_ph.dat"},
    {"thru_pwr_cal", "cal_thru_pwr.dat"},
};

}  // namespace

// --- TMyThread -----------------------------------------------------------------

TMyThread::~TMyThread() { Join(); }

void TMyThread::Resume() {
  thread_ = std::thread([this] { Execute(); });
}

void TMyThread::Join() {
  if (thread_.joinable()) thread_.join();
}

void TMyThread::Execute() {
  bool written = false;
  uint32_t received = 0;
  {
    std::lock_guard lock(engine_.link_.ConnectionMutex());
    written = engine_.link_.StartSweep();
    if (written) received = engine_.link_.ReadBlock(bytes_);
  }
  if (!written) {
    engine_.platform_.ShowMessage("Device write time out");
    std::lock_guard lock(engine_.link_.ConnectionMutex());
    received = engine_.link_.ReadBlock(bytes_);
  }
  engine_.bytes_received_ = received;
  engine_.platform_.RunOnUiThread([this] {
    engine_.acquisition_done_ = true;
    engine_.measured_acquisition_time_ =
        static_cast<int>(engine_.ElapsedMs(engine_.acquisition_start_count_));
  });
}

// --- SweepEngine ---------------------------------------------------------------

SweepEngine::SweepEngine(Platform& platform, DeviceLink& link, InstrumentSettings& settings,
                         AppLog& log, TraceDisplay& display, std::filesystem::path cal_dir,
                         bool& sweep_stop_request)
    : platform_(platform),
      link_(link),
      settings_(settings),
      log_(log),
      display_(display),
      cal_dir_(std::move(cal_dir)),
      sweep_stop_request_(sweep_stop_request),
      converter_(settings_),
      programmer_(settings_, platform_, log_, calibration_, converter_, cal_dir_,
                  [this](const SweepProgram& program) { return link_.ProgramSweep(program); }) {}

SweepEngine::~SweepEngine() { Shutdown(); }

void SweepEngine::Shutdown() { WaitForWorker(); }

void SweepEngine::WaitForWorker() {
  if (!current_worker_) return;
  // The worker's completion step runs on this thread: let it run before
  // joining, so the worker never waits for a thread that waits for it.
  while (!acquisition_done_) platform_.WaitForEvents(5);
  current_worker_->Join();
  current_worker_.reset();
}

int64_t SweepEngine::ElapsedMs(int64_t since) const {
  const int64_t frequency = platform_.PerformanceFrequency();
  if (frequency <= 0) return 0;
  const double ms = static_cast<double>(platform_.PerformanceCounter() - since) * 1000.0 /
                    static_cast<double>(frequency);
  return RoundHalfEven(ms);
}

void SweepEngine::SizeAverageHistory() {
  converter_.SizeHistory(static_cast<int>(settings_.Int(Setting::Average)),
                         static_cast<int>(settings_.Int(Setting::Points)));
}

void SweepEngine::ResetAverageCount() { converter_.AverageCount = 0; }

void SweepEngine::ProgramCurrentSweep() { programmer_.ProgramCurrentSweep(sweep_stop_request_); }

bool SweepEngine::ApplyReceiverSettings() {
  return ostra::ApplyReceiverSettings(
      settings_, log_, [this](bool on) { return link_.SetPreamp(on); },
      [this](uint8_t code) { return link_.SetRxGain(code); });
}

void SweepEngine::WaitMilliseconds(int ms) {
  const int64_t frequency = platform_.PerformanceFrequency();
  if (frequency <= 0) platform_.ShowMessage("Performance counter not supported by hardware");
  const int64_t start = platform_.PerformanceCounter();
  for (;;) {
    const int64_t elapsed = ElapsedMs(start);
    if (elapsed >= ms || frequency <= 0) {
      platform_.ProcessMessages();
      break;
    }
    // Sleep in the event loop until the next event or the deadline.
    platform_.WaitForEvents(static_cast<int>(ms - elapsed));
    if (ElapsedMs(start) >= ms) break;
  }
}

std::filesystem::path SweepEngine::CaptureFileName(const std::string& mode) {
  for (const CaptureFile& c : kCaptureFiles) {
    if (mode == c.mode) return c.file;
  }
  return {};
}

void SweepEngine::ConvertAndPlotSweep(int sweep, const std::string& capture_mode,
                                      std::ofstream* capture) {
  const bool dc_capture = capture_mode == "dc_offset_cal";
  const bool frequency_sweep = run_sweep_type_ == "Frequency";

  converter_.AveragePointSamples(work_buffer_.data(), sweep, run_points_, run_dwell_,
                                 work_buffer_.size());
  display_.ClearTrace();
  converter_.BeginSweep();
  for (int i = 0; i < run_points_; ++i) {
    const ConvertedPoint p = converter_.ConvertPoint(i);
    if (capture != nullptr) {
      if (dc_capture) {
        *capture << DcOffsetCaptureLine(p.x, p.raw_i, p.raw_q) << "\r\n";
      } else {
        *capture << StandardCaptureLine(frequency_sweep, p.x, p.m, p.phi) << "\r\n";
      }
    }
    bool doubtful = false;
    const auto result = CorrectPoint(calibration_, run_sweep_type_, run_mode_, i, run_points_, p.x,
                                     p.m, p.phi, doubtful);
    if (doubtful && !cal_doubtful_) {
      cal_doubtful_ = true;
      if (set_cal_label) set_cal_label("C?");
    }
    if (result) display_.PlotTracePoint(i, p.x, *result);
  }
  if (on_sweep_done) on_sweep_done();
}

void SweepEngine::RunSweepLoop(const std::string& capture_mode) {
  if (run_active_) return;  // never a second run inside the first
  run_active_ = true;
  struct RunEnd {
    SweepEngine& engine;
    ~RunEnd() {
      engine.WaitForWorker();
      engine.run_active_ = false;
    }
  } run_end{*this};

  const uint32_t expected =
      static_cast<uint32_t>(std::max(programmer_.Estimates().ExpectedLength, 0));
  // A read never asks for more than the buffers hold.
  const uint32_t to_read = std::min(expected, kRxBufferSize);
  const int sweep_count = programmer_.Estimates().SweepCount;

  acquisition_start_count_ = platform_.PerformanceCounter();
  bool written = false;
  uint32_t n = 0;
  {
    std::lock_guard lock(link_.ConnectionMutex());
    written = link_.StartSweep();
    n = link_.ReadBlock(to_read);
  }
  if (!written) {
    platform_.ShowMessage("Device write time out while setting off sweep.");
    log_.WriteLog("Device write time out while setting off sweep.");
  }
  std::copy_n(link_.RxBuffer(), n, work_buffer_.begin());

  measured_acquisition_time_ = static_cast<int>(ElapsedMs(acquisition_start_count_));
  if (measured_acquisition_time_ * 1.05 > kReadTimeoutMs) {
    log_.WriteLog("USB READ TIMEOUT (600)needs adjusting for this acquisition duration (" +
                  std::to_string(measured_acquisition_time_) + "). It is too close!");
  }
  log_.WriteLog("Measured acquisition time is " + std::to_string(measured_acquisition_time_));
  if (n != expected) {
    log_.WriteLog("Unexpected bytes(at start) = Got " + std::to_string(n) + "; Expected " +
                  std::to_string(expected));
    sweep_stop_request_ = true;
  }

  converter_.BeginRun(capture_mode);
  run_sweep_type_ = converter_.Run().sweep_type;
  run_mode_ = converter_.Run().mode;
  run_points_ = converter_.Run().points;
  run_dwell_ = converter_.Run().dwell;
  // Points and dwell read from a state file must fit the per-point arrays:
  // such a run does no pass, with the dialog's own message.
  if (!sweep_stop_request_) {
    const char* refusal = run_points_ < 1     ? "Points can not be less than 1"
                          : run_points_ > 500 ? "Points can not be more than 500"
                          : run_dwell_ < 1    ? "Dwell can not be less than 1"
                                              : nullptr;
    if (refusal != nullptr) {
      platform_.ShowMessage(refusal);
      sweep_stop_request_ = true;
    }
  }
  cal_doubtful_ = false;
  if (set_cal_label) set_cal_label("C");

  std::ofstream capture;
  const bool capturing = capture_mode != "normal";
  if (capturing) {
    const std::filesystem::path path = cal_dir_ / CaptureFileName(capture_mode);
    capture.open(path, std::ios::binary | std::ios::trunc);
    if (!capture) throw IoError("Cannot create file \"" + path.string() + "\".");
  }

  while (!sweep_stop_request_) {
    acquisition_start_count_ = platform_.PerformanceCounter();
    acquisition_done_ = false;
    current_worker_ = std::make_unique<TMyThread>(*this, to_read);
    current_worker_->Resume();

    for (int k = 0; k < sweep_count; ++k) {
      const int64_t sweep_start = platform_.PerformanceCounter();
      ConvertAndPlotSweep(k, capture_mode, capturing && k == 0 ? &capture : nullptr);
      const int64_t busy = ElapsedMs(sweep_start);
      const int refresh = static_cast<int>(
          RoundHalfEven(static_cast<double>(measured_acquisition_time_) / sweep_count -
                        static_cast<double>(busy)));
      programmer_.SetRefreshRate(refresh);
      WaitMilliseconds(refresh);
      platform_.SetStatusText("Refresh rate: " + std::to_string(ElapsedMs(sweep_start)));
      platform_.ProcessMessages();
      if (capturing) {
        capture.flush();
        capture.close();
        break;
      }
      if (converter_.SaturationCount > 5) break;
    }
    if (capturing) sweep_stop_request_ = true;
    if (converter_.SaturationCount > 5) {
      sweep_stop_request_ = true;
      platform_.ShowMessage(
          "Error..Device is saturating due to excess power, please drop RF power");
    }
    WaitForWorker();
    if (link_.LastDriverStatus() != 0) {
      sweep_stop_request_ = true;
      platform_.ShowMessage("USB Communication error detected! Error String: " +
                                DeviceLink::DriverStatusText(link_.LastDriverStatus()),
                            MessageKind::Error);
      if (on_fatal_error) on_fatal_error();
      return;
    }
    const uint32_t received = bytes_received_;
    if (received == expected) {
      std::copy_n(link_.RxBuffer(), expected, work_buffer_.begin());
    } else {
      log_.WriteLog("Unexpected bytes(in loop) = Got " + std::to_string(received) + "; Expected " +
                    std::to_string(expected));
    }
  }
}

}  // namespace ostra
