#include "app/menu_commands.h"

#include <array>

#include "app/analyser.h"
#include "app/app_shell.h"
#include "app/display_actions.h"
#include "app/firmware_upgrade.h"
#include "app/front_panel_keys.h"

namespace ostra {

namespace {

using A = Analyser;

constexpr std::array<MenuCommand, 15> kCommands = {{
    {MenuId::File, "Exit1", "Exit", [](A& a) { a.Shell().Exit1Click(); }},
    {MenuId::View, "sweep_param1", "Sweep Parameters", [](A& a) { a.Keys().sweep_param1Click(); }},
    {MenuId::View, "Markers1", "Markers", [](A& a) { a.Keys().Markers1Click(); }},
    {MenuId::View, "Log1", "Log", [](A& a) { a.Keys().Log1Click(); }},
    {MenuId::View, "HideControlPanel1", "Hide Control Panel",
     [](A& a) { a.Keys().HideControlPanel1Click(); }},
    {MenuId::Help, "About1", "About", [](A& a) { a.Shell().About1Click(); }},
    {MenuId::Help, "FirmwareUpgrade1", "Firmware Upgrade",
     [](A& a) { a.Upgrade().FirmwareUpgrade1Click(); }},
    {MenuId::Trace, "LogMag1", "Log Mag", [](A& a) { a.Formats().LogMagExecute(); }},
    {MenuId::Trace, "LinMag1", " Lin Mag", [](A& a) { a.Formats().LinMagExecute(); }},
    {MenuId::Trace, "Phase1", "Phase", [](A& a) { a.Formats().PhaseExecute(); }},
    {MenuId::Trace, "VSWR1", "VSWR", [](A& a) { a.Formats().VSWRExecute(); }},
    {MenuId::Trace, "Smith1", "Smith", [](A& a) { a.Formats().SmithExecute(); }},
    {MenuId::Trace, "show_phase1", "Add Phase", [](A& a) { a.Formats().show_phaseExecute(); }},
    {MenuId::Trace, "Transmission1", "Transmission",
     [](A& a) { a.Formats().TransmissionExecute(); }},
    {MenuId::Trace, "Reflection1", "Reflection", [](A& a) { a.Formats().ReflectionExecute(); }},
}};

}  // namespace

std::span<const MenuCommand> MenuCommands() { return kCommands; }

}  // namespace ostra
