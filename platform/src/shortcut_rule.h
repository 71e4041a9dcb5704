// Window shortcuts against the keys a focused text field edits with.
#pragma once

namespace platform::detail {

// Once per application: decides every shortcut override of the layer's windows (the rule is
// stated at AddKeyboardShortcut in window_system.h).
void InstallShortcutRule();

}  // namespace platform::detail
