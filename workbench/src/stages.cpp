// Stages whose work belongs to later steps of the workbench; each keeps the loop sound until
// then.
#include "workbench/stages.h"
#include "platform/drawing.h"
#include "platform/window_system.h"
#include "workbench/gadgets.h"
#include "workbench/workbench_state.h"

namespace workbench {

void LoadPluginDescriptions() {}
void FirePluginEvent(const std::string&) {
  State().pluginOverrideFlag = false;
}
void OpenPluginsManager() {}
void RunMainMenuPlugin(int) {}
void RunPluginAt(int) {}

void ShowGraphLegend() {}
void ShowQuickHelp() {}
void ShowCredits() {}
void OpenDonationWindow() {}
void HandleDonationGadget(int) {}
void UpdateCheck(bool) {}
void CreateBugReport(bool) {}

void InstallCrashHandler() {}

}  // namespace workbench
