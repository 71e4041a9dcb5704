#include "tolvek/syslog.h"

#include <syslog.h>
#include <unistd.h>

#include <atomic>
#include <climits>
#include <cstring>
#include <mutex>

namespace tolvek {
namespace {

std::atomic<SyslogSink> gSink{nullptr};
std::mutex gSourceMutex;
std::string gSource;

// openlog keeps the pointer it is given, so the ident lives in static storage.
char gIdent[256];

int Priority(int type) {
  switch (type) {
    case kSyslogError:
      return LOG_ERR;
    case kSyslogWarning:
      return LOG_WARNING;
    default:
      return LOG_INFO;
  }
}

std::string ProgramBaseName() {
  char path[PATH_MAX];
  ssize_t n = readlink("/proc/self/exe", path, sizeof(path) - 1);
  if (n <= 0) return "tolvek";
  path[n] = '\0';
  const char* base = std::strrchr(path, '/');
  std::string name = base ? base + 1 : path;
  size_t dot = name.rfind('.');
  if (dot != std::string::npos && dot > 0) name.resize(dot);
  return name;
}

}  // namespace

std::string GetSyslogSource() {
  std::lock_guard<std::mutex> lock(gSourceMutex);
  if (gSource.empty()) gSource = ProgramBaseName();
  return gSource;
}

std::vector<std::string> SyslogLines(std::string_view message) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (true) {
    size_t lf = message.find('\n', start);
    if (lf == std::string_view::npos) {
      // An LF at the very end adds no empty line, but an empty message is one empty line.
      if (start < message.size() || lines.empty()) lines.emplace_back(message.substr(start));
      break;
    }
    lines.emplace_back(message.substr(start, lf - start));
    start = lf + 1;
  }
  return lines;
}

void detail::SyslogRaw(int type, std::string_view joined) {
  if (SyslogSink sink = gSink.load()) {
    sink(type, joined);
    return;
  }
  static std::once_flag identOnce;
  std::call_once(identOnce, [] {
    std::string source = GetSyslogSource();
    std::strncpy(gIdent, source.c_str(), sizeof(gIdent) - 1);
  });
  openlog(gIdent, LOG_PID, LOG_USER);
  syslog(Priority(type), "%.*s", static_cast<int>(joined.size()), joined.data());
  closelog();
}

void Syslog(int type, std::string_view message) {
  // The insertion strings joined by LF are the message without a final LF.
  if (!message.empty() && message.back() == '\n' && message.size() > 1) {
    message.remove_suffix(1);
  } else if (message == "\n") {
    message = {};
  }
  detail::SyslogRaw(type, message);
}

void SyslogWarning(std::string_view message) {
  Syslog(kSyslogWarning, message);
}
void SyslogError(std::string_view message) {
  Syslog(kSyslogError, message);
}
void SyslogInformation(std::string_view message) {
  Syslog(kSyslogInformation, message);
}

void SetSyslogSink(SyslogSink sink) {
  gSink.store(sink);
}

}  // namespace tolvek
