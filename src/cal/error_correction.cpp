#include "cal/error_correction.h"
#include "base/text_util.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>

namespace ostra {

namespace {

using Complex = std::complex<double>;

// magnitude x (cos phase + j sin phase), for any sign of the magnitude.
Complex FromPolar(double magnitude, double phase) {
  return {magnitude * std::cos(phase), magnitude * std::sin(phase)};
}

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

}  // namespace

double WrapPhase(double radians) { return std::atan2(std::sin(radians), std::cos(radians)); }

std::array<double, 6> InterpolateOslTables(const CalibrationStore& store, int points,
                                           int64_t frequency_hz) {
  const TableColumn& stimulus = *store.Open.stimulus;
  const TableColumn* columns[6] = {&store.Open.magnitude,  &store.Open.phase,
                                   &store.Short.magnitude, &store.Short.phase,
                                   &store.Load.magnitude,  &store.Load.phase};
  const int count = std::clamp(points, 0, kMaxTracePoints);
  const double f = static_cast<double>(frequency_hz);

  int r = 0;
  for (int e = 0; e < count; ++e) {
    const double before = e == 0 ? 0.0 : stimulus[static_cast<size_t>(e - 1)];
    if (!(f >= before)) break;
    r = e;
  }

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
    values[static_cast<size_t>(c)] = y0 + (y1 - y0) / (x1 - x0) * (f - x0);
  }
  return values;
}

Complex CorrectReflection(Complex m, Complex open, Complex short_, Complex load) {
  const Complex epsilon(kReflectionEpsilon, 0.0);
  const Complex a = open - load;
  const Complex b = short_ - load;
  const Complex e11 = (a + b) / (a - b + epsilon);
  const Complex e01 = -2.0 * a * b / (a - b + epsilon);
  return (m - load) / (e01 - load * e11 + e11 * m + epsilon);
}

std::optional<PointResult> CorrectPoint(const CalibrationStore& store, SweepKind sweep,
                                        ModeKind mode, int i, int points, double x, double m,
                                        double phi, bool& doubtful) {
  // Sweeps never have more points than the tables; a point beyond them is
  // corrected with the last entry and marked doubtful.
  if (i < 0 || i >= kMaxTracePoints) {
    doubtful = true;
    i = std::clamp(i, 0, kMaxTracePoints - 1);
  }
  const size_t e = static_cast<size_t>(i);
  PointResult result;

  if (sweep == SweepKind::Frequency) {
    const int64_t f_hz = RoundHalfEven(x * 1000000.0);
    if (mode == ModeKind::Reflection) {
      if (static_cast<double>(f_hz) != std::nearbyint(store.Open.Stimulus(i))) doubtful = true;
      const std::array<double, 6> v = InterpolateOslTables(store, points, f_hz);
      const Complex measured = FromPolar(m, phi);
      Complex open = FromPolar(v[0], v[1]);
      const Complex short_ = FromPolar(v[2], v[3]);
      Complex load = FromPolar(v[4], v[5]);
      if (open == short_) {
        open += 0.01;
        doubtful = true;
      }
      if (open == load) {
        open += 0.01;
        doubtful = true;
      }
      if (load == short_) {
        load += 0.01;
        doubtful = true;
      }
      result.reflection = true;
      result.gamma = CorrectReflection(measured, open, short_, load);
      return result;
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
  result.gain_db = Db(std::abs(m) + 0.000001);
  result.phase_rad = WrapPhase(phi - store.ThruPower.phase[e]);
  return result;
}

}  // namespace ostra
