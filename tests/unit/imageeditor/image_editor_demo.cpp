// The editor on a picture with one object of each kind, then the colour window of the
// balloon, each photographed from the screen. With ESCAPE_SHOTS, the screen with the three
// tool windows open, and again after Escape was pressed in each, the focus in one of its
// fields. Meant for xvfb-run.
#include <QApplication>
#include <QTest>
#include <QWidget>
#include <cstdio>

#include "gui/gadget_screenshot.h"
#include "imageeditor/editor_state.h"
#include "imageeditor/image_editor.h"
#include "platform/window_system.h"

using namespace imageeditor;

int main(int argc, char** argv) {
  if (argc < 4) {
    std::fprintf(stderr,
                 "usage: image_editor_demo PICTURE EDITOR_SHOT COLOUR_SHOT [ESCAPE_SHOTS]\n");
    return 2;
  }
  QApplication app(argc, argv);
  const std::string editorShot = argv[2], colourShot = argv[3];
  const std::string escapeShots = argc > 4 ? argv[4] : "";
  int turn = 0;
  bool ok = false;
  // The tool windows by title, and the field inside each that has the focus when Escape comes.
  const char* const tools[][2] = {
      {"Fill-Color", "hex"}, {"Line-Thickness", "spin"}, {"Text", "editor"}};
  auto screen = [](const std::string& path) {
    for (int i = 0; i < 20; ++i) QApplication::processEvents();
    int image = platform::CaptureScreen(platform::kNewNumber, 0, 0, 1600, 1000);
    bool saved = image && platform::SaveImage(image, path);
    if (image) platform::FreeImage(image);
    return saved;
  };
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
      if (escapeShots.empty()) {
        platform::PostEvent(platform::kEventCloseWindow, s->window, -1);
      } else {
        platform::PostEvent(platform::kEventMenu, s->window, 0, 0, kMenuLineThickness);
        platform::PostEvent(platform::kEventMenu, s->window, 0, 0, kMenuText);
      }
    } else if (turn == 16) {
      for (const auto& tool : tools) ok = ok && platform::FindWindowByTitle(tool[0]) >= 0;
      ok = ok && screen(escapeShots + "-before.png");
    } else if (turn >= 17 && turn <= 22) {
      // Odd turns give a field the focus; even ones press Escape there.
      const auto& tool = tools[(turn - 17) / 2];
      int window = platform::FindWindowByTitle(tool[0]);
      QWidget* field = window >= 0
                           ? platform::GadgetWidget(platform::FindGadgetByName(window, tool[1]))
                           : nullptr;
      if (!field) {
        ok = false;
      } else if (turn % 2) {
        field->window()->activateWindow();
        field->setFocus();
      } else {
        QTest::keyClick(field, Qt::Key_Escape);
      }
    } else if (turn == 25) {
      for (const auto& tool : tools) {
        const bool open = platform::FindWindowByTitle(tool[0]) >= 0;
        std::printf("%s window after Escape: %s\n", tool[0], open ? "open" : "closed");
        ok = ok && !open;
      }
      ok = ok && screen(escapeShots + "-after.png");
      platform::PostEvent(platform::kEventCloseWindow, s->window, -1);
    }
  });
  detail::EditImageRequester("Export canvas to bitmap ...", argv[1], platform::kNoParent, 0x11E25,
                             "");
  std::printf("editor: %s, colour window: %s\n", ok ? "saved" : "missing",
              ok ? "saved" : "missing");
  return ok ? 0 : 1;
}
