#include "graphview/edge_kinds.h"

#include <gtest/gtest.h>

#include <string>

#include "graphview/edge_label_modes.h"

namespace graphview {
namespace {

std::string DotEdge(const std::string& tail, const std::string& head, const std::string& label,
                    const std::string& style, const std::string& color,
                    const std::string& fontcolor = "") {
  std::string line = "  \"" + tail + "\" -> \"" + head + "\"    [label = \"" + label +
                     "\", style = " + style + ", arrowhead = vee, ";
  if (!fontcolor.empty()) line += "fontcolor = " + fontcolor + ", ";
  return line + "color = " + color + ", penwidth = 1]; // 9:41:03.6120458 AM";
}

std::string PlainEdge(const std::string& tail, const std::string& head, const std::string& tail2) {
  return "edge \"" + tail + "\" \"" + head + "\" 4 1.5 2 3 4 5 6 7 8 " + tail2;
}

TEST(EdgeKinds, EveryKindFromDotLines) {
  struct Case {
    std::string tail, head, style, color;
    int kind;
  } cases[] = {
      {"PROCESS:1-n1", "THREAD:1-n1:2-n1", "solid", "black", EDGETYPE_HasThread},
      {"PROCESS:1-n1", "THREAD:1-n1:2-n1", "solid", "gray", EDGETYPE_HasThread},
      {"PROCESS:1-n1", "THREAD:1-n1:2-n1", "solid", "blue", EDGETYPE_Unknown},
      {"PROCESS:1-n1", "THREAD:1-n1:2-n1", "solid", "", EDGETYPE_Unknown},
      {"THREAD:1-n1:2-n1", "PROCESS:3-n2", "bold", "magenta", EDGETYPE_CreateProcess},
      {"PROCESS:1-n1", "FILE:c:\\\\a.exe", "bold", "black", EDGETYPE_IsBasedOn},
      {"THREAD:1-n1:2-n1", "PROCESS:1-n1", "bold", "orange", EDGETYPE_KillOwnProcess},
      {"THREAD:1-n1:2-n1", "PROCESS:3-n2", "bold", "orange", EDGETYPE_KillForeignProcess},
      {"THREAD:1-n1:2-n1", "THREAD:1-n1:4-n2", "bold", "magenta", EDGETYPE_CreateThread},
      {"THREAD:1-n1:2-n1", "THREAD:3-o1:4-n2", "bold", "magenta", EDGETYPE_InjectThread},
      {"THREAD:1-n1:2-n1", "FILE:c:\\\\a", "bold", "magenta", EDGETYPE_CreateFile},
      {"THREAD:1-n1:2-n1", "FILE:c:\\\\a", "bold", "orange", EDGETYPE_DeleteFile},
      {"THREAD:1-n1:2-n1", "FILE:c:\\\\a", "dashed", "orange", EDGETYPE_RenameFrom},
      {"THREAD:1-n1:2-n1", "FILE:c:\\\\b", "dashed", "magenta", EDGETYPE_RenameTo},
      {"FILE:c:\\\\a", "FILE:c:\\\\b", "bold", "magenta", EDGETYPE_Rename},
      {"THREAD:1-n1:2-n1", "FILE:c:\\\\a.dll", "bold", "blueviolet", EDGETYPE_LoadsImage},
      {"THREAD:1-n1:2-n1", "FILE:c:\\\\a", "bold", "green", EDGETYPE_ReadFile},
      {"THREAD:1-n1:2-n1", "FILE:c:\\\\a", "bold", "red", EDGETYPE_WriteFile},
      {"THREAD:1-n1:2-n1", "REGISTRYKEY:hklm\\\\x", "bold", "green", EDGETYPE_GetValue},
      {"THREAD:1-n1:2-n1", "REGISTRY", "bold", "green", EDGETYPE_GetValue},
      {"THREAD:1-n1:2-n1", "REGISTRY (AUTOSTART!)", "bold", "red", EDGETYPE_SetValue},
      {"REGISTRYKEY:hkcu\\\\run\\\\x", "FILE:c:\\\\a", "bold", "yellow", EDGETYPE_SetAsValue},
      {"PROCESS:1-n1", "SERVER:10.0.0.1", "bold", "red", EDGETYPE_Send},
      {"PROCESS:1-n1", "SERVER:10.0.0.1", "bold", "green", EDGETYPE_Receive},
      {"SERVER:10.0.0.1", "PROCESS:1-n1", "bold", "green", EDGETYPE_Unknown},
  };
  ClearEdgeTypeCache();
  for (const Case& c : cases) {
    std::string line = DotEdge(c.tail, c.head, "x", c.style, c.color);
    EXPECT_EQ(GetEdgeType(line), c.kind) << line;
    // The repeat form and an attribute list with a font colour of another kind.
    EXPECT_EQ(GetEdgeType("//   " + line.substr(2)), c.kind) << line;
    EXPECT_EQ(GetEdgeType(DotEdge(c.tail, c.head, "", c.style, c.color, "green")), c.kind) << line;
  }
}

TEST(EdgeKinds, PlainLinesAndLinesThatAreNoEdges) {
  ClearEdgeTypeCache();
  struct Case {
    std::string line;
    int kind;
  } cases[] = {
      {PlainEdge("THREAD:1-n1:2-n1", "FILE:c:\\\\a b", "bold green"), EDGETYPE_ReadFile},
      {PlainEdge("THREAD:1-n1:2-n1", "FILE:c:\\\\a", "\"read it\" 3.5 4.5 bold green"),
       EDGETYPE_ReadFile},
      {PlainEdge("PROCESS:1-n1", "THREAD:1-n1:2-n1", "\"has thread\" 1 2 solid gray"),
       EDGETYPE_HasThread},
      {PlainEdge("THREAD:1-n1:2-n1", "PROCESS:1-n1", "bold orange"), EDGETYPE_KillOwnProcess},
      {"edge a b 2 1 2 3 4 bold green", EDGETYPE_Unknown},
      {"  \"PROCESS:1-n1\"   [label = \"a.exe\\n(PID: 1)\", shape = box, fontcolor = red];",
       EDGETYPE_NoEdge},
      {"digraph G {", EDGETYPE_NoEdge},
      {"}", EDGETYPE_NoEdge},
      {"", EDGETYPE_NoEdge},
      {"node \"PROCESS:1\" 1 2 3 4 label filled box black gray", EDGETYPE_NoEdge},
  };
  for (const Case& c : cases) EXPECT_EQ(GetEdgeType(c.line), c.kind) << c.line;
}

TEST(EdgeLabelModes, LabelsPerModeAndLinesLeftAlone) {
  ClearEdgeTypeCache();
  const std::string create =
      DotEdge("THREAD:1-n1:2-n1", "PROCESS:3-n2", "create process", "bold", "magenta");
  const std::string write = DotEdge("THREAD:1-n1:2-n1", "FILE:c:\\\\a", "", "bold", "red");
  const std::string setAs =
      DotEdge("REGISTRYKEY:hkcu\\\\x", "FILE:c:\\\\a", "set as value", "bold", "yellow");
  const std::string send =
      DotEdge("PROCESS:1-n1", "SERVER:10.0.0.1", "TCP 49712>80", "bold", "red");
  const std::string loads =
      DotEdge("THREAD:1-n1:2-n1", "FILE:c:\\\\a.dll", "loads", "bold", "blueviolet");
  const std::string unknown = DotEdge("SERVER:1", "PROCESS:1", "odd", "bold", "green");
  auto label = [](const std::string& line, const std::string& mode) {
    std::string out = ApplyEdgeLabelMode(line, mode);
    size_t at = out.find("[label = \"") + 10;
    return out.substr(at, out.find('"', at) - at);
  };
  struct Case {
    const std::string& line;
    const char* mode;
    const char* label;
  } cases[] = {
      {create, "Default", "create process"},
      {create, "None", ""},
      {create, "Short", "create"},
      {create, "Long", "create process"},
      {create, "short", "create process"},
      {create, "", "create process"},
      {write, "Short", ""},
      {write, "Extensive", "write file"},
      {write, "None", ""},
      {setAs, "Short", "set"},
      {send, "None", "TCP 49712>80"},
      {send, "Extensive", "TCP 49712>80"},
      {loads, "Default", "loads"},
      {loads, "Long", "load as module"},
      {unknown, "None", ""},
      {unknown, "Short", "odd"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(label(c.line, c.mode), c.label) << c.mode << ": " << c.line;
  }
  // The repeat form is rewritten too; only the label changes.
  std::string repeat = "//   " + create.substr(2);
  std::string shortRepeat = repeat;
  shortRepeat.replace(shortRepeat.find("create process"), 14, "create");
  EXPECT_EQ(ApplyEdgeLabelMode(repeat, "Short"), shortRepeat);
  for (const char* line : {"digraph G {", "}", "subgraph clusterOnlyInPcap { label = \"x\";",
                           "  \"FILE:c:\\\\a\"   [label = \"C:\\\\a\", shape = note];",
                           "edge \"A\" \"B\" 4 1 2 3 4 5 6 7 8 \"has thread\" 1 2 solid gray"}) {
    for (const char* mode : {"None", "Short", "Long", "Extensive"}) {
      EXPECT_EQ(ApplyEdgeLabelMode(line, mode), line) << mode;
    }
  }
}

}  // namespace
}  // namespace graphview
