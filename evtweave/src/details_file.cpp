#include "evtweave/details_file.h"

#include "evtweave/console_output.h"
#include "evtweave/converter_state.h"
#include "evtweave/dot_writer.h"
#include "evtweave/output_files.h"
#include "evtweave/path_names.h"
#include "tolvek/callstack.h"
#include "tolvek/hex_form.h"
#include "tolvek/path_generic.h"
#include "tolvek/preferences.h"

namespace evtweave {
namespace {

std::string TrimCommas(std::string_view text) {
  while (!text.empty() && text.front() == ',') text.remove_prefix(1);
  while (!text.empty() && text.back() == ',') text.remove_suffix(1);
  return std::string(text);
}

void Write(std::string_view key, std::string_view value) {
  tolvek::WritePreferenceString(key, value);
}

std::string ProcessKey(int32_t index) {
  return index == kNoIndex ? "" : State().entities.Processes[index].Key;
}

std::string ThreadKey(int32_t index) {
  return index == kNoIndex ? "" : State().entities.m_threadKeys[index];
}

void WriteTimes(const ObjectTimes& t) {
  Write("FirstCreateTime", t.FirstCreateTime);
  Write("LastCreateTime", t.LastCreateTime);
  Write("FirstDeleteTime", t.FirstDeleteTime);
  Write("LastDeleteTime", t.LastDeleteTime);
  Write("FirstReadTime", t.FirstReadTime);
  Write("LastReadTime", t.LastReadTime);
  Write("FirstWriteTime", t.FirstWriteTime);
  Write("LastWriteTime", t.LastWriteTime);
}

void WritePathKeys(std::string_view path) {
  Write("Name", UnescapeApostrophe(tolvek::GetFilePartGeneric(path)));
  Write("Path", UnescapeApostrophe(tolvek::GetPathPartGeneric(path, true)));
  Write("FullPath", UnescapeApostrophe(path));
}

void WriteProcess(int32_t index) {
  const EntityState& e = State().entities;
  const ProcessInfo& p = e.Processes[index];
  std::string id = NodeIdText({NodeType::kProcess, index});
  tolvek::PreferenceGroupHexified(id);
  Write("ID", id);
  Write("PID", p.Key);
  Write("Name", UnescapeApostrophe(p.Name));
  Write("Path", UnescapeApostrophe(tolvek::GetPathPartGeneric(p.FullPath, true)));
  Write("FullPath", UnescapeApostrophe(p.FullPath));
  Write("CommandLine", UnescapeApostrophe(p.CommandLine));
  Write("StartTime", p.StartTime);
  Write("ParentPID", ProcessKey(p.ParentPID));
  Write("ParentTID", ThreadKey(p.ParentTID));
  Write("StopTime", p.StopTime);
  Write("StoppedByPID", ProcessKey(p.StoppedByPID));
  Write("StoppedByTID", ThreadKey(p.StoppedByTID));
  Write("RelevantBecauseOfProcmonLines", TrimCommas(p.RelevantLines));
  size_t active = 0;
  for (int32_t node : p.Threads) active += e.m_threadNodes[node].m_active ? 1 : 0;
  Write("Threads", std::to_string(p.Threads.size()) + " (" + std::to_string(active) + " relevant)");
  for (int32_t node : p.Threads) {
    const ThreadInfo& t = e.m_threadNodes[node];
    std::string threadId = NodeIdText({NodeType::kThread, node});
    tolvek::PreferenceGroupHexified(threadId);
    Write("ID", threadId);
    Write("TID", e.m_threadKeys[t.Key]);
    Write("Main", t.IsMain ? "Yes" : "No (or unknown)");
    Write("StartTime", t.StartTime);
    Write("StopTime", t.StopTime);
    Write("ParentPID", ProcessKey(t.ParentPID));
    Write("ParentTID", ThreadKey(t.ParentTID));
    Write("Relevant", t.m_active ? "Yes" : "No");
    Write("RelevantBecauseOfProcmonLines", TrimCommas(t.RelevantLines));
  }
}

}  // namespace

bool WriteDetailsFile() {
  TOLVEK_TRACE("WriteDetailsFile");
  ConverterState& state = State();
  if (!state.options.lumivex) return true;
  std::string path = state.DotFile + std::string(kDetailsSuffix);
  bool ok = tolvek::CreatePreferences(path, kOutputWriteOptions);
  if (ok) {
    const EntityState& e = state.entities;
    for (size_t i = 0; i < e.Processes.size(); ++i) WriteProcess(static_cast<int32_t>(i));
    for (size_t i = 0; i < e.Files.m_items.size(); ++i) {
      const FileInfo& f = e.Files.m_items[i];
      std::string id = NodeIdText({NodeType::kFile, static_cast<int32_t>(i)});
      tolvek::PreferenceGroupHexified(id);
      Write("ID", id);
      WritePathKeys(f.Path);
      WriteTimes(f);
      Write("RenamedFrom", f.RenamedFrom ? "Yes" : "No");
      Write("RenamedTo", f.RenamedTo ? "Yes" : "No");
      Write("RelevantBecauseOfProcmonLines", TrimCommas(f.RelevantLines));
    }
    // A path that only a registry value names is drawn as a file too; the workbench shows
    // its details like those of any file.
    const auto& loose = state.graph.m_looseFiles;
    for (size_t i = 0; i < loose.size(); ++i) {
      std::string id = NodeIdText({NodeType::kLooseFile, static_cast<int32_t>(i)});
      tolvek::PreferenceGroupHexified(id);
      Write("ID", id);
      WritePathKeys(loose[i].m_path);
      WriteTimes(ObjectTimes{});
      Write("RenamedFrom", "No");
      Write("RenamedTo", "No");
      Write("RelevantBecauseOfProcmonLines", "");
    }
    for (size_t i = 0; i < e.RegistryKeys.m_items.size(); ++i) {
      const RegistryKeyInfo& k = e.RegistryKeys.m_items[i];
      std::string id = NodeIdText({NodeType::kRegistryKey, static_cast<int32_t>(i)});
      tolvek::PreferenceGroupHexified(id);
      Write("ID", id);
      WritePathKeys(k.Path);
      WriteTimes(k);
      Write("RelevantBecauseOfProcmonLines", TrimCommas(k.RelevantLines));
    }
    for (size_t i = 0; i < e.Servers.m_items.size(); ++i) {
      const ServerInfo& s = e.Servers.m_items[i];
      std::string id = NodeIdText({NodeType::kServer, static_cast<int32_t>(i)});
      tolvek::PreferenceGroupHexified(id);
      Write("ID", id);
      Write("Domain", s.Domain);
      Write("IP-Address", s.IPAddress);
      if (s.OnlyInCapture <= 1) Write("OnlyInPCAP", "No");
      if (s.OnlyInCapture == 2) Write("OnlyInPCAP", "Yes");
      Write("RelevantBecauseOfProcmonLines", TrimCommas(s.RelevantLines));
    }
  }
  ok = tolvek::ClosePreferences() && ok;
  if (ok) return true;
  PrintConsoleLine("Error: Couldn't write file '" + path + "'!");
  state.m_failed = true;
  return false;
}

}  // namespace evtweave
