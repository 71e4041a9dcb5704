// A stand-in program for self-update tests: runs the library start-up like the real
// programs, then leaves a marker saying how it was started. With PROBE_EVENTS set, its
// event-log entries go to that file instead of the system log; with PROBE_FD set, the marker
// says whether that descriptor reached it.
#include <fcntl.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "tolvek/startup.h"
#include "tolvek/syslog.h"

namespace {

void EventToFile(int, std::string_view text) {
  if (FILE* f = std::fopen(std::getenv("PROBE_EVENTS"), "a")) {
    std::fprintf(f, "%.*s\n", static_cast<int>(text.size()), text.data());
    std::fclose(f);
  }
}

}  // namespace

int main() {
  // Looked at before the start-up opens descriptors of its own.
  const char* fd = std::getenv("PROBE_FD");
  const bool inherited = fd && fcntl(std::atoi(fd), F_GETFD) != -1;
  if (std::getenv("PROBE_EVENTS")) tolvek::SetSyslogSink(&EventToFile);
  tolvek::LibraryStartup();
  const char* marker = std::getenv("PROBE_MARKER");
  const char* completed = std::getenv("PATCH_COMPLETED");
  if (marker) {
    if (FILE* f = std::fopen(marker, "w")) {
      std::fprintf(f, "started:%s", completed ? completed : "");
      if (inherited) std::fprintf(f, " with descriptor %s", fd);
      std::fclose(f);
    }
  }
  return 0;
}
