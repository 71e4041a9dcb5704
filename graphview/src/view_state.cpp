#include "graphview/view_state.h"

#include <cmath>

#include "graphview/graph_model.h"
#include "tolvek/callstack.h"

namespace graphview {
namespace {

// A layout without extent cannot be converted (the reader refuses such layouts; this keeps a
// stray call from dividing by zero).
bool CanConvert(const ViewState& view, const GraphLayout& layout) {
  return view.scaledValid && layout.width > 0 && layout.height > 0;
}

}  // namespace

int64_t RoundHalfEven(double value) {
  return static_cast<int64_t>(std::nearbyint(value));
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

void RescaleView(ViewState& view, int64_t canvasWidth, int64_t canvasHeight) {
  TOLVEK_TRACE("RescaleView");
  view.scaledValid = 1;
  double imageWidth = static_cast<double>(view.layoutImage.width);
  double imageHeight = static_cast<double>(view.layoutImage.height);
  view.scaledWidth = static_cast<int32_t>(RoundHalfEven(imageWidth * view.zoom));
  view.scaledHeight = static_cast<int32_t>(RoundHalfEven(imageHeight * view.zoom));
  view.scaledZoom = view.zoom;
  view.scrollX = std::round(static_cast<double>(canvasWidth) * view.anchorCanvasX -
                            view.zoom * imageWidth * view.anchorImageX);
  view.scrollY = std::round(static_cast<double>(canvasHeight) * view.anchorCanvasY -
                            view.zoom * imageHeight * view.anchorImageY);
}

}  // namespace graphview
