// The field validators of the Sweep Parameters dialog, as one table: each
// field's limits in the order they are checked, its messages and the fields
// that depend on it. The dialog runs a validator when the user leaves a
// field; the keypad runs the same one with the text it has converted.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "base/instrument_limits.h"
#include "base/instrument_settings.h"
#include "base/measurement.h"

namespace ostra {

// By the validators' names.
enum class FieldValidator : int {
  ValidateStartFreq,
  ValidateStopFreq,
  ValidateCentreFreq,
  ValidateSpanFreq,
  ValidatePowerFreq,
  ValidateStartPhase,
  ValidateStopPhase,
  ValidateCentrePhase,
  ValidateSpanPhase,
  ValidatePowerPhase,
  ValidateFreqPhase,
  ValidateStartPower,
  ValidateStopPower,
  ValidateCentrePower,
  ValidateSpanPower,
  ValidatePhasePower,
  ValidateFreqPower,
  ValidatePoints,
  ValidateDwell,
  ValidateAverage,
  ValidateScale,
  ValidateRefLevel,
};
inline constexpr int kValidatorCount = static_cast<int>(FieldValidator::ValidateRefLevel) + 1;

// How a field's text is read. A whole-number field (frequencies, the
// stimulus limits, points, dwell, the averaging factor, the source phase of
// a power sweep) refuses a fraction or an exponent: the sweep programming
// and the layout read those fields as whole numbers.
enum class NumberKind { Whole, Decimal };

// The check against the other limit of the sweep: an error when the value
// compares so with the other field's number.
struct CrossCheck {
  Compare compare = Compare::None;
  Setting other = Setting::SweepType;
  const char* message = "";
};

// What a validator recomputes after it has run.
enum class Dependents {
  None,
  CentreSpanAlways,   // start and stop: centre and span, whatever the outcome
  StartStopAccepted,  // centre and span: start and stop, when accepted
};

// The four stimulus fields of one sweep type and its limits.
struct StimulusFields {
  Setting start;
  Setting stop;
  Setting centre;
  Setting span;
  int64_t lower;
  int64_t upper;
};

struct ValidatorInfo {
  FieldValidator id;
  const char* name;  // "ValidateStartFreq"
  Setting field;
  NumberKind kind;
  LimitCheck lower;
  LimitCheck upper;
  CrossCheck cross;
  Dependents dependents;
  const StimulusFields* stimulus;  // the sweep type's fields, for the dependents
};

const std::array<ValidatorInfo, kValidatorCount>& Validators();
const ValidatorInfo& InfoOf(FieldValidator id);
// The validator of a dialog field; nothing for fields without one.
std::optional<FieldValidator> ValidatorOf(Setting field);
// The four stimulus fields of a sweep type (a frequency sweep's for "Other").
const StimulusFields& StimulusFieldsOf(SweepKind sweep);

// Runs validator `id` on its field: with an error, `show_error` gets the
// message of the first failing check ("Invalid number" for text that is not
// a number of the field's kind) and the field gets `old_text` back; without,
// the field gets `new_text` unchanged. Then the dependent fields. True when
// the value was accepted.
bool RunValidator(FieldValidator id, InstrumentSettings& settings, std::string_view old_text,
                  std::string_view new_text,
                  const std::function<void(const std::string&)>& show_error);

// The dependent-field computations, on the settings' texts.
// centre := (start + stop) / 2, halved in floating point and rounded to the
// nearest whole number, ties to the even one; span := stop - start.
void CentreAndSpanFromLimits(InstrumentSettings& settings, const StimulusFields& fields);
// start := centre - span / 2, raised to the lower limit; stop := centre +
// span / 2, lowered to the upper limit. Centre and span are not adjusted.
void LimitsFromCentreAndSpan(InstrumentSettings& settings, const StimulusFields& fields);

}  // namespace ostra
