// The graph view's picture: the whole laid-out graph at the current zoom and scroll, with the
// highlights, the replay of the timeline, the hovered node and the timeline strip on top.
// The renderer makes images; the window shows them.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <unordered_set>
#include <vector>

#include "graphview/graph_drawing.h"
#include "graphview/graph_model.h"
#include "graphview/owned_image.h"
#include "graphview/pan_plan.h"

namespace graphview {

struct RenderSettings {
  GraphDrawSettings draw;  // the graph canvas's size is draw.canvasWidth x draw.canvasHeight
  int64_t stripWidth = 0;
  int64_t stripHeight = 0;
  bool framesMode = false;  // the replay of the timeline instead of the whole graph
  bool hideUnvisitedGraphparts = false;
  bool smartHighlight = false;
  bool hoverEffects = true;
  bool showHintsForSeconds = true;
  bool showOriginalTimestamps = false;
  // Called before the picture is brought to a new zoom, after which all of it is drawn anew.
  std::function<void()> beforeRescale;
};

// What one redraw made. The images belong to the renderer and stay valid until its next
// redraw.
struct RenderOutput {
  // The graph has nothing to show: the caller clears the graph canvas, the strip and the
  // frame fields.
  bool empty = true;
  bool rescaled = false;  // the picture was brought to a new zoom
  int display = 0;        // the graph canvas's picture
  int strip = 0;          // the timeline strip's picture
  int shade = 0;          // blended over the strip by its alpha; 0 without highlights
  std::string frameNumber, frameTimestamp, frameMessage;
};

class GraphRenderer {
 public:
  // reuse: keep the drawn graph while only overlays change, and the replay of the older
  // frames while the timeline steps forward. Without it every redraw follows the steps
  // literally (for comparisons).
  explicit GraphRenderer(bool reuse = true);
  GraphRenderer(const GraphRenderer&) = delete;
  GraphRenderer& operator=(const GraphRenderer&) = delete;

  // force: the caller changed what the graph looks like (a new graph, options). Hover,
  // highlights and timeline steps are overlays and need no force.
  RenderOutput Redraw(GraphModel& model, const RenderSettings& settings, bool force);

  // How many full drawings of the graph and of the replay happened so far (a pan that moves
  // the drawn graph along is not one).
  int64_t GraphBuilds() const { return m_graphBuilds; }
  int64_t ReplayBuilds() const { return m_replayBuilds; }

 private:
  // Everything the drawn graph depends on.
  struct WorkKey {
    double zoom = 0, scrollX = 0, scrollY = 0;
    int64_t width = 0, height = 0;
    uint64_t revision = 0;
    int font = 0;
    bool isolatedLabels = false;
    double fontSize = 0;
    bool operator==(const WorkKey&) const = default;
  };
  struct ReplayKey {
    WorkKey work;
    int64_t graphBuild = 0;
    int8_t timelineMode = 0;
    bool hide = false, smart = false;
    bool operator==(const ReplayKey&) const = default;
  };

  // The steps of a redraw, in order.
  // Fits or caps the zoom and brings the view's scaling and the smart font size along; false
  // when there is nothing to draw.
  bool PrepareView(GraphModel& model, const RenderSettings& settings, RenderOutput& out);
  // Brings the work image (the whole graph at the view) up to date: moved along after a pan,
  // or drawn in full.
  void UpdateWorkImage(GraphModel& model, const RenderSettings& settings, double fs, bool force,
                       bool rescaled);
  // The replay up to the current frame with that frame on top; the current frame, if any.
  const TimelineFrame* DrawReplay(GraphModel& model, const RenderSettings& settings, double fs,
                                  int64_t visible, bool& hoveredShown);
  // The whole graph with the highlights on top; the current frame, if any.
  const TimelineFrame* DrawGraphWithHighlights(GraphModel& model, const RenderSettings& settings,
                                               double fs);
  void DrawHoveredNode(GraphModel& model, const RenderSettings& settings, double fs);

  void BuildWorkImage(GraphModel& model, const RenderSettings& settings, double fs);
  // After a pan by whole pixels: moves the work image along and draws what the move uncovered
  // and what reached past the edges. False (nothing changed) when a full drawing is needed.
  bool ShiftWorkImage(GraphModel& model, const RenderSettings& settings, double fs,
                      const WorkKey& key);
  // Brings the replay image (the wash and the visible frames before `upTo`, faded) to upTo.
  void AdvanceReplay(GraphModel& model, const RenderSettings& settings, double fs, int64_t upTo);
  void DrawStrip(const GraphModel& model, const RenderSettings& settings, int64_t visible);

  bool m_reuse;
  OwnedImage m_work;
  WorkKey m_workKey;  // what the work image was drawn for
  int64_t m_graphBuilds = 0;
  int64_t m_replayBuilds = 0;

  // The replay so far: the frames before m_replayNext (counted among the visible ones) drawn
  // faded on the wash, the frame index where the walk goes on, and what has been drawn.
  OwnedImage m_replay;
  ReplayKey m_replayKey;
  int64_t m_replayNext = -1;
  size_t m_replayFrameIndex = 0;
  std::unordered_set<const GraphNode*> m_drawnNodes;
  std::unordered_set<const GraphEdge*> m_drawnEdges;

  OwnedImage m_display, m_strip, m_shade;
  // The items of a full drawing as a pan sees them, kept between pans for their buffers.
  std::vector<PanItem> m_panItems;
};

namespace detail {
// The fit zoom of a layout image on a canvas: the smaller ratio that shows the whole picture.
double FitZoom(int64_t imageWidth, int64_t imageHeight, int64_t canvasWidth, int64_t canvasHeight);
// Where the column of visible frame i starts, and every column's width, on a strip.
int64_t StripColumnStart(int64_t i, int64_t stripWidth, int64_t visibleFrames);
int64_t StripColumnWidth(int64_t stripWidth, int64_t visibleFrames);
}  // namespace detail

}  // namespace graphview
