// Refresh on real inputs through the real converter, dot and tcpdump, and the ways a
// generation can fail or be cancelled.
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QApplication>
#include <QImage>
#include <QWidget>
#include <chrono>
#include <filesystem>
#include <functional>
#include <regex>
#include <set>
#include <string>
#include <thread>

#include "fifo_releaser.h"
#include "file_size_limit.h"
#include "graphview/graph_drawing.h"
#include "graphview/graph_inputs.h"
#include "graphview/graph_model.h"
#include "gui/wait_requester.h"
#include "platform/window_system.h"
#include "process_state.h"
#include "tall_graph_log.h"
#include "tolvek/process.h"
#include "tolvek/temp_files.h"
#include "tolvek/text_codec.h"
#include "tolvek/text_utils.h"
#include "workbench/gadgets.h"
#include "workbench/main_loop.h"
#include "workbench/stages.h"
#include "workbench/startup.h"
#include "workbench/workbench_state.h"
#include "workbench_fixture.h"

namespace {

using namespace wbtest;
using namespace workbench;

const std::string kSampleCapture = LUMIVEX_SOURCE_DIR "/resources/sample_capture.txt";

class GenerationTest : public WorkbenchTest {
 protected:
  void StartWith(std::map<std::string, std::string> changes = {}) {
    auto settings = QuietSettings();
    for (const auto& [key, value] : changes) settings[key] = value;
    WriteSettings(settings);
    // Changed tool paths may be reported missing at start.
    platform::ScriptMessageAnswer(platform::kResultOk);
    ASSERT_TRUE(Start());
    QApplication::processEvents();
    platform::FlushEvents();
    platform::ClearScriptedAnswers();
    // A failure's message box is answered, never waited on.
    platform::ScriptMessageAnswer(platform::kResultOk);
  }
  void Inputs(const std::string& log, const std::string& capture = "") {
    platform::SetGadgetText(String_Main_ProcmonFile, log);
    platform::SetGadgetText(String_Main_WindumpFile, capture);
  }
  std::string Status() { return platform::GetGadgetText(Text_Main_Status); }
  std::string LastMessage() {
    auto shown = platform::ShownMessages();
    return shown.empty() ? "" : shown.back().text;
  }
  // A stand-in program at path.
  void Script(const std::string& path, const std::string& body) {
    WriteWholeFile(path, "#!/bin/sh\n" + body);
    chmod(path.c_str(), 0700);
  }
  // The sample without its launcher rows, written as a file of its own; rows receives where
  // they stood (where the sample's own process start now begins).
  std::string SampleWithoutLauncherRows(size_t& rows) {
    std::string sample = ReadWholeFile(LUMIVEX_SAMPLE_LOG);
    rows = sample.find("\"\",\"\",\"\",\"\",\"KALVO_EXECUTES_SAMPLE_kalvo.bat\"");
    EXPECT_NE(rows, std::string::npos);
    size_t after = sample.find("\r\n", sample.find("Command line: invoice_0419.exe")) + 2;
    const std::string log = m_root + "/without_launcher.csv";
    WriteWholeFile(log, sample.substr(0, rows) + sample.substr(after));
    return log;
  }
  // Clicks the wait window's Cancel once ready() says so.
  void CancelWhen(std::function<bool()> ready) {
    platform::SetLoopHook([this, ready] {
      auto parts = gui::detail::WaitRequesterParts();
      if (!m_cancelled && parts.cancelButton && ready()) {
        platform::PostEvent(platform::kEventGadget, parts.window, parts.cancelButton);
        m_cancelled = true;
      }
    });
  }
  bool m_cancelled = false;
};

TEST_F(GenerationTest, TheSampleWithItsCaptureBecomesTheGraph) {
  StartWith();
  Inputs(LUMIVEX_SAMPLE_LOG, kSampleCapture);
  GenerateGraph();
  ASSERT_EQ(Status(), "OK") << State().generationLog;
  EXPECT_TRUE(platform::IsWindowEnabled(Window_Main));
  EXPECT_TRUE(platform::ShownMessages().empty());
  const graphview::GraphModel& g = State().graph;
  ASSERT_FALSE(g.layout.nodes.empty());
  for (const char* prefix : {"PROCESS:", "THREAD:", "FILE:", "REGISTRYKEY:", "SERVER:"}) {
    EXPECT_TRUE(NodePrefixes().count(prefix)) << prefix;
  }
  for (const auto& node : g.layout.nodes) {
    EXPECT_GT(node.width, 0) << node.name;
    EXPECT_GT(node.height, 0) << node.name;
  }
  EXPECT_FALSE(g.layout.edges.empty());
  ASSERT_FALSE(g.Frames.empty());
  // Each timeline mode shows at most what the next wider one shows; "All events" shows all.
  graphview::GraphModel& model = State().graph;
  int64_t shown[4] = {};
  for (int8_t mode : {1, 2, 3}) {
    model.TimelineMode = mode;
    shown[mode] = graphview::CountVisibleFrames(model);
  }
  model.TimelineMode = 3;
  EXPECT_EQ(shown[3], static_cast<int64_t>(g.Frames.size()));
  EXPECT_GT(shown[1], 0);
  EXPECT_LE(shown[1], shown[2]);
  EXPECT_LE(shown[2], shown[3]);
  // The converter's own lines reached the log.
  EXPECT_NE(State().generationLog.find("Mode: lumivex"), std::string::npos);
  EXPECT_NE(State().generationLog.find("----------------- evtweave"), std::string::npos);
  EXPECT_NE(State().generationLog.find("Done."), std::string::npos) << State().generationLog;
  EXPECT_NE(State().generationLog.find("----------------- dot (plain)"), std::string::npos);
}

// The launcher chosen in the main window reaches the run: the converter reads a copy with the
// launcher's rows restored and follows the sample from there.
TEST_F(GenerationTest, TheConverterFollowsTheChosenLauncher) {
  std::string sample = ReadWholeFile(LUMIVEX_SAMPLE_LOG);
  size_t rows = 0;
  const std::string log = SampleWithoutLauncherRows(rows);
  StartWith();
  Inputs(log);
  platform::SetGadgetText(String_Main_Launcher, std::to_string(rows) + "|3120|invoice_0419.exe");
  GenerateGraph();
  ASSERT_EQ(Status(), "OK") << State().generationLog;
  std::string copy = tolvek::GetTempFilePath(State().files.tempProcmonCsv);
  EXPECT_EQ(ReadWholeFile(copy), sample);
  EXPECT_NE(State().generationLog.find("\"" + copy + "\""), std::string::npos);
  EXPECT_NE(State().generationLog.find("Launcher found: PID 3120"), std::string::npos)
      << State().generationLog;
  bool launched = false;
  for (const auto& node : State().graph.layout.nodes) {
    launched = launched || std::string(node.name).rfind("PROCESS:3120-", 0) == 0;
  }
  EXPECT_TRUE(launched);
}

// The edges drawn, each as tail, label and head, with the counters of created processes
// and threads left out: two runs that create a process more on the way draw the same graph.
std::multiset<std::string> DrawnEdges() {
  static const std::regex created("-n[0-9]+");
  std::multiset<std::string> edges;
  for (const graphview::GraphEdge& e : State().graph.layout.edges) {
    edges.insert(std::regex_replace(
        std::string(e.tail) + " -" + std::string(e.label) + "-> " + std::string(e.head), created,
        "-n"));
  }
  return edges;
}

// The sample as the monitor exports it, with its own start chosen as the launcher (the session
// scripts/sample.sh opens on a desktop), draws the graph of the sample with the launcher rows
// already in it; so does that log with the launcher chosen again, its rows then twice. A
// session rule on the Run key takes that key away and nothing else.
TEST_F(GenerationTest, TheExportedSampleWithItsLauncherDrawsTheSamplesGraph) {
  const std::string exported = LUMIVEX_EXPORTED_SAMPLE;
  ASSERT_EQ(ReadWholeFile(exported).find("KALVO_EXECUTES_SAMPLE"), std::string::npos);
  // The sample's own start in a log, as the launcher list offers it.
  auto launcherIn = [](const std::string& log) {
    const std::string bytes = ReadWholeFile(log);
    const size_t start =
        bytes.rfind("\r\n", bytes.find("\"invoice_0419.exe\",\"3120\",\"Process Start\"")) + 2;
    return std::to_string(start) + "|3120|invoice_0419.exe";
  };
  // The rule as the add-filter dialog stores it, and the key's node id (its DOT form).
  const std::string runKey =
      "hkcu\\software\\microsoft\\windows\\currentversion\\run\\winupdatehelper";
  const std::string runKeyNode = "REGISTRYKEY:" + tolvek::ReplaceAll(runKey, "\\", "\\\\");
  const std::string dropped =
      "FILE:c:\\\\users\\\\bob\\\\appdata\\\\roaming\\\\winupdate\\\\"
      "wuauhelper.exe";
  StartWith();
  for (const bool rule : {false, true}) {
    SCOPED_TRACE(rule ? "with the Run key filtered" : "without rules");
    WriteWholeFile(State().sessionFile,
                   rule ? "[evtweave_registrykeyignores.session]\n" + runKey + " = rw\n" : "");
    Inputs(LUMIVEX_SAMPLE_LOG, kSampleCapture);
    platform::SetGadgetText(String_Main_Launcher, "");
    GenerateGraph();
    ASSERT_EQ(Status(), "OK") << State().generationLog;
    const std::multiset<std::string> full = DrawnEdges();
    EXPECT_EQ(full.count("THREAD:3120-n:3124-n -create file-> " + dropped), 1u);
    EXPECT_EQ(full.count("THREAD:3120-n:3124-n -loads-> "
                         "FILE:c:\\\\users\\\\bob\\\\downloads\\\\invoice_0419.exe"),
              1u);
    EXPECT_EQ(State().graph.layout.FindNode(runKeyNode) == nullptr, rule);

    for (const std::string& log : {exported, std::string(LUMIVEX_SAMPLE_LOG)}) {
      SCOPED_TRACE(log);
      Inputs(log, kSampleCapture);
      platform::SetGadgetText(String_Main_Launcher, launcherIn(log));
      GenerateGraph();
      ASSERT_EQ(Status(), "OK") << State().generationLog;
      const std::string& said = State().generationLog;
      EXPECT_EQ(said.find("Launcher found: PID "), said.rfind("Launcher found: PID ")) << said;
      EXPECT_EQ(DrawnEdges(), full) << said;
      EXPECT_NE(State().graph.layout.FindNode(dropped), nullptr);
    }
  }
}

// The copy is written from the part of the log before the record, the rows and the rest of
// the file; it must equal the copy made from the whole log in memory, whatever the encoding
// (an ANSI log is told from UTF-8 only by bytes after the record).
TEST_F(GenerationTest, TheLauncherCopyOnDiskIsTheWholeCopy) {
  const std::string header =
      "\"Time of Day\",\"Process Name\",\"PID\",\"Operation\",\"Path\",\"Result\","
      "\"Detail\",\"TID\"\r\n";
  const std::string record = "\"1:00:00\",\"a.exe\",\"7\",\"x\",\"\",\"\",\"\",\"8\"\r\n";
  const std::string chosen = "\"1:00:01\",\"caf\xC3\xA9.exe\",\"7\",\"x\",\"\",\"\",\"\",\"8\"\r\n";
  const std::string ansi = "\"1:00:01\",\"caf\xE9.exe\",\"7\",\"x\",\"\",\"\",\"\",\"8\"\r\n";
  const struct {
    const char* what;
    std::string before, after;
  } kCases[] = {
      {"UTF-8 with a byte-order mark", "\xEF\xBB\xBF" + header, chosen + record},
      {"ANSI", header + record, ansi + record},
      {"UTF-16", "\xFF\xFE" + tolvek::Utf8ToUtf16Le(header), tolvek::Utf8ToUtf16Le(chosen)},
  };
  StartWith();
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.what);
    const std::string log = m_root + "/launcher.csv";
    WriteWholeFile(log, c.before + c.after);
    std::string launcher = std::to_string(c.before.size()) + "|7|caf\xC3\xA9.exe";
    Inputs(log);
    platform::SetGadgetText(String_Main_Launcher, launcher);
    platform::ScriptMessageAnswer(platform::kResultOk);
    GenerateGraph();
    graphview::LauncherCopy expected = graphview::BuildLauncherCopy(c.before + c.after, launcher);
    ASSERT_TRUE(expected.ok) << expected.message;
    EXPECT_EQ(ReadWholeFile(tolvek::GetTempFilePath(State().files.tempProcmonCsv)), expected.bytes);
  }
}

