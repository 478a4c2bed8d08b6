// The Analyser: the composition root of the program. It builds the parts
// (settings, log, device link, chart, trace display, sweep engine, front
// panel) and the handler groups, and owns their lifetimes. The handlers live
// in the groups, one per subsystem; the Qt windows forward their events to
// them, and tests drive them through the Platform double with no window.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>

#include "app/instrument_owner.h"
#include "base/app_log.h"
#include "base/instrument_settings.h"
#include "base/platform.h"
#include "device/device_link.h"
#include "device/transport.h"
#include "panel/front_panel.h"
#include "sweep/sweep_control.h"

namespace ostra {

class ChartModel;
class TraceDisplay;
class SweepEngine;
class AppShell;
class OptionsDialog;
class FrontPanelKeys;
class DisplayActions;
class MarkerActions;
class MarkerState;
class FirmwareUpgrade;
class NumericEntry;
class Calibration;
class SweepRecorder;
class StateFiles;

class Analyser {
 public:
  Analyser(Platform& platform, Transport& transport, std::filesystem::path app_directory);
  ~Analyser();
  Analyser(const Analyser&) = delete;
  Analyser& operator=(const Analyser&) = delete;

  // --- The parts --------------------------------------------------------------
  Platform& Host() { return platform_; }
  InstrumentSettings& Settings() { return settings_; }
  AppLog& Log() { return log_; }
  DeviceLink& Link() { return link_; }
  ChartModel& Chart() { return *chart_; }
  TraceDisplay& Display() { return *display_; }
  SweepEngine& Engine() { return *engine_; }
  SweepControl& Sweep() { return sweep_; }
  FrontPanel& Panel() { return panel_; }
  MarkerState& MarkerModel() { return *markers_; }
  // The corrected data of the last complete sweep (between the sweep engine
  // and the trace display).
  SweepRecorder& Recorder() { return *recorder_; }
  // Who is using the instrument: every command asks it before it starts.
  InstrumentOwner& Owner() { return owner_; }

  // --- The handler groups -------------------------------------------------------
  // Splash, start-up pass, shut-down, About.
  AppShell& Shell() { return *shell_; }
  // The Sweep Parameters dialog.
  OptionsDialog& Dialog() { return *dialog_; }
  // Hard keys, soft keys and the View menu.
  FrontPanelKeys& Keys() { return *keys_; }
  // Display formats and the measurement mode.
  DisplayActions& Formats() { return *formats_; }
  // Markers, the memory trace and the constant-VSWR circle.
  MarkerActions& Markers() { return *marker_actions_; }
  // Help > Firmware Upgrade.
  FirmwareUpgrade& Upgrade() { return *upgrade_; }
  // The keypad and its entry box.
  NumericEntry& Entry() { return *entry_; }
  // The calibration procedure.
  Calibration& Cal() { return *cal_; }
  // Save State, Save Data, Recall State.
  StateFiles& Files() { return *files_; }

  // --- Program-wide state ---------------------------------------------------
  const std::filesystem::path& AppDirectory() const { return app_directory_; }
  const std::filesystem::path& DataDirectory() const { return log_.DataDirectory(); }
  std::filesystem::path CalDataDirectory() const { return app_directory_ / "cal_data"; }
  bool SweepStopRequest() const { return sweep_.StopRequested(); }
  void SetSweepStopRequest(bool on) { on ? sweep_.RequestStop() : sweep_.ClearStop(); }

  // A timer tick, delivered to its handler.
  void OnTimer(TimerId id);
  // The handler boundary: runs `handler`, showing an input/output or
  // conversion error in the generic error box.
  void Guard(const std::function<void()>& handler);

 private:
  Platform& platform_;
  std::filesystem::path app_directory_;
  InstrumentSettings settings_;
  AppLog log_;
  DeviceLink link_;
  SweepControl sweep_;
  InstrumentOwner owner_;
  FrontPanel panel_;
  std::unique_ptr<MarkerState> markers_;
  std::unique_ptr<ChartModel> chart_;
  std::unique_ptr<TraceDisplay> display_;
  std::unique_ptr<SweepRecorder> recorder_;
  std::unique_ptr<SweepEngine> engine_;
  std::unique_ptr<AppShell> shell_;
  std::unique_ptr<OptionsDialog> dialog_;
  std::unique_ptr<FrontPanelKeys> keys_;
  std::unique_ptr<DisplayActions> formats_;
  std::unique_ptr<MarkerActions> marker_actions_;
  std::unique_ptr<FirmwareUpgrade> upgrade_;
  std::unique_ptr<NumericEntry> entry_;
  std::unique_ptr<Calibration> cal_;
  std::unique_ptr<StateFiles> files_;
};

}  // namespace ostra
