// Geometry of the edges' B-splines: a start point followed by groups of three points, each
// group one cubic segment. Works on whatever coordinates it is given.
#pragma once
#include <span>
#include <vector>

#include "graphview/graph_model.h"

namespace graphview {

struct BezierSegment {
  BezierPoint start;
  BezierPoint control1;
  BezierPoint control2;
  BezierPoint end;
};

// Calls segment(BezierSegment) for each segment of the list. A short tail still makes a
// segment: two points left give control points (current, last, last), one point left a
// straight line to it. A list of fewer than two points has no segment.
template <class SegmentFn>
void ForEachBezierSegment(std::span<const BezierPoint> points, SegmentFn&& segment) {
  if (points.size() < 2) return;
  BezierPoint from = points[0];
  size_t i = 1;
  while (i < points.size()) {
    size_t left = points.size() - i;
    const BezierPoint& c1 = points[i];
    const BezierPoint& c2 = points[left >= 2 ? i + 1 : i];
    const BezierPoint& to = points[left >= 3 ? i + 2 : points.size() - 1];
    segment(BezierSegment{from, c1, c2, to});
    from = to;
    i += left >= 3 ? 3 : left;
  }
}

// Adds the path to the vector drawing's current path: a move to the shifted start point,
// then one cubic curve per segment with every shifted coordinate rounded to whole pixels.
void AddBezierPath(std::span<const BezierPoint> points, double offsetX, double offsetY);
// The same path with only the curves that reach into the box (left, top, right, bottom): a
// curve whose control points all lie outside it is left out, the path starting again after
// it, and a curve far larger than a canvas goes in as its halves, so the painter never
// flattens a curve of millions of pixels for the few it shows.
void AddBezierPathWithin(std::span<const BezierPoint> points, double left, double top, double right,
                         double bottom);

// The curves AddBezierPathWithin hands on, in order; startsAfresh when the path moves to the
// curve's start instead of going on from the previous curve's end.
struct ClippedCurve {
  BezierPoint p0, p1, p2, p3;
  bool startsAfresh = false;
};
std::vector<ClippedCurve> CurvesWithin(std::span<const BezierPoint> points, double left, double top,
                                       double right, double bottom);

// The point at parameter t of the cubic from p0 to p3 through p1 and p2 (de Casteljau).
BezierPoint CubicBezierPoint(const BezierPoint& p0, const BezierPoint& p1, const BezierPoint& p2,
                             const BezierPoint& p3, double t);

double PointDistance(const BezierPoint& a, const BezierPoint& b);

// The two path samples on either side of a midpoint.
struct MidpointChord {
  BezierPoint start;
  BezierPoint end;
};

// The point halfway along the path by arc length, sampled with steps samples per segment;
// chord, when given, receives the samples around it. A list of fewer than two points gives
// (0, 0) and a chord of (0, 0) to (0, 0).
BezierPoint BezierPathMidpoint(std::span<const BezierPoint> points, int steps, double offsetX,
                               double offsetY, MidpointChord* chord = nullptr);

// Direction of the chord in degrees, -180 to 180; in canvas pixels (y down) a positive angle
// turns clockwise.
double BezierPathMidpointAngle(const MidpointChord& chord);

}  // namespace graphview
