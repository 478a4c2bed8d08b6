// Rendering one full chart frame offscreen into a 1000 x 680 image with the
// program's chart widget, and the same data with Qt Charts, in the same run.
//
// Scenes:
//   Full: Smith grid and its 16 labels, a 500-point trace, the phase overlay
//         on the right axis, four markers on the trace and four on the
//         overlay, the 500-point memory trace, the constant-VSWR circle and
//         its label, all axes shown (everything the chart can draw at once).
//   Log:  the usual "Log" frame: 500-point trace, phase overlay, 4 + 4
//         markers, the memory trace, and the circle (on the dB axes it lies
//         outside the plot: what it costs is clipping it away).
// Variants:
//   ChartView/warm  the trace changes every frame, the cached static part
//                   (background, grid, axes, Smith grid) is reused, and, as
//                   on the screen, only what changed is painted over the
//                   last frame's picture;
//   ChartView/cold  the static part is drawn afresh every frame and the
//                   whole widget painted;
//   QtCharts        the trace is replaced every frame and the chart rendered.
// Set OSTRA_BENCH_IMAGES to a folder to save one frame of each.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QGraphicsLineItem>
#include <QGraphicsSimpleTextItem>
#include <QImage>
#include <QPainter>
#include <QtCharts/QChart>
#include <QtCharts/QChartView>
#include <QtCharts/QLineSeries>
#include <QtCharts/QScatterSeries>
#include <QtCharts/QValueAxis>
#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdio>
#include <map>
#include <memory>
#include <string>

#include "display/overlays.h"
#include "display/trace_display.h"
#include "gui/chart_view.h"

namespace {

using ostra::AxisId;
using ostra::ChartModel;
using ostra::SeriesId;

constexpr int kWidth = 1000;
constexpr int kHeight = 680;
constexpr int kPoints = 500;

// Two versions of the trace, swapped every frame so each frame has new data.
struct TraceData {
  std::vector<double> x[2], y[2];
};

// Builds the chart model of a scene the way the program would.
struct Scene {
  ostra::InstrumentSettings settings;
  ChartModel chart;
  ostra::TraceDisplay display{chart, settings};
  TraceData trace;
  std::vector<double> phase_x, phase_y;

  explicit Scene(bool full) {
    display.UseInsertionOrder();
    settings.SetText(ostra::Setting::Format, full ? "Smith" : "Log");
    display.UpdateDisplayLayout();
    display.ShowPhaseOverlay();
    if (full) {
      // Show every axis and the overlay over the Smith grid.
      for (AxisId a : {AxisId::Bottom, AxisId::Left, AxisId::Right}) chart.SetAxisVisible(a, true);
      chart.SetVisible(SeriesId::PhaseDataSeries, true);
    }
    for (int i = 0; i < kPoints; ++i) {
      const double f = 20 + 30.0 * i / (kPoints - 1);
      const std::complex<double> z(50, (f - 35) * 10);
      const std::complex<double> g = (z - 75.0) / (z + 75.0);
      ostra::PointResult r;
      r.gamma = g;
      display.PlotTracePoint(i, full ? (f - 35) / 15 : f, r);
    }
    // The memory trace: a copy of an earlier sweep a little below this one.
    ostra::CopyTraceToMemory(chart);
    std::vector<double> mem_x, mem_y;
    for (const ostra::ChartPoint& p : chart.Series(SeriesId::MemDataSeries).points) {
      mem_x.push_back(p.x);
      mem_y.push_back(full ? p.y * 0.9 : p.y - 3);
    }
    chart.Clear(SeriesId::MemDataSeries);
    chart.AddPoints(SeriesId::MemDataSeries, mem_x, mem_y);
    ostra::DrawConstVswrCircle(chart, "2");
    const auto& mag = chart.Series(SeriesId::MagDataSeries).points;
    const auto& phase = chart.Series(SeriesId::PhaseDataSeries).points;
    for (int version = 0; version < 2; ++version) {
      for (const ostra::ChartPoint& p : mag) {
        trace.x[version].push_back(p.x);
        trace.y[version].push_back(version == 0 ? p.y : p.y * 0.98);
      }
    }
    for (const ostra::ChartPoint& p : phase) {
      phase_x.push_back(p.x);
      phase_y.push_back(p.y);
    }
    PlaceMarkers(0);
  }

  // As after every sweep: the markers cleared and placed on the new trace.
  void PlaceMarkers(int v) {
    chart.Clear(SeriesId::MarkerSeries);
    chart.Clear(SeriesId::MarkerSeries2);
    static const char* const kLabels[] = {"M1", "M2", "M3", "M4"};
    for (int m = 1; m <= 4; ++m) {
      const size_t k = static_cast<size_t>(m * 100);
      chart.AddPoint(SeriesId::MarkerSeries, trace.x[v][k], trace.y[v][k], kLabels[m - 1]);
      chart.AddPoint(SeriesId::MarkerSeries2, phase_x[k], phase_y[k], kLabels[m - 1]);
    }
  }

