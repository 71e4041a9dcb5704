// Refresh: the analyst's inputs through the converter and dot into the graph model, with the
// wait window showing progress and offering Cancel while the children run.
#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <string>
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
constexpr int kPollMs = 100;
constexpr int kProgressMax = 3;
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
// limit bytes.
std::string ReadFirstLine(const std::string& path, size_t limit = 1 << 20) {
  int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
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

// Shows a running child's lines in the wait window until it has ended and said everything.
void FollowChild(tolvek::Program& child, int progress) {
  ChildLines lines(child);
  for (;;) {
    std::vector<std::string> got = lines.Poll(kPollMs);
    // Every line that has arrived is shown now: a chatty child is never slowed to one line
    // per poll.
    for (const std::string& line : got) CancelPoint(progress, line, &child);
    if (got.empty()) CancelPoint(progress, gui::kNoLogLine, &child);
    if (lines.Drained()) break;
    // A child that has ended while something it started still holds the pipes is done.
    if (got.empty() && tolvek::WaitProgram(child, 0)) break;
  }
  tolvek::CloseProgram(child);
}

[[noreturn]] void Fail(const Ending& ending) {
  throw GenerationEnded{ending};
}

void RunConverter(std::vector<std::string> args) {
  WorkbenchState& s = State();
  std::string converter = ConverterPath();
  std::string parameters = graphview::QuotedParameters(args);
  std::string shown = s.programFolder + "evtweave " + parameters;
  CancelPoint(1, "RunProgram: " + shown + " (CWD=" + s.settingsFolder + ")");
  tolvek::Program program;
  if (!tolvek::StartProgram(converter, args, s.settingsFolder, program)) {
    Fail({"Error!", "Error running ...\n" + shown, ""});
  }
  CancelPoint(1, "----------------- evtweave ------------------", &program);
  FollowChild(program, 1);
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
  std::string text = Path(s.files.tempWindumpTxt);
  unlink(text.c_str());
  std::vector<std::string> args = graphview::CaptureToolArguments(capturePath);
  std::string shown = tool;
  for (const std::string& a : args) shown += " " + a;
  CancelPoint(0, "RunProgram: " + shown);
  const Ending failed{"Error!", "Error converting .pcap to .txt!",
                      "\nError: converting .pcap to .txt!"};
  tolvek::Program program;
  if (!tolvek::StartProgram(tool, args, "", program)) Fail(failed);
  tolvek::MemoryPtr output(tolvek::ReadProgramStream(program));
  int code = tolvek::CloseProgram(program);
  std::string bytes;
  if (output) {
    bytes.assign(static_cast<const char*>(output.get()), tolvek::MemorySize(output.get()));
  }
  // A valid capture without packets gives no text and exit code 0: an empty capture.
  if (bytes.empty() && code != 0) Fail(failed);
  if (!tolvek::WriteFileWhole(text, bytes, kScratch)) Fail(failed);
  return text;
}

void RunDot() {
  WorkbenchState& s = State();
  const std::string& dot = s.options.dotExecutable;
  if (dot.empty()) {
    Fail({"Error!",
          "Dot executable is not properly installed/configured!\nPlease follow our "
          "installation guide in the readme.",
          ""});
  }
  std::vector<std::string> args =
      graphview::DotArguments(Path(s.files.graphFileTxt), Path(s.files.graphFileDot4Render));
  std::string parameters = graphview::QuotedParameters(args);
  const std::string systemTemp = tolvek::SystemTemporaryDirectory();
  CancelPoint(2, "RunProgram: " + dot + " " + parameters + " (CWD=" + systemTemp + ")");
  tolvek::Program program;
  if (!tolvek::StartProgram(dot, args, systemTemp, program)) {
    Fail({"Error!", "Error running ...\ndot " + parameters, ""});
  }
  CancelPoint(2, "----------------- dot (plain) ------------------", &program);
  FollowChild(program, 2);
}

// Writes the launcher copy of the log: the log up to the chosen record, the three launcher
// rows, the rest of the log copied file to file. Only the part before the record is read
// (all of the log when only all of it tells its encoding). "" when written, else why not.
std::string WriteLauncherCopy(const std::string& csvPath, const std::string& launcher,
                              const std::string& copyPath) {
  const std::string unwritten = "the copy could not be written";
  int fd = open(csvPath.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return unwritten;
  struct stat st;
  size_t position = 0;
  std::string head;
  if (fstat(fd, &st) == 0) {
    size_t size = static_cast<size_t>(st.st_size);
    bool numbered = graphview::LauncherPosition(launcher, position);
    head = ReadHead(fd, numbered ? std::min(size, position + 4) : size);
    if (!graphview::LogEncodingKnownFromStart(head)) head = ReadHead(fd, size);
  }
  graphview::LauncherRows rows = graphview::MakeLauncherRows(head, launcher);
  std::string why;
  if (!rows.ok) {
    why = rows.message;
  } else if (!tolvek::WriteFileWholeWith(
                 copyPath,
                 [&](int out) {
                   return tolvek::WriteAllBytes(out, head.data(), rows.position) &&
                          tolvek::WriteAllBytes(out, rows.rows.data(), rows.rows.size()) &&
                          tolvek::CopyFileTail(fd, static_cast<int64_t>(rows.position), out);
                 },
                 kScratch)) {
    why = unwritten;
  }
  close(fd);
  return why;
}

// The converter's DOT file filtered by the render options: the layout file for dot, and the
// graph file (unused nodes dropped) in place of the converter's.
void FilterByRenderOptions(const std::string& dotPath) {
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
  tolvek::WriteFileWhole(Path(s.files.graphFileDot4Render), filtered.layoutDot, kScratch);
  std::string graphDot = graphview::DropUnusedNodes(filtered.graphDot, filtered.usedIds);
  tolvek::WriteFileWhole(dotPath, graphDot, kScratch);
}

void Generate() {
  WorkbenchState& s = State();
  graphview::ClearEdgeTypeCache();
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
        CancelPoint(0, "Launcher not applied: " + why);
      }
    }
  }

  std::string converterCapture = capturePath;
  if (graphview::IsPcapCapture(capturePath)) {
    PhaseTimer timer(s.generationTimes.capture);
    converterCapture = ConvertCapture(capturePath);
  }

  // The global rules and the session's, in the lists the converter reads from its folder.
  std::string session = preference_text::ReadTextFile(s.sessionFile).value_or("");
  for (const char* kind : kIgnoreListKinds) {
    std::string global = preference_text::ReadTextFile(GlobalFilterFilePath(kind)).value_or("");
    tolvek::WriteFileWhole(
        IgnoreListPath(kind),
        IgnoreListText(DecodeStoredText(global), session, SessionFilterGroup(kind)), kScratch);
  }

  std::string dotPath = Path(s.files.graphFileDot);
  {
    PhaseTimer timer(s.generationTimes.converter);
    RunConverter(graphview::ConverterArguments(converterCsv, dotPath, mode, converterCapture));
  }

  FilterByRenderOptions(dotPath);

  PhaseTimer timer(s.generationTimes.dot);
  RunDot();
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

