// Ending by a signal: a logout or a closed terminal (SIGHUP, SIGTERM) and Ctrl+C (SIGINT) end
// the workbench as File > Exit does. The handler only writes a byte into a pipe; the GUI
// thread reads it from whichever loop is running and ends the program in order there. A
// display that goes away ends the program through exit(), which takes the work files along.
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "platform/window_system.h"
#include "tolvek/callstack.h"
#include "workbench/stages.h"

namespace workbench {
namespace {

int gEndPipe[2] = {-1, -1};
bool gStartUpComplete = false;

// The work files' names as they were made. By the time exit() runs the hooks, the trace's
// thread-local state and perhaps the library's registry are gone: the removal is plain unlinks
// of names kept in buffers that nothing destroys.
constexpr size_t kWorkFiles = 6;
char gWorkFiles[kWorkFiles][4096];
pid_t gProgram = 0;

void RemoveWorkFilesAtExit() {
  // Only the program itself: a forked child that exits leaves them alone.
  if (::getpid() != gProgram) return;
  for (const char* path : gWorkFiles) {
    if (path[0]) ::unlink(path);
  }
}

void OnEndSignal(int) {
  const int saved = errno;
  const char byte = 1;
  // A full pipe already holds a request; one is enough.
  (void)!::write(gEndPipe[1], &byte, 1);
  errno = saved;
}

void OnEndRequested() {
  char drained[64];
  while (::read(gEndPipe[0], drained, sizeof drained) > 0) {
  }
  // Until the settings are read there is nothing of this run worth remembering in them, and
  // writing would lose the last session's name.
  if (gStartUpComplete) EndSequence();
  tolvek::EndProgram(0);
}

}  // namespace

void InstallEndSignals() {
  gStartUpComplete = false;
  if (gEndPipe[0] >= 0) return;
  if (::pipe2(gEndPipe, O_CLOEXEC | O_NONBLOCK) != 0) return;
  gProgram = ::getpid();
  std::atexit(RemoveWorkFilesAtExit);
  platform::WatchReadable(gEndPipe[0], OnEndRequested);
  struct sigaction action {};
  action.sa_handler = OnEndSignal;
  action.sa_flags = SA_RESTART;
  sigemptyset(&action.sa_mask);
  for (int signal : {SIGTERM, SIGHUP, SIGINT}) ::sigaction(signal, &action, nullptr);
}

void EndSignalsEndInOrder() {
  gStartUpComplete = true;
}

void RemoveWorkFilesAtExitToo(const std::vector<std::string>& paths) {
  for (size_t i = 0; i < kWorkFiles; ++i) {
    const std::string path = i < paths.size() ? paths[i] : std::string();
    const size_t n = path.size() < sizeof gWorkFiles[i] ? path.size() : 0;
    std::memcpy(gWorkFiles[i], path.data(), n);
    gWorkFiles[i][n] = 0;
  }
}

}  // namespace workbench
