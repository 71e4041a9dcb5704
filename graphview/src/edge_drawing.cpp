#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <numbers>
#include <string>
#include <vector>

#include "graph_pixels.h"
#include "graphview/bezier_path.h"
#include "graphview/edge_kinds.h"
#include "graphview/graph_drawing.h"
#include "platform/drawing.h"

namespace graphview {
namespace {

constexpr double kMaxLineWidth = 256;
constexpr double kMaxDash = 4096;

void AsciiUpper(std::string& text) {
  for (char& c : text) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
}

// True when some stretch of the control polygon, its points rounded to whole pixels, meets
// the canvas widened by margin on every side; touching counts. The canvas's top left lies at
// (shiftX, shiftY).
bool PolygonMeetsCanvas(const std::vector<BezierPoint>& rounded, int64_t margin,
                        const GraphDrawSettings& settings, int64_t shiftX = 0, int64_t shiftY = 0) {
  double left = static_cast<double>(shiftX - margin);
  double top = static_cast<double>(shiftY - margin);
  double right = static_cast<double>(shiftX + settings.canvasWidth + margin);
  double bottom = static_cast<double>(shiftY + settings.canvasHeight + margin);
  for (size_t i = 1; i < rounded.size(); ++i) {
    const double x1 = rounded[i - 1].x, y1 = rounded[i - 1].y;
    const double x2 = rounded[i].x, y2 = rounded[i].y;
    if (std::max(x1, x2) >= left && std::min(x1, x2) <= right && std::max(y1, y2) >= top &&
        std::min(y1, y2) <= bottom)
      return true;
  }
  return false;
}

// The label's shown text and the upper-cased form it is measured (and along the edge drawn)
// by, that form's size at fontPx in the graph font; the vector font is left at that size.
struct LabelText {
  std::string text, upper;
  double tw = 0, th = 0;
};
const LabelText& MeasureLabel(const GraphEdge& edge, double fontPx,
                              const GraphDrawSettings& settings) {
  // One buffer for every label: the renderer draws thousands of edges per rebuild.
  static LabelText label;
  ShownLabel(edge.label, label.text);
  label.upper = label.text;
  AsciiUpper(label.upper);
  platform::VectorFont(settings.graphFont, fontPx);
  label.tw = static_cast<double>(RoundHalfEven(platform::VectorTextWidth(label.upper)));
  label.th = static_cast<double>(RoundHalfEven(platform::VectorTextHeight(label.upper)));
  return label;
}

// Where a label along the edge goes: the path's midpoint, and the angle of the text there.
void LabelAnchor(const std::vector<BezierPoint>& canvasPoints, BezierPoint& mid, double& angle) {
  // Measured from the first point: the walk along the path compares sums of lengths, and on a
  // symmetric path a tie must be decided the same wherever the path lies on the canvas.
  static std::vector<BezierPoint> relative;
  relative.clear();
  const BezierPoint base = canvasPoints.empty() ? BezierPoint{} : canvasPoints.front();
  for (const BezierPoint& p : canvasPoints) relative.push_back({p.x - base.x, p.y - base.y});
  MidpointChord chord;
  mid = BezierPathMidpoint(relative, 10, 0, 0, &chord);
  mid = {base.x + mid.x, base.y + mid.y};
  angle = BezierPathMidpointAngle(chord);
  // Never upside down.
  if (std::abs(angle) > 90) angle += 180;
}

void DrawLabel(const GraphModel& model, const GraphEdge& edge,
               const std::vector<BezierPoint>& canvasPoints, double fontPx, uint32_t colour,
               const GraphDrawSettings& settings) {
  const LabelText& label = MeasureLabel(edge, fontPx, settings);
  const std::string& text = label.text;
  const std::string& upper = label.upper;
  const double tw = label.tw, th = label.th;
  if (settings.horizontallyIsolatedEdgeLabels) {
    // Centred by the measure of the upper-cased form, as the along-the-edge labels are.
    platform::MovePathCursor(detail::CanvasX(model, edge.labelX) - tw / 2,
                             detail::CanvasY(model, edge.labelY) - th / 2);
    platform::VectorSourceColor(colour);
    platform::DrawVectorText(text);
    detail::DropPath();
    return;
  }
  BezierPoint mid;
  double angle = 0;
  LabelAnchor(canvasPoints, mid, angle);
  double boxW = static_cast<double>(RoundHalfEven(tw + 2 * fontPx));
  // The box is opaque at any alpha: a faded edge's label still hides the line under it.
  platform::RotateCoordinates(mid.x, mid.y, angle);
  platform::VectorSourceColor(GetColorByName("white", 255));
  platform::AddPathBox(mid.x - boxW / 2, mid.y - th / 2, boxW, th);
  platform::FillPath();
  platform::ResetCoordinates();
  platform::RotateCoordinates(mid.x, mid.y, angle);
  platform::MovePathCursor(mid.x - tw / 2, mid.y - th / 2);
  platform::VectorSourceColor(colour);
  platform::DrawVectorText(upper);
  platform::ResetCoordinates();
  detail::DropPath();
}

void DrawArrowhead(const GraphEdge& edge, const std::vector<BezierPoint>& points, double size,
                   uint32_t colour) {
  if (points.size() < 2) return;
  bool back = edge.dotLine.find("dir = back") != std::string_view::npos;
  const BezierPoint& tip = back ? points[0] : points[points.size() - 1];
  const BezierPoint& ref = back ? points[1] : points[points.size() - 2];
  int kind = GetEdgeType(edge.plainLine);
  if (kind == EDGETYPE_HasThread || kind == EDGETYPE_IsBasedOn) return;
  double dx = tip.x - ref.x;
  double dy = tip.y - ref.y;
  double scale = std::abs(dy) < std::abs(dx) ? std::abs(dx) : std::abs(dy);
  // A last stretch without length has no direction to point in.
  if (!(scale > 0)) return;
  dx = dx / scale * size;
  dy = dy / scale * size;
  platform::VectorSourceColor(colour);
  platform::MovePathCursor(tip.x, tip.y);
  platform::AddPathLine(tip.x - dy, tip.y + dx);
  platform::AddPathLine(tip.x + dx, tip.y + dy);
  platform::AddPathLine(tip.x + dy, tip.y - dx);
  platform::AddPathLine(tip.x, tip.y);
  platform::FillPath();
}

// The sizes an edge's drawing takes from the font size, in pixels.
struct EdgePens {
  double hp = 0, fontPx = 0, arrow = 0, width = 0;
};

EdgePens PensFor(const GraphModel& model, const GraphEdge& edge, double fontSize) {
  EdgePens pens;
  pens.hp = static_cast<double>(GraphHeightToPixels(model.view, model.layout, fontSize));
  pens.fontPx = detail::ClampPixels(std::max(0.7 * pens.hp, 1.0), 1, kMaxDash);
  pens.arrow = detail::ClampPixels(std::max(0.65 * pens.hp, 1.0), 1, kMaxDash);
  pens.width = detail::ClampPixels(std::max(0.1 * edge.penWidth * pens.hp, 1.0), 1, kMaxLineWidth);
  return pens;
}

// Bounds of a label's text at a font size without measuring it: no glyph is wider than two
// ems per byte of the label and no line higher than two ems, and every backslash or line
// feed may start a line. False when the label holds other control characters.
bool LabelBounds(std::string_view label, double em, double& width, double& height) {
  double lines = 1;
  for (char c : label) {
    if (c == '\\' || c == '\n') {
      ++lines;
    } else if (static_cast<unsigned char>(c) < 0x20) {
      return false;
    }
  }
  width = 2 * em * static_cast<double>(label.size());
  height = 2 * em * lines;
  return true;
}

// The edge's control points in canvas pixels, into one buffer per caller.
void CanvasPoints(const GraphModel& model, const GraphEdge& edge, std::vector<BezierPoint>& out) {
  out.clear();
  const ViewState& view = model.view;
  const GraphLayout& layout = model.layout;
  if (!view.scaledValid || !(layout.width > 0) || !(layout.height > 0)) {
    for (const BezierPoint& p : edge.points)
      out.push_back({detail::CanvasX(model, p.x), detail::CanvasY(model, p.y)});
    return;
  }
  // The conversions of GraphXToPixel and GraphYToPixel, term for term, their ratios taken once.
  const double perX = static_cast<double>(view.scaledWidth) / layout.width;
  const double h = static_cast<double>(view.scaledHeight);
  const double perY = h / layout.height;
  for (const BezierPoint& p : edge.points) {
    out.push_back({view.scrollX + static_cast<double>(RoundHalfEven(perX * p.x)),
                   view.scrollY + static_cast<double>(RoundHalfEven(h - perY * p.y))});
  }
}

// The points rounded to whole pixels, into one buffer.
const std::vector<BezierPoint>& Rounded(const std::vector<BezierPoint>& points) {
  static std::vector<BezierPoint> rounded;
  rounded.clear();
  for (const BezierPoint& p : points)
    rounded.push_back(
        {static_cast<double>(RoundHalfEven(p.x)), static_cast<double>(RoundHalfEven(p.y))});
  return rounded;
}

bool Culled(const GraphModel& model, const std::vector<BezierPoint>& rounded,
            const GraphDrawSettings& settings, int64_t shiftX = 0, int64_t shiftY = 0) {
  return !PolygonMeetsCanvas(rounded, GraphWidthToPixels(model.view, model.layout, 0.25), settings,
                             shiftX, shiftY);
}

PixelBox Hull(std::span<const BezierPoint> points) {
  PixelBox box{std::numeric_limits<double>::max(), std::numeric_limits<double>::max(),
               std::numeric_limits<double>::lowest(), std::numeric_limits<double>::lowest()};
  for (const BezierPoint& p : points) {
    box = {std::min(box.left, p.x), std::min(box.top, p.y), std::max(box.right, p.x),
           std::max(box.bottom, p.y)};
  }
  return box;
}

}  // namespace

ItemReach EdgeReach(const GraphModel& model, const GraphEdge& edge, double fontSize,
                    const GraphDrawSettings& settings, int64_t shiftX, int64_t shiftY,
                    std::vector<PixelBox>& thinLines) {
  ItemReach reach;
  reach.culled = reach.culledShifted = true;
  if (!model.view.scaledValid || edge.points.size() < 2) return reach;
  static std::vector<BezierPoint> points;
  CanvasPoints(model, edge, points);
  const std::vector<BezierPoint>& rounded = Rounded(points);
  reach.culled = Culled(model, rounded, settings);
  reach.culledShifted = Culled(model, rounded, settings, shiftX, shiftY);
  const EdgePens pens = PensFor(model, edge, fontSize);
  // The path's coordinates are rounded to whole pixels.
  auto addLine = [&](PixelBox box) {
    thinLines.push_back({box.left - 0.5, box.top - 0.5, box.right + 0.5, box.bottom + 0.5});
  };
  if (pens.width <= 1 && edge.style == "dashed") {
    reach.thinDashed = true;
    addLine(Hull(points));
  } else if (pens.width <= 1) {
    ForEachBezierSegment(points, [&](const BezierSegment& s) {
      addLine(Hull(std::array{s.start, s.control1, s.control2, s.end}));
    });
  }

  PixelBox box = Hull(points);
  // The curve stays inside its control points (rounded to whole pixels); round caps, the
  // arrowhead at an end and smoothing reach past them.
  double margin = std::max(pens.width / 2, pens.arrow) + 2.5;
  if (!edge.label.empty()) {
    const double em = pens.fontPx + 1;  // the font's size is rounded to whole pixels
    double tw = 0, th = 0;
    if (!LabelBounds(edge.label, em, tw, th)) {
      constexpr double kAll = 1e300;
      reach.ink = {-kAll, -kAll, kAll, kAll};
      return reach;
    }
    if (settings.horizontallyIsolatedEdgeLabels) {
      // Centred on the layout's position by a measure of its own, so anywhere within a
      // text's width of it.
      const double x = detail::CanvasX(model, edge.labelX);
      const double y = detail::CanvasY(model, edge.labelY);
      box = {std::min(box.left, x - tw - em), std::min(box.top, y - th - em),
             std::max(box.right, x + tw + em), std::max(box.bottom, y + th + em)};
    } else {
      // A box around the curve's midpoint, turned any way, the text a little past it.
      margin = std::max(margin, tw / 2 + th / 2 + 2 * em + 2);
    }
  }
  reach.ink = {box.left - margin, box.top - margin, box.right + margin, box.bottom + margin};
  return reach;
}

PixelBox EdgeExtent(const GraphModel& model, const GraphEdge& edge, double fontSize,
                    const GraphDrawSettings& settings) {
  if (!model.view.scaledValid || edge.points.size() < 2) return {};
  static std::vector<BezierPoint> points;
  CanvasPoints(model, edge, points);
  const EdgePens pens = PensFor(model, edge, fontSize);
  PixelBox box = Hull(points);
  // The curve stays inside its control points; half the pen, an arrowhead at an end and a
  // pixel of smoothing reach past them.
  const double margin = std::max(pens.width / 2, pens.arrow) + 1;
  box = {box.left - margin, box.top - margin, box.right + margin, box.bottom + margin};
  if (edge.label.empty()) return box;
  const LabelText& label = MeasureLabel(edge, pens.fontPx, settings);
  double cx = 0, cy = 0, halfX = label.tw / 2, halfY = label.th / 2;
  if (settings.horizontallyIsolatedEdgeLabels) {
    cx = detail::CanvasX(model, edge.labelX);
    cy = detail::CanvasY(model, edge.labelY);
  } else {
    // The label's opaque box, turned with the text.
    BezierPoint mid;
    double angle = 0;
    LabelAnchor(points, mid, angle);
    const double boxW = static_cast<double>(RoundHalfEven(label.tw + 2 * pens.fontPx));
    const double turn = angle * std::numbers::pi / 180;
    const double c = std::abs(std::cos(turn)), s = std::abs(std::sin(turn));
    cx = mid.x;
    cy = mid.y;
    halfX = c * boxW / 2 + s * label.th / 2;
    halfY = s * boxW / 2 + c * label.th / 2;
  }
  // The glyphs' smoothing.
  halfX += 1;
  halfY += 1;
  return {std::min(box.left, cx - halfX), std::min(box.top, cy - halfY),
          std::max(box.right, cx + halfX), std::max(box.bottom, cy + halfY)};
}

void DrawEdge(const GraphModel& model, const GraphEdge& edge, double fontSize, int alpha,
              const GraphDrawSettings& settings) {
  if (!model.view.scaledValid) return;
  // One buffer for every edge: the renderer draws thousands per rebuild.
  static std::vector<BezierPoint> points;
  CanvasPoints(model, edge, points);
  if (Culled(model, Rounded(points), settings)) return;

  const EdgePens pens = PensFor(model, edge, fontSize);
  const double hp = pens.hp, fontPx = pens.fontPx, arrow = pens.arrow, width = pens.width;
  uint32_t colour = GetColorByName(edge.color, alpha);

  platform::VectorSourceColor(colour);
  if (edge.style == "dashed") {
    // The dashes run on from the path's start: every curve counts.
    AddBezierPath(points, 0, 0);
    platform::DashPath(width, detail::ClampPixels(std::max(0.5 * hp, 1.0), 1, kMaxDash));
  } else {
    // Beyond the pen, its smoothing and a thin line's piece nothing a curve draws reaches the
    // canvas.
    const double margin = width + platform::kThinLinePiece + 8;
    AddBezierPathWithin(points, -margin, -margin,
                        static_cast<double>(settings.canvasWidth) + margin,
                        static_cast<double>(settings.canvasHeight) + margin);
    platform::StrokePath(width);
  }
  if (!edge.label.empty()) DrawLabel(model, edge, points, fontPx, colour, settings);
  DrawArrowhead(edge, points, arrow, colour);
}

}  // namespace graphview
