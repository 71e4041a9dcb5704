#include "tolvek/preferences.h"

#include <unistd.h>

#include <functional>
#include <memory>
#include <optional>
#include <unordered_map>
#include <vector>

#include "tolvek/callstack.h"
#include "tolvek/file_read.h"
#include "tolvek/file_write.h"
#include "tolvek/memory_string.h"
#include "tolvek/syslog.h"
#include "tolvek/text_utils.h"

namespace tolvek {
namespace {

// Text of the file lives in one arena per open file: a file with a million keys would
// otherwise cost several heap blocks per line. A replaced value is appended anew; the
// old bytes stay until the file is closed.
struct Span {
  size_t m_offset = 0;
  size_t m_size = 0;
};

// A line of the file: comments and blank lines are kept so that a rewrite changes only
// what was written.
struct Line {
  bool m_isKey = false;
  Span m_key;   // as spelled
  Span m_text;  // the value of a key line, else the whole line
};

struct FoldedHash {
  using is_transparent = void;
  size_t operator()(std::string_view text) const { return std::hash<std::string_view>{}(text); }
};

using FoldedIndex = std::unordered_map<std::string, size_t, FoldedHash, std::equal_to<>>;

// Most groups hold a handful of keys, which a scan finds faster than a hash table can be
// built; a group that grows past this gets an index.
constexpr size_t kScanLimit = 16;

struct Group {
  Span m_name;
  std::vector<Line> m_lines;
  std::unique_ptr<FoldedIndex> m_keyIndex;  // folded key -> first line with it
  size_t m_indexed = 0;                     // lines already entered in m_keyIndex
};

struct PreferenceState {
  bool m_open = false;
  bool m_dirty = false;
  std::string m_path;
  WriteOptions m_writeOptions;
  std::string m_arena;
  std::vector<Group> m_groups;  // [0] holds the lines before the first group
  FoldedIndex m_groupIndex;     // folded name -> group
  size_t m_current = 0;
  std::string m_pendingGroup;  // selected but not yet created
  bool m_pending = false;
  size_t m_examined = 0;  // next group handed out by NextPreferenceGroup
  // The key listing: its group, the line that holds the current key and whether one is.
  size_t m_keyGroup = 0;
  size_t m_keyLine = 0;
  bool m_keyListed = false;
  bool m_keysOpen = false;
  std::string m_folded;  // scratch for lookups
};

PreferenceState& Prefs() {
  static PreferenceState state = [] {
    PreferenceState s;
    s.m_groups.emplace_back();
    return s;
  }();
  return state;
}

char FoldChar(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c;
}

std::string Fold(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = FoldChar(c);
  return out;
}

void FoldInto(std::string& out, std::string_view text) {
  out.assign(text);
  for (char& c : out) c = FoldChar(c);
}

bool FoldedEqual(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (FoldChar(a[i]) != FoldChar(b[i])) return false;
  }
  return true;
}

std::string_view View(const PreferenceState& s, Span span) {
  return std::string_view(s.m_arena).substr(span.m_offset, span.m_size);
}

Span Store(PreferenceState& s, std::string_view text) {
  Span span{s.m_arena.size(), text.size()};
  s.m_arena.append(text);
  return span;
}

// Stores text with its line breaks made blanks.
Span StoreOneLine(PreferenceState& s, std::string_view text) {
  Span span = Store(s, text);
  char* begin = s.m_arena.data() + span.m_offset;
  for (char* c = begin; c != begin + span.m_size; ++c) {
    if (*c == '\r' || *c == '\n') *c = ' ';
  }
  return span;
}

void Reset(PreferenceState& s) {
  s = PreferenceState();
  s.m_groups.emplace_back();
}

void AddGroup(PreferenceState& s, std::string_view name) {
  s.m_groupIndex.try_emplace(Fold(name), s.m_groups.size());
  s.m_groups.emplace_back();
  s.m_groups.back().m_name = Store(s, name);
}

// The first key line of the group whose key equals key without regard to letter case.
std::optional<size_t> FindKey(PreferenceState& s, Group& group, std::string_view key) {
  if (group.m_lines.size() <= kScanLimit) {
    for (size_t i = 0; i < group.m_lines.size(); ++i) {
      const Line& line = group.m_lines[i];
      if (line.m_isKey && FoldedEqual(View(s, line.m_key), key)) return i;
    }
    return std::nullopt;
  }
  if (!group.m_keyIndex) group.m_keyIndex = std::make_unique<FoldedIndex>();
  // Lines are only ever appended, so entering the new ones keeps the index whole.
  for (; group.m_indexed < group.m_lines.size(); ++group.m_indexed) {
    const Line& line = group.m_lines[group.m_indexed];
    if (line.m_isKey) group.m_keyIndex->try_emplace(Fold(View(s, line.m_key)), group.m_indexed);
  }
  FoldInto(s.m_folded, key);
  auto it = group.m_keyIndex->find(std::string_view(s.m_folded));
  if (it == group.m_keyIndex->end()) return std::nullopt;
  return it->second;
}

void AddLine(PreferenceState& s, Group& group, std::string_view line) {
  Line entry;
  size_t eq = line.find('=');
  std::string_view first = TrimBlanks(line);
  if (eq != std::string_view::npos && !first.empty() && first.front() != ';') {
    entry.m_isKey = true;
    entry.m_key = Store(s, TrimBlanks(line.substr(0, eq)));
    // One blank after "=" belongs to the layout; anything more is the value's own.
    std::string_view value = line.substr(eq + 1);
    if (!value.empty() && value.front() == ' ') value.remove_prefix(1);
    entry.m_text = Store(s, value);
  } else {
    entry.m_text = Store(s, line);
  }
  group.m_lines.push_back(entry);
}

void Parse(PreferenceState& s, const std::string& text) {
  if (text.empty()) return;
  s.m_arena.reserve(text.size());
  const char* data = text.data();
  // Line splitting follows the memory-string reader, so every line end the other readers
  // accept is accepted here.
  if (!OpenMemoryString(data, static_cast<int64_t>(text.size()), kFormatUtf8)) return;
  while (!EOM(data)) {
    std::string line = ReadMemoryString(data);
    std::string_view trimmed = TrimBlanks(line);
    if (trimmed.size() >= 2 && trimmed.front() == '[' && trimmed.back() == ']') {
      AddGroup(s, trimmed.substr(1, trimmed.size() - 2));
      continue;
    }
    AddLine(s, s.m_groups.back(), line);
  }
  CloseMemoryString(data);
}

Group* CurrentGroup(PreferenceState& s, bool create) {
  if (!s.m_pending) return &s.m_groups[s.m_current];
  if (!create) return nullptr;
  AddGroup(s, s.m_pendingGroup);
  s.m_current = s.m_groups.size() - 1;
  s.m_pending = false;
  s.m_dirty = true;
  return &s.m_groups[s.m_current];
}

std::string Serialize(const PreferenceState& s) {
  size_t size = 0;
  for (size_t g = 0; g < s.m_groups.size(); ++g) {
    const Group& group = s.m_groups[g];
    if (g > 0) size += group.m_name.m_size + 3;
    for (const Line& line : group.m_lines) {
      size += line.m_text.m_size + 1;
      if (line.m_isKey) size += line.m_key.m_size + 3;
    }
  }
  std::string out;
  out.reserve(size);
  for (size_t g = 0; g < s.m_groups.size(); ++g) {
    const Group& group = s.m_groups[g];
    if (g > 0) {
      out += '[';
      out += View(s, group.m_name);
      out += "]\n";
    }
    for (const Line& line : group.m_lines) {
      if (line.m_isKey) {
        out += View(s, line.m_key);
        out += " = ";
      }
      out += View(s, line.m_text);
      out += '\n';
    }
  }
  return out;
}

bool FolderAllows(const std::string& path) {
  size_t slash = path.rfind('/');
  std::string folder = slash == std::string::npos ? "." : path.substr(0, slash + 1);
  if (folder.empty()) folder = "/";
  return access(folder.c_str(), W_OK | X_OK) == 0;
}

}  // namespace

