// Markers placed from the keypad, the marker panel's keys, the markers at
// start-up, the constant-VSWR circle and the memory trace, through their
// handlers on the whole program.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>

#include "app/marker_actions.h"
#include "display/chart_model.h"
#include "display/marker_table.h"
#include "display/markers.h"
#include "display/trace_display.h"
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

TEST(MarkerPanelKeys, TheMarkersKeyShowsThePanelAndShowAndHideSlideIt) {
  AnalyserRig rig;
  rig.StartUp();
  rig.platform.SetTimer(TimerId::BeginSweep, false, 1);
  EXPECT_FALSE(rig.platform.PanelVisible(PanelId::MarkerPanel));
  rig.analyser->Keys().marker_ptnClick();
  const FrontPanel& panel = rig.analyser->Panel();
  EXPECT_EQ(panel.Key(5).caption, "Show");
  EXPECT_EQ(panel.Key(6).caption, "Hide");
  rig.analyser->Keys().SoftKeyClick(6);  // Hide
  EXPECT_TRUE(panel.Key(6).lit);
  rig.analyser->Keys().SoftKeyClick(5);  // Show
  const auto& changes = rig.platform.PanelChanges();
  ASSERT_EQ(changes.size(), 3u);
  EXPECT_TRUE(changes[0].id == PanelId::MarkerPanel && changes[0].visible && !changes[0].slide);
  EXPECT_TRUE(changes[1].id == PanelId::MarkerPanel && !changes[1].visible && changes[1].slide);
  EXPECT_TRUE(changes[2].id == PanelId::MarkerPanel && changes[2].visible && changes[2].slide);
  EXPECT_TRUE(rig.platform.PanelVisible(PanelId::MarkerPanel));
}

TEST(MarkerPanelKeys, ClearAllOnItsKeyClearsMarkersTableAndArrows) {
  AnalyserRig rig;
  rig.StartUp();
  rig.platform.SetTimer(TimerId::BeginSweep, false, 1);
  MarkerState& markers = rig.analyser->MarkerModel();
  for (int m = 0; m < 4; ++m) {
    markers.Select(m);
    rig.analyser->Markers().SetMarkerFromEntry("30", 1000000);
  }
  rig.analyser->Markers().UpdateMarkers();
  EXPECT_EQ(rig.analyser->Markers().Table().Cell(0, 4), "M4");
  rig.analyser->Keys().marker_ptnClick();
  rig.analyser->Keys().SoftKeyClick(4);  // Clear
  for (int m = 0; m < 4; ++m) {
    EXPECT_FALSE(markers.At(m).enabled);
    EXPECT_FALSE(markers.At(m).arrows_visible);
    EXPECT_EQ(rig.analyser->Markers().Table().Cell(0, m + 1), "");
  }
}

TEST(MarkersAtStartUp, EveryPassHidesTheArrowsAndAPendingPassClearsTheMarkers) {
  AnalyserRig rig;
  rig.StartUp();
  rig.platform.SetTimer(TimerId::BeginSweep, false, 1);
  MarkerState& markers = rig.analyser->MarkerModel();
  markers.Select(2);
  rig.analyser->Markers().SetMarkerFromEntry("40", 1000000);
  // The start-up timer ticking again without a pending pass only hides the
  // panel's labels.
  rig.analyser->Shell().startup_timerTimer();
  EXPECT_TRUE(markers.At(2).enabled);
  EXPECT_EQ(markers.At(2).value, 40000000);
  EXPECT_FALSE(markers.At(2).arrows_visible);
  // A recalled state runs the whole pass: every marker off at 0, and the
  // layout refresh writes the table's headers.
  rig.analyser->Shell().RecallSettingsFile(rig.CalFile("config.dat"));
  rig.platform.RunUntil([&] { return rig.platform.TimerEnabled(TimerId::BeginSweep); }, 10000);
  EXPECT_FALSE(markers.At(2).enabled);
  EXPECT_EQ(markers.At(2).value, 0);
  EXPECT_EQ(rig.analyser->Markers().Table().Cell(1, 0), "Freq(MHz)");
  EXPECT_EQ(rig.analyser->Markers().Table().Cell(0, 3), "");
}

