#include "cal/error_correction.h"
#include "base/text_util.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>

#include "base/constants.h"

namespace ostra {

namespace {

using Complex = std::complex<double>;

constexpr double kPi = 3.141592653589793;

double Db(double v) { return 20.0 * std::log10(v); }

// True when both values print the same with three decimals ("%3.3f"), the
// form in which the capture run writes a power sweep's stimulus.
bool SameAtThreeDecimals(double a, double b) {
  char text_a[400];
  char text_b[400];
  const auto ra = std::to_chars(text_a, text_a + sizeof text_a, a, std::chars_format::fixed, 3);
  const auto rb = std::to_chars(text_b, text_b + sizeof text_b, b, std::chars_format::fixed, 3);
  if (ra.ec != std::errc() || rb.ec != std::errc()) return a == b;
  const size_t la = static_cast<size_t>(ra.ptr - text_a);
  const size_t lb = static_cast<size_t>(rb.ptr - text_b);
  return la == lb && std::memcmp(text_a, text_b, la) == 0;
}

// The gain of a transmission-type point against a reference magnitude.
double GainDb(double m, double reference) {
  return Db(std::abs(m) + 0.000001) - Db(std::abs(reference + 0.0000001));
}

// A phase step between neighbouring entries, taken the short way round the
// circle: within -pi .. pi (exactly, a whole number of turns less).
double ShortWay(double step) {
  if (step > kPi || step < -kPi) return std::remainder(step, kTwoPi);
  return step;
}

// The scan of the shared stimulus column: r = e for e = 0, 1, ... as long as
// f >= the stimulus of entry e - 1 (0 before entry 0). It goes on from where
// the cursor's previous scan stopped when f has not fallen since, which gives
// the same r, since every test passed for a lower f passes for f.
int ScanOslEntries(const TableColumn& stimulus, int count, double f, OslCursor& cursor) {
  if (cursor.count != count || !(f >= cursor.f)) {
    cursor = OslCursor{count, f, 0, 0};
  } else {
    cursor.f = f;
  }
  int r = cursor.r;
  int e = cursor.next;
  for (; e < count; ++e) {
    const double before = e == 0 ? 0.0 : stimulus[static_cast<size_t>(e - 1)];
    if (!(f >= before)) break;
    r = e;
  }
  cursor.next = e;
  cursor.r = r;
  return r;
}

// The six columns at f, with r found by the scan.
std::array<double, 6> InterpolateAt(const CalibrationStore& store, int r, double f) {
  const TableColumn& stimulus = *store.Open.stimulus;
  const TableColumn* columns[6] = {&store.Open.magnitude,  &store.Open.phase,
                                   &store.Short.magnitude, &store.Short.phase,
                                   &store.Load.magnitude,  &store.Load.phase};
  std::array<double, 6> values{};
  if (r == 0) {
    for (int c = 0; c < 6; ++c) values[static_cast<size_t>(c)] = (*columns[c])[0];
    return values;
  }
  const size_t i0 = static_cast<size_t>(r - 1);
  const size_t i1 = static_cast<size_t>(r);
  const double x0 = stimulus[i0];
  const double x1 = stimulus[i1];
  if (x1 == x0) {
    // No segment to interpolate on: the nearer entry. With equal stimuli the
    // frequency lies at or past both, so that is entry r.
    const size_t nearer = std::abs(f - x0) < std::abs(f - x1) ? i0 : i1;
    for (int c = 0; c < 6; ++c) values[static_cast<size_t>(c)] = (*columns[c])[nearer];
    return values;
  }
  for (int c = 0; c < 6; ++c) {
    const double y0 = (*columns[c])[i0];
    const double y1 = (*columns[c])[i1];
    const double step = c % 2 == 1 ? ShortWay(y1 - y0) : y1 - y0;
    values[static_cast<size_t>(c)] = y0 + step / (x1 - x0) * (f - x0);
  }
  return values;
}

// The reflection error terms at f. A point that falls on a table entry (a
// sweep like the one the tables were captured with) takes the terms made
// when the tables were loaded: interpolation there returns the entry's
// values unchanged, so the result is the same.
ReflectionTerms ReflectionTermsAt(const CalibrationStore& store, int points, double f,
                                  OslCursor& cursor) {
  const TableColumn& stimulus = *store.Open.stimulus;
  const int count = std::clamp(points, 0, kMaxTracePoints);
  const int r = ScanOslEntries(stimulus, count, f, cursor);
  int entry = -1;
  if (r == 0) {
    entry = 0;
  } else {
    const double x0 = stimulus[static_cast<size_t>(r - 1)];
    const double x1 = stimulus[static_cast<size_t>(r)];
    if (x1 == x0) {
      entry = r;
    } else if (f == x0) {
      entry = r - 1;
    }
  }
  if (entry >= 0) {
    if (const ReflectionTerms* prepared = store.PreparedReflectionTerms(entry)) return *prepared;
  }
  const std::array<double, 6> v = InterpolateAt(store, r, f);
  return NudgedReflectionErrorTerms(FromPolar(v[0], v[1]), FromPolar(v[2], v[3]),
                                    FromPolar(v[4], v[5]));
}

}  // namespace

double WrapPhase(double radians) { return std::atan2(std::sin(radians), std::cos(radians)); }

std::array<double, 6> InterpolateOslTables(const CalibrationStore& store, int points,
                                           int64_t frequency_hz, OslCursor* cursor) {
  OslCursor local;
  const double f = static_cast<double>(frequency_hz);
  const int count = std::clamp(points, 0, kMaxTracePoints);
  const int r = ScanOslEntries(*store.Open.stimulus, count, f, cursor ? *cursor : local);
  return InterpolateAt(store, r, f);
}

Complex CorrectReflection(Complex m, Complex open, Complex short_, Complex load) {
  return ApplyReflectionTerms(ReflectionErrorTerms(open, short_, load), m);
}

namespace {

// The reflection branch: the check of the shared stimulus, the error terms at
// the point's frequency, the correction of the measurement.
PointResult CorrectReflectionPoint(const CalibrationStore& store, int i, int points, int64_t f_hz,
                                   std::complex<double> measured, bool& doubtful,
                                   OslCursor* cursor) {
  if (static_cast<double>(f_hz) != std::nearbyint(store.Open.Stimulus(i))) doubtful = true;
  OslCursor local;
  const ReflectionTerms terms = ReflectionTermsAt(store, points, static_cast<double>(f_hz),
                                                  cursor != nullptr ? *cursor : local);
  if (terms.nudged) doubtful = true;
  PointResult result;
  result.reflection = true;
  result.gamma = ApplyReflectionTerms(terms, measured);
  return result;
}

// A point beyond the tables is corrected with the last entry and doubtful.
int TableEntry(int i, bool& doubtful) {
  if (i >= 0 && i < kMaxTracePoints) return i;
  doubtful = true;
  return std::clamp(i, 0, kMaxTracePoints - 1);
}

}  // namespace

std::optional<PointResult> CorrectPoint(const CalibrationStore& store, SweepKind sweep,
                                        ModeKind mode, int i, int points, double x, double m,
                                        double phi, bool& doubtful, OslCursor* cursor) {
  // Sweeps never have more points than the tables.
  i = TableEntry(i, doubtful);
  const size_t e = static_cast<size_t>(i);
  PointResult result;

  if (sweep == SweepKind::Frequency) {
    const int64_t f_hz = RoundHalfEven(x * 1000000.0);
    if (mode == ModeKind::Reflection) {
      return CorrectReflectionPoint(store, i, points, f_hz, FromPolar(m, phi), doubtful, cursor);
    }
    if (mode == ModeKind::Transmission) {
      if (static_cast<double>(f_hz) != std::nearbyint(store.Thru.Stimulus(i))) doubtful = true;
      result.reflection = false;
      result.gain_db = GainDb(m, store.Thru.magnitude[e]);
      result.phase_rad = WrapPhase(phi - store.Thru.phase[e]);
      return result;
    }
    return std::nullopt;
  }

  result.reflection = false;
  if (sweep == SweepKind::Phase) {
    if (x != store.ThruPhase.Stimulus(i)) doubtful = true;
    result.gain_db = GainDb(m, store.ThruPhase.magnitude[e]);
    result.phase_rad = WrapPhase(phi);
    return result;
  }

  // Power sweep: the stimulus column holds the dBm values as the capture file
  // wrote them, with three decimals.
  if (!SameAtThreeDecimals(x, store.ThruPower.Stimulus(i))) doubtful = true;
  // The gain is relative to the THRU's magnitude at the same source power, as
  // in every other transmission-type sweep: the reading grows with the source
  // power, the device's gain does not.
  result.gain_db = GainDb(m, store.ThruPower.magnitude[e]);
  result.phase_rad = WrapPhase(phi - store.ThruPower.phase[e]);
  return result;
}

std::optional<PointResult> CorrectPoint(const CalibrationStore& store, SweepKind sweep,
                                        ModeKind mode, int i, int points, double x,
                                        std::complex<double> measured, bool& doubtful,
                                        OslCursor* cursor) {
  if (sweep == SweepKind::Frequency && mode == ModeKind::Reflection) {
    i = TableEntry(i, doubtful);
    return CorrectReflectionPoint(store, i, points, RoundHalfEven(x * 1000000.0), measured,
                                  doubtful, cursor);
  }
  return CorrectPoint(store, sweep, mode, i, points, x, std::abs(measured), std::arg(measured),
                      doubtful, cursor);
}

}  // namespace ostra
