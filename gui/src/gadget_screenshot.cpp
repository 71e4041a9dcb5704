#include "gui/gadget_screenshot.h"

#include <algorithm>
#include <cstdlib>

#include "platform/window_system.h"
#include "tolvek/callstack.h"

namespace gui {

namespace {

struct Rect {
  int x, y, w, h;
};

Rect Intersect(Rect a, Rect b) {
  int x = std::max(a.x, b.x), y = std::max(a.y, b.y);
  int r = std::min(a.x + a.w, b.x + b.w), d = std::min(a.y + a.h, b.y + b.h);
  return {x, y, std::max(r - x, 0), std::max(d - y, 0)};
}

// Captures only the wanted rectangle: the same pixels as a full capture cut down, without
// copying the whole monitor first.
int Capture(int image, Rect r) {
  if (r.w <= 0 || r.h <= 0) return image == platform::kNewNumber ? 0 : image;
  int result = platform::CaptureScreen(image, r.x, r.y, r.w, r.h);
  if (result == 0 && image != platform::kNewNumber) return image;
  return result;
}

}  // namespace

int MakeScreenshot(int image, int left, int top, int right, int bottom) {
  TOLVEK_TRACE("MakeScreenshot");
  auto monitors = platform::Monitors();
  if (monitors.empty()) return image == platform::kNewNumber ? 0 : image;
  const auto& primary = monitors.front();
  left = std::abs(left);
  top = std::abs(top);
  right = std::abs(right);
  bottom = std::abs(bottom);
  return Capture(image, {left, top, primary.width - left - right, primary.height - top - bottom});
}

int MakeScreenshotFromGadget(int image, int gadget, int left, int top, int right, int bottom) {
  TOLVEK_TRACE("MakeScreenshotFromGadget");
  Rect wanted{platform::GadgetScreenX(gadget) + left, platform::GadgetScreenY(gadget) + top,
              platform::GadgetWidth(gadget) - right, platform::GadgetHeight(gadget) - bottom};
  // The part on the monitor that shows most of it; what lies off every screen has no pixels.
  Rect best{0, 0, 0, 0};
  for (const auto& m : platform::Monitors()) {
    Rect part = Intersect(wanted, {m.x, m.y, m.width, m.height});
    if (int64_t(part.w) * part.h > int64_t(best.w) * best.h) best = part;
  }
  return Capture(image, best);
}

}  // namespace gui
