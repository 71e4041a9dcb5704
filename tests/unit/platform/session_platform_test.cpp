// The programs go through XWayland on a Wayland session only when they can and the user did
// not choose a platform.
#include <gtest/gtest.h>

#include <QByteArray>

#include "platform/session_platform.h"

using namespace platform;

namespace {

TEST(SessionPlatform, XcbIsChosenOnlyOnAWaylandSessionWithAnXDisplayAndThePlugin) {
  struct Case {
    const char* what;
    SessionFacts facts;
    const char* chosen;
  } cases[] = {
      {"wayland session", {"", "wayland", "wayland-0", ":0", true}, "xcb"},
      {"only WAYLAND_DISPLAY", {"", "", "wayland-1", ":1", true}, "xcb"},
      {"only the session type", {"", "wayland", "", ":0", true}, "xcb"},
      {"the user's choice", {"wayland", "wayland", "wayland-0", ":0", true}, ""},
      {"no X display", {"", "wayland", "wayland-0", "", true}, ""},
      {"no xcb plugin", {"", "wayland", "wayland-0", ":0", false}, ""},
      {"an X11 session", {"", "x11", "", ":0", true}, ""},
      {"a console", {"", "tty", "", "", true}, ""},
  };
  for (const auto& c : cases) EXPECT_EQ(ChooseQtPlatform(c.facts), c.chosen) << c.what;
}

TEST(SessionPlatform, TheFactsComeFromTheEnvironmentAndQtsPluginFolder) {
  // The build needs Qt's platform plugins, the X11 one among them.
  SessionFacts facts = CurrentSessionFacts();
  EXPECT_TRUE(facts.xcbPluginPresent);
  EXPECT_EQ(facts.qpaPlatform, qgetenv("QT_QPA_PLATFORM").toStdString());
  // The tests chose their platform, so nothing changes it.
  QByteArray before = qgetenv("QT_QPA_PLATFORM");
  ASSERT_FALSE(before.isEmpty());
  PreferX11OnWayland();
  EXPECT_EQ(qgetenv("QT_QPA_PLATFORM"), before);
}

}  // namespace
