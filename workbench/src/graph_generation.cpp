// Refresh: the analyst's inputs through the converter and dot into the graph model, with the
// wait window showing progress and offering Cancel while the children run.
#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "graphview/edge_kinds.h"
#include "graphview/graph_inputs.h"
#include "graphview/graph_reading.h"
#include "graphview/render_filter.h"
#include "gui/wait_requester.h"
#include "platform/window_system.h"
#include "tolvek/callstack.h"
#include "tolvek/file_read.h"
#include "tolvek/file_write.h"
#include "tolvek/memory.h"
#include "tolvek/process.h"
#include "tolvek/temp_files.h"
#include "workbench/bug_report.h"
#include "workbench/child_lines.h"
#include "workbench/filter_rules.h"
#include "workbench/gadgets.h"
#include "workbench/preference_text.h"
#include "workbench/settings.h"
#include "workbench/stages.h"
#include "workbench/workbench_state.h"

namespace workbench {
namespace {

constexpr const char* kTitle = "LumiVEX";
constexpr const char* kEmptyGraphNote = "The graph is empty: nothing was drawn.";
constexpr int kPollMs = 100;
constexpr int kProgressMax = 3;
// How many of a failed child's last error lines its message shows.
constexpr size_t kLastLines = 5;
// Files that every generation makes anew: no wait for the disk.
constexpr tolvek::WriteOptions kScratch{.sync = false};

// Why a generation ended early: the status, the message (none when empty) and the line the
// generation log gets (none when empty).
struct Ending {
  std::string status, message, logLine;
};

const Ending kCancelled{"Cancelled!", "", "\nCancelled by user!"};

// Thrown from a Cancel point or a failure; the generation ends in one place.
struct GenerationEnded {
  Ending ending;
};

std::string Path(int64_t id) {
  return tolvek::GetTempFilePath(id);
}

bool BoxOn(int gadget, bool fallback) {
  return platform::IsGadget(gadget) ? platform::GetGadgetState(gadget) != 0 : fallback;
}

// Adds the seconds since it was made to a phase's time when it goes.
class PhaseTimer {
 public:
  explicit PhaseTimer(double& total) : m_total(total) {}
  ~PhaseTimer() {
    m_total += std::chrono::duration<double>(std::chrono::steady_clock::now() - m_start).count();
  }
  PhaseTimer(const PhaseTimer&) = delete;
  PhaseTimer& operator=(const PhaseTimer&) = delete;

