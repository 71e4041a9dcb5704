// The reading phase of a graph generation: dot's plain layout and the filtered graph DOT
// file into the model.
#pragma once
#include <string>

#include "graphview/graph_model.h"

namespace graphview {

enum class GraphReadStatus {
  kOk,
  kLayoutUnreadable,  // the model still holds the previous graph, untouched
  kDotUnreadable,     // the model holds the new layout without attributes, frames or image
};

// A layout that cannot be read leaves the shown graph as it was; otherwise the model is
// cleared, takes the new layout, drops its highlights and frames and reads the DOT text.
GraphReadStatus ReadGraph(GraphModel& model, std::string plainText, std::string dotText);

}  // namespace graphview
