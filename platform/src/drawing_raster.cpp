// Raster drawing: every pixel is computed here on non-premultiplied ARGB32 words, so the
// colours that reach an image are exactly the ones asked for (QPainter would round them
// through premultiplication and smooth the edges that flood fills must stop at). A
// premultiplied output (a canvas, or an image vector drawing left) is worked on as it is while
// only opaque pixels are read and written, where both layouts agree; the first other pixel
// turns the whole output non-premultiplied, and a canvas goes back when the drawing stops.
#include <QFontMetrics>
#include <QPainter>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "drawing_output.h"
#include "tolvek/callstack.h"

namespace platform {
using namespace detail;

namespace {

struct RasterState {
  ResolvedOutput out;
  uint32_t mode = kDrawDefault;
  PixelFilter filter;
  QFont font;
  bool madeStraight = false;  // a premultiplied output was turned during this drawing
};

RasterState& Raster() {
  static RasterState state;
  return state;
}

QImage* Target() {
  return Raster().out.image.get();
}

uint32_t BaseMode() {
  return Raster().mode & 0xFF;
}

bool IsPremultiplied(const QImage& image) {
  return image.format() == kPremultiplied;
}

// Before a pixel that is not opaque is read or written exactly.
void MakeStraight() {
  QImage* image = Target();
  if (!image || !IsPremultiplied(*image)) return;
  image->convertTo(kStraight);
  Raster().madeStraight = true;
}

QRgb* PixelAt(QImage& image, int x, int y) {
  return reinterpret_cast<QRgb*>(image.scanLine(y)) + x;
}

// Source over destination on straight alpha, rounded to the nearest value.
uint32_t Blend(uint32_t src, uint32_t dst) {
  uint32_t as = Alpha(src);
  if (as == 255) return src;
  if (as == 0) return dst;
  uint32_t weightD = Alpha(dst) * (255 - as);
  uint32_t total = as * 255 + weightD;  // the result's alpha, times 255
  auto mix = [&](uint32_t s, uint32_t d) {
    return (s * as * 255 + d * weightD + total / 2) / total;
  };
  return Rgba(mix(Red(src), Red(dst)), mix(Green(src), Green(dst)), mix(Blue(src), Blue(dst)),
              (total + 127) / 255);
}

// The word a colour becomes in the current mode, before anything under it is looked at.
uint32_t AsWritten(uint32_t colour) {
  return BaseMode() == kDrawDefault ? colour | 0xFF000000u : colour;
}

bool ModeReadsTarget() {
  uint32_t mode = BaseMode();
  return mode == kDrawAlphaBlend || mode == kDrawAlphaChannel || mode == kDrawCustomFilter;
}

// Writes one pixel that is known to lie inside the output. Images carry their own alpha,
// so the default mode copies their pixels as they are.
void Apply(QImage& image, int x, int y, uint32_t colour, bool fromImage = false) {
  QRgb* pixel = PixelAt(image, x, y);
  if (IsPremultiplied(image) && qAlpha(*pixel) != 255 && ModeReadsTarget()) {
    MakeStraight();
    pixel = PixelAt(image, x, y);
  }
  QRgb result = *pixel;
  switch (BaseMode()) {
    case kDrawAllChannels:
      result = ToQRgb(colour);
      break;
    case kDrawAlphaBlend:
      result = ToQRgb(Blend(colour, FromQRgb(*pixel)));
      break;
    case kDrawAlphaChannel:
      result = (*pixel & 0x00FFFFFFu) | (Alpha(colour) << 24);
      break;
    case kDrawCustomFilter:
      if (Raster().filter) result = ToQRgb(Raster().filter(x, y, colour, FromQRgb(*pixel)));
      break;
    default:
      result = ToQRgb(fromImage ? colour : colour | 0xFF000000u);
      break;
  }
  if (IsPremultiplied(image) && qAlpha(result) != 255) {
    MakeStraight();
    pixel = PixelAt(image, x, y);
  }
  *pixel = result;
}

// Source over opaque pixels by one colour, exactly as Blend computes it: over an opaque pixel
// Blend is (s * a + d * (255 - a) + 127) / 255 per channel, which fits 16 bits, and the
// division by 255 is (v + 1 + (v >> 8)) >> 8 there. Eight pixels at a time, their bytes
// (blue, green, red, alpha each) widened to 16-bit lanes, so a wash runs at the speed of
// memory; the alpha lanes come out 255.
using PixelBytes = uint8_t __attribute__((vector_size(32)));
using PixelLanes = uint16_t __attribute__((vector_size(64)));

struct OpaqueBlend {
  explicit OpaqueBlend(uint32_t colour) {
    const uint16_t a = uint16_t(Alpha(colour)), keep = uint16_t(255 - a);
    const uint16_t lane[4][2] = {{keep, uint16_t(Blue(colour) * a + 127)},
                                 {keep, uint16_t(Green(colour) * a + 127)},
                                 {keep, uint16_t(Red(colour) * a + 127)},
                                 {0, 255 * 255 + 127}};
    for (int i = 0; i < 32; ++i) {
      keeps[i] = lane[i % 4][0];
      adds[i] = lane[i % 4][1];
    }
  }
  PixelLanes keeps, adds;
};

// Blends from the start of the run while the pixels are opaque; returns how many it did.
[[gnu::target_clones("avx2", "default")]] int BlendOpaqueRun(QRgb* pixels, int count,
                                                             const OpaqueBlend& over) {
  int i = 0;
  for (; i + 8 <= count; i += 8) {
    const QRgb* p = pixels + i;
    if (((p[0] & p[1] & p[2] & p[3] & p[4] & p[5] & p[6] & p[7]) >> 24) != 0xFF) break;
    PixelBytes bytes;
    std::memcpy(&bytes, p, sizeof bytes);
    PixelLanes v = __builtin_convertvector(bytes, PixelLanes) * over.keeps + over.adds;
    bytes = __builtin_convertvector((v + 1 + (v >> 8)) >> 8, PixelBytes);
    std::memcpy(pixels + i, &bytes, sizeof bytes);
  }
  for (; i < count && qAlpha(pixels[i]) == 255; ++i) {
    uint32_t p = pixels[i], out = 0xFF000000u;
    for (int c = 0; c < 3; ++c) {
      uint32_t v = ((p >> (8 * c)) & 0xFF) * over.keeps[c] + over.adds[c];
      out |= ((v + 1 + (v >> 8)) >> 8) << (8 * c);
    }
    pixels[i] = out;
  }
  return i;
}

// The run [x1, x2] of row y, already clipped, by one colour, when that needs no call per
// pixel; false leaves it to Apply.
bool FastSpan(QImage& image, int x1, int x2, int y, uint32_t colour) {
  uint32_t mode = BaseMode();
  if (mode == kDrawAlphaBlend && Alpha(colour) == 255) mode = kDrawAllChannels;
  if (mode == kDrawAlphaBlend && Alpha(colour) == 0) return true;
  if (mode == kDrawDefault || mode == kDrawAllChannels) {
    QRgb word = ToQRgb(mode == kDrawDefault ? colour | 0xFF000000u : colour);
    if (IsPremultiplied(image) && qAlpha(word) != 255) MakeStraight();
    QRgb* row = PixelAt(image, 0, y);
    std::fill(row + x1, row + x2 + 1, word);
    return true;
  }
  if (mode != kDrawAlphaBlend) return false;
  const OpaqueBlend over(colour);
  QRgb* row = PixelAt(image, 0, y);
  for (int x = x1; x <= x2;) {
    x += BlendOpaqueRun(row + x, x2 - x + 1, over);
    if (x > x2) break;
    Apply(image, x, y, colour);  // not opaque: exactly, after the output has turned
    row = PixelAt(image, 0, y);
    ++x;
  }
  return true;
}

void PlotClipped(int x, int y, uint32_t colour) {
  QImage* image = Target();
  if (image && image->valid(x, y)) Apply(*image, x, y, colour);
}

// A run of pixels on one row, clipped to the output.
void Span(int x1, int x2, int y, uint32_t colour) {
  QImage* image = Target();
  if (!image || y < 0 || y >= image->height()) return;
  x1 = std::max(x1, 0);
  x2 = std::min(x2, image->width() - 1);
  if (x1 > x2 || FastSpan(*image, x1, x2, y, colour)) return;
  for (int x = x1; x <= x2; ++x) Apply(*image, x, y, colour);
}

void NormaliseBox(int& x, int& y, int& w, int& h) {
  if (w < 0) {
    x += w;
    w = -w;
  }
  if (h < 0) {
    y += h;
    h = -h;
  }
}

bool Outlined() {
  return Raster().mode & kDrawOutlined;
}

// A shape given as "is this pixel inside": filled, or only the pixels with a direct
// neighbour outside, so that four-way flood fills stay within the outline.
template <class Inside>
void DrawShape(int x, int y, int w, int h, uint32_t colour, Inside inside) {
  QImage* image = Target();
  if (!image) return;
  int top = std::max(y, 0), bottom = std::min(y + h - 1, image->height() - 1);
  int left = std::max(x, 0), right = std::min(x + w - 1, image->width() - 1);
  auto in = [&](int i, int j) { return i >= 0 && j >= 0 && i < w && j < h && inside(i, j); };
  for (int py = top; py <= bottom; ++py)
    for (int px = left; px <= right; ++px) {
      int i = px - x, j = py - y;
      if (!in(i, j)) continue;
      if (Outlined() && in(i - 1, j) && in(i + 1, j) && in(i, j - 1) && in(i, j + 1)) continue;
      Apply(*image, px, py, colour);
    }
}

QFontMetrics Metrics() {
  // Text is measured on the kind of device it is drawn on, so widths match the glyphs.
  static const QImage probe(1, 1, QImage::Format_ARGB32);
  return QFontMetrics(Raster().font, &probe);
}

}  // namespace

DrawOutput ImageOutput(int image) {
  return DrawOutput{kOutputImage, image};
}
DrawOutput CanvasOutput(int gadget) {
  return DrawOutput{kOutputCanvas, gadget};
}

bool StartDrawing(DrawOutput output) {
  TOLVEK_TRACE("StartDrawing");
  StopDrawing();
  auto& r = Raster();
  r.out = Resolve(output);
  r.mode = kDrawDefault;
  r.font = QFont();
  r.madeStraight = false;
  if (r.out.image && !IsPremultiplied(*r.out.image)) ToLayout(*r.out.image, kStraight);
  return r.out.image != nullptr;
}

void StopDrawing() {
  auto& r = Raster();
  int canvas = r.out.canvas;
  // A canvas is shown premultiplied; it goes back once, not at every frame it is shown.
  if (canvas != -1 && r.madeStraight && r.out.image) ToLayout(*r.out.image, kPremultiplied);
  r.out = ResolvedOutput{};
  r.madeStraight = false;
  if (canvas != -1) RefreshCanvas(canvas);
}

int OutputWidth() {
  QImage* image = Target();
  return image ? image->width() : 0;
}
int OutputHeight() {
  QImage* image = Target();
  return image ? image->height() : 0;
}

void DrawingMode(uint32_t mode) {
  Raster().mode = mode;
}

void CustomFilterCallback(PixelFilter filter) {
  Raster().filter = std::move(filter);
}

void DrawingFont(int font) {
  auto& fonts = Layer().fonts;
  auto it = fonts.find(font);
  Raster().font = it != fonts.end() && it->second ? *it->second : QFont();
}

void Plot(int x, int y, uint32_t colour) {
  PlotClipped(x, y, colour);
}

uint32_t ReadPixel(int x, int y) {
  QImage* image = Target();
  if (!image || !image->valid(x, y)) return 0;
  QRgb pixel = reinterpret_cast<const QRgb*>(image->constScanLine(y))[x];
  return FromQRgb(IsPremultiplied(*image) ? qUnpremultiply(pixel) : pixel);
}

void LineXY(int x1, int y1, int x2, int y2, uint32_t colour) {
  QImage* image = Target();
  if (!image) return;
  // A line whose box misses the output draws nothing; skipping it also keeps absurd
  // coordinates from walking billions of steps.
  if (std::max(x1, x2) < 0 || std::max(y1, y2) < 0 || std::min(x1, x2) >= image->width() ||
      std::min(y1, y2) >= image->height())
    return;
  int64_t x = x1, y = y1;
  const int64_t dx = std::llabs(int64_t(x2) - x1), dy = -std::llabs(int64_t(y2) - y1);
  const int sx = x1 < x2 ? 1 : -1, sy = y1 < y2 ? 1 : -1;
  int64_t err = dx + dy;
  for (;;) {
    if (image->valid(int(x), int(y))) Apply(*image, int(x), int(y), colour);
    if (x == x2 && y == y2) break;
    int64_t e2 = 2 * err;
    if (e2 >= dy) {
      err += dy;
      x += sx;
    }
    if (e2 <= dx) {
      err += dx;
      y += sy;
    }
  }
}

void Box(int x, int y, int w, int h, uint32_t colour) {
  NormaliseBox(x, y, w, h);
  if (w == 0 || h == 0) return;
  QImage* image = Target();
  if (!image) return;
  // Rows outside the output are never walked, however large the box.
  const int64_t last = int64_t(y) + h - 1, right = int64_t(x) + w - 1;
  const int from = int(std::max<int64_t>(y, 0));
  const int to = int(std::min<int64_t>(last, image->height() - 1));
  const int x2 = int(std::min<int64_t>(right, image->width()));
  for (int row = from; row <= to; ++row) {
    if (!Outlined() || w <= 2 || h <= 2 || row == y || row == last) {
      Span(x, x2, row, colour);
    } else {
      // Each border pixel once, so blending does not darken the corners.
      PlotClipped(x, row, colour);
      if (right == x2) PlotClipped(x2, row, colour);
    }
  }
}

void RoundBox(int x, int y, int w, int h, int radiusX, int radiusY, uint32_t colour) {
  NormaliseBox(x, y, w, h);
  double rx = std::min(std::abs(radiusX), w / 2), ry = std::min(std::abs(radiusY), h / 2);
  if (rx < 1 || ry < 1) return Box(x, y, w, h, colour);
  // Corners are quarter ellipses around centres rx, ry in from the edges, tested at pixel
  // centres, which keeps the shape symmetric.
  DrawShape(x, y, w, h, colour, [&](int i, int j) {
    double u = i + 0.5, v = j + 0.5;
    double ex = u < rx ? rx - u : (u > w - rx ? u - (w - rx) : 0.0);
    double ey = v < ry ? ry - v : (v > h - ry ? v - (h - ry) : 0.0);
    if (ex == 0.0 || ey == 0.0) return true;
    return (ex / rx) * (ex / rx) + (ey / ry) * (ey / ry) <= 1.0;
  });
}

void Ellipse(int centreX, int centreY, int radiusX, int radiusY, uint32_t colour) {
  // Radii beyond any output only need to keep the bounding box within int.
  int64_t rx = std::min(std::abs(int64_t(radiusX)), int64_t(1) << 28);
  int64_t ry = std::min(std::abs(int64_t(radiusY)), int64_t(1) << 28);
  // The pixels (dx, dy) from the centre with dx² ry² + dy² rx² <= rx² ry².
  DrawShape(int(centreX - rx), int(centreY - ry), int(2 * rx + 1), int(2 * ry + 1), colour,
            [&](int i, int j) {
              int64_t dx = i - rx, dy = j - ry;
              if (rx == 0 || ry == 0) return true;  // a line
              return dx * dx * ry * ry + dy * dy * rx * rx <= rx * rx * ry * ry;
            });
}

void FillArea(int x, int y, uint32_t boundaryColour, uint32_t colour) {
  TOLVEK_TRACE("FillArea");
  // Pixels are compared with the boundary word for word.
  MakeStraight();
  QImage* image = Target();
  if (!image || !image->valid(x, y)) return;
  const int w = image->width(), h = image->height();
  const QRgb boundary = ToQRgb(AsWritten(boundaryColour));
  auto at = [&](int px, int py) {
    return reinterpret_cast<const QRgb*>(image->constScanLine(py))[px];
  };
  // Filled pixels are remembered apart from their colour: a fill colour other than the
  // boundary, or a blended one, would otherwise be met again and filled without end.
  std::vector<uint8_t> seen(size_t(w) * size_t(h), 0);
  auto open = [&](int px, int py) { return !seen[size_t(py) * w + px] && at(px, py) != boundary; };
  if (!open(x, y)) return;
  // Scanline fill with an explicit stack: a large area must not exhaust the call stack.
  std::vector<std::pair<int, int>> stack{{x, y}};
  while (!stack.empty()) {
    auto [sx, sy] = stack.back();
    stack.pop_back();
    if (!open(sx, sy)) continue;
    int left = sx, right = sx;
    while (left > 0 && open(left - 1, sy)) --left;
    while (right < w - 1 && open(right + 1, sy)) ++right;
    for (int px = left; px <= right; ++px) seen[size_t(sy) * w + px] = 1;
    for (int px = left; px <= right; ++px) Apply(*image, px, sy, colour);
    for (int ny : {sy - 1, sy + 1}) {
      if (ny < 0 || ny >= h) continue;
      for (int px = left; px <= right; ++px) {
        if (!open(px, ny)) continue;
        stack.emplace_back(px, ny);
        while (px < right && open(px + 1, ny)) ++px;
      }
    }
  }
}

int DrawText(int x, int y, const std::string& text, uint32_t frontColour, int64_t backColour) {
  TOLVEK_TRACE("DrawText");
  QImage* image = Target();
  if (!image || text.empty()) return x;
  QFontMetrics metrics = Metrics();
  QString qtext = Q(text);
  int w = metrics.horizontalAdvance(qtext), h = metrics.height();
  if (backColour >= 0) Box(x, y, w, h, uint32_t(backColour));
  if (w <= 0 || h <= 0) return x + std::max(w, 0);

  // The glyphs' coverage, rendered once in an alpha mask.
  QImage mask(w, h, QImage::Format_ARGB32_Premultiplied);
  mask.fill(Qt::transparent);
  {
    QPainter painter(&mask);
    painter.setFont(Raster().font);
    painter.setPen(Qt::black);
    painter.drawText(0, metrics.ascent(), qtext);
  }
  const uint32_t mode = BaseMode();
  for (int j = 0; j < h; ++j) {
    int py = y + j;
    if (py < 0 || py >= image->height()) continue;
    const auto* row = reinterpret_cast<const QRgb*>(mask.constScanLine(j));
    for (int i = 0; i < w; ++i) {
      int px = x + i;
      if (px < 0 || px >= image->width()) continue;
      uint32_t coverage = uint32_t(qAlpha(row[i]));
      if (coverage == 0) continue;
      if (mode == kDrawAlphaBlend) {
        uint32_t alpha = (Alpha(frontColour) * coverage + 127) / 255;
        Apply(*image, px, py, (frontColour & 0x00FFFFFFu) | (alpha << 24));
      } else if (mode == kDrawDefault) {
        uint32_t under = ReadPixel(px, py);
        auto mix = [&](uint32_t f, uint32_t u) {
          return (f * coverage + u * (255 - coverage) + 127) / 255;
        };
        Apply(*image, px, py,
              Rgb(mix(Red(frontColour), Red(under)), mix(Green(frontColour), Green(under)),
                  mix(Blue(frontColour), Blue(under))));
      } else if (coverage >= 128) {
        Apply(*image, px, py, frontColour);
      }
    }
  }
  return x + w;
}

int TextWidth(const std::string& text) {
  return text.empty() ? 0 : Metrics().horizontalAdvance(Q(text));
}

int TextHeight(const std::string& /*text*/) {
  // One line's height, whatever its letters: lines of a block stay evenly spaced.
  return Metrics().height();
}

void DrawImage(int image, int x, int y, int w, int h) {
  TOLVEK_TRACE("DrawImage");
  QImage* target = Target();
  QImage* data = ImageData(image);
  if (!target || !data) return;
  // Shares the pixels; the first write to the output copies them if it is the source.
  QImage source = *data;
  if (w != kKeepValue || h != kKeepValue) {
    if (w == kKeepValue) w = source.width();
    if (h == kKeepValue) h = source.height();
    if (w <= 0 || h <= 0) return;
    if (w != source.width() || h != source.height())
      source = source.scaled(w, h, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
  }
  if (!IsPremultiplied(source)) ToLayout(source, kStraight);
  const uint32_t mode = BaseMode();
  if (mode == kDrawDefault || mode == kDrawAllChannels) {
    // Both copy the picture's words, row by row once the two have one layout. Opaque words
    // are the same in both, so a picture's opaque rows go onto a premultiplied output as
    // they are; the first other row turns the output.
    if (IsPremultiplied(source) && !IsPremultiplied(*target)) ToLayout(source, kStraight);
    const int left = std::max(x, 0),
              right = std::min<int64_t>(int64_t(x) + source.width(), target->width());
    if (left >= right) return;
    const int count = right - left;
    for (int64_t j = std::max<int64_t>(0, -int64_t(y));
         j < source.height() && int64_t(y) + j < target->height(); ++j) {
      const auto* from = reinterpret_cast<const QRgb*>(source.constScanLine(int(j))) + (left - x);
      if (!IsPremultiplied(source) && IsPremultiplied(*Target()) &&
          !std::all_of(from, from + count, [](QRgb p) { return qAlpha(p) == 255; }))
        MakeStraight();
      std::copy(from, from + count, PixelAt(*Target(), 0, int(y + j)) + left);
    }
    return;
  }
  if (IsPremultiplied(source)) ToLayout(source, kStraight);
  for (int j = 0; j < source.height(); ++j) {
    int py = y + j;
    if (py < 0 || py >= target->height()) continue;
    const auto* row = reinterpret_cast<const QRgb*>(source.constScanLine(j));
    for (int i = 0; i < source.width(); ++i) {
      int px = x + i;
      if (px >= 0 && px < target->width()) Apply(*target, px, py, FromQRgb(row[i]), true);
    }
  }
}

void ScrollOutput(int dx, int dy, uint32_t colour) {
  TOLVEK_TRACE("ScrollOutput");
  QImage* image = Target();
  if (!image) return;
  const int w = image->width(), h = image->height();
  // The uncovered pixels hold the colour in the output's own layout.
  QRgb fill = ToQRgb(colour);
  if (IsPremultiplied(*image)) fill = qPremultiply(fill);
  if (std::abs(int64_t(dx)) >= w || std::abs(int64_t(dy)) >= h) {
    for (int y = 0; y < h; ++y) std::fill_n(PixelAt(*image, 0, y), w, fill);
    return;
  }
  // Rows are walked away from the side the picture moves to, so each is read before it is
  // overwritten; within a row the words move as one block.
  const int count = w - std::abs(dx);
  const int from = std::max(-dx, 0), to = std::max(dx, 0);
  const int gap = dx > 0 ? 0 : count;
  for (int i = 0; i < h; ++i) {
    const int y = dy > 0 ? h - 1 - i : i;
    QRgb* row = PixelAt(*image, 0, y);
    const int source = y - dy;
    if (source < 0 || source >= h) {
      std::fill_n(row, w, fill);
      continue;
    }
    std::memmove(row + to, PixelAt(*image, 0, source) + from, size_t(count) * sizeof(QRgb));
    std::fill_n(row + gap, w - count, fill);
  }
}

}  // namespace platform