 private:
  double& m_total;
  std::chrono::steady_clock::time_point m_start = std::chrono::steady_clock::now();
};

// The first length bytes of the file open as fd (fewer when it is shorter).
std::string ReadHead(int fd, size_t length) {
  std::string bytes(length, '\0');
  size_t got = 0;
  while (got < length) {
    ssize_t n = pread(fd, bytes.data() + got, length - got, static_cast<off_t>(got));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    got += static_cast<size_t>(n);
  }
  bytes.resize(got);
  return bytes;
}

// The start of a file that holds its first line (all of a file without a line break), up to
// limit bytes; "" for anything but a regular file.
std::string ReadFirstLine(const std::string& path, size_t limit = 1 << 20) {
  int fd = tolvek::OpenRegularFile(path);
  if (fd < 0) return "";
  std::string bytes;
  for (size_t length = 65536;; length *= 2) {
    bytes = ReadHead(fd, std::min(length, limit));
    if (bytes.size() < length || length >= limit ||
        bytes.find_first_of("\r\n") != std::string::npos) {
      break;
    }
  }
  close(fd);
  return bytes;
}

// Passes a log line to the wait window; Cancel ends the generation (killing child first).
void CancelPoint(int progress, const std::string& logLine, tolvek::Program* child = nullptr) {
  if (gui::UpdateWaitRequester(1, "", progress, kProgressMax, logLine)) return;
  if (child) {
    tolvek::KillProgram(*child);
    tolvek::CloseProgram(*child);
  }
  throw GenerationEnded{kCancelled};
}

// How a followed child ended.
struct ChildEnd {
  int waitStatus = -1;                 // as waitpid tells it
  std::vector<std::string> lastLines;  // its last lines that were not empty
  std::string errorLine;               // its first line that began with "Error"
  bool outputFailed = false;           // the output sink refused bytes
};

// Shows a running child's lines in the wait window until it has ended and said everything;
// with an output sink, its standard output goes there instead.
ChildEnd FollowChild(tolvek::Program& child, int progress, ChildLines::OutputSink output = {}) {
  ChildLines lines(child, std::move(output));
  ChildEnd end;
  for (;;) {
    std::vector<std::string> got = lines.Poll(kPollMs);
    // Every line that has arrived is shown now: a chatty child is never slowed to one line
    // per poll.
    for (const std::string& line : got) {
      if (line.find_first_not_of(" \t") != std::string::npos) {
        if (end.lastLines.size() == kLastLines) end.lastLines.erase(end.lastLines.begin());
        end.lastLines.push_back(line);
      }
      if (end.errorLine.empty() && line.rfind("Error", 0) == 0) end.errorLine = line;
      CancelPoint(progress, line, &child);
    }
    if (got.empty()) CancelPoint(progress, gui::kNoLogLine, &child);
    if (lines.OutputFailed() && !end.outputFailed) {
      end.outputFailed = true;
      tolvek::KillProgram(child);
    }
    if (lines.Drained()) break;
    // A child that has ended while something it started still holds the pipes is done.
    if (got.empty() && tolvek::WaitProgram(child, 0)) break;
  }
  tolvek::CloseProgram(child);
  end.waitStatus = child.waitStatus;
  return end;
}

// "" when the child ended well, else what happened to it, as the analyst is told.
std::string WhatWentWrong(const std::string& name, int waitStatus) {
  if (waitStatus == -1) return "Error: " + name + " ended in an unknown way!";
  if (WIFSIGNALED(waitStatus)) {
    int signal = WTERMSIG(waitStatus);
    const char* what = strsignal(signal);
    return "Error: " + name + " was ended by signal " + std::to_string(signal) + " (" +
           (what ? what : "unknown") + ")!";
  }
  if (WIFEXITED(waitStatus) && WEXITSTATUS(waitStatus) != 0) {
    return "Error: " + name + " failed with exit code " + std::to_string(WEXITSTATUS(waitStatus)) +
           "!";
  }
  return "";
}

[[noreturn]] void Fail(const Ending& ending) {
  throw GenerationEnded{ending};
}

// Writes one of the run's own files; a failure ends the run, saying which file and why.
void WriteRunFile(const std::string& what, const std::string& path, std::string_view bytes) {
  if (tolvek::WriteFileWhole(path, bytes, kScratch)) return;
  const std::string text =
      "Error: Couldn't write the " + what + " '" + path + "': " + std::strerror(errno) + "!";
  Fail({"Error!", text, "\n" + text});
}

// The converter runs in the folder that holds this run's ignore lists. "" when it ended well,
// else what it said went wrong (its error line, or how it ended).
std::string RunConverter(std::vector<std::string> args, const std::string& folder) {
  WorkbenchState& s = State();
  std::string converter = ConverterPath();
  std::string parameters = graphview::QuotedParameters(args);
  std::string shown = s.programFolder + "evtweave " + parameters;
  CancelPoint(1, "RunProgram: " + shown + " (CWD=" + folder + ")");
  tolvek::Program program;
  if (!tolvek::StartProgram(converter, args, folder, program)) {
    Fail({"Error!", "Error running ...\n" + shown, ""});
  }
  CancelPoint(1, "----------------- evtweave ------------------", &program);
  ChildEnd end = FollowChild(program, 1);
  // It may have written the graph but not all of it (the details file on a full disk): the
  // graph is still shown, but never as a success.
  std::string wrong = WhatWentWrong("evtweave", end.waitStatus);
  if (wrong.empty()) return "";
  return end.errorLine.empty() ? wrong : end.errorLine;
}

// The capture file turned into text by the capture tool; the path of that text.
std::string ConvertCapture(const std::string& capturePath) {
  WorkbenchState& s = State();
  const std::string& tool = s.options.windumpExecutable;
  if (tool.empty()) {
    Fail({"Error!",
          "Tcpdump/Windump executable is not properly installed/configured!\nPlease follow our "
          "installation guide in the readme.",
          "\nError: Tcpdump/Windump executable is not properly installed/configured! Please "
          "follow our installation guide in the readme."});
  }
  const Ending failed{"Error!", "Error converting .pcap to .txt!",
                      "\nError: converting .pcap to .txt!"};
  // The tool would wait on a FIFO's writer, or read a device without end.
  int input = tolvek::OpenRegularFile(capturePath);
  if (input < 0) Fail(failed);
  close(input);
  std::string text = Path(s.files.tempWindumpTxt);
  unlink(text.c_str());
  std::vector<std::string> args = graphview::CaptureToolArguments(capturePath);
  std::string shown = tool;
  for (const std::string& a : args) shown += " " + a;
  CancelPoint(0, "RunProgram: " + shown);
  tolvek::Program program;
  if (!tolvek::StartProgram(tool, args, "", program)) Fail(failed);
  // The text goes to its file as it comes, however long the capture, and the analyst can
  // cancel while the tool works.
  std::optional<GenerationEnded> cancelled;
  ChildEnd end;
  int64_t written = 0;
  bool ok = tolvek::WriteFileWholeWith(
      text,
      [&](int out) {
        try {
          end = FollowChild(program, 0, [&](const char* data, size_t length) {
            written += static_cast<int64_t>(length);
            return tolvek::WriteAllBytes(out, data, length);
          });
        } catch (const GenerationEnded& ended) {
          cancelled = ended;
          return false;
        }
        return !end.outputFailed;
      },
      kScratch);
  if (program.pid > 0) {  // the text's file could not even be made
    tolvek::KillProgram(program);
    tolvek::CloseProgram(program);
  }
  if (cancelled) throw *cancelled;
  // A valid capture without packets gives no text and exit code 0: an empty capture.
  bool exitedWell = WIFEXITED(end.waitStatus) && WEXITSTATUS(end.waitStatus) == 0;
  if (!ok || (written == 0 && !exitedWell)) Fail(failed);
  return text;
}

void RunDot(const std::string& plainPath, const std::string& layoutDotPath) {
  WorkbenchState& s = State();
  const std::string& dot = s.options.dotExecutable;
  if (dot.empty()) {
    Fail({"Error!",
          "Dot executable is not properly installed/configured!\nPlease follow our "
          "installation guide in the readme.",
          ""});
  }
  std::vector<std::string> args = graphview::DotArguments(plainPath, layoutDotPath);
  std::string parameters = graphview::QuotedParameters(args);
  const std::string systemTemp = tolvek::SystemTemporaryDirectory();
  CancelPoint(2, "RunProgram: " + dot + " " + parameters + " (CWD=" + systemTemp + ")");
  tolvek::Program program;
  // A graph too big for the machine makes dot's allocations fail, instead of it taking all
  // the memory there is.
  tolvek::ProgramOptions options;
  options.addressSpaceLimit = tolvek::ThreeQuartersOfPhysicalMemory();
  if (!tolvek::StartProgram(dot, args, systemTemp, program, options)) {
    // The program as configured, so the analyst sees which setting is wrong.
    Fail({"Error!", "Error running ...\n" + dot + " " + parameters, ""});
  }
  CancelPoint(2, "----------------- dot (plain) ------------------", &program);
  ChildEnd end = FollowChild(program, 2);
  std::string wrong = WhatWentWrong("dot", end.waitStatus);
  if (!wrong.empty()) {
    std::string message = wrong;
    for (const std::string& line : end.lastLines) message += "\n" + line;
    Fail({"Error!", message, "\n" + wrong});
  }
}

// Writes the launcher copy of the log: the log up to the chosen record, the three launcher
// rows, the rest of the log copied file to file. Only the part before the record is read
// (all of the log when only all of it tells its encoding). "" when written, else why the
// launcher does not fit this log; a copy that cannot be written ends the run.
std::string WriteLauncherCopy(const std::string& csvPath, const std::string& launcher,
                              const std::string& copyPath) {
  int fd = tolvek::OpenRegularFile(csvPath);
  if (fd < 0) return "the log could not be read";
  struct stat st;
  size_t position = 0;
  std::string head;
  graphview::LauncherRows rows;
  if (fstat(fd, &st) == 0) {
    size_t size = static_cast<size_t>(st.st_size);
    bool numbered = graphview::LauncherPosition(launcher, position);
    // Enough for the record at the position, read further while the record goes on.
    for (size_t more = 65536;; more *= 4) {
      head = ReadHead(fd, numbered ? std::min(size, position + more) : size);
      if (!graphview::LogEncodingKnownFromStart(head)) head = ReadHead(fd, size);
      rows = graphview::MakeLauncherRows(head, launcher);
      if (!rows.recordCut || head.size() >= size) break;
    }
  } else {
    rows = graphview::MakeLauncherRows(head, launcher);
  }
  if (!rows.ok) {
    close(fd);
    return rows.message;
  }
  const bool written = tolvek::WriteFileWholeWith(
      copyPath,
      [&](int out) {
        return tolvek::WriteAllBytes(out, head.data(), rows.position) &&
               tolvek::WriteAllBytes(out, rows.rows.data(), rows.rows.size()) &&
               tolvek::CopyFileTail(fd, static_cast<int64_t>(rows.position), out);
      },
      kScratch);
  const int why = errno;
  close(fd);
  // Without its copy the converter would follow nothing: no graph is better than that one.
  if (!written) {
    const std::string text = "Error: Couldn't write the launcher copy of the log '" + copyPath +
                             "': " + std::strerror(why) + "!";
    Fail({"Error!", text, "\n" + text});
  }
  return "";
}

// The converter's DOT file filtered by the render options: the layout file for dot, and the
// graph file (unused nodes dropped) in place of the converter's.
void FilterByRenderOptions(const std::string& dotPath, const std::string& layoutDotPath) {
  WorkbenchState& s = State();
  PhaseTimer timer(s.generationTimes.filtering);
  std::string dotText = tolvek::ReadFileBytes(dotPath).value_or("");
  if (dotText.empty()) Fail({"Error!", "Couldn't open dot file (" + dotPath + ")!", ""});

  graphview::RenderOptions render;
  render.registry = BoxOn(Checkbox_RenderOptions_Registry, true);
  render.registryNonAutostart = BoxOn(Checkbox_RenderOptions_RegistryNonAutostart, true);
  render.registryGet = BoxOn(Checkbox_RenderOptions_RegistryGet, true);
  render.registrySet = BoxOn(Checkbox_RenderOptions_RegistrySet, true);
  render.files = BoxOn(Checkbox_RenderOptions_Files, true);
  render.filesBulkCategories = BoxOn(Checkbox_RenderOptions_FilesBulkCategories, true);
  render.filesRead = BoxOn(Checkbox_RenderOptions_FilesRead, true);
  render.filesWrite = BoxOn(Checkbox_RenderOptions_FilesWrite, true);
  render.filesCreate = BoxOn(Checkbox_RenderOptions_FilesCreate, true);
  render.filesDelete = BoxOn(Checkbox_RenderOptions_FilesDelete, true);
  render.filesBasedOn = BoxOn(Checkbox_RenderOptions_FilesBasedOn, true);
  render.filesLoads = BoxOn(Checkbox_RenderOptions_FilesLoads, true);
  graphview::FilteredGraph filtered = graphview::FilterGraphDot(
      dotText, graphview::CollectAutostartIds(dotText), render, s.options.edgeLabelMode);
  dotText.clear();
  WriteRunFile("layout DOT file", layoutDotPath, filtered.layoutDot);
  std::string graphDot = graphview::DropUnusedNodes(filtered.graphDot, filtered.usedIds);
  WriteRunFile("graph DOT file", dotPath, graphDot);
}

// The files one generation writes. They are fresh for every run and take the place of the
// shown graph's files only once the new layout is in the model: the graph on screen, its DOT
// file and its details file always belong together. A run that ends otherwise leaves its
// files for the bug report until the next run.
class RunFiles {
 public:
  RunFiles() {
    Drop(State().unshownRun);
    for (int64_t* id : {&m_dot, &m_layoutDot, &m_plain}) {
      *id = tolvek::CreateTempFile(true, true, id == &m_plain ? "txt" : "dot");
    }
    State().unshownRun = {m_dot, m_layoutDot, m_plain};
  }
  ~RunFiles() {
    if (State().unshownRun.dot != m_dot) Drop({m_dot, m_layoutDot, m_plain});
  }
  RunFiles(const RunFiles&) = delete;
  RunFiles& operator=(const RunFiles&) = delete;

