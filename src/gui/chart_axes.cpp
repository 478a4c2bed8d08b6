// The chart's layout and axes: where the plot sits inside the margins, the
// round-valued ticks each axis gets, the Smith chart's square plot, and the
// grid, tick marks and tick labels of the static part.
#include <QFontMetricsF>
#include <QPainter>
#include <algorithm>
#include <cmath>

#include "base/text_util.h"
#include "gui/chart_metrics.h"
#include "gui/chart_view.h"

namespace ostra {

using namespace chart_metrics;

namespace {

// The range an axis is drawn with: never empty, never inverted.
void DrawnRange(const ChartAxis& axis, double& min, double& max) {
  min = axis.min;
  max = axis.max;
  if (!std::isfinite(min) || !std::isfinite(max) || !(max > min)) {
    const double centre = std::isfinite(min) ? min : 0;
    min = centre - 1;
    max = centre + 1;
  }
}

// Ticks at round values (1, 2 or 5 times a power of ten) at least `spacing`
// pixels apart, with four minor ticks between two major ones.
void ChooseTicks(double min, double max, double pixels, double spacing, std::vector<double>& major,
                 std::vector<double>& minor, int& decimals) {
  major.clear();
  minor.clear();
  decimals = 0;
  if (!(pixels > 0) || !(spacing > 0)) return;
  const double count = std::max(1.0, std::floor(pixels / spacing));
  const double raw = (max / count - min / count);
  if (!(raw > 0) || !std::isfinite(raw)) return;
  const double magnitude = std::pow(10.0, std::floor(std::log10(raw)));
  if (!(magnitude > 0) || !std::isfinite(magnitude)) return;
  const double norm = raw / magnitude;
  const double step = (norm <= 1 ? 1 : norm <= 2 ? 2 : norm <= 5 ? 5 : 10) * magnitude;
  decimals =
      step >= 1 ? 0 : std::clamp(static_cast<int>(-std::floor(std::log10(step) + 1e-9)), 0, 12);
  const double first = std::ceil(min / step - 1e-9);
  for (double k = first - 1; major.size() < kMaxTicks; ++k) {
    double v = k * step;
    if (std::abs(v) < step * 1e-9) v = 0;
    if (v > max + step * 1e-9) break;
    if (v >= min - step * 1e-9) major.push_back(v);
    for (int m = 1; m <= kMinorTicks; ++m) {
      const double mv = v + step * m / (kMinorTicks + 1);
      if (mv >= min && mv <= max) minor.push_back(mv);
    }
  }
}

// The plot's edges in pixels while the layout is worked out.
struct Box {
  double left;
  double top;
  double right;
  double bottom;
};

// The Smith chart: one scale for both axes, so its circles stay round, with
// the square plot centred in the space there is.
void SquarePlot(Box& box, double x_range, double y_range) {
  if (!(x_range > 0) || !(y_range > 0) || !std::isfinite(x_range) || !std::isfinite(y_range)) {
    return;
  }
  const double s = std::min((box.right - box.left) / x_range, (box.bottom - box.top) / y_range);
  const double cx = (box.left + box.right) / 2;
  const double cy = (box.top + box.bottom) / 2;
  box = {cx - s * x_range / 2, cy - s * y_range / 2, cx + s * x_range / 2, cy + s * y_range / 2};
}

}  // namespace

std::string ChartView::TickText(double value, int decimals) {
  if (std::abs(value) >= 1e9) return FormatGeneral(value);
  std::string text = FormatFixed(value, decimals);
  if (text.find_first_not_of("-0.") == std::string::npos && text[0] == '-') text.erase(0, 1);
  return text;
}

double ChartView::TickWidth(double value, int decimals) const {
  return Text(kAxisFontSlot, TickText(value, decimals)).width;
}

double ChartView::WidestTick(const Ticks& ticks) const {
  double width = 0;
  for (double v : ticks.major) width = std::max(width, TickWidth(v, ticks.decimals));
  return width;
}

ChartView::Geometry ChartView::ComputeGeometry(QSize size) const {
  Geometry g;
  g.size = size;
  g.inner = QRect(QPoint(0, 0), size).adjusted(kBevel, kBevel, -kBevel, -kBevel);
  const double w = std::max(0, g.inner.width());
  const double h = std::max(0, g.inner.height());
  Box box{g.inner.left() + kSideMargin * w, g.inner.top() + kTopMargin * h,
          g.inner.left() + w - kSideMargin * w, g.inner.top() + h - kBottomMargin * h};

  const ChartAxis& bx = model_.Axis(AxisId::Bottom);
  const ChartAxis& lx = model_.Axis(AxisId::Left);
  const ChartAxis& rx = model_.Axis(AxisId::Right);
  double bmin, bmax, lmin, lmax, rmin, rmax;
  DrawnRange(bx, bmin, bmax);
  DrawnRange(lx, lmin, lmax);
  DrawnRange(rx, rmin, rmax);

  const double row = QFontMetricsF(axis_font_).height();
  if (bx.visible) box.bottom -= row + kTickLength + kLabelGap;
  // Vertical ticks at least a line and a half apart; their labels take room
  // beside the plot.
  const double vertical_spacing = row * 1.6 + 4;
  if (lx.visible) {
    ChooseTicks(lmin, lmax, box.bottom - box.top, vertical_spacing, g.left_ticks.major,
                g.left_ticks.minor, g.left_ticks.decimals);
    box.left += WidestTick(g.left_ticks) + kTickLength + kLabelGap;
  }
  if (rx.visible) {
    ChooseTicks(rmin, rmax, box.bottom - box.top, vertical_spacing, g.right_ticks.major,
                g.right_ticks.minor, g.right_ticks.decimals);
    box.right -= WidestTick(g.right_ticks) + kTickLength + kLabelGap;
  }
  if (bx.visible) ChooseBottomTicks(bmin, bmax, box.right - box.left, g.bottom_ticks);

  box.right = std::max(box.right, box.left);
  box.bottom = std::max(box.bottom, box.top);
  if (!bx.visible && !lx.visible) SquarePlot(box, bmax - bmin, lmax - lmin);
  g.plot = QRectF(QPointF(box.left, box.top), QPointF(box.right, box.bottom));
  g.bottom = Scale{bmin, bmax, box.left, box.right};
  g.left = Scale{lmin, lmax, box.bottom, box.top};
  g.right = Scale{rmin, rmax, box.bottom, box.top};
  return g;
}

void ChartView::ChooseBottomTicks(double min, double max, double pixels, Ticks& ticks) const {
  // A first guess from the ends' widths, then again with the chosen labels.
  const int guess = std::abs(max - min) < 10 ? 2 : 0;
  const double spacing = std::max(TickWidth(min, guess), TickWidth(max, guess)) + 16;
  ChooseTicks(min, max, pixels, spacing, ticks.major, ticks.minor, ticks.decimals);
  const double needed = WidestTick(ticks) + 12;
  if (needed > spacing)
    ChooseTicks(min, max, pixels, needed, ticks.major, ticks.minor, ticks.decimals);
}

// Every line of the axes is one pixel wide and runs along an axis: drawn as
// rectangles, gathered per colour, they take the rasteriser's fill path.
struct ChartView::AxesPaint {
  std::vector<QRectF> grid;
  std::vector<QRectF> ticks;
  std::vector<std::pair<QPointF, const CachedText*>> texts;

