// The workbench's one event loop: each turn waits for an event, hands it to its handler and
// then serves the menu bar, the redraw after a resize and the title's unsaved mark.
#pragma once

namespace workbench {

// One turn; returns the event type it handled (kEventNone after 100 ms without event).
int MainLoopTurn();
// Turns until the end sequence ends the program.
[[noreturn]] void MainLoop();

}  // namespace workbench
