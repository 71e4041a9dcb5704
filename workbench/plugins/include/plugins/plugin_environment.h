// The variables a plugin reads: its own description, the session, the inputs, the graph
// files and the node last clicked. Built as a list here; the runner hands it on.
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "plugins/plugin_record.h"

namespace plugins {

inline constexpr const char* kVariablePrefix = "LUMIVEXPLUGIN_";

using Variables = std::vector<std::pair<std::string, std::string>>;  // full names, in order

// The node of the last right or middle click on a node: its layout fields and its details
// (keys as the details file spells them, values as the details view shows them).
struct NodeVariables {
  std::string name, label, style, shape, color, fillcolor;
  double x = 0, y = 0, width = 0, height = 0;
  std::optional<std::vector<std::pair<std::string, std::string>>> details;
};

// What the workbench hands over besides the record.
struct WorkbenchSnapshot {
  std::string sessionFile;
  bool sessionSavePending = false;
  std::string windumpExecutable, dotExecutable;
  std::string procmonFile, windumpFile;
  std::string graphFileDot, graphFileDot4Render, graphFilePng, graphFileTxt;
  std::optional<NodeVariables> currentNode;
};

// The variables for record and eventName ("" for menu and context-menu runs), in order.
Variables PluginEnvironment(const PluginRecord& record, const std::string& eventName,
                            const WorkbenchSnapshot& snapshot);

// A layout number: up to ten decimals, trailing zeros and a trailing point dropped.
std::string LayoutNumber(double value);

// The kernel refuses to start a program whose environment holds a "NAME=value" string longer
// than this (its terminator included), or whose strings and their pointers together exceed
// the room it leaves for them; either would keep the plugin from starting at all.
inline constexpr size_t kMaxProgramString = 32 * 4096;
// What that room leaves for the plugin's variables beside the workbench's own environment, a
// program path and its shell.
size_t ProgramEnvironmentRoom();
// "NAME=value" entries for a program's environment, within both limits: a value that does not
// fit is handed on as "", the longest first until the rest fit into room.
std::vector<std::string> ProgramEnvironment(const Variables& variables,
                                            size_t room = ProgramEnvironmentRoom());

// Sets the variables in the workbench's own process (for a library call) ...
void SetProcessVariables(const Variables& variables);
// ... and removes every variable whose name begins with the prefix, whoever set it.
void RemovePluginVariables();

}  // namespace plugins
