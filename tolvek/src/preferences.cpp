#include "tolvek/preferences.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <unordered_map>
#include <vector>

#include "tolvek/app_dir.h"
#include "tolvek/callstack.h"
#include "tolvek/file_read.h"
#include "tolvek/memory_string.h"
#include "tolvek/syslog.h"

namespace tolvek {
namespace {

// A line of the file: comments and blank lines are kept so that a rewrite changes only
// what was written.
struct Line {
  bool m_isKey = false;
  std::string m_key;   // as spelled
  std::string m_text;  // the value of a key line, else the whole line
};

struct Group {
  std::string m_name;
  std::vector<Line> m_lines;
  std::unordered_map<std::string, size_t> m_keyIndex;  // folded key -> line
};

struct PreferenceState {
  bool m_open = false;
  bool m_dirty = false;
  std::string m_path;
  std::vector<Group> m_groups;  // [0] holds the lines before the first group
  std::unordered_map<std::string, size_t> m_groupIndex;  // folded name -> group
  size_t m_current = 0;
  std::string m_pendingGroup;  // selected but not yet created
  bool m_pending = false;
  size_t m_examined = 0;  // next group handed out by NextPreferenceGroup
};

PreferenceState& Prefs() {
  static PreferenceState state = [] {
    PreferenceState s;
    s.m_groups.emplace_back();
    return s;
  }();
  return state;
}

std::string Fold(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
  }
  return out;
}

std::string_view TrimBlanks(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

std::string OneLine(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    if (c == '\r' || c == '\n') c = ' ';
  }
  return out;
}

void Reset(PreferenceState& s) {
  s = PreferenceState();
  s.m_groups.emplace_back();
}

void AddGroup(PreferenceState& s, std::string_view name) {
  s.m_groupIndex.try_emplace(Fold(name), s.m_groups.size());
  s.m_groups.emplace_back();
  s.m_groups.back().m_name = std::string(name);
}

void AddLine(Group& group, std::string_view line) {
  Line entry;
  size_t eq = line.find('=');
  std::string_view first = TrimBlanks(line);
  if (eq != std::string_view::npos && !first.empty() && first.front() != ';') {
    entry.m_isKey = true;
    entry.m_key = std::string(TrimBlanks(line.substr(0, eq)));
    // One blank after "=" belongs to the layout; anything more is the value's own.
    std::string_view value = line.substr(eq + 1);
    if (!value.empty() && value.front() == ' ') value.remove_prefix(1);
    entry.m_text = std::string(value);
    group.m_keyIndex.try_emplace(Fold(entry.m_key), group.m_lines.size());
  } else {
    entry.m_text = std::string(line);
  }
  group.m_lines.push_back(std::move(entry));
}

void Parse(PreferenceState& s, const std::string& text) {
  if (text.empty()) return;
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
    AddLine(s.m_groups.back(), line);
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
  std::string out;
  for (size_t g = 0; g < s.m_groups.size(); ++g) {
    const Group& group = s.m_groups[g];
    if (g > 0) {
      out += '[';
      out += group.m_name;
      out += "]\n";
    }
    for (const Line& line : group.m_lines) {
      if (line.m_isKey) {
        out += line.m_key;
        out += " = ";
      }
      out += line.m_text;
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

bool OpenPreferences(const std::string& path) {
  TOLVEK_TRACE("OpenPreferences");
  PreferenceState& s = Prefs();
  Reset(s);
  int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat st {};
  bool regular = fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
  close(fd);
  if (!regular) return false;
  Parse(s, ReadFile2String(path, kFormatUtf8));
  s.m_path = path;
  s.m_open = true;
  return true;
}

bool CreatePreferences(const std::string& path) {
  TOLVEK_TRACE("CreatePreferences");
  PreferenceState& s = Prefs();
  Reset(s);
  if (path.empty() || !FolderAllows(path)) return false;
  s.m_path = path;
  s.m_open = true;
  s.m_dirty = true;
  return true;
}

bool FlushPreferenceBuffers() {
  TOLVEK_TRACE("FlushPreferenceBuffers");
  PreferenceState& s = Prefs();
  if (!s.m_open || !s.m_dirty) return true;
  std::string text = Serialize(s);
  const auto* begin = reinterpret_cast<const unsigned char*>(text.data());
  if (!WriteBinaryFromDatasection2Disk(begin, begin + text.size(), s.m_path)) {
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
  auto it = s.m_groupIndex.find(Fold(name));
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
  std::string spelled = OneLine(TrimBlanks(key));
  std::string folded = Fold(spelled);
  auto it = group.m_keyIndex.find(folded);
  if (it != group.m_keyIndex.end()) {
    Line& line = group.m_lines[it->second];
    line.m_key = spelled;
    line.m_text = OneLine(value);
  } else {
    group.m_keyIndex.emplace(folded, group.m_lines.size());
    group.m_lines.push_back({true, spelled, OneLine(value)});
  }
  s.m_dirty = true;
}

std::string ReadPreferenceString(std::string_view key, std::string_view defaultValue) {
  TOLVEK_TRACE("ReadPreferenceString");
  PreferenceState& s = Prefs();
  if (!s.m_open) return std::string(defaultValue);
  Group* group = CurrentGroup(s, false);
  if (!group) return std::string(defaultValue);
  auto it = group->m_keyIndex.find(Fold(TrimBlanks(key)));
  if (it == group->m_keyIndex.end()) return std::string(defaultValue);
  return group->m_lines[it->second].m_text;
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
  return s.m_groups[s.m_current].m_name;
}

}  // namespace tolvek
