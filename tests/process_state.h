// What became of a process, read from /proc: tests of killing wait on it.
#pragma once

#include <sys/types.h>

#include <fstream>
#include <iterator>
#include <string>

namespace lumivex_testing {

// The state letter of a process ('Z' for a zombie), or 0 once it is gone.
inline char ProcessState(pid_t pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
  std::string stat((std::istreambuf_iterator<char>(in)), {});
  size_t close = stat.rfind(')');
  return close == std::string::npos || close + 2 >= stat.size() ? 0 : stat[close + 2];
}

// Gone, or a zombie that its parent has yet to collect (an orphan's new parent may take its
// time).
inline bool ProcessEnded(pid_t pid) {
  char state = ProcessState(pid);
  return state == 0 || state == 'Z';
}

}  // namespace lumivex_testing
