// A plain layout from raw bytes: no input may crash or hang the reader, and a layout it
// accepts has positions and sizes from which a finite picture size follows.
#include <cmath>
#include <cstdint>
#include <string>

#include "graphview/edge_kinds.h"
#include "graphview/plain_layout.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace graphview;
  ClearEdgeTypeCache();
  GraphLayout layout;
  const std::string text(reinterpret_cast<const char*>(data), size);
  if (ReadPlainLayout(text, layout) != PlainLayoutStatus::kOk) return 0;
  auto fine = [](double v) { return std::isfinite(v) && std::abs(v) <= kMaxLayoutUnits; };
  if (!(layout.width > 0) || !(layout.height > 0) || !fine(layout.width) || !fine(layout.height))
    __builtin_trap();
  for (const GraphNode& node : layout.nodes) {
    if (!fine(node.x) || !fine(node.y) || !fine(node.width) || !fine(node.height)) __builtin_trap();
    if (!layout.FindNode(node.name)) __builtin_trap();
  }
  for (const GraphEdge& edge : layout.edges) {
    for (const BezierPoint& p : edge.points) {
      if (!fine(p.x) || !fine(p.y)) __builtin_trap();
    }
  }
  const LayoutImage image = SizeLayoutImage(layout);
  if (image.width < 1 || image.height < 1 || image.width > 1000 || image.height > 1000)
    __builtin_trap();
  return 0;
}
