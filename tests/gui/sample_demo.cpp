// The workbench on the bundled sample, as an analyst meets it: the real main window with a
// settings folder of its own, the log and capture paths typed into their fields, Refresh
// pressed, and a screenshot of the window once the graph is there. With --replay the
// screenshot shows frames mode half-way through the replay: Return, then Space plays at the
// starting speed and Space again stops it once the middle frame is reached. With --find TEXT
// it shows the highlights of Ctrl+F with TEXT typed into the input box.
// With --details FILE a middle click on the sample's process then opens its details
// (photographed to FILE), and its Threads row its threads (FILE with "-threads" before the
// extension). With --details FILE NAME the node is the first whose id holds NAME, and only its
// details are photographed.
//   sample_demo FOLDER LOG CAPTURE SCREENSHOT
//               [--replay | --find TEXT | --dialogs DIR | --details FILE [NAME]] [--dumb]
//               [--launcher TEXT] [--maximised] [--then LOG]
// FOLDER becomes the workbench's home (its settings in FOLDER/.lumivex/); never the user's.
// With --dialogs it then photographs, into DIR, the options dialog, the render-options popup,
// a filter manager holding a few rules and the add-filter dialog opened from it.
#include <sys/stat.h>

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QTest>
#include <QTreeWidget>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "graphview/graph_model.h"
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

void Turns(int n) {
  for (int i = 0; i < n; ++i) workbench::MainLoopTurn();
}

bool Shoot(const std::string& path) {
  int image = gui::MakeScreenshot(platform::kNewNumber, 0, 0, 0, 0);
  bool saved = image && platform::SaveImage(image, path);
  if (image) platform::FreeImage(image);
  std::printf("%s: %s\n", saved ? "saved" : "NOT saved", path.c_str());
  return saved;
}

// The dialogs the analyst meets around the graph, each photographed once it is painted.
bool ShootDialogs(const std::filesystem::path& home, const std::filesystem::path& dir) {
  using namespace workbench;
  std::filesystem::create_directories(dir);
  bool ok = true;

  platform::PostEvent(platform::kEventMenu, Window_Main, -1, 0, MenuItem_Options);
  Turns(10);
  ok = Shoot((dir / "options_dialog.png").string()) && ok;
  platform::PostEvent(platform::kEventGadget, Window_Options, Button_Options_Cancel);
  Turns(5);

  platform::SetGadgetState(Button_Main_RenderingOptions, 1);
  platform::PostEvent(platform::kEventGadget, Window_Main, Button_Main_RenderingOptions);
  Turns(10);
  ok = Shoot((dir / "render_options.png").string()) && ok;
  platform::HideWindow(Window_RenderOptions, true);
  platform::SetGadgetState(Button_Main_RenderingOptions, 0);
  Turns(5);

  std::ofstream(home / ".lumivex" / "evtweave_fileignores.global", std::ios::binary)
      << "c:\\windows\\prefetch\\*\trw\n#*.tmp\tw\n*\\appdata\\local\\temp\\*\tr\n"
         "REGEX:^c:\\\\users\\\\[^\\\\]+\\\\ntuser\\.dat\trw\r\n";
  // The manager's list waits in a loop of its own: it is photographed from the loop hook,
  // then its "Add new rule ..." row is chosen.
  int calls = 0;
  platform::SetLoopHook([&] {
    int window = platform::FindWindowByTitle("Filter Manager");
    if (window < 0 || ++calls != 30) return;
    ok = Shoot((dir / "filter_manager.png").string()) && ok;
    int list = platform::FindGadgetByName(window, "lst");
    platform::SetGadgetState(list, 0);
    QTest::keyClick(platform::GadgetWidget(list), Qt::Key_Return);
  });
  platform::PostEvent(platform::kEventMenu, Window_Main, -1, 0, MenuItem_GlobalFiles);
  Turns(10);
  platform::SetLoopHook(nullptr);
  platform::SetGadgetText(String_AddFilter_Filter, "c:\\users\\bob\\downloads\\");
  platform::SetGadgetState(Option_AddFilter_HeadingStringMatch, 1);
  Turns(5);
  ok = Shoot((dir / "add_filter.png").string()) && ok;
  platform::PostEvent(platform::kEventGadget, Window_AddFilter, Button_AddFilter_Cancel);
  Turns(5);
  return ok;
}

