// The exports of Save Data for the largest sweep (500 points): the text of
// the comma-separated file and of a Touchstone file, and the whole write of
// each through its temporary file, sync and rename.
#include <benchmark/benchmark.h>

#include <cmath>
#include <filesystem>

#include "display/chart_model.h"
#include "files/data_export.h"
#include "files/sweep_record.h"
#include "files/touchstone.h"

namespace {

constexpr int kPoints = 500;

ostra::ChartModel MakeChart() {
  ostra::ChartModel chart;
  for (int i = 0; i < kPoints; ++i) {
    const double x = 20.0 + 0.06 * i;
    chart.AddPoint(ostra::SeriesId::MagDataSeries, x, -3.0 - 0.01 * i);
    chart.AddPoint(ostra::SeriesId::PhaseDataSeries, x, -179.0 + 0.7 * i);
  }
  return chart;
}

class NullSink : public ostra::TraceSink {
 public:
  void ClearTrace() override {}
  void PlotTracePoint(int, double, const ostra::PointResult&) override {}
};

// A recorder holding a complete reflection sweep of 500 points.
struct Recorded {
  NullSink sink;
  ostra::SweepRecorder recorder{sink};
  Recorded() {
    ostra::InstrumentSettings settings;
    ostra::RunParameters run;
    run.sweep_type = "Frequency";
    run.mode = "Reflection";
    run.points = kPoints;
    recorder.ClearTrace();
    for (int i = 0; i < kPoints; ++i) {
      ostra::PointResult r;
      r.gamma = std::polar(0.9 - 0.001 * i, 0.01 * i);
      recorder.PlotTracePoint(i, 20.0 + 0.06 * i, r);
    }
    recorder.EndSweep(run, settings);
  }
};

void BM_DataExportText(benchmark::State& state) {
  const ostra::ChartModel chart = MakeChart();
  for (auto _ : state) benchmark::DoNotOptimize(ostra::DataExportText(chart));
}
BENCHMARK(BM_DataExportText);

void BM_TouchstoneText(benchmark::State& state) {
  const Recorded recorded;
  const ostra::TouchstoneHeader header{"Marlune Ostra 7 1.2", {}};
  for (auto _ : state) {
    benchmark::DoNotOptimize(ostra::TouchstoneText(*recorded.recorder.LastComplete(), header));
  }
}
BENCHMARK(BM_TouchstoneText);

void BM_WriteDataExport(benchmark::State& state) {
  const ostra::ChartModel chart = MakeChart();
  const auto path = std::filesystem::temp_directory_path() / "ostra_bench_data.csv";
  for (auto _ : state) ostra::WriteDataExport(chart, path);
  std::filesystem::remove(path);
}
BENCHMARK(BM_WriteDataExport)->Unit(benchmark::kMicrosecond);

void BM_WriteTouchstone(benchmark::State& state) {
  const Recorded recorded;
  const ostra::TouchstoneHeader header{"Marlune Ostra 7 1.2", {}};
  const auto path = std::filesystem::temp_directory_path() / "ostra_bench_data.s1p";
  for (auto _ : state) ostra::WriteTouchstone(path, *recorded.recorder.LastComplete(), header);
  std::filesystem::remove(path);
}
BENCHMARK(BM_WriteTouchstone)->Unit(benchmark::kMicrosecond);

}  // namespace
