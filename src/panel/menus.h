// The hard-key menus: which action each hard key puts on the seven soft
// keys, with the variants by measurement mode, sweep type and display format.
#pragma once

#include <array>

#include "base/measurement.h"
#include "panel/front_panel.h"

namespace ostra {

// Soft keys 1 to 7; ActionId::None hides the key.
using Menu = std::array<ActionId, FrontPanel::kSoftKeys>;

struct HardKeyInfo {
  HardKey key;
  const char* name;     // the control name, "stimulus_ptn"
  const char* caption;  // "Stimulus"
};
const std::array<HardKeyInfo, kHardKeyCount>& HardKeys();
const HardKeyInfo& InfoOf(HardKey key);

// The menu a hard key opens with the settings as they stand.
const Menu& MenuOf(HardKey key, SweepKind sweep, ModeKind mode, FormatKind format);

}  // namespace ostra
