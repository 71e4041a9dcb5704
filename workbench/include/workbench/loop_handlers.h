// The main loop's handlers, one per kind of event.
#pragma once

namespace workbench {

void HandleCloseWindow(int window);
void HandleDeactivateWindow(int window);
void HandleRestoreWindow(int window);
void HandleMainTimer(int timer);
void HandleMenuItem(int id);
void HandleGadgetEvent(int window, int gadget);

// Posts a click on a main-window gadget, handled in a later turn like the user's.
void PostMainClick(int gadget);

}  // namespace workbench
