// The Save/Recall menu's commands: Save State writes the settings to an
// instrument state file, Save Data exports the trace on the chart as
// comma-separated text with a picture of the window beside it (or, for a
// name ending in .s1p or .s2p or one typed under the Touchstone filter, the
// corrected data of the last complete sweep as a Touchstone file), and
// Recall State runs the whole start-up pass again with a chosen state file.
// Each stops the sweep first; the sweep restarts when the command is done,
// except after a recall, whose start-up pass restarts it.
#pragma once

#include <filesystem>

#include "base/platform.h"

namespace ostra {

class Analyser;

class StateFiles {
 public:
  explicit StateFiles(Analyser& app) : app_(app) {}

  // --- Actions (after the common part of a soft-key action) -------------------
  void save_stateExecute();
  void save_dataExecute();
  void recall_stateExecute();

  // Waits `ms` milliseconds on the tick counter, processing window messages
  // all the while; it sleeps in the event loop, it never spins.
  void PumpDelay(int ms);

  // The dialogs' settings.
  FileDialogRequest SaveStateRequest() const;
  FileDialogRequest SaveDataRequest() const;
  FileDialogRequest RecallStateRequest() const;
  // The Save Data dialog's second filter.
  static constexpr int kTouchstoneFilter = 1;

 private:
  // The steps of Save Data.
  void SaveData(const std::filesystem::path& file);
  void SaveTouchstone(const std::filesystem::path& file);
  // The ports the last sweep measured (0: no frequency response; 1 before
  // the first sweep).
  int MeasuredPorts() const;
  // Asked where a file is about to be replaced: true when `file` does not
  // exist, or when the user answers Yes to "<name> already exists. Do you
  // want to replace it?".
  bool MayReplace(const std::filesystem::path& file);
  // Every command begins here.
  void StopSweep();
  // Save State, Save Data and a cancelled Recall State end here.
  void EndCommand();

  Analyser& app_;
};

}  // namespace ostra
