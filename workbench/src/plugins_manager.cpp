// The plugins manager: every plugin with its state, and one plugin's details on a double click.
#include "gui/list_icon_requester.h"
#include "gui/pick_list_markup.h"
#include "tolvek/callstack.h"
#include "workbench/filter_rules.h"
#include "workbench/plugin_host.h"
#include "workbench/workbench_state.h"

namespace workbench {
namespace {

constexpr int64_t kManagerFlags = gui::LIR_RememberGeometry | gui::LIR_SearchField |
                                  gui::LIR_CopyMenu | gui::LIR_ExpandCell | gui::LIR_DisableParent;

std::string Row(std::string_view attribute, std::string_view value) {
  return std::string(attribute) + "|" + gui::ListIconCell(value) + "\n";
}

std::string DetailItems(const plugins::PluginRecord& r) {
  std::string rows = Row("Name", r.Name) + Row("Author", r.Author) +
                     Row("Description", r.Description) + Row("Version", r.Version) +
                     Row("Type", r.Type);
  for (const std::string& event : r.Events) rows += Row("Event", event);
  rows += Row("LvpFile", r.LvpFile) + Row("Architecture", r.Architecture) + Row("File", r.File) +
          Row("Priority", std::to_string(r.Priority)) +
          Row("RunExclusively", std::to_string(r.RunExclusively)) +
          Row("RunHidden", std::to_string(r.RunHidden)) +
          Row("CanBeVerified", std::to_string(r.CanBeVerified)) +
          Row("CanOverrideOtherPlugins", std::to_string(r.CanOverrideOtherPlugins)) +
          Row("CanOverrideLumivex", std::to_string(r.CanOverrideLumiVex)) +
          Row("IsDeactivated", std::to_string(r.IsDeactivated));
  // Each further line of the message is a row of its own.
  std::string message;
  for (size_t start = 0; start <= r.DeactivationMessage.size();) {
    const size_t end = r.DeactivationMessage.find('\n', start);
    const std::string line = r.DeactivationMessage.substr(start, end - start);
    message += start == 0 ? Row("DeactivationMessage", line) : gui::ListIconCell(line) + "\n";
    if (end == std::string::npos) break;
    start = end + 1;
  }
  rows += message;
  while (!rows.empty() && rows.back() == '\n') rows.pop_back();
  return "{{{disabled}}}" + rows;
}

}  // namespace

void OpenPluginsManager() {
  TOLVEK_TRACE("OpenPluginsManager");
  const std::vector<plugins::PluginRecord>& list = PluginHost().Plugins;
  std::string items;
  for (size_t i = 0; i < list.size(); ++i) {
    const plugins::PluginRecord& r = list[i];
    if (i) items += '\n';
    items += r.IsDeactivated ? "{{color:red}}" : "{{color:green}}";
    items += std::to_string(i) + "|" + gui::ListIconCell(r.Name) + "|" + gui::ListIconCell(r.Type) +
             "|" + gui::ListIconCell(r.Version) + "|" + gui::ListIconCell(r.Author);
  }
  const std::string answer = gui::ListIconRequester(
      "Plugins-Manager", "Loaded plugins ...", "Doubleclick to view details ...",
      "|Name|Type|Version|Author", "0|*|150|50|100", items, "", Window_Main, kManagerFlags,
      "pluginmanager");
  const std::vector<std::string> cells = gui::ResolveRowEscapes(answer);
  if (cells.size() != 5) return;
  size_t position = 0;
  try {
    position = std::stoul(cells[0]);
  } catch (...) {
    return;
  }
  if (position >= list.size()) return;
  gui::ListIconRequester("Plugins-Manager", "Plugin details ...", " ", "Attribute|Value", "200|*",
                         DetailItems(list[position]), "", Window_Main, kManagerFlags,
                         "pluginmanager");
}

}  // namespace workbench
