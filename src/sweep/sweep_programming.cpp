#include "sweep/sweep_programming.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <string>

#include "base/measurement.h"
#include "base/text_util.h"
#include "cal/cal_tables.h"
#include "sweep/sample_conversion.h"
#include "sweep/sweep_control.h"

namespace ostra {

namespace {

constexpr double kTwoTo32 = 4294967296.0;
constexpr double kReferenceClockHz = 500000000.0;
constexpr double kPhaseCountsPerTurn = 16384.0;

int32_t ClampTo32(double v) {
  if (std::isnan(v)) return 0;
  return static_cast<int32_t>(std::clamp(v, -2147483648.0, 2147483647.0));
}

// The low 32 bits of round(v), as the instrument's unsigned words take it.
uint32_t Low32(double v) {
  if (!std::isfinite(v)) return 0;
  double m = std::fmod(std::nearbyint(v), kTwoTo32);
  if (m < 0) m += kTwoTo32;
  return static_cast<uint32_t>(m);
}

// The spacing of the points: round((stop - start) / (points - 1)), 0 with
// fewer than two points.
int64_t PointStep(int64_t start, int64_t stop, int64_t points) {
  if (points < 2) return 0;
  return RoundHalfEven((static_cast<double>(stop) - static_cast<double>(start)) /
                       static_cast<double>(points - 1));
}

uint32_t FrequencyWord(int64_t hz) {
  return Low32(static_cast<double>(hz) * kTwoTo32 / kReferenceClockHz);
}

uint32_t PhaseWord(int64_t degrees) {
  return Low32(static_cast<double>(degrees) * kPhaseCountsPerTurn / 360.0);
}

uint16_t PowerWord(double dbm) { return static_cast<uint16_t>(PowerWordFromDbm(dbm)); }

// The sweep type byte of the sweep program.
uint8_t SweepTypeCode(SweepKind type) {
  switch (type) {
    case SweepKind::Frequency:
      return 0;
    case SweepKind::Phase:
      return 1;
    case SweepKind::Power:
      return 2;
    case SweepKind::Other:
      break;
  }
  return 9;
}

uint8_t RxGainCode(int64_t gain_db) {
  return static_cast<uint8_t>(Low32(static_cast<double>(gain_db) / 3.0));
}

}  // namespace

int64_t PowerWordFromDbm(double dbm) {
  const double p = std::pow(10.0, dbm / 10.0) / 1000.0;
  const double v = 2.0 * std::sqrt(p * 50.0) * std::sqrt(2.0);
  return RoundHalfEven(v * 1024.0 / 0.16);
}

double DbmFromPowerWord(uint16_t word) {
  const double v = word * 0.16 / (std::sqrt(2.0) * 2.0 * 1024.0);
  const double watts = v * v / 50.0;
  return 10.0 * std::log10(watts * 1000.0);
}

StimulusAxis ReadStimulusAxis(const SweepSettings& sweep) {
  StimulusAxis axis;
  axis.sweep = sweep.sweep;
  axis.points = static_cast<int>(std::clamp<int64_t>(sweep.points, 0, 65535));
  if (sweep.sweep == SweepKind::Frequency || sweep.sweep == SweepKind::Phase) {
    axis.start = sweep.start;
    axis.stop = sweep.stop;
  } else {
    axis.start = PowerWord(sweep.start_dbm);
    axis.stop = PowerWord(sweep.stop_dbm);
  }
  axis.step = PointStep(axis.start, axis.stop, axis.points);
  return axis;
}

StimulusAxis ReadStimulusAxis(const InstrumentSettings& settings) {
  const SweepSettings sweep = ReadSweepSettings(settings);
  sweep.Require({Setting::Points, StartBoxOf(sweep.sweep), StopBoxOf(sweep.sweep)});
  return ReadStimulusAxis(sweep);
}

SweepProgram ComputeSweepWords(const SweepSettings& sweep) {
  SweepProgram program;
  program.points = static_cast<uint16_t>(sweep.points);
  program.mode = sweep.mode == ModeKind::Reflection ? 0 : 1;
  program.sweep_count = 3;
  program.sweep_type = SweepTypeCode(sweep.sweep);
  program.dwell = static_cast<uint8_t>(sweep.dwell);
  program.rx_gain_code = RxGainCode(sweep.rx_gain_db);
  program.preamp = sweep.preamp ? 1 : 0;

  // The instrument steps by the spacing the points are labelled with, so the
  // last point lies on the stop value (to the synthesiser's word rounding).
  const int64_t points = sweep.points;
  if (sweep.sweep == SweepKind::Frequency) {
    program.start_word = FrequencyWord(sweep.start);
    program.step_word = FrequencyWord(PointStep(sweep.start, sweep.stop, points));
    program.power_word = PowerWord(sweep.source_dbm);
    program.freq_word = FrequencyWord(sweep.start);
    program.phase_word = 0;
  } else if (sweep.sweep == SweepKind::Phase) {
    program.start_word = PhaseWord(sweep.start);
    program.step_word = PhaseWord(PointStep(sweep.start, sweep.stop, points));
    program.power_word = PowerWord(sweep.source_dbm);
    program.freq_word = FrequencyWord(sweep.source_hz);
    program.phase_word = 0;
  } else {
    const uint16_t start = PowerWord(sweep.start_dbm);
    const uint16_t stop = PowerWord(sweep.stop_dbm);
    // A falling sweep gets the two's complement of its step: the
    // instrument's 32-bit accumulator wraps back down through the words.
    program.start_word = start;
    program.step_word = Low32(static_cast<double>(PointStep(start, stop, points)));
    program.power_word = 0;
    program.freq_word = FrequencyWord(sweep.source_hz);
    program.phase_word = static_cast<uint16_t>(PhaseWord(sweep.source_deg));
  }
  return program;
}

SweepProgram ComputeSweepWords(const InstrumentSettings& settings) {
  const SweepSettings sweep = ReadSweepSettings(settings);
  sweep.RequireSweep();
  return ComputeSweepWords(sweep);
}

SweepEstimates EstimateAcquisition(int64_t points, int64_t dwell) {
  SweepEstimates e;
  e.SweepCount = 3;
  const double t =
      (static_cast<double>(dwell) * 0.000005 + 0.000026 + 0.00002) * 1200 * e.SweepCount;
  e.AcquisitionDuration = ClampTo32(static_cast<double>(RoundHalfEven(points * t)) + 5.0);
  e.RefreshRate = ClampTo32(static_cast<double>(
      RoundHalfEven(static_cast<double>(e.AcquisitionDuration) / e.SweepCount)));
  if (e.RefreshRate < kMinimumRefreshRate) e.RefreshRate = kMinimumRefreshRate;
  e.ExpectedLength =
      ClampTo32(static_cast<double>(points) * 4.0 * e.SweepCount * static_cast<double>(dwell));
  return e;
}

SweepProgrammer::SweepProgrammer(const InstrumentSettings& settings, Platform& platform,
                                 AppLog& log, CalibrationStore& cal, SampleConverter& converter,
                                 std::filesystem::path cal_data_dir, ProgramSweepFn program_sweep)
    : settings_(settings),
      platform_(platform),
      log_(log),
      cal_(cal),
      converter_(converter),
      cal_data_dir_(std::move(cal_data_dir)),
      program_sweep_(std::move(program_sweep)),
      sweep_(settings) {}

void SweepProgrammer::ProgramCurrentSweep(SweepControl& control) {
  control.ClearStop();
  // A copy: the steps below may process messages that change the settings.
  const SweepSettings sweep = sweep_.Current();
  sweep.Require({Setting::Dwell, Setting::Points});  // dwell is converted first
  CheckEstimates(EstimateAcquisition(sweep.points, sweep.dwell), control);
  LoadOffsets(sweep.points);
  sweep.Require({Setting::RxGain});  // a bad gain box stops before the tables load
  cal_.LoadCalTables(cal_data_dir_, platform_, log_);

  sweep.RequireSweep();
  const SweepProgram program = ComputeSweepWords(sweep);
  const uint32_t received = program_sweep_ ? program_sweep_(program) : 0;
  LogProgram(program, received);
}

void SweepProgrammer::CheckEstimates(const SweepEstimates& e, SweepControl& control) {
  estimates_.SweepCount = 3;
  estimates_.AcquisitionDuration = e.AcquisitionDuration;
  if (estimates_.AcquisitionDuration > static_cast<int32_t>(kUsbReadTimeoutMs)) {
    platform_.ShowMessage("USB READ TIMEOUT (" + std::to_string(kUsbReadTimeoutMs) +
                          ")needs adjusting for this acquisition duration (" +
                          std::to_string(estimates_.AcquisitionDuration) + ")");
    control.RequestStop();
  }
  estimates_.RefreshRate = e.RefreshRate;
  estimates_.ExpectedLength = e.ExpectedLength;
  if (estimates_.ExpectedLength > static_cast<int32_t>(kRxBufferSize)) {
    platform_.ShowMessage("Expected data length (" + std::to_string(estimates_.ExpectedLength) +
                          ") is larger than buffer size (" + std::to_string(kRxBufferSize) + ")");
    control.RequestStop();
  }
  log_.WriteLog("Refresh rate: " + std::to_string(estimates_.RefreshRate));
  log_.WriteLog("Acquisition duration: " + std::to_string(estimates_.AcquisitionDuration));
  log_.WriteLog("Expected length: " + std::to_string(estimates_.ExpectedLength));
}

void SweepProgrammer::LoadOffsets(int64_t points) {
  const int dc_points = static_cast<int>(std::clamp<int64_t>(points, 0, 65535));
  const int dc_lines = LoadDcOffsets(cal_data_dir_ / kDcOffsetFile, dc_points, converter_.DcOffsetI,
                                     converter_.DcOffsetQ);
  if (dc_lines < dc_points) {
    log_.WriteLog(std::string(kDcOffsetFile) + " has " + std::to_string(dc_lines) + " lines for " +
                  std::to_string(dc_points) +
                  " points: the points beyond them take the mean of its offsets");
  }
}

void SweepProgrammer::LogProgram(const SweepProgram& program, uint32_t received) {
  const std::string& type = settings_.SweepType();
  const SweepKind kind = ParseSweepType(type);
  const char* label = kind == SweepKind::Frequency ? "Frequency"
                      : kind == SweepKind::Phase   ? "Phase"
                                                   : "Power";
  log_.WriteLog(std::string("Bytes Received [") + label + " sweep] = " + std::to_string(received));
  log_.WriteLog("Sweep parameters");
  log_.WriteLog("Sweep type: " + type);
  log_.WriteLog("Start word: 0x" + FormatHex(program.start_word, 8));
  log_.WriteLog("Step_word: 0x" + FormatHex(program.step_word, 8));
  log_.WriteLog("Points: " + settings_.Text(Setting::Points));
  log_.WriteLog("Mode: " + settings_.Mode());
  log_.WriteLog("Sweep count: " + std::to_string(estimates_.SweepCount));
  log_.WriteLog("Freq Word: 0x" + FormatHex(program.freq_word, 8));
  log_.WriteLog("Power Word: 0x" + FormatHex(program.power_word, 4));
  log_.WriteLog("Phase Word: 0x" + FormatHex(program.phase_word, 4));
  log_.WriteLog("Dwell: " + settings_.Text(Setting::Dwell));
}

bool ApplyReceiverSettings(const InstrumentSettings& settings, AppLog& log,
                           const std::function<uint32_t(bool)>& set_preamp,
                           const std::function<uint32_t(uint8_t)>& set_rx_gain) {
  const SweepSettings sweep = ReadSweepSettings(settings);
  if (set_preamp(sweep.preamp) == 0) return false;
  log.WriteLog(sweep.preamp ? "Preamp Enabled" : "Preamp Disabled");
  sweep.Require({Setting::RxGain});
  set_rx_gain(RxGainCode(sweep.rx_gain_db));
  log.WriteLog("Rx gain set to " + settings.Text(Setting::RxGain));
  return true;
}

}  // namespace ostra
