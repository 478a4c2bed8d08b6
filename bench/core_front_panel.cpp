// The cost of front-panel work on the user-interface thread, where it runs
// between two sweeps of the acquisition loop: a keypad entry of the
// reference level (validator, layout refresh), a format change to Smith and
// back (the Smith grid is built), and one field validator on its own.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <system_error>

#include "app/analyser.h"
#include "app/front_panel_keys.h"
#include "app/numeric_entry.h"
#include "app/options_dialog.h"
#include "base/headless_platform.h"
#include "sim/simulated_instrument.h"

namespace {

// The program without an instrument; its log goes to a scratch folder.
struct Program {
  Program() {
    std::filesystem::create_directories(kScratch);
    analyser.Log().SetDataDirectory(kScratch);
  }
  ~Program() {
    std::error_code ignored;
    std::filesystem::remove_all(kScratch, ignored);
  }
  const std::filesystem::path kScratch =
      std::filesystem::temp_directory_path() / "ostra_bench_front_panel";
  ostra::HeadlessPlatform platform;
  ostra::SimulatedInstrument instrument;
  ostra::Analyser analyser{platform, instrument, kScratch};
};

void BM_KeypadRefLevelEntry(benchmark::State& state) {
  Program p;
  ostra::FrontPanelKeys& keys = p.analyser.Keys();
  ostra::NumericEntry& entry = p.analyser.Entry();
  keys.amp_ptnClick();
  for (auto _ : state) {
    keys.SoftKeyClick(0);  // "Ref Level"
    entry.ptn_1Click();
    entry.ptn_2Click();
    entry.ptn_dotClick();
    entry.ptn_3Click();
    entry.enter_ptnClick();
  }
  benchmark::DoNotOptimize(p.analyser.Settings().Text(ostra::Setting::RefLevel).data());
}

void BM_FormatSmithAndBack(benchmark::State& state) {
  Program p;
  ostra::FrontPanelKeys& keys = p.analyser.Keys();
  keys.format_ptnClick();
  for (auto _ : state) {
    keys.SoftKeyClick(2);  // "Smith": the grid is built
    keys.SoftKeyClick(0);  // "Log Mag": the grid is emptied
  }
}

void BM_ValidateStartFreq(benchmark::State& state) {
  Program p;
  ostra::OptionsDialog& dialog = p.analyser.Dialog();
  for (auto _ : state) {
    dialog.RunValidator(ostra::FieldValidator::ValidateStartFreq, "20000000", "25000000");
    dialog.RunValidator(ostra::FieldValidator::ValidateStartFreq, "25000000", "20000000");
  }
  state.SetItemsProcessed(state.iterations() * 2);
}

}  // namespace

BENCHMARK(BM_KeypadRefLevelEntry)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_FormatSmithAndBack)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ValidateStartFreq)->Unit(benchmark::kNanosecond);
