// A reflection bridge with realistic error terms measuring a series RLC
// network from 0.5 to 120 MHz: the measured open, short, load and device
// readings (volts) of each point, for cross-checks and benchmarks of the
// one-port correction.
#pragma once

#include <cmath>
#include <complex>
#include <vector>

namespace ostra::testing {

struct OnePortPoint {
  double f_hz = 0;
  std::complex<double> measured, open, short_, load;  // detector readings, volts
  std::complex<double> gamma_true;                    // the device's reflection
};

inline std::vector<OnePortPoint> MakeOnePortPoints(int count = 500) {
  using C = std::complex<double>;
  constexpr double kPi = 3.141592653589793;
  std::vector<OnePortPoint> points;
  points.reserve(static_cast<size_t>(count));
  for (int i = 0; i < count; ++i) {
    OnePortPoint p;
    // Whole hertz, so that the frequency survives the MHz axis unchanged.
    p.f_hz = 500000.0 + std::round(i * (120000000.0 - 500000.0) / (count - 1));
    const double w = 2 * kPi * p.f_hz;
    // Directivity, source match and tracking of the bridge and detector.
    const C e00 = std::polar(0.04 + 0.02 * p.f_hz / 120e6, 0.3 + w * 1.0e-9);
    const C e11 = std::polar(0.12 - 0.05 * p.f_hz / 120e6, -0.7 + w * 2.0e-9);
    const C e01 = std::polar(0.8 * (1.0 - 0.3 * p.f_hz / 120e6), -w * 4.0e-9);
    auto measure = [&](C gamma) { return e00 + e01 * gamma / (1.0 - e11 * gamma); };
    // Series R = 20 ohm, L = 1 uH, C = 10 pF into a 50 ohm system.
    const C z = C(20.0, w * 1e-6 - 1.0 / (w * 1e-11));
    p.gamma_true = (z - 50.0) / (z + 50.0);
    p.measured = measure(p.gamma_true);
    p.open = measure(1.0);
    p.short_ = measure(-1.0);
    p.load = measure(0.0);
    points.push_back(p);
  }
  return points;
}

}  // namespace ostra::testing
