// The soft-key actions as one table: each action's id, its caption (the text
// its soft key shows) and its handler. Adding an action is one row here and
// one handler in its group.
#pragma once

#include <array>

#include "panel/front_panel.h"

namespace ostra {

class Analyser;

struct SoftKeyAction {
  ActionId id;
  const char* name;     // the action's name, "LinMag"
  const char* caption;  // " Lin Mag", character for character
  // The action's own work, after the common part of every soft-key action
  // (the key lights); null while the part that does the work is not built,
  // so such an action does its common part only.
  void (*run)(Analyser&);
};

const SoftKeyAction& ActionOf(ActionId id);

}  // namespace ostra
