// One real workbench process, driven line by line through its standard input, for tests that
// need two of them running at once. It starts as the program does (its first parameter is the
// session file), with the splash's clock running fast and every message box answered Ok, says
// "ready", then answers one command per line:
//   log <path>  the log field's text
//   draw        the graph drawn into the canvas; says "drawn"
//   dialogs     message boxes and file dialogs show from now on instead of being answered, and
//               each window that appears is said as "shown <title>", from whichever loop runs
//   menu <id>   the main window's menu item, served once the main loop runs
//   hold        the next Refresh stops just before its converter starts, says "held" and
//               goes on at the next line
//   refresh     a Refresh; says "node <name>" per node of the graph, then "status <status>"
//   dot         says "dot <path of the shown graph's DOT file>"
//   options <gadget>  the Options dialog opened, the box named (as in the gadget table)
//               toggled and Ok pressed; says "options stored"
//   end         the end sequence: the program ends with its finalizers
//   loop        the program's main loop, from which it no longer reads commands
// LUMIVEX_TEST_PROGRAM_FOLDER, when set, is the folder it takes for its own: the converter
// and the crash follow-up are looked for there.
#include <QApplication>
#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <string>
#include <vector>

#include "gui/wait_requester.h"
#include "lsan_suppressions.h"
#include "platform/window_system.h"
#include "tolvek/temp_files.h"
#include "workbench/gadgets.h"
#include "workbench/main_loop.h"
#include "workbench/stages.h"
#include "workbench/startup.h"
#include "workbench/workbench_state.h"

namespace {

bool gHolding = false;

void Say(const std::string& line) {
  std::cout << line << std::endl;
}

// Called while the wait window takes events: once the log shows the converter's command
// line, the ignore lists are written and the converter is next.
void HoldBeforeTheConverter() {
  if (!gHolding) return;
  int log = gui::detail::WaitRequesterParts().logEditor;
  std::string text = log ? platform::GetGadgetText(log) : "";
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
  std::string last = text.substr(text.find_last_of("\r\n") + 1);
  if (last.rfind("RunProgram: ", 0) != 0 || last.find("evtweave") == std::string::npos) return;
  gHolding = false;
  Say("held");
  std::string go;
  std::getline(std::cin, go);
}

// Serves the loop until done holds; a bounded number of turns.
template <typename Done>
void TurnUntil(Done done) {
  for (int turn = 0; turn < 1000 && !done(); ++turn) workbench::MainLoopTurn();
}

// Says each window that becomes visible; a timer of Qt's, so that it runs inside a dialog's own
// loop too.
void WatchWindows() {
  static std::vector<QPointer<QWidget>> seen;
  auto look = [] {
    for (QWidget* top : QApplication::topLevelWidgets()) {
      if (!top->isVisible() || std::find(seen.begin(), seen.end(), top) != seen.end()) continue;
      seen.emplace_back(top);
      Say("shown " + top->windowTitle().toStdString());
    }
  };
  for (QWidget* top : QApplication::topLevelWidgets()) {
    if (top->isVisible()) seen.emplace_back(top);
  }
  auto* timer = new QTimer(qApp);
  QObject::connect(timer, &QTimer::timeout, look);
  timer->start(10);
}

void ToggleOption(const std::string& name) {
  int box = -1;
  for (size_t g = 0; g < workbench::kGadgetNames.size(); ++g) {
    if (workbench::kGadgetNames[g] && name == workbench::kGadgetNames[g]) box = int(g);
  }
  platform::PostEvent(platform::kEventMenu, workbench::Window_Main, -1, 0,
                      workbench::MenuItem_Options);
  TurnUntil([] { return platform::IsWindow(workbench::Window_Options); });
  platform::SetGadgetState(box, !platform::GetGadgetState(box));
  platform::PostEvent(platform::kEventGadget, workbench::Window_Options,
                      workbench::Button_Options_Ok);
  TurnUntil([] { return !platform::IsWindow(workbench::Window_Options); });
  Say("options stored");
}

}  // namespace

int main(int argc, char** argv) {
  if (!std::getenv("QT_QPA_PLATFORM")) {
    setenv("QT_QPA_PLATFORM",
           "offscreen:configfile=" LUMIVEX_SOURCE_DIR "/tests/workbench/offscreen_screen.json", 1);
  }
  platform::EnsureApplication(argc, argv);
  // Each reading is a second later: the splash passes at once, and the wait window takes
  // events at every update.
  static int64_t now = 0;
  platform::SetClock([] { return now += 1000; });
  for (int i = 0; i < 100; ++i) platform::ScriptMessageAnswer(platform::kResultOk);
  if (const char* folder = std::getenv("LUMIVEX_TEST_PROGRAM_FOLDER")) {
    workbench::detail::OverrideProgramFolder(folder);
  }
  workbench::StartUp(argc, argv);
  platform::SetLoopHook(HoldBeforeTheConverter);
  Say("ready");
  for (std::string line; std::getline(std::cin, line);) {
    if (line.rfind("log ", 0) == 0) {
      platform::SetGadgetText(workbench::String_Main_ProcmonFile, line.substr(4));
    } else if (line == "draw") {
      workbench::RedrawGraph(true);
      Say("drawn");
    } else if (line == "dialogs") {
      platform::ClearScriptedAnswers();
      WatchWindows();
    } else if (line.rfind("menu ", 0) == 0) {
      platform::PostEvent(platform::kEventMenu, workbench::Window_Main, -1, 0,
                          std::atoi(line.c_str() + 5));
    } else if (line == "hold") {
      gHolding = true;
    } else if (line == "refresh") {
      workbench::GenerateGraph();
      for (const auto& node : workbench::State().graph.layout.nodes) {
        Say("node " + std::string(node.name));
      }
      Say("status " + platform::GetGadgetText(workbench::Text_Main_Status));
    } else if (line == "dot") {
      Say("dot " + tolvek::GetTempFilePath(workbench::State().files.graphFileDot));
    } else if (line.rfind("options ", 0) == 0) {
      ToggleOption(line.substr(8));
    } else if (line == "end") {
      workbench::EndSequence();
    } else if (line == "loop") {
      workbench::MainLoop();
    }
  }
  return 1;  // the test went away without ending us
}
