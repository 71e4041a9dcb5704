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

const LabelInk& NodeLabelInk(const GraphNode& node, const std::string& text, int font) {
  // Measuring an outline costs far more than anything else drawing does; a node's label is
  // measured once for the life of the graph.
  if (node.labelInk.width < 0) {
    platform::VectorFont(font, kLabelInkSize);
    node.labelInk = {platform::VectorTextWidth(text, platform::kVectorTextVisible),
                     platform::VectorTextHeight(text, platform::kVectorTextVisible)};
  }
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

}  // namespace

void DrawNode(const GraphModel& model, const GraphNode& node, double fontSize, int alpha,
              const GraphDrawSettings& settings) {
  const ViewState& view = model.view;
  const GraphLayout& layout = model.layout;
  int64_t w = GraphWidthToPixels(view, layout, node.width);
  int64_t h = GraphHeightToPixels(view, layout, node.height);
  if (w <= 0 || h <= 0) return;
  double cx = detail::CanvasX(model, node.x);
  double cy = detail::CanvasY(model, node.y);
  double halfW = static_cast<double>(w) / 2;
  double halfH = static_cast<double>(h) / 2;
  double left = cx - halfW, right = cx + halfW, top = cy - halfH, bottom = cy + halfH;
  int64_t leftPx = RoundHalfEven(left);
  int64_t topPx = RoundHalfEven(top);
  // A box that touches the canvas edge is drawn.
  if (leftPx > settings.canvasWidth || topPx > settings.canvasHeight || leftPx < -w || topPx < -h)
    return;

  int64_t hp = GraphHeightToPixels(view, layout, fontSize);
  bool hasText = !node.label.empty() && hp > 0;
  // One buffer for every label: the renderer draws thousands of nodes per rebuild.
  static std::string text;
  int64_t fitted = 0;
  if (hasText) {
    UnescapeLabel(node.label, text);
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
  double outlineWidth = detail::ClampPixels(
      static_cast<double>(RoundHalfEven(std::max(0.1 * static_cast<double>(hp), 2.0))), 2,
      kMaxOutline);

  std::string_view shape = node.shape;
  if (shape == "box" || shape == "oval" || shape == "diamond" || shape == "tripleoctagon") {
    FillAndStroke([&] { AddShapePath(shape, left, top, right, bottom, cx, cy); }, fill, outline,
                  outlineWidth);
    if (shape == "tripleoctagon") textColour = GetColorByName("white", 255);
  } else if (shape == "note") {
    double fx = static_cast<double>(GraphWidthToPixels(view, layout, 0.08));
    double fy = static_cast<double>(GraphHeightToPixels(view, layout, 0.08));
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
    double tabW = static_cast<double>(GraphWidthToPixels(view, layout, 0.2));
    double tabH = static_cast<double>(GraphHeightToPixels(view, layout, 0.07));
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
