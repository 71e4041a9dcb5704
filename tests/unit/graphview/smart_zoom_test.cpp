// The search for the zoom at which every label fits, on its own and on small graphs.
#include <gtest/gtest.h>

#include <vector>

#include "graphview/graph_drawing.h"
#include "graphview/smart_zoom.h"
#include "platform/drawing.h"
#include "platform/window_system.h"

namespace graphview {
namespace {

TEST(SmartZoomSearch, ClimbsCoarselyThenOneAtATime) {
  struct Case {
    int64_t firstFit;
    int64_t limit;
    std::vector<int64_t> tried;
    int64_t found;
  };
  const Case cases[] = {
      // Fits at once: back to 0, then 1.
      {1, 1000, {2, 1}, 1},
      {2, 1000, {2, 1, 2}, 2},
      // Fails at 2 and 5, fits at 9: back to 5, then 6, 7.
      {7, 1000, {2, 5, 9, 6, 7}, 7},
      {9, 1000, {2, 5, 9, 6, 7, 8, 9}, 9},
      // Nothing ever fits: the limit counts as fitting, and the search still ends.
      {1 << 30, 12, {2, 5, 9, 10, 11}, 12},
  };
  for (const Case& c : cases) {
    std::vector<int64_t> tried;
    int64_t found = SmartZoomSearch(
        [&](int64_t zoom) {
          tried.push_back(zoom);
          return zoom >= c.firstFit;
        },
        c.limit);
    EXPECT_EQ(found, c.found) << c.firstFit;
    EXPECT_EQ(tried, c.tried) << c.firstFit;
  }
}

class SmartZoomGraph : public ::testing::Test {
 protected:
  void SetUp() override {
    m_settings.graphFont = platform::LoadFont(platform::kNewNumber, "Times-Roman", 12);
    ASSERT_NE(m_settings.graphFont, 0);
    m_settings.canvasWidth = 800;
    m_settings.canvasHeight = 600;
    // 10 pixels per layout unit at zoom 1.
    m_model.layout.width = 10;
    m_model.layout.height = 10;
    ViewState& view = m_model.view;
    view.layoutImage = {100, 100};
    view.zoom = 1.5;
    view.anchorImageX = view.anchorImageY = view.anchorCanvasX = view.anchorCanvasY = 0.5;
    RescaleView(view, 800, 600);
  }
  void TearDown() override { platform::ResetLayer(); }

  GraphNode& AddNode(const char* label, double width, double height) {
    GraphNode& node = m_model.layout.nodes.emplace_back();
    node.label = label;
    node.width = width;
    node.height = height;
    return node;
  }

  // The first whole zoom at which text at 12 pixels stays below 90 % of a box of the given
  // layout size (10 pixels per unit per zoom).
  int64_t FirstFit(const std::string& text, double width, double height) {
    platform::VectorFont(m_settings.graphFont, 12);
    int64_t w = RoundHalfEven(platform::VectorTextWidth(text, platform::kVectorTextVisible));
    int64_t h = RoundHalfEven(platform::VectorTextHeight(text, platform::kVectorTextVisible));
    for (int64_t zoom = 1;; ++zoom) {
      double scale = 10.0 * static_cast<double>(zoom);
      if (w < RoundHalfEven(0.9 * RoundHalfEven(scale * width)) &&
          h < RoundHalfEven(0.9 * RoundHalfEven(scale * height)))
        return zoom;
    }
  }

  GraphModel m_model;
  GraphDrawSettings m_settings;
};

TEST_F(SmartZoomGraph, TheTightestLabelDecidesAndOnlyTwoValuesChange) {
  AddNode("Fits easily", 20, 20);
  AddNode(R"(explorer.exe\n1234)", 1, 0.5);
  ViewState before = m_model.view;
  SmartZoom(m_model, m_settings);
  int64_t expected = FirstFit("explorer.exe\n1234", 1, 0.5);
  ASSERT_GT(expected, 2);
  EXPECT_EQ(m_model.view.maxZoom, static_cast<double>(expected));
  // 12 pixels in layout units at the zoom found: the picture is 100 x zoom pixels high.
  EXPECT_DOUBLE_EQ(m_model.layout.smartFontSize, 10.0 / (100.0 * expected) * 12);
  const ViewState& after = m_model.view;
  EXPECT_EQ(after.zoom, before.zoom);
  EXPECT_EQ(after.scaledZoom, before.scaledZoom);
  EXPECT_EQ(after.scaledWidth, before.scaledWidth);
  EXPECT_EQ(after.scaledHeight, before.scaledHeight);
  EXPECT_EQ(after.scrollX, before.scrollX);
  EXPECT_EQ(after.scrollY, before.scrollY);
  EXPECT_EQ(after.anchorImageX, before.anchorImageX);
  EXPECT_EQ(after.anchorCanvasY, before.anchorCanvasY);
}

TEST_F(SmartZoomGraph, NodeDrawingWritesEveryLabelAtTheTargetSizeAtTheZoomFound) {
  AddNode("Fits easily", 20, 20);
  AddNode(R"(explorer.exe\n1234)", 1, 0.5);
  AddNode("C:\\Windows\\System32", 2, 0.4);
  SmartZoom(m_model, m_settings);
  int image = platform::CreateImage(platform::kNewNumber, 800, 600);
  ASSERT_TRUE(platform::StartVectorDrawing(platform::ImageOutput(image)));
  // All in the middle of the picture, which stays in the middle of the canvas.
  for (GraphNode& node : m_model.layout.nodes) node.x = node.y = 5;
  ViewState& view = m_model.view;
  view.zoom = view.maxZoom;
  RescaleView(view, 800, 600);
  double fontSize = m_model.layout.smartFontSize;
  ASSERT_EQ(GraphHeightToPixels(view, m_model.layout, fontSize), 12);
  // Both measure the labels alike, so no label is shrunk below the size it was searched for.
  for (const GraphNode& node : m_model.layout.nodes) {
    DrawNode(m_model, node, fontSize, 255, m_settings);
    ASSERT_EQ(node.fontFitCache.size(), 1u);
    EXPECT_EQ(node.fontFitCache.begin()->second, 12) << node.label;
  }
  platform::StopVectorDrawing();
}

TEST_F(SmartZoomGraph, BlankLabelsAndBoxlessNodesAreLeftOut) {
  AddNode("   ", 0.01, 0.01);
  AddNode("no box", 0, 1);
  AddNode("", 0.01, 0.01);
  SmartZoom(m_model, m_settings);
  EXPECT_EQ(m_model.view.maxZoom, 1);
  EXPECT_DOUBLE_EQ(m_model.layout.smartFontSize, 1.2);
  // A target of no size still settles on a size, or every redraw would search again.
  m_settings.smartzoomTargetFontsize = 0;
  SmartZoom(m_model, m_settings);
  EXPECT_DOUBLE_EQ(m_model.layout.smartFontSize, 0.1);
}

TEST_F(SmartZoomGraph, EndsForALabelThatFitsNowhereNear) {
  AddNode("a label far too long for its box", 1e-7, 1e-7);
  SmartZoom(m_model, m_settings);
  EXPECT_EQ(m_model.view.maxZoom, 1000000);
  EXPECT_GT(m_model.layout.smartFontSize, 0);
  // A larger picture stops where it would grow past 2^31 - 1 pixels.
  m_model.view.layoutImage = {10000, 5000};
  SmartZoom(m_model, m_settings);
  EXPECT_EQ(m_model.view.maxZoom, 214748);
}

}  // namespace
}  // namespace graphview
