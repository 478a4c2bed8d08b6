// What the widget tests of the whole program share: a Qt platform with its own
// documents folder whose message boxes are recorded and answered OK at once,
// and test steps run from a timer inside the program's own event processing.
#pragma once

#include <QApplication>
#include <QTimer>
#include <deque>
#include <filesystem>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "app/analyser.h"
#include "gui/program_windows.h"
#include "gui/qt_platform.h"
#include "sim/simulated_instrument.h"
#include "support/app_folder.h"
#include "support/temp_dir.h"

namespace ostra::testing {

class TestPlatform : public QtPlatform {
 public:
  explicit TestPlatform(std::filesystem::path documents) : documents_(std::move(documents)) {}
  std::optional<std::filesystem::path> DocumentsFolder() override { return documents_; }
  MessageResult ShowMessage(const std::string& text, MessageKind, MessageButtons) override {
    messages.push_back(text);
    return MessageResult::Ok;
  }
  std::vector<std::string> messages;

 private:
  std::filesystem::path documents_;
};

// Steps run from a timer, so they also run inside the acquisition loop's own
// message processing. A step returns false to be tried again.
class StepRunner {
 public:
  using Step = std::function<bool()>;
  void Add(std::string name, Step step) { steps_.push_back({std::move(name), std::move(step)}); }

  // Runs the application's own loop until the program quits or `timeout_ms`
  // passes; the name of the step pending at the end ("" when all ran).
  std::string Run(QtPlatform& platform, int timeout_ms) {
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, [this] {
      if (!steps_.empty() && steps_.front().second()) steps_.pop_front();
    });
    tick.start(20);
    QTimer deadline;
    deadline.setSingleShot(true);
    QObject::connect(&deadline, &QTimer::timeout, [] { QCoreApplication::exit(1); });
    deadline.start(timeout_ms);
    if (!platform.QuitRequested()) QApplication::exec();
    return steps_.empty() ? "" : steps_.front().first;
  }

 private:
  std::deque<std::pair<std::string, Step>> steps_;
};

// The whole program and its windows on the instant simulated instrument, in a
// fresh application folder (factory files) with its own documents folder.
class ProgramRig {
 public:
  ProgramRig()
      : cal_data(MakeAppFolder(dir) / "cal_data"),
        platform(dir / "docs"),
        analyser(platform, Instant(instrument), dir / "app"),
        windows(analyser, platform) {}

  TempDir dir;
  std::filesystem::path cal_data;
  SimulatedInstrument instrument;
  TestPlatform platform;
  Analyser analyser;
  ProgramWindows windows;

 private:
  static SimulatedInstrument& Instant(SimulatedInstrument& sim) {
    sim.SetRealTime(false);
    return sim;
  }
};

}  // namespace ostra::testing
