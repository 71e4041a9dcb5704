#include "plugins/plugin_environment.h"

#include <limits.h>
#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "tolvek/callstack.h"

extern char** environ;

namespace plugins {
namespace {

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
  return text;
}

// text when it ends (in any case) with extension, else "".
std::string IfExtension(const std::string& text, const std::string& extension) {
  if (text.size() < extension.size()) return "";
  return Lower(text.substr(text.size() - extension.size())) == extension ? text : "";
}

}  // namespace

std::string LayoutNumber(double value) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.10f", value);
  std::string text = buffer;
  while (!text.empty() && text.back() == '0') text.pop_back();
  if (!text.empty() && text.back() == '.') text.pop_back();
  return text == "-0" ? "0" : text;
}

Variables PluginEnvironment(const PluginRecord& record, const std::string& eventName,
                            const WorkbenchSnapshot& s) {
  TOLVEK_TRACE("SetPluginEnvironment");
  Variables v;
  auto set = [&v](const std::string& name, std::string value) {
    v.emplace_back(kVariablePrefix + name, std::move(value));
  };
  set("Architecture", record.Architecture);
  set("Author", record.Author);
  set("Type", record.Type);
  set("Name", record.Name);
  set("Description", record.Description);
  set("Version", record.Version);
  set("SessionFile", s.sessionFile);
  set("SessionSavePending", s.sessionSavePending ? "1" : "0");
  set("Path2WindumpExecutable", s.windumpExecutable);
  set("Path2DotExecutable", s.dotExecutable);
  if (record.CanBeVerified) set("VerificationRun", "0");
  if (record.Type == "EventHandler") set("Event", eventName);
  set("ProcmonFile", s.procmonFile);
  set("ProcmonFileCsv", IfExtension(s.procmonFile, ".csv"));
  set("ProcmonFilePml", IfExtension(s.procmonFile, ".pml"));
  set("WindumpFile", s.windumpFile);
  set("WindumpFileTxt", IfExtension(s.windumpFile, ".txt"));
  set("WindumpFilePcap", IfExtension(s.windumpFile, ".pcap"));
  set("GraphFileDot", s.graphFileDot);
  set("GraphFileDot4Render", s.graphFileDot4Render);
  set("GraphFilePng", s.graphFilePng);
  set("GraphFileTxt", s.graphFileTxt);
  set("GraphFileDetails", s.graphFileDot + ".lumivex");
  const bool graphEvent =
      eventName.size() >= 5 && eventName.substr(eventName.size() - 5) == "Graph";
  if (!graphEvent && record.Type != "ContextMenuItemForGraph") return v;
  const NodeVariables none;
  const NodeVariables& node = s.currentNode ? *s.currentNode : none;
  const bool exists = s.currentNode.has_value();
  set("CurrentNode_name", node.name);
  set("CurrentNode_x", exists ? LayoutNumber(node.x) : "");
  set("CurrentNode_y", exists ? LayoutNumber(node.y) : "");
  set("CurrentNode_width", exists ? LayoutNumber(node.width) : "");
  set("CurrentNode_height", exists ? LayoutNumber(node.height) : "");
  set("CurrentNode_label", node.label);
  set("CurrentNode_style", node.style);
  set("CurrentNode_shape", node.shape);
  set("CurrentNode_color", node.color);
  set("CurrentNode_fillcolor", node.fillcolor);
  if (exists && node.details) {
    for (const auto& [key, value] : *node.details) {
      std::string name = key;
      for (char& c : name) c = c == '-' ? '_' : c;
      set("CurrentNode_Details_" + name, value);
    }
  }
  return v;
}

size_t ProgramEnvironmentRoom() {
  // As the kernel reckons it: a quarter of the stack limit, at most 6 MiB, at least 128 KiB.
  size_t total = 6 << 20;
  struct rlimit stack;
  if (getrlimit(RLIMIT_STACK, &stack) == 0 && stack.rlim_cur != RLIM_INFINITY &&
      stack.rlim_cur / 4 < total) {
    total = static_cast<size_t>(stack.rlim_cur / 4);
  }
  total = std::max<size_t>(total, kMaxProgramString);
  // The inherited environment, the program's path given twice (argument and file name), the
  // shell a script may be handed to, and their pointers.
  size_t used = 3 * (PATH_MAX + sizeof(char*)) + 4096;
  for (char** e = environ; e && *e; ++e) used += std::strlen(*e) + 1 + sizeof(char*);
  return used < total ? total - used : 0;
}

std::vector<std::string> ProgramEnvironment(const Variables& variables, size_t room) {
  std::vector<std::string> entries;
  for (const auto& [name, value] : variables) {
    if (name.find('=') != std::string::npos) continue;  // no such name can be set
    const bool fits = name.size() + 1 + value.size() + 1 <= kMaxProgramString;
    entries.push_back(name + "=" + (fits ? value : ""));
  }
  auto cost = [](const std::string& entry) { return entry.size() + 1 + sizeof(char*); };
  size_t total = 0;
  for (const std::string& entry : entries) total += cost(entry);
  if (total <= room) return entries;
  std::vector<size_t> longest(entries.size());
  for (size_t i = 0; i < longest.size(); ++i) longest[i] = i;
  std::stable_sort(longest.begin(), longest.end(),
                   [&](size_t a, size_t b) { return entries[a].size() > entries[b].size(); });
  for (size_t i : longest) {
    if (total <= room) break;
    const size_t before = cost(entries[i]);
    entries[i].erase(entries[i].find('=') + 1);
    total -= before - cost(entries[i]);
  }
  return entries;
}

void SetProcessVariables(const Variables& variables) {
  for (const auto& [name, value] : variables) setenv(name.c_str(), value.c_str(), 1);
}

void RemovePluginVariables() {
  std::vector<std::string> names;
  const size_t prefix = std::strlen(kVariablePrefix);
  for (char** e = environ; e && *e; ++e) {
    if (std::strncmp(*e, kVariablePrefix, prefix) != 0) continue;
    const char* eq = std::strchr(*e, '=');
    names.emplace_back(*e, eq ? static_cast<size_t>(eq - *e) : std::strlen(*e));
  }
  for (const std::string& name : names) unsetenv(name.c_str());
}

}  // namespace plugins
