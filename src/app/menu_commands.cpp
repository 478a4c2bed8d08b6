#include "app/menu_commands.h"

#include <array>

#include "app/analyser.h"
#include "app/app_shell.h"
#include "app/firmware_upgrade.h"
#include "app/front_panel_keys.h"

namespace ostra {

namespace {

using A = Analyser;

constexpr std::array<MenuCommand, 7> kCommands = {{
    {MenuId::File, "Exit1", "Exit", [](A& a) { a.Shell().Exit1Click(); }},
    {MenuId::View, "sweep_param1", "Sweep Parameters", [](A& a) { a.Keys().sweep_param1Click(); }},
    {MenuId::View, "Markers1", "Markers", [](A& a) { a.Keys().Markers1Click(); }},
    {MenuId::View, "Log1", "Log", [](A& a) { a.Keys().Log1Click(); }},
    {MenuId::View, "HideControlPanel1", "Hide Control Panel",
     [](A& a) { a.Keys().HideControlPanel1Click(); }},
    {MenuId::Help, "About1", "About", [](A& a) { a.Shell().About1Click(); }},
    {MenuId::Help, "FirmwareUpgrade1", "Firmware Upgrade",
     [](A& a) { a.Upgrade().FirmwareUpgrade1Click(); }},
}};

}  // namespace

std::span<const MenuCommand> MenuCommands() { return kCommands; }

}  // namespace ostra
