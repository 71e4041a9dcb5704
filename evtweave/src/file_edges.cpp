// Creating, deleting, renaming, loading, reading and writing files.
#include "evtweave/entities.h"
#include "evtweave/event_pass.h"
#include "evtweave/ignore_lists.h"
#include "evtweave/object_edges.h"
#include "evtweave/path_names.h"

namespace evtweave {
namespace {

int32_t CategoryIndex(const std::string& name) {
  GraphState& graph = State().graph;
  for (size_t i = 0; i < graph.m_categories.size(); ++i) {
    if (graph.m_categories[i].m_name == name) return static_cast<int32_t>(i);
  }
  graph.m_categories.emplace_back();
  graph.m_categories.back().m_name = name;
  return static_cast<int32_t>(graph.m_categories.size() - 1);
}

void MarkActors(const ProcmonRow& row) {
  EntityState& e = State().entities;
  e.Processes[row.PID].m_active = 1;
  e.m_threadNodes[row.m_threadNode].m_active = 1;
  State().graph.RowTouchesFile = true;
}

NodeRef ThreadOf(const ProcmonRow& row) {
  return {NodeType::kThread, row.m_threadNode};
}

// The head of a file edge, or nothing when reduced mode leaves categorised files out.
bool FileHead(std::string_view lowerPath, NodeRef& head) {
  const Options& o = State().options;
  if (!o.compressed) {
    head = FileNodeFor(lowerPath);
    return true;
  }
  if (o.reduced && HasContentCategory(lowerPath)) return false;
  head = CompressedFileNodeFor(lowerPath);
  return true;
}

void EmitFileEdge(const ProcmonRow& row, EdgeType type, NodeRef tail, std::string_view lowerPath,
                  int64_t weight) {
  NodeRef head;
  if (!FileHead(lowerPath, head)) return;
  EdgeKey edge{type, tail, head, 0};
  AppendRepeatableEdge(row, edge);
  if (weight) AddEdgeWeight(edge, weight);
}

const FileInfo* KnownFile(std::string_view lowerPath) {
  EntityState& e = State().entities;
  int32_t index = e.Files.Find(lowerPath);
  return index == kNoIndex ? nullptr : &e.Files.m_items[index];
}

void RenameRule(const ProcmonRow& row) {
  IgnoreList& ignores = State().ignores.Files;
  size_t at = row.Detail.find("FileName: ");
  std::string_view target =
      at == std::string_view::npos ? Mid(row.Detail, 10) : row.Detail.substr(at + 10);
  State().graph.RenameTarget = target;
  if (IsIgnored(row.FullPath, 'w', ignores) || IsIgnored(target, 'w', ignores)) return;
  MarkActors(row);
  std::string source = LowerCase(row.FullPath);
  std::string lowerTarget = LowerCase(target);
  EmitFileEdge(row, EdgeType::kRenameFrom, ThreadOf(row), source, 0);
  EmitFileEdge(row, EdgeType::kRenameTo, ThreadOf(row), lowerTarget, 0);
  // The file-to-file edge is left out together with its target in reduced mode.
  NodeRef from;
  NodeRef to;
  if (!FileHead(lowerTarget, to)) return;
  const Options& o = State().options;
  from = o.compressed ? CompressedFileNodeFor(source) : FileNodeFor(source);
  AppendRepeatableEdge(row, {EdgeType::kRename, from, to, 0});
}

}  // namespace

NodeRef FileNodeFor(std::string_view lowerPath, std::string_view path) {
  EntityState& e = State().entities;
  int32_t index = e.Files.Find(lowerPath);
  if (index != kNoIndex) return {NodeType::kFile, index};
  GraphState& graph = State().graph;
  auto [it, added] = graph.m_looseFileIndex.try_emplace(
      std::string(lowerPath), static_cast<int32_t>(graph.m_looseFiles.size()));
  if (added) {
    graph.m_looseFiles.emplace_back();
    graph.m_looseFiles.back().m_id = std::string(lowerPath);
    graph.m_looseFiles.back().m_path = std::string(path.empty() ? lowerPath : path);
  }
  return {NodeType::kLooseFile, it->second};
}

NodeRef CompressedFileNodeFor(std::string_view lowerPath, std::string_view path) {
  std::string category = GetContentCategory(lowerPath);
  if (category == lowerPath) return FileNodeFor(lowerPath, path);
  return {NodeType::kFileCategory, CategoryIndex(category)};
}

void FileRules(const ProcmonRow& row) {
  EntityState& e = State().entities;
  IgnoreList& ignores = State().ignores.Files;
  std::string lower = LowerCase(row.FullPath);
  switch (row.m_op) {
    case Op::kCreateFile:
      if (IsIgnored(row.FullPath, 'w', ignores)) return;
      if (!Contains(row.Detail, "Non-Directory File") ||
          !Contains(row.Detail, ", OpenResult: Created")) {
        return;
      }
      MarkActors(row);
      EmitFileEdge(row, EdgeType::kCreateFile, ThreadOf(row), lower, 0);
      return;
    case Op::kSetDispositionInformationFile: {
      if (IsIgnored(row.FullPath, 'w', ignores)) return;
      const FileInfo* file = KnownFile(lower);
      // Only files created in the log are drawn as deleted.
      if (row.Detail != "Delete: True" || !file || file->FirstCreateTime.empty()) return;
      MarkActors(row);
      EmitFileEdge(row, EdgeType::kDeleteFile, ThreadOf(row), lower, 0);
      return;
    }
    case Op::kSetRenameInformationFile:
      RenameRule(row);
      return;
    case Op::kLoadImage: {
      int32_t index = e.Files.Find(lower);
      if (index == kNoIndex || IsIgnored(row.FullPath, 'r', ignores)) return;
      NodeRef image{NodeType::kFile, index};
      // A process loading the image it was started from is not news.
      if (State().graph.EdgeCount1.contains({EdgeType::kIsBasedOn, ProcessNode(row.PID), image, 0}))
        return;
      ProcessInfo& process = e.Processes[row.PID];
      ThreadInfo& thread = e.m_threadNodes[row.m_threadNode];
      process.m_active = process.m_follow = 1;
      thread.m_active = thread.m_follow = 1;
      State().graph.RowTouchesFile = true;
      EdgeKey edge{EdgeType::kLoadsImage, ThreadOf(row), image, 0};
      AppendRepeatableEdge(row, edge);
      AddEdgeWeight(edge, 1);
      return;
    }
    case Op::kReadFile: {
      const FileInfo* file = KnownFile(lower);
      if (!file || IsIgnored(row.FullPath, 'r', ignores)) return;
      MarkActors(row);
      // Reading a dropped file that the graph shows makes the reader followed.
      if (!file->RelevantLines.empty() &&
          (!file->FirstCreateTime.empty() || !file->FirstWriteTime.empty())) {
        e.Processes[row.PID].m_follow = 1;
        e.m_threadNodes[row.m_threadNode].m_follow = 1;
      }
      EmitFileEdge(row, EdgeType::kReadFile, ThreadOf(row), lower, 1);
      return;
    }
    case Op::kWriteFile:
      if (IsIgnored(row.FullPath, 'w', ignores)) return;
      MarkActors(row);
      EmitFileEdge(row, EdgeType::kWriteFile, ThreadOf(row), lower, 1);
      return;
    default:
      return;
  }
}

}  // namespace evtweave
