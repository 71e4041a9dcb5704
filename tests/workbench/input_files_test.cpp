// The input buttons driven as the analyst drives them: the file dialogs, and the launcher
// picked from the processes of the bundled sample and of the largest real log, carried by the
// next Refresh into the converter's copy of the log.
#include <sys/stat.h>

#include <QApplication>
#include <chrono>
#include <set>
#include <string>
#include <vector>

#include "fifo_releaser.h"
#include "graphview/graph_inputs.h"
#include "gui/wait_requester.h"
#include "pick_list_driver.h"
#include "platform/window_system.h"
#include "tolvek/process.h"
#include "tolvek/temp_files.h"
#include "workbench/gadgets.h"
#include "workbench/main_loop.h"
#include "workbench/stages.h"
#include "workbench/workbench_state.h"
#include "workbench_fixture.h"

namespace {

using namespace wbtest;
using namespace workbench;

const std::string kList = "LumiVEX";

class InputFilesTest : public WorkbenchTest {
 protected:
  void SetUp() override {
    WorkbenchTest::SetUp();
    StartQuietly();
  }
  static void Click(int gadget) {
    platform::PostEvent(platform::kEventGadget, Window_Main, gadget);
    do {
      MainLoopTurn();
    } while (platform::QueuedEventCount() > 0);
  }
  static std::string Title() { return platform::GetWindowTitle(Window_Main); }
  static std::string Launcher() { return platform::GetGadgetText(String_Main_Launcher); }
  // Opens the launcher list on the log and answers it with the steps.
  static void PickLauncher(const std::string& log, std::vector<guitest::Script::Step> steps) {
    platform::SetGadgetText(String_Main_ProcmonFile, log);
    steps.insert(steps.begin(), [] { return PickListOpen(kList); });
    guitest::Script script(std::move(steps), kList);
    Click(Button_Main_Launcher);
    EXPECT_TRUE(script.Finished());
    EXPECT_TRUE(platform::IsWindowEnabled(Window_Main));
  }
  static void Refresh() {
    platform::ScriptMessageAnswer(platform::kResultOk);
    GenerateGraph();
    ASSERT_EQ(platform::GetGadgetText(Text_Main_Status), "OK") << State().generationLog;
  }
  static std::string Copy() {
    return ReadWholeFile(tolvek::GetTempFilePath(State().files.tempProcmonCsv));
  }
};

// A cancelled dialog answers "", which no one chose: the field keeps its path.
TEST_F(InputFilesTest, TheFileButtonsPutTheChosenFileIntoTheirFieldAndACancelKeepsIt) {
  const struct {
    int button, field;
    const char* title;
  } kCases[] = {
      {Button_Main_ProcmonFile, String_Main_ProcmonFile,
       "Select a procmon.csv file to work with ..."},
      {Button_Main_WindumpFile, String_Main_WindumpFile,
       "Select a windump.txt file to work with ..."},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.title);
    platform::ClearScriptedAnswers();
    platform::SetGadgetText(c.field, "/old/path");
    platform::ScriptFileAnswer("/cases/new file.csv");
    Click(c.button);
    EXPECT_EQ(platform::GetGadgetText(c.field), "/cases/new file.csv");
    ASSERT_EQ(platform::ShownMessages().size(), 1u);
    EXPECT_EQ(platform::ShownMessages()[0].title, c.title);
    EXPECT_EQ(platform::ShownMessages()[0].text, "/old/path");
    EXPECT_EQ(Title().back(), '*');
    platform::ScriptFileAnswer("");
    Click(c.button);
    EXPECT_EQ(platform::GetGadgetText(c.field), "/cases/new file.csv");
  }
}

