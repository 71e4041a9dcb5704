#include "graphview/pan_plan.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "platform/drawing.h"

namespace graphview {
namespace {

PixelArea Intersection(const PixelArea& a, const PixelArea& b) {
  return {std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
          std::min(a.bottom, b.bottom)};
}

bool Inside(const PixelArea& inner, const PixelArea& outer) {
  return inner.left >= outer.left && inner.top >= outer.top && inner.right <= outer.right &&
         inner.bottom <= outer.bottom;
}

// How far from a canvas's edge a cut thin line may change pixels: its piece, the first pixel
// of the next and their smoothing.
constexpr int64_t kNearCut = static_cast<int64_t>(platform::kThinLinePiece) + 4;

// The pixels at most reach away from the outline of an area, inside or outside, as the four
// sides of a frame.
std::array<PixelArea, 4> NearEdges(const PixelArea& area, int64_t reach) {
  const PixelArea out{area.left - reach, area.top - reach, area.right + reach, area.bottom + reach};
  const PixelArea in{area.left + reach, area.top + reach, area.right - reach, area.bottom - reach};
  return {PixelArea{out.left, out.top, out.right, in.top},
          PixelArea{out.left, in.bottom, out.right, out.bottom},
          PixelArea{out.left, in.top, in.left, in.bottom},
          PixelArea{in.right, in.top, out.right, in.bottom}};
}

// The areas as few boxes that do not overlap: every tile of kTile x kTile pixels that an
// area touches, tiles joined into runs along each row and runs joined down the rows while
// they span the same columns.
std::vector<PixelArea> CoverByTiles(const std::vector<PixelArea>& areas, int64_t width,
                                    int64_t height) {
  constexpr int64_t kTile = 16;
  const int64_t columns = (width + kTile - 1) / kTile, rows = (height + kTile - 1) / kTile;
  std::vector<uint8_t> touched(static_cast<size_t>(columns * rows), 0);
  for (const PixelArea& area : areas) {
    if (area.Empty()) continue;
    const int64_t right = std::min((area.right - 1) / kTile, columns - 1);
    const int64_t bottom = std::min((area.bottom - 1) / kTile, rows - 1);
    for (int64_t row = std::max<int64_t>(area.top / kTile, 0); row <= bottom; ++row)
      for (int64_t column = std::max<int64_t>(area.left / kTile, 0); column <= right; ++column)
        touched[static_cast<size_t>(row * columns + column)] = 1;
  }
  std::vector<PixelArea> boxes;
  std::vector<size_t> open;  // boxes that reach the row above, by their runs
  for (int64_t row = 0; row < rows; ++row) {
    std::vector<size_t> next;
    for (int64_t column = 0; column < columns;) {
      if (!touched[static_cast<size_t>(row * columns + column)]) {
        ++column;
        continue;
      }
      int64_t end = column;
      while (end < columns && touched[static_cast<size_t>(row * columns + end)]) ++end;
      const PixelArea run{column * kTile, row * kTile, std::min(end * kTile, width),
                          std::min((row + 1) * kTile, height)};
      auto above = std::find_if(open.begin(), open.end(), [&](size_t b) {
        return boxes[b].left == run.left && boxes[b].right == run.right;
      });
      if (above != open.end()) {
        boxes[*above].bottom = run.bottom;
        next.push_back(*above);
      } else {
        boxes.push_back(run);
        next.push_back(boxes.size() - 1);
      }
      column = end;
    }
    open = std::move(next);
  }
  return boxes;
}

}  // namespace

bool Meet(const PixelArea& a, const PixelArea& b) {
  return !Intersection(a, b).Empty();
}

PixelArea PixelsOf(const PixelBox& box) {
  if (box.Empty()) return {};
  // Clamped far beyond any canvas, well within 64 bits; rounded down and up by hand, as this
  // runs for every item at every pan.
  auto down = [](double v) {
    v = std::clamp(v, -1e12, 1e12);
    const auto t = static_cast<int64_t>(v);
    return t - (v < static_cast<double>(t) ? 1 : 0);
  };
  auto up = [](double v) {
    v = std::clamp(v, -1e12, 1e12);
    const auto t = static_cast<int64_t>(v);
    return t + (v > static_cast<double>(t) ? 1 : 0);
  };
  return {down(box.left), down(box.top), up(box.right), up(box.bottom)};
}

bool WholePixelPan(double fromX, double fromY, double toX, double toY, int64_t width,
                   int64_t height, int64_t& dx, int64_t& dy) {
  auto whole = [](double scroll) { return std::abs(scroll) < 1e9 && scroll == std::floor(scroll); };
  if (!whole(fromX) || !whole(fromY) || !whole(toX) || !whole(toY)) return false;
  dx = static_cast<int64_t>(toX - fromX);
  dy = static_cast<int64_t>(toY - fromY);
  return std::abs(dx) < width && std::abs(dy) < height;
}

PanPlan PlanPan(int64_t dx, int64_t dy, int64_t width, int64_t height,
                const std::vector<PanItem>& items) {
  PanPlan plan;
  // The old picture keeps the pixels it moves onto; the strips it uncovers are drawn anew.
  const PixelArea canvas{0, 0, width, height};
  const PixelArea before{dx, dy, dx + width, dy + height};  // the old canvas
  const PixelArea kept = Intersection(canvas, before);
  std::vector<PixelArea>& redrawn = plan.redrawn;
  if (dx != 0)
    redrawn.push_back(dx > 0 ? PixelArea{0, 0, dx, height}
                             : PixelArea{width + dx, 0, width, height});
  if (dy != 0)
    redrawn.push_back(dy > 0 ? PixelArea{0, 0, width, dy}
                             : PixelArea{0, height + dy, width, height});
  // A kept pixel holds what drawing gives it now where everything that reaches it was drawn
  // then as it is drawn now, moved by whole pixels: shapes are worked out relative to the
  // scroll position. Two things depend on where the canvas lies, and what they touch is drawn
  // again: an item culled at one scroll position and not at the other, and a thin line cut by
  // the edges of either canvas.
  plan.inks.reserve(items.size());
  size_t drawnInFull = 0;  // what a full drawing draws, for comparison
  for (const PanItem& item : items) {
    const ItemReach& reach = item.reach;
    drawnInFull += reach.culled ? 0 : 1;
    const PixelArea& ink = plan.inks.emplace_back(PixelsOf(reach.ink));
    const bool meetsKept = Meet(ink, kept);
    if (reach.culled != reach.culledShifted && meetsKept)
      redrawn.push_back(Intersection(ink, canvas));
    if (reach.culled || reach.culledShifted || !meetsKept) continue;
    for (const PixelBox& line : item.thinLines) {
      const PixelArea cut = PixelsOf(line);
      if (Inside(cut, canvas) && Inside(cut, before)) continue;
      // Smoothing, and the first pixel of the next piece, which depends on where this ends.
      const PixelArea reached{cut.left - 3, cut.top - 3, cut.right + 3, cut.bottom + 3};
      if (reach.thinDashed) {
        if (Meet(reached, kept)) redrawn.push_back(Intersection(reached, canvas));
        continue;
      }
      // A solid line changes only in the pieces that a canvas's edges cut.
      for (const PixelArea& edges : {canvas, before}) {
        for (const PixelArea& near : NearEdges(edges, kNearCut)) {
          const PixelArea part = Intersection(Intersection(reached, near), canvas);
          if (Meet(part, kept)) redrawn.push_back(part);
        }
      }
    }
  }
  redrawn = CoverByTiles(redrawn, width, height);
  // Each item is drawn again once for every area it reaches: when that comes near a full
  // drawing (long thin lines crossing the edges when zoomed in), a full drawing it is.
  size_t draws = 0;
  for (const PixelArea& area : redrawn) {
    for (const PixelArea& ink : plan.inks) draws += Meet(ink, area) ? 1 : 0;
  }
  plan.movesAlong = draws * 2 <= drawnInFull;
  return plan;
}

}  // namespace graphview
