#include "graphview/smart_zoom.h"

#include <algorithm>
#include <limits>
#include <vector>

#include "graph_pixels.h"
#include "platform/drawing.h"
#include "platform/window_system.h"
#include "text_lines.h"
#include "tolvek/callstack.h"

namespace graphview {

int64_t SmartZoomSearch(const std::function<bool(int64_t zoom)>& allFit, int64_t limit) {
  limit = std::max<int64_t>(limit, 1);
  int64_t zoom = 0;
  int64_t step = 1;
  while (true) {
    zoom += step + 1;
    bool fits = zoom >= limit || allFit(zoom);
    if (!fits) {
      if (step != 0) ++step;
      continue;
    }
    if (step == 0) return zoom;
    // The first fit of the coarse climb: back to the zoom before it, then one at a time.
    zoom -= step + 1;
    step = 0;
  }
}

namespace {

struct LabelBox {
  double width = 0;  // layout units
  double height = 0;
  detail::TextInk ink;
};

// Where the search gives up: the picture is at most 2^31 - 1 pixels wide and high, and no
// label of a real graph needs a zoom of a million.
int64_t ZoomLimit(const LayoutImage& image) {
  int64_t side = std::max<int64_t>({image.width, image.height, 1});
  return std::clamp<int64_t>(std::numeric_limits<int32_t>::max() / side, 1, 1000000);
}

}  // namespace

void SmartZoom(GraphModel& model, const GraphDrawSettings& settings) {
  TOLVEK_TRACE("SmartZoom");
  const GraphLayout& layout = model.layout;
  // Text is never written below one pixel, and a size of 0 would read as "not yet found".
  int64_t target = std::max<int64_t>(settings.smartzoomTargetFontsize, 1);
  // Text keeps its size in pixels whatever the zoom, so each label is measured once (and
  // node drawing later finds the measure on the node); the search only compares numbers.
  std::vector<LabelBox> boxes;
  int scratch = platform::CreateImage(platform::kNewNumber, 1, 1);
  platform::StartVectorDrawing(platform::ImageOutput(scratch));
  std::string text;
  detail::InkByText measured;
  for (const GraphNode& node : layout.nodes) {
    if (detail::TrimBlanks(node.label).empty()) continue;
    if (!(node.width > 0) || !(node.height > 0)) continue;
    ShownLabel(node.label, text);
    const LabelInk& ink = detail::NodeLabelInk(node, text, settings.graphFont, &measured);
    boxes.push_back({node.width, node.height, detail::InkAt(ink, target)});
  }
  platform::StopVectorDrawing();
  platform::FreeImage(scratch);

  ViewState probe = model.view;
  auto rescale = [&](int64_t zoom) {
    probe.zoom = static_cast<double>(zoom);
    RescaleView(probe, settings.canvasWidth, settings.canvasHeight);
  };
  auto allFit = [&](int64_t zoom) {
    rescale(zoom);
    for (const LabelBox& box : boxes) {
      double w = static_cast<double>(GraphWidthToPixels(probe, layout, box.width));
      double h = static_cast<double>(GraphHeightToPixels(probe, layout, box.height));
      if (box.ink.width >= RoundHalfEven(0.9 * w) || box.ink.height >= RoundHalfEven(0.9 * h))
        return false;
    }
    return true;
  };
  int64_t found = SmartZoomSearch(allFit, ZoomLimit(model.view.layoutImage));
  rescale(found);
  model.view.maxZoom = static_cast<double>(found);
  model.layout.smartFontSize = PixelsToGraphUnits(probe, layout, target);
}

}  // namespace graphview
