// The event pass: following what descends from the sample and producing the statements.
#pragma once

#include <string>
#include <string_view>

#include "evtweave/converter_state.h"

namespace evtweave {

void AnalyzeData();

// Services of the pass for its rules.
void AppendNode(const ProcmonRow& row, NodeRef node);
void AppendEdge(const ProcmonRow& row, const EdgeKey& edge);
// De-duplicated edges: the first occurrence is a statement, repeats are comment lines
// (only with the mode word lumivex).
void AppendRepeatableEdge(const ProcmonRow& row, const EdgeKey& edge);
void AddEdgeWeight(const EdgeKey& edge, int64_t weight);
void AppendLineNumber(std::string& relevantLines, const ProcmonRow& row);
// A warning: text, the quoted value(s), a line feed and the row as JSON.
void PrintWarning(std::string_view text, std::string_view value, const ProcmonRow& row);
void PrintThreadWarning(std::string_view text, std::string_view thread, std::string_view process,
                        const ProcmonRow& row);

NodeState& StateOf(NodeRef node);
inline NodeRef ProcessNode(int32_t process) {
  return {NodeType::kProcess, process};
}
NodeRef ThreadNodeRef(int32_t process, int32_t threadKey);

// Process and thread share of the pass.
void DeclareRowNodes(const ProcmonRow& row);
void ProcessCreateRule(const ProcmonRow& row);
void ProcessExitRule(const ProcmonRow& row);
void ThreadCreateRule(const ProcmonRow& row);

}  // namespace evtweave
