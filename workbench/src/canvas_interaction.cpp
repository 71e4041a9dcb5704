// The graph canvas under the mouse: wheel scrolling and zooming, panning, the rubber band,
// the double-click zooms, hover, the single left click, the context menu and the middle
// click, and the export of the canvas picture. The handlers change the view and ask for
// redraws; zooming and panning redraw through TimerRedraw, so a burst of events costs one.
#include <algorithm>
#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "graphview/graph_drawing.h"
#include "graphview/hit_testing.h"
#include "platform/drawing.h"
#include "platform/window_system.h"
#include "tolvek/callstack.h"
#include "tolvek/regex.h"
#include "tolvek/temp_files.h"
#include "workbench/filter_rules.h"
#include "workbench/gadgets.h"
#include "workbench/plugin_events.h"
#include "workbench/stages.h"
#include "workbench/workbench_state.h"

namespace workbench {
namespace {

constexpr int kScrollPerNotch = 50;
constexpr int kPanRedrawMs = 10;
constexpr int kZoomRedrawMs = 100;
constexpr int kLeftClickMs = 50;
constexpr int kContextMenuMs = 250;
constexpr int kPluginSubmenuAbove = 10;

graphview::ViewState& View() {
  return State().graph.view;
}

bool GraphShown() {
  return View().layoutImage.IsSet();
}

void ArmTimer(int timer, int ms) {
  platform::RemoveWindowTimer(Window_Main, timer);
  platform::AddWindowTimer(Window_Main, timer, ms);
}

// The picture point under canvas point (x, y) stays there at the next rescale.
void AnchorAt(double x, double y) {
  graphview::ViewState& view = View();
  const int64_t px = graphview::RoundHalfEven(x), py = graphview::RoundHalfEven(y);
  view.anchorImageX = graphview::CanvasXToImageFraction(view, px);
  view.anchorImageY = graphview::CanvasYToImageFraction(view, py);
  view.anchorCanvasX = x / static_cast<double>(platform::CanvasWidth(Canvas_Main_Graph));
  view.anchorCanvasY = y / static_cast<double>(platform::CanvasHeight(Canvas_Main_Graph));
}

double CappedZoom(double zoom) {
  return std::min(zoom, graphview::ZoomCap(View().layoutImage));
}

// Back to the zoom a left double click left, where a saved fit zoom becomes a fresh fit.
void RestoreSavedZoom() {
  InteractionState& in = State().interaction;
  graphview::ViewState& view = View();
  view.zoom = in.savedZoom == view.fitZoom ? 0 : in.savedZoom;
  in.savedZoom = 0;
}

void RecordPointer() {
  InteractionState& in = State().interaction;
  in.pointerX = platform::EventMouseX();
  in.pointerY = platform::EventMouseY();
}

int64_t PointerX() {
  return graphview::RoundHalfEven(State().interaction.pointerX);
}
int64_t PointerY() {
  return graphview::RoundHalfEven(State().interaction.pointerY);
}

bool ModifierHeld() {
  return (platform::EventModifiers() &
          (platform::kModifierShift | platform::kModifierCtrl | platform::kModifierAlt)) != 0;
}

void OnWheel() {
  RecordPointer();
  graphview::ViewState& view = View();
  const int notches = platform::EventData();
  if (!ModifierHeld()) {
    view.scrollY += kScrollPerNotch * notches;
    ArmTimer(TimerRedraw, kPanRedrawMs);
    return;
  }
  State().interaction.savedZoom = 0;
  AnchorAt(State().interaction.pointerX, State().interaction.pointerY);
  double zoom = std::round((view.zoom + view.zoomStep * notches) * 10) / 10;
  view.zoom = CappedZoom(std::max(zoom, view.fitZoom));
  ArmTimer(TimerRedraw, kZoomRedrawMs);
}

using Gesture = CanvasGesture::Kind;

// The highlights the first click of a double click changed come back: the analyst asked for
// the zoom, not for the click.
void TakeBackSingleClick() {
  WorkbenchState& s = State();
  InteractionState& in = s.interaction;
  if (!in.highlightsBeforeClick) return;
  if (in.highlightsRevision == s.graph.revision) {
    s.graph.Highlights = std::move(*in.highlightsBeforeClick);
    RedrawGraph(false);
  }
  in.highlightsBeforeClick.reset();
}

void OnLeftDoubleClick() {
  InteractionState& in = State().interaction;
  // Neither of its clicks is a single click: the first one's is dropped while still due and
  // taken back once done; the second press begins no gesture, so its release raises none.
  platform::RemoveWindowTimer(Window_Main, TimerLeftClick);
  TakeBackSingleClick();
  in.gesture = {};
  RecordPointer();
  WithPluginEvents("LeftDblClickOnGraph", [&in] {
    graphview::ViewState& view = View();
    AnchorAt(in.pointerX, in.pointerY);
    if (in.savedZoom == 0) {
      in.savedZoom = view.zoom;
      view.zoom = CappedZoom(view.maxZoom);
    } else {
      RestoreSavedZoom();
    }
    ArmTimer(TimerRedraw, kZoomRedrawMs);
  });
}

void OnRightDoubleClick() {
  InteractionState& in = State().interaction;
  in.skipNextContextMenu = true;
  platform::RemoveWindowTimer(Window_Main, TimerContextMenu);
  RecordPointer();
  WithPluginEvents("RightDblClickOnGraph", [&in] {
    AnchorAt(in.pointerX, in.pointerY);
    RestoreSavedZoom();
    ArmTimer(TimerRedraw, kZoomRedrawMs);
  });
}

void OnRightClick() {
  InteractionState& in = State().interaction;
  RecordPointer();
  View().pressX = PointerX();
  View().pressY = PointerY();
  // Only the release that ends a right double click is skipped.
  if (!in.skipNextContextMenu) ArmTimer(TimerContextMenu, kContextMenuMs);
  in.skipNextContextMenu = false;
}

void OnLeftButtonDown() {
  InteractionState& in = State().interaction;
  RecordPointer();
  in.highlightsBeforeClick.reset();
  View().pressX = PointerX();
  View().pressY = PointerY();
  in.gesture = {Gesture::kClick, PointerX(), PointerY()};
}

// Moves the picture by the pointer's way since the last pan step.
void PanStep(CanvasGesture& pan) {
  View().scrollX += State().interaction.pointerX - static_cast<double>(pan.anchorX);
  View().scrollY += State().interaction.pointerY - static_cast<double>(pan.anchorY);
  pan.anchorX = PointerX();
  pan.anchorY = PointerY();
}

// The band's outline, drawn by inverting the pixels under it: drawn twice, it is gone.
void InvertBandOutline(int64_t farX, int64_t farY) {
  const graphview::ViewState& view = View();
  if (!platform::StartDrawing(platform::CanvasOutput(Canvas_Main_Graph))) return;
  platform::DrawingMode(platform::kDrawCustomFilter | platform::kDrawOutlined);
  platform::CustomFilterCallback(
      [](int, int, uint32_t, uint32_t target) { return target ^ platform::Rgb(255, 255, 255); });
  const int64_t x = std::min(view.pressX, farX), y = std::min(view.pressY, farY);
  platform::Box(static_cast<int>(x), static_cast<int>(y),
                static_cast<int>(std::abs(farX - view.pressX) + 1),
                static_cast<int>(std::abs(farY - view.pressY) + 1), 0);
  platform::StopDrawing();
}

// Hover: the node under the pointer is drawn on top, enlarged when labels are small. Only a
// change of node redraws, and only the overlays.
void Hover() {
  graphview::GraphModel& graph = State().graph;
  graphview::GraphNode* node = graphview::FindNodeAt(graph, PointerX(), PointerY());
  if (node == graph.view.hoveredNode) return;
  graph.view.hoveredNode = node;
  RedrawGraph(false);
}

void OnMouseMove() {
  CanvasGesture& gesture = State().interaction.gesture;
  RecordPointer();
  // A band, once begun, goes on after the modifier key is let go.
  if (!ModifierHeld() && gesture.kind != Gesture::kBand) {
    if (gesture.kind == Gesture::kNone) {
      Hover();
      return;
    }
    gesture.kind = Gesture::kPan;
    PanStep(gesture);
    ArmTimer(TimerRedraw, kPanRedrawMs);
    return;
  }
  if (!(platform::EventButtons() & platform::kMouseLeft)) return;
  if (gesture.kind == Gesture::kBand) InvertBandOutline(gesture.farX, gesture.farY);
  InvertBandOutline(PointerX(), PointerY());
  gesture.kind = Gesture::kBand;
  gesture.farX = PointerX();
  gesture.farY = PointerY();
}

// The band's box fills the canvas: its larger side relative to the canvas decides the zoom.
void ZoomIntoBand() {
  graphview::ViewState& view = View();
  const int64_t x = std::min(view.pressX, PointerX()), width = std::abs(PointerX() - view.pressX);
  const int64_t y = std::min(view.pressY, PointerY()), height = std::abs(PointerY() - view.pressY);
  view.anchorCanvasX = view.anchorCanvasY = 0.5;
  view.anchorImageX = graphview::CanvasXToImageFraction(view, x + width / 2);
  view.anchorImageY = graphview::CanvasYToImageFraction(view, y + height / 2);
  const int64_t canvasWidth = platform::CanvasWidth(Canvas_Main_Graph);
  const int64_t canvasHeight = platform::CanvasHeight(Canvas_Main_Graph);
  if (canvasWidth / width < canvasHeight / height) {
    view.zoom *= static_cast<double>(canvasWidth) / static_cast<double>(width);
  } else {
    view.zoom *= static_cast<double>(canvasHeight) / static_cast<double>(height);
  }
  view.zoom = CappedZoom(view.zoom);
  ArmTimer(TimerRedraw, kZoomRedrawMs);
}

void EndBand(const CanvasGesture& band) {
  InvertBandOutline(band.farX, band.farY);
  State().interaction.savedZoom = 0;
  if (PointerX() != View().pressX && PointerY() != View().pressY) {
    ZoomIntoBand();
  } else {
    // The picture again, in case a redraw during the drag left an outline the inversion
    // could not take back.
    ArmTimer(TimerRedraw, kPanRedrawMs);
  }
}

void OnLeftButtonUp() {
  InteractionState& in = State().interaction;
  RecordPointer();
  CanvasGesture gesture = in.gesture;
  in.gesture = {};
  switch (gesture.kind) {
    case Gesture::kClick:
      ArmTimer(TimerLeftClick, kLeftClickMs);
      break;
    case Gesture::kPan:
      platform::RemoveWindowTimer(Window_Main, TimerRedraw);
      PanStep(gesture);
      RedrawGraph(false);
      break;
    case Gesture::kBand:
      EndBand(gesture);
      break;
    case Gesture::kNone:
      break;
  }
}

void OnMiddleButtonUp() {
  WorkbenchState& s = State();
  graphview::GraphNode* node = graphview::FindNodeAt(s.graph, PointerX(), PointerY());
  if (node) s.graph.CurrentNode = node;
  WithPluginEvents("MiddleClickOnGraph", [node] {
    if (node) ShowNodeDetails();
  });
}

// ---------------------------------------------------------------------------- context menu

void AddPluginItems(const std::vector<ContextPlugin>& plugins, bool grouped) {
  const bool submenu = grouped && plugins.size() > kPluginSubmenuAbove;
  if (grouped) platform::MenuBar();
  if (submenu) platform::OpenSubMenu("Plugins");
  for (const ContextPlugin& plugin : plugins) {
    platform::MenuItem(MenuItem_PluginBase + plugin.position, plugin.name);
  }
  if (submenu) platform::CloseSubMenu();
}

void NewContextMenu() {
  InteractionState& in = State().interaction;
  if (in.graphContextMenu && platform::IsMenu(in.graphContextMenu)) {
    platform::FreeMenu(in.graphContextMenu);
  }
  in.graphContextMenu = platform::CreatePopupMenu(platform::kNewNumber);
}

bool Matches(const char* pattern, int flags, const std::string& text) {
  static std::vector<std::pair<const char*, std::unique_ptr<tolvek::Regex>>> compiled;
  auto it = std::find_if(compiled.begin(), compiled.end(),
                         [&](const auto& entry) { return entry.first == pattern; });
  if (it == compiled.end()) {
    compiled.emplace_back(pattern, tolvek::CreateRegularExpression(pattern, flags));
    it = compiled.end() - 1;
  }
  tolvek::Regex::Match match;
  return it->second && it->second->Find(text, 0, match);
}

void AddFilterItems(const std::string& name, const std::string& label) {
  if (name.rfind("FILE:", 0) == 0) {
    platform::MenuItem(MenuItem_AddFilterFirst, "Add filter for file ...");
  } else if (name.rfind("REGISTRYKEY:", 0) == 0) {
    platform::MenuItem(MenuItem_AddFilterFirst, "Add filter registrykey ...");
  } else if (name.rfind("SERVER:", 0) == 0) {
    const std::string lines = graphview::UnescapeLabel(label);
    if (Matches(kDomainNamePattern, tolvek::kRegexCaseless | tolvek::kRegexMultiline, lines)) {
      platform::MenuItem(MenuItem_AddFilterFirst + 1, "Add filter for domain ...");
    }
    if (Matches(kIpAddressPattern, 0, lines)) {
      platform::MenuItem(MenuItem_AddFilterFirst + 2, "Add filter for IP address ...");
    }
  }
}

}  // namespace

void HandleGraphCanvasEvent() {
  if (!GraphShown()) return;
  switch (platform::EventSubtype()) {
    case platform::kSubMouseWheel:
      OnWheel();
      break;
    case platform::kSubLeftDoubleClick:
      OnLeftDoubleClick();
      break;
    case platform::kSubRightDoubleClick:
      OnRightDoubleClick();
      break;
    case platform::kSubRightClick:
      OnRightClick();
      break;
    case platform::kSubLeftButtonDown:
      OnLeftButtonDown();
      break;
    case platform::kSubMouseMove:
      OnMouseMove();
      break;
    case platform::kSubLeftButtonUp:
      OnLeftButtonUp();
      break;
    case platform::kSubMiddleButtonDown:
      RecordPointer();
      break;
    case platform::kSubMiddleButtonUp:
      OnMiddleButtonUp();
      break;
    default:
      break;
  }
}

void HandleSingleLeftClick() {
  WorkbenchState& s = State();
  graphview::GraphNode* node =
      graphview::FindNodeAt(s.graph, s.graph.view.pressX, s.graph.view.pressY);
  WithPluginEvents("LeftClickOnGraph", [&s, node] {
    s.interaction.highlightsBeforeClick = s.graph.Highlights;
    s.interaction.highlightsRevision = s.graph.revision;
    if (node) {
      graphview::HighlightNodesOfSameName(s.graph, *node);
    } else {
      ClearHighlights();
    }
    RedrawGraph(false);
  });
}

void ShowGraphContextMenu() {
  TOLVEK_TRACE("ShowGraphContextMenu");
  WorkbenchState& s = State();
  InteractionState& in = s.interaction;
  s.graph.CurrentNode = nullptr;
  graphview::GraphNode* node =
      graphview::FindNodeAt(s.graph, s.graph.view.pressX, s.graph.view.pressY);
  if (node) s.graph.CurrentNode = node;
  WithPluginEvents("RightClickOnGraph", [&in, node] {
    if (node) {
      in.contextNodeLabel = std::string(node->label);
      in.contextNodeName = std::string(node->name);
      NewContextMenu();
      AddFilterItems(in.contextNodeName, in.contextNodeLabel);
      platform::MenuItem(MenuItem_NodeDetails, "Details ...");
      std::vector<ContextPlugin> plugins = ContextMenuPlugins();
      if (!plugins.empty()) AddPluginItems(plugins, true);
      platform::DisplayPopupMenu(in.graphContextMenu, Window_Main);
      return;
    }
    std::vector<ContextPlugin> plugins = ContextMenuPlugins();
    if (!plugins.empty()) {
      in.contextNodeLabel.clear();
      in.contextNodeName.clear();
      NewContextMenu();
      AddPluginItems(plugins, false);
      platform::DisplayPopupMenu(in.graphContextMenu, Window_Main);
    }
  });
}

void ExportGraphImage() {
  TOLVEK_TRACE("ExportGraphImage");
  WorkbenchState& s = State();
  if (!GraphShown()) return;
  const std::string path = tolvek::GetTempFilePath(s.files.graphFilePng);
  int picture = platform::GrabCanvasImage(Canvas_Main_Graph, platform::kNewNumber);
  if (!picture) return;
  const bool saved = !path.empty() && platform::SaveImage(picture, path, platform::kImagePng);
  platform::FreeImage(picture);
  if (!saved) {
    platform::MessageRequester("LumiVEX", "Couldn't save the canvas picture to '" + path + "'!");
    return;
  }
  // Remember geometry, disable parent, Save item, menu bar, tool bar, status bar, start
  // fitted, annotation menu.
  constexpr int64_t kEditorFlags = 0x11E25;
  EditImageRequesterFromPath("Export canvas to bitmap ...", path, platform::kNoParent, kEditorFlags,
                             "");
}

}  // namespace workbench
