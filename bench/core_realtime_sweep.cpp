// The whole program sweeping the simulated instrument in real time at the
// default settings, without a window: how many sweeps it displays per second
// against the instrument's own rate (three sweeps per acquisition), and the
// processor time it uses while it sweeps.
#include <benchmark/benchmark.h>

#include <chrono>
#include <ctime>
#include <filesystem>

#include "app/analyser.h"
#include "app/app_shell.h"
#include "base/headless_platform.h"
#include "sim/simulated_instrument.h"
#include "sweep/sweep_engine.h"

namespace {

namespace fs = std::filesystem;

double ProcessCpuSeconds() { return static_cast<double>(std::clock()) / CLOCKS_PER_SEC; }

void BM_RealTimeSweeping(benchmark::State& state) {
  const fs::path app = fs::temp_directory_path() / "ostra_bench_realtime";
  fs::remove_all(app);
  fs::create_directories(app / "cal_data");
  for (const auto& entry : fs::directory_iterator(fs::path(OSTRA_SOURCE_DIR) / "cal_data")) {
    if (entry.path().extension() != ".def") continue;  // factory copies only
    fs::copy_file(entry.path(), app / "cal_data" / entry.path().filename());
  }
  const int seconds = static_cast<int>(state.range(0));
  for (auto _ : state) {
    ostra::HeadlessPlatform platform;
    platform.quiet = true;
    platform.SetDocumentsFolder(app);
    ostra::SimulatedInstrument sim;  // real time
    ostra::Analyser analyser(platform, sim, app);
    platform.timer_handler = [&](ostra::TimerId id) { analyser.OnTimer(id); };
    analyser.Shell().FormCreate();
    analyser.Shell().startup_timerTimer();

    // Let the first run settle for a second, count for `seconds`, then
    // leave as File > Exit does.
    using Clock = std::chrono::steady_clock;
    const auto began = Clock::now();
    const auto count_from = began + std::chrono::seconds(1);
    const auto count_to = count_from + std::chrono::seconds(seconds);
    int64_t sweeps = 0;
    double cpu_at_start = 0;
    bool counting = false;
    double cpu = 0;
    analyser.Engine().on_sweep_done.Connect([&] {
      const auto now = Clock::now();
      if (!counting && now >= count_from) {
        counting = true;
        cpu_at_start = ProcessCpuSeconds();
      } else if (counting && now < count_to) {
        ++sweeps;
      } else if (counting && now >= count_to && cpu == 0) {
        cpu = ProcessCpuSeconds() - cpu_at_start;
        analyser.Shell().Exit1Click();
      }
    });
    platform.Run((seconds + 10) * 1000);
    const double wall = static_cast<double>(seconds);

    ostra::SweepProgram program;
    program.points = 201;
    program.dwell = 8;
    program.sweep_count = 3;
    const double acquisition_s =
        std::chrono::duration<double>(ostra::SimulatedInstrument::AcquisitionTime(program)).count();
    state.counters["displayed_sweeps_per_s"] = static_cast<double>(sweeps) / wall;
    state.counters["instrument_sweeps_per_s"] = 3.0 / acquisition_s;
    state.counters["cpu_percent"] = 100.0 * cpu / wall;
    state.counters["measured_acquisition_ms"] = analyser.Engine().MeasuredAcquisitionTime();
  }
  fs::remove_all(app);
}
BENCHMARK(BM_RealTimeSweeping)->Arg(5)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

}  // namespace