TEST(ConstVswrCircle, FormatActionsOtherThanSmithClearItAndRefreshesKeepIt) {
  AnalyserRig rig;
  rig.StartUp();
  rig.platform.SetTimer(TimerId::BeginSweep, false, 1);
  const ChartModel& chart = rig.analyser->Chart();
  auto circle_points = [&] { return chart.Series(SeriesId::RefLineSeries).points.size(); };
  auto label_points = [&] { return chart.Series(SeriesId::ReflMarker).points.size(); };
  DisplayActions& formats = rig.analyser->Formats();
  rig.analyser->Markers().DrawConstVswrCircle("2");
  formats.SmithExecute();
  rig.analyser->Display().UpdateDisplayLayout();
  EXPECT_EQ(circle_points(), 200u);
  EXPECT_EQ(label_points(), 1u);
  for (void (DisplayActions::*action)() :
       {&DisplayActions::LogMagExecute, &DisplayActions::LinMagExecute,
        &DisplayActions::PhaseExecute, &DisplayActions::VSWRExecute}) {
    rig.analyser->Markers().DrawConstVswrCircle("2");
    (formats.*action)();
    EXPECT_EQ(circle_points(), 0u);
    EXPECT_EQ(label_points(), 0u);
  }
}

TEST(MemoryTrace, ASmithCopyKeepsItsCoordinatesInLogAndACopyMidSweepTakesThePointsSoFar) {
  AnalyserRig rig;
  rig.StartUp();
  rig.platform.SetTimer(TimerId::BeginSweep, false, 1);
  TraceDisplay& display = rig.analyser->Display();
  const ChartModel& chart = rig.analyser->Chart();
  rig.analyser->Formats().SmithExecute();
  display.ClearTrace();
  for (int i = 0; i < 201; ++i) {
    PointResult r;
    r.gamma = std::polar(0.5, -3.0 + 0.03 * i);  // a Smith trace, X not in order
    display.PlotTracePoint(i, 20 + 0.15 * i, r);
  }
  rig.analyser->Markers().display_data_to_memExecute();
  const std::vector<ChartPoint> copied = chart.Series(SeriesId::MemDataSeries).points;
  ASSERT_EQ(copied.size(), 201u);
  rig.analyser->Formats().LogMagExecute();
  display.ClearTrace();
  const auto& mem = chart.Series(SeriesId::MemDataSeries).points;
  ASSERT_EQ(mem.size(), 201u);
  for (size_t i = 0; i < mem.size(); ++i) {
    EXPECT_EQ(mem[i].x, copied[i].x);
    EXPECT_EQ(mem[i].y, copied[i].y);
  }
  EXPECT_NEAR(std::hypot(mem[100].x, mem[100].y), 0.5, 1e-12);

  // Data -> Mem while a sweep is being drawn copies what is there so far.
  for (int i = 0; i < 60; ++i) {
    PointResult r;
    r.gamma = 0.1;
    display.PlotTracePoint(i, 20 + 0.15 * i, r);
  }
  rig.analyser->Markers().display_data_to_memExecute();
  EXPECT_EQ(chart.Series(SeriesId::MemDataSeries).points.size(), 60u);
  EXPECT_DOUBLE_EQ(chart.Series(SeriesId::MemDataSeries).points[59].y, 20 * std::log10(0.1 + 1e-6));
  // With an empty trace the memory is left empty.
  display.ClearTrace();
  rig.analyser->Markers().display_data_to_memExecute();
  EXPECT_TRUE(chart.Series(SeriesId::MemDataSeries).points.empty());
}

}  // namespace
}  // namespace ostra
