#include "graphview/edge_kinds.h"

#include <memory>
#include <unordered_map>
#include <vector>

#include "text_lines.h"
#include "tolvek/callstack.h"
#include "tolvek/regex.h"

namespace graphview {
namespace {

constexpr const char* kDotEdgePattern =
    R"re(^/*\s*"(.*?)"\s+->\s+"(.*?)"\s+\[\s*label\s*=\s*"(.*?)",.*?\sstyle\s*=\s*(.*?),.*?\s(?:fontcolor\s*=\s*(.*?),.*?\s){0,1}color\s*=\s*(.*?)(?:\]|,.*?\]);(?: //\s*(.*?)){0,1}$)re";
constexpr const char* kPlainEdgePattern =
    R"re(^\s*edge\s+(".*?"|.*?)\s+(".*?"|.*?)[ \.0-9]+(".*?"|.*?){0,1}[ \.0-9]+?\s([a-z]+)\s([a-z]+)$)re";

struct EdgeKindState {
  std::unique_ptr<tolvek::Regex> dotEdge;
  std::unique_ptr<tolvek::Regex> plainEdge;
  std::unordered_map<std::string, int> cache;
};

EdgeKindState& State() {
  static EdgeKindState state;
  if (!state.dotEdge) {
    state.dotEdge = tolvek::CreateRegularExpression(kDotEdgePattern);
    state.plainEdge = tolvek::CreateRegularExpression(kPlainEdgePattern);
  }
  return state;
}

std::string WithoutQuotes(std::string text) {
  std::erase(text, '"');
  return text;
}

bool StartsWith(std::string_view text, std::string_view prefix) {
  return text.substr(0, prefix.size()) == prefix;
}

// The process part: the second ":"-field of a process or thread id.
std::string_view ProcessPart(std::string_view id) {
  return detail::SplitField(id, ':', 2);
}

struct KindRule {
  int kind;
  std::string_view tail;
  std::string_view head;
  std::string_view style;
  std::string_view color;
  int process;  // 0: no test, 1: same process, -1: different processes
};

constexpr KindRule kRules[] = {
    {EDGETYPE_HasThread, "PROCESS:", "THREAD:", "solid", "", 0},  // colour tested apart
    {EDGETYPE_CreateProcess, "THREAD:", "PROCESS:", "bold", "magenta", 0},
    {EDGETYPE_IsBasedOn, "PROCESS:", "FILE:", "bold", "black", 0},
    {EDGETYPE_KillOwnProcess, "THREAD:", "PROCESS:", "bold", "orange", 1},
    {EDGETYPE_KillForeignProcess, "THREAD:", "PROCESS:", "bold", "orange", -1},
    {EDGETYPE_CreateThread, "THREAD:", "THREAD:", "bold", "magenta", 1},
    {EDGETYPE_InjectThread, "THREAD:", "THREAD:", "bold", "magenta", -1},
    {EDGETYPE_CreateFile, "THREAD:", "FILE:", "bold", "magenta", 0},
    {EDGETYPE_DeleteFile, "THREAD:", "FILE:", "bold", "orange", 0},
    {EDGETYPE_RenameFrom, "THREAD:", "FILE:", "dashed", "orange", 0},
    {EDGETYPE_RenameTo, "THREAD:", "FILE:", "dashed", "magenta", 0},
    {EDGETYPE_Rename, "FILE:", "FILE:", "bold", "magenta", 0},
    {EDGETYPE_LoadsImage, "THREAD:", "FILE:", "bold", "blueviolet", 0},
    {EDGETYPE_ReadFile, "THREAD:", "FILE:", "bold", "green", 0},
    {EDGETYPE_WriteFile, "THREAD:", "FILE:", "bold", "red", 0},
    {EDGETYPE_GetValue, "THREAD:", "REGISTRY", "bold", "green", 0},
    {EDGETYPE_SetValue, "THREAD:", "REGISTRY", "bold", "red", 0},
    {EDGETYPE_SetAsValue, "REGISTRY", "FILE:", "bold", "yellow", 0},
    {EDGETYPE_Send, "PROCESS:", "SERVER:", "bold", "red", 0},
    {EDGETYPE_Receive, "PROCESS:", "SERVER:", "bold", "green", 0},
};

int Classify(const EdgeLineParts& p) {
  for (const KindRule& rule : kRules) {
    if (!StartsWith(p.tail, rule.tail) || !StartsWith(p.head, rule.head)) continue;
    if (p.style != rule.style) continue;
    if (rule.kind == EDGETYPE_HasThread) {
      if (p.color.empty() || std::string_view("black,gray").find(p.color) == std::string::npos) {
        continue;
      }
    } else if (p.color != rule.color) {
      continue;
    }
    if (rule.process != 0 && (ProcessPart(p.tail) == ProcessPart(p.head)) != (rule.process > 0)) {
      continue;
    }
    return rule.kind;
  }
  return EDGETYPE_Unknown;
}

// Both patterns need their anchor words: the DOT form an arrow, the plain form the record
// word "edge" after leading white space. Lines without either (node, header and structure
// lines) are no edge lines, told without running the patterns.
bool MayBeEdgeLine(std::string_view line) {
  if (line.find("->") != std::string_view::npos) return true;
  size_t start = line.find_first_not_of(" \t\n\v\f\r");
  return start != std::string_view::npos && line.substr(start, 4) == "edge";
}

}  // namespace

int ClassifyEdgeLine(const EdgeLineParts& parts) {
  return Classify(parts);
}

bool ParseEdgeLine(std::string_view line, EdgeLineParts& parts) {
  if (!MayBeEdgeLine(line)) return false;
  EdgeKindState& state = State();
  std::vector<tolvek::RegExResult> results;
  if (state.dotEdge &&
      tolvek::ExtractRegularExpression2RegExResultList(*state.dotEdge, line, results, true, true)) {
    const auto& g = results.front().group;
    parts = {g[1], g[2], g[3], g[4], g[6]};
    return true;
  }
  if (state.plainEdge && tolvek::ExtractRegularExpression2RegExResultList(*state.plainEdge, line,
                                                                          results, true, true)) {
    const auto& g = results.front().group;
    parts = {WithoutQuotes(g[1]), WithoutQuotes(g[2]), WithoutQuotes(g[3]), g[4], g[5]};
    return true;
  }
  return false;
}

namespace {

// The line as the cache knows it. Event lines differ only in their closing time comment
// ("]; // 9:00:06.75 AM"); a comment without '"', ']' or ';' can take no part in a match
// but the optional comment group, so lines that differ only there have one kind.
std::string_view CacheKey(std::string_view line) {
  size_t comment = line.rfind("]; //");
  if (comment == std::string_view::npos) return line;
  std::string_view rest = line.substr(comment + 5);
  if (rest.find_first_of("\"];") != std::string_view::npos) return line;
  return line.substr(0, comment + 2);
}

}  // namespace

int GetEdgeType(std::string_view line) {
  TOLVEK_TRACE("GetEdgeType");
  EdgeKindState& state = State();
  std::string key(CacheKey(line));
  auto it = state.cache.find(key);
  if (it != state.cache.end()) return it->second;
  EdgeLineParts parts;
  int kind = ParseEdgeLine(line, parts) ? Classify(parts) : EDGETYPE_NoEdge;
  state.cache.emplace(std::move(key), kind);
  return kind;
}

void ClearEdgeTypeCache() {
  TOLVEK_TRACE("ClearEdgeTypeCache");
  State().cache.clear();
}

}  // namespace graphview
