// Plugins written for the tests, run by the real workbench on the bundled sample: the events
// of a scripted session, an overriding handler, the environment a plugin sees, a main-menu
// program's XML list and a context-menu script's text.
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QApplication>
#include <QMouseEvent>
#include <QTest>
#include <chrono>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "../gui/gui_script.h"
#include "gui/wait_requester.h"
#include "pick_list_driver.h"
#include "platform/window_system.h"
#include "process_state.h"
#include "tolvek/temp_files.h"
#include "workbench/gadgets.h"
#include "workbench/main_loop.h"
#include "workbench/plugin_host.h"
#include "workbench/stages.h"
#include "workbench/workbench_state.h"
#include "workbench_fixture.h"

namespace {

using namespace wbtest;
using namespace workbench;

const std::string kSampleCapture = LUMIVEX_SOURCE_DIR "/resources/sample_capture.txt";

std::string AllEvents() {
  std::string events;
  for (const char* action : plugins::kPluginActions) {
    events += std::string(events.empty() ? "" : ",") + "Before" + action + ",After" + action;
  }
  return events;
}

class PluginHostTest : public WorkbenchTest {
 protected:
  std::string Plugins() const { return Home() + "plugins/"; }
  // A shell-script plugin: its description and its script (executable unless told).
  void Script(const std::string& name, const std::string& keys, const std::string& body,
              bool executable = true) {
    std::filesystem::create_directories(Plugins());
    WriteWholeFile(Plugins() + name + ".lvp", "file = " + name + ".sh\nName = " + name +
                                                  "\nArchitecture = LinuxShellScript\n" + keys);
    // Every script works in its own folder, wherever it is started.
    WriteWholeFile(Plugins() + name + ".sh", "#!/bin/sh\ncd \"$(dirname \"$0\")\"\n" + body + "\n");
    chmod((Plugins() + name + ".sh").c_str(), executable ? 0755 : 0644);
  }
  void StartWithPlugins() {
    std::map<std::string, std::string> keys = QuietSettings();
    keys["pluginspath"] = Plugins();
    WriteSettings(keys);
    ASSERT_TRUE(Start());
    QApplication::processEvents();
    platform::FlushEvents();
    platform::SetGadgetText(String_Main_ProcmonFile, LUMIVEX_SAMPLE_LOG);
    platform::SetGadgetText(String_Main_WindumpFile, kSampleCapture);
  }
  static void Turns(int ms) {
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    do {
      MainLoopTurn();
    } while (std::chrono::steady_clock::now() < end);
  }
  static void Press(int gadget) {
    QTest::mouseClick(platform::GadgetWidget(gadget), Qt::LeftButton);
    Turns(100);
  }
  // Refresh, served until the generation has ended (or a plugin kept it from starting).
  static void Refresh(bool generates = true) {
    State().generationLog.clear();
    Press(Button_Main_Refresh);
    auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(1);
    while (generates && State().generationLog.empty() &&
           std::chrono::steady_clock::now() < deadline) {
      MainLoopTurn();
    }
    Turns(300);
  }
  static QWidget* Canvas() { return platform::GadgetWidget(Canvas_Main_Graph); }
  static void Mouse(QEvent::Type type, QPoint p, Qt::MouseButton button, Qt::MouseButtons held) {
    QMouseEvent event(type, p, Canvas()->mapToGlobal(p), button, held, Qt::NoModifier);
    QApplication::sendEvent(Canvas(), &event);
  }
  static void Click(QPoint p, Qt::MouseButton button, bool twice = false) {
    Mouse(QEvent::MouseButtonPress, p, button, button);
    Mouse(QEvent::MouseButtonRelease, p, button, Qt::NoButton);
    if (twice) {
      Mouse(QEvent::MouseButtonDblClick, p, button, button);
      Mouse(QEvent::MouseButtonRelease, p, button, Qt::NoButton);
    }
    Turns(400);
  }
  std::string Log() const { return ReadWholeFile(Plugins() + "events.txt"); }
  // Serves the main loop until done() holds (at most a minute); whether it came to hold.
  static bool TurnUntil(const std::function<bool()>& done) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(1);
    while (!done()) {
      if (std::chrono::steady_clock::now() > deadline) return false;
      MainLoopTurn();
    }
    return true;
  }
  // The pid a plugin wrote into its folder.
  pid_t WrittenPid(const std::string& name) const {
    return static_cast<pid_t>(std::stol("0" + ReadWholeFile(Plugins() + name)));
  }
};

