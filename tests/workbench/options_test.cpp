// The options dialog and the render-options popup: what Ok stores, what Cancel keeps, the
// master boxes, and what the boxes take out of the next graph.
#include <QApplication>
#include <QCursor>
#include <QTest>
#include <QWidget>
#include <functional>
#include <optional>
#include <set>
#include <string>

#include "pick_list_driver.h"
#include "real_file_dialog.h"

#include "platform/window_system.h"
#include "tolvek/temp_files.h"
#include "workbench/gadgets.h"
#include "workbench/main_loop.h"
#include "workbench/stages.h"
#include "workbench/workbench_state.h"
#include "workbench_fixture.h"

namespace {

using namespace wbtest;
using namespace workbench;

class OptionsTest : public WorkbenchTest {
 protected:
  void SetUp() override {
    WorkbenchTest::SetUp();
    StartQuietly();
  }
  // Serves what is queued, the posted event included (showing a window queues its own).
  static void Serve() {
    do {
      MainLoopTurn();
    } while (platform::QueuedEventCount() > 0);
  }
  static void Click(int window, int gadget) {
    platform::PostEvent(platform::kEventGadget, window, gadget);
    Serve();
  }
  static void Toggle(int window, int gadget) {
    platform::SetGadgetState(gadget, !platform::GetGadgetState(gadget));
    Click(window, gadget);
  }
  static void OpenDialog() {
    platform::PostEvent(platform::kEventMenu, Window_Main, -1, 0, MenuItem_Options);
    Serve();
    ASSERT_TRUE(platform::IsWindow(Window_Options));
  }
  // The window system activates the window clicked, and the active one loses the focus.
  // Without a window manager an X server may keep the focus where it is: then the loss is
  // reported as the layer reports it.
  static void ActivateAsTheWindowSystemWould(int window, int active) {
    platform::WindowWidget(window)->activateWindow();
    QWidget* was = platform::WindowWidget(active);
    // Either way is right here: the check below tells which one happened.
    (void)QTest::qWaitFor([was] { return QApplication::activeWindow() != was; }, 1000);
    Serve();
    if (QApplication::activeWindow() != was) return;
    platform::PostEvent(platform::kEventDeactivateWindow, active, -1);
  }
  std::string SettingsText() const { return ReadWholeFile(SettingsFolder() + ".lumivex"); }
};

TEST_F(OptionsTest, TheDialogShowsTheOptionsAndDisablesTheMainWindow) {
  State().options.hovereffects = 0;
  State().options.smartHighlight = 1;
  State().options.edgeLabelMode = "Short";
  State().options.smartzoomTargetFontsize = 17;
  OpenDialog();
  EXPECT_EQ(platform::GetWindowTitle(Window_Options), "Options");
  EXPECT_FALSE(platform::IsWindowEnabled(Window_Main));
  EXPECT_EQ(platform::GetGadgetText(String_Options_DotPath), "/usr/bin/dot");
  EXPECT_EQ(platform::GetGadgetText(String_Options_WindumpTcpdumpPath), "/usr/bin/tcpdump");
  EXPECT_EQ(platform::GetGadgetState(Checkbox_Options_Hovereffects), 0);
  EXPECT_EQ(platform::GetGadgetState(Checkbox_Options_SmartHighlight), 1);
  EXPECT_EQ(platform::GetGadgetState(Checkbox_Options_ShowHintsForSeconds), 1);
  EXPECT_EQ(platform::CountGadgetItems(Combo_Options_EdgeLabelMode), 5);
  EXPECT_EQ(platform::GetGadgetText(Combo_Options_EdgeLabelMode), "Short");
  EXPECT_EQ(platform::GetGadgetState(Spin_Options_SmartzoomTargetFontsize), 17);
  platform::SetGadgetState(Spin_Options_SmartzoomTargetFontsize, 150);
  EXPECT_EQ(platform::GetGadgetState(Spin_Options_SmartzoomTargetFontsize), 99);
  platform::SetGadgetState(Spin_Options_SmartzoomTargetFontsize, 0);
  EXPECT_EQ(platform::GetGadgetState(Spin_Options_SmartzoomTargetFontsize), 1);
}

TEST_F(OptionsTest, OkStoresEveryKeyInItsOrderAndTheOptionsAtOnce) {
  OpenDialog();
  platform::SetGadgetText(String_Options_DotPath, "/opt/graph viz/dot");
  platform::ScriptFileAnswer("/opt/täp/tcpdump");
  Click(Window_Options, Button_Options_WindumpTcpdumpPath);
  EXPECT_EQ(platform::GetGadgetText(String_Options_WindumpTcpdumpPath), "/opt/täp/tcpdump");
  for (int box = Checkbox_Options_HideUnvisitedGraphparts; box <= Checkbox_Options_Hovereffects;
       ++box) {
    platform::SetGadgetState(box, !platform::GetGadgetState(box));
  }
  platform::SetGadgetState(Combo_Options_EdgeLabelMode, 3);
  platform::SetGadgetState(Spin_Options_SmartzoomTargetFontsize, 30);
  // Keys the file lacks are added in the dialog's order; the others keep their places.
  WriteWholeFile(SettingsFolder() + ".lumivex", "lastrunbuild = 55\n");
  Click(Window_Options, Button_Options_Ok);

  EXPECT_EQ(SettingsText(),
            "lastrunbuild = 55\n"
            "windumpexecutable = /opt/täp/tcpdump\n"
            "dotexecutable = /opt/graph viz/dot\n"
            "hide_unvisited_graphparts = 1\n"
            "back_to_search_after_details = 1\n"
            "smart_highlight = 1\n"
            "auto_update_check = 1\n"
            "update_check_betas = 1\n"
            "show_original_timestamps = 1\n"
            "edge_label_mode = Long\n"
            "horizontally_isolated_edgelabels = 1\n"
            "hovereffects = 0\n"
            "smartzoom_target_fontsize = 30\n"
            "show_hints_for_seconds = 0\n");
  const Options& o = State().options;
  EXPECT_EQ(o.dotExecutable, "/opt/graph viz/dot");
  EXPECT_EQ(o.windumpExecutable, "/opt/täp/tcpdump");
  EXPECT_EQ(o.hideUnvisitedGraphparts, 1);
  EXPECT_EQ(o.autoUpdateCheck, 1);
  EXPECT_EQ(o.hovereffects, 0);
  EXPECT_EQ(o.showHintsForSeconds, 0);
  EXPECT_EQ(o.edgeLabelMode, "Long");
  EXPECT_EQ(o.smartzoomTargetFontsize, 30);
  EXPECT_FALSE(platform::IsWindow(Window_Options));
  EXPECT_TRUE(platform::IsWindowEnabled(Window_Main));
}

TEST_F(OptionsTest, CancelAndTheCloseBoxStoreNothing) {
  const std::string before = SettingsText();
  const Options options = State().options;
  for (bool closeBox : {false, true}) {
    OpenDialog();
    platform::SetGadgetText(String_Options_DotPath, "");
    platform::SetGadgetState(Checkbox_Options_Hovereffects, 0);
    platform::SetGadgetState(Combo_Options_EdgeLabelMode, 4);
    if (closeBox) {
      platform::PostEvent(platform::kEventCloseWindow, Window_Options, -1);
      Serve();
    } else {
      Click(Window_Options, Button_Options_Cancel);
    }
    EXPECT_FALSE(platform::IsWindow(Window_Options));
    EXPECT_TRUE(platform::IsWindowEnabled(Window_Main));
    EXPECT_EQ(SettingsText(), before);
    EXPECT_EQ(State().options.dotExecutable, options.dotExecutable);
    EXPECT_EQ(State().options.hovereffects, options.hovereffects);
    EXPECT_EQ(State().options.edgeLabelMode, options.edgeLabelMode);
  }
  // A path the analyst emptied is stored as it stands.
  OpenDialog();
  platform::SetGadgetText(String_Options_DotPath, "");
  Click(Window_Options, Button_Options_Ok);
  EXPECT_EQ(SettingsKeys()["dotexecutable"], "");
  EXPECT_EQ(State().options.dotExecutable, "");
}

// "" is the answer of a cancelled file dialog, never of a chosen file: the field keeps its
// path, and Ok stores that path.
TEST_F(OptionsTest, EscapeInAFilePickerLeavesItsFieldAsItWas) {
  platform::SetUnscriptedDialogHandler(nullptr);
  const struct {
    int window, button, field;
    const char* title;
  } kPickers[] = {
      {Window_Options, Button_Options_DotPath, String_Options_DotPath, "Select Dot executable ..."},
      {Window_Options, Button_Options_WindumpTcpdumpPath, String_Options_WindumpTcpdumpPath,
       "Select Windump executable ..."},
      {Window_Main, Button_Main_ProcmonFile, String_Main_ProcmonFile,
       "Select a procmon.csv file to work with ..."},
      {Window_Main, Button_Main_WindumpFile, String_Main_WindumpFile,
       "Select a windump.txt file to work with ..."},
  };
  for (const auto& p : kPickers) {
    SCOPED_TRACE(p.title);
    if (p.window == Window_Options) {
      OpenDialog();
    } else {
      platform::SetGadgetText(p.field, m_root + "/case/log of day 2");
    }
    const std::string before = platform::GetGadgetText(p.field);
    ASSERT_FALSE(before.empty());
    RealFileDialog escaped(std::nullopt);
    Click(p.window, p.button);
    EXPECT_TRUE(escaped.Answered());
    EXPECT_EQ(escaped.Title(), p.title);
    EXPECT_EQ(platform::GetGadgetText(p.field), before);
    if (p.window == Window_Options) Click(Window_Options, Button_Options_Ok);
  }
  EXPECT_EQ(SettingsKeys()["dotexecutable"], "/usr/bin/dot");
  EXPECT_EQ(SettingsKeys()["windumpexecutable"], "/usr/bin/tcpdump");
  EXPECT_EQ(State().options.dotExecutable, "/usr/bin/dot");
}

TEST_F(OptionsTest, AMasterGreysItsSubOptionsOutAndTheyKeepTheirTicks) {
  struct Group {
    int master, first, last;
  } groups[] = {
      {Checkbox_RenderOptions_Registry, Checkbox_RenderOptions_RegistryNonAutostart,
       Checkbox_RenderOptions_RegistrySet},
      {Checkbox_RenderOptions_Files, Checkbox_RenderOptions_FilesBulkCategories,
       Checkbox_RenderOptions_FilesLoads},
  };
  for (const Group& g : groups) {
    std::vector<int64_t> ticks;
    for (int box = g.first; box <= g.last; ++box) ticks.push_back(platform::GetGadgetState(box));
    Toggle(Window_RenderOptions, g.master);
    for (int box = g.first; box <= g.last; ++box) {
      EXPECT_FALSE(platform::IsGadgetEnabled(box)) << box;
      EXPECT_EQ(platform::GetGadgetState(box), ticks[box - g.first]) << box;
    }
    // The other group stays editable.
    int other = g.master == Checkbox_RenderOptions_Registry ? Checkbox_RenderOptions_FilesRead
                                                            : Checkbox_RenderOptions_RegistryGet;
    EXPECT_TRUE(platform::IsGadgetEnabled(other));
    Toggle(Window_RenderOptions, g.master);
    for (int box = g.first; box <= g.last; ++box) EXPECT_TRUE(platform::IsGadgetEnabled(box));
  }
  // A loaded session greys them out as its masters say.
  WriteWholeFile(m_root + "/s.lv", "renderoption_files = 0\n");
  LoadSession(m_root + "/s.lv", false);
  EXPECT_FALSE(platform::IsGadgetEnabled(Checkbox_RenderOptions_FilesLoads));
  EXPECT_TRUE(platform::IsGadgetEnabled(Checkbox_RenderOptions_RegistrySet));
}

// Whatever dialog the analyst closes, the timeline's buttons keep their normal-mode states and
// the keys go back to the gadget that had them, not to the first field of the window.
TEST_F(OptionsTest, AClosedDialogLeavesTheGadgetsAndTheFocusAsTheyWere) {
  platform::SetActiveWindow(Window_Main);
  ASSERT_TRUE(QTest::qWaitForWindowActive(platform::WindowWidget(Window_Main)));
  const struct {
    const char* dialog;
    std::function<void()> openAndClose;
  } kDialogs[] = {
      {"options, Cancel",
       [] {
         OpenDialog();
         Click(Window_Options, Button_Options_Cancel);
       }},
      {"options, Ok",
       [] {
         OpenDialog();
         Click(Window_Options, Button_Options_Ok);
       }},
      {"options, close box",
       [] {
         OpenDialog();
         platform::PostEvent(platform::kEventCloseWindow, Window_Options, -1);
         Serve();
       }},
      {"filter manager",
       [] {
         guitest::Script script({[] { return PickListOpen("Filter Manager"); },
                                 guitest::Do([] { ClosePickList("Filter Manager"); })},
                                "Filter Manager");
         platform::PostEvent(platform::kEventMenu, Window_Main, -1, 0, MenuItem_SessionFiles);
         Serve();
         EXPECT_TRUE(script.Finished());
       }},
  };
  for (int focused : {Button_Main_Refresh, Canvas_Main_Graph}) {
    for (const auto& d : kDialogs) {
      SCOPED_TRACE(std::string(d.dialog) + " with the focus on " + kGadgetNames[focused]);
      platform::SetActiveGadget(focused);
      ASSERT_EQ(platform::GetActiveGadget(), focused);
      d.openAndClose();
      ASSERT_FALSE(platform::IsWindow(Window_Options));
      ASSERT_TRUE(QTest::qWaitForWindowActive(platform::WindowWidget(Window_Main)));
      EXPECT_FALSE(platform::IsGadgetEnabled(Button_Main_AnimationPlay));
      EXPECT_FALSE(platform::IsGadgetEnabled(Button_Main_AnimationStop));
      EXPECT_FALSE(platform::IsGadgetEnabled(Combo_Main_AnimationFPS));
      EXPECT_TRUE(platform::IsGadgetEnabled(Button_Main_AnimationShow));
      EXPECT_TRUE(platform::IsGadgetEnabled(String_Main_ProcmonFile));
      EXPECT_EQ(platform::GetActiveGadget(), focused);
    }
  }
}

TEST_F(OptionsTest, ThePopupDropsFromItsButtonAndHidesWhenItLosesTheFocus) {
  EXPECT_TRUE(platform::IsWindow(Window_RenderOptions));
  EXPECT_EQ(platform::WindowWidth(Window_RenderOptions), 335);
  EXPECT_EQ(platform::WindowHeight(Window_RenderOptions), 350);
  EXPECT_EQ(platform::GetGadgetState(Checkbox_RenderOptions_FilesReadOnly), 0);
  QWidget* popup = platform::WindowWidget(Window_RenderOptions);
  QWidget* button = platform::GadgetWidget(Button_Main_RenderingOptions);
  platform::SetActiveWindow(Window_Main);
  ASSERT_TRUE(QTest::qWaitForWindowActive(platform::WindowWidget(Window_Main)));
  // A click on the main window where the window system would activate it: elsewhere, or on
  // the popup's own button.
  const struct {
    const char* where;
    QWidget* widget;
  } kClicks[] = {{"elsewhere", platform::GadgetWidget(Canvas_Main_Graph)},
                 {"on its button", button}};
  for (const auto& click : kClicks) {
    SCOPED_TRACE(click.where);
    QTest::mouseClick(button, Qt::LeftButton);
    Serve();
    ASSERT_TRUE(popup->isVisible());
    EXPECT_EQ(platform::GetGadgetState(Button_Main_RenderingOptions), 1);
    // It takes the focus when it is shown, so losing it can hide it.
    ASSERT_TRUE(QTest::qWaitForWindowActive(popup));
    const QPoint at = click.widget->rect().center();
    QCursor::setPos(click.widget->mapToGlobal(at));
    ActivateAsTheWindowSystemWould(Window_Main, Window_RenderOptions);
    Serve();
    QTest::mouseClick(click.widget, Qt::LeftButton, {}, at);
    Serve();
    EXPECT_FALSE(popup->isVisible());
    EXPECT_EQ(platform::GetGadgetState(Button_Main_RenderingOptions), 0);
  }
}

// The boxes act at the next Refresh, through the real converter and dot.
class RenderRefreshTest : public OptionsTest {
 protected:
  static std::set<std::string> Prefixes() { return NodePrefixes(); }
  std::string GraphDot() {
    return ReadWholeFile(tolvek::GetTempFilePath(State().files.graphFileDot));
  }
};

TEST_F(RenderRefreshTest, AnUntickedKindLeavesTheNextGraph) {
  platform::SetGadgetText(String_Main_ProcmonFile, LUMIVEX_SAMPLE_LOG);
  platform::ScriptMessageAnswer(platform::kResultOk);
  GenerateGraph();
  ASSERT_TRUE(Prefixes().count("FILE:"));
  ASSERT_TRUE(Prefixes().count("REGISTRYKEY:"));
  ASSERT_NE(GraphDot().find("label = \"loads\""), std::string::npos);

  Toggle(Window_RenderOptions, Checkbox_RenderOptions_FilesLoads);
  GenerateGraph();
  EXPECT_EQ(GraphDot().find("label = \"loads\""), std::string::npos);
  EXPECT_TRUE(Prefixes().count("FILE:"));

  Toggle(Window_RenderOptions, Checkbox_RenderOptions_Files);
  Toggle(Window_RenderOptions, Checkbox_RenderOptions_Registry);
  GenerateGraph();
  EXPECT_FALSE(Prefixes().count("FILE:"));
  EXPECT_FALSE(Prefixes().count("REGISTRYKEY:"));
  EXPECT_TRUE(Prefixes().count("PROCESS:"));
  EXPECT_EQ(GraphDot().find("\"FILE:"), std::string::npos);
}

}  // namespace
