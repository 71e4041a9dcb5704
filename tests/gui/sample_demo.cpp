// The workbench on the bundled sample, as an analyst meets it: the real main window with a
// settings folder of its own, the log and capture paths typed into their fields, Refresh
// pressed, and a screenshot of the window once the graph is there. With DETAILS, a middle
// click on the sample's process opens its details (photographed to DETAILS), and its Threads
// row its threads (photographed to DETAILS with "-threads" before the extension).
//   sample_demo FOLDER LOG CAPTURE SCREENSHOT [DETAILS]
// FOLDER becomes the workbench's home (its settings in FOLDER/.lumivex/); never the user's.
#include <sys/stat.h>

#include <QApplication>
#include <QTest>
#include <QTreeWidget>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "graphview/view_state.h"
#include "gui/gadget_screenshot.h"
#include "platform/window_system.h"
#include "quiet_home.h"
#include "workbench/gadgets.h"
#include "workbench/main_loop.h"
#include "workbench/startup.h"
#include "workbench/workbench_state.h"

namespace {

// The first of the programs named that exists, as the options would name it.
std::string Tool(std::initializer_list<const char*> candidates) {
  for (const char* path : candidates) {
    if (access(path, X_OK) == 0) return path;
  }
  return "";
}

void Type(int gadget, const std::string& text) {
  QWidget* field = platform::GadgetWidget(gadget);
  QTest::mouseClick(field, Qt::LeftButton);
  QTest::keyClicks(field, QString::fromStdString(text));
}

bool Shoot(const std::string& path) {
  int image = gui::MakeScreenshot(platform::kNewNumber, 0, 0, 0, 0);
  bool saved = image && platform::SaveImage(image, path);
  if (image) platform::FreeImage(image);
  return saved;
}

// Middle click on the sample process; the loop hook photographs the lists as they open.
bool ShowDetails(const std::string& shot) {
  using namespace workbench;
  const graphview::GraphNode* process = State().graph.layout.FindNode("PROCESS:3120-n3");
  if (!process) return false;
  const auto& g = State().graph;
  QPoint at(int(g.view.scrollX) + int(graphview::GraphXToPixel(g.view, g.layout, process->x)) + 1,
            int(g.view.scrollY) + int(graphview::GraphYToPixel(g.view, g.layout, process->y)) + 1);
  const std::string threadsShot = shot.substr(0, shot.rfind('.')) + "-threads.png";
  bool detailsSaved = false, threadsSaved = false;
  int waited = 0;
  platform::SetLoopHook([&] {
    // A few turns first, so the list has painted.
    if (++waited < 20) return;
    int details = platform::FindWindowByTitle("Details for ...");
    int threads = platform::FindWindowByTitle("Threads of ...");
    if (threads >= 0) {
      threadsSaved = Shoot(threadsShot);
      platform::PostEvent(platform::kEventCloseWindow, threads, -1);
      platform::SetLoopHook(nullptr);
    } else if (details >= 0 && !detailsSaved) {
      detailsSaved = Shoot(shot);
      waited = 0;
      // The Threads row is the last; choosing it opens the threads list.
      auto* list = static_cast<QTreeWidget*>(
          platform::GadgetWidget(platform::FindGadgetByName(details, "lst")));
      QTreeWidgetItem* last = list->topLevelItem(list->topLevelItemCount() - 1);
      QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(last).center());
    }
  });
  QWidget* canvas = platform::GadgetWidget(Canvas_Main_Graph);
  QTest::mousePress(canvas, Qt::MiddleButton, {}, at);
  QTest::mouseRelease(canvas, Qt::MiddleButton, {}, at);
  for (int i = 0; i < 10 && !threadsSaved; ++i) MainLoopTurn();
  platform::SetLoopHook(nullptr);
  std::printf("Details: %s, threads: %s\n", detailsSaved ? "saved" : "missing",
              threadsSaved ? "saved" : "missing");
  return detailsSaved && threadsSaved;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 5 && argc != 6) {
    std::fprintf(stderr, "usage: sample_demo FOLDER LOG CAPTURE SCREENSHOT [DETAILS]\n");
    return 2;
  }
  namespace fs = std::filesystem;
  const fs::path home = fs::absolute(argv[1]);
  const std::string log = fs::absolute(argv[2]).string();
  const std::string capture = fs::absolute(argv[3]).string();
  const std::string shot = fs::absolute(argv[4]).string();

  // A settings folder of its own, with the tools named, so nothing is asked at start.
  fs::create_directories(home.parent_path());
  lumivex_testing::PrepareQuietHome(home.string(), Tool({"/usr/bin/dot", "/usr/local/bin/dot"}),
                                    Tool({"/usr/bin/tcpdump", "/usr/sbin/tcpdump"}));
  setenv("HOME", home.c_str(), 1);
  setenv("XDG_CONFIG_HOME", (home / ".config").c_str(), 1);

  platform::EnsureApplication(argc, argv);
  // The splash's five seconds pass at once.
  static int64_t now = 0;
  platform::SetClock([] { return now += 100; });
  char* args[] = {argv[0], nullptr};
  workbench::StartUp(1, args);
  // Without a window manager there is no frame: the window fills the screen.
  platform::ResizeWindow(workbench::Window_Main, 0, 0, 1280, 800);
  for (int i = 0; i < 10; ++i) workbench::MainLoopTurn();

  Type(workbench::String_Main_ProcmonFile, log);
  Type(workbench::String_Main_WindumpFile, capture);
  QTest::mouseClick(platform::GadgetWidget(workbench::Button_Main_Refresh), Qt::LeftButton);

  // Refresh runs inside a turn of the loop; a minute is far more than the sample needs.
  auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(1);
  // A finished generation, good or bad, leaves its log.
  while (workbench::State().generationLog.empty() && std::chrono::steady_clock::now() < deadline) {
    workbench::MainLoopTurn();
  }
  std::string status = platform::GetGadgetText(workbench::Text_Main_Status);
  for (int i = 0; i < 20; ++i) workbench::MainLoopTurn();

  bool saved = Shoot(shot);
  std::printf("Refresh: %s (%zu nodes, %zu edges)\n", status.c_str(),
              workbench::State().graph.layout.nodes.size(),
              workbench::State().graph.layout.edges.size());
  if (argc == 6) saved = ShowDetails(fs::absolute(argv[5]).string()) && saved;
  return saved && status == "OK" ? 0 : 1;
}
