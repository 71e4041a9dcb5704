#include "graphview/bezier_path.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "graphview/view_state.h"
#include "platform/drawing.h"

namespace graphview {
namespace {

BezierPoint Lerp(const BezierPoint& p, const BezierPoint& q, double t) {
  return {t * q.x + (1 - t) * p.x, t * q.y + (1 - t) * p.y};
}

BezierPoint Shifted(const BezierPoint& p, double dx, double dy) {
  return {p.x + dx, p.y + dy};
}

double Rounded(double value) {
  return static_cast<double>(RoundHalfEven(value));
}

}  // namespace

void AddBezierPath(std::span<const BezierPoint> points, double offsetX, double offsetY) {
  if (points.empty()) return;
  platform::MovePathCursor(offsetX + points[0].x, offsetY + points[0].y);
  ForEachBezierSegment(points, [&](const BezierSegment& s) {
    platform::AddPathCurve(Rounded(offsetX + s.control1.x), Rounded(offsetY + s.control1.y),
                           Rounded(offsetX + s.control2.x), Rounded(offsetY + s.control2.y),
                           Rounded(offsetX + s.end.x), Rounded(offsetY + s.end.y));
  });
}

namespace {

// A curve larger than this across is halved until its parts are no larger: the painter flattens
// and fills a curve as a whole, however little of it lies on the canvas.
constexpr double kMaxCurveSpan = 64;
// A part of a curve lies within a few pixels of its control points, so halving stops well
// within a pixel of precision.
constexpr int kMaxHalvings = 40;

BezierPoint Middle(const BezierPoint& p, const BezierPoint& q) {
  return {(p.x + q.x) / 2, (p.y + q.y) / 2};
}

}  // namespace

std::vector<ClippedCurve> CurvesWithin(std::span<const BezierPoint> points, double left, double top,
                                       double right, double bottom) {
  std::vector<ClippedCurve> curves;
  if (points.empty()) return curves;
  bool open = false;  // the path's cursor lies at the start of the next curve
  auto curve = [&](auto&& self, const BezierPoint& p0, const BezierPoint& p1, const BezierPoint& p2,
                   const BezierPoint& p3, int halvings) -> void {
    const double x0 = std::min({p0.x, p1.x, p2.x, p3.x}), x1 = std::max({p0.x, p1.x, p2.x, p3.x});
    const double y0 = std::min({p0.y, p1.y, p2.y, p3.y}), y1 = std::max({p0.y, p1.y, p2.y, p3.y});
    if (!(x1 >= left && x0 <= right && y1 >= top && y0 <= bottom)) {
      open = false;
      return;
    }
    // Halved by the size alone, never by where the box lies, so a part comes out the same
    // wherever the canvas is; halves of coordinates stay exact, so does a move by whole pixels.
    if (halvings < kMaxHalvings && std::max(x1 - x0, y1 - y0) > kMaxCurveSpan) {
      const BezierPoint a = Middle(p0, p1), b = Middle(p1, p2), c = Middle(p2, p3);
      const BezierPoint ab = Middle(a, b), bc = Middle(b, c), mid = Middle(ab, bc);
      self(self, p0, a, ab, mid, halvings + 1);
      self(self, mid, bc, c, p3, halvings + 1);
      return;
    }
    curves.push_back({p0, p1, p2, p3, !open});
    open = true;
  };
  bool first = true;
  ForEachBezierSegment(points, [&](const BezierSegment& s) {
    const BezierPoint start = first ? s.start : BezierPoint{Rounded(s.start.x), Rounded(s.start.y)};
    first = false;
    curve(curve, start, {Rounded(s.control1.x), Rounded(s.control1.y)},
          {Rounded(s.control2.x), Rounded(s.control2.y)}, {Rounded(s.end.x), Rounded(s.end.y)}, 0);
  });
  return curves;
}

void AddBezierPathWithin(std::span<const BezierPoint> points, double left, double top, double right,
                         double bottom) {
  for (const ClippedCurve& c : CurvesWithin(points, left, top, right, bottom)) {
    if (c.startsAfresh) platform::MovePathCursor(c.p0.x, c.p0.y);
    platform::AddPathCurve(c.p1.x, c.p1.y, c.p2.x, c.p2.y, c.p3.x, c.p3.y);
  }
}

BezierPoint CubicBezierPoint(const BezierPoint& p0, const BezierPoint& p1, const BezierPoint& p2,
                             const BezierPoint& p3, double t) {
  BezierPoint a = Lerp(p0, p1, t);
  BezierPoint b = Lerp(p1, p2, t);
  BezierPoint c = Lerp(p2, p3, t);
  return Lerp(Lerp(a, b, t), Lerp(b, c, t), t);
}

double PointDistance(const BezierPoint& a, const BezierPoint& b) {
  double dx = b.x - a.x;
  double dy = b.y - a.y;
  return std::sqrt(dx * dx + dy * dy);
}

BezierPoint BezierPathMidpoint(std::span<const BezierPoint> points, int steps, double offsetX,
                               double offsetY, MidpointChord* chord) {
  MidpointChord found;
  if (points.size() < 2) {
    if (chord) *chord = found;
    return {};
  }
  steps = std::max(steps, 1);
  // Both passes take the same samples, so the second finds the sample that crosses half of
  // what the first summed.
  auto walk = [&](auto&& sample) {
    bool stop = false;
    ForEachBezierSegment(points, [&](const BezierSegment& s) {
      if (stop) return;
      BezierPoint p0 = Shifted(s.start, offsetX, offsetY);
      BezierPoint c1 = Shifted(s.control1, offsetX, offsetY);
      BezierPoint c2 = Shifted(s.control2, offsetX, offsetY);
      BezierPoint p3 = Shifted(s.end, offsetX, offsetY);
      BezierPoint last = CubicBezierPoint(p0, c1, c2, p3, 0);
      for (int k = 1; k <= steps && !stop; ++k) {
        BezierPoint cur = CubicBezierPoint(p0, c1, c2, p3, static_cast<double>(k) / steps);
        stop = sample(last, cur);
        last = cur;
      }
    });
  };
  double total = 0;
  walk([&](const BezierPoint& last, const BezierPoint& cur) {
    total += PointDistance(last, cur);
    return false;
  });
  double half = total / 2;
  double acc = 0;
  walk([&](const BezierPoint& last, const BezierPoint& cur) {
    acc += PointDistance(last, cur);
    found = {last, cur};
    if (acc > half) return true;
    // A path without length ends with both chord ends on the final sample.
    found.start = cur;
    return false;
  });
  if (chord) *chord = found;
  return {found.start.x + (found.end.x - found.start.x) / 2,
          found.start.y + (found.end.y - found.start.y) / 2};
}

double BezierPathMidpointAngle(const MidpointChord& chord) {
  return std::atan2(chord.end.y - chord.start.y, chord.end.x - chord.start.x) * 180.0 /
         std::numbers::pi;
}

}  // namespace graphview
