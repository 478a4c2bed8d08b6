// Markers, calibration and files.
#include <cmath>
#include <complex>
#include <filesystem>
#include <vector>

#include "app/analyser.h"
#include "app/app_shell.h"
#include "app/instrument_owner.h"
#include "app/marker_actions.h"
#include "base/constants.h"
#include "base/measurement.h"
#include "display/chart_model.h"
#include "display/marker_readout.h"
#include "display/marker_search.h"
#include "display/markers.h"
#include "files/sweep_record.h"
#include "files/touchstone.h"
#include "remote/remote_commands.h"
#include "sweep/sweep_engine.h"

namespace ostra {

namespace {

using RI = RemoteInstrument;
using Call = CommandCall;

// --- Markers -------------------------------------------------------------------------------

int MarkerIndex(const Call& c) { return c.index - 1; }

std::string SetMarkerOn(RI& ri, const Call& c) {
  const bool on = ParseBool(c.params.at(0));
  ri.App().MarkerModel().SetEnabled(MarkerIndex(c), on);
  return {};
}
std::string MarkerOn(RI& ri, const Call& c) {
  return ri.App().MarkerModel().At(MarkerIndex(c)).enabled ? "1" : "0";
}

// The sweep's stimulus range in marker units (hertz, degrees or dBm).
std::pair<double, double> MarkerRange(const InstrumentSettings& s) {
  switch (ParseSweepType(s.SweepType())) {
    case SweepKind::Phase:
      return {s.Float(Setting::StartPhase), s.Float(Setting::StopPhase)};
    case SweepKind::Power:
      return {s.Float(Setting::StartPower), s.Float(Setting::StopPower)};
    case SweepKind::Frequency:
    case SweepKind::Other:
      break;
  }
  return {s.Float(Setting::StartFreq), s.Float(Setting::StopFreq)};
}

std::string SetMarkerX(RI& ri, const Call& c) {
  const InstrumentSettings& s = ri.App().Settings();
  const SweepKind sweep = ParseSweepType(s.SweepType());
  const auto [low, high] = MarkerRange(s);
  const ScpiUnit unit = sweep == SweepKind::Phase   ? ScpiUnit::Degree
                        : sweep == SweepKind::Power ? ScpiUnit::Dbm
                                                    : ScpiUnit::Hertz;
  double value = NumberParam(c, unit, std::min(low, high), std::max(low, high));
  // Typed positions are whole hertz or degrees, as the keypad makes them.
  if (sweep != SweepKind::Power) value = std::nearbyint(value);
  MarkerState& markers = ri.App().MarkerModel();
  markers.SetValue(MarkerIndex(c), value);
  if (!markers.At(MarkerIndex(c)).enabled) markers.SetEnabled(MarkerIndex(c), true);
  return {};
}
std::string MarkerX(RI& ri, const Call& c) {
  return FormatNumber(ri.App().MarkerModel().At(MarkerIndex(c)).value);
}

std::string MarkerY(RI& ri, const Call& c) {
  const Marker& marker = ri.App().MarkerModel().At(MarkerIndex(c));
  if (!marker.enabled) throw ScpiError(scpi::kSettingsConflict, "the marker is off");
  const SweepRecord* record = ri.LastData();
  if (record == nullptr || record->Points().empty()) {
    throw ScpiError(scpi::kDataStale, "no sweep has completed");
  }
  const int k = MarkerPointIndex(ri.App().Settings(), marker.value);
  const auto points = record->Points();
  const auto i = std::min<size_t>(static_cast<size_t>(std::max(k, 0)), points.size() - 1);
  const auto [a, b] = FormattedPoint(ParseFormat(ri.App().Settings().Format()), points[i].value);
  return FormatNumber(a) + "," + FormatNumber(b);
}

std::string SetMarkerFunction(RI& ri, const Call& c) {
  const size_t kind = ParseChoice(c.params.at(0), {"MAXimum", "MINimum"});
  ri.SetMarkerSearch(MarkerIndex(c), kind == 0 ? TraceExtreme::Maximum : TraceExtreme::Minimum);
  return {};
}
std::string MarkerFunction(RI& ri, const Call& c) {
  return ri.MarkerSearch(MarkerIndex(c)) == TraceExtreme::Maximum ? "MAX" : "MIN";
}
// The search reads the sweep that the data queries return, so that the
// marker's reading is the extreme those queries hold.
std::string MarkerExecute(RI& ri, const Call& c) {
  const SweepRecord* record = ri.LastData();
  if (record == nullptr || record->Points().empty()) {
    throw ScpiError(scpi::kDataStale, "no sweep has completed");
  }
  const FormatKind format = ParseFormat(ri.App().Settings().Format());
  std::vector<double> values;
  values.reserve(record->Points().size());
  for (const RecordedPoint& p : record->Points()) {
    values.push_back(FormattedPointValue(format, std::abs(p.value), std::arg(p.value)));
  }
  const auto k = ExtremePointIndex(values, ri.MarkerSearch(MarkerIndex(c)));
  if (!k) return {};
  // Whole hertz in a frequency sweep (the record holds megahertz).
  const double x = record->Points()[*k].x;
  MarkerState& markers = ri.App().MarkerModel();
  markers.SetValue(MarkerIndex(c), record->Conditions().sweep == SweepKind::Frequency
                                       ? std::nearbyint(x * 1e6)
                                       : x);
  if (!markers.At(MarkerIndex(c)).enabled) markers.SetEnabled(MarkerIndex(c), true);
  return {};
}

// --- Calibration ------------------------------------------------------------------------

// The capture of one standard into its file, as the Cal key's procedure
// captures it.
std::string Capture(RI& ri, const char* mode) {
  ri.RequireFree(scpi::kExecutionError);
  Analyser& app = ri.App();
  // The capture holds the instrument as the Cal key's procedure does: a key
  // pressed meanwhile is refused.
  const InstrumentOwner::Claim claim = app.Owner().Take(InstrumentUse::Calibrating);
  app.Sweep().Stop();
  app.Engine().ProgramCurrentSweep();
  if (std::string_view(mode) == "dc_offset_cal") app.Link().SetRxGain(0);
  app.Sweep().ClearStop();
  app.Engine().RunSweepLoop(mode);
  if (ri.Continuous()) app.Sweep().Restart();
  return {};
}

void RequireReflection(RI& ri) {
  const InstrumentSettings& s = ri.App().Settings();
  if (ParseSweepType(s.SweepType()) != SweepKind::Frequency ||
      ParseMode(s.Mode()) != ModeKind::Reflection) {
    throw ScpiError(scpi::kSettingsConflict, "a reflection standard needs a reflection sweep");
  }
}
std::string CollectOpen(RI& ri, const Call&) {
  RequireReflection(ri);
  return Capture(ri, "open_cal");
}
std::string CollectShort(RI& ri, const Call&) {
  RequireReflection(ri);
  return Capture(ri, "short_cal");
}
std::string CollectLoad(RI& ri, const Call&) {
  RequireReflection(ri);
  return Capture(ri, "load_cal");
}
std::string CollectThru(RI& ri, const Call&) {
  const InstrumentSettings& s = ri.App().Settings();
  switch (ParseSweepType(s.SweepType())) {
    case SweepKind::Phase:
      return Capture(ri, "thru_ph_cal");
    case SweepKind::Power:
      return Capture(ri, "thru_pwr_cal");
    case SweepKind::Frequency:
      if (ParseMode(s.Mode()) == ModeKind::Transmission) return Capture(ri, "thru_cal");
      break;
    case SweepKind::Other:
      break;
  }
  throw ScpiError(scpi::kSettingsConflict, "a THRU needs a transmission sweep");
}
std::string CollectDcOffset(RI& ri, const Call&) { return Capture(ri, "dc_offset_cal"); }
std::string CollectSave(RI& ri, const Call&) {
  ri.RequireFree(scpi::kExecutionError);
  Analyser& app = ri.App();
  app.Engine().Calibration().LoadCalTables(app.CalDataDirectory(), app.Host(), app.Log());
  return {};
}
std::string Corrected(RI& ri, const Call&) {
  return ri.App().Chart().Label(LabelId::cal_label).text == "C" ? "1" : "0";
}

// --- Files ----------------------------------------------------------------------------------

// A file name inside the data folder; -256 for one that would leave it.
std::filesystem::path DataFile(RI& ri, const Call& c, const char* extension) {
  const std::filesystem::path name = ParseString(c.params.at(0));
  bool inside =
      !name.empty() && name.is_relative() && !name.has_root_name() && !name.has_root_directory();
  for (const auto& part : name) {
    if (part == ".." || part == ".") inside = false;
  }
  if (!inside) throw ScpiError(scpi::kFileNameNotFound, "names stay inside the data folder");
  std::filesystem::path file = ri.App().DataDirectory() / name;
  if (!file.has_extension()) file += extension;
  return file;
}

std::string StoreSnp(RI& ri, const Call& c) {
  std::filesystem::path file = DataFile(ri, c, "");
  const SweepRecord* record = ri.LastData();
  if (record == nullptr) throw ScpiError(scpi::kDataStale, "no sweep has completed");
  const int ports = TouchstonePorts(record->Conditions());
  if (ports == 0) throw ScpiError(scpi::kSettingsConflict, "not a frequency response");
  if (!file.has_extension() || file.extension() == "") file += "." + TouchstoneExtension(ports);
  file = WithTouchstoneExtension(file, ports);
  TouchstoneHeader header;
  header.program = std::string(kApplicationTitle) + " " + std::string(kApplicationRevision);
  header.saved = ri.App().Host().LocalTime();
  WriteTouchstone(file, *record, header);
  return {};
}
std::string StoreState(RI& ri, const Call& c) {
  save_parameters(ri.App().Settings(), DataFile(ri, c, ".sta"));
  return {};
}
std::string LoadState(RI& ri, const Call& c) {
  const std::filesystem::path file = DataFile(ri, c, ".sta");
  std::error_code ec;
  if (!std::filesystem::is_regular_file(file, ec)) {
    throw ScpiError(scpi::kFileNameNotFound, "no such state file");
  }
  ri.RequireFree(scpi::kExecutionError);
  ri.Abort();
  ri.App().Sweep().Stop();
  ri.App().Shell().RecallSettingsFile(file);
  return {};
}

constexpr CommandRow kRows[] = {
    {"CALCulate#:MARKer#4[:STATe]", SetMarkerOn, MarkerOn, 1, 1},
    {"CALCulate#:MARKer#4:X", SetMarkerX, MarkerX, 1, 1},
    {"CALCulate#:MARKer#4:Y", nullptr, MarkerY, 0, 0},
    {"CALCulate#:MARKer#4:FUNCtion:TYPE", SetMarkerFunction, MarkerFunction, 1, 1},
    {"CALCulate#:MARKer#4:FUNCtion:EXECute", MarkerExecute, nullptr, 0, 0},
    {"[SENSe#]:CORRection:COLLect[:ACQuire]:OPEN", CollectOpen, nullptr, 0, 1},
    {"[SENSe#]:CORRection:COLLect[:ACQuire]:SHORt", CollectShort, nullptr, 0, 1},
    {"[SENSe#]:CORRection:COLLect[:ACQuire]:LOAD", CollectLoad, nullptr, 0, 1},
    {"[SENSe#]:CORRection:COLLect[:ACQuire]:THRU", CollectThru, nullptr, 0, 2},
    {"[SENSe#]:CORRection:COLLect[:ACQuire]:DCOFfset", CollectDcOffset, nullptr, 0, 0},
    {"[SENSe#]:CORRection:COLLect:SAVE", CollectSave, nullptr, 0, 0},
    {"[SENSe#]:CORRection[:STATe]", nullptr, Corrected, 0, 0},
    {"MMEMory:STORe:SNP[:DATA]", StoreSnp, nullptr, 1, 1},
    {"MMEMory:STORe:STATe", StoreState, nullptr, 1, 1},
    {"MMEMory:LOAD:STATe", LoadState, nullptr, 1, 1},
};

}  // namespace

std::span<const CommandRow> MarkerCalFileRows() { return kRows; }

}  // namespace ostra
