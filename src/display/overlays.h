// The overlays on the chart's bottom and left axes: the memory trace (a
// frozen copy of the displayed trace) and the constant-VSWR circle with its
// label.
#pragma once

#include <string_view>

#include "display/chart_model.h"

namespace ostra {

// Data -> Mem: the memory trace becomes a copy of MagDataSeries, point by
// point in its order (during a sweep, the points measured so far).
void CopyTraceToMemory(ChartModel& chart);
// Clear Mem.
void ClearMemory(ChartModel& chart);

// The circle of constant VSWR `text` on the Smith chart: 200 points joined in
// order, and the label "VSWR = " + text on point 50. False, with the chart
// unchanged, when the text is not a number; a value of 0 or less draws
// nothing and keeps what is there.
bool DrawConstVswrCircle(ChartModel& chart, std::string_view text);

}  // namespace ostra