TEST_F(PluginHostTest, EveryEventOfTheSessionFiresOnceInOrder) {
  // Waited for, so the lines come in the order of the events.
  Script("rec", "Type = EventHandler\nRunExclusively = 1\nEvent = " + AllEvents() + "\n",
         "echo \"$LUMIVEXPLUGIN_Event\" >> events.txt");
  // The launcher list would wait for the analyst: a plugin takes that action over.
  Script("nolauncher",
         "Type = EventHandler\nPriority = 1\nCanOverrideLumiVex = 1\n"
         "Events = BeforeLauncherButtonClick\n",
         "exit 1");
  StartWithPlugins();
  Refresh();
  ASSERT_EQ(platform::GetGadgetText(Text_Main_Status), "OK") << State().generationLog;
  platform::ScriptFileAnswer(LUMIVEX_SAMPLE_LOG);
  Press(Button_Main_ProcmonFile);
  platform::ScriptFileAnswer(kSampleCapture);
  Press(Button_Main_WindumpFile);
  Press(Button_Main_Launcher);
  Press(Button_Main_AnimationShow);
  for (int gadget :
       {Button_Main_AnimationLast, Button_Main_AnimationPrevious, Button_Main_AnimationFirst,
        Button_Main_AnimationNext, Button_Main_AnimationPlay, Button_Main_AnimationStop}) {
    Press(gadget);
  }
  Press(Button_Main_AnimationShow);
  const QPoint corner(3, 3);  // empty canvas: no node, so no menu and no details
  Click(corner, Qt::LeftButton);
  Click(corner, Qt::LeftButton, true);
  Click(corner, Qt::MiddleButton);
  Click(corner, Qt::RightButton);
  Click(corner, Qt::RightButton, true);
  std::string expected;
  for (const char* action :
       {"Refresh", "ProcmonButtonClick", "WindumpButtonClick", "LauncherButtonClick",
        "SwitchToFrameMode", "TimelineLastFrame", "TimelinePreviousFrame", "TimelineFirstFrame",
        "TimelineNextFrame", "TimelinePlayAnimation", "TimelineStopAnimation", "SwitchToNormalMode",
        "LeftClickOnGraph", "LeftDblClickOnGraph", "MiddleClickOnGraph", "RightClickOnGraph",
        "RightDblClickOnGraph"}) {
    expected += std::string("Before") + action + "\nAfter" + action + "\n";
  }
  EXPECT_EQ(Log(), expected);
  EXPECT_EQ(platform::GetGadgetText(String_Main_ProcmonFile), LUMIVEX_SAMPLE_LOG);
}

TEST_F(PluginHostTest, AnOverridingBeforeRefreshSkipsTheGenerationButNotTheOthers) {
  const std::string waited = "Type = EventHandler\nCanOverrideLumiVex = 1\n";
  Script("first", waited + "Priority = 1\nEvent = BeforeRefresh\nEvents = AfterRefresh\n",
         "echo \"first $LUMIVEXPLUGIN_Event\" >> events.txt; exit 1");
  Script("second", waited + "Priority = 1\nEvents = BeforeRefresh\n",
         "echo \"second $LUMIVEXPLUGIN_Event\" >> events.txt; exit 0");
  // A frames-mode switch taken over leaves the toggle and the animation buttons as they were.
  Script("keepmode", waited + "Priority = 2\nEvents = BeforeSwitchToFrameMode\n", "exit 1");
  StartWithPlugins();
  Refresh(false);
  EXPECT_EQ(Log(), "first BeforeRefresh\nsecond BeforeRefresh\nfirst AfterRefresh\n");
  EXPECT_EQ(State().generationLog, "");
  EXPECT_TRUE(State().graph.layout.nodes.empty());
  const bool playEnabled = platform::IsGadgetEnabled(Button_Main_AnimationPlay);
  Press(Button_Main_AnimationShow);
  EXPECT_EQ(platform::GetGadgetState(Button_Main_AnimationShow), 0);
  EXPECT_EQ(platform::IsGadgetEnabled(Button_Main_AnimationPlay), playEnabled);
}

std::map<std::string, std::string> Environment(const std::string& path) {
  std::map<std::string, std::string> vars;
  const std::string bytes = ReadWholeFile(path);
  for (size_t start = 0; start < bytes.size();) {
    size_t end = bytes.find('\0', start);
    if (end == std::string::npos) end = bytes.size();
    const std::string entry = bytes.substr(start, end - start);
    const size_t eq = entry.find('=');
    if (entry.rfind("LUMIVEXPLUGIN_", 0) == 0)
      vars[entry.substr(14, eq - 14)] = entry.substr(eq + 1);
    start = end + 1;
  }
  return vars;
}

