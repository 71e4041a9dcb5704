#include "workbench/session_file.h"

#include <charconv>
#include <vector>

#include "workbench/gadgets.h"
#include "workbench/preference_text.h"

namespace workbench {

const std::array<SessionKey, kSessionKeyCount> kSessionKeys = {{
    {"procmonfile", String_Main_ProcmonFile, true, 0, 0},
    {"windumpfile", String_Main_WindumpFile, true, 0, 0},
    {"launcher", String_Main_Launcher, true, 0, 0},
    {"modenopaths", Checkbox_Main_ModeNoPaths, false, 0, 0},
    {"modecompressed", Checkbox_Main_ModeCompressed, false, 0, 0},
    {"modedumb", Checkbox_Main_ModeDumb, false, 0, 0},
    {"forceascii", Button_Main_ForceAscii, false, 0, -1},
    {"renderoption_registry", Checkbox_RenderOptions_Registry, false, 1, 1},
    {"renderoption_registry_nonautostart", Checkbox_RenderOptions_RegistryNonAutostart, false, 1,
     1},
    {"renderoption_registry_get", Checkbox_RenderOptions_RegistryGet, false, 1, 1},
    {"renderoption_registry_set", Checkbox_RenderOptions_RegistrySet, false, 1, 1},
    {"renderoption_files", Checkbox_RenderOptions_Files, false, 1, 1},
    {"renderoption_files_bulkcategories", Checkbox_RenderOptions_FilesBulkCategories, false, 1, 1},
    {"renderoption_files_readonly", Checkbox_RenderOptions_FilesReadOnly, false, 0, 0},
    {"renderoption_files_read", Checkbox_RenderOptions_FilesRead, false, 1, 1},
    {"renderoption_files_write", Checkbox_RenderOptions_FilesWrite, false, 1, 1},
    {"renderoption_files_create", Checkbox_RenderOptions_FilesCreate, false, 1, 1},
    {"renderoption_files_delete", Checkbox_RenderOptions_FilesDelete, false, 1, 1},
    {"renderoption_files_basedon", Checkbox_RenderOptions_FilesBasedOn, false, 1, 1},
    {"renderoption_files_loads", Checkbox_RenderOptions_FilesLoads, false, 1, 1},
}};

namespace {

using namespace preference_text;

std::optional<size_t> KeyIndex(std::string_view key) {
  for (size_t k = 0; k < kSessionKeyCount; ++k) {
    if (EqualFolded(key, kSessionKeys[k].name)) return k;
  }
  return std::nullopt;
}

std::optional<std::string> StateOf(std::string_view stored) {
  stored = TrimBlanks(stored);
  int64_t n = 0;
  auto [end, ec] = std::from_chars(stored.data(), stored.data() + stored.size(), n);
  if (stored.empty() || ec != std::errc() || end != stored.data() + stored.size()) {
    return std::nullopt;
  }
  return n != 0 ? "1" : "0";
}

}  // namespace

StoredSessionKeys ReadSessionKeys(std::string_view text) {
  StoredSessionKeys stored;
  std::array<bool, kSessionKeyCount> seen{};
  for (std::string_view line : SplitLines(text)) {
    if (IsGroupLine(line)) break;
    std::optional<std::string_view> key = KeyOf(line);
    if (!key) continue;
    std::optional<size_t> k = KeyIndex(*key);
    if (!k || seen[*k]) continue;
    seen[*k] = true;
    std::string_view value = ValueOf(line);
    if (kSessionKeys[*k].text) {
      stored[*k] = std::string(value);
    } else {
      stored[*k] = StateOf(value);
    }
  }
  return stored;
}

SessionValues SessionValuesOnLoad(const StoredSessionKeys& stored) {
  SessionValues values;
  for (size_t k = 0; k < kSessionKeyCount; ++k) {
    if (stored[k]) {
      values[k] = *stored[k];
    } else if (!kSessionKeys[k].text) {
      values[k] = kSessionKeys[k].loadDefault ? "1" : "0";
    }
  }
  return values;
}

bool StorableSessionText(std::string_view value) {
  return value.find_first_of("\r\n") == std::string_view::npos;
}

std::optional<std::string> WriteSessionKeys(std::string_view text, const SessionValues& values) {
  for (size_t k = 0; k < kSessionKeyCount; ++k) {
    if (!StorableSessionText(values[k])) return std::nullopt;
  }
  std::vector<std::string_view> lines = SplitLines(text);
  size_t firstGroup = 0;
  while (firstGroup < lines.size() && !IsGroupLine(lines[firstGroup])) ++firstGroup;

  std::array<bool, kSessionKeyCount> written{};
  std::string out;
  out.reserve(text.size() + 1024);
  auto writeKey = [&](size_t k) {
    out += kSessionKeys[k].name;
    out += " = ";
    out += values[k];
    out += '\n';
    written[k] = true;
  };
  for (size_t i = 0; i < firstGroup; ++i) {
    std::optional<std::string_view> key = KeyOf(lines[i]);
    std::optional<size_t> k = key ? KeyIndex(*key) : std::nullopt;
    if (k && !written[*k]) {
      writeKey(*k);
      continue;
    }
    out += lines[i];
    out += '\n';
  }
  for (size_t k = 0; k < kSessionKeyCount; ++k) {
    if (!written[k]) writeKey(k);
  }
  for (size_t i = firstGroup; i < lines.size(); ++i) {
    out += lines[i];
    out += '\n';
  }
  return out;
}

std::string WithSessionGroups(std::string_view text, std::string_view source,
                              const std::vector<std::string>& groups) {
  auto named = [&](std::string_view line) {
    for (const std::string& group : groups) {
      if (EqualFolded(GroupNameOf(line), group)) return true;
    }
    return false;
  };
  // The lines outside the named groups (keep true) or inside them (keep false).
  auto lines = [&](std::string_view from, bool keep, std::string& out) {
    bool inNamed = false;
    for (std::string_view line : SplitLines(from)) {
      if (IsGroupLine(line)) inNamed = named(line);
      if (inNamed == keep) continue;
      out += line;
      out += '\n';
    }
  };
  std::string out;
  lines(text, true, out);
  lines(source, false, out);
  return out;
}

std::string NormaliseSessionPath(const std::string& path) {
  std::string tail = path.size() >= 3 ? path.substr(path.size() - 3) : path;
  for (char& c : tail) c = c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c;
  return tail == ".lv" ? path : path + ".lv";
}

}  // namespace workbench
