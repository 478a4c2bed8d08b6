// The simulated instrument's sample stream, decoded here from the bytes (not
// with the simulator's own encoder) and compared with the device under test
// seen through the detector model; its frame checking, timing and faults.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <complex>

#include "device/device_link.h"
#include "sim/simulated_instrument.h"
#include "support/fake_platform.h"

namespace ostra {
namespace {

using Complex = std::complex<double>;
using testing::FakePlatform;

constexpr double kVoltsPerCount = 5.0 / 4096.0;

// One reading of the stream: 12-bit two's complement in a big-endian word.
int Counts(const uint8_t* p) {
  int word = (p[0] << 8) | p[1];
  word &= 0x0FFF;
  return word >= 0x800 ? word - 0x1000 : word;
}

SweepProgram DefaultReflectionSweep() {
  SweepProgram program;
  program.start_word = 0x0A3D70A4;  // 20 MHz
  program.step_word = 0x00139022;   // 149254 Hz
  program.points = 201;
  program.mode = 0;
  program.sweep_count = 3;
  program.sweep_type = 0;
  program.power_word = 405;  // -20 dBm
  program.freq_word = 0x0A3D70A4;
  program.dwell = 8;
  program.rx_gain_code = 13;  // 39 dB
  return program;
}

SweepProgram DefaultTransmissionSweep() {
  SweepProgram program = DefaultReflectionSweep();
  program.mode = 1;
  program.rx_gain_code = 8;  // 24 dB
  return program;
}

double PointHz(const SweepProgram& program, int i) {
  return static_cast<uint32_t>(program.start_word + i * program.step_word) * 500e6 / 4294967296.0;
}

class SimulatorTest : public ::testing::Test {
 protected:
  SimulatorTest() {
    sim.SetRealTime(false);
    sim.SetNoise(0.0);
    link.OpenInstrument();
  }

  uint32_t ExpectedLength(const SweepProgram& p) const {
    return uint32_t{p.points} * p.dwell * p.sweep_count * 4;
  }

  // Programs the sweep, starts it and reads the whole acquisition.
  std::vector<uint8_t> Acquire(const SweepProgram& program) {
    EXPECT_EQ(link.ProgramSweep(program), 1u);
    std::vector<uint8_t> stream(ExpectedLength(program));
    const DeviceLink::SweepReading reading = link.StartSweepAndRead(stream);
    EXPECT_TRUE(reading.written);
    stream.resize(reading.received);
    return stream;
  }

  // Per-point I + jQ of sweep k, averaged over the dwell samples.
  static std::vector<Complex> PointVolts(const std::vector<uint8_t>& stream, const SweepProgram& p,
                                         int k) {
    std::vector<Complex> points(p.points);
    for (int i = 0; i < p.points; ++i) {
      double sum_i = 0, sum_q = 0;
      for (int h = 0; h < p.dwell; ++h) {
        const size_t at = ((size_t{static_cast<size_t>(k)} * p.points + i) * p.dwell + h) * 4;
        sum_i += Counts(&stream.at(at)) * kVoltsPerCount;
        sum_q += Counts(&stream.at(at + 2)) * kVoltsPerCount;
      }
      points[i] = {sum_i / p.dwell, sum_q / p.dwell};
    }
    return points;
  }

  // Sweep 0 of a fresh acquisition of `dut`, DC offsets removed.
  std::vector<Complex> Measure(Dut dut, const SweepProgram& program) {
    sim.SetDut(dut);
    auto volts = PointVolts(Acquire(program), program, 0);
    for (auto& v : volts) v -= Complex(detector.DcOffsetI(), detector.DcOffsetQ());
    return volts;
  }

