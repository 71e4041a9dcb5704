// A program that crashes on demand, for the crash handler's tests:
//   crash_probe <how> <follow-up program> [its arguments ...]
// The report goes to $HOME/probe.error. Before its fault the probe blocks SIGUSR2, ignores
// SIGPIPE and opens a descriptor without close-on-exec, none of which the follow-up may
// inherit. How it crashes:
//   fault        the main thread touches unmapped memory
//   two-threads  two started threads do so at the same moment
//   overflow     a started thread overflows its stack
//   refault      the handler itself faults while it writes the report
//   taken        as fault, with the report's temporary name taken by a folder, so that the
//                report cannot be written
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "tolvek/callstack.h"
#include "tolvek/crash_report.h"
#include "tolvek/threads.h"

namespace {

volatile bool gDeeper = true;

__attribute__((no_sanitize("address", "undefined"), noinline)) void TouchUnmappedMemory() {
  TOLVEK_TRACE("TouchUnmappedMemory");
  *reinterpret_cast<volatile int*>(uintptr_t{8}) = 1;
}

__attribute__((no_sanitize("address", "undefined"), noinline)) int Recurse(int depth) {
  volatile char frame[1024];
  frame[0] = static_cast<char>(depth);
  if (!gDeeper) return frame[0];
  return Recurse(depth + 1) + frame[0];
}

void Unsettle() {
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGUSR2);
  pthread_sigmask(SIG_BLOCK, &set, nullptr);
  signal(SIGPIPE, SIG_IGN);
  open("/dev/null", O_RDONLY);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) return 2;
  const std::string how = argv[1];
  tolvek::InstallCrashHandler({"probe.error", "Probe-Head\r\n", true, "Probe-Tail\r\n"});
  tolvek::SetCrashFollowUp(std::vector<std::string>(argv + 2, argv + argc));
  TOLVEK_TRACE("ProbeMain");
  Unsettle();
  if (how == "fault") {
    TouchUnmappedMemory();
  } else if (how == "taken") {
    const char* home = std::getenv("HOME");
    const std::string part =
        std::string(home ? home : "") + "/probe.error." + std::to_string(getpid()) + ".part";
    if (mkdir(part.c_str(), 0700) != 0) return 4;
    TouchUnmappedMemory();
  } else if (how == "two-threads") {
    std::atomic<int> ready{0};
    auto job = [&ready] {
      Unsettle();
      ++ready;
      while (ready < 2) {
      }
      TouchUnmappedMemory();
    };
    std::thread first = tolvek::StartThread(job);
    std::thread second = tolvek::StartThread(job);
    first.join();
    second.join();
  } else if (how == "overflow") {
    tolvek::StartThread([] { std::printf("%d\n", Recurse(0)); }).join();
  } else if (how == "refault") {
    // The handler reads the position of the innermost traced procedure first of all. Set as
    // the traced procedures set it: a plain store here would be dropped, as the scope's end
    // overwrites it, and the handler would find a sound position.
    tolvek::detail::SetPosition(reinterpret_cast<const tolvek::SourcePosition*>(uintptr_t{16}));
    *reinterpret_cast<volatile int*>(uintptr_t{8}) = 1;
  }
  return 3;
}
