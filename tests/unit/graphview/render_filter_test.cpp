#include "graphview/render_filter.h"

#include <gtest/gtest.h>

#include <string>

#include "graphview/edge_kinds.h"
#include "graphview/graph_inputs.h"

namespace graphview {
namespace {

std::string Edge(const std::string& tail, const std::string& head, const std::string& label,
                 const std::string& color) {
  return "  \"" + tail + "\" -> \"" + head + "\"    [label = \"" + label +
         "\", style = bold, arrowhead = vee, fontcolor = " + color + ", color = " + color +
         ", penwidth = 1]; // 1:00:00.5\r\n";
}
std::string Node(const std::string& id, const std::string& label) {
  return "  \"" + id + "\"   [label = \"" + label + "\", shape = note, fontcolor = black];\r\n";
}

const std::string kT = "THREAD:1-n1:2-n1";
const std::string kHead = "digraph G {\r\n  rankdir = LR;\r\n   \r\n";
// A read edge whose font colour, not colour, is green must not count as a read.
const std::string kBody =
    Node("PROCESS:1-n1", "a.exe\\n(PID: 1)") +
    Edge("PROCESS:1-n1", "FILE:c:\\\\a.exe", "", "black") + Node("FILE:c:\\\\a.exe", "a") +
    Edge(kT, "FILE:c:\\\\read.txt", "", "green") + Node("FILE:c:\\\\read.txt", "r") + "\r\n" +
    Edge(kT, "FILE:c:\\\\w.txt", "", "red") + Node("FILE:c:\\\\w.txt", "w") +
    Edge(kT, "FILE:c:\\\\new.txt", "create file", "magenta") + Node("FILE:c:\\\\new.txt", "n") +
    Edge(kT, "FILE:c:\\\\l.dll", "loads", "blueviolet") + Node("FILE:c:\\\\l.dll", "l") +
    Edge("FILE:c:\\\\old.txt", "FILE:c:\\\\renamed.txt", "rename", "magenta") +
    Node("FILE:c:\\\\old.txt", "o") + Node("FILE:c:\\\\renamed.txt", "rn") +
    Edge(kT, "FILE:GRAFX", "", "green") + Node("FILE:GRAFX", "GRAFX") +
    Node("FILE:c:\\\\orphan", "orphan") + Edge(kT, "REGISTRYKEY:hkcu\\\\run\\\\x", "", "red") +
    Node("REGISTRYKEY:hkcu\\\\run\\\\x", "HKCU\\\\Run\\\\x\\n(AUTOSTART!)") +
    Edge(kT, "REGISTRYKEY:hklm\\\\y", "", "green") + Node("REGISTRYKEY:hklm\\\\y", "y") +
    Edge(kT, "REGISTRY", "", "green") + Node("REGISTRY", "REGISTRY") +
    Node("REGISTRYKEY:hklm\\\\unused", "u") + "}\r\n";

bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

struct Outputs {
  std::string graph;  // after both passes
  std::string layout;
};

Outputs Filter(const RenderOptions& options, const char* mode = "Default") {
  std::string dot = kHead + kBody;
  FilteredGraph f = FilterGraphDot(dot, CollectAutostartIds(dot), options, mode);
  return {DropUnusedNodes(f.graphDot, f.usedIds), f.layoutDot};
}

TEST(RenderFilter, EverythingOnKeepsLinesAndDropsOnlyUnusedNodesFromTheGraphFile) {
  Outputs out = Filter({});
  std::string withoutBlank = kHead + kBody;
  withoutBlank.erase(withoutBlank.find("\r\n\r\n", kHead.size()), 2);
  EXPECT_EQ(out.layout, withoutBlank);
  std::string expected = withoutBlank;
  for (std::string unused :
       {Node("FILE:c:\\\\orphan", "orphan"), Node("REGISTRYKEY:hklm\\\\unused", "u")}) {
    expected.erase(expected.find(unused), unused.size());
  }
  // The rename's target is named only by the rename edge's head, and stays.
  EXPECT_EQ(out.graph, expected);
}

TEST(RenderFilter, EachBoxDropsItsLines) {
  struct Case {
    const char* name;
    RenderOptions options;
    std::vector<std::string> gone;       // from both files
    std::vector<std::string> unlaidOut;  // node lines gone from the graph file only
    std::vector<std::string> kept;
  } cases[] = {
      {"registry", {.registry = false}, {"REGISTRY"}, {}, {"FILE:c:\\\\w.txt"}},
      {"non-autostart",
       {.registryNonAutostart = false},
       {"hklm\\\\y", "\"REGISTRY\""},
       {},
       {Edge(kT, "REGISTRYKEY:hkcu\\\\run\\\\x", "", "red"),
        Node("REGISTRYKEY:hkcu\\\\run\\\\x", "HKCU\\\\Run\\\\x\\n(AUTOSTART!)")}},
      {"registry get",
       {.registryGet = false},
       {Edge(kT, "REGISTRYKEY:hklm\\\\y", "", "green"), Edge(kT, "REGISTRY", "", "green")},
       {Node("REGISTRYKEY:hklm\\\\y", "y"), Node("REGISTRY", "REGISTRY")},
       {Edge(kT, "REGISTRYKEY:hkcu\\\\run\\\\x", "", "red")}},
      {"registry set",
       {.registrySet = false},
       {Edge(kT, "REGISTRYKEY:hkcu\\\\run\\\\x", "", "red")},
       {"\"REGISTRYKEY:hkcu\\\\run\\\\x\"   ["},
       {"hklm\\\\y"}},
      {"files", {.files = false}, {"FILE:"}, {}, {"REGISTRYKEY:hklm\\\\y"}},
      {"bulk", {.filesBulkCategories = false}, {"FILE:GRAFX"}, {}, {"read.txt"}},
      {"read",
       {.filesRead = false},
       {Edge(kT, "FILE:c:\\\\read.txt", "", "green"), Edge(kT, "FILE:GRAFX", "", "green")},
       {Node("FILE:c:\\\\read.txt", "r"), Node("FILE:GRAFX", "GRAFX")},
       {"w.txt", "REGISTRYKEY:hklm\\\\y"}},
      {"write",
       {.filesWrite = false},
       {Edge(kT, "FILE:c:\\\\w.txt", "", "red")},
       {Node("FILE:c:\\\\w.txt", "w")},
       {"read.txt"}},
      {"create",
       {.filesCreate = false},
       {Edge(kT, "FILE:c:\\\\new.txt", "create file", "magenta")},
       {Node("FILE:c:\\\\new.txt", "n")},
       {"l.dll"}},
      {"based on",
       {.filesBasedOn = false},
       {Edge("PROCESS:1-n1", "FILE:c:\\\\a.exe", "", "black")},
       {Node("FILE:c:\\\\a.exe", "a")},
       {"l.dll"}},
      {"loads",
       {.filesLoads = false},
       {Edge(kT, "FILE:c:\\\\l.dll", "loads", "blueviolet")},
       {Node("FILE:c:\\\\l.dll", "l")},
       {"new.txt"}},
  };
  for (const Case& c : cases) {
    Outputs out = Filter(c.options);
    for (const std::string& g : c.gone) {
      EXPECT_FALSE(Contains(out.graph, g)) << c.name << ": " << g;
      EXPECT_FALSE(Contains(out.layout, g)) << c.name << ": " << g;
    }
    for (const std::string& u : c.unlaidOut) {
      EXPECT_FALSE(Contains(out.graph, u)) << c.name << ": " << u;
      EXPECT_TRUE(Contains(out.layout, u)) << c.name << ": " << u;
    }
    for (const std::string& k : c.kept) {
      EXPECT_TRUE(Contains(out.graph, k)) << c.name << ": " << k;
      EXPECT_TRUE(Contains(out.layout, k)) << c.name << ": " << k;
    }
  }
}

TEST(RenderFilter, LabelModeReachesOnlyTheLayoutFile) {
  Outputs out = Filter({}, "Long");
  EXPECT_TRUE(Contains(out.graph, "[label = \"loads\", "));
  EXPECT_FALSE(Contains(out.layout, "[label = \"loads\", "));
  EXPECT_TRUE(Contains(out.layout, "[label = \"load as module\", "));
}

// dot sizes a box for its label, so the layout file carries each label as the canvas draws it;
// the ids, which name the nodes of the plain layout, and the graph file stay as written.
TEST(RenderFilter, LayoutLabelsCarryTheirHiddenCharactersWrittenOut) {
  const std::string rlo = "\u202E";
  struct Case {
    std::string line, layout;
  } cases[] = {
      {Node("PROCESS:in\tvoice", "in\tvoice" + rlo + "txt.exe\\n(PID: 1)"),
       Node("PROCESS:in\tvoice", "in_0x09_voice_0x202E_txt.exe\\n(PID: 1)")},
      {Edge(kT, "FILE:c:\\\\a" + rlo + "b", "x\x7Fy", "green"),
       Edge(kT, "FILE:c:\\\\a" + rlo + "b", "x_0x7F_y", "green")},
      // An id that ends like a label's start is still an id.
      {Node("FILE:x[label = ", "a\tb"), Node("FILE:x[label = ", "a_0x09_b")},
      {Node("FILE:\tx", "plain"), Node("FILE:\tx", "plain")},
      {Node("FILE:x", "caf\u00E9"), Node("FILE:x", "caf\u00E9")},
  };
  for (const Case& c : cases) {
    std::string dot = kHead + c.line + "}\r\n";
    FilteredGraph f = FilterGraphDot(dot, {}, {}, "Default");
    EXPECT_EQ(f.layoutDot, kHead + c.layout + "}\r\n") << c.line;
    EXPECT_EQ(f.graphDot, dot);
  }
}

TEST(RenderFilter, DotRunsOnTheLayoutFileWithoutAShell) {
  EXPECT_EQ(DotArguments("/tmp/a b.txt", "/tmp/l.dot"),
            (std::vector<std::string>{"-v", "-Tplain", "-o/tmp/a b.txt", "/tmp/l.dot"}));
}

}  // namespace
}  // namespace graphview
