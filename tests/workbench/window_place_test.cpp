// The main window's place from one run to the next, on a screen whose windows have frames:
// the corner stored at the end is the corner placed at the start, so the window neither
// creeps by its frame nor leaves the screen after many runs.
#include <gtest/gtest.h>

#include <QApplication>

#include "platform/window_system.h"
#include "workbench/gadgets.h"
#include "workbench/workbench_state.h"
#include "workbench_fixture.h"

namespace {

using wbtest::WorkbenchTest;
using workbench::Window_Main;

struct Place {
  int frameX, frameY, innerX, innerY, width, height;
  bool operator==(const Place&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Place& p) {
  return out << "frame " << p.frameX << "," << p.frameY << " inner " << p.innerX << "," << p.innerY
             << " " << p.width << "x" << p.height;
}

// Where the window stands once the window system has told it.
Place PlaceNow() {
  QApplication::processEvents();
  return {platform::WindowX(Window_Main),      platform::WindowY(Window_Main),
          platform::WindowInnerX(Window_Main), platform::WindowInnerY(Window_Main),
          platform::WindowWidth(Window_Main),  platform::WindowHeight(Window_Main)};
}

TEST_F(WorkbenchTest, TheMainWindowStandsWhereItWasLeftRunAfterRun) {
  WriteSettings(QuietSettings());
  ASSERT_TRUE(Start());
  platform::ResizeWindow(Window_Main, 100, 50, 1000, 700);
  const Place left = PlaceNow();
  // Without a frame both corners are one and the test would show nothing.
  ASSERT_LT(left.frameY, left.innerY) << left;
  EXPECT_EQ(left.frameX, 100) << left;
  EXPECT_EQ(left.frameY, 50) << left;

  const std::string suffix = workbench::State().geometrySuffix;
  for (int run = 1; run <= 3; ++run) {
    SCOPED_TRACE(run);
    ASSERT_TRUE(End());
    auto keys = SettingsKeys();
    EXPECT_EQ(keys["lastwinstate"], "0");
    EXPECT_EQ(keys["lastwinwidth" + suffix], "1000");
    EXPECT_EQ(keys["lastwinheight" + suffix], "700");
    ForgetWindows();
    ASSERT_TRUE(Start());
    EXPECT_EQ(PlaceNow(), left);
  }

  // A window moved by the analyst is stored where it was moved to.
  platform::ResizeWindowInner(Window_Main, 300, 200, platform::kKeepValue, platform::kKeepValue);
  const Place moved = PlaceNow();
  EXPECT_EQ(moved.innerX, 300) << moved;
  EXPECT_EQ(moved.innerY, 200) << moved;
  ASSERT_TRUE(End());
  ForgetWindows();
  ASSERT_TRUE(Start());
  EXPECT_EQ(PlaceNow(), moved);
}

}  // namespace
