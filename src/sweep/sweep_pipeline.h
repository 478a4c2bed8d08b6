// The work of one displayed sweep: the readings converted
// (averaging, saturation count, axis value, DC-offset removal), the capture
// line written in a capture run, the point corrected with the calibration
// tables and handed to the trace. The acquisition loop runs it three times
// per acquisition; the pipeline benchmark runs exactly this.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "cal/cal_tables.h"
#include "sweep/sample_conversion.h"
#include "sweep/trace_sink.h"

namespace ostra {

class AtomicFile;

// A sweep's corrected points, kept between the correction and the plotting.
// The caller keeps it from sweep to sweep, so a sweep allocates nothing.
struct StagedPoint {
  int i = 0;
  double x = 0.0;
  PointResult result;
};
using SweepStage = std::vector<StagedPoint>;

// Sweep `sweep` of the acquisition in `acquisition` (`bytes` long), with the
// converter's current run. Returns true when the calibration tables did not
// belong to the sweep at some point (the caller shows "C?").
bool ProcessSweep(SampleConverter& converter, const CalibrationStore& store, TraceSink& trace,
                  const uint8_t* acquisition, size_t bytes, int sweep, SweepStage& stage,
                  AtomicFile* capture);

}  // namespace ostra
