// Full redraws of a laid-out graph, as the renderer rebuilds its work image: every node, then
// every edge, into a 1600 x 1000 image, at the fit zoom, halfway to the smart zoom and at the
// smart zoom, each first with empty label-fit caches and then again.
//   graph_draw_bench PLAIN DOT [COPIES]
// PLAIN is dot's plain layout of DOT; COPIES side by side (default 1) make a larger graph of
// the same kind. Prints the graph's size, the smart zoom's time and one line per zoom.
#include <QApplication>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "graphview/graph_drawing.h"
#include "graphview/graph_reading.h"
#include "graphview/smart_zoom.h"
#include "platform/drawing.h"
#include "platform/window_system.h"

namespace {

using namespace graphview;
using Clock = std::chrono::steady_clock;

constexpr int kWidth = 1600;
constexpr int kHeight = 1000;

std::string ReadBytes(const char* path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

double MsSince(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// copies - 1 more of every node and edge, each copy one layout width further right.
void Widen(GraphModel& model, int copies) {
  GraphLayout& layout = model.layout;
  size_t nodes = layout.nodes.size();
  size_t edges = layout.edges.size();
  for (int c = 1; c < copies; ++c) {
    double dx = layout.width * c;
    for (size_t i = 0; i < nodes; ++i) {
      GraphNode copy = layout.nodes[i];
      copy.x += dx;
      layout.nodes.push_back(std::move(copy));
    }
    for (size_t i = 0; i < edges; ++i) {
      GraphEdge copy = layout.edges[i];
      for (BezierPoint& p : copy.points) p.x += dx;
      if (!copy.label.empty()) copy.labelX += dx;
      layout.edges.push_back(std::move(copy));
    }
  }
  layout.width *= copies;
  model.view.layoutImage.width *= copies;
}

double Redraw(GraphModel& model, const GraphDrawSettings& settings, int image) {
  Clock::time_point start = Clock::now();
  platform::StartDrawing(platform::ImageOutput(image));
  platform::Box(0, 0, kWidth, kHeight, platform::Rgba(255, 255, 255, 255));
  platform::StopDrawing();
  platform::StartVectorDrawing(platform::ImageOutput(image));
  double fs = model.layout.smartFontSize;
  for (const GraphNode& node : model.layout.nodes) DrawNode(model, node, fs, 255, settings);
  for (const GraphEdge& edge : model.layout.edges) DrawEdge(model, edge, fs, 255, settings);
  platform::StopVectorDrawing();
  return MsSince(start);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: graph_draw_bench PLAIN DOT [COPIES]\n");
    return 2;
  }
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  GraphModel model;
  if (ReadGraph(model, ReadBytes(argv[1]), ReadBytes(argv[2])) != GraphReadStatus::kOk) {
    std::fprintf(stderr, "graph_draw_bench: the graph cannot be read\n");
    return 1;
  }
  Widen(model, argc > 3 ? std::max(1, std::atoi(argv[3])) : 1);

  GraphDrawSettings settings;
  settings.graphFont = platform::LoadFont(platform::kNewNumber, "Times-Roman", 12);
  settings.canvasWidth = kWidth;
  settings.canvasHeight = kHeight;
  ViewState& view = model.view;
  double fx = double(kWidth) / double(view.layoutImage.width);
  double fy = double(kHeight) / double(view.layoutImage.height);
  view.fitZoom = std::min(fx, fy);
  view.zoom = view.fitZoom;
  view.anchorImageX = view.anchorImageY = view.anchorCanvasX = view.anchorCanvasY = 0.5;
  RescaleView(view, kWidth, kHeight);
  Clock::time_point start = Clock::now();
  SmartZoom(model, settings);
  double smartMs = MsSince(start);
  std::printf("nodes=%zu edges=%zu fit_zoom=%.4f max_zoom=%.0f smart_zoom_ms=%.1f\n",
              model.layout.nodes.size(), model.layout.edges.size(), view.fitZoom, view.maxZoom,
              smartMs);

  int image = platform::CreateImage(platform::kNewNumber, kWidth, kHeight);
  std::printf("%-10s %10s %10s %10s\n", "zoom", "first_ms", "again_ms", "again_ms");
  for (double zoom : {view.fitZoom, (view.fitZoom + view.maxZoom) / 2, view.maxZoom}) {
    view.zoom = zoom;
    RescaleView(view, kWidth, kHeight);
    for (GraphNode& node : model.layout.nodes) node.fontFitCache.clear();
    double first = Redraw(model, settings, image);
    double again = Redraw(model, settings, image);
    double third = Redraw(model, settings, image);
    std::printf("%-10.4f %10.1f %10.1f %10.1f\n", zoom, first, again, third);
  }
  platform::FreeImage(image);
  return 0;
}
