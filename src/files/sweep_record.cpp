#include "files/sweep_record.h"

#include <cmath>

namespace ostra {

void SweepRecorder::ClearTrace() {
  Pending().count_ = 0;
  display_.ClearTrace();
}

void SweepRecorder::PlotTracePoint(int i, double x, const PointResult& result) {
  SweepRecord& pending = Pending();
  if (pending.count_ < pending.points_.size()) {
    RecordedPoint& point = pending.points_[pending.count_++];
    point.x = x;
    point.value = result.reflection
                      ? result.gamma
                      : std::polar(std::pow(10.0, result.gain_db / 20), result.phase_rad);
  }
  display_.PlotTracePoint(i, x, result);
}

void SweepRecorder::EndSweep(const RunParameters& run, const InstrumentSettings& settings) {
  SweepConditions& c = Pending().conditions_;
  c.sweep = run.sweep;
  c.measure = run.measure;
  c.sweep_type = run.sweep_type;
  c.mode = run.mode;
  c.points = run.points;
  c.dwell = run.dwell;
  c.power = settings.Text(run.sweep == SweepKind::Phase ? Setting::PowerPhase : Setting::PowerFreq);
  c.averaging = settings.Checked(Setting::AveEnable);
  c.average = settings.Text(Setting::Average);
  c.calibration_doubtful = calibration_doubtful_;
  current_ = 1 - current_;
  complete_ = true;
}

}  // namespace ostra
