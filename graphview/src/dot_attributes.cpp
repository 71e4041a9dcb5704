#include "graphview/dot_attributes.h"

#include <algorithm>
#include <cctype>
#include <memory>
#include <unordered_map>

#include "graphview/edge_kinds.h"
#include "graphview/graph_drawing.h"
#include "text_lines.h"
#include "tolvek/callstack.h"
#include "tolvek/regex.h"

namespace graphview {
namespace {

constexpr std::string_view kArrow = "\" -> \"";
constexpr std::string_view kQ = "\"";

bool Has(std::string_view text, std::string_view part) {
  return text.find(part) != std::string_view::npos;
}

std::string_view Field(std::string_view text, char sep, size_t index) {
  return detail::SplitField(text, sep, index);
}

// A node's label as messages show it (ShownLabel): its line breaks are its own, never a
// backslash and an "n" of a key or path, and nothing in it is hidden.
std::string Shown(const GraphNode* node) {
  return node ? ShownLabel(node->label) : std::string();
}

// Line number (from 1) of a shown label.
std::string_view LabelLine(std::string_view shown, int64_t number) {
  if (number < 1) return {};
  size_t start = 0;
  for (int64_t i = 1; i < number; ++i) {
    size_t at = shown.find('\n', start);
    if (at == std::string_view::npos) return {};
    start = at + 1;
  }
  size_t end = shown.find('\n', start);
  return shown.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start);
}

int64_t LabelSeparators(std::string_view shown) {
  return std::count(shown.begin(), shown.end(), '\n');
}

// Q + next-to-last line + Q + " " + last line: a process's name and its "(PID: n)" line.
std::string NameAndPid(const GraphNode* process) {
  const std::string label = Shown(process);
  int64_t c = LabelSeparators(label);
  return std::string(kQ) + std::string(LabelLine(label, c)) + std::string(kQ) + " " +
         std::string(LabelLine(label, c + 1));
}

std::string_view IdAfterFile(std::string_view id) {
  return id.substr(0, 5) == "FILE:" ? id.substr(5) : std::string_view();
}
bool IsPathFile(std::string_view id) {
  return Has(IdAfterFile(id), ":");
}

// `fontcolor = (\w+)`: the first such attribute with a word after it.
std::string_view FontColor(std::string_view line) {
  constexpr std::string_view kKey = "fontcolor = ";
  for (size_t at = line.find(kKey); at != std::string_view::npos; at = line.find(kKey, at + 1)) {
    size_t b = at + kKey.size();
    size_t e = b;
    while (e < line.size() &&
           (std::isalnum(static_cast<unsigned char>(line[e])) || line[e] == '_')) {
      ++e;
    }
    if (e > b) return line.substr(b, e - b);
  }
  return {};
}

bool IsSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
}

// `penwidth\s=\s(\d+)`: the first pen width of the line, or -1.
int64_t PenWidth(std::string_view line) {
  constexpr std::string_view kKey = "penwidth";
  for (size_t at = line.find(kKey); at != std::string_view::npos; at = line.find(kKey, at + 1)) {
    size_t i = at + kKey.size();
    if (i + 3 > line.size() || !IsSpace(line[i]) || line[i + 1] != '=' || !IsSpace(line[i + 2])) {
      continue;
    }
    i += 3;
    int64_t value = 0;
    size_t digits = 0;
    while (i < line.size() && line[i] >= '0' && line[i] <= '9') {
      value = std::min<int64_t>(value * 10 + (line[i] - '0'), 1'000'000);
      ++i, ++digits;
    }
    if (digits > 0) return value;
  }
  return -1;
}

// Every ", penwidth = " with its number removed.
std::string WithoutPenWidth(std::string_view line) {
  constexpr std::string_view kKey = ", penwidth = ";
  std::string out;
  out.reserve(line.size());
  size_t from = 0;
  for (size_t at = line.find(kKey); at != std::string_view::npos; at = line.find(kKey, at + 1)) {
    size_t end = at + kKey.size();
    while (end < line.size() && line[end] >= '0' && line[end] <= '9') ++end;
    if (end == at + kKey.size()) continue;
    out.append(line.substr(from, at - from));
    from = end;
    at = end - 1;
  }
  out.append(line.substr(from));
  return out;
}

