// The details the converter recorded for one node, in a pick list over the main window, and
// for a process the list of its threads. The node (and its threads) stay highlighted while
// the lists are open.
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "graphview/dot_attributes.h"
#include "graphview/graph_drawing.h"
#include "gui/list_icon_requester.h"
#include "gui/pick_list_markup.h"
#include "platform/window_system.h"
#include "tolvek/callstack.h"
#include "tolvek/hex_form.h"
#include "tolvek/preferences.h"
#include "tolvek/temp_files.h"
#include "tolvek/visible_text.h"
#include "workbench/stages.h"
#include "workbench/workbench_state.h"

namespace workbench {
namespace {

constexpr int64_t kListFlags =
    gui::LIR_DisableParent | gui::LIR_ExpandCell | gui::LIR_CopyMenu | gui::LIR_RememberGeometry;

using KeyValues = std::vector<std::pair<std::string, std::string>>;

// The field'th (from 0) ":"-separated field of a node id; "" when it has fewer.
std::string IdField(std::string_view id, size_t field) {
  size_t start = 0;
  for (size_t i = 0; i < field; ++i) {
    start = id.find(':', start);
    if (start == std::string_view::npos) return "";
    ++start;
  }
  return std::string(id.substr(start, id.find(':', start) - start));
}

std::string Lower(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
  return out;
}

bool IsTimeKey(std::string_view key) {
  return key.size() >= 4 && Lower(key.substr(key.size() - 4)) == "time";
}

std::string Shown(const std::string& key, const std::string& value) {
  if (!IsTimeKey(key)) return value;
  const WorkbenchState& s = State();
  return graphview::FormatTimestamp(s.graph, value, s.options.showOriginalTimestamps != 0);
}

// Text from the details file shown as it is: nothing in it hidden, and nothing in it read as
// the list's markup.
std::string Cell(std::string_view text, std::string_view style = {}) {
  return gui::ListIconCell(tolvek::VisibleText(text), style);
}

// The current group's keys and values in file order.
KeyValues GroupKeys() {
  KeyValues keys;
  if (!tolvek::ExaminePreferenceKeys()) return keys;
  while (tolvek::NextPreferenceKey()) {
    keys.emplace_back(tolvek::PreferenceKeyName(), tolvek::PreferenceKeyValue());
  }
  return keys;
}

std::string DetailsRows(const KeyValues& keys) {
  std::string rows;
  for (const auto& [key, value] : keys) {
    const bool threads = Lower(key) == "threads";
    rows += threads ? "{{color:black;}}" : "{{color:black;disabled;}}";
    rows += Cell(key) + '|';
    rows += Cell(Shown(key, value), threads ? "color:gray;color:blue;" : "color:gray;");
    rows += '\n';
  }
  return rows;
}

// The threads of the process, relevant ones first in black, then a separator, then the
// others in silver; threads whose relevance is not told are left out.
std::string ThreadRows(const std::string& processPart) {
  std::string relevant, others;
  if (!tolvek::ExaminePreferenceGroups()) return "";
  while (tolvek::NextPreferenceGroup()) {
    const std::string id = tolvek::PreferenceGroupNameHexified();
    if (IdField(id, 0) != "THREAD" || IdField(id, 1) != processPart) continue;
    const std::string relevance = tolvek::ReadPreferenceString("Relevant");
    const bool yes = relevance == "Yes";
    if (!yes && relevance != "No") continue;
    std::string& rows = yes ? relevant : others;
    const char* rowStyle = yes ? "{{color:black;disabled;}}" : "{{color:silver;disabled;}}";
    rows += rowStyle + Cell(IdField(id, 2)) + "||\n";
    for (const auto& [key, value] : GroupKeys()) {
      rows += rowStyle;
      rows += '|' + Cell(key) + '|' + Cell(Shown(key, value), yes ? "color:gray" : "");
      rows += '\n';
    }
  }
  const std::string dashes(64, '-');
  return relevant + "{{color:silver;disabled;}}" + dashes + '|' + dashes + '|' + dashes + '\n' +
         others;
}

// The list shows a row after every LF, so the last row has none.
std::string Items(std::string rows) {
  if (!rows.empty() && rows.back() == '\n') rows.pop_back();
  return rows;
}

void Highlight(graphview::GraphModel& graph, const std::string& name) {
  for (graphview::GraphNode& node : graph.layout.nodes) {
    if (node.name == name) graph.Highlights.push_back({&node, nullptr});
  }
}

void HighlightThreads(graphview::GraphModel& graph, const std::string& processPart) {
  for (graphview::GraphNode& node : graph.layout.nodes) {
    if (IdField(node.name, 0) == "THREAD" && IdField(node.name, 1) == processPart) {
      graph.Highlights.push_back({&node, nullptr});
    }
  }
}

void NoDetailsMessage(const std::string& name, const std::string& label) {
  platform::MessageRequester("Node-Details", "name: " + name + "\nlabel: " + label);
}

}  // namespace

std::optional<std::vector<std::pair<std::string, std::string>>> NodeDetailsShown(
    const std::string& name) {
  const WorkbenchState& s = State();
  if (!s.files.graphFileDot) return std::nullopt;
  if (!tolvek::OpenPreferences(tolvek::GetTempFilePath(s.files.graphFileDot) + ".lumivex")) {
    return std::nullopt;
  }
  std::optional<KeyValues> keys;
  if (tolvek::PreferenceGroupHexified(name) && tolvek::ExaminePreferenceKeys()) {
    keys = GroupKeys();
    for (auto& [key, value] : *keys) value = Shown(key, value);
  }
  tolvek::ClosePreferences();
  return keys;
}

void ShowNodeDetails() {
  TOLVEK_TRACE("ShowNodeDetails");
  WorkbenchState& s = State();
  graphview::GraphModel& graph = s.graph;
  if (!graph.CurrentNode) return;
  const std::string name(graph.CurrentNode->name);
  const std::string label(graph.CurrentNode->label);
  const std::vector<graphview::HighlightEntry> saved = graph.Highlights;
  graph.Highlights.clear();
  Highlight(graph, name);
  RedrawGraph(false);

  const std::string detailsPath = tolvek::GetTempFilePath(s.files.graphFileDot) + ".lumivex";
  // The file is read before each list opens and closed while it is open: nothing else may
  // find it open meanwhile.
  KeyValues keys;
  bool found = false;
  const bool opened = s.files.graphFileDot && tolvek::OpenPreferences(detailsPath);
  if (opened) {
    found = tolvek::PreferenceGroupHexified(name) && tolvek::ExaminePreferenceKeys();
    if (found) keys = GroupKeys();
    tolvek::ClosePreferences();
  }
  if (!found) {
    NoDetailsMessage(name, label);
  } else {
    const std::string message = graphview::ShownLabel(name);
    const std::string chosen =
        gui::ListIconRequester("Details for ...", message, " ", "Key|Value", "150|*",
                               Items(DetailsRows(keys)), "", Window_Main, kListFlags, "");
    if (chosen.substr(0, chosen.find('|')) == "Threads") {
      const std::string processPart = IdField(name, 1);
      std::string rows;
      if (tolvek::OpenPreferences(detailsPath)) {
        rows = ThreadRows(processPart);
        tolvek::ClosePreferences();
      }
      HighlightThreads(graph, processPart);
      RedrawGraph(false);
      gui::ListIconRequester("Threads of ...", message, " ", "TID|Key|Value", "50|150|*",
                             Items(rows), "", Window_Main, kListFlags, "");
    }
  }
  if (s.options.backToSearchAfterDetails) graph.Highlights = saved;
  RedrawGraph(false);
}

}  // namespace workbench
