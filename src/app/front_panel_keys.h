// The front panel's handlers: the twelve hard keys, each of which opens its
// menu on the soft keys, a soft-key press, which runs the action its key
// carries, the actions the front panel itself owns, and the View menu's
// entries that show front-panel windows.
#pragma once

#include <string_view>

#include "base/signal.h"
#include "panel/front_panel.h"

namespace ostra {

class Analyser;

class FrontPanelKeys {
 public:
  explicit FrontPanelKeys(Analyser& app) : app_(app) {}

  // --- Hard keys --------------------------------------------------------------
  void measure_ptnClick();
  void format_ptnClick();
  void ave_ptnClick();
  void stimulus_ptnClick();
  void amp_ptnClick();
  void display_btnClick();
  void sweep_ptnClick();
  void cal_ptnClick();
  void config_ptnClick();
  void source_ptnClick();
  void marker_ptnClick();
  void save_recall_ptnClick();
  // The shell's one entry for every hard key (and the two caption labels of
  // the Save/Recall key).
  void HardKeyClick(HardKey key);

  // --- Soft keys --------------------------------------------------------------
  // A click on soft key `index` (0 for opt1_ptn): runs the action it carries.
  // A hidden key cannot be clicked.
  void SoftKeyClick(int index);
  // The common part of every soft-key action (only the key that carries it
  // lit), then the action's own work. `index` is the key that carries it.
  void RunAction(ActionId action, int index);

  // --- Actions (after the common part) -----------------------------------------
  // Stimulus: keypad entries.
  void start_stmExecute();
  void stop_stmExecute();
  void centre_stmExecute();
  void span_stmExecute();
  // Amplitude: keypad entries.
  void ref_levelExecute();
  void ScaleExecute();
  // Markers: a keypad entry for marker 1 .. 4; the constant-VSWR circle.
  void Marker1Execute();
  void Marker2Execute();
  void Marker3Execute();
  void Marker4Execute();
  void const_vswrExecute();
  // Source: the sweep stops, the entry opens, the layout is refreshed and
  // the sweep restarts (it runs on with the old value while the entry is
  // pending).
  void source_freqExecute();
  void source_phaseExecute();
  void source_powerExecute();
  // Sweep: the markers are cleared and the sweep restarts with its type,
  // mode, format and receiver gain.
  void freq_sweepExecute();
  void phase_sweepExecute();
  void power_sweepExecute();
  // Ave: averaging on and off (no restart), the averaging-factor entry.
  void ave_onExecute();
  void ave_offExecute();
  void ave_factorExecute();
  // Config.
  void config_advancedExecute();
  void config_themeExecute();

  // --- View menu --------------------------------------------------------------
  void sweep_param1Click();
  void Log1Click();
  void Markers1Click();
  void HideControlPanel1Click();
  bool ControlPanelShown() const { return control_panel_shown_; }
  // The control panel was shown or hidden (the menu caption follows).
  Signal<> on_view_change;

  // The start-up pass: Transmission on key 1, Reflection on key 2, keys 3 to
  // 7 hidden, nothing lit.
  void ResetForStartup();

 private:
  // Every hard key but Config: lights, keypad closed, the menu on the keys.
  void OpenMenu(HardKey key);
  void PutMenuOnKeys(HardKey key);
  void SourceEntry(std::string_view entry, std::string_view caption);
  void SelectSweepType(const char* sweep_type, const char* mode, const char* format,
                       const char* rx_gain, bool clear_overlays);
  void SelectMarkerEntry(int marker);

  Analyser& app_;
  bool control_panel_shown_ = true;
};

}  // namespace ostra
