// Accuracy end to end: the simulated instrument, its noise on, calibrated
// with the keys; then the corrected trace of a device whose true response the
// simulator knows is compared with it at every point.
//
// The bound at each point is five standard deviations of what the noise can
// do to that point's corrected value, worked out from the simulator's own
// detector model: every reading (the device's, and each standard's in its
// capture) carries the simulator's Gaussian noise and the converter's 12-bit
// rounding, averaged over the dwell; a standard's file line adds the rounding
// of its magnitude and phase to three decimals. Those errors are propagated
// through the correction by its derivatives at the point. Five deviations of
// a two-dimensional Gaussian are exceeded with a chance of e^-12.5 (4e-6) per
// point. The correction has no other error for reflection: the simulator's
// standards are ideal and the three-term model is its detector's model, and
// the DC offsets, subtracted alike from the standards and the device, are
// absorbed by the LOAD. For transmission, the THRU normalisation cannot
// remove the detector's leakage, nor what the DC-offset capture (RF IN
// terminated, at receiver gain code 0) saw of the terminated port: that part
// is worked out from the model as well and bounded apart.
#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <cstdio>

#include "cal/error_correction.h"
#include "sim/detector_model.h"
#include "support/calibration_rig.h"

namespace ostra {
namespace {

using Complex = std::complex<double>;
using testing::CalRig;

constexpr double kSigmas = 5.0;

// Per component, one point's reading: the simulator's noise and the
// converter's rounding (5 V over 4096 counts) on each sample, averaged over
// the dwell.
double ReadingNoise(int dwell) {
  const double noise = SimulatedInstrument::kDefaultNoiseVolts;
  const double count = 5.0 / 4096.0;
  return std::sqrt(noise * noise + count * count / 12.0) / std::sqrt(dwell);
}

// Per component, the rounding of a standard's magnitude (volts) and phase
// (radians) to three decimals in its file.
double FileRounding(Complex value) {
  return 0.001 / std::sqrt(12.0) * std::sqrt((1.0 + std::norm(value)) / 2.0);
}

struct Deviation {
  double worst = 0;         // largest |measured - true|
  double worst_sigmas = 0;  // largest |measured - expected| in standard deviations
  double systematic = 0;    // largest |expected - true|
  double sum_squares = 0;   // of the deviations in standard deviations
  int count = 0;

