#include "display/marker_search.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <limits>

#include "base/constants.h"
#include "base/measurement.h"
#include "display/marker_readout.h"
#include "display/trace_display.h"
#include "sweep/sweep_programming.h"

namespace ostra {

namespace {

// The trace arrays hold a reflection coefficient only in a frequency sweep
// in mode "Reflection"; every other sweep stores gain and phase.
bool HoldsReflection(const InstrumentSettings& settings, const MarkerAxis& axis) {
  return axis.sweep == SweepKind::Frequency && ParseMode(settings.Mode()) == ModeKind::Reflection;
}

int StoredPoints(const MarkerAxis& axis) { return std::clamp(axis.points, 0, kMaxTracePoints); }

}  // namespace

double FormattedPointValue(FormatKind format, double magnitude, double phase_rad) {
  switch (format) {
    case FormatKind::Log:
      return TraceDecibels(magnitude);
    case FormatKind::Phase:
      return phase_rad * kDegreesPerRadian;
    case FormatKind::VSWR:
      if (!(magnitude < 1)) return std::numeric_limits<double>::infinity();
      return (1 + magnitude) / (1 - magnitude + 1e-6);
    case FormatKind::Lin:
    case FormatKind::Smith:
    case FormatKind::Other:
      break;
  }
  return magnitude;
}

std::optional<std::size_t> ExtremePointIndex(std::span<const double> values, TraceExtreme which) {
  std::optional<std::size_t> best;
  for (std::size_t i = 0; i < values.size(); ++i) {
    if (std::isnan(values[i])) continue;
    const bool better = !best || (which == TraceExtreme::Maximum ? values[i] > values[*best]
                                                                 : values[i] < values[*best]);
    if (better) best = i;
  }
  return best;
}

std::vector<double> FormattedTrace(const InstrumentSettings& settings, const TraceDisplay& trace) {
  const MarkerAxis axis = ReadMarkerAxis(settings);
  const bool reflection = HoldsReflection(settings, axis);
  const FormatKind format = ParseFormat(settings.Format());
  const TraceArray& magnitude = reflection ? trace.ReflMag() : trace.TransMag();
  const TraceArray& phase = reflection ? trace.ReflPhase() : trace.TransPhase();
  std::vector<double> values(static_cast<std::size_t>(StoredPoints(axis)));
  for (std::size_t i = 0; i < values.size(); ++i) {
    values[i] = FormattedPointValue(format, magnitude[i], phase[i]);
  }
  return values;
}

int NearestTracePoint(const InstrumentSettings& settings, const TraceDisplay& trace, double x,
                      double y) {
  const MarkerAxis axis = ReadMarkerAxis(settings);
  const bool smith = ParseFormat(settings.Format()) == FormatKind::Smith;
  if (!smith || !HoldsReflection(settings, axis)) {
    // The chart's abscissa is in MHz in a frequency sweep, the marker's value
    // in hertz.
    const double value = axis.sweep == SweepKind::Frequency ? x * 1e6 : x;
    return MarkerPointIndex(axis, value);
  }
  const std::complex<double> click(x, y);
  int best = 0;
  double best_distance = std::numeric_limits<double>::infinity();
  for (int i = 0; i < StoredPoints(axis); ++i) {
    const auto k = static_cast<std::size_t>(i);
    const double distance = std::abs(std::polar(trace.ReflMag()[k], trace.ReflPhase()[k]) - click);
    if (distance < best_distance) {
      best_distance = distance;
      best = i;
    }
  }
  return best;
}

double MarkerValueAtPoint(const InstrumentSettings& settings, int index) {
  const MarkerAxis axis = ReadMarkerAxis(settings);
  const int last = std::max(0, StoredPoints(axis) - 1);
  index = std::clamp(index, 0, last);
  if (axis.sweep == SweepKind::Frequency || axis.sweep == SweepKind::Phase) {
    return axis.start + index * axis.step;
  }
  // A power sweep's points are equally spaced in power words, not in dBm.
  const double start_dbm = settings.Float(Setting::StartPower);
  const double stop_dbm = settings.Float(Setting::StopPower);
  if (index == 0) return start_dbm;
  if (index == last) return stop_dbm;
  const double word = std::clamp(axis.start + index * axis.step, 1.0, 65535.0);
  const double dbm = DbmFromPowerWord(static_cast<uint16_t>(word));
  return std::clamp(dbm, std::min(start_dbm, stop_dbm), std::max(start_dbm, stop_dbm));
}

}  // namespace ostra
