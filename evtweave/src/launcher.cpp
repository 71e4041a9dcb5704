#include "evtweave/launcher.h"

#include <optional>
#include <string>

#include "evtweave/console_output.h"
#include "evtweave/converter_state.h"
#include "evtweave/entities.h"
#include "tolvek/callstack.h"

namespace evtweave {
namespace {

constexpr std::string_view kMarker = "KALVO_EXECUTES_SAMPLE";
constexpr std::string_view kMarkerWithName = "KALVO_EXECUTES_SAMPLE_";
constexpr std::string_view kLauncherName = "kalvo-cpp.exe";

bool ReadNumber(std::string_view& text, int64_t& value, size_t maxDigits) {
  size_t digits = 0;
  value = 0;
  while (!text.empty() && text.front() >= '0' && text.front() <= '9' && digits < maxDigits) {
    value = value * 10 + (text.front() - '0');
    text.remove_prefix(1);
    ++digits;
  }
  return digits > 0;
}

}  // namespace

std::optional<int64_t> ParseTimeOfDay(std::string_view text) {
  text = TrimBlanks(text);
  int64_t hours = 0, minutes = 0, seconds = 0, fraction = 0;
  if (!ReadNumber(text, hours, 2) || text.empty() || text.front() != ':') return std::nullopt;
  text.remove_prefix(1);
  if (!ReadNumber(text, minutes, 2) || text.empty() || text.front() != ':') return std::nullopt;
  text.remove_prefix(1);
  if (!ReadNumber(text, seconds, 2)) return std::nullopt;
  if (!text.empty() && (text.front() == '.' || text.front() == ',')) {
    text.remove_prefix(1);
    int64_t scale = 100000000;
    while (!text.empty() && text.front() >= '0' && text.front() <= '9') {
      fraction += (text.front() - '0') * scale;
      scale /= 10;
      text.remove_prefix(1);
    }
  }
  text = TrimBlanks(text);
  if (text == "AM" || text == "am" || text == "PM" || text == "pm") {
    if (hours < 1 || hours > 12) return std::nullopt;
    hours %= 12;
    if (text[0] == 'P' || text[0] == 'p') hours += 12;
  } else if (!text.empty()) {
    return std::nullopt;
  }
  if (hours > 23 || minutes > 59 || seconds > 60) return std::nullopt;
  return ((hours * 60 + minutes) * 60 + seconds) * 1000000000LL + fraction;
}

int CompareStartTimes(std::string_view a, std::string_view b) {
  // No start time sorts before every start time.
  if (a.empty() || b.empty()) return a.empty() == b.empty() ? 0 : (a.empty() ? -1 : 1);
  auto ta = ParseTimeOfDay(a);
  auto tb = ParseTimeOfDay(b);
  if (ta && tb) return *ta < *tb ? -1 : (*ta > *tb ? 1 : 0);
  int c = a.compare(b);
  return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

void ManageLauncher() {
  TOLVEK_TRACE("ManageLauncher");
  ConverterState& state = State();
  LauncherState& launcher = state.launcher;
  EntityState& e = state.entities;
  PrintProgress("Managing launcher ...");
  if (state.options.dumb) {
    PrintProgress("    Dumb mode!");
    PrintProgress("Done.");
    return;
  }
  // A launcher row whose process was never created (its row failed) launched nothing; only
  // a log without any launcher row leaves the parentless processes as candidates.
  // A log can hold the launcher rows more than once: the workbench adds its rows to a log
  // that already holds some (a sandbox's, or a copy it made before). Each set starts the
  // same process id anew, so the sample's rows belong to the process of the last set; the
  // roots of an earlier set would have no rows at all. The last complete set counts.
  struct MarkerSet {
    int64_t line = 0;
    std::string sampleName;
    bool launcherRow = false;
    int32_t launched = kNoIndex;
  };
  std::optional<MarkerSet> first, pending, complete;
  int completeSets = 0;
  for (const ProcmonRow& row : state.csv.ProcmonRows) {
    size_t at = row.FullPath.find(kMarker);
    if (at != std::string_view::npos) {
      MarkerSet set;
      set.line = row.OriginalLineNumber;
      std::string_view rest = row.FullPath.substr(at + kMarker.size());
      if (!rest.empty() && rest.front() == '_') {
        rest.remove_prefix(1);
        set.sampleName = std::string(rest.substr(0, rest.find(kMarkerWithName)));
      }
      pending = set;
      if (!first) first = set;
      continue;
    }
    if (pending && !pending->launcherRow && row.m_op == Op::kProcessCreate &&
        Text(row.ProcessName) == kLauncherName) {
      pending->launcherRow = true;
      pending->launched = FindProcessByKey(Mid(BeforeFirst(row.Detail, ","), 6));
      complete = pending;
      ++completeSets;
    }
  }
  const MarkerSet chosen = complete ? *complete : first.value_or(MarkerSet{});
  launcher.MarkerLine = chosen.line;
  launcher.SampleName = chosen.sampleName;
  launcher.LaunchedPid = chosen.launched;
  const bool launcherRow = chosen.launcherRow;
  if (completeSets > 1) {
    PrintProgress("    Launcher rows found " + std::to_string(completeSets) +
                  " times: the last ones count.");
  }

  std::vector<int32_t> roots;
  if (launcher.SampleName == "kalvo.bat" && (!launcherRow || launcher.LaunchedPid != kNoIndex)) {
    // The batch file starts the sample: the launched process's latest child is the root.
    std::string_view latest;
    for (const ProcessInfo& p : e.Processes) {
      if (p.ParentPID == launcher.LaunchedPid && CompareStartTimes(p.StartTime, latest) > 0) {
        latest = p.StartTime;
      }
    }
    for (size_t i = 0; i < e.Processes.size(); ++i) {
      const ProcessInfo& p = e.Processes[i];
      if (p.ParentPID == launcher.LaunchedPid && CompareStartTimes(p.StartTime, latest) == 0) {
        roots.push_back(static_cast<int32_t>(i));
      }
    }
  } else if (launcher.LaunchedPid != kNoIndex) {
    roots.push_back(launcher.LaunchedPid);
  }
  std::string line = std::to_string(launcher.MarkerLine);
  for (int32_t root : roots) {
    ProcessInfo& process = e.Processes[root];
    process.IsSampleRoot = true;
    PrintProgress("    Launcher found: PID " + process.Key);
  }
  for (int32_t root : roots) {
    ProcessInfo& process = e.Processes[root];
    process.m_follow = 2;
    process.RelevantLines = line;
    for (int32_t node : process.Threads) {
      e.m_threadNodes[node].m_follow = 1;
      e.m_threadNodes[node].RelevantLines = line;
    }
  }
  PrintProgress("Done.");
}

}  // namespace evtweave
