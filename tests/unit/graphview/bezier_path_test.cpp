// Midpoint, direction and segmentation of edge splines, on worked examples.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "graphview/bezier_path.h"

namespace graphview {
namespace {

TEST(BezierPath, MidpointAndAngleByArcLength) {
  struct Case {
    const char* what;
    std::vector<BezierPoint> points;
    double midX, midY, angle;
  };
  const Case cases[] = {
      // Samples at x = 30 t^3: half the length is passed at t = 0.8, after t = 0.7.
      {"slow start", {{0, 0}, {0, 0}, {0, 0}, {30, 0}}, 12.825, 0, 0},
      {"mirrored", {{30, 0}, {30, 0}, {30, 0}, {0, 0}}, 17.175, 0, 180},
      {"straight down", {{0, 0}, {0, 10}, {0, 20}, {0, 30}}, 0, 16.5, 90},
      // Half the length lands exactly on the sample at x = 15: only passing it stops.
      {"half on a sample", {{0, 0}, {10, 0}, {20, 0}, {30, 0}}, 16.5, 0, 0},
      {"no length", {{5, 5}, {5, 5}, {5, 5}, {5, 5}}, 5, 5, 0},
      {"single point", {{7, 7}}, 0, 0, 0},
  };
  for (const Case& c : cases) {
    MidpointChord chord{{1, 1}, {2, 2}};
    BezierPoint mid = BezierPathMidpoint(c.points, 10, 0, 0, &chord);
    EXPECT_NEAR(mid.x, c.midX, 1e-9) << c.what;
    EXPECT_NEAR(mid.y, c.midY, 1e-9) << c.what;
    EXPECT_NEAR(BezierPathMidpointAngle(chord), c.angle, 1e-9) << c.what;
  }
  // Offsets shift every point first.
  std::vector<BezierPoint> line{{0, 0}, {10, 0}, {20, 0}, {30, 0}};
  BezierPoint shifted = BezierPathMidpoint(line, 10, 100, -50);
  EXPECT_NEAR(shifted.x, 116.5, 1e-9);
  EXPECT_NEAR(shifted.y, -50, 1e-9);
}

TEST(BezierPath, ShortTailsStillMakeSegments) {
  auto segments = [](std::vector<BezierPoint> points) {
    std::vector<BezierSegment> out;
    ForEachBezierSegment(points, [&](const BezierSegment& s) { out.push_back(s); });
    return out;
  };
  // Five points: one full segment, then a straight line to the fifth.
  auto five = segments({{0, 0}, {1, 0}, {2, 0}, {3, 0}, {4, 4}});
  ASSERT_EQ(five.size(), 2u);
  EXPECT_EQ(five[1].start.x, 3);
  EXPECT_EQ(five[1].control1.x, 4);
  EXPECT_EQ(five[1].control2.x, 4);
  EXPECT_EQ(five[1].end.y, 4);
  // Six points: the last segment's second control point and end are both the sixth point.
  auto six = segments({{0, 0}, {1, 0}, {2, 0}, {3, 0}, {4, 4}, {5, 5}});
  ASSERT_EQ(six.size(), 2u);
  EXPECT_EQ(six[1].control1.x, 4);
  EXPECT_EQ(six[1].control2.x, 5);
  EXPECT_EQ(six[1].end.x, 5);
  EXPECT_TRUE(segments({{1, 1}}).empty());
  EXPECT_TRUE(segments({}).empty());
}

// Zoomed far in, an edge is millions of pixels long and bends back and forth across the canvas:
// the painter gets only curves that reach the canvas, none larger than a canvas piece, and
// the path stays joined wherever it goes on.
TEST(BezierClip, OnlyCanvasSizedCurvesThatReachTheCanvasGoOn) {
  std::vector<BezierPoint> points = {{0, -2e6}};
  for (int k = 1; k <= 90; ++k) {
    const double bend = (k % 3 == 0) ? 0 : (k % 6 < 3 ? 1 : -1) * 3e4;
    points.push_back({800 + bend, -2e6 + 4e6 * k / 90});
  }
  const double left = -20, top = -20, right = 1620, bottom = 1020;
  std::vector<ClippedCurve> curves = CurvesWithin(points, left, top, right, bottom);
  ASSERT_FALSE(curves.empty());
  EXPECT_LT(curves.size(), 200u);
  for (size_t i = 0; i < curves.size(); ++i) {
    const ClippedCurve& c = curves[i];
    const double x0 = std::min({c.p0.x, c.p1.x, c.p2.x, c.p3.x});
    const double x1 = std::max({c.p0.x, c.p1.x, c.p2.x, c.p3.x});
    const double y0 = std::min({c.p0.y, c.p1.y, c.p2.y, c.p3.y});
    const double y1 = std::max({c.p0.y, c.p1.y, c.p2.y, c.p3.y});
    EXPECT_TRUE(x1 >= left && x0 <= right && y1 >= top && y0 <= bottom) << i;
    EXPECT_LE(std::max(x1 - x0, y1 - y0), 64.0) << i;
    if (i > 0 && !c.startsAfresh) {
      EXPECT_EQ(c.p0.x, curves[i - 1].p3.x) << i;
      EXPECT_EQ(c.p0.y, curves[i - 1].p3.y) << i;
    }
  }
  EXPECT_TRUE(curves.front().startsAfresh);
  // Wholly on the canvas, a path goes on as it is: one move and its curves.
  std::vector<BezierPoint> small = {{10, 10}, {20, 10}, {30, 20}, {40, 40}};
  std::vector<ClippedCurve> whole = CurvesWithin(small, left, top, right, bottom);
  ASSERT_EQ(whole.size(), 1u);
  EXPECT_EQ(whole[0].p3.x, 40);
}

}  // namespace
}  // namespace graphview
