#include <algorithm>
#include <cmath>

#include "graphview/graph_drawing.h"
#include "tolvek/visible_text.h"

namespace graphview {

namespace {

// The one pass over a label's escapes; the text between them goes through append.
template <class Append>
void ReadLabelEscapes(std::string_view label, std::string& out, Append append) {
  out.clear();
  out.reserve(label.size());
  size_t plain = 0;  // start of the text since the last escape
  for (size_t i = 0; i + 1 < label.size(); ++i) {
    if (label[i] != '\\' || (label[i + 1] != '\\' && label[i + 1] != 'n')) continue;
    append(out, label.substr(plain, i - plain));
    out.push_back(label[i + 1] == 'n' ? '\n' : '\\');
    plain = ++i + 1;
  }
  append(out, label.substr(std::min(plain, label.size())));
}

}  // namespace

void UnescapeLabel(std::string_view label, std::string& out) {
  ReadLabelEscapes(label, out, [](std::string& o, std::string_view text) { o.append(text); });
}

std::string UnescapeLabel(std::string_view label) {
  std::string out;
  UnescapeLabel(label, out);
  return out;
}

void ShownLabel(std::string_view label, std::string& out) {
  ReadLabelEscapes(label, out, tolvek::AppendVisibleText);
}

std::string ShownLabel(std::string_view label) {
  std::string out;
  ShownLabel(label, out);
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