TEST_F(GenerationTest, ARealPcapGoesThroughTcpdump) {
  const std::string pcap = LUMIVEX_SHARED_DATA "/captures/dns-two-responses.pcap";
  if (!FileExists(pcap)) GTEST_SKIP() << "no real captures at " << pcap;
  StartWith();
  Inputs(LUMIVEX_SAMPLE_LOG, pcap);
  GenerateGraph();
  ASSERT_EQ(Status(), "OK") << State().generationLog;
  std::string text = ReadWholeFile(tolvek::GetTempFilePath(State().files.tempWindumpTxt));
  EXPECT_EQ(text, ReadWholeFile(LUMIVEX_SHARED_DATA "/captures/dns-two-responses.tcpdump-n.txt"));
  EXPECT_NE(State().generationLog.find("-n -p -r " + pcap), std::string::npos);
}

// A capture file without a single packet is an empty capture, not a failed conversion.
TEST_F(GenerationTest, APcapWithoutPacketsIsAnEmptyCapture) {
  StartWith();
  const std::string pcap = m_root + "/empty.PCAP";
  const unsigned char header[24] = {0xd4, 0xc3, 0xb2, 0xa1, 2,    0,    4, 0, 0, 0, 0, 0,
                                    0,    0,    0,    0,    0xff, 0xff, 0, 0, 1, 0, 0, 0};
  WriteWholeFile(pcap, std::string(reinterpret_cast<const char*>(header), sizeof header));
  Inputs(LUMIVEX_SAMPLE_LOG, pcap);
  GenerateGraph();
  EXPECT_EQ(Status(), "OK") << State().generationLog << LastMessage();
}

