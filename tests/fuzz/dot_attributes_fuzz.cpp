// A graph DOT file from raw bytes, read against a plain layout: the bytes before the first NUL
// are the layout and the rest the DOT text; without a NUL a small layout of the converter's
// kinds of nodes and edges stands in. No input may crash or hang the reading, every frame
// points at records of the layout, and times stay finite.
#include <cmath>
#include <cstdint>
#include <string>
#include <string_view>

#include "graphview/dot_attributes.h"
#include "graphview/edge_kinds.h"
#include "graphview/graph_reading.h"

namespace {

constexpr std::string_view kLayout =
    "graph 1 10 10\n"
    "node \"PROCESS:100-o1\" 1 1 1 1 \"explorer.exe\\n(PID: 100)\" solid box black white\n"
    "node \"PROCESS:200-n1\" 2 2 1 1 \"sample.exe\\n(PID: 200)\" solid box black red\n"
    "node \"THREAD:200-n1:201-n1\" 3 3 1 1 201 solid ellipse black white\n"
    "node \"FILE:c:\\\\out.txt\" 4 4 1 1 \"c:\\\\out.txt\" solid box black white\n"
    "node \"FILE:c:\\\\new.txt\" 4 6 1 1 \"c:\\\\new.txt\" solid box black white\n"
    "node \"SERVER:1.2.3.4\" 5 5 1 1 \"[1]\\nhost\\n1.2.3.4\" solid box black white\n"
    "node \"REGISTRYKEY:hkcu\\\\run\\\\x\" 6 6 1 1 \"HKCU\\\\run\\\\x\\n(AUTOSTART!)\" solid box "
    "black white\n"
    "edge \"PROCESS:100-o1\" \"PROCESS:200-n1\" 4 1 1 2 2 3 3 4 4 \"creates\" 2 2 solid black\n"
    "edge \"PROCESS:200-n1\" \"THREAD:200-n1:201-n1\" 4 1 1 2 2 3 3 4 4 solid black\n"
    "edge \"THREAD:200-n1:201-n1\" \"FILE:c:\\\\out.txt\" 4 1 1 2 2 3 3 4 4 \"write\" 2 2 solid "
    "black\n"
    "edge \"THREAD:200-n1:201-n1\" \"FILE:c:\\\\out.txt\" 4 1 1 2 2 3 3 4 4 \"rename from\" 2 2 "
    "solid black\n"
    "edge \"FILE:c:\\\\out.txt\" \"FILE:c:\\\\new.txt\" 4 1 1 2 2 3 3 4 4 \"rename\" 2 2 solid "
    "black\n"
    "edge \"THREAD:200-n1:201-n1\" \"SERVER:1.2.3.4\" 4 1 1 2 2 3 3 4 4 \"TCP >80\" 2 2 solid "
    "black\n"
    "edge \"THREAD:200-n1:201-n1\" \"REGISTRYKEY:hkcu\\\\run\\\\x\" 4 1 1 2 2 3 3 4 4 "
    "\"SetValue\" 2 2 solid black\n"
    "stop\n";

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
  const std::string_view layout = nul == std::string_view::npos ? kLayout : bytes.substr(0, nul);
  const std::string_view dot = nul == std::string_view::npos ? bytes : bytes.substr(nul + 1);
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
