// The start-up's settings: the first run, later runs, the command line, a converter that is
// missing or hangs, stored values out of range and the window geometry across runs.
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <string>

#include "platform/window_system.h"
#include "tolvek/memory.h"
#include "tolvek/process.h"
#include "tolvek/temp_files.h"
#include "workbench/gadgets.h"
#include "workbench/main_loop.h"
#include "workbench/settings.h"
#include "workbench/startup.h"
#include "workbench/workbench_state.h"
#include "workbench_fixture.h"

namespace {

using namespace wbtest;
using workbench::State;

int CountRules(const std::string& list) {
  int rules = 0;
  size_t start = 0;
  while (start < list.size()) {
    size_t end = list.find("\r\n", start);
    if (end == std::string::npos) break;
    if (end > start) ++rules;
    start = end + 2;
  }
  return rules;
}

bool AskedAbout(const std::string& fragment) {
  for (const platform::ShownMessage& m : platform::ShownMessages()) {
    if (m.text.find(fragment) != std::string::npos) return true;
  }
  return false;
}

bool OptionsEventQueued() {
  while (platform::WindowEvent() != platform::kEventNone) {
    if (platform::EventKind() == platform::kEventMenu &&
        platform::EventMenu() == workbench::MenuItem_Options) {
      return true;
    }
  }
  return false;
}

TEST_F(WorkbenchTest, TheFirstRunCreatesTheSettingsAndAsks) {
  platform::ScriptMessageAnswer(platform::kResultYes);  // updates on each start
  platform::ScriptMessageAnswer(platform::kResultNo);   // beta tests
  platform::ScriptMessageAnswer(platform::kResultOk);   // tools missing
  // Neither tool can be found.
  mkdir((m_root + "/nothing").c_str(), 0700);
  SetEnv("PATH", m_root + "/nothing");
  ASSERT_TRUE(Start());

  const std::string folder = SettingsFolder();
  EXPECT_TRUE(FileExists(folder + "default.lv"));
  EXPECT_EQ(ReadWholeFile(folder + "default.lv"), "");
  auto keys = SettingsKeys();
  EXPECT_EQ(keys["lastrunbuild"], "55");
  EXPECT_EQ(keys["auto_update_check"], "1");
  EXPECT_EQ(keys["update_check_betas"], "0");
  EXPECT_EQ(State().sessionFile, folder + "default.lv");

  const struct {
    const char* kind;
    int rules;
  } kLists[] = {{"file", 71}, {"registrykey", 80}, {"server", 6}};
  for (const auto& list : kLists) {
    std::string path = folder + "evtweave_" + list.kind + "ignores.dat";
    std::string text = ReadWholeFile(path);
    EXPECT_EQ(CountRules(text), list.rules) << list.kind;
    // Every line ends with CR LF.
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'),
              std::count(text.begin(), text.end(), '\r'));
    EXPECT_EQ(ReadWholeFile(folder + "evtweave_" + list.kind + "ignores.global"), text);
  }

  EXPECT_TRUE(AskedAbout("check for updates on each start"));
  EXPECT_TRUE(AskedAbout("participate in beta tests"));
  EXPECT_TRUE(AskedAbout("depends on third party components"));
  EXPECT_TRUE(AskedAbout("\n\nNot found: dot, tcpdump"));
  EXPECT_TRUE(State().toolsMissing);
  EXPECT_TRUE(OptionsEventQueued());
}

