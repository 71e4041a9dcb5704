// Running other programs and collecting what they write.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace tolvek {

int64_t GetProcessId();

// A started program whose standard output (and error output) come through pipes. It has one
// owner: it moves, it is never copied. A program still running when its owner lets it go is
// ended with everything it started, and collected; hand it to a ProgramReaper to let it run.
struct Program {
  pid_t pid = -1;  // also the id of its process group, which it leads
  int outFd = -1;
  int errFd = -1;
  std::string errors;   // error output collected while standard output is drained
  int waitStatus = -1;  // how it ended, as waitpid tells it, once CloseProgram collected it

  Program() = default;
  Program(Program&& other) noexcept;
  Program& operator=(Program&& other) noexcept;
  Program(const Program&) = delete;
  Program& operator=(const Program&) = delete;
  ~Program();
};

struct ProgramOptions {
  // Without redirection the program's output and error output are discarded.
  bool redirect = true;
  // "NAME=value" entries that replace or join the inherited environment.
  std::vector<std::string> environment;
  // The most address space the program may take, in bytes (0 = no limit of ours): beyond it
  // its allocations fail instead of the machine running out of memory. It holds from the
  // program's first instruction.
  int64_t addressSpaceLimit = 0;
  // The program is killed when the thread that started it ends, by a crash too: a helper we
  // wait for has no reason to outlive us. Off for a program meant to run on its own.
  bool endWithParent = true;
  // Without redirection: the program writes to our own standard output and error output.
  bool shareStreams = false;
  // Off: the program stays in our process group, so the terminal's keys reach it as they
  // reach us (a program that takes our place).
  bool ownGroup = true;
  // A session of its own: what it starts outlives a terminal we may be closed with.
  bool newSession = false;
  // A descriptor (O_PATH will do) of the file as the caller checked it: that file runs, not
  // whatever file names by then. A script's interpreter opens the script by name, which a
  // closed descriptor cannot give it: a script runs from file.
  int executableFd = -1;
};

// Starts file with its arguments (never through a shell) in directory ("" = current),
// standard input from /dev/null, in a process group of its own (unless told), with default
// signal handling
// and no descriptor of ours but the pipes. A bare name is looked up in PATH. False when it
// cannot be started (errno tells why).
bool StartProgram(const std::string& file, const std::vector<std::string>& args,
                  const std::string& directory, Program& program,
                  const ProgramOptions& options = {});
// Drains standard output (and the error pipe alongside, so neither blocks) until the
// program ends; the output block, or null when it wrote nothing.
void* ReadProgramStream(Program& program);
// Waits up to timeoutMs (-1 = without limit) for the program to end, leaving its exit code
// for CloseProgram; true when it has ended.
bool WaitProgram(Program& program, int64_t timeoutMs);
// Ends the program and everything it started (its process group) at once; CloseProgram
// still collects it.
void KillProgram(Program& program);
// Waits for the program and closes its pipes; returns its exit code (-1 when unknown, or
// when a signal ended it: waitStatus then tells which).
int CloseProgram(Program& program);
// Collects programs left running on their own once they have ended, so that none stays a
// zombie; its owner says when to look. What still runs when the reaper goes keeps running.
class ProgramReaper {
 public:
  ProgramReaper() = default;
  ProgramReaper(const ProgramReaper&) = delete;
  ProgramReaper& operator=(const ProgramReaper&) = delete;
  // Takes the program over (its pipes are closed); program is left empty.
  void Adopt(Program& program);
  // Collects those that have ended since; how many still run.
  size_t Reap();

 private:
  std::vector<pid_t> m_pids;
};

// Three quarters of the machine's physical memory, in bytes (0 when unknown).
int64_t ThreeQuartersOfPhysicalMemory();

// Runs the program hidden and returns its output block: the standard output bytes, then,
// with withErrors and error lines present, Chr(1) and the error lines each followed by LF,
// as UTF-16LE with a terminating zero unit. Null when it cannot start or wrote nothing.
void* RunProgramAndOutput2Memory(const std::string& file, const std::vector<std::string>& args,
                                 const std::string& directory, bool withErrors);

// Hands url to the desktop's opener, detached; returns at once. The opener is collected
// aside once it ends.
void OpenUrl(const std::string& url, int flags = 1);

}  // namespace tolvek
