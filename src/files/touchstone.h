// Touchstone files (version 1.1) of the last complete sweep, the format that
// RF tools and circuit simulators read: a reflection sweep as a one-port
// file (S11), a transmission sweep as a two-port file whose S21 was measured
// and whose three other parameters are written as 0. Frequencies in hertz,
// real and imaginary parts, 50 ohm reference; every number with the digits
// that read back as the same double, and a point as decimal separator
// whatever the locale.
#pragma once

#include <ctime>
#include <filesystem>
#include <optional>
#include <string>

#include "files/sweep_record.h"

namespace ostra {

// What the comments say besides the sweep itself.
struct TouchstoneHeader {
  std::string program;  // "Marlune Ostra 7 1.2"
  std::tm saved{};      // local time of saving
};

// 1 for a frequency sweep in "Reflection" mode, 2 in "Transmission" mode;
// 0 for anything that is not a frequency response (a phase or power sweep,
// or a mode that is neither).
int TouchstonePorts(const SweepConditions& conditions);
// "s1p" or "s2p".
std::string TouchstoneExtension(int ports);
// `file` with the extension its port count needs when it has the other
// Touchstone extension (a one-port typed as "x.s2p"); any other name is kept.
std::filesystem::path WithTouchstoneExtension(const std::filesystem::path& file, int ports);

// Why `record` (the last complete sweep, null before the first) can not be
// written as a Touchstone file, or nullopt when it can: there is none, it is
// not a frequency response, or its frequencies do not all differ (a zero
// span), which no Touchstone reader accepts.
std::optional<std::string> TouchstoneRefusal(const SweepRecord* record);

// The shortest decimal text that reads back as exactly `value`.
std::string ExactNumber(double value);

// The whole file, CR LF line ends, the points in increasing frequency (a
// falling sweep is written from its last point). The record must be
// writable (no TouchstoneRefusal).
std::string TouchstoneText(const SweepRecord& record, const TouchstoneHeader& header);
// Writes it through a temporary file and a rename; raises IoError.
void WriteTouchstone(const std::filesystem::path& file, const SweepRecord& record,
                     const TouchstoneHeader& header);

}  // namespace ostra
