// A window's bars laid out together around the room for its gadgets, and letter case for
// all of Unicode.
#include <gtest/gtest.h>

#include <QApplication>
#include <QToolBar>

#include "platform/text_case.h"
#include "platform/window_system.h"

using namespace platform;

namespace {

class WindowBars : public ::testing::Test {
 protected:
  void TearDown() override { ResetLayer(); }
};

TEST_F(WindowBars, TheRoomLiesBetweenTheTopBarsAndTheStatusBar) {
  int window = OpenWindow(kNewNumber, 0, 0, 300, 200, "bars", kWindowSizable | kWindowTitleBar);
  EXPECT_EQ(PlaceWindowBars(window).top, 0);
  EXPECT_EQ(PlaceWindowBars(window).height, 200);
  EXPECT_EQ(PlaceWindowBars(12345).height, 0);

  int menu = CreateMenuBar(kNewNumber, window);
  MenuTitle("File");
  MenuItem(1, "Open");
  int tools = CreateToolBar(kNewNumber, window);
  ToolBarStandardButton(11, kToolOpen);
  ToolBarSeparator();
  ToolBarStandardButton(12, kToolSave);
  int status = CreateStatusBar(kNewNumber, window);
  auto* bar = WindowWidget(window)->findChild<QToolBar*>();
  ASSERT_NE(bar, nullptr);
  ASSERT_EQ(bar->actions().size(), 3);
  EXPECT_TRUE(bar->actions()[1]->isSeparator());

  for (auto [w, h] : {std::pair{300, 200}, {500, 400}, {250, 150}}) {
    SCOPED_TRACE(h);
    ResizeWindow(window, kKeepValue, kKeepValue, w, h);
    QApplication::processEvents();
    BarRoom room = PlaceWindowBars(window);
    EXPECT_GT(MenuBarHeight(menu), 0);
    EXPECT_GT(ToolBarHeight(tools), 0);
    EXPECT_EQ(bar->y(), MenuBarHeight(menu)) << "the tool bar lies below the menu bar";
    EXPECT_EQ(room.top, MenuBarHeight(menu) + ToolBarHeight(tools));
    EXPECT_EQ(room.top + room.height + StatusBarHeight(status), h);
  }
}

TEST(TextCase, LettersOfAllScriptsAndDamagedText) {
  EXPECT_EQ(LowerCodePoint(U'Ä'), U'ä');
  EXPECT_EQ(LowerCodePoint(U'Σ'), U'σ');
  EXPECT_EQ(LowerCodePoint(U'7'), U'7');
  EXPECT_EQ(LowerCaseCodePoints("ÄB\xFFz"), std::u32string(U"äb\uFFFDz"));
  struct Case {
    const char *a, *b;
    int sign;
  } cases[] = {{"abc", "ABD", -1},
               {"Straße", "STRASSE", 1},
               {"Über", "über", 0},
               {"b", "A", 1},
               {"", "a", -1}};
  for (const auto& c : cases) {
    int result = CompareIgnoringCase(c.a, c.b);
    EXPECT_EQ((result > 0) - (result < 0), c.sign) << c.a << " " << c.b;
  }
}

}  // namespace
