#include "panel/entry_dispatch.h"

#include <array>

#include "base/text_util.h"

namespace ostra {

namespace {

using enum FieldValidator;
using C = EntryConversion;
constexpr SweepKind kFreq = SweepKind::Frequency;
constexpr SweepKind kPhase = SweepKind::Phase;
constexpr SweepKind kPower = SweepKind::Power;
constexpr SweepKind kAny = SweepKind::Other;  // with any_sweep set
constexpr Remember kNo = Remember::Nothing;

// The rows are tried in order; the first that matches applies.
constexpr std::array<EntryRow, 20> kRows = {{
    {false, kFreq, kEntryStart, C::Whole, ValidateStartFreq, true, kNo},
    {false, kFreq, kEntryStop, C::Whole, ValidateStopFreq, true, kNo},
    {false, kFreq, kEntryCentre, C::Whole, ValidateCentreFreq, true, kNo},
    {false, kFreq, kEntrySpan, C::Whole, ValidateSpanFreq, true, kNo},
    {false, kFreq, kEntrySourcePower, C::Whole, ValidatePowerFreq, true, kNo},
    {false, kPhase, kEntryStart, C::Whole, ValidateStartPhase, true, kNo},
    {false, kPhase, kEntryStop, C::Whole, ValidateStopPhase, true, kNo},
    {false, kPhase, kEntryCentre, C::Whole, ValidateCentrePhase, true, kNo},
    {false, kPhase, kEntrySpan, C::Whole, ValidateSpanPhase, true, kNo},
    {false, kPhase, kEntrySourceFreq, C::Whole, ValidateFreqPhase, true, kNo},
    {false, kPhase, kEntrySourcePower, C::Whole, ValidatePowerPhase, true, kNo},
    {false, kPower, kEntryStart, C::Whole, ValidateStartPower, true, kNo},
    {false, kPower, kEntryStop, C::Whole, ValidateStopPower, true, kNo},
    {false, kPower, kEntryCentre, C::Whole, ValidateCentrePower, true, kNo},
    {false, kPower, kEntrySpan, C::Whole, ValidateSpanPower, true, kNo},
    {false, kPower, kEntrySourceFreq, C::Whole, ValidateFreqPower, true, kNo},
    {false, kPower, kEntrySourcePhase, C::Whole, ValidatePhasePower, true, kNo},
    {true, kAny, kEntryAverageFactor, C::Rounded, ValidateAverage, false, kNo},
    {true, kAny, kEntryRefLevel, C::OneDecimal, ValidateRefLevel, false, Remember::RefLevel},
    {true, kAny, kEntryScale, C::OneDecimal, ValidateScale, false, Remember::Scale},
}};

// The two entries that hand the text on instead of a converted value.
constexpr EntryRow kMarkerRow{true, kAny, kEntryMarker, C::Marker, std::nullopt, false, kNo};
constexpr EntryRow kConstVswrRow{true, kAny, kEntryConstVswr, C::Text, std::nullopt, false, kNo};

}  // namespace

const EntryRow* FindEntryRow(SweepKind sweep, std::string_view entry) {
  if (entry == kMarkerRow.entry) return &kMarkerRow;
  if (entry == kConstVswrRow.entry) return &kConstVswrRow;
  for (const EntryRow& row : kRows) {
    if ((row.any_sweep || row.sweep == sweep) && row.entry == entry) return &row;
  }
  return nullptr;
}

int64_t UnitFactor(std::string_view unit, SweepKind sweep, std::string_view entry) {
  if (sweep != SweepKind::Frequency && entry != kEntrySourceFreq) return 1;
  if (unit == "MHz") return 1000000;
  if (unit == "kHz") return 1000;
  return 1;
}

std::optional<std::string> ConvertEntry(EntryConversion conversion, std::string_view text,
                                        int64_t factor) {
  switch (conversion) {
    case C::Whole:
    case C::Rounded: {
      int64_t whole = 0;
      if (!TryWholeNumber(text, conversion == C::Whole ? factor : 1, whole)) return std::nullopt;
      return std::to_string(whole);
    }
    case C::OneDecimal: {
      double value = 0;
      if (!TryStrToFloat(text, value)) return std::nullopt;
      return FormatFixed(value, 1);
    }
    case C::Marker:
    case C::Text:
      return std::string(text);
  }
  return std::nullopt;
}

std::string NotAFloatMessage(std::string_view text) {
  return "'" + CutForMessage(text) + "' is not a valid floating point value";
}

}  // namespace ostra
