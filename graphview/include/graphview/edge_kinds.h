// The kind of behaviour an edge stands for, recovered from one line of text: an edge line of
// the graph DOT file or an edge line of dot's plain layout.
#pragma once
#include <string>
#include <string_view>

namespace graphview {

enum EdgeType : int {
  EDGETYPE_NoEdge = -1,  // the line is no edge line in either form
  EDGETYPE_Unknown = 0,  // an edge line of no known kind
  EDGETYPE_HasThread = 1,
  EDGETYPE_CreateProcess = 2,
  EDGETYPE_IsBasedOn = 3,
  EDGETYPE_KillOwnProcess = 4,
  EDGETYPE_KillForeignProcess = 5,
  EDGETYPE_CreateThread = 6,
  EDGETYPE_InjectThread = 7,
  EDGETYPE_CreateFile = 8,
  EDGETYPE_DeleteFile = 9,
  EDGETYPE_RenameFrom = 10,
  EDGETYPE_RenameTo = 11,
  EDGETYPE_Rename = 12,
  EDGETYPE_LoadsImage = 13,
  EDGETYPE_ReadFile = 14,
  EDGETYPE_WriteFile = 15,
  EDGETYPE_GetValue = 16,
  EDGETYPE_SetValue = 17,
  EDGETYPE_SetAsValue = 18,
  EDGETYPE_Send = 19,
  EDGETYPE_Receive = 20,
};

// The parts of an edge line, each trimmed; label without its quotes.
struct EdgeLineParts {
  std::string tail;
  std::string head;
  std::string label;
  std::string style;
  std::string color;
};

// False when the line is an edge line in neither form.
bool ParseEdgeLine(std::string_view line, EdgeLineParts& parts);

// The kind an edge line's parts stand for (0 when none).
int ClassifyEdgeLine(const EdgeLineParts& parts);

// The kind of the line; remembered per exact line text until the cache is cleared.
int GetEdgeType(std::string_view line);

// Each graph generation starts with an empty memory of kinds, so the lines of earlier graphs
// do not pile up for the whole run.
void ClearEdgeTypeCache();

}  // namespace graphview
