#include "display/overlays.h"

#include <array>
#include <cmath>
#include <string>

#include "base/text_util.h"

namespace ostra {

namespace {

// The circle runs from just past +pi down to just past -pi (3.1418 and
// 6.2836, not pi and 2 pi: its two ends overlap a little).
constexpr int kCirclePoints = 200;
constexpr double kCircleStart = 3.1418;
constexpr double kCircleTurn = 6.2836;
constexpr int kCircleLabelPoint = 50;

}  // namespace

void CopyTraceToMemory(ChartModel& chart) {
  const std::vector<ChartPoint>& trace = chart.Series(SeriesId::MagDataSeries).points;
  std::vector<double> xs(trace.size());
  std::vector<double> ys(trace.size());
  for (size_t i = 0; i < trace.size(); ++i) {
    xs[i] = trace[i].x;
    ys[i] = trace[i].y;
  }
  chart.Clear(SeriesId::MemDataSeries);
  chart.AddPoints(SeriesId::MemDataSeries, xs, ys);
}

void ClearMemory(ChartModel& chart) { chart.Clear(SeriesId::MemDataSeries); }

bool DrawConstVswrCircle(ChartModel& chart, std::string_view text) {
  double v = 0;
  if (!TryStrToFloat(text, v)) return false;
  if (v <= 0) return true;
  const double rho = (v - 1) / (v + 1);
  std::array<double, kCirclePoints> xs{};
  std::array<double, kCirclePoints> ys{};
  for (int i = 0; i < kCirclePoints; ++i) {
    const double t = kCircleStart - (kCircleTurn / (kCirclePoints - 1)) * i;
    xs[static_cast<size_t>(i)] = rho * std::cos(t);
    ys[static_cast<size_t>(i)] = rho * std::sin(t);
  }
  chart.Clear(SeriesId::RefLineSeries);
  chart.Clear(SeriesId::ReflMarker);
  const auto label = static_cast<size_t>(kCircleLabelPoint);
  chart.AddPoint(SeriesId::ReflMarker, xs[label], ys[label], "VSWR = " + std::string(text));
  chart.AddPoints(SeriesId::RefLineSeries, xs, ys);
  return true;
}

}  // namespace ostra
