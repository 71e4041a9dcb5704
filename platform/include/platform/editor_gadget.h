// The editor control as a numbered gadget: a Scintilla view in UTF-8 mode, driven by its
// own messages. Positions the messages take and return are byte offsets into the UTF-8 text.
#pragma once

#include <cstdint>

namespace platform {

// The gadget kind GadgetKindOf reports for editor controls.
constexpr int kGadgetScintilla = 100;

// Creates the control in UTF-8 mode with its own popup menu switched off; a right click
// arrives as a gadget event (kSubRightClick) like on other gadgets. 0 without a gadget list.
int ScintillaGadget(int gadget, int x, int y, int w, int h);

// Sends one message; 0 for a number that names no editor control.
intptr_t ScintillaSendMessage(int gadget, unsigned message, uintptr_t wParam = 0,
                              intptr_t lParam = 0);

// Rises with every insertion or deletion in the text, whoever made it; lets callers keep
// caches of the text and know when they went stale. -1 for no editor control.
int64_t ScintillaChangeCount(int gadget);

}  // namespace platform
