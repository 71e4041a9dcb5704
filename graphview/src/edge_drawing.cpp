#include <algorithm>
#include <cmath>
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

// True when some stretch of the control polygon meets the canvas widened by margin on every
// side; touching counts.
bool PolygonMeetsCanvas(const std::vector<BezierPoint>& points, int64_t margin,
                        const GraphDrawSettings& settings) {
  double low = -static_cast<double>(margin);
  double right = static_cast<double>(settings.canvasWidth) + static_cast<double>(margin);
  double bottom = static_cast<double>(settings.canvasHeight) + static_cast<double>(margin);
  for (size_t i = 1; i < points.size(); ++i) {
    double x1 = static_cast<double>(RoundHalfEven(points[i - 1].x));
    double y1 = static_cast<double>(RoundHalfEven(points[i - 1].y));
    double x2 = static_cast<double>(RoundHalfEven(points[i].x));
    double y2 = static_cast<double>(RoundHalfEven(points[i].y));
    if (std::max(x1, x2) >= low && std::min(x1, x2) <= right && std::max(y1, y2) >= low &&
        std::min(y1, y2) <= bottom)
      return true;
  }
  return false;
}

void DrawLabel(const GraphModel& model, const GraphEdge& edge,
               const std::vector<BezierPoint>& canvasPoints, double fontPx, uint32_t colour,
               const GraphDrawSettings& settings) {
  static std::string text;
  static std::string upper;
  UnescapeLabel(edge.label, text);
  upper = text;
  AsciiUpper(upper);
  platform::VectorFont(settings.graphFont, fontPx);
  double tw = static_cast<double>(RoundHalfEven(platform::VectorTextWidth(upper)));
  double th = static_cast<double>(RoundHalfEven(platform::VectorTextHeight(upper)));
  if (settings.horizontallyIsolatedEdgeLabels) {
    // Centred by the measure of the upper-cased form, as the along-the-edge labels are.
    platform::MovePathCursor(detail::CanvasX(model, edge.labelX) - tw / 2,
                             detail::CanvasY(model, edge.labelY) - th / 2);
    platform::VectorSourceColor(colour);
    platform::DrawVectorText(text);
    detail::DropPath();
    return;
  }
  MidpointChord chord;
  BezierPoint mid = BezierPathMidpoint(canvasPoints, 10, 0, 0, &chord);
  double angle = BezierPathMidpointAngle(chord);
  // Never upside down.
  if (std::abs(angle) > 90) angle += 180;
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

}  // namespace

void DrawEdge(const GraphModel& model, const GraphEdge& edge, double fontSize, int alpha,
              const GraphDrawSettings& settings) {
  const ViewState& view = model.view;
  const GraphLayout& layout = model.layout;
  if (!view.scaledValid) return;
  // One buffer for every edge: the renderer draws thousands per rebuild.
  static std::vector<BezierPoint> points;
  points.clear();
  for (const BezierPoint& p : edge.points)
    points.push_back({detail::CanvasX(model, p.x), detail::CanvasY(model, p.y)});
  if (!PolygonMeetsCanvas(points, GraphWidthToPixels(view, layout, 0.25), settings)) return;

  double hp = static_cast<double>(GraphHeightToPixels(view, layout, fontSize));
  double fontPx = detail::ClampPixels(std::max(0.7 * hp, 1.0), 1, kMaxDash);
  double arrow = detail::ClampPixels(std::max(0.65 * hp, 1.0), 1, kMaxDash);
  uint32_t colour = GetColorByName(edge.color, alpha);

  double width = detail::ClampPixels(std::max(0.1 * edge.penWidth * hp, 1.0), 1, kMaxLineWidth);
  platform::VectorSourceColor(colour);
  AddBezierPath(points, 0, 0);
  if (edge.style == "dashed") {
    platform::DashPath(width, detail::ClampPixels(std::max(0.5 * hp, 1.0), 1, kMaxDash));
  } else {
    platform::StrokePath(width);
  }
  if (!edge.label.empty()) DrawLabel(model, edge, points, fontPx, colour, settings);
  DrawArrowhead(edge, points, arrow, colour);
}

}  // namespace graphview
