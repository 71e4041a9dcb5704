// The per-user annotations file: per kind the defaults the user stored, by name the
// templates. Every action reads the file whole and writes it back whole when it changed.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "imageeditor/annotation_object.h"

namespace imageeditor {

// Whose defaults and templates: the running program and the caller's identifier.
struct AnnotationFile {
  std::string path;         // the file
  std::string programPath;  // the full path of the running program
  std::string id;           // the caller's identifier ("" for the workbench)
  std::string DefaultsGroup() const { return programPath + "-" + id + "-defaults"; }
  std::string TemplatePrefix() const { return programPath + "-" + id + "-template_"; }
};
// The file in the per-user application folder, for this program and identifier.
AnnotationFile UserAnnotationFile(const std::string& id);

// A preference file as groups of keys in file order.
struct PreferenceDocument {
  using Keys = std::vector<std::pair<std::string, std::string>>;
  std::vector<std::pair<std::string, Keys>> groups;
  // Group names are found without regard to case; keys likewise.
  Keys* Find(const std::string& group);
  Keys& Get(const std::string& group);  // appended when missing
  void Remove(const std::string& group);
  static std::string Read(const Keys& keys, const std::string& key,
                          const std::string& fallback = "");
  static void Write(Keys& keys, const std::string& key, const std::string& value);
};
// A missing or unreadable file reads as empty.
PreferenceDocument LoadPreferenceDocument(const std::string& path);
// Written whole through a temporary file and a rename; false when that failed.
bool SavePreferenceDocument(const PreferenceDocument& doc, const std::string& path);

// A new object's properties take the stored defaults of its kind; the first object of a
// kind stores its creation defaults. Text keeps its creation value.
void ApplyStoredDefaults(const AnnotationFile& file, AnnotationObject& object);
// "Set as default" and "Reset to default" (false when the kind has no stored defaults).
bool SetAsDefault(const AnnotationFile& file, const AnnotationObject& object);
bool ResetToDefault(const AnnotationFile& file, AnnotationObject& object);

// A template name as stored: blanks trimmed at both ends, " [ ] = |" inside made "_".
std::string TemplateGroupName(std::string name);
// Stores the object under the name (trimmed and made safe); false for an empty name or a
// failed write.
bool StoreTemplate(const AnnotationFile& file, const std::string& name,
                   const AnnotationObject& object);
// Whether the group's keys describe the object (kind, shape and every property).
bool TemplateGroupMatches(const PreferenceDocument::Keys& keys, const AnnotationObject& object);
bool HasMatchingTemplate(const AnnotationFile& file, const AnnotationObject& object);
// Removes every matching template; the number removed.
int RemoveFromTemplates(const AnnotationFile& file, const AnnotationObject& object);
// The templates list's rows: kind number, kind name, template name, text; cells escaped.
std::string TemplateListItems(const AnnotationFile& file);
// A stored template, read back.
struct TemplateRecord {
  int64_t inittype = 0, type = 0;
  bool hasX = false, hasY = false, hasWidth = false, hasHeight = false;
  int64_t x = 0, y = 0, width = 0, height = 0;
  PropertyMap properties;
};
bool ReadTemplate(const AnnotationFile& file, const std::string& name, TemplateRecord& record);

}  // namespace imageeditor
