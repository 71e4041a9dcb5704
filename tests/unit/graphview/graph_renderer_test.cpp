// The graph view's picture of the bundled sample through the real converter and dot: fit,
// overlays, the replay of the frames and the strip; the reusing renderer against one that
// follows every step literally.
#include "graphview/graph_renderer.h"

#include <gtest/gtest.h>

#include <QImage>
#include <algorithm>
#include <functional>
#include <string>

#include "graph_road_fixture.h"
#include "graphview/graph_inputs.h"
#include "graphview/plain_layout.h"
#include "platform/drawing.h"
#include "platform/window_system.h"
#include "tall_graph_log.h"

namespace graphview {
namespace {

TEST(RendererArithmetic, FitPicksTheRatioThatShowsTheWholePicture) {
  struct Case {
    int64_t imageWidth, imageHeight, canvasWidth, canvasHeight;
    double zoom;
  } cases[] = {
      {1000, 500, 800, 600, 0.8},  // wide: the width decides
      {400, 600, 800, 600, 1.0},   // tall: 600 x 2.0 would not fit
      {800, 600, 800, 600, 1.0},
      {3, 1000, 1600, 1000, 1.0},
  };
  for (const Case& c : cases) {
    EXPECT_DOUBLE_EQ(detail::FitZoom(c.imageWidth, c.imageHeight, c.canvasWidth, c.canvasHeight),
                     c.zoom)
        << c.imageWidth << "x" << c.imageHeight;
  }
}

TEST(RendererArithmetic, StripColumnsCoverTheStrip) {
  struct Case {
    int64_t i, width, frames, start, columnWidth;
  } cases[] = {
      {0, 100, 3, 0, 34},    {1, 100, 3, 33, 34},
      {2, 100, 3, 67, 34},   {5, 10, 20, 2, 1},  // halves go to the even neighbour: 2.5 -> 2
      {7, 10, 20, 4, 1},                         // 3.5 -> 4
      {0, 1000, 1, 0, 1000},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(detail::StripColumnStart(c.i, c.width, c.frames), c.start) << c.i;
    EXPECT_EQ(detail::StripColumnWidth(c.width, c.frames), c.columnWidth) << c.i;
  }
}

class Renderer : public GraphRoad {
 protected:
  void SetUp() override {
    GraphRoad::SetUp();
    m_settings.draw.graphFont = platform::LoadFont(platform::kNewNumber, "Times-Roman", 10);
    m_settings.draw.canvasWidth = 900;
    m_settings.draw.canvasHeight = 560;
    m_settings.stripWidth = 600;
    m_settings.stripHeight = 24;
    m_settings.smartHighlight = true;
  }
  void LoadSample() {
    Result r =
        Refresh(LUMIVEX_LAUNCHED_SAMPLE, LUMIVEX_SOURCE_DIR "/resources/sample_capture.txt", {});
    ASSERT_EQ(r.status, GraphReadStatus::kOk) << r.converterOutput;
    ASSERT_GT(m_model.Frames.size(), 5u);
  }
  GraphNode* Node(std::string_view prefix) {
    for (GraphNode& node : m_model.layout.nodes) {
      if (node.name.substr(0, prefix.size()) == prefix) return &node;
    }
    return nullptr;
  }
  static uint32_t Pixel(int image, int x, int y) { return platform::ImagePixel(image, x, y); }

