#include "graphview/view_state.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "graphview/graph_model.h"
#include "tolvek/callstack.h"

namespace graphview {
namespace {

// A layout without extent cannot be converted (the reader refuses such layouts; this keeps a
// stray call from dividing by zero).
bool CanConvert(const ViewState& view, const GraphLayout& layout) {
  return view.scaledValid && layout.width > 0 && layout.height > 0;
}

// The picture size is a 32-bit value; a zoom beyond it keeps the largest size, not a wrapped one.
int64_t ClampToInt32(int64_t value) {
  return std::clamp<int64_t>(value, std::numeric_limits<int32_t>::min(),
                             std::numeric_limits<int32_t>::max());
}

}  // namespace

int64_t RoundHalfEven(double value) {
  if (std::isnan(value)) return 0;
  double rounded = std::nearbyint(value);
  // 2^63 is exact as a double; every double below it converts without overflow.
  constexpr double kLimit = 9223372036854775808.0;
  if (rounded >= kLimit) return std::numeric_limits<int64_t>::max();
  if (rounded < -kLimit) return std::numeric_limits<int64_t>::min();
  return static_cast<int64_t>(rounded);
}

int64_t GraphXToPixel(const ViewState& view, const GraphLayout& layout, double x) {
  if (!CanConvert(view, layout)) return -1;
  return RoundHalfEven(static_cast<double>(view.scaledWidth) / layout.width * x);
}

int64_t GraphYToPixel(const ViewState& view, const GraphLayout& layout, double y) {
  if (!CanConvert(view, layout)) return -1;
  double h = static_cast<double>(view.scaledHeight);
  return RoundHalfEven(h - h / layout.height * y);
}

int64_t GraphWidthToPixels(const ViewState& view, const GraphLayout& layout, double w) {
  return GraphXToPixel(view, layout, w);
}

int64_t GraphHeightToPixels(const ViewState& view, const GraphLayout& layout, double h) {
  if (!CanConvert(view, layout)) return -1;
  return RoundHalfEven(static_cast<double>(view.scaledHeight) / layout.height * h);
}

double PixelsToGraphUnits(const ViewState& view, const GraphLayout& layout, int64_t p) {
  if (!CanConvert(view, layout) || view.scaledHeight == 0) return -1.0;
  return layout.height / static_cast<double>(view.scaledHeight) * static_cast<double>(p);
}

double CanvasXToImageFraction(const ViewState& view, int64_t x) {
  if (view.scaledWidth == 0) return 0;
  return (static_cast<double>(x) - view.scrollX) / static_cast<double>(view.scaledWidth);
}

double CanvasYToImageFraction(const ViewState& view, int64_t y) {
  if (view.scaledHeight == 0) return 0;
  return (static_cast<double>(y) - view.scrollY) / static_cast<double>(view.scaledHeight);
}

double ZoomCap(const LayoutImage& image) {
  constexpr double kLargestSide = 1073741823.0;  // 2^30 - 1
  const int64_t side = std::max<int64_t>({image.width, image.height, 1});
  return kLargestSide / static_cast<double>(side);
}

void RescaleView(ViewState& view, int64_t canvasWidth, int64_t canvasHeight) {
  TOLVEK_TRACE("RescaleView");
  view.scaledValid = 1;
  double imageWidth = static_cast<double>(view.layoutImage.width);
  double imageHeight = static_cast<double>(view.layoutImage.height);
  view.scaledWidth = ClampToInt32(RoundHalfEven(imageWidth * view.zoom));
  view.scaledHeight = ClampToInt32(RoundHalfEven(imageHeight * view.zoom));
  view.scaledZoom = view.zoom;
  view.scrollX = std::round(static_cast<double>(canvasWidth) * view.anchorCanvasX -
                            view.zoom * imageWidth * view.anchorImageX);
  view.scrollY = std::round(static_cast<double>(canvasHeight) * view.anchorCanvasY -
                            view.zoom * imageHeight * view.anchorImageY);
}

}  // namespace graphview
