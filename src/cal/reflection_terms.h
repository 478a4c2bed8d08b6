// The one-port three-term reflection correction, split into the error terms,
// which depend only on the measured OPEN, SHORT and LOAD values of a point,
// and their application to a measurement. The terms of each calibration
// table entry are made once, when the tables are loaded, and used for every
// sweep that falls on the entries.
#pragma once

#include <cmath>
#include <complex>

namespace ostra {

// magnitude x (cos phase + j sin phase), for any sign of the magnitude.
inline std::complex<double> FromPolar(double magnitude, double phase) {
  return {magnitude * std::cos(phase), magnitude * std::sin(phase)};
}

// Added (as a real number) to the denominators of the correction.
inline constexpr double kReflectionEpsilon = 0.000001;

struct ReflectionTerms {
  std::complex<double> load;  // the measured LOAD (the directivity)
  std::complex<double> e11;   // the source match
  std::complex<double> base;  // e01 - load x e11, e01 the reflection tracking
  // Two of the standards coincided and were moved apart ("C?").
  bool nudged = false;
};

// a = open - load; b = short - load; e11 = (a + b) / (a - b + eps);
// e01 = -2 a b / (a - b + eps).
ReflectionTerms ReflectionErrorTerms(std::complex<double> open, std::complex<double> short_,
                                     std::complex<double> load);

// The same after moving coinciding standards apart, in this order with exact
// equality of both parts: open = short adds 0.01 to the real part of open;
// open = load likewise; load = short adds 0.01 to the real part of load.
ReflectionTerms NudgedReflectionErrorTerms(std::complex<double> open, std::complex<double> short_,
                                           std::complex<double> load);

// Γ = (m - load) / (e01 - load e11 + e11 m + eps).
inline std::complex<double> ApplyReflectionTerms(const ReflectionTerms& terms,
                                                 std::complex<double> m) {
  const std::complex<double> epsilon(kReflectionEpsilon, 0.0);
  // The quotient written out: the library's complex division guards against
  // overflow that the detector's volts never come near, at several times the
  // cost.
  const std::complex<double> num = m - terms.load;
  const std::complex<double> den = terms.base + terms.e11 * m + epsilon;
  return num * std::conj(den) / std::norm(den);
}

}  // namespace ostra
