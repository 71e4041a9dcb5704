#include "evtweave/entities.h"

#include <string>

#include "evtweave/capture_text.h"
#include "evtweave/console_output.h"
#include "evtweave/path_names.h"
#include "tolvek/callstack.h"
#include "tolvek/regex.h"

namespace evtweave {
namespace {

uint64_t PairKey(int32_t process, int32_t threadKey) {
  return (static_cast<uint64_t>(static_cast<uint32_t>(process)) << 32) |
         static_cast<uint32_t>(threadKey);
}

int32_t NewProcess(std::string_view loggedPid, bool created) {
  EntityState& e = State().entities;
  uint64_t number = created ? ++e.m_newProcesses : ++e.m_oldProcesses;
  ProcessInfo info;
  info.m_loggedPid = loggedPid;
  info.m_createdInLog = created;
  info.m_keyNumber = number;
  info.Key = std::string(loggedPid) + (created ? "-n" : "-o") + std::to_string(number);
  int32_t index = static_cast<int32_t>(e.Processes.size());
  e.m_processByKey.emplace(info.Key, index);
  e.Processes.push_back(std::move(info));
  return index;
}

int32_t NewThreadKey(std::string_view loggedTid, bool created) {
  EntityState& e = State().entities;
  uint64_t number = created ? ++e.m_newThreads : ++e.m_oldThreads;
  std::string key = std::string(loggedTid) + (created ? "-n" : "-o") + std::to_string(number);
  int32_t index = static_cast<int32_t>(e.m_threadKeys.size());
  e.m_threadKeyByText.emplace(key, index);
  e.m_threadKeys.push_back(std::move(key));
  return index;
}

// The node of the thread in the process's thread map, created when missing.
int32_t ThreadInProcessNode(int32_t process, int32_t threadKey) {
  EntityState& e = State().entities;
  int32_t node = ThreadNode(process, threadKey);
  ThreadInfo& thread = e.m_threadNodes[node];
  if (!thread.m_inThreads) {
    thread.m_inThreads = true;
    e.Processes[process].Threads.push_back(node);
    e.m_threadOwner.try_emplace(threadKey, process);
  }
  return node;
}

ThreadInfo& ThreadInProcess(int32_t process, int32_t threadKey) {
  return State().entities.m_threadNodes[ThreadInProcessNode(process, threadKey)];
}

FileInfo& FileRecord(std::string_view path) {
  FileInfo& file = State().entities.Files.Get(LowerCase(path));
  file.Path = path;
  return file;
}

void Stamp(std::string_view& first, std::string_view& last, std::string_view time) {
  if (first.empty()) first = time;
  last = time;
}

std::string_view Store(std::string_view text) {
  return State().csv.m_arena.Store(text);
}

void RecordNetworkRow(ProcmonRow& row) {
  EntityState& e = State().entities;
  std::string_view host = TrimBlanks(SplitField(SplitField(row.FullPath, '>', 2), ':', 1));
  // The whole host must be the address: "10.0.0.1\\" is not the server 10.0.0.1.
  if (IsIpv4Text(host)) {
    std::string key = LowerCase(host);
    ServerInfo& server = e.Servers.Get(key);
    server.Address = server.Label = server.IPAddress = std::string(host);
    std::string_view operation = Text(row.Operation);
    ConnectionInfo& connection =
        e.Connections.Get(std::string(operation.substr(0, 4)) + LowerCase(row.FullPath));
    connection.Server = e.Servers.Find(key);
    connection.LocalPort = SplitField(BeforeFirst(row.FullPath, " "), ':', 2);
    connection.RemotePort = SplitField(row.FullPath, ':', 3);
  } else {
    // Peers named by host name (or IPv6) are kept out of the network rules.
    std::string marked = std::string(Text(row.Operation)) + "(IPV6)";
    row.Operation = State().csv.m_strings.Intern(Store(marked));
    row.m_op = Op::kOther;
  }
}

void CollectRow(ProcmonRow& row) {
  EntityState& e = State().entities;
  const Options& options = State().options;
  if (row.m_pathFacts & kShortNamePath) {
    row.FullPath = Store(ResolveShortPath(row.FullPath));
    row.m_pathFacts = PathFacts(row.FullPath);
  }
  std::string_view loggedPid = Text(row.m_loggedPid);
  auto pidIt = e.PidKey.find(row.m_loggedPid);
  if (pidIt == e.PidKey.end()) {
    pidIt = e.PidKey.emplace(row.m_loggedPid, NewProcess(loggedPid, false)).first;
  }
  auto tidIt = e.TidKey.find(row.m_loggedTid);
  if (tidIt == e.TidKey.end()) {
    tidIt = e.TidKey.emplace(row.m_loggedTid, NewThreadKey(Text(row.m_loggedTid), false)).first;
  }
  // References, unlike iterators, outlive the rehash that a created process or thread can
  // cause, and they follow a create that reuses the row's own logged id.
  const int32_t& pidKey = pidIt->second;
  const int32_t& tidKey = tidIt->second;
  int32_t process = pidKey;
  e.Processes[process].Name = Text(row.ProcessName);

  bool success = IsSuccess(row);
  if (success) {
    switch (row.m_op) {
      case Op::kProcessCreate: {
        std::string_view created = Mid(BeforeFirst(row.Detail, ","), 6);
        uint32_t createdId = State().csv.m_strings.Intern(Store(created));
        int32_t child = NewProcess(Text(createdId), true);
        e.PidKey[createdId] = child;
        ProcessInfo& info = e.Processes[child];
        row.Detail = Store(
            ReplaceAll(row.Detail, "PID: " + std::string(created) + ",", "PID: " + info.Key + ","));
        info.ParentPID = process;
        info.ParentTID = tidKey;
        info.FullPath = row.FullPath;
        size_t comma = row.Detail.find(',');
        std::string_view afterComma =
            comma == std::string_view::npos ? std::string_view() : row.Detail.substr(comma + 1);
        info.CommandLine = Mid(Mid(afterComma, 2), 15);
        break;
      }
      case Op::kProcessStart: {
        ProcessInfo& info = e.Processes[process];
        info.StartTime = row.TimeOfDay;
        info.Name = Text(row.ProcessName);
        info.AwaitsMainThread = true;
        break;
      }
      case Op::kProcessExit: {
        ProcessInfo& info = e.Processes[process];
        info.StopTime = row.TimeOfDay;
        info.StoppedByTID = tidKey;
        int32_t owner = FindThreadOwner(tidKey);
        if (owner != kNoIndex) info.StoppedByPID = owner;
        break;
      }
      case Op::kThreadCreate: {
        std::string_view created = Mid(row.Detail, 12);
        uint32_t createdId = State().csv.m_strings.Intern(Store(created));
        int32_t key = NewThreadKey(created, true);
        e.TidKey[createdId] = key;
        row.Detail = Store("Thread ID: " + e.m_threadKeys[key]);
        ThreadInfo& thread = ThreadInProcess(process, key);
        thread.StartTime = row.TimeOfDay;
        ProcessInfo& info = e.Processes[process];
        if (info.AwaitsMainThread) {
          info.AwaitsMainThread = false;
          thread.IsMain = true;
          thread.ParentTID = kNoIndex;
          thread.ParentPID = process;
        } else {
          thread.ParentTID = tidKey;
          thread.ParentPID = process;
          if (FindThreadInProcess(process, tidKey) == kNoIndex) {
            int32_t owner = FindThreadOwner(tidKey);
            if (owner != kNoIndex) thread.ParentPID = owner;
          }
        }
        break;
      }
      case Op::kThreadExit: {
        std::string_view ending = Mid(BeforeFirst(row.Detail, ","), 12);
        uint32_t endingId = State().csv.m_strings.Find(ending);
        auto it = endingId == TextInterner::kNone ? e.TidKey.end() : e.TidKey.find(endingId);
        // A thread the log never named is not invented here.
        if (it == e.TidKey.end()) break;
        row.Detail = Store(ReplaceAll(row.Detail, "Thread ID: " + std::string(ending) + ",",
                                      "Thread ID: " + e.m_threadKeys[it->second] + ","));
        ThreadInProcess(process, it->second).StopTime = row.TimeOfDay;
        break;
      }
      case Op::kCreateFile:
        if (Contains(row.Detail, "Non-Directory File")) {
          if (Contains(row.Detail, "OpenResult: Created")) {
            FileInfo& file = FileRecord(row.FullPath);
            Stamp(file.FirstCreateTime, file.LastCreateTime, row.TimeOfDay);
          } else if (options.rof) {
            FileRecord(row.FullPath);
          }
        }
        break;
      case Op::kSetDispositionInformationFile:
        if (row.Detail == "Delete: True") {
          FileInfo& file = FileRecord(row.FullPath);
          Stamp(file.FirstDeleteTime, file.LastDeleteTime, row.TimeOfDay);
        }
        break;
      case Op::kSetRenameInformationFile: {
        FileInfo& file = FileRecord(row.FullPath);
        Stamp(file.FirstDeleteTime, file.LastDeleteTime, row.TimeOfDay);
        file.RenamedFrom = true;
        size_t at = row.Detail.find("FileName: ");
        std::string_view target =
            at == std::string_view::npos ? Mid(row.Detail, 10) : row.Detail.substr(at + 10);
        FileRecord(target).RenamedTo = true;
        break;
      }
      case Op::kLoadImage:
      case Op::kReadFile: {
        int32_t index = e.Files.Find(LowerCase(row.FullPath));
        if (index != kNoIndex) {
          FileInfo& file = e.Files.m_items[index];
          Stamp(file.FirstReadTime, file.LastReadTime, row.TimeOfDay);
        }
        break;
      }
      case Op::kWriteFile: {
        FileInfo& file = FileRecord(row.FullPath);
        Stamp(file.FirstWriteTime, file.LastWriteTime, row.TimeOfDay);
        break;
      }
      case Op::kRegQueryValue: {
        int32_t index = e.RegistryKeys.Find(LowerCase(row.FullPath));
        if (index != kNoIndex) {
          RegistryKeyInfo& key = e.RegistryKeys.m_items[index];
          Stamp(key.FirstReadTime, key.LastReadTime, row.TimeOfDay);
        }
        break;
      }
      case Op::kRegSetValue: {
        RegistryKeyInfo& key = e.RegistryKeys.Get(LowerCase(row.FullPath));
        key.Path = row.FullPath;
        Stamp(key.FirstWriteTime, key.LastWriteTime, row.TimeOfDay);
        break;
      }
      case Op::kNetwork:
        RecordNetworkRow(row);
        break;
      case Op::kOther:
        break;
    }
  }
  int32_t pid = pidKey;
  int32_t tid = tidKey;
  int32_t node = kNoIndex;
  if (success) {
    std::string_view loggedTid = Text(row.m_loggedTid);
    if (loggedTid != "0" && row.m_op != Op::kThreadCreate && row.m_op != Op::kProcessStart) {
      node = ThreadInProcessNode(pid, tid);
      ThreadInfo& thread = e.m_threadNodes[node];
      if (thread.ParentPID == kNoIndex) thread.ParentPID = thread.m_process;
    }
  }
  // Rows name their process and thread by key from here on.
  row.PID = pid;
  row.TID = tid;
  row.m_threadNode = node != kNoIndex ? node : ThreadNode(pid, tid);
}

}  // namespace

int32_t FindProcessByKey(std::string_view key) {
  const auto& index = State().entities.m_processByKey;
  auto it = index.find(key);
  return it == index.end() ? kNoIndex : it->second;
}

int32_t FindThreadKey(std::string_view key) {
  const auto& index = State().entities.m_threadKeyByText;
  auto it = index.find(key);
  return it == index.end() ? kNoIndex : it->second;
}

int32_t ThreadNode(int32_t process, int32_t threadKey) {
  EntityState& e = State().entities;
  auto [it, added] =
      e.m_threadNodeIndex.try_emplace(PairKey(process, threadKey), int32_t(e.m_threadNodes.size()));
  if (added) {
    ThreadInfo node;
    node.Key = threadKey;
    node.m_process = process;
    e.m_threadNodes.push_back(std::move(node));
  }
  return it->second;
}

int32_t FindThreadInProcess(int32_t process, int32_t threadKey) {
  const EntityState& e = State().entities;
  auto it = e.m_threadNodeIndex.find(PairKey(process, threadKey));
  if (it == e.m_threadNodeIndex.end() || !e.m_threadNodes[it->second].m_inThreads) return kNoIndex;
  return it->second;
}

int32_t FindThreadOwner(int32_t threadKey) {
  const auto& owners = State().entities.m_threadOwner;
  auto it = owners.find(threadKey);
  return it == owners.end() ? kNoIndex : it->second;
}

namespace {

size_t CountThreads() {
  size_t count = 0;
  for (const ProcessInfo& process : State().entities.Processes) count += process.Threads.size();
  return count;
}

}  // namespace

void CollectEntities() {
  TOLVEK_TRACE("CollectEntities");
  EntityState& e = State().entities;
  e.m_oldProcesses = e.m_newProcesses = e.m_oldThreads = e.m_newThreads = 0;
  e.PidKey.clear();
  e.TidKey.clear();
  PrepareShortPathIndex();
  for (ProcmonRow& row : State().csv.ProcmonRows) CollectRow(row);
  PrintProgress("    " + std::to_string(e.Processes.size()) + " processes");
  PrintProgress("    " + std::to_string(CountThreads()) + " threads");
  PrintProgress("    " + std::to_string(e.Files.size()) + " files");
  PrintProgress("    " + std::to_string(e.RegistryKeys.size()) + " registry keys");
  PrintProgress("    " + std::to_string(e.Servers.size()) + " servers");
  PrintProgress("    " + std::to_string(e.Connections.size()) + " connections");
  PrintProgress("Done.");
}

}  // namespace evtweave
