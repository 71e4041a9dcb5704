// A real log that gives a tall graph: the shared Noriben sample (seven columns, no thread
// column) with a TID column holding each record's PID, so the converter takes it, and the
// launcher text of its hehda.exe start.
#pragma once

#include <fstream>
#include <sstream>
#include <string>

namespace lumivex_testing {

struct TallGraphLog {
  std::string bytes;     // the log with the TID column
  std::string launcher;  // "position|2520|hehda.exe"; empty when the sample is missing
};

inline TallGraphLog MakeTallGraphLog() {
  TallGraphLog log;
  std::ifstream in(LUMIVEX_SHARED_DATA "/procmon/noriben_sample_no_tid.csv", std::ios::binary);
  std::stringstream whole;
  whole << in.rdbuf();
  const std::string source = whole.str();
  // One record per line (LF), every field quoted: the third field is the PID.
  size_t start = 0;
  bool header = true;
  while (start < source.size()) {
    size_t end = source.find('\n', start);
    if (end == std::string::npos) end = source.size();
    std::string line = source.substr(start, end - start);
    start = end + 1;
    if (line.empty()) continue;
    std::string added = "TID";
    if (!header) {
      size_t pid = line.find("\",\"");
      pid = pid == std::string::npos ? pid : line.find("\",\"", pid + 3);
      size_t pidEnd = pid == std::string::npos ? pid : line.find('"', pid + 3);
      if (pidEnd == std::string::npos) continue;
      added = line.substr(pid + 3, pidEnd - pid - 3);
      if (line.find("\"hehda.exe\",\"2520\",\"Process Start\"") != std::string::npos)
        log.launcher = std::to_string(log.bytes.size()) + "|2520|hehda.exe";
    }
    header = false;
    log.bytes += line + ",\"" + added + "\"\n";
  }
  return log;
}

}  // namespace lumivex_testing
