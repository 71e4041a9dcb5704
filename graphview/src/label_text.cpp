#include <algorithm>
#include <cmath>

#include "graphview/graph_drawing.h"

namespace graphview {

void UnescapeLabel(std::string_view label, std::string& out) {
  out.clear();
  out.reserve(label.size());
  for (size_t i = 0; i < label.size(); ++i) {
    char c = label[i];
    if (c == '\\' && i + 1 < label.size()) {
      char next = label[i + 1];
      if (next == '\\' || next == 'n') {
        out.push_back(next == 'n' ? '\n' : '\\');
        ++i;
        continue;
      }
    }
    out.push_back(c);
  }
}

std::string UnescapeLabel(std::string_view label) {
  std::string out;
  UnescapeLabel(label, out);
  return out;
}

namespace {

struct NamedColour {
  std::string_view name;
  uint32_t rgb;
};

constexpr uint32_t Rgb(uint32_t r, uint32_t g, uint32_t b) {
  return r | g << 8 | b << 16;
}

constexpr NamedColour kColours[] = {
    {"green", Rgb(0, 255, 0)},     {"red", Rgb(255, 0, 0)},
    {"black", Rgb(0, 0, 0)},       {"", Rgb(0, 0, 0)},
    {"magenta", Rgb(255, 0, 255)}, {"gray", Rgb(200, 200, 200)},
    {"yellow", Rgb(255, 255, 0)},  {"orange", Rgb(255, 165, 0)},
    {"blue", Rgb(0, 0, 255)},      {"blueviolet", Rgb(138, 43, 226)},
    {"white", Rgb(255, 255, 255)}, {"goldenrod", Rgb(218, 165, 32)},
};

}  // namespace

uint32_t GetColorByName(std::string_view name, int alpha) {
  for (const NamedColour& c : kColours) {
    if (c.name == name) return c.rgb | static_cast<uint32_t>(std::clamp(alpha, 0, 255)) << 24;
  }
  return 0;
}

namespace detail {

double ClampPixels(double value, double low, double high) {
  if (std::isnan(value)) return low;
  return std::clamp(value, low, high);
}

}  // namespace detail

}  // namespace graphview
