// The bug report from the Help menu and after a crash: what the archive holds, what the
// window previews, Cancel, and links planted where the archive goes.
#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "bug_report_driver.h"
#include "platform/window_system.h"
#include "tolvek/temp_files.h"
#include "tolvek/text_codec.h"
#include "workbench/bug_report.h"
#include "workbench/crash_follow_up.h"
#include "workbench/gadgets.h"
#include "workbench/stages.h"
#include "workbench/workbench_state.h"
#include "workbench_fixture.h"

namespace {

using namespace wbtest;
using namespace workbench;

std::string Lines(int count, const std::string& prefix) {
  std::string text;
  for (int i = 1; i <= count; ++i) text += prefix + std::to_string(i) + "\r\n";
  return text;
}

class BugReportTest : public WorkbenchTest {
 protected:
  void SetUp() override {
    WorkbenchTest::SetUp();
    StartQuietly();
    m_folder = m_root + "/tmp/lumivex-bugreport-" + std::to_string(getuid()) + "/";
    m_archive = m_folder + "lumivex_bugreport.zip";
  }
  void TearDown() override {
    platform::SetLoopHook(nullptr);
    WorkbenchTest::TearDown();
  }
  // Runs a report answered by the driver; the archive's members as bsdtar lists them.
  std::vector<std::string> Report(BugReportDriver& driver, bool afterCrash) {
    driver.Install();
    if (afterCrash) {
      BugReportSources sources = CurrentBugReportSources(true);
      // The fresh process has no main window.
      sources.sessionText.reset();
      sources.procmonFile.clear();
      sources.windumpFile.clear();
      sources.generationLog.clear();
      RunBugReport(sources);
    } else {
      CreateBugReport(false);
    }
    platform::SetLoopHook(nullptr);
    EXPECT_FALSE(driver.gaveUp);
    return Members();
  }
  std::vector<std::string> Members() {
    std::vector<std::string> names;
    if (!FileExists(m_archive)) return names;
    std::string listing = Output("bsdtar", {"-tvf", QString::fromStdString(m_archive)});
    size_t start = 0;
    while (start < listing.size()) {
      size_t end = listing.find('\n', start);
      std::string line = listing.substr(start, end - start);
      // "-rw-r--r--  0 0 0  123 Dec 11 06:00 name": the name is the last field.
      if (!line.empty()) names.push_back(line.substr(line.rfind(' ') + 1));
      if (end == std::string::npos) break;
      start = end + 1;
    }
    return names;
  }
  std::string Member(const std::string& name) {
    return Output("bsdtar",
                  {"-xOf", QString::fromStdString(m_archive), QString::fromStdString(name)});
  }
  std::string m_folder, m_archive;
};

TEST_F(BugReportTest, MembersAndPreviewsForTextAndBinaryCapturesFromTheMenuAndAfterACrash) {
  struct Case {
    const char* capture;
    bool afterCrash;
  } cases[] = {{"cap.TXT", false}, {"cap.pcap", false}, {"cap.TXT", true}, {"cap.pcap", true}};
  const std::string log = m_root + "/log.csv";
  WriteWholeFile(log, Lines(150, "row "));
  WriteWholeFile(Home() + "lumivex.error", "LumiVEX-Build: 55\r\n");
  // One ignore list lies in the settings folder, one where the last Refresh handed the
  // converter its lists; the third is listed but not packed.
  WriteWholeFile(SettingsFolder() + "evtweave_fileignores.dat", "ignore me\r\n");
  WriteWholeFile(SettingsFolder() + "evtweave_serverignores.dat", "stale\r\n");
  WriteWholeFile(tolvek::GetOwnTempFolder("evtweave") + "evtweave_serverignores.dat",
                 "as refreshed\r\n");
  State().generationLog = "Generation took 3 s";
  const std::string dot = tolvek::GetTempFilePath(State().files.graphFileDot);
  WriteWholeFile(dot, Lines(5, "dot "));
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.capture) + (c.afterCrash ? " after a crash" : " from the menu"));
    const std::string capture = m_root + "/" + c.capture;
    WriteWholeFile(capture, Lines(40, "packet "));
    platform::SetGadgetText(String_Main_ProcmonFile, log);
    platform::SetGadgetText(String_Main_WindumpFile, capture);
    BugReportDriver driver;
    std::vector<std::string> members = Report(driver, c.afterCrash);

    const bool text = std::string(c.capture).find("TXT") != std::string::npos;
    const std::string windump = std::string("windump.") + (text ? "TXT" : "pcap");
    std::vector<std::string> expected = {".lumivex", "session.lv", "evtweave_fileignores.dat",
                                         "evtweave_serverignores.dat"};
    if (!c.afterCrash) {
      expected.insert(expected.end(), {"generategraph.log", "procmon.csv", windump});
    }
    // The work files exist (empty) from the start on; the details file does not.
    expected.insert(expected.end(),
                    {"tempfile_lumivex.dot", "tempfile_lumivex.png", "tempfile_procmon.csv",
                     "tempfile_lumivex.txt", "tempfile_windump.txt"});
    if (c.afterCrash) expected.push_back("lumivex.error");
    expected.push_back("description.txt");
    EXPECT_EQ(members, expected);

    EXPECT_EQ(Member("description.txt"),
              "Version: 1.2 (Build 55u)\r\nOS: Linux Future\r\n"
              "Architecture: x64\r\n----\r\nIt broke.\nTwice.");
    EXPECT_EQ(Member("tempfile_lumivex.dot"), Lines(5, "dot "));
    EXPECT_EQ(Member("evtweave_serverignores.dat"), "as refreshed\r\n");
    std::vector<std::string> tree = driver.Texts();
    EXPECT_NE(std::find(tree.begin(), tree.end(), "evtweave_serverignores.dat"), tree.end());
    auto after = [&](const std::string& item) {
      return std::vector<std::string>(
          std::find(tree.begin(), tree.end(), item) + (item.empty() ? 0 : 1), tree.end());
    };
    if (!c.afterCrash) {
      EXPECT_EQ(Member("procmon.csv"), Lines(150, "row "));
      EXPECT_EQ(Member(windump), Lines(40, "packet "));
      EXPECT_EQ(Member("generategraph.log"), "Generation took 3 s");
      // The session member shows the inputs on screen, saved or not.
      EXPECT_NE(Member("session.lv").find(log), std::string::npos);
      // 150 lines: the first 100 and "..."; a 40-line capture in full, a pcap as binary.
      std::vector<std::string> csv = after("procmon.csv");
      ASSERT_GE(csv.size(), 101u);
      EXPECT_EQ(csv[0], "row 1");
      EXPECT_EQ(csv[99], "row 100");
      EXPECT_EQ(csv[100], "...");
      std::vector<std::string> cap = after(windump);
      ASSERT_FALSE(cap.empty());
      if (text) {
        EXPECT_EQ(cap[39], "packet 40");
        EXPECT_EQ(cap[40], "tempfile_lumivex.dot");
      } else {
        EXPECT_EQ(cap[0], "(Binary data)");
      }
    } else {
      EXPECT_EQ(Member("lumivex.error"), "LumiVEX-Build: 55\r\n");
      EXPECT_EQ(std::count(tree.begin(), tree.end(), "procmon.csv"), 0);
    }
    std::vector<std::string> png = after("tempfile_lumivex.png");
    ASSERT_FALSE(png.empty());
    EXPECT_EQ(png[0], "(Binary data)");
    std::vector<std::string> description = after("description.txt");
    ASSERT_EQ(description.size(), 5u);
    EXPECT_EQ(description[0], "Version: 1.2 (Build 55u)");
    EXPECT_EQ(description[4], "(The text you enter(ed) below)");
    EXPECT_TRUE(driver.confirmationSeen);
    EXPECT_TRUE(driver.confirmationAbove);
    EXPECT_NE(driver.confirmationText.find("\n\n" + m_archive + "\n\n"), std::string::npos)
        << driver.confirmationText;
    EXPECT_TRUE(platform::ShownMessages().empty());
    // Only the archive is left behind; it is the user's alone.
    struct stat st;
    ASSERT_EQ(lstat(m_archive.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
  }
}

