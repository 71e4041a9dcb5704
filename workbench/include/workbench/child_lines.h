// The text lines a running child writes on its standard output and error, collected without
// blocking so the wait window keeps turning while the child works.
#pragma once

#include <string>
#include <vector>

#include "tolvek/process.h"

namespace workbench {

class ChildLines {
 public:
  explicit ChildLines(tolvek::Program& program) : m_program(program) {}
  // Waits up to timeoutMs for output, then returns every complete line that has arrived on
  // either pipe (CR removed); at the end of both pipes also an unterminated last line.
  std::vector<std::string> Poll(int timeoutMs);
  // True once both pipes have reached their end.
  bool Drained() const { return m_outDone && m_errDone; }

 private:
  void ReadFrom(int fd, std::string& pending, bool& done, std::vector<std::string>& lines);
  tolvek::Program& m_program;
  std::string m_outPending, m_errPending;
  bool m_outDone = false, m_errDone = false;
};

}  // namespace workbench
