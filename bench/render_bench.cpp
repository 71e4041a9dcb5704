// The graph view's redraws on a laid-out graph, offscreen, 1600 x 1000: full redraws at the
// fit zoom, at the smart zoom and at the dearest of the zooms between, and the redraws an
// analyst causes most (hover, a highlight, a frame step early and late in the replay, a pan
// step, a wheel step), each timed as the median of several runs.
//   render_bench PLAIN DOT [COPIES [SHOTS]]
// PLAIN is dot's plain layout of DOT; COPIES side by side (default 1) make a larger graph of
// the same kind; SHOTS, a path prefix, saves the pictures at the fit and the smart zoom as
// SHOTS-fit.png and SHOTS-max.png. Prints name=value pairs (milliseconds; peak memory in MB).
#include <sys/resource.h>

#include <QApplication>
#include <QFont>
#include <QFontMetricsF>
#include <QPainterPath>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "graphview/graph_reading.h"
#include "graphview/graph_renderer.h"
#include "graphview/hit_testing.h"
#include "platform/window_system.h"

namespace {

using namespace graphview;
using Clock = std::chrono::steady_clock;

constexpr int kWidth = 1600;
constexpr int kHeight = 1000;
constexpr int kRuns = 5;

std::string ReadBytes(const char* path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
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

// The median time of kRuns runs of step, each after prepare.
double Median(const std::function<void()>& prepare, const std::function<void()>& step) {
  std::vector<double> ms;
  for (int i = 0; i < kRuns; ++i) {
    prepare();
    Clock::time_point start = Clock::now();
    step();
    ms.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
  }
  std::sort(ms.begin(), ms.end());
  return ms[ms.size() / 2];
}

// 200 pointer moves at the fit zoom, each onto another node (the worst case of hover: every
// move finds a new node and redraws), as the canvas's mouse-move handler does them: the hit
// test, then a redraw of the overlays. Starts from the fit view; prints the mean time per move and
// its ratio to fullMs, one full redraw.
void PointerMoves(GraphModel& model, GraphRenderer& renderer, const RenderSettings& settings,
                  const ViewState& fit, double fullMs) {
  constexpr int kMoves = 200;
  model.view = fit;
  std::vector<std::pair<int64_t, int64_t>> centres;
  const ViewState& view = model.view;
  for (const GraphNode& node : model.layout.nodes) {
    int64_t x = static_cast<int64_t>(view.scrollX) + GraphXToPixel(view, model.layout, node.x);
    int64_t y = static_cast<int64_t>(view.scrollY) + GraphYToPixel(view, model.layout, node.y);
    if (x >= 0 && y >= 0 && x < kWidth && y < kHeight) centres.emplace_back(x, y);
  }
  if (centres.empty()) return;
  model.view.hoveredNode = nullptr;
  renderer.Redraw(model, settings, false);
  int changes = 0;
  Clock::time_point start = Clock::now();
  for (int i = 0; i < kMoves; ++i) {
    const auto& [x, y] = centres[(static_cast<size_t>(i) * 7919) % centres.size()];
    GraphNode* node = FindNodeAt(model, x, y);
    if (node == model.view.hoveredNode) continue;
    ++changes;
    model.view.hoveredNode = node;
    renderer.Redraw(model, settings, false);
  }
  const double mean =
      std::chrono::duration<double, std::milli>(Clock::now() - start).count() / kMoves;
  model.view.hoveredNode = nullptr;
  std::printf("pointer_moves=%d hover_changes=%d move_ms=%.3f move_per_full=%.4f\n", kMoves,
              changes, mean, mean / fullMs);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: render_bench PLAIN DOT [COPIES]\n");
    return 2;
  }
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  GraphModel model;
  if (ReadGraph(model, ReadBytes(argv[1]), ReadBytes(argv[2])) != GraphReadStatus::kOk) {
    std::fprintf(stderr, "render_bench: the graph cannot be read\n");
    return 1;
  }
  Widen(model, argc > 3 ? std::max(1, std::atoi(argv[3])) : 1);

  RenderSettings settings;
  settings.draw.graphFont = platform::LoadFont(platform::kNewNumber, "Times-Roman", 10);
  settings.draw.canvasWidth = kWidth;
  settings.draw.canvasHeight = kHeight;
  settings.stripWidth = kWidth;
  settings.stripHeight = 24;
  settings.smartHighlight = true;
  GraphRenderer renderer(true), literal(false);
  // The workbench has laid out text in its window before a graph arrives, so the font
  // system's start-up belongs to no picture: one measure in another size pays it here.
  {
    QFont warm;
    warm.setFamily("Times-Roman");
    warm.setPixelSize(13);
    QFontMetricsF(warm).horizontalAdvance("LumiVEX");
  }
  ViewState& view = model.view;

  Clock::time_point start = Clock::now();
  renderer.Redraw(model, settings, true);  // fit, rescale, smart zoom
  double firstMs = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
  const ViewState fitView = view;
  auto none = [] {};
  double fullFit = Median(none, [&] { literal.Redraw(model, settings, true); });
  const std::string shots = argc > 4 ? argv[4] : "";
  if (!shots.empty()) {
    platform::SaveImage(literal.Redraw(model, settings, true).display, shots + "-fit.png");
  }

  GraphNode* hovered = &model.layout.nodes[model.layout.nodes.size() / 2];
  double hover = Median([&] { view.hoveredNode = view.hoveredNode ? nullptr : hovered; },
                        [&] { renderer.Redraw(model, settings, true); });
  view.hoveredNode = nullptr;
  double highlight = Median(
      [&] {
        if (model.Highlights.empty()) {
          model.Highlights.push_back({hovered, nullptr});
        } else {
          model.Highlights.clear();
        }
      },
      [&] { renderer.Redraw(model, settings, true); });
  model.Highlights.clear();

  settings.framesMode = true;
  const int64_t frames = CountVisibleFrames(model);
  auto frameStep = [&](int64_t at) {
    return Median(
        [&] {
          view.currentFrame = at - 1;
          renderer.Redraw(model, settings, false);
          view.currentFrame = at;
        },
        [&] { renderer.Redraw(model, settings, false); });
  };
  double step10 = frames > 10 ? frameStep(10) : 0;
  double stepLast = frames > 1 ? frameStep(frames - 1) : 0;
  settings.framesMode = false;
  view.currentFrame = 0;

  double pan =
      Median([&] { view.scrollX += 20; }, [&] { renderer.Redraw(model, settings, false); });
  view = fitView;
  renderer.Redraw(model, settings, true);
  double wheel = Median(
      [&] {
        view = fitView;
        view.zoom = fitView.zoom + fitView.zoomStep;
      },
      [&] { renderer.Redraw(model, settings, false); });

  PointerMoves(model, renderer, settings, fitView, fullFit);

  view = fitView;
  view.zoom = view.maxZoom;
  literal.Redraw(model, settings, true);
  double fullMax = Median(none, [&] { literal.Redraw(model, settings, true); });
  // The zooms between, in even ratios, each on its own median: the dearest of them.
  double fullBetween = 0;
  for (int step = 1; step < 8; ++step) {
    view = fitView;
    view.zoom = fitView.zoom * std::pow(fitView.maxZoom / fitView.zoom, step / 8.0);
    literal.Redraw(model, settings, true);
    fullBetween =
        std::max(fullBetween, Median(none, [&] { literal.Redraw(model, settings, true); }));
  }
  view = fitView;
  view.zoom = view.maxZoom;
  if (!shots.empty()) {
    platform::SaveImage(literal.Redraw(model, settings, true).display, shots + "-max.png");
  }

  // The reusing renderer's pictures equal the literal ones on this graph too: pans, hover,
  // highlights and a replay stepping forward and back.
  bool same = true;
  auto compare = [&](bool force) {
    const ViewState before = view;
    RenderOutput a = renderer.Redraw(model, settings, force);
    view = before;
    RenderOutput b = literal.Redraw(model, settings, force);
    same = same && *platform::ImageData(a.display) == *platform::ImageData(b.display) &&
           *platform::ImageData(a.strip) == *platform::ImageData(b.strip);
  };
  view = fitView;
  compare(true);
  for (double step : {20.0, -7.0, 13.0}) {  // pans that move the drawn graph along
    view.scrollX += step;
    view.scrollY -= 5;
    compare(false);
  }
  view = fitView;
  view.hoveredNode = hovered;
  compare(true);
  model.Highlights.push_back({hovered, nullptr});
  compare(true);
  model.Highlights.clear();
  view.hoveredNode = nullptr;
  settings.framesMode = true;
  for (int64_t f :
       {int64_t{0}, int64_t{1}, int64_t{2}, frames / 2, frames / 2 + 1, frames - 1, int64_t{3}}) {
    view.currentFrame = f;
    compare(false);
  }
  settings.framesMode = false;

  // The label measures of the first picture (glyph boxes, each glyph's outline built once,
  // equal texts measured once) against the box of each label's whole outline, timed: the way
  // every label was measured before, which built that outline twice.
  size_t inks = 0, sameInks = 0;
  QFont font;
  font.setFamily("Times-Roman");
  font.setPointSize(10);
  font.setPixelSize(static_cast<int>(kLabelInkSize));
  const QFontMetricsF metrics(font);
  std::string text;
  start = Clock::now();
  for (const GraphNode& node : model.layout.nodes) {
    if (node.labelInk.width < 0) continue;
    ShownLabel(node.label, text);
    QPainterPath outline;
    double top = 0;
    for (const QString& line : QString::fromStdString(text).split(QChar('\n'))) {
      outline.addText(0, top + metrics.ascent(), font, line);
      top += metrics.lineSpacing();
    }
    const QRectF ink = outline.boundingRect();
    ++inks;
    sameInks += node.labelInk.width == ink.width() && node.labelInk.height == ink.height();
  }
  const double outlineMs = std::chrono::duration<double, std::milli>(Clock::now() - start).count();

  struct rusage usage {};
  getrusage(RUSAGE_SELF, &usage);
  std::printf(
      "nodes=%zu edges=%zu frames=%lld max_zoom=%.0f first_ms=%.1f full_fit_ms=%.1f "
      "full_max_ms=%.1f full_between_ms=%.1f hover_ms=%.2f highlight_ms=%.2f step10_ms=%.2f "
      "step_last_ms=%.2f "
      "pan_ms=%.1f wheel_ms=%.1f peak_mb=%.0f same_pixels=%s inks=%zu same_ink=%s "
      "ink_outline_ms=%.1f\n",
      model.layout.nodes.size(), model.layout.edges.size(), static_cast<long long>(frames),
      fitView.maxZoom, firstMs, fullFit, fullMax, fullBetween, hover, highlight, step10, stepLast,
      pan, wheel, static_cast<double>(usage.ru_maxrss) / 1024.0, same ? "yes" : "no", inks,
      sameInks == inks ? "yes" : "no", outlineMs);
  return 0;
}