TEST_F(BugReportTest, CancelLeavesNoArchiveBehind) {
  BugReportDriver driver;
  driver.confirm = false;
  EXPECT_TRUE(Report(driver, false).empty());
  EXPECT_FALSE(driver.confirmationSeen);
  EXPECT_FALSE(FileExists(m_archive));
  // No leftover under another name either.
  EXPECT_EQ(Output("ls", {"-A", QString::fromStdString(m_folder)}), "");

  // A second report replaces the first; one cancelled takes the earlier archive away.
  BugReportDriver first;
  first.description = "first";
  Report(first, false);
  BugReportDriver second;
  second.description = "second";
  Report(second, false);
  EXPECT_NE(Member("description.txt").find("second"), std::string::npos);
  BugReportDriver cancelled;
  cancelled.confirm = false;
  EXPECT_TRUE(Report(cancelled, false).empty());
  EXPECT_EQ(Output("ls", {"-A", QString::fromStdString(m_folder)}), "");
}

TEST_F(BugReportTest, APlantedLinkIsReplacedNeverFollowed) {
  const std::string victim = m_root + "/victim";
  WriteWholeFile(victim, "keep me");
  mkdir(m_folder.c_str(), 0700);
  ASSERT_EQ(symlink(victim.c_str(), m_archive.c_str()), 0);
  BugReportDriver driver;
  std::vector<std::string> members = Report(driver, false);
  EXPECT_EQ(ReadWholeFile(victim), "keep me");
  struct stat st;
  ASSERT_EQ(lstat(m_archive.c_str(), &st), 0);
  EXPECT_TRUE(S_ISREG(st.st_mode));
  ASSERT_FALSE(members.empty());
  EXPECT_EQ(members.back(), "description.txt");
}

