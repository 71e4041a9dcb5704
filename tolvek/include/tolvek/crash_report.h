// The crash file: a run-time fault (a fatal signal or an unhandled exception) ends the program
// with a short report in $HOME instead of a core dump. One handler serves every program; each
// names its file, the lines around the fault's own and what is started once the file is
// written.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tolvek {

struct CrashReportLayout {
  std::string fileName;    // in $HOME
  std::string head;        // lines before the fault's, each ended by CR LF
  bool callstack = false;  // an empty line, "Callstack: " + the faulting thread's stack, an
                           // empty line after the fault's lines
  std::string tail;        // lines after those
};

// Installs the handler for SIGSEGV, SIGBUS, SIGFPE, SIGILL and SIGABRT on an alternate stack
// and as the terminate handler. The process then ends with exit code 1 and runs no
// finalizers. The first faulting thread writes the report; others that fault meanwhile wait
// for the end. An older report is removed first; the new one is written whole under a
// temporary name (mode 0600) and renamed into place, and no temporary file stays behind.
void InstallCrashHandler(const CrashReportLayout& layout);

// The program started (detached, standard input from /dev/null, no signal blocked or ignored)
// once the file is written; argv[0] is the program's path. The handler adds one last
// argument: the report's path when the report was written, "" when it could not be. Empty:
// none. Later calls replace the earlier arguments.
void SetCrashFollowUp(const std::vector<std::string>& argv);

// The fault's five lines (each ended by CR LF), as the handler writes them.
std::string CrashReportText(uint64_t address, int code, std::string_view file, int64_t line,
                            std::string_view message);

}  // namespace tolvek
