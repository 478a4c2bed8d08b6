#include "panel/validators.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "base/instrument_limits.h"
#include "base/text_util.h"

namespace ostra {

namespace {

using enum FieldValidator;
using S = Setting;

constexpr int64_t kHzLow = kLimits.frequency_hz.lower;
constexpr int64_t kHzHigh = kLimits.frequency_hz.upper;
constexpr int64_t kDegLow = kLimits.phase_deg.lower;
constexpr int64_t kDegHigh = kLimits.phase_deg.upper;
constexpr int64_t kDbmLow = kLimits.power_dbm.lower;
constexpr int64_t kDbmHigh = kLimits.power_dbm.upper;

constexpr StimulusFields kFrequency{S::StartFreq, S::StopFreq, S::CentreFreq,
                                    S::SpanFreq,  kHzLow,      kHzHigh};
constexpr StimulusFields kPhase{S::StartPhase, S::StopPhase, S::CentrePhase,
                                S::SpanPhase,  kDegLow,      kDegHigh};
constexpr StimulusFields kPower{S::StartPower, S::StopPower, S::CentrePower,
                                S::SpanPower,  kDbmLow,      kDbmHigh};

constexpr LimitCheck kNone{};
constexpr CrossCheck kNoCross{};

constexpr LimitCheck Below(int64_t bound, const char* text, const char* unit = "") {
  return {Compare::Less, bound, text, unit};
}
constexpr LimitCheck AtOrBelow(int64_t bound, const char* text, const char* unit = "") {
  return {Compare::LessOrEqual, bound, text, unit};
}
constexpr LimitCheck Above(int64_t bound, const char* text, const char* unit = "") {
  return {Compare::Greater, bound, text, unit};
}

constexpr NumberKind kWhole = NumberKind::Whole;
constexpr NumberKind kDecimal = NumberKind::Decimal;
constexpr Dependents kAlways = Dependents::CentreSpanAlways;
constexpr Dependents kAccepted = Dependents::StartStopAccepted;
constexpr Dependents kNoDependents = Dependents::None;

// In the order of FieldValidator.
constexpr std::array<ValidatorInfo, kValidatorCount> kValidators = {{
    {ValidateStartFreq,
     "ValidateStartFreq",
     S::StartFreq,
     kWhole,
     Below(kHzLow, "Start Frequency can not be less than ", " Hz"),
     Above(kHzHigh, "Start Frequency can not be more than ", " Hz"),
     {Compare::Greater, S::StopFreq, "Start Frequency can not be more than stop frequency"},
     kAlways,
     &kFrequency},
    {ValidateStopFreq,
     "ValidateStopFreq",
     S::StopFreq,
     kWhole,
     Below(kHzLow, "Stop Frequency can not be less than ", " Hz"),
     Above(kHzHigh, "Stop Frequency can not be more than ", " Hz"),
     {Compare::Less, S::StartFreq, "Stop Frequency can not be less than start frequency"},
     kAlways,
     &kFrequency},
    {ValidateCentreFreq, "ValidateCentreFreq", S::CentreFreq, kWhole,
     AtOrBelow(kHzLow, "Frequency can not be less than "),
     Above(kHzHigh, "Frequency can not be more than "), kNoCross, kAccepted, &kFrequency},
    {ValidateSpanFreq, "ValidateSpanFreq", S::SpanFreq, kWhole, kNone, kNone, kNoCross, kAccepted,
     &kFrequency},
    {ValidatePowerFreq, "ValidatePowerFreq", S::PowerFreq, kDecimal,
     Below(kDbmLow, "Power can not be less than ", " dBm"),
     Above(kDbmHigh, "Power can not be more than ", " dBm"), kNoCross, kNoDependents, nullptr},
    {ValidateStartPhase,
     "ValidateStartPhase",
     S::StartPhase,
     kWhole,
     Below(kDegLow, "Start Phase can not be less than ", " deg"),
     Above(kDegHigh, "Start Phase can not be more than ", " deg"),
     {Compare::Greater, S::StopPhase, "Stop phase can not be less than start phase"},
     kAlways,
     &kPhase},
    {ValidateStopPhase,
     "ValidateStopPhase",
     S::StopPhase,
     kWhole,
     Below(kDegLow, "Stop Phase can not be less than ", " deg"),
     Above(kDegHigh, "Stop Phase can not be more than ", " deg"),
     {Compare::Less, S::StartPhase, "Stop phase can not be less than start phase"},
     kAlways,
     &kPhase},
    {ValidateCentrePhase, "ValidateCentrePhase", S::CentrePhase, kWhole,
     AtOrBelow(kDegLow, "Phase can not be less than "),
     Above(kDegHigh, "Phase can not be more than "), kNoCross, kAccepted, &kPhase},
    {ValidateSpanPhase, "ValidateSpanPhase", S::SpanPhase, kWhole, kNone, kNone, kNoCross,
     kAccepted, &kPhase},
    {ValidatePowerPhase, "ValidatePowerPhase", S::PowerPhase, kDecimal,
     Below(kDbmLow, "Power can not be less than ", " dBm"),
     Above(kDbmHigh, "Power can not be more than ", " dBm"), kNoCross, kNoDependents, nullptr},
    {ValidateFreqPhase, "ValidateFreqPhase", S::FreqPhase, kWhole,
     Below(kHzLow, "Frequency can not be less than ", " Hz"),
     Above(kHzHigh, "frequency can not be more than ", " Hz"), kNoCross, kNoDependents, nullptr},
    {ValidateStartPower,
     "ValidateStartPower",
     S::StartPower,
     kWhole,
     Below(kDbmLow, "Start Power can not be less than ", " dBm"),
     Above(kDbmHigh, "Start Power can not be more than ", " dBm"),
     {Compare::Greater, S::StopPower, "Stop power can not be less than start power"},
     kAlways,
     &kPower},
    {ValidateStopPower,
     "ValidateStopPower",
     S::StopPower,
     kWhole,
     Below(kDbmLow, "Stop Power can not be less than ", " dBm"),
     Above(kDbmHigh, "Stop Power can not be more than ", " dBm"),
     {Compare::Less, S::StartPower, "Stop power can not be less than start power"},
     kAlways,
     &kPower},
    {ValidateCentrePower, "ValidateCentrePower", S::CentrePower, kWhole,
     AtOrBelow(kDbmLow, "Power can not be less than "),
     Above(kDbmHigh, "Power can not be more than "), kNoCross, kAccepted, &kPower},
    {ValidateSpanPower, "ValidateSpanPower", S::SpanPower, kWhole, kNone, kNone, kNoCross,
     kAccepted, &kPower},
    {ValidatePhasePower, "ValidatePhasePower", S::PhasePower, kWhole,
     Below(kDegLow, "Phase can not be less than ", " deg"),
     Above(kDegHigh, "Phase can not be more than ", " deg"), kNoCross, kNoDependents, nullptr},
    {ValidateFreqPower, "ValidateFreqPower", S::FreqPower, kWhole,
     Below(kHzLow, "Frequency can not be less than ", " Hz"),
     Above(kHzHigh, "Frequency can not be more than ", " Hz"), kNoCross, kNoDependents, nullptr},
    {ValidatePoints, "ValidatePoints", S::Points, kWhole, kPointsLimits.lower, kPointsLimits.upper,
     kNoCross, kNoDependents, nullptr},
    {ValidateDwell, "ValidateDwell", S::Dwell, kWhole, kDwellLimits.lower, kDwellLimits.upper,
     kNoCross, kNoDependents, nullptr},
    {ValidateAverage, "ValidateAverage", S::Average, kWhole, kAverageLimits.lower,
     kAverageLimits.upper, kNoCross, kNoDependents, nullptr},
    {ValidateScale, "ValidateScale", S::Scale, kDecimal,
     AtOrBelow(0, "Scale can not be less than "), kNone, kNoCross, kNoDependents, nullptr},
    {ValidateRefLevel, "ValidateRefLevel", S::RefLevel, kDecimal, kNone, kNone, kNoCross,
     kNoDependents, nullptr},
}};

constexpr bool InIdOrder() {
  for (size_t i = 0; i < kValidators.size(); ++i) {
    if (static_cast<size_t>(kValidators[i].id) != i) return false;
  }
  return true;
}
static_assert(InIdOrder(), "the validator table is indexed by FieldValidator");

// An optional sign and at least one digit, blanks around them, nothing else.
bool IsSignedDigits(std::string_view text) {
  while (!text.empty() && static_cast<unsigned char>(text.front()) <= ' ') text.remove_prefix(1);
  while (!text.empty() && static_cast<unsigned char>(text.back()) <= ' ') text.remove_suffix(1);
  if (!text.empty() && (text.front() == '+' || text.front() == '-')) text.remove_prefix(1);
  return !text.empty() &&
         std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// The number a field's text stands for; nothing when it is not a number of
// the field's kind.
std::optional<double> ReadNumber(NumberKind kind, std::string_view text) {
  if (kind == NumberKind::Whole) {
    int64_t whole = 0;
    if (TryStrToInt(text, whole)) return static_cast<double>(whole);
    // A whole number too large for 64 bits is still a number: it meets the
    // field's range, and its message, as the keypad's entry does.
    double beyond = 0;
    if (IsSignedDigits(text) && TryStrToFloat(text, beyond)) return beyond;
    return std::nullopt;
  }
  double value = 0;
  if (!TryStrToFloat(text, value)) return std::nullopt;
  return value;
}

std::string FirstFailingCheck(const ValidatorInfo& v, const InstrumentSettings& settings,
                              double value) {
  std::string refusal = LimitRefusal({v.lower, v.upper}, value);
  if (!refusal.empty()) return refusal;
  if (v.cross.compare != Compare::None) {
    // The other limit is read as it stands; one that is not a number (it
    // came from a file) is no limit here: its own field refuses it when the
    // user leaves it.
    double other = 0;
    if (TryStrToFloat(settings.Text(v.cross.other), other) &&
        Fails(v.cross.compare, value, other)) {
      return v.cross.message;
    }
  }
  return {};
}

// A stimulus field read as a whole number (a fraction left by an older
// program is rounded); nothing when it is not a number.
std::optional<long double> WholeOf(const InstrumentSettings& settings, Setting field) {
  int64_t value = 0;
  if (!TryWholeNumber(settings.Text(field), 1, value)) return std::nullopt;
  return static_cast<long double>(value);
}

// Nearest whole number, ties to the even one, held within 64 bits.
int64_t RoundWhole(long double value) {
  const long double r = std::nearbyint(value);
  if (r >= 9.2e18L) return std::numeric_limits<int64_t>::max();
  if (r <= -9.2e18L) return std::numeric_limits<int64_t>::min();
  return static_cast<int64_t>(r);
}

}  // namespace

const std::array<ValidatorInfo, kValidatorCount>& Validators() { return kValidators; }

const ValidatorInfo& InfoOf(FieldValidator id) { return kValidators[static_cast<size_t>(id)]; }

const StimulusFields& StimulusFieldsOf(SweepKind sweep) {
  switch (sweep) {
    case SweepKind::Phase:
      return kPhase;
    case SweepKind::Power:
      return kPower;
    case SweepKind::Frequency:
    case SweepKind::Other:
      break;
  }
  return kFrequency;
}

std::optional<FieldValidator> ValidatorOf(Setting field) {
  for (const ValidatorInfo& v : kValidators) {
    if (v.field == field) return v.id;
  }
  return std::nullopt;
}

void CentreAndSpanFromLimits(InstrumentSettings& settings, const StimulusFields& fields) {
  const auto start = WholeOf(settings, fields.start);
  const auto stop = WholeOf(settings, fields.stop);
  if (!start || !stop) return;
  // The sum of two 64-bit values is exact in extended precision; within the
  // limits it is the 32-bit sum, and beyond them it does not wrap around.
  settings.SetText(fields.centre, std::to_string(RoundWhole((*start + *stop) / 2)));
  settings.SetText(fields.span, std::to_string(RoundWhole(*stop - *start)));
}

void LimitsFromCentreAndSpan(InstrumentSettings& settings, const StimulusFields& fields) {
  const auto centre = WholeOf(settings, fields.centre);
  const auto span = WholeOf(settings, fields.span);
  if (!centre || !span) return;
  int64_t start = RoundWhole(*centre - *span / 2);
  if (start < fields.lower) start = fields.lower;
  settings.SetText(fields.start, std::to_string(start));
  int64_t stop = RoundWhole(*centre + *span / 2);
  if (stop > fields.upper) stop = fields.upper;
  settings.SetText(fields.stop, std::to_string(stop));
}

bool RunValidator(FieldValidator id, InstrumentSettings& settings, std::string_view old_text,
                  std::string_view new_text,
                  const std::function<void(const std::string&)>& show_error) {
  const ValidatorInfo& v = InfoOf(id);
  const std::optional<double> value = ReadNumber(v.kind, new_text);
  const std::string error = value ? FirstFailingCheck(v, settings, *value) : "Invalid number";
  const bool accepted = error.empty();
  if (!accepted) {
    if (show_error) show_error(error);
    settings.SetText(v.field, std::string(old_text));
  } else {
    settings.SetText(v.field, std::string(new_text));
  }
  if (v.stimulus != nullptr) {
    if (v.dependents == Dependents::CentreSpanAlways) {
      CentreAndSpanFromLimits(settings, *v.stimulus);
    } else if (v.dependents == Dependents::StartStopAccepted && accepted) {
      LimitsFromCentreAndSpan(settings, *v.stimulus);
    }
  }
  return accepted;
}

}  // namespace ostra