// A tool without a stored path that PATH finds is offered in the options dialog for the
// analyst's Ok; only tools found nowhere are named as missing, and an answered dialog asks
// nothing at the next start.
TEST_F(WorkbenchTest, ToolsFoundOnThePathAreOfferedAndOnlyOthersAskedFor) {
  const std::string tools = m_root + "/tools";
  const std::string later = m_root + "/later";
  for (const std::string& folder : {tools, later}) mkdir(folder.c_str(), 0700);
  auto program = [](const std::string& path, mode_t mode) {
    WriteWholeFile(path, "#!/bin/sh\n");
    chmod(path.c_str(), mode);
  };
  program(tools + "/dot", 0700);
  program(tools + "/tcpdump", 0600);          // not executable
  mkdir((later + "/tcpdump").c_str(), 0700);  // a folder
  program(later + "/dot", 0700);
  SetEnv("PATH", ":" + m_root + "/none:" + tools + "/:" + later);
  EXPECT_EQ(workbench::ProgramOnPath("dot"), tools + "/dot");
  EXPECT_EQ(workbench::ProgramOnPath("tcpdump"), "");

  auto settings = QuietSettings();
  settings.erase("dotexecutable");
  settings.erase("windumpexecutable");
  WriteSettings(settings);
  platform::ScriptMessageAnswer(platform::kResultOk);
  ASSERT_TRUE(Start());
  ASSERT_EQ(platform::ShownMessages().size(), 1u);
  EXPECT_EQ(platform::ShownMessages()[0].text.substr(
                platform::ShownMessages()[0].text.find("\n\nNot found: ")),
            "\n\nNot found: tcpdump");
  // The queued Options item.
  for (int turn = 0; turn < 20 && !platform::IsWindow(workbench::Window_Options); ++turn) {
    workbench::MainLoopTurn();
  }
  ASSERT_TRUE(platform::IsWindow(workbench::Window_Options));
  EXPECT_EQ(platform::GetGadgetText(workbench::String_Options_DotPath), tools + "/dot");
  EXPECT_EQ(platform::GetGadgetText(workbench::String_Options_WindumpTcpdumpPath), "");
  EXPECT_EQ(State().options.dotExecutable, "");  // offered, not yet taken
  platform::SetGadgetText(workbench::String_Options_WindumpTcpdumpPath, "/usr/bin/tcpdump");
  platform::PostEvent(platform::kEventGadget, workbench::Window_Options,
                      workbench::Button_Options_Ok);
  do {
    workbench::MainLoopTurn();
  } while (platform::QueuedEventCount() > 0);
  EXPECT_FALSE(platform::IsWindow(workbench::Window_Options));
  EXPECT_EQ(SettingsKeys()["dotexecutable"], tools + "/dot");
  EXPECT_EQ(SettingsKeys()["windumpexecutable"], "/usr/bin/tcpdump");

  // With both found, nothing is named missing: the dialog alone offers them.
  ForgetWindows();
  program(tools + "/tcpdump", 0755);
  WriteSettings(settings);
  platform::ScriptMessageAnswer(platform::kResultOk);  // were one shown
  ASSERT_TRUE(Start());
  EXPECT_TRUE(platform::ShownMessages().empty());
  EXPECT_TRUE(OptionsEventQueued());
  EXPECT_EQ(workbench::MissingToolNames(), "");
}

// The converter reads the lists the first run wrote, in the folder where the workbench runs it.
TEST_F(WorkbenchTest, TheConverterAcceptsTheDefaultLists) {
  for (int i = 0; i < 3; ++i) platform::ScriptMessageAnswer(platform::kResultNo);
  ASSERT_TRUE(Start());
  tolvek::Program program;
  ASSERT_TRUE(tolvek::StartProgram(workbench::ConverterPath(),
                                   {LUMIVEX_SAMPLE_LOG, m_root + "/out.dot", "lumivex", ""},
                                   SettingsFolder(), program));
  tolvek::MemoryPtr block(tolvek::ReadProgramStream(program));
  std::string output(static_cast<const char*>(block.get()), tolvek::MemorySize(block.get()));
  EXPECT_EQ(tolvek::CloseProgram(program), 0) << output;
  EXPECT_EQ(output.find("Error"), std::string::npos) << output;
  for (const char* name : {"evtweave_fileignores.dat", "evtweave_registrykeyignores.dat",
                           "evtweave_serverignores.dat"}) {
    EXPECT_NE(output.find(name), std::string::npos) << output;
  }
  EXPECT_TRUE(FileExists(m_root + "/out.dot"));
}

TEST_F(WorkbenchTest, ALaterStartAsksNothingAndRewritesNothing) {
  auto settings = QuietSettings();
  const std::string last = m_root + "/last.lv";
  WriteWholeFile(last, "");
  settings["lastsession"] = last;
  settings["hovereffects"] = "0";
  settings["edge_label_mode"] = "Long";
  WriteSettings(settings);
  const std::string folder = SettingsFolder();
  WriteWholeFile(folder + "evtweave_fileignores.dat", "mine\trw\r\n");
  WriteWholeFile(folder + "default.lv", "kept");
  // A list deleted after the first run is not written again, nor its global copy made.
  ASSERT_TRUE(Start());

  EXPECT_TRUE(platform::ShownMessages().empty());
  EXPECT_FALSE(State().toolsMissing);
  EXPECT_EQ(ReadWholeFile(folder + "evtweave_fileignores.dat"), "mine\trw\r\n");
  EXPECT_EQ(ReadWholeFile(folder + "evtweave_fileignores.global"), "mine\trw\r\n");
  EXPECT_FALSE(FileExists(folder + "evtweave_serverignores.dat"));
  EXPECT_FALSE(FileExists(folder + "evtweave_serverignores.global"));
  EXPECT_EQ(ReadWholeFile(folder + "default.lv"), "kept");
  EXPECT_EQ(State().sessionFile, last);
  EXPECT_EQ(State().options.hovereffects, 0);
  EXPECT_EQ(State().options.edgeLabelMode, "Long");
  EXPECT_EQ(State().options.dotExecutable, "/usr/bin/dot");
}