  SimulatedInstrument sim;
  FakePlatform platform;
  DeviceLink link{sim, platform};
  const DetectorModel& detector = sim.Detector();
};

// --- The stream ---------------------------------------------------------------------

TEST_F(SimulatorTest, StreamIsTheDutThroughTheDetectorErrorTerms) {
  const SweepProgram program = DefaultReflectionSweep();
  const double amplitude =
      DetectorModel::ReflectionScale() * 405.0 / 1024.0 * std::pow(10.0, 39.0 / 20.0);
  for (Dut dut : {Dut::Open, Dut::Short, Dut::Load, Dut::SeriesRlc, Dut::BandPass}) {
    sim.SetDut(dut);
    const auto stream = Acquire(program);
    ASSERT_EQ(stream.size(), 201u * 8 * 3 * 4) << DutName(dut);
    for (int k = 0; k < 3; ++k) {
      const auto volts = PointVolts(stream, program, k);
      for (int i = 0; i < program.points; i += 10) {
        const double hz = PointHz(program, i);
        const Complex gamma = TrueReflection(dut, hz);
        const Complex m = detector.Directivity(hz) + detector.ReflectionTracking(hz) * gamma /
                                                         (1.0 - detector.SourceMatch(hz) * gamma);
        const Complex expected =
            amplitude * m + Complex(detector.DcOffsetI(), detector.DcOffsetQ());
        // Noise off: only the quantisation (half a count) separates them.
        EXPECT_NEAR(volts[i].real(), expected.real(), 0.51 * kVoltsPerCount)
            << DutName(dut) << " point " << i;
        EXPECT_NEAR(volts[i].imag(), expected.imag(), 0.51 * kVoltsPerCount)
            << DutName(dut) << " point " << i;
      }
    }
  }
}

TEST_F(SimulatorTest, DefaultSweepsReadAboutOneVolt) {
  for (Dut dut : {Dut::Open, Dut::Short}) {
    for (const Complex& v : Measure(dut, DefaultReflectionSweep())) {
      EXPECT_GT(std::abs(v), 0.5) << DutName(dut);
      EXPECT_LT(std::abs(v), 1.5) << DutName(dut);
    }
  }
  for (const Complex& v : Measure(Dut::Thru, DefaultTransmissionSweep())) {
    EXPECT_GT(std::abs(v), 0.7);
    EXPECT_LT(std::abs(v), 1.3);
  }
  for (const Complex& v : Measure(Dut::Load, DefaultReflectionSweep())) EXPECT_LT(std::abs(v), 0.2);
}

TEST_F(SimulatorTest, MuchMoreGainOrSignalSaturatesTheConverter) {
  auto saturated_readings = [&](const std::vector<uint8_t>& stream) {
    int count = 0;
    for (size_t at = 0; at + 1 < stream.size(); at += 2) {
      const int c = Counts(&stream[at]);
      if (c == 2047 || c == -2048) ++count;
    }
    return count;
  };
  sim.SetDut(Dut::Thru);
  SweepProgram program = DefaultTransmissionSweep();
  EXPECT_EQ(saturated_readings(Acquire(program)), 0);
  program.rx_gain_code = 13;
  EXPECT_GT(saturated_readings(Acquire(program)), 100);

  sim.SetDut(Dut::Open);
  sim.SetSignalLevel(4.0);
  EXPECT_GT(saturated_readings(Acquire(DefaultReflectionSweep())), 100);
}

TEST_F(SimulatorTest, ReceiverSettingsFollowTheLastCommand) {
  const SweepProgram program = DefaultReflectionSweep();
  const auto at_39_db = Measure(Dut::Open, program);
  // SetRxGain after the program (as the calibration does before its DC
  // offset capture) takes effect; 0 dB is 39 dB less.
  ASSERT_EQ(link.SetRxGain(0), 1u);
  std::vector<uint8_t> stream(ExpectedLength(program));
  const DeviceLink::SweepReading reading = link.StartSweepAndRead(stream);
  ASSERT_TRUE(reading.written);
  ASSERT_EQ(reading.received, ExpectedLength(program));
  auto at_0_db = PointVolts(stream, program, 0);
  const Complex dc(detector.DcOffsetI(), detector.DcOffsetQ());
  EXPECT_NEAR(std::abs(at_0_db[100] - dc), std::abs(at_39_db[100]) / std::pow(10.0, 39.0 / 20.0),
              2 * kVoltsPerCount);
  EXPECT_EQ(sim.Counters().rx_gain_code, 0);
}

TEST_F(SimulatorTest, PhaseAndPowerSweepsRotateAndScaleTheSignal) {
  sim.SetDut(Dut::Thru);
  SweepProgram phase = DefaultTransmissionSweep();
  phase.sweep_type = 1;
  phase.points = 4;
  phase.start_word = 0;
  phase.step_word = 4096;  // 90 degrees
  phase.freq_word = 0x0A3D70A4;
  const auto rotated = Measure(Dut::Thru, phase);
  for (int i = 0; i + 1 < 4; ++i) {
    const Complex quarter_turn = rotated[i] * Complex(0, 1);
    EXPECT_NEAR(rotated[i + 1].real(), quarter_turn.real(), 0.002);
    EXPECT_NEAR(rotated[i + 1].imag(), quarter_turn.imag(), 0.002);
  }

  SweepProgram power = DefaultTransmissionSweep();
  power.sweep_type = 2;
  power.points = 3;
  power.start_word = 200;
  power.step_word = 200;
  power.power_word = 0;
  const auto scaled = Measure(Dut::Thru, power);
  EXPECT_NEAR(std::abs(scaled[1]) / std::abs(scaled[0]), 2.0, 0.01);
  EXPECT_NEAR(std::abs(scaled[2]) / std::abs(scaled[0]), 3.0, 0.01);
  EXPECT_NEAR(std::arg(scaled[2] / scaled[0]), 0.0, 0.01);
}

// One-port correction as the program applies it, from captured standards.
Complex Correct(Complex m, Complex o, Complex s, Complex l) {
  const Complex a = o - l, b = s - l;
  const Complex e11 = (a + b) / (a - b);
  const Complex e01 = -2.0 * a * b / (a - b);
  return (m - l) / (e01 - l * e11 + e11 * m);
}

TEST_F(SimulatorTest, OpenShortLoadCalibrationRecoversTheTrueReflection) {
  sim.SetNoise(SimulatedInstrument::kDefaultNoiseVolts);
  const SweepProgram program = DefaultReflectionSweep();
  const auto load = Measure(Dut::Load, program);
  const auto open = Measure(Dut::Open, program);
  const auto shorted = Measure(Dut::Short, program);
  for (Dut dut : {Dut::SeriesRlc, Dut::BandPass}) {
    const auto measured = Measure(dut, program);
    double worst = 0;
    for (int i = 0; i < program.points; ++i) {
      const Complex gamma = Correct(measured[i], open[i], shorted[i], load[i]);
      worst = std::max(worst, std::abs(gamma - TrueReflection(dut, PointHz(program, i))));
    }
    EXPECT_LT(worst, 0.01) << DutName(dut);
  }
  // The RLC's structure lies inside the default sweep: its resonance pulls
  // |Γ| down to (50 - 10) / 60 at 35 MHz.
  EXPECT_NEAR(std::abs(TrueReflection(Dut::SeriesRlc, 35e6)), 40.0 / 60.0, 1e-9);
  EXPECT_GT(std::abs(TrueReflection(Dut::SeriesRlc, 20e6)), 0.9);
}

TEST_F(SimulatorTest, ThruNormalisedTransmissionRecoversTheFilter) {
  sim.SetNoise(SimulatedInstrument::kDefaultNoiseVolts);
  SweepProgram program = DefaultTransmissionSweep();
  program.start_word = 0x0083126F;  // 1 MHz
  program.step_word = 0x00418937;   // 0.5 MHz: 1 .. 100.5 MHz
  const auto thru = Measure(Dut::Thru, program);
  const auto filter = Measure(Dut::BandPass, program);
  double worst = 0;
  for (int i = 0; i < program.points; ++i) {
    worst = std::max(worst, std::abs(filter[i] / thru[i] -
                                     TrueTransmission(Dut::BandPass, PointHz(program, i))));
  }
  EXPECT_LT(worst, 0.01);
  // A pass band near 35 MHz, stop bands at both ends.
  EXPECT_GT(std::abs(TrueTransmission(Dut::BandPass, 35e6)), 0.9);
  EXPECT_LT(std::abs(TrueTransmission(Dut::BandPass, 5e6)), 0.05);
  EXPECT_LT(std::abs(TrueTransmission(Dut::BandPass, 110e6)), 0.05);
}

TEST_F(SimulatorTest, NoiseIsSeededAndOfTheSetSize) {
  const SweepProgram program = DefaultReflectionSweep();
  sim.SetDut(Dut::Open);
  sim.SetNoise(0.01);
  sim.SetSeed(7);
  const auto first = Acquire(program);
  sim.SetSeed(7);
  EXPECT_EQ(Acquire(program), first);
  EXPECT_NE(Acquire(program), first);

  // Spread of the readings of one point about their mean.
  const int dwell = 200;
  SweepProgram one_point = program;
  one_point.points = 1;
  one_point.dwell = dwell;
  const auto stream = Acquire(one_point);
  double sum = 0, sum2 = 0;
  for (int h = 0; h < dwell * 3; ++h) {
    const double v = Counts(&stream[h * 4]) * kVoltsPerCount;
    sum += v;
    sum2 += v * v;
  }
  const double n = dwell * 3;
  const double rms = std::sqrt(sum2 / n - (sum / n) * (sum / n));
  EXPECT_NEAR(rms, 0.01, 0.002);
}

TEST_F(SimulatorTest, NothingIsStreamedWithoutPointsOrDwell) {
  SweepProgram program = DefaultReflectionSweep();
  program.dwell = 0;
  EXPECT_TRUE(Acquire(program).empty());
  program.dwell = 8;
  program.points = 0;
  EXPECT_TRUE(Acquire(program).empty());
}

// --- Timing -------------------------------------------------------------------------

TEST_F(SimulatorTest, RealTimeReadWaitsForTheAcquisition) {
  sim.SetRealTime(true);
  SweepProgram program = DefaultReflectionSweep();
  program.points = 20;  // 20 x 3 x (8 x 5 + 46) us = 5.2 ms
  const auto stream = Acquire(program);
  EXPECT_EQ(stream.size(), ExpectedLength(program));
  EXPECT_EQ(SimulatedInstrument::AcquisitionTime(program), std::chrono::microseconds(5160));

  // Asking for more than comes: what there is, once the read time-out passes.
  link.SetTimeouts(30, 600);
  std::vector<uint8_t> longer(ExpectedLength(program) + 4);
  EXPECT_EQ(link.StartSweepAndRead(longer).received, ExpectedLength(program));
}

TEST_F(SimulatorTest, InstantReadWithNothingPendingReturnsAtOnce) {
  FT_HANDLE handle = nullptr;
  SimulatedInstrument other;
  other.SetRealTime(false);
  char serial[] = "OS000417";
  ASSERT_EQ(other.FT_OpenEx(serial, FT_OPEN_BY_SERIAL_NUMBER, &handle), FT_OK);
  ASSERT_EQ(other.FT_SetTimeouts(handle, 60000, 600), FT_OK);
  uint8_t buffer[16];
  DWORD got = 99;
  EXPECT_EQ(other.FT_Read(handle, buffer, sizeof buffer, &got), FT_OK);
  EXPECT_EQ(got, 0u);
}

// --- Frames -------------------------------------------------------------------------

class RawFrameTest : public ::testing::Test {
 protected:
  RawFrameTest() {
    sim.SetRealTime(false);
    char serial[] = "OS000417";
    EXPECT_EQ(sim.FT_OpenEx(serial, FT_OPEN_BY_SERIAL_NUMBER, &handle), FT_OK);
  }
  std::vector<uint8_t> Send(std::array<uint8_t, kFrameSize> block) {
    DWORD written = 0;
    EXPECT_EQ(sim.FT_Write(handle, block.data(), kFrameSize, &written), FT_OK);
    EXPECT_EQ(written, static_cast<DWORD>(kFrameSize));
    std::vector<uint8_t> reply(20000);
    DWORD got = 0;
    EXPECT_EQ(sim.FT_Read(handle, reply.data(), static_cast<DWORD>(reply.size()), &got), FT_OK);
    reply.resize(got);
    return reply;
  }
  static std::array<uint8_t, kFrameSize> Block(std::initializer_list<uint8_t> head) {
    std::array<uint8_t, kFrameSize> block{};
    std::copy(head.begin(), head.end(), block.begin());
    return block;
  }
  SimulatedInstrument sim;
  FT_HANDLE handle = nullptr;
};

TEST_F(RawFrameTest, ChecksumAndLengthAreCheckedByteForByte) {
  EXPECT_EQ(Send(Block({0x02, 0x0E, 0x01, 0x0D})), std::vector<uint8_t>{0x55});
  EXPECT_EQ(Send(Block({0x02, 0x0E, 0x01, 0x0C})), std::vector<uint8_t>{0xAA});        // checksum
  EXPECT_EQ(Send(Block({0x03, 0x0E, 0x01, 0x00, 0x0C})), std::vector<uint8_t>{0xAB});  // L
  EXPECT_EQ(Send(Block({0x01, 0x33, 0x32})), std::vector<uint8_t>{0xAB});        // unknown opcode
  EXPECT_EQ(Send(Block({0x00, 0x00})), std::vector<uint8_t>{0xAB});              // no opcode
  EXPECT_EQ(Send(Block({0x31, 0x00})), std::vector<uint8_t>{0xAB});              // L past the block
  EXPECT_EQ(Send(Block({0x02, 0x05, 0x02, 0x05})), std::vector<uint8_t>{0xAB});  // start 02
  EXPECT_EQ(Send(Block({0x05, 0x11, 0x03, 0x00, 0x00, 0x12, 0x05})),             // odd L write
            std::vector<uint8_t>{0xAB});
  EXPECT_EQ(Send(Block({0x01, 0x16, 0x17})).size(), 256u);
  EXPECT_EQ(Send(Block({0x02, 0x12, 0x03, 0x13})).size(), 16384u);
  EXPECT_EQ(Send(Block({0x02, 0x10, 0x09, 0x1B})), (std::vector<uint8_t>{0x55, 20}));  // no sector
  const SimulatorCounters c = sim.Counters();
  EXPECT_EQ(c.checksum_errors, 1u);
  EXPECT_EQ(c.unexpected_frames, 6u);
  EXPECT_EQ(c.frames_received, 11u);
}

TEST_F(RawFrameTest, DriverErrorsAndDisconnection) {
  uint8_t buffer[4];
  DWORD n = 0;
  auto block = Block({0x02, 0x0E, 0x01, 0x0D});
  sim.InjectReadError(2);
  EXPECT_EQ(sim.FT_Read(handle, buffer, 4, &n), FT_IO_ERROR);
  EXPECT_EQ(sim.FT_Read(handle, buffer, 4, &n), FT_IO_ERROR);
  EXPECT_EQ(sim.FT_Read(handle, buffer, 4, &n), FT_OK);
  sim.InjectWriteError(1);
  EXPECT_EQ(sim.FT_Write(handle, block.data(), kFrameSize, &n), FT_IO_ERROR);
  EXPECT_EQ(n, 0u);
  EXPECT_EQ(Send(block), std::vector<uint8_t>{0x55});

  sim.SetDisconnected(true);
  EXPECT_EQ(sim.FT_Write(handle, block.data(), kFrameSize, &n), FT_IO_ERROR);
  EXPECT_EQ(sim.FT_Read(handle, buffer, 4, &n), FT_IO_ERROR);
  sim.SetDisconnected(false);
  EXPECT_EQ(Send(block), std::vector<uint8_t>{0x55});
}

TEST_F(RawFrameTest, HandlesAndDevices) {
  FT_HANDLE second = nullptr;
  char serial[] = "OS000417";
  EXPECT_EQ(sim.FT_OpenEx(serial, FT_OPEN_BY_SERIAL_NUMBER, &second), FT_DEVICE_NOT_OPENED);
  int not_a_handle = 0;
  EXPECT_EQ(sim.FT_Close(&not_a_handle), FT_INVALID_HANDLE);
  EXPECT_EQ(sim.FT_Close(handle), FT_OK);
  EXPECT_EQ(sim.FT_Purge(handle, FT_PURGE_RX), FT_INVALID_HANDLE);

  // Another FTDI device takes frames and never answers.
  sim.SetDeviceList({{"USB Serial Converter", "FT0001"}, {"VECTOR", serial}});
  DWORD count = 0;
  EXPECT_EQ(sim.FT_ListDevices(&count, nullptr, FT_LIST_NUMBER_ONLY), FT_OK);
  EXPECT_EQ(count, 2u);
  char text[64];
  EXPECT_EQ(sim.FT_ListDevices(reinterpret_cast<void*>(uintptr_t{1}), text,
                               FT_LIST_BY_INDEX | FT_OPEN_BY_DESCRIPTION),
            FT_OK);
  EXPECT_STREQ(text, "VECTOR");
  EXPECT_EQ(sim.FT_ListDevices(reinterpret_cast<void*>(uintptr_t{2}), text,
                               FT_LIST_BY_INDEX | FT_OPEN_BY_SERIAL_NUMBER),
            FT_DEVICE_NOT_FOUND);
  char other[] = "FT0001";
  ASSERT_EQ(sim.FT_OpenEx(other, FT_OPEN_BY_SERIAL_NUMBER, &handle), FT_OK);
  EXPECT_TRUE(Send(Block({0x02, 0x0E, 0x01, 0x0D})).empty());
  EXPECT_EQ(sim.Counters().frames_received, 0u);
  EXPECT_EQ(sim.FT_Close(handle), FT_OK);

  sim.SetNoDevice(true);
  EXPECT_EQ(sim.FT_ListDevices(&count, nullptr, FT_LIST_NUMBER_ONLY), FT_OK);
  EXPECT_EQ(count, 0u);
  EXPECT_EQ(sim.FT_OpenEx(serial, FT_OPEN_BY_SERIAL_NUMBER, &handle), FT_DEVICE_NOT_FOUND);
}

TEST_F(SimulatorTest, ShortReadsLoseBytesForTheChosenAcquisitions) {
  const SweepProgram program = DefaultReflectionSweep();
  sim.InjectShortRead(1, 2);
  EXPECT_EQ(Acquire(program).size(), ExpectedLength(program) - 1);
  EXPECT_EQ(Acquire(program).size(), ExpectedLength(program) - 1);
  EXPECT_EQ(Acquire(program).size(), ExpectedLength(program));
}

TEST(DutNames, ParseAndName) {
  for (Dut dut : {Dut::Open, Dut::Short, Dut::Load, Dut::Thru, Dut::SeriesRlc, Dut::BandPass}) {
    EXPECT_EQ(ParseDut(DutName(dut)), dut);
  }
  EXPECT_EQ(ParseDut("SHORT"), Dut::Short);
  EXPECT_EQ(ParseDut("Band-Pass"), Dut::BandPass);
  EXPECT_EQ(ParseDut("series-rlc"), Dut::SeriesRlc);
  EXPECT_EQ(ParseDut("capacitor"), std::nullopt);
}

}  // namespace
}  // namespace ostra
