// The markers' readout on the whole program: the point a marker reads, the
// arrows' steps, every cell of the marker table and the diamonds on the
// chart, against hand-made points and against the simulated series RLC.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <regex>

#include "app/marker_actions.h"
#include "base/text_util.h"
#include "display/chart_model.h"
#include "display/marker_readout.h"
#include "display/marker_table.h"
#include "display/markers.h"
#include "display/trace_display.h"
#include "sim/dut_model.h"
#include "support/analyser_rig.h"

namespace ostra {
namespace {

using testing::AnalyserRig;

constexpr double kDegrees = 57.29577951308232;
const std::string kInfinite(kInfiniteText);

// The program started on the simulator, its first sweep held back so that a
// test runs the sweeps itself.
struct MarkerRig : AnalyserRig {
  MarkerRig() {
    StartUp();
    platform.SetTimer(TimerId::BeginSweep, false, 1);
  }
  InstrumentSettings& Settings() { return analyser->Settings(); }
  MarkerActions& Actions() { return analyser->Markers(); }
  const Marker& At(int number) { return analyser->MarkerModel().At(number - 1); }
  // The keypad's marker entry for marker 1 .. 4.
  void Place(int number, const char* text, int64_t factor) {
    analyser->MarkerModel().Select(number - 1);
    EXPECT_TRUE(Actions().SetMarkerFromEntry(text, factor));
  }
  std::string Cell(int column, int row) { return Actions().Table().Cell(column, row); }
  const std::vector<ChartPoint>& Diamonds(SeriesId id = SeriesId::MarkerSeries) {
    return analyser->Chart().Series(id).points;
  }
  // One reflection point k of a frequency sweep, as the loop plots it.
  void PlotReflection(int k, std::complex<double> g) {
    PointResult r;
    r.gamma = g;
    analyser->Display().PlotTracePoint(k, 20 + 0.15 * k, r);
  }
  void PlotTransmission(int k, double x, double db, double radians) {
    PointResult r;
    r.reflection = false;
    r.gain_db = db;
    r.phase_rad = radians;
    analyser->Display().PlotTracePoint(k, x, r);
  }
  // Runs the acquisition loop for `sweeps` sweeps.
  void RunSweeps(int sweeps) {
    int done = 0;
    ScopedConnection count(analyser->Engine().on_sweep_done, [&] {
      if (++done >= sweeps) analyser->SetSweepStopRequest(true);
    });
    analyser->Engine().ProgramCurrentSweep();
    analyser->Engine().RunSweepLoop("normal");
  }
};

TEST(MarkerPointIndex, ReadsTheNearestPointHeldAtTheEndsAndSteps) {
  MarkerRig rig;  // 20 .. 50 MHz, 201 points: a step of 150000 Hz
  const MarkerAxis axis = ReadMarkerAxis(rig.Settings());
  EXPECT_EQ(axis.step, 150000);
  rig.Place(1, "35", 1000000);
  EXPECT_EQ(rig.At(1).value, 35000000);
  EXPECT_EQ(MarkerPointIndex(axis, rig.At(1).value), 100);
  rig.Actions().ArrowClick(1, true);
  EXPECT_EQ(rig.At(1).value, 35150000);
  EXPECT_EQ(MarkerPointIndex(axis, rig.At(1).value), 101);
  EXPECT_EQ(MarkerPointIndex(axis, 35074999), 100);
  EXPECT_EQ(MarkerPointIndex(axis, 60e6), 200);
  EXPECT_EQ(MarkerPointIndex(axis, -5e6), 0);

  // The arrows stop at the stop and the start frequency; stepping leaves the
  // marker on, and an arrow of a marker that is off moves it only.
  for (int i = 0; i < 120; ++i) rig.Actions().ArrowClick(1, true);
  EXPECT_EQ(rig.At(1).value, 50000000);
  for (int i = 0; i < 250; ++i) rig.Actions().ArrowClick(1, false);
  EXPECT_EQ(rig.At(1).value, 20000000);
  EXPECT_TRUE(rig.At(1).enabled);
  rig.Actions().ArrowClick(3, true);
  EXPECT_FALSE(rig.At(3).enabled);
}

// In a falling sweep ">" goes to the next point, one step lower, and the
// arrows stop at the sweep's lower and higher ends.
TEST(MarkerPointIndex, AFallingSweepStepsOnePointAtATimeWithinItsEnds) {
  MarkerRig rig;
  rig.Settings().SetText(Setting::StartFreq, "40000000");
  rig.Settings().SetText(Setting::StopFreq, "30000000");
  rig.Place(1, "35", 1000000);
  rig.Actions().ArrowClick(1, true);
  EXPECT_EQ(rig.At(1).value, 34950000);
  EXPECT_EQ(MarkerPointIndex(rig.Settings(), rig.At(1).value), 101);
  rig.Actions().ArrowClick(1, false);
  rig.Actions().ArrowClick(1, false);
  EXPECT_EQ(rig.At(1).value, 35050000);
  for (int i = 0; i < 150; ++i) rig.Actions().ArrowClick(1, false);
  EXPECT_EQ(rig.At(1).value, 40000000);
  for (int i = 0; i < 250; ++i) rig.Actions().ArrowClick(1, true);
  EXPECT_EQ(rig.At(1).value, 30000000);
}

TEST(MarkerPointIndex, OnePointOrAStepOfNothingReadsPointZeroAndDoesNotStep) {
  MarkerRig rig;
  rig.Place(1, "35", 1000000);
  rig.Settings().SetText(Setting::Points, "1");
  EXPECT_EQ(MarkerPointIndex(rig.Settings(), 35e6), 0);
  rig.Actions().ArrowClick(1, true);
  EXPECT_EQ(rig.At(1).value, 35000000);
  // 100 Hz over 201 points rounds to a step of 0.
  rig.Settings().SetText(Setting::Points, "201");
  rig.Settings().SetText(Setting::StopFreq, "20000100");
  EXPECT_EQ(ReadMarkerAxis(rig.Settings()).step, 0);
  EXPECT_EQ(MarkerPointIndex(rig.Settings(), 20000050), 0);
  rig.Actions().ArrowClick(1, false);
  EXPECT_EQ(rig.At(1).value, 35000000);
  // An entry that is not a number raises the conversion error at the click.
  rig.Settings().SetText(Setting::StopFreq, "fifty");
  rig.analyser->Guard([&] { rig.Actions().ArrowClick(1, true); });
  EXPECT_THAT(rig.platform.MessageTexts(),
              ::testing::ElementsAre(::testing::HasSubstr("not a valid integer")));
}

TEST(MarkerPointIndex, APowerSweepReadsPowerWordsAndStepsOnePointAtATime) {
  MarkerRig rig;  // -42 .. -12 dBm over 201 points: words 32 .. 1017, step 5
  rig.Settings().SetText(Setting::SweepType, "Power");
  const MarkerAxis axis = ReadMarkerAxis(rig.Settings());
  EXPECT_EQ(axis.start, 32);
  EXPECT_EQ(axis.stop, 1017);
  EXPECT_EQ(axis.step, 5);
  EXPECT_EQ(MarkerPointIndex(axis, -42), 0);
  EXPECT_EQ(MarkerPointIndex(axis, -12), 197);  // (1017 - 32) / 5 = 197
  EXPECT_EQ(MarkerPointIndex(axis, 0), 200);
  // Far above the sweep the word does not wrap round into the middle.
  EXPECT_EQ(MarkerPointIndex(axis, 30), 200);

  rig.Place(2, "-30", 1);
  int k = MarkerPointIndex(axis, rig.At(2).value);
  for (int i = 0; i < 5; ++i) {
    rig.Actions().ArrowClick(2, true);
    EXPECT_EQ(MarkerPointIndex(axis, rig.At(2).value), k + 1);
    k = MarkerPointIndex(axis, rig.At(2).value);
  }
  for (int i = 0; i < 300; ++i) rig.Actions().ArrowClick(2, true);
  EXPECT_EQ(rig.At(2).value, -12);
  for (int i = 0; i < 300; ++i) rig.Actions().ArrowClick(2, false);
  EXPECT_EQ(rig.At(2).value, -42);
  rig.Actions().ArrowClick(2, true);
  EXPECT_EQ(MarkerPointIndex(axis, rig.At(2).value), 1);
}

TEST(MarkerTableCells, ReflectionFormatsImpedanceSignAndInfinity) {
  MarkerRig rig;
  rig.PlotReflection(0, 0.0);
  rig.PlotReflection(100, std::polar(0.5, 90 / kDegrees));
  rig.PlotReflection(150, std::complex<double>(0.6, -0.3));
  rig.PlotReflection(200, 1.0);
  rig.Place(1, "20", 1000000);
  rig.Place(2, "35", 1000000);
  rig.Place(3, "42.5", 1000000);
  rig.Place(4, "60", 1000000);  // beyond the sweep: the last point
  rig.Actions().UpdateMarkers();

  EXPECT_EQ(rig.Cell(1, 0), "Freq(MHz)");
  const std::vector<std::string> g0 = {"M1", "20.000", "-120.0", "0.0", "50.0+0.0j", "1.00"};
  const std::vector<std::string> g90 = {"M2", "35.000", "-6.0", "90.0", "30.0+40.0j", "3.00"};
  for (int c = 0; c < 6; ++c) {
    EXPECT_EQ(rig.Cell(c, 1), g0[static_cast<size_t>(c)]) << c;
    EXPECT_EQ(rig.Cell(c, 2), g90[static_cast<size_t>(c)]) << c;
  }
  // A negative imaginary part brings its own sign.
  const std::complex<double> z =
      50.0 * (1.0 + std::complex<double>(0.6, -0.3)) / (1.0 - std::complex<double>(0.6, -0.3));
  EXPECT_EQ(rig.Cell(4, 3), FormatFixed(z.real(), 1) + FormatFixed(z.imag(), 1) + "j");
  EXPECT_EQ(rig.Cell(4, 3).find('+'), std::string::npos);
  // G = 1: the open circuit reads infinite; nothing prints "inf" or "nan".
  EXPECT_EQ(rig.Cell(1, 4), "50.000");
  EXPECT_EQ(rig.Cell(2, 4), "0.0");
  EXPECT_EQ(rig.Cell(4, 4), kInfinite);
  EXPECT_EQ(rig.Cell(5, 4), kInfinite);
  EXPECT_EQ(ImpedanceText(std::complex<double>(1.0, 0.0)), kInfinite);
  EXPECT_EQ(VswrText(1.2), kInfinite);
  EXPECT_EQ(ImpedanceText(std::complex<double>(0.0, -0.0)), "50.0+0.0j");

  // The diamonds sit at the magnitude the table shows, labelled M1 .. M4.
  const auto& diamonds = rig.Diamonds();
  ASSERT_EQ(diamonds.size(), 4u);
  EXPECT_EQ(diamonds[0].mark, "M1");
  EXPECT_EQ(diamonds[0].y, -120.0);
  EXPECT_EQ(diamonds[1].y, -6.0);
  EXPECT_EQ(diamonds[3].mark, "M4");
  EXPECT_EQ(diamonds[3].x, 50);
  EXPECT_TRUE(rig.Diamonds(SeriesId::MarkerSeries2).empty());
}

TEST(MarkerTableCells, DiamondsFollowTheFormatAndThePhaseOverlay) {
  MarkerRig rig;
  const std::complex<double> g(0.3, 0.4);  // |G| 0.5, 53.13 degrees
  rig.PlotReflection(100, g);
  rig.Place(1, "35", 1000000);
  auto diamond = [&](const char* format) {
    rig.Settings().SetText(Setting::Format, format);
    rig.Actions().UpdateMarkers();
    return rig.Diamonds().empty() ? ChartPoint{-1, -1, ""} : rig.Diamonds()[0];
  };
  EXPECT_EQ(diamond("Lin").y, 0.5);
  EXPECT_NEAR(diamond("Phase").y, 53.1301, 1e-4);
  EXPECT_EQ(diamond("VSWR").y, 3.0);  // "3.00" read back
  const ChartPoint smith = diamond("Smith");
  EXPECT_NEAR(smith.x, 0.3, 1e-12);
  EXPECT_NEAR(smith.y, 0.4, 1e-12);
  EXPECT_EQ(diamond("Other").mark, "");  // no diamond

  rig.Settings().SetText(Setting::Format, "Log");
  rig.analyser->Formats().show_phaseExecute();
  rig.Actions().UpdateMarkers();
  const auto& overlay = rig.Diamonds(SeriesId::MarkerSeries2);
  ASSERT_EQ(overlay.size(), 1u);
  EXPECT_EQ(overlay[0].x, 35);
  EXPECT_NEAR(overlay[0].y, 53.1301, 1e-4);
  EXPECT_EQ(overlay[0].mark, "M1");
}

TEST(MarkerTableCells, TransmissionLeavesImpedanceAndVswrEmpty) {
  MarkerRig rig;
  rig.Settings().SetText(Setting::Mode, "Transmission");
  rig.PlotTransmission(100, 35, -3.04, -1.0);
  rig.Place(1, "35", 1000000);
  rig.Actions().UpdateMarkers();
  EXPECT_EQ(rig.Cell(1, 1), "35.000");
  EXPECT_EQ(rig.Cell(2, 1), "-3.0");
  EXPECT_EQ(rig.Cell(3, 1), FormatFixed(-kDegrees, 1));
  EXPECT_EQ(rig.Cell(4, 1), "");
  EXPECT_EQ(rig.Cell(5, 1), "");
  ASSERT_EQ(rig.Diamonds().size(), 1u);
  EXPECT_EQ(rig.Diamonds()[0].y, -3.0);

  // A phase sweep reads degrees, not megahertz, under "Ref Ph(deg)".
  rig.Settings().SetText(Setting::SweepType, "Phase");
  rig.Settings().SetText(Setting::Format, "Phase");
  rig.PlotTransmission(50, 90, -6, 0.5);  // 0 .. 360 degrees over 201 points: step 2
  rig.Place(1, "100", 1);
  rig.Actions().UpdateMarkers();
  EXPECT_EQ(rig.Cell(1, 0), "Ref Ph(deg)");
  EXPECT_EQ(rig.Cell(1, 1), "90.000");
  EXPECT_EQ(rig.Cell(2, 1), "-6.0");
  EXPECT_EQ(rig.Diamonds()[0].y, 28.6);  // the phase as the table shows it
  rig.Settings().SetText(Setting::SweepType, "Power");
  rig.Actions().UpdateMarkers();
  EXPECT_EQ(rig.Cell(1, 0), "Ref Pwr(dBm)");
}

TEST(MarkerTableCells, LayoutRefreshAndClearEmptyTheRowsAndTheArrowsFollow) {
  MarkerRig rig;
  rig.PlotReflection(100, 0.5);
  rig.Place(2, "35", 1000000);
  const MarkerState& markers = rig.analyser->MarkerModel();
  for (int m = 1; m <= 4; ++m) EXPECT_EQ(markers.At(m - 1).arrows_visible, m == 2) << m;
  rig.Actions().UpdateMarkers();
  EXPECT_EQ(rig.Cell(0, 2), "M2");
  EXPECT_EQ(rig.Cell(0, 1), "");

  // The layout refresh writes the headers and empties the rows; the marker
  // stays on at its value, and the next sweep fills its row again.
  rig.Settings().SetText(Setting::SweepType, "Phase");
  rig.Actions().UpdateMarkers();
  rig.Settings().SetText(Setting::SweepType, "Frequency");
  rig.analyser->Display().UpdateDisplayLayout();
  EXPECT_EQ(rig.Cell(1, 0), "Freq(MHz)");
  EXPECT_EQ(rig.Cell(5, 0), "VSWR");
  for (int c = 0; c < 6; ++c) EXPECT_EQ(rig.Cell(c, 2), "") << c;
  EXPECT_TRUE(rig.At(2).enabled);
  EXPECT_EQ(rig.At(2).value, 35000000);

  // A marker keeps its stimulus value when the point count changes.
  rig.Settings().SetText(Setting::Points, "101");
  EXPECT_EQ(MarkerPointIndex(rig.Settings(), rig.At(2).value), 50);

  rig.Actions().UpdateMarkers();
  rig.Actions().ClearMarkers();
  for (int c = 0; c < 6; ++c) EXPECT_EQ(rig.Cell(c, 2), "") << c;
  EXPECT_EQ(rig.Cell(2, 0), "Mag");
  for (int m = 0; m < 4; ++m) {
    EXPECT_FALSE(markers.At(m).enabled);
    EXPECT_EQ(markers.At(m).value, 0);
    EXPECT_FALSE(markers.At(m).arrows_visible);
  }
}

TEST(MarkerTableCells, AnEntryThatIsNotANumberLeavesTheTableWithoutAMessage) {
  MarkerRig rig;
  rig.PlotReflection(100, 0.5);
  rig.Place(1, "35", 1000000);
  rig.Actions().UpdateMarkers();
  const uint64_t revision = rig.Actions().Table().Revision();
  rig.Settings().SetText(Setting::Points, "many");
  rig.Actions().UpdateMarkers();
  EXPECT_EQ(rig.Actions().Table().Revision(), revision);
  EXPECT_EQ(rig.Diamonds().size(), 1u);
  EXPECT_TRUE(rig.platform.MessageTexts().empty());
}

// Parses "Re+Imj" / "Re-Imj".
std::complex<double> ParseImpedance(const std::string& text) {
  static const std::regex kForm(R"(^(-?[0-9.]+)\+?(-?[0-9.]+)j$)");
  std::smatch m;
  if (!std::regex_match(text, m, kForm)) return {NAN, NAN};
  return {std::stod(m[1]), std::stod(m[2])};
}

TEST(MarkersOnTheSimulator, TheTableReadsTheSeriesRlcAsItTrulyIs) {
  MarkerRig rig;
  rig.sim.SetDut(Dut::SeriesRlc);
  const char* entries[] = {"25", "34.1", "35", "47.5"};
  for (int m = 1; m <= 4; ++m) rig.Place(m, entries[m - 1], 1000000);
  rig.RunSweeps(3);

  // The measured reflection lies within 0.03 of the truth; each cell is
  // compared with the truth within what that allows, plus its rounding.
  constexpr double kError = 0.03;
  const MarkerAxis axis = ReadMarkerAxis(rig.Settings());
  for (int m = 1; m <= 4; ++m) {
    SCOPED_TRACE(entries[m - 1]);
    const int k = MarkerPointIndex(axis, rig.At(m).value);
    EXPECT_EQ(rig.Cell(0, m), "M" + std::to_string(m));
    EXPECT_EQ(rig.Cell(1, m), FormatFixed((20e6 + 150000.0 * k) / 1e6, 3));
    // The instrument measured point k at the frequency it is labelled with.
    const std::complex<double> g = TrueReflection(Dut::SeriesRlc, 20e6 + 150000.0 * k);
    const double mag = std::abs(g);
    EXPECT_NEAR(std::stod(rig.Cell(2, m)), 20 * std::log10(mag),
                20 * std::log10(1 + kError / mag) + 0.05);
    EXPECT_NEAR(std::remainder(std::stod(rig.Cell(3, m)) - std::arg(g) * kDegrees, 360.0), 0.0,
                std::asin(std::min(1.0, kError / mag)) * kDegrees + 0.05);
    const std::complex<double> z = 50.0 * (1.0 + g) / (1.0 - g);
    const double z_error = 1.5 * 100 * kError / std::norm(1.0 - g) + 0.05;
    const std::complex<double> shown = ParseImpedance(rig.Cell(4, m));
    EXPECT_NEAR(shown.real(), z.real(), z_error) << rig.Cell(4, m);
    EXPECT_NEAR(shown.imag(), z.imag(), z_error) << rig.Cell(4, m);
    const double vswr = (1 + mag) / (1 - mag);
    EXPECT_NEAR(std::stod(rig.Cell(5, m)), vswr, 1.5 * 2 * kError / std::pow(1 - mag, 2) + 0.005);
  }
  // At resonance the RLC is its 10 ohm resistance.
  EXPECT_NEAR(ParseImpedance(rig.Cell(4, 3)).real(), 10, 1.0);
  EXPECT_EQ(rig.Diamonds().size(), 4u);
}

}  // namespace
}  // namespace ostra
