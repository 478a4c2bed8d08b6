#include "app/soft_key_actions.h"

#include "app/analyser.h"
#include "app/display_actions.h"
#include "app/options_dialog.h"
#include "app/state_files.h"

namespace ostra {

namespace {

using A = Analyser;

// In the order of ActionId.
constexpr std::array<SoftKeyAction, kActionCount> kActions = {{
    {ActionId::None, "", "", nullptr},
    {ActionId::start_stm, "start_stm", "Start", nullptr},
    {ActionId::stop_stm, "stop_stm", "Stop", nullptr},
    {ActionId::centre_stm, "centre_stm", "Centre", nullptr},
    {ActionId::span_stm, "span_stm", "Span", nullptr},
    {ActionId::ref_level, "ref_level", "Ref Level", nullptr},
    {ActionId::Scale, "Scale", "Scale", nullptr},
    {ActionId::Marker1, "Marker1", "Marker1", nullptr},
    {ActionId::Marker2, "Marker2", "Marker2", nullptr},
    {ActionId::Marker3, "Marker3", "Marker3", nullptr},
    {ActionId::Marker4, "Marker4", "Marker4", nullptr},
    {ActionId::ClearAll, "ClearAll", "Clear", nullptr},
    {ActionId::marker_show, "marker_show", "Show", nullptr},
    {ActionId::marker_hide, "marker_hide", "Hide", nullptr},
    {ActionId::const_vswr, "const_vswr", "Const Vswr", nullptr},
    {ActionId::config_advanced, "config_advanced", "Advanced", nullptr},
    {ActionId::LogMag, "LogMag", "Log Mag", [](A& a) { a.Formats().LogMagExecute(); }},
    {ActionId::LinMag, "LinMag", " Lin Mag", [](A& a) { a.Formats().LinMagExecute(); }},
    {ActionId::Smith, "Smith", "Smith", [](A& a) { a.Formats().SmithExecute(); }},
    {ActionId::Phase, "Phase", "Phase", [](A& a) { a.Formats().PhaseExecute(); }},
    {ActionId::VSWR, "VSWR", "VSWR", [](A& a) { a.Formats().VSWRExecute(); }},
    {ActionId::show_phase, "show_phase", "Add Phase",
     [](A& a) { a.Formats().show_phaseExecute(); }},
    {ActionId::Transmission, "Transmission", "Transmission",
     [](A& a) { a.Formats().TransmissionExecute(); }},
    {ActionId::Reflection, "Reflection", "Reflection",
     [](A& a) { a.Formats().ReflectionExecute(); }},
    {ActionId::Cal, "Cal", "Cal", nullptr},
    {ActionId::display_data_to_mem, "display_data_to_mem", "Data -> Mem", nullptr},
    {ActionId::display_clear_mem, "display_clear_mem", "Clear Mem", nullptr},
    {ActionId::config_theme, "config_theme", "Theme", nullptr},
    {ActionId::freq_sweep, "freq_sweep", "Frequency", nullptr},
    {ActionId::phase_sweep, "phase_sweep", "Phase", nullptr},
    {ActionId::power_sweep, "power_sweep", "Power", nullptr},
    {ActionId::source_freq, "source_freq", "Frequency", nullptr},
    {ActionId::source_phase, "source_phase", "Phase", nullptr},
    {ActionId::source_power, "source_power", "Power", nullptr},
    {ActionId::ave_on, "ave_on", "Ave On", nullptr},
    {ActionId::ave_off, "ave_off", "Ave Off", nullptr},
    {ActionId::ave_factor, "ave_factor", "Ave Factor", nullptr},
    {ActionId::save_state, "save_state", "Save State", [](A& a) { a.Files().save_stateExecute(); }},
    {ActionId::save_data, "save_data", "Save Data", [](A& a) { a.Files().save_dataExecute(); }},
    {ActionId::recall_state, "recall_state", "Recall State",
     [](A& a) { a.Files().recall_stateExecute(); }},
}};

constexpr bool InIdOrder() {
  for (size_t i = 0; i < kActions.size(); ++i) {
    if (static_cast<size_t>(kActions[i].id) != i) return false;
  }
  return true;
}
static_assert(InIdOrder(), "the action table is indexed by ActionId");

}  // namespace

const std::array<SoftKeyAction, kActionCount>& SoftKeyActions() { return kActions; }

const SoftKeyAction& ActionOf(ActionId id) { return kActions[static_cast<size_t>(id)]; }

}  // namespace ostra