  std::string Dot() const { return Path(m_dot); }
  std::string LayoutDot() const { return Path(m_layoutDot); }
  std::string Plain() const { return Path(m_plain); }
  static std::string Details(const std::string& dotPath) { return dotPath + ".lumivex"; }

  // The run's files become the shown graph's; a file the run did not write takes the old
  // one with it. The canvas picture was of the old graph.
  void TakeOver() const {
    const GraphFiles& f = State().files;
    auto move = [](const std::string& from, const std::string& to) {
      if (rename(from.c_str(), to.c_str()) != 0) unlink(to.c_str());
    };
    move(Dot(), Path(f.graphFileDot));
    move(Details(Dot()), Details(Path(f.graphFileDot)));
    move(LayoutDot(), Path(f.graphFileDot4Render));
    move(Plain(), Path(f.graphFileTxt));
    unlink(Path(f.graphFilePng).c_str());
    State().unshownRun = {};
  }

 private:
  static void Drop(const UnshownRunFiles& files) {
    if (files.dot) unlink(Details(Path(files.dot)).c_str());
    for (int64_t id : {files.dot, files.layoutDot, files.plain}) {
      if (id) tolvek::DeleteTempFile(id);
    }
  }

 private:
  int64_t m_dot = 0, m_layoutDot = 0, m_plain = 0;
};

// What the analyst hears once the graph is shown.
struct Aftermath {
  std::string note;     // a message; the run is still a success
  std::string failure;  // the run failed, but left a graph to show
};

// Runs the steps up to the plain layout.
Aftermath Generate(const RunFiles& run) {
  WorkbenchState& s = State();
  graphview::ClearEdgeTypeCache();
  // The last launcher copy can be as large as its log: it goes before anything else, so it
  // never outlives the Refresh after it, whatever that one does.
  Aftermath after;
  std::ignore = truncate(Path(s.files.tempProcmonCsv).c_str(), 0);
  std::string csvPath = platform::GetGadgetText(String_Main_ProcmonFile);
  std::string capturePath = platform::GetGadgetText(String_Main_WindumpFile);
  std::string launcher = platform::GetGadgetText(String_Main_Launcher);

  graphview::ModeBoxes boxes;
  boxes.noPaths = BoxOn(Checkbox_Main_ModeNoPaths, false);
  boxes.compressed = BoxOn(Checkbox_Main_ModeCompressed, false);
  boxes.dumb = BoxOn(Checkbox_Main_ModeDumb, false);
  boxes.filesReadOnly = BoxOn(Checkbox_RenderOptions_FilesReadOnly, false);
  boxes.forceAscii = BoxOn(Button_Main_ForceAscii, false);
  std::string mode = graphview::BuildModeString(boxes);
  CancelPoint(0, "Mode: " + mode);

  std::string converterCsv = csvPath;
  {
    PhaseTimer timer(s.generationTimes.inputs);
    std::string log = ReadFirstLine(csvPath);
    if (log.empty()) {
      Fail({"Error!", "Could not read Procmon file!", "\nError: Could not read Procmon file!"});
    }
    if (!graphview::CheckCsvHeader(log)) {
      Fail({"Error!",
            "Procmon file has an unknown format!\nDid you pre-configure Procmon as mentioned in "
            "our installation guide in the readme?",
            "\nProcmon file has an unknown format! Did you pre-configure Procmon as mentioned in "
            "our installation guide in the readme?"});
    }
    if (!launcher.empty()) {
      std::string copy = Path(s.files.tempProcmonCsv);
      std::string why = WriteLauncherCopy(csvPath, launcher, copy);
      if (why.empty()) {
        converterCsv = copy;
      } else {
        // The launcher was chosen in another log or the session was edited: the log goes to
        // the converter as it is, and the analyst is told why.
        after.note = "Launcher not applied: " + why;
        CancelPoint(0, after.note);
      }
    }
  }

  std::string converterCapture = capturePath;
  if (graphview::IsPcapCapture(capturePath)) {
    PhaseTimer timer(s.generationTimes.capture);
    converterCapture = ConvertCapture(capturePath);
  } else if (struct stat st;
             !capturePath.empty() && stat(capturePath.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) {
    // The converter would wait on a FIFO's writer or read a device without end; it goes on
    // without the capture, as it does with one it cannot read.
    CancelPoint(0, "Warning: Couldn't read file '" + capturePath + "'!");
    converterCapture.clear();
  }

  // The global rules and the session's, in the lists the converter reads from its folder.
  std::string folder = RunIgnoreListFolder();
  if (folder.empty()) Fail({"Error!", "Error running ...\n" + ConverterPath(), ""});
  std::string session = preference_text::ReadTextFile(s.sessionFile).value_or("");
  for (const char* kind : kIgnoreListKinds) {
    std::string global = preference_text::ReadTextFile(GlobalFilterFilePath(kind)).value_or("");
    WriteRunFile("ignore list", folder + "evtweave_" + kind + "ignores.dat",
                 IgnoreListText(DecodeStoredText(global), session, SessionFilterGroup(kind)));
  }

  {
    PhaseTimer timer(s.generationTimes.converter);
    after.failure = RunConverter(
        graphview::ConverterArguments(converterCsv, run.Dot(), mode, converterCapture), folder);
  }

  try {
    FilterByRenderOptions(run.Dot(), run.LayoutDot());
    PhaseTimer timer(s.generationTimes.dot);
    RunDot(run.Plain(), run.LayoutDot());
  } catch (GenerationEnded& ended) {
    // A later failure may well come from the converter's: both are told.
    Ending& e = ended.ending;
    if (!after.failure.empty() && e.status == "Error!" &&
        e.message.find(after.failure) == std::string::npos) {
      e.message += "\n" + after.failure;
      e.logLine += "\n" + after.failure;
    }
    throw;
  }
  return after;
}

// Closes the wait window, keeping its log as the generation log.
void StopWaitWindow() {
  State().generationLog = gui::StopWaitRequester();
}

void EndWith(const Ending& ending) {
  WorkbenchState& s = State();
  StopWaitWindow();
  platform::SetGadgetText(Text_Main_Status, ending.status);
  if (!ending.message.empty()) platform::MessageRequester(kTitle, ending.message);
  platform::DisableWindow(Window_Main, false);
  s.generationLog += ending.logLine;
}

// The laid-out graph and its attributes into the model; the run's files become the shown
// graph's once the model holds its layout. What went wrong before is told once the graph is
// read.
void ReadResults(const RunFiles& run, const Aftermath& after) {
  WorkbenchState& s = State();
  platform::SetGadgetText(Text_Main_Status, "Parsing ...");
  std::string plainPath = run.Plain();
  graphview::GraphReadStatus status;
  {
    PhaseTimer timer(s.generationTimes.reading);
    status = graphview::ReadGraph(s.graph, tolvek::ReadFileBytes(plainPath).value_or(""),
                                  tolvek::ReadFileBytes(run.Dot()).value_or(""));
  }
  const std::string converterSaid = after.failure.empty() ? "" : "\n" + after.failure;
  if (status == graphview::GraphReadStatus::kLayoutUnreadable) {
    std::string text = "Error: Couldn't open TXT (" + plainPath + ")!" + converterSaid;
    EndWith({"Error!", text, "\n" + text});
    return;
  }
  run.TakeOver();
  if (status == graphview::GraphReadStatus::kDotUnreadable) {
    std::string text =
        "Error: Couldn't open DOT (" + Path(s.files.graphFileDot) + ")!" + converterSaid;
    EndWith({"Error!", text, "\n" + text});
    return;
  }
  // An empty graph is no failure, but the analyst has to see why the canvas stays blank.
  const bool empty = s.graph.layout.nodes.empty();
  if (empty) s.generationLog += "\n" + std::string(kEmptyGraphNote);
  if (!after.failure.empty()) s.generationLog += "\n" + after.failure;
  platform::SetGadgetText(Text_Main_Status,
                          !after.failure.empty() ? "Error!" : (empty ? kEmptyGraphNote : "OK"));
  platform::DisableWindow(Window_Main, false);
  // The wait window that showed the note is gone: a launcher that was ignored changes the
  // whole graph.
  if (!after.note.empty()) platform::MessageRequester(kTitle, after.note);
  if (!after.failure.empty()) platform::MessageRequester(kTitle, after.failure);
}

}  // namespace

std::string RunIgnoreListFolder() {
  // A folder of this instance's own, so another window's Refresh never swaps the lists.
  return tolvek::GetOwnTempFolder("evtweave");
}

void GenerateGraph() {
  TOLVEK_TRACE("GenerateGraph");
  WorkbenchState& s = State();
  s.generationTimes = {};
  RunFiles run;
  // The inputs of a run that crashes are those it started with; its log it has yet to write.
  RecordLastRefresh(false);

  platform::DisableWindow(Window_Main, true);
  platform::SetGadgetText(Text_Main_Status, "Generating ...");
  gui::StartWaitRequester("Please wait, generating interactive graph ...", 0, Window_Main, true);
  Aftermath after;
  try {
    after = Generate(run);
  } catch (const GenerationEnded& ended) {
    EndWith(ended.ending);
    RecordLastRefresh(true);
    return;
  }
  StopWaitWindow();
  ReadResults(run, after);
  RecordLastRefresh(true);
}

}  // namespace workbench
