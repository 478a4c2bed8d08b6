// The instrument's detector: the bridge and receiver between the device under
// test and the I/Q converter. Reflection is seen through the one-port error
// terms (directivity e00, source match e11, reflection tracking e01), so the
// raw reflection is M = e00 + e01 Γ / (1 - e11 Γ); transmission through the
// transmission tracking (thru loss and cable delay included) plus a small
// leakage. The raw value is scaled by the source amplitude (the power word),
// rotated by the source phase (the phase word), amplified by the receiver
// (3 dB per gain code, preamplifier on top) and offset by the converter's DC
// offsets. Noise and 12-bit quantisation are added by the instrument.
#pragma once

#include <complex>
#include <cstdint>

#include "device/protocol.h"
#include "sim/dut_model.h"

namespace ostra {

// What the instrument applies at one point of a sweep.
struct PointStimulus {
  double hz = 0.0;
  uint16_t power_word = 0;
  double source_phase = 0.0;  // radians
  bool transmission = false;  // else reflection
  uint8_t rx_gain_code = 0;
  bool preamp = false;
};

inline constexpr double kSynthesiserClockHz = 500'000'000.0;
inline constexpr double kPhaseWordsPerTurn = 16384.0;
inline constexpr double kPreampGainDb = 12.0;

// Point `point` of a sweep program, with the receiver settings in force:
// frequency start + point x step (frequency sweep) or the fixed frequency
// word; phase start + point x step (phase sweep) or the phase word; power
// start + point x step (power sweep, low 16 bits) or the power word.
PointStimulus ProgramPointStimulus(const SweepProgram& program, uint32_t point,
                                   uint8_t rx_gain_code, bool preamp);

class DetectorModel {
 public:
  using Complex = std::complex<double>;

  // Error terms at `hz`.
  Complex Directivity(double hz) const;           // e00
  Complex SourceMatch(double hz) const;           // e11
  Complex ReflectionTracking(double hz) const;    // e01
  Complex TransmissionTracking(double hz) const;  // thru loss and delay
  Complex Isolation(double hz) const;             // leakage with nothing connected

  // Raw reflection M = e00 + e01 Γ / (1 - e11 Γ).
  Complex RawReflection(Complex gamma, double hz) const;
  // Raw transmission: isolation + tracking x S21.
  Complex RawTransmission(Complex s21, double hz) const;

  // Source amplitude in proportion to the power word (1 at word 1024).
  static double SourceAmplitude(uint16_t power_word) { return power_word / 1024.0; }
  // Voltage gain of the receiver: 3 dB per code, the preamplifier adds 12 dB.
  static double ReceiverGain(uint8_t code, bool preamp);
  // Detector volts for a raw value of 1 at source word 1024 and 0 dB receiver
  // gain. Chosen so that -20 dBm (word 405) reads about 1 V for a raw value of
  // 1 at 39 dB (reflection) and at 24 dB (transmission).
  static double ReflectionScale();
  static double TransmissionScale();

  double DcOffsetI() const { return 0.0215; }
  double DcOffsetQ() const { return -0.0132; }

  // I + jQ in volts for a raw value at a stimulus, DC offsets included, before
  // noise and quantisation; `level` scales the signal (1 normally).
  Complex Volts(Complex raw, const PointStimulus& stimulus, double level = 1.0) const;
  // The same for a device under test: its raw reflection or transmission.
  Complex DutVolts(Dut dut, const PointStimulus& stimulus, double level = 1.0) const;
};

}  // namespace ostra