// The id a node line begins with. Quotes inside ids come escaped with a backslash, so an id
// runs to the first quote that is not escaped.
std::string_view NodeId(std::string_view line) {
  size_t b = line.find_first_not_of(' ');
  if (b == std::string_view::npos || line[b] != '"') return {};
  return detail::QuotedText(line, b);
}

// The tail and head ids of an edge line: its first two quoted texts.
void EdgeEnds(std::string_view line, std::string_view& tail, std::string_view& head) {
  size_t next = 0;
  tail = detail::QuotedText(line, 0, &next);
  head = detail::QuotedText(line, next);
}

// `\[label = ".*?"`: the text of the first label.
std::string_view EdgeLabelText(std::string_view line) {
  constexpr std::string_view kKey = "[label = \"";
  size_t at = line.find(kKey);
  if (at == std::string_view::npos) return {};
  size_t b = at + kKey.size();
  size_t e = line.find('"', b);
  if (e == std::string_view::npos) return {};
  return line.substr(b, e - b);
}

const tolvek::Regex* ServerNumberTest() {
  static std::unique_ptr<tolvek::Regex> regex =
      tolvek::CreateRegularExpression(R"re(SERVER:.*?"   \[label = "\[\d+\].*?")re");
  return regex.get();
}

bool HasServerNumber(std::string_view line) {
  const tolvek::Regex* regex = ServerNumberTest();
  return regex && !tolvek::ExtractRegularExpression1(*regex, line, 0, false).empty();
}

struct RenameGroup {
  GraphNode* fromThread = nullptr;
  GraphEdge* fromEdge = nullptr;
  GraphNode* oldFile = nullptr;
  GraphEdge* renameEdge = nullptr;
  GraphNode* newFile = nullptr;
  GraphEdge* toEdge = nullptr;
  GraphNode* toThread = nullptr;
};

class DotPass {
 public:
  explicit DotPass(GraphModel& model) : m_model(model), m_layout(model.layout) {}

  void ContextEdges(std::string_view text);
  void AttributesAndFrames(std::string_view text);

 private:
  void EventLine(std::string_view line, std::string_view normalized, int kind, int8_t level,
                 std::string_view rawTime, const std::string& timeText);
  GraphEdge* EdgeForLine(std::string_view line, const std::string& normalized,
                         const std::string& key);
  void EventFrame(GraphNode* tail, GraphNode* head, GraphEdge* edge, int kind, int8_t level,
                  std::string_view rawTime, const std::string& timeText);
  void CloseRenameGroup();
  void AppendThreadActor(TimelineFrame& frame, std::string& sentence, const GraphNode* thread);
  std::string Phrase(TimelineFrame& frame, const GraphNode* head, const GraphEdge* edge, int kind);
  void Finish(TimelineFrame& frame, std::string sentence, int8_t level, std::string_view rawTime,
              const std::string& timeText);

  GraphNode* ProcessOf(std::string_view id) {
    return m_layout.FindNode("PROCESS:" + std::string(Field(id, ':', 2)));
  }
  GraphEdge* HasThreadEdge(std::string_view threadId) const {
    auto it = m_hasThread.find(std::string(threadId));
    return it == m_hasThread.end() ? nullptr : it->second;
  }

  GraphModel& m_model;
  GraphLayout& m_layout;
  std::unordered_map<std::string, GraphEdge*> m_isBasedOn;
  std::unordered_map<std::string, GraphEdge*> m_hasThread;
  // Every normalised line met so far; an event line's entry names the edge it went with.
  std::unordered_map<std::string, GraphEdge*> m_seen;
  // How many event lines of their own (not repeats) each edge key has had.
  std::unordered_map<std::string, size_t> m_linesPerKey;
  std::string m_lastEventLine;
  std::string m_pendingTime;
  std::string m_pendingRawTime;
  int8_t m_pendingLevel = kFrameRepeatRun;
  RenameGroup m_group;
  DayCount m_days;
};

void DotPass::ContextEdges(std::string_view text) {
  detail::LineCursor lines(text);
  std::string_view raw;
  while (lines.Next(raw)) {
    std::string_view line = detail::TrimBlanks(raw);
    int kind = GetEdgeType(line);
    if (kind != EDGETYPE_HasThread && kind != EDGETYPE_IsBasedOn) continue;
    std::string_view tail, head;
    EdgeEnds(line, tail, head);
    GraphEdge* edge = m_layout.FindEdge(EdgeKey(tail, head, kind));
    if (!edge) continue;
    if (kind == EDGETYPE_IsBasedOn) {
      m_isBasedOn[std::string(tail)] = edge;
    } else {
      m_hasThread[std::string(head)] = edge;
    }
  }
}

void DotPass::AttributesAndFrames(std::string_view text) {
  detail::LineCursor lines(text);
  std::string_view raw;
  while (lines.Next(raw)) {
    std::string_view line = detail::TrimBlanks(raw);
    std::string_view cut = line;
    std::string_view rawTime;
    size_t comment = line.find(" // ");
    if (comment != std::string_view::npos) {
      rawTime = line.substr(comment + 4);
      rawTime = rawTime.substr(0, rawTime.find(" // "));
      cut = line.substr(0, comment);
    }
    std::string timeText = TimeText(rawTime);
    int8_t level = kFrameFirst;
    if (cut.substr(0, 3) == "// ") {
      level = kFrameRepeat;
      cut = detail::TrimBlanks(cut.substr(3));
    }
    std::string normalized = WithoutPenWidth(cut);
    if (!m_seen.try_emplace(normalized, nullptr).second) {
      level = normalized == m_lastEventLine ? kFrameRepeatRun : kFrameRepeat;
    }
    const bool edgeLine = Has(normalized, kArrow);
    if (m_model.Frames.empty() && normalized.find("PROCESS:") == 1 &&
        Has(NodeId(normalized), "-o") && !edgeLine) {
      if (GraphNode* node = m_layout.FindNode(NodeId(normalized))) {
        node->fontcolor = m_layout.texts.Intern(FontColor(normalized));
        node->dotLine = line;
      }
      continue;
    }
    if (normalized.find("SERVER:") == 1 && !edgeLine && !HasServerNumber(normalized)) {
      if (GraphNode* node = m_layout.FindNode(NodeId(normalized))) {
        node->fontcolor = m_layout.texts.Intern(FontColor(normalized));
        node->onlyInCapture = 1;
      }
      continue;
    }
    if (normalized.empty() || normalized.front() != '"') continue;
    // The line as read has the kind of its normalised form (the time comment, the repeat
    // mark and the pen width take no part in it), and the first pass has classified it.
    int kind = GetEdgeType(line);
    if (kind == EDGETYPE_IsBasedOn || kind == EDGETYPE_HasThread) continue;
    if (!edgeLine) {
      if (Has(normalized, "[label = ")) {
        if (GraphNode* node = m_layout.FindNode(NodeId(normalized))) {
          node->fontcolor = m_layout.texts.Intern(FontColor(normalized));
        }
      }
      continue;
    }
    EventLine(line, normalized, kind, level, rawTime, timeText);
  }
  if (!m_pendingTime.empty()) CloseRenameGroup();
}

// Edges of one key keep their own lines: the k-th event line of the key that is not a repeat
// goes with the k-th edge dot laid out under it. A repeat goes with the edge of the line it
// repeats, or, when that line was never met, with the key's last edge.
GraphEdge* DotPass::EdgeForLine(std::string_view line, const std::string& normalized,
                                const std::string& key) {
  auto group = m_layout.edgeIndex.find(key);
  if (group == m_layout.edgeIndex.end()) return nullptr;
  GraphEdge*& seen = m_seen[normalized];
  if (line.substr(0, 3) == "// ") return seen ? seen : group->second.Last();
  size_t k = m_linesPerKey[key]++;
  GraphEdge* edge = k < group->second.edges.size() ? group->second.edges[k] : nullptr;
  if (!seen) seen = edge;
  return edge;
}

void DotPass::EventLine(std::string_view line, std::string_view normalized, int kind, int8_t level,
                        std::string_view rawTime, const std::string& timeText) {
  std::string_view label = EdgeLabelText(normalized);
  std::string_view tailId, headId;
  EdgeEnds(normalized, tailId, headId);
  GraphNode* tail = m_layout.FindNode(tailId);
  GraphNode* head = m_layout.FindNode(headId);
  GraphEdge* edge = EdgeForLine(line, std::string(normalized), EdgeKey(tailId, headId, kind));
  // A line the layout does not have (the two files disagree) makes no frame.
  if (!tail || !head || !edge) return;
  if (line.substr(0, 3) != "// ") {
    edge->dotLine = line;
    int64_t pen = PenWidth(line);
    if (pen >= 0) edge->penWidth = static_cast<int8_t>(std::min<int64_t>(pen, 127));
  }
  if (!m_pendingTime.empty() && m_pendingTime != timeText) CloseRenameGroup();
  if (kind != EDGETYPE_RenameFrom && kind != EDGETYPE_RenameTo && kind != EDGETYPE_Rename) {
    EventFrame(tail, head, edge, kind, level, rawTime, timeText);
  } else {
    if (m_pendingTime.empty()) {
      m_pendingTime = timeText;
      m_pendingRawTime = std::string(rawTime);
      m_pendingLevel = level;
      m_group = {};
    }
    // The group's frame is as new as its newest line.
    m_pendingLevel = std::min(m_pendingLevel, level);
    if (label == "rename from") {
      m_group.fromThread = tail, m_group.oldFile = head, m_group.fromEdge = edge;
    } else if (label == "rename to") {
      m_group.toThread = tail, m_group.newFile = head, m_group.toEdge = edge;
    } else if (label == "rename") {
      m_group.oldFile = tail, m_group.newFile = head, m_group.renameEdge = edge;
    }
  }
  m_lastEventLine = std::string(normalized);
}

void DotPass::AppendThreadActor(TimelineFrame& frame, std::string& sentence,
                                const GraphNode* thread) {
  GraphNode* process = ProcessOf(thread->name);
  if (process) frame.nodeRefs.push_back(process);
  if (GraphEdge* has = HasThreadEdge(thread->name)) frame.edgeRefs.push_back(has);
  sentence +=
      "Thread " + std::string(Field(thread->name, ':', 3)) + " of process " + NameAndPid(process);
}

void DotPass::EventFrame(GraphNode* tail, GraphNode* head, GraphEdge* edge, int kind, int8_t level,
                         std::string_view rawTime, const std::string& timeText) {
  TimelineFrame frame;
  frame.edgeRefs.push_back(edge);
  frame.nodeRefs = {head, tail};
  std::string sentence;
  std::string_view actor = Field(tail->name, ':', 1);
  if (actor == "PROCESS") {
    sentence = "Process " + NameAndPid(tail);
  } else if (actor == "THREAD") {
    AppendThreadActor(frame, sentence, tail);
  }
  sentence += Phrase(frame, head, edge, kind);
  Finish(frame, std::move(sentence), level, rawTime, timeText);
}

std::string NetworkPhrase(const GraphNode* head, const GraphEdge* edge, bool receive) {
  const std::string e = ShownLabel(edge->label);
  std::string arrow = receive ? "<" : ">";
  std::string phrase;
  bool portSuffix = false;
  if (!Has(e, arrow)) {
    phrase = receive ? " receives a " + e + " response from " : " sends a " + e + " request to ";
  } else if (Has(e, "TCP") && Has(e, arrow + "80")) {
    phrase = receive ? " receives an HTTP response from " : " sends an HTTP request to ";
  } else if (Has(e, "TCP") && Has(e, arrow + "443")) {
    phrase = receive ? " receives an HTTPS response from " : " sends an HTTPS request to ";
  } else if (Has(e, "TCP") && Has(e, arrow + "21")) {
    phrase = receive ? " receives FTP traffic from " : " sends FTP traffic to ";
  } else if (Has(e, "TCP") && Has(e, arrow + "22")) {
    phrase = receive ? " receives SSH traffic from " : " sends SSH traffic to ";
  } else if (Has(e, "TCP")) {
    phrase = receive ? " receives TCP traffic from " : " sends TCP traffic to ";
    portSuffix = true;
  } else if (Has(e, "UDP")) {
    phrase = receive ? " receives UDP traffic from " : " sends UDP traffic to ";
    portSuffix = true;
  } else {
    return {};
  }
  const std::string server = Shown(head);
  int64_t c = LabelSeparators(server);
  if (c == 2 && server.substr(0, 1) == "[") {
    phrase += std::string(kQ) + std::string(LabelLine(server, 2)) + std::string(kQ) + " (" +
              std::string(LabelLine(server, 3)) + ")";
  } else if (c == 1 && server.substr(0, 1) == "[") {
    phrase += std::string(LabelLine(server, 2));
  }
  if (portSuffix) phrase += " port " + e.substr(e.find(arrow) + 1);
  return phrase;
}

std::string DotPass::Phrase(TimelineFrame& frame, const GraphNode* head, const GraphEdge* edge,
                            int kind) {
  const std::string q(kQ);
  const std::string h = Shown(head);
  const std::string_view id = head->name;
  const bool path = IsPathFile(id);
  const std::string t3(Field(id, ':', 3));
  const bool registryKey = Field(id, ':', 1) == "REGISTRYKEY";
  const bool autostartKey = Has(h, "\n");
  const std::string firstLine(LabelLine(h, 1));
  switch (kind) {
    case EDGETYPE_WriteFile:
      return path ? " writes data to file " + q + h + q : " writes data to a " + h + " file";
    case EDGETYPE_ReadFile:
      return path ? " reads data from file " + q + h + q : " reads data from a " + h + " file";
    case EDGETYPE_CreateFile:
      return path ? " creates file " + q + h + q : " creates a " + h + " file";
    case EDGETYPE_DeleteFile:
      return path ? " deletes file " + q + h + q : " deletes a " + h + " file";
    case EDGETYPE_LoadsImage:
      return path ? " loads file " + q + h + q + " as module" : std::string();
    case EDGETYPE_SetValue:
      if (id == "REGISTRY (AUTOSTART!)") return " sets an autostart registry key";
      if (id == "REGISTRY") return " sets a registry key";
      if (!registryKey) return {};
      return autostartKey ? " sets autostart registry key " + q + firstLine + q
                          : " sets registry key " + q + h + q;
    case EDGETYPE_GetValue:
      if (id == "REGISTRY (AUTOSTART!)") return " queries an autostart registry key";
      if (id == "REGISTRY") return " queries a registry key";
      if (!registryKey) return {};
      return autostartKey ? " queries autostart registry key " + q + firstLine + q
                          : " queries registry key " + q + h + q;
    case EDGETYPE_CreateProcess: {
      std::string created = "PROCESS:" + std::string(Field(id, ':', 2));
      auto based = m_isBasedOn.find(created);
      if (based != m_isBasedOn.end()) frame.edgeRefs.push_back(based->second);
      return " creates process " + NameAndPid(m_layout.FindNode(created));
    }
    case EDGETYPE_InjectThread: {
      GraphNode* process = ProcessOf(id);
      if (process) frame.nodeRefs.push_back(process);
      if (GraphEdge* has = HasThreadEdge(id)) frame.edgeRefs.push_back(has);
      return " injects thread " + t3 + " into process " + NameAndPid(process);
    }
    case EDGETYPE_CreateThread: {
      if (GraphNode* process = ProcessOf(id)) frame.nodeRefs.push_back(process);
      if (GraphEdge* has = HasThreadEdge(id)) frame.edgeRefs.push_back(has);
      return " creates thread " + t3;
    }
    case EDGETYPE_KillForeignProcess:
      return " kills foreign process " + NameAndPid(head);
    case EDGETYPE_KillOwnProcess:
      return " kills its own process " + t3;
    case EDGETYPE_Receive:
    case EDGETYPE_Send:
      return NetworkPhrase(head, edge, kind == EDGETYPE_Receive);
    default:
      return {};
  }
}

std::string RenamePhrase(const GraphNode* oldFile, const GraphNode* newFile, bool threadForm) {
  const std::string q(kQ);
  bool oldPath = oldFile && IsPathFile(oldFile->name);
  bool newPath = newFile && IsPathFile(newFile->name);
  const std::string o = Shown(oldFile), n = Shown(newFile);
  std::string target = newPath ? q + n + q : "a " + n + " file";
  if (threadForm) {
    return (oldPath ? " renames file " + q + o + q : " renames a " + o + " file") + " to " + target;
  }
  return (oldPath ? "File " + q + o + q : "A " + o + " file") + " gets renamed to " + target;
}

void DotPass::CloseRenameGroup() {
  const RenameGroup& g = m_group;
  const bool from = g.fromEdge, rename = g.renameEdge, to = g.toEdge;
  TimelineFrame frame;
  const GraphNode* thread = nullptr;
  std::string phrase;
  auto nodes = [&](std::initializer_list<GraphNode*> list) {
    for (GraphNode* n : list) {
      if (n) frame.nodeRefs.push_back(n);
    }
  };
  auto edges = [&](std::initializer_list<GraphEdge*> list) {
    for (GraphEdge* e : list) {
      if (e) frame.edgeRefs.push_back(e);
    }
  };
  if (rename && !from && !to) {
    nodes({g.oldFile, g.newFile});
    edges({g.renameEdge});
    phrase = RenamePhrase(g.oldFile, g.newFile, false);
  } else if (rename || (from && to)) {
    thread = from ? g.fromThread : g.toThread;
    nodes({g.oldFile, g.newFile, const_cast<GraphNode*>(thread)});
    if (from && rename && to) {
      edges({g.fromEdge, g.renameEdge, g.toEdge});
    } else if (rename) {
      edges({g.renameEdge, from ? g.fromEdge : g.toEdge});
    } else {
      edges({g.fromEdge, g.toEdge});
    }
    phrase = RenamePhrase(g.oldFile, g.newFile, true);
  } else if (to) {
    thread = g.toThread;
    nodes({g.newFile, g.toThread});
    edges({g.toEdge});
    bool newPath = g.newFile && IsPathFile(g.newFile->name);
    const std::string n = Shown(g.newFile);
    phrase = newPath ? " renames a file to \"" + n + "\"" : " renames a file to a " + n + " file";
  } else if (from) {
    thread = g.fromThread;
    nodes({g.oldFile, g.fromThread});
    edges({g.fromEdge});
    bool oldPath = g.oldFile && IsPathFile(g.oldFile->name);
    const std::string o = Shown(g.oldFile);
    phrase = oldPath ? " renames file \"" + o + "\"" : " renames a " + o + " file";
  }
  std::string sentence;
  if (thread) AppendThreadActor(frame, sentence, thread);
  sentence += phrase;
  std::string pendingTime = std::move(m_pendingTime);
  m_pendingTime.clear();
  Finish(frame, std::move(sentence), m_pendingLevel, m_pendingRawTime, pendingTime);
}

void DotPass::Finish(TimelineFrame& frame, std::string sentence, int8_t level,
                     std::string_view rawTime, const std::string& timeText) {
  frame.message = std::move(sentence);
  frame.level = level;
  frame.timestamp = timeText;
  double value = TimeValue(rawTime);
  if (m_model.Frames.empty()) m_model.FirstEventTime = value;
  if (!rawTime.empty()) value = m_days.Next(value);
  frame.relTime = value - m_model.FirstEventTime;
  m_model.Frames.push_back(std::move(frame));
}

}  // namespace

void ReadDotAttributes(GraphModel& model, std::string dotText) {
  TOLVEK_TRACE("ReadDotAttributes");
  std::string_view text = model.layout.texts.Keep(std::move(dotText));
  DotPass pass(model);
  pass.ContextEdges(text);
  pass.AttributesAndFrames(text);
}

}  // namespace graphview
