#include <gtest/gtest.h>

#include <complex>
#include <limits>
#include <vector>

#include "display/chart_model.h"

namespace ostra {
namespace {

std::vector<double> Xs(const ChartSeries& s) {
  std::vector<double> xs;
  for (const ChartPoint& p : s.points) xs.push_back(p.x);
  return xs;
}

TEST(ChartModel, SeriesInDrawingOrderWithTheirLooks) {
  ChartModel chart;
  const char* names[] = {"SmithGridSeries", "SmithGridLabel", "MemDataSeries",
                         "PhaseDataSeries", "MagDataSeries",  "MarkerSeries",
                         "MarkerSeries2",   "RefLineSeries",  "ReflMarker"};
  for (int i = 0; i < kSeriesCount; ++i) EXPECT_EQ(chart.AllSeries()[i].name, names[i]);

  const ChartSeries& mag = chart.Series(SeriesId::MagDataSeries);
  EXPECT_EQ(mag.kind, SeriesKind::Line);
  EXPECT_EQ(mag.colour, kRed);
  EXPECT_EQ(mag.pen_width, 2);
  EXPECT_EQ(chart.Series(SeriesId::PhaseDataSeries).axis, VerticalAxis::Right);
  EXPECT_EQ(chart.Series(SeriesId::MarkerSeries2).axis, VerticalAxis::Right);
  EXPECT_EQ(chart.Series(SeriesId::MemDataSeries).colour, (Rgb{0xFF, 0x42, 0xFF}));
  EXPECT_EQ(chart.Series(SeriesId::MemDataSeries).order, PointOrder::Insertion);
  EXPECT_EQ(chart.Series(SeriesId::SmithGridSeries).colour, (Rgb{0x00, 0xC4, 0xC4}));
  const ChartSeries& marker = chart.Series(SeriesId::ReflMarker);
  EXPECT_EQ(marker.pointer, PointerStyle::Diamond);
  EXPECT_EQ(marker.mark_style, MarkStyle::Marker);
  EXPECT_EQ(marker.mark_arrow_length, 10);
  EXPECT_EQ(chart.Series(SeriesId::SmithGridLabel).mark_style, MarkStyle::GridLabel);
  EXPECT_EQ(chart.Series(SeriesId::SmithGridLabel).mark_arrow_length, 0);
}

TEST(ChartModel, LabelsStartWithTheirInitialTexts) {
  ChartModel chart;
  EXPECT_EQ(chart.Label(LabelId::modelabel).text, "Transmission [S21] -- Frequency Sweep");
  EXPECT_TRUE(chart.Label(LabelId::modelabel).centred_top);
  EXPECT_EQ(chart.Label(LabelId::cal_label).text, "C?");
  EXPECT_EQ(chart.Label(LabelId::format_lbl).text, "Format: Log   Scale: 5   RefLevel: 4   Ave: 8");
  EXPECT_EQ(chart.Label(LabelId::source_lbl).y, 40);
  const ChartLabel& ave = chart.Label(LabelId::ave_en_lbl);
  EXPECT_EQ(ave.text, "Average ON");
  EXPECT_FALSE(ave.visible);
  EXPECT_EQ(ave.x, 56);
  EXPECT_EQ(ave.y, 64);
}

TEST(ChartModel, SortedSeriesKeepAscendingXStableForEqualX) {
  ChartModel chart;
  const SeriesId id = SeriesId::MarkerSeries;
  chart.AddPoint(id, 3, 30, "a");
  chart.AddPoint(id, 1, 10, "b");
  chart.AddPoint(id, 3, 31, "c");
  chart.AddPoint(id, 2, 20, "d");
  chart.AddPoint(id, 1, 11, "e");
  const ChartSeries& s = chart.Series(id);
  ASSERT_EQ(s.points.size(), 5u);
  std::string order;
  for (const ChartPoint& p : s.points) order += p.mark;
  EXPECT_EQ(order, "bedac");

  // Bulk adding gives the same as adding one by one.
  ChartModel bulk;
  const double xs[] = {3, 1, 3, 2, 1};
  const double ys[] = {30, 10, 31, 20, 11};
  bulk.AddPoints(id, xs, ys);
  ASSERT_EQ(bulk.Series(id).points.size(), 5u);
  for (size_t i = 0; i < 5; ++i) {
    EXPECT_EQ(bulk.Series(id).points[i].x, s.points[i].x);
    EXPECT_EQ(bulk.Series(id).points[i].y, s.points[i].y);
  }
}

TEST(ChartModel, InsertionOrderAndSwitchingBackSorts) {
  ChartModel chart;
  const SeriesId id = SeriesId::MagDataSeries;
  chart.SetOrder(id, PointOrder::Insertion);
  for (double x : {0.5, -0.2, 0.9}) chart.AddPoint(id, x, 0);
  EXPECT_EQ(Xs(chart.Series(id)), (std::vector<double>{0.5, -0.2, 0.9}));
  chart.SetOrder(id, PointOrder::SortedByX);
  EXPECT_EQ(Xs(chart.Series(id)), (std::vector<double>{-0.2, 0.5, 0.9}));
}

TEST(ChartModel, AxisRefusesMinimumAboveMaximumAndNonFiniteValues) {
  ChartModel chart;
  // The layout's order: minimum far down, then maximum, then minimum.
  ASSERT_TRUE(chart.SetAxisMinimum(AxisId::Left, -1e12));
  EXPECT_TRUE(chart.SetAxisMaximum(AxisId::Left, 500));
  EXPECT_TRUE(chart.SetAxisMinimum(AxisId::Left, 200));
  EXPECT_EQ(chart.Axis(AxisId::Left).min, 200);
  EXPECT_EQ(chart.Axis(AxisId::Left).max, 500);
  // Set in the wrong order, the new maximum is refused.
  EXPECT_FALSE(chart.SetAxisMaximum(AxisId::Left, 100));
  EXPECT_TRUE(chart.SetAxisMinimum(AxisId::Left, 50));
  EXPECT_EQ(chart.Axis(AxisId::Left).max, 500);
  EXPECT_FALSE(chart.SetAxisMinimum(AxisId::Left, 600));
  EXPECT_FALSE(chart.SetAxisMaximum(AxisId::Left, std::numeric_limits<double>::infinity()));
  EXPECT_FALSE(chart.SetAxisMinimum(AxisId::Left, std::numeric_limits<double>::quiet_NaN()));
  EXPECT_LE(chart.Axis(AxisId::Left).min, chart.Axis(AxisId::Left).max);
  // Equal ends are allowed.
  EXPECT_TRUE(chart.SetAxisMinimum(AxisId::Left, 500));
}

TEST(ChartModel, ChangesCountAndNotify) {
  ChartModel chart;
  int calls = 0;
  chart.on_change.Connect([&] { ++calls; });
  const uint64_t before = chart.Revision();
  const uint64_t series_before = chart.Series(SeriesId::MagDataSeries).revision;
  chart.AddPoint(SeriesId::MagDataSeries, 1, 2);
  chart.SetLabelText(LabelId::cal_label, "C");
  chart.SetLabelText(LabelId::cal_label, "C");  // unchanged: no notification
  EXPECT_EQ(calls, 2);
  EXPECT_EQ(chart.Revision(), before + 2);
  EXPECT_EQ(chart.Series(SeriesId::MagDataSeries).revision, series_before + 1);
  const uint64_t axes = chart.AxesRevision();
  chart.SetAxisVisible(AxisId::Right, true);
  EXPECT_EQ(chart.AxesRevision(), axes + 1);
}

// A sweep's points are one notification, and points whose Y is worked out
// later read as if added at once, in the order added, until a clear.
TEST(ChartModel, HeldChangesNotifyOnceAndLaterPointsReadInOrder) {
  ChartModel chart;
  int calls = 0;
  chart.on_change.Connect([&] { ++calls; });
  const auto imag = [](std::complex<double> z) { return z.imag(); };
  const uint64_t before = chart.Revision();
  chart.HoldChanges();
  chart.AddPointLater(SeriesId::PhaseDataSeries, 1, {0, 10}, imag);
  chart.AddPoint(SeriesId::PhaseDataSeries, 2, 20);
  chart.AddPointLater(SeriesId::PhaseDataSeries, 3, {0, 30}, imag);
  EXPECT_EQ(calls, 0);
  chart.ReleaseChanges();
  EXPECT_EQ(calls, 1);
  EXPECT_EQ(chart.Revision(), before + 3);
  chart.SetVisible(SeriesId::PhaseDataSeries, false);
  chart.AddPointLater(SeriesId::PhaseDataSeries, 4, {0, 40}, imag);
  EXPECT_EQ(chart.ShownSeries(SeriesId::PhaseDataSeries), nullptr);
  const ChartSeries& phase = chart.Series(SeriesId::PhaseDataSeries);
  EXPECT_EQ(Xs(phase), (std::vector<double>{1, 2, 3, 4}));
  EXPECT_EQ(phase.points[2].y, 30);
  chart.AddPointLater(SeriesId::PhaseDataSeries, 5, {0, 50}, imag);
  chart.Clear(SeriesId::PhaseDataSeries);
  EXPECT_TRUE(chart.AllSeries()[static_cast<size_t>(SeriesId::PhaseDataSeries)].points.empty());
}

TEST(ChartModel, ClickText) {
  EXPECT_EQ(ChartClickText(30.126, -12.3456), "X: 30.13; Y: -12.35");
  EXPECT_EQ(ChartClickText(0, 2000000), "X: 0.00; Y: 2000000.00");
}

}  // namespace
}  // namespace ostra