// The usual folder's name taken by another user's folder, a link, a file, or the user's own
// folder that others may enter: the archive goes to a fresh folder of the user's alone, which
// the confirmation names, and nothing goes into what was there. The next report replaces the
// fresh folder as it would replace the usual folder's archive, so they never pile up.
TEST_F(BugReportTest, ATakenFolderNameGivesAFreshPrivateFolder) {
  const std::string usual = m_folder.substr(0, m_folder.size() - 1);
  const std::string elsewhere = m_root + "/elsewhere";
  struct Case {
    const char* name;
    std::function<void()> take;
  } cases[] = {
      {"a link to a folder",
       [&] {
         mkdir(elsewhere.c_str(), 0700);
         ASSERT_EQ(symlink(elsewhere.c_str(), usual.c_str()), 0);
       }},
      {"the user's own folder of mode 0755",
       [&] {
         mkdir(usual.c_str(), 0700);
         chmod(usual.c_str(), 0755);
       }},
      {"another user's open folder",
       [&] {
         mkdir(usual.c_str(), 0700);
         chmod(usual.c_str(), 0777);
         if (getuid() == 0) {
           ASSERT_EQ(chown(usual.c_str(), 65534, 65534), 0);
         }
       }},
      {"a file", [&] { WriteWholeFile(usual, "not a folder"); }},
  };
  // The folders beside the usual name.
  auto freshFolders = [&] {
    std::vector<std::string> found;
    for (const auto& entry : std::filesystem::directory_iterator(m_root + "/tmp")) {
      if (entry.path().string().rfind(usual + "-", 0) == 0) found.push_back(entry.path());
    }
    return found;
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    c.take();
    std::string fresh;
    for (int report = 1; report <= 2; ++report) {
      SCOPED_TRACE(report);
      BugReportDriver driver;
      Report(driver, false);
      EXPECT_TRUE(platform::ShownMessages().empty());
      ASSERT_TRUE(driver.confirmationSeen);
      const std::string& text = driver.confirmationText;
      const std::string before = "Please send the file \n\n";
      size_t at = text.find(before);
      ASSERT_NE(at, std::string::npos) << text;
      at += before.size();
      const std::string archive = text.substr(at, text.find("\n\nto ", at) - at);
      EXPECT_EQ(archive.rfind(usual + "-", 0), 0u) << archive;
      fresh = archive.substr(0, archive.rfind('/'));
      struct stat st;
      ASSERT_EQ(lstat(fresh.c_str(), &st), 0);
      EXPECT_TRUE(S_ISDIR(st.st_mode));
      EXPECT_EQ(st.st_mode & 0777, 0700u);
      EXPECT_EQ(st.st_uid, getuid());
      EXPECT_TRUE(FileExists(archive)) << archive;
      EXPECT_EQ(freshFolders(), std::vector<std::string>{fresh});
      // What had the name is as it was.
      if (lstat(usual.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
        EXPECT_EQ(Output("ls", {"-A", QString::fromStdString(usual)}), "");
      }
      EXPECT_EQ(Output("ls", {"-A", QString::fromStdString(elsewhere)}), "");
    }
    // A cancelled report takes the earlier one away, as it does in the usual folder.
    BugReportDriver cancelled;
    cancelled.confirm = false;
    Report(cancelled, false);
    EXPECT_TRUE(freshFolders().empty());
    std::filesystem::remove_all(fresh);
    std::filesystem::remove_all(usual);
  }
}

// However long the archive's path, the confirmation shows it whole: every character lies
// inside the text area, none is reached only by scrolling sideways.
TEST_F(BugReportTest, TheConfirmationShowsALongArchivePathWhole) {
  const std::string deep = m_root + "/tmp/" + std::string(120, 'd');
  ASSERT_EQ(mkdir(deep.c_str(), 0700), 0);
  SetEnv("TMPDIR", deep);
  BugReportDriver driver;
  Report(driver, false);
  ASSERT_TRUE(driver.confirmationSeen);
  const std::string archive =
      deep + "/lumivex-bugreport-" + std::to_string(getuid()) + "/lumivex_bugreport.zip";
  EXPECT_NE(driver.confirmationText.find(archive), std::string::npos);
  EXPECT_GT(driver.confirmationTextWidth, 0);
  EXPECT_LE(driver.confirmationRightmost, driver.confirmationTextWidth);
}

// A Refresh whose dot fails after writing part of its layout: the report packs that run's
// own DOT, details and layout with the log that names them, not the shown graph's files,
// which stay as they were; the next good Refresh takes the failed run's files away.
TEST_F(BugReportTest, AFailedRefreshIsReportedWithItsOwnFilesAndLog) {
  platform::SetGadgetText(String_Main_ProcmonFile, LUMIVEX_SAMPLE_LOG);
  platform::SetGadgetState(Checkbox_Main_ModeDumb, 1);
  GenerateGraph();
  ASSERT_EQ(platform::GetGadgetText(Text_Main_Status), "OK");
  const std::string shownDot = tolvek::GetTempFilePath(State().files.graphFileDot);
  const std::string dot = ReadWholeFile(shownDot);
  const std::string details = ReadWholeFile(shownDot + ".lumivex");
  const std::string plain = ReadWholeFile(tolvek::GetTempFilePath(State().files.graphFileTxt));

  const std::string failing = m_root + "/failing-dot";
  WriteWholeFile(failing,
                 "#!/bin/sh\nfor a; do case \"$a\" in -o*) echo 'graph 1 2' > \"${a#-o}\";; "
                 "esac; done\necho 'Error: out of memory' >&2\nexit 1\n");
  chmod(failing.c_str(), 0700);
  State().options.dotExecutable = failing;
  platform::SetGadgetState(Checkbox_Main_ModeDumb, 0);
  platform::ScriptMessageAnswer(platform::kResultOk);
  GenerateGraph();
  ASSERT_EQ(platform::GetGadgetText(Text_Main_Status), "Error!");
  const std::string runDot = tolvek::GetTempFilePath(State().unshownRun.dot);
  ASSERT_FALSE(runDot.empty());

  BugReportDriver driver;
  std::vector<std::string> members = Report(driver, false);
  EXPECT_EQ(std::count(members.begin(), members.end(), "tempfile_lumivex.png"), 0);
  const std::string packedDot = Member("tempfile_lumivex.dot");
  EXPECT_FALSE(packedDot.empty());
  EXPECT_TRUE(packedDot == ReadWholeFile(runDot));
  EXPECT_FALSE(packedDot == dot);
  EXPECT_TRUE(Member("tempfile_lumivex.dot.lumivex") == ReadWholeFile(runDot + ".lumivex"));
  EXPECT_FALSE(Member("tempfile_lumivex.dot.lumivex") == details);
  EXPECT_EQ(Member("tempfile_lumivex.txt"), "graph 1 2\n");
  const std::string log = Member("generategraph.log");
  EXPECT_NE(log.find(runDot), std::string::npos);
  EXPECT_NE(log.find("Error: dot failed with exit code 1!"), std::string::npos);
  // The shown graph keeps its files.
  EXPECT_TRUE(ReadWholeFile(shownDot) == dot);
  EXPECT_TRUE(ReadWholeFile(shownDot + ".lumivex") == details);
  EXPECT_TRUE(ReadWholeFile(tolvek::GetTempFilePath(State().files.graphFileTxt)) == plain);

  State().options.dotExecutable = "/usr/bin/dot";
  GenerateGraph();
  ASSERT_EQ(platform::GetGadgetText(Text_Main_Status), "OK");
  EXPECT_EQ(State().unshownRun.dot, 0);
  EXPECT_FALSE(FileExists(runDot));
  EXPECT_FALSE(FileExists(runDot + ".lumivex"));
}

// After a crash the fresh process packs the inputs and the log of the crashed run's last
// Refresh (not what was typed after it), and the crash file only when this crash wrote it.
TEST_F(BugReportTest, AfterACrashTheLastRefreshsInputsAndLogAndOnlyThisCrashsFileArePacked) {
  const std::string capture = m_root + "/cap.txt";
  WriteWholeFile(capture, Lines(3, "packet "));
  platform::SetGadgetText(String_Main_ProcmonFile, LUMIVEX_SAMPLE_LOG);
  platform::SetGadgetText(String_Main_WindumpFile, capture);
  GenerateGraph();
  ASSERT_EQ(platform::GetGadgetText(Text_Main_Status), "OK");
  const std::string log = State().generationLog;
  ASSERT_FALSE(log.empty());
  platform::SetGadgetText(String_Main_ProcmonFile, m_root + "/typed-later.csv");
  const std::string crashFile = Home() + "lumivex.error";
  // The handler adds the crash file it wrote to what the workbench armed.
  std::vector<std::string> arguments = CrashedRunArguments(CurrentCrashedRun());
  arguments.push_back(crashFile);
  const CrashedRun run = CrashedRunFromArguments(arguments);
  struct Case {
    const char* what;
    bool thisCrash;
  } cases[] = {{"this crash's file", true}, {"an earlier crash's file", false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    WriteWholeFile(crashFile, "LumiVEX-Build: 55\r\n");
    if (!c.thisCrash) {
      struct timeval old[2] = {{ProcessStartTime() - 3600, 0}, {ProcessStartTime() - 3600, 0}};
      ASSERT_EQ(utimes(crashFile.c_str(), old), 0);
    }
    platform::ScriptMessageAnswer(platform::kResultOk);  // the crash message
    BugReportDriver driver;
    driver.Install();
    RunAfterCrash(run);
    platform::SetLoopHook(nullptr);
    EXPECT_FALSE(driver.gaveUp);
    std::vector<std::string> members = Members();
    auto has = [&](const char* name) {
      return std::find(members.begin(), members.end(), name) != members.end();
    };
    EXPECT_TRUE(has("generategraph.log"));
    EXPECT_EQ(Member("generategraph.log"), tolvek::Utf8ToAnsi(log));
    EXPECT_TRUE(has("procmon.csv"));
    EXPECT_TRUE(has("windump.txt"));
    EXPECT_EQ(Member("windump.txt"), Lines(3, "packet "));
    EXPECT_NE(Member("session.lv").find(LUMIVEX_SAMPLE_LOG), std::string::npos);
    EXPECT_EQ(Member("session.lv").find("typed-later"), std::string::npos);
    EXPECT_EQ(has("lumivex.error"), c.thisCrash);
  }
}

TEST(BugReportPreview, LineEndsEncodingsAndLimits) {
  char pattern[] = "/tmp/lumivex-preview-XXXXXX";
  ASSERT_NE(mkdtemp(pattern), nullptr);
  const std::string dir = pattern;
  struct Case {
    std::string bytes;
    int maxLines;
    std::vector<std::string> lines;
  } cases[] = {
      {"a\r\nb\n\rc\rd\ne", -1, {"a", "b", "c", "d", "e"}},
      {"\xEF\xBB\xBFutf8 \xC3\xA4\r\n", -1, {"utf8 \xC3\xA4"}},
      {"ansi \xE4\r\n", -1, {"ansi \xC3\xA4"}},
      {std::string("\xFF\xFEx\0\r\0\n\0y\0", 10), -1, {"x", "y"}},
      {"1\n2\n3\n", 3, {"1", "2", "3", "..."}},
      {"1\n2\n", 3, {"1", "2"}},
      {"", 100, {}},
      {"anything", 0, {"(Binary data)"}},
  };
  for (const Case& c : cases) {
    WriteWholeFile(dir + "/f", c.bytes);
    std::string note = c.maxLines == 0 ? "(Binary data)" : "...";
    EXPECT_EQ(FilePreview(dir + "/f", c.maxLines, note), c.lines) << c.bytes;
  }
  // A FIFO would block a reader: it is no file to preview.
  ASSERT_EQ(mkfifo((dir + "/fifo").c_str(), 0600), 0);
  EXPECT_TRUE(FilePreview(dir + "/fifo", 100, "...").empty());
  unlink((dir + "/fifo").c_str());
  unlink((dir + "/f").c_str());
  rmdir(dir.c_str());
}

}  // namespace
