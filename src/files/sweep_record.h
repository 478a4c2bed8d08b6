// The corrected complex result of the last complete sweep. The chart holds
// the plotted values of the current display format; the Touchstone export
// needs the reflection coefficient or the transmission itself, point by
// point, of a sweep that was shown from its first point to its last.
#pragma once

#include <array>
#include <complex>
#include <span>
#include <string>

#include "base/constants.h"
#include "base/instrument_settings.h"
#include "base/measurement.h"
#include "sweep/sample_conversion.h"
#include "sweep/trace_sink.h"

namespace ostra {

struct RecordedPoint {
  double x = 0.0;  // MHz, degrees or dBm, as plotted
  // The reflection coefficient (a frequency sweep in "Reflection" mode) or
  // the transmission: linear gain and phase of every other measurement.
  std::complex<double> value{0.0, 0.0};
};

// What the sweep measured: the run's sweep type and mode, and the settings
// the file's comments describe, as they were when the sweep ended.
struct SweepConditions {
  SweepKind sweep = SweepKind::Frequency;
  ModeKind measure = ModeKind::Reflection;
  std::string sweep_type;  // the setting texts
  std::string mode;
  int points = 0;
  int dwell = 0;
  std::string power;  // dBm, the source power of a frequency or phase sweep
  bool averaging = false;
  std::string average;  // the averaging factor
  bool calibration_doubtful = false;
};

class SweepRecord {
 public:
  const SweepConditions& Conditions() const { return conditions_; }
  std::span<const RecordedPoint> Points() const {
    return std::span<const RecordedPoint>(points_.data(), count_);
  }

 private:
  friend class SweepRecorder;
  SweepConditions conditions_;
  std::array<RecordedPoint, kMaxTracePoints> points_{};
  size_t count_ = 0;
};

// Sits between the acquisition loop and the trace display: passes every
// sweep on to the display and keeps its points. The loop tells it when a
// sweep has ended (EndSweep); that sweep becomes the last complete one. A
// sweep that ends early (a conversion error) never replaces it. Recording
// allocates nothing once the setting texts have been seen.
class SweepRecorder : public TraceSink {
 public:
  explicit SweepRecorder(TraceSink& display) : display_(display) {}
  SweepRecorder(const SweepRecorder&) = delete;
  SweepRecorder& operator=(const SweepRecorder&) = delete;

  void ClearTrace() override;
  void PlotTracePoint(int i, double x, const PointResult& result) override;
  void HoldRedraw() override { display_.HoldRedraw(); }
  void ReleaseRedraw() override { display_.ReleaseRedraw(); }

  // After the last point of a sweep, with the run it belongs to.
  void EndSweep(const RunParameters& run, const InstrumentSettings& settings);
  // The calibration tables did not belong to the sweep ("C?").
  void SetCalibrationDoubtful(bool doubtful) { calibration_doubtful_ = doubtful; }

  // The last complete sweep; nothing before the first one has ended.
  const SweepRecord* LastComplete() const { return complete_ ? &records_[current_] : nullptr; }

 private:
  SweepRecord& Pending() { return records_[1 - current_]; }

  TraceSink& display_;
  std::array<SweepRecord, 2> records_;
  size_t current_ = 0;  // the last complete one, when there is one
  bool complete_ = false;
  bool calibration_doubtful_ = false;
};

}  // namespace ostra
