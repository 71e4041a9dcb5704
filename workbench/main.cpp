// lumivex: the analyst's workbench.
#include "platform/window_system.h"
#include "workbench/main_loop.h"
#include "workbench/startup.h"

int main(int argc, char** argv) {
  platform::EnsureApplication(argc, argv);
  workbench::StartUp(argc, argv);
  workbench::MainLoop();
}
