// Per-point plotting: the cost of PlotTracePoint for each point of a
// 500-point reflection sweep, in the "Log" and "Smith" formats.
#include <benchmark/benchmark.h>

#include <cmath>
#include <complex>

#include "display/trace_display.h"

namespace {

void PlotSweep(benchmark::State& state, const char* format) {
  ostra::InstrumentSettings settings;
  ostra::ChartModel chart;
  ostra::TraceDisplay display(chart, settings);
  display.UseInsertionOrder();
  settings.SetText(ostra::Setting::Format, format);
  display.UpdateDisplayLayout();
  constexpr int kPoints = 500;
  std::vector<ostra::PointResult> results(kPoints);
  std::vector<double> xs(kPoints);
  for (int i = 0; i < kPoints; ++i) {
    xs[static_cast<size_t>(i)] = 20 + 30.0 * i / (kPoints - 1);
    const std::complex<double> z(50, (xs[static_cast<size_t>(i)] - 35) * 10);
    results[static_cast<size_t>(i)].gamma = (z - 75.0) / (z + 75.0);
  }
  for (auto _ : state) {
    display.ClearTrace();
    for (int i = 0; i < kPoints; ++i) {
      display.PlotTracePoint(i, xs[static_cast<size_t>(i)], results[static_cast<size_t>(i)]);
    }
    benchmark::DoNotOptimize(chart.Series(ostra::SeriesId::MagDataSeries).points.data());
  }
  state.SetItemsProcessed(state.iterations() * kPoints);
  state.counters["time_per_point"] =
      benchmark::Counter(static_cast<double>(state.iterations()) * kPoints,
                         benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void BM_PlotTracePointLog(benchmark::State& state) { PlotSweep(state, "Log"); }
void BM_PlotTracePointSmith(benchmark::State& state) { PlotSweep(state, "Smith"); }

}  // namespace

BENCHMARK(BM_PlotTracePointLog);
BENCHMARK(BM_PlotTracePointSmith);