TEST_F(InputFilesTest, TheSampleListsItsProcessesAndTheChosenOneReachesTheConverter) {
  const std::string sample = ReadWholeFile(LUMIVEX_SAMPLE_LOG);
  auto at = [&](const std::string& text) {
    size_t found = sample.find(text);
    return std::to_string(sample.rfind("\r\n", found) + 2);
  };
  const std::string invoice = at("\"invoice_0419.exe\",\"3120\",\"Process Start\"");
  const std::string cmd = at("\"cmd.exe\",\"3512\",\"Process Start\"");
  std::vector<std::string> rows;
  bool mainEnabled = true;
  PickLauncher(LUMIVEX_SAMPLE_LOG, {guitest::Do([&] {
                 rows = PickListRows(kList);
                 mainEnabled = platform::IsWindowEnabled(Window_Main);
                 DoubleClickRow(kList, 1);
               })});
  EXPECT_FALSE(mainEnabled);
  ASSERT_GE(rows.size(), 4u);
  EXPECT_EQ(rows[0], "||");
  EXPECT_EQ(rows[1], invoice + "|3120|invoice_0419.exe");
  EXPECT_EQ(rows[2], cmd + "|3512|cmd.exe");
  // Then every process seen before its start (or without one), once, at its first record.
  std::set<std::string> running;
  for (size_t r = 3; r < rows.size(); ++r) {
    std::string pair = rows[r].substr(rows[r].find('|'));
    EXPECT_TRUE(running.insert(pair).second) << rows[r];
    EXPECT_NE(pair, "|3120|invoice_0419.exe");
  }
  EXPECT_TRUE(running.count("|2412|Explorer.EXE"));
  EXPECT_EQ(Launcher(), invoice + "|3120|invoice_0419.exe");
  EXPECT_EQ(Title().back(), '*');

  Refresh();
  EXPECT_EQ(Copy(), graphview::BuildLauncherCopy(sample, Launcher()).bytes);
  EXPECT_NE(State().generationLog.find("Launcher found: PID 3120"), std::string::npos);

  // Opened again, the chosen row is selected; the empty row clears the launcher, a cancelled
  // list keeps it.
  int selected = -1;
  PickLauncher(LUMIVEX_SAMPLE_LOG, {guitest::Do([&] {
                 int list = PickListGadget(kList);
                 for (int r = 0; r < platform::CountGadgetItems(list); ++r) {
                   if (platform::GetGadgetItemState(list, r) & platform::kItemSelected)
                     selected = r;
                 }
                 ClosePickList(kList);
               })});
  EXPECT_EQ(selected, 1);
  EXPECT_EQ(Launcher(), invoice + "|3120|invoice_0419.exe");
  PickLauncher(LUMIVEX_SAMPLE_LOG, {guitest::Do([] { DoubleClickRow(kList, 0); })});
  EXPECT_EQ(Launcher(), "");
}

// Process names are the log's: markup, bars, backslashes and characters that hide or turn
// text are listed as they are, never as the list's styles, and the chosen one comes back whole.
TEST_F(InputFilesTest, HostileProcessNamesAreListedLiterally) {
  const std::string header =
      "\xEF\xBB\xBF\"Time of Day\",\"Process "
      "Name\",\"PID\",\"Operation\",\"Path\",\"Result\",\"Detail\","
      "\"TID\"\r\n";
  const std::vector<std::string> names = {"{color:white}evil.exe", "a|b\\|c{d",
                                          "{{color:white}}ghost.exe", "invoice\u202Eexe.txt",
                                          "bell\x07"
                                          "esc\x1B"
                                          ".exe"};
  const std::vector<std::string> shown = {"{color:white}evil.exe", "a|b\\|c{d",
                                          "{{color:white}}ghost.exe", "invoice_0x202E_exe.txt",
                                          "bell_0x07_esc_0x1B_.exe"};
  std::string log = header;
  for (size_t i = 0; i < names.size(); ++i) {
    log += "\"10:00:00\",\"" + names[i] + "\",\"" + std::to_string(10 + i) +
           "\",\"Process Start\",\"\",\"SUCCESS\",\"\",\"1\"\r\n";
  }
  const std::string path = m_root + "/hostile.csv";
  WriteWholeFile(path, log);
  std::vector<std::string> rows;
  PickLauncher(path, {guitest::Do([&] {
                 rows = PickListRows(kList);
                 DoubleClickRow(kList, 2);
               })});
  ASSERT_EQ(rows.size(), names.size() + 1);
  for (size_t i = 0; i < names.size(); ++i) {
    const std::string& row = rows[i + 1];
    EXPECT_EQ(row.substr(row.find('|')), "|" + std::to_string(10 + i) + "|" + shown[i]);
  }
  // The answer holds the cells with their bars and backslashes escaped.
  EXPECT_EQ(Launcher().substr(Launcher().find('|')), "|11|a\\|b\\\\\\|c{d");
}