TEST_F(GenerationTest, FailuresSayWhatWentWrong) {
  const std::string noColumns = m_root + "/no_tid.csv";
  WriteWholeFile(noColumns,
                 "\"Time of Day\",\"Process Name\",\"PID\",\"Operation\",\"Path\","
                 "\"Result\",\"Detail\"\r\n\"1:00:00\",\"a.exe\",\"1\",\"x\",\"\",\"\",\"\"\r\n");
  const struct {
    const char* what;
    std::map<std::string, std::string> settings;
    std::string log, capture, message, logLine;
  } kCases[] = {
      {"unreadable log",
       {},
       m_root + "/missing.csv",
       "",
       "Could not read Procmon file!",
       "\nError: Could not read Procmon file!"},
      {"unknown format",
       {},
       noColumns,
       "",
       "Procmon file has an unknown format!",
       "\nProcmon file"},
      {"no capture tool",
       {{"windumpexecutable", ""}},
       LUMIVEX_SAMPLE_LOG,
       m_root + "/x.pcap",
       "Tcpdump/Windump executable is not properly installed/configured!",
       "\nError: Tcpdump/Windump"},
      {"capture tool missing",
       {{"windumpexecutable", "/nonexistent/tcpdump"}},
       LUMIVEX_SAMPLE_LOG,
       m_root + "/x.pcap",
       "Error converting .pcap to .txt!",
       "\nError: converting .pcap to .txt!"},
      {"dot path empty",
       {{"dotexecutable", ""}},
       LUMIVEX_SAMPLE_LOG,
       "",
       "Dot executable is not properly installed/configured!",
       ""},
      {"dot missing",
       {{"dotexecutable", "/nonexistent/dot"}},
       LUMIVEX_SAMPLE_LOG,
       "",
       "Error running ...\n/nonexistent/dot \"-v\" \"-Tplain\"",
       ""},
      // Last: the converter stays gone.
      {"converter missing",
       {{"missing converter", ""}},
       LUMIVEX_SAMPLE_LOG,
       "",
       "Error running ...\n",
       ""},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.what);
    std::map<std::string, std::string> settings = c.settings;
    bool noConverter = settings.erase("missing converter") > 0;
    StartWith(settings);
    // Gone after the start-up found it: neither beside the workbench nor on the path.
    if (noConverter) {
      workbench::detail::OverrideProgramFolder(m_root + "/");
      State().programFolder = m_root + "/";
      SetEnv("PATH", m_root + "/empty");
    }
    Inputs(c.log, c.capture);
    GenerateGraph();
    EXPECT_EQ(Status(), "Error!");
    EXPECT_EQ(LastMessage().rfind(c.message, 0), 0u) << LastMessage();
    if (!c.logLine.empty()) {
      EXPECT_NE(State().generationLog.find(c.logLine), std::string::npos) << State().generationLog;
    }
    EXPECT_TRUE(platform::IsWindowEnabled(Window_Main));
    ForgetWindows();
  }
}