  void Add(double sigmas) {
    worst_sigmas = std::max(worst_sigmas, sigmas);
    sum_squares += sigmas * sigmas;
    ++count;
  }
  // About sqrt(2) when the noise is what the bound assumes.
  double Rms() const { return count > 0 ? std::sqrt(sum_squares / count) : 0.0; }
};

// The stimulus of point i of the sweep the instrument runs, at a receiver gain code.
PointStimulus Stimulus(const SweepProgram& program, int i, int gain_code) {
  return ProgramPointStimulus(program, static_cast<uint32_t>(i), static_cast<uint8_t>(gain_code),
                              program.preamp != 0);
}

// Calibrates reflection and measures the series RLC.
Deviation ReflectionAccuracy(int points, const char* start, const char* stop) {
  CalRig rig([&](InstrumentSettings& s) {
    s.SetText(Setting::Points, std::to_string(points));
    s.SetText(Setting::StartFreq, start);
    s.SetText(Setting::StopFreq, stop);
  });
  EXPECT_TRUE(rig.CalibrateWithKeys(1));
  EXPECT_EQ(rig.CalLabel(), "C");
  const SweepProgram program = *rig.sim.Counters().last_program;
  const DetectorModel& detector = rig.sim.Detector();
  const double noise = ReadingNoise(program.dwell);

  Deviation d;
  for (int i = 0; i < points; ++i) {
    const PointStimulus stimulus = Stimulus(program, i, program.rx_gain_code);
    // What the DC-offset capture took, with the LOAD on at gain code 0.
    const Complex offset = detector.DutVolts(Dut::Load, Stimulus(program, i, 0));
    Complex v[4];  // device, open, short, load: volts after the offsets
    const Dut duts[4] = {Dut::SeriesRlc, Dut::Open, Dut::Short, Dut::Load};
    for (int k = 0; k < 4; ++k) v[k] = detector.DutVolts(duts[k], stimulus) - offset;
    const Complex expected = CorrectReflection(v[0], v[1], v[2], v[3]);
    double variance = 0;
    for (int k = 0; k < 4; ++k) {
      Complex moved[4] = {v[0], v[1], v[2], v[3]};
      const double h = 1e-7;
      moved[k] += h;
      const double gain =
          std::abs(CorrectReflection(moved[0], moved[1], moved[2], moved[3]) - expected) / h;
      const double sigma = k == 0 ? noise : std::hypot(noise, FileRounding(v[k]));
      variance += gain * gain * sigma * sigma;
    }
    const Complex truth = TrueReflection(Dut::SeriesRlc, stimulus.hz);
    const Complex measured =
        std::polar(rig.analyser->Display().ReflMag()[i], rig.analyser->Display().ReflPhase()[i]);
    const double sigma = std::sqrt(variance);
    d.systematic = std::max(d.systematic, std::abs(expected - truth));
    d.worst = std::max(d.worst, std::abs(measured - truth));
    d.Add(std::abs(measured - expected) / sigma);
    EXPECT_LE(std::abs(measured - truth), kSigmas * sigma + std::abs(expected - truth))
        << "point " << i << " at " << stimulus.hz << " Hz";
  }
  return d;
}

// Calibrates transmission with `connected` on the port when Cal is pressed
// (the bench terminates RF IN for the DC offset, as the prompt asks) and
// measures the band-pass.
Deviation TransmissionAccuracy(int points, const char* start, const char* stop, Dut connected) {
  CalRig rig([&](InstrumentSettings& s) {
    s.SetText(Setting::Mode, "Transmission");
    s.SetText(Setting::RxGain, "24");
    s.SetText(Setting::Points, std::to_string(points));
    s.SetText(Setting::StartFreq, start);
    s.SetText(Setting::StopFreq, stop);
  });
  rig.sim.SetDut(connected);
  EXPECT_TRUE(rig.CalibrateWithKeys(1));
  rig.sim.SetDut(Dut::BandPass);
  EXPECT_TRUE(rig.RunNormalSweeps(1));
  EXPECT_EQ(rig.CalLabel(), "C");
  const SweepProgram program = *rig.sim.Counters().last_program;
  const DetectorModel& detector = rig.sim.Detector();
  const double noise = ReadingNoise(program.dwell);

  Deviation d;
  for (int i = 0; i < points; ++i) {
    const PointStimulus stimulus = Stimulus(program, i, program.rx_gain_code);
    const Complex offset = detector.DutVolts(Dut::Load, Stimulus(program, i, 0));
    const Complex m = detector.DutVolts(Dut::BandPass, stimulus) - offset;
    const Complex t = detector.DutVolts(Dut::Thru, stimulus) - offset;
    const Complex expected = m / t;
    // The device's reading, the THRU's reading with its file rounding, and
    // the DC-offset reading, which both carry.
    const double variance =
        noise * noise *
            (1.0 / std::norm(t) + std::norm(1.0 / t - m / (t * t)) + std::norm(m / (t * t))) +
        std::norm(m / (t * t)) * std::pow(FileRounding(t), 2);
    const double sigma = std::sqrt(variance) + 2e-6 / std::abs(t);  // the 1e-6 of the gain
    const Complex truth = TrueTransmission(Dut::BandPass, stimulus.hz);
    const Complex measured =
        std::polar(rig.analyser->Display().TransMag()[i], rig.analyser->Display().TransPhase()[i]);
    d.systematic = std::max(d.systematic, std::abs(expected - truth));
    d.worst = std::max(d.worst, std::abs(measured - truth));
    d.Add(std::abs(measured - expected) / sigma);
    EXPECT_LE(std::abs(measured - expected), kSigmas * sigma)
        << "point " << i << " at " << stimulus.hz << " Hz";
  }
  return d;
}

void Report(const char* what, const Deviation& d) {
  std::printf(
      "%s: largest deviation from the true value %.5f, from the expected value %.2f "
      "standard deviations (rms %.2f); systematic part %.5f\n",
      what, d.worst, d.worst_sigmas, d.Rms(), d.systematic);
}

TEST(CalibrationAccuracy, ReflectionOfTheSeriesRlcIsWithinTheNoise) {
  const Deviation d201 = ReflectionAccuracy(201, "20000000", "50000000");
  Report("reflection, 201 points, 20-50 MHz", d201);
  EXPECT_LT(d201.systematic, 1e-5);
  const Deviation d500 = ReflectionAccuracy(500, "500000", "120000000");
  Report("reflection, 500 points, 0.5-120 MHz", d500);
  EXPECT_LT(d500.systematic, 1e-5);
}

// What the THRU normalisation leaves: the detector's leakage and what the
// DC-offset capture saw of the terminated port. The device left on the port
// when Cal is pressed makes no difference: RF IN is terminated for the offset.
TEST(CalibrationAccuracy, TransmissionOfTheBandPassIsWithinTheNoiseOfWhatTheThruCanCorrect) {
  const Deviation d201 = TransmissionAccuracy(201, "20000000", "50000000", Dut::BandPass);
  Report("transmission, 201 points, 20-50 MHz, band-pass on the port", d201);
  EXPECT_LT(d201.systematic, 0.005);
  const Deviation d500 = TransmissionAccuracy(500, "500000", "120000000", Dut::BandPass);
  Report("transmission, 500 points, 0.5-120 MHz, band-pass on the port", d500);
  EXPECT_LT(d500.systematic, 0.005);
  const Deviation t201 = TransmissionAccuracy(201, "20000000", "50000000", Dut::Load);
  Report("transmission, 201 points, 20-50 MHz, RF IN terminated", t201);
  EXPECT_LT(t201.systematic, 0.005);
  const Deviation t500 = TransmissionAccuracy(500, "500000", "120000000", Dut::Load);
  Report("transmission, 500 points, 0.5-120 MHz, RF IN terminated", t500);
  EXPECT_LT(t500.systematic, 0.005);
}

// A THRU calibrated in a power sweep reads 0 dB at every source power,
// within what the noise and the file's three decimals of its magnitude allow.
TEST(CalibrationAccuracy, ACalibratedThruInAPowerSweepIsFlat) {
  CalRig rig([](InstrumentSettings& s) {
    s.SetText(Setting::SweepType, "Power");
    s.SetText(Setting::Mode, "Transmission");
  });
  rig.sim.SetDut(Dut::Thru);
  ASSERT_TRUE(rig.CalibrateWithKeys(1));
  const SweepProgram program = *rig.sim.Counters().last_program;
  const double noise = ReadingNoise(program.dwell);
  const DetectorModel& detector = rig.sim.Detector();
  double worst = 0;
  for (int i = 0; i < program.points; ++i) {
    const Complex t = detector.DutVolts(Dut::Thru, Stimulus(program, i, program.rx_gain_code)) -
                      detector.DutVolts(Dut::Load, Stimulus(program, i, 0));
    // Two readings and the file's rounding, relative to the THRU's magnitude.
    const double sigma = std::hypot(std::sqrt(2.0) * noise, FileRounding(t)) / std::abs(t);
    const double db = 20 * std::log10(rig.analyser->Display().TransMag()[i]);
    worst = std::max(worst, std::abs(db));
    EXPECT_LE(std::abs(db), 20 * std::log10(1 + kSigmas * sigma)) << "point " << i;
  }
  std::printf("power sweep of a calibrated THRU: largest gain %.4f dB\n", worst);
}

}  // namespace
}  // namespace ostra
