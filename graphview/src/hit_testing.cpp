#include "graphview/hit_testing.h"

#include "tolvek/callstack.h"

namespace graphview {

GraphNode* FindNodeAt(GraphModel& model, int64_t x, int64_t y) {
  const ViewState& view = model.view;
  const GraphLayout& layout = model.layout;
  for (GraphNode& node : model.layout.nodes) {
    const int64_t w = GraphWidthToPixels(view, layout, node.width);
    const int64_t h = GraphHeightToPixels(view, layout, node.height);
    const int64_t left =
        RoundHalfEven(view.scrollX + static_cast<double>(GraphXToPixel(view, layout, node.x)) -
                      static_cast<double>(w) / 2);
    const int64_t top =
        RoundHalfEven(view.scrollY + static_cast<double>(GraphYToPixel(view, layout, node.y)) -
                      static_cast<double>(h) / 2);
    if (left <= x && x <= left + w && top <= y && y <= top + h) return &node;
  }
  return nullptr;
}

void HighlightNodesOfSameName(GraphModel& model, const GraphNode& node) {
  TOLVEK_TRACE("HighlightNodesOfSameName");
  const std::string_view name = node.name;
  model.Highlights.clear();
  for (GraphNode& candidate : model.layout.nodes) {
    if (candidate.name == name) model.Highlights.push_back({&candidate, nullptr});
  }
}

}  // namespace graphview
