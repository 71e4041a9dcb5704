// The graph DOT file: filtering, renumbering, weighting and writing the statements.
#pragma once

#include <string>
#include <string_view>

#include "evtweave/converter_state.h"

namespace evtweave {

// The whole DOT text of the run's statements.
std::string BuildDotText();
// Writes the DOT file; false (after the error line) when the path is empty or unwritable.
bool WriteDotFile();

// Id text of a node as it stands between the quotes of the file.
std::string NodeIdText(NodeRef node);

}  // namespace evtweave
