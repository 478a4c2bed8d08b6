// The whole program on the simulated instrument, calibrated with the keys as
// a user would: normal sweeping runs, Calibration and Cal are pressed, each
// prompt is answered, and the simulator's bench follows the prompts the way
// the program started with --simulate has it.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "app/calibration.h"
#include "display/chart_model.h"
#include "display/trace_display.h"
#include "sim/bench_standards.h"
#include "support/analyser_rig.h"

namespace ostra::testing {

class CalRig : public AnalyserRig {
 public:
  // A capture sweep as it was shown: its mode, the device on the port and
  // the receiver gain code in force.
  struct CaptureSeen {
    std::string mode;
    Dut dut;
    int rx_gain_code;
  };

  // Starts the program; `configure` changes the settings before the first sweep.
  explicit CalRig(const std::function<void(InstrumentSettings&)>& configure = nullptr) {
    StartUp();
    if (configure) {
      configure(analyser->Settings());
      analyser->Display().UpdateDisplayLayout();
    }
    Calibration& cal = analyser->Cal();
    cal.on_prompt_answered.Connect(
        [this](const std::string& text) { follower.PromptAnswered(text); });
    cal.on_captures_done.Connect([this] { follower.CapturesDone(); });
    analyser->Engine().on_sweep_done.Connect([this] { OnSweep(); });
  }

  // Lets normal sweeping run, presses Calibration then Cal, and runs until
  // `sweeps` normal sweeps have been shown after the calibration.
  bool CalibrateWithKeys(int sweeps = 3) {
    Reset(sweeps);
    RestartIfIdle();
    platform.At(platform.NowMicroseconds() / 1000 + 300, [this] {
      pressed_ = true;
      analyser->Keys().cal_ptnClick();
      analyser->Keys().SoftKeyClick(0);
    });
    return platform.RunUntil([this] { return done_; }, 60000);
  }

  // Runs until `sweeps` normal sweeps have been shown (restarting the sweep).
  bool RunNormalSweeps(int sweeps) {
    Reset(sweeps);
    pressed_ = true;
    if (!analyser->Engine().RunActive()) analyser->Sweep().Restart();
    return platform.RunUntil([this] { return done_; }, 60000);
  }

  std::vector<std::string> FileLines(const std::string& name) const {
    std::vector<std::string> lines;
    const std::string text = ReadFile(CalFile(name));
    size_t start = 0;
    for (size_t end = text.find("\r\n"); end != std::string::npos;
         start = end + 2, end = text.find("\r\n", start)) {
      lines.push_back(text.substr(start, end - start));
    }
    return lines;
  }
  bool LogHas(const std::string& text) const {
    for (const auto& line : LogLines()) {
      if (line == text) return true;
    }
    return false;
  }
  std::string CalLabel() const { return analyser->Chart().Label(LabelId::cal_label).text; }
  const ChartSeries& Trace() const { return analyser->Chart().Series(SeriesId::MagDataSeries); }

  PromptFollower follower{sim};
  std::vector<CaptureSeen> captures;
  int normal_sweeps_after = 0;

 private:
  void Reset(int sweeps) {
    stop_after_ = sweeps;
    normal_sweeps_after = 0;
    pressed_ = false;
    done_ = false;
  }
  void RestartIfIdle() {
    if (!analyser->Engine().RunActive() && !platform.TimerEnabled(TimerId::BeginSweep)) {
      analyser->Sweep().Restart();
    }
  }
  void OnSweep() {
    const std::string& mode = analyser->Engine().Converter().Run().capture_mode;
    if (mode != "normal") {
      captures.push_back({mode, sim.GetDut(), sim.Counters().rx_gain_code});
      return;
    }
    if (pressed_ && !analyser->Cal().Running() && ++normal_sweeps_after >= stop_after_) {
      done_ = true;
      analyser->Sweep().RequestStop();
    }
  }

  int stop_after_ = 3;
  bool pressed_ = false;
  bool done_ = false;
};

}  // namespace ostra::testing
