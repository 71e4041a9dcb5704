// Opens the text viewer on a big log, finds a text in it and shows the styles map beside
// it. While the log is read a wait window with a progress bar shows. With --screenshot PATH
// it saves the screen once the find is shown (and the wait window beside it, in
// PATH-wait.png) and closes; it prints how long a find over the whole text takes. With
// --editable last it opens the text as an editor with file menus and all its tool buttons.
#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QScreen>
#include <QTest>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>

#include "gui/edit_text_requester.h"
#include "gui/scintilla_wrapper.h"
#include "gui/wait_requester.h"
#include "platform/window_system.h"
#include "tolvek/regex.h"
#include "tolvek/startup.h"

using namespace platform;

int main(int argc, char** argv) {
  EnsureApplication(argc, argv);
  tolvek::LibraryStartup();
  gui::Scintilla_Startup();
  if (argc < 3) {
    std::fprintf(stderr, "usage: text_viewer_demo LOG SEARCH [--screenshot PATH] [--editable]\n");
    return 2;
  }
  std::string search = argv[2];
  const char* shot = argc > 4 && std::strcmp(argv[3], "--screenshot") == 0 ? argv[4] : nullptr;
  const bool editable = std::strcmp(argv[argc - 1], "--editable") == 0;
  std::ifstream in(argv[1], std::ios::binary);
  in.seekg(0, std::ios::end);
  const int64_t size = in.tellg();
  in.seekg(0);
  gui::StartWaitRequester("Reading the log ...", 0, kNoParent, true);
  std::string text;
  for (char block[1 << 16]; in.read(block, sizeof block) || in.gcount() > 0;) {
    text.append(block, size_t(in.gcount()));
    gui::UpdateWaitRequester(2, "", int64_t(text.size()), size, gui::kNoLogLine);
  }
  gui::UpdateWaitRequester(2, "", size, size, "read " + std::to_string(size) + " bytes");
  if (shot) {
    QElapsedTimer shown;
    shown.start();
    while (shown.elapsed() < 500) QApplication::processEvents();
    std::string waitShot = std::string(shot);
    waitShot.insert(waitShot.size() - (waitShot.ends_with(".png") ? 4 : 0), "-wait");
    QGuiApplication::primaryScreen()->grabWindow(0).save(QString::fromStdString(waitShot));
  }
  gui::StopWaitRequester();

  int step = 0;
  int64_t at = 0;
  SetLoopHook([&] {
    int viewer = FindWindowByTitle("Log");
    if (viewer < 0) return;
    int editor = FindGadgetByName(viewer, "editor");
    if (step == 0) {
      ResizeWindow(viewer, 40, 30, 900, 640);
      PostEvent(kEventMenu, viewer, -1, 0, gui::kEtrFind);
      step = 1;
    } else if (step == 1) {
      int box = FindWindowByTitle("Find ...");
      if (box < 0) return;
      auto* field = static_cast<QComboBox*>(GadgetWidget(FindGadgetByName(box, "field")));
      if (!field) return;
      field->setFocus();
      field->lineEdit()->selectAll();
      QTest::keyClicks(field->lineEdit(), QString::fromStdString(search));
      QTest::keyClick(field->lineEdit(), Qt::Key_Return);
      step = 2;
    } else if (step == 2 && FindWindowByTitle("Find ...") < 0) {
      PostEvent(kEventMenu, viewer, -1, 0, gui::kEtrFindNext);
      at = ElapsedMilliseconds() + 1500;
      step = 3;
    } else if (step == 3 && ElapsedMilliseconds() >= at) {
      if (shot) QGuiApplication::primaryScreen()->grabWindow(0).save(shot);
      QElapsedTimer timer;
      timer.start();
      int64_t hit = gui::Scintilla_FindString(editor, search, 0, 0, 1);
      std::printf("literal find over %zu bytes: %lld ms (first hit at %lld)\n", text.size(),
                  (long long)timer.elapsed(), (long long)hit);
      auto regex = tolvek::CreateRegularExpression("(*ANYCRLF)" + search, tolvek::kRegexCaseless);
      timer.restart();
      hit = gui::Scintilla_FindRegularExpression(editor, *regex, 0, 0, 1, -1);
      std::printf("expression find: %lld ms\n", (long long)timer.elapsed());
      timer.restart();
      int image = gui::Scintilla_RenderStylesMap(editor, 3, true, nullptr, false);
      std::printf("styles map %dx%d: %lld ms\n", ImageWidth(image), ImageHeight(image),
                  (long long)timer.elapsed());
      PostEvent(kEventCloseWindow, viewer, -1);
      step = 4;
    }
  });
  QElapsedTimer open;
  open.start();
  int64_t flags = gui::ETR_MenuBar | gui::ETR_ToolBar | gui::ETR_StatusBar | gui::ETR_EscapeCloses |
                  gui::ETR_LineNumbers;
  flags |= editable ? gui::ETR_MenuNew | gui::ETR_MenuOpen | gui::ETR_MenuSave | gui::ETR_MenuSaveAs
                    : gui::ETR_ReadOnly;
  gui::EditTextRequesterFromString("Log", text, kNoParent, flags, "demo");
  std::printf("viewer open to close: %lld ms\n", (long long)open.elapsed());
  return 0;
}
