#include "evtweave/converter.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

#include "evtweave/capture_text.h"
#include "evtweave/console_output.h"
#include "evtweave/details_file.h"
#include "evtweave/dot_writer.h"
#include "evtweave/entities.h"
#include "evtweave/event_pass.h"
#include "evtweave/ignore_lists.h"
#include "evtweave/launcher.h"
#include "evtweave/output_files.h"
#include "evtweave/procmon_csv.h"
#include "tolvek/callstack.h"
#include "tolvek/syslog.h"

namespace evtweave {

ConverterState& State() {
  static ConverterState state;
  return state;
}

void ResetConverterState() {
  State() = ConverterState();
}

Options ParseModeString(std::string_view mode) {
  Options o;
  o.nopaths = Contains(mode, "nopaths");
  o.compressed = Contains(mode, "compressed");
  o.reduced = Contains(mode, "reduced");
  o.dumb = Contains(mode, "dumb");
  o.rof = Contains(mode, "rof");
  o.lumivex = Contains(mode, "lumivex");
  o.forceascii = Contains(mode, "forceascii");
  o.unittest = Contains(mode, "unittest");
  return o;
}

namespace {

// The whole file as UTF-8 text; false when it cannot be read or holds nothing. A regular
// file that may be UTF-8 is used where it lies (mapped), anything else is read and decoded.
bool LoadLogText(const std::string& path, LogText& text) {
  TOLVEK_TRACE("LoadLogText");
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    tolvek::SyslogWarning("Couldn't open file '" + path + "'");
    return false;
  }
  struct stat info {};
  bool regular = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
  if (regular && info.st_size > 0 && text.MapFile(fd, static_cast<size_t>(info.st_size))) {
    ::close(fd);
    // Whether the rest is UTF-8 the reader finds out as it reads, on several threads.
    size_t start = Utf8Start(text.View());
    if (start != std::string_view::npos) {
      text.SkipPrefix(start);
      text.MarkUnchecked();
    } else {
      text = DecodeLogText(std::string(text.View()));
    }
    return true;
  }
  std::string bytes;
  if (regular) bytes.reserve(static_cast<size_t>(info.st_size));
  char buffer[1 << 16];
  bool ok = true;
  for (;;) {
    ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) ok = false;
    if (n <= 0) break;
    bytes.append(buffer, static_cast<size_t>(n));
  }
  ::close(fd);
  if (!ok || bytes.empty()) return false;
  text = DecodeLogText(std::move(bytes));
  return true;
}

int FailWith(const std::string& message) {
  PrintBanner();
  PrintConsoleLine(message);
  PrintConsoleLine("");
  return 1;
}

}  // namespace

int RunConverter(const std::vector<std::string>& arguments) {
  TOLVEK_TRACE("RunConverter");
  ResetConverterState();
  ConverterState& state = State();
  auto argument = [&](size_t i) { return i < arguments.size() ? arguments[i] : std::string(); };
  state.CsvFile = argument(0);
  state.DotFile = argument(1);
  state.ModeString = argument(2);
  state.CaptureFile = argument(3);
  state.options = ParseModeString(state.ModeString);

  if (state.CsvFile.empty()) {
    PrintBanner();
    return 0;
  }
  if (!LoadLogText(state.CsvFile, state.csv.m_text)) {
    return FailWith("Error: Couldn't read file '" + state.CsvFile + "'!");
  }
  if (!state.options.unittest) {
    PrintProgress("evtweave (Build " + std::to_string(kBuildNumber) + "u)");
  }
  LoadIgnoreFiles();
  if (ReadProcmonCsv() != CsvReadResult::kOk) {
    return FailWith("Error: Unknown Procmon .csv-format in '" + state.CsvFile + "'!");
  }
  CollectEntities();
  ManageLauncher();
  CollectNetworkData();
  AnalyzeData();
  PrintProgress("Writing files ...");
  // Without a DOT file there is nothing for a details file to describe, and an empty path
  // would put it on the workbench's settings file.
  if (OutputPathsUsable() && WriteDotFile() && state.options.lumivex) WriteDetailsFile();
  PrintProgress("Done.");
  PrintProgress("End.");
  return state.m_failed ? 1 : 0;
}

}  // namespace evtweave
