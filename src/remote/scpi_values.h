// The parameters of the remote interface and the texts of its replies:
// numbers with their units, booleans, choices of mnemonics, strings; numbers
// written in full precision. A parameter of the wrong kind raises ScpiError.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <span>
#include <string>
#include <string_view>

namespace ostra {

// The unit a numeric parameter may carry.
enum class ScpiUnit { None, Hertz, Dbm, Degree, Second };

// A numeric parameter: a decimal number, its exponent optional, followed by
// an optional unit of its kind with a multiplier prefix (for hertz "HZ",
// "KHZ", "MHZ" (mega) and "GHZ"; a bare multiplier "K", "M" (milli), "MA"
// (mega), "G", "U", "N"); MIN and MAX stand for `min` and `max`. Raises -104
// (not a number), -131 (a unit of another kind) or -120 (a malformed number).
double ParseNumber(std::string_view param, ScpiUnit unit, double min, double max);

// ON, OFF, 1 or 0 (any number: not zero is on); -224 otherwise.
bool ParseBool(std::string_view param);

// The index in `choices` (patterns like "LINear": upper case the short form)
// that `param` names in its short or long form; -224 when none.
size_t ParseChoice(std::string_view param, std::initializer_list<std::string_view> choices);

// A quoted string ('...' or "...", a doubled quote standing for one); -104
// when the parameter is not one.
std::string ParseString(std::string_view param);

// A number as the replies write it: the shortest text that reads back as
// the same double ("2e+07", "0.5", "-12").
std::string FormatNumber(double value);
// Whole numbers ("201", "-3").
std::string FormatInteger(int64_t value);
// Numbers separated by commas.
std::string FormatNumberList(std::span<const double> values);

// An IEEE 488.2 definite-length block of the values as 64-bit or 32-bit
// floats: "#<digits><length><bytes>", big-endian unless `swapped`.
std::string FormatBlock(std::span<const double> values, bool real32, bool swapped);

}  // namespace ostra
