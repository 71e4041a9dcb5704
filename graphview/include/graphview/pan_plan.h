// Which parts of the canvas a pan must draw again when the picture drawn before it is moved
// along: pure arithmetic over where each item of a full drawing reaches, apart from drawing.
#pragma once
#include <cstdint>
#include <vector>

#include "graphview/graph_drawing.h"

namespace graphview {

// Whole canvas pixels from left to right and top to bottom, right and bottom excluded.
struct PixelArea {
  int64_t left = 0, top = 0, right = 0, bottom = 0;
  bool Empty() const { return right <= left || bottom <= top; }
  bool operator==(const PixelArea&) const = default;
};

bool Meet(const PixelArea& a, const PixelArea& b);

// The pixels a box touches.
PixelArea PixelsOf(const PixelBox& box);

// One item of a full drawing, in drawing order: where it reaches, and for an edge drawn with
// a thin pen the boxes of its line's curves (see EdgeReach).
struct PanItem {
  ItemReach reach;
  std::vector<PixelBox> thinLines;
};

// How far a pan from one scroll position to another moves the picture on a canvas width x
// height: only from a whole scroll position to another (drawing rounds canvas positions to
// whole pixels, halves to even, so only then does everything move by exactly the scroll's
// change), and less than a canvas away. False when the picture cannot be moved along.
bool WholePixelPan(double fromX, double fromY, double toX, double toY, int64_t width,
                   int64_t height, int64_t& dx, int64_t& dy);

struct PanPlan {
  // The old picture moved by (dx, dy) keeps what it moves onto, and each of `redrawn` (boxes
  // that do not overlap) is drawn again from white with every item whose ink meets it, in
  // drawing order. False when that would cost about as much as a full drawing.
  bool movesAlong = false;
  std::vector<PixelArea> redrawn;
  std::vector<PixelArea> inks;  // the pixels of each item's ink, in the order of the items
};

// The plan of a pan by (dx, dy) whole pixels, the items' reaches worked out with that shift.
PanPlan PlanPan(int64_t dx, int64_t dy, int64_t width, int64_t height,
                const std::vector<PanItem>& items);

}  // namespace graphview
