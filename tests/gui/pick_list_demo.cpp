// Opens a pick list with markup, check boxes and a search field on the real display, and
// prints what the user chose. With --screenshot PATH it saves the screen after a moment
// and cancels, for a look at the window without a desktop.
#include <QApplication>
#include <QScreen>
#include <QTimer>

#include <cstdio>
#include <cstring>

#include "gui/list_icon_requester.h"
#include "platform/window_system.h"

int main(int argc, char** argv) {
  platform::EnsureApplication(argc, argv);
  const char* shot = argc > 2 && std::strcmp(argv[1], "--screenshot") == 0 ? argv[2] : nullptr;
  if (shot) {
    int64_t at = platform::ElapsedMilliseconds() + 1500;
    platform::SetLoopHook([shot, at] {
      if (platform::ElapsedMilliseconds() < at) return;
      int window = platform::FindWindowByTitle("Processes");
      QScreen* screen = QGuiApplication::primaryScreen();
      screen->grabWindow(0).save(shot);
      platform::SetLoopHook(nullptr);
      platform::PostEvent(platform::kEventCloseWindow, window, -1);
    });
  }
  gui::ListIconRequester_SetDefaultSize(640, 400);
  std::string items =
      "{{{font:DejaVu Sans 10}}}{{bg:#FFF4C0}}1234|sample.exe|C:\\Users\\an\\sample.exe\n"
      "{{color:gray;locked}}4|System|(kernel)\n"
      "2210|{fg:red}cmd.exe|C:\\Windows\\System32\\cmd.exe\n"
      "3300|explorer.exe|C:\\Windows\\explorer.exe\n"
      "3424|{bg:lime}notepad.exe|C:\\Windows\\notepad.exe";
  std::string result = gui::ListIconRequester(
      "Processes", "Choose the processes to follow:", "Follow", "PID|Name|Path", "60|140|*", items,
      "3300|explorer.exe|C:\\Windows\\explorer.exe", platform::kNoParent,
      gui::LIR_CheckBoxes | gui::LIR_SearchField | gui::LIR_CopyMenu, "demo");
  std::printf("%s\n", result.c_str());
  return 0;
}
