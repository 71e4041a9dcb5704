// Process and thread nodes, and the edges of process creation, kills and thread creation.
#include "evtweave/entities.h"
#include "evtweave/event_pass.h"

namespace evtweave {
namespace {

EntityState& Entities() {
  return State().entities;
}

// Declares a thread node and its "has thread" edge; before says which comes first.
void DeclareThread(const ProcmonRow& row, int32_t process, int32_t node, bool edgeFirst) {
  EdgeKey hasThread{EdgeType::kHasThread, ProcessNode(process), {NodeType::kThread, node}, 0};
  if (edgeFirst) AppendEdge(row, hasThread);
  AppendNode(row, {NodeType::kThread, node});
  if (!edgeFirst) AppendEdge(row, hasThread);
  State().graph.EdgeCount1.insert(hasThread);
}

}  // namespace

void DeclareRowNodes(const ProcmonRow& row) {
  EntityState& e = Entities();
  ProcessInfo& process = e.Processes[row.PID];
  if (!process.m_declared) {
    process.m_declared = 1;
    AppendNode(row, ProcessNode(row.PID));
  }
  ThreadInfo& thread = e.m_threadNodes[row.m_threadNode];
  if (!thread.m_inThreads || thread.m_declared) return;
  thread.m_declared = 1;
  DeclareThread(row, row.PID, row.m_threadNode, true);
}

void ProcessCreateRule(const ProcmonRow& row) {
  EntityState& e = Entities();
  e.Processes[row.PID].m_active = 1;
  e.m_threadNodes[row.m_threadNode].m_active = 1;
  std::string_view createdKey = SplitField(Mid(row.Detail, 6), ',', 1);
  int32_t created = FindProcessByKey(createdKey);
  if (created == kNoIndex) {
    PrintWarning("Warning (5): No map-element for PID ", createdKey, row);
    return;
  }
  ProcessInfo& child = e.Processes[created];
  child.m_active = 1;
  child.m_follow = 2;
  AppendLineNumber(child.RelevantLines, row);
  for (int32_t node : child.Threads) {
    ThreadInfo& thread = e.m_threadNodes[node];
    if (!thread.IsMain) continue;
    thread.m_active = 1;
    thread.m_follow = 1;
    AppendLineNumber(thread.RelevantLines, row);
  }
  if (child.ParentTID != kNoIndex && child.ParentPID != kNoIndex) {
    EdgeKey edge{EdgeType::kCreateProcess, ThreadNodeRef(child.ParentPID, child.ParentTID),
                 ProcessNode(created), 0};
    AppendEdge(row, edge);
    State().graph.EdgeCount1.insert(edge);
  }
  int32_t image = e.Files.Find(LowerCase(row.FullPath));
  if (image != kNoIndex) {
    EdgeKey edge{EdgeType::kIsBasedOn, ProcessNode(created), {NodeType::kFile, image}, 0};
    AppendEdge(row, edge);
    State().graph.EdgeCount1.insert(edge);
  }
}

void ProcessExitRule(const ProcmonRow& row) {
  EntityState& e = Entities();
  ProcessInfo& process = e.Processes[row.PID];
  EdgeKey edge;
  if (process.StoppedByPID == row.PID) {
    int32_t ending = FindThreadInProcess(row.PID, process.StoppedByTID);
    if (ending == kNoIndex) {
      PrintThreadWarning("Warning (7ea): No map-element for TID ", e.m_threadKeys[row.TID],
                         process.Key, row);
      return;
    }
    edge = {EdgeType::kKillOwnProcess, {NodeType::kThread, ending}, ProcessNode(row.PID), 0};
    e.m_threadNodes[ending].m_follow = 1;
    process.m_follow = 1;
    AppendLineNumber(e.m_threadNodes[ending].RelevantLines, row);
  } else {
    int32_t endingTid = process.StoppedByTID;
    if (process.StoppedByPID == kNoIndex) {
      PrintWarning("Warning (8eb): No map-element for PID ", "", row);
      return;
    }
    int32_t killer = process.StoppedByPID;
    int32_t ending = FindThreadInProcess(killer, endingTid);
    if (ending == kNoIndex) {
      PrintThreadWarning("Warning (7eb): No map-element for TID ",
                         endingTid == kNoIndex ? "" : e.m_threadKeys[endingTid],
                         e.Processes[killer].Key, row);
      return;
    }
    edge = {EdgeType::kKillForeignProcess, {NodeType::kThread, ending}, ProcessNode(row.PID), 0};
    ThreadInfo& thread = e.m_threadNodes[ending];
    thread.m_follow = thread.m_active = 1;
    e.Processes[killer].m_follow = e.Processes[killer].m_active = 1;
    process.m_follow = process.m_active = 1;
    AppendLineNumber(thread.RelevantLines, row);
    AddEdgeWeight(edge, 7);
  }
  AppendEdge(row, edge);
  AddEdgeWeight(edge, 1);
}

void ThreadCreateRule(const ProcmonRow& row) {
  EntityState& e = Entities();
  std::string_view createdKey = Mid(row.Detail, 12);
  int32_t key = FindThreadKey(createdKey);
  int32_t node = key == kNoIndex ? kNoIndex : FindThreadInProcess(row.PID, key);
  if (node == kNoIndex) {
    PrintThreadWarning("Warning (7): No map-element for TID ", createdKey, e.Processes[row.PID].Key,
                       row);
    return;
  }
  ThreadInfo& created = e.m_threadNodes[node];
  if (created.ParentTID == kNoIndex) return;
  int32_t parentPid = created.ParentPID;
  NodeRef tail = ThreadNodeRef(parentPid, created.ParentTID);
  // The node vector may have grown: take the references again.
  ThreadInfo& head = e.m_threadNodes[node];
  ThreadInfo& creator = e.m_threadNodes[tail.m_index];
  EdgeKey edge;
  if (parentPid == row.PID) {
    edge = {EdgeType::kCreateThread, tail, {NodeType::kThread, node}, 0};
    creator.m_follow = 1;
    head.m_follow = 1;
    AppendLineNumber(head.RelevantLines, row);
  } else {
    edge = {EdgeType::kInjectThread, tail, {NodeType::kThread, node}, 0};
    ProcessInfo& target = e.Processes[row.PID];
    ProcessInfo& injector = e.Processes[parentPid];
    injector.m_active = creator.m_active = target.m_active = head.m_active = 1;
    // The injecting thread is followed too: without it the injection, the very thing the
    // analyst looks for, would be cut from the graph while both processes stay in it.
    if (creator.m_follow == 0) {
      creator.m_follow = 1;
      AppendLineNumber(creator.RelevantLines, row);
    }
    if (target.m_follow == 0) {
      target.m_follow = 1;
      AppendLineNumber(target.RelevantLines, row);
    }
    if (injector.m_follow == 0) {
      injector.m_follow = 1;
      AppendLineNumber(injector.RelevantLines, row);
    }
    head.m_follow = 1;
    AppendLineNumber(head.RelevantLines, row);
    AddEdgeWeight(edge, 7);
  }
  AppendEdge(row, edge);
  AddEdgeWeight(edge, 1);
  if (State().options.dumb && !head.m_declared) {
    head.m_declared = 1;
    DeclareThread(row, row.PID, node, false);
  }
}

}  // namespace evtweave
