// The last Refresh's inputs and log, kept in a file of the instance's own: after a crash the
// fresh process that runs the bug report has neither the main window nor the log, and the
// crashed one can no longer hand them over.
#include <sys/stat.h>

#include <ctime>
#include <string>

#include "tolvek/file_read.h"
#include "tolvek/file_write.h"
#include "tolvek/temp_files.h"
#include "workbench/bug_report.h"
#include "workbench/crash_follow_up.h"

namespace workbench {
namespace {

constexpr std::string_view kHead = "lumivex last refresh 1\n";

// Each field as its name, a blank, its length in bytes and a line feed, then its bytes and a
// line feed: paths and logs may hold any byte.
void Put(std::string& out, const char* name, const std::string& value) {
  out += name;
  out += ' ';
  out += std::to_string(value.size());
  out += '\n';
  out += value;
  out += '\n';
}

struct Record {
  std::string sessionFile, procmonFile, windumpFile, generationLog;
  std::optional<std::string> sessionText;
};

std::optional<Record> Parse(const std::string& bytes) {
  if (bytes.compare(0, kHead.size(), kHead) != 0) return std::nullopt;
  Record record;
  size_t at = kHead.size();
  while (at < bytes.size()) {
    size_t blank = bytes.find(' ', at);
    size_t end = bytes.find('\n', at);
    if (blank == std::string::npos || end == std::string::npos || blank > end) return std::nullopt;
    std::string name = bytes.substr(at, blank - at);
    size_t length = 0;
    for (size_t i = blank + 1; i < end; ++i) {
      if (bytes[i] < '0' || bytes[i] > '9' || length > bytes.size()) return std::nullopt;
      length = length * 10 + static_cast<size_t>(bytes[i] - '0');
    }
    at = end + 1;
    if (length > bytes.size() - at || bytes.size() - at - length < 1 ||
        bytes[at + length] != '\n') {
      return std::nullopt;
    }
    std::string value = bytes.substr(at, length);
    at += length + 1;
    if (name == "sessionfile") record.sessionFile = value;
    if (name == "session") record.sessionText = value;
    if (name == "procmon") record.procmonFile = value;
    if (name == "windump") record.windumpFile = value;
    if (name == "log") record.generationLog = value;
  }
  return record;
}

}  // namespace

std::string LastRefreshFilePath() {
  std::string folder = tolvek::GetOwnTempFolder("report");
  return folder.empty() ? "" : folder + "last_refresh";
}

void RecordLastRefresh(bool withLog) {
  std::string path = LastRefreshFilePath();
  if (!path.empty()) {
    BugReportSources now = CurrentBugReportSources(false);
    std::string out(kHead);
    Put(out, "sessionfile", now.sessionFile);
    if (now.sessionText) Put(out, "session", *now.sessionText);
    Put(out, "procmon", now.procmonFile);
    Put(out, "windump", now.windumpFile);
    Put(out, "log", withLog ? now.generationLog : "");
    tolvek::WriteFileWhole(path, out, {.sync = false});
  }
  UpdateCrashFollowUp();
}

void ApplyLastRefresh(const std::string& path, BugReportSources& sources) {
  std::optional<std::string> bytes = path.empty() ? std::nullopt : tolvek::ReadFileBytes(path);
  std::optional<Record> record = bytes ? Parse(*bytes) : std::nullopt;
  if (!record) return;
  sources.generationLog = record->generationLog;
  // Inputs recorded for another session than the crashed run's are another case's.
  if (record->sessionFile != sources.sessionFile) return;
  sources.sessionText = record->sessionText;
  sources.procmonFile = record->procmonFile;
  sources.windumpFile = record->windumpFile;
}

bool CrashFileIsThisCrashs(const std::string& path, int64_t crashedRunStart) {
  struct stat st;
  if (path.empty() || stat(path.c_str(), &st) != 0) return false;
  // File times are kept at a coarser clock than the one the start was read from.
  return crashedRunStart <= 0 || static_cast<int64_t>(st.st_mtime) >= crashedRunStart - 1;
}

int64_t ProcessStartTime() {
  static const int64_t started = static_cast<int64_t>(std::time(nullptr));
  return started;
}

}  // namespace workbench
