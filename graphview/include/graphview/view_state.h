// How layout coordinates map onto the graph canvas, and the conversions between the three
// coordinate spaces (layout units with y up, picture pixels, canvas pixels).
#pragma once
#include <cstdint>

namespace graphview {

struct GraphNode;
struct GraphLayout;

// Only the size of the layout image is ever used: it is the picture size at zoom 1.
struct LayoutImage {
  int64_t width = 0;
  int64_t height = 0;
  bool IsSet() const { return width > 0 && height > 0; }
};

struct ViewState {
  LayoutImage layoutImage;
  double scrollX = 0;
  double scrollY = 0;
  double zoom = 0;
  double fitZoom = 0;
  double maxZoom = 0;
  double zoomStep = 0;
  double anchorImageX = 0;
  double anchorImageY = 0;
  double anchorCanvasX = 0;
  double anchorCanvasY = 0;
  double scaledZoom = 0;
  uint8_t scaledValid = 0;
  double lastScrollX = 0;
  double lastScrollY = 0;
  int64_t scaledWidth = 0;
  int64_t scaledHeight = 0;
  int64_t currentFrame = 0;
  GraphNode* hoveredNode = nullptr;
  int64_t pressX = 0;
  int64_t pressY = 0;
};

// Layout units to picture pixels; -1 (or -1.0) until the view has been rescaled.
int64_t GraphXToPixel(const ViewState& view, const GraphLayout& layout, double x);
int64_t GraphYToPixel(const ViewState& view, const GraphLayout& layout, double y);
int64_t GraphWidthToPixels(const ViewState& view, const GraphLayout& layout, double w);
int64_t GraphHeightToPixels(const ViewState& view, const GraphLayout& layout, double h);
double PixelsToGraphUnits(const ViewState& view, const GraphLayout& layout, int64_t p);
// Canvas pixels to fractions of the picture; 0 while the picture has no size.
double CanvasXToImageFraction(const ViewState& view, int64_t x);
double CanvasYToImageFraction(const ViewState& view, int64_t y);

// Brings the picture to the current zoom, keeping the anchored picture point in its place on
// a canvas of the given size.
void RescaleView(ViewState& view, int64_t canvasWidth, int64_t canvasHeight);

// The largest zoom the view is taken to: the picture stays below 2^30 pixels each way, well
// within the 32-bit sizes and the drawing's coordinates. The renderer holds the zoom to it,
// and the canvas's own zooms (rubber band, double click) stop there.
double ZoomCap(const LayoutImage& image);

// Nearest integer, halves to the even neighbour (the rounding of every real-to-integer
// conversion of the graph view). Values beyond 64 bits saturate; NaN gives 0.
int64_t RoundHalfEven(double value);

}  // namespace graphview
