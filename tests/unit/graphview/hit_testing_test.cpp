// Which node a canvas point hits: box edges, overlaps, halves of a pixel, the view before its
// first rescale; and the highlight of every node that carries the hit node's name.
#include "graphview/hit_testing.h"

#include <gtest/gtest.h>

namespace graphview {
namespace {

// A layout 10 x 8 units drawn at 100 pixels per unit, scrolled by (10, 20).
class HitTesting : public ::testing::Test {
 protected:
  void SetUp() override {
    m_model.layout.width = 10;
    m_model.layout.height = 8;
    Add("PROCESS:1", 2, 6, 1, 0.5);       // box 160..260 x 195..245
    Add("FILE:x", 2.5, 6, 1, 0.5);        // box 210..310 x 195..245, under the first
    Add("PROCESS:1", 8, 2, 1, 1);         // the first one's name again: box 760..860 x 570..670
    Add("SERVER:y", 5.01, 4, 1.01, 0.5);  // 101 wide: left 460.5 -> 460 (halves to even)
    m_model.layout.nodes.back().shape = "ellipse";
    ViewState& view = m_model.view;
    view.layoutImage = {1000, 800};
    view.zoom = 1;
    RescaleView(view, 1000, 800);
    view.scrollX = 10;
    view.scrollY = 20;
  }
  void Add(const char* name, double x, double y, double w, double h) {
    GraphNode node;
    node.name = name;
    node.x = x, node.y = y, node.width = w, node.height = h;
    m_model.layout.nodes.push_back(node);
  }
  GraphNode* Node(size_t i) { return &m_model.layout.nodes[i]; }
  GraphModel m_model;
};

TEST_F(HitTesting, APointHitsTheFirstBoxThatHoldsItEdgesIncluded) {
  struct Case {
    int64_t x, y;
    int node;  // -1: none
  } cases[] = {
      {160, 195, 0},  {260, 245, 0},  // top left and bottom right edges belong to the box
      {235, 220, 0},                  // where two boxes overlap the earlier node wins
      {261, 220, 1},  {310, 245, 1}, {311, 220, -1}, {159, 220, -1}, {200, 194, -1},
      {200, 246, -1}, {810, 620, 2}, {459, 420, -1}, {460, 420, 3},  {561, 420, 3},
      {562, 420, -1}, {460, 395, 3},  // the empty corner of an oval's box still counts
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FindNodeAt(m_model, c.x, c.y), c.node < 0 ? nullptr : Node(c.node))
        << c.x << "," << c.y;
  }
}

TEST_F(HitTesting, NothingIsHitBeforeTheFirstRescale) {
  m_model.view = ViewState();
  for (int64_t x : {-1, 0, 1, 210, 460}) {
    EXPECT_EQ(FindNodeAt(m_model, x, x), nullptr) << x;
  }
}

TEST_F(HitTesting, AClickHighlightsEveryNodeOfTheNameAndNothingElse) {
  GraphEdge edge;
  m_model.Highlights = {{Node(1), nullptr}, {nullptr, &edge}};
  HighlightNodesOfSameName(m_model, *Node(2));
  ASSERT_EQ(m_model.Highlights.size(), 2u);
  EXPECT_EQ(m_model.Highlights[0].node, Node(0));
  EXPECT_EQ(m_model.Highlights[1].node, Node(2));
  EXPECT_EQ(m_model.Highlights[1].edge, nullptr);

  HighlightNodesOfSameName(m_model, *Node(1));
  ASSERT_EQ(m_model.Highlights.size(), 1u);
  EXPECT_EQ(m_model.Highlights[0].node, Node(1));
}

}  // namespace
}  // namespace graphview
