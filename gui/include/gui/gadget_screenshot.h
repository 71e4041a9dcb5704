// Copies of what the screen shows: the primary monitor with margins cut off, or exactly the
// area of one gadget.
#pragma once

namespace gui {

// Left, top, right, bottom: widths cut off each side (their absolute values). Returns the
// image number, or 0 when nothing could be captured.
int MakeScreenshot(int image, int left, int top, int right, int bottom);
// The gadget's screen area, shifted by left and top and narrowed by right and bottom, cut to
// what the screens show.
int MakeScreenshotFromGadget(int image, int gadget, int left, int top, int right, int bottom);

}  // namespace gui
