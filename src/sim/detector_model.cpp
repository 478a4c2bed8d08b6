#include "sim/detector_model.h"

#include <cmath>

#include "base/constants.h"

namespace ostra {

namespace {

using Complex = std::complex<double>;

constexpr double kModelTopHz = 120e6;

// Magnitude and phase, with a delay of `delay_s` seconds at `hz`.
Complex Term(double magnitude, double phase, double delay_s, double hz) {
  return std::polar(magnitude, phase - kTwoPi * hz * delay_s);
}

double DbToRatio(double db) { return std::pow(10.0, db / 20.0); }

}  // namespace

PointStimulus ProgramPointStimulus(const SweepProgram& program, uint32_t point,
                                   uint8_t rx_gain_code, bool preamp) {
  PointStimulus stimulus;
  stimulus.transmission = program.mode != 0;
  stimulus.rx_gain_code = rx_gain_code;
  stimulus.preamp = preamp;
  // The synthesiser accumulates in 32 bits; the words wrap as it does.
  const uint32_t swept = program.start_word + point * program.step_word;
  uint32_t freq_word = program.freq_word;
  uint32_t phase_word = program.phase_word;
  uint16_t power_word = program.power_word;
  switch (program.sweep_type) {
    case 0:
      freq_word = swept;
      break;
    case 1:
      phase_word = swept;
      break;
    default:
      power_word = static_cast<uint16_t>(swept);
      break;
  }
  stimulus.hz = freq_word * (kSynthesiserClockHz / 4294967296.0);
  stimulus.power_word = power_word;
  stimulus.source_phase = std::fmod(phase_word, kPhaseWordsPerTurn) * kTwoPi / kPhaseWordsPerTurn;
  return stimulus;
}

Complex DetectorModel::Directivity(double hz) const {
  return Term(0.045 + 0.035 * hz / kModelTopHz, 0.7, 1.8e-9, hz);
}

Complex DetectorModel::SourceMatch(double hz) const {
  return Term(0.06 + 0.05 * hz / kModelTopHz, -1.1, 1.2e-9, hz);
}

Complex DetectorModel::ReflectionTracking(double hz) const {
  return Term(0.93 - 0.10 * hz / kModelTopHz, 0.3, 4.5e-9, hz);
}

Complex DetectorModel::TransmissionTracking(double hz) const {
  // Cable and fixture loss grows with frequency (about 0.9 dB at 120 MHz).
  return Term(0.97 - 0.07 * std::sqrt(hz / kModelTopHz), -0.4, 6.2e-9, hz);
}

Complex DetectorModel::Isolation(double hz) const {
  return Term(0.0008 + 0.002 * hz / kModelTopHz, 1.9, 0.0, hz);
}

Complex DetectorModel::RawReflection(Complex gamma, double hz) const {
  const Complex e11 = SourceMatch(hz);
  return Directivity(hz) + ReflectionTracking(hz) * gamma / (1.0 - e11 * gamma);
}

Complex DetectorModel::RawTransmission(Complex s21, double hz) const {
  return Isolation(hz) + TransmissionTracking(hz) * s21;
}

double DetectorModel::ReceiverGain(uint8_t code, bool preamp) {
  return DbToRatio(3.0 * code + (preamp ? kPreampGainDb : 0.0));
}

double DetectorModel::ReflectionScale() { return 1.0 / (405.0 / 1024.0 * DbToRatio(39.0)); }

double DetectorModel::TransmissionScale() { return 1.0 / (405.0 / 1024.0 * DbToRatio(24.0)); }

Complex DetectorModel::Volts(Complex raw, const PointStimulus& stimulus, double level) const {
  const double scale = stimulus.transmission ? TransmissionScale() : ReflectionScale();
  const double amplitude = scale * SourceAmplitude(stimulus.power_word) *
                           ReceiverGain(stimulus.rx_gain_code, stimulus.preamp) * level;
  return amplitude * raw * std::polar(1.0, stimulus.source_phase) +
         Complex(DcOffsetI(), DcOffsetQ());
}

Complex DetectorModel::DutVolts(Dut dut, const PointStimulus& stimulus, double level) const {
  const Complex raw = stimulus.transmission
                          ? RawTransmission(TrueTransmission(dut, stimulus.hz), stimulus.hz)
                          : RawReflection(TrueReflection(dut, stimulus.hz), stimulus.hz);
  return Volts(raw, stimulus, level);
}

}  // namespace ostra
