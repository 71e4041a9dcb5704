// The orderly end: the session and the window geometry are remembered, the details file of
// the last graph goes, and the finalizers run.
#include <unistd.h>

#include <string>

#include "platform/window_system.h"
#include "tolvek/callstack.h"
#include "tolvek/preferences.h"
#include "tolvek/temp_files.h"
#include "workbench/settings.h"
#include "workbench/stages.h"
#include "workbench/workbench_state.h"

namespace workbench {

void EndSequence() {
  TOLVEK_TRACE("EndSequence");
  WorkbenchState& s = State();
  WriteSettingsKeys([&s] {
    tolvek::WritePreferenceString(kKeyLastSession, s.sessionFile);
    int stored = kStoredNormal;
    switch (platform::GetWindowState(Window_Main)) {
      case platform::kWindowMaximized:
        stored = kStoredMaximized;
        break;
      case platform::kWindowMinimized:
        stored = kStoredMinimized;
        break;
      default:
        break;
    }
    tolvek::WritePreferenceString(kKeyLastWinState, std::to_string(stored));
    if (stored == kStoredNormal) {
      const std::string& suffix = s.geometrySuffix;
      auto write = [&suffix](const char* key, int value) {
        tolvek::WritePreferenceString(key + suffix, std::to_string(value));
      };
      // The corner the start places again (the inner one, as the frame may not be known then).
      write(kKeyLastWinX, platform::WindowInnerX(Window_Main));
      write(kKeyLastWinY, platform::WindowInnerY(Window_Main));
      write(kKeyLastWinWidth, platform::WindowWidth(Window_Main));
      write(kKeyLastWinHeight, platform::WindowHeight(Window_Main));
    }
  });
  std::string details = tolvek::GetTempFilePath(s.files.graphFileDot) + ".lumivex";
  if (s.files.graphFileDot) unlink(details.c_str());
  tolvek::EndProgram(0);
}

}  // namespace workbench
