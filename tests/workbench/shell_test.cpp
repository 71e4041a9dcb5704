// The main window as the analyst finds it after start-up, and the loop serving it.
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QTest>
#include <QWidget>

#include <set>
#include <string>

#include "platform/box_layout.h"
#include "platform/window_system.h"
#include "workbench/gadgets.h"
#include "workbench/main_loop.h"
#include "workbench/workbench_state.h"
#include "workbench_fixture.h"

namespace {

using namespace wbtest;
using namespace workbench;

class MainWindowTest : public WorkbenchTest {
 protected:
  void SetUp() override {
    WorkbenchTest::SetUp();
    StartQuietly();
  }
  // Takes queued events until a menu event comes; its id, or -1.
  int NextMenuEvent() {
    QApplication::processEvents();
    while (platform::WindowEvent() != platform::kEventNone) {
      if (platform::EventKind() == platform::kEventMenu) return platform::EventMenu();
    }
    return -1;
  }
  QWidget* Widget(int gadget) { return platform::GadgetWidget(gadget); }
};

TEST_F(MainWindowTest, EveryGadgetConstantIsRegistered) {
  EXPECT_EQ(platform::CountGadgetConstants(), 95u);
  for (int i = 0; i < kGadgetCount; ++i) {
    EXPECT_EQ(platform::GadgetConstant(kGadgetNames[i]), i) << kGadgetNames[i];
  }
  EXPECT_EQ(platform::GadgetConstant("#Button_Main_AnimationShow"), 28);
  EXPECT_EQ(platform::GadgetConstant("#Button_Bugreport_Cancel"), 94);
  // Every main-window gadget but the reserved timeline container exists in the window.
  for (int g = Text_Main_ProcmonFile; g <= Text_Main_MenuHelp; ++g) {
    if (g == Container_Main_Timeline) continue;
    ASSERT_TRUE(platform::IsGadget(g)) << kGadgetNames[g];
    EXPECT_EQ(platform::GadgetWindow(g), Window_Main) << kGadgetNames[g];
  }
  EXPECT_FALSE(platform::IsGadget(Container_Main_Timeline));
}

TEST_F(MainWindowTest, TheWindowStartsAsTheAnalystExpects) {
  EXPECT_EQ(platform::GetWindowTitle(Window_Main), "LumiVEX - " + SettingsFolder() + "default.lv");
  EXPECT_EQ(platform::GetGadgetText(Text_Main_Status), "OK");
  EXPECT_EQ(platform::GetGadgetText(Text_Main_FrameNumber), "-");
  EXPECT_EQ(platform::GetGadgetText(Text_Main_FrameTimestamp), "-");
  EXPECT_EQ(platform::GetGadgetText(Button_Main_Refresh), "Refresh");

  ASSERT_EQ(platform::CountGadgetItems(Combo_Main_AnimationFPS), 100);
  EXPECT_EQ(platform::GetGadgetItemText(Combo_Main_AnimationFPS, 0), "1 fps");
  EXPECT_EQ(platform::GetGadgetItemText(Combo_Main_AnimationFPS, 99), "100 fps");
  EXPECT_EQ(platform::GetGadgetState(Combo_Main_AnimationFPS), 9);
  EXPECT_EQ(platform::GetGadgetItemText(Combo_Main_AnimationFPS, 9), "10 fps");

  EXPECT_FALSE(platform::IsGadgetEnabled(Combo_Main_AnimationFPS));
  EXPECT_FALSE(platform::IsGadgetEnabled(Button_Main_AnimationPlay));
  EXPECT_FALSE(platform::IsGadgetEnabled(Button_Main_AnimationStop));
  EXPECT_FALSE(platform::IsGadgetHidden(Button_Main_AnimationFramesAll));
  EXPECT_TRUE(platform::IsGadgetHidden(Button_Main_AnimationFramesAllRle));
  EXPECT_TRUE(platform::IsGadgetHidden(Button_Main_AnimationFramesUnique));
  int twin = platform::FindGadgetByName(Window_Main, "#Button_Main_ForceAscii_1");
  ASSERT_GE(twin, 0);
  EXPECT_TRUE(platform::IsGadgetHidden(twin));

  // Both input rows end at the same place although the second has no visible picture.
  EXPECT_EQ(
      platform::GadgetX(Button_Main_ForceAscii) + platform::GadgetWidth(Button_Main_ForceAscii),
      platform::GadgetX(Button_Main_WindumpFile) + platform::GadgetWidth(Button_Main_WindumpFile));
  // The graph takes the spare room.
  EXPECT_GT(platform::GadgetHeight(Canvas_Main_Graph), 300);

  EXPECT_EQ(Widget(Button_Main_Refresh)->toolTip().toStdString(),
            "Refresh graph with the currently selected options.");
  EXPECT_EQ(Widget(Button_Main_ForceAscii)->toolTip().toStdString(),
            "Keep Unicode or force to Ascii.");
  EXPECT_EQ(Widget(Button_Main_AnimationFramesUnique)->toolTip(),
            Widget(Button_Main_AnimationFramesAll)->toolTip());
}

TEST_F(MainWindowTest, TheWindowCannotBeMadeSmallerThan800By600) {
  platform::ResizeWindow(Window_Main, platform::kKeepValue, platform::kKeepValue, 300, 200);
  QApplication::processEvents();
  EXPECT_GE(platform::WindowWidth(Window_Main), 800);
  EXPECT_GE(platform::WindowHeight(Window_Main), 600);
}

// A status or frame message longer than its field shows its start; the end is what is cut.
TEST_F(MainWindowTest, LongStatusAndMessagesShowTheirStart) {
  const std::string text = "Thread 6744-o15 of process \"" + std::string(200, 'x') +
                           ".exe\" (PID: 6744) writes data to file \"C:\\" + std::string(200, 'y') +
                           ".txt\"";
  platform::SetGadgetText(String_Main_FrameMessage, text);
  platform::SetGadgetText(Text_Main_Status, text);
  auto* message = qobject_cast<QLineEdit*>(Widget(String_Main_FrameMessage));
  ASSERT_NE(message, nullptr);
  message->grab();  // lays the text out as a paint does
  const QRect inside = message->contentsRect();
  EXPECT_EQ(message->cursorPositionAt(QPoint(inside.left() + 3, inside.center().y())), 0);

  // The status: where its text is drawn within the label, wrapped or not.
  auto* status = qobject_cast<QLabel*>(Widget(Text_Main_Status));
  ASSERT_NE(status, nullptr);
  const QRect box = status->contentsRect();
  const int flags = int(status->alignment()) | (status->wordWrap() ? Qt::TextWordWrap : 0);
  const QRect drawn = status->fontMetrics().boundingRect(box, flags, status->text());
  EXPECT_GE(drawn.top(), box.top()) << drawn.top() << " " << box.top() << " " << box.height();
  EXPECT_GE(drawn.left(), box.left());
}

// A menu's items with their submenus' items, without the indentation.
std::set<std::string> ItemsOf(int menu) {
  std::set<std::string> items;
  for (std::string item : platform::MenuItemTexts(menu)) {
    items.insert(item.substr(item.find_first_not_of(' ')));
  }
  return items;
}

TEST_F(MainWindowTest, TheMenusHoldTheirItems) {
  const struct {
    int menu;
    std::set<std::string> items;
  } kMenus[] = {
      {Menu_File,
       {"0:New ...\tCtrl+N", "1:Open ...\tCtrl+O", "2:Save\tCtrl+S", "3:Save as ...",
        "4:Export ...", "5:Exit"}},
      {Menu_Edit, {"6:Find ...\tCtrl+F", "7:Reset find\tEscape", "9:Options ..."}},
      {Menu_Filters,
       {"20:Servers ...", "21:Registry ...", "22:Files ...", "23:Servers ...", "24:Registry ...",
        "25:Files ..."}},
      {Menu_Help,
       {"36:Graph legend ...\tF1", "37:Quick help ...", "38:Check for update ...",
        "39:Bugreport ...", "40:Donate ...", "41:Credits ...", "42:About ..."}},
  };
  for (const auto& m : kMenus) {
    std::set<std::string> found = ItemsOf(m.menu);
    for (const std::string& item : m.items) EXPECT_TRUE(found.count(item)) << item;
  }
  std::set<std::string> view = ItemsOf(Menu_View);
  for (const char* item : {"10:Refresh\tF5", "11:All events", "12:All events (RLE)",
                           "13:Unique events", "14:View current frame\tReturn",
                           "19:Play/Stop animation\tSpace", ">Configuration", "8:Colors ..."}) {
    EXPECT_TRUE(view.count(item)) << item;
  }
  EXPECT_EQ(ItemsOf(Menu_Plugins),
            (std::set<std::string>{"26:Plugins-Manager", "-", "27:1: ", "28:2: ", "29:3: ",
                                   "30:4: ", "31:5: ", "32:6: ", "33:7: ", "34:8: ", "35:9: "}));
  EXPECT_TRUE(platform::GetMenuItemState(Menu_View, MenuItem_FramesAll));
  EXPECT_FALSE(platform::GetMenuItemState(Menu_View, MenuItem_FramesAllRle));
  // "Colors ..." is shown but does nothing.
  EXPECT_FALSE(platform::TriggerMenuItem(Menu_View, MenuItem_Colors));
}

TEST_F(MainWindowTest, ShortcutsPostMenuEventsWhereverTheFocusIs) {
  platform::SetActiveWindow(Window_Main);
  QApplication::processEvents();
  Widget(Button_Main_Refresh)->setFocus();
  platform::FlushEvents();
  const struct {
    Qt::Key key;
    Qt::KeyboardModifiers modifiers;
    int item;
  } kKeys[] = {
      {Qt::Key_N, Qt::ControlModifier, MenuItem_New},
      {Qt::Key_O, Qt::ControlModifier, MenuItem_Open},
      {Qt::Key_S, Qt::ControlModifier, MenuItem_Save},
      {Qt::Key_F, Qt::ControlModifier, MenuItem_Find},
      {Qt::Key_Escape, Qt::NoModifier, MenuItem_ResetFind},
      {Qt::Key_F5, Qt::NoModifier, MenuItem_Refresh},
      {Qt::Key_Return, Qt::NoModifier, MenuItem_ViewCurrentFrame},
      {Qt::Key_Right, Qt::NoModifier, MenuItem_NextFrame},
      {Qt::Key_Left, Qt::NoModifier, MenuItem_PreviousFrame},
      {Qt::Key_Home, Qt::NoModifier, MenuItem_FirstFrame},
      {Qt::Key_End, Qt::NoModifier, MenuItem_LastFrame},
      {Qt::Key_Space, Qt::NoModifier, MenuItem_PlayStop},
      {Qt::Key_F1, Qt::NoModifier, MenuItem_Legend},
  };
  for (const auto& k : kKeys) {
    QTest::keyClick(Widget(Button_Main_Refresh), k.key, k.modifiers);
    EXPECT_EQ(NextMenuEvent(), k.item) << QKeySequence(k.key).toString().toStdString();
  }
  // In the log-path field the editing keys edit the path.
  QWidget* field = Widget(String_Main_ProcmonFile);
  field->setFocus();
  QTest::keyClicks(field, "a b");
  QTest::keyClick(field, Qt::Key_Home);
  QTest::keyClicks(field, "x");
  QTest::keyClick(field, Qt::Key_End);
  QTest::keyClick(field, Qt::Key_Left);
  QTest::keyClicks(field, "y");
  QTest::keyClick(field, Qt::Key_Return);
  QTest::keyClick(field, Qt::Key_Escape);
  EXPECT_EQ(platform::GetGadgetText(String_Main_ProcmonFile), "xa yb");
  EXPECT_EQ(NextMenuEvent(), -1);
  // F5 still refreshes from the field.
  QTest::keyClick(field, Qt::Key_F5);
  EXPECT_EQ(NextMenuEvent(), MenuItem_Refresh);
}

TEST_F(MainWindowTest, TheLoopTurnsWithoutEvents) {
  EXPECT_EQ(MainLoopTurn(), platform::kEventNone);
}

TEST_F(MainWindowTest, ExitEndsAtOnceAndTheCloseButtonEndsWhenNothingIsPending) {
  platform::PostEvent(platform::kEventMenu, Window_Main, -1, 0, MenuItem_Exit);
  EXPECT_THROW(MainLoopTurn(), ProgramEnded);
  EXPECT_EQ(SettingsKeys()["lastsession"], State().sessionFile);
}

TEST_F(MainWindowTest, MenuItemsPostClicksOnTheTimelineButtons) {
  platform::PostEvent(platform::kEventMenu, Window_Main, -1, 0, MenuItem_NextFrame);
  MainLoopTurn();
  ASSERT_EQ(platform::WindowEvent(), platform::kEventGadget);
  EXPECT_EQ(platform::EventGadget(), Button_Main_AnimationNext);
  // Play/stop only in frames mode.
  platform::PostEvent(platform::kEventMenu, Window_Main, -1, 0, MenuItem_PlayStop);
  MainLoopTurn();
  EXPECT_EQ(platform::WindowEvent(), platform::kEventNone);
}

}  // namespace