TEST_F(WorkbenchTest, ASessionOnTheCommandLineWinsOverTheLastOne) {
  auto settings = QuietSettings();
  settings["lastsession"] = m_root + "/last.lv";
  WriteWholeFile(m_root + "/last.lv", "");
  WriteWholeFile(m_root + "/named one.lv", "");
  WriteSettings(settings);
  ASSERT_TRUE(Start({m_root + "/named one.lv"}));
  EXPECT_EQ(State().sessionFile, m_root + "/named one.lv");
}

// A relative path on the command line names a file in the folder the workbench started in;
// the next start, from anywhere, opens that same file.
TEST_F(WorkbenchTest, ARelativeSessionPathIsRememberedAsTheFileItNamed) {
  char started[4096];
  ASSERT_NE(getcwd(started, sizeof started), nullptr);
  const std::string file = m_root + "/home/case.lv";
  for (const char* given : {"home/case.lv", "./home/case"}) {
    SCOPED_TRACE(given);
    WriteWholeFile(file, "launcher = 7|8|x.exe\n");
    WriteSettings(QuietSettings());
    ASSERT_EQ(chdir(m_root.c_str()), 0);
    const bool started_up = Start({given});
    EXPECT_EQ(chdir(started), 0);
    ASSERT_TRUE(started_up);
    EXPECT_EQ(State().sessionFile, file);
    EXPECT_EQ(platform::GetWindowTitle(workbench::Window_Main), "LumiVEX - " + file);
    ASSERT_TRUE(End());
    EXPECT_EQ(SettingsKeys()["lastsession"], file);
    ForgetWindows();
    ASSERT_TRUE(Start());
    EXPECT_EQ(State().sessionFile, file);
    EXPECT_EQ(platform::GetGadgetText(workbench::String_Main_Launcher), "7|8|x.exe");
    ForgetWindows();
  }
}

// A settings file that could not be opened must not cost the analyst the default session.
TEST_F(WorkbenchTest, AMissingSettingsFileKeepsTheDefaultSession) {
  mkdir(SettingsFolder().c_str(), 0700);
  WriteWholeFile(SettingsFolder() + "default.lv", "[session]\r\n");
  for (int i = 0; i < 3; ++i) platform::ScriptMessageAnswer(platform::kResultNo);
  ASSERT_TRUE(Start());
  EXPECT_EQ(ReadWholeFile(SettingsFolder() + "default.lv"), "[session]\r\n");
  EXPECT_EQ(SettingsKeys()["lastrunbuild"], "55");
}

class MissingConverterTest : public WorkbenchTest {
 protected:
  void SetUp() override {
    WorkbenchTest::SetUp();
    m_tools = m_root + "/tools/";
    mkdir(m_tools.c_str(), 0700);
    workbench::detail::OverrideProgramFolder(m_tools);
    SetEnv("PATH", m_tools);
    WriteSettings(QuietSettings());
  }
  std::string m_tools;
};

TEST_F(MissingConverterTest, AMissingConverterEndsTheProgramWithItsFinalizers) {
  platform::ScriptMessageAnswer(platform::kResultOk);
  EXPECT_FALSE(Start());
  ASSERT_TRUE(m_exitCode.has_value());
  EXPECT_EQ(*m_exitCode, 0);
  EXPECT_TRUE(AskedAbout("Error: Component \"evtweave\" is missing!"));
  // The finalizers ran: the private temporary folder is gone.
  std::string privateFolder = tolvek::GetTemporaryDirectory4TolvekZubl();
  EXPECT_FALSE(privateFolder.empty());
  EXPECT_FALSE(FileExists(privateFolder));
}

TEST_F(MissingConverterTest, AConverterThatHangsCountsAsMissing) {
  std::string fake = m_tools + "evtweave";
  WriteWholeFile(fake, "#!/bin/sh\nexec /bin/sleep 60\n");
  chmod(fake.c_str(), 0700);
  platform::ScriptMessageAnswer(platform::kResultOk);
  EXPECT_FALSE(Start());
  EXPECT_EQ(m_exitCode.value_or(-1), 0);
  EXPECT_TRUE(AskedAbout("is missing"));
}