  static void VLine(std::vector<QRectF>& to, double x, double ya, double yb) {
    to.emplace_back(x, std::min(ya, yb), 1, std::abs(yb - ya) + 1);
  }
  static void HLine(std::vector<QRectF>& to, double xa, double xb, double y) {
    to.emplace_back(std::min(xa, xb), y, std::abs(xb - xa) + 1, 1);
  }
};

void ChartView::GatherBottomAxis(AxesPaint& paint, const Geometry& g) const {
  const double x0 = std::round(g.plot.left());
  const double x1 = std::round(g.plot.right());
  const double y0 = std::round(g.plot.top());
  const double y1 = std::round(g.plot.bottom());
  for (double v : g.bottom_ticks.major)
    AxesPaint::VLine(paint.grid, std::round(g.bottom.Map(v)), y0, y1);
  AxesPaint::HLine(paint.grid, x0, x1, y1);
  for (double v : g.bottom_ticks.minor) {
    AxesPaint::VLine(paint.ticks, std::round(g.bottom.Map(v)), y1, y1 + kMinorTickLength);
  }
  for (double v : g.bottom_ticks.major) {
    const double x = std::round(g.bottom.Map(v));
    AxesPaint::VLine(paint.ticks, x, y1, y1 + kTickLength);
    const CachedText& text = Text(kAxisFontSlot, TickText(v, g.bottom_ticks.decimals));
    paint.texts.push_back(
        {QPointF(std::round(x - text.width / 2), y1 + kTickLength + kLabelGap), &text});
  }
}

void ChartView::GatherVerticalAxis(AxesPaint& paint, const Ticks& t, const Scale& scale, double x,
                                   double direction) const {
  for (double v : t.minor) {
    AxesPaint::HLine(paint.ticks, x, x + direction * kMinorTickLength, std::round(scale.Map(v)));
  }
  for (double v : t.major) {
    const double y = std::round(scale.Map(v));
    AxesPaint::HLine(paint.ticks, x, x + direction * kTickLength, y);
    const CachedText& text = Text(kAxisFontSlot, TickText(v, t.decimals));
    const double tx =
        direction < 0 ? x - kTickLength - kLabelGap - text.width : x + kTickLength + kLabelGap;
    paint.texts.push_back({QPointF(std::round(tx), std::round(y - text.height / 2)), &text});
  }
}

void ChartView::DrawAxes(QPainter& p, const Geometry& g) const {
  const double x0 = std::round(g.plot.left());
  const double x1 = std::round(g.plot.right());
  const double y0 = std::round(g.plot.top());
  const double y1 = std::round(g.plot.bottom());
  AxesPaint paint;
  if (model_.Axis(AxisId::Bottom).visible) GatherBottomAxis(paint, g);
  if (model_.Axis(AxisId::Left).visible) {
    for (double v : g.left_ticks.major)
      AxesPaint::HLine(paint.grid, x0, x1, std::round(g.left.Map(v)));
    AxesPaint::VLine(paint.grid, x0, y0, y1);
    GatherVerticalAxis(paint, g.left_ticks, g.left, x0, -1);
  }
  if (model_.Axis(AxisId::Right).visible) {
    AxesPaint::VLine(paint.ticks, x1, y0, y1);
    GatherVerticalAxis(paint, g.right_ticks, g.right, x1, 1);
  }
  for (const QRectF& r : paint.grid) p.fillRect(r, kGridLine);
  for (const QRectF& r : paint.ticks) p.fillRect(r, kTickColour);
  p.setFont(axis_font_);
  p.setPen(kAxisText);
  for (const auto& [top_left, text] : paint.texts) p.drawStaticText(top_left, text->text);
}

}  // namespace ostra