TEST_F(GenerationTest, AConverterThatFailsLeavesItsErrorInTheLog) {
  const std::string tools = m_root + "/tools/";
  mkdir(tools.c_str(), 0700);
  Script(tools + "evtweave", "echo 'Error: Something broke!'\nexit 1\n");
  workbench::detail::OverrideProgramFolder(tools);
  StartWith();
  Inputs(LUMIVEX_SAMPLE_LOG);
  GenerateGraph();
  EXPECT_EQ(Status(), "Error!");
  EXPECT_EQ(LastMessage().rfind(
                "Couldn't open dot file (" + tolvek::GetTemporaryDirectory4TolvekZubl(), 0),
            0u)
      << LastMessage();
  EXPECT_NE(State().generationLog.find("Error: Something broke!"), std::string::npos);
}

// The real converter with too little room for its details file: it writes the DOT file, says
// so and ends with code 1. The graph is shown, and the failure is said.
TEST_F(GenerationTest, AConverterThatWritesOnlyTheGraphIsAFailureWithTheGraphShown) {
  StartWith();
  const std::string converter = State().programFolder + "evtweave";
  const std::string tools = m_root + "/tools/";
  mkdir(tools.c_str(), 0700);
  // The sample's DOT file takes 6,720 bytes, its details file 8,735: 15 blocks of 512 bytes
  // hold the one and not the other. The start-up check runs it without arguments.
  Script(tools + "evtweave", "[ $# -eq 0 ] && exec '" + converter +
                                 "'\ntrap '' XFSZ\nulimit -f 15\nexec '" + converter +
                                 "' \"$@\"\n");
  State().programFolder = tools;
  Inputs(LUMIVEX_SAMPLE_LOG, kSampleCapture);
  GenerateGraph();
  EXPECT_EQ(Status(), "Error!") << State().generationLog;
  ASSERT_FALSE(platform::ShownMessages().empty());
  const auto shown = platform::ShownMessages().back();
  EXPECT_EQ(shown.title, "LumiVEX");
  const std::regex said("Error: Couldn't write file '.*\\.dot\\.lumivex'!");
  EXPECT_TRUE(std::regex_match(shown.text, said)) << shown.text;
  EXPECT_TRUE(State().generationLog.ends_with("\n" + shown.text)) << State().generationLog;
  EXPECT_FALSE(State().graph.layout.nodes.empty());
  EXPECT_FALSE(State().graph.layout.edges.empty());
  EXPECT_TRUE(platform::IsWindowEnabled(Window_Main));
}

// The workbench's own write of the layout file fails (a file-size limit stands in for a full
// disk; the converter lifts it for itself): the analyst hears which file and why, not what
// dot makes of a file that is not there.
TEST_F(GenerationTest, AFailedWriteOfTheLayoutFileSaysWhichAndWhy) {
  StartWith();
  const std::string converter = State().programFolder + "evtweave";
  const std::string tools = m_root + "/tools/";
  mkdir(tools.c_str(), 0700);
  Script(tools + "evtweave", "ulimit -f unlimited\nexec '" + converter + "' \"$@\"\n");
  State().programFolder = tools;
  Inputs(LUMIVEX_SAMPLE_LOG, kSampleCapture);
  {
    // Room for the ignore lists and the run's report, not for the layout file (6,700 bytes).
    lumivex_testing::FileSizeLimit limit(4096);
    ASSERT_TRUE(limit.Set());
    GenerateGraph();
  }
  EXPECT_EQ(Status(), "Error!");
  const std::regex said("Error: Couldn't write the layout DOT file '.*': File too large!");
  EXPECT_TRUE(std::regex_match(LastMessage(), said)) << LastMessage();
  EXPECT_TRUE(State().generationLog.ends_with("\n" + LastMessage())) << State().generationLog;
  EXPECT_EQ(State().generationLog.find("dot (plain)"), std::string::npos);
  EXPECT_TRUE(platform::IsWindowEnabled(Window_Main));
}

TEST_F(GenerationTest, DotWritingGarbageKeepsTheShownGraph) {
  const std::string fakeDot = m_root + "/fake-dot";
  // Writes nonsense where the plain layout belongs.
  Script(fakeDot, "for a; do case \"$a\" in -o*) echo 'garbage !!' > \"${a#-o}\";; esac; done\n");
  StartWith();
  Inputs(LUMIVEX_SAMPLE_LOG);
  GenerateGraph();
  ASSERT_EQ(Status(), "OK");
  size_t nodes = State().graph.layout.nodes.size();
  State().options.dotExecutable = fakeDot;
  GenerateGraph();
  EXPECT_EQ(Status(), "Error!");
  EXPECT_EQ(LastMessage().rfind("Error: Couldn't open TXT (", 0), 0u) << LastMessage();
  EXPECT_EQ(State().graph.layout.nodes.size(), nodes);
}

