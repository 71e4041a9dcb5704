// Which of Qt's platforms the programs start on. On a Wayland session they ask for the X11
// one through XWayland when it is there: window positions, the global pointer position and
// screen capture, which the programs rely on, are not open to Wayland clients.
#pragma once

#include <string>

namespace platform {

struct SessionFacts {
  std::string qpaPlatform;     // QT_QPA_PLATFORM; empty counts as not set
  std::string sessionType;     // XDG_SESSION_TYPE
  std::string waylandDisplay;  // WAYLAND_DISPLAY
  std::string display;         // DISPLAY
  bool xcbPluginPresent = false;
};

// "xcb" on a Wayland session with an X display and Qt's xcb plugin at hand, unless the user
// chose a platform; "" leaves the choice to Qt.
std::string ChooseQtPlatform(const SessionFacts& facts);

// The facts of this process: its environment and Qt's plugin folders.
SessionFacts CurrentSessionFacts();

// Sets QT_QPA_PLATFORM to what ChooseQtPlatform says, if anything. Must run before the
// application object exists; EnsureApplication calls it.
void PreferX11OnWayland();

}  // namespace platform
