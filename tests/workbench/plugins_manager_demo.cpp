// Opens the plugins manager on the real display with three plugins, one active and two that
// fail their checks, and with --screenshot PATH saves the screen while the manager is open.
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
#include "workbench/main_loop.h"
#include "workbench/plugin_host.h"
#include "workbench/startup.h"
#include "workbench/workbench_state.h"

int main(int argc, char** argv) {
  const char* shot = argc > 2 && std::strcmp(argv[1], "--screenshot") == 0 ? argv[2] : nullptr;
  char home[] = "/tmp/lumivex-demo-XXXXXX";
  if (!mkdtemp(home)) return 1;
  setenv("HOME", home, 1);
  lumivex_testing::PrepareQuietHome(home);
  const std::string plugins = std::string(home) + "/plugins/";
  std::filesystem::create_directories(plugins);
  std::ofstream(std::string(home) + "/.lumivex/.lumivex", std::ios::app)
      << "pluginspath = " << plugins << "\r\n";
  std::ofstream(plugins + "sandbox.sh") << "#!/bin/sh\n";
  std::ofstream(plugins + "sandbox.lvp")
      << "file = sandbox.sh\nName = Send to sandbox\nType = MainMenuItem\n"
         "Architecture = LinuxShellScript\nVersion = 1.0\nAuthor = Lab\n";
  std::ofstream(plugins + "whois.lvp")
      << "file = whois.exe\nName = Whois lookup\nType = ContextMenuItemForGraph\n"
         "Architecture = Windows64BitExe\nVersion = 0.3\nAuthor = Lab\n";
  // One that another user could have planted: listed, never run.
  std::ofstream(plugins + "zz_helpful.lvp")
      << "file = sandbox.sh\nName = Helpful\nType = MainMenuItem\n"
         "Architecture = LinuxShellScript\nVersion = 9\nAuthor = Someone\n";
  chmod((plugins + "zz_helpful.lvp").c_str(), 0666);
  platform::EnsureApplication(argc, argv);
  static int64_t now = 0;
  platform::SetClock([] { return now += 100; });  // the splash's five seconds pass at once
  char* args[] = {argv[0], nullptr};
  workbench::StartUp(1, args);
  platform::ResizeWindow(workbench::Window_Main, 0, 0, 1280, 800);
  for (int i = 0; i < 20; ++i) workbench::MainLoopTurn();
  bool saved = false;
  int turns = 0;
  platform::SetLoopHook([&] {
    const int window = platform::FindWindowByTitle("Plugins-Manager");
    if (window < 0 || ++turns < 20) return;
    if (shot && !saved) {
      int image = gui::MakeScreenshot(platform::kNewNumber, 0, 0, 0, 0);
      saved = image && platform::SaveImage(image, shot);
    }
    platform::PostEvent(platform::kEventCloseWindow, window, -1);
  });
  workbench::OpenPluginsManager();
  platform::SetLoopHook(nullptr);
  std::printf("%s\n", saved ? shot : "no screenshot");
  std::error_code ignored;
  std::filesystem::remove_all(home, ignored);
  return saved ? 0 : 1;
}