TEST_F(PluginHostTest, APluginSeesTheWorkbenchAndHostileValuesLiterally) {
  // Not executable: it runs through /bin/sh. Its verification says yes by ending with 1.
  Script("env",
         "Type = EventHandler\nCanBeVerified = 1\nRunExclusively = 1\nVersion = 2\n"
         "Author = a\nDescription = d\nEvents = AfterRefresh\n",
         "env -0 > \"env$LUMIVEXPLUGIN_VerificationRun.bin\"; exit 1", false);
  StartWithPlugins();
  Refresh();
  ASSERT_EQ(platform::GetGadgetText(Text_Main_Status), "OK") << State().generationLog;
  std::map<std::string, std::string> v = Environment(Plugins() + "env0.bin");
  EXPECT_EQ(Environment(Plugins() + "env1.bin")["VerificationRun"], "1");
  const std::string dot = tolvek::GetTempFilePath(State().files.graphFileDot);
  const std::map<std::string, std::string> expected = {
      {"Architecture", "LinuxShellScript"},
      {"Author", "a"},
      {"Type", "EventHandler"},
      {"Name", "env"},
      {"Description", "d"},
      {"Version", "2"},
      {"SessionFile", State().sessionFile},
      {"SessionSavePending", "1"},
      {"Path2WindumpExecutable", "/usr/bin/tcpdump"},
      {"Path2DotExecutable", "/usr/bin/dot"},
      {"VerificationRun", "0"},
      {"Event", "AfterRefresh"},
      {"ProcmonFile", LUMIVEX_SAMPLE_LOG},
      {"ProcmonFileCsv", LUMIVEX_SAMPLE_LOG},
      {"ProcmonFilePml", ""},
      {"WindumpFile", kSampleCapture},
      {"WindumpFileTxt", kSampleCapture},
      {"WindumpFilePcap", ""},
      {"GraphFileDot", dot},
      {"GraphFileDot4Render", tolvek::GetTempFilePath(State().files.graphFileDot4Render)},
      {"GraphFilePng", tolvek::GetTempFilePath(State().files.graphFilePng)},
      {"GraphFileTxt", tolvek::GetTempFilePath(State().files.graphFileTxt)},
      {"GraphFileDetails", dot + ".lumivex"}};
  for (const auto& [name, value] : expected) EXPECT_EQ(v[name], value) << name;
  for (const char* result : {"ResultXML", "ResultTXT", "ResultCSV"}) {
    EXPECT_NE(v[result].find(".tmp"), std::string::npos) << result;
    EXPECT_FALSE(FileExists(v[result])) << "deleted after the run: " << result;
  }
  EXPECT_EQ(v.count("CurrentNode_name"), 0u);
  EXPECT_EQ(getenv("LUMIVEXPLUGIN_Name"), nullptr);

  const std::string marker = m_root + "/ran";
  const std::string hostile = "a \"b\" 'c' $(touch " + marker + ") `touch " + marker + "` ; |";
  platform::SetGadgetText(String_Main_WindumpFile, hostile);
  // The field keeps what fits into it; that arrives as it is.
  platform::SetGadgetText(String_Main_ProcmonFile, std::string(200 * 1024, 'p') + ".csv");
  platform::ScriptMessageAnswer(platform::kResultOk);  // the log is missing
  Refresh();
  v = Environment(Plugins() + "env0.bin");
  EXPECT_EQ(v["WindumpFile"], hostile);
  EXPECT_EQ(v["ProcmonFile"], platform::GetGadgetText(String_Main_ProcmonFile));
  EXPECT_FALSE(FileExists(marker));
}

TEST_F(PluginHostTest, AMainMenuProgramShowsItsXmlList) {
  std::filesystem::create_directories(Plugins());
  std::filesystem::copy_file(TEST_PLUGIN_LIST_PROGRAM, Plugins() + "list");
  WriteWholeFile(Plugins() + "list.lvp",
                 "file = list\nName = Sandbox\nType = MainMenuItem\n"
                 "Architecture = Linux64BitExe\nRunExclusively = 1\n");
  StartWithPlugins();
  ASSERT_EQ(PluginHost().Plugins.size(), 1u);
  EXPECT_EQ(PluginHost().Plugins[0].DeactivationMessage, "");
  EXPECT_EQ(platform::MenuItemTexts(Menu_Plugins)[2], "27:1: Sandbox");
  std::vector<std::string> rows;
  guitest::Script script({[&] {
    if (!PickListOpen("Sandbox")) return false;
    rows = PickListRows("Sandbox");
    ClosePickList("Sandbox");
    return true;
  }});
  EXPECT_TRUE(platform::TriggerMenuItem(Menu_Plugins, MenuItem_Plugin1));
  Turns(300);
  EXPECT_EQ(PluginHost().Plugins[0].DeactivationMessage, "");
  EXPECT_TRUE(script.Finished());
  EXPECT_EQ(rows, (std::vector<std::string>{std::string("log|") + LUMIVEX_SAMPLE_LOG,
                                            "stra\xC3\x9F"
                                            "e|\xE2\x82\xAC"}));
}

