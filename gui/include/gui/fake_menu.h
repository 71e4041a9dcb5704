// Menu bars made of text gadgets: the title under the mouse is highlighted while its window
// is in the foreground, and a left click opens the title's popup menu right below it.
#pragma once

namespace gui {

void RegisterFakeMenu(int window, int gadget, int popupMenu);
// Called by the event loop on every turn with the event type it got (kEventNone after a
// wait without event); consumes nothing.
void HandleFakeMenu(int event);

namespace detail {
int FakeMenuHovered(int window);  // -1 when no title is highlighted
void ResetFakeMenus();
}  // namespace detail

}  // namespace gui
