// Preference files: UTF-8 text of group lines "[name]", key lines "key = value" and
// comment lines beginning with ";". A file is read whole when it is opened, changed in
// memory and written whole (through a temporary file and a rename) when it is flushed or
// closed. One preference file is open at a time; its procedures belong to one thread.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "tolvek/file_write.h"

namespace tolvek {

// Opens an existing regular file; false when it cannot be read, is no regular file (a FIFO is
// not waited for) or is larger than maxBytes when that is not negative (nothing is open then).
bool OpenPreferences(const std::string& path, int64_t maxBytes = -1);
// Starts a new, empty file at path, which replaces any file there when it is written.
// False when the folder does not allow the file (nothing is open then). The file is written
// under options.
bool CreatePreferences(const std::string& path, const WriteOptions& options = {});
// Writes the file when it is new or changed; true when nothing needed writing or the
// write succeeded. The file stays open.
bool FlushPreferenceBuffers();
// Flushes and closes; the result is the flush's.
bool ClosePreferences();

// Makes the named group current ("" = the keys before the first group); true when it
// exists. A missing group is created, at the end of the file, by the next key written.
// Group and key names are compared without regard to letter case.
bool PreferenceGroup(std::string_view name);
// Replaces the key's value (and spelling) in place or appends the key to the current
// group. Line breaks inside a key or value become blanks: the format has no escape.
void WritePreferenceString(std::string_view key, std::string_view value);
std::string ReadPreferenceString(std::string_view key, std::string_view defaultValue = "");

// Lists the groups in file order: ExaminePreferenceGroups, then NextPreferenceGroup until
// it returns false; each true makes that group current and PreferenceGroupName names it.
bool ExaminePreferenceGroups();
bool NextPreferenceGroup();
std::string PreferenceGroupName();

// Lists the current group's keys in file order: ExaminePreferenceKeys (false when no group
// is current, or it is selected but not yet made), then NextPreferenceKey until it returns
// false; each true makes that key current, PreferenceKeyName naming it as spelled and
// PreferenceKeyValue giving its value.
bool ExaminePreferenceKeys();
bool NextPreferenceKey();
std::string PreferenceKeyName();
std::string PreferenceKeyValue();

}  // namespace tolvek
