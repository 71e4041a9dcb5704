#include "plugins/plugin_environment.h"

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

std::vector<std::string> ProgramEnvironment(const Variables& variables) {
  std::vector<std::string> entries;
  for (const auto& [name, value] : variables) {
    if (name.find('=') != std::string::npos) continue;  // no such name can be set
    entries.push_back(name + "=" + (value.size() > kMaxProgramValue ? "" : value));
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
