// The one behaviour graph the workbench shows: nodes and edges as dot laid them out, the
// timeline of events from the DOT file, highlights and the view state.
#pragma once
#include <cstdint>
#include <deque>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "graphview/text_arena.h"
#include "graphview/view_state.h"

namespace graphview {

struct BezierPoint {
  double x = 0;
  double y = 0;
};

// What a fitted label size depends on: the size asked for and the node's box, in pixels.
struct FontFitKey {
  int64_t pixelSize = 0;
  int64_t boxWidth = 0;
  int64_t boxHeight = 0;
  bool operator==(const FontFitKey&) const = default;
};

struct FontFitKeyHash {
  size_t operator()(const FontFitKey& key) const {
    uint64_t h = static_cast<uint64_t>(key.pixelSize) * 0x9E3779B97F4A7C15ull;
    h ^= static_cast<uint64_t>(key.boxWidth) + 0x7F4A7C159E3779B9ull + (h << 6) + (h >> 2);
    h ^= static_cast<uint64_t>(key.boxHeight) + 0x94D049BB133111EBull + (h << 6) + (h >> 2);
    return static_cast<size_t>(h);
  }
};

// A label's inked outline in the graph font at kLabelInkSize pixels. Outlines grow in
// proportion to the size, so one measure serves every size the label is fitted at.
constexpr double kLabelInkSize = 1000;
struct LabelInk {
  double width = -1;  // negative until measured
  double height = -1;
};

// Texts are views into the text kept by the layout they belong to (its TextArena); they stay
// valid as long as that layout holds the record.
struct GraphNode {
  std::string_view plainLine;
  std::string_view dotLine;
  std::string_view name;
  double x = 0;
  double y = 0;
  double width = 0;
  double height = 0;
  std::string_view label;
  std::string_view style;
  std::string_view shape;
  std::string_view color;
  std::string_view fillcolor;
  std::string_view fontcolor;
  uint8_t onlyInCapture = 0;
  // Label font sizes in pixels that fit the box, by the size asked for and the box; memos of
  // drawing, so they may change while the node is drawn through a const reference.
  mutable std::unordered_map<FontFitKey, int64_t, FontFitKeyHash> fontFitCache;
  mutable LabelInk labelInk;
};

struct GraphEdge {
  std::string_view plainLine;
  std::string_view dotLine;
  std::string_view tail;
  std::string_view head;
  std::vector<BezierPoint> points;
  std::string_view label;
  double labelX = 0;
  double labelY = 0;
  std::string_view style;
  std::string_view color;
  int8_t penWidth = 1;
};

enum FrameLevel : int8_t {
  kFrameFirst = 1,     // the first occurrence of an event line
  kFrameRepeat = 2,    // a repeat of an event seen earlier, not directly before
  kFrameRepeatRun = 3  // a repeat of the event line directly before it
};

struct TimelineFrame {
  std::vector<GraphNode*> nodeRefs;
  std::vector<GraphEdge*> edgeRefs;
  int8_t level = kFrameFirst;
  std::string message;
  double relTime = 0;
  std::string timestamp;
};

struct HighlightEntry {
  GraphNode* node = nullptr;
  GraphEdge* edge = nullptr;
};

// Edges that share a key (tail->head (kind)), in the order of the plain layout. The index
// entry of the key is the edge read last.
struct EdgeGroup {
  std::vector<GraphEdge*> edges;
  GraphEdge* Last() const { return edges.empty() ? nullptr : edges.back(); }
};

// Records live in deques, so a reference stays good while its record is in its list; the
// layout can be moved as a whole (a freshly read one replacing the shown one) without moving
// a record or a text.
struct GraphLayout {
  double scale = 0;
  double width = 0;
  double height = 0;
  double smartFontSize = 0;
  std::deque<GraphNode> nodes;
  std::deque<GraphEdge> edges;
  std::unordered_map<std::string_view, GraphNode*> nodeIndex;
  std::unordered_map<std::string, EdgeGroup> edgeIndex;
  TextArena texts;

  GraphLayout() = default;
  GraphLayout(GraphLayout&&) = default;
  GraphLayout& operator=(GraphLayout&&) = default;
  GraphLayout(const GraphLayout&) = delete;
  GraphLayout& operator=(const GraphLayout&) = delete;

  GraphNode* FindNode(std::string_view name) const;
  // The edge read last under the key, or null.
  GraphEdge* FindEdge(const std::string& key) const;
};

// tail + "->" + head + " (" + kind + ")".
std::string EdgeKey(std::string_view tail, std::string_view head, int kind);

// The graph view's state: one per program, touched only by the GUI thread.
struct GraphModel {
  GraphLayout layout;
  std::vector<TimelineFrame> Frames;
  std::vector<HighlightEntry> Highlights;
  GraphNode* CurrentNode = nullptr;
  double FirstEventTime = 0;
  int8_t TimelineMode = 3;
  ViewState view;
  // Counts the graphs the model has held: pictures drawn of an older one are stale.
  uint64_t revision = 0;
};

// Empties the layout and resets the view. Frames keep their levels, times and messages (the
// timeline still counts them) but lose their references, and the highlights and the current
// node go too: nothing may point into records that are gone.
void ClearGraph(GraphModel& model);

// The number of frames shown in the model's timeline mode.
int64_t CountVisibleFrames(const GraphModel& model);

}  // namespace graphview