TEST_F(GenerationTest, CancelEndsTheConverter) {
  const std::string tools = m_root + "/tools/";
  mkdir(tools.c_str(), 0700);
  const std::string pidFile = m_root + "/converter.pid", childFile = m_root + "/child.pid";
  // With a child of its own, which ends with it.
  Script(tools + "evtweave", "[ $# -eq 0 ] && exit 0\n/bin/sleep 600 &\necho $! > '" + childFile +
                                 "'\necho $$ > '" + pidFile +
                                 "'\necho working\nexec /bin/sleep 60\n");
  workbench::detail::OverrideProgramFolder(tools);
  StartWith();
  Inputs(LUMIVEX_SAMPLE_LOG);
  bool clicked = false;
  platform::SetLoopHook([&] {
    auto parts = gui::detail::WaitRequesterParts();
    if (!clicked && parts.cancelButton && FileExists(pidFile)) {
      platform::PostEvent(platform::kEventGadget, parts.window, parts.cancelButton);
      clicked = true;
    }
  });
  auto started = std::chrono::steady_clock::now();
  GenerateGraph();
  platform::SetLoopHook(nullptr);
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(30));
  EXPECT_EQ(Status(), "Cancelled!");
  const std::string tail = "\nCancelled by user!";
  const std::string& log = State().generationLog;
  ASSERT_GE(log.size(), tail.size());
  EXPECT_EQ(log.substr(log.size() - tail.size()), tail);
  pid_t pid = std::stoi(ReadWholeFile(pidFile));
  EXPECT_NE(kill(pid, 0), 0) << "the converter still runs";
  const pid_t child = std::stoi(ReadWholeFile(childFile));
  auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(1);
  while (!lumivex_testing::ProcessEnded(child) && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  EXPECT_TRUE(lumivex_testing::ProcessEnded(child)) << "the converter's child still runs";
}

// Every line a chatty converter prints reaches the log without slowing the run to one line
// per poll (1,000 lines at 100 ms would take 100 s).
TEST_F(GenerationTest, AChattyConverterIsNotSlowedDown) {
  const std::string tools = m_root + "/tools/";
  mkdir(tools.c_str(), 0700);
  // The real converter sits beside this test program.
  char self[4096];
  ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
  ASSERT_GT(n, 0);
  std::string real(self, static_cast<size_t>(n));
  real = real.substr(0, real.rfind('/') + 1) + "evtweave";
  Script(tools + "evtweave",
         "i=0; while [ $i -lt 1000 ]; do echo \"Warning: line $i\"; i=$((i+1)); done\nexec '" +
             real + "' \"$@\"\n");
  StartWith();
  Inputs(LUMIVEX_SAMPLE_LOG);
  auto quietStart = std::chrono::steady_clock::now();
  GenerateGraph();
  auto quiet = std::chrono::steady_clock::now() - quietStart;
  ASSERT_EQ(Status(), "OK");

  workbench::detail::OverrideProgramFolder(tools);
  StartWith();
  Inputs(LUMIVEX_SAMPLE_LOG);
  auto started = std::chrono::steady_clock::now();
  GenerateGraph();
  auto took = std::chrono::steady_clock::now() - started;
  EXPECT_EQ(Status(), "OK");
  EXPECT_NE(State().generationLog.find("Warning: line 999"), std::string::npos);
  using Ms = std::chrono::milliseconds;
  RecordProperty("quiet_ms", std::chrono::duration_cast<Ms>(quiet).count());
  RecordProperty("chatty_ms", std::chrono::duration_cast<Ms>(took).count());
  // Far below the 100 s a line per poll would need, whatever the machine's load.
  EXPECT_LT(took, std::chrono::seconds(50));
}

// A launcher chosen in another log is kept with the log's change, but its position here is
// another process's record: the log goes to the converter as it is, and the analyst is told
// once the wait window, whose log said it, is gone. The launcher copy, as large as the log,
// lasts until the next Refresh and no longer than the workbench.
TEST_F(GenerationTest, ALauncherIsAppliedOnlyWhereItsOwnRecordStands) {
  size_t rows = 0;
  const std::string log = SampleWithoutLauncherRows(rows);
  StartWith();
  Inputs(log);
  const std::string copy = tolvek::GetTempFilePath(State().files.tempProcmonCsv);
  const std::string position = std::to_string(rows);
  const struct {
    std::string launcher;
    bool applied;
  } kCases[] = {
      {position + "|4711|explorer.exe", false},
      {position + "|3120|invoice_0419.exe", true},
      {"", false},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.launcher);
    platform::ClearScriptedAnswers();
    platform::ScriptMessageAnswer(platform::kResultOk);
    const size_t shownBefore = platform::ShownMessages().size();
    platform::SetGadgetText(String_Main_Launcher, c.launcher);
    GenerateGraph();
    const std::string& told = State().generationLog;
    const bool ignored = !c.launcher.empty() && !c.applied;
    // Without its launcher rows the converter follows nothing in this log.
    EXPECT_EQ(Status(), c.applied ? "OK" : "The graph is empty: nothing was drawn.") << told;
    EXPECT_EQ(told.find("Launcher not applied: ") != std::string::npos, ignored) << told;
    EXPECT_EQ(told.find("evtweave \"" + log + "\"") == std::string::npos, c.applied) << told;
    EXPECT_EQ(told.find("Launcher found: PID 3120") != std::string::npos, c.applied) << told;
    const auto shown = platform::ShownMessages();
    ASSERT_EQ(shown.size() - shownBefore, ignored ? 1u : 0u);
    if (ignored) {
      EXPECT_EQ(shown.back().title, "LumiVEX");
      EXPECT_EQ(shown.back().text.rfind("Launcher not applied: ", 0), 0u) << shown.back().text;
    }
    struct stat st {};
    ASSERT_EQ(stat(copy.c_str(), &st), 0);
    EXPECT_EQ(st.st_size > 0, c.applied);
  }
  platform::SetGadgetText(String_Main_Launcher, kCases[1].launcher);
  GenerateGraph();
  ASSERT_EQ(Status(), "OK");
  ASSERT_GT(ReadWholeFile(copy).size(), 0u);
  ASSERT_TRUE(End());
  EXPECT_FALSE(FileExists(copy));
}

