// Opens the about box, the graph legend, the quick help and the bug report's confirmation of the
// workbench on the real display and saves a screenshot of each into the folder given, for a look
// with xvfb-run:
//   xvfb-run -s "-screen 0 1280x1024x24" build/debug/bin/help_windows_demo /tmp/shots
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "gui/gadget_screenshot.h"
#include "platform/window_system.h"
#include "quiet_home.h"
#include "workbench/gadgets.h"
#include "workbench/stages.h"
#include "workbench/startup.h"
#include "workbench/workbench_state.h"

namespace {

// Shows the window the action opens, saves the screen once it has settled, then closes it.
bool Shoot(void (*action)(), const std::string& title, const std::string& path) {
  bool saved = false;
  // The windows wait for events without a limit: a timer brings the moment to take the
  // picture and to close them.
  QTimer::singleShot(1500, [&] {
    int window = platform::FindWindowByTitle(title);
    int image = gui::MakeScreenshot(platform::kNewNumber, 0, 0, 0, 0);
    saved = window >= 0 && image && platform::SaveImage(image, path);
    if (window >= 0) platform::PostEvent(platform::kEventCloseWindow, window, -1);
  });
  action();
  std::printf("%s: %s\n", path.c_str(), saved ? "saved" : "not saved");
  return saved;
}

// The bug report confirmed: the confirmation that names the archive, over the report window.
// Which window is on top is a window manager's doing: run it with one to see the order.
bool ShootBugReportConfirmation(const std::string& path) {
  bool saved = false;
  int report = -1;
  QTimer::singleShot(1500, [&] {
    report = platform::FindWindowByTitle("Bugreport");
    platform::SetGadgetText(workbench::Editor_Bugreport_Description, "It broke.");
    if (report >= 0) {
      platform::PostEvent(platform::kEventGadget, report, workbench::Button_Bugreport_Ok);
    }
  });
  QTimer::singleShot(3000, [&] {
    int image = gui::MakeScreenshot(platform::kNewNumber, 0, 0, 0, 0);
    saved = report >= 0 && image && platform::SaveImage(image, path);
    // Both windows have the same title: the report steps aside to find its confirmation.
    if (report >= 0) platform::SetWindowTitle(report, "Bugreport (confirmed)");
    int confirmation = platform::FindWindowByTitle("Bugreport");
    if (confirmation >= 0) platform::PostEvent(platform::kEventCloseWindow, confirmation, -1);
  });
  workbench::CreateBugReport(false);
  std::printf("%s: %s\n", path.c_str(), saved ? "saved" : "not saved");
  return saved;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return 2;
  std::string folder = argv[1];
  std::filesystem::create_directories(folder);
  char home[] = "/tmp/lumivex-helpdemo-XXXXXX";
  if (!mkdtemp(home)) return 1;
  setenv("HOME", home, 1);
  lumivex_testing::PrepareQuietHome(home);
  platform::EnsureApplication(argc, argv);
  static int64_t now = 0;
  platform::SetClock([] { return now += 100; });
  char* args[] = {argv[0], nullptr};
  workbench::StartUp(1, args);
  platform::SetClock(nullptr);
  bool ok = Shoot([] { workbench::ShowSplash(true); }, "LumiVEX", folder + "/about.png");
  ok &= Shoot(workbench::ShowGraphLegend, "Graph legend ...", folder + "/legend.png");
  ok &= ShootBugReportConfirmation(folder + "/bugreport.png");
  ok &= Shoot(workbench::ShowQuickHelp, "Quick help ...", folder + "/quick_help.png");
  std::filesystem::remove_all(home);
  std::fflush(stdout);
  std::_Exit(ok ? 0 : 1);
}
