// Menu items, keyboard shortcuts and the menu events the program posts itself.
#include "platform/window_system.h"
#include "workbench/gadgets.h"
#include "workbench/loop_handlers.h"
#include "workbench/stages.h"
#include "workbench/workbench_state.h"

namespace workbench {

void PostMainClick(int gadget) {
  platform::PostEvent(platform::kEventGadget, Window_Main, gadget, platform::kSubLeftClick);
}

void HandleMenuItem(int id) {
  WorkbenchState& s = State();
  switch (id) {
    case MenuItem_New:
      NewSession();
      break;
    case MenuItem_Open:
      OpenSession();
      break;
    case MenuItem_Save:
      SaveCurrentSession();
      break;
    case MenuItem_SaveAs:
      SaveSessionAs();
      break;
    case MenuItem_Export:
      ExportGraphImage();
      break;
    case MenuItem_Exit:
      EndSequence();
    case MenuItem_Find:
      FindInGraph();
      break;
    case MenuItem_ResetFind:
      ClearHighlights();
      RedrawGraph(true);
      break;
    case MenuItem_Options:
      OpenOptionsDialog();
      break;
    case MenuItem_Refresh:
      GenerateGraph();
      RedrawGraph(true);
      break;
    // Each mode button moves on to the next mode, so a mode is chosen by clicking the button
    // before it: Unique leads to All, All to All (RLE), All (RLE) to Unique.
    case MenuItem_FramesAll:
      PostMainClick(Button_Main_AnimationFramesUnique);
      break;
    case MenuItem_FramesAllRle:
      PostMainClick(Button_Main_AnimationFramesAll);
      break;
    case MenuItem_FramesUnique:
      PostMainClick(Button_Main_AnimationFramesAllRle);
      break;
    case MenuItem_ViewCurrentFrame:
      platform::SetGadgetState(Button_Main_AnimationShow,
                               !platform::GetGadgetState(Button_Main_AnimationShow));
      PostMainClick(Button_Main_AnimationShow);
      break;
    case MenuItem_NextFrame:
      PostMainClick(Button_Main_AnimationNext);
      break;
    case MenuItem_PreviousFrame:
      PostMainClick(Button_Main_AnimationPrevious);
      break;
    case MenuItem_FirstFrame:
      PostMainClick(Button_Main_AnimationFirst);
      break;
    case MenuItem_LastFrame:
      PostMainClick(Button_Main_AnimationLast);
      break;
    case MenuItem_PlayStop:
      if (platform::GetGadgetState(Button_Main_AnimationShow)) {
        PostMainClick(Button_Main_AnimationPlay);
      }
      break;
    case MenuItem_SessionServers:
    case MenuItem_SessionRegistry:
    case MenuItem_SessionFiles:
    case MenuItem_GlobalServers:
    case MenuItem_GlobalRegistry:
    case MenuItem_GlobalFiles:
      OpenFilterManager(id);
      break;
    case MenuItem_PluginsManager:
      OpenPluginsManager();
      break;
    case MenuItem_Legend:
      ShowGraphLegend();
      break;
    case MenuItem_QuickHelp:
      ShowQuickHelp();
      break;
    case MenuItem_UpdateCheck:
      CheckForUpdate(false);
      break;
    case MenuItem_BugReport:
      CreateBugReport(false);
      break;
    case MenuItem_Donate:
      OpenDonationWindow();
      break;
    case MenuItem_Credits:
      ShowCredits();
      break;
    case MenuItem_About:
      ShowSplash(true);
      break;
    case MenuItem_NodeDetails:
      ShowNodeDetails();
      break;
    case MenuItem_AddFilterConfirm:
      ConfirmAddFilter();
      break;
    default:
      if (id >= MenuItem_Plugin1 && id <= MenuItem_Plugin9) {
        s.graph.CurrentNode = nullptr;
        RunMainMenuPlugin(id - MenuItem_PluginsManager);
      } else if (id >= MenuItem_AddFilterFirst && id <= MenuItem_AddFilterLast) {
        OpenAddFilterFromNode(id);
      } else if (id >= MenuItem_PluginBase) {
        RunPluginAt(id - MenuItem_PluginBase);
      }
      // Item 8 ("Colors ...") is disabled and has no action.
      break;
  }
}

}  // namespace workbench