// Values a hand or an older build left in the settings file.
TEST(StoredOptions, OutOfRangeValuesTakeTheirDefaults) {
  using namespace workbench;
  const struct {
    const char* stored;
    int8_t onOffWithDefault1, triState, fontSize;
  } kCases[] = {
      {"0", 0, 0, 12},   {"1", 1, 1, 1},     {"2", 1, -1, 2},    {"-1", 1, -1, 12},
      {"99", 1, -1, 99}, {"100", 1, -1, 12}, {"", 1, -1, 12},    {"abc", 1, -1, 12},
      {" 7 ", 1, -1, 7}, {"1e3", 1, -1, 12}, {"300", 1, -1, 12}, {"-129", 1, -1, 12},
  };
  for (const auto& c : kCases) {
    EXPECT_EQ(OnOffOption(c.stored, 1), c.onOffWithDefault1) << c.stored;
    EXPECT_EQ(TriStateOption(c.stored), c.triState) << c.stored;
    EXPECT_EQ(FontSizeOption(c.stored), c.fontSize) << c.stored;
  }
  EXPECT_EQ(EdgeLabelModeOption("Extensive"), "Extensive");
  EXPECT_EQ(EdgeLabelModeOption("extensive"), "Default");
  EXPECT_EQ(EdgeLabelModeOption(""), "Default");
  // A relative folder is taken from where the workbench was started.
  const struct {
    const char* stored;
    const char* start;
    const char* folder;
  } kFolders[] = {{"/opt/plugins//", "/home/a", "/opt/plugins/"},
                  {"/opt/plugins", "/home/a", "/opt/plugins/"},
                  {"plugins", "/home/a", "/home/a/plugins/"},
                  {"../shared/plugins/", "/home/a/", "/home/a/../shared/plugins/"},
                  {"plugins", "/", "/plugins/"}};
  for (const auto& f : kFolders) EXPECT_EQ(PluginsPathOption(f.stored, f.start), f.folder);
}

TEST_F(WorkbenchTest, TheNormalSizeComesBackAfterAMaximisedExit) {
  WriteSettings(QuietSettings());
  ASSERT_TRUE(Start());
  platform::ResizeWindow(workbench::Window_Main, 40, 30, 1000, 700);
  ASSERT_TRUE(End());
  auto keys = SettingsKeys();
  const std::string suffix = State().geometrySuffix;
  EXPECT_EQ(keys["lastwinstate"], "0");
  EXPECT_EQ(keys["lastwinwidth" + suffix], "1000");
  EXPECT_EQ(keys["lastwinheight" + suffix], "700");

  ForgetWindows();
  ASSERT_TRUE(Start());
  EXPECT_EQ(platform::WindowWidth(workbench::Window_Main), 1000);
  EXPECT_EQ(platform::WindowHeight(workbench::Window_Main), 700);
  platform::SetWindowState(workbench::Window_Main, platform::kWindowMaximized);
  ASSERT_TRUE(End());
  keys = SettingsKeys();
  EXPECT_EQ(keys["lastwinstate"], "16777216");
  EXPECT_EQ(keys["lastwinwidth" + suffix], "1000");

  ForgetWindows();
  ASSERT_TRUE(Start());
  EXPECT_EQ(platform::GetWindowState(workbench::Window_Main), platform::kWindowMaximized);
  // Leaving the maximised state gives the stored normal size back.
  platform::SetWindowState(workbench::Window_Main, platform::kWindowNormal);
  platform::ResizeWindow(workbench::Window_Main, platform::kKeepValue, platform::kKeepValue, 900,
                         650);
  platform::PostEvent(platform::kEventRestoreWindow, workbench::Window_Main, -1);
  while (workbench::MainLoopTurn() != platform::kEventRestoreWindow) {
  }
  EXPECT_EQ(platform::WindowWidth(workbench::Window_Main), 1000);
  EXPECT_EQ(platform::WindowHeight(workbench::Window_Main), 700);
}

TEST_F(WorkbenchTest, AStoredMinimisedStateStartsNormal) {
  auto settings = QuietSettings();
  settings["lastwinstate"] = "536870912";
  WriteSettings(settings);
  ASSERT_TRUE(Start());
  EXPECT_EQ(platform::GetWindowState(workbench::Window_Main), platform::kWindowNormal);
}

}  // namespace
