// From process start to the main loop, in the workbench's fixed order.
#pragma once

#include <string>

namespace workbench {

// Runs every start-up step; args are the program's command line (the first parameter, when
// present, is the session to open). Returns when the main loop may start; the converter
// presence test may end the program instead.
void StartUp(int argc, char** argv);

namespace detail {
// Test seam: the folder the converter is looked for in, instead of the program's own ("" ends
// the override).
void OverrideProgramFolder(const std::string& folder);
}  // namespace detail

}  // namespace workbench
