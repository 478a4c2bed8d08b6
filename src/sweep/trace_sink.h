// Where the acquisition loop hands its results: the trace is emptied before
// the points of each sweep, then each corrected point is plotted.
#pragma once

#include "cal/point_result.h"

namespace ostra {

class TraceSink {
 public:
  virtual ~TraceSink() = default;
  // Before the points of each sweep.
  virtual void ClearTrace() = 0;
  // Point `i` of the running sweep with its abscissa x (MHz, degrees or dBm
  // by sweep type) and its corrected result.
  virtual void PlotTracePoint(int i, double x, const PointResult& result) = 0;
  // Around the points of a sweep: whoever redraws hears of them once.
  virtual void HoldRedraw() {}
  virtual void ReleaseRedraw() {}
};

}  // namespace ostra
