// Drawing of single nodes and edges onto the vector drawing the renderer has opened on its
// image, in canvas pixels, and the colour names of the layout.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

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
// The label as the analyst sees it, in the same one pass: as UnescapeLabel, and every
// control character or writing-direction mark from the log written out as "_0x" + hex + "_"
// (tolvek::VisibleText), so the only line breaks left are the label's own.
void ShownLabel(std::string_view label, std::string& out);
std::string ShownLabel(std::string_view label);

// Paints the node's shape in its colours and its label in the largest size up to fontSize
// (layout units) that fits the box; alpha (0 to 255) applies to the node's colours. Nodes
// outside the canvas or without a box are skipped before any text is measured.
void DrawNode(const GraphModel& model, const GraphNode& node, double fontSize, int alpha,
              const GraphDrawSettings& settings);

// Paints the edge's spline, its label and its arrowhead in the edge's colour at alpha.
void DrawEdge(const GraphModel& model, const GraphEdge& edge, double fontSize, int alpha,
              const GraphDrawSettings& settings);

// A box in canvas pixels; empty when right < left or bottom < top.
struct PixelBox {
  double left = 0, top = 0, right = -1, bottom = -1;
  bool Empty() const { return right < left || bottom < top; }
};

// Where drawing an item reaches on the canvas, for a renderer that draws part of the canvas
// again after a pan.
struct ItemReach {
  // Every pixel that DrawNode or DrawEdge at the font size may change lies inside: shape,
  // outline, label, arrowhead, pen width and smoothing included. Generous where a tight
  // bound would need the text measured; a label whose size does not bound its width
  // (control characters) makes it cover everything.
  PixelBox ink;
  // Whether drawing skips the item as lying off the canvas, and whether it would on a canvas
  // whose top left lies at the given shift. The cull looks at the node's box and the edge's
  // control points only, so an outline, an arrowhead or a label may reach into the canvas
  // from a skipped item.
  bool culled = false;
  bool culledShifted = false;
  // The edge's line is dashed and thin: a cut by the canvas's edges moves all later dashes.
  bool thinDashed = false;
};

ItemReach NodeReach(const GraphModel& model, const GraphNode& node, double fontSize,
                    const GraphDrawSettings& settings, int64_t shiftX, int64_t shiftY);

// Where the drawn item lies on the canvas, as tight as the drawing allows: a node's shape
// with its outline (its label stays inside), an edge's line with its arrowheads and its
// label box as drawn, the text measured. Empty for an item that draws nothing. A fit shows
// these whole.
PixelBox NodeExtent(const GraphModel& model, const GraphNode& node, double fontSize);
PixelBox EdgeExtent(const GraphModel& model, const GraphEdge& edge, double fontSize,
                    const GraphDrawSettings& settings);
// A line drawn with a pen of one pixel is smoothed along its length from where the canvas's
// edges cut it, so where such a line reaches past them it comes out a little differently at
// another scroll position (near the cut, platform::kThinLinePiece, unless it is dashed). For a
// pen that thin, thinLines receives the box of each curve of the edge's line, or of the whole
// line when it is dashed.
ItemReach EdgeReach(const GraphModel& model, const GraphEdge& edge, double fontSize,
                    const GraphDrawSettings& settings, int64_t shiftX, int64_t shiftY,
                    std::vector<PixelBox>& thinLines);

namespace detail {

// Widths and lengths handed to the stroker: NaN and values outside [low, high] come back
// inside.
double ClampPixels(double value, double low, double high);

}  // namespace detail

}  // namespace graphview
