// Vector drawing: fills and strokes of paths, dashes, curves, rotation and text boxes,
// checked through the pixels they leave.
#include <gtest/gtest.h>

#include <QImage>
#include <QRect>

#include "platform/drawing.h"
#include "platform/window_system.h"

using namespace platform;

namespace {

constexpr uint32_t kWhite = Rgba(255, 255, 255, 255);
constexpr uint32_t kBlue = Rgba(0, 0, 255, 255);

class VectorDrawing : public ::testing::Test {
 protected:
  void TearDown() override {
    StopVectorDrawing();
    ResetLayer();
  }
  int Open(int w, int h) {
    int image = CreateImage(kNewNumber, w, h, kWhite);
    EXPECT_TRUE(StartVectorDrawing(ImageOutput(image)));
    return image;
  }
};

bool Inked(int image, int x, int y) {
  return ImagePixel(image, x, y) != kWhite;
}

// The box around every pixel that is not white.
QRect InkBox(int image) {
  QRect box;
  for (int y = 0; y < ImageHeight(image); ++y)
    for (int x = 0; x < ImageWidth(image); ++x)
      if (Inked(image, x, y)) box |= QRect(x, y, 1, 1);
  return box;
}

TEST_F(VectorDrawing, FillsKeepExactColoursInsideAndSmoothEdges) {
  int image = Open(40, 40);
  VectorSourceColor(Rgba(200, 30, 40, 255));
  AddPathBox(10.5, 10, 20, 20);
  FillPath();
  EXPECT_EQ(ImagePixel(image, 20, 20), Rgba(200, 30, 40, 255));
  uint32_t edge = ImagePixel(image, 10, 20);  // half covered
  EXPECT_NE(edge, kWhite);
  EXPECT_NE(edge, Rgba(200, 30, 40, 255));
  EXPECT_EQ(ImagePixel(image, 5, 5), kWhite);

  // The fill used up the path: stroking now draws nothing on the box's outline.
  VectorSourceColor(kBlue);
  StrokePath(3);
  EXPECT_EQ(ImagePixel(image, 20, 10), Rgba(200, 30, 40, 255));

  // A colour with alpha 0 (an unknown colour name) leaves no trace at all.
  VectorSourceColor(Rgba(0, 0, 0, 0));
  AddPathEllipse(20, 20, 15, 15);
  FillPath();
  AddPathEllipse(20, 20, 15, 15);
  StrokePath(4);
  EXPECT_EQ(ImagePixel(image, 20, 20), Rgba(200, 30, 40, 255));
  EXPECT_EQ(ImagePixel(image, 35, 20), kWhite);

  // Half-transparent fills blend.
  VectorSourceColor(Rgba(0, 0, 0, 128));
  AddPathEllipse(20, 20, 8, 4);
  FillPath();
  uint32_t blended = ImagePixel(image, 20, 20);
  EXPECT_NEAR(int(Red(blended)), 100, 2);
  EXPECT_EQ(Alpha(blended), 255u);
  EXPECT_EQ(ImagePixel(image, 20, 26), Rgba(200, 30, 40, 255));  // below the ellipse
}

TEST_F(VectorDrawing, StrokesHaveTheirWidthAndDashesTheirLength) {
  int image = Open(120, 60);
  VectorSourceColor(kBlue);
  MovePathCursor(10, 20);
  AddPathLine(110, 20);
  StrokePath(4);
  EXPECT_EQ(ImagePixel(image, 50, 19), kBlue);
  EXPECT_EQ(ImagePixel(image, 50, 20), kBlue);
  EXPECT_EQ(ImagePixel(image, 50, 23), kWhite);

  // Dashes 10 long with gaps of 10, from the start of the path.
  MovePathCursor(10, 40);
  AddPathLine(110, 40);
  DashPath(2, 10);
  for (int x : {15, 35, 55, 75, 95}) EXPECT_TRUE(Inked(image, x, 40)) << x;
  for (int x : {25, 45, 65, 85, 105}) EXPECT_FALSE(Inked(image, x, 40)) << x;
}

TEST_F(VectorDrawing, CurvesFollowTheirControlPoints) {
  int image = Open(100, 100);
  VectorSourceColor(kBlue);
  MovePathCursor(10, 10);
  AddPathCurve(10, 90, 90, 90, 90, 10);
  StrokePath(3);
  // At t = 0.5 the curve passes (50, 70); it never takes the straight way along y = 10.
  EXPECT_TRUE(Inked(image, 50, 70));
  EXPECT_FALSE(Inked(image, 50, 10));
  EXPECT_FALSE(Inked(image, 50, 80));
  EXPECT_TRUE(Inked(image, 10, 10));
  EXPECT_TRUE(Inked(image, 90, 11));

  // Closed by a fill: the area under the arch is covered.
  MovePathCursor(10, 10);
  AddPathCurve(10, 90, 90, 90, 90, 10);
  FillPath();
  EXPECT_EQ(ImagePixel(image, 50, 40), kBlue);
}

TEST_F(VectorDrawing, RotationTurnsPathsAndTextUntilReset) {
  int image = Open(100, 100);
  VectorSourceColor(kBlue);
  RotateCoordinates(50, 50, 90);
  AddPathBox(20, 48, 60, 4);  // horizontal, drawn turned upright
  FillPath();
  EXPECT_TRUE(Inked(image, 50, 25));
  EXPECT_TRUE(Inked(image, 50, 75));
  EXPECT_FALSE(Inked(image, 25, 50));
  ResetCoordinates();
  AddPathBox(0, 0, 10, 4);
  FillPath();
  EXPECT_TRUE(Inked(image, 8, 1));
  EXPECT_FALSE(Inked(image, 1, 8));

  // Text turned by 90 degrees runs downwards.
  int text = Open(200, 200);
  VectorFont(0, 20);
  VectorSourceColor(Rgba(0, 0, 0, 255));
  RotateCoordinates(100, 100, 90);
  MovePathCursor(100, 100);
  DrawVectorText("HORIZONTAL");
  QRect box = InkBox(text);
  EXPECT_GT(box.height(), 2 * box.width());
  EXPECT_GE(box.top(), 95);
  EXPECT_LE(box.right(), 101);
}

TEST_F(VectorDrawing, TextIsMeasuredAndPlacedInItsBox) {
  int image = Open(300, 200);
  VectorFont(0, 20);
  double w = VectorTextWidth("Label");
  double h = VectorTextHeight("Label");
  EXPECT_GT(w, 0);
  EXPECT_GE(h, 20);
  EXPECT_LE(VectorTextWidth("Label", kVectorTextVisible), w);
  EXPECT_LT(VectorTextHeight("Label", kVectorTextVisible), h);
  EXPECT_NEAR(VectorTextHeight("Label\nLabel"), 2 * h, 3);
  EXPECT_EQ(VectorTextWidth(""), 0);
  VectorFont(0, 40);
  EXPECT_NEAR(VectorTextWidth("Label"), 2 * w, w / 5);
  VectorFont(0, 0.2);  // at least one pixel, never nothing
  EXPECT_GT(VectorTextHeight("Label"), 0);

  VectorFont(0, 20);
  VectorSourceColor(Rgba(0, 0, 0, 255));
  MovePathCursor(30, 40);
  DrawVectorText("Label");
  QRect ink = InkBox(image);
  EXPECT_GE(ink.left(), 30);
  EXPECT_GE(ink.top(), 40);
  EXPECT_LE(ink.right(), 30 + w + 1);
  EXPECT_LE(ink.bottom(), 40 + h + 1);

  // A paragraph wraps inside its width and centres each line.
  const std::string words = "one two three four five six";
  double one = VectorParagraphHeight("one", 80, 150);
  double wrapped = VectorParagraphHeight(words, 80, 150);
  EXPECT_GE(wrapped, 3 * one);
  EXPECT_LE(VectorParagraphHeight(words, 80, 30), 30);
  int paragraph = Open(300, 200);
  VectorFont(0, 20);
  VectorSourceColor(Rgba(0, 0, 0, 255));
  MovePathCursor(100, 20);
  DrawVectorParagraph(words, 80, 150, kParagraphCenter);
  QRect box = InkBox(paragraph);
  EXPECT_GE(box.left(), 99);
  EXPECT_LE(box.right(), 181);
  EXPECT_NEAR(box.center().x(), 140, 4);
  EXPECT_NEAR(box.height(), wrapped, one);
}

TEST_F(VectorDrawing, CanvasesAndMissingOutputs) {
  OpenWindow(kNewNumber, 0, 0, 100, 80, "vector");
  int canvas = CanvasGadget(kNewNumber, 0, 0, 50, 50);
  ASSERT_TRUE(StartVectorDrawing(CanvasOutput(canvas)));
  VectorSourceColor(Rgba(0, 128, 0, 255));
  AddPathBox(0, 0, 50, 50);
  FillPath();
  StopVectorDrawing();
  EXPECT_EQ(CanvasBuffer(canvas)->pixelColor(25, 25), QColor(0, 128, 0));

  EXPECT_FALSE(StartVectorDrawing(ImageOutput(4242)));
  AddPathBox(0, 0, 5, 5);
  FillPath();
  DrawVectorText("nothing to draw on");
  DrawVectorParagraph("nothing", 10, 10);
}

}  // namespace
