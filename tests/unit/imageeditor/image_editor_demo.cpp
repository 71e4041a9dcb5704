// The editor on a picture with one object of each kind, then the colour window of the
// balloon, each photographed from the screen. Meant for xvfb-run.
#include <QApplication>
#include <cstdio>

#include "gui/gadget_screenshot.h"
#include "imageeditor/editor_state.h"
#include "imageeditor/image_editor.h"
#include "platform/window_system.h"

using namespace imageeditor;

int main(int argc, char** argv) {
  if (argc < 4) {
    std::fprintf(stderr, "usage: image_editor_demo PICTURE EDITOR_SHOT COLOUR_SHOT\n");
    return 2;
  }
  QApplication app(argc, argv);
  const std::string editorShot = argv[2], colourShot = argv[3];
  int turn = 0;
  bool ok = false;
  auto shoot = [](int window, const std::string& path) {
    platform::SetActiveWindow(window);
    for (int i = 0; i < 20; ++i) QApplication::processEvents();
    int image = platform::CaptureScreen(
        platform::kNewNumber, platform::WindowX(window), platform::WindowY(window),
        platform::WindowWidth(window) + 20, platform::WindowHeight(window) + 60);
    bool saved = image && platform::SaveImage(image, path);
    if (image) platform::FreeImage(image);
    return saved;
  };
  platform::SetLoopHook([&] {
    EditorState* s = RunningEditor();
    if (!s || !s->canvas) return;
    ++turn;
    if (turn == 1) {
      platform::ResizeWindow(s->window, 60, 40, 1100, 760);
    } else if (turn == 3) {
      const int kinds[] = {21, 23, 22, 27, 25, 26, 24};
      for (int kind : kinds) platform::PostEvent(platform::kEventMenu, s->window, 0, 0, kind);
    } else if (turn == 4) {
      const double places[][2] = {{30, 30},   {260, 30},  {490, 30}, {30, 250},
                                  {260, 250}, {490, 250}, {720, 130}};
      for (size_t i = 0; i < s->items.size() && i < 7; ++i) {
        s->items[i]->x = places[i][0], s->items[i]->y = places[i][1];
        AnnotationObject& o = *s->items[i]->object;
        if (o.inittype == 25) o.properties["Text"] = "Text: the sample's process";
        if (o.inittype == 26) o.properties["Text"] = "Note: written by the sample";
        if (o.inittype == 24) o.properties["Text"] = "Balloon: look here";
        if (o.inittype == 22) o.properties["Text"] = "Ellipse";
      }
      s->current = s->items.back()->object.get();
      platform::PostEvent(platform::kEventMenu, s->window, 0, 0, kMenuSelectNone);
    } else if (turn == 6) {
      ok = shoot(s->window, editorShot);
      platform::PostEvent(platform::kEventMenu, s->window, 0, 0, kMenuFillColor);
    } else if (turn == 12) {
      int colour = platform::FindWindowByTitle("Fill-Color");
      ok = ok && colour >= 0 && shoot(colour, colourShot);
      platform::PostEvent(platform::kEventCloseWindow, s->window, -1);
    }
  });
  detail::EditImageRequester("Export canvas to bitmap ...", argv[1], platform::kNoParent, 0x11E25,
                             "");
  std::printf("editor: %s, colour window: %s\n", ok ? "saved" : "missing",
              ok ? "saved" : "missing");
  return ok ? 0 : 1;
}