bool OpenPreferences(const std::string& path, int64_t maxBytes) {
  TOLVEK_TRACE("OpenPreferences");
  PreferenceState& s = Prefs();
  Reset(s);
  // Read through the one reader of regular files: a FIFO or a device planted where a
  // preference file is expected must not hold the program, nor a huge file fill its memory.
  const std::optional<std::string> bytes = ReadFileBytes(path, maxBytes);
  if (!bytes) return false;
  Parse(s, DecodeFileText(*bytes, kFormatUtf8));
  s.m_path = path;
  s.m_open = true;
  return true;
}

bool CreatePreferences(const std::string& path, const WriteOptions& options) {
  TOLVEK_TRACE("CreatePreferences");
  PreferenceState& s = Prefs();
  Reset(s);
  if (path.empty() || !FolderAllows(path)) return false;
  s.m_path = path;
  s.m_writeOptions = options;
  s.m_open = true;
  s.m_dirty = true;
  return true;
}

bool FlushPreferenceBuffers() {
  TOLVEK_TRACE("FlushPreferenceBuffers");
  PreferenceState& s = Prefs();
  if (!s.m_open || !s.m_dirty) return true;
  if (!WriteFileWhole(s.m_path, Serialize(s), s.m_writeOptions)) {
    SyslogWarning("Couldn't write preference file '" + s.m_path + "'");
    return false;
  }
  s.m_dirty = false;
  return true;
}

