// The graph canvas and the timeline strip of the main window, drawn from the graph model.
#include "graphview/graph_renderer.h"
#include "platform/drawing.h"
#include "platform/window_system.h"
#include "tolvek/callstack.h"
#include "workbench/gadgets.h"
#include "workbench/stages.h"
#include "workbench/workbench_state.h"

namespace workbench {
namespace {

// The background a graph is drawn on: an empty graph leaves the canvas as a new one.
const uint32_t kEmptyCanvas = platform::Rgb(255, 255, 255);
// The frame fields of the main window before any graph.
constexpr const char* kNoFrame = "-";

void FillCanvas(int gadget, uint32_t colour) {
  if (!platform::StartDrawing(platform::CanvasOutput(gadget))) return;
  platform::Box(0, 0, platform::OutputWidth(), platform::OutputHeight(), colour);
  platform::StopDrawing();
}

void ShowImage(int gadget, int image, int blended = 0) {
  if (!image || !platform::StartDrawing(platform::CanvasOutput(gadget))) return;
  platform::DrawImage(image, 0, 0);
  if (blended) {
    platform::DrawingMode(platform::kDrawAlphaBlend);
    platform::DrawImage(blended, 0, 0);
  }
  platform::StopDrawing();
}

}  // namespace

void RedrawGraph(bool force) {
  TOLVEK_TRACE("RedrawGraph");
  WorkbenchState& s = State();
  if (!platform::IsGadget(Canvas_Main_Graph)) return;
  if (!s.renderer) s.renderer = std::make_shared<graphview::GraphRenderer>();
  const Options& o = s.options;
  graphview::RenderSettings settings;
  settings.draw.graphFont = s.graphFont;
  settings.draw.canvasWidth = platform::CanvasWidth(Canvas_Main_Graph);
  settings.draw.canvasHeight = platform::CanvasHeight(Canvas_Main_Graph);
  settings.draw.horizontallyIsolatedEdgeLabels = o.horizontallyIsolatedEdgeLabels != 0;
  settings.draw.smartzoomTargetFontsize = o.smartzoomTargetFontsize;
  if (platform::IsGadget(Canvas_Main_AnimationFrames)) {
    settings.stripWidth = platform::GadgetWidth(Canvas_Main_AnimationFrames);
    settings.stripHeight = platform::GadgetHeight(Canvas_Main_AnimationFrames);
  }
  settings.framesMode = platform::IsGadget(Button_Main_AnimationShow) &&
                        platform::GetGadgetState(Button_Main_AnimationShow) != 0;
  settings.hideUnvisitedGraphparts = o.hideUnvisitedGraphparts != 0;
  settings.smartHighlight = o.smartHighlight != 0;
  settings.hoverEffects = o.hovereffects != 0;
  settings.showHintsForSeconds = o.showHintsForSeconds != 0;
  settings.showOriginalTimestamps = o.showOriginalTimestamps != 0;

  settings.beforeRescale = [] { platform::SetGadgetText(Text_Main_Status, "Rendering ..."); };

  graphview::RenderOutput out = s.renderer->Redraw(s.graph, settings, force);
  if (out.empty) {
    // Nothing of an earlier graph may stay: not its picture, nor its frame.
    FillCanvas(Canvas_Main_Graph, kEmptyCanvas);
    if (platform::IsGadget(Canvas_Main_AnimationFrames)) {
      FillCanvas(Canvas_Main_AnimationFrames, platform::Rgb(255, 255, 255));
    }
    platform::SetGadgetText(Text_Main_FrameNumber, kNoFrame);
    platform::SetGadgetText(Text_Main_FrameTimestamp, kNoFrame);
    platform::SetGadgetText(String_Main_FrameMessage, "");
    return;
  }
  if (out.rescaled) {
    platform::SetGadgetText(Text_Main_Status, "OK");
    platform::SetActiveGadget(Canvas_Main_Graph);
  }
  platform::SetGadgetText(Text_Main_FrameNumber, out.frameNumber);
  platform::SetGadgetText(Text_Main_FrameTimestamp, out.frameTimestamp);
  platform::SetGadgetText(String_Main_FrameMessage, out.frameMessage);
  ShowImage(Canvas_Main_AnimationFrames, out.strip, out.shade);
  ShowImage(Canvas_Main_Graph, out.display);
}

}  // namespace workbench
