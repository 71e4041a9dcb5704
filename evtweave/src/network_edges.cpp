// Sending to, connecting to and receiving from servers.
#include <array>

#include "evtweave/event_pass.h"
#include "evtweave/ignore_lists.h"
#include "evtweave/object_edges.h"

namespace evtweave {
namespace {

enum class Direction { kNone, kSend, kReceive };

Direction DirectionOf(std::string_view operation) {
  static const std::array<std::string_view, 12> kSends = {
      "TCP Send",       "UDP Send",      "TCP Connect", "TCP Disconnect",
      "TCP Reconnect",  "TCP Other",     "TCP Unknown", "UDP Connect",
      "UDP Disconnect", "UDP Reconnect", "UDP Other",   "UDP Unknown"};
  static const std::array<std::string_view, 4> kReceives = {"TCP Receive", "UDP Receive",
                                                            "TCP Accept", "UDP Accept"};
  for (std::string_view name : kSends) {
    if (operation == name) return Direction::kSend;
  }
  for (std::string_view name : kReceives) {
    if (operation == name) return Direction::kReceive;
  }
  return Direction::kNone;
}

std::string_view ProtocolName(std::string_view remotePort) {
  static const std::array<std::pair<std::string_view, std::string_view>, 5> kProtocols = {
      {{"80", "HTTP"}, {"443", "HTTPS"}, {"25", "SMTP"}, {"21", "FTP"}, {"22", "SSH"}}};
  for (const auto& [port, name] : kProtocols) {
    if (remotePort == port) return name;
  }
  return {};
}

}  // namespace

void NetworkRules(const ProcmonRow& row) {
  std::string_view operation = Text(row.Operation);
  Direction direction = DirectionOf(operation);
  if (direction == Direction::kNone) return;
  EntityState& e = State().entities;
  int32_t connectionIndex =
      e.Connections.Find(std::string(operation.substr(0, 4)) + LowerCase(row.FullPath));
  // Pass 1 records every connection of a successful network row with an IPv4 peer.
  if (connectionIndex == kNoIndex) return;
  const ConnectionInfo& connection = e.Connections.m_items[connectionIndex];
  if (connection.Server == kNoIndex) return;
  const ServerInfo& server = e.Servers.m_items[connection.Server];
  char access = direction == Direction::kSend ? 'w' : 'r';
  IgnoreList& ignores = State().ignores.Servers;
  bool ignored = IsIgnored(server.Address, access, ignores);
  ignored = IsIgnored(server.Domain, access, ignores) || ignored;
  ignored = IsIgnored(server.IPAddress, access, ignores) || ignored;
  if (ignored) return;
  e.Processes[row.PID].m_active = 1;
  e.m_threadNodes[row.m_threadNode].m_active = 1;
  State().graph.RowTouchesServer = true;

  std::string label(operation.substr(0, 4));
  label += connection.LocalPort;
  label += direction == Direction::kSend ? ">" : "<";
  label += connection.RemotePort;
  std::string_view protocol = ProtocolName(connection.RemotePort);
  if (State().options.compressed && operation.substr(0, 3) == "TCP" && !protocol.empty()) {
    label = std::string(protocol);
  }
  CsvState& csv = State().csv;
  uint32_t labelId = csv.m_strings.Find(label);
  if (labelId == TextInterner::kNone) labelId = csv.m_strings.Intern(csv.m_arena.Store(label));
  EdgeKey edge{direction == Direction::kSend ? EdgeType::kSend : EdgeType::kReceive,
               ProcessNode(row.PID),
               {NodeType::kServer, connection.Server},
               labelId};
  AppendRepeatableEdge(row, edge);
  AddEdgeWeight(edge, 1);
}

}  // namespace evtweave