bool ClosePreferences() {
  TOLVEK_TRACE("ClosePreferences");
  bool ok = FlushPreferenceBuffers();
  Reset(Prefs());
  return ok;
}

bool PreferenceGroup(std::string_view name) {
  TOLVEK_TRACE("PreferenceGroup");
  PreferenceState& s = Prefs();
  s.m_pending = false;
  if (name.empty()) {
    s.m_current = 0;
    return true;
  }
  FoldInto(s.m_folded, name);
  auto it = s.m_groupIndex.find(std::string_view(s.m_folded));
  if (it != s.m_groupIndex.end()) {
    s.m_current = it->second;
    return true;
  }
  s.m_pending = true;
  s.m_pendingGroup = std::string(name);
  return false;
}

void WritePreferenceString(std::string_view key, std::string_view value) {
  TOLVEK_TRACE("WritePreferenceString");
  PreferenceState& s = Prefs();
  if (!s.m_open) return;
  Group& group = *CurrentGroup(s, true);
  Span spelled = StoreOneLine(s, TrimBlanks(key));
  Span text = StoreOneLine(s, value);
  std::optional<size_t> found = FindKey(s, group, View(s, spelled));
  if (found) {
    Line& line = group.m_lines[*found];
    line.m_key = spelled;
    line.m_text = text;
  } else {
    group.m_lines.push_back({true, spelled, text});
  }
  s.m_dirty = true;
}

std::string ReadPreferenceString(std::string_view key, std::string_view defaultValue) {
  TOLVEK_TRACE("ReadPreferenceString");
  PreferenceState& s = Prefs();
  if (!s.m_open) return std::string(defaultValue);
  Group* group = CurrentGroup(s, false);
  if (!group) return std::string(defaultValue);
  std::optional<size_t> found = FindKey(s, *group, TrimBlanks(key));
  if (!found) return std::string(defaultValue);
  return std::string(View(s, group->m_lines[*found].m_text));
}

bool ExaminePreferenceGroups() {
  TOLVEK_TRACE("ExaminePreferenceGroups");
  PreferenceState& s = Prefs();
  s.m_examined = 1;
  return s.m_open;
}

bool NextPreferenceGroup() {
  TOLVEK_TRACE("NextPreferenceGroup");
  PreferenceState& s = Prefs();
  if (!s.m_open || s.m_examined == 0 || s.m_examined >= s.m_groups.size()) return false;
  s.m_pending = false;
  s.m_current = s.m_examined++;
  return true;
}

std::string PreferenceGroupName() {
  TOLVEK_TRACE("PreferenceGroupName");
  PreferenceState& s = Prefs();
  if (s.m_pending) return s.m_pendingGroup;
  return std::string(View(s, s.m_groups[s.m_current].m_name));
}

bool ExaminePreferenceKeys() {
  TOLVEK_TRACE("ExaminePreferenceKeys");
  PreferenceState& s = Prefs();
  s.m_keysOpen = s.m_open && !s.m_pending;
  s.m_keyGroup = s.m_current;
  s.m_keyLine = 0;
  s.m_keyListed = false;
  return s.m_keysOpen;
}

bool NextPreferenceKey() {
  TOLVEK_TRACE("NextPreferenceKey");
  PreferenceState& s = Prefs();
  if (!s.m_keysOpen || s.m_keyGroup >= s.m_groups.size()) return false;
  const std::vector<Line>& lines = s.m_groups[s.m_keyGroup].m_lines;
  size_t next = s.m_keyListed ? s.m_keyLine + 1 : 0;
  while (next < lines.size() && !lines[next].m_isKey) ++next;
  if (next >= lines.size()) {
    s.m_keysOpen = false;
    s.m_keyListed = false;
    return false;
  }
  s.m_keyLine = next;
  s.m_keyListed = true;
  return true;
}

std::string PreferenceKeyName() {
  PreferenceState& s = Prefs();
  if (!s.m_keysOpen || !s.m_keyListed) return "";
  return std::string(View(s, s.m_groups[s.m_keyGroup].m_lines[s.m_keyLine].m_key));
}

std::string PreferenceKeyValue() {
  PreferenceState& s = Prefs();
  if (!s.m_keysOpen || !s.m_keyListed) return "";
  return std::string(View(s, s.m_groups[s.m_keyGroup].m_lines[s.m_keyLine].m_text));
}

}  // namespace tolvek
