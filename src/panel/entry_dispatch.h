// What the keypad's entry applies to, as one table: for each sweep type and
// entry (the EntryFunction), how the typed text is converted, which field
// validator takes it, and whether the sweep is stopped and restarted around
// it. Also the unit factor and the conversions.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "base/measurement.h"
#include "panel/validators.h"

namespace ostra {

// The entries an action opens (the texts of EntryFunction).
inline constexpr std::string_view kEntryStart = "start stm";
inline constexpr std::string_view kEntryStop = "stop stm";
inline constexpr std::string_view kEntryCentre = "centre stm";
inline constexpr std::string_view kEntrySpan = "span stm";
inline constexpr std::string_view kEntrySourceFreq = "source freq";
inline constexpr std::string_view kEntrySourcePhase = "source phase";
inline constexpr std::string_view kEntrySourcePower = "source power";
inline constexpr std::string_view kEntryAverageFactor = "Average Factor";
inline constexpr std::string_view kEntryMarker = "Marker";
inline constexpr std::string_view kEntryRefLevel = "Ref Level";
inline constexpr std::string_view kEntryScale = "Scale";
inline constexpr std::string_view kEntryConstVswr = "const vswr";

enum class EntryConversion {
  Whole,       // the value times the unit factor, made whole
  Rounded,     // the value made whole, factor 1
  OneDecimal,  // the value with one digit after the point
  Marker,      // the text and the unit factor go to the selected marker
  Text,        // the text as typed (the constant-VSWR circle)
};

// After the validator: remember the field in the current format's slot.
enum class Remember { Nothing, RefLevel, Scale };

struct EntryRow {
  bool any_sweep;   // the row holds whatever the sweep type
  SweepKind sweep;  // otherwise for this sweep type only
  std::string_view entry;
  EntryConversion conversion;
  std::optional<FieldValidator> validator;
  bool stop_and_restart;
  Remember remember;
};

// The row for the sweep type and entry; nothing for the combinations that
// do nothing (the entry names the quantity the sweep itself varies, or an
// entry no action opens).
const EntryRow* FindEntryRow(SweepKind sweep, std::string_view entry);

// MHz 1 000 000 and kHz 1 000 in a frequency sweep or for the source
// frequency; 1 in every other case, and always 1 for Hz (and Enter).
int64_t UnitFactor(std::string_view unit, SweepKind sweep, std::string_view entry);

// The text the entry hands to the validator; nothing when the typed text is
// not a number. Only for Whole, Rounded and OneDecimal.
std::optional<std::string> ConvertEntry(EntryConversion conversion, std::string_view text,
                                        int64_t factor);

// "'" + text + "' is not a valid floating point value".
std::string NotAFloatMessage(std::string_view text);

}  // namespace ostra
