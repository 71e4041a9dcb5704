#include "workbench/launcher_scan.h"

#include <algorithm>
#include <array>
#include <unordered_set>

#include "graphview/graph_inputs.h"
#include "gui/pick_list_markup.h"
#include "tolvek/callstack.h"
#include "tolvek/memory_string.h"
#include "tolvek/visible_text.h"

namespace workbench {
namespace {

constexpr const char* kRequired[] = {"time of day", "process name", "pid",    "operation",
                                     "path",        "result",       "detail", "tid"};
// The progress is told once per this many bytes: a call per record would cost more than
// the record.
constexpr int64_t kProgressStep = 1 << 20;

// The fields at the given 0-based numbers of a record without its outer quotes, split at
// every quote-comma-quote; "" for a field the record lacks.
std::array<std::string, 3> Fields(std::string_view record, const std::array<size_t, 3>& wanted) {
  std::array<std::string, 3> out;
  size_t last = std::max({wanted[0], wanted[1], wanted[2]});
  size_t number = 0, start = 0;
  // The fields after the last one wanted are never split off: most of a record is its path
  // and detail.
  while (number <= last) {
    size_t end = record.find("\",\"", start);
    std::string_view field =
        record.substr(start, end == std::string_view::npos ? end : end - start);
    for (size_t k = 0; k < 3; ++k) {
      if (wanted[k] == number) out[k] = graphview::LauncherFieldText(field);
    }
    if (end == std::string_view::npos) break;
    start = end + 3;
    ++number;
  }
  return out;
}

}  // namespace

LauncherScan ScanLaunchers(std::string_view logBytes,
                           const std::function<bool(int64_t, int64_t)>& progress) {
  TOLVEK_TRACE("ScanLaunchers");
  LauncherScan scan;
  std::vector<std::string> columns = graphview::CsvHeaderColumns(logBytes);
  for (const char* name : kRequired) {
    bool found = false;
    for (const std::string& column : columns) found = found || column == name;
    if (!found) return scan;
  }
  scan.headerOk = true;
  // Process name, pid, operation; a name that stands twice counts at its later place.
  std::array<size_t, 3> wanted{};
  for (size_t c = 0; c < columns.size(); ++c) {
    if (columns[c] == "process name") wanted[0] = c;
    if (columns[c] == "pid") wanted[1] = c;
    if (columns[c] == "operation") wanted[2] = c;
  }

  const void* block = logBytes.data();
  const auto size = static_cast<int64_t>(logBytes.size());
  if (!tolvek::OpenMemoryString(block, size)) return scan;
  tolvek::ReadMemoryString(block);  // the header is no record
  std::unordered_set<std::string> startedPairs, listedPairs;
  int64_t nextProgress = 0;
  std::string record;
  while (!tolvek::EOM(block)) {
    int64_t position = tolvek::MemoryStringLoc(block);
    if (position >= nextProgress) {
      if (!progress(position, size)) {
        scan.cancelled = true;
        break;
      }
      nextProgress = position + kProgressStep;
    }
    record = tolvek::ReadMemoryString(block);
    if (record.empty()) continue;  // an empty line is no record and starts none
    while (record.back() != '"' && !tolvek::EOM(block)) record += tolvek::ReadMemoryString(block);
    std::string_view inner(record);
    inner.remove_prefix(1);
    if (inner.empty()) continue;
    inner.remove_suffix(1);
    auto [name, pid, operation] = Fields(inner, wanted);
    // The log's names are shown as they are: nothing hidden, nothing read as markup.
    std::string row = std::to_string(position) + "|" + gui::ListIconCell(tolvek::VisibleText(pid)) +
                      "|" + gui::ListIconCell(tolvek::VisibleText(name));
    std::string pair = pid + "|" + name;
    if (operation == "Process Start") {
      scan.started.push_back(row);
      startedPairs.insert(pair);
    }
    if (!startedPairs.count(pair) && listedPairs.insert(pair).second) {
      scan.running.push_back("{{color:lightgray}}" + row);
    }
  }
  tolvek::CloseMemoryString(block);
  if (!scan.cancelled) progress(size, size);
  return scan;
}

std::string LauncherListItems(const LauncherScan& scan) {
  std::string items;
  for (const auto* rows : {&scan.started, &scan.running}) {
    for (const std::string& row : *rows) items += "\n" + row;
  }
  return items;
}

}  // namespace workbench
