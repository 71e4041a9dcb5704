// Starts the workbench on the real display in a private home (no questions: the tools are
// named) and, with --screenshot PATH, saves the screen once the main window has settled,
// then ends. Without it, it is the workbench itself in a throw-away home.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "gui/gadget_screenshot.h"
#include "platform/window_system.h"
#include "quiet_home.h"
#include "tolvek/callstack.h"
#include "workbench/main_loop.h"
#include "workbench/startup.h"
#include "workbench/workbench_state.h"

int main(int argc, char** argv) {
  const char* shot = argc > 2 && std::strcmp(argv[1], "--screenshot") == 0 ? argv[2] : nullptr;
  char home[] = "/tmp/lumivex-demo-XXXXXX";
  if (!mkdtemp(home)) return 1;
  setenv("HOME", home, 1);
  lumivex_testing::PrepareQuietHome(home);
  platform::EnsureApplication(argc, argv);
  if (shot) {
    // The splash's five seconds pass at once.
    static int64_t now = 0;
    platform::SetClock([] { return now += 100; });
  }
  char* args[] = {argv[0], nullptr};
  workbench::StartUp(1, args);
  if (!shot) workbench::MainLoop();
  // Without a window manager there is no frame: the window fills the screen.
  platform::ResizeWindow(workbench::Window_Main, 0, 0, 1280, 800);
  for (int i = 0; i < 20; ++i) workbench::MainLoopTurn();
  int image = gui::MakeScreenshot(platform::kNewNumber, 0, 0, 0, 0);
  bool saved = image && platform::SaveImage(image, shot);
  std::printf("%s\n", saved ? shot : "no screenshot");
  std::error_code ignored;
  std::filesystem::remove_all(home, ignored);
  return saved ? 0 : 1;
}
