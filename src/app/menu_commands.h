// The main window's menu entries as one table: the menu, the entry's control
// name, its caption and its handler. The shell builds the menus from it.
#pragma once

#include <span>

namespace ostra {

class Analyser;

enum class MenuId { File, Edit, View, Help };

struct MenuCommand {
  MenuId menu;
  const char* name;     // "Exit1"
  const char* caption;  // "Exit"
  void (*run)(Analyser&);
};

std::span<const MenuCommand> MenuCommands();

}  // namespace ostra
