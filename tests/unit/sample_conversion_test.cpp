#include "sweep/sample_conversion.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "base/errors.h"
#include "sweep/sweep_programming.h"

namespace ostra {
namespace {

constexpr double kPi = 3.141592653589793;

TEST(SampleVolts, TwelveBitReadings) {
  EXPECT_DOUBLE_EQ(SampleVolts(0x07, 0xFF), 2.498779296875);
  EXPECT_DOUBLE_EQ(SampleVolts(0x08, 0x00), -2.5);
  EXPECT_DOUBLE_EQ(SampleVolts(0xF8, 0x00), -2.5);
  EXPECT_DOUBLE_EQ(SampleVolts(0x00, 0x01), 0.001220703125);
  EXPECT_DOUBLE_EQ(SampleVolts(0x10, 0x00), 5.0);   // bit 11 clear: taken as received
  EXPECT_DOUBLE_EQ(SampleVolts(0x38, 0x00), -2.5);  // bits 12..15 forced to 1
}

// An acquisition of `sweeps` sweeps whose every sample of sweep k, point i
// holds the readings fn(k, i).
template <typename Fn>
std::vector<uint8_t> Acquisition(int sweeps, int points, int dwell, Fn fn) {
  std::vector<uint8_t> bytes(static_cast<size_t>(sweeps * points * dwell * 4));
  for (int k = 0; k < sweeps; ++k) {
    for (int i = 0; i < points; ++i) {
      const auto [ri, rq] = fn(k, i);
      for (int h = 0; h < dwell; ++h) {
        uint8_t* p = &bytes[static_cast<size_t>(((k * points + i) * dwell + h) * 4)];
        p[0] = static_cast<uint8_t>(ri >> 8);
        p[1] = static_cast<uint8_t>(ri);
        p[2] = static_cast<uint8_t>(rq >> 8);
        p[3] = static_cast<uint8_t>(rq);
      }
    }
  }
  return bytes;
}

TEST(SampleConverter, Dwell8PointToMagnitudeAndPhase) {
  InstrumentSettings settings;
  SampleConverter c(settings);
  c.BeginRun("normal");
  const auto acq = Acquisition(3, 201, 8, [](int, int) { return std::pair{0x0010, 0xFFF0}; });
  c.AveragePointSamples(acq.data(), 0, 201, 8);
  ASSERT_EQ(c.PointI.size(), 201u);
  EXPECT_DOUBLE_EQ(c.PointI[5], 0.01953125);
  EXPECT_DOUBLE_EQ(c.PointQ[5], -0.01953125);
  c.BeginSweep();
  const ConvertedPoint p = c.ConvertPoint(5);
  EXPECT_NEAR(p.m, 0.027621, 1e-6);
  EXPECT_DOUBLE_EQ(p.phi, -kPi / 4);
  EXPECT_EQ(c.SaturationCount, 0);
}

TEST(SampleConverter, PicksSweepAndPointFromTheStreamAndAveragesDwell) {
  InstrumentSettings settings;
  SampleConverter c(settings);
  // Readings encode sweep and point; the dwell samples of a point differ.
  std::vector<uint8_t> acq(3 * 4 * 2 * 4);
  for (int k = 0; k < 3; ++k) {
    for (int i = 0; i < 4; ++i) {
      for (int h = 0; h < 2; ++h) {
        uint8_t* p = &acq[static_cast<size_t>(((k * 4 + i) * 2 + h) * 4)];
        p[1] = static_cast<uint8_t>(k * 16 + i * 2 + h);  // I counts
        p[3] = static_cast<uint8_t>(100 + h * 2);         // Q counts 100, 102
      }
    }
  }
  c.AveragePointSamples(acq.data(), 2, 4, 2, acq.size());
  EXPECT_DOUBLE_EQ(c.PointI[3], (32 + 6 + 0.5) * 5 / 4096);
  EXPECT_DOUBLE_EQ(c.PointQ[3], 101.0 * 5 / 4096);

  // A buffer that ends early is never read past its end.
  c.AveragePointSamples(acq.data(), 2, 4, 2, acq.size() - 4);
  EXPECT_DOUBLE_EQ(c.PointI[3], 38.0 * 5 / 4096 / 2);  // one of two samples there
  c.AveragePointSamples(acq.data(), 5, 4, 2, acq.size());
  EXPECT_DOUBLE_EQ(c.PointI[0], 0.0);
  c.AveragePointSamples(acq.data(), 0, 4, 0, acq.size());
  EXPECT_DOUBLE_EQ(c.PointI[0], 0.0);
}

// The mean of a point's readings is exactly the mean of their volts, one by
// one, whatever the readings: full scale either way, a word with stray high
// bits, noise around zero; twelve-bit words alone, an odd and a long dwell.
void ExpectMeanOfReadingsVolts(const std::vector<std::pair<int, int>>& words) {
  InstrumentSettings settings;
  SampleConverter c(settings);
  const int dwell = static_cast<int>(words.size());
  std::vector<uint8_t> acq;
  double sum_i = 0.0;
  double sum_q = 0.0;
  for (const auto& [wi, wq] : words) {
    for (int w : {wi, wq}) {
      acq.push_back(static_cast<uint8_t>(w >> 8));
      acq.push_back(static_cast<uint8_t>(w));
    }
    sum_i += SampleVolts(static_cast<uint8_t>(wi >> 8), static_cast<uint8_t>(wi));
    sum_q += SampleVolts(static_cast<uint8_t>(wq >> 8), static_cast<uint8_t>(wq));
  }
  c.AveragePointSamples(acq.data(), 0, 1, dwell, acq.size());
  EXPECT_EQ(c.PointI[0], sum_i / dwell) << dwell << " readings";
  EXPECT_EQ(c.PointQ[0], sum_q / dwell) << dwell << " readings";
}

TEST(SampleConverter, PointMeanIsExactlyTheMeanOfTheReadingsVolts) {
  const std::vector<std::pair<int, int>> words = {
      {0x07FF, 0x0800}, {0x1000, 0xF801}, {0x0001, 0x0FFF}, {0x3800, 0x0003},
      {0x07FF, 0x07FE}, {0x0FFE, 0x0002}, {0x0000, 0x0800}};
  ExpectMeanOfReadingsVolts(words);
  std::vector<std::pair<int, int>> twelve_bits;
  for (const auto& [wi, wq] : words) twelve_bits.emplace_back(wi & 0x0FFF, wq & 0x0FFF);
  ExpectMeanOfReadingsVolts(twelve_bits);
  std::vector<std::pair<int, int>> long_dwell;
  for (int h = 0; h < 301; ++h) long_dwell.emplace_back(h % 2 ? 0x0FFF : 0x07FF, 0x0800);
  ExpectMeanOfReadingsVolts(long_dwell);
}

TEST(SampleConverter, AxisOfTheThreeSweepTypes) {
  InstrumentSettings settings;
  SampleConverter c(settings);
  c.BeginRun("normal");
  EXPECT_EQ(c.Run().axis_step, 150000);
  EXPECT_DOUBLE_EQ(c.AxisValue(0), 20.0);
  EXPECT_DOUBLE_EQ(c.AxisValue(200), 50.0);
  EXPECT_EQ(c.Run().points, 201);
  EXPECT_EQ(c.Run().dwell, 8);
  EXPECT_EQ(c.Run().mode, "Reflection");

  settings.SetText(Setting::SweepType, "Phase");
  c.BeginRun("normal");
  EXPECT_EQ(c.Run().axis_step, 2);  // 360 / 200 = 1.8
  EXPECT_DOUBLE_EQ(c.AxisValue(200), 400.0);

  settings.SetText(Setting::SweepType, "Power");
  c.BeginRun("normal");
  EXPECT_EQ(c.Run().axis_start, 32);
  EXPECT_EQ(c.Run().axis_step, 5);  // 985 / 200 = 4.925
  EXPECT_DOUBLE_EQ(c.AxisValue(0), DbmFromPowerWord(32));
  EXPECT_DOUBLE_EQ(c.AxisValue(200), DbmFromPowerWord(1032));

  // One point has no span to divide: the axis stays at the start.
  settings.SetText(Setting::SweepType, "Frequency");
  settings.SetText(Setting::Points, "1");
  c.BeginRun("normal");
  EXPECT_EQ(c.Run().axis_step, 0);
  EXPECT_DOUBLE_EQ(c.AxisValue(0), 20.0);

  settings.SetText(Setting::StopFreq, "x");
  EXPECT_THROW(c.BeginRun("normal"), ConversionError);
}

TEST(SampleConverter, DcOffsetsAreRemovedAfterTheRawValuesAreKept) {
  InstrumentSettings settings;
  SampleConverter c(settings);
  c.BeginRun("dc_offset_cal");
  c.PointI = {0.5};
  c.PointQ = {0.2};
  c.DcOffsetI = {0.2};
  c.DcOffsetQ = {-0.2};
  const ConvertedPoint p = c.ConvertPoint(0);
  EXPECT_DOUBLE_EQ(p.raw_i, 0.5);
  EXPECT_DOUBLE_EQ(p.raw_q, 0.2);
  EXPECT_NEAR(p.m, 0.5, 1e-15);
  EXPECT_NEAR(p.phi, std::atan2(0.4, 0.3), 1e-15);
}

// Feeds one sweep of constant readings and returns the values shown.
std::vector<double> Sweep(SampleConverter& c, int points, double volts) {
  c.PointI.assign(static_cast<size_t>(points), volts);
  c.PointQ.assign(static_cast<size_t>(points), -volts);
  c.BeginSweep();
  std::vector<double> shown;
  for (int i = 0; i < points; ++i) shown.push_back(c.ConvertPoint(i).raw_i);
  return shown;
}

TEST(SampleConverter, AveragingFactorChangedFrom8To4) {
  InstrumentSettings settings;
  settings.SetChecked(Setting::AveEnable, true);
  SampleConverter c(settings);
  c.SizeHistory(8, 3);
  c.BeginRun("normal");
  for (int s = 0; s < 10; ++s) Sweep(c, 3, 0.01 * s);
  EXPECT_EQ(c.AverageCount, 8);
  // Sweeps 2..9 averaged.
  EXPECT_NEAR(Sweep(c, 3, 0.10)[0], (0.03 + 0.04 + 0.05 + 0.06 + 0.07 + 0.08 + 0.09 + 0.10) / 8,
              1e-15);

  settings.SetText(Setting::Average, "4");
  EXPECT_EQ(Sweep(c, 3, 0.5)[2], 0.5);  // re-created: raw
  EXPECT_EQ(c.HistoryRows(), 4);
  EXPECT_EQ(c.AverageCount, 0);
  EXPECT_EQ(Sweep(c, 3, 0.1)[0], 0.1);
  EXPECT_EQ(Sweep(c, 3, 0.2)[0], 0.2);
  EXPECT_EQ(Sweep(c, 3, 0.3)[0], 0.3);
  EXPECT_NEAR(Sweep(c, 3, 0.4)[1], (0.1 + 0.2 + 0.3 + 0.4) / 4, 1e-15);
  EXPECT_NEAR(Sweep(c, 3, 0.6)[1], (0.2 + 0.3 + 0.4 + 0.6) / 4, 1e-15);
  EXPECT_EQ(c.AverageCount, 4);
  EXPECT_DOUBLE_EQ(c.AverageHistoryI(0, 1), 0.2);  // oldest row first
  EXPECT_DOUBLE_EQ(c.AverageHistoryQ(3, 1), -0.6);

  // The first sweep of a new run does not count: the factor of the previous
  // sweep of the run is 0 then.
  c.SizeHistory(4, 3);
  c.BeginRun("normal");
  Sweep(c, 3, 0.1);
  EXPECT_EQ(c.AverageCount, 0);
  Sweep(c, 3, 0.1);
  EXPECT_EQ(c.AverageCount, 1);
}

TEST(SampleConverter, FactorOneAndAveragingOffAndCaptureRuns) {
  InstrumentSettings settings;
  settings.SetChecked(Setting::AveEnable, true);
  settings.SetText(Setting::Average, "0");  // below 1 is 1
  SampleConverter c(settings);
  c.BeginRun("normal");
  for (double v : {0.1, 0.2, 0.3}) EXPECT_EQ(Sweep(c, 2, v)[0], v);
  EXPECT_EQ(c.HistoryRows(), 1);

  // Off: history and count stay as they are.
  settings.SetText(Setting::Average, "2");
  Sweep(c, 2, 0.4);
  Sweep(c, 2, 0.5);
  Sweep(c, 2, 0.6);
  EXPECT_EQ(c.AverageCount, 2);
  settings.SetChecked(Setting::AveEnable, false);
  EXPECT_EQ(Sweep(c, 2, 0.9)[0], 0.9);
  EXPECT_EQ(c.AverageCount, 2);
  EXPECT_DOUBLE_EQ(c.AverageHistoryI(1, 0), 0.6);

  // Capture runs keep the history going but show every sweep raw.
  settings.SetChecked(Setting::AveEnable, true);
  c.BeginRun("open_cal");
  EXPECT_EQ(Sweep(c, 2, 0.8)[0], 0.8);
  EXPECT_DOUBLE_EQ(c.AverageHistoryI(1, 0), 0.8);
}

TEST(SampleConverter, HistoryIsRecreatedWhenThePointCountChanges) {
  InstrumentSettings settings;
  settings.SetChecked(Setting::AveEnable, true);
  settings.SetText(Setting::Average, "2");
  SampleConverter c(settings);
  c.SizeHistory(2, 3);
  c.BeginRun("normal");
  for (int s = 0; s < 4; ++s) Sweep(c, 3, 0.1);
  EXPECT_EQ(c.AverageCount, 2);
  // Same factor, more points: a new history of the new length, count reset.
  EXPECT_EQ(Sweep(c, 5, 0.3)[4], 0.3);
  EXPECT_EQ(c.HistoryRowLength(), 5);
  EXPECT_EQ(c.AverageCount, 0);

  // Steady state: the arrays are not reallocated.
  const double* point_i = c.PointI.data();
  std::vector<uint8_t> acq(5 * 8 * 4 * 3);
  for (int s = 0; s < 3; ++s) {
    c.AveragePointSamples(acq.data(), 1, 5, 8, acq.size());
    c.BeginSweep();
    for (int i = 0; i < 5; ++i) c.ConvertPoint(i);
  }
  EXPECT_EQ(c.PointI.data(), point_i);
}

TEST(SampleConverter, ANonNumericFactorRaisesOnlyWhenAveragingIsOn) {
  InstrumentSettings settings;
  settings.SetText(Setting::Average, "");
  SampleConverter c(settings);
  c.BeginRun("normal");
  EXPECT_NO_THROW(Sweep(c, 2, 0.1));
  settings.SetChecked(Setting::AveEnable, true);
  EXPECT_THROW(Sweep(c, 2, 0.1), ConversionError);
  settings.SetText(Setting::Average, "3");
  EXPECT_NO_THROW(Sweep(c, 2, 0.1));
  EXPECT_EQ(c.HistoryRows(), 3);
}

TEST(SampleConverter, SaturationIsCountedPerChannelOverTheRun) {
  InstrumentSettings settings;
  SampleConverter c(settings);
  c.BeginRun("normal");
  c.PointI = {2.49, 2.48, -2.48, 0.0};
  c.PointQ = {-2.49, 0.0, -2.481, 2.5};
  for (int i = 0; i < 4; ++i) c.ConvertPoint(i);
  EXPECT_EQ(c.SaturationCount, 4);  // 2 + 0 + 1 + 1
  for (int i = 0; i < 4; ++i) c.ConvertPoint(i);
  EXPECT_EQ(c.SaturationCount, 8);
  c.BeginRun("normal");
  EXPECT_EQ(c.SaturationCount, 0);
}

}  // namespace
}  // namespace ostra
