// The chart drawing the markers, the memory trace and the constant-VSWR
// circle: colours, each on its own axes, clipped to the plot, in the
// series' drawing order, and frames drawn over earlier frames leaving
// nothing of them behind.
#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>
#include <QRegion>
#include <cmath>

#include "display/overlays.h"
#include "display/trace_display.h"
#include "gui/chart_view.h"

namespace ostra {
namespace {

constexpr QRgb kYellowPixel = 0xFFFF00;
constexpr QRgb kMemPixel = 0xFF42FF;
constexpr QRgb kRedPixel = 0xFF0000;

class ChartOverlaysTest : public ::testing::Test {
 protected:
  void SetUp() override {
    display.UseInsertionOrder();
    display.ApplyFormatScalingToSettings();
    display.UpdateDisplayLayout();  // "Log": -70 .. 30 dB over 20 .. 50 MHz
    view.resize(800, 600);
  }
  void UseFormat(const char* format) {
    settings.SetText(Setting::Format, format);
    display.ApplyFormatScalingToSettings();
    display.UpdateDisplayLayout();
  }
  static QImage Render(ChartView& v) {
    return v.grab().toImage().convertToFormat(QImage::Format_RGB32);
  }
  QImage Render() { return Render(view); }
  static QRgb Pixel(const QImage& image, QPointF at) {
    return image.pixel(static_cast<int>(std::lround(at.x())),
                       static_cast<int>(std::lround(at.y()))) &
           0xFFFFFF;
  }
  // How many pixels of `rgb` lie in `area`.
  static int Count(const QImage& image, QRect area, QRgb rgb) {
    int n = 0;
    area &= image.rect();
    for (int y = area.top(); y <= area.bottom(); ++y) {
      for (int x = area.left(); x <= area.right(); ++x) n += (image.pixel(x, y) & 0xFFFFFF) == rgb;
    }
    return n;
  }
  // A flat trace at `db` across the sweep.
  void FlatTrace(double db) {
    display.ClearTrace();
    for (int i = 0; i <= 60; ++i) {
      PointResult r;
      r.gamma = std::pow(10.0, db / 20);
      display.PlotTracePoint(i, 20 + 0.5 * i, r);
    }
  }

  InstrumentSettings settings;
  ChartModel chart;
  TraceDisplay display{chart, settings};
  ChartView view{chart};
};

TEST_F(ChartOverlaysTest, MemoryTraceAndMarkersOnTheirOwnAxesWithTheirLabels) {
  FlatTrace(-40);
  CopyTraceToMemory(chart);
  FlatTrace(-20);
  display.ShowPhaseOverlay();
  chart.AddPoint(SeriesId::MarkerSeries, 30, -20, "M1");
  chart.AddPoint(SeriesId::MarkerSeries2, 40, 90, "M2");  // 90 degrees on the right axis
  const QImage image = Render();

  EXPECT_EQ(Pixel(image, view.MapToWidget(35, -40)), kMemPixel);
  EXPECT_EQ(Pixel(image, view.MapToWidget(35, -40) + QPointF(0, 1)), kMemPixel);  // 2 wide
  EXPECT_EQ(Pixel(image, view.MapToWidget(25, -20)), kRedPixel);
  const QPointF m1 = view.MapToWidget(30, -20);
  const QPointF m2 = view.MapToWidget(40, 90, VerticalAxis::Right);
  EXPECT_EQ(Pixel(image, m1), kYellowPixel);
  EXPECT_EQ(Pixel(image, m1 + QPointF(2, 0)), kYellowPixel);  // the diamond
  EXPECT_EQ(Pixel(image, m2), kYellowPixel);
  EXPECT_NE(Pixel(image, m1 + QPointF(0, -6)), 0u);  // the arrow
  // Each label's text in bold yellow above its arrow.
  for (QPointF at : {m1, m2}) {
    const QRect label(static_cast<int>(at.x()) - 12, static_cast<int>(at.y()) - 28, 24, 18);
    EXPECT_GT(Count(image, label, kYellowPixel), 10);
  }
}

TEST_F(ChartOverlaysTest, TheCircleAndItsLabelOnTheSmithChart) {
  UseFormat("Smith");
  ASSERT_TRUE(DrawConstVswrCircle(chart, "3"));
  const QImage image = Render();
  for (double t = -3; t <= 3; t += 0.5) {
    const QPointF at = view.MapToWidget(0.5 * std::cos(t), 0.5 * std::sin(t));
    const QRect around(static_cast<int>(at.x()) - 1, static_cast<int>(at.y()) - 1, 3, 3);
    EXPECT_GT(Count(image, around, kYellowPixel), 0) << t;
  }
  const QPointF top = view.MapToWidget(0.004, 0.5);
  const QRect label(static_cast<int>(top.x()) - 30, static_cast<int>(top.y()) - 28, 60, 18);
  EXPECT_GT(Count(image, label, kYellowPixel), 20);  // "VSWR = 3"
}

TEST_F(ChartOverlaysTest, EverythingIsClippedToThePlot) {
  FlatTrace(-20);
  // The memory trace of a VSWR-like trace far above the axis, a marker
  // above the plot and one on its top edge.
  chart.Clear(SeriesId::MemDataSeries);
  for (int i = 0; i <= 30; ++i) chart.AddPoint(SeriesId::MemDataSeries, 20 + i, i % 2 ? 2e6 : 0);
  chart.AddPoint(SeriesId::MarkerSeries, 30, 100, "M1");
  chart.AddPoint(SeriesId::MarkerSeries, 40, 29.5, "M2");
  const QImage image = Render();
  const QRect plot = view.PlotArea().toAlignedRect().adjusted(-1, -1, 1, 1);
  int outside = 0;
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) {
      if (plot.contains(x, y)) continue;
      const QRgb rgb = image.pixel(x, y) & 0xFFFFFF;
      outside += rgb == kYellowPixel || rgb == kMemPixel;
    }
  }
  EXPECT_EQ(outside, 0);
  EXPECT_GT(Count(image, plot, kMemPixel), 100);  // the lines up and down, cut at the top
  EXPECT_EQ(Pixel(image, view.MapToWidget(40, 29.5)), kYellowPixel);
}

