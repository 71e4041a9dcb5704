#include "graphview/plain_layout.h"

#include <gtest/gtest.h>

#include <string>

#include "graphview/edge_kinds.h"

namespace graphview {
namespace {

TEST(PlainLayout, NodesEdgesAndTheirIndexes) {
  GraphLayout layout;
  std::string text =
      "graph 1 27.5 8.25\r\n"
      "node \"PROCESS:1-n1\" 1.5 6.25 1.5 0.5 \"a.exe\\n(PID: 1)\" filled box black gray\n"
      "node \"FILE:c:\\\\my \"\"odd\"\" file\" 8 2 4.4 0.5 \"C:\\\\my \\\n"
      "file\" filled note black orange\n"
      "node \"PROCESS:1-n1\" 2 2 x 0.5 second\n"
      "edge \"PROCESS:1-n1\" \"THREAD:1-n1:2-n1\" 4 1 2 3 4 5 6 7 8 solid gray\n"
      "edge \"PROCESS:1-n1\" \"THREAD:1-n1:2-n1\" 4 1 2 3 4 5 6 7 8 \"has thread\" 1.5 2.5 solid "
      "black\n"
      "edge \"THREAD:1-n1:2-n1\" \"FILE:x\" 4 1 2 3 4 5 6 7 8 bold gray50\n"
      "edge A B 0 bold green\n"
      "\n"
      "stop\n";
  ASSERT_EQ(ReadPlainLayout(text, layout), PlainLayoutStatus::kOk);
  EXPECT_EQ(layout.scale, 1);
  EXPECT_EQ(layout.width, 27.5);
  EXPECT_EQ(layout.height, 8.25);

  ASSERT_EQ(layout.nodes.size(), 3u);
  const GraphNode& p = layout.nodes[0];
  EXPECT_EQ(p.name, "PROCESS:1-n1");
  EXPECT_EQ(p.label, "a.exe\\n(PID: 1)");
  EXPECT_EQ(std::make_tuple(p.x, p.y, p.width, p.height), std::make_tuple(1.5, 6.25, 1.5, 0.5));
  EXPECT_EQ(std::make_tuple(p.style, p.shape, p.color, p.fillcolor),
            std::make_tuple("filled", "box", "black", "gray"));
  const GraphNode& f = layout.nodes[1];
  EXPECT_EQ(f.name, "FILE:c:\\\\my \"odd\" file");
  EXPECT_EQ(f.label, "C:\\\\my file");  // continued without a blank
  EXPECT_EQ(f.fillcolor, "orange");
  const GraphNode& second = layout.nodes[2];
  EXPECT_EQ(second.width, 0);   // not a number
  EXPECT_EQ(second.shape, "");  // past the line's end
  EXPECT_EQ(layout.FindNode("PROCESS:1-n1"), &second);
  EXPECT_EQ(layout.FindNode(f.name), &f);

  ASSERT_EQ(layout.edges.size(), 4u);
  const GraphEdge& plain = layout.edges[0];
  ASSERT_EQ(plain.points.size(), 4u);
  EXPECT_EQ(plain.points[3].x, 7);
  EXPECT_EQ(plain.points[3].y, 8);
  EXPECT_EQ(plain.label, "");
  EXPECT_EQ(std::make_tuple(plain.labelX, plain.labelY), std::make_tuple(0.0, 0.0));
  EXPECT_EQ(std::make_tuple(plain.style, plain.color), std::make_tuple("solid", "gray"));
  EXPECT_EQ(plain.penWidth, 1);
  const GraphEdge& labelled = layout.edges[1];
  EXPECT_EQ(labelled.label, "has thread");
  EXPECT_EQ(std::make_tuple(labelled.labelX, labelled.labelY), std::make_tuple(1.5, 2.5));
  EXPECT_EQ(std::make_tuple(labelled.style, labelled.color), std::make_tuple("solid", "black"));
  // Both has-thread edges stay; the index names the later one.
  EXPECT_EQ(layout.FindEdge("PROCESS:1-n1->THREAD:1-n1:2-n1 (1)"), &labelled);
  ASSERT_EQ(layout.edgeIndex.at("PROCESS:1-n1->THREAD:1-n1:2-n1 (1)").edges.size(), 2u);
  // A colour with digits reads as a label position: style and colour come from past the end.
  const GraphEdge& digits = layout.edges[2];
  EXPECT_EQ(digits.label, "bold");
  EXPECT_EQ(digits.labelX, 0);
  EXPECT_EQ(std::make_tuple(digits.style, digits.color), std::make_tuple("", ""));
  const GraphEdge& none = layout.edges[3];
  EXPECT_TRUE(none.points.empty());
  EXPECT_EQ(std::make_tuple(none.tail, none.head, none.style, none.color),
            std::make_tuple("A", "B", "bold", "green"));
}

TEST(PlainLayout, LayoutsWithoutExtentAreUnreadable) {
  for (const char* text :
       {"", "stop\n", "graph 1 0 0\nstop\n", "graph 1 5 0\n", "node a 1 1 1 1 a\n",
        "garbage \x01\x02\n\n\n",
        // Extents whose sums or pixels overflow to infinity.
        "graph 1 1e300 5\n", "graph 1 5 5\nnode a 1 1 1e307 1 a\n",
        "graph 1 5 5\nnode a 1 -1e8 1 1 a\n", "graph 1 5 5\nedge a b 1 2e9 1 solid black\n",
        "graph 1 5 5\nedge a b 1 1 1 x 1e300 1 solid black\n"}) {
    GraphLayout layout;
    EXPECT_EQ(ReadPlainLayout(text, layout), PlainLayoutStatus::kUnreadable) << text;
  }
}

TEST(PlainLayout, DamagedCountsAndNumbersReadAsZero) {
  GraphLayout layout;
  ASSERT_EQ(ReadPlainLayout("graph 1 2 2\nedge a b 999999999 1 2\nedge a b -3 bold red\n"
                            "node n 1e999 nan 0x10 -2.5\n",
                            layout),
            PlainLayoutStatus::kOk);
  EXPECT_LE(layout.edges[0].points.size(), 8u);
  EXPECT_TRUE(layout.edges[1].points.empty());
  EXPECT_EQ(layout.edges[1].style, "bold");
  const GraphNode& n = layout.nodes[0];
  EXPECT_EQ(std::make_tuple(n.x, n.y, n.width, n.height), std::make_tuple(0.0, 0.0, 0.0, -2.5));
}

TEST(PlainLayout, LayoutImageSize) {
  struct Case {
    double extentX, extentY;
    int64_t width, height;
  } cases[] = {
      {7.5, 30, 75, 300},   {0.5, 0.3, 100, 100}, {12, 4, 120, 40},
      {1000, 10, 1000, 10}, {2.625, 1, 262, 100},  // 262.5 pixels: halves go to the even neighbour
  };
  for (const Case& c : cases) {
    GraphLayout layout;
    GraphNode& n = layout.nodes.emplace_back();
    n.x = c.extentX / 2, n.width = c.extentX / 2, n.y = c.extentY - 1, n.height = 1;
    LayoutImage image = SizeLayoutImage(layout);
    EXPECT_EQ(image.width, c.width) << c.extentX;
    EXPECT_EQ(image.height, c.height) << c.extentY;
  }
  EXPECT_EQ(SizeLayoutImage(GraphLayout{}).width, 100);
  // The largest readable extent comes down to the bound; one that was never read to one pixel.
  for (double extent : {kMaxLayoutUnits, 1e307}) {
    GraphLayout layout;
    GraphNode& n = layout.nodes.emplace_back();
    n.x = n.width = extent;
    LayoutImage image = SizeLayoutImage(layout);
    EXPECT_LE(image.width, 1000) << extent;
    EXPECT_GE(image.height, 1) << extent;
  }
}

}  // namespace
}  // namespace graphview
