// The launcher scan of a Process Monitor log: every process the log shows, as rows of a pick
// list "BytePos|PID|Processname". Pure over the log's bytes; the caller shows the progress.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace workbench {

struct LauncherScan {
  bool headerOk = false;  // the header names every column the converter needs
  bool cancelled = false;
  // The processes started inside the log, once per "Process Start" record, in file order.
  std::vector<std::string> started;
  // The processes running before the log began (or whose start it lacks), at their first
  // record.
  std::vector<std::string> running;
};

// Reads the log record by record after its header. A record may span several lines (a quoted
// line break); its byte position is that of its first line, counted from the first byte of
// the log. progress(position, size) is asked now and then; false cancels the scan.
LauncherScan ScanLaunchers(std::string_view logBytes,
                           const std::function<bool(int64_t, int64_t)>& progress);

// The pick list's items: an empty first row (no launcher), the started processes, then the
// running ones greyed.
std::string LauncherListItems(const LauncherScan& scan);

}  // namespace workbench