// The laid-out graph and its attributes into the model.
void ReadResults() {
  WorkbenchState& s = State();
  platform::SetGadgetText(Text_Main_Status, "Parsing ...");
  std::string plainPath = Path(s.files.graphFileTxt);
  std::string dotPath = Path(s.files.graphFileDot);
  graphview::GraphReadStatus status;
  {
    PhaseTimer timer(s.generationTimes.reading);
    status = graphview::ReadGraph(s.graph, tolvek::ReadFileBytes(plainPath).value_or(""),
                                  tolvek::ReadFileBytes(dotPath).value_or(""));
  }
  if (status == graphview::GraphReadStatus::kLayoutUnreadable) {
    std::string text = "Error: Couldn't open TXT (" + plainPath + ")!";
    EndWith({"Error!", text, "\n" + text});
    return;
  }
  if (status == graphview::GraphReadStatus::kDotUnreadable) {
    std::string text = "Error: Couldn't open DOT (" + dotPath + ")!";
    EndWith({"Error!", text, "\n" + text});
    return;
  }
  platform::SetGadgetText(Text_Main_Status, "OK");
  platform::DisableWindow(Window_Main, false);
}

}  // namespace

void GenerateGraph() {
  TOLVEK_TRACE("GenerateGraph");
  WorkbenchState& s = State();
  s.generationTimes = {};
  for (int64_t id : {s.files.graphFileDot, s.files.graphFileDot4Render}) unlink(Path(id).c_str());
  unlink((Path(s.files.graphFileDot) + ".lumivex").c_str());
  for (int64_t id : {s.files.graphFilePng, s.files.graphFileTxt}) unlink(Path(id).c_str());

  platform::DisableWindow(Window_Main, true);
  platform::SetGadgetText(Text_Main_Status, "Generating ...");
  gui::StartWaitRequester("Please wait, generating interactive graph ...", 0, Window_Main, true);
  try {
    Generate();
  } catch (const GenerationEnded& ended) {
    EndWith(ended.ending);
    return;
  }
  StopWaitWindow();
  ReadResults();
}

}  // namespace workbench
