// The corrected result of one sweep point, handed from the error correction
// to the per-point plotting.
#pragma once

#include <complex>

namespace ostra {

struct PointResult {
  // A frequency sweep in "Reflection" mode gives the corrected reflection
  // coefficient; every other measurement a gain in dB and a phase in radians.
  bool reflection = true;
  std::complex<double> gamma{0.0, 0.0};
  double gain_db = 0.0;
  double phase_rad = 0.0;
};

}  // namespace ostra
