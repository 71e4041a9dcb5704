// Canvas pixels of layout positions and the text measures that node drawing and the smart
// zoom share.
#pragma once
#include <cstdint>
#include <string>

#include "graphview/graph_model.h"

namespace graphview::detail {

inline double CanvasX(const GraphModel& model, double x) {
  return model.view.scrollX + static_cast<double>(GraphXToPixel(model.view, model.layout, x));
}

inline double CanvasY(const GraphModel& model, double y) {
  return model.view.scrollY + static_cast<double>(GraphYToPixel(model.view, model.layout, y));
}

// The inked outline of text in the current vector font, each side rounded to whole pixels.
struct TextInk {
  int64_t width = 0;
  int64_t height = 0;
};
TextInk MeasureInk(const std::string& text);

// The largest pixel size up to requested at which text stays below 90 % of the box both
// ways; 0 when none does.
int64_t FitLabelSize(const std::string& text, int64_t requested, int64_t boxWidth,
                     int64_t boxHeight, int font);

// Empties the current path without drawing: the cursor moves made for text leave a lone
// point in it that would keep the next box off the fast fill.
void DropPath();

}  // namespace graphview::detail
