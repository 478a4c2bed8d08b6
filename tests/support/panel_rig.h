// The whole program on the simulated instrument, started up and driven key
// by key as a person at the front panel: hard keys, soft keys by their
// captions and keypad keys by theirs. The first sweep is held back so a test
// sees each stop and restart; SweepFor lets the sweep run for a while.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/numeric_entry.h"
#include "panel/keypad.h"
#include "panel/menus.h"
#include "support/analyser_rig.h"

namespace ostra::testing {

struct PanelRig : AnalyserRig {
  PanelRig() {
    StartUp();
    analyser->Sweep().CancelRestart();
    NewStops();
  }

  FrontPanel& Panel() { return analyser->Panel(); }
  const Keypad& Pad() { return analyser->Panel().Entry(); }
  InstrumentSettings& Settings() { return analyser->Settings(); }
  std::string Text(Setting s) { return analyser->Settings().Text(s); }

  void Hard(HardKey key) { analyser->Keys().HardKeyClick(key); }
  // Presses the shown soft key with this caption; fails the test when none.
  void Soft(const std::string& caption) {
    for (int i = 0; i < FrontPanel::kSoftKeys; ++i) {
      const SoftKey& key = Panel().Key(i);
      if (key.visible && key.caption == caption) {
        analyser->Keys().SoftKeyClick(i);
        return;
      }
    }
    ADD_FAILURE() << "no soft key \"" << caption << "\"";
  }
  // Presses keypad keys by their captions ("2", ".", "MHz", "Enter").
  void Keys(std::initializer_list<std::string> captions) {
    for (const std::string& caption : captions) {
      bool found = false;
      for (const KeypadKeyInfo& info : KeypadKeys()) {
        if (caption == info.caption) {
          analyser->Entry().KeypadClick(info.key);
          found = true;
        }
      }
      if (!found) ADD_FAILURE() << "no keypad key \"" << caption << "\"";
    }
  }
  // The captions of the shown soft keys, "-" for a hidden one.
  std::vector<std::string> Menu() {
    std::vector<std::string> captions;
    for (int i = 0; i < FrontPanel::kSoftKeys; ++i) {
      const SoftKey& key = Panel().Key(i);
      captions.push_back(key.visible ? key.caption : "-");
    }
    return captions;
  }
  bool RestartPending() { return platform.TimerEnabled(TimerId::BeginSweep); }
  // The 20 ms waits of the stops since the last call.
  size_t NewStops() {
    const size_t n = platform.Sleeps().size() - stops_seen_;
    stops_seen_ = platform.Sleeps().size();
    return n;
  }
  std::vector<std::string> Messages() {
    auto texts = platform.MessageTexts();
    platform.ClearMessages();
    return texts;
  }

  // Lets the program run for `ms` of virtual time (a pending restart
  // programs the instrument and sweeps), then stops the sweep and holds
  // every further restart back.
  void SweepFor(int ms) {
    bool done = false;
    ScopedConnection stop_after_pass(analyser->Engine().on_sweep_done, [&] {
      if (done) analyser->Sweep().RequestStop();
    });
    platform.At(platform.NowMicroseconds() / 1000 + ms, [&] {
      done = true;
      analyser->Sweep().RequestStop();
    });
    platform.RunUntil([&] { return done && !analyser->Engine().RunActive(); }, ms + 10000);
    analyser->Sweep().CancelRestart();
  }

 private:
  size_t stops_seen_ = 0;
};

}  // namespace ostra::testing
