// The zoom at which every node label fits its node at the size the user asked for.
#pragma once
#include <cstdint>
#include <functional>

#include "graphview/graph_drawing.h"
#include "graphview/graph_model.h"

namespace graphview {

// The first whole zoom of at least 1 at which allFit holds, found by climbing in growing
// steps (2, 5, 9, 14, ...) until it holds, stepping back to the last zoom at which it did not
// and climbing from there in steps of 1. Zooms at or beyond limit count as fitting, so the
// search ends for any input.
int64_t SmartZoomSearch(const std::function<bool(int64_t zoom)>& allFit, int64_t limit);

// Sets view.maxZoom to the zoom at which every labelled node's text, written at
// settings.smartzoomTargetFontsize pixels, stays below 90 % of its box both ways, and
// layout.smartFontSize to that pixel size in layout units at that zoom. Nothing else of the
// view changes. Nodes with blank labels or without a box are left out.
void SmartZoom(GraphModel& model, const GraphDrawSettings& settings);

}  // namespace graphview
