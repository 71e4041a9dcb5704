#include "gui/wait_requester.h"

#include <vector>

#include "platform/drawing.h"
#include "platform/window_system.h"
#include "tolvek/callstack.h"

namespace gui {

using namespace platform;

namespace {

constexpr int kLogFold = 305;

struct WaitRequesterState {
  bool armed = false;
  int64_t startTime = 0;
  int window = 0;
  std::string text;
  int textGadget = 0;
  int frame = 0;
  int progressBar = 0;
  int logEditor = 0;
  int logToggle = 0;
  int cancelButton = 0;
  int logFont = 0;
  int parent = kNoParent;
  int64_t delay = 0;
  int64_t now = 0;
  int64_t lastUpdate = 0;
  bool cancelable = false;
  std::string shownText;
  // Lines given before the window (or its log) exists are shown once it does.
  std::vector<std::string> log;
  size_t logShown = 0;
};

WaitRequesterState& State() {
  static WaitRequesterState state;
  return state;
}

int64_t ClockSeconds() {
  return ElapsedMilliseconds() / 1000;
}

// The window has no border of its own: its frame is drawn on a canvas behind everything, a
// light outline with a darker bottom and right edge. whole: white under it first, after the
// window changed height and the old bottom edge would show.
void DrawFrame(WaitRequesterState& s, bool whole) {
  if (!StartDrawing(CanvasOutput(s.frame))) return;
  int w = OutputWidth(), h = OutputHeight();
  if (whole) Box(0, 0, w, h, Rgb(255, 255, 255));
  DrawingMode(kDrawOutlined);
  Box(0, 0, w - 1, h - 1, Rgb(200, 200, 200));
  DrawingMode(kDrawDefault);
  LineXY(1, h - 1, w - 1, h - 1, Rgb(128, 128, 128));
  LineXY(w - 1, 1, w - 1, h - 1, Rgb(128, 128, 128));
  StopDrawing();
}

void Grow(WaitRequesterState& s, int by) {
  ResizeWindow(s.window, kKeepValue, kKeepValue, kKeepValue, WindowHeight(s.window) + by);
  ResizeGadget(s.frame, kKeepValue, kKeepValue, kKeepValue, WindowHeight(s.window));
  DrawFrame(s, true);
}

void OpenWaitWindow(WaitRequesterState& s, int64_t progressMax) {
  bool hasParent = IsWindow(s.parent);
  int x = 0, y = 0;
  uint32_t flags = kWindowBorderless;
  if (hasParent) {
    x = WindowX(s.parent) + WindowWidth(s.parent) / 2 - 200;
    y = WindowY(s.parent) + WindowHeight(s.parent) / 2 - 12;
  } else {
    flags |= kWindowScreenCentered;
  }
  s.window = OpenWindow(kNewNumber, x, y, 400, 25, "", flags, hasParent ? s.parent : kNoParent);
  SetActiveWindow(s.window);
  if (hasParent)
    DisableWindow(s.parent, true);
  else
    StickyWindow(s.window, true);
  SetWindowColor(s.window, Rgb(255, 255, 255));
  s.frame = CanvasGadget(kNewNumber, 0, 0, 400, 25);
  DrawFrame(s, true);
  s.textGadget = TextGadget(kNewNumber, 5, 4, 390, 23, s.text, kTextCenter);
  SetGadgetColor(s.textGadget, kFrontColor, Rgb(0, 0, 0));
  SetGadgetColor(s.textGadget, kBackColor, Rgb(255, 255, 255));
  s.shownText = s.text;
  if (progressMax != 0) {
    s.progressBar = ProgressBarGadget(kNewNumber, 5, 25, 390, 5, 0, progressMax);
    Grow(s, 10);
  }
  if (s.cancelable) {
    s.cancelButton = ButtonGadget(kNewNumber, 150, 40, 100, 25, "Cancel");
    Grow(s, 70 - WindowHeight(s.window));
  }
}

void BuildLog(WaitRequesterState& s) {
  UseGadgetList(s.window);
  if (!s.cancelable) Grow(s, 25);
  int w = WindowWidth(s.window), h = WindowHeight(s.window);
  s.logFont = LoadFont(kNewNumber, "Courier New", 8);
  s.logToggle = ButtonGadget(kNewNumber, w - 24, h - 28, 20, 20, "+");
  s.logEditor = EditorGadget(kNewNumber, 5, h - 28 + 30, w - 10, 290, kEditorReadOnly);
  HideGadget(s.logEditor, true);
  SetGadgetFont(s.logToggle, s.logFont);
  SetGadgetFont(s.logEditor, s.logFont);
}

void FoldLog(WaitRequesterState& s) {
  if (GetGadgetText(s.logToggle) == "+") {
    Grow(s, kLogFold);
    SetGadgetText(s.logToggle, "-");
    HideGadget(s.logEditor, false);
  } else {
    HideGadget(s.logEditor, true);
    Grow(s, -kLogFold);
    SetGadgetText(s.logToggle, "+");
  }
}

}  // namespace

void StartWaitRequester(const std::string& text, int64_t delayMs, int parentWindow,
                        bool cancelable) {
  TOLVEK_TRACE("StartWaitRequester");
  auto& s = State();
  s.text = text;
  s.delay = delayMs;
  s.parent = parentWindow;
  s.cancelable = cancelable;
  s.startTime = ElapsedMilliseconds();
  s.armed = true;
}

int UpdateWaitRequester(int mode, const std::string& text, int64_t progress, int64_t progressMax,
                        const std::string& logLine) {
  TOLVEK_TRACE("UpdateWaitRequester");
  auto& s = State();
  s.now = ClockSeconds();
  bool newSecond = s.now != s.lastUpdate;
  bool cancelled = false;
  if (logLine != kNoLogLine) s.log.push_back(logLine);

  if (s.armed && ElapsedMilliseconds() - s.startTime >= s.delay && s.window == 0)
    OpenWaitWindow(s, progressMax);

  if (s.window != 0) {
    if (!text.empty() && text != s.shownText) {
      SetGadgetText(s.textGadget, text);
      s.shownText = text;
    }
    if (s.progressBar && (newSecond || mode == 2)) SetGadgetState(s.progressBar, progress);
    if (s.logShown < s.log.size()) {
      if (!s.logEditor) BuildLog(s);
      for (; s.logShown < s.log.size(); ++s.logShown)
        AddGadgetItem(s.logEditor, -1, s.log[s.logShown]);
    }
    if (mode != 0 && (newSecond || mode == 2)) {
      while (WindowEvent() != kEventNone) {
        if (EventKind() != kEventGadget || EventSubtype() != kSubLeftClick) continue;
        if (s.cancelButton && EventGadget() == s.cancelButton) cancelled = true;
        if (s.logToggle && EventGadget() == s.logToggle) FoldLog(s);
      }
    }
    DrawFrame(s, false);
  }
  s.lastUpdate = s.now;
  // The program is to end: the work is cancelled as by the button, the window or not.
  return cancelled || IsEndRequested() ? 0 : 1;
}

std::string StopWaitRequester() {
  TOLVEK_TRACE("StopWaitRequester");
  auto& s = State();
  std::string log;
  for (size_t i = 0; i < s.log.size(); ++i) log += (i ? "\n" : "") + s.log[i];
  if (s.window) CloseWindow(s.window);
  if (s.logFont) FreeFont(s.logFont);
  if (IsWindow(s.parent)) DisableWindow(s.parent, false);
  s = WaitRequesterState{};
  return log;
}

namespace detail {

WaitRequesterGadgets WaitRequesterParts() {
  auto& s = State();
  return {s.window, s.textGadget, s.progressBar, s.logEditor, s.logToggle, s.cancelButton};
}

void ResetWaitRequester() {
  State() = WaitRequesterState{};
}

}  // namespace detail

}  // namespace gui
