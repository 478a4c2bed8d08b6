// The settings file: writing and reading config.dat.
#include <benchmark/benchmark.h>

#include <filesystem>

#include "base/instrument_settings.h"

static void BM_SaveAndLoadSettings(benchmark::State& state) {
  const auto path = std::filesystem::temp_directory_path() / "ostra_bench_config.dat";
  ostra::InstrumentSettings settings;
  for (auto _ : state) {
    ostra::save_parameters(settings, path);
    ostra::Load_parameters(settings, path);
  }
  std::filesystem::remove(path);
}
BENCHMARK(BM_SaveAndLoadSettings);
