// The whole program without a window: the Analyser on the scripted platform
// and the simulated instrument (instant timing), in a fresh application
// directory whose cal_data holds the factory copies.
#pragma once

#include <filesystem>
#include <memory>

#include "app/analyser.h"
#include "app/app_shell.h"
#include "app/display_actions.h"
#include "app/front_panel_keys.h"
#include "app/marker_actions.h"
#include "app/options_dialog.h"
#include "sim/simulated_instrument.h"
#include "support/app_folder.h"
#include "support/fake_platform.h"
#include "support/temp_dir.h"
#include "sweep/sweep_engine.h"

namespace ostra::testing {

class AnalyserRig {
 public:
  // `transport` stands between the program and the simulator when given.
  explicit AnalyserRig(bool with_cal_data = true, Transport* transport = nullptr) {
    sim.SetRealTime(false);
    app = MakeAppFolder(dir, with_cal_data);
    platform.SetDocumentsFolder(dir / "docs");
    analyser = std::make_unique<Analyser>(platform, transport ? *transport : sim, app);
    platform.timer_handler = [this](TimerId id) { analyser->OnTimer(id); };
    platform.worker_pending = [this] { return analyser->Engine().AcquisitionPending(); };
  }

  // The program's start: splash, main window, the start-up pass at the
  // splash's seventh tick.
  void Start() {
    analyser->Shell().splash_FormCreate();
    analyser->Shell().FormCreate();
  }
  // Start and run until the start-up pass has enabled the first sweep.
  void StartUp() {
    Start();
    platform.RunUntil(
        [&] { return platform.TimerEnabled(TimerId::BeginSweep) || platform.QuitRequested(); },
        10000);
  }

  // Rebuilds the program on a driver that misbehaves on demand: a `Driver`
  // made from the simulated instrument (a ForwardingTransport), kept by the
  // rig until the program is gone.
  template <class Driver>
  Driver& UseDriver() {
    auto made = std::make_unique<Driver>(sim);
    Driver& ref = *made;
    analyser.reset();
    driver = std::move(made);
    analyser = std::make_unique<Analyser>(platform, *driver, app);
    return ref;
  }

  std::filesystem::path CalFile(const std::string& name) const { return app / "cal_data" / name; }
  std::filesystem::path DataDir() const { return dir / "docs" / "Ostra data"; }
  std::vector<std::string> LogLines() const {
    std::vector<std::string> messages;
    for (const std::string& line : analyser->Log().WindowLines())
      messages.push_back(line.substr(18));
    return messages;
  }

  TempDir dir;
  std::filesystem::path app;
  FakePlatform platform;
  SimulatedInstrument sim;
  std::unique_ptr<Transport> driver;
  std::unique_ptr<Analyser> analyser;
};

}  // namespace ostra::testing
