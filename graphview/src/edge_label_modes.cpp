#include "graphview/edge_label_modes.h"

#include "graphview/edge_kinds.h"
#include "text_lines.h"
#include "tolvek/callstack.h"

namespace graphview {
namespace {

// Short, Long and Extensive words of kinds 1 to 18; nullptr keeps the converter's label.
struct ModeWords {
  const char* shortWord;
  const char* longWord;
  const char* extensiveWord;
};

constexpr ModeWords kWords[] = {
    {"has", "has thread", "has thread"},
    {"create", "create process", "create process"},
    {"based on", "is based on", "is based on"},
    {"kill", "kill own process", "kill own process"},
    {"kill", "kill foreign process", "kill foreign process"},
    {"create", "create thread", "create thread"},
    {"inject", "inject thread", "inject thread"},
    {"create", "create file", "create file"},
    {"delete", "delete file", "delete file"},
    {"rename", "rename from", "rename from"},
    {"rename", "rename to", "rename to"},
    {"rename", "rename", "rename"},
    {"load", "load as module", "load as module"},
    {"", "", "read file"},
    {"", "", "write file"},
    {"", "", "get value"},
    {"", "", "set value"},
    {"set", "set as value", "set as value"},
};

}  // namespace

std::string ApplyEdgeLabelMode(std::string_view line, std::string_view mode) {
  TOLVEK_TRACE("ApplyEdgeLabelMode");
  std::string result(line);
  bool none = mode == "None";
  int column = mode == "Short" ? 0 : mode == "Long" ? 1 : mode == "Extensive" ? 2 : -1;
  if (!none && column < 0) return result;
  EdgeLineParts parts;
  if (!ParseEdgeLine(line, parts)) return result;
  // Classified from the parts already parsed, rather than parsing the line a second time.
  int kind = ClassifyEdgeLine(parts);
  std::string label = parts.label;
  if (none) {
    if (kind != EDGETYPE_Send && kind != EDGETYPE_Receive) label.clear();
  } else if (kind >= EDGETYPE_HasThread && kind <= EDGETYPE_SetAsValue) {
    const ModeWords& w = kWords[kind - 1];
    label = column == 0 ? w.shortWord : column == 1 ? w.longWord : w.extensiveWord;
  }
  if (label == parts.label) return result;
  result = detail::ReplaceAll(result, "[label = \"" + parts.label + "\", ",
                              "[label = \"" + label + "\", ");
  return result;
}

}  // namespace graphview
