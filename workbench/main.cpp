// lumivex: the analyst's workbench.
#include <string>

#include "platform/window_system.h"
#include "workbench/crash_follow_up.h"
#include "workbench/main_loop.h"
#include "workbench/startup.h"

int main(int argc, char** argv) {
  if (argc > 1 && std::string(argv[1]) == workbench::kAfterCrashArgument) {
    workbench::AfterCrashMain(argc, argv);
  }
  platform::EnsureApplication(argc, argv);
  workbench::StartUp(argc, argv);
  workbench::MainLoop();
}
