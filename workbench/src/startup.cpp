#include "workbench/startup.h"

#include <unistd.h>

#include <cstdlib>
#include <string>

#include "gui/list_icon_requester.h"
#include "gui/scintilla_wrapper.h"
#include "platform/window_system.h"
#include "tolvek/callstack.h"
#include "tolvek/startup.h"
#include "tolvek/temp_files.h"
#include "workbench/crash_follow_up.h"
#include "workbench/gadgets.h"
#include "workbench/main_window.h"
#include "workbench/settings.h"
#include "workbench/stages.h"
#include "workbench/workbench_state.h"

namespace workbench {
namespace {

std::string gProgramFolderOverride;

std::string HomeFolder() {
  const char* home = std::getenv("HOME");
  std::string folder = home && *home ? home : "/";
  if (folder.back() != '/') folder += '/';
  return folder;
}

std::string ProgramFolder() {
  if (!gProgramFolderOverride.empty()) return gProgramFolderOverride;
  char buffer[4096];
  ssize_t n = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
  if (n <= 0) return "";
  std::string path(buffer, static_cast<size_t>(n));
  return path.substr(0, path.rfind('/') + 1);
}

// A path named on the command line means the folder the program was started in, which is
// no longer meant once the path is stored for the next start.
std::string FromStartFolder(const std::string& path) {
  if (path.empty() || path.front() == '/') return path;
  char folder[4096];
  if (!getcwd(folder, sizeof folder)) return path;
  std::string relative = path;
  while (relative.rfind("./", 0) == 0) relative.erase(0, 2);
  std::string absolute = folder;
  return absolute + (absolute.back() == '/' ? "" : "/") + relative;
}

void CreateGraphFiles() {
  GraphFiles& f = State().files;
  // Each file exists, empty, for the whole run and goes with the finalizers.
  f.graphFileDot = tolvek::CreateTempFile(true, false, "dot");
  f.graphFileDot4Render = tolvek::CreateTempFile(true, false, "dot");
  f.graphFilePng = tolvek::CreateTempFile(true, false, "png");
  f.graphFileTxt = tolvek::CreateTempFile(true, false, "txt");
  f.tempProcmonCsv = tolvek::CreateTempFile(true, false, "csv");
  f.tempWindumpTxt = tolvek::CreateTempFile(true, false, "txt");
}

}  // namespace

namespace detail {
void OverrideProgramFolder(const std::string& folder) {
  gProgramFolderOverride = folder;
}
}  // namespace detail

void StartUp(int argc, char** argv) {
  TOLVEK_TRACE("StartUp");
  ResetState();
  WorkbenchState& s = State();

  RegisterGadgetConstants();
  s.geometrySuffix = GeometrySuffix();
  // A crash anywhere from here on is told and reported, the start-up's own included.
  s.programFolder = ProgramFolder();
  InstallCrashHandler();
  UpdateCrashFollowUp();
  tolvek::SetPrivateTempDirSuffix("lumivex");
  tolvek::LibraryStartup();
  // A display that goes away ends the program through exit(), past the finalizers.
  tolvek::CleanUpTemporaryDirectoryAtExitToo();
  InstallEndSignals();

  gui::ListIconRequester_SetDefaultSize(400, 300);
  gui::Scintilla_Startup();

  LoadMainPictures();

  s.settingsFolder = HomeFolder() + ".lumivex/";
  s.settingsFile = s.settingsFolder + ".lumivex";
  s.sessionFile = FromStartFolder(argc > 1 && argv[1] ? argv[1] : "");
  s.graph.TimelineMode = 3;
  CreateGraphFiles();
  UpdateCrashFollowUp();
  s.graphFont = platform::LoadFont(platform::kNewNumber, "Times-Roman", 10);

  gui::ListIconRequester_SetDefaultSize(800, 600);
  ShowSplash(false);
  EndIfRequested();
  CheckTestFault("startup");

  OpenWindow_Main();
  platform::SetButtonPressedImage(Button_Main_ForceAscii, s.pictures[Picture_ForceAsciiPressed]);
  platform::HideWindow(Window_Main, false);

  InitializeSettings();
  LoadPlugins();
  CreateRenderOptionsWindow();
  LoadSession(s.sessionFile, true);

  if (s.toolsMissing) {
    // A tool found on PATH is offered in the options; only one found nowhere is asked for.
    const std::string missing = MissingToolNames();
    if (!missing.empty()) {
      platform::MessageRequester(
          "LumiVEX",
          "LumiVEX depends on third party components.\nPlease specify full qualified paths to "
          "the according executables in the options ...\n\nNot found: " +
              missing);
    }
    platform::PostEvent(platform::kEventMenu, Window_Main, -1, 0, MenuItem_Options);
  }

  UpdateCrashFollowUp();
  EndSignalsEndInOrder();
  s.interaction = InteractionState();
  s.inputChanged = false;
}

}  // namespace workbench
