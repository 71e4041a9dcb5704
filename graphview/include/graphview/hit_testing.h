// Which node lies under a point of the graph canvas, and the highlight of every node that
// carries one node's name.
#pragma once
#include <cstdint>

#include "graphview/graph_model.h"

namespace graphview {

// The first node, in list order, whose box (whatever its shape) holds the canvas point,
// edges included; null when none does. Before the view has been rescaled no box has an
// extent, so nothing is found.
GraphNode* FindNodeAt(GraphModel& model, int64_t x, int64_t y);

// Replaces the highlights by every node whose name equals the node's (exactly), in list
// order. The node itself is always among them; others only when the layout holds its name
// more than once.
void HighlightNodesOfSameName(GraphModel& model, const GraphNode& node);

}  // namespace graphview