// Middle click on the sample process (or the node named); the loop hook photographs the lists
// as they open.
bool ShowDetails(const std::string& shot, const std::string& name) {
  using namespace workbench;
  const graphview::GraphNode* process = State().graph.layout.FindNode("PROCESS:3120-n3");
  for (const graphview::GraphNode& node : State().graph.layout.nodes) {
    if (!name.empty() && node.name.find(name) != std::string_view::npos) {
      process = &node;
      break;
    }
  }
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
      if (!name.empty()) {
        threadsSaved = true;
        platform::PostEvent(platform::kEventCloseWindow, details, -1);
        platform::SetLoopHook(nullptr);
        return;
      }
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

// Takes an option (with value: its value too) from anywhere after the four paths.
bool TakeOption(int& argc, char** argv, const char* name, std::string* value = nullptr) {
  const int taken = value ? 2 : 1;
  for (int i = 5; i + taken <= argc; ++i) {
    if (std::string(argv[i]) != name) continue;
    if (value) *value = argv[i + 1];
    for (int j = i; j + taken < argc; ++j) argv[j] = argv[j + taken];
    argc -= taken;
    argv[argc] = nullptr;
    return true;
  }
  return false;
}

// Presses Refresh and serves the loop until the generation has ended; its status.
std::string Refresh() {
  workbench::State().generationLog.clear();
  QTest::mouseClick(platform::GadgetWidget(workbench::Button_Main_Refresh), Qt::LeftButton);
  // Refresh runs inside a turn of the loop; a minute is far more than the sample needs.
  auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(1);
  // A finished generation, good or bad, leaves its log.
  while (workbench::State().generationLog.empty() && std::chrono::steady_clock::now() < deadline) {
    workbench::MainLoopTurn();
  }
  return platform::GetGadgetText(workbench::Text_Main_Status);
}

}  // namespace

