#include "app/soft_key_actions.h"

#include "app/analyser.h"
#include "app/calibration.h"
#include "app/display_actions.h"
#include "app/front_panel_keys.h"
#include "app/marker_actions.h"
#include "app/options_dialog.h"
#include "app/state_files.h"

namespace ostra {

namespace {

using A = Analyser;

// In the order of ActionId.
constexpr std::array<SoftKeyAction, kActionCount> kActions = {{
    {ActionId::None, "", "", nullptr},
    {ActionId::start_stm, "start_stm", "Start", [](A& a) { a.Keys().start_stmExecute(); }},
    {ActionId::stop_stm, "stop_stm", "Stop", [](A& a) { a.Keys().stop_stmExecute(); }},
    {ActionId::centre_stm, "centre_stm", "Centre", [](A& a) { a.Keys().centre_stmExecute(); }},
    {ActionId::span_stm, "span_stm", "Span", [](A& a) { a.Keys().span_stmExecute(); }},
    {ActionId::ref_level, "ref_level", "Ref Level", [](A& a) { a.Keys().ref_levelExecute(); }},
    {ActionId::Scale, "Scale", "Scale", [](A& a) { a.Keys().ScaleExecute(); }},
    {ActionId::Marker1, "Marker1", "Marker1", [](A& a) { a.Keys().Marker1Execute(); }},
    {ActionId::Marker2, "Marker2", "Marker2", [](A& a) { a.Keys().Marker2Execute(); }},
    {ActionId::Marker3, "Marker3", "Marker3", [](A& a) { a.Keys().Marker3Execute(); }},
    {ActionId::Marker4, "Marker4", "Marker4", [](A& a) { a.Keys().Marker4Execute(); }},
    {ActionId::ClearAll, "ClearAll", "Clear", [](A& a) { a.Markers().ClearMarkers(); }},
    {ActionId::marker_show, "marker_show", "Show", [](A& a) { a.Markers().marker_showExecute(); }},
    {ActionId::marker_hide, "marker_hide", "Hide", [](A& a) { a.Markers().marker_hideExecute(); }},
    {ActionId::const_vswr, "const_vswr", "Const Vswr", [](A& a) { a.Keys().const_vswrExecute(); }},
    {ActionId::config_advanced, "config_advanced", "Advanced",
     [](A& a) { a.Keys().config_advancedExecute(); }},
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
    {ActionId::Cal, "Cal", "Cal", [](A& a) { a.Cal().CalExecute(); }},
    {ActionId::display_data_to_mem, "display_data_to_mem", "Data -> Mem",
     [](A& a) { a.Markers().display_data_to_memExecute(); }},
    {ActionId::display_clear_mem, "display_clear_mem", "Clear Mem",
     [](A& a) { a.Markers().display_clear_memExecute(); }},
    {ActionId::config_theme, "config_theme", "Theme", [](A& a) { a.Keys().config_themeExecute(); }},
    {ActionId::freq_sweep, "freq_sweep", "Frequency", [](A& a) { a.Keys().freq_sweepExecute(); }},
    {ActionId::phase_sweep, "phase_sweep", "Phase", [](A& a) { a.Keys().phase_sweepExecute(); }},
    {ActionId::power_sweep, "power_sweep", "Power", [](A& a) { a.Keys().power_sweepExecute(); }},
    {ActionId::source_freq, "source_freq", "Frequency",
     [](A& a) { a.Keys().source_freqExecute(); }},
    {ActionId::source_phase, "source_phase", "Phase", [](A& a) { a.Keys().source_phaseExecute(); }},
    {ActionId::source_power, "source_power", "Power", [](A& a) { a.Keys().source_powerExecute(); }},
    {ActionId::ave_on, "ave_on", "Ave On", [](A& a) { a.Keys().ave_onExecute(); }},
    {ActionId::ave_off, "ave_off", "Ave Off", [](A& a) { a.Keys().ave_offExecute(); }},
    {ActionId::ave_factor, "ave_factor", "Ave Factor", [](A& a) { a.Keys().ave_factorExecute(); }},
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

const SoftKeyAction& ActionOf(ActionId id) { return kActions[static_cast<size_t>(id)]; }

}  // namespace ostra
