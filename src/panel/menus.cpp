#include "panel/menus.h"

namespace ostra {

namespace {

using enum ActionId;

// Which settings a menu depends on.
enum class When { Always, Reflection, OtherMode, FrequencySweep, OtherSweep, Smith, OtherFormat };

struct MenuRow {
  HardKey key;
  When when;
  Menu actions;
};

// Rows of one key are tried in order; the first that applies is the menu.
constexpr MenuRow kMenus[] = {
    {HardKey::stimulus_ptn, When::Always, {start_stm, stop_stm, centre_stm, span_stm}},
    {HardKey::format_ptn, When::Reflection, {LogMag, LinMag, Smith, Phase, VSWR, show_phase}},
    {HardKey::format_ptn, When::OtherMode, {LogMag, LinMag, Phase, None, None, show_phase}},
    {HardKey::measure_ptn, When::FrequencySweep, {Transmission, Reflection}},
    {HardKey::measure_ptn, When::OtherSweep, {Transmission}},
    {HardKey::marker_ptn,
     When::Always,
     {Marker1, Marker2, Marker3, Marker4, ClearAll, marker_show, marker_hide}},
    {HardKey::cal_ptn, When::Always, {Cal}},
    {HardKey::amp_ptn, When::Always, {ref_level, Scale}},
    {HardKey::source_ptn, When::Always, {source_freq, source_phase, source_power}},
    {HardKey::sweep_ptn, When::Always, {freq_sweep, phase_sweep, power_sweep}},
    {HardKey::ave_ptn, When::Always, {ave_on, ave_off, ave_factor}},
    {HardKey::save_recall_ptn, When::Always, {save_state, save_data, recall_state}},
    {HardKey::display_btn, When::Smith, {display_data_to_mem, display_clear_mem, const_vswr}},
    {HardKey::display_btn, When::OtherFormat, {display_data_to_mem, display_clear_mem}},
    {HardKey::config_ptn, When::Always, {config_advanced, config_theme}},
};

constexpr std::array<HardKeyInfo, kHardKeyCount> kHardKeys = {{
    {HardKey::measure_ptn, "measure_ptn", "Measure"},
    {HardKey::format_ptn, "format_ptn", "Format"},
    {HardKey::ave_ptn, "ave_ptn", "Ave"},
    {HardKey::stimulus_ptn, "stimulus_ptn", "Stimulus"},
    {HardKey::amp_ptn, "amp_ptn", "Amplitude"},
    {HardKey::display_btn, "display_btn", "Display"},
    {HardKey::sweep_ptn, "sweep_ptn", "Sweep"},
    {HardKey::cal_ptn, "cal_ptn", "Calibration"},
    {HardKey::config_ptn, "config_ptn", "Config"},
    {HardKey::source_ptn, "source_ptn", "Source"},
    {HardKey::marker_ptn, "marker_ptn", "Markers"},
    {HardKey::save_recall_ptn, "save_recall_ptn", "Save /\nRecall"},
}};

bool Applies(When when, SweepKind sweep, ModeKind mode, FormatKind format) {
  switch (when) {
    case When::Always:
      return true;
    case When::Reflection:
      return mode == ModeKind::Reflection;
    case When::OtherMode:
      return mode != ModeKind::Reflection;
    case When::FrequencySweep:
      return sweep == SweepKind::Frequency;
    case When::OtherSweep:
      return sweep != SweepKind::Frequency;
    case When::Smith:
      return format == FormatKind::Smith;
    case When::OtherFormat:
      return format != FormatKind::Smith;
  }
  return false;
}

}  // namespace

const std::array<HardKeyInfo, kHardKeyCount>& HardKeys() { return kHardKeys; }

const HardKeyInfo& InfoOf(HardKey key) { return kHardKeys[static_cast<size_t>(key)]; }

const Menu& MenuOf(HardKey key, SweepKind sweep, ModeKind mode, FormatKind format) {
  static constexpr Menu kEmpty{};
  for (const MenuRow& row : kMenus) {
    if (row.key == key && Applies(row.when, sweep, mode, format)) return row.actions;
  }
  return kEmpty;
}

}  // namespace ostra
