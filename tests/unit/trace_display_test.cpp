#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <numbers>

#include "base/errors.h"
#include "display/trace_display.h"

namespace ostra {
namespace {

class TraceDisplayTest : public ::testing::Test {
 protected:
  // What the start-up pass does with the chart.
  void SetUp() override {
    display.ResetFormatScaling();
    display.UseInsertionOrder();
    display.ApplyFormatScalingToSettings();
    display.on_reset_marker_table.Connect([this] { ++marker_resets; });
    display.UpdateDisplayLayout();
  }

  void Layout(const char* format) {
    settings.SetText(Setting::Format, format);
    display.UpdateDisplayLayout();
  }

  const ChartAxis& Axis(AxisId id) const { return chart.Axis(id); }
  const std::vector<ChartPoint>& Points(SeriesId id) const { return chart.Series(id).points; }

  static PointResult Reflection(std::complex<double> g) {
    PointResult r;
    r.reflection = true;
    r.gamma = g;
    return r;
  }
  static PointResult Transmission(double db, double rad) {
    PointResult r;
    r.reflection = false;
    r.gain_db = db;
    r.phase_rad = rad;
    return r;
  }

  // Plots one point in a fresh trace and returns the MagDataSeries point.
  const ChartPoint* PlotOne(const char* format, const PointResult& r, double x = 30) {
    settings.SetText(Setting::Format, format);
    display.ClearTrace();
    display.PlotTracePoint(7, x, r);
    return Points(SeriesId::MagDataSeries).empty() ? nullptr : &Points(SeriesId::MagDataSeries)[0];
  }

