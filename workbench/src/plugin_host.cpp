// The plugin host in the workbench: what a plugin is handed, when it runs and what it leaves.
#include "workbench/plugin_host.h"

#include <sys/stat.h>

#include <chrono>
#include <thread>

#include "gui/edit_text_requester.h"
#include "gui/list_icon_requester.h"
#include "gui/pick_list_markup.h"
#include "gui/wait_requester.h"
#include "platform/window_system.h"
#include "plugins/plugin_descriptions.h"
#include "plugins/plugin_environment.h"
#include "plugins/plugin_results.h"
#include "plugins/plugin_runner.h"
#include "tolvek/callstack.h"
#include "tolvek/temp_files.h"
#include "workbench/filter_rules.h"
#include "workbench/gadgets.h"
#include "workbench/stages.h"
#include "workbench/workbench_state.h"

namespace workbench {
namespace {

using plugins::PluginRecord;

PluginRecord& Current() {
  return PluginHost().Plugins[PluginHost().current];
}

bool Overrides(const PluginRecord& record) {
  return record.CanOverrideLumiVex || record.CanOverrideOtherPlugins;
}

std::string TempPath(int64_t id) {
  return id ? tolvek::GetTempFilePath(id) : "";
}

plugins::WorkbenchSnapshot Snapshot() {
  const WorkbenchState& s = State();
  plugins::WorkbenchSnapshot snapshot;
  snapshot.sessionFile = s.sessionFile;
  snapshot.sessionSavePending = IsSessionSavePending();
  snapshot.windumpExecutable = s.options.windumpExecutable;
  snapshot.dotExecutable = s.options.dotExecutable;
  snapshot.procmonFile = platform::GetGadgetText(String_Main_ProcmonFile);
  snapshot.windumpFile = platform::GetGadgetText(String_Main_WindumpFile);
  snapshot.graphFileDot = TempPath(s.files.graphFileDot);
  snapshot.graphFileDot4Render = TempPath(s.files.graphFileDot4Render);
  snapshot.graphFilePng = TempPath(s.files.graphFilePng);
  snapshot.graphFileTxt = TempPath(s.files.graphFileTxt);
  // A new graph forgets the clicked node, so these never describe a node no longer drawn.
  if (const graphview::GraphNode* node = s.graph.CurrentNode) {
    plugins::NodeVariables n;
    n.name = node->name;
    n.x = node->x;
    n.y = node->y;
    n.width = node->width;
    n.height = node->height;
    n.label = node->label;
    n.style = node->style;
    n.shape = node->shape;
    n.color = node->color;
    n.fillcolor = node->fillcolor;
    n.details = NodeDetailsShown(n.name);
    snapshot.currentNode = std::move(n);
  }
  return snapshot;
}

// The Plugins menu's items of the plugins deactivated since the menu was filled go grey.
void DisableDeactivatedItems() {
  const PluginHostState& host = PluginHost();
  for (int n = 1; n <= 9; ++n) {
    const int bound = host.menuItems[n - 1];
    if (bound >= 0 && host.Plugins[bound].IsDeactivated) {
      platform::DisableMenuItem(Menu_Plugins, MenuItem_PluginsManager + n, true);
    }
  }
}

// Starts the record's program in directory; one that cannot start, or that other users
// could have changed since it was checked, is deactivated with the reason.
bool Start(PluginRecord& record, const plugins::Variables& variables, const std::string& directory,
           tolvek::Program& program) {
  std::string unsafe;
  if (plugins::StartPluginProgram(record, State().options.pluginsPath, variables, directory,
                                  program, unsafe)) {
    return true;
  }
  plugins::Deactivate(record, unsafe.empty() ? "Can't run program!" : plugins::UnsafeLine(unsafe));
  DisableDeactivatedItems();
  return false;
}

int64_t FileSize(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 ? static_cast<int64_t>(st.st_size) : 0;
}

constexpr int64_t kListFlags = gui::LIR_RememberGeometry | gui::LIR_SearchField |
                               gui::LIR_CopyMenu | gui::LIR_ExpandCell | gui::LIR_StayOnTop;

void ShowXmlResult(const std::string& path) {
  const std::optional<plugins::XmlListResult> list =
      plugins::ParseXmlResult(plugins::ReadResultText(path, true));
  if (!list) return;
  gui::ListIconRequester(list->title, list->message, list->submitMessage, list->columns,
                         list->widths, list->items, "", Window_Main, kListFlags,
                         list->stateStoreName);
}

void ShowTextResult(const PluginRecord& record, const std::string& path) {
  constexpr int64_t kFlags = gui::ETR_RememberGeometry | gui::ETR_StayOnTop | gui::ETR_MenuSaveAs |
                             gui::ETR_KeepDiscard | gui::ETR_MenuBar | gui::ETR_ToolBar |
                             gui::ETR_StatusBar | gui::ETR_ScreenCentered | gui::ETR_EscapeCloses |
                             gui::ETR_ReadOnly;
  gui::EditTextRequesterFromString(record.Name, plugins::ReadResultText(path, false), Window_Main,
                                   kFlags, "PluginResultTXT-" + record.Name);
}

std::string JoinedCells(const std::vector<std::string>& cells, bool escape) {
  std::string out;
  for (size_t i = 0; i < cells.size(); ++i) {
    if (i) out += '|';
    out += escape ? gui::ListIconCell(cells[i]) : cells[i];
  }
  return out;
}

void ShowCsvResult(const PluginRecord& record, const std::string& path) {
  const plugins::CsvResult csv = plugins::ParseCsvResult(plugins::ReadResultText(path, false));
  std::string items;
  for (size_t i = 0; i < csv.rows.size(); ++i) {
    if (i) items += '\n';
    items += JoinedCells(csv.rows[i], true);
  }
  gui::ListIconRequester(record.Name, "", " ", JoinedCells(csv.titles, false),
                         JoinedCells(csv.widths, false), items, "", Window_Main, kListFlags, "");
}

// The first result file with something in it, XML before text before CSV.
void ShowResult(const PluginRecord& record, const std::string (&paths)[3]) {
  if (FileSize(paths[0]) > 0) {
    ShowXmlResult(paths[0]);
  } else if (FileSize(paths[1]) > 0) {
    ShowTextResult(record, paths[1]);
  } else if (FileSize(paths[2]) > 0) {
    ShowCsvResult(record, paths[2]);
  }
}

// The plugin programs left running on their own, collected once they have ended. They run on
// when the workbench ends, as any program started on its own would.
tolvek::ProgramReaper& RunningOnTheirOwn() {
  static tolvek::ProgramReaper reaper;
  return reaper;
}

// Waits for a program the workbench needs the end of, in the wait window; Cancel kills it
// and what it started, and so does the program's end, which the wait window passes on as a
// Cancel. False when the analyst cancelled.
bool WaitInWindow(tolvek::Program& program) {
  gui::StartWaitRequester("Plugin running ...", 1000, Window_Main, true);
  bool cancelled = false;
  while (!tolvek::WaitProgram(program, 0)) {
    if (gui::UpdateWaitRequester(2, "Plugin running ...", 0, 0, gui::kNoLogLine) == 0) {
      tolvek::KillProgram(program);
      cancelled = true;
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  gui::StopWaitRequester();
  return !cancelled;
}

}  // namespace

PluginHostState& PluginHost() {
  static PluginHostState host;
  return host;
}

void LoadPlugins() {
  TOLVEK_TRACE("LoadPlugins");
  PluginHostState& host = PluginHost();
  host = PluginHostState{};
  host.Plugins = plugins::LoadPluginList(State().options.pluginsPath);
  for (int n = 1; n <= 9; ++n) {
    platform::DisableMenuItem(Menu_Plugins, MenuItem_PluginsManager + n, true);
  }
  int n = 0;
  for (size_t i = 0; i < host.Plugins.size() && n < 9; ++i) {
    const PluginRecord& record = host.Plugins[i];
    if (record.Type != "MainMenuItem" || record.IsDeactivated) continue;
    ++n;
    // The item stays with this record for the whole run.
    host.menuItems[n - 1] = static_cast<int>(i);
    platform::SetMenuItemText(Menu_Plugins, MenuItem_PluginsManager + n,
                              std::to_string(n) + ": " + record.Name);
    platform::DisableMenuItem(Menu_Plugins, MenuItem_PluginsManager + n, false);
  }
}

size_t ReapPluginPrograms() {
  return RunningOnTheirOwn().Reap();
}

uint8_t VerifyPlugin(const std::string& eventName) {
  TOLVEK_TRACE("VerifyPlugin");
  ReapPluginPrograms();
  // Once the program is to end, no plugin starts: one left running would outlive it.
  if (platform::IsEndRequested()) return 0;
  PluginRecord& record = Current();
  uint8_t result = 1;
  plugins::Variables variables = plugins::PluginEnvironment(record, eventName, Snapshot());
  const std::string verification = std::string(plugins::kVariablePrefix) + "VerificationRun";
  std::erase_if(variables, [&](const auto& variable) { return variable.first == verification; });
  variables.emplace_back(verification, "1");
  if (record.CanBeVerified && plugins::IsProgramArchitecture(record.Architecture)) {
    tolvek::Program program;
    if (Start(record, variables, "", program)) result = plugins::ProgramAnswer(program);
  } else if (record.CanBeVerified && plugins::IsLibraryArchitecture(record.Architecture)) {
    result = plugins::CallPluginLibrary(record.VerifyEntry ? record.VerifyEntry : record.CallEntry,
                                        variables);
  }
  plugins::RemovePluginVariables();
  return result;
}

uint8_t RunPlugin(const std::string& eventName) {
  TOLVEK_TRACE("RunPlugin");
  ReapPluginPrograms();
  if (platform::IsEndRequested()) return 0;
  PluginRecord& record = Current();
  plugins::Variables variables = plugins::PluginEnvironment(record, eventName, Snapshot());
  int64_t ids[3] = {};
  std::string paths[3];
  static constexpr const char* kResultNames[3] = {"ResultXML", "ResultTXT", "ResultCSV"};
  for (int i = 0; i < 3; ++i) {
    ids[i] = tolvek::CreateTempFile(true, false, "tmp");
    paths[i] = TempPath(ids[i]);
    variables.emplace_back(std::string(plugins::kVariablePrefix) + kResultNames[i], paths[i]);
  }
  uint8_t result = 0;
  bool show = true;
  if (plugins::IsProgramArchitecture(record.Architecture)) {
    tolvek::Program program;
    if (!Start(record, variables, State().options.pluginsPath, program)) {
      // deactivated, with the reason
    } else if (Overrides(record) || record.RunExclusively) {
      show = WaitInWindow(program);
      const uint8_t answer = plugins::ProgramAnswer(program);
      if (show && Overrides(record)) result = answer;
    } else {
      RunningOnTheirOwn().Adopt(program);
    }
  } else if (plugins::IsLibraryArchitecture(record.Architecture)) {
    const uint8_t answer = plugins::CallPluginLibrary(record.CallEntry, variables);
    if (Overrides(record)) result = answer;
  }
  plugins::RemovePluginVariables();
  if (show) ShowResult(record, paths);
  for (int64_t id : ids) {
    if (id) tolvek::DeleteTempFile(id);
  }
  return result;
}

void FirePluginEvent(const std::string& eventName) {
  TOLVEK_TRACE("FirePluginEvent");
  State().pluginOverrideFlag = false;
  PluginHostState& host = PluginHost();
  for (size_t i = 0; i < host.Plugins.size(); ++i) {
    if (host.Plugins[i].Type != "EventHandler") continue;
    // A copy: the run may deactivate the record, which the walk reads afresh.
    const std::vector<std::string> events = host.Plugins[i].Events;
    for (const std::string& event : events) {
      if (host.Plugins[i].IsDeactivated || event != eventName) continue;
      host.current = i;
      if (VerifyPlugin(eventName) == 0) continue;
      if (RunPlugin(eventName) == 0) continue;
      if (host.Plugins[i].CanOverrideLumiVex) State().pluginOverrideFlag = true;
      if (host.Plugins[i].CanOverrideOtherPlugins) return;
    }
  }
}

std::vector<ContextPlugin> ContextMenuPlugins() {
  TOLVEK_TRACE("ContextMenuPlugins");
  PluginHostState& host = PluginHost();
  auto qualifies = [&host](size_t i) {
    if (host.Plugins[i].Type != "ContextMenuItemForGraph" || host.Plugins[i].IsDeactivated) {
      return false;
    }
    host.current = i;
    return VerifyPlugin("") != 0;
  };
  // Counted first, then added: each candidate is asked both times.
  size_t count = 0;
  for (size_t i = 0; i < host.Plugins.size(); ++i) count += qualifies(i);
  std::vector<ContextPlugin> items;
  if (count == 0) return items;
  for (size_t i = 0; i < host.Plugins.size(); ++i) {
    if (qualifies(i)) items.push_back({static_cast<int>(i), host.Plugins[i].Name});
  }
  return items;
}

void RunMainMenuPlugin(int n) {
  TOLVEK_TRACE("RunMainMenuPlugin");
  PluginHostState& host = PluginHost();
  if (n < 1 || n > 9) return;
  const int bound = host.menuItems[n - 1];
  if (bound < 0 || host.Plugins[bound].IsDeactivated) return;
  host.current = static_cast<size_t>(bound);
  RunPlugin("");
}

void RunPluginAt(int position) {
  TOLVEK_TRACE("RunPluginAt");
  PluginHostState& host = PluginHost();
  if (position < 0 || static_cast<size_t>(position) >= host.Plugins.size()) return;
  // The menu was built before: a plugin deactivated since then does not run.
  if (host.Plugins[position].IsDeactivated) return;
  host.current = static_cast<size_t>(position);
  RunPlugin("");
}

}  // namespace workbench
