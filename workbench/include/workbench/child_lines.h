// The text lines a running child writes on its standard output and error, collected without
// blocking so the wait window keeps turning while the child works.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "tolvek/process.h"

namespace workbench {

class ChildLines {
 public:
  // Receives standard output's bytes as they come, instead of lines; false stops taking them.
  using OutputSink = std::function<bool(const char* data, size_t length)>;

  explicit ChildLines(tolvek::Program& program, OutputSink output = {})
      : m_program(program), m_output(std::move(output)) {}
  // Waits up to timeoutMs for output, then returns every complete line that has arrived on
  // either pipe (CR removed); at the end of both pipes also an unterminated last line.
  std::vector<std::string> Poll(int timeoutMs);
  // True once both pipes have reached their end.
  bool Drained() const { return m_outDone && m_errDone; }
  // True when the output sink refused bytes.
  bool OutputFailed() const { return m_outputFailed; }

 private:
  void ReadRaw();
  void ReadFrom(int fd, std::string& pending, bool& done, std::vector<std::string>& lines);
  tolvek::Program& m_program;
  OutputSink m_output;
  std::string m_outPending, m_errPending;
  bool m_outDone = false, m_errDone = false, m_outputFailed = false;
};

}  // namespace workbench
