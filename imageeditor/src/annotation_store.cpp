#include "imageeditor/annotation_store.h"

#include <strings.h>

#include "gui/pick_list_markup.h"
#include "gui/requester_geometry.h"
#include "tolvek/app_dir.h"
#include "tolvek/callstack.h"
#include "tolvek/preferences.h"

namespace imageeditor {

namespace {

bool SameName(const std::string& a, const std::string& b) {
  return a.size() == b.size() && ::strncasecmp(a.c_str(), b.c_str(), a.size()) == 0;
}

std::string ReplaceAll(std::string text, const std::string& from, const std::string& to) {
  for (size_t at = 0; (at = text.find(from, at)) != std::string::npos; at += to.size())
    text.replace(at, from.size(), to);
  return text;
}

std::string Without(std::string text, const std::string& chars) {
  std::string out;
  for (char c : text)
    if (chars.find(c) == std::string::npos) out += c;
  return out;
}

std::string KindKey(int64_t kind) {
  return std::to_string(kind);
}
std::string DefaultsKey(int64_t kind, const std::string& property) {
  return KindKey(kind) + "." + property;
}

}  // namespace

AnnotationFile UserAnnotationFile(const std::string& id) {
  AnnotationFile file;
  file.path = tolvek::GetApplicationDirectoryPath4File("Tolvek", "EditImageRequesterAnnotations");
  file.programPath = gui::detail::ProgramPath();
  file.id = id;
  return file;
}

PreferenceDocument::Keys* PreferenceDocument::Find(const std::string& group) {
  for (auto& [name, keys] : groups)
    if (SameName(name, group)) return &keys;
  return nullptr;
}

PreferenceDocument::Keys& PreferenceDocument::Get(const std::string& group) {
  if (Keys* keys = Find(group)) return *keys;
  groups.emplace_back(group, Keys{});
  return groups.back().second;
}

void PreferenceDocument::Remove(const std::string& group) {
  for (auto it = groups.begin(); it != groups.end(); ++it)
    if (SameName(it->first, group)) {
      groups.erase(it);
      return;
    }
}

std::string PreferenceDocument::Read(const Keys& keys, const std::string& key,
                                     const std::string& fallback) {
  for (const auto& [name, value] : keys)
    if (SameName(name, key)) return value;
  return fallback;
}

void PreferenceDocument::Write(Keys& keys, const std::string& key, const std::string& value) {
  for (auto& [name, old] : keys)
    if (SameName(name, key)) {
      old = value;
      return;
    }
  keys.emplace_back(key, value);
}

PreferenceDocument LoadPreferenceDocument(const std::string& path) {
  TOLVEK_TRACE("LoadPreferenceDocument");
  PreferenceDocument doc;
  if (!tolvek::OpenPreferences(path)) return doc;
  if (tolvek::ExaminePreferenceGroups()) {
    while (tolvek::NextPreferenceGroup()) {
      PreferenceDocument::Keys keys;
      if (tolvek::ExaminePreferenceKeys())
        while (tolvek::NextPreferenceKey())
          keys.emplace_back(tolvek::PreferenceKeyName(), tolvek::PreferenceKeyValue());
      doc.groups.emplace_back(tolvek::PreferenceGroupName(), std::move(keys));
    }
  }
  tolvek::ClosePreferences();
  return doc;
}

bool SavePreferenceDocument(const PreferenceDocument& doc, const std::string& path) {
  TOLVEK_TRACE("SavePreferenceDocument");
  if (!tolvek::CreatePreferences(path)) return false;
  for (const auto& [name, keys] : doc.groups) {
    tolvek::PreferenceGroup(name);
    for (const auto& [key, value] : keys) tolvek::WritePreferenceString(key, value);
  }
  return tolvek::ClosePreferences();
}

void ApplyStoredDefaults(const AnnotationFile& file, AnnotationObject& object) {
  TOLVEK_TRACE("ApplyStoredDefaults");
  PreferenceDocument doc = LoadPreferenceDocument(file.path);
  auto& group = doc.Get(file.DefaultsGroup());
  const int64_t kind = object.inittype;
  if (ReadInteger(PreferenceDocument::Read(group, KindKey(kind))) == 0) {
    for (const auto& [key, value] : object.properties)
      if (key != "Text") PreferenceDocument::Write(group, DefaultsKey(kind, key), value);
  }
  PreferenceDocument::Write(group, KindKey(kind), "1");
  for (auto& [key, value] : object.properties)
    if (key != "Text") value = PreferenceDocument::Read(group, DefaultsKey(kind, key));
  SavePreferenceDocument(doc, file.path);
}

bool SetAsDefault(const AnnotationFile& file, const AnnotationObject& object) {
  TOLVEK_TRACE("SetAsDefault");
  PreferenceDocument doc = LoadPreferenceDocument(file.path);
  auto& group = doc.Get(file.DefaultsGroup());
  PreferenceDocument::Write(group, KindKey(object.inittype), "1");
  for (const auto& [key, value] : object.properties)
    if (key != "Text") PreferenceDocument::Write(group, DefaultsKey(object.inittype, key), value);
  return SavePreferenceDocument(doc, file.path);
}

bool ResetToDefault(const AnnotationFile& file, AnnotationObject& object) {
  TOLVEK_TRACE("ResetToDefault");
  PreferenceDocument doc = LoadPreferenceDocument(file.path);
  const auto* group = doc.Find(file.DefaultsGroup());
  if (!group || ReadInteger(PreferenceDocument::Read(*group, KindKey(object.inittype))) == 0)
    return false;
  for (auto& [key, value] : object.properties)
    if (key != "Text") value = PreferenceDocument::Read(*group, DefaultsKey(object.inittype, key));
  return true;
}

std::string TemplateGroupName(std::string name) {
  size_t first = name.find_first_not_of(' ');
  if (first == std::string::npos) return "";
  name = name.substr(first, name.find_last_not_of(' ') - first + 1);
  for (char& c : name)
    if (c == ' ' || c == '[' || c == ']' || c == '=' || c == '|') c = '_';
  // The file format has no escape for line breaks; they would end the group's line.
  for (char& c : name)
    if (c == '\n' || c == '\r') c = '_';
  return name;
}

bool StoreTemplate(const AnnotationFile& file, const std::string& rawName,
                   const AnnotationObject& object) {
  TOLVEK_TRACE("StoreTemplate");
  const std::string name = TemplateGroupName(rawName);
  if (name.empty()) return false;
  PreferenceDocument doc = LoadPreferenceDocument(file.path);
  const std::string group = file.TemplatePrefix() + name;
  doc.Remove(group);
  auto& keys = doc.Get(group);
  keys = {{"inittype", std::to_string(object.inittype)},
          {"type", std::to_string(object.type)},
          {"x", std::to_string(object.x)},
          {"y", std::to_string(object.y)},
          {"width", std::to_string(object.width)},
          {"height", std::to_string(object.height)}};
  for (const auto& [key, value] : object.properties)
    PreferenceDocument::Write(keys, key, ReplaceAll(Without(value, "\r"), "\n", "{lf}"));
  return SavePreferenceDocument(doc, file.path);
}

bool TemplateGroupMatches(const PreferenceDocument::Keys& keys, const AnnotationObject& object) {
  if (ReadInteger(PreferenceDocument::Read(keys, "inittype", "-1")) != object.inittype ||
      ReadInteger(PreferenceDocument::Read(keys, "type", "-1")) != object.type)
    return false;
  for (const auto& [key, value] : object.properties) {
    std::string stored = ReplaceAll(PreferenceDocument::Read(keys, key), "{lf}", "");
    if (stored != Without(value, "\r\n")) return false;
  }
  return true;
}

bool HasMatchingTemplate(const AnnotationFile& file, const AnnotationObject& object) {
  TOLVEK_TRACE("HasMatchingTemplate");
  PreferenceDocument doc = LoadPreferenceDocument(file.path);
  const std::string prefix = file.TemplatePrefix();
  for (const auto& [name, keys] : doc.groups)
    if (name.compare(0, prefix.size(), prefix) == 0 && TemplateGroupMatches(keys, object))
      return true;
  return false;
}

int RemoveFromTemplates(const AnnotationFile& file, const AnnotationObject& object) {
  TOLVEK_TRACE("RemoveFromTemplates");
  PreferenceDocument doc = LoadPreferenceDocument(file.path);
  const std::string prefix = file.TemplatePrefix();
  int removed = 0;
  for (auto it = doc.groups.begin(); it != doc.groups.end();) {
    if (it->first.compare(0, prefix.size(), prefix) == 0 &&
        TemplateGroupMatches(it->second, object)) {
      it = doc.groups.erase(it);
      ++removed;
    } else {
      ++it;
    }
  }
  if (removed) SavePreferenceDocument(doc, file.path);
  return removed;
}

std::string TemplateListItems(const AnnotationFile& file) {
  TOLVEK_TRACE("TemplateListItems");
  PreferenceDocument doc = LoadPreferenceDocument(file.path);
  const std::string prefix = file.TemplatePrefix();
  std::string items;
  for (const auto& [name, keys] : doc.groups) {
    if (name.compare(0, prefix.size(), prefix) != 0) continue;
    const std::string inittype = PreferenceDocument::Read(keys, "inittype");
    const std::string kindName = inittype.empty() ? "" : KindListName(ReadInteger(inittype));
    items += gui::detail::ResultRowText({inittype, kindName, name.substr(prefix.size()),
                                         PreferenceDocument::Read(keys, "Text")}) +
             "\n";
  }
  while (!items.empty() && items.back() == '\n') items.pop_back();
  return items;
}

bool ReadTemplate(const AnnotationFile& file, const std::string& name, TemplateRecord& record) {
  TOLVEK_TRACE("ReadTemplate");
  PreferenceDocument doc = LoadPreferenceDocument(file.path);
  const auto* keys = doc.Find(file.TemplatePrefix() + name);
  if (!keys) return false;
  record = TemplateRecord{};
  for (const auto& [key, value] : *keys) {
    if (SameName(key, "type")) {
      record.type = ReadInteger(value);
    } else if (SameName(key, "inittype")) {
      record.inittype = ReadInteger(value);
    } else if (SameName(key, "x")) {
      record.hasX = true, record.x = ReadInteger(value);
    } else if (SameName(key, "y")) {
      record.hasY = true, record.y = ReadInteger(value);
    } else if (SameName(key, "width")) {
      record.hasWidth = true, record.width = ReadInteger(value);
    } else if (SameName(key, "height")) {
      record.hasHeight = true, record.height = ReadInteger(value);
    } else {
      record.properties[key] = ReplaceAll(value, "{lf}", "\n");
    }
  }
  return true;
}

}  // namespace imageeditor
