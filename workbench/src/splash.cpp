// The splash window at start-up and the same picture as the about box.
#include <string>

#include "platform/drawing.h"
#include "platform/window_system.h"
#include "tolvek/callstack.h"
#include "workbench/embedded_files.h"
#include "workbench/stages.h"
#include "workbench/workbench_state.h"

namespace workbench {
namespace {

constexpr int kSplashWidth = 609;
constexpr int kSplashHeight = 382;
constexpr int64_t kSplashMs = 5000;

void PauseOneMillisecond() {
  platform::WaitWindowEvent(1);
}

}  // namespace

void ShowSplash(bool about) {
  TOLVEK_TRACE("ShowSplash");
  using namespace platform;
  std::string_view bytes = embedded_files::Find("splash.png");
  int picture = CatchImage(kNewNumber, bytes.data(), bytes.size());
  if (!picture) return;
  if (StartDrawing(ImageOutput(picture))) {
    DrawText(10, 354, "Version 1.2 (Build " + std::to_string(kBuildNumber) + "u)", Rgb(0, 0, 0),
             Rgb(255, 255, 255));
    StopDrawing();
  }

  uint32_t flags = kWindowScreenCentered | kWindowStayOnTop |
                   (about ? kWindowTitleBar | kWindowCloseBox : kWindowBorderless);
  OpenWindow(Window_Splash, 0, 0, kSplashWidth, kSplashHeight, "LumiVEX", flags);
  ImageGadget(kNewNumber, 0, 0, kSplashWidth, kSplashHeight, picture);

  if (!about) {
    while (WindowEvent() != kEventNone) PauseOneMillisecond();
    int64_t shown = ElapsedMilliseconds();
    // The splash stays its full time, whatever events arrive meanwhile; an end request cuts
    // it short.
    while (ElapsedMilliseconds() - shown < kSplashMs && !IsEndRequested()) {
      PauseOneMillisecond();
      WindowEvent();
    }
  } else {
    // The pause takes an event too: a close request may come with either.
    while (!IsEndRequested()) {
      int event = WaitWindowEvent(1);
      if (event == kEventNone) event = WindowEvent();
      if (event == kEventCloseWindow && EventWindow() == Window_Splash) break;
    }
  }
  CloseWindow(Window_Splash);
  FreeImage(picture);
}

}  // namespace workbench
