// The converter's records and the state each phase hands to the next. One run fills them
// once; ResetConverterState empties them (tests convert many logs in one process).
#pragma once

#include <cstddef>
#include <cstdint>
#include <iterator>
#include <memory>
#include <string>
#include <string_view>
#include <type_traits>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

#include "evtweave/text_store.h"
#include "tolvek/regex.h"

namespace evtweave {

// Mode words of the third argument.
struct Options {
  bool nopaths = false;
  bool compressed = false;
  bool reduced = false;
  bool dumb = false;
  bool rof = false;
  bool lumivex = false;
  bool forceascii = false;
  bool unittest = false;
};

// The operations the phases select on; everything else is kOther. The operation text stays
// in the row for the warnings and the substring tests.
enum class Op : uint8_t {
  kOther,
  kProcessCreate,
  kProcessStart,
  kProcessExit,
  kThreadCreate,
  kThreadExit,
  kCreateFile,
  kSetDispositionInformationFile,
  kSetRenameInformationFile,
  kLoadImage,
  kReadFile,
  kWriteFile,
  kRegQueryValue,
  kRegSetValue,
  kNetwork,  // begins with "TCP " or "UDP "
};

constexpr int32_t kNoIndex = -1;

// One CSV record. Texts are views into the decoded log or the run's arena; the process
// and thread columns hold indexes once the entity pass has given them keys.
struct ProcmonRow {
  int64_t OriginalLineNumber = 0;
  std::string_view TimeOfDay;
  std::string_view FullPath;
  std::string_view Detail;
  uint32_t ProcessName = 0;         // interned
  uint32_t Operation = 0;           // interned
  uint32_t Result = 0;              // interned
  uint32_t m_loggedPid = 0;         // interned PID column as logged
  uint32_t m_loggedTid = 0;         // interned TID column as logged
  int32_t PID = kNoIndex;           // process record, after the entity pass
  int32_t TID = kNoIndex;           // thread key, after the entity pass
  int32_t m_threadNode = kNoIndex;  // node of (PID, TID), after the entity pass
  Op m_op = Op::kOther;
  uint8_t m_pathFacts = 0;  // PathFact bits of FullPath
};

// What the later passes ask of every row's path, noted while reading has the text at hand:
// a pass over millions of rows would otherwise wait on memory for each path.
enum PathFact : uint8_t {
  kShortNamePath = 1,   // a drive-letter path with a short-name (~N) component
  kStopMarkerPath = 2,  // holds kStopMarker
};
// A path holding this marks the end of what the analysis looks at.
constexpr std::string_view kStopMarker = "KALVO_STOPS";
uint8_t PathFacts(std::string_view path);

static_assert(std::is_trivially_copyable_v<ProcmonRow>);

// The log's rows, in blocks: reading fills one block per stretch of the log, several at
// once on their own threads, and the blocks follow each other in log order. A block's room
// is address space until rows land on it; one that fills up grows by moving whole pages.
class RowTable {
 public:
  class Block {
   public:
    Block() = default;
    Block(Block&& other) noexcept { *this = std::move(other); }
    Block& operator=(Block&& other) noexcept;
    ~Block() { Release(); }

    // Room for about rows rows, the block emptied; throws std::bad_alloc when it can't be had.
    void Reserve(size_t rows);
    void Add(const ProcmonRow& row) {
      if (m_size == m_capacity) Grow();
      m_rows[m_size++] = row;
    }
    void Clear() { m_size = 0; }
    ProcmonRow* data() { return m_rows; }
    const ProcmonRow* data() const { return m_rows; }
    size_t size() const { return m_size; }

   private:
    void Grow();
    // A fresh or moved mapping of bytes as the block's room (MAP_FAILED: std::bad_alloc).
    void TakeRoom(void* room, size_t bytes);
    void Release();

    ProcmonRow* m_rows = nullptr;
    size_t m_size = 0;
    size_t m_capacity = 0;
    size_t m_mappedBytes = 0;
  };

  // Walks the rows block after block.
  template <class Row, class Blocks>
  class Iterator {
   public:
    using iterator_category = std::forward_iterator_tag;
    using value_type = ProcmonRow;
    using difference_type = std::ptrdiff_t;
    using pointer = Row*;
    using reference = Row&;

