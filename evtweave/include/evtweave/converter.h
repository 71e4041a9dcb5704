// The converter program: arguments, mode words, the phases in their order and the end.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "evtweave/converter_state.h"

namespace evtweave {

Options ParseModeString(std::string_view mode);

// One whole run on the four arguments (missing ones are empty). Returns the exit code:
// 0 for a completed run or the usage banner, 1 after an "Error: " line.
int RunConverter(const std::vector<std::string>& arguments);

}  // namespace evtweave
