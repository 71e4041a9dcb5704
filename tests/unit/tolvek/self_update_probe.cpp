// A stand-in program for self-update tests: runs the library start-up like the real
// programs, then leaves a marker saying how it was started.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "tolvek/startup.h"

int main() {
  tolvek::LibraryStartup();
  const char* marker = std::getenv("PROBE_MARKER");
  const char* completed = std::getenv("PATCH_COMPLETED");
  if (marker) {
    if (FILE* f = std::fopen(marker, "w")) {
      std::fprintf(f, "started:%s", completed ? completed : "");
      std::fclose(f);
    }
  }
  return 0;
}
