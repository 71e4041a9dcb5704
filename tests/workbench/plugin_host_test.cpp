// Plugins written for the tests, run by the real workbench on the bundled sample: the events
// of a scripted session, an overriding handler, the environment a plugin sees, a main-menu
// program's XML list and a context-menu script's text.
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QTest>
#include <QWindow>
#include <chrono>
#include <filesystem>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "../gui/gui_script.h"
#include "graphview/hit_testing.h"
#include "gui/scintilla_wrapper.h"
#include "gui/wait_requester.h"
#include "pick_list_driver.h"
#include "platform/window_system.h"
#include "plugins/plugin_environment.h"
#include "process_state.h"
#include "tolvek/temp_files.h"
#include "workbench/gadgets.h"
#include "workbench/main_loop.h"
#include "workbench/plugin_host.h"
#include "workbench/stages.h"
#include "workbench/workbench_state.h"
#include "workbench_fixture.h"
#include "workbench_instance_driver.h"

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

// Reads and closes each window with one of the titles as it opens, in the order they open: a
// list as its rows (cells joined by tabs), a text window as its text.
class ResultWindows {
 public:
  explicit ResultWindows(std::vector<std::string> titles) : m_titles(std::move(titles)) {
    platform::SetLoopHook([this] { Look(); });
  }
  ~ResultWindows() { platform::SetLoopHook(nullptr); }
  ResultWindows(const ResultWindows&) = delete;
  ResultWindows& operator=(const ResultWindows&) = delete;
  // "title: content" per window seen.
  std::vector<std::string> seen;

 private:
  void Look() {
    for (const std::string& title : m_titles) {
      const int window = platform::FindWindowByTitle(title);
      if (window < 0) {
        m_closing.erase(title);
        continue;
      }
      if (m_closing.count(title)) continue;
      std::string content;
      if (const int editor = platform::FindGadgetByName(window, "editor"); editor >= 0) {
        content = gui::Scintilla_GetText(editor);
      } else if (const int list = platform::FindGadgetByName(window, "lst"); list >= 0) {
        for (int r = 0; r < platform::CountGadgetItems(list); ++r) {
          for (int c = 0; c < platform::CountGadgetColumns(list); ++c) {
            content += (c ? "\t" : "") + platform::GetGadgetItemText(list, r, c);
          }
          content += "\n";
        }
      } else {
        continue;  // not built yet
      }
      seen.push_back(title + ": " + content);
      m_closing.insert(title);
      platform::PostEvent(platform::kEventCloseWindow, window, -1);
    }
  }
  std::vector<std::string> m_titles;
  std::set<std::string> m_closing;
};

