// The three inputs beside their fields in the main window: the log and the capture picked
// in file dialogs, the launcher picked from the processes the log shows.
#include <sys/stat.h>

#include <chrono>
#include <string>
#include <thread>

#include "gui/list_icon_requester.h"
#include "gui/wait_requester.h"
#include "platform/window_system.h"
#include "tolvek/callstack.h"
#include "tolvek/file_read.h"
#include "tolvek/memory.h"
#include "workbench/gadgets.h"
#include "workbench/launcher_scan.h"
#include "workbench/plugin_events.h"
#include "workbench/stages.h"
#include "workbench/workbench_state.h"

namespace workbench {
namespace {

constexpr const char* kTitle = "LumiVEX";
// A log another program holds is tried again for about a second before the analyst is told.
constexpr int kReadAttempts = 5;
constexpr auto kReadPause = std::chrono::milliseconds(200);

// The whole log in memory; null when it is missing or empty (nothing to scan) or could not
// be read (then the analyst has been told).
tolvek::MemoryPtr ReadLog(const std::string& path) {
  for (int attempt = 1;; ++attempt) {
    tolvek::MemoryPtr block(tolvek::ReadFile2Memory(path));
    if (block) return block;
    struct stat st;
    if (stat(path.c_str(), &st) != 0 || (S_ISREG(st.st_mode) && st.st_size == 0)) return nullptr;
    // A FIFO or a device is no log, however often it is tried.
    if (attempt == kReadAttempts || !S_ISREG(st.st_mode)) {
      platform::MessageRequester(kTitle, "Could not read Procmon file!");
      return nullptr;
    }
    std::this_thread::sleep_for(kReadPause);
  }
}

void SelectLauncher() {
  TOLVEK_TRACE("SelectLauncher");
  tolvek::MemoryPtr block = ReadLog(platform::GetGadgetText(String_Main_ProcmonFile));
  if (!block) return;
  std::string_view log(static_cast<const char*>(block.get()),
                       static_cast<size_t>(tolvek::MemorySize(block.get())));

  platform::DisableWindow(Window_Main, true);
  gui::StartWaitRequester("Analyzing procmon file ...", 0, Window_Main, true);
  LauncherScan scan = ScanLaunchers(log, [](int64_t position, int64_t size) {
    return gui::UpdateWaitRequester(1, "", position, size, gui::kNoLogLine) != 0;
  });
  gui::StopWaitRequester();
  block.reset();
  if (!scan.headerOk) {
    platform::MessageRequester(kTitle,
                               "Procmon file has an unknown format!\nDid you pre-configure "
                               "Procmon as mentioned in our installation guide in the readme?");
  } else if (!scan.cancelled) {
    std::string answer = gui::ListIconRequester(
        kTitle, "Select the first relevant process ...", "", "BytePos|PID|Processname", "0|50|*",
        LauncherListItems(scan), platform::GetGadgetText(String_Main_Launcher), Window_Main,
        gui::LIR_DisableParent | gui::LIR_SearchField | gui::LIR_RememberGeometry, "");
    if (answer != "***CANCEL***") {
      // The empty first row stands for no launcher.
      std::string_view trimmed = answer;
      while (!trimmed.empty() && trimmed.front() == ' ') trimmed.remove_prefix(1);
      while (!trimmed.empty() && trimmed.back() == ' ') trimmed.remove_suffix(1);
      bool none = trimmed == "||";
      platform::SetGadgetText(String_Main_Launcher, none ? "" : answer);
    }
  }
  platform::DisableWindow(Window_Main, false);
}

}  // namespace

void PickFileForField(int field, const std::string& title, const std::string& pattern) {
  std::string chosen =
      platform::OpenFileRequester(title, platform::GetGadgetText(field), pattern, 0);
  // "" is the answer of a cancelled dialog, never a file anyone chose.
  if (!chosen.empty()) platform::SetGadgetText(field, chosen);
}

void HandleInputButton(int gadget) {
  TOLVEK_TRACE("HandleInputButton");
  WorkbenchState& s = State();
  const char* event = gadget == Button_Main_ProcmonFile   ? "ProcmonButtonClick"
                      : gadget == Button_Main_WindumpFile ? "WindumpButtonClick"
                                                          : "LauncherButtonClick";
  WithPluginEvents(event, [&] {
    switch (gadget) {
      case Button_Main_ProcmonFile:
        PickFileForField(String_Main_ProcmonFile, "Select a procmon.csv file to work with ...",
                         "Procmon-CSV (*.CSV)|*.CSV;*.csv");
        break;
      case Button_Main_WindumpFile:
        // A .pcap file is of use only when tcpdump can turn it into text.
        PickFileForField(String_Main_WindumpFile, "Select a windump.txt file to work with ...",
                         s.options.windumpExecutable.empty()
                             ? "Windump-TXT (*.txt)|*.txt"
                             : "Windump-PCAP (*.pcap)|*.pcap|Windump-TXT (*.txt)|*.txt");
        break;
      default:
        SelectLauncher();
        break;
    }
    s.inputChanged = true;
  });
}

}  // namespace workbench
