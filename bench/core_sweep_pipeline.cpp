// The per-sweep work of the acquisition loop on the user-interface thread:
// sample conversion, averaging, per-point conversion, error correction and
// the per-point plotting, in microseconds per sweep; and the reflection correction alone over the
// 500 points that bench/skrf_one_port.py corrects with scikit-rf.
#include <benchmark/benchmark.h>

#include <complex>
#include <random>
#include <string>
#include <vector>

#include "../tests/skrf/one_port_model.h"
#include "cal/cal_tables.h"
#include "cal/error_correction.h"
#include "display/chart_model.h"
#include "display/trace_display.h"
#include "sweep/sample_conversion.h"
#include "sweep/sweep_pipeline.h"

namespace {

using ostra::Setting;

// Fills an acquisition with noisy readings around a point-dependent level.
std::vector<uint8_t> MakeAcquisition(int points, int dwell) {
  std::vector<uint8_t> bytes(ostra::kRxBufferSize);
  std::mt19937 rng(7);
  std::normal_distribution<double> noise(0.0, 4.0);
  for (int k = 0; k < 3; ++k) {
    for (int i = 0; i < points; ++i) {
      for (int h = 0; h < dwell; ++h) {
        const size_t at = static_cast<size_t>(((k * points + i) * dwell + h) * 4);
        const int vi = static_cast<int>(800 * std::cos(i * 0.05) + noise(rng)) & 0xFFF;
        const int vq = static_cast<int>(800 * std::sin(i * 0.05) + noise(rng)) & 0xFFF;
        bytes[at] = static_cast<uint8_t>(vi >> 8);
        bytes[at + 1] = static_cast<uint8_t>(vi);
        bytes[at + 2] = static_cast<uint8_t>(vq >> 8);
        bytes[at + 3] = static_cast<uint8_t>(vq);
      }
    }
  }
  return bytes;
}

// args: points, dwell, averaging factor (0: averaging off).
void BM_SweepPipeline(benchmark::State& state) {
  const int points = static_cast<int>(state.range(0));
  const int dwell = static_cast<int>(state.range(1));
  const int factor = static_cast<int>(state.range(2));
  ostra::InstrumentSettings settings;
  settings.SetText(Setting::Points, std::to_string(points));
  settings.SetText(Setting::Dwell, std::to_string(dwell));
  settings.SetText(Setting::StartFreq, "500000");
  settings.SetText(Setting::StopFreq, std::to_string(500000 + (points - 1) * 200000));
  settings.SetChecked(Setting::AveEnable, factor > 0);
  settings.SetText(Setting::Average, std::to_string(factor > 0 ? factor : 8));

  ostra::SampleConverter converter(settings);
  converter.SizeHistory(factor > 0 ? factor : 8, points);
  converter.DcOffsetI.assign(static_cast<size_t>(points), 0.001);
  converter.DcOffsetQ.assign(static_cast<size_t>(points), -0.002);
  converter.BeginRun("normal");

  // Tables captured with this sweep: the correction takes the usual path.
  ostra::CalibrationStore store;
  for (int i = 0; i < points; ++i) {
    const double f = 500000.0 + i * 200000.0;
    (*store.Open.stimulus)[static_cast<size_t>(i)] = f;
    store.Open.magnitude[static_cast<size_t>(i)] = 0.9;
    store.Open.phase[static_cast<size_t>(i)] = 0.1 - f * 1e-8;
    store.Short.magnitude[static_cast<size_t>(i)] = 0.85;
    store.Short.phase[static_cast<size_t>(i)] = 3.0 - f * 1e-8;
    store.Load.magnitude[static_cast<size_t>(i)] = 0.04;
    store.Load.phase[static_cast<size_t>(i)] = 0.3;
  }
  // As LoadCalTables leaves them.
  store.PrepareReflectionTerms();
  const std::vector<uint8_t> work = MakeAcquisition(points, dwell);
  ostra::ChartModel chart;
  ostra::TraceDisplay display(chart, settings);
  display.UseInsertionOrder();
  display.UpdateDisplayLayout();
  bool doubtful = false;
  ostra::SweepStage stage;
  int k = 0;
  for (auto _ : state) {
    doubtful |=
        ostra::ProcessSweep(converter, store, display, work.data(), work.size(), k, stage, nullptr);
    k = (k + 1) % 3;
  }
  if (doubtful) state.SkipWithError("calibration tables did not match the sweep");
  state.counters["points"] = points;
}
BENCHMARK(BM_SweepPipeline)
    ->ArgNames({"points", "dwell", "ave"})
    ->Args({201, 8, 0})
    ->Args({500, 10, 0})
    ->Args({201, 8, 8})
    ->Args({500, 10, 8})
    ->Unit(benchmark::kMicrosecond);

// CorrectReflection over the 500 points of the scikit-rf comparison.
void BM_CorrectReflection500(benchmark::State& state) {
  const auto points = ostra::testing::MakeOnePortPoints(500);
  for (auto _ : state) {
    for (const auto& p : points) {
      auto g = ostra::CorrectReflection(p.measured, p.open, p.short_, p.load);
      benchmark::DoNotOptimize(g);
    }
  }
}
BENCHMARK(BM_CorrectReflection500)->Unit(benchmark::kMicrosecond);

}  // namespace
