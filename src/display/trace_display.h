// The trace formats and the chart layout: how each measured point becomes a
// plotted value in the five display formats, how the axes and the labels
// follow the sweep type, mode and format, and the Smith chart grid.
#pragma once

#include "base/constants.h"

#include <array>
#include <cmath>
#include <complex>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "base/instrument_settings.h"
#include "base/measurement.h"
#include "base/signal.h"
#include "cal/point_result.h"
#include "display/chart_model.h"
#include "sweep/trace_sink.h"

namespace ostra {

using TraceArray = std::array<double, kMaxTracePoints>;

struct FormatScale {
  double ref_level = 0;
  double scale = 0;
};

// Reference level and scale remembered per display format, in memory only.
class FormatScaling {
 public:
  FormatScaling() { Reset(); }
  // The start values: "Log" 30/5, "Lin" 2/0.2, "Smith" 1/0.1, "VSWR" 20/1,
  // "Phase" 180/18.
  void Reset();
  // The slot of a format text ("Log", "Lin", "Smith", "VSWR", "Phase",
  // compared exactly); nullptr for any other text.
  const FormatScale* Find(std::string_view format) const;
  FormatScale* Find(std::string_view format);
  // A format that matches none of the five stores nothing (returns false).
  bool SetRefLevel(std::string_view format, double value);
  bool SetScale(std::string_view format, double value);
  // 0 for a format that matches none.
  double RefLevel(std::string_view format) const;
  double Scale(std::string_view format) const;

 private:
  std::array<FormatScale, 5> slots_{};
};

// A magnitude in decibels as the trace, its markers and its search show it:
// 20 log10(magnitude + 1e-6), worked out through the natural logarithm,
// which costs a fraction of log10's time on every point of every sweep.
inline double TraceDecibels(double magnitude) {
  constexpr double kDecibelsPerNeper = 8.6858896380650365530225783783321;  // 20 / ln 10
  return kDecibelsPerNeper * std::log(magnitude + 1e-6);
}

class TraceDisplay : public TraceSink {
 public:
  TraceDisplay(ChartModel& chart, InstrumentSettings& settings);
  TraceDisplay(const TraceDisplay&) = delete;
  TraceDisplay& operator=(const TraceDisplay&) = delete;

  // Recomputes the axes and the label texts from the settings and ends by
  // resetting the marker table. Raises ConversionError for an entry that is
  // not a number; the chart is then left exactly as it was.
  void UpdateDisplayLayout();
  // Emitted at the end of every layout refresh (the marker table resets).
  Signal<> on_reset_marker_table;

  // Plots point `i` of the running sweep: x is the point's abscissa (MHz,
  // degrees or dBm by sweep type). Writes the trace arrays, adds the phase
  // point and then, by format, the magnitude point.
  void PlotTracePoint(int i, double x, const PointResult& result) override;
  // Before the points of each sweep: empties the trace, which turns red again.
  void ClearTrace() override;
  // A sweep's points reach the chart's watchers as one change.
  void HoldRedraw() override { chart_.HoldChanges(); }
  void ReleaseRedraw() override { chart_.ReleaseChanges(); }

  // The Smith chart grid: dots of the constant-resistance circles and
  // constant-reactance arcs, the real axis and the unit circle, with their
  // value labels; ranges both axes to -1.1 .. 1.1 and hides all three.
  void BuildSmithGrid();
  // Fills the work arrays with the points of the reactance-x circle that lie
  // on or inside the unit circle, in order; returns how many it kept.
  int ReactanceArc(double x, int n);
  // Fills the work arrays with n points of the resistance-r circle.
  void ResistanceCircle(double r, int n);
  static constexpr int kWorkPoints = 600;
  const std::array<double, kWorkPoints>& WorkX() const { return work_x_; }
  const std::array<double, kWorkPoints>& WorkY() const { return work_y_; }

  // --- Chart side of the format actions ---------------------------------
  // Empties the Smith grid, its labels, the constant-VSWR circle and its label.
  void ClearSmithOverlays();
  // "Add Phase": unless the format is "Smith" or "Phase", shows the right
  // axis and the phase overlay.
  void ShowPhaseOverlay();
  // Start-up: the trace, the phase overlay and the circle keep their points
  // in the order they arrive.
  void UseInsertionOrder();
  void ResetFormatScaling() { scaling_.Reset(); }
  // Start-up: writes the current format's reference level and scale into
  // the settings' entries, in the shortest decimal form ("30", "0.2").
  void ApplyFormatScalingToSettings();
  FormatScaling& Scaling() { return scaling_; }
  const FormatScaling& Scaling() const { return scaling_; }

  // --- Trace arrays of the latest sweep ---------------------------------
  const TraceArray& TraceX() const { return trace_x_; }
  const TraceArray& ReflMag() const { return refl_mag_; }
  // The phase of each point is worked out when it is first read.
  const TraceArray& ReflPhase() const;
  double ReflPhaseAt(size_t k) const;
  const TraceArray& TransMag() const { return trans_mag_; }
  const TraceArray& TransPhase() const { return trans_phase_; }

  ChartModel& Chart() { return chart_; }

 private:
  struct StimulusLayout {
    double min = 0;
    double max = 0;
    std::string source;  // the text of source_lbl
  };
  void DecodeSettings();
  void PlotReflection(int i, double x, std::complex<double> g);
  void PlotTransmission(int i, double x, double gain_db, double phase_rad);
  // The steps of the layout refresh.
  StimulusLayout StimulusAxisAndLabel() const;
  struct StepSweepSettings {
    Setting start, stop, centre, span, fixed, frequency;
  };
  StimulusLayout StepSweepLayout(const StepSweepSettings& s, std::string_view unit,
                                 std::string_view fixed_name, std::string_view fixed_unit) const;
  std::string WholeMhz(Setting hz_setting) const;
  void PullAxesDown();
  void WriteFormatLabel();
  void RangeLeftAxis();
  void ResetRightAxis();
  void WriteModeLabel();

  ChartModel& chart_;
  InstrumentSettings& settings_;
  FormatScaling scaling_;

  TraceArray trace_x_{};
  TraceArray refl_mag_{};
  mutable TraceArray refl_phase_{};
  std::array<std::complex<double>, kMaxTracePoints> refl_gamma_{};
  mutable std::vector<bool> refl_phase_stale_ = std::vector<bool>(kMaxTracePoints);
  mutable bool any_refl_phase_stale_ = false;
  TraceArray trans_mag_{};
  TraceArray trans_phase_{};

  std::array<double, kWorkPoints> work_x_{};
  std::array<double, kWorkPoints> work_y_{};

  // The settings texts decoded once per settings change, not once per point.
  uint64_t decoded_revision_ = UINT64_MAX;
  SweepKind sweep_ = SweepKind::Frequency;
  ModeKind mode_ = ModeKind::Reflection;
  FormatKind format_ = FormatKind::Log;
};

}  // namespace ostra