// Without a launcher the converter follows nothing in this log: dot lays out a graph without
// nodes, which is an empty graph and no unreadable file.
TEST_F(GenerationTest, ALogWithNothingToDrawGivesAnEmptyGraph) {
  size_t rows = 0;
  const std::string log = SampleWithoutLauncherRows(rows);
  StartWith();
  Inputs(LUMIVEX_SAMPLE_LOG);
  GenerateGraph();
  ASSERT_EQ(Status(), "OK");
  ASSERT_FALSE(State().graph.layout.nodes.empty());
  RedrawGraph(true);
  ASSERT_NE(platform::GetGadgetText(Text_Main_FrameNumber), "-");
  Inputs(log);
  GenerateGraph();
  // The status line says it: the wait window's log is gone with the window.
  EXPECT_EQ(Status(), "The graph is empty: nothing was drawn.") << LastMessage();
  EXPECT_TRUE(platform::ShownMessages().empty());
  EXPECT_TRUE(State().graph.layout.nodes.empty());
  EXPECT_NE(State().generationLog.find("nothing was drawn"), std::string::npos)
      << State().generationLog;
  EXPECT_EQ(ReadWholeFile(tolvek::GetTempFilePath(State().files.graphFileTxt)).rfind("graph ", 0),
            0u);
  RedrawGraph(true);
  EXPECT_TRUE(platform::IsWindowEnabled(Window_Main));
  // Nothing of the graph before stays: the canvas is blank as before any graph, and the
  // frame fields are those of a window without a graph.
  EXPECT_EQ(Status(), "The graph is empty: nothing was drawn.");
  EXPECT_EQ(platform::GetGadgetText(Text_Main_FrameNumber), "-");
  EXPECT_EQ(platform::GetGadgetText(Text_Main_FrameTimestamp), "-");
  EXPECT_EQ(platform::GetGadgetText(String_Main_FrameMessage), "");
  const QImage* canvas = platform::CanvasBuffer(Canvas_Main_Graph);
  ASSERT_TRUE(canvas);
  const QRgb blank = qRgb(255, 255, 255);
  for (QPoint at : {QPoint(0, 0), QPoint(canvas->width() / 2, canvas->height() / 2),
                    QPoint(canvas->width() - 1, canvas->height() - 1)}) {
    EXPECT_EQ(canvas->pixel(at), blank) << at.x() << "," << at.y();
  }
}

// A tall graph in the real main window, maximised or at other sizes, after a Refresh and its
// fit: every node, edge and label lies inside the canvas the analyst sees, and the timeline
// strip lies below that canvas rather than over it.
TEST_F(GenerationTest, AFittedTallGraphShowsWholeAtAnyWindowSize) {
  const lumivex_testing::TallGraphLog log = lumivex_testing::MakeTallGraphLog();
  const std::string csv = m_root + "/tall.csv";
  WriteWholeFile(csv, log.bytes);
  StartWith();
  Inputs(csv);
  platform::SetGadgetText(String_Main_Launcher, log.launcher);
  const struct {
    int width, height;  // 0: maximised
  } kSizes[] = {{0, 0}, {900, 1000}, {1900, 640}, {800, 600}};
  for (const auto& size : kSizes) {
    SCOPED_TRACE(std::to_string(size.width) + "x" + std::to_string(size.height));
    if (size.width == 0) {
      platform::SetWindowState(Window_Main, platform::kWindowMaximized);
    } else {
      platform::SetWindowState(Window_Main, platform::kWindowNormal);
      platform::ResizeWindow(Window_Main, 0, 0, size.width, size.height);
    }
    QApplication::processEvents();
    GenerateGraph();
    ASSERT_EQ(Status(), "OK") << State().generationLog;
    RedrawGraph(true);
    const graphview::GraphModel& g = State().graph;
    ASSERT_GT(g.layout.nodes.size(), 20u);

    QWidget* window = platform::WindowWidget(Window_Main);
    QWidget* canvas = platform::GadgetWidget(Canvas_Main_Graph);
    QWidget* strip = platform::GadgetWidget(Canvas_Main_AnimationFrames);
    const QRect canvasArea(canvas->mapTo(window, QPoint(0, 0)), canvas->size());
    const QRect stripArea(strip->mapTo(window, QPoint(0, 0)), strip->size());
    EXPECT_LE(canvasArea.bottom(), stripArea.top());
    EXPECT_TRUE(window->rect().contains(canvasArea));
    const double width = platform::CanvasWidth(Canvas_Main_Graph);
    const double height = platform::CanvasHeight(Canvas_Main_Graph);
    EXPECT_LE(width, canvasArea.width());
    EXPECT_LE(height, canvasArea.height());

    graphview::GraphDrawSettings draw;
    draw.graphFont = State().graphFont;
    draw.canvasWidth = static_cast<int64_t>(width);
    draw.canvasHeight = static_cast<int64_t>(height);
    const double fs = g.layout.smartFontSize;
    auto inside = [&](const graphview::PixelBox& box) {
      return box.Empty() ||
             (box.left >= 0 && box.top >= 0 && box.right <= width && box.bottom <= height);
    };
    for (const auto& node : g.layout.nodes)
      EXPECT_TRUE(inside(graphview::NodeExtent(g, node, fs))) << node.name;
    for (const auto& edge : g.layout.edges) {
      EXPECT_TRUE(inside(graphview::EdgeExtent(g, edge, fs, draw)))
          << edge.tail << " -> " << edge.head << " " << edge.label;
    }
  }
}

