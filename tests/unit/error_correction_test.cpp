#include "cal/error_correction.h"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <random>
#include <vector>

#include "sweep/sweep_programming.h"

namespace ostra {
namespace {

using Complex = std::complex<double>;
constexpr double kPi = 3.141592653589793;

// A detector with frequency-dependent error terms: directivity e00, source
// match e11 and tracking e01, as the reflection bridge has them.
struct Detector {
  Complex e00(double f) const { return std::polar(0.04, 0.3 + f * 1e-8); }
  Complex e11(double f) const { return std::polar(0.12, -0.7 + f * 2e-8); }
  Complex e01(double f) const { return std::polar(0.8, -2 * kPi * f * 4e-9); }
  Complex Measure(double f, Complex gamma) const {
    return e00(f) + e01(f) * gamma / (1.0 - e11(f) * gamma);
  }
};

void Store(CalTable& table, int i, double stimulus, Complex value) {
  (*table.stimulus)[i] = stimulus;
  table.magnitude[i] = std::abs(value);
  table.phase[i] = std::arg(value);
}

// OPEN, SHORT and LOAD captured with the default sweep, 20 to 50 MHz, 201 points.
void Calibrate(CalibrationStore& store, const Detector& d) {
  for (int i = 0; i < 201; ++i) {
    const double f = 20000000.0 + i * 150000.0;
    Store(store.Open, i, f, d.Measure(f, 1.0));
    Store(store.Short, i, f, d.Measure(f, -1.0));
    Store(store.Load, i, f, d.Measure(f, 0.0));
  }
}

Complex Reflect(const CalibrationStore& store, int i, double x_mhz, Complex measured,
                bool& doubtful) {
  const auto r = CorrectPoint(store, SweepKind::Frequency, ModeKind::Reflection, i, 201, x_mhz,
                              std::abs(measured), std::arg(measured), doubtful);
  EXPECT_TRUE(r.has_value());
  EXPECT_TRUE(r->reflection);
  return r->gamma;
}

TEST(CorrectReflection, IdealStandardsReturnTheMeasurement) {
  for (Complex m : {Complex(0.3, -0.2), Complex(-0.9, 0.1), Complex(0, 0)}) {
    const Complex g = CorrectReflection(m, 1.0, -1.0, 0.0);
    EXPECT_NEAR(std::abs(g - m), 0.0, 2e-6);
  }
}

TEST(CorrectPoint, TablesCapturedAtTheSweepRecoverTheStandards) {
  CalibrationStore store;
  const Detector d;
  Calibrate(store, d);
  bool doubtful = false;
  for (int i : {0, 77, 200}) {
    const double f = 20000000.0 + i * 150000.0;
    const double x = f / 1e6;
    EXPECT_NEAR(std::abs(Reflect(store, i, x, d.Measure(f, 1.0), doubtful) - 1.0), 0, 1e-4);
    EXPECT_NEAR(std::abs(Reflect(store, i, x, d.Measure(f, -1.0), doubtful) + 1.0), 0, 1e-4);
    EXPECT_NEAR(std::abs(Reflect(store, i, x, d.Measure(f, 0.0), doubtful)), 0, 1e-4);
    const Complex dut(0.25, -0.4);
    EXPECT_NEAR(std::abs(Reflect(store, i, x, d.Measure(f, dut), doubtful) - dut), 0, 1e-4);
  }
  EXPECT_FALSE(doubtful);
}

TEST(CorrectPoint, AChangedStopFrequencyIsDoubtfulAndInterpolates) {
  CalibrationStore store;
  // Standards whose magnitude and phase are straight lines in frequency, so
  // interpolation between entries is exact.
  for (int i = 0; i < 201; ++i) {
    const double f = 20000000.0 + i * 150000.0;
    store.Open.stimulus->at(i) = f;
    store.Open.magnitude[i] = 0.9 - f * 1e-9;
    store.Open.phase[i] = 0.2 + f * 1e-8;
    store.Short.magnitude[i] = 0.85;
    store.Short.phase[i] = -2.5 + f * 1e-8;
    store.Load.magnitude[i] = 0.03;
    store.Load.phase[i] = 1.0;
  }
  // The sweep now ends at 60 MHz: point 100 lies at 40 MHz, between entries.
  const double f = 40000000.0;
  bool doubtful = false;
  const Complex open_there = std::polar(0.9 - f * 1e-9, 0.2 + f * 1e-8);
  EXPECT_NEAR(std::abs(Reflect(store, 100, 40.0, open_there, doubtful) - 1.0), 0, 1e-4);
  EXPECT_TRUE(doubtful);

  const auto below = InterpolateOslTables(store, 201, 1000000);
  EXPECT_EQ(below[0], store.Open.magnitude[0]);
  EXPECT_EQ(below[3], store.Short.phase[0]);
  const auto above = InterpolateOslTables(store, 201, 60000000);
  EXPECT_NEAR(above[1], 0.2 + 0.6, 1e-12);  // straight-line extension
  const auto at_entry = InterpolateOslTables(store, 201, 20150000);
  EXPECT_NEAR(at_entry[0], store.Open.magnitude[1], 1e-15);
  // Only the entries of the current point count are scanned.
  const auto short_scan = InterpolateOslTables(store, 2, 40000000);
  EXPECT_NEAR(short_scan[1], 0.2 + 0.4, 1e-12);
  EXPECT_EQ(InterpolateOslTables(store, 1, 40000000)[1], store.Open.phase[0]);
}

// A measured SHORT sits near +-pi: neighbouring entries can read -3.128 and
// 3.139. A point between them lies near pi, not near 0.
TEST(InterpolateOslTables, PhaseGoesTheShortWayRoundTheCircle) {
  CalibrationStore store;
  (*store.Open.stimulus)[0] = 10000000.0;
  (*store.Open.stimulus)[1] = 12000000.0;
  store.Short.magnitude[0] = 0.8;
  store.Short.magnitude[1] = 0.8;
  store.Short.phase[0] = -3.128;
  store.Short.phase[1] = 3.139;
  store.Open.phase[0] = 0.5;  // a step of less than pi is a plain straight line
  store.Open.phase[1] = 3.5;
  const auto half = InterpolateOslTables(store, 2, 11000000);
  const double step = 3.139 - (-3.128) - 2 * kPi;  // -0.0162 the short way
  EXPECT_NEAR(half[3], -3.128 + step / 2, 1e-12);
  EXPECT_NEAR(std::cos(half[3]), -1.0, 1e-3);
  EXPECT_DOUBLE_EQ(half[1], 2.0);
  // The entries themselves are returned unchanged.
  EXPECT_EQ(InterpolateOslTables(store, 2, 10000000)[3], -3.128);
  // Extended beyond the last entry the same way.
  EXPECT_NEAR(InterpolateOslTables(store, 2, 14000000)[3], -3.128 + 2 * step, 1e-12);

  // A true short between the entries of a calibration whose SHORT phase
  // crosses pi: |G| = 1, not the 0.74 of a phase interpolated through 0.
  const Detector d;
  for (int i = 0; i < 2; ++i) {
    const double f = 10000000.0 + i * 2000000.0;
    Store(store.Open, i, f, d.Measure(f, 1.0));
    Store(store.Load, i, f, d.Measure(f, 0.0));
    store.Short.magnitude[i] = std::abs(d.Measure(f, -1.0));
    store.Short.phase[i] = i == 0 ? -3.128 : 3.139;  // the bridge's short, near pi
  }
  const Complex s0 = std::polar(store.Short.magnitude[0], -3.128);
  const Complex s1 = std::polar(store.Short.magnitude[1], 3.139);
  const Complex short_between = (s0 + s1) / 2.0;
  bool doubtful = false;
  const auto r = CorrectPoint(store, SweepKind::Frequency, ModeKind::Reflection, 0, 2, 11.0,
                              std::abs(short_between), std::arg(short_between), doubtful);
  ASSERT_TRUE(r.has_value());
  EXPECT_NEAR(std::abs(r->gamma), 1.0, 0.01);
  EXPECT_NEAR(std::abs(r->gamma + 1.0), 0.0, 0.02);
}

// The scan that a cursor carries across a sweep finds what a scan from
// entry 0 finds, for rising, falling and repeated frequencies and for
// tables that rise, repeat or fall.
TEST(InterpolateOslTables, ACursorGivesWhatAFullScanGives) {
  std::mt19937 rng(11);
  std::uniform_real_distribution<double> value(-4.0, 4.0);
  for (int table = 0; table < 4; ++table) {
    CalibrationStore store;
    for (size_t e = 0; e < 60; ++e) {
      double f = 1e6 + 1e5 * static_cast<double>(e);
      if (table == 1) f = 1e6 + 1e5 * static_cast<double>(e / 3);  // repeats
      if (table == 2) f = (e % 7 == 3) ? 5e5 : f;                  // dips
      if (table == 3) f = 0.0;                                     // start-up zeros
      (*store.Open.stimulus)[e] = f;
      for (CalTable* t : {&store.Open, &store.Short, &store.Load}) {
        t->magnitude[e] = value(rng);
        t->phase[e] = value(rng);
      }
    }
    std::vector<int64_t> sweep;
    for (int i = 0; i < 80; ++i) sweep.push_back(900000 + 75000 * i);  // rising, past the end
    sweep.push_back(1200000);                                          // falls back
    sweep.push_back(1200000);                                          // repeats
    sweep.push_back(-5);
    sweep.push_back(7000000);
    OslCursor cursor;
    for (int64_t f : sweep) {
      EXPECT_EQ(InterpolateOslTables(store, 60, f, &cursor), InterpolateOslTables(store, 60, f))
          << "table " << table << " at " << f;
    }
  }
}

// The terms made when the tables are loaded give exactly the result of
// working them out at every point.
TEST(CorrectPoint, PreparedTermsGiveTheSameResultAsTermsWorkedOutPerPoint) {
  const Detector d;
  CalibrationStore fresh;  // columns written after the terms were made: worked out
  Calibrate(fresh, d);
  fresh.Short.magnitude[7] = fresh.Open.magnitude[7];  // a coinciding pair, nudged
  fresh.Short.phase[7] = fresh.Open.phase[7];
  CalibrationStore prepared;
  Calibrate(prepared, d);
  prepared.Short.magnitude[7] = prepared.Open.magnitude[7];
  prepared.Short.phase[7] = prepared.Open.phase[7];
  prepared.PrepareReflectionTerms();
  ASSERT_NE(prepared.PreparedReflectionTerms(7), nullptr);
  ASSERT_EQ(fresh.PreparedReflectionTerms(7), nullptr);

  for (double step : {0.15, 0.16}) {  // on the entries, and between them
    OslCursor cursor;
    for (int i = 0; i < 201; ++i) {
      const double x = 20.0 + i * step;
      const Complex m = d.Measure(x * 1e6, Complex(0.2, 0.3));
      bool doubtful_a = false;
      bool doubtful_b = false;
      const auto a = CorrectPoint(fresh, SweepKind::Frequency, ModeKind::Reflection, i, 201, x,
                                  std::abs(m), std::arg(m), doubtful_a);
      const auto b = CorrectPoint(prepared, SweepKind::Frequency, ModeKind::Reflection, i, 201, x,
                                  std::abs(m), std::arg(m), doubtful_b, &cursor);
      ASSERT_EQ(a->gamma, b->gamma) << "point " << i;
      EXPECT_EQ(doubtful_a, doubtful_b);
    }
  }
}

TEST(CorrectPoint, StartupTablesNeverGiveNaN) {
  CalibrationStore store;  // every stimulus 0
  const auto v = InterpolateOslTables(store, 201, 20000000);
  for (double value : v) EXPECT_TRUE(std::isfinite(value));
  EXPECT_EQ(v[0], 1.5);
  EXPECT_EQ(v[4], 1e-5);
  bool doubtful = false;
  for (int i : {0, 100, 200}) {
    const Complex g = Reflect(store, i, 20.0 + i * 0.15, Complex(0.2, 0.1), doubtful);
    EXPECT_TRUE(std::isfinite(g.real()) && std::isfinite(g.imag()));
  }
  EXPECT_TRUE(doubtful);
}

TEST(CorrectPoint, CoincidingStandardsAreNudgedInOrder) {
  const Complex m(0.3, 0.1);
  auto correct = [&](double open, double short_, double load, bool& doubtful) {
    CalibrationStore store;
    store.Open.magnitude.fill(open);
    store.Short.magnitude.fill(short_);
    store.Load.magnitude.fill(load);
    store.Short.phase.fill(0.0);
    return Reflect(store, 0, 0.0, m, doubtful);
  };
  bool doubtful = false;
  EXPECT_LT(std::abs(correct(0.5, 0.5, 0.1, doubtful) - CorrectReflection(m, 0.51, 0.5, 0.1)),
            1e-12);
  EXPECT_TRUE(doubtful);
  doubtful = false;
  EXPECT_LT(std::abs(correct(0.5, -0.5, 0.5, doubtful) - CorrectReflection(m, 0.51, -0.5, 0.5)),
            1e-12);
  EXPECT_TRUE(doubtful);
  doubtful = false;
  EXPECT_LT(std::abs(correct(0.9, 0.5, 0.5, doubtful) - CorrectReflection(m, 0.9, 0.5, 0.51)),
            1e-12);
  EXPECT_TRUE(doubtful);
  doubtful = false;
  const Complex g = correct(0.5, 0.5, 0.5, doubtful);  // all three equal
  EXPECT_TRUE(std::isfinite(g.real()) && std::isfinite(g.imag()));
  EXPECT_TRUE(doubtful);
}

TEST(CorrectPoint, Transmission) {
  CalibrationStore store;
  store.Thru.stimulus->at(3) = 20450000.0;
  store.Thru.magnitude[3] = 0.2;
  store.Thru.phase[3] = 3.0;
  bool doubtful = false;
  auto r = CorrectPoint(store, SweepKind::Frequency, ModeKind::Transmission, 3, 201, 20.45, 0.2,
                        -3.0, doubtful);
  ASSERT_TRUE(r.has_value());
  EXPECT_FALSE(r->reflection);
  EXPECT_NEAR(r->gain_db, 0.0, 1e-4);
  EXPECT_NEAR(r->phase_rad, -6.0 + 2 * kPi, 1e-12);
  EXPECT_FALSE(doubtful);

  store.Thru.magnitude[3] = 0.0;
  r = CorrectPoint(store, SweepKind::Frequency, ModeKind::Transmission, 3, 201, 20.6, 0.2, 0.0,
                   doubtful);
  EXPECT_NEAR(r->gain_db, 20 * std::log10(0.2 + 1e-6) + 140.0, 1e-9);
  EXPECT_TRUE(doubtful);  // 20.6 MHz against 20.45 MHz

  EXPECT_FALSE(CorrectPoint(store, SweepKind::Frequency, ModeKind::Other, 3, 201, 20.45, 0.2, 0.0,
                            doubtful));
}

TEST(CorrectPoint, PhaseSweep) {
  CalibrationStore store;
  store.ThruPhase.stimulus->at(1) = 2.0;
  store.ThruPhase.magnitude[1] = 0.3;
  store.ThruPhase.phase[1] = 1.0;  // not used
  bool doubtful = false;
  auto r =
      CorrectPoint(store, SweepKind::Phase, ModeKind::Reflection, 1, 201, 2.0, 0.3, 4.0, doubtful);
  ASSERT_TRUE(r.has_value());
  EXPECT_FALSE(r->reflection);
  EXPECT_NEAR(r->gain_db, 0.0, 1e-4);
  EXPECT_NEAR(r->phase_rad, 4.0 - 2 * kPi, 1e-12);
  EXPECT_FALSE(doubtful);
  CorrectPoint(store, SweepKind::Phase, ModeKind::Transmission, 1, 201, 4.0, 0.3, 0.0, doubtful);
  EXPECT_TRUE(doubtful);
}

TEST(CorrectPoint, PowerSweepChecksTheStimulusAtThreeDecimals) {
  CalibrationStore store;
  store.ThruPower.stimulus->at(0) = -19.995;  // "-19.995" as the capture wrote it
  store.ThruPower.phase[0] = 0.5;
  store.ThruPower.magnitude[0] = 0.2;
  const double x = DbmFromPowerWord(405);  // -19.9951...
  bool doubtful = false;
  auto r =
      CorrectPoint(store, SweepKind::Power, ModeKind::Transmission, 0, 201, x, 0.1, 0.25, doubtful);
  ASSERT_TRUE(r.has_value());
  EXPECT_FALSE(doubtful);
  // Relative to the THRU at that power.
  EXPECT_NEAR(r->gain_db, 20 * std::log10((0.1 + 1e-6) / (0.2 + 1e-7)), 1e-12);
  EXPECT_NEAR(r->phase_rad, -0.25, 1e-12);

  store.ThruPower.stimulus->at(0) = -20.0;
  CorrectPoint(store, SweepKind::Power, ModeKind::Reflection, 0, 201, x, 0.1, 0.25, doubtful);
  EXPECT_TRUE(doubtful);

  // Any other type text is a power sweep too.
  doubtful = false;
  EXPECT_TRUE(
      CorrectPoint(store, SweepKind::Other, ModeKind::Other, 0, 201, -20.0, 0.1, 0.0, doubtful)
          .has_value());
  EXPECT_FALSE(doubtful);
}

TEST(CorrectPoint, APointBeyondTheTablesIsDoubtfulAndSafe) {
  CalibrationStore store;
  bool doubtful = false;
  const auto r = CorrectPoint(store, SweepKind::Frequency, ModeKind::Transmission, 600, 700, 0.0,
                              0.1, 0.0, doubtful);
  ASSERT_TRUE(r.has_value());
  EXPECT_TRUE(doubtful);
  EXPECT_TRUE(std::isfinite(r->gain_db));
}

}  // namespace
}  // namespace ostra
