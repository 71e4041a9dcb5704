// Vector drawing: fills and strokes of paths, dashes, curves, rotation and text boxes,
// checked through the pixels they leave.
#include <gtest/gtest.h>

#include <QFont>
#include <QFontMetricsF>
#include <QImage>
#include <QPainterPath>
#include <QRect>
#include <string>

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

// The inked box of a text as one outline of all its lines, each line laid out as drawn.
QRectF WholeOutlineInk(const QFont& font, const std::string& text) {
  QFontMetricsF metrics(font);
  QPainterPath outline;
  double top = 0;
  for (const QString& line : QString::fromStdString(text).split(QChar('\n'))) {
    outline.addText(0, top + metrics.ascent(), font, line);
    top += metrics.lineSpacing();
  }
  return outline.boundingRect();
}

// Labels are measured from their glyphs' boxes, each glyph's outline built once; the result
// must be the box of the whole outline to the last bit, or a label fits at another zoom.
TEST_F(VectorDrawing, TextInkFromGlyphsEqualsTheWholeOutline) {
  Open(10, 10);
  const std::string texts[] = {
      "Explorer.EXE\n(PID: 2412)",
      "[12]\nsvchost.exe\n(PID: 880)",
      "C:\\Windows\\System32\\ntdll.dll",
      "in_0x09_voice_0x202E_txt.exe",
      "fi ffl AV To Wa LT y,j; {|}",
      "a\n\nb",
      "   ",
      "\n",
      "\xC3\x9C"
      "ber \xC3\x86\xC3\x98\xC3\x85 \xC3\x9F \xC2\xA9",    // Latin-1
      "a\tb",                                              // a tab stop
      "\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82",  // Cyrillic
      "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E.exe",          // CJK
      "\xD7\xA9\xD7\x9C\xD7\x95\xD7\x9D abc",              // Hebrew and Latin
      "\xE0\xA4\x95\xE0\xA5\x8D\xE0\xA4\xB7",              // a Devanagari conjunct
      "e\xCC\x81 plain\ne\xCC\x81",                        // a combining accent
      std::string(300, 'W'),
  };
  for (const char* family : {"Times-Roman", ""}) {
    const int font = LoadFont(kNewNumber, family, 10);
    for (double size : {12.0, 1000.0}) {
      QFont reference;
      if (*family) reference.setFamily(family);
      reference.setPointSize(10);
      reference.setPixelSize(static_cast<int>(size));
      VectorFont(font, size);
      for (int round = 0; round < 2; ++round) {  // the second from the glyphs already seen
        for (const std::string& text : texts) {
          const QRectF want = WholeOutlineInk(reference, text);
          const TextSize got = VectorTextInk(text);
          SCOPED_TRACE(std::string(family) + " " + std::to_string(size) + " " + text);
          EXPECT_EQ(got.width, want.width());
          EXPECT_EQ(got.height, want.height());
          EXPECT_EQ(VectorTextWidth(text, kVectorTextVisible), want.width());
          EXPECT_EQ(VectorTextHeight(text, kVectorTextVisible), want.height());
        }
      }
    }
  }
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

// A little of everything, moved by (dx, dy): flat diamonds outlined with a wide pen (whose
// joins are worked out in floating point, and came out differently at some places before
// the origin), an outlined ellipse, thin solid and dashed curves, a turned box with turned
// text on it, and a paragraph.
void DrawScene(double dx, double dy) {
  VectorFont(0, 11);
  VectorSourceColor(Rgba(30, 30, 30, 255));
  for (double x = 57 + dx; x < 150 + dx; x += 17) {
    const double y = 40 + dy;
    MovePathCursor(x - 2.5, y);
    AddPathLine(x, y - 0.5);
    AddPathLine(x + 2.5, y);
    AddPathLine(x, y + 0.5);
    AddPathLine(x - 2.5, y);
    StrokePath(2);
  }
  VectorSourceColor(Rgba(200, 0, 0, 255));
  AddPathEllipse(60 + dx, 25 + dy, 12.5, 7.5);
  StrokePath(3);
  VectorSourceColor(Rgba(0, 120, 0, 255));
  MovePathCursor(10 + dx, 60 + dy);
  AddPathCurve(30 + dx, 40 + dy, 70 + dx, 90 + dy, 100 + dx, 50 + dy);
  StrokePath(1);
  MovePathCursor(10 + dx, 80 + dy);
  AddPathCurve(40 + dx, 70 + dy, 60 + dx, 85 + dy, 100 + dx, 75 + dy);
  DashPath(1, 3);
  const double mx = 83.3 + dx, my = 30.7 + dy;
  RotateCoordinates(mx, my, -27.4);
  VectorSourceColor(kWhite);
  AddPathBox(mx - 15, my - 6, 30, 12);
  FillPath();
  VectorSourceColor(Rgba(0, 0, 200, 255));
  MovePathCursor(mx - 12, my - 6);
  DrawVectorText("HAS THREAD");
  ResetCoordinates();
  MovePathCursor(5 + dx, 5 + dy);
  DrawVectorParagraph("one two three", 40, 30, kParagraphCenter);
}

// With the origin moved along, the same drawing moved by whole pixels comes out moved, pixel
// for pixel, smoothing and text included.
TEST_F(VectorDrawing, DrawingMovedWithTheOriginComesOutMovedExactly) {
  int images[2] = {};
  const int shifts[2][2] = {{0, 0}, {13, 20}};
  for (int i = 0; i < 2; ++i) {
    images[i] = Open(200, 150);
    VectorOrigin(shifts[i][0], shifts[i][1]);
    DrawScene(shifts[i][0], shifts[i][1]);
    StopVectorDrawing();
  }
  const QRect compared(0, 0, 185, 130);
  EXPECT_TRUE(compared.contains(InkBox(images[0])));
  int differing = 0;
  for (int y = 0; y < compared.height(); ++y)
    for (int x = 0; x < compared.width(); ++x)
      differing += ImagePixel(images[0], x, y) != ImagePixel(images[1], x + 13, y + 20);
  EXPECT_EQ(differing, 0);
}

// A long thin line that an edge of the output cuts comes out moved with the origin, pixel for
// pixel, except within a piece's length of the cut.
TEST_F(VectorDrawing, AThinLineCutByAnEdgeChangesOnlyNearTheCut) {
  auto draw = [&](int dx) {
    int image = Open(400, 120);
    VectorOrigin(dx, 0);
    VectorSourceColor(Rgba(0, 0, 0, 255));
    // From 37 pixels left of the output (less after the move) far into it, nearly straight:
    // one stretch that would be smoothed from the cut to its end.
    MovePathCursor(-37 + dx, 90);
    AddPathCurve(100 + dx, 75, 200 + dx, 64, 330 + dx, 50);
    StrokePath(1);
    StopVectorDrawing();
    return image;
  };
  const int before = draw(0), after = draw(23);
  const int near = int(kThinLinePiece) + 4 + 23;
  int differing = 0, inked = 0;
  for (int y = 0; y < 120; ++y) {
    for (int x = near; x < 360; ++x) {
      differing += ImagePixel(before, x - 23, y) != ImagePixel(after, x, y);
      inked += Inked(after, x, y);
    }
  }
  EXPECT_EQ(differing, 0);
  EXPECT_GT(inked, 250);
}

// A clip lets through exactly the pixels the unclipped drawing makes inside its box, also of
// thin lines and text that cross it; unclipping lets everything through again.
TEST_F(VectorDrawing, ClippingKeepsThePixelsInsideTheBox) {
  int whole = Open(160, 100);
  DrawScene(0, 0);
  StopVectorDrawing();
  const QRect box(15, 22, 75, 45);
  int clipped = Open(160, 100);
  ClipVectorDrawing(box.x(), box.y(), box.width(), box.height());
  DrawScene(0, 0);
  int differing = 0;
  for (int y = 0; y < 100; ++y) {
    for (int x = 0; x < 160; ++x) {
      uint32_t expected = box.contains(x, y) ? ImagePixel(whole, x, y) : kWhite;
      differing += ImagePixel(clipped, x, y) != expected;
    }
  }
  EXPECT_EQ(differing, 0);
  EXPECT_NE(InkBox(whole), InkBox(clipped));

  ClipVectorDrawing(0, 0, 0, 10);  // a box without area lets nothing through
  VectorSourceColor(kBlue);
  AddPathBox(0, 0, 120, 100);
  FillPath();
  EXPECT_EQ(ImagePixel(clipped, 1, 1), kWhite);
  UnclipVectorDrawing();
  AddPathBox(0, 0, 120, 100);
  FillPath();
  EXPECT_EQ(ImagePixel(clipped, 1, 1), kBlue);
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
