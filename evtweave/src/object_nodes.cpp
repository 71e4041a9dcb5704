// Node statements of the files, registry keys and servers that a row touched, and the
// servers that only the capture shows.
#include <unordered_set>

#include "evtweave/capture_text.h"
#include "evtweave/event_pass.h"
#include "evtweave/ignore_lists.h"
#include "evtweave/object_edges.h"
#include "evtweave/path_names.h"

namespace evtweave {
namespace {

// The first declaration of a node wins; later ones are dropped with whatever they carried.
bool Declare(const ProcmonRow& row, NodeRef node, std::string& relevantLines) {
  NodeState& state = StateOf(node);
  if (state.m_declared) return false;
  state.m_declared = 1;
  state.m_follow = 1;
  AppendLineNumber(relevantLines, row);
  AppendNode(row, node);
  return true;
}

void DeclareFile(const ProcmonRow& row, std::string_view path, std::string_view warning) {
  EntityState& e = State().entities;
  const Options& o = State().options;
  std::string lower = LowerCase(path);
  int32_t index = e.Files.Find(lower);
  if (index == kNoIndex) {
    PrintWarning(warning, lower, row);
    return;
  }
  FileInfo& file = e.Files.m_items[index];
  if (!o.compressed) {
    Declare(row, {NodeType::kFile, index}, file.RelevantLines);
    return;
  }
  if (o.reduced && HasContentCategory(file.m_key)) return;
  NodeRef node = CompressedFileNodeFor(file.m_key);
  if (node.m_type != NodeType::kFileCategory) {
    Declare(row, node, file.RelevantLines);
    return;
  }
  if (Declare(row, node, file.RelevantLines)) {
    CategoryNode& category = State().graph.m_categories[node.m_index];
    category.m_label =
        GetContentCategory(std::string(PathLabel(file.Path))) + AutostartMark(file.Path, false);
    category.m_deleted = !file.FirstDeleteTime.empty();
  }
}

void DeclareRegistryKey(const ProcmonRow& row) {
  EntityState& e = State().entities;
  const Options& o = State().options;
  std::string lower = LowerCase(row.FullPath);
  int32_t index = e.RegistryKeys.Find(lower);
  if (index == kNoIndex) {
    PrintWarning("Warning (10): No map-element for registry-key ", lower, row);
    return;
  }
  RegistryKeyInfo& key = e.RegistryKeys.m_items[index];
  if (o.compressed && !IsAutostartLocation(key.Path)) {
    if (o.reduced) return;
    Declare(row, {NodeType::kRegistry, 0}, key.RelevantLines);
    return;
  }
  Declare(row, {NodeType::kRegistryKey, index}, key.RelevantLines);
}

void DeclareServer(const ProcmonRow& row) {
  EntityState& e = State().entities;
  size_t arrow = row.FullPath.find('>');
  std::string_view afterArrow =
      arrow == std::string_view::npos ? std::string_view() : row.FullPath.substr(arrow + 1);
  std::string_view host = TrimBlanks(SplitField(afterArrow, ':', 1));
  int32_t index = e.Servers.Find(host);
  // The map's keys are lower-cased; an IPv4 peer reads the same either way.
  if (index == kNoIndex) index = e.Servers.Find(LowerCase(host));
  if (index == kNoIndex) {
    PrintWarning("Warning (11): No map-element for server ", host, row);
    return;
  }
  ServerInfo& server = e.Servers.m_items[index];
  if (!Contains(server.Label, "[") && !Contains(server.Label, "]\n")) {
    server.Label = "[" + std::to_string(++State().graph.m_serverNumber) + "]\n" + server.Label;
  }
  Declare(row, {NodeType::kServer, index}, server.RelevantLines);
}

// Every dotted quad inside the connection keys: a capture server is connected when its
// address occurs in a key, and its address is such a quad.
std::unordered_set<std::string> QuadsOfConnections() {
  std::unordered_set<std::string> quads;
  for (const ConnectionInfo& connection : State().entities.Connections.m_items) {
    std::string_view key = connection.m_key;
    for (size_t start = 0; start < key.size(); ++start) {
      if (key[start] < '0' || key[start] > '9') continue;
      // Try every split into four parts of one to three digits from here.
      size_t ends[4];
      auto walk = [&](auto&& self, int part, size_t at) -> void {
        for (size_t len = 1; len <= 3 && at + len <= key.size(); ++len) {
          char c = key[at + len - 1];
          if (c < '0' || c > '9') break;
          ends[part] = at + len;
          if (part == 3) {
            quads.emplace(key.substr(start, ends[3] - start));
          } else if (at + len < key.size() && key[at + len] == '.') {
            self(self, part + 1, at + len + 1);
          }
        }
      };
      walk(walk, 0, start);
    }
  }
  return quads;
}

}  // namespace

void DeclareObjectNodes(const ProcmonRow& row) {
  GraphState& graph = State().graph;
  if (graph.RowTouchesFile) {
    DeclareFile(row, row.FullPath, "Warning (9): No map-element for file ");
    if (row.m_op == Op::kSetRenameInformationFile) {
      DeclareFile(row, graph.RenameTarget, "Warning (9b): No map-element for file ");
    }
  }
  if (graph.RowTouchesRegistryKey) DeclareRegistryKey(row);
  if (graph.RowTouchesServer) DeclareServer(row);
}

void AddCaptureOnlyServers() {
  GraphState& graph = State().graph;
  EntityState& e = State().entities;
  graph.CaptureOnlyLines.clear();
  std::unordered_set<std::string> quads;
  bool quadsMade = false;
  IgnoreList& ignores = State().ignores.Servers;
  for (size_t i = 0; i < e.Servers.m_items.size(); ++i) {
    ServerInfo& server = e.Servers.m_items[i];
    if (server.OnlyInCapture == 0) continue;
    if (!quadsMade) {
      quads = QuadsOfConnections();
      quadsMade = true;
    }
    bool connected = false;
    if (IsIpv4Text(server.IPAddress)) {
      connected = quads.contains(server.IPAddress);
    } else if (!server.IPAddress.empty()) {
      for (const ConnectionInfo& connection : e.Connections.m_items) {
        if (Contains(connection.m_key, server.IPAddress)) connected = true;
      }
    }
    if (connected) continue;
    server.OnlyInCapture += 1;
    bool ignored = IsIgnored(server.Address, 'w', ignores);
    ignored = IsIgnored(server.Domain, 'w', ignores) || ignored;
    ignored = IsIgnored(server.IPAddress, 'w', ignores) || ignored;
    if (ignored) continue;
    std::string id = LowerCase(server.Domain.empty() ? server.IPAddress : server.Domain);
    int32_t index = e.Servers.Find(id);
    if (index == kNoIndex) index = static_cast<int32_t>(i);
    NodeState& state = e.Servers.m_items[index];
    if (state.m_declared) continue;
    state.m_declared = state.m_follow = 1;
    DotLine line;
    line.Time = "0";
    line.Kind = kDotCaptureOnlyNode;
    line.m_node = {NodeType::kServer, index};
    graph.CaptureOnlyLines.push_back(line);
  }
}

}  // namespace evtweave
