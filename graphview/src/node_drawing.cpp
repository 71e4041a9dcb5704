#include <algorithm>

#include "graph_pixels.h"
#include "graphview/graph_drawing.h"
#include "platform/drawing.h"

namespace graphview {
namespace detail {

TextInk InkAt(const LabelInk& ink, int64_t pixelSize) {
  double scale = static_cast<double>(pixelSize) / kLabelInkSize;
  return {RoundHalfEven(ink.width * scale), RoundHalfEven(ink.height * scale)};
}

const LabelInk& NodeLabelInk(const GraphNode& node, const std::string& text, int font,
                             InkByText* shared) {
  // Measuring an outline costs far more than anything else drawing does; a node's label is
  // measured once for the life of the graph, and a text many nodes share (a thread number, a
  // file category) once for all of them.
  if (node.labelInk.width >= 0) return node.labelInk;
  if (shared) {
    if (auto it = shared->find(text); it != shared->end()) return node.labelInk = it->second;
  }
  platform::VectorFont(font, kLabelInkSize);
  const platform::TextSize ink = platform::VectorTextInk(text);
  node.labelInk = {ink.width, ink.height};
  if (shared) shared->emplace(text, node.labelInk);
  return node.labelInk;
}

int64_t FitLabelSize(const LabelInk& ink, int64_t requested, int64_t boxWidth, int64_t boxHeight) {
  if (requested <= 0) return 0;
  int64_t maxWidth = RoundHalfEven(0.9 * static_cast<double>(boxWidth));
  int64_t maxHeight = RoundHalfEven(0.9 * static_cast<double>(boxHeight));
  auto fits = [&](int64_t size) {
    TextInk at = InkAt(ink, size);
    return at.width < maxWidth && at.height < maxHeight;
  };
  if (fits(requested)) return requested;
  // The ink grows with the size, so the largest size that fits is found by halving.
  int64_t good = 0;
  int64_t bad = requested;
  while (bad - good > 1) {
    int64_t mid = good + (bad - good) / 2;
    if (fits(mid)) {
      good = mid;
    } else {
      bad = mid;
    }
  }
  return good;
}

void DropPath() {
  platform::VectorSourceColor(0);
  platform::FillPath();
}

}  // namespace detail

namespace {

constexpr double kMaxOutline = 256;
constexpr size_t kMaxFits = 64;

// The node's outline, as a path of the current vector drawing.
void AddShapePath(std::string_view shape, double left, double top, double right, double bottom,
                  double cx, double cy) {
  if (shape == "oval") {
    platform::AddPathEllipse(cx, cy, (right - left) / 2, (bottom - top) / 2);
  } else if (shape == "diamond") {
    platform::MovePathCursor(left, cy);
    platform::AddPathLine(cx, top);
    platform::AddPathLine(right, cy);
    platform::AddPathLine(cx, bottom);
    platform::AddPathLine(left, cy);
  } else {
    platform::AddPathBox(left, top, right - left, bottom - top);
  }
}

void FillAndStroke(const auto& addPath, uint32_t fill, uint32_t outline, double width) {
  platform::VectorSourceColor(fill);
  addPath();
  platform::FillPath();
  platform::VectorSourceColor(outline);
  addPath();
  platform::StrokePath(width);
}

// Where a node lies on the canvas, and the sizes its drawing takes from the font size.
struct NodePlace {
  int64_t w = 0, h = 0, hp = 0;
  double cx = 0, cy = 0, halfW = 0, halfH = 0, left = 0, right = 0, top = 0, bottom = 0;
  double outlineWidth = 0;
};

// False for a node without a box, which draws nothing.
bool PlaceNode(const GraphModel& model, const GraphNode& node, double fontSize, NodePlace& p) {
  const ViewState& view = model.view;
  const GraphLayout& layout = model.layout;
  p.w = GraphWidthToPixels(view, layout, node.width);
  p.h = GraphHeightToPixels(view, layout, node.height);
  if (p.w <= 0 || p.h <= 0) return false;
  p.cx = detail::CanvasX(model, node.x);
  p.cy = detail::CanvasY(model, node.y);
  p.halfW = static_cast<double>(p.w) / 2;
  p.halfH = static_cast<double>(p.h) / 2;
  p.left = p.cx - p.halfW;
  p.right = p.cx + p.halfW;
  p.top = p.cy - p.halfH;
  p.bottom = p.cy + p.halfH;
  p.hp = GraphHeightToPixels(view, layout, fontSize);
  p.outlineWidth = detail::ClampPixels(
      static_cast<double>(RoundHalfEven(std::max(0.1 * static_cast<double>(p.hp), 2.0))), 2,
      kMaxOutline);
  return true;
}

// The fold of a note and the tab of a tab, in pixels.
double NoteFoldX(const GraphModel& model) {
  return static_cast<double>(GraphWidthToPixels(model.view, model.layout, 0.08));
}
double NoteFoldY(const GraphModel& model) {
  return static_cast<double>(GraphHeightToPixels(model.view, model.layout, 0.08));
}
double TabWidth(const GraphModel& model) {
  return static_cast<double>(GraphWidthToPixels(model.view, model.layout, 0.2));
}
double TabHeight(const GraphModel& model) {
  return static_cast<double>(GraphHeightToPixels(model.view, model.layout, 0.07));
}

// DrawNode's cull, on a canvas whose top left lies at (shiftX, shiftY): a box that touches
// the canvas's edge is drawn.
bool Culled(const NodePlace& p, const GraphDrawSettings& settings, int64_t shiftX = 0,
            int64_t shiftY = 0) {
  const int64_t leftPx = RoundHalfEven(p.left) - shiftX;
  const int64_t topPx = RoundHalfEven(p.top) - shiftY;
  return leftPx > settings.canvasWidth || topPx > settings.canvasHeight || leftPx < -p.w ||
         topPx < -p.h;
}

// The shape's box with what a note's fold or a tab's tab adds.
PixelBox ShapeBox(const GraphModel& model, const GraphNode& node, const NodePlace& p) {
  PixelBox box{p.left, p.top, p.right, p.bottom};
  if (node.shape == "note") {
    box.left = std::min(box.left, p.right - NoteFoldX(model));
    box.bottom = std::max(box.bottom, p.top + NoteFoldY(model));
  } else if (node.shape == "tab") {
    box.top -= TabHeight(model);
    box.right = std::max(box.right, p.left + TabWidth(model));
  }
  return box;
}

}  // namespace

PixelBox NodeExtent(const GraphModel& model, const GraphNode& node, double fontSize) {
  NodePlace p;
  if (!PlaceNode(model, node, fontSize, p)) return {};
  PixelBox box = ShapeBox(model, node, p);
  // Half the outline and a pixel of smoothing.
  const double margin = p.outlineWidth / 2 + 1;
  return {box.left - margin, box.top - margin, box.right + margin, box.bottom + margin};
}

ItemReach NodeReach(const GraphModel& model, const GraphNode& node, double fontSize,
                    const GraphDrawSettings& settings, int64_t shiftX, int64_t shiftY) {
  ItemReach reach;
  NodePlace p;
  if (!PlaceNode(model, node, fontSize, p)) {
    reach.culled = reach.culledShifted = true;
    return reach;
  }
  reach.culled = Culled(p, settings);
  reach.culledShifted = Culled(p, settings, shiftX, shiftY);
  PixelBox box = ShapeBox(model, node, p);
  // The label's paragraph starts at most half the box above the centre and is as high as the
  // box; glyphs may reach a little past their line.
  if (!node.label.empty() && p.hp > 0) box.bottom = std::max(box.bottom, p.bottom + p.halfH);
  // Half the outline and a pixel of smoothing on either side, or the glyphs' overhang.
  const double margin = std::max(p.outlineWidth / 2, static_cast<double>(p.hp) / 2) + 2;
  reach.ink = {box.left - margin, box.top - margin, box.right + margin, box.bottom + margin};
  return reach;
}

void DrawNode(const GraphModel& model, const GraphNode& node, double fontSize, int alpha,
              const GraphDrawSettings& settings) {
  NodePlace p;
  if (!PlaceNode(model, node, fontSize, p) || Culled(p, settings)) return;
  const int64_t w = p.w, h = p.h, hp = p.hp;
  const double cx = p.cx, cy = p.cy, halfW = p.halfW;
  const double left = p.left, right = p.right, top = p.top, bottom = p.bottom;

  bool hasText = !node.label.empty() && hp > 0;
  // One buffer for every label: the renderer draws thousands of nodes per rebuild.
  static std::string text;
  int64_t fitted = 0;
  if (hasText) {
    ShownLabel(node.label, text);
    FontFitKey key{hp, w, h};
    auto it = node.fontFitCache.find(key);
    if (it == node.fontFitCache.end()) {
      // Every zoom the view passes through makes its own box size; a node keeps the fits of
      // the last few dozen rather than of the whole session.
      if (node.fontFitCache.size() >= kMaxFits) node.fontFitCache.clear();
      const LabelInk& ink = detail::NodeLabelInk(node, text, settings.graphFont);
      it = node.fontFitCache.emplace(key, detail::FitLabelSize(ink, hp, w, h)).first;
    }
    fitted = it->second;
  }
  platform::VectorFont(settings.graphFont, static_cast<double>(std::max<int64_t>(fitted, 1)));

  bool invisibleOutline = node.color == node.fillcolor && alpha < 255;
  uint32_t outline = GetColorByName(node.color, invisibleOutline ? 0 : alpha);
  uint32_t fill = GetColorByName(node.fillcolor, alpha);
  uint32_t textColour = node.fontcolor == "white" ? GetColorByName("white", 255)
                                                  : GetColorByName(node.fontcolor, alpha);
  const double outlineWidth = p.outlineWidth;

  std::string_view shape = node.shape;
  if (shape == "box" || shape == "oval" || shape == "diamond" || shape == "tripleoctagon") {
    FillAndStroke([&] { AddShapePath(shape, left, top, right, bottom, cx, cy); }, fill, outline,
                  outlineWidth);
    if (shape == "tripleoctagon") textColour = GetColorByName("white", 255);
  } else if (shape == "note") {
    double fx = NoteFoldX(model);
    double fy = NoteFoldY(model);
    FillAndStroke(
        [&] {
          platform::MovePathCursor(left, top);
          platform::AddPathLine(right - fx, top);
          platform::AddPathLine(right, top + fy);
          platform::AddPathLine(right, bottom);
          platform::AddPathLine(left, bottom);
          platform::AddPathLine(left, top);
        },
        fill, outline, outlineWidth);
    platform::MovePathCursor(right - fx, top);
    platform::AddPathLine(right - fx, top + fy);
    platform::AddPathLine(right, top + fy);
    platform::StrokePath(outlineWidth);
  } else if (shape == "tab") {
    FillAndStroke([&] { AddShapePath("box", left, top, right, bottom, cx, cy); }, fill, outline,
                  outlineWidth);
    double tabW = TabWidth(model);
    double tabH = TabHeight(model);
    FillAndStroke([&] { platform::AddPathBox(left, top - tabH, tabW, tabH); }, fill, outline,
                  outlineWidth);
  }

  if (!hasText) return;
  double boxW = static_cast<double>(w);
  double boxH = static_cast<double>(h);
  double textH = platform::VectorParagraphHeight(text, boxW, boxH);
  platform::MovePathCursor(cx - halfW, cy - textH / 2);
  platform::VectorSourceColor(textColour);
  platform::DrawVectorParagraph(text, boxW, boxH, platform::kParagraphCenter);
  detail::DropPath();
}

}  // namespace graphview