TEST_F(InputFilesTest, LogsThatCannotBeScanned) {
  const std::string noTid = m_root + "/no_tid.csv";
  WriteWholeFile(noTid,
                 "\"Time of Day\",\"Process Name\",\"PID\",\"Operation\",\"Path\","
                 "\"Result\",\"Detail\"\r\n\"1\",\"a.exe\",\"1\",\"x\",\"\",\"\",\"\"\r\n");
  const std::string empty = m_root + "/empty.csv";
  WriteWholeFile(empty, "");
  const std::string folder = m_root + "/folder.csv";
  mkdir(folder.c_str(), 0700);
  // Anyone may leave a FIFO where a session names the log; opening it must not wait.
  const std::string fifo = m_root + "/fifo.csv";
  FifoReleaser releaser(fifo);
  const struct {
    std::string log, message;
  } kCases[] = {
      {m_root + "/missing.csv", ""},
      {empty, ""},
      {noTid,
       "Procmon file has an unknown format!\nDid you pre-configure Procmon as mentioned in our "
       "installation guide in the readme?"},
      {folder, "Could not read Procmon file!"},
      {fifo, "Could not read Procmon file!"},
      {"/dev/zero", "Could not read Procmon file!"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.log);
    platform::ClearScriptedAnswers();
    platform::ScriptMessageAnswer(platform::kResultOk);
    platform::SetGadgetText(String_Main_Launcher, "12|3|kept.exe");
    platform::SetGadgetText(String_Main_ProcmonFile, c.log);
    Click(Button_Main_Launcher);
    EXPECT_FALSE(releaser.Released()) << "the scan waited on the FIFO";
    EXPECT_EQ(Launcher(), "12|3|kept.exe");
    EXPECT_TRUE(platform::IsWindowEnabled(Window_Main));
    std::vector<platform::ShownMessage> shown = platform::ShownMessages();
    if (c.message.empty()) {
      EXPECT_TRUE(shown.empty());
    } else {
      ASSERT_EQ(shown.size(), 1u);
      EXPECT_EQ(shown[0].text, c.message);
    }
  }
}

// The largest real log: its process starts listed where they stand, the scan's Cancel, and a
// chosen row carried into the converter's copy.
TEST_F(InputFilesTest, TheLargestRealLog) {
  const std::string gz = LUMIVEX_SHARED_DATA "/procmon/CompressedLogfileTests64bitUTC.csv.gz";
  if (!FileExists(gz)) GTEST_SKIP() << "no real log at " << gz;
  const std::string log = m_root + "/real.csv";
  tolvek::Program gunzip;
  ASSERT_TRUE(
      tolvek::StartProgram("/bin/sh", {"-c", "gzip -dc \"$0\" > \"$1\"", gz, log}, "", gunzip));
  ASSERT_EQ(tolvek::CloseProgram(gunzip), 0);
  const std::string bytes = ReadWholeFile(log);

  // Cancel in the wait window: no list, the launcher kept.
  platform::SetGadgetText(String_Main_Launcher, "kept");
  platform::SetGadgetText(String_Main_ProcmonFile, log);
  {
    guitest::Script script(
        {[] { return gui::detail::WaitRequesterParts().cancelButton != 0; }, guitest::Do([] {
           auto parts = gui::detail::WaitRequesterParts();
           platform::PostEvent(platform::kEventGadget, parts.window, parts.cancelButton);
         })});
    Click(Button_Main_Launcher);
    EXPECT_TRUE(script.Finished());
  }
  EXPECT_EQ(Launcher(), "kept");
  EXPECT_TRUE(platform::IsWindowEnabled(Window_Main));

  std::vector<std::string> rows;
  auto started = std::chrono::steady_clock::now();
  double seconds = 0;
  PickLauncher(
      log, {guitest::Do([&] {
        seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
        rows = PickListRows(kList);
        DoubleClickRow(kList, 1);
      })});
  std::printf("launcher scan of %zu bytes: %.2f s, %zu rows\n", bytes.size(), seconds, rows.size());
  size_t starts = 0;
  for (size_t at = 0; (at = bytes.find("\"Process Start\"", at)) != std::string::npos; ++at) {
    ++starts;
  }
  ASSERT_GT(rows.size(), starts + 1);
  // Each started row points at the first byte of its "Process Start" record.
  for (size_t r = 1; r <= starts; ++r) {
    std::vector<std::string> cells = {rows[r].substr(0, rows[r].find('|'))};
    size_t position = std::stoul(cells[0]);
    std::string record = bytes.substr(position, bytes.find("\r\n", position) - position);
    EXPECT_EQ(bytes.substr(position - 2, 2), "\r\n");
    EXPECT_NE(record.find("\"Process Start\""), std::string::npos) << record;
    std::string rest = rows[r].substr(rows[r].find('|') + 1);
    std::string pid = rest.substr(0, rest.find('|'));
    std::string name = rest.substr(rest.find('|') + 1);
    EXPECT_NE(record.find("\"" + name + "\",\"" + pid + "\""), std::string::npos) << record;
  }
  EXPECT_EQ(Launcher(), rows[1]);

  Refresh();
  EXPECT_EQ(Copy(), graphview::BuildLauncherCopy(bytes, Launcher()).bytes);
  std::string pid = rows[1].substr(rows[1].find('|') + 1);
  pid = pid.substr(0, pid.find('|'));
  EXPECT_NE(State().generationLog.find("Launcher found: PID " + pid), std::string::npos)
      << State().generationLog;
}

}  // namespace
