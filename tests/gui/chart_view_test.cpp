#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QMouseEvent>
#include <cmath>

#include "display/trace_display.h"
#include "gui/chart_view.h"

namespace ostra {
namespace {

class ChartViewTest : public ::testing::Test {
 protected:
  void SetUp() override {
    display.ResetFormatScaling();
    display.UseInsertionOrder();
    display.ApplyFormatScalingToSettings();
    display.UpdateDisplayLayout();
    ConnectChartView(chart, view);
    view.resize(800, 600);
  }

  QImage Render() { return view.grab().toImage().convertToFormat(QImage::Format_RGB32); }

  static QRgb At(const QImage& image, QPointF at) {
    return image.pixel(static_cast<int>(std::lround(at.x())),
                       static_cast<int>(std::lround(at.y())));
  }
  // True when a pixel of colour `rgb` lies within `radius` of `at`.
  static bool Near(const QImage& image, QPointF at, QRgb rgb, int radius = 1) {
    const int cx = static_cast<int>(std::lround(at.x()));
    const int cy = static_cast<int>(std::lround(at.y()));
    for (int y = cy - radius; y <= cy + radius; ++y) {
      for (int x = cx - radius; x <= cx + radius; ++x) {
        if (image.valid(x, y) && (image.pixel(x, y) & 0xFFFFFF) == (rgb & 0xFFFFFF)) return true;
      }
    }
    return false;
  }

  InstrumentSettings settings;
  ChartModel chart;
  TraceDisplay display{chart, settings};
  ChartView view{chart};
};

TEST_F(ChartViewTest, DrawsBackgroundGridAndTrace) {
  EXPECT_EQ(view.objectName(), "Chart1");
  // A flat trace at -20 dB across the 20 .. 50 MHz sweep.
  display.ClearTrace();
  for (int i = 0; i <= 30; ++i) {
    PointResult r;
    r.gamma = std::pow(10.0, -20.0 / 20);
    display.PlotTracePoint(i, 20 + i, r);
  }
  const QImage image = Render();
  ASSERT_EQ(image.size(), QSize(800, 600));

  EXPECT_EQ(image.pixel(790, 594) & 0xFFFFFF, 0x000000u);  // bottom margin
  const QRectF plot = view.PlotArea();
  ASSERT_GT(plot.width(), 600);
  ASSERT_GT(plot.height(), 400);
  // 0 dB is a round value, so a grid line; sample it away from the trace.
  const QPointF grid = view.MapToWidget(27.3, 0);
  EXPECT_TRUE(Near(image, grid, qRgb(0x3A, 0x3A, 0x3A), 0));
  EXPECT_TRUE(Near(image, view.MapToWidget(35, -20), qRgb(255, 0, 0)));
  // Inside the plot, off the grid and the trace: black.
  EXPECT_EQ(At(image, view.MapToWidget(21.3, -63.3)) & 0xFFFFFF, 0x000000u);
}

TEST_F(ChartViewTest, StaticPartIsReusedForTraceUpdates) {
  Render();
  const int rebuilds = view.StaticRebuilds();
  PointResult r;
  r.gamma = 0.5;
  display.PlotTracePoint(0, 30, r);
  display.PlotTracePoint(1, 31, r);
  Render();
  EXPECT_EQ(view.StaticRebuilds(), rebuilds);
  settings.SetText(Setting::Format, "Lin");
  display.UpdateDisplayLayout();
  Render();
  EXPECT_EQ(view.StaticRebuilds(), rebuilds + 1);
  view.resize(700, 500);
  Render();
  EXPECT_EQ(view.StaticRebuilds(), rebuilds + 2);
}

TEST_F(ChartViewTest, SmithChartStaysRoundInAWideWindow) {
  settings.SetText(Setting::Format, "Smith");
  display.UpdateDisplayLayout();
  view.resize(1000, 450);
  const QPointF centre = view.MapToWidget(0, 0);
  const QPointF right = view.MapToWidget(1, 0);
  const QPointF top = view.MapToWidget(0, 1);
  EXPECT_NEAR(right.x() - centre.x(), centre.y() - top.y(), 1e-9);
  EXPECT_NEAR(centre.x(), 500, 2);
  const QImage image = Render();
  // Dots of the unit circle at its bottom and of the real axis.
  EXPECT_TRUE(Near(image, view.MapToWidget(0, -1), qRgb(0x00, 0xC4, 0xC4)));
  EXPECT_TRUE(Near(image, view.MapToWidget(-0.505, 0), qRgb(0x00, 0xC4, 0xC4)));
}

TEST_F(ChartViewTest, ClickOnAPointReportsItsValues) {
  chart.AddPoint(SeriesId::MarkerSeries, 30, -20, "M1");
  view.show();
  double got_x = 0, got_y = 0;
  int clicks = 0;
  view.on_point_click = [&](double x, double y) {
    got_x = x;
    got_y = y;
    ++clicks;
  };
  auto click = [&](QPointF at) {
    QMouseEvent press(QEvent::MouseButtonPress, at, view.mapToGlobal(at), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&view, &press);
  };
  click(view.MapToWidget(30, -20) + QPointF(2, 1));
  EXPECT_EQ(clicks, 1);
  EXPECT_EQ(got_x, 30);
  EXPECT_EQ(got_y, -20);
  click(view.MapToWidget(45, 10));  // nothing there
  EXPECT_EQ(clicks, 1);
  EXPECT_EQ(ChartClickText(got_x, got_y), "X: 30.00; Y: -20.00");
}

}  // namespace
}  // namespace ostra
