// The whole program on the simulated instrument, sweeping, with the
// Save/Recall keys pressed as a user presses them while the sweep runs. The
// loop is let run for a number of sweeps and then stopped, so a test gets
// control back with the chart and the last complete sweep standing still.
#pragma once

#include <climits>
#include <functional>
#include <string>
#include <vector>

#include "app/state_files.h"
#include "panel/front_panel.h"
#include "support/analyser_rig.h"

namespace ostra::testing {

class FilesRig : public AnalyserRig {
 public:
  FilesRig() {
    analyser->Engine().on_sweep_done.Connect([this] {
      ++sweeps;
      if (sweeps >= stop_at) analyser->Sweep().RequestStop();
    });
    StartUp();
  }

  // Sweeps until `n` more sweeps have been shown and the loop has returned.
  bool RunSweeps(int n) {
    stop_at = sweeps + n;
    EnsureSweeping();
    return platform.RunUntil([&] { return Idle(); }, 20000);
  }

  // Runs `action` inside the running loop (as a key press arrives), then
  // sweeps on until `n` more sweeps have been shown: false when the sweep
  // did not run again after it.
  bool DuringSweep(const std::function<void()>& action, int n = 3, int at_ms = 50) {
    bool done = false;
    stop_at = INT_MAX;
    platform.At(platform.NowMicroseconds() / 1000 + at_ms, [&] {
      pressed_at_us = platform.NowMicroseconds();
      action();
      done = true;
      stop_at = sweeps + n;
    });
    EnsureSweeping();
    return platform.RunUntil([&] { return done && Idle(); }, 20000);
  }

  // Save/Recall, then soft key `index` (0 Save State, 1 Save Data, 2 Recall
  // State), pressed during the sweep; `right_after` runs when its handler
  // has returned.
  bool PressSaveRecall(int index, const std::function<void()>& right_after = {}, int at_ms = 50) {
    return DuringSweep(
        [&] {
          analyser->Keys().save_recall_ptnClick();
          analyser->Keys().SoftKeyClick(index);
          if (right_after) right_after();
        },
        3, at_ms);
  }

  // Save Data with `typed` as the name and filter `filter` chosen.
  bool SaveData(const std::filesystem::path& typed, int filter = 0) {
    platform.file_dialog_answers.push_back(typed);
    platform.file_dialog_filters.push_back(filter);
    return PressSaveRecall(1);
  }

  // The lines of a text whose every line ends in CR LF.
  static std::vector<std::string> CrLfLines(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t end = text.find("\r\n"); end != std::string::npos; end = text.find("\r\n", start)) {
      lines.push_back(text.substr(start, end - start));
      start = end + 2;
    }
    if (start != text.size()) lines.push_back("<no CR LF at the end>");
    return lines;
  }

  int sweeps = 0;
  int stop_at = INT_MAX;
  int64_t pressed_at_us = 0;  // when the last action ran

 private:
  bool Idle() {
    return sweeps >= stop_at && !analyser->Engine().RunActive() &&
           !platform.TimerEnabled(TimerId::BeginSweep) && !platform.TimerEnabled(TimerId::Startup);
  }
  void EnsureSweeping() {
    if (!analyser->Engine().RunActive() && !platform.TimerEnabled(TimerId::BeginSweep)) {
      analyser->Sweep().Restart();
    }
  }
};

}  // namespace ostra::testing