    Iterator() = default;
    Iterator(Blocks* blocks, size_t block) : m_blocks(blocks), m_block(block) { Settle(); }
    Row& operator*() const { return *m_at; }
    Row* operator->() const { return m_at; }
    Iterator& operator++() {
      if (++m_at == m_end) {
        ++m_block;
        Settle();
      }
      return *this;
    }
    Iterator operator++(int) {
      Iterator before = *this;
      ++*this;
      return before;
    }
    bool operator==(const Iterator& other) const { return m_at == other.m_at; }

   private:
    void Settle() {
      for (; m_blocks && m_block < m_blocks->size(); ++m_block) {
        auto& block = (*m_blocks)[m_block];
        if (block.size() > 0) {
          m_at = block.data();
          m_end = m_at + block.size();
          return;
        }
      }
      m_at = m_end = nullptr;
    }

    Blocks* m_blocks = nullptr;
    size_t m_block = 0;
    Row* m_at = nullptr;
    Row* m_end = nullptr;
  };
  using iterator = Iterator<ProcmonRow, std::vector<Block>>;
  using const_iterator = Iterator<const ProcmonRow, const std::vector<Block>>;

  // count empty blocks in place of the table's rows.
  void SetBlocks(size_t count);
  Block& block(size_t i) { return m_blocks[i]; }
  // Once the blocks are filled: counts the rows and indexes the blocks for operator[].
  void Seal();

  size_t size() const { return m_size; }
  bool empty() const { return m_size == 0; }
  ProcmonRow& operator[](size_t i);
  const ProcmonRow& operator[](size_t i) const;
  iterator begin() { return iterator(&m_blocks, 0); }
  iterator end() { return iterator(); }
  const_iterator begin() const { return const_iterator(&m_blocks, 0); }
  const_iterator end() const { return const_iterator(); }

 private:
  std::vector<Block> m_blocks;
  std::vector<size_t> m_firsts;  // index of each block's first row
  size_t m_size = 0;
};

// Follow level, declaration and activity of one graph node.
struct NodeState {
  uint8_t m_follow = 0;
  uint8_t m_declared = 0;
  uint8_t m_active = 0;
};

// A thread node: one per (process, thread key) pair that any phase names. m_inThreads
// tells whether the process's thread map holds it (the record of that thread).
struct ThreadInfo : NodeState {
  int32_t Key = kNoIndex;  // thread key
  int32_t m_process = kNoIndex;
  std::string Label;
  int32_t ParentPID = kNoIndex;
  int32_t ParentTID = kNoIndex;  // thread key
  bool IsMain = false;
  std::string_view StartTime;
  std::string_view StopTime;
  std::string RelevantLines;
  bool m_inThreads = false;
};

struct ProcessInfo : NodeState {
  std::string Key;
  std::string_view m_loggedPid;
  bool m_createdInLog = false;  // "-n" key
  uint64_t m_keyNumber = 0;
  std::string_view Name;
  int32_t ParentPID = kNoIndex;
  int32_t ParentTID = kNoIndex;  // thread key
  std::string_view FullPath;
  std::string_view CommandLine;
  std::string_view StartTime;
  std::string_view StopTime;
  int32_t StoppedByPID = kNoIndex;
  int32_t StoppedByTID = kNoIndex;  // thread key
  std::string RelevantLines;
  bool IsSampleRoot = false;
  bool AwaitsMainThread = false;
  std::vector<int32_t> Threads;  // thread nodes in the thread map, in creation order
};

struct ObjectTimes {
  std::string_view FirstCreateTime, LastCreateTime;
  std::string_view FirstDeleteTime, LastDeleteTime;
  std::string_view FirstReadTime, LastReadTime;
  std::string_view FirstWriteTime, LastWriteTime;
};

struct FileInfo : NodeState, ObjectTimes {
  std::string m_key;  // lower-cased path
  std::string_view Path;
  bool RenamedFrom = false;
  bool RenamedTo = false;
  std::string RelevantLines;
};

struct RegistryKeyInfo : NodeState, ObjectTimes {
  std::string m_key;
  std::string_view Path;
  std::string RelevantLines;
};

struct ServerInfo : NodeState {
  std::string m_key;
  std::string Address;
  std::string Label;  // lines joined by a real line feed; the DOT writer escapes it
  std::string Domain;
  std::string IPAddress;
  uint8_t OnlyInCapture = 0;
  std::string RelevantLines;
};

struct ConnectionInfo {
  std::string m_key;
  int32_t Server = kNoIndex;
  std::string_view LocalPort;
  std::string_view RemotePort;
};

// A record map with insertion order, which is the order every "map order" walk uses.
template <class Info>
struct RecordMap {
  std::vector<Info> m_items;
  TextMap<int32_t> m_index;

