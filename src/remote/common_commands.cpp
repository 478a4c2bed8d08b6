// The IEEE 488.2 common commands, the system commands, triggering and the
// data queries.
#include <algorithm>
#include <cmath>
#include <complex>
#include <vector>

#include "app/analyser.h"
#include "app/app_shell.h"
#include "base/constants.h"
#include "base/measurement.h"
#include "remote/remote_commands.h"

namespace ostra {

namespace {

using RI = RemoteInstrument;
using Call = CommandCall;

std::string Mask(const Call& call) {
  const double v = ParseNumber(call.params.at(0), ScpiUnit::None, 0, 255);
  if (!(v >= 0 && v <= 255)) throw ScpiError(scpi::kDataOutOfRange);
  return std::to_string(static_cast<int>(std::nearbyint(v)));
}

std::string Idn(RI& ri, const Call&) {
  const InfoPage& info = ri.App().Shell().Info();
  std::string serial = ri.Simulated() ? "0" : info.VNAserial;
  if (serial.rfind("Ostra", 0) == 0) serial.erase(0, 5);
  if (serial.empty()) serial = "0";
  std::string firmware = info.FirmRev.empty() ? "0" : info.FirmRev;
  return "Marlune,Ostra 7," + serial + "," + std::string(kApplicationRevision) + "/" + firmware;
}
std::string Rst(RI& ri, const Call&) {
  ri.RequireFree(scpi::kExecutionError);
  ri.Reset();
  return {};
}
std::string Cls(RI& ri, const Call&) {
  ri.Status().Clear();
  return {};
}
std::string SetEse(RI& ri, const Call& c) {
  ri.Status().SetEse(static_cast<uint8_t>(std::stoi(Mask(c))));
  return {};
}
std::string Ese(RI& ri, const Call&) { return std::to_string(ri.Status().Ese()); }
std::string Esr(RI& ri, const Call&) { return std::to_string(ri.Status().TakeEsr()); }
std::string SetSre(RI& ri, const Call& c) {
  ri.Status().SetSre(static_cast<uint8_t>(std::stoi(Mask(c))));
  return {};
}
std::string Sre(RI& ri, const Call&) { return std::to_string(ri.Status().Sre()); }
std::string Stb(RI& ri, const Call&) { return std::to_string(ri.Status().Stb()); }
std::string Opc(RI& ri, const Call&) {
  ri.ArmOperationComplete();
  return {};
}
std::string OpcQuery(RI&, const Call&) { return "1"; }
std::string Wai(RI&, const Call&) { return {}; }
std::string SystErr(RI& ri, const Call&) { return ri.Status().Pop(); }

// --- Triggering ------------------------------------------------------------------------

std::string SetCont(RI& ri, const Call& c) {
  const bool on = ParseBool(c.params.at(0));
  ri.RequireFree(scpi::kExecutionError);
  ri.SetContinuous(on);
  return {};
}
std::string Cont(RI& ri, const Call&) { return ri.Continuous() ? "1" : "0"; }
std::string Init(RI& ri, const Call&) {
  if (ri.Continuous()) throw ScpiError(scpi::kInitIgnored);
  ri.RequireFree(scpi::kExecutionError);
  ri.TriggerSingle();
  return {};
}
std::string Single(RI& ri, const Call&) {
  ri.RequireFree(scpi::kExecutionError);
  ri.TriggerSingle();
  return {};
}
std::string Abort(RI& ri, const Call&) {
  ri.Abort();
  return {};
}

// --- Data ---------------------------------------------------------------------------------

const SweepRecord& Data(RI& ri) {
  const SweepRecord* record = ri.LastData();
  if (record == nullptr || record->Points().empty()) {
    throw ScpiError(scpi::kDataStale, "no sweep has completed");
  }
  return *record;
}

std::string Sdat(RI& ri, const Call&) {
  const auto points = Data(ri).Points();
  std::vector<double> values;
  values.reserve(points.size() * 2);
  for (const RecordedPoint& p : points) {
    values.push_back(p.value.real());
    values.push_back(p.value.imag());
  }
  return ri.FormatValues(values);
}

}  // namespace

std::pair<double, double> FormattedPoint(FormatKind format, std::complex<double> v) {
  const double mag = std::abs(v);
  switch (format) {
    case FormatKind::Lin:
      return {mag, 0};
    case FormatKind::Phase:
      return {std::arg(v) * kDegreesPerRadian, 0};
    case FormatKind::VSWR:
      return {mag < 1 ? (1 + mag) / (1 - mag) : 9.9e37, 0};
    case FormatKind::Smith:
      return {v.real(), v.imag()};
    case FormatKind::Log:
    case FormatKind::Other:
      break;
  }
  return {20 * std::log10(std::max(mag, 1e-15)), 0};
}

namespace {

std::string Fdat(RI& ri, const Call&) {
  const auto points = Data(ri).Points();
  const FormatKind format = ParseFormat(ri.App().Settings().Format());
  std::vector<double> values;
  values.reserve(points.size() * 2);
  for (const RecordedPoint& p : points) {
    const auto [a, b] = FormattedPoint(format, p.value);
    values.push_back(a);
    values.push_back(b);
  }
  return ri.FormatValues(values);
}

// The stimulus of each point: whole hertz in a frequency sweep, degrees or
// dBm in the others; `frequencies` gives a phase or power sweep's fixed
// frequency instead.
std::string Stimulus(RI& ri, bool frequencies) {
  const SweepRecord& record = Data(ri);
  const SweepKind sweep = record.Conditions().sweep;
  const InstrumentSettings& s = ri.App().Settings();
  std::vector<double> values;
  for (const RecordedPoint& p : record.Points()) {
    if (sweep == SweepKind::Frequency) {
      values.push_back(std::nearbyint(p.x * 1e6));
    } else if (frequencies) {
      values.push_back(
          s.Float(sweep == SweepKind::Phase ? Setting::FreqPhase : Setting::FreqPower));
    } else {
      values.push_back(p.x);
    }
  }
  return ri.FormatValues(values);
}
std::string FreqData(RI& ri, const Call&) { return Stimulus(ri, true); }
std::string CalcX(RI& ri, const Call&) { return Stimulus(ri, false); }

std::string SetForm(RI& ri, const Call& c) {
  const size_t kind = ParseChoice(c.params.at(0), {"ASCii", "REAL", "REAL32", "REAL64"});
  DataFormat format = kind == 0 ? DataFormat::Ascii : DataFormat::Real64;
  if (kind == 2) format = DataFormat::Real32;
  if (kind == 1 && c.params.size() > 1) {
    const double bits = ParseNumber(c.params[1], ScpiUnit::None, 32, 64);
    if (bits != 32 && bits != 64) throw ScpiError(scpi::kIllegalParameterValue);
    if (bits == 32) format = DataFormat::Real32;
  } else if (c.params.size() > 1 && kind == 0) {
    ParseNumber(c.params[1], ScpiUnit::None, 0, 0);  // ASC,<digits>: accepted
  } else if (c.params.size() > 1) {
    throw ScpiError(scpi::kParameterNotAllowed);
  }
  ri.SetFormat(format);
  return {};
}
std::string Form(RI& ri, const Call&) {
  switch (ri.Format()) {
    case DataFormat::Real64:
      return "REAL,64";
    case DataFormat::Real32:
      return "REAL,32";
    case DataFormat::Ascii:
      break;
  }
  return "ASC,0";
}
std::string SetBord(RI& ri, const Call& c) {
  ri.SetSwapped(ParseChoice(c.params.at(0), {"NORMal", "SWAPped"}) == 1);
  return {};
}
std::string Bord(RI& ri, const Call&) { return ri.Swapped() ? "SWAP" : "NORM"; }

constexpr CommandRow kCommon[] = {
    {"*IDN", nullptr, Idn, 0, 0},
    {"*RST", Rst, nullptr, 0, 0},
    {"*CLS", Cls, nullptr, 0, 0},
    {"*ESE", SetEse, Ese, 1, 1},
    {"*ESR", nullptr, Esr, 0, 0},
    {"*SRE", SetSre, Sre, 1, 1},
    {"*STB", nullptr, Stb, 0, 0},
    {"*OPC", Opc, nullptr, 0, 0},
    {"*OPC", nullptr, OpcQuery, 0, 0, true},
    {"*WAI", Wai, nullptr, 0, 0, true},
    {"SYSTem:ERRor[:NEXT]", nullptr, SystErr, 0, 0},
    {"SYSTem:PRESet", Rst, nullptr, 0, 0},
};

constexpr CommandRow kTriggerAndData[] = {
    {"INITiate#:CONTinuous", SetCont, Cont, 1, 1},
    {"INITiate#[:IMMediate]", Init, nullptr, 0, 0},
    {"TRIGger#[:SEQuence]:SINGle", Single, nullptr, 0, 0},
    {"ABORt", Abort, nullptr, 0, 0},
    {"CALCulate#[:SELected]:DATA:SDATa", nullptr, Sdat, 0, 0},
    {"CALCulate#[:SELected]:DATA:FDATa", nullptr, Fdat, 0, 0},
    {"[SENSe#]:FREQuency:DATA", nullptr, FreqData, 0, 0},
    {"CALCulate#[:SELected]:X[:VALues]", nullptr, CalcX, 0, 0},
    {"FORMat[:DATA]", SetForm, Form, 1, 2},
    {"FORMat:BORDer", SetBord, Bord, 1, 1},
};

}  // namespace

std::span<const CommandRow> CommonRows() { return kCommon; }
std::span<const CommandRow> TriggerAndDataRows() { return kTriggerAndData; }

}  // namespace ostra
