#include "sweep/sweep_pipeline.h"

#include "base/atomic_file.h"
#include "cal/error_correction.h"

namespace ostra {

bool ProcessSweep(SampleConverter& converter, const CalibrationStore& store, TraceSink& trace,
                  const uint8_t* acquisition, size_t bytes, int sweep, SweepStage& stage,
                  AtomicFile* capture) {
  const RunParameters& run = converter.Run();
  const bool dc_capture = run.capture_mode == "dc_offset_cal";
  const bool frequency_sweep = run.sweep == SweepKind::Frequency;
  // A reflection sweep is corrected from I and Q; magnitude and phase only
  // where a capture line or a thru normalisation needs them.
  const bool reflection = frequency_sweep && run.measure == ModeKind::Reflection;
  const bool polar = capture != nullptr || !reflection;

  converter.AveragePointSamples(acquisition, sweep, run.points, run.dwell, bytes);
  struct HeldRedraw {
    TraceSink& trace;
    explicit HeldRedraw(TraceSink& t) : trace(t) { trace.HoldRedraw(); }
    ~HeldRedraw() { trace.ReleaseRedraw(); }
    HeldRedraw(const HeldRedraw&) = delete;
    HeldRedraw& operator=(const HeldRedraw&) = delete;
  } held(trace);
  trace.ClearTrace();
  converter.BeginSweep();
  stage.clear();
  OslCursor cursor;  // the points' frequencies rise through the sweep
  bool doubtful = false;
  for (int i = 0; i < run.points; ++i) {
    const ConvertedPoint p = converter.ConvertPoint(i, polar);
    if (capture != nullptr) {
      capture->Write(dc_capture ? DcOffsetCaptureLine(p.x, p.raw_i, p.raw_q)
                                : StandardCaptureLine(frequency_sweep, p.x, p.m, p.phi));
      capture->Write("\r\n");
    }
    const auto result = polar ? CorrectPoint(store, run.sweep, run.measure, i, run.points, p.x, p.m,
                                             p.phi, doubtful, &cursor)
                              : CorrectPoint(store, run.sweep, run.measure, i, run.points, p.x,
                                             {p.in_phase, p.quadrature}, doubtful, &cursor);
    if (result) stage.push_back({i, p.x, *result});
  }
  // Corrected first, plotted after: each loop's points then overlap in the
  // processor instead of waiting on one another's divisions and logarithms.
  for (const StagedPoint& s : stage) trace.PlotTracePoint(s.i, s.x, s.result);
  return doubtful;
}

}  // namespace ostra