TEST_F(PluginHostTest, AContextMenuScriptShowsItsText) {
  Script(
      "lookup", "Type = ContextMenuItemForGraph\nRunExclusively = 1\n",
      "printf 'node=[%s]\\n' \"$LUMIVEXPLUGIN_CurrentNode_name\" > \"$LUMIVEXPLUGIN_ResultTXT\"");
  StartWithPlugins();
  Refresh();
  ASSERT_EQ(platform::GetGadgetText(Text_Main_Status), "OK") << State().generationLog;
  Click(QPoint(3, 3), Qt::RightButton);
  const int menu = platform::LastShownPopupMenu();
  ASSERT_EQ(PluginHost().Plugins.size(), 1u);
  EXPECT_EQ(PluginHost().Plugins[0].DeactivationMessage, "");
  ASSERT_GE(menu, 0);
  EXPECT_EQ(platform::MenuItemTexts(menu), std::vector<std::string>{"5000:lookup"});
  bool shown = false;
  guitest::Script script({[&] {
    if (platform::FindWindowByTitle("lookup") < 0) return false;
    shown = true;
    platform::PostEvent(platform::kEventCloseWindow, platform::FindWindowByTitle("lookup"), -1);
    return true;
  }});
  ASSERT_TRUE(platform::TriggerMenuItem(menu, MenuItem_PluginBase + 0));
  Turns(300);
  EXPECT_TRUE(shown);
}

// A plugin left running on its own is collected once it ends, without another plugin start,
// and sees no descriptor of the workbench's.
TEST_F(PluginHostTest, AProgramNotWaitedForIsCollectedAndInheritsNothing) {
  Script("free", "Type = MainMenuItem\n",
         "ls /proc/self/fd | tr '\\n' ' ' > fds.part; mv fds.part fds.txt; echo $$ > free.pid");
  StartWithPlugins();
  // One that a library opened without close-on-exec.
  const int ours = open("/dev/null", O_RDONLY);
  ASSERT_GT(ours, 2);
  EXPECT_TRUE(platform::TriggerMenuItem(Menu_Plugins, MenuItem_Plugin1));
  EXPECT_TRUE(TurnUntil([&] { return FileExists(Plugins() + "free.pid"); }));
  close(ours);
  const pid_t pid = WrittenPid("free.pid");
  ASSERT_GT(pid, 0);
  // A zombie still answers; a collected program does not.
  EXPECT_TRUE(TurnUntil([&] { return kill(pid, 0) != 0; }));
  EXPECT_EQ(ReapPluginPrograms(), 0u);
  // ls reads its folder through descriptor 3.
  EXPECT_EQ(ReadWholeFile(Plugins() + "fds.txt"), "0 1 2 3 ");
}

TEST_F(PluginHostTest, CancelEndsAWaitedPluginAndWhatItStarted) {
  Script("stuck", "Type = MainMenuItem\nRunExclusively = 1\n",
         "(while :; do echo . >> grown.txt; sleep 0.05; done) & echo $! > loop.pid; wait");
  StartWithPlugins();
  bool cancelled = false;
  platform::SetLoopHook([&] {
    auto parts = gui::detail::WaitRequesterParts();
    if (!cancelled && parts.cancelButton && FileExists(Plugins() + "loop.pid")) {
      platform::PostEvent(platform::kEventGadget, parts.window, parts.cancelButton);
      cancelled = true;
    }
  });
  EXPECT_TRUE(platform::TriggerMenuItem(Menu_Plugins, MenuItem_Plugin1));
  // The run, and with it the wait, ends within the turn that started it.
  ASSERT_TRUE(TurnUntil([&] { return cancelled; }));
  platform::SetLoopHook(nullptr);
  const pid_t loop = WrittenPid("loop.pid");
  ASSERT_GT(loop, 0);
  EXPECT_TRUE(TurnUntil([&] { return lumivex_testing::ProcessEnded(loop); }))
      << "the background loop runs on";
}

}  // namespace
