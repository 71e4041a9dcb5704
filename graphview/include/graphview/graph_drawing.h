// Drawing of single nodes and edges onto the vector drawing the renderer has opened on its
// image, in canvas pixels, and the colour names of the layout.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

#include "graphview/graph_model.h"

namespace graphview {

// What drawing takes from the settings and the window; the caller fills it.
struct GraphDrawSettings {
  int graphFont = 0;  // GraphFont: only its family counts, every size is set in pixels
  int64_t canvasWidth = 0;
  int64_t canvasHeight = 0;
  bool horizontallyIsolatedEdgeLabels = false;
  int64_t smartzoomTargetFontsize = 12;  // pixels
};

// red | green << 8 | blue << 16 | alpha << 24; a name the layout does not use gives 0, which
// draws nothing.
uint32_t GetColorByName(std::string_view name, int alpha);

// A label as the layout writes it, made readable in one left-to-right pass: a doubled
// backslash is one backslash and a backslash before "n" a line break, so "C:\\\\ntdll" keeps
// its file name whole. Any other backslash stays. The result replaces out.
void UnescapeLabel(std::string_view label, std::string& out);
std::string UnescapeLabel(std::string_view label);

// Paints the node's shape in its colours and its label in the largest size up to fontSize
// (layout units) that fits the box; alpha (0 to 255) applies to the node's colours. Nodes
// outside the canvas or without a box are skipped before any text is measured.
void DrawNode(const GraphModel& model, const GraphNode& node, double fontSize, int alpha,
              const GraphDrawSettings& settings);

// Paints the edge's spline, its label and its arrowhead in the edge's colour at alpha.
void DrawEdge(const GraphModel& model, const GraphEdge& edge, double fontSize, int alpha,
              const GraphDrawSettings& settings);

namespace detail {

// Widths and lengths handed to the stroker: NaN and values outside [low, high] come back
// inside.
double ClampPixels(double value, double low, double high);

}  // namespace detail

}  // namespace graphview
