// The instrument's limits, in one table, and the one check of a value
// against them: the dialog's field validators, the keypad (through them), the
// start of a run and the remote commands all refuse a value through
// LimitRefusal.
#pragma once

#include <cstdint>
#include <string>

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

enum class Compare { None, Less, LessOrEqual, Greater };

// Whether `value` compares so with `bound` (never with Compare::None).
constexpr bool Fails(Compare compare, double value, double bound) {
  switch (compare) {
    case Compare::None:
      return false;
    case Compare::Less:
      return value < bound;
    case Compare::LessOrEqual:
      return value <= bound;
    case Compare::Greater:
      return value > bound;
  }
  return false;
}

// One bound of a field: a value fails it when it compares so with `bound`;
// the message is `text` followed by the bound as a decimal integer and `unit`.
struct LimitCheck {
  Compare compare = Compare::None;
  int64_t bound = 0;
  const char* text = "";
  const char* unit = "";
};

// A field's two bounds, checked lower first.
struct FieldLimits {
  LimitCheck lower;
  LimitCheck upper;
};

// The message of the first bound `value` fails, as the dialog shows it;
// empty when the value is within both.
std::string LimitRefusal(const FieldLimits& limits, double value);

// The counts of a sweep, with the dialog's messages.
inline constexpr FieldLimits kPointsLimits{
    {Compare::Less, kLimits.points.lower, "Points can not be less than "},
    {Compare::Greater, kLimits.points.upper, "Points can not be more than "}};
inline constexpr FieldLimits kDwellLimits{
    {Compare::Less, kLimits.dwell.lower, "Dwell can not be less than "},
    {Compare::Greater, kLimits.dwell.upper, "Dwell can not be more than "}};
inline constexpr FieldLimits kAverageLimits{
    {Compare::Less, kLimits.average.lower, "Ave can not be less than "},
    {Compare::Greater, kLimits.average.upper, "Ave can not be more than "}};

}  // namespace ostra
