// Canvas pixels of layout positions and the text measures that node drawing and the smart
// zoom share.
#pragma once
#include <cstdint>
#include <string>
#include <unordered_map>

#include "graphview/graph_model.h"

namespace graphview::detail {

inline double CanvasX(const GraphModel& model, double x) {
  return model.view.scrollX + static_cast<double>(GraphXToPixel(model.view, model.layout, x));
}

inline double CanvasY(const GraphModel& model, double y) {
  return model.view.scrollY + static_cast<double>(GraphYToPixel(model.view, model.layout, y));
}

// The inked outline of a label at a size in pixels, each side rounded to whole pixels.
struct TextInk {
  int64_t width = 0;
  int64_t height = 0;
};
TextInk InkAt(const LabelInk& ink, int64_t pixelSize);

// Inks of label texts already measured, while a graph's labels are measured together.
using InkByText = std::unordered_map<std::string, LabelInk>;

// The node's label ink, measured in the graph font on first use (which changes the vector
// font), or taken from shared when another node has the same text; text is the node's label
// as drawn.
const LabelInk& NodeLabelInk(const GraphNode& node, const std::string& text, int font,
                             InkByText* shared = nullptr);

// The largest pixel size up to requested at which the label stays below 90 % of the box both
// ways; 0 when none does.
int64_t FitLabelSize(const LabelInk& ink, int64_t requested, int64_t boxWidth, int64_t boxHeight);

// Empties the current path without drawing: the cursor moves made for text leave a lone
// point in it that would keep the next box off the fast fill.
void DropPath();

}  // namespace graphview::detail
