// The plugin host in the workbench: the plugin list read at start-up, the Plugins menu, the
// events around the analyst's actions, runs from the menus and the plugins manager.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "plugins/plugin_record.h"

namespace workbench {

struct PluginHostState {
  std::vector<plugins::PluginRecord> Plugins;
  size_t current = 0;  // the record the runs act on
  // The record each of the Plugins menu's items 1 to 9 runs; -1 for none.
  std::array<int, 9> menuItems{-1, -1, -1, -1, -1, -1, -1, -1, -1};
};
PluginHostState& PluginHost();

// Reads the plugin folder and fills the Plugins menu (once, at start-up).
void LoadPlugins();
// Runs every event handler registered for eventName; sets State().pluginOverrideFlag when one
// took the action over.
void FirePluginEvent(const std::string& eventName);
// For the current record: asks a verifiable plugin whether it wants to run (0 = not now),
// and runs it, showing its result; the answer where the workbench takes it, else 0.
uint8_t VerifyPlugin(const std::string& eventName);
uint8_t RunPlugin(const std::string& eventName);

// A context-menu plugin: its position in the list and its menu text.
struct ContextPlugin {
  int position = 0;
  std::string name;
};
// The active context-menu plugins that agree to run now, in list order.
std::vector<ContextPlugin> ContextMenuPlugins();

void OpenPluginsManager();
// Collects the plugin programs left running on their own that have ended since (at every
// plugin start and every turn of the main loop); how many still run.
size_t ReapPluginPrograms();
// Plugins menu item n (1 to 9) and context-menu item for the record at position.
void RunMainMenuPlugin(int n);
void RunPluginAt(int position);

}  // namespace workbench
