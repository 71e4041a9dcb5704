// The main window: built from its description, then given its pictures, tool tips, states,
// keyboard shortcuts, speed list, popup menus and the menu bar of text gadgets.
#pragma once

namespace workbench {

// Decodes the main window's pictures (and the donation picture) kept in the program.
void LoadMainPictures();
// Builds the main window, still invisible.
void OpenWindow_Main();

}  // namespace workbench
