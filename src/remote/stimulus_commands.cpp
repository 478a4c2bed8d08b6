// The stimulus and measurement settings. Each checks its value against the
// instrument's limits (-222 outside them, nothing changed) and changes the
// setting that the keys change, as they change it.
#include <cmath>

#include "app/analyser.h"
#include "app/display_actions.h"
#include "app/front_panel_keys.h"
#include "base/instrument_limits.h"
#include "base/text_util.h"
#include "panel/validators.h"
#include "remote/remote_commands.h"
#include "sweep/sweep_engine.h"
#include "sweep/sweep_programming.h"

namespace ostra {

namespace {

using RI = RemoteInstrument;
using Call = CommandCall;
enum class Limit { Start, Stop, Centre, Span };

std::string Whole(double v) { return std::to_string(static_cast<int64_t>(std::nearbyint(v))); }

// A value the dialog would refuse in `field` (as the whole number it is
// stored as) is out of range here too.
void RefuseAsTheDialogDoes(Setting field, double value) {
  const ValidatorInfo& v = InfoOf(*ValidatorOf(field));
  if (!LimitRefusal({v.lower, v.upper}, std::nearbyint(value)).empty()) {
    throw ScpiError(scpi::kDataOutOfRange);
  }
}

// A new start, stop, centre or span of a sweep type's stimulus; the other
// fields follow as the dialog computes them. A start above the stop moves the
// stop along (and the other way round), as on a bench analyser.
std::string SetLimit(RI& ri, const Call& c, SweepKind sweep, Limit which, ScpiUnit unit) {
  const StimulusFields& f = StimulusFieldsOf(sweep);
  const auto lower = static_cast<double>(f.lower);
  const auto upper = static_cast<double>(f.upper);
  const Setting fields[] = {f.start, f.stop, f.centre, f.span};
  const double value = which == Limit::Span ? NumberParam(c, unit, 0, upper - lower)
                                            : NumberParam(c, unit, lower, upper);
  RefuseAsTheDialogDoes(fields[static_cast<int>(which)], value);
  ri.RequireFree(scpi::kSettingsConflict);
  ri.ChangeSettings([&] {
    InstrumentSettings& s = ri.App().Settings();
    const std::string text = Whole(value);
    switch (which) {
      case Limit::Start:
      case Limit::Stop: {
        const Setting mine = which == Limit::Start ? f.start : f.stop;
        const Setting other = which == Limit::Start ? f.stop : f.start;
        s.SetText(mine, text);
        double other_value = 0;
        const bool crossed = !TryStrToFloat(s.Text(other), other_value) ||
                             (which == Limit::Start ? other_value < value : other_value > value);
        if (crossed) s.SetText(other, text);
        CentreAndSpanFromLimits(s, f);
        break;
      }
      case Limit::Centre:
      case Limit::Span:
        s.SetText(which == Limit::Centre ? f.centre : f.span, text);
        LimitsFromCentreAndSpan(s, f);
        break;
    }
  });
  return {};
}

std::string Query(RI& ri, Setting setting) {
  double v = 0;
  if (!TryStrToFloat(ri.App().Settings().Text(setting), v)) {
    throw ScpiError(scpi::kSettingsConflict, "the setting is not a number");
  }
  return FormatNumber(v);
}

std::string SetFreqStart(RI& ri, const Call& c) {
  return SetLimit(ri, c, SweepKind::Frequency, Limit::Start, ScpiUnit::Hertz);
}
std::string SetFreqStop(RI& ri, const Call& c) {
  return SetLimit(ri, c, SweepKind::Frequency, Limit::Stop, ScpiUnit::Hertz);
}
std::string SetFreqCentre(RI& ri, const Call& c) {
  return SetLimit(ri, c, SweepKind::Frequency, Limit::Centre, ScpiUnit::Hertz);
}
std::string SetFreqSpan(RI& ri, const Call& c) {
  return SetLimit(ri, c, SweepKind::Frequency, Limit::Span, ScpiUnit::Hertz);
}
std::string FreqStart(RI& ri, const Call&) { return Query(ri, Setting::StartFreq); }
std::string FreqStop(RI& ri, const Call&) { return Query(ri, Setting::StopFreq); }
std::string FreqCentre(RI& ri, const Call&) { return Query(ri, Setting::CentreFreq); }
std::string FreqSpan(RI& ri, const Call&) { return Query(ri, Setting::SpanFreq); }
std::string SetPhaseStart(RI& ri, const Call& c) {
  return SetLimit(ri, c, SweepKind::Phase, Limit::Start, ScpiUnit::Degree);
}
std::string SetPhaseStop(RI& ri, const Call& c) {
  return SetLimit(ri, c, SweepKind::Phase, Limit::Stop, ScpiUnit::Degree);
}
std::string PhaseStart(RI& ri, const Call&) { return Query(ri, Setting::StartPhase); }
std::string PhaseStop(RI& ri, const Call&) { return Query(ri, Setting::StopPhase); }
std::string SetPowerStart(RI& ri, const Call& c) {
  return SetLimit(ri, c, SweepKind::Power, Limit::Start, ScpiUnit::Dbm);
}
std::string SetPowerStop(RI& ri, const Call& c) {
  return SetLimit(ri, c, SweepKind::Power, Limit::Stop, ScpiUnit::Dbm);
}
std::string PowerStart(RI& ri, const Call&) { return Query(ri, Setting::StartPower); }
std::string PowerStop(RI& ri, const Call&) { return Query(ri, Setting::StopPower); }

// A whole-number setting within `range`.
std::string SetCount(RI& ri, const Call& c, Setting setting, LimitRange range) {
  const double v = NumberParam(c, ScpiUnit::None, static_cast<double>(range.lower),
                               static_cast<double>(range.upper));
  RefuseAsTheDialogDoes(setting, v);
  ri.RequireFree(scpi::kSettingsConflict);
  ri.ChangeSettings([&] { ri.App().Settings().SetText(setting, Whole(v)); });
  return {};
}
std::string SetPoints(RI& ri, const Call& c) {
  return SetCount(ri, c, Setting::Points, kLimits.points);
}
std::string Points(RI& ri, const Call&) { return Query(ri, Setting::Points); }
std::string SetDwell(RI& ri, const Call& c) {
  return SetCount(ri, c, Setting::Dwell, kLimits.dwell);
}
std::string Dwell(RI& ri, const Call&) { return Query(ri, Setting::Dwell); }
std::string SweepTime(RI& ri, const Call&) {
  const SweepSettings sweep = ReadSweepSettings(ri.App().Settings());
  if (!sweep.Converted(Setting::Points) || !sweep.Converted(Setting::Dwell)) {
    throw ScpiError(scpi::kSettingsConflict, "the setting is not a number");
  }
  return FormatNumber(EstimateAcquisition(sweep.points, sweep.dwell).AcquisitionDuration / 1000.0);
}

std::string SetSweepType(RI& ri, const Call& c) {
  const size_t kind = ParseChoice(c.params.at(0), {"LINear", "PHASe", "POWer"});
  ri.RequireFree(scpi::kSettingsConflict);
  FrontPanelKeys& keys = ri.App().Keys();
  if (kind == 0) keys.freq_sweepExecute();
  if (kind == 1) keys.phase_sweepExecute();
  if (kind == 2) keys.power_sweepExecute();
  return {};
}
std::string SweepType(RI& ri, const Call&) {
  switch (ParseSweepType(ri.App().Settings().SweepType())) {
    case SweepKind::Phase:
      return "PHAS";
    case SweepKind::Power:
      return "POW";
    case SweepKind::Frequency:
    case SweepKind::Other:
      break;
  }
  return "LIN";
}

std::string SetAverage(RI& ri, const Call& c) {
  const bool on = ParseBool(c.params.at(0));
  ri.RequireFree(scpi::kSettingsConflict);
  on ? ri.App().Keys().ave_onExecute() : ri.App().Keys().ave_offExecute();
  return {};
}
std::string Average(RI& ri, const Call&) {
  return ri.App().Settings().Checked(Setting::AveEnable) ? "1" : "0";
}
std::string SetAverageCount(RI& ri, const Call& c) {
  return SetCount(ri, c, Setting::Average, kLimits.average);
}
std::string AverageCount(RI& ri, const Call&) { return Query(ri, Setting::Average); }
std::string AverageClear(RI& ri, const Call&) {
  ri.App().Engine().ResetAverageCount();
  return {};
}

// The source power of the frequency or phase sweep (a power sweep's power is
// its stimulus: SOUR:POW:STAR and STOP).
Setting SourcePower(RI& ri) {
  const SweepKind sweep = ParseSweepType(ri.App().Settings().SweepType());
  return sweep == SweepKind::Phase ? Setting::PowerPhase : Setting::PowerFreq;
}
std::string SetPower(RI& ri, const Call& c) {
  const LimitRange range = kLimits.power_dbm;
  const double v = NumberParam(c, ScpiUnit::Dbm, static_cast<double>(range.lower),
                               static_cast<double>(range.upper));
  if (ParseSweepType(ri.App().Settings().SweepType()) == SweepKind::Power) {
    throw ScpiError(scpi::kSettingsConflict, "the power sweep sets its power by start and stop");
  }
  ri.RequireFree(scpi::kSettingsConflict);
  const Setting setting = SourcePower(ri);
  ri.ChangeSettings([&] { ri.App().Settings().SetText(setting, FormatNumber(v)); });
  return {};
}
std::string Power(RI& ri, const Call&) { return Query(ri, SourcePower(ri)); }

std::string SetParameter(RI& ri, const Call& c) {
  const size_t kind = ParseChoice(c.params.at(0), {"S11", "S21", "S12", "S22"});
  if (kind > 1)
    throw ScpiError(scpi::kIllegalParameterValue, "this instrument measures S11 and S21");
  ri.RequireFree(scpi::kSettingsConflict);
  const SweepKind sweep = ParseSweepType(ri.App().Settings().SweepType());
  if (kind == 0 && sweep != SweepKind::Frequency) {
    throw ScpiError(scpi::kSettingsConflict, "phase and power sweeps measure S21");
  }
  const bool reflection = ParseMode(ri.App().Settings().Mode()) == ModeKind::Reflection;
  if (kind == 0 && !reflection) ri.App().Formats().ReflectionExecute();
  if (kind == 1 && reflection) ri.App().Formats().TransmissionExecute();
  return {};
}
std::string Parameter(RI& ri, const Call&) {
  return ParseMode(ri.App().Settings().Mode()) == ModeKind::Reflection ? "S11" : "S21";
}

std::string SetFormat(RI& ri, const Call& c) {
  const size_t kind =
      ParseChoice(c.params.at(0), {"MLOGarithmic", "MLINear", "PHASe", "SWR", "SMITh"});
  ri.RequireFree(scpi::kSettingsConflict);
  DisplayActions& d = ri.App().Formats();
  void (DisplayActions::*const actions[])() = {
      &DisplayActions::LogMagExecute, &DisplayActions::LinMagExecute, &DisplayActions::PhaseExecute,
      &DisplayActions::VSWRExecute, &DisplayActions::SmithExecute};
  (d.*actions[kind])();
  return {};
}
std::string Format(RI& ri, const Call&) {
  switch (ParseFormat(ri.App().Settings().Format())) {
    case FormatKind::Lin:
      return "MLIN";
    case FormatKind::Phase:
      return "PHAS";
    case FormatKind::VSWR:
      return "SWR";
    case FormatKind::Smith:
      return "SMIT";
    case FormatKind::Log:
    case FormatKind::Other:
      break;
  }
  return "MLOG";
}
std::string Ignored(RI&, const Call&) { return {}; }

constexpr CommandRow kStimulus[] = {
    {"[SENSe#]:FREQuency:STARt", SetFreqStart, FreqStart, 1, 1},
    {"[SENSe#]:FREQuency:STOP", SetFreqStop, FreqStop, 1, 1},
    {"[SENSe#]:FREQuency:CENTer", SetFreqCentre, FreqCentre, 1, 1},
    {"[SENSe#]:FREQuency:SPAN", SetFreqSpan, FreqSpan, 1, 1},
    {"[SENSe#]:SWEep:POINts", SetPoints, Points, 1, 1},
    {"[SENSe#]:SWEep:TYPE", SetSweepType, SweepType, 1, 1},
    {"[SENSe#]:SWEep:DWELl", SetDwell, Dwell, 1, 1},
    {"[SENSe#]:SWEep:TIME", nullptr, SweepTime, 0, 0},
    {"[SENSe#]:AVERage[:STATe]", SetAverage, Average, 1, 1},
    {"[SENSe#]:AVERage:COUNt", SetAverageCount, AverageCount, 1, 1},
    {"[SENSe#]:AVERage:CLEar", AverageClear, nullptr, 0, 0},
    {"SOURce#:POWer[:LEVel][:IMMediate][:AMPLitude]", SetPower, Power, 1, 1},
    {"SOURce#:POWer:STARt", SetPowerStart, PowerStart, 1, 1},
    {"SOURce#:POWer:STOP", SetPowerStop, PowerStop, 1, 1},
    {"SOURce#:PHASe:STARt", SetPhaseStart, PhaseStart, 1, 1},
    {"SOURce#:PHASe:STOP", SetPhaseStop, PhaseStop, 1, 1},
    {"CALCulate#:PARameter#:DEFine", SetParameter, Parameter, 1, 1},
    {"CALCulate#[:SELected]:FORMat", SetFormat, Format, 1, 1},
    {"DISPlay:WINDow#:TRACe#:Y[:SCALe]:AUTO", Ignored, nullptr, 0, 0},
};

}  // namespace

std::span<const CommandRow> StimulusRows() { return kStimulus; }

}  // namespace ostra
