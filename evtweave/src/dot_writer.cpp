#include "evtweave/dot_writer.h"

#include "evtweave/console_output.h"
#include "evtweave/event_pass.h"
#include "evtweave/ignore_lists.h"
#include "evtweave/object_edges.h"
#include "evtweave/output_files.h"
#include "evtweave/path_names.h"
#include "tolvek/callstack.h"

namespace evtweave {
namespace {

// Graphviz rejects a quoted string longer than its buffer; a cut text keeps a piece of its
// fingerprint so that two long ids that begin alike stay two nodes.
constexpr size_t kMaxDotText = 4000;

std::string_view CapDotText(std::string_view text, std::string& scratch) {
  if (text.size() <= kMaxDotText) return text;
  size_t cut = kMaxDotText;
  while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;
  scratch.assign(text.substr(0, cut));
  scratch.append("...");
  scratch.append(Md5Hex(text).substr(0, 16));
  return scratch;
}

// Text of the model inside a quoted DOT string. Every label and id is kept raw until here: a
// double quote would end the string (and the workbench splits lines at double quotes), so it
// becomes an apostrophe, as do the protected apostrophes; backslashes are doubled, so nothing
// from the log can escape a quote or form a DOT escape sequence; a line feed between the
// lines of a label becomes the DOT line break.
void AppendDotString(std::string& out, std::string_view text) {
  std::string scratch;
  text = CapDotText(text, scratch);
  for (size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (c == '"') {
      out.push_back('\'');
    } else if (c == '\\') {
      out.append("\\\\");
    } else if (c == '\n') {
      out.append("\\n");
    } else if (c == '_' && text.compare(i, 6, "_0x27_") == 0) {
      out.push_back('\'');
      i += 5;
    } else {
      out.push_back(c);
    }
  }
}

// The time after a statement, in its comment: only the quotes need care there.
void AppendCommentText(std::string& out, std::string_view text) {
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '"') {
      out.push_back('\'');
    } else if (text[i] == '_' && text.compare(i, 6, "_0x27_") == 0) {
      out.push_back('\'');
      i += 5;
    } else {
      out.push_back(text[i]);
    }
  }
}

// The id of a node as raw text.
void RawId(std::string& raw, NodeRef node) {
  const EntityState& e = State().entities;
  raw.clear();
  switch (node.m_type) {
    case NodeType::kProcess:
      raw.append("PROCESS:").append(e.Processes[node.m_index].Key);
      break;
    case NodeType::kThread: {
      const ThreadInfo& thread = e.m_threadNodes[node.m_index];
      raw.append("THREAD:").append(e.Processes[thread.m_process].Key).append(":");
      raw.append(e.m_threadKeys[thread.Key]);
      break;
    }
    case NodeType::kFile:
      raw.append("FILE:").append(e.Files.m_items[node.m_index].m_key);
      break;
    case NodeType::kRegistryKey:
      raw.append("REGISTRYKEY:").append(e.RegistryKeys.m_items[node.m_index].m_key);
      break;
    case NodeType::kRegistry:
      raw.append("REGISTRY");
      break;
    case NodeType::kServer:
      raw.append("SERVER:").append(e.Servers.m_items[node.m_index].m_key);
      break;
    case NodeType::kFileCategory:
      raw.append("FILE:").append(State().graph.m_categories[node.m_index].m_name);
      break;
    case NodeType::kLooseFile:
      raw.append("FILE:").append(State().graph.m_looseFiles[node.m_index].m_id);
      break;
  }
}

void AppendId(std::string& out, NodeRef node) {
  thread_local std::string raw;
  RawId(raw, node);
  out.push_back('"');
  AppendDotString(out, raw);
  out.push_back('"');
}

bool IsActor(NodeRef node) {
  return node.m_type == NodeType::kProcess || node.m_type == NodeType::kThread;
}

bool NodeKept(NodeRef node) {
  const NodeState& s = StateOf(node);
  if (IsActor(node)) return s.m_follow && s.m_declared && s.m_active;
  return s.m_follow != 0;
}

bool EdgeEndKept(NodeRef node) {
  const NodeState& s = StateOf(node);
  return s.m_follow && s.m_declared && (!IsActor(node) || s.m_active);
}

