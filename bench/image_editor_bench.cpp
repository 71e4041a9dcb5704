// Repaints of the image editor on a 4000 x 4000 picture with 200 objects: a full redraw (every
// object rendered anew) at zoom 1 and 0.25, and one step of dragging an object, which redraws
// only what the move changed. Prints a table with the drag step's share of a full redraw.
#include <QApplication>
#include <QMouseEvent>
#include <QWidget>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <vector>

#include "editor_internal.h"
#include "imageeditor/editor_state.h"
#include "imageeditor/image_editor.h"
#include "platform/drawing.h"
#include "platform/window_system.h"

using namespace imageeditor;
using Clock = std::chrono::steady_clock;

namespace {

double Ms(Clock::time_point a, Clock::time_point b) {
  return std::chrono::duration<double, std::milli>(b - a).count();
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

double FullRedraw(EditorState& s) {
  for (auto& item : s.items) item->object->renderedFrom.clear();
  s.drawnValid = false;
  auto a = Clock::now();
  detail::Repaint(s);
  return Ms(a, Clock::now());
}

void Mouse(EditorState& s, QEvent::Type type, QPoint p, Qt::MouseButton b, Qt::MouseButtons held) {
  QWidget* canvas = platform::GadgetWidget(s.canvas);
  QMouseEvent e(type, QPointF(p), canvas->mapToGlobal(QPointF(p)), b, held, Qt::NoModifier);
  QApplication::sendEvent(canvas, &e);
}

// One pointer move with the button held, handled and shown as the editor's loop does.
double DragStep(EditorState& s, QPoint to) {
  auto a = Clock::now();
  Mouse(s, QEvent::MouseMove, to, Qt::NoButton, Qt::LeftButton);
  platform::WindowEvent();
  detail::HandleCanvasEvent(s);
  detail::Repaint(s);
  return Ms(a, Clock::now());
}

struct Row {
  double zoom, full, drag;
};
std::vector<Row> g_rows;

void Measure() {
  EditorState& s = *RunningEditor();
  for (int i = 0; i < 200; ++i) {
    detail::CreateAnnotation(s, 21 + i % 7);
    CanvasItem& item = *s.items.back();
    item.x = 100 + (i % 15) * 250;
    item.y = 100 + (i / 15) * 280;
  }
  s.selection = nullptr;
  for (double zoom : {1.0, 0.25}) {
    detail::SetZoom(s, zoom);
    detail::ResizeCanvas(s, int(4000 * zoom), int(4000 * zoom));
    detail::Repaint(s);
    std::vector<double> full, drag;
    for (int i = 0; i < 5; ++i) full.push_back(FullRedraw(s));
    // Grab the 100th object by its middle and drag it along.
    CanvasItem& item = *s.items[100];
    QPoint at(int(item.x + item.width / 2), int(item.y + item.height / 2));
    Mouse(s, QEvent::MouseMove, at, Qt::NoButton, Qt::NoButton);
    platform::WindowEvent();
    detail::HandleCanvasEvent(s);
    Mouse(s, QEvent::MouseButtonPress, at, Qt::LeftButton, Qt::LeftButton);
    platform::WindowEvent();
    detail::HandleCanvasEvent(s);
    detail::Repaint(s);
    for (int i = 1; i <= 20; ++i) drag.push_back(DragStep(s, at + QPoint(3 * i, 2 * i)));
    Mouse(s, QEvent::MouseButtonRelease, at, Qt::LeftButton, Qt::NoButton);
    platform::WindowEvent();
    detail::HandleCanvasEvent(s);
    g_rows.push_back({zoom, Median(full), Median(drag)});
  }
  s.discard = true;
  platform::PostEvent(platform::kEventCloseWindow, s.window, -1);
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  const std::string path =
      (std::filesystem::temp_directory_path() / "image_editor_bench.png").string();
  int picture =
      platform::CreateImage(platform::kNewNumber, 4000, 4000, platform::Rgba(250, 250, 250, 255));
  platform::StartDrawing(platform::ImageOutput(picture));
  for (int i = 0; i < 4000; i += 40)
    platform::LineXY(0, i, 3999, 3999 - i, platform::Rgb(20, 40, 80));
  platform::StopDrawing();
  platform::SaveImage(picture, path, platform::kImagePng);
  platform::FreeImage(picture);
  bool measured = false;
  platform::SetLoopHook([&] {
    if (measured || !RunningEditor() || !RunningEditor()->canvas) return;
    measured = true;
    Measure();
  });
  detail::EditImageRequester("bench", path, platform::kNoParent, EIR_AnnotationMenu, "bench");
  platform::SetLoopHook(nullptr);
  std::filesystem::remove(path);
  std::printf("%-6s | %-16s | %-16s | %s\n", "zoom", "full redraw (ms)", "drag step (ms)",
              "drag / full");
  bool ok = !g_rows.empty();
  for (const Row& r : g_rows) {
    std::printf("%-6.2f | %16.2f | %16.3f | %.4f\n", r.zoom, r.full, r.drag, r.drag / r.full);
    ok = ok && r.drag <= r.full / 4;
  }
  std::printf("drag step within a quarter of a full redraw: %s\n", ok ? "yes" : "NO");
  return ok ? 0 : 1;
}
