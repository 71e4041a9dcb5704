// What a window hears from its frame and its keys: restore events when it leaves the
// minimised or the maximised state, and shortcuts wherever the focus is, except the keys a
// focused text field edits with.
#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>

#include "platform/window_system.h"

using namespace platform;

namespace {

class LayerWindowInput : public ::testing::Test {
 protected:
  void TearDown() override { ResetLayer(); }
};

struct Heard {
  int menus = 0;
  int lastMenu = -1;
  int clicks = 0;
  int restores = 0;
};

Heard Drain() {
  Heard heard;
  QApplication::processEvents();
  while (int type = WindowEvent()) {
    if (type == kEventMenu) {
      ++heard.menus;
      heard.lastMenu = EventMenu();
    }
    if (type == kEventGadget && EventSubtype() == kSubLeftClick) ++heard.clicks;
    if (type == kEventRestoreWindow) ++heard.restores;
  }
  return heard;
}

TEST_F(LayerWindowInput, TheRestoreEventComesWhenTheWindowLeavesMinimisedOrMaximised) {
  int window = OpenWindow(
      kNewNumber, 0, 0, 200, 100, "states",
      kWindowCloseBox | kWindowTitleBar | kWindowSizable | kWindowMaximizeBox | kWindowMinimizeBox);
  Drain();
  struct Step {
    WindowState to;
    int restores;
  } steps[] = {
      {kWindowMaximized, 0}, {kWindowNormal, 1},    {kWindowMinimized, 0}, {kWindowNormal, 1},
      {kWindowMaximized, 0}, {kWindowMinimized, 0}, {kWindowMaximized, 1},
  };
  for (size_t i = 0; i < std::size(steps); ++i) {
    SetWindowState(window, steps[i].to);
    EXPECT_EQ(Drain().restores, steps[i].restores) << "step " << i;
  }
}

TEST_F(LayerWindowInput, ShortcutsReachTheWindowWhereverTheFocusIsButLeaveEditingKeysToFields) {
  int window = OpenWindow(kNewNumber, 0, 0, 400, 300, "keys");
  int button = ButtonGadget(kNewNumber, 5, 5, 80, 24, "Play");
  int field = StringGadget(kNewNumber, 5, 35, 200, 24, "ab");
  int readOnly = StringGadget(kNewNumber, 5, 65, 200, 24, "fixed", kStringReadOnly);
  int editor = EditorGadget(kNewNumber, 5, 95, 200, 80);
  int list = ListIconGadget(kNewNumber, 210, 5, 180, 100, "A", 100);
  int canvas = CanvasGadget(kNewNumber, 210, 110, 180, 100, kCanvasKeyboard);
  const struct {
    const char* key;
    int menu;
  } shortcuts[] = {{"Space", 19}, {"Right", 15},  {"Left", 16}, {"Home", 17},
                   {"End", 18},   {"Return", 14}, {"Ctrl+F", 6}};
  for (const auto& s : shortcuts) AddKeyboardShortcut(window, s.key, s.menu);
  SetActiveWindow(window);
  QApplication::processEvents();

  struct Case {
    const char* what;
    int gadget;
    Qt::Key key;
    Qt::KeyboardModifiers modifiers;
    int menu;  // -1: the key stays with the gadget
  } cases[] = {
      {"button Space", button, Qt::Key_Space, Qt::NoModifier, 19},
      {"button Right", button, Qt::Key_Right, Qt::NoModifier, 15},
      {"button Return", button, Qt::Key_Return, Qt::NoModifier, 14},
      {"list Home", list, Qt::Key_Home, Qt::NoModifier, 17},
      {"canvas Space", canvas, Qt::Key_Space, Qt::NoModifier, 19},
      {"field Space", field, Qt::Key_Space, Qt::NoModifier, -1},
      {"field Left", field, Qt::Key_Left, Qt::NoModifier, -1},
      {"field Home", field, Qt::Key_Home, Qt::NoModifier, -1},
      {"field Right", field, Qt::Key_Right, Qt::NoModifier, -1},
      {"field x", field, Qt::Key_X, Qt::NoModifier, -1},
      {"field Shift+End", field, Qt::Key_End, Qt::ShiftModifier, -1},
      {"field Return", field, Qt::Key_Return, Qt::NoModifier, 14},
      {"field Ctrl+F", field, Qt::Key_F, Qt::ControlModifier, 6},
      {"read-only field Space", readOnly, Qt::Key_Space, Qt::NoModifier, 19},
      {"read-only field Home", readOnly, Qt::Key_Home, Qt::NoModifier, 17},
      {"editor Return", editor, Qt::Key_Return, Qt::NoModifier, -1},
      {"editor End", editor, Qt::Key_End, Qt::NoModifier, -1},
      {"editor Ctrl+F", editor, Qt::Key_F, Qt::ControlModifier, 6},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    QWidget* widget = GadgetWidget(c.gadget);
    widget->setFocus();
    ASSERT_EQ(GetActiveGadget(), c.gadget);
    Drain();
    QTest::keyClick(widget, c.key, c.modifiers);
    Heard heard = Drain();
    EXPECT_EQ(heard.menus, c.menu < 0 ? 0 : 1);
    if (c.menu >= 0) {
      EXPECT_EQ(heard.lastMenu, c.menu);
    }
    EXPECT_EQ(heard.clicks, 0);  // Space and Return do not press the focused button
  }
  // The fields really edited with the keys they kept: Space went in at the end, Home and
  // Right put the x after the first letter, Return made a new line.
  EXPECT_EQ(GetGadgetText(field), "axb ");
  EXPECT_EQ(GetGadgetText(editor), "\n");
}

}  // namespace
