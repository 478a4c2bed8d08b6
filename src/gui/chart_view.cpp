#include "gui/chart_view.h"

#include <QFontMetricsF>
#include <QHelpEvent>
#include <QMouseEvent>
#include <QToolTip>

#include <QPainter>
#include <QPointer>
#include <QPolygonF>
#include <utility>
#include "gui/key_tips.h"

#include <algorithm>
#include <cmath>
#include "base/text_util.h"
#include "gui/chart_metrics.h"

namespace ostra {

using namespace chart_metrics;

namespace {

const QColor kBevelShadow(0x80, 0x80, 0x80);
const QColor kBevelDarkShadow(0x40, 0x40, 0x40);
const QColor kBevelLight(0xFF, 0xFF, 0xFF);
const QColor kBevelFace(0xD4, 0xD0, 0xC8);

// Cuts the segment a-b to `r` (Liang-Barsky); false when nothing is left.
bool ClipSegment(const QRectF& r, QPointF& a, QPointF& b) {
  const double dx = b.x() - a.x();
  const double dy = b.y() - a.y();
  double t0 = 0;
  double t1 = 1;
  const double p[4] = {-dx, dx, -dy, dy};
  const double q[4] = {a.x() - r.left(), r.right() - a.x(), a.y() - r.top(), r.bottom() - a.y()};
  for (int i = 0; i < 4; ++i) {
    if (p[i] == 0) {
      if (q[i] < 0) return false;
      continue;
    }
    const double t = q[i] / p[i];
    if (p[i] < 0) {
      if (t > t1) return false;
      t0 = std::max(t0, t);
    } else {
      if (t < t0) return false;
      t1 = std::min(t1, t);
    }
  }
  const QPointF start = a;
  if (t1 < 1) b = QPointF(start.x() + t1 * dx, start.y() + t1 * dy);
  if (t0 > 0) a = QPointF(start.x() + t0 * dx, start.y() + t0 * dy);
  return true;
}

}  // namespace

double ChartView::Scale::Map(double v) const {
  const double span = max - min;
  if (std::isfinite(span)) return pixel_from + (v - min) / span * (pixel_to - pixel_from);
  // Ends so far apart that their difference overflows: work in halves.
  return pixel_from + (v / 2 - min / 2) / (max / 2 - min / 2) * (pixel_to - pixel_from);
}

double ChartView::Scale::Unmap(double pixel) const {
  if (pixel_to == pixel_from) return min;
  return min + (pixel - pixel_from) / (pixel_to - pixel_from) * (max - min);
}

bool ChartView::StaticKey::operator==(const StaticKey& o) const {
  if (size != o.size || dpr != o.dpr || grid_revision != o.grid_revision ||
      grid_label_revision != o.grid_label_revision || labels != o.labels) {
    return false;
  }
  for (size_t i = 0; i < axes.size(); ++i) {
    if (axes[i].min != o.axes[i].min || axes[i].max != o.axes[i].max ||
        axes[i].visible != o.axes[i].visible) {
      return false;
    }
  }
  return true;
}

ChartView::ChartView(const ChartModel& model, QWidget* parent)
    : QWidget(parent), model_(model), axis_font_("Arial"), mark_font_("Arial") {
  setObjectName("Chart1");
  axis_font_.setPointSize(8);
  mark_font_.setPointSize(8);
  mark_font_.setBold(true);
  // The labels' fonts are fixed with the chart.
  for (int i = 0; i < kLabelCount; ++i) {
    const ChartLabel& label = model_.AllLabels()[static_cast<size_t>(i)];
    QFont& font = label_fonts_[static_cast<size_t>(i)];
    if (!label.font_family.empty()) font.setFamily(QString::fromStdString(label.font_family));
    font.setPixelSize(std::max(1, label.pixel_size));
    font.setBold(label.bold);
  }
  setAttribute(Qt::WA_OpaquePaintEvent);
  setAutoFillBackground(false);
  run_.reserve(1024);
}

void ChartView::ModelChanged() {
  if (render_queued_) return;
  render_queued_ = true;
  QMetaObject::invokeMethod(this, &ChartView::RenderScheduled, Qt::QueuedConnection);
}

void ChartView::RenderScheduled() {
  render_queued_ = false;
  // A hidden chart draws its frame when it is next painted.
  if (!isVisible()) return;
  const QRegion changed = RenderFrame();
  if (!changed.isEmpty()) update(changed);
}

void ConnectChartView(ChartModel& model, ChartView& view) {
  model.on_change.Connect([target = QPointer<ChartView>(&view)] {
    if (target) target->ModelChanged();
  });
}

QPointF ChartView::MapToWidget(double x, double y, VerticalAxis axis) const {
  const Geometry g = ComputeGeometry(size());
  const Scale& ys = axis == VerticalAxis::Right ? g.right : g.left;
  return QPointF(g.bottom.Map(x), ys.Map(y));
}

QRectF ChartView::PlotArea() const { return ComputeGeometry(size()).plot; }

ChartView::StaticKey ChartView::CurrentKey(qreal dpr) const {
  StaticKey key;
  key.size = size();
  key.dpr = dpr;
  key.axes = {model_.Axis(AxisId::Bottom), model_.Axis(AxisId::Left), model_.Axis(AxisId::Right)};
  const ChartSeries& grid = model_.Series(SeriesId::SmithGridSeries);
  const ChartSeries& labels = model_.Series(SeriesId::SmithGridLabel);
  // The revision moves with visibility too.
  key.grid_revision = grid.revision;
  key.grid_label_revision = labels.revision;
  for (size_t i = 0; i < key.labels.size(); ++i) {
    const ChartLabel& label = model_.AllLabels()[i];
    key.labels[i] = {label.visible, label.text};
  }
  return key;
}

QRegion ChartView::RenderFrame() {
  if (width() <= 0 || height() <= 0) return {};
  const qreal dpr = devicePixelRatioF();
  const StaticKey key = CurrentKey(dpr);
  const bool static_current = static_valid_ && key == static_key_ && !static_.isNull();
  if (static_current && drawn_revision_ == model_.Revision()) return {};
  drawn_revision_ = model_.Revision();
  // Texts change with the settings: keep the caches small. Cleared only
  // here, between frames, because drawing holds references into them.
  if (text_cache_.size() > 512) text_cache_.clear();
  sprites_.Trim();
  if (!static_current) {
    geometry_ = ComputeGeometry(size());
    const QSize pixels = size() * dpr;
    if (static_.size() != pixels) static_ = QImage(pixels, QImage::Format_RGB32);
    static_.setDevicePixelRatio(dpr);
    QPainter sp(&static_);
    DrawStatic(sp, geometry_);
    DrawLabels(sp, geometry_, dpr, true);
    sp.end();
    static_key_ = key;
    static_valid_ = true;
    ++static_rebuilds_;
    frame_.Reset(static_);
  } else {
    frame_.Begin(static_);
  }
  DrawDynamic(geometry_);
  const QRegion device = frame_.ChangedPixels();
  if (dpr == 1) return device;
  QRegion logical;
  for (const QRect& r : device) {
    logical += QRectF(QPointF(r.topLeft()) / dpr, QSizeF(r.size()) / dpr).toAlignedRect();
  }
  return logical;
}

void ChartView::paintEvent(QPaintEvent* event) {
  if (width() <= 0 || height() <= 0) return;
  // A paint that comes before the scheduled frame (the window shown, a
  // picture taken with grab) draws it now, and what it changed is repainted
  // on the screen next: this paint may not have been for the screen.
  const QRegion changed = RenderFrame();
  if (!changed.isEmpty()) update(changed);

  // The frame's pixels copied to the screen where asked, and nowhere else.
  const qreal dpr = frame_.Image().devicePixelRatio();
  QPainter p(this);
  for (const QRect& area : event->region()) {
    p.drawImage(area, frame_.Image(),
                QRectF(QPointF(area.topLeft()) * dpr, QSizeF(area.size()) * dpr));
  }
}

void ChartView::DrawDynamic(const Geometry& g) {
  // The traces go straight into the frame's pixels, the point series and the
  // labels through a painter, each in the series' drawing order.
  QPainter p;
  for (int i = static_cast<int>(SeriesId::MemDataSeries); i < kSeriesCount; ++i) {
    const ChartSeries* shown = model_.ShownSeries(static_cast<SeriesId>(i));
    if (shown == nullptr || shown->points.empty()) continue;
    const ChartSeries& s = *shown;
    const Scale& ys = s.axis == VerticalAxis::Right ? g.right : g.left;
    if (s.kind == SeriesKind::Line) {
      if (p.isActive()) p.end();
      DrawLine(g.plot, s, g.bottom, ys);
      continue;
    }
    if (!p.isActive()) {
      p.begin(&frame_.Image());
      p.setClipRect(g.plot.adjusted(0, 0, 1, 1));
    }
    DrawPointSprites(p, g, s, i);
  }
  if (p.isActive()) p.end();
  p.begin(&frame_.Image());
  DrawLabels(p, g, frame_.Image().devicePixelRatio(), false);
}

void ChartView::DrawStatic(QPainter& p, const Geometry& g) const {
  const QRect all(QPoint(0, 0), g.size);
  p.fillRect(all, Qt::black);
  // Lowered bevel: shadow on the top and left edges, light on the others.
  const QColor top_left[kBevel] = {kBevelShadow, kBevelDarkShadow, kBevelDarkShadow};
  const QColor bottom_right[kBevel] = {kBevelLight, kBevelFace, kBevelFace};
  for (int i = 0; i < kBevel; ++i) {
    const QRect r = all.adjusted(i, i, -i - 1, -i - 1);
    if (r.width() <= 0 || r.height() <= 0) break;
    p.setPen(top_left[i]);
    p.drawLine(r.topLeft(), r.topRight());
    p.drawLine(r.topLeft(), r.bottomLeft());
    p.setPen(bottom_right[i]);
    p.drawLine(r.bottomLeft(), r.bottomRight());
    p.drawLine(r.topRight(), r.bottomRight());
  }
  DrawAxes(p, g);

  p.save();
  p.setClipRect(g.inner);
  for (SeriesId id : {SeriesId::SmithGridSeries, SeriesId::SmithGridLabel}) {
    const ChartSeries& s = model_.Series(id);
    if (!s.visible || s.points.empty()) continue;
    const Scale& ys = s.axis == VerticalAxis::Right ? g.right : g.left;
    p.save();
    p.setClipRect(g.plot.adjusted(-1, -1, 1, 1), Qt::IntersectClip);
    DrawPointers(p, s, g.bottom, ys);
    p.restore();
    if (s.marks_visible) DrawMarks(p, s, g.bottom, ys);
  }
  p.restore();
}

void ChartView::DrawLine(const QRectF& clip, const ChartSeries& s, const Scale& xs,
                         const Scale& ys) {
  // Segments are cut to the plot here, in floating point, so a value far off
  // the axis (a VSWR of two million) never reaches the rasteriser.
  const QRectF box = clip.adjusted(-1, -1, 1, 1);
  const QRgb colour = qRgb(s.colour.r, s.colour.g, s.colour.b);
  auto flush = [&] {
    frame_.DrawPolyline(run_.data(), static_cast<int>(run_.size()), colour, s.pen_width, box);
    run_.clear();
  };
  run_.clear();
  bool have_previous = false;
  QPointF previous;
  for (const ChartPoint& point : s.points) {
    const QPointF here(xs.Map(point.x), ys.Map(point.y));
    if (!std::isfinite(here.x()) || !std::isfinite(here.y())) {
      flush();
      have_previous = false;
      continue;
    }
    if (have_previous) {
      QPointF a = previous;
      QPointF b = here;
      if (ClipSegment(box, a, b)) {
        if (run_.empty() || run_.back() != a) {
          flush();
          run_.push_back(a);
        }
        run_.push_back(b);
      } else {
        flush();
      }
    }
    previous = here;
    have_previous = true;
  }
  flush();
}

void ChartView::DrawPointSprites(QPainter& p, const Geometry& g, const ChartSeries& s, int series) {
  const Scale& ys = s.axis == VerticalAxis::Right ? g.right : g.left;
  const qreal dpr = frame_.Image().devicePixelRatio();
  const QRectF clip = g.plot.adjusted(0, 0, 1, 1);
  // The pointer itself may overhang the edge of a point on it.
  const double slack = std::max(1, s.pointer_size) + 1;
  const QRectF room = clip.adjusted(-slack, -slack, slack, slack);
  for (const ChartPoint& point : s.points) {
    const double x = std::round(g.bottom.Map(point.x));
    const double y = std::round(ys.Map(point.y));
    if (!std::isfinite(x) || !std::isfinite(y) || std::abs(x) > 1e6 || std::abs(y) > 1e6) continue;
    // A mark that the plot's top, right or left edge would cut moves to the
    // first place round its point where it is whole.
    const ChartSprite* sprite = nullptr;
    QRectF area;
    for (int place = 0; place < kMarkPlaceCount; ++place) {
      sprite =
          &sprites_.Point(s, series, point.mark, mark_font_, dpr, static_cast<MarkPlace>(place));
      area = QRectF(QPointF(x, y) - sprite->anchor, QSizeF(sprite->image.size()) / dpr);
      const bool whole =
          area.top() >= room.top() && area.left() >= room.left() && area.right() <= room.right();
      if (whole || !s.marks_visible || point.mark.empty()) break;
      if (place == kMarkPlaceCount - 1) {
        sprite = &sprites_.Point(s, series, point.mark, mark_font_, dpr);
        area = QRectF(QPointF(x, y) - sprite->anchor, QSizeF(sprite->image.size()) / dpr);
      }
    }
    const QPointF at = area.topLeft();
    if (!area.intersects(clip)) continue;
    p.drawImage(at, sprite->image);
    frame_.MarkDrawn(area & clip);
  }
}

void ChartView::DrawPointers(QPainter& p, const ChartSeries& s, const Scale& xs,
                             const Scale& ys) const {
  if (s.pointer == PointerStyle::None) return;
  const QColor colour = ToQColor(s.colour);
  if (s.pointer == PointerStyle::Dot && s.pointer_size <= 1) {
    std::vector<QPointF> dots;
    dots.reserve(s.points.size());
    for (const ChartPoint& point : s.points) {
      const double x = xs.Map(point.x);
      const double y = ys.Map(point.y);
      if (std::isfinite(x) && std::isfinite(y) && std::abs(x) < 1e6 && std::abs(y) < 1e6) {
        dots.emplace_back(std::floor(x) + 0.5, std::floor(y) + 0.5);
      }
    }
    p.setPen(QPen(colour, 1));
    p.drawPoints(dots.data(), static_cast<int>(dots.size()));
    return;
  }
  for (const ChartPoint& point : s.points) {
    const double x = std::round(xs.Map(point.x));
    const double y = std::round(ys.Map(point.y));
    if (!std::isfinite(x) || !std::isfinite(y) || std::abs(x) > 1e6 || std::abs(y) > 1e6) continue;
    DrawPointer(p, s, x, y);
  }
}

const ChartView::CachedText& ChartView::Text(int font_slot, const std::string& text) const {
  auto key = std::make_pair(font_slot, text);
  auto found = text_cache_.find(key);
  if (found != text_cache_.end()) return found->second;
  const QFont& font = font_slot == kAxisFontSlot ? axis_font_
                      : font_slot < 0            ? mark_font_
                                                 : label_fonts_[static_cast<size_t>(font_slot)];
  CachedText cached;
  cached.text.setText(QString::fromStdString(text));
  cached.text.setTextFormat(Qt::PlainText);
  cached.text.setPerformanceHint(QStaticText::AggressiveCaching);
  cached.text.prepare(QTransform(), font);
  const QFontMetricsF fm(font);
  cached.width = fm.horizontalAdvance(cached.text.text());
  cached.height = fm.height();
  return text_cache_.emplace(std::move(key), std::move(cached)).first->second;
}

void ChartView::DrawMarks(QPainter& p, const ChartSeries& s, const Scale& xs,
                          const Scale& ys) const {
  p.setFont(mark_font_);
  const QColor text_colour = ToQColor(s.mark_colour);
  for (const ChartPoint& point : s.points) {
    if (point.mark.empty()) continue;
    const double x = std::round(xs.Map(point.x));
    const double y = std::round(ys.Map(point.y));
    if (!std::isfinite(x) || !std::isfinite(y) || std::abs(x) > 1e6 || std::abs(y) > 1e6) continue;
    const CachedText& text = Text(-1, point.mark);
    const double arrow = s.mark_arrow_length;
    if (arrow > 0) {
      p.setPen(QPen(text_colour, 1));
      p.drawLine(QPointF(x, y), QPointF(x, y - arrow));
    }
    const double w = text.width + 4;
    const QRectF box(x - w / 2, y - arrow - text.height, w, text.height);
    if (!s.mark_transparent) p.fillRect(box, ToQColor(s.mark_background));
    p.setPen(text_colour);
    p.drawStaticText(QPointF(box.left() + 2, box.top()), text.text);
  }
}

QRectF ChartView::LabelRect(LabelId id) const {
  const int i = static_cast<int>(id);
  const ChartLabel& label = model_.AllLabels()[static_cast<size_t>(i)];
  if (!label.visible || label.text.empty()) return {};
  const QFontMetricsF fm(label_fonts_[static_cast<size_t>(i)]);
  const QSizeF size(std::ceil(fm.horizontalAdvance(QString::fromStdString(label.text))),
                    std::ceil(fm.height()));
  QPointF at(label.x, label.y);
  if (label.centred_top) {
    const QRect inner =
        QRect(QPoint(0, 0), this->size()).adjusted(kBevel, kBevel, -kBevel, -kBevel);
    at = QPointF(inner.left() + std::round((inner.width() - size.width()) / 2),
                 inner.top() + label.y);
  }
  return QRectF(at, size);
}

void ChartView::DrawLabels(QPainter& p, const Geometry& g, qreal dpr, bool into_static) {
  const QRect inner = QRect(QPoint(0, 0), size()).adjusted(kBevel, kBevel, -kBevel, -kBevel);
  // Nothing of a frame is drawn outside these bounds (the traces reach one
  // pixel beyond the plot), so a label clear of them belongs to the static
  // part and is not drawn again with every frame.
  const QRectF dynamic = g.plot.adjusted(-2, -2, 2, 2);
  for (int i = 0; i < kLabelCount; ++i) {
    const ChartLabel& label = model_.AllLabels()[static_cast<size_t>(i)];
    if (!label.visible || label.text.empty()) continue;
    const ChartSprite& sprite = sprites_.Label(label, i, label_fonts_[static_cast<size_t>(i)], dpr);
    const QSizeF logical = QSizeF(sprite.image.size()) / dpr;
    QPointF at(label.x, label.y);
    if (label.centred_top) {
      at = QPointF(inner.left() + std::round((inner.width() - logical.width()) / 2),
                   inner.top() + label.y);
    }
    const QRectF area(at, logical);
    if (area.intersects(dynamic) == into_static) continue;
    p.drawImage(at, sprite.image);
    if (!into_static) frame_.MarkDrawn(area);
  }
}

bool ChartView::event(QEvent* event) {
  if (event->type() != QEvent::ToolTip) return QWidget::event(event);
  auto* help = static_cast<QHelpEvent*>(event);
  const ChartLabel& mark = model_.AllLabels()[static_cast<size_t>(LabelId::cal_label)];
  const QString tip = CalibrationMarkTip(mark.text);
  if (!tip.isEmpty() && LabelRect(LabelId::cal_label).contains(help->pos())) {
    QToolTip::showText(help->globalPos(), tip, this);
  } else {
    QToolTip::hideText();
    event->ignore();
  }
  return true;
}

void ChartView::mousePressEvent(QMouseEvent* event) {
  QWidget::mousePressEvent(event);
  const Geometry g = ComputeGeometry(size());
  const QPointF at = event->position();
  if (on_plot_click && event->button() == Qt::LeftButton && g.plot.contains(at)) {
    on_plot_click(g.bottom.Unmap(at.x()), g.left.Unmap(at.y()));
  }
  if (!on_point_click) return;
  const ChartPoint* best = nullptr;
  double best_distance = kClickRadius * kClickRadius;
  // Later series are drawn on top, so they win a tie.
  for (int i = kSeriesCount - 1; i >= 0; --i) {
    const ChartSeries* shown = model_.ShownSeries(static_cast<SeriesId>(i));
    if (shown == nullptr) continue;
    const ChartSeries& s = *shown;
    const Scale& ys = s.axis == VerticalAxis::Right ? g.right : g.left;
    for (const ChartPoint& point : s.points) {
      const double dx = g.bottom.Map(point.x) - at.x();
      const double dy = ys.Map(point.y) - at.y();
      const double d = dx * dx + dy * dy;
      if (d < best_distance) {
        best_distance = d;
        best = &point;
      }
    }
  }
  if (best != nullptr) on_point_click(best->x, best->y);
}

}  // namespace ostra
