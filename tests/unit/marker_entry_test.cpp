// Markers placed from the keypad, the constant-VSWR circle and the memory
// trace, through their handlers on the whole program.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>

#include "app/marker_actions.h"
#include "display/chart_model.h"
#include "display/markers.h"
#include "support/analyser_rig.h"

namespace ostra {
namespace {

using testing::AnalyserRig;

TEST(MarkerEntry, PlacesTheSelectedMarkerWholeAndRefusesText) {
  AnalyserRig rig;
  MarkerState& markers = rig.analyser->MarkerModel();
  markers.Select(1);
  EXPECT_TRUE(rig.analyser->Markers().SetMarkerFromEntry("12.5", 1000000));
  EXPECT_EQ(markers.At(1).value, 12500000);
  EXPECT_TRUE(markers.At(1).enabled);
  EXPECT_TRUE(markers.At(1).arrows_visible);
  EXPECT_FALSE(markers.At(0).arrows_visible);
  EXPECT_TRUE(rig.analyser->Markers().SetMarkerFromEntry("2.5", 1));  // ties go to even
  EXPECT_EQ(markers.At(1).value, 2);
  EXPECT_FALSE(rig.analyser->Markers().SetMarkerFromEntry("abc", 1));
  EXPECT_EQ(markers.At(1).value, 2);
  EXPECT_THAT(rig.platform.MessageTexts(), ::testing::ElementsAre("Invalid number"));
  rig.analyser->Markers().ClearMarkers();
  EXPECT_FALSE(markers.At(1).enabled);
  EXPECT_EQ(markers.At(1).value, 0);
  EXPECT_FALSE(markers.At(1).arrows_visible);
}

TEST(ConstVswrCircle, TwoHundredPointsLabelledOnPointFiftyAndBadValuesKeepIt) {
  AnalyserRig rig;
  rig.StartUp();  // the circle's points are joined in the order they come
  const ChartModel& chart = rig.analyser->Chart();
  rig.analyser->Markers().DrawConstVswrCircle("3");
  const auto& circle = chart.Series(SeriesId::RefLineSeries).points;
  ASSERT_EQ(circle.size(), 200u);
  for (const ChartPoint& p : circle) EXPECT_NEAR(std::hypot(p.x, p.y), 0.5, 1e-12);
  const auto& label = chart.Series(SeriesId::ReflMarker).points;
  ASSERT_EQ(label.size(), 1u);
  EXPECT_EQ(label[0].mark, "VSWR = 3");
  EXPECT_NEAR(label[0].x, 0.004, 0.001);
  EXPECT_NEAR(label[0].y, 0.5, 0.001);
  EXPECT_EQ(label[0].x, circle[50].x);

  for (const char* keep : {"0", "-1", "two"}) rig.analyser->Markers().DrawConstVswrCircle(keep);
  EXPECT_EQ(chart.Series(SeriesId::RefLineSeries).points.size(), 200u);
  EXPECT_THAT(rig.platform.MessageTexts(), ::testing::ElementsAre("Invalid number"));

  rig.analyser->Markers().DrawConstVswrCircle("1");  // rho 0: all at the centre
  for (const ChartPoint& p : chart.Series(SeriesId::RefLineSeries).points) {
    EXPECT_EQ(std::hypot(p.x, p.y), 0.0);
  }
}

TEST(MemoryTrace, CopiesTheTracePointByPointAndClears) {
  AnalyserRig rig;
  ChartModel& chart = rig.analyser->Chart();
  chart.SetOrder(SeriesId::MagDataSeries, PointOrder::Insertion);
  chart.AddPoint(SeriesId::MagDataSeries, 0.5, 0.1);  // a Smith trace keeps its order
  chart.AddPoint(SeriesId::MagDataSeries, -0.5, 0.2);
  rig.analyser->Markers().display_data_to_memExecute();
  const auto& mem = chart.Series(SeriesId::MemDataSeries).points;
  ASSERT_EQ(mem.size(), 2u);
  EXPECT_EQ(mem[0].x, 0.5);
  EXPECT_EQ(mem[1].y, 0.2);
  chart.Clear(SeriesId::MagDataSeries);
  EXPECT_EQ(chart.Series(SeriesId::MemDataSeries).points.size(), 2u);  // frozen
  rig.analyser->Markers().display_clear_memExecute();
  EXPECT_TRUE(chart.Series(SeriesId::MemDataSeries).points.empty());
}

}  // namespace
}  // namespace ostra
