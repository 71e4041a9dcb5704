// The pair of plugin events around a user action that plugins may watch.
#pragma once

#include <string>

#include "workbench/stages.h"
#include "workbench/workbench_state.h"

namespace workbench {

// Fires "Before" + action; runs act unless a plugin took the action over, in which case
// overridden runs instead; then fires "After" + action, whether or not act ran.
template <typename Act, typename Overridden>
void WithPluginEvents(const std::string& action, Act act, Overridden overridden) {
  FirePluginEvent("Before" + action);
  if (State().pluginOverrideFlag) {
    overridden();
  } else {
    act();
  }
  FirePluginEvent("After" + action);
}

template <typename Act>
void WithPluginEvents(const std::string& action, Act act) {
  WithPluginEvents(action, act, [] {});
}

}  // namespace workbench
