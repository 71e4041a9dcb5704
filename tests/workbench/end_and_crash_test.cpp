// The two ends of the workbench: the orderly one (the pending-session question, Exit, the
// settings it leaves, the private folder it removes) and a crash of the real program, whose
// report a fresh process takes over.
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
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

namespace {

using namespace wbtest;
using namespace workbench;
namespace fs = std::filesystem;

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

// The real program, started so that its follow-up is a recording stand-in beside it: the
// crash file, the exit code and what stays on disk, then the follow-up's work in this process.
TEST_F(WorkbenchTest, ACrashLeavesTheReportAndItsFilesAndAFreshProcessTakesOver) {
  WriteSettings(QuietSettings());
  const std::string program = m_root + "/program/";
  fs::create_directory(program);
  char self[4096];
  ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
  ASSERT_GT(n, 0);
  const fs::path bin = fs::path(std::string(self, static_cast<size_t>(n))).parent_path();
  // The crashing copy is the real program under another name (a hard link where it can be).
  std::error_code linked;
  fs::create_hard_link(bin / "lumivex", program + "lumivex-crashing", linked);
  if (linked) fs::copy_file(bin / "lumivex", program + "lumivex-crashing");
  fs::create_symlink(bin / "evtweave", program + "evtweave");
  const std::string recorded = m_root + "/follow-up";
  WriteWholeFile(program + "lumivex", "#!/bin/sh\nls /proc/self/fd | tr '\\n' ' ' > '" + recorded +
                                          ".fds'\n"
                                          "for a in \"$@\"; do printf '%s\\n' \"$a\"; done > '" +
                                          recorded + ".part'\nmv '" + recorded + ".part' '" +
                                          recorded + "'\n");
  chmod((program + "lumivex").c_str(), 0755);
  WriteWholeFile(Home() + "lumivex.error", "an older report");

  tolvek::Program run;
  tolvek::ProgramOptions options;
  options.redirect = false;
  options.environment = {"LUMIVEX_TEST_FAULT=1", "QT_QPA_PLATFORM=offscreen"};
  ASSERT_TRUE(tolvek::StartProgram(program + "lumivex-crashing", {}, m_root, run, options));
  bool ended = tolvek::WaitProgram(run, 60000);
  if (!ended) tolvek::KillProgram(run);
  int code = tolvek::CloseProgram(run);
  ASSERT_TRUE(ended) << "the crashing program did not end";
  EXPECT_EQ(code, 1);

  std::string report = ReadWholeFile(Home() + "lumivex.error");
  EXPECT_TRUE(std::regex_match(
      report, std::regex("LumiVEX-Build: 55\r\n"
                         "ErrorAddress\\(\\): [1-9][0-9]*\r\n"
                         "ErrorCode\\(\\): 11\r\n"
                         "ErrorFile\\(\\): \r\n"
                         "ErrorLine\\(\\): 0\r\n"
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

  // The follow-up was started with the crashed run's files, which are all still there.
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (!FileExists(recorded) && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  // Nothing of the crashed run's reaches it but its standard descriptors (ls reads through 3).
  EXPECT_EQ(ReadWholeFile(recorded + ".fds"), "0 1 2 3 ");
  std::vector<std::string> args;
  std::istringstream lines(ReadWholeFile(recorded));
  for (std::string line; std::getline(lines, line);) args.push_back(line);
  ASSERT_EQ(args.size(), 9u);
  EXPECT_EQ(args[0], kAfterCrashArgument);
  EXPECT_EQ(args[1], SettingsFolder() + "default.lv");
  EXPECT_NE(args[7].find("/tolvek.zubl.lumivex-"), std::string::npos) << args[7];
  EXPECT_GT(std::atoll(args[8].c_str()), 0) << args[8];
  for (size_t i = 2; i < 7; ++i) {
    EXPECT_NE(args[i].find("/tolvek.zubl.lumivex-"), std::string::npos) << args[i];
    EXPECT_TRUE(FileExists(args[i])) << args[i];
  }

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
  EXPECT_EQ(platform::ShownMessages()[0].text, CrashMessage(Home()));
  EXPECT_NE(CrashMessage(Home()).find("\"" + Home() + "lumivex.error\""), std::string::npos);
  std::vector<std::string> tree = driver.Texts();
  EXPECT_NE(std::find(tree.begin(), tree.end(), "lumivex.error"), tree.end());
  EXPECT_NE(std::find(tree.begin(), tree.end(), "tempfile_lumivex.dot"), tree.end());
  const std::string archive =
      m_root + "/tmp/lumivex-bugreport-" + std::to_string(getuid()) + "/lumivex_bugreport.zip";
  std::string listing = Output("bsdtar", {"-tf", QString::fromStdString(archive)});
  EXPECT_NE(listing.find("lumivex.error\n"), std::string::npos) << listing;
  EXPECT_NE(listing.find("tempfile_lumivex.dot\n"), std::string::npos) << listing;
}

}  // namespace
