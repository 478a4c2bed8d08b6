#include "app/front_panel_keys.h"

#include "app/analyser.h"
#include "app/numeric_entry.h"
#include "app/soft_key_actions.h"
#include "base/measurement.h"
#include "panel/menus.h"

namespace ostra {

namespace {

using Keys = FrontPanelKeys;

// The hard keys' handlers, in the order of HardKey.
constexpr void (Keys::*kHardKeyHandlers[kHardKeyCount])() = {
    &Keys::measure_ptnClick,  &Keys::format_ptnClick, &Keys::ave_ptnClick,
    &Keys::stimulus_ptnClick, &Keys::amp_ptnClick,    &Keys::display_btnClick,
    &Keys::sweep_ptnClick,    &Keys::cal_ptnClick,    &Keys::config_ptnClick,
    &Keys::source_ptnClick,   &Keys::marker_ptnClick, &Keys::save_recall_ptnClick,
};

}  // namespace

// --- Hard keys -------------------------------------------------------------------

void FrontPanelKeys::HardKeyClick(HardKey key) {
  const int index = static_cast<int>(key);
  if (index < 0 || index >= kHardKeyCount) return;
  (this->*kHardKeyHandlers[index])();
}

void FrontPanelKeys::PutMenuOnKeys(HardKey key) {
  const InstrumentSettings& settings = app_.Settings();
  const Menu& menu = MenuOf(key, ParseSweepType(settings.SweepType()), ParseMode(settings.Mode()),
                            ParseFormat(settings.Format()));
  FrontPanel& panel = app_.Panel();
  for (int i = 0; i < FrontPanel::kSoftKeys; ++i) {
    const ActionId action = menu[static_cast<size_t>(i)];
    if (action == ActionId::None) {
      panel.SetVisible(i, false);  // the key keeps the action it had
    } else {
      panel.Assign(i, action, ActionOf(action).caption);
    }
  }
}

void FrontPanelKeys::OpenMenu(HardKey key) {
  app_.Panel().ResetKeyLights();
  app_.Panel().LightHardKey(key);
  // A pending entry is abandoned (EntryFunction keeps its text).
  app_.Entry().AbandonEntry();
  PutMenuOnKeys(key);
}

void FrontPanelKeys::measure_ptnClick() { OpenMenu(HardKey::measure_ptn); }
void FrontPanelKeys::format_ptnClick() { OpenMenu(HardKey::format_ptn); }
void FrontPanelKeys::ave_ptnClick() { OpenMenu(HardKey::ave_ptn); }
void FrontPanelKeys::stimulus_ptnClick() { OpenMenu(HardKey::stimulus_ptn); }
void FrontPanelKeys::amp_ptnClick() { OpenMenu(HardKey::amp_ptn); }
void FrontPanelKeys::display_btnClick() { OpenMenu(HardKey::display_btn); }
void FrontPanelKeys::sweep_ptnClick() { OpenMenu(HardKey::sweep_ptn); }
void FrontPanelKeys::cal_ptnClick() { OpenMenu(HardKey::cal_ptn); }
void FrontPanelKeys::source_ptnClick() { OpenMenu(HardKey::source_ptn); }
void FrontPanelKeys::save_recall_ptnClick() { OpenMenu(HardKey::save_recall_ptn); }

void FrontPanelKeys::marker_ptnClick() {
  OpenMenu(HardKey::marker_ptn);
  app_.Host().ShowPanel(PanelId::MarkerPanel, true, false);
}

void FrontPanelKeys::config_ptnClick() {
  // Config leaves a pending keypad entry as it is.
  app_.Panel().ResetKeyLights();
  app_.Panel().LightHardKey(HardKey::config_ptn);
  PutMenuOnKeys(HardKey::config_ptn);
}

// --- Soft keys -------------------------------------------------------------------

void FrontPanelKeys::SoftKeyClick(int index) {
  if (index < 0 || index >= FrontPanel::kSoftKeys) return;
  const SoftKey& key = app_.Panel().Key(index);
  if (!key.visible) return;
  RunAction(key.action, index);
}

void FrontPanelKeys::RunAction(ActionId action, int index) {
  if (action == ActionId::None) return;
  app_.Panel().ResetKeyLights();
  if (index >= 0 && index < FrontPanel::kSoftKeys) app_.Panel().Light(index);
  if (auto run = ActionOf(action).run) run(app_);
}

void FrontPanelKeys::ResetForStartup() {
  FrontPanel& panel = app_.Panel();
  app_.Entry().ResetForStartup();
  panel.ResetKeyLights();
  panel.Assign(0, ActionId::Transmission, ActionOf(ActionId::Transmission).caption);
  panel.Assign(1, ActionId::Reflection, ActionOf(ActionId::Reflection).caption);
  for (int i = 2; i < FrontPanel::kSoftKeys; ++i) panel.SetVisible(i, false);
}

// --- View menu -------------------------------------------------------------------

void FrontPanelKeys::sweep_param1Click() {
  // The dialog stops the sweep and its settings reprogram it.
  if (!app_.Owner().Ask("Sweep Parameters")) return;
  app_.Host().ShowWindow(WindowId::SweepParameters, true);
}

void FrontPanelKeys::Log1Click() { app_.Host().ShowWindow(WindowId::Log, true); }

void FrontPanelKeys::Markers1Click() { app_.Host().ShowPanel(PanelId::MarkerPanel, true, false); }

void FrontPanelKeys::HideControlPanel1Click() {
  control_panel_shown_ = !control_panel_shown_;
  app_.Host().ShowPanel(PanelId::ControlPanel, control_panel_shown_, true);
  on_view_change.Emit();
}

}  // namespace ostra