void AppendNodeStatement(std::string& out, NodeRef node, uint64_t& createdCounter) {
  const EntityState& e = State().entities;
  out.append("  ");
  AppendId(out, node);
  out.append("   [label = \"");
  switch (node.m_type) {
    case NodeType::kProcess: {
      const ProcessInfo& p = e.Processes[node.m_index];
      // Created processes are numbered in file order; only the leading number changes.
      std::string label;
      if (p.m_createdInLog) label = "[" + std::to_string(++createdCounter) + "]\n";
      label.append(p.Name).append("\n(PID: ").append(p.m_loggedPid).append(")");
      AppendDotString(out, label);
      out.append("\", shape = box, style = filled, fillcolor = ");
      out.append(p.StartTime.empty() ? "gray" : "black");
      out.append(", fontcolor = ");
      out.append(p.StopTime.empty() ? "white" : "red");
      out.append(", color = black];");
      break;
    }
    case NodeType::kThread: {
      const ThreadInfo& t = e.m_threadNodes[node.m_index];
      AppendDotString(out, t.Label);
      out.append("\", shape = diamond, style = filled, fillcolor = ");
      out.append(t.StartTime.empty() ? "gray" : "black");
      out.append(", fontcolor = ");
      out.append(t.StopTime.empty() ? "white" : "red");
      out.append(", color = ");
      out.append(t.IsMain ? "goldenrod" : "black");
      out.append("];");
      break;
    }
    case NodeType::kFile: {
      const FileInfo& f = e.Files.m_items[node.m_index];
      AppendDotString(out, std::string(PathLabel(f.Path)) + AutostartMark(f.Path, false));
      out.append("\", shape = note, style = filled, fillcolor = orange, fontcolor = ");
      out.append(f.FirstDeleteTime.empty() ? "black" : "red");
      out.append(", color = black];");
      break;
    }
    case NodeType::kFileCategory: {
      const CategoryNode& c = State().graph.m_categories[node.m_index];
      AppendDotString(out, c.m_label);
      out.append("\", shape = note, style = filled, fillcolor = orange, fontcolor = ");
      out.append(c.m_deleted ? "red" : "black");
      out.append(", color = black];");
      break;
    }
    case NodeType::kLooseFile:
      // Never declared: a loose file shows the default look.
      break;
    case NodeType::kRegistryKey: {
      const RegistryKeyInfo& k = e.RegistryKeys.m_items[node.m_index];
      AppendDotString(out, std::string(PathLabel(k.Path)) + AutostartMark(k.Path, false));
      out.append(
          "\", shape = tab, style = filled, fillcolor = yellow, fontcolor = black, "
          "color = black];");
      break;
    }
    case NodeType::kRegistry:
      out.append(
          "REGISTRY\", shape = tab, style = filled, fillcolor = yellow, fontcolor = "
          "black, color = black];");
      break;
    case NodeType::kServer:
      AppendDotString(out, e.Servers.m_items[node.m_index].Label);
      out.append(
          "\", shape = oval, style = filled, fillcolor = blue, fontcolor = white, "
          "color = black];");
      break;
  }
}

std::string_view EdgeAttributes(EdgeType type) {
  switch (type) {
    case EdgeType::kHasThread:
      return "";
    case EdgeType::kCreateProcess:
      return "create process\", style = bold, arrowhead = vee, fontcolor = magenta, color = "
             "magenta";
    case EdgeType::kIsBasedOn:
      return "is based on\", style = bold, arrowhead = none, fontcolor = black, color = black";
    case EdgeType::kKillOwnProcess:
      return "kill own process\", style = bold, arrowhead = vee, fontcolor = orange, color = "
             "orange";
    case EdgeType::kKillForeignProcess:
      return "kill foreign process\", style = bold, arrowhead = vee, fontcolor = orange, color = "
             "orange";
    case EdgeType::kCreateThread:
      return "create thread\", style = bold, arrowhead = vee, fontcolor = magenta, color = magenta";
    case EdgeType::kInjectThread:
      return "inject thread\", style = bold, arrowhead = vee, fontcolor = magenta, color = magenta";
    case EdgeType::kCreateFile:
      return "create file\", style = bold, arrowhead = vee, fontcolor = magenta, color = magenta";
    case EdgeType::kDeleteFile:
      return "delete file\", style = bold, arrowhead = vee, fontcolor = orange, color = orange";
    case EdgeType::kRenameFrom:
      return "rename from\", style = dashed, arrowhead = vee, fontcolor = orange, color = orange";
    case EdgeType::kRenameTo:
      return "rename to\", style = dashed, arrowhead = vee, fontcolor = magenta, color = magenta";
    case EdgeType::kRename:
      return "rename\", style = bold, arrowhead = vee, fontcolor = magenta, color = magenta";
    case EdgeType::kLoadsImage:
      return "loads\", style = bold, dir = back, arrowhead = vee, fontcolor = blueviolet, color = "
             "blueviolet";
    case EdgeType::kReadFile:
      return "\", style = bold, dir = back, arrowhead = vee, fontcolor = green, color = green";
    case EdgeType::kWriteFile:
      return "\", style = bold, arrowhead = vee, fontcolor = red, color = red";
    case EdgeType::kGetValue:
      return "\", style = bold, dir = back, arrowhead = vee, fontcolor = green, color = green";
    case EdgeType::kSetValue:
      return "\", style = bold, arrowhead = vee, fontcolor = red, color = red";
    case EdgeType::kSetAsValue:
      return "set as value\", style = bold, arrowhead = vee, dir = back, fontcolor = yellow, "
             "color = yellow";
    case EdgeType::kSend:
      return "\", style = bold, arrowhead = vee, fontcolor = red, color = red";
    case EdgeType::kReceive:
      return "\", style = bold, arrowtail = vee, dir = back, fontcolor = green, color = green";
  }
  return "";
}

