// Reading and writing registry values, values that name files, and autostart locations.
#include <algorithm>
#include <array>

#include "evtweave/event_pass.h"
#include "evtweave/ignore_lists.h"
#include "evtweave/object_edges.h"
#include "evtweave/path_names.h"

namespace evtweave {
namespace {

constexpr std::array<std::string_view, 41> kAutostartLocations = {
    "HKCU\\Software\\Classes\\*\\ShellEx\\ContextMenuHandlers",
    "HKCU\\Software\\Microsoft\\Internet Explorer\\UrlSearchHooks",
    "HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Run",
    "HKLM\\SOFTWARE\\Classes\\Protocols\\Filter",
    "HKLM\\SOFTWARE\\Classes\\Protocols\\Handler",
    "HKLM\\SOFTWARE\\Microsoft\\Active Setup\\Installed Components",
    "HKLM\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon\\Notify",
    "HKLM\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon\\Shell",
    "HKLM\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon\\Userinit",
    "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Authentication\\Credential Provider "
    "Filters",
    "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Authentication\\Credential Providers",
    "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Authentication\\PLAP Providers",
    "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run",
    "HKLM\\SYSTEM\\CurrentControlSet\\Control\\Lsa\\Authentication Packages",
    "HKLM\\SYSTEM\\CurrentControlSet\\Control\\Lsa\\Notification Packages",
    "HKLM\\SYSTEM\\CurrentControlSet\\Control\\Lsa\\Security Packages",
    "HKLM\\SYSTEM\\CurrentControlSet\\Control\\NetworkProvider\\Order",
    "HKLM\\SYSTEM\\CurrentControlSet\\Control\\Print\\Monitors",
    "HKLM\\SYSTEM\\CurrentControlSet\\Control\\SecurityProviders\\SecurityProviders",
    "HKLM\\Software\\Classes\\*\\ShellEx\\ContextMenuHandlers",
    "HKLM\\Software\\Classes\\AllFileSystemObjects\\ShellEx\\ContextMenuHandlers",
    "HKLM\\Software\\Classes\\CLSID\\{083863F1-70DE-11d0-BD40-00A0C911CE86}\\Instance",
    "HKLM\\Software\\Classes\\Directory\\Background\\ShellEx\\ContextMenuHandlers",
    "HKLM\\Software\\Classes\\Directory\\ShellEx\\ContextMenuHandlers",
    "HKLM\\Software\\Classes\\Directory\\Shellex\\CopyHookHandlers",
    "HKLM\\Software\\Classes\\Directory\\Shellex\\DragDropHandlers",
    "HKLM\\Software\\Classes\\Directory\\Shellex\\PropertySheetHandlers",
    "HKLM\\Software\\Classes\\Folder\\ShellEx\\ContextMenuHandlers",
    "HKLM\\Software\\Classes\\Folder\\Shellex\\ColumnHandlers",
    "HKLM\\Software\\Microsoft\\Windows NT\\CurrentVersion\\Drivers32",
    "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Browser Helper Objects",
    "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\ShellIconOverlayIdentifiers",
    "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Shell Extensions\\Approved",
    "HKLM\\System\\CurrentControlSet\\Control\\ServiceControlManagerExtension",
    "HKLM\\System\\CurrentControlSet\\Control\\Session Manager\\BootExecute",
    "HKLM\\System\\CurrentControlSet\\Control\\Session Manager\\KnownDlls",
    "HKLM\\System\\CurrentControlSet\\Control\\Terminal Server\\Wds\\rdpwd\\StartupPrograms",
    "HKLM\\System\\CurrentControlSet\\Services",
    "HKLM\\System\\CurrentControlSet\\Services\\WinSock2\\Parameters\\NameSpace_Catalog5\\Catalog_"
    "Entries",
    "HKLM\\System\\CurrentControlSet\\Services\\WinSock2\\Parameters\\Protocol_Catalog9\\Catalog_"
    "Entries",
    "\\Programme\\Autostart\\",
};

const std::array<std::string, 41>& LowerAutostartLocations() {
  static const std::array<std::string, 41> lower = [] {
    std::array<std::string, 41> out;
    for (size_t i = 0; i < out.size(); ++i) out[i] = LowerCase(kAutostartLocations[i]);
    return out;
  }();
  return lower;
}

bool NamesExecutable(std::string_view detail) {
  for (std::string_view extension : {".exe", ".dll", ".com", ".ocx", ".bat"}) {
    if (Contains(detail, extension)) return true;
  }
  return false;
}

constexpr uint64_t kTailPrime = (uint64_t{1} << 61) - 1;
constexpr uint64_t kTailBase = 0x1F3D5B79A2C4E681u % kTailPrime;

// One step of the hash of a text read backwards, so every tail of a path is hashed in one
// sweep from its end.
uint64_t HashStepBack(uint64_t hash, unsigned char c) {
  unsigned __int128 product = static_cast<unsigned __int128>(hash) * kTailBase + c + 1;
  uint64_t folded =
      static_cast<uint64_t>(product & kTailPrime) + static_cast<uint64_t>(product >> 61);
  while (folded >= kTailPrime) folded -= kTailPrime;
  return folded;
}

uint64_t TailHash(std::string_view text) {
  uint64_t hash = 0;
  for (size_t i = text.size(); i-- > 0;)
    hash = HashStepBack(hash, static_cast<unsigned char>(text[i]));
  return hash;
}

// Index of the known files by every tail that starts at a path boundary and holds no
// backslash, so a bare name finds its file without a walk over all files. A tail is kept as
// its hash and its place in the file's key: a path of many "/" has as many tails, and
// copies of them would grow with the square of its length. The files are all known before
// the event pass begins.
const std::vector<FileTail>& FileTailIndex() {
  GraphState& graph = State().graph;
  if (graph.m_fileTailsBuilt) return graph.m_fileTails;
  graph.m_fileTailsBuilt = true;
  const auto& files = State().entities.Files.m_items;
  for (size_t i = 0; i < files.size(); ++i) {
    std::string_view key = files[i].m_key;
    size_t lastBackslash = key.rfind('\\');
    size_t from = lastBackslash == std::string_view::npos ? 0 : lastBackslash + 1;
    uint64_t hash = 0;
    for (size_t at = key.size(); at-- > from;) {
      hash = HashStepBack(hash, static_cast<unsigned char>(key[at]));
      if (at == from || key[at - 1] == '/') {
        graph.m_fileTails.push_back({hash, static_cast<int32_t>(i), static_cast<uint32_t>(at)});
      }
    }
  }
  std::stable_sort(graph.m_fileTails.begin(), graph.m_fileTails.end(),
                   [](const FileTail& a, const FileTail& b) { return a.m_hash < b.m_hash; });
  return graph.m_fileTails;
}

// The first file in map order that has name as a tail, or kNoIndex.
int32_t FindFileByTail(std::string_view name) {
  const std::vector<FileTail>& tails = FileTailIndex();
  uint64_t hash = TailHash(name);
  auto it = std::lower_bound(tails.begin(), tails.end(), hash,
                             [](const FileTail& t, uint64_t h) { return t.m_hash < h; });
  int32_t best = kNoIndex;
  const auto& files = State().entities.Files.m_items;
  for (; it != tails.end() && it->m_hash == hash; ++it) {
    if (best != kNoIndex && it->m_file >= best) continue;
    if (std::string_view(files[it->m_file].m_key).substr(it->m_offset) == name) best = it->m_file;
  }
  return best;
}

std::string_view FilePart(std::string_view path) {
  size_t at = path.find_last_of("\\/");
  return at == std::string_view::npos ? path : path.substr(at + 1);
}

// A written string value that names a file gets an edge from the key to that file.
void SetAsValue(const ProcmonRow& row) {
  if (!Contains(row.Detail, "Type: REG_SZ,")) return;
  EntityState& e = State().entities;
  const Options& o = State().options;
  size_t at = row.Detail.find("Data: ");
  std::string_view data =
      at == std::string_view::npos ? Mid(row.Detail, 6) : row.Detail.substr(at + 6);
  bool toCategory = o.compressed && !IsAutostartLocation(row.FullPath);
  NodeRef tail =
      toCategory ? NodeRef{NodeType::kRegistry, 0}
                 : NodeRef{NodeType::kRegistryKey, e.RegistryKeys.Find(LowerCase(row.FullPath))};
  if (tail.m_index == kNoIndex) return;
  for (size_t i = 1;; ++i) {
    std::string_view field = SplitField(data, ',', i);
    if (field.empty()) break;
    std::string value(field);
    std::erase(value, '\'');
    std::erase(value, '"');
    // "path:*:state:name" keeps only the path.
    if (std::count(value.begin(), value.end(), ':') >= 2 && Contains(value, "*")) {
      value = std::string(SplitField(value, ':', 1)) + ":" + std::string(SplitField(value, ':', 2));
    }
    value = std::string(TrimBlanks(ResolveShortPath(value)));
    while (!value.empty() && value.back() == '.') value.pop_back();
    if (!value.empty() && !Contains(value, "\\")) {
      int32_t hit = FindFileByTail(LowerCase(value));
      if (hit != kNoIndex) value = std::string(e.Files.m_items[hit].Path);
    }
    std::string lower = LowerCase(value);
    bool rooted =
        value.compare(0, 2, "\\\\") == 0 || (value.size() >= 3 && value.substr(1, 2) == ":\\");
    if (!rooted || (!Contains(FilePart(value), ".") && e.Files.Find(lower) == kNoIndex)) continue;
    if (IsIgnored(value, 'r', State().ignores.Files)) continue;
    NodeRef head = toCategory ? CompressedFileNodeFor(lower, value) : FileNodeFor(lower, value);
    AppendRepeatableEdge(row, {EdgeType::kSetAsValue, tail, head, 0});
  }
}

void MarkActors(const ProcmonRow& row) {
  EntityState& e = State().entities;
  e.Processes[row.PID].m_active = 1;
  e.m_threadNodes[row.m_threadNode].m_active = 1;
  State().graph.RowTouchesRegistryKey = true;
}

}  // namespace

bool IsAutostartLocation(std::string_view path) {
  std::string lower = LowerCase(path);
  for (const std::string& location : LowerAutostartLocations()) {
    if (Contains(lower, location)) return true;
  }
  return false;
}

std::string AutostartMark(std::string_view path, bool inlineMark) {
  if (!IsAutostartLocation(path)) return "";
  return inlineMark ? " (AUTOSTART!)" : "\n(AUTOSTART!)";
}

void RegistryRules(const ProcmonRow& row) {
  EntityState& e = State().entities;
  const Options& o = State().options;
  IgnoreList& ignores = State().ignores.RegistryKeys;
  NodeRef thread{NodeType::kThread, row.m_threadNode};
  int32_t key = e.RegistryKeys.Find(LowerCase(row.FullPath));
  if (row.m_op == Op::kRegQueryValue) {
    bool unknown = key == kNoIndex;
    bool ignored = IsIgnored(row.FullPath, 'r', ignores);
    // Reads of autostart locations are everyday noise; their writes are what matters.
    bool autostart = IsAutostartLocation(row.FullPath);
    if (unknown || ignored || autostart) return;
    MarkActors(row);
    if (o.compressed && o.reduced) return;
    EdgeKey edge{
        EdgeType::kGetValue, thread,
        o.compressed ? NodeRef{NodeType::kRegistry, 0} : NodeRef{NodeType::kRegistryKey, key}, 0};
    AppendRepeatableEdge(row, edge);
    AddEdgeWeight(edge, 1);
    return;
  }
  if (row.m_op != Op::kRegSetValue) return;
  if (IsIgnored(row.FullPath, 'w', ignores)) return;
  MarkActors(row);
  if (NamesExecutable(row.Detail)) {
    e.Processes[row.PID].m_follow = 1;
    e.m_threadNodes[row.m_threadNode].m_follow = 1;
  }
  NodeRef head;
  if (o.compressed && !IsAutostartLocation(row.FullPath)) {
    if (o.reduced) return;
    head = {NodeType::kRegistry, 0};
  } else {
    if (key == kNoIndex) return;
    head = {NodeType::kRegistryKey, key};
  }
  EdgeKey edge{EdgeType::kSetValue, thread, head, 0};
  AppendRepeatableEdge(row, edge);
  AddEdgeWeight(edge, 1);
  SetAsValue(row);
}

}  // namespace evtweave