  RenderSettings m_settings;
};

TEST_F(Renderer, AnEmptyGraphDrawsNothing) {
  m_model.view.scrollX = 7;
  GraphRenderer renderer;
  RenderOutput out = renderer.Redraw(m_model, m_settings, true);
  EXPECT_TRUE(out.empty);
  EXPECT_EQ(out.display, 0);
  EXPECT_EQ(m_model.view.lastScrollX, 7);
}

// Zoomed in far, long edges run for millions of pixels past the canvas: a full redraw still
// costs about what it costs at the fit (it cost over four times as much when every curve went
// to the painter whole).
TEST_F(Renderer, TheFirstRedrawFitsAndFindsTheSmartZoom) {
  LoadSample();
  GraphRenderer renderer;
  RenderOutput out = renderer.Redraw(m_model, m_settings, true);
  ASSERT_FALSE(out.empty);
  EXPECT_TRUE(out.rescaled);
  const ViewState& v = m_model.view;
  EXPECT_EQ(v.zoom, v.fitZoom);
  // The layout image fits, and the drawing's labels past its box too: centred on the canvas.
  EXPECT_LE(v.fitZoom, detail::FitZoom(v.layoutImage.width, v.layoutImage.height, 900, 560));
  EXPECT_EQ(v.anchorCanvasX, 0.5);
  EXPECT_EQ(v.anchorCanvasY, 0.5);
  EXPECT_GE(v.maxZoom, 1);
  EXPECT_GT(m_model.layout.smartFontSize, 0);
  EXPECT_DOUBLE_EQ(v.zoomStep, std::abs(v.maxZoom - v.fitZoom) / 10);
  // The whole picture fits: it touches neither side of the canvas beyond it.
  EXPECT_LE(v.scaledWidth, m_settings.draw.canvasWidth);
  EXPECT_LE(v.scaledHeight, m_settings.draw.canvasHeight);
  EXPECT_EQ(out.frameNumber, "0/" + std::to_string(CountVisibleFrames(m_model) - 1));
  EXPECT_EQ(out.frameMessage, m_model.Frames.front().message);

  // Something is drawn on the white, and the capture's box is there in its grey.
  int drawn = 0, grey = 0;
  for (int y = 0; y < m_settings.draw.canvasHeight; y += 2) {
    for (int x = 0; x < m_settings.draw.canvasWidth; x += 2) {
      uint32_t p = Pixel(out.display, x, y);
      drawn += p != platform::Rgba(255, 255, 255, 255);
      grey += p == platform::Rgba(220, 220, 220, 255);
    }
  }
  EXPECT_GT(drawn, 1000);
  EXPECT_GT(grey, 100);

  // The current frame's column shows above the bars of the strip.
  EXPECT_EQ(Pixel(out.strip, 0, 5), platform::Rgba(255, 20, 147, 255));
  EXPECT_EQ(out.shade, 0);

  // A second redraw of the same view reuses the picture.
  renderer.Redraw(m_model, m_settings, true);
  EXPECT_EQ(renderer.GraphBuilds(), 1);
}

// The caller hears of a new zoom before the picture is brought to it (the workbench says
// "Rendering ..." then), and only then: not for an empty graph, a second look at the same
// zoom, or a step of the timeline.
TEST_F(Renderer, ANewZoomIsAnnouncedBeforeItIsDrawn) {
  int announced = 0;
  bool scaledBefore = false;
  m_settings.beforeRescale = [&] {
    ++announced;
    scaledBefore = m_model.view.scaledValid && m_model.view.scaledZoom == m_model.view.zoom;
  };
  GraphRenderer renderer;
  renderer.Redraw(m_model, m_settings, true);
  EXPECT_EQ(announced, 0) << "empty graph";
  LoadSample();
  const struct {
    const char* what;
    std::function<void(ViewState&)> change;
    int announced;
  } kSteps[] = {
      {"first redraw: the fit", [](ViewState&) {}, 1},
      {"same view", [](ViewState&) {}, 0},
      {"timeline step", [](ViewState& v) { v.currentFrame = 2; }, 0},
      {"zoom in", [](ViewState& v) { v.zoom = v.fitZoom * 2; }, 1},
      {"fit again", [](ViewState& v) { v.zoom = 0; }, 1},
  };
  for (const auto& step : kSteps) {
    SCOPED_TRACE(step.what);
    announced = 0;
    step.change(m_model.view);
    ASSERT_FALSE(renderer.Redraw(m_model, m_settings, false).empty);
    EXPECT_EQ(announced, step.announced);
    EXPECT_FALSE(scaledBefore);
  }
}

// After a fit every node, edge and label shows whole, on a canvas of any shape: drawn again
// with a wide margin around the same view, nothing lies in the margin, and the drawing still
// fills the canvas one way. On a tall graph the labels of the bundled edges near the bottom
// ran past the layout's box, below the canvas.
TEST_F(Renderer, AFitShowsEveryNodeEdgeAndLabelWhole) {
  const lumivex_testing::TallGraphLog log = lumivex_testing::MakeTallGraphLog();
  LauncherRows rows = MakeLauncherRows(log.bytes, log.launcher);
  ASSERT_TRUE(rows.ok) << rows.message;
  const fs::path csv = m_dir / "tall.csv";
  WriteBytes(csv, log.bytes.substr(0, rows.position) + rows.rows + log.bytes.substr(rows.position));
  Result r = Refresh(csv, "", {});
  ASSERT_EQ(r.status, GraphReadStatus::kOk) << r.converterOutput;
  ASSERT_GT(m_model.layout.nodes.size(), 20u);

  constexpr int kMargin = 60;
  const uint32_t white = platform::Rgba(255, 255, 255, 255);
  const struct {
    int width, height;
  } kCanvases[] = {{1278, 660}, {1900, 905}, {700, 1000}, {1900, 420}, {820, 600}};
  for (const auto& canvas : kCanvases) {
    SCOPED_TRACE(std::to_string(canvas.width) + "x" + std::to_string(canvas.height));
    m_model.view.zoom = 0;
    m_settings.draw.canvasWidth = canvas.width;
    m_settings.draw.canvasHeight = canvas.height;
    GraphRenderer fitted;
    ASSERT_FALSE(fitted.Redraw(m_model, m_settings, true).empty);

    RenderSettings wide = m_settings;
    wide.draw.canvasWidth += 2 * kMargin;
    wide.draw.canvasHeight += 2 * kMargin;
    ViewState& v = m_model.view;
    v.scrollX += kMargin;
    v.scrollY += kMargin;
    GraphRenderer literal(false);
    RenderOutput out = literal.Redraw(m_model, wide, true);
    ASSERT_FALSE(out.empty);
    EXPECT_EQ(v.scrollX, v.lastScrollX) << "the view was fitted again";
    int left = wide.draw.canvasWidth, top = wide.draw.canvasHeight, right = -1, bottom = -1;
    for (int y = 0; y < wide.draw.canvasHeight; ++y) {
      for (int x = 0; x < wide.draw.canvasWidth; ++x) {
        if (Pixel(out.display, x, y) == white) continue;
        left = std::min(left, x);
        right = std::max(right, x);
        top = std::min(top, y);
        bottom = std::max(bottom, y);
      }
    }
    EXPECT_GE(left, kMargin);
    EXPECT_GE(top, kMargin);
    EXPECT_LT(right, kMargin + canvas.width);
    EXPECT_LT(bottom, kMargin + canvas.height);
    const bool fillsOneWay =
        right - left + 1 >= canvas.width * 9 / 10 || bottom - top + 1 >= canvas.height * 9 / 10;
    EXPECT_TRUE(fillsOneWay) << left << "," << top << " to " << right << "," << bottom;
  }
}

// However far a zoom is pushed, the picture stays below 2^30 pixels each way.
TEST_F(Renderer, TheZoomStopsAtItsCap) {
  LoadSample();
  GraphRenderer renderer;
  renderer.Redraw(m_model, m_settings, true);
  ViewState& v = m_model.view;
  const double cap = ZoomCap(v.layoutImage);
  v.zoom = cap * 1000;
  ASSERT_FALSE(renderer.Redraw(m_model, m_settings, false).empty);
  EXPECT_EQ(v.zoom, cap);
  EXPECT_EQ(v.scaledZoom, cap);
  EXPECT_LT(std::max(v.scaledWidth, v.scaledHeight), int64_t{1} << 30);
  EXPECT_GT(std::max(v.scaledWidth, v.scaledHeight), (int64_t{1} << 30) - 2);
}

TEST_F(Renderer, HighlightsWashTheRestAndShadeTheStrip) {
  LoadSample();
  GraphRenderer renderer;
  RenderOutput plain = renderer.Redraw(m_model, m_settings, true);
  QImage before = platform::ImageData(plain.display)->copy();
  GraphNode* process = Node("PROCESS:3120");
  ASSERT_NE(process, nullptr);
  m_model.Highlights.push_back({process, nullptr});
  RenderOutput lit = renderer.Redraw(m_model, m_settings, true);
  const ViewState& v = m_model.view;
  const GraphLayout& L = m_model.layout;
  // Just inside the node's left side: its fill, not its label.
  int px = static_cast<int>(v.scrollX + GraphXToPixel(v, L, process->x) -
                            GraphWidthToPixels(v, L, process->width) / 2 + 4);
  int py = static_cast<int>(v.scrollY + GraphYToPixel(v, L, process->y));
  // The highlighted node keeps its colours; another node fades towards white.
  GraphNode* other = Node("PROCESS:1880");
  ASSERT_NE(other, nullptr);
  int ox = static_cast<int>(v.scrollX + GraphXToPixel(v, L, other->x) +
                            GraphWidthToPixels(v, L, other->width) / 2 - 3);
  int oy = static_cast<int>(v.scrollY + GraphYToPixel(v, L, other->y));
  EXPECT_EQ(platform::ImageData(lit.display)->pixel(px, py), before.pixel(px, py));
  QColor was = before.pixelColor(ox, oy);
  QColor now = platform::ImageData(lit.display)->pixelColor(ox, oy);
  EXPECT_GT(now.lightness(), was.lightness()) << ox << "," << oy;
  // The strip: frames without the node are shaded, the hint rows stay clear.
  ASSERT_NE(lit.shade, 0);
  EXPECT_EQ(platform::Alpha(Pixel(lit.shade, 1, 1)), 0u);
  bool shaded = false, clear = false;
  for (int x = 0; x < m_settings.stripWidth; ++x) {
    uint32_t a = platform::Alpha(Pixel(lit.shade, x, 10));
    shaded = shaded || a == 100;
    clear = clear || a == 0;
  }
  EXPECT_TRUE(shaded);
  EXPECT_TRUE(clear);
  EXPECT_EQ(renderer.GraphBuilds(), 1);
}

// The strip drawn box by box, frame after frame, as its steps say.
void LiteralStrip(const GraphModel& model, int image, int w, int h, bool hints) {
  const int64_t visible = CountVisibleFrames(model);
  const int cw = static_cast<int>(detail::StripColumnWidth(w, visible));
  auto column = [&](int64_t i) {
    return static_cast<int>(detail::StripColumnStart(i, w, visible));
  };
  platform::StartDrawing(platform::ImageOutput(image));
  platform::Box(0, 0, w, h, platform::Rgba(255, 255, 255, 255));
  int64_t grey = 0, black = 0, i = 0;
  for (const TimelineFrame& f : model.Frames) {
    if (f.level > model.TimelineMode) continue;
    if (hints && f.relTime - grey >= 1.0) {
      grey = RoundHalfEven(f.relTime);
      platform::Box(column(i), 0, cw, 4, platform::Rgba(128, 128, 128, 255));
    }
    if (hints && f.relTime - black >= 5.0) {
      black = RoundHalfEven(f.relTime);
      platform::Box(column(i), 0, cw, 4, platform::Rgba(0, 0, 0, 255));
    }
    ++i;
  }
  platform::Box(column(model.view.currentFrame), 0, cw, h, platform::Rgba(255, 20, 147, 255));
  i = 0;
  for (const TimelineFrame& f : model.Frames) {
    if (f.level > model.TimelineMode) continue;
    uint32_t bar = f.nodeRefs.empty() ? 0 : GetColorByName(f.nodeRefs[0]->fillcolor, 255);
    uint32_t line = f.edgeRefs.empty() ? 0 : GetColorByName(f.edgeRefs[0]->color, 255);
    if (platform::Alpha(bar)) platform::Box(column(i), 7, cw, h - 15, bar);
    if (platform::Alpha(line)) platform::Box(column(i), h / 2 - 1, cw, 2, line);
    ++i;
  }
  platform::StopDrawing();
}

// The strip drawn as runs of the last mark per pixel column equals the strip drawn box by box,
// with more frames than pixels too.
TEST_F(Renderer, TheStripIsTheBoxesOfItsFrames) {
  LoadSample();
  // Mixed times, so that second and five-second marks both appear.
  for (size_t f = 0; f < m_model.Frames.size(); ++f) m_model.Frames[f].relTime = 0.7 * f;
  GraphRenderer renderer;
  for (int64_t width : {600, 37, 7, 1}) {
    for (int64_t height : {24, 30, 9}) {
      for (int64_t current : {0, 3, 14}) {
        SCOPED_TRACE(std::to_string(width) + "x" + std::to_string(height) + " at " +
                     std::to_string(current));
        m_settings.stripWidth = width;
        m_settings.stripHeight = height;
        m_model.view.currentFrame = current;
        RenderOutput out = renderer.Redraw(m_model, m_settings, false);
        int expected = platform::CreateImage(platform::kNewNumber, static_cast<int>(width),
                                             static_cast<int>(height));
        LiteralStrip(m_model, expected, static_cast<int>(width), static_cast<int>(height), true);
        EXPECT_TRUE(*platform::ImageData(out.strip) == *platform::ImageData(expected));
        platform::FreeImage(expected);
      }
    }
  }
}

// Every picture of a session of hovering, highlighting and replaying is the same whether the
// renderer reuses what it drew or draws each one as the steps say.
TEST_F(Renderer, ReusingGivesThePicturesOfTheLiteralSteps) {
  LoadSample();
  GraphRenderer fast(true), literal(false);
  int step = 0;
  auto same = [&](bool force) {
    SCOPED_TRACE("step " + std::to_string(step++));
    ViewState view = m_model.view;
    RenderOutput a = fast.Redraw(m_model, m_settings, force);
    ViewState after = m_model.view;
    m_model.view = view;
    RenderOutput b = literal.Redraw(m_model, m_settings, force);
    ASSERT_EQ(a.empty, b.empty);
    EXPECT_TRUE(*platform::ImageData(a.display) == *platform::ImageData(b.display));
    EXPECT_TRUE(*platform::ImageData(a.strip) == *platform::ImageData(b.strip));
    EXPECT_EQ(a.shade != 0, b.shade != 0);
    if (a.shade && b.shade) {
      EXPECT_TRUE(*platform::ImageData(a.shade) == *platform::ImageData(b.shade));
    }
    EXPECT_EQ(a.frameNumber, b.frameNumber);
    EXPECT_EQ(a.frameMessage, b.frameMessage);
    EXPECT_EQ(m_model.view.lastScrollX, after.lastScrollX);
  };
  same(true);
  m_model.view.hoveredNode = Node("FILE:");
  same(true);
  m_model.Highlights.push_back({Node("PROCESS:3120"), nullptr});
  same(true);
  m_model.view.hoveredNode = nullptr;
  m_settings.framesMode = true;
  const int64_t frames = CountVisibleFrames(m_model);
  for (int64_t f = 0; f <= frames; ++f) {
    m_model.view.currentFrame = f;
    m_model.view.hoveredNode = f % 3 == 0 ? Node("PROCESS:3120") : nullptr;
    same(false);
  }
  m_model.view.currentFrame = 2;  // a step back
  same(false);
  m_model.TimelineMode = 1;
  same(false);
  m_settings.smartHighlight = false;
  m_settings.hideUnvisitedGraphparts = true;
  same(false);
  // Only the graph build of the first redraw, and a replay per change of direction or mode.
  EXPECT_EQ(fast.GraphBuilds(), 1);
  EXPECT_LE(fast.ReplayBuilds(), 4);
}

// The layout repeated across and down, a layout's size apart: a larger graph of the same kind.
void Tile(GraphModel& model, int across, int down) {
  GraphLayout& layout = model.layout;
  const size_t nodes = layout.nodes.size(), edges = layout.edges.size();
  for (int row = 0; row < down; ++row) {
    for (int column = 0; column < across; ++column) {
      if (row == 0 && column == 0) continue;
      const double dx = layout.width * column, dy = layout.height * row;
      for (size_t i = 0; i < nodes; ++i) {
        GraphNode copy = layout.nodes[i];
        copy.x += dx;
        copy.y += dy;
        layout.nodes.push_back(std::move(copy));
      }
      for (size_t i = 0; i < edges; ++i) {
        GraphEdge copy = layout.edges[i];
        for (BezierPoint& p : copy.points) p = {p.x + dx, p.y + dy};
        copy.labelX += dx;
        copy.labelY += dy;
        layout.edges.push_back(std::move(copy));
      }
    }
  }
  layout.width *= across;
  layout.height *= down;
  model.view.layoutImage.width *= across;
  model.view.layoutImage.height *= down;
}

// A pan by whole pixels moves the drawn graph along and draws again only what the move
// uncovered and what crossed the edges of either canvas; other moves draw the graph in full.
// Either way every picture equals a full drawing at the new position, pixel for pixel, with
// labels along the edges or apart from them, and with hover, highlights and the replay on top.
TEST_F(Renderer, PanningGivesThePicturesOfFullDrawings) {
  LoadSample();
  // Large enough that redrawing the strips costs less than a full drawing.
  Tile(m_model, 5, 5);
  struct Pan {
    double dx, dy;
    bool movesAlong;
  } pans[] = {
      {20, 0, true},    {-35, 0, true},   {0, -17, true},  {0, 40, true},
      {13, -7, true},   {-3, 11, true},   {900, 0, false},  // beyond the canvas
      {-900, 0, false}, {0.5, 0, false},                    // to a fraction of a pixel
      {1, 0, false},    {-0.5, 3, false}, {1, 1, true},
  };
  for (bool isolated : {false, true}) {
    SCOPED_TRACE(isolated ? "labels apart" : "labels along the edges");
    m_settings.draw.horizontallyIsolatedEdgeLabels = isolated;
    m_settings.framesMode = false;
    m_model.view = ViewState{.layoutImage = m_model.view.layoutImage};
    m_model.Highlights.clear();
    GraphRenderer fast(true), literal(false);
    auto same = [&](const std::string& step) {
      SCOPED_TRACE(step);
      const ViewState view = m_model.view;
      RenderOutput a = fast.Redraw(m_model, m_settings, false);
      m_model.view = view;
      RenderOutput b = literal.Redraw(m_model, m_settings, true);
      ASSERT_FALSE(a.empty);
      const QImage& fastPicture = *platform::ImageData(a.display);
      const QImage& fullPicture = *platform::ImageData(b.display);
      int differing = 0;
      for (int y = 0; y < fullPicture.height(); ++y)
        for (int x = 0; x < fullPicture.width(); ++x)
          differing += fastPicture.pixel(x, y) != fullPicture.pixel(x, y);
      EXPECT_EQ(differing, 0);
    };
    // The whole graph fits across; pans push nodes, labels and long edges past the edges.
    same("fit");
    for (const Pan& pan : pans) {
      const int64_t builds = fast.GraphBuilds();
      m_model.view.scrollX += pan.dx;
      m_model.view.scrollY += pan.dy;
      same("pan " + std::to_string(pan.dx) + "," + std::to_string(pan.dy));
      EXPECT_EQ(fast.GraphBuilds(), builds + (pan.movesAlong ? 0 : 1)) << pan.dx << "," << pan.dy;
    }
    // Overlays on a picture that was moved along.
    m_model.view.hoveredNode = Node("FILE:");
    m_model.view.scrollX -= 9;
    same("hover");
    m_model.Highlights.push_back({Node("PROCESS:3120"), nullptr});
    m_model.view.scrollY += 6;
    same("highlight");
    m_model.view.hoveredNode = nullptr;
    m_settings.framesMode = true;
    for (int64_t frame : {3, 4, 9}) {
      m_model.view.currentFrame = frame;
      m_model.view.scrollX += 5;
      same("frame " + std::to_string(frame));
    }
    EXPECT_LE(fast.GraphBuilds(), 6);
  }
}

// An edge that is culled before a pan and drawn after it, whose label reaches the part of the
// picture that is moved along: that part is drawn again, and shows the label.
TEST_F(Renderer, ALabelOfAnEdgeCulledBeforeAPanShowsAfterIt) {
  GraphLayout& layout = m_model.layout;
  layout.width = 10;
  layout.height = 6;
  m_model.view.layoutImage = {720, 432};  // fit on 900 x 560: 90 pixels a unit, scroll (0, 10)
  // Nodes in the middle, so that redrawing a little is worth it.
  for (int i = 0; i < 40; ++i) {
    GraphNode node;
    node.name = node.label = "N";
    node.x = 3 + 0.5 * (i % 10);
    node.y = 2 + 0.5 * (i / 10);
    node.width = 0.3;
    node.height = 0.2;
    node.shape = "box";
    node.color = node.fillcolor = "black";
    node.fontcolor = "white";
    layout.nodes.push_back(node);
  }
  // Control points 27 to 45 pixels left of the canvas, beyond the cull's margin of 22; the
  // label, set apart, 45 pixels inside.
  GraphEdge edge;
  edge.points = {{-0.5, 3}, {-0.45, 3.5}, {-0.35, 3.5}, {-0.3, 4}};
  edge.label = "LABEL";
  edge.labelX = 0.5;
  edge.labelY = 3;
  edge.style = "solid";
  edge.color = "black";
  layout.edges.push_back(edge);
  m_settings.draw.horizontallyIsolatedEdgeLabels = true;

  GraphRenderer fast(true), literal(false);
  fast.Redraw(m_model, m_settings, true);
  const ViewState fitted = m_model.view;
  m_model.view.scrollX += 10;  // the control points come within the margin
  const ViewState panned = m_model.view;
  RenderOutput a = fast.Redraw(m_model, m_settings, false);
  EXPECT_EQ(fast.GraphBuilds(), 1);  // moved along
  m_model.view = fitted;
  literal.Redraw(m_model, m_settings, true);
  m_model.view = panned;
  RenderOutput b = literal.Redraw(m_model, m_settings, false);
  EXPECT_TRUE(*platform::ImageData(a.display) == *platform::ImageData(b.display));
  int inked = 0;  // the label, left of the nodes
  for (int y = 0; y < 560; ++y)
    for (int x = 0; x < 200; ++x)
      inked += Pixel(a.display, x, y) != platform::Rgba(255, 255, 255, 255);
  EXPECT_GT(inked, 10);
}

}  // namespace
}  // namespace graphview