void AppendEdgeStatement(std::string& out, const DotLine& line) {
  const EdgeKey& edge = line.m_edge;
  if (line.m_repeat) out.append("// ");
  out.append("  ");
  AppendId(out, edge.m_tail);
  out.append(" -> ");
  AppendId(out, edge.m_head);
  out.append("    [label = \"");
  if (edge.m_type == EdgeType::kHasThread) {
    const ProcessInfo& p = State().entities.Processes[edge.m_tail.m_index];
    std::string_view tone = p.StartTime.empty() ? "gray" : "black";
    out.append("has thread\", style = solid, arrowhead = none, fontcolor = ");
    out.append(tone);
    out.append(", color = ");
    out.append(tone);
    out.append("];");
    return;
  }
  if (edge.m_label != 0) AppendDotString(out, Text(edge.m_label));
  out.append(EdgeAttributes(edge.m_type));
  int64_t weight = 0;
  if (!line.m_repeat) {
    auto it = State().graph.EdgeWeight.find(edge);
    if (it != State().graph.EdgeWeight.end()) weight = it->second;
  }
  if (weight > 7) weight = 7;
  if (weight <= 0) weight = 1;
  out.append(", penwidth = " + std::to_string(weight) + "];");
}

void AppendTime(std::string& out, std::string_view time) {
  out.append(" // ");
  AppendCommentText(out, time);
  out.append("\r\n");
}

}  // namespace

std::string NodeIdText(NodeRef node) {
  std::string out;
  AppendId(out, node);
  return out.substr(1, out.size() - 2);
}

std::string BuildDotText() {
  const GraphState& graph = State().graph;
  std::string out;
  out.reserve(4096 + graph.DotLines.size() * 160);
  out.append(
      "digraph G {\r\n  graph [nodesep = 0.3]\r\n  rankdir = LR;\r\n  size = \"100,80\";\r\n"
      "  node [shape = tripleoctagon, style = filled, fillcolor = red, fontcolor = white, "
      "color = black];\r\n\r\n");
  uint64_t createdCounter = 0;
  for (const DotLine& line : graph.DotLines) {
    if (line.Kind == kDotNode) {
      if (!NodeKept(line.m_node)) continue;
      AppendNodeStatement(out, line.m_node, createdCounter);
    } else {
      const EdgeKey& edge = line.m_edge;
      // Edges between two objects (rename, set as value) are not filtered.
      bool actors = IsActor(edge.m_tail) || IsActor(edge.m_head);
      if (actors && !(EdgeEndKept(edge.m_tail) && EdgeEndKept(edge.m_head))) continue;
      AppendEdgeStatement(out, line);
    }
    AppendTime(out, line.Time);
  }
  if (!graph.CaptureOnlyLines.empty()) {
    out.append(
        "subgraph clusterOnlyInPcap { label = \"Only in PCAP\"; style = filled; color = "
        "lightgrey;\r\n");
    for (const DotLine& line : graph.CaptureOnlyLines) {
      uint64_t unused = 0;
      AppendNodeStatement(out, line.m_node, unused);
      AppendTime(out, line.Time);
    }
    out.append("}\r\n");
  }
  out.append("}\r\n");
  return out;
}

bool WriteDotFile() {
  TOLVEK_TRACE("WriteDotFile");
  const std::string& path = State().DotFile;
  if (!path.empty() && tolvek::WriteFileWhole(path, BuildDotText(), kOutputWriteOptions)) {
    return true;
  }
  PrintConsoleLine("Error: Couldn't write file '" + path + "'!");
  State().m_failed = true;
  return false;
}

}  // namespace evtweave
