// The per-point error correction: the one-port three-term correction of a
// reflection measurement with the OPEN, SHORT and LOAD tables, and the
// normalisation of transmission, phase-sweep and power-sweep measurements
// to their THRU tables, with the check that the tables belong to the sweep.
#pragma once

#include <array>
#include <complex>
#include <cstdint>
#include <optional>
#include <string>

#include "base/measurement.h"
#include "cal/cal_tables.h"
#include "cal/point_result.h"
#include "cal/reflection_terms.h"

namespace ostra {

// Carries the scan of the shared stimulus column from one point of a sweep to
// the next. The stimuli rise through a sweep, so each scan goes on from where
// the previous one stopped and a whole sweep reads the column once; a point
// below the previous one scans from entry 0 again. One cursor serves one
// sweep of one table set.
struct OslCursor {
  int count = -1;  // entries scanned (the point count)
  double f = 0.0;  // frequency of the last scan
  int next = 0;    // first entry whose test is still to do
  int r = 0;       // the entry found by the last scan
};

// OPEN magnitude, OPEN phase, SHORT magnitude, SHORT phase, LOAD magnitude,
// LOAD phase at `frequency_hz`, interpolated linearly between the two shared
// stimulus entries around it (scanning entries 0 .. points - 1). Below the
// first entry (or with one point) entry 0 is returned; beyond the last the
// last segment is extended. Magnitudes are interpolated as plain numbers,
// phases the short way round the circle (a step between neighbours of more
// than pi is taken as the step less a whole turn), so a standard near +-pi
// keeps its phase. Where two neighbouring entries have the same stimulus the
// nearer entry's values are taken, so the result stays finite. `cursor`
// (optional) carries the scan across the points of a sweep.
std::array<double, 6> InterpolateOslTables(const CalibrationStore& store, int points,
                                           int64_t frequency_hz, OslCursor* cursor = nullptr);

// The corrected reflection coefficient of measurement `m` given the measured
// open, short and load standards.
std::complex<double> CorrectReflection(std::complex<double> m, std::complex<double> open,
                                       std::complex<double> short_, std::complex<double> load);

// wrap(a): the angle in -pi .. pi.
double WrapPhase(double radians);

// Corrects point i of a sweep of `points` points with axis value x (MHz,
// degrees or dBm), magnitude m (volts) and phase phi (radians) after the DC
// offsets are removed. Sets `doubtful` when the tables do not belong to the
// sweep (the caller shows "C?" on cal_label); it never clears it. Returns no
// result for a frequency sweep whose mode is neither reflection nor
// transmission. A sweep type other than frequency or phase is a power
// sweep, whose check compares the point's dBm with the THRU POWER stimulus
// at the three decimals the capture file holds. `cursor` (optional, one per
// sweep) makes the reflection table lookups of a sweep cost one pass.
std::optional<PointResult> CorrectPoint(const CalibrationStore& store, SweepKind sweep,
                                        ModeKind mode, int i, int points, double x, double m,
                                        double phi, bool& doubtful, OslCursor* cursor = nullptr);
// The same for a measurement given as I + jQ (volts after the DC offsets are
// removed): a reflection is corrected from it directly, without going
// through magnitude and phase.
std::optional<PointResult> CorrectPoint(const CalibrationStore& store, SweepKind sweep,
                                        ModeKind mode, int i, int points, double x,
                                        std::complex<double> measured, bool& doubtful,
                                        OslCursor* cursor = nullptr);

}  // namespace ostra
