// The user calibration, the work of the Cal soft key: for the current sweep
// type and measurement mode it captures the detector's DC offset and the
// standards the error correction needs, each as one sweep written to its
// calibration file, then reloads the calibration tables and restarts normal
// sweeping. A fixed script of log lines, prompts and capture runs, which keeps
// no state of its own besides the files it writes. A calibration is whole or
// not at all: when it does not finish (a capture that did not complete, the
// program ending at a prompt or during a capture), every calibration file is
// put back as it was before the Cal key.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>

#include "base/constants.h"

#include "base/signal.h"

namespace ostra {

class Analyser;

class Calibration {
 public:
  explicit Calibration(Analyser& app) : app_(app) {}

  // The Cal action. Each prompt is a modal box with an OK button only, which
  // neither Escape nor the window's close button closes; the script goes on
  // when OK is pressed. A press while the instrument is held by another
  // command (or by a calibration already running: its captures process
  // window messages) is refused with a message.
  void CalExecute();

  // Emitted when the user has closed a prompt, with its text: what the
  // prompt asked for is connected now.
  Signal<const std::string&> on_prompt_answered;
  // Emitted after the last capture of the procedure (also when a step
  // failed): the device under test may go back on.
  Signal<> on_captures_done;

  // The bytes of each calibration file (nothing: the file did not exist).
  using CalFiles = std::array<std::optional<std::string>, kCalFiles.size()>;

  bool Running() const;

 private:
  void RunScript();
  CalFiles ReadCalFiles() const;
  // The calibration did not finish: the files go back to `before`, the tables
  // are loaded from them, and a capture that failed is named in a message.
  void KeepPreviousCalibration(const CalFiles& before, const std::string& failed_standard);
  void FrequencyReflection();
  void FrequencyTransmission();
  // Phase and power sweeps: DC offset with RF IN terminated, then THRU.
  void ThruOfOtherSweep(const char* log_line, const char* capture_mode);

  void SkipTheRestIfTheProgramEnded() const;
  void Prompt(const std::string& text);
  void Log(const std::string& text);
  void SetRxGainToZero();
  void ClearStopRequest();
  void ProgramCurrentSweep();
  void Capture(const char* capture_mode);

  Analyser& app_;
};

}  // namespace ostra
