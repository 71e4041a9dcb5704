#include "graphview/graph_renderer.h"

#include <algorithm>
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

void Free(int& image) {
  if (image) platform::FreeImage(image);
  image = 0;
}

// A white wash (or any colour) blended over a whole image.
void Wash(int image, uint32_t colour) {
  if (!platform::StartDrawing(platform::ImageOutput(image))) return;
  platform::DrawingMode(platform::kDrawAlphaBlend);
  platform::Box(0, 0, platform::OutputWidth(), platform::OutputHeight(), colour);
  platform::StopDrawing();
}

// The box behind the nodes that only the capture knows, with its caption.
void DrawCaptureBox(const GraphModel& model, const RenderSettings& settings, double fs) {
  const ViewState& view = model.view;
  const GraphLayout& layout = model.layout;
  bool any = false;
  double top = 0, bottom = 0, x = 0, widest = 0, lastHeight = 0;
  for (const GraphNode& node : layout.nodes) {
    if (!node.onlyInCapture) continue;
    any = true;
    if (top == 0) top = node.y;
    bottom = node.y;
    x = node.x;
    widest = std::max(widest, node.width);
    lastHeight = node.height;
  }
  if (!any) return;
  top += lastHeight / 2 + 4 * fs;
  bottom -= lastHeight / 2 + fs;
  double left = x - widest / 2 - fs;
  double boxWidth = widest + 2 * fs;
  const double px = view.scrollX + static_cast<double>(GraphXToPixel(view, layout, left));
  const double w = static_cast<double>(GraphWidthToPixels(view, layout, boxWidth));
  platform::VectorSourceColor(kCaptureBox);
  platform::AddPathBox(px, view.scrollY + static_cast<double>(GraphYToPixel(view, layout, top)), w,
                       static_cast<double>(GraphHeightToPixels(view, layout, top - bottom)));
  platform::FillPath();
  const int64_t captionHeight = 2 * GraphHeightToPixels(view, layout, fs);
  if (w > 0 && captionHeight > 0) {
    platform::VectorSourceColor(kBlack);
    platform::MovePathCursor(
        px, view.scrollY + static_cast<double>(GraphYToPixel(view, layout, top - fs / 2)));
    platform::DrawVectorParagraph("Only in PCAP", w, static_cast<double>(captionHeight),
                                  platform::kParagraphCenter);
  }
  (void)settings;
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

GraphRenderer::~GraphRenderer() {
  FreeImages();
}

void GraphRenderer::FreeImages() {
  Free(m_work);
  Free(m_replay);
  Free(m_display);
  Free(m_strip);
  Free(m_shade);
}

void GraphRenderer::BuildWorkImage(GraphModel& model, const RenderSettings& settings, double fs) {
  TOLVEK_TRACE("BuildWorkImage");
  Free(m_work);
  Free(m_replay);
  ++m_graphBuilds;
  m_work = platform::CreateImage(platform::kNewNumber, ToInt(settings.draw.canvasWidth),
                                 ToInt(settings.draw.canvasHeight), kWhite);
  if (!m_work || !platform::StartVectorDrawing(platform::ImageOutput(m_work))) return;
  platform::VectorFont(
      settings.draw.graphFont,
      std::max(1.0, static_cast<double>(GraphHeightToPixels(model.view, model.layout, fs))));
  DrawCaptureBox(model, settings, fs);
  for (const GraphNode& node : model.layout.nodes) DrawNode(model, node, fs, 255, settings.draw);
  for (const GraphEdge& edge : model.layout.edges) DrawEdge(model, edge, fs, 255, settings.draw);
  platform::StopVectorDrawing();
}

void GraphRenderer::AdvanceReplay(GraphModel& model, const RenderSettings& settings, double fs,
                                  int64_t upTo) {
  ReplayKey key{m_workKey, m_graphBuilds, model.TimelineMode, settings.hideUnvisitedGraphparts,
                settings.smartHighlight};
  if (!m_reuse || !m_replay || !(key == m_replayKey) || upTo < m_replayNext) {
    Free(m_replay);
    ++m_replayBuilds;
    m_replay = platform::CopyImage(m_work, platform::kNewNumber);
    Wash(m_replay, platform::Rgba(255, 255, 255, settings.hideUnvisitedGraphparts ? 255 : 250));
    m_replayKey = key;
    m_replayNext = 0;
    m_replayFrameIndex = 0;
    m_drawnNodes.clear();
    m_drawnEdges.clear();
  }
  if (m_replayNext >= upTo || !m_replay) return;
  if (!platform::StartVectorDrawing(platform::ImageOutput(m_replay))) return;
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

RenderOutput GraphRenderer::Redraw(GraphModel& model, const RenderSettings& settings, bool force) {
  TOLVEK_TRACE("RedrawGraph");
  RenderOutput out;
  Free(m_display);
  Free(m_strip);
  Free(m_shade);
  ViewState& view = model.view;
  GraphLayout& layout = model.layout;
  const int64_t width = settings.draw.canvasWidth;
  const int64_t height = settings.draw.canvasHeight;

  if (!view.layoutImage.IsSet() || layout.nodes.empty() || width <= 0 || height <= 0) {
    view.lastScrollX = view.scrollX;
    view.lastScrollY = view.scrollY;
    return out;
  }
  out.empty = false;

  bool fitted = false;
  if (view.zoom == 0) {
    view.fitZoom = detail::FitZoom(view.layoutImage.width, view.layoutImage.height, width, height);
    view.zoom = view.fitZoom;
    view.anchorImageX = view.anchorImageY = view.anchorCanvasX = view.anchorCanvasY = 0.5;
    fitted = true;
  }
  view.zoom = std::min(view.zoom, ZoomCap(view.layoutImage));
  if (fitted || !view.scaledValid || view.zoom != view.scaledZoom) {
    RescaleView(view, width, height);
    out.rescaled = true;
  }
  if (layout.smartFontSize == 0) SmartZoom(model, settings.draw);
  view.zoomStep = std::abs(view.maxZoom - view.fitZoom) / 10;
  const double fs = layout.smartFontSize;

  // With reuse a forced redraw draws the graph again only when something it depends on
  // changed.
  WorkKey key{view.scaledZoom,
              view.scrollX,
              view.scrollY,
              width,
              height,
              model.revision,
              settings.draw.graphFont,
              settings.draw.horizontallyIsolatedEdgeLabels,
              fs};
  bool rebuild = m_reuse ? !m_work || !(key == m_workKey)
                         : (force || out.rescaled || !m_work || view.scrollX != view.lastScrollX ||
                            view.scrollY != view.lastScrollY);
  if (rebuild) {
    m_workKey = key;
    BuildWorkImage(model, settings, fs);
  }
  if (!m_work) {
    out.empty = true;
    return out;
  }

  // The overlays.
  const int64_t visible = CountVisibleFrames(model);
  const TimelineFrame* current = nullptr;
  bool hoveredShown = false;
  if (settings.framesMode && !model.Frames.empty()) {
    const int64_t upTo = std::clamp<int64_t>(view.currentFrame, 0, visible);
    AdvanceReplay(model, settings, fs, upTo);
    m_display = platform::CopyImage(m_replay ? m_replay : m_work, platform::kNewNumber);
    // The frame the walk reaches next is the current one, when there is one.
    size_t index = m_replayFrameIndex;
    while (index < model.Frames.size() && !Visible(model, model.Frames[index])) ++index;
    if (view.currentFrame >= 0 && view.currentFrame < visible && index < model.Frames.size()) {
      current = &model.Frames[index];
    }
    const GraphNode* hovered = view.hoveredNode;
    hoveredShown = hovered && m_drawnNodes.count(hovered);
    if (current && platform::StartVectorDrawing(platform::ImageOutput(m_display))) {
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
  } else {
    m_display = platform::CopyImage(m_work, platform::kNewNumber);
    if (!settings.framesMode && !model.Highlights.empty()) {
      Wash(m_display, kHighlightWash);
      if (platform::StartVectorDrawing(platform::ImageOutput(m_display))) {
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
      if (idx == view.currentFrame) {
        current = &frame;
        break;
      }
      ++idx;
    }
  }

  out.frameNumber = std::to_string(view.currentFrame) + "/" + std::to_string(visible - 1);
  if (current) {
    out.frameTimestamp =
        FormatTimestamp(model, current->timestamp, settings.showOriginalTimestamps);
    out.frameMessage = current->message;
  } else {
    out.frameTimestamp = out.frameMessage = "N/A";
  }

  // The hovered node, enlarged to the target label size when labels are drawn smaller.
  GraphNode* hovered = view.hoveredNode;
  if (hovered && settings.hoverEffects &&
      (!settings.framesMode || model.Frames.empty() || hoveredShown) &&
      platform::StartVectorDrawing(platform::ImageOutput(m_display))) {
    const ViewState saved = view;
    const double cx = view.scrollX + static_cast<double>(GraphXToPixel(view, layout, hovered->x));
    const double cy = view.scrollY + static_cast<double>(GraphYToPixel(view, layout, hovered->y));
    const int64_t target = settings.draw.smartzoomTargetFontsize;
    if (PixelsToGraphUnits(view, layout, target) > fs) {
      view.anchorImageX = CanvasXToImageFraction(view, RoundHalfEven(cx));
      view.anchorImageY = CanvasYToImageFraction(view, RoundHalfEven(cy));
      view.anchorCanvasX = cx / static_cast<double>(width);
      view.anchorCanvasY = cy / static_cast<double>(height);
      view.zoom = view.maxZoom;
      RescaleView(view, width, height);
      DrawNode(model, *hovered, PixelsToGraphUnits(view, layout, target), 255, settings.draw);
    } else {
      DrawNode(model, *hovered, fs, 255, settings.draw);
    }
    view = saved;
    platform::StopVectorDrawing();
  }

  DrawStrip(model, settings, visible);
  out.display = m_display;
  out.strip = m_strip;
  out.shade = m_shade;
  view.lastScrollX = view.scrollX;
  view.lastScrollY = view.scrollY;
  return out;
}

void GraphRenderer::DrawStrip(const GraphModel& model, const RenderSettings& settings,
                              int64_t visible) {
  const int64_t stripWidth = settings.stripWidth;
  const int64_t stripHeight = settings.stripHeight;
  if (stripWidth <= 0 || stripHeight <= 0) return;
  m_strip =
      platform::CreateImage(platform::kNewNumber, ToInt(stripWidth), ToInt(stripHeight), kWhite);
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
  if (!platform::StartDrawing(platform::ImageOutput(m_strip))) return;
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
  m_shade =
      platform::CreateImage(platform::kNewNumber, ToInt(stripWidth), ToInt(stripHeight), kShade);
  if (!m_shade || !platform::StartDrawing(platform::ImageOutput(m_shade))) return;
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
