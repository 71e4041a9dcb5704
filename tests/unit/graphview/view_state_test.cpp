#include "graphview/view_state.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "graphview/graph_model.h"

namespace graphview {
namespace {

TEST(ViewState, ConversionsBeforeAndAfterRescaling) {
  GraphLayout layout;
  layout.width = 10;
  layout.height = 8;
  ViewState view;
  EXPECT_EQ(GraphXToPixel(view, layout, 1.0), -1);
  EXPECT_EQ(GraphYToPixel(view, layout, 1.0), -1);
  EXPECT_EQ(PixelsToGraphUnits(view, layout, 12), -1.0);

  view.layoutImage = {1000, 800};
  view.zoom = 1;
  RescaleView(view, 1000, 800);
  EXPECT_EQ(GraphXToPixel(view, layout, 2.5), 250);
  EXPECT_EQ(GraphWidthToPixels(view, layout, 0.25), 25);
  EXPECT_EQ(GraphWidthToPixels(view, layout, 0.125), 12);  // 12.5: halves to even
  EXPECT_EQ(GraphWidthToPixels(view, layout, 0.375), 38);  // 37.5
  EXPECT_EQ(GraphYToPixel(view, layout, 0), 800);
  EXPECT_EQ(GraphYToPixel(view, layout, 8), 0);
  EXPECT_EQ(GraphHeightToPixels(view, layout, 2), 200);
  EXPECT_EQ(PixelsToGraphUnits(view, layout, 12), 0.12);

  // A layout without extent (refused by the reader) still never divides by zero.
  GraphLayout flat;
  EXPECT_EQ(GraphXToPixel(view, flat, 1.0), -1);
  EXPECT_EQ(PixelsToGraphUnits(view, flat, 1), -1.0);
}

TEST(ViewState, RescaleKeepsTheAnchoredPointInPlace) {
  ViewState view;
  view.layoutImage = {400, 300};
  view.anchorImageX = view.anchorImageY = view.anchorCanvasX = view.anchorCanvasY = 0.5;
  view.zoom = 2;
  RescaleView(view, 800, 600);
  EXPECT_EQ(view.scrollX, 0);
  EXPECT_EQ(view.scrollY, 0);
  EXPECT_EQ(view.scaledWidth, 800);
  EXPECT_EQ(view.scaledValid, 1);
  view.zoom = 1;
  RescaleView(view, 800, 600);
  EXPECT_EQ(view.scrollX, 200);
  EXPECT_EQ(view.scrollY, 150);

  // Zoom about canvas point (100, 60): the picture point under it stays under it.
  double fx = CanvasXToImageFraction(view, 100);
  double fy = CanvasYToImageFraction(view, 60);
  view.anchorImageX = fx, view.anchorImageY = fy;
  view.anchorCanvasX = 100.0 / 800, view.anchorCanvasY = 60.0 / 600;
  view.zoom = 3;
  RescaleView(view, 800, 600);
  EXPECT_NEAR(CanvasXToImageFraction(view, 100), fx, 1.0 / view.scaledWidth);
  EXPECT_NEAR(CanvasYToImageFraction(view, 60), fy, 1.0 / view.scaledHeight);
  // Scroll positions round halves away from zero: 800 * 0.5 - 1 * 401 * 0.5 = 199.5.
  view.layoutImage = {401, 300};
  view.anchorImageX = view.anchorCanvasX = 0.5;
  view.zoom = 1;
  RescaleView(view, 800, 600);
  EXPECT_EQ(view.scrollX, 200);
}

TEST(ViewState, ConversionsSaturateInsteadOfOverflowing) {
  constexpr int64_t kMax = std::numeric_limits<int64_t>::max();
  constexpr int64_t kMin = std::numeric_limits<int64_t>::min();
  EXPECT_EQ(RoundHalfEven(std::nan("")), 0);
  EXPECT_EQ(RoundHalfEven(1e300), kMax);
  EXPECT_EQ(RoundHalfEven(-std::numeric_limits<double>::infinity()), kMin);
  EXPECT_EQ(RoundHalfEven(-9223372036854775808.0), kMin);
  EXPECT_EQ(RoundHalfEven(-2.5), -2);

  GraphLayout layout;
  layout.width = 10;
  layout.height = 8;
  ViewState view;
  view.layoutImage = {1000, 800};
  view.zoom = 1e12;
  RescaleView(view, 1000, 800);
  EXPECT_EQ(view.scaledWidth, std::numeric_limits<int32_t>::max());
  EXPECT_EQ(GraphXToPixel(view, layout, 1e300), kMax);
  EXPECT_EQ(GraphXToPixel(view, layout, std::nan("")), 0);
}

TEST(GraphModel, ClearGraphLeavesNoReferenceToGoneRecords) {
  GraphModel model;
  GraphNode& node = model.layout.nodes.emplace_back();
  node.name = model.layout.texts.Keep("PROCESS:1");
  model.layout.nodeIndex[node.name] = &node;
  GraphEdge& edge = model.layout.edges.emplace_back();
  model.layout.width = 3;
  for (int8_t level : {1, 2, 3}) {
    TimelineFrame& frame = model.Frames.emplace_back();
    frame.level = level;
    frame.nodeRefs = {&node};
    frame.edgeRefs = {&edge};
  }
  model.Highlights.push_back({&node, nullptr});
  model.CurrentNode = &node;
  model.FirstEventTime = 42;
  model.view.hoveredNode = &node;
  model.view.layoutImage = {100, 100};
  model.view.scaledValid = 1;

  ClearGraph(model);
  EXPECT_TRUE(model.layout.nodes.empty());
  EXPECT_TRUE(model.layout.edges.empty());
  EXPECT_EQ(model.layout.FindNode("PROCESS:1"), nullptr);
  EXPECT_EQ(model.layout.width, 0);
  EXPECT_FALSE(model.view.layoutImage.IsSet());
  EXPECT_EQ(model.view.scaledValid, 0);
  EXPECT_EQ(model.view.hoveredNode, nullptr);
  EXPECT_EQ(model.CurrentNode, nullptr);
  EXPECT_TRUE(model.Highlights.empty());
  EXPECT_EQ(model.FirstEventTime, 42);
  ASSERT_EQ(model.Frames.size(), 3u);
  for (const TimelineFrame& frame : model.Frames) {
    EXPECT_TRUE(frame.nodeRefs.empty());
    EXPECT_TRUE(frame.edgeRefs.empty());
  }
  // The timeline still counts the previous graph's frames until the next one is read.
  for (int8_t mode : {3, 2, 1}) {
    model.TimelineMode = mode;
    EXPECT_EQ(CountVisibleFrames(model), mode);
  }
  ClearGraph(model);  // on an empty model
  EXPECT_TRUE(model.layout.nodes.empty());
}

}  // namespace
}  // namespace graphview