int main(int argc, char** argv) {
  // Anywhere after the four paths: --dumb, the graph of every process, as for a real log
  // without a launcher; --launcher TEXT, the launcher field's text; --maximised, the window
  // as large as the screen before the Refresh; --then LOG, a second Refresh on another log
  // (its screenshot beside the first, "-then" before the extension).
  const bool dumb = TakeOption(argc, argv, "--dumb");
  const bool maximised = TakeOption(argc, argv, "--maximised");
  std::string launcher, then;
  TakeOption(argc, argv, "--launcher", &launcher);
  TakeOption(argc, argv, "--then", &then);
  const bool replay = argc == 6 && std::string(argv[5]) == "--replay";
  const bool find = argc == 7 && std::string(argv[5]) == "--find";
  const bool dialogs = argc == 7 && std::string(argv[5]) == "--dialogs";
  const bool details = (argc == 7 || argc == 8) && std::string(argv[5]) == "--details";
  if (argc != 5 && !replay && !find && !dialogs && !details) {
    std::fprintf(stderr,
                 "usage: sample_demo FOLDER LOG CAPTURE SCREENSHOT"
                 " [--replay | --find TEXT | --dialogs DIR | --details FILE [NAME]] [--dumb]"
                 " [--launcher TEXT] [--maximised] [--then LOG]\n");
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

  if (maximised) {
    platform::SetWindowState(workbench::Window_Main, platform::kWindowMaximized);
    for (int i = 0; i < 10; ++i) workbench::MainLoopTurn();
  }
  Type(workbench::String_Main_ProcmonFile, log);
  Type(workbench::String_Main_WindumpFile, capture);
  if (!launcher.empty()) platform::SetGadgetText(workbench::String_Main_Launcher, launcher);
  if (dumb) platform::SetGadgetState(workbench::Checkbox_Main_ModeDumb, 1);
  // A message after the Refresh is answered; it is printed below.
  platform::ScriptMessageAnswer(platform::kResultOk);
  std::string status = Refresh();
  for (int i = 0; i < 20; ++i) workbench::MainLoopTurn();
  if (!then.empty()) {
    Shoot(shot.substr(0, shot.rfind('.')) + "-first.png");
    platform::SetGadgetText(workbench::String_Main_ProcmonFile, fs::absolute(then).string());
    platform::ScriptMessageAnswer(platform::kResultOk);
    status = Refresh();
    for (int i = 0; i < 20; ++i) workbench::MainLoopTurn();
  }
  {
    const auto& v = workbench::State().graph.view;
    std::printf("Canvas %dx%d, picture %lldx%lld at %.0f,%.0f (zoom %g, fit %g)\n",
                platform::CanvasWidth(workbench::Canvas_Main_Graph),
                platform::CanvasHeight(workbench::Canvas_Main_Graph),
                static_cast<long long>(v.scaledWidth), static_cast<long long>(v.scaledHeight),
                v.scrollX, v.scrollY, v.zoom, v.fitZoom);
  }

  const int64_t& frame = workbench::State().graph.view.currentFrame;
  if (replay && status == "OK") {
    QWidget* button = platform::GadgetWidget(workbench::Button_Main_Refresh);
    platform::SetActiveWindow(workbench::Window_Main);
    QApplication::processEvents();
    button->setFocus();
    QTest::keyClick(button, Qt::Key_Return);
    for (int i = 0; i < 5; ++i) workbench::MainLoopTurn();
    QTest::keyClick(button, Qt::Key_Space);
    const int64_t middle = graphview::CountVisibleFrames(workbench::State().graph) / 2;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(1);
    while (frame < middle && std::chrono::steady_clock::now() < deadline) {
      workbench::MainLoopTurn();
    }
    QTest::keyClick(button, Qt::Key_Space);
    for (int i = 0; i < 5; ++i) workbench::MainLoopTurn();
  }

  if (find && status == "OK") {
    const QString text = QString::fromUtf8(argv[6]);
    platform::SetLoopHook([text] {
      int box = platform::FindWindowByTitle("LumiVEX");
      int field = box < 0 ? -1 : platform::FindGadgetByName(box, "field");
      auto* combo = field < 0 ? nullptr : qobject_cast<QComboBox*>(platform::GadgetWidget(field));
      if (!combo || !combo->isVisible()) return;
      platform::SetLoopHook(nullptr);
      combo->lineEdit()->insert(text);
      QTest::keyClick(combo->lineEdit(), Qt::Key_Return);
    });
    platform::PostEvent(platform::kEventMenu, workbench::Window_Main, -1, 0,
                        workbench::MenuItem_Find);
    for (int i = 0; i < 10; ++i) workbench::MainLoopTurn();
    platform::SetLoopHook(nullptr);
  }

  bool saved = Shoot(shot);
  for (const auto& shown : platform::ShownMessages()) {
    std::printf("Message \"%s\": %s\n", shown.title.c_str(), shown.text.c_str());
  }
  std::printf("Refresh: %s (%zu nodes, %zu edges)\n", status.c_str(),
              workbench::State().graph.layout.nodes.size(),
              workbench::State().graph.layout.edges.size());
  if (find) std::printf("Highlights: %zu\n", workbench::State().graph.Highlights.size());
  if (replay) {
    std::printf("Frame: %s (%s) %s\n",
                platform::GetGadgetText(workbench::Text_Main_FrameNumber).c_str(),
                platform::GetGadgetText(workbench::Text_Main_FrameTimestamp).c_str(),
                platform::GetGadgetText(workbench::String_Main_FrameMessage).c_str());
  }
  if (dialogs && !ShootDialogs(home, fs::absolute(argv[6]))) saved = false;
  if (details && !ShowDetails(fs::absolute(argv[6]).string(), argc == 8 ? argv[7] : "")) {
    saved = false;
  }
  return saved && (status == "OK" || !then.empty()) ? 0 : 1;
}
