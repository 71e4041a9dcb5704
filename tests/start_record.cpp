// A stand-in for a program that others start, for the tests of how they start it:
//   start_record [arguments ...]
// writes into the file that START_RECORD names (whole, by renaming) how it was started:
//   arg <argument>          each argument after its own name
//   SigBlk:\t<mask>         its blocked signals, as the kernel tells them
//   SigIgn:\t<mask>         its ignored ones
//   stdin <target>          what its standard input is
//   fds <n> ...             its open descriptors, the one that lists them included
// It reads its own state itself: a shell in between would show the shell's, and a shell
// clears the signal mask of what it starts, which would hide a mask passed on.
#include <dirent.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

int main(int argc, char** argv) {
  std::ostringstream record;
  for (int i = 1; i < argc; ++i) record << "arg " << argv[i] << "\n";
  // Nothing may be opened before this listing but the listing itself.
  std::string fds;
  if (DIR* dir = opendir("/proc/self/fd")) {
    while (dirent* entry = readdir(dir)) {
      if (entry->d_name[0] != '.') fds += std::string(" ") + entry->d_name;
    }
    closedir(dir);
  }
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);) {
    if (line.rfind("SigBlk:", 0) == 0 || line.rfind("SigIgn:", 0) == 0) record << line << "\n";
  }
  char input[4096];
  ssize_t n = readlink("/proc/self/fd/0", input, sizeof input);
  record << "stdin " << std::string(input, n > 0 ? static_cast<size_t>(n) : 0) << "\n";
  record << "fds" << fds << "\n";

  const char* file = std::getenv("START_RECORD");
  if (!file) return 2;
  const std::string part = std::string(file) + ".part";
  std::ofstream(part) << record.str();
  return std::rename(part.c_str(), file) == 0 ? 0 : 1;
}