class PluginHostTest : public WorkbenchTest {
 protected:
  std::string Plugins() const { return Home() + "plugins/"; }
  // A shell-script plugin: its description and its script (executable unless told). Unless
  // told otherwise, the script works in its own folder, wherever it is started.
  void Script(const std::string& name, const std::string& keys, const std::string& body,
              bool executable = true, bool ownFolder = true) {
    std::filesystem::create_directories(Plugins());
    WriteWholeFile(Plugins() + name + ".lvp", "file = " + name + ".sh\nName = " + name +
                                                  "\nArchitecture = LinuxShellScript\n" + keys);
    WriteWholeFile(
        Plugins() + name + ".sh",
        std::string("#!/bin/sh\n") + (ownFolder ? "cd \"$(dirname \"$0\")\"\n" : "") + body + "\n");
    chmod((Plugins() + name + ".sh").c_str(), executable ? 0755 : 0644);
  }
  void StartWithPlugins(const std::string& folder = "") {
    std::map<std::string, std::string> keys = QuietSettings();
    keys["pluginspath"] = folder.empty() ? Plugins() : folder;
    WriteSettings(keys);
    ASSERT_TRUE(Start());
    QApplication::processEvents();
    platform::FlushEvents();
    platform::SetGadgetText(String_Main_ProcmonFile, LUMIVEX_SAMPLE_LOG);
    platform::SetGadgetText(String_Main_WindumpFile, kSampleCapture);
  }
  static void Press(int gadget) {
    QTest::mouseClick(platform::GadgetWidget(gadget), Qt::LeftButton);
    Settle();
  }
  // Refresh, served until the generation has ended (or a plugin kept it from starting).
  static void Refresh(bool generates = true) {
    State().generationLog.clear();
    Press(Button_Main_Refresh);
    if (generates) {
      EXPECT_TRUE(TurnUntil([] { return !State().generationLog.empty(); }));
    }
    Settle();
  }
  static QWidget* Canvas() { return platform::GadgetWidget(Canvas_Main_Graph); }
  static void Mouse(QEvent::Type type, QPoint p, Qt::MouseButton button, Qt::MouseButtons held) {
    QMouseEvent event(type, p, Canvas()->mapToGlobal(p), button, held, Qt::NoModifier);
    QApplication::sendEvent(Canvas(), &event);
  }
  // A click on the canvas, served until done() holds: a single click is told only once its
  // timer found no second one.
  static void Click(QPoint p, Qt::MouseButton button, bool twice,
                    const std::function<bool()>& done) {
    Mouse(QEvent::MouseButtonPress, p, button, button);
    Mouse(QEvent::MouseButtonRelease, p, button, Qt::NoButton);
    if (twice) {
      Mouse(QEvent::MouseButtonDblClick, p, button, button);
      Mouse(QEvent::MouseButtonRelease, p, button, Qt::NoButton);
    }
    EXPECT_TRUE(TurnUntil(done));
    Settle();
  }
  // Runs the first main-menu plugin and reads the rows of the list it shows under title;
  // lookAlso reads more of the open list.
  static std::vector<std::string> FirstMenuPluginsList(
      const std::string& title, const std::function<void()>& lookAlso = [] {}) {
    std::vector<std::string> rows;
    guitest::Script script({[&] {
      if (!PickListOpen(title)) return false;
      lookAlso();
      rows = PickListRows(title);
      ClosePickList(title);
      return true;
    }});
    EXPECT_TRUE(platform::TriggerMenuItem(Menu_Plugins, MenuItem_Plugin1));
    Settle();
    EXPECT_TRUE(script.Finished());
    return rows;
  }
  std::string Log() const { return ReadWholeFile(Plugins() + "events.txt"); }
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
  const auto told = [this](const char* action) {
    return [this, action] {
      const std::string log = Log();
      const std::string last = std::string("After") + action + "\n";
      return log.size() >= last.size() &&
             log.compare(log.size() - last.size(), last.size(), last) == 0;
    };
  };
  Click(corner, Qt::LeftButton, false, told("LeftClickOnGraph"));
  Click(corner, Qt::LeftButton, true, told("LeftDblClickOnGraph"));
  Click(corner, Qt::MiddleButton, false, told("MiddleClickOnGraph"));
  Click(corner, Qt::RightButton, false, told("RightClickOnGraph"));
  Click(corner, Qt::RightButton, true, told("RightDblClickOnGraph"));
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
  // One that may override only the other plugins ends the walk, but not the action.
  Script("stop",
         "Type = EventHandler\nCanOverrideOtherPlugins = 1\nPriority = 3\n"
         "Events = BeforeProcmonButtonClick\n",
         "echo \"stop $LUMIVEXPLUGIN_Event\" >> events.txt; exit 1");
  Script("late", waited + "Priority = 4\nEvents = BeforeProcmonButtonClick,AfterRefresh\n",
         "echo \"late $LUMIVEXPLUGIN_Event\" >> events.txt; exit 1");
  StartWithPlugins();
  Refresh(false);
  EXPECT_EQ(Log(),
            "first BeforeRefresh\nsecond BeforeRefresh\nfirst AfterRefresh\nlate AfterRefresh\n");
  EXPECT_EQ(State().generationLog, "");
  EXPECT_TRUE(State().graph.layout.nodes.empty());
  const bool playEnabled = platform::IsGadgetEnabled(Button_Main_AnimationPlay);
  Press(Button_Main_AnimationShow);
  EXPECT_EQ(platform::GetGadgetState(Button_Main_AnimationShow), 0);
  EXPECT_EQ(platform::IsGadgetEnabled(Button_Main_AnimationPlay), playEnabled);
  WriteWholeFile(Plugins() + "events.txt", "");
  platform::SetGadgetText(String_Main_ProcmonFile, "");
  platform::ScriptFileAnswer(LUMIVEX_SAMPLE_LOG);
  Press(Button_Main_ProcmonFile);
  EXPECT_EQ(Log(), "stop BeforeProcmonButtonClick\n");
  EXPECT_EQ(platform::GetGadgetText(String_Main_ProcmonFile), LUMIVEX_SAMPLE_LOG);
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
  const std::vector<std::string> rows = FirstMenuPluginsList("Sandbox");
  EXPECT_EQ(PluginHost().Plugins[0].DeactivationMessage, "");
  EXPECT_EQ(rows, (std::vector<std::string>{std::string("log|") + LUMIVEX_SAMPLE_LOG,
                                            "stra\xC3\x9F"
                                            "e|\xE2\x82\xAC"}));
}

