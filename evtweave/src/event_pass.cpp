#include "evtweave/event_pass.h"

#include "evtweave/console_output.h"
#include "evtweave/entities.h"
#include "evtweave/object_edges.h"
#include "evtweave/procmon_csv.h"
#include "tolvek/callstack.h"

namespace evtweave {

size_t EdgeKeyHash::operator()(const EdgeKey& e) const {
  uint64_t h = static_cast<uint64_t>(e.m_type);
  auto mix = [&h](uint64_t v) { h = (h ^ v) * 0x100000001B3ULL + (h >> 29); };
  mix(static_cast<uint64_t>(e.m_tail.m_type) << 32 | static_cast<uint32_t>(e.m_tail.m_index));
  mix(static_cast<uint64_t>(e.m_head.m_type) << 32 | static_cast<uint32_t>(e.m_head.m_index));
  mix(e.m_label);
  return static_cast<size_t>(h);
}

NodeState& StateOf(NodeRef node) {
  EntityState& e = State().entities;
  switch (node.m_type) {
    case NodeType::kProcess:
      return e.Processes[node.m_index];
    case NodeType::kThread:
      return e.m_threadNodes[node.m_index];
    case NodeType::kFile:
      return e.Files.m_items[node.m_index];
    case NodeType::kRegistryKey:
      return e.RegistryKeys.m_items[node.m_index];
    case NodeType::kServer:
      return e.Servers.m_items[node.m_index];
    case NodeType::kFileCategory:
      return State().graph.m_categories[node.m_index];
    case NodeType::kLooseFile:
      return State().graph.m_looseFiles[node.m_index];
    case NodeType::kRegistry:
      break;
  }
  return State().graph.m_registry;
}

NodeRef ThreadNodeRef(int32_t process, int32_t threadKey) {
  return {NodeType::kThread, ThreadNode(process, threadKey)};
}

void AppendNode(const ProcmonRow& row, NodeRef node) {
  DotLine line;
  line.Time = row.TimeOfDay;
  line.Kind = kDotNode;
  line.m_node = node;
  State().graph.DotLines.push_back(line);
}

void AppendEdge(const ProcmonRow& row, const EdgeKey& edge) {
  DotLine line;
  line.Time = row.TimeOfDay;
  line.Kind = kDotEdge;
  line.m_edge = edge;
  State().graph.DotLines.push_back(line);
}

void AppendRepeatableEdge(const ProcmonRow& row, const EdgeKey& edge) {
  GraphState& graph = State().graph;
  if (graph.EmittedEdges.insert(edge).second) {
    AppendEdge(row, edge);
  } else if (State().options.lumivex) {
    AppendEdge(row, edge);
    graph.DotLines.back().m_repeat = true;
  }
}

void AddEdgeWeight(const EdgeKey& edge, int64_t weight) {
  State().graph.EdgeWeight[edge] += weight;
}

void AppendLineNumber(std::string& relevantLines, const ProcmonRow& row) {
  relevantLines += ",";
  relevantLines += std::to_string(row.OriginalLineNumber);
}

void PrintWarning(std::string_view text, std::string_view value, const ProcmonRow& row) {
  std::string line(text);
  line += '"';
  line += value;
  line += "\"\n";
  line += RowAsJson(row);
  PrintProgress(line);
}

void PrintThreadWarning(std::string_view text, std::string_view thread, std::string_view process,
                        const ProcmonRow& row) {
  std::string line(text);
  line += '"';
  line += thread;
  line += "\" in map-element for PID \"";
  line += process;
  line += "\"\n";
  line += RowAsJson(row);
  PrintProgress(line);
}

namespace {

void ComputeLabels() {
  EntityState& e = State().entities;
  for (ThreadInfo& thread : e.m_threadNodes) {
    std::string_view key = e.m_threadKeys[thread.Key];
    thread.Label = std::string(key.substr(0, key.find('-')));
  }
}

// Looks a thread up without creating a node for it; unknown pairs are not followed.
uint8_t ThreadFollow(int32_t process, int32_t threadKey) {
  if (process == kNoIndex || threadKey == kNoIndex) return 0;
  const EntityState& e = State().entities;
  auto it = e.m_threadNodeIndex.find((static_cast<uint64_t>(static_cast<uint32_t>(process)) << 32) |
                                     static_cast<uint32_t>(threadKey));
  return it == e.m_threadNodeIndex.end() ? 0 : e.m_threadNodes[it->second].m_follow;
}

bool DecideRelevance(const ProcmonRow& row) {
  EntityState& e = State().entities;
  uint8_t p = e.Processes[row.PID].m_follow;
  uint8_t t = e.m_threadNodes[row.m_threadNode].m_follow;
  if (p == 1 && t != 0) return true;
  if (p == 2) return true;
  std::string_view operation = Text(row.Operation);
  if (p > 0 && (Contains(operation, "TCP") || Contains(operation, "UDP"))) return true;
  switch (row.m_op) {
    case Op::kThreadCreate: {
      std::string_view createdKey = Mid(row.Detail, 12);
      int32_t key = FindThreadKey(createdKey);
      int32_t node = key == kNoIndex ? kNoIndex : FindThreadInProcess(row.PID, key);
      if (node == kNoIndex) {
        PrintThreadWarning("Warning (3a): No map-element for TID ", createdKey,
                           e.Processes[row.PID].Key, row);
        return false;
      }
      const ThreadInfo& created = e.m_threadNodes[node];
      return created.ParentTID != kNoIndex && created.ParentPID != row.PID &&
             created.ParentPID != kNoIndex && e.Processes[created.ParentPID].m_follow != 0 &&
             ThreadFollow(created.ParentPID, row.TID) != 0;
    }
    case Op::kProcessExit: {
      const ProcessInfo& process = e.Processes[row.PID];
      if (process.StoppedByPID == kNoIndex || process.StoppedByPID == row.PID) return false;
      return e.Processes[process.StoppedByPID].m_follow != 0 &&
             ThreadFollow(process.StoppedByPID, row.TID) != 0;
    }
    case Op::kLoadImage:
    case Op::kReadFile: {
      int32_t index = e.Files.Find(LowerCase(row.FullPath));
      if (index == kNoIndex) return false;
      const FileInfo& file = e.Files.m_items[index];
      return !file.RelevantLines.empty() &&
             (!file.FirstCreateTime.empty() || !file.FirstWriteTime.empty());
    }
    case Op::kRegSetValue:
      for (std::string_view extension : {".exe", ".dll", ".com", ".ocx", ".bat"}) {
        if (Contains(row.Detail, extension)) return true;
      }
      return false;
    default:
      return false;
  }
}

void ApplyRules(const ProcmonRow& row) {
  switch (row.m_op) {
    case Op::kProcessCreate:
      ProcessCreateRule(row);
      break;
    case Op::kProcessExit:
      ProcessExitRule(row);
      break;
    case Op::kThreadCreate:
      ThreadCreateRule(row);
      break;
    case Op::kProcessStart:
    case Op::kThreadExit:
      break;
    case Op::kCreateFile:
    case Op::kSetDispositionInformationFile:
    case Op::kSetRenameInformationFile:
    case Op::kLoadImage:
    case Op::kReadFile:
    case Op::kWriteFile:
      FileRules(row);
      break;
    case Op::kRegQueryValue:
    case Op::kRegSetValue:
      RegistryRules(row);
      break;
    case Op::kOther:
      break;
    case Op::kNetwork:
      NetworkRules(row);
      break;
  }
}

// The sample's own processes: the roots the launcher logic found and every process they
// created, however deep. Empty without roots.
std::vector<bool> SampleProcesses() {
  const auto& processes = State().entities.Processes;
  std::vector<uint8_t> known(processes.size(), 0);  // 0 unknown, 1 walking, 2 no, 3 yes
  std::vector<int32_t> chain;
  bool anyRoot = false;
  for (size_t i = 0; i < processes.size(); ++i) {
    chain.clear();
    int32_t at = static_cast<int32_t>(i);
    // A crafted log can make creators form a loop; a loop without a root is not the sample.
    while (at != kNoIndex && known[at] == 0 && !processes[at].IsSampleRoot) {
      known[at] = 1;
      chain.push_back(at);
      at = processes[at].ParentPID;
    }
    bool sample = at != kNoIndex && (processes[at].IsSampleRoot || known[at] == 3);
    if (at != kNoIndex && processes[at].IsSampleRoot) {
      known[at] = 3;
      anyRoot = true;
    }
    for (int32_t member : chain) known[member] = sample ? 3 : 2;
  }
  std::vector<bool> out;
  if (!anyRoot) return out;
  out.resize(processes.size());
  for (size_t i = 0; i < processes.size(); ++i) out[i] = known[i] == 3;
  return out;
}

}  // namespace

void AnalyzeData() {
  TOLVEK_TRACE("AnalyzeData");
  ConverterState& state = State();
  GraphState& graph = state.graph;
  EntityState& e = state.entities;
  PrintProgress("Analyzing data ...");
  ComputeLabels();
  graph.FollowingStarted = false;
  // The marker is the sandbox's word; the sample could write it too, to end its own analysis.
  std::vector<bool> sample = SampleProcesses();
  for (const ProcmonRow& row : state.csv.ProcmonRows) {
    if ((row.m_pathFacts & kStopMarkerPath) && !sample.empty() && row.PID != kNoIndex &&
        sample[row.PID]) {
      PrintProgress("Warning: Stop marker from the sample in line " +
                    std::to_string(row.OriginalLineNumber) + " ignored.");
    } else if (row.m_pathFacts & kStopMarkerPath) {
      graph.m_stopLine = row.OriginalLineNumber;
      PrintProgress("    Stop marker in line " + std::to_string(row.OriginalLineNumber) +
                    ": the rest of the log is not analyzed.");
      break;
    }
    DeclareRowNodes(row);
    if (row.PID == state.launcher.LaunchedPid) graph.FollowingStarted = true;
    if (!graph.FollowingStarted && !state.options.dumb) continue;
    graph.RowRelevant = graph.RowTouchesFile = false;
    graph.RowTouchesRegistryKey = graph.RowTouchesServer = false;
    if (state.options.dumb) {
      e.Processes[row.PID].m_follow = 1;
      e.m_threadNodes[row.m_threadNode].m_follow = 1;
    }
    graph.RowRelevant = DecideRelevance(row);
    if (graph.RowRelevant && IsSuccess(row)) ApplyRules(row);
    DeclareObjectNodes(row);
  }
  AddCaptureOnlyServers();
  PrintProgress("Done.");
}

}  // namespace evtweave
