#include "panel/front_panel.h"

namespace ostra {

FrontPanel::FrontPanel() {
  for (int i = 0; i < kSoftKeys; ++i) {
    keys_[static_cast<size_t>(i)].caption = "Option " + std::to_string(i + 1);
  }
}

void FrontPanel::Changed() {
  ++revision_;
  on_change.Emit();
}

void FrontPanel::Assign(int index, ActionId action, const std::string& caption) {
  SoftKey& key = keys_.at(static_cast<size_t>(index));
  key.action = action;
  key.caption = caption;
  key.visible = true;
  Changed();
}

void FrontPanel::SetVisible(int index, bool visible) {
  keys_.at(static_cast<size_t>(index)).visible = visible;
  Changed();
}

void FrontPanel::ResetKeyLights() {
  for (SoftKey& key : keys_) key.lit = false;
  hard_lit_.fill(false);
  Changed();
}

int FrontPanel::LitCount() const {
  int lit = 0;
  for (const SoftKey& key : keys_) lit += key.lit ? 1 : 0;
  for (bool on : hard_lit_) lit += on ? 1 : 0;
  return lit;
}

void FrontPanel::Light(int index) {
  keys_.at(static_cast<size_t>(index)).lit = true;
  Changed();
}

int FrontPanel::KeyCarrying(ActionId action) const {
  for (int i = 0; i < kSoftKeys; ++i) {
    const SoftKey& key = keys_[static_cast<size_t>(i)];
    if (key.visible && key.action == action) return i;
  }
  return -1;
}

void FrontPanel::SetRaised(int index, bool raised) {
  keys_.at(static_cast<size_t>(index)).raised = raised;
  Changed();
}

void FrontPanel::LightHardKey(HardKey key) {
  hard_lit_[static_cast<size_t>(key)] = true;
  Changed();
}

}  // namespace ostra
