// Annotation objects rendered offscreen: the pixels at known points of each kind at zoom 1
// and 2, and the two filters.
#include <gtest/gtest.h>

#include "imageeditor/annotation_render.h"
#include "platform/drawing.h"
#include "platform/window_system.h"

#include <array>

using namespace imageeditor;
using platform::ImagePixel;
using platform::Rgba;

namespace {

struct Rendered {
  AnnotationObject o;
  Rendered(int64_t kind, int w, int h, double zoom, PropertyMap extra = {}) {
    o.inittype = kind;
    o.type = ShapeOfKind(kind);
    o.properties = CreationDefaults(kind);
    for (auto& [k, v] : extra) o.properties[k] = v;
    o.width = w, o.height = h;
    RenderAnnotation(o, zoom);
  }
  uint32_t At(int x, int y) const { return ImagePixel(o.image, x, y); }
  uint32_t ShadowAt(int x, int y) const { return ImagePixel(o.shadowImage, x, y); }
};

const uint32_t kRed = Rgba(255, 0, 0, 255);
const uint32_t kYellow = Rgba(255, 255, 0, 255);
const uint32_t kGrey = Rgba(105, 105, 105, 255);
const uint32_t kPale = Rgba(255, 248, 193, 220);

TEST(AnnotationPixels, EachKindAtZoomOneAndTwo) {
  struct Probe {
    int x, y;
    uint32_t colour;
  };
  struct Case {
    const char* what;
    int64_t kind;
    double zoom;
    int w, h;
    std::vector<Probe> probes;
  };
  const Case cases[] = {
      // A red frame LW wide round a fully transparent inside.
      {"rectangle",
       kKindRectangle,
       1,
       200,
       100,
       {{0, 0, kRed}, {4, 50, kRed}, {5, 50, 0}, {100, 50, 0}, {199, 99, kRed}}},
      {"rectangle 2x",
       kKindRectangle,
       2,
       400,
       200,
       {{9, 100, kRed}, {10, 100, 0}, {390, 100, kRed}}},
      // Rounded corners leave the corner pixel empty.
      {"rounded",
       kKindRoundedRectangle,
       1,
       200,
       100,
       {{0, 0, 0}, {1, 1, 0}, {20, 0, kRed}, {100, 50, 0}}},
      {"rounded 2x", kKindRoundedRectangle, 2, 400, 200, {{3, 3, 0}, {40, 0, kRed}, {200, 100, 0}}},
      {"ellipse",
       kKindEllipse,
       1,
       200,
       100,
       {{0, 0, 0}, {2, 50, kRed}, {100, 2, kRed}, {100, 50, 0}}},
      {"ellipse 2x", kKindEllipse, 2, 400, 200, {{5, 100, kRed}, {200, 100, 0}, {399, 0, 0}}},
      {"highlighter", kKindHighlighter, 1, 200, 100, {{0, 0, kYellow}, {100, 50, kYellow}}},
      {"highlighter 2x", kKindHighlighter, 2, 400, 200, {{399, 199, kYellow}}},
      // Body 100 x 100 at x 100; the pointer's tip at (0, 25), its head 20 long, 50 wide.
      {"balloon",
       kKindBalloon,
       1,
       200,
       100,
       {{0, 25, kGrey},
        {101, 50, kGrey},
        {150, 50, kPale},
        {50, 75, 0},
        {50, 5, 0},
        {100, 0, 0},
        {110, 0, kGrey}}},
      {"balloon 2x", kKindBalloon, 2, 400, 200, {{0, 50, kGrey}, {300, 100, kPale}, {100, 150, 0}}},
      {"note", kKindNote, 1, 200, 100, {{0, 0, 0}, {100, 1, kGrey}, {100, 2, kPale}, {199, 99, 0}}},
      {"note 2x", kKindNote, 2, 400, 200, {{200, 3, kGrey}, {200, 4, kPale}}},
      // The text box is invisible but not empty.
      {"text", kKindText, 1, 200, 100, {{199, 99, Rgba(0, 0, 0, 1)}, {0, 0, Rgba(0, 0, 0, 1)}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Rendered r(c.kind, c.w, c.h, c.zoom);
    ASSERT_NE(r.o.image, 0);
    EXPECT_EQ(platform::ImageWidth(r.o.image), c.w);
    for (const Probe& p : c.probes)
      EXPECT_EQ(r.At(p.x, p.y), p.colour)
          << "at " << p.x << "," << p.y << " got " << std::hex << r.At(p.x, p.y);
  }
}

TEST(AnnotationPixels, TheShadowIsTheSilhouetteAtAlpha200) {
  Rendered balloon(kKindBalloon, 200, 100, 1);
  EXPECT_EQ(balloon.ShadowAt(150, 50), Rgba(0, 0, 0, 200));
  EXPECT_EQ(balloon.ShadowAt(0, 25), Rgba(0, 0, 0, 200));
  EXPECT_EQ(balloon.ShadowAt(50, 75), 0u);
  Rendered text(kKindText, 200, 100, 1);
  EXPECT_EQ(text.ShadowAt(190, 90), Rgba(0, 0, 0, 200));
}

TEST(AnnotationPixels, TextIsDrawnInTheFontColourInsideTheMarginAndAligned) {
  // Where the ink lies: its bounding box of pixels darker and more opaque than the box.
  auto ink = [](const Rendered& r) {
    int x1 = 1 << 20, x2 = -1, y1 = 1 << 20, y2 = -1;
    for (int y = 0; y < platform::ImageHeight(r.o.image); ++y)
      for (int x = 0; x < platform::ImageWidth(r.o.image); ++x)
        if (platform::Alpha(r.At(x, y)) > 100) {
          x1 = std::min(x1, x), x2 = std::max(x2, x), y1 = std::min(y1, y), y2 = std::max(y2, y);
        }
    return std::array<int, 4>{x1, y1, x2, y2};
  };
  Rendered left(kKindText, 300, 100, 1, {{"Text", "Hello"}});
  auto a = ink(left);
  ASSERT_GE(a[2], 0) << "no text drawn";
  EXPECT_GE(a[0], 15);  // LW 5 + 10
  EXPECT_LT(a[0], 25);
  EXPECT_GE(a[1], 15);
  Rendered right(kKindText, 300, 100, 1,
                 {{"Text", "Hello"}, {"TextAlignH", "Right"}, {"TextAlignV", "Bottom"}});
  auto b = ink(right);
  EXPECT_LE(b[2], 285);
  EXPECT_GT(b[2], 270);
  EXPECT_LE(b[3], 85);
  EXPECT_GT(b[1], a[1] + 30);
  // At zoom 2 the text is twice as large.
  Rendered twice(kKindText, 600, 200, 2, {{"Text", "Hello"}});
  auto c = ink(twice);
  EXPECT_NEAR(double(c[2] - c[0]), 2.0 * (a[2] - a[0]), 6);
  EXPECT_GE(c[0], 30);
  // Only line feeds: nothing drawn.
  Rendered empty(kKindRectangle, 200, 100, 1, {{"Text", "\n\n"}, {"LineColor", "0"}});
  EXPECT_EQ(ink(empty)[2], -1);
}

TEST(AnnotationPixels, SizesOfNothingAndNegativeSizes) {
  Rendered none(kKindRectangle, 0, 100, 1);
  EXPECT_EQ(none.o.image, 0);
  EXPECT_EQ(none.o.shadowImage, 0);
  Rendered negative(kKindRectangle, -50, 40, 1);
  EXPECT_EQ(negative.o.width, 50);
  EXPECT_EQ(platform::ImageWidth(negative.o.image), 50);
  // Pointers on top and bottom leave a body of height 0 on a 100 high object.
  Rendered top(kKindBalloon, 200, 100, 1, {{"Arrow", "Top"}});
  EXPECT_NE(top.o.image, 0);
  Rendered bottom(kKindBalloon, 200, 300, 1, {{"Arrow", "Bottom"}, {"ArrowPos", "100"}});
  // The tip sits at the bottom edge, half the head width before the right end.
  EXPECT_EQ(bottom.At(175, 299), kGrey);
  EXPECT_EQ(bottom.At(100, 150), kPale);
}

// Lengths from a pasted text or a template may be anything. Far beyond the object they draw
// what lengths at a few times its size draw, at once, and their arithmetic stays in range.
TEST(AnnotationPixels, LengthsFarBeyondTheObjectDrawAsLengthsAtItsReach) {
  struct Case {
    int64_t kind;
    const char* key;
    const char* hostile;
    const char* reach;  // four times the larger side of 300 x 200
  };
  const Case cases[] = {
      {kKindBalloon, "ArrowHeadHeight", "-2000000000", "-1200"},
      {kKindBalloon, "ArrowHeadWidth", "2000000000", "1200"},
      {kKindBalloon, "ArrowBodyWidth", "-9000000000000000000", "-1200"},
      {kKindBalloon, "ArrowLength", "9000000000000000000", "1200"},
      {kKindBalloon, "ArrowPos", "1e300", "400"},
      {kKindRoundedRectangle, "CornerRadius", "9999999999999", "1200"},
      {kKindRoundedRectangle, "CornerRadius", "-9223372036854775808", "-1200"},
      {kKindRoundedRectangle, "LineThickness", "9000000000000000000", "1200"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.key) + "=" + c.hostile);
    Rendered hostile(c.kind, 300, 200, 1, {{c.key, c.hostile}});
    Rendered reach(c.kind, 300, 200, 1, {{c.key, c.reach}});
    ASSERT_NE(hostile.o.image, 0);
    ASSERT_NE(reach.o.image, 0);
    for (int y = 0; y < 200; ++y)
      for (int x = 0; x < 300; ++x) ASSERT_EQ(hostile.At(x, y), reach.At(x, y)) << x << "," << y;
  }
  // Larger than any picture the editor opens: not drawn (it would take gigabytes).
  Rendered huge(kKindRectangle, 20000, 20000, 1);
  EXPECT_EQ(huge.o.image, 0);
}

TEST(AnnotationPixels, FiltersOfShadowAndHighlighter) {
  EXPECT_EQ(ShadowFilter(0, 0, Rgba(0, 0, 0, 1), 0), Rgba(0, 0, 0, 200));
  EXPECT_EQ(ShadowFilter(0, 0, 0, 0xFFFFFFFFu), 0u);
  const uint32_t light = Rgba(241, 241, 242, 255), dark = Rgba(240, 240, 240, 255);
  EXPECT_EQ(HighlighterFilter(0, 0, kYellow, light), kYellow);
  EXPECT_EQ(HighlighterFilter(0, 0, kYellow, dark), dark);
}

}  // namespace
