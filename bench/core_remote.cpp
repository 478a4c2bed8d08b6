// The remote interface's own cost on the user-interface thread: 10 000
// settings commands parsed and executed (each changes the setting as a key
// does), and the reply to CALC:DATA:SDAT? for a 501-point sweep formatted as
// a REAL,64 block and as ASCII numbers. The client's end-to-end time is
// measured by bench/remote_pyvisa.py.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <string>

#include "app/analyser.h"
#include "app/app_shell.h"
#include "base/headless_platform.h"
#include "remote/remote_session.h"
#include "sim/simulated_instrument.h"
#include "sweep/sweep_engine.h"

namespace fs = std::filesystem;

namespace {

// The program started on the simulated instrument, sweeping held, with a
// client session whose replies are kept.
struct Program {
  Program() {
    fs::remove_all(app);
    fs::create_directories(app / "cal_data");
    for (const auto& entry : fs::directory_iterator(fs::path(OSTRA_SOURCE_DIR) / "cal_data")) {
      if (entry.path().extension() == ".def") {
        fs::copy_file(entry.path(), app / "cal_data" / entry.path().filename());
      }
    }
    platform.quiet = true;
    platform.SetDocumentsFolder(app);
    sim.SetRealTime(false);
    platform.timer_handler = [this](ostra::TimerId id) { analyser.OnTimer(id); };
    analyser.Shell().FormCreate();
    analyser.Shell().startup_timerTimer();
    remote.SetContinuous(false);
  }
  ~Program() { fs::remove_all(app); }

  // One held sweep of `points` points, run to its end.
  void Sweep(int points) {
    analyser.Settings().SetText(ostra::Setting::Points, std::to_string(points));
    remote.on_operation_complete.Connect([this] { platform.Quit(); });
    session.Receive("INIT\n");
    platform.Run(10000);
  }

  const fs::path app = fs::temp_directory_path() / "ostra_bench_remote";
  ostra::HeadlessPlatform platform;
  ostra::SimulatedInstrument sim;
  ostra::Analyser analyser{platform, sim, app};
  ostra::RemoteInstrument remote{analyser};
  size_t reply_bytes = 0;
  ostra::RemoteSession session{remote, [this](std::string_view r) { reply_bytes += r.size(); }};
};

void BM_TenThousandSettingsCommands(benchmark::State& state) {
  Program p;
  const std::string a = "SENS:FREQ:STAR 21 MHZ;STOP 49e6;:SENS:SWE:POIN 201\n";
  const std::string b = "SENS:FREQ:STAR 20 MHZ;STOP 50e6;:SENS:SWE:POIN 101\n";
  for (auto _ : state) {
    for (int i = 0; i < 10000 / 6; ++i) {
      p.session.Receive(a);
      p.session.Receive(b);
    }
  }
  state.SetItemsProcessed(state.iterations() * (10000 / 6) * 6);
  if (!p.remote.Status().Empty()) state.SkipWithError("a command failed");
}

void SdatReply(benchmark::State& state, const char* format) {
  Program p;
  p.Sweep(501);
  p.session.Receive(std::string(format) + "\n");
  if (p.remote.LastData() == nullptr || p.remote.LastData()->Points().size() != 501) {
    state.SkipWithError("no 501-point sweep");
    return;
  }
  for (auto _ : state) p.session.Receive("CALC:DATA:SDAT?\n");
  state.counters["reply_bytes"] = static_cast<double>(p.reply_bytes) /
                                  static_cast<double>(std::max<int64_t>(state.iterations(), 1));
}
void BM_Sdat501Real64(benchmark::State& state) { SdatReply(state, "FORM REAL,64"); }
void BM_Sdat501Ascii(benchmark::State& state) { SdatReply(state, "FORM ASC"); }

}  // namespace

BENCHMARK(BM_TenThousandSettingsCommands)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Sdat501Real64)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Sdat501Ascii)->Unit(benchmark::kMicrosecond);
