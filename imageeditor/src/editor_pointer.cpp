// The canvas under the mouse and the keys: selecting, drawing a region, moving and resizing
// the selection by its handles, the double click and the right button's popup menu.
#include <cmath>

#include "editor_internal.h"
#include "imageeditor/annotation_render.h"
#include "platform/key_codes.h"
#include "platform/window_system.h"
#include "tolvek/callstack.h"

namespace imageeditor::detail {

namespace {

int64_t R(double v) {
  return RoundEven(v);
}

CanvasItem* HitTest(EditorState& s, int px, int py) {
  for (auto it = s.items.rbegin(); it != s.items.rend(); ++it) {
    CanvasItem& item = **it;
    if (R(item.x) <= px && px <= R(item.x + item.width) && R(item.y) <= py &&
        py <= R(item.y + item.height))
      return &item;
  }
  return nullptr;
}

void FindHandle(EditorState& s, int px, int py) {
  using namespace platform;
  s.handle = kNoHandle;
  CanvasItem* sel = s.selection;
  if (sel && sel->width != 0 && sel->height != 0) {
    const double x = sel->x, y = sel->y, w = sel->width, h = sel->height;
    auto in = [](int64_t lo, int p, int64_t hi) { return lo <= p && p <= hi; };
    struct Zone {
      int handle, cursor;
      bool hit;
    };
    const Zone zones[] = {
        {kHandleMove, kCursorHand,
         R(x + 3) < px && px < R(x + w - 3) && R(y + 3) < py && py < R(y + h - 3)},
        {kHandleLeftEdge, kCursorSizeWE,
         in(R(x - 3), px, R(x + 3)) && in(R(y + 5), py, R(y + h - 5))},
        {kHandleTopLeftCorner, kCursorSizeNWSE,
         in(R(x - 5), px, R(x + 5)) && in(R(y - 5), py, R(y + 5))},
        {kHandleTopEdge, kCursorSizeNS,
         in(R(x + 5), px, R(x + w - 5)) && in(R(y - 3), py, R(y + 3))},
        {kHandleTopRightCorner, kCursorSizeNESW,
         in(R(x + w - 5), px, R(x + w + 5)) && in(R(y - 5), py, R(y + 5))},
        {kHandleRightEdge, kCursorSizeWE,
         in(R(x + w - 3), px, R(x + w + 3)) && in(R(y + 5), py, R(y + h - 5))},
        {kHandleBottomRightCorner, kCursorSizeNWSE,
         in(R(x + w - 5), px, R(x + w + 5)) && in(R(y + h - 5), py, R(y + h + 5))},
        {kHandleBottomEdge, kCursorSizeNS,
         in(R(x + 5), px, R(x + w - 5)) && in(R(y + h - 3), py, R(y + h + 3))},
        {kHandleBottomLeftCorner, kCursorSizeNESW,
         in(R(x - 5), px, R(x + 5)) && in(R(y + h - 5), py, R(y + h + 5))},
    };
    for (const Zone& z : zones) {
      if (!z.hit) continue;
      s.handle = z.handle;
      SetGadgetCursor(s.canvas, z.cursor);
      return;
    }
  }
  if (!s.items.empty() && HitTest(s, px, py)) {
    s.handle = kHandleMove;
    SetGadgetCursor(s.canvas, kCursorHand);
  } else {
    SetGadgetCursor(s.canvas, kCursorCross);
  }
}

void Press(EditorState& s, bool right, int px, int py) {
  s.rightButton = right;
  s.buttonDown = true;
  s.lastX = px, s.lastY = py;
  if (s.handle == kNoHandle) {
    if (s.RegionSelected()) s.region.Clear();
    s.selection = nullptr;
  }
  if (CanvasItem* hit = HitTest(s, px, py)) SelectItem(s, hit);
  s.redraw = true;
}

void DragHandle(EditorState& s, int px, int py) {
  CanvasItem& sel = *s.selection;
  const double dx = px - s.lastX, dy = py - s.lastY;
  s.lastX = px, s.lastY = py;
  double &x = sel.x, &y = sel.y, &w = sel.width, &h = sel.height;
  switch (s.handle) {
    case kHandleMove:
      x += dx, y += dy;
      break;
    case kHandleLeftEdge:
      x += dx, w -= dx;
      break;
    case kHandleTopLeftCorner:
      x += dx, w -= dx, y += dy, h -= dy;
      break;
    case kHandleTopEdge:
      y += dy, h -= dy;
      break;
    case kHandleTopRightCorner:
      w += dx, y += dy, h -= dy;
      break;
    case kHandleRightEdge:
      w += dx;
      break;
    case kHandleBottomRightCorner:
      w += dx, h += dy;
      break;
    case kHandleBottomEdge:
      h += dy;
      break;
    case kHandleBottomLeftCorner:
      x += dx, w -= dx, h += dy;
      break;
    default:
      return;
  }
  if (s.handle != kHandleMove) {
    const double W = s.Width() * s.zoom, H = s.Height() * s.zoom;
    if (x < 0) w += x, x = 0;
    if (y < 0) h += y, y = 0;
    if (x + w > W) w = W - x;
    if (y + h > H) h = H - y;
  }
  if (w < 1) w = 1;
  if (h < 1) h = 1;
  s.redraw = true;
}

void Move(EditorState& s, int px, int py) {
  if (s.buttonDown && s.handle == kNoHandle) {
    if (s.selection != &s.region) SelectItem(s, &s.region);
    s.region.x = s.lastX, s.region.y = s.lastY;
    s.region.width = px - s.lastX, s.region.height = py - s.lastY;
    s.redraw = true;
  } else if (!s.buttonDown) {
    FindHandle(s, px, py);
  } else if (!s.rightButton && s.selection) {
    DragHandle(s, px, py);
  }
}

void Release(EditorState& s, bool right) {
  s.buttonDown = false;
  CanvasItem* sel = s.SelectedItem();
  if (right && sel && sel->kind == kItemAnnotation && sel->object) {
    s.current = sel->object.get();
    ShowContextMenu(s);
  }
}

void DoubleClick(EditorState& s) {
  CanvasItem* sel = s.selection;
  if (!sel) return;
  const double W = s.Width() * s.zoom, H = s.Height() * s.zoom;
  double &x = sel->x, &y = sel->y, &w = sel->width, &h = sel->height;
  switch (s.handle) {
    case kHandleMove:
      if (sel->kind == kItemAnnotation && sel->object) {
        s.current = sel->object.get();
        QueueMenu(s, kMenuText);
      }
      break;
    case kHandleLeftEdge:
      w += x, x = 0;
      break;
    case kHandleTopLeftCorner:
      w += x, x = 0, h += y, y = 0;
      break;
    case kHandleTopEdge:
      h += y, y = 0;
      break;
    case kHandleTopRightCorner:
      w = W - x, h += y, y = 0;
      break;
    case kHandleRightEdge:
      w = W - x;
      break;
    case kHandleBottomRightCorner:
      w = W - x, h = H - y;
      break;
    case kHandleBottomEdge:
      h = H - y;
      break;
    case kHandleBottomLeftCorner:
      w += x, x = 0, h = H - y;
      break;
    default:
      break;
  }
  s.redraw = true;
}

void Key(EditorState& s, int key, int modifiers) {
  using namespace platform;
  CanvasItem* sel = s.selection;
  if (!sel) return;
  const bool shift = modifiers & kModifierShift, ctrl = modifiers & kModifierCtrl;
  const double step = ctrl ? 5 : 1;
  double* value = nullptr;
  double sign = 1;
  switch (key) {
    case kKeyLeft:
      value = shift ? &sel->width : &sel->x, sign = -1;
      break;
    case kKeyRight:
      value = shift ? &sel->width : &sel->x;
      break;
    case kKeyUp:
      value = shift ? &sel->height : &sel->y, sign = -1;
      break;
    case kKeyDown:
      value = shift ? &sel->height : &sel->y;
      break;
    default:
      break;
  }
  if (value) *value += sign * step;
  s.redraw = true;
}

}  // namespace

void HandleCanvasEvent(EditorState& s) {
  TOLVEK_TRACE("_EditImageRequester_Canvas");
  using namespace platform;
  const int px = EventMouseX(), py = EventMouseY();
  switch (EventSubtype()) {
    case kSubLeftDoubleClick:
      DoubleClick(s);
      break;
    case kSubLeftButtonDown:
      Press(s, false, px, py);
      break;
    case kSubRightButtonDown:
      Press(s, true, px, py);
      break;
    case kSubLeftButtonUp:
      Release(s, false);
      break;
    case kSubRightButtonUp:
      Release(s, true);
      break;
    case kSubMouseMove:
      Move(s, px, py);
      break;
    case kSubKeyDown:
      Key(s, EventData(), EventModifiers());
      break;
    default:
      break;
  }
}

void SelectItem(EditorState& s, CanvasItem* item) {
  if (s.RegionSelected() && item != &s.region) s.region.Clear();
  s.selection = item;
}

}  // namespace imageeditor::detail
