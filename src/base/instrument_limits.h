// The instrument's limits, in one table: the dialog's field validators, the
// keypad (through them), the start of a run and the remote commands all
// check a value against these.
#pragma once

#include <cstdint>

namespace ostra {

struct LimitRange {
  int64_t lower;
  int64_t upper;
  constexpr bool Holds(double value) const {
    return value >= static_cast<double>(lower) && value <= static_cast<double>(upper);
  }
};

struct InstrumentLimits {
  LimitRange frequency_hz{500000, 120000000};  // every frequency of every sweep type
  LimitRange phase_deg{0, 360};                // the source phase
  LimitRange power_dbm{-42, -12};              // the source power
  LimitRange points{1, 500};
  LimitRange dwell{1, 256};
  LimitRange average{1, 256};  // the averaging factor
};

inline constexpr InstrumentLimits kLimits{};

}  // namespace ostra