// Sound at start-up is not enough: a plugin runs only while it and every folder above it
// still are beyond other users' reach.
TEST_F(PluginHostTest, TheTrustCheckStandsRightBeforeEachStart) {
  Script("menu", "Type = MainMenuItem\nRunExclusively = 1\n", "echo ran >> ran.txt");
  StartWithPlugins();
  ASSERT_EQ(PluginHost().Plugins.size(), 1u);
  ASSERT_EQ(PluginHost().Plugins[0].DeactivationMessage, "");
  EXPECT_TRUE(platform::TriggerMenuItem(Menu_Plugins, MenuItem_Plugin1));
  Settle();
  ASSERT_EQ(ReadWholeFile(Plugins() + "ran.txt"), "ran\n");
  // Now anybody could move the plugin folder away and put his own in its place.
  const std::string parent = Home().substr(0, Home().size() - 1);
  ASSERT_EQ(chmod(parent.c_str(), 0777), 0);
  EXPECT_TRUE(platform::TriggerMenuItem(Menu_Plugins, MenuItem_Plugin1));
  Settle();
  chmod(parent.c_str(), 0700);
  EXPECT_EQ(ReadWholeFile(Plugins() + "ran.txt"), "ran\n");
  EXPECT_EQ(PluginHost().Plugins[0].DeactivationMessage,
            "Unsafe permissions: \"" + parent + "\" can be changed by other users!\n");
  EXPECT_FALSE(platform::TriggerMenuItem(Menu_Plugins, MenuItem_Plugin1));  // greyed out
}

// "pluginspath = plugins", as users write it, names the folder beside the start folder, where
// the plugins were checked, even though they run inside it: a program plugin runs, and a link
// plugins/plugins leads nowhere else.
TEST_F(PluginHostTest, ARelativePluginFolderIsTheOneBesideTheStartFolder) {
  std::filesystem::create_directories(Plugins());
  std::filesystem::create_directories(Home() + "elsewhere");
  std::filesystem::copy_file(TEST_PLUGIN_LIST_PROGRAM, Plugins() + "list");
  WriteWholeFile(Plugins() + "list.lvp",
                 "file = list\nName = Sandbox\nType = MainMenuItem\n"
                 "Architecture = Linux64BitExe\nRunExclusively = 1\n");
  const std::string marker = m_root + "/elsewhere-ran";
  WriteWholeFile(Home() + "elsewhere/list", "#!/bin/sh\ntouch '" + marker + "'\n");
  chmod((Home() + "elsewhere/list").c_str(), 0755);
  std::filesystem::create_directory_symlink("../elsewhere", Plugins() + "plugins");
  const std::string before = std::filesystem::current_path();
  std::filesystem::current_path(Home());
  StartWithPlugins("plugins");
  std::filesystem::current_path(before);
  EXPECT_EQ(State().options.pluginsPath, Plugins());
  ASSERT_EQ(PluginHost().Plugins.size(), 1u);
  const std::vector<std::string> rows = FirstMenuPluginsList("Sandbox");
  EXPECT_EQ(PluginHost().Plugins[0].DeactivationMessage, "");
  EXPECT_EQ(rows.size(), 2u);
  EXPECT_FALSE(FileExists(marker));
}