  int32_t Find(std::string_view key) const {
    auto it = m_index.find(key);
    return it == m_index.end() ? kNoIndex : it->second;
  }
  // The record of key, created with only m_key set when missing.
  Info& Get(std::string_view key) {
    auto it = m_index.find(key);
    if (it != m_index.end()) return m_items[it->second];
    m_index.emplace(std::string(key), static_cast<int32_t>(m_items.size()));
    m_items.emplace_back();
    m_items.back().m_key = std::string(key);
    return m_items.back();
  }
  size_t size() const { return m_items.size(); }
  void clear() {
    m_items.clear();
    m_index.clear();
  }
};

// The decoded log and its records.
struct CsvState {
  LogText m_text;
  TextArena m_arena;
  TextInterner m_strings;
  RowTable ProcmonRows;
  TextMap<int> ColumnIndex;
  std::vector<std::string_view> LongPaths;  // lower-cased drive-letter paths, each once
  std::unordered_set<std::string_view> m_longPathSet;
  uint32_t m_success = 0;  // interned "SUCCESS"
};

// The log's long paths as a tree of their components; each node knows the first long path
// (in log order) that passes through it.
struct LongPathTree {
  struct Node {
    std::string_view m_name;
    uint32_t m_parent = 0;
    uint32_t m_first = 0;
    std::vector<uint32_t> m_children;
  };
  struct ChildKey {
    uint32_t m_parent;
    std::string_view m_name;
    bool operator==(const ChildKey&) const = default;
  };
  struct ChildKeyHash {
    size_t operator()(const ChildKey& key) const;
  };

  void Build(const std::vector<std::string_view>& longPaths);
  // The path of node, its own component cut to lastLength bytes.
  std::string Text(uint32_t node, size_t lastLength) const;

