// Ending by a signal: a logout or a closed terminal (SIGHUP, SIGTERM) and Ctrl+C (SIGINT) end
// the workbench as File > Exit does. The handler only writes a byte into a pipe; the GUI
// thread reads it from whichever loop is running and asks the window layer to end, which
// rejects the open dialogs and lets every nested loop leave as cancelled. The program ends
// only once they have all returned, between two turns of the main loop: ending inside one of
// them would destroy windows that a loop below still uses.
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>

#include "platform/window_system.h"
#include "tolvek/callstack.h"
#include "workbench/stages.h"

namespace workbench {
namespace {

int gEndPipe[2] = {-1, -1};
bool gStartUpComplete = false;

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
  platform::RequestEnd();
}

}  // namespace

void InstallEndSignals() {
  gStartUpComplete = false;
  if (gEndPipe[0] >= 0) return;
  if (::pipe2(gEndPipe, O_CLOEXEC | O_NONBLOCK) != 0) return;
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

void EndIfRequested() {
  if (!platform::IsEndRequested()) return;
  // Until the settings are read there is nothing of this run worth remembering in them, and
  // writing would lose the last session's name.
  if (gStartUpComplete) EndSequence();
  tolvek::EndProgram(0);
}

}  // namespace workbench
