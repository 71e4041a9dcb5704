// Captures the library's event-log output in tests.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "tolvek/syslog.h"

namespace tolvek::testing {

struct SyslogEvent {
  int type;
  std::vector<std::string> lines;
};

// Installs a sink for the lifetime of the object and collects every event.
class SyslogCapture {
 public:
  SyslogCapture() {
    Events().clear();
    SetSyslogSink(&Record);
  }
  ~SyslogCapture() { SetSyslogSink(nullptr); }
  const std::vector<SyslogEvent>& events() const { return Events(); }

 private:
  static std::vector<SyslogEvent>& Events() {
    static std::vector<SyslogEvent> events;
    return events;
  }
  static void Record(int type, std::string_view text) {
    Events().push_back({type, SyslogLines(text)});
  }
};

// For death tests: events go to standard error, where the test can match them.
inline void SyslogToStderr(int type, std::string_view text) {
  std::string line = "[event " + std::to_string(type) + "] " + std::string(text) + "\n";
  fputs(line.c_str(), stderr);
}

}  // namespace tolvek::testing
