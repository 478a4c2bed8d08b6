// The main window's chart: draws the chart model. The static part
// (background, bevel, grid, axes and the Smith chart grid) is drawn once into
// a cached image and reused until the layout changes. Once per turn of the
// event loop after the model changed, the frame puts the static pixels back
// where the last frame drew and draws the traces (straight into the pixels),
// the markers and the labels (small cached pictures) over it, in the series'
// drawing order, clipped to the plot; only the part of the widget that
// changed is then repainted, so the cost of a sweep follows the trace, not
// the window's size.
#pragma once

#include <QFont>
#include <QImage>
#include <QPointF>
#include <QRectF>
#include <QRegion>
#include <QStaticText>
#include <QWidget>
#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "display/chart_model.h"
#include "gui/chart_frame.h"
#include "gui/chart_sprites.h"

namespace ostra {

class ChartView : public QWidget {
  Q_OBJECT

 public:
  explicit ChartView(const ChartModel& model, QWidget* parent = nullptr);

  // Schedules one new frame for this turn of the event loop, however many
  // changes it brings.
  void ModelChanged();
  // Draws the frame of the current model now, if it is not yet drawn, and
  // returns the widget area it changed (the whole widget after a resize or
  // a new static part), which then needs repainting.
  QRegion RenderFrame();

  // A click near a point of any shown series, with that point's values.
  std::function<void(double x, double y)> on_point_click;
  // A left click inside the plot, at its values on the bottom and left axes.
  std::function<void(double x, double y)> on_plot_click;

  // Where a chart value lands in widget pixels at the current size.
  QPointF MapToWidget(double x, double y, VerticalAxis axis = VerticalAxis::Left) const;
  // The area inside the axes that the series are drawn in.
  QRectF PlotArea() const;
  // Where a label's text is drawn at the current size (empty when hidden).
  QRectF LabelRect(LabelId id) const;
  // How many times the static part has been drawn afresh (for tests and the
  // benchmark); and a way to force the next paint to draw it again.
  int StaticRebuilds() const { return static_rebuilds_; }
  void InvalidateStaticCache() { static_valid_ = false; }
  // Tiles of the static part put back by the last paint (for tests).
  int RestoredTiles() const { return frame_.RestoredTiles(); }

  QSize sizeHint() const override { return {760, 640}; }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  // The calibration mark's tooltip.
  bool event(QEvent* event) override;

 private:
  // Value-to-pixel mapping of one axis.
  struct Scale {
    double min = 0;
    double max = 1;
    double pixel_from = 0;  // pixel of `min`
    double pixel_to = 1;    // pixel of `max`
    double Map(double v) const;
    double Unmap(double pixel) const;
  };
  struct Ticks {
    std::vector<double> major;
    std::vector<double> minor;
    int decimals = 0;
  };
  struct Geometry {
    QSize size;
    QRect inner;  // inside the bevel
    QRectF plot;
    Scale bottom;
    Scale left;
    Scale right;
    Ticks bottom_ticks;
    Ticks left_ticks;
    Ticks right_ticks;
  };
  // What the cached static part was drawn from.
  struct StaticKey {
    QSize size;
    qreal dpr = 0;
    std::array<ChartAxis, 3> axes{};
    uint64_t grid_revision = 0;
    uint64_t grid_label_revision = 0;
    // The labels clear of the plot are drawn with the static part.
    std::array<std::pair<bool, std::string>, kLabelCount> labels{};
    bool operator==(const StaticKey& other) const;
  };

  Geometry ComputeGeometry(QSize size) const;
  void ChooseBottomTicks(double min, double max, double pixels, Ticks& ticks) const;
  double WidestTick(const Ticks& ticks) const;
  struct AxesPaint;
  void GatherBottomAxis(AxesPaint& paint, const Geometry& g) const;
  void GatherVerticalAxis(AxesPaint& paint, const Ticks& t, const Scale& scale, double x,
                          double direction) const;
  StaticKey CurrentKey(qreal dpr) const;
  void DrawStatic(QPainter& p, const Geometry& g) const;
  void DrawAxes(QPainter& p, const Geometry& g) const;
  void DrawDynamic(const Geometry& g);
  void RenderScheduled();
  void DrawLine(const QRectF& clip, const ChartSeries& s, const Scale& xs, const Scale& ys);
  void DrawPointSprites(QPainter& p, const Geometry& g, const ChartSeries& s, int series);
  void DrawPointers(QPainter& p, const ChartSeries& s, const Scale& xs, const Scale& ys) const;
  void DrawMarks(QPainter& p, const ChartSeries& s, const Scale& xs, const Scale& ys) const;
  void DrawLabels(QPainter& p, const Geometry& g, qreal dpr, bool into_static);
  static std::string TickText(double value, int decimals);
  double TickWidth(double value, int decimals) const;
  static constexpr int kAxisFontSlot = -2;
  // Texts laid out once and drawn from the cache afterwards.
  struct CachedText {
    QStaticText text;
    double width = 0;
    double height = 0;
  };
  // `font_slot` -2 is the axes' font, -1 the marks' font, 0 .. 4 the labels'.
  const CachedText& Text(int font_slot, const std::string& text) const;

  const ChartModel& model_;
  QFont axis_font_;
  QFont mark_font_;
  std::array<QFont, kLabelCount> label_fonts_;
  mutable std::map<std::pair<int, std::string>, CachedText> text_cache_;
  QImage static_;
  ChartFrame frame_;
  ChartSprites sprites_;
  StaticKey static_key_;
  bool static_valid_ = false;
  uint64_t drawn_revision_ = UINT64_MAX;  // the model's revision in the frame
  bool render_queued_ = false;            // RenderScheduled is on its way
  int static_rebuilds_ = 0;
  Geometry geometry_;
  // Reused for every polyline, so painting does not allocate.
  std::vector<QPointF> run_;
};

// Lets `view` repaint when `model` changes (once per event-loop turn).
void ConnectChartView(ChartModel& model, ChartView& view);

}  // namespace ostra
