// The graph view's picture: the whole laid-out graph at the current zoom and scroll, with the
// highlights, the replay of the timeline, the hovered node and the timeline strip on top.
// The renderer makes images; the window shows them.
#pragma once
#include <cstdint>
#include <string>
#include <unordered_set>

#include "graphview/graph_drawing.h"
#include "graphview/graph_model.h"

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
};

// What one redraw made. The images belong to the renderer and stay valid until its next
// redraw.
struct RenderOutput {
  // The graph has nothing to show: the caller paints the graph canvas black and the strip
  // white and changes nothing else.
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
  ~GraphRenderer();
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

  void BuildWorkImage(GraphModel& model, const RenderSettings& settings, double fs);
  // After a pan by whole pixels: moves the work image along and draws what the move uncovered
  // and what reached past the edges. False (nothing changed) when a full drawing is needed.
  bool ShiftWorkImage(GraphModel& model, const RenderSettings& settings, double fs,
                      const WorkKey& key);
  // Brings the replay image (the wash and the visible frames before `upTo`, faded) to upTo.
  void AdvanceReplay(GraphModel& model, const RenderSettings& settings, double fs, int64_t upTo);
  void DrawStrip(const GraphModel& model, const RenderSettings& settings, int64_t visible);
  void FreeImages();

  bool m_reuse;
  int m_work = 0;
  WorkKey m_workKey;  // what the work image was drawn for
  int64_t m_graphBuilds = 0;
  int64_t m_replayBuilds = 0;

  // The replay so far: the frames before m_replayNext (counted among the visible ones) drawn
  // faded on the wash, the frame index where the walk goes on, and what has been drawn.
  int m_replay = 0;
  ReplayKey m_replayKey;
  int64_t m_replayNext = -1;
  size_t m_replayFrameIndex = 0;
  std::unordered_set<const GraphNode*> m_drawnNodes;
  std::unordered_set<const GraphEdge*> m_drawnEdges;

  int m_display = 0, m_strip = 0, m_shade = 0;
};

namespace detail {
// The fit zoom of a layout image on a canvas: the smaller ratio that shows the whole picture.
double FitZoom(int64_t imageWidth, int64_t imageHeight, int64_t canvasWidth, int64_t canvasHeight);
// Where the column of visible frame i starts, and every column's width, on a strip.
int64_t StripColumnStart(int64_t i, int64_t stripWidth, int64_t visibleFrames);
int64_t StripColumnWidth(int64_t stripWidth, int64_t visibleFrames);
}  // namespace detail

}  // namespace graphview
