// The render options applied to the converter's DOT file, and dot's command line.
#pragma once
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

namespace graphview {

// A box that is off drops the lines it names.
struct RenderOptions {
  bool registry = true;
  bool registryNonAutostart = true;
  bool registryGet = true;
  bool registrySet = true;
  bool files = true;
  bool filesBulkCategories = true;
  bool filesRead = true;
  bool filesWrite = true;
  bool filesCreate = true;
  bool filesDelete = true;
  bool filesBasedOn = true;
  bool filesLoads = true;
};

struct FilteredGraph {
  std::string graphDot;  // header and kept lines, as the converter wrote them
  // The same lines for dot: edge labels of the label mode, and every label as the canvas
  // draws it (hidden characters written out), so dot sizes boxes for the drawn text.
  std::string layoutDot;
  // Quoted ids of the file and registry nodes that kept edge lines name.
  std::unordered_set<std::string> usedIds;
};

// First pass: drops the lines the render options exclude. Lines end with CR LF.
FilteredGraph FilterGraphDot(std::string_view dotText, const std::vector<std::string>& autostartIds,
                             const RenderOptions& options, std::string_view labelMode);

// Second pass, on the graph DOT file only: drops the node lines of files and registry keys
// that no kept edge names.
std::string DropUnusedNodes(std::string_view graphDot,
                            const std::unordered_set<std::string>& usedIds);

// dot run on the layout DOT file, writing the plain layout; the temporary folder is its
// working folder.
std::vector<std::string> DotArguments(const std::string& plainPath,
                                      const std::string& layoutDotPath);

}  // namespace graphview
