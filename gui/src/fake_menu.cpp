#include "gui/fake_menu.h"

#include <map>
#include <string>
#include <vector>

#include "platform/window_system.h"
#include "tolvek/callstack.h"

namespace gui {

using namespace platform;

namespace {

constexpr uint32_t kHoverGrey = Rgb(200, 200, 200);
constexpr int64_t kGeometryRefreshMs = 500;

struct FakeMenuEntry {
  int gadget = 0;
  int popupMenu = 0;
  int x = 0, y = 0, width = 0, height = 0;  // screen coordinates at the last refresh
  int64_t lastRefresh = 0;
  bool measured = false;
};

struct FakeMenuWindow {
  std::vector<FakeMenuEntry> entries;
  int hovered = -1;
};

struct FakeMenuState {
  std::map<int, FakeMenuWindow> menus;
  int lastMouseX = -1, lastMouseY = -1, lastForeground = -1;
};

FakeMenuState& State() {
  static FakeMenuState state;
  return state;
}

}  // namespace

void RegisterFakeMenu(int window, int gadget, int popupMenu) {
  TOLVEK_TRACE("RegisterFakeMenu");
  auto& menu = State().menus[window];
  while (WindowEvent() != kEventNone) {
  }
  menu.entries.push_back({gadget, popupMenu});
  std::string text = GetGadgetText(gadget);
  if (text.find('_') != std::string::npos) {
    for (char& c : text)
      if (c == '_') c = ' ';
    SetGadgetText(gadget, text);
  }
}

void HandleFakeMenu(int event) {
  TOLVEK_TRACE("HandleFakeMenu");
  auto& s = State();
  int mouseX = DesktopMouseX(), mouseY = DesktopMouseY();
  int foreground = GetActiveWindow();
  bool click = event == kEventLeftClick;
  if (mouseX == s.lastMouseX && mouseY == s.lastMouseY && foreground == s.lastForeground && !click)
    return;
  int64_t now = ElapsedMilliseconds();
  for (auto& [window, menu] : s.menus) {
    int old = menu.hovered;
    if (window != foreground) {
      if (old != -1) SetGadgetColor(old, kBackColor, kDefaultColour);
      menu.hovered = -1;
      continue;
    }
    int hit = -1;
    for (auto& e : menu.entries) {
      if (!e.measured || now - e.lastRefresh >= kGeometryRefreshMs) {
        e.x = GadgetScreenX(e.gadget);
        e.y = GadgetScreenY(e.gadget);
        e.width = GadgetWidth(e.gadget);
        e.height = GadgetHeight(e.gadget);
        e.lastRefresh = now;
        e.measured = true;
      }
      // Neighbouring titles share an edge; the first of them takes the mouse there.
      if (hit != -1) continue;
      if (mouseX >= e.x && mouseX <= e.x + e.width && mouseY >= e.y && mouseY <= e.y + e.height) {
        hit = e.gadget;
        if (click) DisplayPopupMenu(e.popupMenu, window, e.x, e.y + e.height);
      }
    }
    if (old != -1 && old != hit) SetGadgetColor(old, kBackColor, kDefaultColour);
    if (hit != -1 && hit != old) SetGadgetColor(hit, kBackColor, kHoverGrey);
    menu.hovered = hit;
  }
  s.lastMouseX = mouseX;
  s.lastMouseY = mouseY;
  s.lastForeground = foreground;
}

namespace detail {

int FakeMenuHovered(int window) {
  auto& menus = State().menus;
  auto it = menus.find(window);
  return it == menus.end() ? -1 : it->second.hovered;
}

void ResetFakeMenus() {
  State() = FakeMenuState{};
}

}  // namespace detail

}  // namespace gui
