#include "graphview/graph_reading.h"

#include "graphview/dot_attributes.h"
#include "graphview/plain_layout.h"
#include "tolvek/callstack.h"

namespace graphview {

GraphReadStatus ReadGraph(GraphModel& model, std::string plainText, std::string dotText) {
  TOLVEK_TRACE("ReadGraph");
  // dot lays a graph without nodes out as "graph 1 0 0": an empty graph, not a broken file.
  // A layout with nodes and no extent, or one without its graph line, cannot be drawn.
  const bool graphLine = plainText.rfind("graph ", 0) == 0;
  GraphLayout layout;
  if (ReadPlainLayout(std::move(plainText), layout) != PlainLayoutStatus::kOk &&
      !(graphLine && layout.nodes.empty())) {
    return GraphReadStatus::kLayoutUnreadable;
  }
  ClearGraph(model);
  model.layout = std::move(layout);
  model.Highlights.clear();
  model.Frames.clear();
  if (dotText.empty()) return GraphReadStatus::kDotUnreadable;
  ReadDotAttributes(model, std::move(dotText));
  model.view.layoutImage = SizeLayoutImage(model.layout);
  return GraphReadStatus::kOk;
}

}  // namespace graphview