  InstrumentSettings settings;
  ChartModel chart;
  TraceDisplay display{chart, settings};
  int marker_resets = 0;
};

TEST_F(TraceDisplayTest, LeftAxisPerFormatWithStartValues) {
  EXPECT_EQ(settings.Text(Setting::RefLevel), "30");
  EXPECT_EQ(settings.Text(Setting::Scale), "5");
  struct Case {
    const char* format;
    double min, max;
  };
  for (const Case& c : {Case{"Log", -70, 30}, Case{"Lin", -2, 2}, Case{"VSWR", 0, 20},
                        Case{"Phase", -180, 180}, Case{"Log", -70, 30}}) {
    Layout(c.format);
    EXPECT_DOUBLE_EQ(Axis(AxisId::Left).min, c.min) << c.format;
    EXPECT_DOUBLE_EQ(Axis(AxisId::Left).max, c.max) << c.format;
    EXPECT_TRUE(Axis(AxisId::Left).visible);
    EXPECT_TRUE(Axis(AxisId::Bottom).visible);
    EXPECT_FALSE(Axis(AxisId::Left).automatic);
    EXPECT_FALSE(Axis(AxisId::Right).visible);
    EXPECT_EQ(Axis(AxisId::Right).min, -180);
    EXPECT_EQ(Axis(AxisId::Right).max, 180);
  }
  EXPECT_EQ(marker_resets, 6);

  // The start-up writes the current format's values in the shortest form.
  settings.SetText(Setting::Format, "Lin");
  display.ApplyFormatScalingToSettings();
  EXPECT_EQ(settings.Text(Setting::RefLevel), "2");
  EXPECT_EQ(settings.Text(Setting::Scale), "0.2");
  EXPECT_EQ(chart.Label(LabelId::format_lbl).text,
            "Format: Log   Scale: 5   RefLevel: 30   Ave: 8");
}

TEST_F(TraceDisplayTest, BottomAxisAndLabelsPerSweepType) {
  EXPECT_DOUBLE_EQ(Axis(AxisId::Bottom).min, 20);
  EXPECT_DOUBLE_EQ(Axis(AxisId::Bottom).max, 50);
  EXPECT_EQ(chart.Label(LabelId::source_lbl).text,
            "Start: 20.000MHz   Stop: 50.000MHz   Centre: 35.000MHz   Span: 30.000MHz   "
            "Power: -20dBm");
  EXPECT_EQ(chart.Label(LabelId::modelabel).text, "Reflection [S11] -- Frequency Sweep");

  // A new range wholly above the old one is accepted.
  settings.SetText(Setting::StartFreq, "100000000");
  settings.SetText(Setting::StopFreq, "120000000");
  display.UpdateDisplayLayout();
  EXPECT_DOUBLE_EQ(Axis(AxisId::Bottom).min, 100);
  EXPECT_DOUBLE_EQ(Axis(AxisId::Bottom).max, 120);

  settings.SetText(Setting::SweepType, "Phase");
  settings.SetText(Setting::Mode, "Transmission");
  display.UpdateDisplayLayout();
  EXPECT_DOUBLE_EQ(Axis(AxisId::Bottom).min, 0);
  EXPECT_DOUBLE_EQ(Axis(AxisId::Bottom).max, 360);
  EXPECT_EQ(chart.Label(LabelId::source_lbl).text,
            "Start: 0deg   Stop: 360deg   Centre: 180deg   Span: 360deg   Power: -20dBm   "
            "Frequency: 30MHz");
  EXPECT_EQ(chart.Label(LabelId::modelabel).text, "Transmission [S21] -- Phase Sweep");
  for (auto [hz, shown] :
       {std::pair{"2500000", "Frequency: 2MHz"}, std::pair{"3500000", "Frequency: 4MHz"}}) {
    settings.SetText(Setting::FreqPhase, hz);
    display.UpdateDisplayLayout();
    const std::string& text = chart.Label(LabelId::source_lbl).text;
    EXPECT_EQ(text.substr(text.find("Frequency")), shown);
  }

  settings.SetText(Setting::SweepType, "Power");
  display.UpdateDisplayLayout();
  EXPECT_DOUBLE_EQ(Axis(AxisId::Bottom).min, -42);
  EXPECT_DOUBLE_EQ(Axis(AxisId::Bottom).max, -12);
  EXPECT_EQ(chart.Label(LabelId::source_lbl).text,
            "Start: -42dBm   Stop: -12dBm   Centre: -27dBm   Span: 30dBm   Phase: 0deg   "
            "Frequency: 35MHz");
}

TEST_F(TraceDisplayTest, EntriesThatAreNotNumbersRaiseAndLeaveTheChart) {
  const uint64_t revision = chart.Revision();
  const int resets = marker_resets;
  settings.SetText(Setting::StopFreq, "50 MHz");
  EXPECT_THROW(display.UpdateDisplayLayout(), ConversionError);
  settings.SetText(Setting::StopFreq, "50000000");
  settings.SetText(Setting::SweepType, "Power");
  settings.SetText(Setting::StartPower, "low");
  EXPECT_THROW(display.UpdateDisplayLayout(), ConversionError);
  settings.SetText(Setting::SweepType, "Phase");
  settings.SetText(Setting::FreqPhase, "3.5e6");  // read as whole hertz
  EXPECT_THROW(display.UpdateDisplayLayout(), ConversionError);
  EXPECT_EQ(chart.Revision(), revision);
  EXPECT_EQ(marker_resets, resets);
}

TEST_F(TraceDisplayTest, ReflectionPointInEachFormat) {
  // G = 0.
  EXPECT_DOUBLE_EQ(PlotOne("Log", Reflection(0))->y, -120);
  EXPECT_DOUBLE_EQ(PlotOne("Lin", Reflection(0))->y, 0);
  EXPECT_NEAR(PlotOne("VSWR", Reflection(0))->y, 1, 1e-5);
  EXPECT_DOUBLE_EQ(PlotOne("Phase", Reflection(0))->y, 0);
  const ChartPoint* smith = PlotOne("Smith", Reflection(0));
  EXPECT_EQ(smith->x, 0);
  EXPECT_EQ(smith->y, 0);

  // On the unit circle at 60 degrees.
  const std::complex<double> g = std::polar(1.0, std::numbers::pi / 3);
  EXPECT_NEAR(PlotOne("Log", Reflection(g))->y, 0, 1e-5);
  EXPECT_DOUBLE_EQ(PlotOne("Lin", Reflection(g))->y, 1);
  EXPECT_NEAR(PlotOne("VSWR", Reflection(g))->y, 2000000, 1);
  EXPECT_NEAR(PlotOne("Phase", Reflection(g))->y, 60, 1e-9);
  const ChartPoint* p = PlotOne("Smith", Reflection(g));
  EXPECT_DOUBLE_EQ(p->x, g.real());
  EXPECT_DOUBLE_EQ(p->y, g.imag());
  EXPECT_EQ(PlotOne("Log", Reflection(g), 42.5)->x, 42.5);

  EXPECT_DOUBLE_EQ(display.ReflMag()[7], 1);
  EXPECT_NEAR(display.ReflPhase()[7], std::numbers::pi / 3, 1e-12);
  EXPECT_DOUBLE_EQ(display.TraceX()[7], 42.5e6);
  ASSERT_EQ(Points(SeriesId::PhaseDataSeries).size(), 1u);
  EXPECT_NEAR(Points(SeriesId::PhaseDataSeries)[0].y, 60, 1e-9);

  // The angle lies in (-pi, pi]: a negative zero imaginary part gives +pi.
  PlotOne("Phase", Reflection({-1, -0.0}));
  EXPECT_DOUBLE_EQ(display.ReflPhase()[7], std::numbers::pi);
}

TEST_F(TraceDisplayTest, PhasePointComesBeforeTheMagnitudePoint) {
  std::vector<std::pair<size_t, size_t>> sizes;
  chart.on_change.Connect([&] {
    sizes.emplace_back(Points(SeriesId::PhaseDataSeries).size(),
                       Points(SeriesId::MagDataSeries).size());
  });
  display.PlotTracePoint(0, 20, Reflection({0.5, 0}));
  ASSERT_EQ(sizes.size(), 2u);
  EXPECT_EQ(sizes[0], (std::pair<size_t, size_t>{1, 0}));
  EXPECT_EQ(sizes[1], (std::pair<size_t, size_t>{1, 1}));
}

TEST_F(TraceDisplayTest, TransmissionPointsPerFormatAndSweepType) {
  settings.SetText(Setting::Mode, "Transmission");
  const PointResult r = Transmission(-6, std::numbers::pi / 2);
  EXPECT_DOUBLE_EQ(PlotOne("Log", r)->y, -6);
  EXPECT_DOUBLE_EQ(PlotOne("Lin", r)->y, std::pow(10.0, -6.0 / 20));
  EXPECT_DOUBLE_EQ(PlotOne("Phase", r)->y, 90);
  for (const char* format : {"Smith", "VSWR", "Polar"}) {
    EXPECT_EQ(PlotOne(format, r), nullptr) << format;
    EXPECT_EQ(Points(SeriesId::PhaseDataSeries).size(), 1u) << format;
  }
  EXPECT_DOUBLE_EQ(display.TransMag()[7], std::pow(10.0, -6.0 / 20));
  EXPECT_DOUBLE_EQ(display.TransPhase()[7], std::numbers::pi / 2);
  EXPECT_DOUBLE_EQ(display.TraceX()[7], 30e6);

  // Phase and power sweeps are transmission-type in either mode and keep x.
  settings.SetText(Setting::Mode, "Reflection");
  settings.SetText(Setting::SweepType, "Phase");
  EXPECT_DOUBLE_EQ(PlotOne("Log", r, 135)->x, 135);
  EXPECT_DOUBLE_EQ(display.TraceX()[7], 135);
  settings.SetText(Setting::SweepType, "Power");
  PlotOne("Log", r, -27.5);
  EXPECT_DOUBLE_EQ(display.TraceX()[7], -27.5);

  // A frequency sweep in a mode that is neither plots and stores nothing.
  settings.SetText(Setting::SweepType, "Frequency");
  settings.SetText(Setting::Mode, "Both");
  EXPECT_EQ(PlotOne("Log", r, 31), nullptr);
  EXPECT_TRUE(Points(SeriesId::PhaseDataSeries).empty());
  EXPECT_DOUBLE_EQ(display.TraceX()[7], -27.5);

  // A point number beyond the arrays is plotted but not stored.
  settings.SetText(Setting::Mode, "Transmission");
  display.PlotTracePoint(kMaxTracePoints, 40, r);
  display.PlotTracePoint(-1, 41, r);
  EXPECT_EQ(Points(SeriesId::MagDataSeries).size(), 2u);
}

TEST_F(TraceDisplayTest, TraceKeepsArrivalOrderAndClearTraceTurnsItRed) {
  Layout("Smith");
  for (double re : {0.5, -0.5, 0.1}) display.PlotTracePoint(0, 20, Reflection({re, 0.2}));
  ASSERT_EQ(Points(SeriesId::MagDataSeries).size(), 3u);
  EXPECT_EQ(Points(SeriesId::MagDataSeries)[1].x, -0.5);
  chart.SetColour(SeriesId::MagDataSeries, kMemColour);
  display.ClearTrace();
  EXPECT_TRUE(Points(SeriesId::MagDataSeries).empty());
  EXPECT_TRUE(Points(SeriesId::PhaseDataSeries).empty());
  EXPECT_EQ(chart.Series(SeriesId::MagDataSeries).colour, kRed);
}

TEST_F(TraceDisplayTest, AddPhaseEverywhereButSmithAndPhase) {
  display.ShowPhaseOverlay();
  EXPECT_TRUE(Axis(AxisId::Right).visible);
  EXPECT_TRUE(chart.Series(SeriesId::PhaseDataSeries).visible);
  display.UpdateDisplayLayout();  // every refresh cancels the overlay
  EXPECT_FALSE(Axis(AxisId::Right).visible);
  EXPECT_FALSE(chart.Series(SeriesId::PhaseDataSeries).visible);

  for (const char* format : {"Phase", "Smith"}) {
    Layout(format);
    display.ShowPhaseOverlay();
    EXPECT_FALSE(Axis(AxisId::Right).visible) << format;
    EXPECT_FALSE(chart.Series(SeriesId::PhaseDataSeries).visible) << format;
  }
  // A format text outside the five known ones takes the overlay too.
  Layout("Polar");
  display.ShowPhaseOverlay();
  EXPECT_TRUE(Axis(AxisId::Right).visible);
  EXPECT_TRUE(chart.Series(SeriesId::PhaseDataSeries).visible);
}

TEST_F(TraceDisplayTest, SmithLayoutAndLeavingIt) {
  chart.AddPoint(SeriesId::MemDataSeries, 0.3, 0.4);
  chart.AddPoint(SeriesId::MemDataSeries, 0.1, 0.2);
  chart.AddPoint(SeriesId::RefLineSeries, 0.5, 0);
  Layout("Smith");
  EXPECT_FALSE(Axis(AxisId::Left).visible);
  EXPECT_FALSE(Axis(AxisId::Bottom).visible);
  EXPECT_FALSE(Axis(AxisId::Right).visible);
  EXPECT_DOUBLE_EQ(Axis(AxisId::Left).min, -1.1);
  EXPECT_DOUBLE_EQ(Axis(AxisId::Bottom).max, 1.1);
  EXPECT_FALSE(Points(SeriesId::SmithGridSeries).empty());
  EXPECT_EQ(Points(SeriesId::SmithGridLabel).size(), 16u);
  display.UpdateDisplayLayout();  // refreshes leave the circle alone
  EXPECT_EQ(Points(SeriesId::RefLineSeries).size(), 1u);

  // The "Log Mag" action: overlays cleared, then the layout.
  display.ClearSmithOverlays();
  Layout("Log");
  EXPECT_TRUE(Points(SeriesId::SmithGridSeries).empty());
  EXPECT_TRUE(Points(SeriesId::SmithGridLabel).empty());
  EXPECT_TRUE(Points(SeriesId::RefLineSeries).empty());
  EXPECT_TRUE(Axis(AxisId::Left).visible);
  EXPECT_DOUBLE_EQ(Axis(AxisId::Left).min, -70);

  // The memory trace survives all of it, in the order it was copied.
  ASSERT_EQ(Points(SeriesId::MemDataSeries).size(), 2u);
  EXPECT_EQ(Points(SeriesId::MemDataSeries)[0].x, 0.3);
}

TEST_F(TraceDisplayTest, UnknownFormatIsLaidOutLikeSmith) {
  Layout("Polar");
  EXPECT_FALSE(Axis(AxisId::Left).visible);
  EXPECT_DOUBLE_EQ(Axis(AxisId::Left).min, -1.1);
  EXPECT_DOUBLE_EQ(Axis(AxisId::Left).max, 1.1);
  EXPECT_FALSE(Points(SeriesId::SmithGridSeries).empty());
  EXPECT_EQ(chart.Label(LabelId::format_lbl).text,
            "Format: Polar   Scale: 5   RefLevel: 30   Ave: 8");
  EXPECT_EQ(PlotOne("Polar", Reflection({0.5, 0.5})), nullptr);
  // Nothing is stored for it, and the entries stay as they were.
  EXPECT_FALSE(display.Scaling().SetScale("Polar", 3));
  EXPECT_EQ(display.Scaling().Scale("Polar"), 0);
  display.ApplyFormatScalingToSettings();
  EXPECT_EQ(settings.Text(Setting::Scale), "5");
}

TEST_F(TraceDisplayTest, DegenerateScalingNeverGivesAnInvertedOrInfiniteAxis) {
  FormatScaling& scaling = display.Scaling();
  struct Case {
    double ref, scale;
  };
  for (const Case& c : {Case{30, 0}, Case{30, -5}, Case{-1e308, 1e307}, Case{1e308, -1e307}}) {
    scaling.SetRefLevel("Log", c.ref);
    scaling.SetScale("Log", c.scale);
    Layout("Log");
    for (AxisId id : {AxisId::Bottom, AxisId::Left, AxisId::Right}) {
      EXPECT_TRUE(std::isfinite(Axis(id).min));
      EXPECT_TRUE(std::isfinite(Axis(id).max));
      EXPECT_LE(Axis(id).min, Axis(id).max);
    }
  }
  EXPECT_EQ(Axis(AxisId::Left).max, 1e308);
}

}  // namespace
}  // namespace ostra