TEST_F(PluginHostTest, AContextMenuScriptShowsItsText) {
  Script(
      "lookup", "Type = ContextMenuItemForGraph\nRunExclusively = 1\n",
      "printf 'node=[%s]\\n' \"$LUMIVEXPLUGIN_CurrentNode_name\" > \"$LUMIVEXPLUGIN_ResultTXT\"");
  StartWithPlugins();
  Refresh();
  ASSERT_EQ(platform::GetGadgetText(Text_Main_Status), "OK") << State().generationLog;
  Click(QPoint(3, 3), Qt::RightButton, false, [] { return platform::LastShownPopupMenu() >= 0; });
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
  Settle();
  EXPECT_TRUE(shown);
}

TEST_F(PluginHostTest, OnlyTheFirstResultShowsXmlBeforeTextBeforeCsv) {
  const std::string menu = "Type = MainMenuItem\nRunExclusively = 1\n";
  Script("all", menu + "Priority = 1\n",
         "printf '<lumivex-plugin-output><list title=\"X\"><body><r><c>xml</c></r></body></list>"
         "</lumivex-plugin-output>' > \"$LUMIVEXPLUGIN_ResultXML\"\n"
         "echo text > \"$LUMIVEXPLUGIN_ResultTXT\"\n"
         "printf '\"T\"\\n\"*\"\\n\"csv\"\\n' > \"$LUMIVEXPLUGIN_ResultCSV\"");
  // It stays where it is started: in the plugin folder.
  Script("textcsv", menu + "Priority = 2\n",
         "pwd > \"$LUMIVEXPLUGIN_ResultTXT\"\n"
         "printf '\"T\"\\n\"*\"\\n\"csv\"\\n' > \"$LUMIVEXPLUGIN_ResultCSV\"",
         true, false);
  // Its cells show as they are: a bar, a backslash and markup stay in their cell.
  Script("csv", menu + "Priority = 3\n",
         "printf '\"A\",\"B\"\\n\"*\",\"*\"\\n\"a|b\\\\c\",\"{{color:red}}{x}y\"\\n' "
         "> \"$LUMIVEXPLUGIN_ResultCSV\"");
  StartWithPlugins();
  ResultWindows windows({"X", "all", "textcsv", "csv"});
  for (int n = 0; n < 3; ++n) {
    EXPECT_TRUE(platform::TriggerMenuItem(Menu_Plugins, MenuItem_Plugin1 + n));
    Settle();
  }
  const std::string folder = std::filesystem::canonical(Plugins()).string();
  EXPECT_EQ(windows.seen, (std::vector<std::string>{"X: xml\n", "textcsv: " + folder + "\n",
                                                    "csv: a|b\\c\t{{color:red}}{x}y\n"}));
}

TEST_F(PluginHostTest, AContextMenuPluginReadsTheNodeItWasChosenOn) {
  Script(
      "node", "Type = ContextMenuItemForGraph\nRunExclusively = 1\n",
      "printf '%s|%s|%s|%s' \"$LUMIVEXPLUGIN_CurrentNode_name\" \"$LUMIVEXPLUGIN_CurrentNode_x\" "
      "\"$LUMIVEXPLUGIN_CurrentNode_height\" \"$LUMIVEXPLUGIN_CurrentNode_Details_Name\" "
      "> \"$LUMIVEXPLUGIN_ResultTXT\"");
  StartWithPlugins();
  Refresh();
  ASSERT_EQ(platform::GetGadgetText(Text_Main_Status), "OK") << State().generationLog;
  // A process node: its details name it.
  QPoint at;
  const graphview::GraphNode* node = nullptr;
  for (int y = 5; y < Canvas()->height() && !node; y += 3) {
    for (int x = 5; x < Canvas()->width() && !node; x += 3) {
      const graphview::GraphNode* hit = graphview::FindNodeAt(State().graph, x, y);
      if (hit && hit->name.rfind("PROCESS", 0) == 0) {
        node = hit;
        // Canvas pixels are those of the drawing area inside the canvas's frame.
        const int frame =
            (Canvas()->width() - platform::CanvasBuffer(Canvas_Main_Graph)->width()) / 2;
        at = QPoint(x + frame, y + frame);
      }
    }
  }
  ASSERT_NE(node, nullptr);
  const std::string expected = std::string(node->name) + "|" + plugins::LayoutNumber(node->x) +
                               "|" + plugins::LayoutNumber(node->height) + "|";
  Click(at, Qt::RightButton, false, [] { return platform::LastShownPopupMenu() >= 0; });
  const int menu = platform::LastShownPopupMenu();
  ASSERT_GE(menu, 0);
  ResultWindows windows({"node"});
  ASSERT_TRUE(platform::TriggerMenuItem(menu, MenuItem_PluginBase + 0));
  Settle();
  ASSERT_EQ(windows.seen.size(), 1u);
  EXPECT_EQ(windows.seen[0].rfind("node: " + expected, 0), 0u) << windows.seen[0];
  EXPECT_GT(windows.seen[0].size(), ("node: " + expected).size());  // the process's name
}