// The graph on screen, its DOT file and its details file belong together: a Refresh that
// fails at any step leaves all three as they were.
TEST_F(GenerationTest, AFailedRefreshLeavesTheShownGraphWithItsFiles) {
  const std::string garbage = m_root + "/garbage-dot";
  Script(garbage, "for a; do case \"$a\" in -o*) echo 'garbage !!' > \"${a#-o}\";; esac; done\n");
  const std::string failing = m_root + "/failing-dot";
  Script(failing, "echo 'Error: syntax error in line 1' >&2\nexit 1\n");
  const struct {
    const char* what;
    std::string log, dot;
  } kCases[] = {
      {"unreadable log", m_root + "/missing.csv", "/usr/bin/dot"},
      {"dot writes garbage", LUMIVEX_SAMPLE_LOG, garbage},
      {"dot fails", LUMIVEX_SAMPLE_LOG, failing},
  };
  StartWith();
  // A log whose graph differs from the sample's, so a new details file would show.
  Inputs(LUMIVEX_SAMPLE_LOG);
  platform::SetGadgetState(Checkbox_Main_ModeDumb, 1);
  GenerateGraph();
  ASSERT_EQ(Status(), "OK");
  platform::SetGadgetState(Checkbox_Main_ModeDumb, 0);
  const std::string dotPath = tolvek::GetTempFilePath(State().files.graphFileDot);
  const std::string dot = ReadWholeFile(dotPath);
  const std::string details = ReadWholeFile(dotPath + ".lumivex");
  const size_t nodes = State().graph.layout.nodes.size();
  ASSERT_FALSE(details.empty());
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.what);
    Inputs(c.log);
    State().options.dotExecutable = c.dot;
    platform::ScriptMessageAnswer(platform::kResultOk);
    GenerateGraph();
    EXPECT_EQ(Status(), "Error!");
    EXPECT_EQ(State().graph.layout.nodes.size(), nodes);
    // (Whole files compared without printing them.)
    EXPECT_TRUE(ReadWholeFile(dotPath) == dot);
    EXPECT_TRUE(ReadWholeFile(dotPath + ".lumivex") == details);
  }
  // A good run takes the files over.
  State().options.dotExecutable = "/usr/bin/dot";
  Inputs(LUMIVEX_SAMPLE_LOG);
  GenerateGraph();
  ASSERT_EQ(Status(), "OK");
  EXPECT_FALSE(ReadWholeFile(dotPath + ".lumivex") == details);
  EXPECT_FALSE(ReadWholeFile(dotPath) == dot);
}

// dot runs with an address-space limit of three quarters of the machine's memory, and one that
// fails or is killed is reported by what happened to it, with its last words.
TEST_F(GenerationTest, ADotThatFailsIsReportedByWhatHappened) {
  const struct {
    const char* what;
    std::string body, told, lastWords;
  } kCases[] = {
      {"signal", "echo 'about to go' >&2\nkill -KILL $$\n",
       "Error: dot was ended by signal 9 (Killed)!", "about to go"},
      // The limit holds from the start: the fake reads it first thing.
      {"exit code",
       "grep 'Max address space' /proc/self/limits >&2\necho 'Error: out of memory' >&2\nexit 3\n",
       "Error: dot failed with exit code 3!", "Error: out of memory"},
  };
  StartWith();
  Inputs(LUMIVEX_SAMPLE_LOG);
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.what);
    const std::string fake = m_root + "/dot-" + std::to_string(&c - kCases);
    Script(fake, c.body);
    State().options.dotExecutable = fake;
    platform::ClearScriptedAnswers();
    platform::ScriptMessageAnswer(platform::kResultOk);
    GenerateGraph();
    EXPECT_EQ(Status(), "Error!");
    EXPECT_EQ(LastMessage().rfind(c.told + "\n", 0), 0u) << LastMessage();
    EXPECT_NE(LastMessage().find(c.lastWords), std::string::npos) << LastMessage();
    const std::string& log = State().generationLog;
    ASSERT_GT(log.size(), c.told.size());
    EXPECT_EQ(log.substr(log.size() - c.told.size() - 1), "\n" + c.told);
  }
  // The limit the last fake found, in bytes, soft and hard.
  const std::string& log = State().generationLog;
  size_t at = log.find("Max address space");
  ASSERT_NE(at, std::string::npos) << log;
  std::string line = log.substr(at, log.find('\n', at) - at);
  const std::string limit = std::to_string(tolvek::ThreeQuartersOfPhysicalMemory());
  EXPECT_NE(line.find(" " + limit + " "), std::string::npos) << line;
}

