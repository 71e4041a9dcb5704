// The library's start-up, run once before the program's own work.
#pragma once

#include <string>

namespace tolvek {

// Programs that share one private temporary folder across instances set its suffix first.
void SetPrivateTempDirSuffix(const std::string& suffix);

// Creates the library's global state in its fixed order; later calls do nothing.
void LibraryStartup();

namespace detail {
// Test seam: the next start-up runs afresh (a new private folder, an empty temporary-file
// registry, no finalizers), as a new process would. Files already made stay where they are.
void ResetLibraryStartupForTest();
}  // namespace detail

}  // namespace tolvek
