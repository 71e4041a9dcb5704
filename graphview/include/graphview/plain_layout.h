// Reading dot's plain layout into the graph model.
#pragma once
#include <string>

#include "graphview/graph_model.h"

namespace graphview {

enum class PlainLayoutStatus {
  kOk,
  // Empty text, or a layout without extent (no graph line, or a width or height of 0), or
  // one with a position or size beyond kMaxLayoutUnits: such a layout cannot be converted
  // to pixels.
  kUnreadable,
};

// The farthest any position or size of a layout may lie from the origin, in layout units
// (inches): far beyond any graph dot can lay out, far below where sums of them overflow.
constexpr double kMaxLayoutUnits = 1e7;

// Reads the plain layout text into layout (which should be empty); the layout keeps the text.
PlainLayoutStatus ReadPlainLayout(std::string text, GraphLayout& layout);

// The picture size at zoom 1: the nodes' extent in hundredths of a unit, scaled down by tens
// until neither side exceeds 1000 pixels.
LayoutImage SizeLayoutImage(const GraphLayout& layout);

// A text's leading number (point as the decimal separator); 0 when it starts with none.
double NumberValue(std::string_view text);
int64_t IntegerValue(std::string_view text);

}  // namespace graphview
