#include "graphview/graph_renderer.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <vector>

#include "graphview/dot_attributes.h"
#include "graphview/smart_zoom.h"
#include "platform/drawing.h"
#include "platform/window_system.h"
#include "tolvek/callstack.h"

namespace graphview {
namespace {

constexpr uint32_t kWhite = platform::Rgba(255, 255, 255, 255);
constexpr uint32_t kHighlightWash = platform::Rgba(255, 255, 255, 220);
constexpr uint32_t kCaptureBox = platform::Rgba(220, 220, 220, 255);
constexpr uint32_t kBlack = platform::Rgba(0, 0, 0, 255);
constexpr uint32_t kSecondMark = platform::Rgba(128, 128, 128, 255);
constexpr uint32_t kCurrentColumn = platform::Rgba(255, 20, 147, 255);
constexpr uint32_t kShade = platform::Rgba(0, 0, 0, 100);
constexpr int kOlderFrameAlpha = 50;
constexpr int kHintRows = 4;

int ToInt(int64_t value) {
  return static_cast<int>(
      std::clamp<int64_t>(value, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
}

int64_t RoundHalfAway(double value) {
  if (std::isnan(value)) return 0;
  if (value >= 9.2e18) return std::numeric_limits<int64_t>::max();
  if (value <= -9.2e18) return std::numeric_limits<int64_t>::min();
  return static_cast<int64_t>(std::round(value));
}

// A white wash (or any colour) blended over a whole image.
void Wash(int image, uint32_t colour) {
  if (!platform::StartDrawing(platform::ImageOutput(image))) return;
  platform::DrawingMode(platform::kDrawAlphaBlend);
  platform::Box(0, 0, platform::OutputWidth(), platform::OutputHeight(), colour);
  platform::StopDrawing();
}

// The box behind the nodes that only the capture knows, and its caption, in canvas pixels.
struct CaptureBox {
  bool any = false;
  double x = 0, y = 0, w = 0, h = 0, captionY = 0;
  int64_t captionHeight = 0;
};

CaptureBox PlaceCaptureBox(const GraphModel& model, double fs) {
  const ViewState& view = model.view;
  const GraphLayout& layout = model.layout;
  CaptureBox box;
  double top = 0, bottom = 0, x = 0, widest = 0, lastHeight = 0;
  for (const GraphNode& node : layout.nodes) {
    if (!node.onlyInCapture) continue;
    box.any = true;
    if (top == 0) top = node.y;
    bottom = node.y;
    x = node.x;
    widest = std::max(widest, node.width);
    lastHeight = node.height;
  }
  if (!box.any) return box;
  top += lastHeight / 2 + 4 * fs;
  bottom -= lastHeight / 2 + fs;
  double left = x - widest / 2 - fs;
  double boxWidth = widest + 2 * fs;
  box.x = view.scrollX + static_cast<double>(GraphXToPixel(view, layout, left));
  box.y = view.scrollY + static_cast<double>(GraphYToPixel(view, layout, top));
  box.w = static_cast<double>(GraphWidthToPixels(view, layout, boxWidth));
  box.h = static_cast<double>(GraphHeightToPixels(view, layout, top - bottom));
  box.captionY = view.scrollY + static_cast<double>(GraphYToPixel(view, layout, top - fs / 2));
  box.captionHeight = 2 * GraphHeightToPixels(view, layout, fs);
  return box;
}

void DrawCaptureBox(const GraphModel& model, double fs) {
  const CaptureBox box = PlaceCaptureBox(model, fs);
  if (!box.any) return;
  platform::VectorSourceColor(kCaptureBox);
  platform::AddPathBox(box.x, box.y, box.w, box.h);
  platform::FillPath();
  if (box.w > 0 && box.captionHeight > 0) {
    platform::VectorSourceColor(kBlack);
    platform::MovePathCursor(box.x, box.captionY);
    platform::DrawVectorParagraph("Only in PCAP", box.w, static_cast<double>(box.captionHeight),
                                  platform::kParagraphCenter);
  }
}

// The pixels DrawCaptureBox may change: the box, its caption's paragraph and the glyphs'
// overhang in the font of the graph (fontPx).
PixelBox CaptureInkBox(const GraphModel& model, double fs, double fontPx) {
  const CaptureBox box = PlaceCaptureBox(model, fs);
  if (!box.any) return {};
  const double margin = fontPx + 2;
  const double bottom =
      std::max({box.y, box.y + box.h, box.captionY + static_cast<double>(box.captionHeight)});
  return {std::min(box.x, box.x + box.w) - margin,
          std::min({box.y, box.y + box.h, box.captionY}) - margin,
          std::max(box.x, box.x + box.w) + margin, bottom + margin};
}

// Opens vector drawing on an image the way every drawing of the whole graph starts: in the
// graph's font, with shapes worked out relative to the scroll position, so that a shape comes
// out the same, moved, wherever a pan by whole pixels takes it.
bool StartGraphDrawing(int image, const GraphModel& model) {
  if (!platform::StartVectorDrawing(platform::ImageOutput(image))) return false;
  auto whole = [](double scroll) {
    return std::isfinite(scroll) ? static_cast<int>(std::clamp(std::floor(scroll), -1e9, 1e9)) : 0;
  };
  platform::VectorOrigin(whole(model.view.scrollX), whole(model.view.scrollY));
  return true;
}

void SetGraphFont(const GraphModel& model, const RenderSettings& settings, double fs) {
  platform::VectorFont(
      settings.draw.graphFont,
      std::max(1.0, static_cast<double>(GraphHeightToPixels(model.view, model.layout, fs))));
}

// The visible frame at index i of the frame list (level within the timeline mode).
bool Visible(const GraphModel& model, const TimelineFrame& frame) {
  return frame.level <= model.TimelineMode;
}

// Draws one band of rows, height high from row y, as runs of equal colour across the width;
// runs of `base`, the colour already there, are left alone.
template <typename ColourAt>
void DrawRuns(int64_t width, int height, int y, const ColourAt& colourAt, uint32_t base = kWhite) {
  if (height <= 0 || width <= 0) return;
  int64_t runStart = 0;
  uint32_t runColour = colourAt(0);
  for (int64_t x = 1; x <= width; ++x) {
    uint32_t colour = x < width ? colourAt(x) : 0;
    if (x < width && colour == runColour) continue;
    if (runColour != base)
      platform::Box(ToInt(runStart), y, ToInt(x - runStart), height, runColour);
    runStart = x;
    runColour = colour;
  }
}

// Where all nodes and edges are drawn at the smart font size, on the canvas.
PixelBox DrawnExtent(const GraphModel& model, const GraphDrawSettings& draw) {
  const double fs = model.layout.smartFontSize;
  PixelBox all;
  auto add = [&all](const PixelBox& box) {
    if (box.Empty()) return;
    all = all.Empty() ? box
                      : PixelBox{std::min(all.left, box.left), std::min(all.top, box.top),
                                 std::max(all.right, box.right), std::max(all.bottom, box.bottom)};
  };
  for (const GraphNode& node : model.layout.nodes) add(NodeExtent(model, node, fs));
  for (const GraphEdge& edge : model.layout.edges) add(EdgeExtent(model, edge, fs, draw));
  return all;
}

// The layout image's fit leaves out what is drawn past the layout's own box: labels along
// edges near its border, outlines, arrowheads. The fit then shrinks until all of it shows
// and centres it. Labels and pens grow with the zoom, so a few rounds settle it.
void FitDrawing(GraphModel& model, const GraphDrawSettings& draw) {
  ViewState& view = model.view;
  const double width = static_cast<double>(draw.canvasWidth);
  const double height = static_cast<double>(draw.canvasHeight);
  for (int round = 0; round < 4; ++round) {
    const PixelBox all = DrawnExtent(model, draw);
    if (all.Empty() || !std::isfinite(all.right - all.left) ||
        !std::isfinite(all.bottom - all.top)) {
      return;
    }
    if (all.left >= 0 && all.top >= 0 && all.right <= width && all.bottom <= height) return;
    const double shrink =
        std::min({1.0, width / (all.right - all.left + 2), height / (all.bottom - all.top + 2)});
    // The drawing's middle, as a fraction of the picture, goes to the canvas's middle.
    const double midX = (all.left + all.right) / 2 - view.scrollX;
    const double midY = (all.top + all.bottom) / 2 - view.scrollY;
    view.anchorImageX = static_cast<double>(view.scaledWidth) > 0
                            ? midX / static_cast<double>(view.scaledWidth)
                            : 0.5;
    view.anchorImageY = static_cast<double>(view.scaledHeight) > 0
                            ? midY / static_cast<double>(view.scaledHeight)
                            : 0.5;
    view.anchorCanvasX = view.anchorCanvasY = 0.5;
    view.zoom *= shrink;
    view.fitZoom = view.zoom;
    RescaleView(view, draw.canvasWidth, draw.canvasHeight);
  }
}

}  // namespace

namespace detail {

double FitZoom(int64_t imageWidth, int64_t imageHeight, int64_t canvasWidth, int64_t canvasHeight) {
  double fx = static_cast<double>(canvasWidth) / static_cast<double>(imageWidth);
  double fy = static_cast<double>(canvasHeight) / static_cast<double>(imageHeight);
  bool fitsAcross = RoundHalfAway(static_cast<double>(imageWidth) * fx) <= canvasWidth &&
                    RoundHalfAway(static_cast<double>(imageHeight) * fx) <= canvasHeight;
  return fitsAcross ? fx : fy;
}

int64_t StripColumnStart(int64_t i, int64_t stripWidth, int64_t visibleFrames) {
  double cw = static_cast<double>(stripWidth) / static_cast<double>(visibleFrames);
  return RoundHalfEven(static_cast<double>(i) * cw);
}

int64_t StripColumnWidth(int64_t stripWidth, int64_t visibleFrames) {
  double cw = static_cast<double>(stripWidth) / static_cast<double>(visibleFrames);
  double up = std::ceil(cw);
  return up >= 9.2e18 ? std::numeric_limits<int64_t>::max() : static_cast<int64_t>(up);
}

}  // namespace detail

GraphRenderer::GraphRenderer(bool reuse) : m_reuse(reuse) {}

void GraphRenderer::BuildWorkImage(GraphModel& model, const RenderSettings& settings, double fs) {
  TOLVEK_TRACE("BuildWorkImage");
  m_work.Reset();
  m_replay.Reset();
  ++m_graphBuilds;
  m_work.Reset(platform::CreateImage(platform::kNewNumber, ToInt(settings.draw.canvasWidth),
                                     ToInt(settings.draw.canvasHeight), kWhite));
  if (!m_work || !StartGraphDrawing(m_work.Number(), model)) return;
  SetGraphFont(model, settings, fs);
  DrawCaptureBox(model, fs);
  for (const GraphNode& node : model.layout.nodes) DrawNode(model, node, fs, 255, settings.draw);
  for (const GraphEdge& edge : model.layout.edges) DrawEdge(model, edge, fs, 255, settings.draw);
  platform::StopVectorDrawing();
}

bool GraphRenderer::ShiftWorkImage(GraphModel& model, const RenderSettings& settings, double fs,
                                   const WorkKey& key) {
  if (!m_reuse || !m_work) return false;
  WorkKey unscrolled = key;
  unscrolled.scrollX = m_workKey.scrollX;
  unscrolled.scrollY = m_workKey.scrollY;
  if (!(unscrolled == m_workKey)) return false;
  int64_t dx = 0, dy = 0;
  if (!WholePixelPan(m_workKey.scrollX, m_workKey.scrollY, key.scrollX, key.scrollY, key.width,
                     key.height, dx, dy))
    return false;
  TOLVEK_TRACE("ShiftWorkImage");

  // Every item of a full drawing, in its order: the capture box, the nodes, the edges.
  const double fontPx =
      std::max(1.0, static_cast<double>(GraphHeightToPixels(model.view, model.layout, fs)));
  std::vector<PanItem>& items = m_panItems;
  items.resize(1 + model.layout.nodes.size() + model.layout.edges.size());
  size_t i = 0;
  items[i].reach = {.ink = CaptureInkBox(model, fs, fontPx)};
  items[i++].thinLines.clear();
  for (const GraphNode& node : model.layout.nodes) {
    items[i].reach = NodeReach(model, node, fs, settings.draw, dx, dy);
    items[i++].thinLines.clear();
  }
  for (const GraphEdge& edge : model.layout.edges) {
    items[i].thinLines.clear();
    items[i].reach = EdgeReach(model, edge, fs, settings.draw, dx, dy, items[i].thinLines);
    ++i;
  }
  const PanPlan plan = PlanPan(dx, dy, key.width, key.height, items);
  if (!plan.movesAlong) return false;

  m_replay.Reset();
  if (!platform::StartDrawing(platform::ImageOutput(m_work.Number()))) return false;
  platform::ScrollOutput(ToInt(dx), ToInt(dy), kWhite);
  platform::StopDrawing();
  if (!StartGraphDrawing(m_work.Number(), model)) return false;
  // Each area from white, with everything that reaches it in the order of a full drawing.
  for (const PixelArea& area : plan.redrawn) {
    const int x = ToInt(area.left), y = ToInt(area.top);
    const int w = ToInt(area.right - area.left), h = ToInt(area.bottom - area.top);
    platform::ClipVectorDrawing(x, y, w, h);
    platform::VectorSourceColor(kWhite);
    platform::AddPathBox(x, y, w, h);
    platform::FillPath();
    SetGraphFont(model, settings, fs);
    const std::vector<PixelArea>& inks = plan.inks;
    i = 0;
    if (Meet(inks[i++], area)) DrawCaptureBox(model, fs);
    for (const GraphNode& node : model.layout.nodes) {
      if (Meet(inks[i++], area)) DrawNode(model, node, fs, 255, settings.draw);
    }
    for (const GraphEdge& edge : model.layout.edges) {
      if (Meet(inks[i++], area)) DrawEdge(model, edge, fs, 255, settings.draw);
    }
  }
  platform::StopVectorDrawing();
  m_workKey = key;
  return true;
}

void GraphRenderer::AdvanceReplay(GraphModel& model, const RenderSettings& settings, double fs,
                                  int64_t upTo) {
  ReplayKey key{m_workKey, m_graphBuilds, model.TimelineMode, settings.hideUnvisitedGraphparts,
                settings.smartHighlight};
  if (!m_reuse || !m_replay || !(key == m_replayKey) || upTo < m_replayNext) {
    ++m_replayBuilds;
    m_replay.Reset(platform::CopyImage(m_work.Number(), platform::kNewNumber));
    Wash(m_replay.Number(),
         platform::Rgba(255, 255, 255, settings.hideUnvisitedGraphparts ? 255 : 250));
    m_replayKey = key;
    m_replayNext = 0;
    m_replayFrameIndex = 0;
    m_drawnNodes.clear();
    m_drawnEdges.clear();
  }
  if (m_replayNext >= upTo || !m_replay) return;
  if (!platform::StartVectorDrawing(platform::ImageOutput(m_replay.Number()))) return;
  const size_t nodeLimit = settings.smartHighlight ? SIZE_MAX : 2;
  const size_t edgeLimit = settings.smartHighlight ? SIZE_MAX : 1;
  for (; m_replayFrameIndex < model.Frames.size() && m_replayNext < upTo; ++m_replayFrameIndex) {
    const TimelineFrame& frame = model.Frames[m_replayFrameIndex];
    if (!Visible(model, frame)) continue;
    for (size_t n = 0; n < frame.nodeRefs.size() && n < nodeLimit; ++n) {
      const GraphNode* node = frame.nodeRefs[n];
      if (!node || !m_drawnNodes.insert(node).second) continue;
      DrawNode(model, *node, fs, kOlderFrameAlpha, settings.draw);
    }
    for (size_t e = 0; e < frame.edgeRefs.size() && e < edgeLimit; ++e) {
      const GraphEdge* edge = frame.edgeRefs[e];
      if (!edge || !m_drawnEdges.insert(edge).second) continue;
      DrawEdge(model, *edge, fs, kOlderFrameAlpha, settings.draw);
    }
    ++m_replayNext;
  }
  platform::StopVectorDrawing();
}

bool GraphRenderer::PrepareView(GraphModel& model, const RenderSettings& settings,
                                RenderOutput& out) {
  ViewState& view = model.view;
  const int64_t width = settings.draw.canvasWidth;
  const int64_t height = settings.draw.canvasHeight;
  if (!view.layoutImage.IsSet() || model.layout.nodes.empty() || width <= 0 || height <= 0) {
    return false;
  }
  bool fitted = false;
  if (view.zoom == 0) {
    view.fitZoom = detail::FitZoom(view.layoutImage.width, view.layoutImage.height, width, height);
    view.zoom = view.fitZoom;
    view.anchorImageX = view.anchorImageY = view.anchorCanvasX = view.anchorCanvasY = 0.5;
    fitted = true;
  }
  view.zoom = std::min(view.zoom, ZoomCap(view.layoutImage));
  if (fitted || !view.scaledValid || view.zoom != view.scaledZoom) {
    if (settings.beforeRescale) settings.beforeRescale();
    RescaleView(view, width, height);
    out.rescaled = true;
  }
  if (model.layout.smartFontSize == 0) SmartZoom(model, settings.draw);
  if (fitted) FitDrawing(model, settings.draw);
  view.zoomStep = std::abs(view.maxZoom - view.fitZoom) / 10;
  return true;
}

void GraphRenderer::UpdateWorkImage(GraphModel& model, const RenderSettings& settings, double fs,
                                    bool force, bool rescaled) {
  const ViewState& view = model.view;
  // With reuse a forced redraw draws the graph again only when something it depends on
  // changed.
  WorkKey key{view.scaledZoom,
              view.scrollX,
              view.scrollY,
              settings.draw.canvasWidth,
              settings.draw.canvasHeight,
              model.revision,
              settings.draw.graphFont,
              settings.draw.horizontallyIsolatedEdgeLabels,
              fs};
  bool rebuild = m_reuse ? !m_work || !(key == m_workKey)
                         : (force || rescaled || !m_work || view.scrollX != view.lastScrollX ||
                            view.scrollY != view.lastScrollY);
  if (rebuild && !ShiftWorkImage(model, settings, fs, key)) {
    m_workKey = key;
    BuildWorkImage(model, settings, fs);
  }
}

const TimelineFrame* GraphRenderer::DrawReplay(GraphModel& model, const RenderSettings& settings,
                                               double fs, int64_t visible, bool& hoveredShown) {
  const ViewState& view = model.view;
  const int64_t upTo = std::clamp<int64_t>(view.currentFrame, 0, visible);
  AdvanceReplay(model, settings, fs, upTo);
  m_display.Reset(
      platform::CopyImage(m_replay ? m_replay.Number() : m_work.Number(), platform::kNewNumber));
  // The frame the walk reaches next is the current one, when there is one.
  const TimelineFrame* current = nullptr;
  size_t index = m_replayFrameIndex;
  while (index < model.Frames.size() && !Visible(model, model.Frames[index])) ++index;
  if (view.currentFrame >= 0 && view.currentFrame < visible && index < model.Frames.size()) {
    current = &model.Frames[index];
  }
  const GraphNode* hovered = view.hoveredNode;
  hoveredShown = hovered && m_drawnNodes.count(hovered);
  if (current && platform::StartVectorDrawing(platform::ImageOutput(m_display.Number()))) {
    const size_t nodeLimit = settings.smartHighlight ? SIZE_MAX : 2;
    const size_t edgeLimit = settings.smartHighlight ? SIZE_MAX : 1;
    for (size_t n = 0; n < current->nodeRefs.size() && n < nodeLimit; ++n) {
      if (const GraphNode* node = current->nodeRefs[n]) {
        DrawNode(model, *node, fs, 255, settings.draw);
        hoveredShown = hoveredShown || node == hovered;
      }
    }
    for (size_t e = 0; e < current->edgeRefs.size() && e < edgeLimit; ++e) {
      if (const GraphEdge* edge = current->edgeRefs[e]) {
        DrawEdge(model, *edge, fs, 255, settings.draw);
      }
    }
    platform::StopVectorDrawing();
  }
  return current;
}

const TimelineFrame* GraphRenderer::DrawGraphWithHighlights(GraphModel& model,
                                                            const RenderSettings& settings,
                                                            double fs) {
  m_display.Reset(platform::CopyImage(m_work.Number(), platform::kNewNumber));
  if (!settings.framesMode && !model.Highlights.empty()) {
    Wash(m_display.Number(), kHighlightWash);
    if (platform::StartVectorDrawing(platform::ImageOutput(m_display.Number()))) {
      for (const HighlightEntry& entry : model.Highlights) {
        if (entry.node) {
          DrawNode(model, *entry.node, fs, 255, settings.draw);
        } else if (entry.edge) {
          DrawEdge(model, *entry.edge, fs, 255, settings.draw);
        }
      }
      platform::StopVectorDrawing();
    }
  }
  int64_t idx = 0;
  for (const TimelineFrame& frame : model.Frames) {
    if (!Visible(model, frame)) continue;
    if (idx == model.view.currentFrame) return &frame;
    ++idx;
  }
  return nullptr;
}

// The hovered node, enlarged to the target label size when labels are drawn smaller.
void GraphRenderer::DrawHoveredNode(GraphModel& model, const RenderSettings& settings, double fs) {
  ViewState& view = model.view;
  const GraphLayout& layout = model.layout;
  GraphNode* hovered = view.hoveredNode;
  if (!platform::StartVectorDrawing(platform::ImageOutput(m_display.Number()))) return;
  const ViewState saved = view;
  const double cx = view.scrollX + static_cast<double>(GraphXToPixel(view, layout, hovered->x));
  const double cy = view.scrollY + static_cast<double>(GraphYToPixel(view, layout, hovered->y));
  const int64_t target = settings.draw.smartzoomTargetFontsize;
  if (PixelsToGraphUnits(view, layout, target) > fs) {
    view.anchorImageX = CanvasXToImageFraction(view, RoundHalfEven(cx));
    view.anchorImageY = CanvasYToImageFraction(view, RoundHalfEven(cy));
    view.anchorCanvasX = cx / static_cast<double>(settings.draw.canvasWidth);
    view.anchorCanvasY = cy / static_cast<double>(settings.draw.canvasHeight);
    view.zoom = view.maxZoom;
    RescaleView(view, settings.draw.canvasWidth, settings.draw.canvasHeight);
    DrawNode(model, *hovered, PixelsToGraphUnits(view, layout, target), 255, settings.draw);
  } else {
    DrawNode(model, *hovered, fs, 255, settings.draw);
  }
  view = saved;
  platform::StopVectorDrawing();
}

RenderOutput GraphRenderer::Redraw(GraphModel& model, const RenderSettings& settings, bool force) {
  TOLVEK_TRACE("RedrawGraph");
  RenderOutput out;
  m_display.Reset();
  m_strip.Reset();
  m_shade.Reset();
  ViewState& view = model.view;
  if (!PrepareView(model, settings, out)) {
    view.lastScrollX = view.scrollX;
    view.lastScrollY = view.scrollY;
    return out;
  }
  const double fs = model.layout.smartFontSize;
  UpdateWorkImage(model, settings, fs, force, out.rescaled);
  if (!m_work) return out;
  out.empty = false;

  // The overlays.
  const int64_t visible = CountVisibleFrames(model);
  const TimelineFrame* current = nullptr;
  bool hoveredShown = false;
  if (settings.framesMode && !model.Frames.empty()) {
    current = DrawReplay(model, settings, fs, visible, hoveredShown);
  } else {
    current = DrawGraphWithHighlights(model, settings, fs);
  }
  out.frameNumber = std::to_string(view.currentFrame) + "/" + std::to_string(visible - 1);
  if (current) {
    out.frameTimestamp = FormatFrameTime(*current, settings.showOriginalTimestamps);
    out.frameMessage = current->message;
  } else {
    out.frameTimestamp = out.frameMessage = "N/A";
  }
  if (view.hoveredNode && settings.hoverEffects &&
      (!settings.framesMode || model.Frames.empty() || hoveredShown)) {
    DrawHoveredNode(model, settings, fs);
  }

  DrawStrip(model, settings, visible);
  out.display = m_display.Number();
  out.strip = m_strip.Number();
  out.shade = m_shade.Number();
  view.lastScrollX = view.scrollX;
  view.lastScrollY = view.scrollY;
  return out;
}

void GraphRenderer::DrawStrip(const GraphModel& model, const RenderSettings& settings,
                              int64_t visible) {
  const int64_t stripWidth = settings.stripWidth;
  const int64_t stripHeight = settings.stripHeight;
  if (stripWidth <= 0 || stripHeight <= 0) return;
  m_strip.Reset(
      platform::CreateImage(platform::kNewNumber, ToInt(stripWidth), ToInt(stripHeight), kWhite));
  if (!m_strip || model.Frames.empty() || visible <= 0) return;
  const int64_t w = detail::StripColumnWidth(stripWidth, visible);
  const int64_t width = stripWidth;
  const int h = ToInt(stripHeight);
  // The strip holds far more frames than pixels. Every mark is a box the whole height of its
  // rows, and a later box covers an earlier one, so each pixel column shows the last mark of
  // each kind that reaches it: those are found first, then drawn as runs of equal colour.
  std::vector<uint32_t> hint(static_cast<size_t>(width), 0), bar(hint), line(hint), middle(hint);
  auto mark = [&](std::vector<uint32_t>& columns, int64_t i, uint32_t colour) {
    int64_t from = std::max<int64_t>(detail::StripColumnStart(i, stripWidth, visible), 0);
    int64_t to = std::min<int64_t>(from + w, width);
    for (int64_t x = from; x < to; ++x) columns[static_cast<size_t>(x)] = colour;
  };
  int64_t lastGrey = 0, lastBlack = 0, i = 0;
  for (const TimelineFrame& frame : model.Frames) {
    if (!Visible(model, frame)) continue;
    if (settings.showHintsForSeconds && frame.relTime - static_cast<double>(lastGrey) >= 1.0) {
      lastGrey = RoundHalfEven(frame.relTime);
      mark(hint, i, kSecondMark);
    }
    if (settings.showHintsForSeconds && frame.relTime - static_cast<double>(lastBlack) >= 5.0) {
      lastBlack = RoundHalfEven(frame.relTime);
      mark(hint, i, kBlack);
    }
    uint32_t barColour = frame.nodeRefs.empty() || !frame.nodeRefs.front()
                             ? 0
                             : GetColorByName(frame.nodeRefs.front()->fillcolor, 255);
    uint32_t lineColour = frame.edgeRefs.empty() || !frame.edgeRefs.front()
                              ? 0
                              : GetColorByName(frame.edgeRefs.front()->color, 255);
    // A colour the table lacks draws nothing.
    if (platform::Alpha(barColour)) {
      mark(bar, i, barColour);
      mark(middle, i, barColour);
    }
    if (platform::Alpha(lineColour)) {
      mark(line, i, lineColour);
      mark(middle, i, lineColour);
    }
    ++i;
  }
  const int64_t currentFrom =
      detail::StripColumnStart(model.view.currentFrame, stripWidth, visible);
  // The rows each kind of box covers, as the boxes are given (a negative height reaches up).
  auto rows = [&](int y, int height, int row) {
    return height >= 0 ? row >= y && row < y + height : row >= y + height && row < y;
  };
  auto colourAt = [&](int row, int64_t x) -> uint32_t {
    const size_t c = static_cast<size_t>(x);
    const bool inBar = rows(7, h - 15, row), inLine = rows(h / 2 - 1, 2, row);
    uint32_t top = inBar && inLine ? middle[c] : inBar ? bar[c] : inLine ? line[c] : 0;
    if (top) return top;
    if (x >= currentFrom && x < currentFrom + w) return kCurrentColumn;
    if (row < kHintRows && hint[c]) return hint[c];
    return kWhite;
  };
  if (!platform::StartDrawing(platform::ImageOutput(m_strip.Number()))) return;
  // Rows of one kind (which boxes reach them) look alike: one band of boxes each.
  for (int row = 0; row < h;) {
    auto kind = [&](int r) {
      return (rows(7, h - 15, r) ? 1 : 0) | (rows(h / 2 - 1, 2, r) ? 2 : 0) |
             (r < kHintRows ? 4 : 0);
    };
    int band = row + 1;
    while (band < h && kind(band) == kind(row)) ++band;
    DrawRuns(width, band - row, row, [&](int64_t x) { return colourAt(row, x); });
    row = band;
  }
  platform::StopDrawing();

  if (model.Highlights.empty()) return;
  std::unordered_set<const GraphNode*> nodes;
  std::unordered_set<const GraphEdge*> edges;
  for (const HighlightEntry& entry : model.Highlights) {
    if (entry.node) {
      nodes.insert(entry.node);
    } else if (entry.edge) {
      edges.insert(entry.edge);
    }
  }
  m_shade.Reset(
      platform::CreateImage(platform::kNewNumber, ToInt(stripWidth), ToInt(stripHeight), kShade));
  if (!m_shade || !platform::StartDrawing(platform::ImageOutput(m_shade.Number()))) return;
  platform::DrawingMode(platform::kDrawAllChannels);
  constexpr uint32_t kClear = platform::Rgba(0, 0, 0, 0);
  platform::Box(0, 0, ToInt(stripWidth), kHintRows, kClear);
  std::vector<uint32_t> lit(static_cast<size_t>(width), kShade);
  i = 0;
  for (const TimelineFrame& frame : model.Frames) {
    if (!Visible(model, frame)) continue;
    if (std::any_of(frame.nodeRefs.begin(), frame.nodeRefs.end(),
                    [&](const GraphNode* n) { return nodes.count(n) > 0; }) ||
        std::any_of(frame.edgeRefs.begin(), frame.edgeRefs.end(),
                    [&](const GraphEdge* e) { return edges.count(e) > 0; })) {
      mark(lit, i, kClear);
    }
    ++i;
  }
  DrawRuns(
      width, h - kHintRows, kHintRows, [&](int64_t x) { return lit[static_cast<size_t>(x)]; },
      kShade);
  platform::StopDrawing();
}

}  // namespace graphview
