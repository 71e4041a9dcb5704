#include "graphview/graph_model.h"

#include "tolvek/callstack.h"

namespace graphview {

GraphNode* GraphLayout::FindNode(std::string_view name) const {
  auto it = nodeIndex.find(name);
  return it == nodeIndex.end() ? nullptr : it->second;
}

GraphEdge* GraphLayout::FindEdge(const std::string& key) const {
  auto it = edgeIndex.find(key);
  return it == edgeIndex.end() ? nullptr : it->second.Last();
}

std::string EdgeKey(std::string_view tail, std::string_view head, int kind) {
  std::string key;
  key.reserve(tail.size() + head.size() + 8);
  key.append(tail).append("->").append(head).append(" (").append(std::to_string(kind));
  key.push_back(')');
  return key;
}

void ClearGraph(GraphModel& model) {
  TOLVEK_TRACE("ClearGraph");
  model.view = ViewState{};
  model.layout = GraphLayout{};
  for (TimelineFrame& frame : model.Frames) {
    frame.nodeRefs.clear();
    frame.edgeRefs.clear();
  }
  model.Highlights.clear();
  model.CurrentNode = nullptr;
  ++model.revision;
}

int64_t CountVisibleFrames(const GraphModel& model) {
  int64_t count = 0;
  for (const TimelineFrame& frame : model.Frames) {
    if (frame.level <= model.TimelineMode) ++count;
  }
  return count;
}

}  // namespace graphview
