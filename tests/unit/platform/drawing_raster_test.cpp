// Raster drawing: exact colours in every mode, lines and shapes that bound flood fills,
// text cells and images.
#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QWidget>

#include <set>
#include <string>
#include <utility>
#include <vector>

#include "platform/drawing.h"
#include "platform/window_system.h"

using namespace platform;

namespace {

class RasterDrawing : public ::testing::Test {
 protected:
  void TearDown() override {
    StopDrawing();
    CustomFilterCallback(nullptr);
    ResetLayer();
  }
  // A fresh image with a drawing open on it.
  int Canvas(int w, int h, uint32_t colour) {
    int image = CreateImage(kNewNumber, w, h, colour);
    EXPECT_TRUE(StartDrawing(ImageOutput(image)));
    return image;
  }
};

std::set<std::pair<int, int>> PixelsOf(int image, uint32_t colour) {
  std::set<std::pair<int, int>> found;
  for (int y = 0; y < ImageHeight(image); ++y)
    for (int x = 0; x < ImageWidth(image); ++x)
      if (ImagePixel(image, x, y) == colour) found.insert({x, y});
  return found;
}

constexpr uint32_t kWhite = Rgba(255, 255, 255, 255);

TEST_F(RasterDrawing, EachModeComputesThePixelExactly) {
  const uint32_t half = Rgba(10, 20, 30, 128);
  const uint32_t under = Rgba(200, 100, 50, 255);
  struct Case {
    const char* name;
    uint32_t mode, below, expected;
  } cases[] = {
      {"default is opaque", kDrawDefault, under, Rgba(10, 20, 30, 255)},
      {"all channels", kDrawAllChannels, under, half},
      {"blend over opaque", kDrawAlphaBlend, under, Rgba(105, 60, 40, 255)},
      // Straight alpha: over nothing the colour stays itself, not darkened or rounded.
      {"blend over transparent", kDrawAlphaBlend, Rgba(0, 0, 0, 0), half},
      {"alpha channel only", kDrawAlphaChannel, under, Rgba(200, 100, 50, 128)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    int image = Canvas(3, 3, c.below);
    DrawingMode(c.mode);
    Plot(1, 1, half);
    Box(0, 0, 1, 1, half);
    LineXY(2, 2, 2, 2, half);
    EXPECT_EQ(ImagePixel(image, 1, 1), c.expected);
    EXPECT_EQ(ImagePixel(image, 0, 0), c.expected);
    EXPECT_EQ(ImagePixel(image, 2, 2), c.expected);
    EXPECT_EQ(ImagePixel(image, 1, 0), c.below);
    EXPECT_EQ(ReadPixel(1, 1), c.expected);
  }
}

TEST_F(RasterDrawing, TheFilterSeesPositionSourceAndTarget) {
  int image = Canvas(4, 2, Rgba(250, 250, 250, 255));
  SetImagePixel(image, 1, 0, Rgba(20, 20, 20, 255));
  std::vector<std::string> calls;
  // Like a highlighter: only light pixels take the colour.
  CustomFilterCallback([&](int x, int y, uint32_t source, uint32_t target) {
    calls.push_back(std::to_string(x) + "," + std::to_string(y));
    return (Red(target) + Green(target) + Blue(target)) / 3 > 240 ? source : target;
  });
  DrawingMode(kDrawCustomFilter);
  Box(0, 0, 2, 1, Rgba(255, 255, 0, 255));
  EXPECT_EQ(calls, (std::vector<std::string>{"0,0", "1,0"}));
  EXPECT_EQ(ImagePixel(image, 0, 0), Rgba(255, 255, 0, 255));
  EXPECT_EQ(ImagePixel(image, 1, 0), Rgba(20, 20, 20, 255));
}

TEST_F(RasterDrawing, LinesAreBresenhamWithBothEnds) {
  const uint32_t red = Rgba(255, 0, 0, 255);
  const std::set<std::pair<int, int>> expected{{0, 0}, {1, 0}, {2, 1}, {3, 1}, {4, 2}, {5, 2}};
  int image = Canvas(8, 4, kWhite);
  LineXY(0, 0, 5, 2, red);
  EXPECT_EQ(PixelsOf(image, red), expected);
  int back = Canvas(8, 4, kWhite);
  LineXY(5, 2, 0, 0, red);
  EXPECT_EQ(PixelsOf(back, red), expected);

  // Clipped at the edges; a line far away is dismissed rather than walked.
  int clipped = Canvas(8, 4, kWhite);
  LineXY(-3, 1, 10, 1, red);
  EXPECT_EQ(PixelsOf(clipped, red).size(), 8u);
  QElapsedTimer timer;
  timer.start();
  LineXY(-2000000000, -2000000000, -1000000000, 2000000000, red);
  Box(-2000000000, -2000000000, 2000000000, 2000000000, red);
  EXPECT_LT(timer.elapsed(), 1000);
}

TEST_F(RasterDrawing, FloodFillStopsAtOnePixelDiagonalsAndFillsEachPixelOnce) {
  // A diamond of one-pixel diagonal lines, drawn and filled in the default mode with a
  // colour whose alpha byte is 0: the fill must still recognise the opaque outline.
  const uint32_t line = Rgb(0, 0, 255);
  int image = Canvas(21, 21, kWhite);
  LineXY(10, 0, 20, 10, line);
  LineXY(20, 10, 10, 20, line);
  LineXY(10, 20, 0, 10, line);
  LineXY(0, 10, 10, 0, line);
  FillArea(10, 10, line, line);
  // A filled diamond of "radius" 10 has 2 * 10 * 11 + 1 pixels; the corners stay white.
  EXPECT_EQ(PixelsOf(image, line | 0xFF000000u).size(), 221u);
  EXPECT_EQ(ImagePixel(image, 0, 0), kWhite);
  EXPECT_EQ(ImagePixel(image, 20, 20), kWhite);

  // Filling with another colour, blended, ends and touches every inner pixel exactly once.
  const uint32_t opaque = Rgba(0, 0, 255, 255);
  int ring = Canvas(21, 21, kWhite);
  DrawingMode(kDrawOutlined);
  Box(2, 2, 17, 17, opaque);
  DrawingMode(kDrawAlphaBlend);
  FillArea(10, 10, opaque, Rgba(255, 0, 0, 128));
  EXPECT_EQ(PixelsOf(ring, Rgba(255, 127, 127, 255)).size(), 15u * 15u);
  EXPECT_EQ(ImagePixel(ring, 1, 1), kWhite);

  // A start on the boundary fills nothing.
  DrawingMode(kDrawDefault);
  FillArea(2, 2, opaque, Rgb(0, 255, 0));
  EXPECT_TRUE(PixelsOf(ring, Rgba(0, 255, 0, 255)).empty());
}

TEST_F(RasterDrawing, FloodFillOfALargeOpenAreaNeedsNoDeepStack) {
  int image = Canvas(1500, 1500, kWhite);
  FillArea(700, 700, Rgb(0, 0, 0), Rgb(1, 2, 3));
  EXPECT_EQ(ImagePixel(image, 0, 0), Rgba(1, 2, 3, 255));
  EXPECT_EQ(ImagePixel(image, 1499, 1499), Rgba(1, 2, 3, 255));
}

TEST_F(RasterDrawing, OutlinedShapesCloseTheirAreaAndBlendTheirCornersOnce) {
  const uint32_t edge = Rgba(0, 0, 0, 100);
  int image = Canvas(30, 20, kWhite);
  DrawingMode(kDrawAlphaBlend | kDrawOutlined);
  Box(25, 15, -20, -10, edge);  // negative sizes reach left and up: x 5..24, y 5..14
  uint32_t once = ImagePixel(image, 10, 5);
  EXPECT_NE(once, kWhite);
  EXPECT_EQ(ImagePixel(image, 5, 5), once);
  EXPECT_EQ(ImagePixel(image, 24, 14), once);
  EXPECT_EQ(ImagePixel(image, 5, 10), once);
  EXPECT_EQ(ImagePixel(image, 10, 10), kWhite);
  EXPECT_EQ(ImagePixel(image, 4, 5), kWhite);
  EXPECT_EQ(PixelsOf(image, once).size(), 2u * 20 + 2u * 8);

  // An outlined ellipse and rounded box hold a fill; their bounding corners stay outside.
  struct Case {
    const char* name;
    std::function<void(uint32_t)> draw;
  } cases[] = {
      {"ellipse", [](uint32_t c) { Ellipse(15, 10, 12, 7, c); }},
      {"rounded box", [](uint32_t c) { RoundBox(3, 3, 24, 14, 6, 5, c); }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    int shape = Canvas(30, 20, kWhite);
    DrawingMode(kDrawAllChannels | kDrawOutlined);
    c.draw(Rgba(9, 9, 9, 255));
    EXPECT_EQ(ImagePixel(shape, 15, 10), kWhite);  // the outline only
    DrawingMode(kDrawAllChannels);
    FillArea(15, 10, Rgba(9, 9, 9, 255), Rgba(0, 200, 0, 255));
    EXPECT_EQ(ImagePixel(shape, 15, 10), Rgba(0, 200, 0, 255));
    EXPECT_EQ(ImagePixel(shape, 3, 3), kWhite);
    EXPECT_EQ(ImagePixel(shape, 0, 0), kWhite);
    EXPECT_EQ(ImagePixel(shape, 29, 19), kWhite);
  }
}

TEST_F(RasterDrawing, FilledShapesReachTheirRadii) {
  const uint32_t ink = Rgba(1, 1, 1, 255);
  int image = Canvas(40, 40, kWhite);
  Ellipse(20, 20, 10, 5, ink);
  for (auto [x, y] : {std::pair{10, 20}, {30, 20}, {20, 15}, {20, 25}})
    EXPECT_EQ(ImagePixel(image, x, y), ink) << x << "," << y;
  for (auto [x, y] : {std::pair{9, 20}, {31, 20}, {20, 14}, {20, 26}, {11, 16}})
    EXPECT_EQ(ImagePixel(image, x, y), kWhite) << x << "," << y;

  // Radii are limited to half the box: a 10 x 10 box with huge radii is a disc.
  int disc = Canvas(10, 10, kWhite);
  RoundBox(0, 0, 10, 10, 100, 100, ink);
  EXPECT_EQ(ImagePixel(disc, 0, 0), kWhite);
  EXPECT_EQ(ImagePixel(disc, 9, 9), kWhite);
  EXPECT_EQ(ImagePixel(disc, 5, 0), ink);
  EXPECT_EQ(ImagePixel(disc, 0, 5), ink);
  EXPECT_EQ(ImagePixel(disc, 5, 5), ink);
  // Symmetric: as many pixels in each half.
  auto all = PixelsOf(disc, ink);
  size_t left = std::count_if(all.begin(), all.end(), [](auto p) { return p.first < 5; });
  EXPECT_EQ(left * 2, all.size());
}

TEST_F(RasterDrawing, TextFillsItsCellAndReportsWhereItEnds) {
  int font = LoadFont(kNewNumber, "DejaVu Sans", 20, kFontBold);
  int image = Canvas(300, 60, Rgba(0, 0, 0, 0));
  DrawingFont(font);
  const uint32_t front = Rgba(200, 30, 40, 255);
  int w = TextWidth("Hello");
  int h = TextHeight("Hello");
  EXPECT_GT(w, TextWidth("Hell"));
  EXPECT_EQ(TextHeight("a"), h);
  EXPECT_EQ(TextWidth(""), 0);
  DrawingMode(kDrawAlphaBlend);
  EXPECT_EQ(DrawText(10, 5, "Hello", front, Rgba(0, 0, 0, 1)), 10 + w);

  // The nearly invisible background covers exactly the cell, so a shadow filter sees it.
  for (int y = 0; y < 60; ++y)
    for (int x = 0; x < 300; ++x) {
      bool inCell = x >= 10 && x < 10 + w && y >= 5 && y < 5 + h;
      ASSERT_EQ(Alpha(ImagePixel(image, x, y)) > 0, inCell) << x << "," << y;
    }
  // Glyph interiors get the colour exactly.
  EXPECT_GT(PixelsOf(image, front).size(), 50u);

  // A bigger font is wider; the default mode writes opaque glyphs without any cell.
  int big = LoadFont(kNewNumber, "DejaVu Sans", 40, kFontBold);
  DrawingFont(big);
  EXPECT_GT(TextWidth("Hello"), w * 3 / 2);
  int plain = Canvas(200, 80, kWhite);
  DrawingFont(big);
  DrawText(0, 0, "Hi", Rgb(0, 0, 0));
  EXPECT_GT(PixelsOf(plain, Rgba(0, 0, 0, 255)).size(), 50u);
  EXPECT_EQ(ImagePixel(plain, 199, 79), kWhite);
}

TEST_F(RasterDrawing, ImagesAreCopiedBlendedFilteredOrStretched) {
  int sprite = CreateImage(kNewNumber, 2, 1, Rgba(0, 0, 0, 0));
  SetImagePixel(sprite, 1, 0, Rgba(10, 20, 30, 128));
  const uint32_t under = Rgba(200, 100, 50, 255);
  struct Case {
    const char* name;
    uint32_t mode;
    uint32_t left, right;  // what the two sprite pixels leave behind
  } cases[] = {
      {"default copies with alpha", kDrawDefault, Rgba(0, 0, 0, 0), Rgba(10, 20, 30, 128)},
      {"blend", kDrawAlphaBlend, under, Rgba(105, 60, 40, 255)},
      {"alpha channel", kDrawAlphaChannel, Rgba(200, 100, 50, 0), Rgba(200, 100, 50, 128)},
      {"shadow filter", kDrawCustomFilter, Rgba(0, 0, 0, 0), Rgba(0, 0, 0, 200)},
  };
  CustomFilterCallback([](int, int, uint32_t source, uint32_t) {
    return source ? Rgba(0, 0, 0, 200) : Rgba(0, 0, 0, 0);
  });
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    int image = Canvas(4, 2, under);
    DrawingMode(c.mode);
    DrawImage(sprite, 1, 1);
    DrawImage(sprite, 3, -1);  // clipped to nothing
    EXPECT_EQ(ImagePixel(image, 1, 1), c.left);
    EXPECT_EQ(ImagePixel(image, 2, 1), c.right);
    EXPECT_EQ(ImagePixel(image, 0, 1), under);
    EXPECT_EQ(ImagePixel(image, 3, 0), under);
  }

  // Stretched to 6 x 4 (the size of what is touched, in the exact copy mode).
  int red = CreateImage(kNewNumber, 2, 2, Rgba(255, 0, 0, 255));
  int image = Canvas(10, 10, kWhite);
  DrawImage(red, 2, 3, 6, 4);
  EXPECT_EQ(PixelsOf(image, Rgba(255, 0, 0, 255)).size(), 24u);
  EXPECT_EQ(ImagePixel(image, 7, 6), Rgba(255, 0, 0, 255));
  EXPECT_EQ(ImagePixel(image, 8, 6), kWhite);
  // Onto itself, shifted: the source is read before it is overwritten.
  SetImagePixel(image, 0, 0, Rgba(1, 2, 3, 255));
  DrawImage(image, 1, 1);
  EXPECT_EQ(ImagePixel(image, 1, 1), Rgba(1, 2, 3, 255));
}

// Scrolling moves every pixel by the offset and fills what it uncovers, in either direction
// and on either layout; an offset as large as the picture leaves only the fill.
TEST_F(RasterDrawing, ScrollingMovesThePictureAndFillsWhatItUncovers) {
  const uint32_t fill = Rgba(9, 8, 7, 100);
  auto original = [](int x, int y) { return Rgba(uint32_t(10 * x), uint32_t(10 * y), 99, 255); };
  struct Case {
    int dx, dy;
  } cases[] = {{2, 1}, {-1, -2}, {0, 3}, {-3, 0}, {0, 0}, {5, 0}, {1, -4}};
  for (bool premultiplied : {false, true}) {
    for (const Case& c : cases) {
      SCOPED_TRACE(std::to_string(c.dx) + "," + std::to_string(c.dy) +
                   (premultiplied ? " premultiplied" : ""));
      int image = Canvas(5, 4, kWhite);
      for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 5; ++x) Plot(x, y, original(x, y));
      if (premultiplied) {
        StartVectorDrawing(ImageOutput(image));  // vector drawing leaves it premultiplied
        StopVectorDrawing();
        StartDrawing(ImageOutput(image));
      }
      ScrollOutput(c.dx, c.dy, fill);
      StopDrawing();
      for (int y = 0; y < 4; ++y) {
        for (int x = 0; x < 5; ++x) {
          const int fromX = x - c.dx, fromY = y - c.dy;
          const bool moved = fromX >= 0 && fromX < 5 && fromY >= 0 && fromY < 4;
          const uint32_t got = ImagePixel(image, x, y);
          if (moved) {
            EXPECT_EQ(got, original(fromX, fromY)) << x << "," << y;
            continue;
          }
          // A half-transparent fill comes back within the rounding of premultiplication.
          EXPECT_EQ(Alpha(got), Alpha(fill)) << x << "," << y;
          EXPECT_NEAR(int(Red(got)), int(Red(fill)), 2) << x << "," << y;
          EXPECT_NEAR(int(Blue(got)), int(Blue(fill)), 2) << x << "," << y;
        }
      }
    }
  }
}

TEST_F(RasterDrawing, CanvasesShowTheirDrawingAndMissingOutputsDrawNothing) {
  OpenWindow(kNewNumber, 0, 0, 100, 80, "canvas");
  int canvas = CanvasGadget(kNewNumber, 10, 10, 60, 40);
  ASSERT_TRUE(StartDrawing(CanvasOutput(canvas)));
  EXPECT_EQ(OutputWidth(), 60);
  EXPECT_EQ(OutputHeight(), 40);
  Box(0, 0, 60, 40, Rgb(0, 0, 0));
  StopDrawing();
  QApplication::processEvents();
  QImage shown = GadgetWidget(canvas)->grab().toImage();
  EXPECT_EQ(shown.pixelColor(30, 20), QColor(0, 0, 0));

  EXPECT_FALSE(StartDrawing(ImageOutput(12345)));
  EXPECT_FALSE(StartDrawing(CanvasOutput(12345)));
  Box(0, 0, 10, 10, Rgb(1, 1, 1));
  FillArea(0, 0, 0, 0);
  DrawText(0, 0, "x", 0);
  EXPECT_EQ(OutputWidth(), 0);
  EXPECT_EQ(ReadPixel(0, 0), 0u);

  // An image freed while drawn on is kept alive until the drawing stops.
  int image = Canvas(5, 5, kWhite);
  FreeImage(image);
  Box(0, 0, 5, 5, Rgb(1, 1, 1));
  EXPECT_EQ(ReadPixel(4, 4), Rgba(1, 1, 1, 255));
  StopDrawing();
}

// Vector drawing leaves its outputs premultiplied and canvases are kept so; raster drawing
// must give the same exact pixels there as on its own non-premultiplied images.
bool Premultiplied(const QImage* image) {
  return image && image->format() == QImage::Format_ARGB32_Premultiplied;
}

// Makes an image premultiplied the way the graph's work image becomes so.
void VectorTouch(int image) {
  ASSERT_TRUE(StartVectorDrawing(ImageOutput(image)));
  StopVectorDrawing();
  ASSERT_TRUE(Premultiplied(ImageData(image)));
}

TEST_F(RasterDrawing, BlendedBoxesMatchPixelByPixelBlendingOnEitherLayout) {
  // One pixel per colour underneath: every grey level with other channels beside it, then
  // pixels that are not opaque, the last ones after a run of opaque ones.
  std::vector<uint32_t> unders;
  for (uint32_t d = 0; d < 256; ++d) unders.push_back(Rgba(d, 255 - d, (d * 7) & 255, 255));
  for (uint32_t a : {0u, 1u, 128u, 254u}) unders.push_back(Rgba(90, 180, 30, a));
  for (int i = 0; i < 9; ++i) unders.push_back(Rgba(5, 6, 7, 255));
  unders.push_back(Rgba(90, 180, 30, 77));
  const int width = int(unders.size()) + 3;
  auto fill = [&](int image) {
    for (size_t i = 0; i < unders.size(); ++i) SetImagePixel(image, int(i) + 3, 0, unders[i]);
  };
  for (uint32_t colour : {Rgba(255, 255, 255, 220), Rgba(10, 200, 90, 1), Rgba(0, 0, 0, 128),
                          Rgba(250, 3, 77, 254)}) {
    SCOPED_TRACE(colour);
    int expected = CreateImage(kNewNumber, width, 1, kWhite);
    fill(expected);
    StartDrawing(ImageOutput(expected));
    DrawingMode(kDrawAlphaBlend);
    for (int x = 0; x < width; ++x) Plot(x, 0, colour);
    StopDrawing();

    int straight = CreateImage(kNewNumber, width, 1, kWhite);
    fill(straight);
    StartDrawing(ImageOutput(straight));
    DrawingMode(kDrawAlphaBlend);
    Box(0, 0, width, 1, colour);
    StopDrawing();
    for (int x = 0; x < width; ++x)
      ASSERT_EQ(ImagePixel(straight, x, 0), ImagePixel(expected, x, 0)) << "x " << x;

    // Premultiplied with opaque pixels only: blended where it lies, it stays premultiplied.
    int opaque = CreateImage(kNewNumber, 256, 1, kWhite);
    for (int x = 0; x < 256; ++x) SetImagePixel(opaque, x, 0, unders[size_t(x)]);
    VectorTouch(opaque);
    StartDrawing(ImageOutput(opaque));
    DrawingMode(kDrawAlphaBlend);
    Box(0, 0, 256, 1, colour);
    StopDrawing();
    EXPECT_TRUE(Premultiplied(ImageData(opaque)));
    for (int x = 0; x < 256; ++x)
      ASSERT_EQ(ImagePixel(opaque, x, 0), ImagePixel(expected, x + 3, 0)) << "x " << x;
  }
}

TEST_F(RasterDrawing, APremultipliedOutputTurnsOnceWhereExactColoursNeedIt) {
  const uint32_t half = Rgba(10, 20, 30, 128);
  // An image vector drawing left premultiplied.
  int image = CreateImage(kNewNumber, 8, 8, kWhite);
  VectorTouch(image);
  StartDrawing(ImageOutput(image));
  Box(0, 0, 4, 4, Rgb(1, 2, 3));
  EXPECT_TRUE(Premultiplied(ImageData(image))) << "opaque drawing needs no turn";
  DrawingMode(kDrawAllChannels);
  Plot(5, 5, half);
  EXPECT_EQ(ReadPixel(5, 5), half);
  EXPECT_EQ(ReadPixel(1, 1), Rgba(1, 2, 3, 255));
  StopDrawing();
  EXPECT_EQ(ImagePixel(image, 5, 5), half) << "an image keeps the exact layout";
  // Pixels set directly are exact too.
  VectorTouch(image);
  SetImagePixel(image, 6, 6, half);
  EXPECT_EQ(ImagePixel(image, 6, 6), half);

  // A canvas is shown premultiplied again once the drawing stops.
  OpenWindow(kNewNumber, 0, 0, 100, 80, "canvas");
  int canvas = CanvasGadget(kNewNumber, 0, 0, 20, 20);
  EXPECT_TRUE(Premultiplied(CanvasBuffer(canvas)));
  StartDrawing(CanvasOutput(canvas));
  DrawingMode(kDrawAlphaChannel);
  Plot(3, 3, Rgba(0, 0, 0, 100));
  EXPECT_EQ(ReadPixel(3, 3), Rgba(255, 255, 255, 100));
  EXPECT_FALSE(Premultiplied(CanvasBuffer(canvas)));
  StopDrawing();
  EXPECT_TRUE(Premultiplied(CanvasBuffer(canvas)));
}

TEST_F(RasterDrawing, PicturesAreCopiedWordForWordBetweenLayouts) {
  const uint32_t half = Rgba(10, 20, 30, 128), red = Rgba(255, 0, 0, 255);
  int sprite = CreateImage(kNewNumber, 3, 3, red);
  SetImagePixel(sprite, 2, 2, half);
  // A straight picture onto a premultiplied output, clipped at the top left: its opaque rows
  // leave the output as it is, the row with the transparent pixel turns it.
  int premultiplied = CreateImage(kNewNumber, 4, 4, kWhite);
  VectorTouch(premultiplied);
  StartDrawing(ImageOutput(premultiplied));
  DrawImage(sprite, -1, 2);  // only the two opaque rows are inside
  EXPECT_TRUE(Premultiplied(ImageData(premultiplied)));
  EXPECT_EQ(ReadPixel(1, 3), red);
  DrawImage(sprite, -1, -1);
  EXPECT_FALSE(Premultiplied(ImageData(premultiplied)));
  EXPECT_EQ(ReadPixel(1, 1), half);
  EXPECT_EQ(ReadPixel(0, 0), red);
  EXPECT_EQ(ReadPixel(2, 2), kWhite);
  StopDrawing();

  // A premultiplied picture onto a premultiplied output stays as it is, clipped at the right.
  int picture = CreateImage(kNewNumber, 3, 3, red);
  VectorTouch(picture);
  int canvasLike = CreateImage(kNewNumber, 4, 4, kWhite);
  VectorTouch(canvasLike);
  StartDrawing(ImageOutput(canvasLike));
  DrawImage(picture, 2, 1);
  StopDrawing();
  EXPECT_TRUE(Premultiplied(ImageData(canvasLike)));
  EXPECT_EQ(PixelsOf(canvasLike, red),
            (std::set<std::pair<int, int>>{{2, 1}, {3, 1}, {2, 2}, {3, 2}, {2, 3}, {3, 3}}));
  // And onto a straight output it arrives in that layout.
  int straight = CreateImage(kNewNumber, 4, 4, kWhite);
  StartDrawing(ImageOutput(straight));
  DrawImage(picture, 0, 0);
  StopDrawing();
  EXPECT_FALSE(Premultiplied(ImageData(straight)));
  EXPECT_EQ(ImagePixel(straight, 2, 2), red);
}

}  // namespace
