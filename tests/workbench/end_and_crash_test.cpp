// The two ends of the workbench: the orderly one (the pending-session question, Exit, the
// settings it leaves, the private folder it removes) and a crash of the real program, whose
// report a fresh process takes over.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <optional>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "bug_report_driver.h"
#include "platform/window_system.h"
#include "tolvek/process.h"
#include "tolvek/temp_files.h"
#include "workbench/crash_follow_up.h"
#include "workbench/gadgets.h"
#include "workbench/main_loop.h"
#include "workbench/startup.h"
#include "workbench/workbench_state.h"
#include "workbench_fixture.h"
#include "workbench_instance_driver.h"

namespace {

using namespace wbtest;
using namespace workbench;
namespace fs = std::filesystem;

// The folder of the test programs, beside the real converter.
fs::path BinFolder() {
  char self[4096];
  ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
  return fs::path(std::string(self, n > 0 ? static_cast<size_t>(n) : 0)).parent_path();
}

// Everything below folder, as paths relative to it, in order.
std::vector<std::string> Entries(const fs::path& folder) {
  std::vector<std::string> entries;
  std::error_code ignored;
  for (const auto& entry : fs::recursive_directory_iterator(folder, ignored)) {
    entries.push_back(entry.path().lexically_relative(folder).string());
  }
  std::sort(entries.begin(), entries.end());
  return entries;
}

class EndSequenceTest : public WorkbenchTest {
 protected:
  void SetUp() override {
    WorkbenchTest::SetUp();
    WriteSettings(QuietSettings());
    m_session = SettingsFolder() + "case.lv";
    WriteWholeFile(m_session, "");
    ASSERT_TRUE(Start({m_session}));
    platform::FlushEvents();
    // A changed input leaves the session with unsaved changes.
    platform::SetGadgetText(String_Main_ProcmonFile, "/cases/new.csv");
  }
  // Serves one close request of the main window; true when the program ended.
  bool CloseMainWindow() {
    platform::PostEvent(platform::kEventCloseWindow, Window_Main, -1);
    try {
      for (int turn = 0; turn < 20; ++turn) {
        if (MainLoopTurn() == platform::kEventCloseWindow) return false;
      }
    } catch (const ProgramEnded& end) {
      m_exitCode = end.code;
      return true;
    }
    return false;
  }
  std::string m_session;
};

TEST_F(EndSequenceTest, TheCloseButtonAsksAboutThePendingSessionAndHonoursEachAnswer) {
  struct Case {
    int answer;
    bool ends;
    bool saved;
  } cases[] = {{platform::kResultCancel, false, false},
               {platform::kResultNo, true, false},
               {platform::kResultYes, true, true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.answer);
    platform::ClearScriptedAnswers();
    platform::ScriptMessageAnswer(c.answer);
    EXPECT_EQ(CloseMainWindow(), c.ends);
    ASSERT_EQ(platform::ShownMessages().size(), 1u);
    EXPECT_EQ(platform::ShownMessages()[0].text, "Do you want to save the current session?");
    EXPECT_EQ(ReadWholeFile(m_session).find("/cases/new.csv") != std::string::npos, c.saved);
    if (c.ends) {
      EXPECT_EQ(m_exitCode, 0);
      EXPECT_EQ(SettingsKeys()["lastsession"], m_session);
      ForgetWindows();
      ASSERT_TRUE(Start({m_session}));
      platform::FlushEvents();
      platform::SetGadgetText(String_Main_ProcmonFile, "/cases/new.csv");
      if (c.saved) platform::SetGadgetText(String_Main_ProcmonFile, "/cases/newer.csv");
    }
  }
}

TEST_F(EndSequenceTest, ExitAsksNothingAndTheFinalizersTakeThePrivateFolder) {
  const std::string privateFolder = tolvek::GetTemporaryDirectory4TolvekZubl();
  const std::string dot = tolvek::GetTempFilePath(State().files.graphFileDot);
  WriteWholeFile(dot + ".lumivex", "details");
  ASSERT_TRUE(FileExists(privateFolder));
  platform::PostEvent(platform::kEventMenu, Window_Main, -1, 0, MenuItem_Exit);
  bool ended = false;
  try {
    for (int turn = 0; turn < 20; ++turn) MainLoopTurn();
  } catch (const ProgramEnded& end) {
    ended = end.code == 0;
  }
  EXPECT_TRUE(ended);
  EXPECT_TRUE(platform::ShownMessages().empty());
  EXPECT_EQ(ReadWholeFile(m_session), "");  // the change is lost, as Exit means
  EXPECT_EQ(SettingsKeys()["lastsession"], m_session);
  EXPECT_EQ(SettingsKeys()["lastwinstate"], "0");
  EXPECT_FALSE(FileExists(dot + ".lumivex"));
  EXPECT_FALSE(FileExists(dot));
  EXPECT_FALSE(FileExists(privateFolder));
}

// The real program under another name, beside a stand-in for its follow-up that records
// how it was started.
class CrashTest : public WorkbenchTest {
 protected:
  void SetUp() override {
    WorkbenchTest::SetUp();
    WriteSettings(QuietSettings());
    m_program = m_root + "/program/";
    fs::create_directory(m_program);
    // The crashing copy is the real program under another name (a hard link where it can be).
    std::error_code linked;
    fs::create_hard_link(BinFolder() / "lumivex", m_program + "lumivex-crashing", linked);
    if (linked) fs::copy_file(BinFolder() / "lumivex", m_program + "lumivex-crashing");
    fs::create_symlink(BinFolder() / "evtweave", m_program + "evtweave");
    fs::create_symlink(START_RECORD_PATH, m_program + "lumivex");
    m_record = m_root + "/follow-up";
  }
  // Runs the crashing copy, which faults at stage; its exit code.
  int Crash(const std::string& stage) {
    tolvek::Program run;
    tolvek::ProgramOptions options;
    options.redirect = false;
    options.environment = {"LUMIVEX_TEST_FAULT=" + stage, "QT_QPA_PLATFORM=offscreen",
                           "START_RECORD=" + m_record};
    if (!tolvek::StartProgram(m_program + "lumivex-crashing", {}, m_root, run, options)) return -1;
    bool ended = tolvek::WaitProgram(run, 60000);
    if (!ended) tolvek::KillProgram(run);
    int code = tolvek::CloseProgram(run);
    return ended ? code : -1;
  }
  // The follow-up's arguments, once it has recorded them; the rest of its record in rest.
  std::vector<std::string> FollowUpArguments(std::vector<std::string>& rest) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (!FileExists(m_record) && std::chrono::steady_clock::now() < deadline) {
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    std::vector<std::string> args;
    std::istringstream lines(ReadWholeFile(m_record));
    for (std::string line; std::getline(lines, line);) {
      if (line.rfind("arg ", 0) == 0) {
        args.push_back(line.substr(4));
      } else {
        rest.push_back(line);
      }
    }
    return args;
  }
  std::string m_program, m_record;
};

// The follow-up starts as any program does: nothing blocked, nothing ignored, no terminal,
// and nothing of the crashed run's but its standard descriptors.
const std::vector<std::string> kCleanStart = {
    "SigBlk:\t0000000000000000", "SigIgn:\t0000000000000000", "stdin /dev/null", "fds 0 1 2 3"};

std::string ExpectedCrashMessage(const std::string& home, const std::string& afterTheName) {
  return "Ooops, LumiVEX crashed!\n\nWe feel very sorry for this bad experience. However, we "
         "can assure you this is not a feature, it's definitely a bug. Therefore LumiVEX has "
         "written a short error log to the file \"" +
         home + "lumivex.error\"." + afterTheName +
         "\n\nPlease share this file with us by posting a bug report in the LumiVEX forum "
         "at\n\n" +
         kForumAddress + "\n\nor send it attached to an email to\n\n" + kBugReportAddress +
         "\n\nThx a lot for your understanding and efforts.";
}

TEST_F(CrashTest, ACrashLeavesTheReportAndItsFilesAndAFreshProcessTakesOver) {
  WriteWholeFile(Home() + "lumivex.error", "an older report");
  EXPECT_EQ(Crash("loop"), 1);

  std::string report = ReadWholeFile(Home() + "lumivex.error");
  EXPECT_TRUE(std::regex_match(
      report, std::regex("LumiVEX-Build: 55\r\n"
                         "ErrorAddress\\(\\): [1-9][0-9]*\r\n"
                         "ErrorCode\\(\\): 11\r\n"
                         "ErrorFile\\(\\): crash_handler\\.cpp\r\n"
                         "ErrorLine\\(\\): [1-9][0-9]*\r\n"
                         "ErrorMessage\\(\\): Invalid memory access \\(SIGSEGV\\)\r\n"
                         "\r\n"
                         "Callstack: MainLoop\\(\\) -> MainLoopTurn\\(\\) -> FaultForTest\\(\\)\r\n"
                         "\r\n"
                         "Please share this file with us by posting a bug report in the "
                         "LumiVEX forum at\r\n"
                         "    https?://[^\r\n]+\r\n"
                         "or send it attached to an email to\r\n"
                         "    [^@\r\n]+@[^\r\n]+\r\n"
                         "Thx a lot for your understanding and efforts.\r\n")))
      << report;
  struct stat st;
  ASSERT_EQ(stat((Home() + "lumivex.error").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);

  // The follow-up was started with the crashed run's files, which are all still there, its
  // last Refresh's record and start, the folder of the lists it hands the converter, its
  // private folder and process, and the crash file as written.
  std::vector<std::string> rest;
  std::vector<std::string> args = FollowUpArguments(rest);
  EXPECT_EQ(rest, kCleanStart);
  ASSERT_EQ(args.size(), 13u);
  EXPECT_EQ(args[0], kAfterCrashArgument);
  EXPECT_EQ(args[1], SettingsFolder() + "default.lv");
  EXPECT_NE(args[7].find("/tolvek.zubl.lumivex-"), std::string::npos) << args[7];
  EXPECT_GT(std::atoll(args[8].c_str()), 0) << args[8];
  for (size_t i = 2; i < 7; ++i) {
    EXPECT_EQ(args[i].rfind(args[10], 0), 0u) << args[i];
    EXPECT_TRUE(FileExists(args[i])) << args[i];
  }
  EXPECT_EQ(args[9].rfind(args[10], 0), 0u) << args[9];
  EXPECT_NE(args[10].find("/tolvek.zubl.lumivex-"), std::string::npos) << args[10];
  EXPECT_GT(std::atoll(args[11].c_str()), 0) << args[11];
  EXPECT_EQ(args[12], Home() + "lumivex.error");

  // The fresh process: the message, then the report with the crash file in it.
  StartQuietly();
  platform::ClearScriptedAnswers();
  platform::ScriptMessageAnswer(platform::kResultOk);
  BugReportDriver driver;
  driver.Install();
  RunAfterCrash(CrashedRunFromArguments(std::vector<std::string>(args.begin() + 1, args.end())));
  platform::SetLoopHook(nullptr);
  EXPECT_FALSE(driver.gaveUp);
  ASSERT_GE(platform::ShownMessages().size(), 1u);
  EXPECT_EQ(platform::ShownMessages()[0].title, "LumiVEX");
  EXPECT_EQ(platform::ShownMessages()[0].text, ExpectedCrashMessage(Home(), ""));
  std::vector<std::string> tree = driver.Texts();
  EXPECT_NE(std::find(tree.begin(), tree.end(), "lumivex.error"), tree.end());
  EXPECT_NE(std::find(tree.begin(), tree.end(), "tempfile_lumivex.dot"), tree.end());
  const std::string archive =
      m_root + "/tmp/lumivex-bugreport-" + std::to_string(getuid()) + "/lumivex_bugreport.zip";
  std::string listing = Output("bsdtar", {"-tf", QString::fromStdString(archive)});
  EXPECT_NE(listing.find("lumivex.error\n"), std::string::npos) << listing;
  EXPECT_NE(listing.find("tempfile_lumivex.dot\n"), std::string::npos) << listing;
}

TEST_F(CrashTest, ACrashDuringTheStartUpIsToldAndReportedToo) {
  EXPECT_EQ(Crash("startup"), 1);
  EXPECT_NE(ReadWholeFile(Home() + "lumivex.error")
                .find("\r\nCallstack: StartUp() -> FaultForTest()\r\n"),
            std::string::npos);
  std::vector<std::string> rest;
  std::vector<std::string> args = FollowUpArguments(rest);
  EXPECT_EQ(rest, kCleanStart);
  ASSERT_EQ(args.size(), 13u);
  EXPECT_EQ(args[0], kAfterCrashArgument);
  EXPECT_EQ(args[1], "");  // the session is not chosen yet
  for (size_t i = 2; i < 7; ++i) EXPECT_TRUE(FileExists(args[i])) << args[i];
  EXPECT_EQ(args[12], Home() + "lumivex.error");
}

// A crash after a Refresh, with the real program's follow-up answered as a user would: the
// report packs what the crashed run used (its log, its inputs, the ignore lists it handed the
// converter with the session's rule) and only then are the crashed run's files removed. The
// work folder's usual name may be taken (each instance then works in a fresh folder beside
// it, which no start-up may take for an abandoned one while the report needs it), and
// another instance may share the folder (its files stay).
TEST_F(CrashTest, TheReportAfterACrashPacksWhatTheRunUsedThenTheRunsFilesGo) {
  std::error_code linked;
  fs::create_hard_link(BinFolder() / "workbench_instance", m_program + "workbench_instance",
                       linked);
  if (linked) fs::copy_file(BinFolder() / "workbench_instance", m_program + "workbench_instance");
  fs::remove(m_program + "lumivex");
  fs::create_symlink(AFTER_CRASH_PATH, m_program + "lumivex");
  const std::string session = SettingsFolder() + "case.lv";
  WriteWholeFile(session, "[evtweave_serverignores.session]\n192.168.56.1 = rw\n");
  // A shared temporary folder, as without a private runtime folder.
  std::vector<std::string> environment;
  for (char** variable = environ; *variable; ++variable) {
    std::string text = *variable;
    if (text.rfind("XDG_RUNTIME_DIR=", 0) != 0) environment.push_back(text);
  }
  std::vector<std::string> crashing = environment;
  crashing.push_back("LUMIVEX_TEST_FAULT=loop");
  const std::string base = m_root + "/tmp/";
  const std::string usualName = "tolvek.zubl.lumivex-" + std::to_string(geteuid());
  auto folders = [&] {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(base)) {
      std::string name = entry.path().filename();
      if (name.rfind("tolvek.zubl.", 0) == 0) names.push_back(name);
    }
    return names;
  };

  struct Case {
    const char* name;
    bool nameTaken;
    bool another;
  } cases[] = {{"alone in the usual folder", false, false},
               {"the usual name taken by another user", true, false},
               {"another instance in the folder", false, true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    if (c.nameTaken) {
      ASSERT_EQ(mkdir((base + usualName).c_str(), 0755), 0);
      if (geteuid() == 0) {
        ASSERT_EQ(chown((base + usualName).c_str(), 65534, 65534), 0);
      }
    }
    std::optional<Instance> another;
    std::string anothersDot;
    if (c.another) {
      another.emplace(session, environment);
      ASSERT_EQ(another->Line(), "ready");
      another->Send("dot");
      anothersDot = another->Line().substr(4);
    }
    Instance instance(session, crashing, m_program + "workbench_instance");
    ASSERT_EQ(instance.Line(), "ready");
    instance.Send("log " LUMIVEX_SAMPLE_LOG);
    instance.Send("refresh");
    ASSERT_EQ(instance.Until("status ").back(), "status OK");
    instance.Send("dot");
    const std::string dot = instance.Line().substr(4);
    const std::string folder = fs::path(dot).parent_path();
    EXPECT_EQ(fs::path(folder).filename() == usualName, !c.nameTaken) << folder;
    if (c.another) {
      EXPECT_EQ(fs::path(anothersDot).parent_path(), folder);
    }
    const std::string crashedFiles = "ZEMTEMP." + std::to_string(instance.Pid()) + ".";
    instance.Send("loop");

    // The follow-up writes into the crashed run's output: its end ends the output.
    std::vector<std::string> said;
    for (std::string line = instance.Line(); !line.empty(); line = instance.Line()) {
      said.push_back(line);
    }
    EXPECT_EQ(instance.Wait(), 1);
    ASSERT_EQ(said.size(), 1u);
    ASSERT_EQ(said[0].rfind("archive ", 0), 0u) << said[0];
    const std::string archive = said[0].substr(8);
    const std::string listing = Output("bsdtar", {"-tf", QString::fromStdString(archive)});
    for (const char* member :
         {"generategraph.log\n", "procmon.csv\n", "tempfile_lumivex.dot\n", "lumivex.error\n"}) {
      EXPECT_NE(listing.find(member), std::string::npos) << member << listing;
    }
    const std::string servers =
        Output("bsdtar", {"-xOf", QString::fromStdString(archive), "evtweave_serverignores.dat"});
    EXPECT_NE(servers.find("192.168.56.1\trw\r\n"), std::string::npos) << servers;

    // The crashed run's files went with the report; what another instance uses stays.
    std::vector<std::string> left = folders();
    if (c.another) {
      EXPECT_TRUE(FileExists(anothersDot));
      for (const auto& entry : fs::directory_iterator(folder)) {
        EXPECT_NE(entry.path().filename().string().rfind(crashedFiles, 0), 0u) << entry.path();
      }
      EXPECT_EQ(left, std::vector<std::string>{usualName});
      another->Send("end");
      EXPECT_EQ(another->Wait(), 0);
      EXPECT_TRUE(folders().empty());
    } else if (c.nameTaken) {
      EXPECT_EQ(left, std::vector<std::string>{usualName});
    } else {
      EXPECT_TRUE(left.empty());
    }
    fs::remove_all(base + usualName);
  }
}

// The handler could not write the crash file: the older one there describes another crash.
TEST_F(WorkbenchTest, AnUnwrittenCrashFileIsSaidSoAndAnOlderOneIsNotPacked) {
  WriteWholeFile(Home() + "lumivex.error", "an older report");
  StartQuietly();
  platform::ClearScriptedAnswers();
  platform::ScriptMessageAnswer(platform::kResultOk);
  BugReportDriver driver;
  driver.Install();
  RunAfterCrash(CrashedRunFromArguments({SettingsFolder() + "default.lv", "", "", "", "", "", ""}));
  platform::SetLoopHook(nullptr);
  EXPECT_FALSE(driver.gaveUp);
  ASSERT_GE(platform::ShownMessages().size(), 1u);
  EXPECT_EQ(platform::ShownMessages()[0].text,
            ExpectedCrashMessage(Home(), "\n\nUnfortunately this file could not be written."));
  std::vector<std::string> tree = driver.Texts();
  EXPECT_EQ(std::find(tree.begin(), tree.end(), "lumivex.error"), tree.end());
}

// An X server of the test's own, ended with the test: a display the test can take away.
class XServer {
 public:
  XServer() {
    int number[2];
    if (pipe2(number, O_CLOEXEC) != 0) return;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, number[1], 3);
    char* argv[] = {const_cast<char*>("Xvfb"), const_cast<char*>("-displayfd"),
                    const_cast<char*>("3"),    const_cast<char*>("-nolisten"),
                    const_cast<char*>("tcp"),  nullptr};
    if (posix_spawn(&m_pid, "/usr/bin/Xvfb", &actions, nullptr, argv, environ) != 0) m_pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    close(number[1]);
    char c;
    while (m_pid > 0 && read(number[0], &c, 1) == 1 && c != '\n') m_display += c;
    close(number[0]);
  }
  ~XServer() { Kill(); }
  // ":n", or "" when the server did not start.
  std::string Display() const { return m_display.empty() ? "" : ":" + m_display; }
  void Kill() {
    if (m_pid <= 0) return;
    kill(m_pid, SIGKILL);
    waitpid(m_pid, nullptr, 0);
    m_pid = -1;
  }

 private:
  pid_t m_pid = -1;
  std::string m_display;
};

// A display that goes away ends a real workbench that has drawn a graph by exit(): every file
// of the run goes along, and the work folder too unless another instance still works in it.
TEST_F(WorkbenchTest, ALostDisplayTakesTheRunsWorkFilesAlong) {
  if (!FileExists("/usr/bin/Xvfb")) GTEST_SKIP() << "no Xvfb here";
  WriteSettings(QuietSettings());
  const std::string session = SettingsFolder() + "default.lv";
  for (bool shared : {false, true}) {
    SCOPED_TRACE(shared ? "with another instance" : "alone");
    std::optional<Instance> other;
    if (shared) {
      other.emplace(session);
      ASSERT_EQ(other->Line(), "ready");
    }
    XServer server;
    ASSERT_FALSE(server.Display().empty());
    Instance instance(session,
                      EnvironmentWith({"QT_QPA_PLATFORM=xcb", "DISPLAY=" + server.Display()}));
    ASSERT_GT(instance.Pid(), 0);
    ASSERT_EQ(instance.Line(), "ready");
    instance.Send(std::string("log ") + LUMIVEX_SAMPLE_LOG);
    instance.Send("refresh");
    EXPECT_EQ(instance.Until("status ").back(), "status OK");
    instance.Send("draw");
    instance.Until("drawn");
    instance.Send("dot");
    const fs::path dot = instance.Line().substr(4);
    const fs::path folder = dot.parent_path();
    const std::string own = "ZEMTEMP." + std::to_string(instance.Pid()) + ".";
    for (const std::string& file :
         {dot.filename().string() + ".lumivex", own + "evtweave/evtweave_fileignores.dat",
          own + "evtweave/evtweave_registrykeyignores.dat",
          own + "evtweave/evtweave_serverignores.dat", own + "report/last_refresh",
          std::string("tolvek.zubl.lock")}) {
      EXPECT_TRUE(FileExists(folder / file)) << file;
    }
    std::vector<std::string> others;
    for (const std::string& entry : Entries(folder)) {
      if (entry.rfind(own, 0) != 0) others.push_back(entry);
    }
    instance.Send("loop");
    server.Kill();
    EXPECT_NE(instance.Wait(), -1);  // it ended by itself
    if (shared) {
      EXPECT_EQ(Entries(folder), others);
      EXPECT_TRUE(FileExists(folder / "tolvek.zubl.lock"));
    } else {
      EXPECT_FALSE(FileExists(folder)) << testing::PrintToString(Entries(folder));
    }
  }
}

// The instance's command for a menu item of the main window.
std::string Menu(int item) {
  return "menu " + std::to_string(item);
}

// A logout while a dialog, a requester or the image editor is open: their loops return first,
// as if cancelled, and the program then ends from its main loop as File > Exit does, without a
// crash and its follow-up.
TEST_F(WorkbenchTest, AnEndSignalInsideADialogEndsTheProgramInOrder) {
  const std::string program = m_root + "/program/";
  fs::create_directory(program);
  fs::create_symlink(BinFolder() / "evtweave", program + "evtweave");
  fs::create_symlink(START_RECORD_PATH, program + "lumivex");
  const std::string followUp = m_root + "/follow-up";
  const std::vector<std::string> environment =
      EnvironmentWith({"LUMIVEX_TEST_PROGRAM_FOLDER=" + program, "START_RECORD=" + followUp});
  struct Case {
    const char* what;
    std::vector<std::string> commands;
    std::string shown;
  } cases[] = {
      {"file dialog", {Menu(MenuItem_Open)}, "Open session from ..."},
      {"message box", {"log /cases/changed.csv", Menu(MenuItem_Open)}, "LumiVEX"},
      {"list requester", {Menu(MenuItem_SessionServers)}, "Filter Manager"},
      {"input box", {Menu(MenuItem_Find)}, "LumiVEX"},
      {"picture window", {Menu(MenuItem_Legend)}, "Graph legend ..."},
      {"about box", {Menu(MenuItem_About)}, "LumiVEX"},
      {"bug report", {Menu(MenuItem_BugReport)}, "Bugreport"},
      {"image editor",
       {std::string("log ") + LUMIVEX_SAMPLE_LOG, "refresh", "draw", Menu(MenuItem_Export)},
       "Export canvas to bitmap ..."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    fs::remove(Home() + "lumivex.error");
    fs::remove(followUp);
    WriteSettings(QuietSettings());
    const std::string session = SettingsFolder() + "open.lv";
    WriteWholeFile(session, "");
    Instance instance(session, environment);
    ASSERT_GT(instance.Pid(), 0);
    ASSERT_EQ(instance.Line(), "ready");
    instance.Send("dot");
    const std::string folder = fs::path(instance.Line().substr(4)).parent_path();
    instance.Send("dialogs");
    for (const std::string& command : c.commands) {
      instance.Send(command);
      if (command == "refresh") instance.Until("status ");
      if (command == "draw") instance.Until("drawn");
    }
    instance.Send("loop");
    instance.Until("shown " + c.shown);
    ASSERT_EQ(kill(instance.Pid(), SIGTERM), 0);
    EXPECT_EQ(instance.Wait(), 0);
    EXPECT_FALSE(FileExists(Home() + "lumivex.error")) << ReadWholeFile(Home() + "lumivex.error");
    EXPECT_FALSE(FileExists(followUp));
    EXPECT_EQ(SettingsKeys()["lastsession"], session);
    EXPECT_EQ(ReadWholeFile(session), "");  // a question left unanswered saves nothing
    EXPECT_FALSE(FileExists(folder));
  }
}

// A logout, a closed terminal and Ctrl+C end a real workbench as File > Exit does.
TEST_F(WorkbenchTest, EndSignalsEndTheProgramInOrder) {
  for (int signal : {SIGTERM, SIGHUP, SIGINT}) {
    SCOPED_TRACE(signal);
    WriteSettings(QuietSettings());
    const std::string session = SettingsFolder() + "signalled.lv";
    WriteWholeFile(session, "");
    Instance instance(session);
    ASSERT_GT(instance.Pid(), 0);
    ASSERT_EQ(instance.Line(), "ready");
    instance.Send("dot");
    const std::string dot = instance.Line().substr(4);
    ASSERT_TRUE(FileExists(dot)) << dot;
    const std::string privateFolder = fs::path(dot).parent_path();
    instance.Send("loop");
    ASSERT_EQ(kill(instance.Pid(), signal), 0);
    EXPECT_EQ(instance.Wait(), 0);
    EXPECT_EQ(SettingsKeys()["lastsession"], session);
    EXPECT_FALSE(FileExists(dot));
    EXPECT_FALSE(FileExists(privateFolder));
  }
}

}  // namespace