TEST_F(PluginHostTest, ThePluginsManagerListsEveryPluginAndItsDetails) {
  Script("good", "Type = MainMenuItem\nPriority = 1\nVersion = 2\nAuthor = a\n", "exit 0");
  Script("bad",
         "Type = EventHandler\nPriority = 2\nEvents = OnHover,AfterRefresh,Nope\nRunHidden = 1\n"
         "CanBeVerified = 3\nCanOverrideLumiVex = 256\nRunExclusively = 2\n"
         "CanOverrideOtherPlugins = 4\n",
         "exit 0");
  StartWithPlugins();
  std::vector<std::vector<std::string>> lists;
  guitest::Script script({[&] {
                            if (!PickListOpen("Plugins-Manager")) return false;
                            lists.push_back(PickListRows("Plugins-Manager"));
                            DoubleClickRow("Plugins-Manager", 1);
                            return true;
                          },
                          [&] {
                            if (!PickListOpen("Plugins-Manager")) return false;
                            std::vector<std::string> rows = PickListRows("Plugins-Manager");
                            if (rows.empty() || rows[0].rfind("Name|", 0) != 0) return false;
                            lists.push_back(rows);
                            ClosePickList("Plugins-Manager");
                            return true;
                          }},
                         "Plugins-Manager");
  EXPECT_TRUE(platform::TriggerMenuItem(Menu_Plugins, MenuItem_PluginsManager));
  Settle();
  ASSERT_TRUE(script.Finished());
  ASSERT_EQ(lists.size(), 2u);
  EXPECT_EQ(lists[0], (std::vector<std::string>{"0|good|MainMenuItem|2|a",
                                                "1|bad|EventHandler|***none***|***none***"}));
  const std::string folder = Plugins();
  EXPECT_EQ(lists[1], (std::vector<std::string>{"Name|bad",
                                                "Author|***none***",
                                                "Description|***none***",
                                                "Version|***none***",
                                                "Type|EventHandler",
                                                "Event|OnHover",
                                                "Event|AfterRefresh",
                                                "Event|Nope",
                                                "LvpFile|" + folder + "bad.lvp",
                                                "Architecture|LinuxShellScript",
                                                "File|" + folder + "bad.sh",
                                                "Priority|2",
                                                "RunExclusively|2",
                                                "RunHidden|1",
                                                "CanBeVerified|3",
                                                "CanOverrideOtherPlugins|4",
                                                "CanOverrideLumivex|0",  // 256's low byte
                                                "IsDeactivated|1",
                                                "DeactivationMessage|Unknown event \"OnHover\"!",
                                                "Unknown event \"Nope\"!|"}));
}

