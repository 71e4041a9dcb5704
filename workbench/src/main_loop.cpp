#include "workbench/main_loop.h"

#include <algorithm>
#include <string>

#include "gui/fake_menu.h"
#include "platform/window_system.h"
#include "tolvek/callstack.h"
#include "tolvek/preferences.h"
#include "workbench/crash_follow_up.h"
#include "workbench/gadgets.h"
#include "workbench/loop_handlers.h"
#include "workbench/plugin_host.h"
#include "workbench/stages.h"
#include "workbench/workbench_state.h"

namespace workbench {
namespace {

constexpr int kTurnMs = 100;

// Keeps the title's "*" in step with the session's unsaved changes.
void UpdateTitleMark() {
  WorkbenchState& s = State();
  if (!s.inputChanged) return;
  s.inputChanged = false;
  std::string title = platform::GetWindowTitle(Window_Main);
  bool marked = !title.empty() && title.back() == '*';
  bool pending = IsSessionSavePending();
  if (!marked && pending) {
    platform::SetWindowTitle(Window_Main, title + "*");
  } else if (marked && !pending) {
    title.erase(std::remove(title.begin(), title.end(), '*'), title.end());
    platform::SetWindowTitle(Window_Main, title);
  }
}

void Dispatch(int event) {
  switch (event) {
    case platform::kEventCloseWindow:
      HandleCloseWindow(platform::EventWindow());
      break;
    case platform::kEventDeactivateWindow:
      HandleDeactivateWindow(platform::EventWindow());
      break;
    case platform::kEventRestoreWindow:
      HandleRestoreWindow(platform::EventWindow());
      break;
    case platform::kEventTimer:
      if (platform::EventWindow() == Window_Main) HandleMainTimer(platform::EventTimer());
      break;
    case platform::kEventMenu:
      HandleMenuItem(platform::EventMenu());
      break;
    case platform::kEventGadget:
      HandleGadgetEvent(platform::EventWindow(), platform::EventGadget());
      break;
    default:
      break;
  }
}

}  // namespace

int MainLoopTurn() {
  TOLVEK_TRACE("MainLoopTurn");
  CheckTestFault("loop");
  int event = platform::WaitWindowEvent(kTurnMs);
  int window = event == platform::kEventNone ? -1 : platform::EventWindow();
  Dispatch(event);
  gui::HandleFakeMenu(event);
  if (event == platform::kEventSizeWindow && window == Window_Main) RedrawGraph(true);
  UpdateTitleMark();
  ReapPluginPrograms();
  return event;
}

void MainLoop() {
  TOLVEK_TRACE("MainLoop");
  for (;;) {
    MainLoopTurn();
    // A requested end comes after the turn, when every nested loop has returned.
    EndIfRequested();
  }
}

}  // namespace workbench
