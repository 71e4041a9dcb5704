// The workbench's program state: folders and files, the options read from the settings file
// and the interaction flags the main loop and its handlers share.
// One instance for the program; tests reset it between starts.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "graphview/graph_model.h"
#include "graphview/graph_renderer.h"
#include "workbench/workbench_ids.h"

namespace workbench {

inline constexpr int kBuildNumber = 55;

// Values kept from the settings file for the whole run.
struct Options {
  int8_t hideUnvisitedGraphparts = 0;
  int8_t backToSearchAfterDetails = 0;
  int8_t smartHighlight = 0;
  int8_t showHintsForSeconds = 1;
  int8_t showOriginalTimestamps = 0;
  std::string edgeLabelMode = "Default";
  int8_t horizontallyIsolatedEdgeLabels = 0;
  int8_t hovereffects = 1;
  int8_t smartzoomTargetFontsize = 12;
  std::string pluginsPath;
  int8_t autoUpdateCheck = -1;
  int8_t updateCheckBetas = -1;
  std::string windumpExecutable;  // the path of tcpdump
  std::string dotExecutable;
};

// The six files of the graph view, registered temporary files that live for the whole run.
struct GraphFiles {
  int64_t graphFileDot = 0;
  int64_t graphFileDot4Render = 0;
  int64_t graphFilePng = 0;
  int64_t graphFileTxt = 0;
  int64_t tempProcmonCsv = 0;
  int64_t tempWindumpTxt = 0;
};

// The files a Refresh writes under names of its own (temporary-file ids, 0 = none) while it
// runs, and keeps after it failed until the next Refresh, so that the bug report packs what
// that run really wrote beside its log; once its graph is shown they are the shown graph's.
struct UnshownRunFiles {
  int64_t dot = 0, layoutDot = 0, plain = 0;
};

// What the canvas and timeline handlers remember between events.
// The left button's gesture on the canvas, from its press to its release, which ends it in a
// single click, a last pan step or the rubber band's zoom.
struct CanvasGesture {
  enum class Kind { kNone, kClick, kPan, kBand };
  Kind kind = Kind::kNone;
  int64_t anchorX = 0, anchorY = 0;  // click, pan: the pointer at the press or last pan step
  int64_t farX = 0, farY = 0;        // band: its far corner (the near one is the press)
};

struct InteractionState {
  double pointerX = 0, pointerY = 0;  // canvas pixels at the last event that read them
  CanvasGesture gesture;
  double savedZoom = 0;              // zoom before a left double click; 0 = none
  bool skipNextContextMenu = false;  // the next right click opens no menu
  // The highlights a single left click replaced, kept until the next press: a double click
  // whose first click they were puts them back. Only for the graph of that revision.
  std::optional<std::vector<graphview::HighlightEntry>> highlightsBeforeClick;
  uint64_t highlightsRevision = 0;
  // Name and label of the node of the last context menu ("" on empty space).
  std::string contextNodeName, contextNodeLabel;
  int graphContextMenu = 0;  // the context menu built last; 0 = none
  bool animationPlaying = false;
};

struct WorkbenchState {
  std::string settingsFolder;  // ends with "/"
  std::string settingsFile;
  std::string sessionFile;
  std::string geometrySuffix;  // "." + width + "x" + height of the first monitor
  std::string programFolder;   // ends with "/"
  Options options;
  GraphFiles files;
  UnshownRunFiles unshownRun;
  InteractionState interaction;
  std::array<int, kPictureCount> pictures{};  // image numbers
  int graphFont = 0;
  bool toolsMissing = false;
  bool inputChanged = false;
  bool pluginOverrideFlag = false;
  // The laid-out graph of the last generation and its log.
  graphview::GraphModel graph;
  // Draws the graph; made at the first redraw.
  std::shared_ptr<graphview::GraphRenderer> renderer;
  std::string generationLog;
  // Seconds each phase of the last generation took: the workbench's own work (inputs: the
  // log's header and the launcher copy; filtering; reading: the plain layout, the attributes
  // and the frames) beside its children's.
  struct GenerationTimes {
    double inputs = 0, capture = 0, converter = 0, filtering = 0, dot = 0, reading = 0;
  } generationTimes;
  // The settings file could not be written once: reported once in the status line.
  bool settingsWriteReported = false;
};

WorkbenchState& State();
void ResetState();

}  // namespace workbench
