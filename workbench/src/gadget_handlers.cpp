// Gadget events of the main window and of the dialogs the main loop serves.
#include "platform/window_system.h"
#include "workbench/gadgets.h"
#include "workbench/loop_handlers.h"
#include "workbench/plugin_events.h"
#include "workbench/stages.h"
#include "workbench/workbench_state.h"

namespace workbench {
namespace {

void ShowRenderOptionsAtButton() {
  using namespace platform;
  if (!IsWindow(Window_RenderOptions)) return;
  int x = GadgetScreenX(Button_Main_RenderingOptions) + GadgetWidth(Button_Main_RenderingOptions) -
          WindowWidth(Window_RenderOptions);
  int y = GadgetScreenY(Canvas_Main_Graph);
  ResizeWindow(Window_RenderOptions, x, y, kKeepValue, kKeepValue);
  HideWindow(Window_RenderOptions, false);
  // It hides when it loses the focus, so it must have it: not every window manager gives it.
  SetActiveWindow(Window_RenderOptions);
}

void Refresh() {
  StopAnimation();
  WithPluginEvents("Refresh", [] {
    GenerateGraph();
    RedrawGraph(true);
  });
}

void HandleMainGadget(int gadget) {
  WorkbenchState& s = State();
  switch (gadget) {
    case Button_Main_ProcmonFile:
    case Button_Main_WindumpFile:
    case Button_Main_Launcher:
      HandleInputButton(gadget);
      break;
    case Button_Main_RenderingOptions:
      if (platform::GetGadgetState(Button_Main_RenderingOptions)) ShowRenderOptionsAtButton();
      break;
    case Button_Main_Refresh:
      Refresh();
      break;
    case Canvas_Main_Graph:
      HandleGraphCanvasEvent();
      break;
    case Button_Main_AnimationShow:
    case Button_Main_AnimationFirst:
    case Button_Main_AnimationLast:
    case Button_Main_AnimationNext:
    case Button_Main_AnimationPrevious:
    case Button_Main_AnimationPlay:
    case Button_Main_AnimationStop:
    case Button_Main_AnimationFramesAll:
    case Button_Main_AnimationFramesAllRle:
    case Button_Main_AnimationFramesUnique:
    case Canvas_Main_AnimationFrames:
      HandleTimelineGadget(gadget);
      break;
    case Checkbox_Main_ModeNoPaths:
    case Checkbox_Main_ModeCompressed:
    case Checkbox_Main_ModeDumb:
    case Button_Main_ForceAscii:
      s.inputChanged = true;
      break;
    default:
      break;
  }
}

}  // namespace

void HandleGadgetEvent(int window, int gadget) {
  switch (window) {
    case Window_Main:
      HandleMainGadget(gadget);
      break;
    case Window_RenderOptions:
      HandleRenderOptionsGadget(gadget);
      State().inputChanged = true;
      break;
    case Window_AddFilter:
      HandleAddFilterGadget(gadget);
      break;
    case Window_Options:
      HandleOptionsGadget(gadget);
      break;
    case Window_Donation:
      HandleDonationGadget(gadget);
      break;
    default:
      break;
  }
}

}  // namespace workbench
