#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "display/trace_display.h"

namespace ostra {
namespace {

class SmithGridTest : public ::testing::Test {
 protected:
  // The reactance points the grid keeps, counted arc by arc.
  int KeptArcPoints() {
    int kept = 0;
    for (double x : {0.2, 0.5, 1.0, 2.0, 5.0}) {
      kept += display.ReactanceArc(x, 200);
      kept += display.ReactanceArc(-x, 200);
    }
    return kept;
  }

  InstrumentSettings settings;
  ChartModel chart;
  TraceDisplay display{chart, settings};
};

TEST_F(SmithGridTest, PointCountsAndRebuilding) {
  display.BuildSmithGrid();
  const size_t expected = 1000 + 201 + 600 + static_cast<size_t>(KeptArcPoints());
  EXPECT_GT(expected, 1801u);
  EXPECT_EQ(chart.Series(SeriesId::SmithGridSeries).points.size(), expected);
  display.BuildSmithGrid();
  EXPECT_EQ(chart.Series(SeriesId::SmithGridSeries).points.size(), expected);
  EXPECT_EQ(chart.Series(SeriesId::SmithGridLabel).points.size(), 16u);

  // The grid series sorts its dots by X; every dot lies on or inside the
  // unit circle (the circles' own points to within rounding).
  double previous = -2;
  for (const ChartPoint& p : chart.Series(SeriesId::SmithGridSeries).points) {
    EXPECT_LE(previous, p.x);
    previous = p.x;
    EXPECT_LE(std::hypot(p.x, p.y), 1 + 1e-9);
  }
}

TEST_F(SmithGridTest, ArcsKeepOnlyPointsInsideTheUnitCircle) {
  for (double x : {0.2, 0.5, 1.0, 2.0, 5.0, -0.2, -0.5, -1.0, -2.0, -5.0}) {
    const int kept = display.ReactanceArc(x, 200);
    EXPECT_GT(kept, 0) << x;
    EXPECT_LT(kept, 200) << x;
    for (int i = 0; i < kept; ++i) {
      const double px = display.WorkX()[static_cast<size_t>(i)];
      const double py = display.WorkY()[static_cast<size_t>(i)];
      EXPECT_LE(std::sqrt(px * px + py * py), 1.0) << x;
      // On the circle of centre (1, 1/x) and radius |1/x|.
      EXPECT_NEAR(std::hypot(px - 1, py - 1 / x), std::abs(1 / x), 1e-12);
    }
  }
  // Reactance 0 (the real axis) and oversized requests stay in bounds.
  EXPECT_EQ(display.ReactanceArc(0, 200), 0);
  EXPECT_LE(display.ReactanceArc(0.2, 100000), TraceDisplay::kWorkPoints);
  EXPECT_EQ(display.ReactanceArc(1, -5), 0);
}

TEST_F(SmithGridTest, ResistanceCircles) {
  display.ResistanceCircle(0, 600);
  EXPECT_DOUBLE_EQ(display.WorkX()[0], 1);
  EXPECT_DOUBLE_EQ(display.WorkY()[0], 0);
  // 6.2836 rather than 2 pi: the last point stops just short of a full turn.
  const double last = 6.2836 / 600 * 599;
  EXPECT_DOUBLE_EQ(display.WorkX()[599], std::cos(last));
  EXPECT_DOUBLE_EQ(display.WorkY()[599], std::sin(last));

  display.ResistanceCircle(1, 200);
  for (size_t i = 0; i < 200; ++i) {
    EXPECT_NEAR(std::hypot(display.WorkX()[i] - 0.5, display.WorkY()[i]), 0.5, 1e-12);
  }
  display.ResistanceCircle(-1, 200);  // degenerate: no infinities
  EXPECT_TRUE(std::isfinite(display.WorkX()[10]));
  display.ResistanceCircle(2, 100000);  // clamped to the work arrays
}

TEST_F(SmithGridTest, LabelsAndAxes) {
  // From an earlier range wholly above 1.1.
  chart.SetAxisMaximum(AxisId::Left, 500);
  chart.SetAxisMinimum(AxisId::Left, 200);
  display.BuildSmithGrid();
  for (AxisId id : {AxisId::Left, AxisId::Bottom}) {
    EXPECT_DOUBLE_EQ(chart.Axis(id).min, -1.1);
    EXPECT_DOUBLE_EQ(chart.Axis(id).max, 1.1);
    EXPECT_FALSE(chart.Axis(id).visible);
    EXPECT_FALSE(chart.Axis(id).automatic);
  }
  EXPECT_FALSE(chart.Axis(AxisId::Right).visible);

  auto find = [&](const std::string& text) -> const ChartPoint* {
    for (const ChartPoint& p : chart.Series(SeriesId::SmithGridLabel).points) {
      if (p.mark == text) return &p;
    }
    return nullptr;
  };
  for (const char* text : {"1", "0.5", "0.2", "0", "2", "5", "+0.2j", "+0.5j", "+1j", "+2j", "+5j",
                           "-0.2j", "-0.5j", "-1j", "-2j", "-5j"}) {
    EXPECT_NE(find(text), nullptr) << text;
  }
  EXPECT_DOUBLE_EQ(find("0")->x, -1.03);
  EXPECT_DOUBLE_EQ(find("0")->y, -0.02);
  EXPECT_DOUBLE_EQ(find("+1j")->x, 0);
  EXPECT_DOUBLE_EQ(find("+1j")->y, 1.02);
  EXPECT_DOUBLE_EQ(find("-5j")->y, -0.42);
}

}  // namespace
}  // namespace ostra
