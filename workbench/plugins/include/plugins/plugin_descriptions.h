// Reading the plugin folder: every ".lvp" description becomes a checked plugin record, and
// the list is ordered by priority.
#pragma once

#include <string>
#include <vector>

#include "plugins/plugin_record.h"

namespace plugins {

// The record of the description at folder + entryName (folder ends with "/"), checked; a
// library plugin is loaded. False when the description cannot be opened.
bool ReadPluginDescription(const std::string& folder, const std::string& entryName,
                           PluginRecord& record);
// The line that deactivates a plugin because other users could change path.
std::string UnsafeLine(const std::string& path);
// The event names of the two description keys, as an event handler registers them; lines
// for the problems found go into problems (one per line, each ending in a line feed).
std::vector<std::string> RegisteredEvents(const std::string& event, const std::string& events,
                                          std::string& problems);
// Every description in folder, in name order, then sorted by priority (stably). A missing
// folder gives an empty list.
std::vector<PluginRecord> LoadPluginList(const std::string& folder);

}  // namespace plugins
