// Nodes and edges drawn into an image at a fixed layout (100 pixels per layout unit, no
// scroll), checked at known pixels; label text, fitting and colour names.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "graphview/edge_kinds.h"
#include "graphview/graph_drawing.h"
#include "platform/drawing.h"
#include "platform/window_system.h"

namespace graphview {
namespace {

using platform::Rgba;

constexpr uint32_t kWhite = Rgba(255, 255, 255, 255);
constexpr uint32_t kRed = Rgba(255, 0, 0, 255);
constexpr uint32_t kBlue = Rgba(0, 0, 255, 255);
constexpr uint32_t kGreen = Rgba(0, 255, 0, 255);
constexpr uint32_t kBlack = Rgba(0, 0, 0, 255);
// 12 pixels at this layout.
constexpr double kFont = 0.12;

TEST(GraphColours, NamesOfTheLayout) {
  struct Case {
    const char* name;
    int alpha;
    uint32_t colour;
  };
  const Case cases[] = {
      {"green", 255, 0xFF00FF00},
      {"red", 50, 0x320000FF},
      {"black", 255, 0xFF000000},
      {"", 255, 0xFF000000},
      {"magenta", 255, 0xFFFF00FF},
      {"gray", 255, 0xFFC8C8C8},
      {"yellow", 255, 0xFF00FFFF},
      {"orange", 255, 0xFF00A5FF},
      {"blue", 0, 0x00FF0000},
      {"blueviolet", 255, 0xFFE22B8A},
      {"white", 255, 0xFFFFFFFF},
      {"goldenrod", 255, 0xFF20A5DA},
      {"Green", 255, 0},
      {"lightblue", 255, 0},
      {"red", 300, 0xFF0000FF},
      {"red", -4, 0x000000FF},
  };
  for (const Case& c : cases)
    EXPECT_EQ(GetColorByName(c.name, c.alpha), c.colour) << c.name << " " << c.alpha;
}

// Read in one pass; shown with the log's hidden characters written out, the label's own line
// breaks kept.
TEST(GraphLabels, UnescapedInOnePass) {
  struct Case {
    std::string raw, real, shown;
  };
  const Case cases[] = {
      {R"(PROCESS\nexplorer.exe)", "PROCESS\nexplorer.exe", "PROCESS\nexplorer.exe"},
      // The backslash before "ntdll" is an escaped one, not the start of a line break.
      {R"(C:\\Windows\\ntdll.dll)", R"(C:\Windows\ntdll.dll)", R"(C:\Windows\ntdll.dll)"},
      {R"(dir\\\nfile)", "dir\\\nfile", "dir\\\nfile"},
      {R"(tab\tstays)", R"(tab\tstays)", R"(tab\tstays)"},
      {R"(ends\)", R"(ends\)", R"(ends\)"},
      {"", "", ""},
      {"C:\\\\x\\\\invoice\u202Eexe.txt", "C:\\x\\invoice\u202Eexe.txt",
       "C:\\x\\invoice_0x202E_exe.txt"},
      {"a\r\\nb.exe\\n(PID: 1)", "a\r\nb.exe\n(PID: 1)", "a_0x0D_\nb.exe\n(PID: 1)"},
      {"\x1B[1m\x07\x7F\\\\\t", "\x1B[1m\x07\x7F\\\t", "_0x1B_[1m_0x07__0x7F_\\_0x09_"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(UnescapeLabel(c.raw), c.real) << c.raw;
    EXPECT_EQ(ShownLabel(c.raw), c.shown) << c.raw;
  }
}

class GraphDrawing : public ::testing::Test {
 protected:
  void SetUp() override {
    m_font = platform::LoadFont(platform::kNewNumber, "Times-Roman", 12);
    ASSERT_NE(m_font, 0);
    m_settings.graphFont = m_font;
    m_settings.canvasWidth = 400;
    m_settings.canvasHeight = 300;
    GraphLayout& layout = m_model.layout;
    layout.width = 4;
    layout.height = 3;
    ViewState& view = m_model.view;
    view.layoutImage = {400, 300};
    view.zoom = 1;
    view.anchorImageX = view.anchorImageY = view.anchorCanvasX = view.anchorCanvasY = 0.5;
    RescaleView(view, 400, 300);
    m_image = platform::CreateImage(platform::kNewNumber, 400, 300, kWhite);
    ASSERT_TRUE(platform::StartVectorDrawing(platform::ImageOutput(m_image)));
  }
  void TearDown() override {
    platform::StopVectorDrawing();
    platform::ResetLayer();
  }

  // A 100 x 100 pixel node centred at (100, 150).
  GraphNode& AddNode(const char* shape, const char* fill, const char* outline,
                     const char* label = "") {
    GraphNode& node = m_model.layout.nodes.emplace_back();
    node.x = 1;
    node.y = 1.5;
    node.width = 1;
    node.height = 1;
    node.shape = shape;
    node.fillcolor = fill;
    node.color = outline;
    node.label = label;
    return node;
  }

  // A straight green edge from (250, 50) to (350, 50), of no known kind, 3.6 pixels wide.
  GraphEdge& AddEdge(const char* label = "") {
    GraphEdge& edge = m_model.layout.edges.emplace_back();
    edge.points = {{2.5, 2.5}, {2.8, 2.5}, {3.1, 2.5}, {3.5, 2.5}};
    edge.plainLine = "edge a b 4 2.5 2.5 2.8 2.5 3.1 2.5 3.5 2.5 bold green";
    edge.style = "bold";
    edge.color = "green";
    edge.penWidth = 3;
    edge.label = label;
    return edge;
  }

  void Clear() {
    platform::StopVectorDrawing();
    platform::FreeImage(m_image);
    m_image = platform::CreateImage(platform::kNewNumber, 400, 300, kWhite);
    platform::StartVectorDrawing(platform::ImageOutput(m_image));
  }

  uint32_t Pixel(int x, int y) {
    platform::StopVectorDrawing();
    uint32_t p = platform::ImagePixel(m_image, x, y);
    platform::StartVectorDrawing(platform::ImageOutput(m_image));
    return p;
  }

  int CountPixels(int x1, int y1, int x2, int y2, uint32_t colour) {
    platform::StopVectorDrawing();
    int n = 0;
    for (int y = y1; y <= y2; ++y)
      for (int x = x1; x <= x2; ++x) n += platform::ImagePixel(m_image, x, y) == colour;
    platform::StartVectorDrawing(platform::ImageOutput(m_image));
    return n;
  }

  bool Blank() { return CountPixels(0, 0, 399, 299, kWhite) == 400 * 300; }

  GraphModel m_model;
  GraphDrawSettings m_settings;
  int m_font = 0;
  int m_image = 0;
};

TEST_F(GraphDrawing, NodeShapesFillAndOutline) {
  struct Case {
    const char* shape;
    bool corner;  // (53, 103), just inside the box's top left corner
    bool centre;
    bool tab;  // (60, 96), above the box, where a tab sits
  };
  const Case cases[] = {
      {"box", true, true, false},       {"tripleoctagon", true, true, false},
      {"oval", false, true, false},     {"diamond", false, true, false},
      {"note", true, true, false},      {"tab", true, true, true},
      {"hexagon", false, false, false},
  };
  for (const Case& c : cases) {
    Clear();
    m_model.layout.nodes.clear();
    DrawNode(m_model, AddNode(c.shape, "red", "blue"), kFont, 255, m_settings);
    EXPECT_EQ(Pixel(53, 103) == kRed, c.corner) << c.shape;
    EXPECT_EQ(Pixel(100, 150) == kRed, c.centre) << c.shape;
    EXPECT_EQ(Pixel(60, 96) == kRed, c.tab) << c.shape;
    if (c.shape == std::string("box")) {
      // The 2-pixel outline is centred on the box's edge at x = 50.
      EXPECT_EQ(Pixel(49, 150), kBlue);
      EXPECT_EQ(Pixel(50, 150), kBlue);
      EXPECT_EQ(Pixel(47, 150), kWhite);
    }
  }
}

TEST_F(GraphDrawing, FadedNodesAndTheirOutlines) {
  GraphNode& node = AddNode("box", "black", "black");
  DrawNode(m_model, node, kFont, 255, m_settings);
  EXPECT_EQ(Pixel(49, 150), kBlack);
  Clear();
  // Faded, an outline in the fill's own colour is left out: outside the fill stays white.
  DrawNode(m_model, node, kFont, 50, m_settings);
  EXPECT_EQ(Pixel(49, 150), kWhite);
  uint32_t faded = Pixel(100, 120);
  EXPECT_NEAR(int(platform::Red(faded)), 205, 2);
  Clear();
  // A colour the table does not know fills nothing visible; the outline still shows.
  node.fillcolor = "lightblue";
  node.color = "blue";
  DrawNode(m_model, node, kFont, 255, m_settings);
  EXPECT_EQ(Pixel(100, 150), kWhite);
  EXPECT_EQ(Pixel(49, 150), kBlue);
}

TEST_F(GraphDrawing, WhiteLabelsStayOpaqueWhenFaded) {
  GraphNode& node = AddNode("box", "black", "black", "WWW");
  int interiorWhite[2] = {};
  for (const char* fontcolor : {"white", ""}) {
    Clear();
    node.fontcolor = fontcolor;
    DrawNode(m_model, node, kFont, 50, m_settings);
    interiorWhite[*fontcolor == 0] = CountPixels(55, 105, 145, 195, kWhite);
  }
  EXPECT_GT(interiorWhite[0], 0);
  EXPECT_EQ(interiorWhite[1], 0);
}

// A label of nothing but characters that would hide or turn text still shows something.
TEST_F(GraphDrawing, HiddenCharactersOfALabelLeaveInk) {
  for (const char* label : {"\x1B\x07\x7F", "\u202E\u2066", "\x01\\n\x0D"}) {
    SCOPED_TRACE(label);
    Clear();
    AddNode("box", "white", "white", label);
    DrawNode(m_model, m_model.layout.nodes.back(), kFont, 255, m_settings);
    EXPECT_LT(CountPixels(55, 105, 145, 195, kWhite), 91 * 91);
  }
}

TEST_F(GraphDrawing, NodesOffTheCanvasAreSkipped) {
  GraphNode& node = AddNode("box", "red", "blue", "label");
  node.x = -0.51;  // the box ends one pixel left of the canvas
  DrawNode(m_model, node, kFont, 255, m_settings);
  EXPECT_TRUE(Blank());
  EXPECT_TRUE(node.fontFitCache.empty());  // culled before any text was measured
  node.x = -0.5;                           // the box ends on the canvas edge
  DrawNode(m_model, node, kFont, 255, m_settings);
  EXPECT_FALSE(Blank());
  // A box without size is never drawn.
  Clear();
  GraphNode& flat = AddNode("box", "red", "blue", "label");
  flat.height = 0;
  DrawNode(m_model, flat, kFont, 255, m_settings);
  EXPECT_TRUE(Blank());
}

// The largest size the label is measured to fit at: below 90 % of the box both ways.
bool InkFits(int font, const std::string& text, int64_t size, int64_t box) {
  platform::VectorFont(font, static_cast<double>(size));
  int64_t w = RoundHalfEven(platform::VectorTextWidth(text, platform::kVectorTextVisible));
  int64_t h = RoundHalfEven(platform::VectorTextHeight(text, platform::kVectorTextVisible));
  return w < RoundHalfEven(0.9 * box) && h < RoundHalfEven(0.9 * box);
}

TEST_F(GraphDrawing, LabelsFitTheirBoxAndTheFitIsKeptPerSizeAndBox) {
  const char* raws[] = {R"(AAAAAA\nAAAAAA)", "AAAAAA AAAAAA", R"(AAAAAA\\nAAAAAA)"};
  int64_t fitted[3] = {};
  for (int i = 0; i < 3; ++i) {
    GraphNode& node = AddNode("box", "white", "black", raws[i]);
    DrawNode(m_model, node, 0.6, 255, m_settings);  // 60 pixels asked for a 100-pixel box
    ASSERT_EQ(node.fontFitCache.size(), 1u);
    fitted[i] = node.fontFitCache.at({60, 100, 100});
    std::string text = UnescapeLabel(raws[i]);
    EXPECT_TRUE(InkFits(m_font, text, fitted[i], 100)) << raws[i];
    EXPECT_FALSE(InkFits(m_font, text, fitted[i] + 1, 100)) << raws[i];
  }
  // The line break lets the label grow; an escaped backslash before "n" breaks nothing.
  EXPECT_GT(fitted[0], fitted[1]);
  EXPECT_GT(fitted[0], fitted[2]);

  GraphNode& node = AddNode("box", "white", "black", "ok");
  DrawNode(m_model, node, kFont, 255, m_settings);
  DrawNode(m_model, node, kFont, 255, m_settings);
  // A smaller size asked for at the same zoom is not served the earlier, larger fit.
  DrawNode(m_model, node, 0.06, 255, m_settings);
  EXPECT_EQ(node.fontFitCache.size(), 2u);
  EXPECT_EQ(node.fontFitCache.at({12, 100, 100}), 12);
  EXPECT_EQ(node.fontFitCache.at({6, 100, 100}), 6);

  // A long zoom through many box sizes keeps only the recent fits.
  for (int step = 0; step < 200; ++step) {
    m_model.view.zoom = 0.5 + step * 0.01;
    RescaleView(m_model.view, 400, 300);
    DrawNode(m_model, node, kFont, 255, m_settings);
  }
  EXPECT_LE(node.fontFitCache.size(), 64u);
}

TEST_F(GraphDrawing, EdgeLineArrowheadAndKindsWithout) {
  GraphEdge& edge = AddEdge();
  ASSERT_EQ(GetEdgeType(edge.plainLine), EDGETYPE_Unknown);
  DrawEdge(m_model, edge, kFont, 255, m_settings);
  EXPECT_EQ(Pixel(270, 50), kGreen);
  // The arrowhead (7.8 pixels) starts at the spline's end and points on.
  EXPECT_EQ(Pixel(354, 50), kGreen);
  EXPECT_EQ(Pixel(354, 44), kWhite);
  EXPECT_EQ(Pixel(246, 50), kWhite);

  Clear();
  edge.dotLine = R"("THREAD:a" -> "FILE:b" [label = "", dir = back, color = green];)";
  DrawEdge(m_model, edge, kFont, 255, m_settings);
  EXPECT_EQ(Pixel(246, 50), kGreen);
  EXPECT_EQ(Pixel(354, 50), kWhite);

  for (const char* line :
       {"edge PROCESS:1 THREAD:1:2 4 2.5 2.5 2.8 2.5 3.1 2.5 3.5 2.5 solid black",
        "edge PROCESS:1 FILE:x 4 2.5 2.5 2.8 2.5 3.1 2.5 3.5 2.5 bold black"}) {
    Clear();
    edge.dotLine = "";
    edge.plainLine = line;
    int kind = GetEdgeType(line);
    EXPECT_TRUE(kind == EDGETYPE_HasThread || kind == EDGETYPE_IsBasedOn) << line;
    DrawEdge(m_model, edge, kFont, 255, m_settings);
    EXPECT_EQ(Pixel(270, 50), kGreen);
    EXPECT_EQ(Pixel(354, 50), kWhite) << line;
  }
}

TEST_F(GraphDrawing, EdgeLabelBoxIsOpaqueWhiteAtAnyAlpha) {
  GraphEdge& edge = AddEdge("i");
  for (int alpha : {255, 50}) {
    Clear();
    DrawEdge(m_model, edge, kFont, alpha, m_settings);
    // (293, 50) lies on the line, inside the box's margin of 8.4 pixels beside the text.
    EXPECT_EQ(Pixel(293, 50), kWhite) << alpha;
    EXPECT_NE(Pixel(270, 50), kWhite) << alpha;
  }
  // Labels written flat at their own position get no box.
  Clear();
  m_settings.horizontallyIsolatedEdgeLabels = true;
  DrawEdge(m_model, edge, kFont, 255, m_settings);
  EXPECT_EQ(Pixel(293, 50), kGreen);

  // Along a vertical edge the box turns with it and hides the line above and below the
  // midpoint.
  Clear();
  m_settings.horizontallyIsolatedEdgeLabels = false;
  edge.points = {{2, 2.5}, {2, 2.2}, {2, 1.9}, {2, 1.5}};
  DrawEdge(m_model, edge, kFont, 255, m_settings);
  EXPECT_EQ(Pixel(200, 107), kWhite);
  EXPECT_EQ(Pixel(200, 93), kWhite);
  EXPECT_EQ(Pixel(200, 70), kGreen);
}

TEST_F(GraphDrawing, DashedEdgesHaveGaps) {
  GraphEdge& edge = AddEdge();
  int gaps[2] = {};
  for (const char* style : {"bold", "dashed"}) {
    Clear();
    edge.style = style;
    DrawEdge(m_model, edge, kFont, 255, m_settings);
    gaps[style[0] == 'd'] = CountPixels(255, 50, 340, 50, kWhite);
  }
  EXPECT_EQ(gaps[0], 0);
  EXPECT_GT(gaps[1], 20);
}

TEST_F(GraphDrawing, EdgesOffTheCanvasAreSkipped) {
  GraphEdge& edge = AddEdge("label");
  // 50 pixels above the canvas, beyond the margin of 25.
  edge.points = {{0.5, 3.5}, {1, 3.5}, {2, 3.5}, {2.5, 3.5}};
  DrawEdge(m_model, edge, kFont, 255, m_settings);
  EXPECT_TRUE(Blank());
  // Every point off the canvas, but the control polygon crosses it.
  edge.points = {{-1, 1.5}, {-0.5, 1.5}, {4.5, 1.5}, {5, 1.5}};
  DrawEdge(m_model, edge, kFont, 255, m_settings);
  EXPECT_EQ(Pixel(100, 150), kGreen);
}

}  // namespace
}  // namespace graphview
