// The event queue's promises: timers survive nested loops, only the user's changes post
// events, disabled windows hear nothing, and shortcuts leave editing keys alone.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QTest>
#include <QTreeWidget>

#include "platform/window_system.h"

using namespace platform;

namespace {

class LayerEvents : public ::testing::Test {
 protected:
  void TearDown() override { ResetLayer(); }
};

// Drains what Qt and the queue hold so far and returns the events as "type/gadget/subtype".
std::vector<std::string> Drain() {
  std::vector<std::string> seen;
  QApplication::processEvents();
  while (int type = WindowEvent())
    seen.push_back(std::to_string(type) + "/" + std::to_string(EventGadget()) + "/" +
                   std::to_string(EventSubtype()));
  return seen;
}

TEST_F(LayerEvents, TimerEventDroppedByANestedLoopComesAgain) {
  int main = OpenWindow(kNewNumber, 0, 0, 200, 100, "main");
  int requester = OpenWindow(kNewNumber, 50, 50, 100, 50, "requester");
  AddWindowTimer(main, 4, 30);
  // A nested loop serving only the requester takes the main window's events and drops them.
  int dropped = 0;
  int64_t until = ElapsedMilliseconds() + 200;
  while (ElapsedMilliseconds() < until) {
    if (WaitWindowEvent(20) == kEventTimer && EventWindow() == main) ++dropped;
  }
  ASSERT_GE(dropped, 2);
  // Back in the main loop, the timer still fires.
  bool fired = false;
  for (int i = 0; i < 20 && !fired; ++i)
    fired = WaitWindowEvent(50) == kEventTimer && EventWindow() == main && EventTimer() == 4;
  EXPECT_TRUE(fired);
  (void)requester;
}

TEST_F(LayerEvents, ATimerKeepsAtMostOneEventQueuedAndStopsWhenRemoved) {
  int window = OpenWindow(kNewNumber, 0, 0, 100, 100, "t");
  Drain();
  AddWindowTimer(window, 1, 5);
  // A busy machine may starve the first period; then many more go by unserved.
  ASSERT_TRUE(QTest::qWaitFor([] { return QueuedEventCount() > 0; }, 5000));
  QTest::qWait(80);
  EXPECT_EQ(QueuedEventCount(), 1u);
  RemoveWindowTimer(window, 1);
  EXPECT_EQ(QueuedEventCount(), 0u);
  QTest::qWait(30);
  EXPECT_EQ(WindowEvent(), kEventNone);
}

// On the injected clock a timer fires exactly when its period has passed, however long the
// real wait; periods jumped over give one event, and a removed timer gives none.
TEST_F(LayerEvents, TimersOnTheInjectedClockFollowIt) {
  int64_t now = 1000;
  SetClock([&now] { return now; });
  SetTimersOnClock(true);
  int window = OpenWindow(kNewNumber, 0, 0, 100, 100, "clock");
  Drain();
  AddWindowTimer(window, 4, 250);
  auto fired = [] {
    int timers = 0;
    for (const std::string& e : Drain()) timers += e == std::to_string(kEventTimer) + "/-1/0";
    return timers;
  };
  QTest::qWait(300);  // real time does not count
  now += 249;
  EXPECT_EQ(fired(), 0);
  now += 1;
  EXPECT_EQ(fired(), 1);
  now += 1000;  // four periods at once
  EXPECT_EQ(QueueDueTimers(), 1);
  EXPECT_EQ(QueueDueTimers(), 0);
  EXPECT_EQ(fired(), 1);
  // Arming again counts from now.
  now += 100;
  AddWindowTimer(window, 4, 250);
  now += 200;
  EXPECT_EQ(fired(), 0);
  now += 50;
  EXPECT_EQ(fired(), 1);
  RemoveWindowTimer(window, 4);
  now += 1000;
  EXPECT_EQ(fired(), 0);
  SetClock(nullptr);
}

TEST_F(LayerEvents, ProgrammaticChangesPostNothingButTheUsersDo) {
  int window = OpenWindow(kNewNumber, 0, 0, 400, 300, "changes");
  int edit = StringGadget(kNewNumber, 5, 5, 100, 24, "");
  int check = CheckBoxGadget(kNewNumber, 5, 35, 100, 24, "c");
  int spin = SpinGadget(kNewNumber, 5, 65, 100, 24, 0, 10);
  int track = TrackBarGadget(kNewNumber, 5, 95, 100, 24, 0, 10);
  int combo = ComboBoxGadget(kNewNumber, 5, 125, 100, 24);
  int list = ListIconGadget(kNewNumber, 120, 5, 250, 200, "A", 100, kListIconCheckBoxes);
  int editor = EditorGadget(kNewNumber, 5, 155, 100, 60);
  Drain();

  SetGadgetText(edit, "typed by the program");
  SetGadgetState(check, 1);
  SetGadgetState(spin, 7);
  SetGadgetState(track, 3);
  AddGadgetItem(combo, -1, "one");
  AddGadgetItem(combo, -1, "two");
  SetGadgetState(combo, 1);
  AddGadgetItem(list, -1, "row");
  SetGadgetItemState(list, 0, kItemChecked | kItemSelected);
  SetGadgetItemColor(list, 0, kBackColor, Rgb(255, 0, 0));
  SetGadgetText(editor, "text");
  ClearGadgetItems(list);
  EXPECT_TRUE(Drain().empty());

  QTest::keyClicks(GadgetWidget(edit), "x");
  auto seen = Drain();
  std::string change =
      std::to_string(kEventGadget) + "/" + std::to_string(edit) + "/" + std::to_string(kSubChange);
  EXPECT_NE(std::find(seen.begin(), seen.end(), change), seen.end());
  (void)window;
}

TEST_F(LayerEvents, EventsOfADisabledWindowAreDropped) {
  int window = OpenWindow(kNewNumber, 0, 0, 200, 100, "disabled");
  int button = ButtonGadget(kNewNumber, 5, 5, 80, 24, "b");
  Drain();
  DisableWindow(window, true);
  WindowWidget(window)->close();  // the close box
  QTest::mouseClick(GadgetWidget(button), Qt::LeftButton);
  EXPECT_TRUE(Drain().empty());
  EXPECT_TRUE(IsWindow(window));

  // What the program posts and its timers still arrive.
  PostEvent(kEventGadget, window, button);
  EXPECT_EQ(WindowEvent(), kEventGadget);

  DisableWindow(window, false);
  WindowWidget(window)->close();
  EXPECT_EQ(WindowEvent(), kEventCloseWindow);
  EXPECT_EQ(EventWindow(), window);
}

// A requester disables its parent and enables it again: each gadget comes back as its own
// state says, also one changed meanwhile, and the focus returns to the gadget that had it.
TEST_F(LayerEvents, AWindowEnabledAgainRestoresItsGadgetsAndTheirFocus) {
  int window = OpenWindow(kNewNumber, 0, 0, 300, 200, "parent");
  int field = StringGadget(kNewNumber, 5, 5, 200, 24, "path");
  const struct {
    bool before, during, after;
  } kCases[] = {
      {true, true, true}, {false, false, false}, {true, false, false}, {false, true, true}};
  std::vector<int> buttons;
  for (const auto& c : kCases) {
    buttons.push_back(ButtonGadget(kNewNumber, 5, 40 + 30 * int(buttons.size()), 80, 24, "b"));
    DisableGadget(buttons.back(), !c.before);
  }
  SetActiveWindow(window);
  ASSERT_TRUE(QTest::qWaitForWindowActive(WindowWidget(window)));
  SetActiveGadget(buttons[0]);
  ASSERT_EQ(GetActiveGadget(), buttons[0]);

  DisableWindow(window, true);
  int requester = OpenWindow(kNewNumber, 50, 50, 100, 50, "requester", 0, window);
  SetActiveWindow(requester);
  ASSERT_TRUE(QTest::qWaitForWindowActive(WindowWidget(requester)));
  for (size_t i = 0; i < buttons.size(); ++i) {
    EXPECT_FALSE(IsGadgetEnabled(buttons[i])) << i;
    DisableGadget(buttons[i], !kCases[i].during);
    EXPECT_FALSE(IsGadgetEnabled(buttons[i])) << i;
  }
  DisableWindow(window, false);
  SetActiveWindow(window);
  CloseWindow(requester);
  ASSERT_TRUE(QTest::qWaitForWindowActive(WindowWidget(window)));
  for (size_t i = 0; i < buttons.size(); ++i) {
    EXPECT_EQ(IsGadgetEnabled(buttons[i]), kCases[i].after) << i;
  }
  EXPECT_TRUE(IsGadgetEnabled(field));
  EXPECT_EQ(GetActiveGadget(), buttons[0]);
  // Enabling a window that is not disabled changes nothing.
  DisableWindow(window, false);
  EXPECT_FALSE(IsGadgetEnabled(buttons[1]));
}

TEST_F(LayerEvents, ShortcutsPostMenuEventsWhileALineEditKeepsItsEditingKeys) {
  int window = OpenWindow(kNewNumber, 0, 0, 300, 200, "keys");
  int edit = StringGadget(kNewNumber, 5, 5, 200, 24, "abc");
  int list = ListIconGadget(kNewNumber, 5, 40, 200, 100, "A", 100);
  AddKeyboardShortcut(window, "Delete", 7);
  AddKeyboardShortcut(window, "Ctrl+F", 3);
  SetActiveWindow(window);
  QApplication::processEvents();

  auto* line = static_cast<QLineEdit*>(GadgetWidget(edit));
  line->setFocus();
  line->setCursorPosition(0);
  Drain();
  QTest::keyClick(line, Qt::Key_Delete);
  EXPECT_EQ(line->text(), "bc");
  for (const auto& e : Drain()) EXPECT_NE(e.substr(0, 2), std::to_string(kEventMenu) + "/");

  // Ctrl+F is no editing key: it reaches the window from the field too.
  QTest::keyClick(line, Qt::Key_F, Qt::ControlModifier);
  QApplication::processEvents();
  int type = WindowEvent();
  while (type == kEventGadget) type = WindowEvent();
  EXPECT_EQ(type, kEventMenu);
  EXPECT_EQ(EventMenu(), 3);

  GadgetWidget(list)->setFocus();
  Drain();
  QTest::keyClick(GadgetWidget(list), Qt::Key_Delete);
  QApplication::processEvents();
  type = WindowEvent();
  while (type == kEventGadget) type = WindowEvent();
  EXPECT_EQ(type, kEventMenu);
  EXPECT_EQ(EventMenu(), 7);
  EXPECT_EQ(EventWindow(), window);
}

TEST_F(LayerEvents, TheLoopHookRunsWhileAWaitHasNothingToReturn) {
  int window = OpenWindow(kNewNumber, 0, 0, 100, 100, "hook");
  Drain();
  int calls = 0;
  SetLoopHook([&] {
    if (++calls == 3) PostEvent(kEventMenu, window, -1, 0, 42);
  });
  EXPECT_EQ(WaitWindowEvent(2000), kEventMenu);
  EXPECT_EQ(EventMenu(), 42);
  EXPECT_EQ(calls, 3);
  SetLoopHook(nullptr);
  EXPECT_EQ(WaitWindowEvent(20), kEventNone);
}

}  // namespace
