// The details file beside the DOT file: one preference group per process, thread, file,
// registry key and server, named by the hex form of the node's DOT id.
#pragma once

#include <string>

namespace evtweave {

inline constexpr std::string_view kDetailsSuffix = ".lumivex";

// Writes DotFile + ".lumivex" with the mode word lumivex; false (after an "Error: " line)
// when the file cannot be written.
bool WriteDetailsFile();

}  // namespace evtweave
