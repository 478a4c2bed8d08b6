// The front panel as data: the twelve hard keys, the seven soft keys with the
// action each carries, and which key frames are lit. A hard key opens a menu
// (puts actions on the soft keys); a soft key runs the action it carries.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "base/signal.h"
#include "panel/keypad.h"

namespace ostra {

// The hard keys, by the names of their controls.
enum class HardKey : int {
  measure_ptn,
  format_ptn,
  ave_ptn,
  stimulus_ptn,
  amp_ptn,
  display_btn,
  sweep_ptn,
  cal_ptn,
  config_ptn,
  source_ptn,
  marker_ptn,
  save_recall_ptn,
};
inline constexpr int kHardKeyCount = 12;

// The soft-key actions, by their names; None is a key without an action.
enum class ActionId : int {
  None,
  start_stm,
  stop_stm,
  centre_stm,
  span_stm,
  ref_level,
  Scale,
  Marker1,
  Marker2,
  Marker3,
  Marker4,
  ClearAll,
  marker_show,
  marker_hide,
  const_vswr,
  config_advanced,
  LogMag,
  LinMag,
  Smith,
  Phase,
  VSWR,
  show_phase,
  Transmission,
  Reflection,
  Cal,
  display_data_to_mem,
  display_clear_mem,
  config_theme,
  freq_sweep,
  phase_sweep,
  power_sweep,
  source_freq,
  source_phase,
  source_power,
  ave_on,
  ave_off,
  ave_factor,
  save_state,
  save_data,
  recall_state,
};
inline constexpr int kActionCount = static_cast<int>(ActionId::recall_state) + 1;

struct SoftKey {
  ActionId action = ActionId::None;
  std::string caption;
  bool visible = true;
  bool lit = false;
  // Inner bevel raised: the Cal key while its calibration runs.
  bool raised = false;
};

class FrontPanel {
 public:
  static constexpr int kSoftKeys = 7;

  FrontPanel();

  const SoftKey& Key(int index) const { return keys_.at(static_cast<size_t>(index)); }
  // Puts an action on soft key `index` (0 for opt1_ptn) and shows the key.
  void Assign(int index, ActionId action, const std::string& caption);
  // Hides or shows a key; a hidden key keeps its action.
  void SetVisible(int index, bool visible);
  // Every frame back to its idle colour.
  void ResetKeyLights();
  void Light(int index);
  void SetRaised(int index, bool raised);
  // The shown soft key that carries `action`, or -1.
  int KeyCarrying(ActionId action) const;
  void LightHardKey(HardKey key);
  bool HardKeyLit(HardKey key) const { return hard_lit_[static_cast<size_t>(key)]; }
  // How many frames are lit (hard and soft keys).
  int LitCount() const;

  // The keypad and its entry box.
  Keypad& Entry() { return keypad_; }
  const Keypad& Entry() const { return keypad_; }

  // Emitted after every change; Revision counts them.
  Signal<> on_change;
  uint64_t Revision() const { return revision_; }

 private:
  void Changed();
  std::array<SoftKey, kSoftKeys> keys_;
  std::array<bool, kHardKeyCount> hard_lit_{};
  Keypad keypad_;
  uint64_t revision_ = 0;
};

}  // namespace ostra
