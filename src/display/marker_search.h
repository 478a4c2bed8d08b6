// The searches that place a marker by the trace rather than by a typed
// stimulus: onto the largest or smallest value of the trace as the chart
// shows it, and onto the point nearest a click on the chart.
#pragma once

#include <cstddef>
#include <optional>
#include <span>
#include <vector>

#include "base/instrument_settings.h"
#include "base/measurement.h"

namespace ostra {

class TraceDisplay;

enum class TraceExtreme { Maximum, Minimum };

// The index of the largest (or smallest) value; the first of equal ones.
// Values that are not numbers are passed over; nothing when none is left.
std::optional<std::size_t> ExtremePointIndex(std::span<const double> values, TraceExtreme which);

// One point as `format` shows it (see FormattedTrace).
double FormattedPointValue(FormatKind format, double magnitude, double phase_rad);

// The latest sweep's points as the current format shows them: dB in Log,
// the linear magnitude in Lin, degrees in Phase, the VSWR (infinite at a
// reflection of 1 or more), and |G| in the Smith chart. Raises
// ConversionError for a setting that is not a number.
std::vector<double> FormattedTrace(const InstrumentSettings& settings, const TraceDisplay& trace);

// The point of the latest sweep nearest a click at (x, y) in the chart's
// values: in the Smith chart the nearest in the plane, elsewhere the point
// whose stimulus is nearest x. Raises ConversionError.
int NearestTracePoint(const InstrumentSettings& settings, const TraceDisplay& trace, double x,
                      double y);

// The marker value (hertz, degrees or dBm) that reads point `index`.
// Raises ConversionError.
double MarkerValueAtPoint(const InstrumentSettings& settings, int index);

}  // namespace ostra
