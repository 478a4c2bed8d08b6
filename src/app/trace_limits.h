// The capacity of every per-point array: trace, calibration and DC-offset
// tables. The dialog keeps the point count at 500 or below.
#pragma once

namespace ostra {

inline constexpr int kMaxTracePoints = 501;

}  // namespace ostra
