// One Refresh of the workbench, offscreen in a private home, on a log given on the command
// line; prints how long each phase took and the size of the graph it gave.
//   refresh_bench LOG [LAUNCHER]        LAUNCHER: "position|pid|name" as the launcher list gives
// Output: one line of name=value pairs (seconds for the phases).
#include <sys/stat.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "graphview/graph_model.h"
#include "graphview/plain_layout.h"
#include "platform/window_system.h"
#include "quiet_home.h"
#include "tolvek/temp_files.h"
#include "workbench/gadgets.h"
#include "workbench/stages.h"
#include "workbench/startup.h"
#include "workbench/workbench_state.h"

namespace {

double SecondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

std::string ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: refresh_bench LOG [LAUNCHER]\n");
    return 2;
  }
  const std::string log = std::filesystem::absolute(argv[1]).string();
  const std::string launcher = argc > 2 ? argv[2] : "";

  const char* tmp = std::getenv("TMPDIR");
  std::string home = std::string(tmp && *tmp ? tmp : "/tmp") + "/refresh-bench-XXXXXX";
  if (!mkdtemp(home.data())) return 1;
  setenv("HOME", home.c_str(), 1);
  // The workbench's private folder (in the runtime folder when there is one), its work files
  // and the launcher copy (as large as the log) land in the home and go with it.
  setenv("TMPDIR", home.c_str(), 1);
  setenv("XDG_RUNTIME_DIR", home.c_str(), 1);
  setenv("XDG_CONFIG_HOME", (home + "/config").c_str(), 1);
  if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  lumivex_testing::PrepareQuietHome(home);
  platform::EnsureApplication(argc, argv);
  // The splash's five seconds pass at once.
  static int64_t now = 0;
  platform::SetClock([] { return now += 100; });
  char* args[] = {argv[0], nullptr};
  workbench::StartUp(1, args);

  platform::SetGadgetText(workbench::String_Main_ProcmonFile, log);
  platform::SetGadgetText(workbench::String_Main_WindumpFile, "");
  platform::SetGadgetText(workbench::String_Main_Launcher, launcher);
  // A failure's message box is answered, never waited on.
  platform::ScriptMessageAnswer(platform::kResultOk);
  auto start = std::chrono::steady_clock::now();
  workbench::GenerateGraph();
  double total = SecondsSince(start);

  workbench::WorkbenchState& s = workbench::State();
  // The reading phase split: the plain layout alone, read again from the same file.
  std::string plain = ReadBytes(tolvek::GetTempFilePath(s.files.graphFileTxt));
  graphview::GraphLayout layout;
  start = std::chrono::steady_clock::now();
  graphview::ReadPlainLayout(std::move(plain), layout);
  double plainSeconds = SecondsSince(start);

  for (const auto& shown : platform::ShownMessages()) {
    std::fprintf(stderr, "%s\n", shown.text.c_str());
  }
  const auto& t = s.generationTimes;
  std::printf(
      "status=%s nodes=%zu edges=%zu frames=%zu inputs=%.3f converter=%.3f filtering=%.3f "
      "dot=%.3f reading=%.3f plain=%.3f total=%.3f\n",
      platform::GetGadgetText(workbench::Text_Main_Status).c_str(), s.graph.layout.nodes.size(),
      s.graph.layout.edges.size(), s.graph.Frames.size(), t.inputs, t.converter, t.filtering, t.dot,
      t.reading, plainSeconds, total);
  std::error_code ignored;
  std::filesystem::remove_all(home, ignored);
  return platform::GetGadgetText(workbench::Text_Main_Status) == "OK" ? 0 : 1;
}
