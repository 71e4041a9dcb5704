// A graph DOT file from raw bytes, read against a plain layout: the bytes before the first NUL
// are the layout and the rest the DOT text (the corpus pairs real ones). No input may crash or
// hang the reading, every frame points at records of the layout, and times stay finite.
#include <cmath>
#include <cstdint>
#include <string>
#include <string_view>

#include "graphview/dot_attributes.h"
#include "graphview/edge_kinds.h"
#include "graphview/graph_reading.h"

namespace {

bool Within(const graphview::GraphLayout& layout, const void* record) {
  for (const graphview::GraphNode& node : layout.nodes) {
    if (&node == record) return true;
  }
  for (const graphview::GraphEdge& edge : layout.edges) {
    if (&edge == record) return true;
  }
  return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace graphview;
  ClearEdgeTypeCache();
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const size_t nul = bytes.find('\0');
  if (nul == std::string_view::npos) return 0;
  const std::string_view layout = bytes.substr(0, nul);
  const std::string_view dot = bytes.substr(nul + 1);
  GraphModel model;
  if (ReadGraph(model, std::string(layout), std::string(dot)) != GraphReadStatus::kOk) return 0;
  if (!std::isfinite(model.FirstEventTime)) __builtin_trap();
  for (const TimelineFrame& frame : model.Frames) {
    if (frame.level < kFrameFirst || frame.level > kFrameRepeatRun) __builtin_trap();
    if (!std::isfinite(frame.relTime)) __builtin_trap();
    for (const GraphNode* node : frame.nodeRefs) {
      if (!Within(model.layout, node)) __builtin_trap();
    }
    for (const GraphEdge* edge : frame.edgeRefs) {
      if (!Within(model.layout, edge)) __builtin_trap();
    }
    FormatFrameTime(frame, false);
  }
  for (const GraphEdge& edge : model.layout.edges) {
    if (edge.penWidth < 0) __builtin_trap();
  }
  return 0;
}
