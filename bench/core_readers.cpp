// The readers of the calibration files that every restart of the sweep runs:
// the six standard files and the DC offsets, from the factory copies.
#include <benchmark/benchmark.h>

#include <filesystem>

#include "base/app_log.h"
#include "base/headless_platform.h"
#include "cal/cal_tables.h"

namespace {

namespace fs = std::filesystem;

// The factory copies as working files in a folder of their own.
fs::path CalDataCopy() {
  const fs::path dir = fs::temp_directory_path() / "ostra_bench_readers";
  fs::create_directories(dir);
  for (const auto& entry : fs::directory_iterator(fs::path(OSTRA_SOURCE_DIR) / "cal_data")) {
    if (entry.path().extension() != ".def") continue;
    fs::path target = dir / entry.path().filename();
    target.replace_extension(".dat");
    fs::copy_file(entry.path(), target, fs::copy_options::overwrite_existing);
  }
  return dir;
}

void BM_LoadCalTables(benchmark::State& state) {
  const fs::path dir = CalDataCopy();
  ostra::HeadlessPlatform platform;
  ostra::AppLog log(platform);
  log.SetDataDirectory(dir);
  ostra::CalibrationStore store;
  for (auto _ : state) {
    fs::remove(log.FilePath());
    store.LoadCalTables(dir, platform, log);
  }
  fs::remove_all(dir);
}
BENCHMARK(BM_LoadCalTables)->Unit(benchmark::kMicrosecond);

void BM_LoadDcOffsets(benchmark::State& state) {
  const fs::path dir = CalDataCopy();
  std::vector<double> dc_i, dc_q;
  for (auto _ : state) ostra::LoadDcOffsets(dir / "cal_dc_offset.dat", 201, dc_i, dc_q);
  fs::remove_all(dir);
}
BENCHMARK(BM_LoadDcOffsets)->Unit(benchmark::kMicrosecond);

}  // namespace