// A FIFO or a device as the log or the capture is refused at once: nothing waits for a FIFO's
// writer or reads a device without end.
TEST_F(GenerationTest, InputsThatAreNoFilesAreRefusedAtOnce) {
  const std::string fifoLog = m_root + "/fifo.csv", fifoPcap = m_root + "/fifo.pcap",
                    fifoText = m_root + "/fifo.txt", device = m_root + "/zero.pcap";
  FifoReleaser log(fifoLog), pcap(fifoPcap), text(fifoText);
  ASSERT_EQ(symlink("/dev/zero", device.c_str()), 0);
  const struct {
    std::string log, capture, status, message;
  } kCases[] = {
      {fifoLog, "", "Error!", "Could not read Procmon file!"},
      {"/dev/zero", "", "Error!", "Could not read Procmon file!"},
      {LUMIVEX_SAMPLE_LOG, fifoPcap, "Error!", "Error converting .pcap to .txt!"},
      {LUMIVEX_SAMPLE_LOG, device, "Error!", "Error converting .pcap to .txt!"},
      // The converter goes on without a capture it cannot read.
      {LUMIVEX_SAMPLE_LOG, fifoText, "OK", ""},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.log + " " + c.capture);
    StartWith();
    Inputs(c.log, c.capture);
    GenerateGraph();
    EXPECT_FALSE(log.Released() || pcap.Released() || text.Released()) << "a FIFO was waited on";
    EXPECT_EQ(Status(), c.status) << State().generationLog;
    EXPECT_EQ(LastMessage(), c.message);
    ForgetWindows();
  }
  EXPECT_NE(State().generationLog.find("Warning: Couldn't read file '" + fifoText + "'!"),
            std::string::npos);
}

// The capture tool's text goes to its file while the wait window offers Cancel.
TEST_F(GenerationTest, CancelEndsTheCaptureTool) {
  const std::string tool = m_root + "/tcpdump", pidFile = m_root + "/tool.pid";
  Script(tool, "echo $$ > '" + pidFile + "'\necho '12:00:00.000000 IP 1.2.3.4 > 5.6.7.8'\n" +
                   "exec /bin/sleep 60\n");
  const std::string pcap = m_root + "/capture.pcap";
  WriteWholeFile(pcap, "any bytes");
  StartWith({{"windumpexecutable", tool}});
  Inputs(LUMIVEX_SAMPLE_LOG, pcap);
  CancelWhen([&] { return FileExists(pidFile); });
  auto started = std::chrono::steady_clock::now();
  GenerateGraph();
  platform::SetLoopHook(nullptr);
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(30));
  EXPECT_EQ(Status(), "Cancelled!");
  ASSERT_TRUE(FileExists(pidFile));
  pid_t pid = std::stoi(ReadWholeFile(pidFile));
  EXPECT_NE(kill(pid, 0), 0) << "the capture tool still runs";
}

// After a Refresh the graph is fitted so that every node's box lies inside the part of the
// graph canvas that shows: not past its edges, not under the timeline strip.
TEST_F(GenerationTest, TheFitShowsEveryNodeOfTheRealLogs) {
  const std::filesystem::path folder = LUMIVEX_SHARED_DATA "/procmon";
  std::vector<std::filesystem::path> logs;
  if (std::filesystem::is_directory(folder)) {
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
      const std::string name = entry.path().filename().string();
      if (name.ends_with(".csv") || name.ends_with(".csv.gz")) logs.push_back(entry.path());
    }
  }
  if (logs.empty()) GTEST_SKIP() << "no real logs at " << folder;
  std::sort(logs.begin(), logs.end());
  StartWith();
  platform::SetGadgetState(Checkbox_Main_ModeDumb, 1);
  size_t fitted = 0;
  for (const std::filesystem::path& log : logs) {
    SCOPED_TRACE(log.filename().string());
    std::string csv = log.string();
    if (csv.ends_with(".gz")) {
      csv = m_root + "/" + log.stem().string();
      ASSERT_EQ(std::system(("gzip -dc '" + log.string() + "' > '" + csv + "'").c_str()), 0);
    }
    Inputs(csv);
    const size_t messages = platform::ShownMessages().size();
    platform::ScriptMessageAnswer(platform::kResultOk);
    platform::PostEvent(platform::kEventGadget, Window_Main, Button_Main_Refresh);
    for (int turn = 0; turn < 100 && platform::QueuedEventCount() > 0; ++turn) MainLoopTurn();
    // A log the converter cannot take says so; every other one is drawn and fitted.
    if (Status() != "OK") {
      EXPECT_GT(platform::ShownMessages().size(), messages) << Status();
      continue;
    }
    ++fitted;
    const graphview::GraphModel& g = State().graph;
    const graphview::ViewState& view = g.view;
    ASSERT_EQ(view.zoom, view.fitZoom);
    // What shows of the canvas: the buffer inside its frame, cut where the strip begins.
    const QImage* shown = platform::CanvasBuffer(Canvas_Main_Graph);
    ASSERT_NE(shown, nullptr);
    const int64_t width = shown->width();
    const int64_t stripTop = platform::GadgetScreenY(Canvas_Main_AnimationFrames) -
                             platform::GadgetScreenY(Canvas_Main_Graph) - 1;
    const int64_t height = std::min<int64_t>(shown->height(), stripTop);
    ASSERT_GT(height, 100);
    for (const graphview::GraphNode& node : g.layout.nodes) {
      const double left = view.scrollX + static_cast<double>(graphview::GraphXToPixel(
                                             view, g.layout, node.x - node.width / 2));
      const double right = view.scrollX + static_cast<double>(graphview::GraphXToPixel(
                                              view, g.layout, node.x + node.width / 2));
      const double top = view.scrollY + static_cast<double>(graphview::GraphYToPixel(
                                            view, g.layout, node.y + node.height / 2));
      const double bottom = view.scrollY + static_cast<double>(graphview::GraphYToPixel(
                                               view, g.layout, node.y - node.height / 2));
      EXPECT_TRUE(left >= 0 && right <= static_cast<double>(width) && top >= 0 &&
                  bottom <= static_cast<double>(height))
          << node.name << ": " << left << ".." << right << " x " << top << ".." << bottom << " on "
          << width << " x " << height;
    }
  }
  EXPECT_GE(fitted, logs.size() - 1);
}

}  // namespace