// A list whose title, message, hint and cells look like markup: each shows its characters,
// plain, and nothing becomes a link.
TEST_F(PluginHostTest, AnXmlListThatLooksLikeMarkupShowsAsItIs) {
  Script("hostile", "Type = MainMenuItem\nRunExclusively = 1\n",
         "cat > \"$LUMIVEXPLUGIN_ResultXML\" <<'EOF'\n"
         "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
         "<lumivex-plugin-output><list title=\"Sandbox [*] &lt;b&gt;x&lt;/b&gt;\" "
         "message=\"&lt;h1&gt;&lt;font color=red&gt;SAFE - nothing found&lt;/font&gt;&lt;/h1&gt;"
         "&lt;img src=x.png&gt;\" "
         "submitmessage=\"&lt;a href=&quot;file:///tmp/x.desktop&quot;&gt;open&lt;/a&gt;\">"
         "<head><column>Key</column></head>"
         "<body><row><cell>&lt;i&gt;k&lt;/i&gt;</cell></row></body></list>"
         "</lumivex-plugin-output>\n"
         "EOF");
  StartWithPlugins();
  ASSERT_EQ(PluginHost().Plugins.size(), 1u);
  const std::string title = "Sandbox [*] <b>x</b>";
  struct Shown {
    Qt::TextFormat format = Qt::AutoText;
    std::string text;
  } message, hint;
  std::string shownTitle;
  std::vector<std::string> rows;
  const auto read = [&title](const char* name, Shown& shown) {
    auto* label = qobject_cast<QLabel*>(platform::GadgetWidget(PickListGadget(title, name)));
    if (!label) return;
    shown.format = label->textFormat();
    shown.text = label->text().toStdString();
  };
  rows = FirstMenuPluginsList(title, [&] {
    read("msg", message);
    read("stb", hint);
    shownTitle = platform::WindowWidget(platform::FindWindowByTitle(title))
                     ->windowHandle()
                     ->title()
                     .toStdString();
  });
  EXPECT_EQ(message.format, Qt::PlainText);
  EXPECT_EQ(message.text, "<h1><font color=red>SAFE - nothing found</font></h1><img src=x.png>");
  EXPECT_EQ(hint.format, Qt::PlainText);
  EXPECT_EQ(hint.text, "<a href=\"file:///tmp/x.desktop\">open</a>");
  EXPECT_EQ(shownTitle, title);
  EXPECT_EQ(rows, std::vector<std::string>{"<i>k</i>"});
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

// A logout ends the plugin the workbench waits for, with everything that plugin started; one
// left running on its own runs on, as any program started on its own would.
TEST_F(PluginHostTest, AnEndSignalEndsAWaitedPluginButNotAFreeOne) {
  Script("a_free", "Type = MainMenuItem\n",
         "echo $$ > free.part; mv free.part free.pid; exec sleep 600");
  Script("b_waited", "Type = MainMenuItem\nRunExclusively = 1\n",
         "sleep 600 & echo $! > child.part; mv child.part child.pid; echo $$ > waited.pid; wait");
  std::map<std::string, std::string> keys = QuietSettings();
  keys["pluginspath"] = Plugins();
  WriteSettings(keys);
  Instance instance(SettingsFolder() + "default.lv");
  ASSERT_EQ(instance.Line(), "ready");
  instance.Send("menu " + std::to_string(MenuItem_Plugin1));
  instance.Send("menu " + std::to_string(MenuItem_Plugin1 + 1));
  instance.Send("loop");
  auto within = [](const std::function<bool()>& done) {
    for (int i = 0; i < 3000 && !done(); ++i) usleep(20 * 1000);
    return done();
  };
  ASSERT_TRUE(within(
      [&] { return FileExists(Plugins() + "free.pid") && FileExists(Plugins() + "waited.pid"); }));
  const pid_t loose = WrittenPid("free.pid"), waited = WrittenPid("waited.pid"),
              child = WrittenPid("child.pid");
  ASSERT_GT(loose, 0);
  ASSERT_GT(waited, 0);
  ASSERT_GT(child, 0);
  ASSERT_EQ(kill(instance.Pid(), SIGTERM), 0);
  EXPECT_EQ(instance.Wait(), 0);
  EXPECT_TRUE(within([&] {
    return lumivex_testing::ProcessEnded(waited) && lumivex_testing::ProcessEnded(child);
  })) << "the waited plugin runs on";
  EXPECT_FALSE(lumivex_testing::ProcessEnded(loose));
  kill(-loose, SIGKILL);
  kill(-waited, SIGKILL);
}

}  // namespace