  void NextTrace(int frame) {
    const int v = frame & 1;
    chart.Clear(SeriesId::MagDataSeries);
    chart.AddPoints(SeriesId::MagDataSeries, trace.x[v], trace.y[v]);
    PlaceMarkers(v);
  }
};

void Render(QWidget& widget, QImage& image) {
  QPainter painter(&image);
  widget.render(&painter);
}

void ChartViewFrames(benchmark::State& state, bool full, bool cold) {
  Scene scene(full);
  ostra::ChartView view(scene.chart);
  view.resize(kWidth, kHeight);
  QImage image(kWidth, kHeight, QImage::Format_ARGB32_Premultiplied);
  Render(view, image);
  int frame = 0;
  double changed_pixels = 0;
  for (auto _ : state) {
    scene.NextTrace(++frame);
    if (cold) view.InvalidateStaticCache();
    const QRegion changed = view.RenderFrame();
    QPainter painter(&image);
    view.render(&painter, changed.boundingRect().topLeft(), changed);
    for (const QRect& r : changed) changed_pixels += static_cast<double>(r.width()) * r.height();
  }
  state.counters["static_rebuilds"] = view.StaticRebuilds();
  state.counters["painted_share"] = changed_pixels /
                                    std::max<double>(1, static_cast<double>(state.iterations())) /
                                    (kWidth * kHeight);
  if (const char* dir = std::getenv("OSTRA_BENCH_IMAGES")) {
    image.save(QString("%1/chartview_%2.png").arg(dir, full ? "full" : "log"));
  }
}

QColor ToQColor(ostra::Rgb c) { return QColor(c.r, c.g, c.b); }

// The same model drawn with Qt Charts.
struct QtChartsScene {
  QChart* chart = new QChart;
  QChartView view{chart};
  QLineSeries* mag = nullptr;
  QList<QPointF> trace[2];

