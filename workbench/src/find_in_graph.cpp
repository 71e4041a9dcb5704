// Find in graph: every node and edge that holds the analyst's text becomes a highlight.
#include "workbench/find_in_graph.h"

#include <string>

#include "graphview/graph_model.h"
#include "gui/input_requester_with_history.h"
#include "platform/text_case.h"
#include "tolvek/callstack.h"
#include "tolvek/hex_form.h"
#include "tolvek/preferences.h"
#include "tolvek/temp_files.h"
#include "workbench/stages.h"
#include "workbench/workbench_state.h"

namespace workbench {

namespace detail {

std::u32string FoldForFind(std::string_view utf8, bool lineBreakEscapes) {
  if (!lineBreakEscapes || utf8.find("\\n") == std::string_view::npos) {
    return platform::LowerCaseCodePoints(utf8);
  }
  std::string plain;
  plain.reserve(utf8.size());
  for (size_t i = 0; i < utf8.size(); ++i) {
    if (utf8[i] == '\\' && i + 1 < utf8.size() && utf8[i + 1] == 'n') {
      plain.push_back(' ');
      ++i;
    } else {
      plain.push_back(utf8[i]);
    }
  }
  return platform::LowerCaseCodePoints(plain);
}

bool OccursIn(const std::u32string& folded, std::string_view utf8, bool lineBreakEscapes) {
  if (folded.empty() || utf8.empty()) return false;
  return FoldForFind(utf8, lineBreakEscapes).find(folded) != std::u32string::npos;
}

}  // namespace detail

namespace {

constexpr int64_t kFindRequesterFlags = 351;

// The node's entries: one for its label or name, else one per detail value that holds the
// text. The details file is open, when there is one.
void FindInNode(graphview::GraphModel& model, graphview::GraphNode& node,
                const std::u32string& text, bool details) {
  if (detail::OccursIn(text, node.label, true) || detail::OccursIn(text, node.name, true)) {
    model.Highlights.push_back({&node, nullptr});
    return;
  }
  if (!details || !tolvek::PreferenceGroupHexified(node.name)) return;
  if (!tolvek::ExaminePreferenceKeys()) return;
  while (tolvek::NextPreferenceKey()) {
    if (detail::OccursIn(text, tolvek::PreferenceKeyValue(), false)) {
      model.Highlights.push_back({&node, nullptr});
    }
  }
}

}  // namespace

void ClearHighlights() {
  State().graph.Highlights.clear();
}

void FindInGraph() {
  TOLVEK_TRACE("FindInGraph");
  WorkbenchState& s = State();
  const std::string typed = gui::InputRequesterWithHistory(
      "LumiVEX", "Find in graph ...", "", "", Window_Main, kFindRequesterFlags,
      "lumivex-find-in-graph", gui::kNoHistoryLimit);
  const std::u32string text = detail::FoldForFind(typed, false);
  graphview::GraphModel& model = s.graph;
  model.Highlights.clear();
  // Read once for the whole search; without it the labels and names are still searched.
  const bool details =
      !text.empty() &&
      tolvek::OpenPreferences(tolvek::GetTempFilePath(s.files.graphFileDot) + ".lumivex");
  if (!text.empty()) {
    for (graphview::GraphNode& node : model.layout.nodes) FindInNode(model, node, text, details);
  }
  if (details) tolvek::ClosePreferences();
  if (!text.empty()) {
    for (graphview::GraphEdge& edge : model.layout.edges) {
      if (detail::OccursIn(text, edge.label, true)) model.Highlights.push_back({nullptr, &edge});
    }
  }
  // Highlights are drawn over the kept picture of the graph, which stays as it is.
  RedrawGraph(true);
}

}  // namespace workbench
