// The whole program with its windows, sweeping at the default settings
// against the test D2XX library in real time (an acquisition takes the
// instrument's own time; without noise, each repeats the one before, so
// the driver costs nothing), on a real X
// display: how many sweeps the chart shows per second against the
// instrument's rate, and the processor time of the whole process (every
// thread) over `seconds`, at two window sizes. Run it under xvfb-run
// (`make bench` does).
#include <benchmark/benchmark.h>
#include <dlfcn.h>
#include <sys/resource.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QTimer>
#include <chrono>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>

#include "app/analyser.h"
#include "app/app_shell.h"
#include "device/d2xx_library.h"
#include "gui/artwork.h"
#include "gui/program_windows.h"
#include "gui/qt_platform.h"
#include "sim/simulated_instrument.h"
#include "sweep/sweep_engine.h"

namespace {

namespace fs = std::filesystem;

double CpuSeconds(int who) {
  rusage usage{};
  getrusage(who, &usage);
  auto seconds = [](const timeval& t) { return t.tv_sec + t.tv_usec / 1e6; };
  return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

class BenchPlatform : public ostra::QtPlatform {
 public:
  explicit BenchPlatform(fs::path documents) : documents_(std::move(documents)) {}
  std::optional<fs::path> DocumentsFolder() override { return documents_; }
  ostra::MessageResult ShowMessage(const std::string& text, ostra::MessageKind,
                                   ostra::MessageButtons) override {
    std::fprintf(stderr, "message: %s\n", text.c_str());
    return ostra::MessageResult::Ok;
  }

 private:
  fs::path documents_;
};

// Every thread of the process; and the calling (user-interface) thread alone.
double ProcessCpuSeconds() { return CpuSeconds(RUSAGE_SELF); }
double UiThreadCpuSeconds() { return CpuSeconds(RUSAGE_THREAD); }

// Counts the chart's paints that show a sweep it has not shown before.
class DisplayCounter : public QObject {
 public:
  int64_t sweeps_done = 0;
  int64_t displayed = 0;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Paint && sweeps_done != shown_) {
      shown_ = sweeps_done;
      ++displayed;
    }
    return QObject::eventFilter(watched, event);
  }

 private:
  int64_t shown_ = -1;
};

fs::path MakeAppFolder() {
  const fs::path app = fs::temp_directory_path() / "ostra_bench_whole_program";
  fs::remove_all(app);
  fs::create_directories(app / "cal_data");
  fs::create_directories(app / "docs");
  for (const auto& entry : fs::directory_iterator(fs::path(OSTRA_SOURCE_DIR) / "cal_data")) {
    if (entry.path().extension() != ".def") continue;  // factory copies only
    fs::copy_file(entry.path(), app / "cal_data" / entry.path().filename());
  }
  return app;
}

// The test library answers at once unless told to take the instrument's
// time, and makes every acquisition afresh unless told to repeat it.
void TestLibraryInRealTime() {
  void* module = dlopen(OSTRA_TEST_D2XX_PATH, RTLD_NOW | RTLD_NOLOAD);
  auto control = module
                     ? reinterpret_cast<int (*)(const char*)>(dlsym(module, "OstraTestD2xxControl"))
                     : nullptr;
  if (control == nullptr || control("reset") != 0 || control("real-time") != 0 ||
      control("replay") != 0) {
    std::fprintf(stderr, "the test D2XX library cannot run in real time\n");
    std::exit(1);
  }
}

void BM_WholeProgramSweeping(benchmark::State& state) {
  const int width = static_cast<int>(state.range(0));
  const int height = static_cast<int>(state.range(1));
  const int seconds = 10;
  for (auto _ : state) {
    const fs::path app = MakeAppFolder();
    ostra::D2xxLibrary library(OSTRA_TEST_D2XX_PATH);
    TestLibraryInRealTime();
    BenchPlatform platform(app / "docs");
    ostra::Analyser analyser(platform, library, app);
    ostra::ProgramWindows windows(analyser, platform);
    DisplayCounter counter;
    windows.Chart().installEventFilter(&counter);
    windows.Start();
    windows.MainForm().resize(width, height);

    // Two seconds of sweeping to settle (the splash screen comes first),
    // then `seconds` counted.
    int64_t displayed_at_start = 0;
    int64_t done_at_start = 0;
    double cpu_at_start = 0;
    double ui_cpu_at_start = 0;
    QElapsedTimer clock;
    std::function<void()> count;
    std::function<void()> report;
    analyser.Engine().on_sweep_done.Connect([&] {
      if (++counter.sweeps_done == 1) QTimer::singleShot(2000, count);
    });
    count = [&] {
      QTimer::singleShot(seconds * 1000, report);
      displayed_at_start = counter.displayed;
      done_at_start = counter.sweeps_done;
      cpu_at_start = ProcessCpuSeconds();
      ui_cpu_at_start = UiThreadCpuSeconds();
      clock.start();
    };
    report = [&] {
      const double cpu = ProcessCpuSeconds() - cpu_at_start;
      const double ui_cpu = UiThreadCpuSeconds() - ui_cpu_at_start;
      const double wall = static_cast<double>(clock.nsecsElapsed()) / 1e9;
      const ostra::RunParameters& run = analyser.Engine().Converter().Run();
      ostra::SweepProgram program;
      program.points = run.points;
      program.dwell = run.dwell;
      program.sweep_count = 3;
      const double acquisition_s =
          std::chrono::duration<double>(ostra::SimulatedInstrument::AcquisitionTime(program))
              .count();
      state.counters["displayed_sweeps_per_s"] =
          static_cast<double>(counter.displayed - displayed_at_start) / wall;
      state.counters["processed_sweeps_per_s"] =
          static_cast<double>(counter.sweeps_done - done_at_start) / wall;
      state.counters["instrument_sweeps_per_s"] = 3.0 / acquisition_s;
      state.counters["cpu_percent"] = 100.0 * cpu / wall;
      // Without the acquisition worker, which here also runs the simulated
      // instrument making its samples.
      state.counters["ui_thread_cpu_percent"] = 100.0 * ui_cpu / wall;
      // The processor time per shown sweep does not depend on how many the
      // machine's other work let through.
      const auto shown = counter.displayed - displayed_at_start;
      state.counters["cpu_ms_per_displayed_sweep"] = shown > 0 ? 1000.0 * cpu / shown : 0.0;
      state.counters["chart_width"] = windows.Chart().width();
      state.counters["chart_height"] = windows.Chart().height();
      analyser.Guard([&] { analyser.Shell().Exit1Click(); });
      if (!platform.QuitRequested()) platform.Quit();
    };
    if (!platform.QuitRequested()) QApplication::exec();
    analyser.Engine().EndWithin(ostra::SweepEngine::kEndWaitMs);
    analyser.Engine().Shutdown();
    fs::remove_all(app);
  }
}
BENCHMARK(BM_WholeProgramSweeping)
    ->Args({1000, 680})
    ->Args({1270, 1000})
    ->Iterations(1)
    ->Unit(benchmark::kSecond)
    ->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setQuitOnLastWindowClosed(false);
  std::setlocale(LC_NUMERIC, "C");
  ostra::InitArtwork();
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
