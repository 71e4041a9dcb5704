// Copies an update over an installed program; started with the rights needed to do so.
//   copyhelper SOURCE DESTINATION
// Exit code 0 when the copy succeeded, 1 when it failed six times or the source is not a
// plain file.
#include <sys/stat.h>

#include <chrono>
#include <string>
#include <thread>

#include "tolvek/self_update.h"

int main(int argc, char** argv) {
  std::string source = argc > 1 ? argv[1] : "";
  std::string destination = argc > 2 ? argv[2] : "";
  // With administrator rights, a link or a device as the source would copy whatever it
  // leads to; waiting would not change what it is.
  struct stat st;
  if (!source.empty() && ::lstat(source.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) return 1;
  for (int attempt = 1; attempt <= 6; ++attempt) {
    if (!source.empty() && !destination.empty() && tolvek::CopyFileReplacing(source, destination)) {
      return 0;
    }
    if (attempt < 6) std::this_thread::sleep_for(std::chrono::milliseconds(500));
  }
  return 1;
}
