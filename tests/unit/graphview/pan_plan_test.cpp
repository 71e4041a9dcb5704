#include "graphview/pan_plan.h"

#include <gtest/gtest.h>

#include <vector>

namespace graphview {
namespace {

TEST(PanPlan, OnlyWholePixelsWithinACanvasMoveThePictureAlong) {
  struct Case {
    double fromX, fromY, toX, toY;
    bool moves;
    int64_t dx, dy;
  } cases[] = {
      {0, 0, 20, 0, true, 20, 0},       {-5, 7, -40, 3, true, -35, -4},
      {0, 0, 159, -95, true, 159, -95}, {0, 0, 160, 0, false, 0, 0},  // a canvas away
      {0, 0, 0, -96, false, 0, 0},      {0, 0, 0.5, 0, false, 0, 0},  // a fraction
      {0.5, 0, 1.5, 0, false, 0, 0},    {2e9, 0, 2e9 + 1, 0, false, 0, 0},
  };
  for (const Case& c : cases) {
    int64_t dx = 0, dy = 0;
    EXPECT_EQ(WholePixelPan(c.fromX, c.fromY, c.toX, c.toY, 160, 96, dx, dy), c.moves)
        << c.fromX << "," << c.fromY << " -> " << c.toX << "," << c.toY;
    if (c.moves) {
      EXPECT_EQ(std::make_pair(dx, dy), std::make_pair(c.dx, c.dy)) << c.toX;
    }
  }
}

TEST(PanPlan, RedrawsWhatThePanUncoversAndWhatDependsOnTheCanvasPosition) {
  // Canvas 160 x 96: ten by six tiles of 16 pixels.
  auto item = [](PixelBox ink, bool culledShifted = false) {
    PanItem i;
    i.reach.ink = ink;
    i.reach.culledShifted = culledShifted;
    return i;
  };
  const PanItem far = item({100, 10, 102, 12});
  auto line = [&](bool dashed) {
    PanItem i = item({100, 40, 200, 42});
    i.reach.thinDashed = dashed;
    i.thinLines = {{100, 40, 200, 42}};
    return i;
  };
  struct Case {
    const char* name;
    int64_t dx, dy;
    std::vector<PanItem> items;
    bool movesAlong;
    std::vector<PixelArea> redrawn;
  } cases[] = {
      {"right", 20, 0, {}, true, {{0, 0, 32, 96}}},
      {"left and up", -20, -4, {}, true, {{128, 0, 160, 80}, {0, 80, 160, 96}}},
      {"culled at one position only",
       20,
       0,
       {item({40.5, 40.5, 49.5, 49.5}, true), far, far, far},
       true,
       {{0, 0, 32, 32}, {0, 32, 64, 64}, {0, 64, 32, 96}}},
      {"culled at neither", 20, 0, {item({40.5, 40.5, 49.5, 49.5}), far}, true, {{0, 0, 32, 96}}},
      // A dashed line's dashes all move with a cut; a solid line changes near the cuts only.
      {"dashed line past the edge",
       20,
       0,
       {line(true), far},
       true,
       {{0, 0, 32, 96}, {96, 32, 160, 48}}},
      {"solid line past the edge",
       20,
       0,
       {line(false), far},
       true,
       {{0, 0, 32, 96}, {112, 32, 160, 48}}},
      {"line within both canvases", 0, 4, {line(false), far}, true, {{0, 0, 160, 16}}},
      // Everything drawn lies in the strip: drawing it again costs a full drawing.
      {"as dear as a full drawing",
       20,
       0,
       {item({0, 0, 10, 10}), item({0, 0, 10, 10})},
       false,
       {{0, 0, 32, 96}}},
  };
  cases[6].items[0].reach.ink = cases[6].items[0].thinLines[0] = {100, 40, 150, 42};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const PanPlan plan = PlanPan(c.dx, c.dy, 160, 96, c.items);
    EXPECT_EQ(plan.movesAlong, c.movesAlong);
    EXPECT_EQ(plan.redrawn, c.redrawn);
    ASSERT_EQ(plan.inks.size(), c.items.size());
    for (size_t i = 0; i < c.items.size(); ++i) {
      EXPECT_EQ(plan.inks[i], PixelsOf(c.items[i].reach.ink));
    }
  }
}

TEST(PanPlan, PixelsOfABoxRoundOutward) {
  EXPECT_EQ(PixelsOf({0.5, -0.5, 2, 3.25}), (PixelArea{0, -1, 2, 4}));
  EXPECT_EQ(PixelsOf({-1e300, 0, 1e300, 1}), (PixelArea{-1000000000000, 0, 1000000000000, 1}));
  EXPECT_TRUE(PixelsOf(PixelBox{}).Empty());
}

}  // namespace
}  // namespace graphview