  explicit QtChartsScene(Scene& scene) {
    chart->legend()->hide();
    chart->setBackgroundBrush(Qt::black);
    chart->setPlotAreaBackgroundVisible(false);
    chart->setMargins(QMargins(4, 64, 4, 8));
    view.setBackgroundBrush(Qt::black);
    view.setFrameShape(QFrame::Panel);
    view.setFrameShadow(QFrame::Sunken);
    view.setLineWidth(3);

    const ChartModel& model = scene.chart;
    QFont axis_font("Arial");
    axis_font.setPointSize(8);
    QFont mark_font = axis_font;
    mark_font.setBold(true);
    auto make_axis = [&](AxisId id, Qt::Alignment where, bool grid) {
      auto* axis = new QValueAxis;
      axis->setRange(model.Axis(id).min, model.Axis(id).max);
      axis->setVisible(model.Axis(id).visible);
      axis->setGridLineVisible(grid);
      axis->setGridLineColor(QColor(0x3A, 0x3A, 0x3A));
      axis->setMinorTickCount(4);
      axis->setMinorGridLineVisible(false);
      axis->setLabelsColor(QColor(0xC0, 0xC0, 0xC0));
      axis->setLabelsFont(axis_font);
      chart->addAxis(axis, where);
      return axis;
    };
    QValueAxis* bottom = make_axis(AxisId::Bottom, Qt::AlignBottom, true);
    QValueAxis* left = make_axis(AxisId::Left, Qt::AlignLeft, true);
    QValueAxis* right = make_axis(AxisId::Right, Qt::AlignRight, false);

    struct Mark {
      QGraphicsSimpleTextItem* text;
      QGraphicsLineItem* arrow;
      QPointF value;
      QAbstractSeries* series;
      int arrow_length;
    };
    std::vector<Mark> marks;
    for (const ostra::ChartSeries& s : model.AllSeries()) {
      if (!s.visible || s.points.empty()) continue;
      QXYSeries* series = nullptr;
      if (s.kind == ostra::SeriesKind::Line) {
        auto* line = new QLineSeries;
        line->setPen(QPen(ToQColor(s.colour), s.pen_width));
        series = line;
      } else {
        auto* scatter = new QScatterSeries;
        const bool diamond = s.pointer == ostra::PointerStyle::Diamond;
        scatter->setMarkerShape(diamond ? QScatterSeries::MarkerShapeRotatedRectangle
                                        : QScatterSeries::MarkerShapeRectangle);
        scatter->setMarkerSize(diamond ? 7 : 1);
        scatter->setColor(ToQColor(s.pointer_brush));
        scatter->setBorderColor(ToQColor(s.colour));
        series = scatter;
      }
      QList<QPointF> points;
      points.reserve(static_cast<qsizetype>(s.points.size()));
      for (const ostra::ChartPoint& p : s.points) points.append(QPointF(p.x, p.y));
      series->replace(points);
      chart->addSeries(series);
      series->attachAxis(bottom);
      series->attachAxis(s.axis == ostra::VerticalAxis::Right ? right : left);
      if (&s == &model.Series(SeriesId::MagDataSeries)) {
        mag = static_cast<QLineSeries*>(series);
        for (int v = 0; v < 2; ++v) {
          for (size_t i = 0; i < scene.trace.x[v].size(); ++i) {
            trace[v].append(QPointF(scene.trace.x[v][i], scene.trace.y[v][i]));
          }
        }
      }
      if (s.marks_visible) {
        for (const ostra::ChartPoint& p : s.points) {
          auto* text = new QGraphicsSimpleTextItem(QString::fromStdString(p.mark), chart);
          text->setFont(mark_font);
          text->setBrush(ToQColor(s.mark_colour));
          text->setZValue(10);
          QGraphicsLineItem* arrow = nullptr;
          if (s.mark_arrow_length > 0) {
            arrow = new QGraphicsLineItem(chart);
            arrow->setPen(QPen(ToQColor(s.mark_colour), 1));
            arrow->setZValue(10);
          }
          marks.push_back({text, arrow, QPointF(p.x, p.y), series, s.mark_arrow_length});
        }
      }
    }
    for (const ostra::ChartLabel& l : model.AllLabels()) {
      if (!l.visible) continue;
      auto* text = new QGraphicsSimpleTextItem(QString::fromStdString(l.text), chart);
      QFont font(QString::fromStdString(l.font_family));
      font.setPixelSize(l.pixel_size);
      text->setFont(font);
      text->setBrush(ToQColor(l.colour));
      text->setPos(l.centred_top ? (kWidth - text->boundingRect().width()) / 2 : l.x, l.y);
    }

    view.resize(kWidth, kHeight);
    view.show();
    QApplication::processEvents();
    for (const Mark& m : marks) {
      const QPointF at = chart->mapToPosition(m.value, m.series);
      const QRectF box = m.text->boundingRect();
      m.text->setPos(at.x() - box.width() / 2, at.y() - m.arrow_length - box.height());
      if (m.arrow) m.arrow->setLine(QLineF(at, at - QPointF(0, m.arrow_length)));
    }
  }
};

void QtChartsFrames(benchmark::State& state, bool full) {
  Scene scene(full);
  QtChartsScene qt(scene);
  QImage image(kWidth, kHeight, QImage::Format_ARGB32_Premultiplied);
  Render(qt.view, image);
  int frame = 0;
  for (auto _ : state) {
    qt.mag->replace(qt.trace[++frame & 1]);
    Render(qt.view, image);
  }
  if (const char* dir = std::getenv("OSTRA_BENCH_IMAGES")) {
    image.save(QString("%1/qtcharts_%2.png").arg(dir, full ? "full" : "log"));
  }
}

void BM_Full_ChartView_warm(benchmark::State& s) { ChartViewFrames(s, true, false); }
void BM_Full_ChartView_cold(benchmark::State& s) { ChartViewFrames(s, true, true); }
void BM_Full_QtCharts(benchmark::State& s) { QtChartsFrames(s, true); }
void BM_Log_ChartView_warm(benchmark::State& s) { ChartViewFrames(s, false, false); }
void BM_Log_ChartView_cold(benchmark::State& s) { ChartViewFrames(s, false, true); }
void BM_Log_QtCharts(benchmark::State& s) { QtChartsFrames(s, false); }

BENCHMARK(BM_Full_ChartView_warm)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Full_ChartView_cold)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Full_QtCharts)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Log_ChartView_warm)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Log_ChartView_cold)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Log_QtCharts)->Unit(benchmark::kMicrosecond);

// Prints the console report and then the Qt Charts time over ours per scene.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      if (run.run_type == Run::RT_Iteration && !run.error_occurred) {
        times_[run.benchmark_name()] = {run.GetAdjustedRealTime(), run.GetAdjustedCPUTime()};
      }
    }
  }
  void Finalize() override {
    ConsoleReporter::Finalize();
    for (const char* scene : {"Full", "Log"}) {
      const std::string prefix = std::string("BM_") + scene + "_";
      auto qt = times_.find(prefix + "QtCharts");
      if (qt == times_.end()) continue;
      for (const char* variant : {"ChartView_warm", "ChartView_cold"}) {
        auto ours = times_.find(prefix + variant);
        if (ours == times_.end() || ours->second.real <= 0 || ours->second.cpu <= 0) continue;
        std::printf(
            "%s frame: %s %.1f us (CPU %.1f), QtCharts %.1f us (CPU %.1f), QtCharts / ours = "
            "%.2f (CPU %.2f)\n",
            scene, variant, ours->second.real, ours->second.cpu, qt->second.real, qt->second.cpu,
            qt->second.real / ours->second.real, qt->second.cpu / ours->second.cpu);
      }
    }
  }

 private:
  // Real and processor time: on a shared machine the processor time is the
  // steadier of the two.
  struct Times {
    double real = 0;
    double cpu = 0;
  };
  std::map<std::string, Times> times_;
};

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}
