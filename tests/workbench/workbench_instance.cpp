// One real workbench process, driven line by line through its standard input, for tests that
// need two of them running at once. It starts as the program does (its first parameter is the
// session file), with the splash's clock running fast and every message box answered Ok, says
// "ready", then answers one command per line:
//   log <path>  the log field's text
//   hold        the next Refresh stops just before its converter starts, says "held" and
//               goes on at the next line
//   refresh     a Refresh; says "node <name>" per node of the graph, then "status <status>"
//   dot         says "dot <path of the shown graph's DOT file>"
//   options <gadget>  the Options dialog opened, the box named (as in the gadget table)
//               toggled and Ok pressed; says "options stored"
//   end         the end sequence: the program ends with its finalizers
//   loop        the program's main loop, from which it no longer reads commands
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <string>

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
  workbench::StartUp(argc, argv);
  platform::SetLoopHook(HoldBeforeTheConverter);
  Say("ready");
  for (std::string line; std::getline(std::cin, line);) {
    if (line.rfind("log ", 0) == 0) {
      platform::SetGadgetText(workbench::String_Main_ProcmonFile, line.substr(4));
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