TEST_F(ChartOverlaysTest, AMarkerInTheTopRightCornerHasItsLabelWholeInsideThePlot) {
  FlatTrace(-20);
  chart.AddPoint(SeriesId::MarkerSeries, 50, 30, "M1");
  const QImage image = Render();
  const QPointF at = view.MapToWidget(50, 30);
  // Neither above the plot nor right of it: below the point and left of it.
  const QRect below_left(QPoint(static_cast<int>(at.x()) - 40, static_cast<int>(at.y()) + 6),
                         QPoint(static_cast<int>(at.x()), static_cast<int>(at.y()) + 40));
  EXPECT_GT(Count(image, below_left, kYellowPixel), 15);
  const QRect plot = view.PlotArea().toAlignedRect().adjusted(-1, -1, 1, 1);
  EXPECT_EQ(Count(image, QRect(0, 0, image.width(), plot.top()), kYellowPixel), 0);
}

TEST_F(ChartOverlaysTest, LaterSeriesAreDrawnOverEarlierOnes) {
  FlatTrace(-20);
  CopyTraceToMemory(chart);  // the memory right under the trace
  for (double x : {20.0, 50.0}) chart.AddPoint(SeriesId::RefLineSeries, x, -20);
  chart.AddPoint(SeriesId::MarkerSeries, 30, -20, "M1");
  QImage image = Render();
  EXPECT_EQ(Pixel(image, view.MapToWidget(35, -20)), kYellowPixel);  // the line over the trace
  chart.Clear(SeriesId::RefLineSeries);
  image = Render();
  EXPECT_EQ(Pixel(image, view.MapToWidget(35, -20)), kRedPixel);     // the trace over the memory
  EXPECT_EQ(Pixel(image, view.MapToWidget(30, -20)), kYellowPixel);  // the marker over both
}

TEST_F(ChartOverlaysTest, AFrameOverEarlierFramesLooksLikeAFreshOne) {
  UseFormat("Log");
  display.ShowPhaseOverlay();
  for (int frame = 0; frame < 12; ++frame) {
    FlatTrace(-60 + 5 * frame);
    chart.Clear(SeriesId::MarkerSeries);
    chart.Clear(SeriesId::MarkerSeries2);
    chart.AddPoint(SeriesId::MarkerSeries, 21 + 2 * frame, -60 + 5 * frame, "M1");
    chart.AddPoint(SeriesId::MarkerSeries2, 45 - frame, 10.0 * frame, "M2");
    if (frame == 4) CopyTraceToMemory(chart);
    chart.SetLabelText(LabelId::cal_label, frame % 2 ? "C" : "C?");
    chart.SetLabelVisible(LabelId::ave_en_lbl, frame % 3 == 0);
    Render();
  }
  FlatTrace(-5);  // a last sweep that changes the trace alone
  const QImage drawn_over = Render();
  ChartView fresh(chart);
  fresh.resize(view.size());
  EXPECT_TRUE(drawn_over == Render(fresh));
  EXPECT_GT(view.RestoredTiles(), 0);
}

// Only what a new sweep changed is repainted: the old trace and marker
// where they were, the new ones where they are, the labels; painted over
// the last picture, that area gives the picture of a fresh chart.
TEST_F(ChartOverlaysTest, ANewSweepRepaintsOnlyWhatItChanged) {
  UseFormat("Log");
  FlatTrace(-20);
  chart.AddPoint(SeriesId::MarkerSeries, 30, -20, "M1");
  EXPECT_EQ(view.RenderFrame(), QRegion(view.rect()));  // the first frame is all new
  QImage screen = Render();
  EXPECT_TRUE(view.RenderFrame().isEmpty());  // nothing changed since

  FlatTrace(-40);
  chart.Clear(SeriesId::MarkerSeries);
  chart.AddPoint(SeriesId::MarkerSeries, 40, -40, "M1");
  const QRegion changed = view.RenderFrame();
  for (QPointF at : {view.MapToWidget(25, -20), view.MapToWidget(25, -40),
                     view.MapToWidget(30, -20), view.MapToWidget(40, -40)}) {
    EXPECT_TRUE(changed.contains(at.toPoint()));
  }
  EXPECT_FALSE(changed.contains(view.MapToWidget(25, -60).toPoint()));
  int64_t area = 0;
  for (const QRect& r : changed) area += static_cast<int64_t>(r.width()) * r.height();
  EXPECT_LT(area, view.width() * view.height() / 5);

  QPainter painter(&screen);
  view.render(&painter, changed.boundingRect().topLeft(), changed);
  painter.end();
  ChartView fresh(chart);
  fresh.resize(view.size());
  EXPECT_TRUE(screen == Render(fresh));
}

}  // namespace
}  // namespace ostra
