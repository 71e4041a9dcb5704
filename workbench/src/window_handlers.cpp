// Close, deactivate and restore events, and the main window's timers.
#include <string>

#include "platform/window_system.h"
#include "tolvek/preferences.h"
#include "workbench/gadgets.h"
#include "workbench/loop_handlers.h"
#include "workbench/settings.h"
#include "workbench/stages.h"
#include "workbench/workbench_state.h"

namespace workbench {
namespace {

// The close button of the main window: asks about unsaved changes first. A session that
// could not be saved keeps the program open: nothing may be lost.
void CloseMainWindow() {
  if (AskToSavePendingSession()) EndSequence();
}

}  // namespace

void HandleCloseWindow(int window) {
  switch (window) {
    case Window_Main:
      CloseMainWindow();
      break;
    case Window_AddFilter:
    case Window_Options:
      platform::DisableWindow(Window_Main, false);
      platform::SetActiveWindow(Window_Main);
      platform::CloseWindow(window);
      break;
    case Window_Donation:
      platform::CloseWindow(window);
      break;
    default:
      break;
  }
}

void HandleDeactivateWindow(int window) {
  if (window != Window_RenderOptions) return;
  platform::HideWindow(Window_RenderOptions, true);
  // A click on the button itself releases it through its own handler.
  int x = platform::DesktopMouseX(), y = platform::DesktopMouseY();
  int left = platform::GadgetScreenX(Button_Main_RenderingOptions);
  int top = platform::GadgetScreenY(Button_Main_RenderingOptions);
  bool onButton = x >= left && x <= left + platform::GadgetWidth(Button_Main_RenderingOptions) &&
                  y >= top && y <= top + platform::GadgetHeight(Button_Main_RenderingOptions);
  if (!onButton) platform::SetGadgetState(Button_Main_RenderingOptions, 0);
}

void HandleRestoreWindow(int window) {
  if (window != Window_Main) return;
  WorkbenchState& s = State();
  int width = platform::WindowWidth(Window_Main);
  int height = platform::WindowHeight(Window_Main);
  if (tolvek::OpenPreferences(s.settingsFile)) {
    tolvek::PreferenceGroup("");
    width = static_cast<int>(ReadSettingsInteger(kKeyLastWinWidth + s.geometrySuffix, width));
    height = static_cast<int>(ReadSettingsInteger(kKeyLastWinHeight + s.geometrySuffix, height));
    tolvek::ClosePreferences();
  }
  platform::ResizeWindow(Window_Main, platform::kKeepValue, platform::kKeepValue, width, height);
}

void HandleMainTimer(int timer) {
  // Every timer fires once per arming.
  platform::RemoveWindowTimer(Window_Main, timer);
  switch (timer) {
    case TimerRedraw:
      RedrawGraph(false);
      break;
    case TimerRedrawForced:
      RedrawGraph(true);
      break;
    case TimerContextMenu:
      ShowGraphContextMenu();
      break;
    case TimerAnimation:
      AnimationStep();
      break;
    case TimerLeftClick:
      HandleSingleLeftClick();
      break;
    default:
      break;
  }
}

}  // namespace workbench