  std::vector<Node> m_nodes;  // 0 is the root, above the drives
  std::unordered_map<ChildKey, uint32_t, ChildKeyHash> m_children;
  bool m_built = false;
};

struct EntityState {
  std::vector<ProcessInfo> Processes;
  TextMap<int32_t> m_processByKey;
  std::unordered_map<uint32_t, int32_t> PidKey;  // logged id -> process
  std::unordered_map<uint32_t, int32_t> TidKey;  // logged id -> thread key
  std::vector<std::string> m_threadKeys;
  TextMap<int32_t> m_threadKeyByText;
  std::vector<ThreadInfo> m_threadNodes;
  std::unordered_map<uint64_t, int32_t> m_threadNodeIndex;  // (process, key) -> node
  // Thread key -> the process whose thread map held it first. It answers the owner searches
  // without walking every process, and a thread that a later row merely names in another
  // process (a kill reported by a foreign thread) stays with the process that created it.
  std::unordered_map<int32_t, int32_t> m_threadOwner;
  RecordMap<FileInfo> Files;
  RecordMap<RegistryKeyInfo> RegistryKeys;
  RecordMap<ServerInfo> Servers;
  RecordMap<ConnectionInfo> Connections;
  uint64_t m_oldProcesses = 0, m_newProcesses = 0, m_oldThreads = 0, m_newThreads = 0;
  // Short-name resolution: every distinct short path is resolved once.
  TextMap<std::string> ShortPathCache;
  LongPathTree m_longPathTree;  // built on the first short path
};

struct LauncherState {
  int64_t MarkerLine = 0;
  std::string SampleName;
  int32_t LaunchedPid = kNoIndex;
};

// kFileCategory: the shared node of a content category in compressed mode; kLooseFile: a
// file id that no file record holds (a path named only as a registry value).
enum class NodeType : uint8_t {
  kProcess,
  kThread,
  kFile,
  kRegistryKey,
  kRegistry,
  kServer,
  kFileCategory,
  kLooseFile,
};

struct NodeRef {
  NodeType m_type = NodeType::kProcess;
  int32_t m_index = kNoIndex;
  bool operator==(const NodeRef&) const = default;
};

enum class EdgeType : uint8_t {
  kHasThread = 1,
  kCreateProcess,
  kIsBasedOn,
  kKillOwnProcess,
  kKillForeignProcess,
  kCreateThread,
  kInjectThread,
  kCreateFile,
  kDeleteFile,
  kRenameFrom,
  kRenameTo,
  kRename,
  kLoadsImage,
  kReadFile,
  kWriteFile,
  kGetValue,
  kSetValue,
  kSetAsValue,
  kSend,
  kReceive,
};

// An edge statement in structured form: equal keys are equal statements.
struct EdgeKey {
  EdgeType m_type = EdgeType::kHasThread;
  NodeRef m_tail;
  NodeRef m_head;
  uint32_t m_label = 0;  // interned label of the network edges; 0 = the kind's own label
  bool operator==(const EdgeKey&) const = default;
};
struct EdgeKeyHash {
  size_t operator()(const EdgeKey& e) const;
};

enum DotLineKind : uint8_t { kDotNode = 1, kDotEdge = 2, kDotCaptureOnlyNode = 3 };

struct DotLine {
  std::string_view Time;
  uint8_t Kind = kDotNode;
  bool m_repeat = false;  // written as a "// " comment line
  NodeRef m_node;         // node statements
  EdgeKey m_edge;         // edge statements
};

// A content-category node takes its label and look from the file that declared it.
struct CategoryNode : NodeState {
  std::string m_name;
  std::string m_label;
  bool m_deleted = false;
};

struct LooseFileNode : NodeState {
  std::string m_id;    // lower-cased path
  std::string m_path;  // as the log first gave it
};

// A tail of a file record's key: the text from m_offset to its end.
struct FileTail {
  uint64_t m_hash = 0;
  int32_t m_file = kNoIndex;
  uint32_t m_offset = 0;
};

struct GraphState {
  std::vector<DotLine> DotLines;
  std::vector<CategoryNode> m_categories;
  std::vector<LooseFileNode> m_looseFiles;
  TextMap<int32_t> m_looseFileIndex;
  NodeState m_registry;  // the one registry node of compressed mode
  uint64_t m_serverNumber = 0;
  std::string_view RenameTarget;
  std::vector<FileTail> m_fileTails;  // bare file names of the file records, by hash
  bool m_fileTailsBuilt = false;
  std::vector<DotLine> CaptureOnlyLines;
  std::unordered_map<EdgeKey, int64_t, EdgeKeyHash> EdgeWeight;
  std::unordered_set<EdgeKey, EdgeKeyHash> EmittedEdges;
  std::unordered_set<EdgeKey, EdgeKeyHash> EdgeCount1;
  bool FollowingStarted = false;
  bool RowRelevant = false;
  bool RowTouchesFile = false;
  bool RowTouchesRegistryKey = false;
  bool RowTouchesServer = false;
  int64_t m_stopLine = 0;  // line of the stop marker, 0 when none ended the pass
};

enum IgnoreKind : uint8_t {
  kIgnoreExact = 0,
  kIgnoreStartsWith = 1,
  kIgnoreEndsWith = 2,
  kIgnoreContains = 3,
  kIgnoreRegex = 4,
};

struct IgnoreEntry {
  uint8_t Kind = kIgnoreExact;
  std::string Text;
  std::shared_ptr<tolvek::Regex> Regex;  // null when the expression did not compile
  std::string Access;
  std::string m_rule;            // the expression's pattern as written, for the warning
  bool m_limitReported = false;  // the expression hit its match limit once already
};

// One ignore list: exact patterns by text, the other kinds in file order, and the answers
// already given (the same names are asked about again and again in a long log).
struct IgnoreList {
  TextMap<IgnoreEntry> ExactMap;
  std::vector<IgnoreEntry> PatternList;
  TextMap<bool> m_answersRead;
  TextMap<bool> m_answersWrite;
  bool Empty() const { return ExactMap.empty() && PatternList.empty(); }
};

struct IgnoreState {
  IgnoreList Files;
  IgnoreList RegistryKeys;
  IgnoreList Servers;
};

struct ConverterState {
  IgnoreState ignores;
  Options options;
  std::string CsvFile, DotFile, ModeString, CaptureFile;
  CsvState csv;
  EntityState entities;
  LauncherState launcher;
  GraphState graph;
  bool m_failed = false;  // an "Error: " line was printed
};

// The run's state.
ConverterState& State();
void ResetConverterState();

// Shorthands for the interned texts of a row.
inline std::string_view Text(uint32_t id) {
  return State().csv.m_strings.Text(id);
}
inline bool IsSuccess(const ProcmonRow& row) {
  return row.Result == State().csv.m_success;
}

}  // namespace evtweave
