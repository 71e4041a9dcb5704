// Rewriting edge labels for the layout by the edge-label mode option.
#pragma once
#include <string>
#include <string_view>

namespace graphview {

// The line with its edge label rewritten for mode ("Default", "None", "Short", "Long",
// "Extensive"; anything else, and "", read as "Default"). Lines that are no edge line, and
// lines whose label is not followed by ", ", come back unchanged.
std::string ApplyEdgeLabelMode(std::string_view line, std::string_view mode);

}  // namespace graphview
