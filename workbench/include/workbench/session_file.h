// The session file's twenty keys: what each mirrors, what it reads as when missing, and
// the reader and writer of their text. The keys stand before any group of the file; the
// groups (the session's filter rules) and any other lines are carried through untouched.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace workbench {

struct SessionKey {
  const char* name;
  int gadget;
  bool text;           // a text field; else a check box or toggle state
  int8_t loadDefault;  // a state's value when the key is missing on load
  int8_t newValue;     // a state's value in a new session; -1 keeps the current one
};

inline constexpr size_t kSessionKeyCount = 20;
// In the order the keys are written.
extern const std::array<SessionKey, kSessionKeyCount> kSessionKeys;

// Values in key order: texts as they are, states as "0" or "1".
using SessionValues = std::array<std::string, kSessionKeyCount>;
// What the file holds per key; nullopt when the key is missing (or a state is no number).
using StoredSessionKeys = std::array<std::optional<std::string>, kSessionKeyCount>;

// Reads the keys before the first group. Key names are matched without regard to letter
// case and the first line of a key counts, as the preference reader does.
StoredSessionKeys ReadSessionKeys(std::string_view text);
// A missing key takes its load default ("" for texts).
SessionValues SessionValuesOnLoad(const StoredSessionKeys& stored);

// True when a text value reads back as written (no line break in it).
bool StorableSessionText(std::string_view value);
// The file's text with the twenty keys set: each key's first line before the first group
// is replaced, missing keys are added after the last of those lines, in key order. Every
// other line is kept. nullopt when a value cannot be stored.
std::optional<std::string> WriteSessionKeys(std::string_view text, const SessionValues& values);

// The text with source's groups of these names in place of its own: text's groups of the
// names go, and source's follow at the end, in source order, line for line. Keys and other
// groups of text are kept.
std::string WithSessionGroups(std::string_view text, std::string_view source,
                              const std::vector<std::string>& groups);

// ".lv" is appended unless the path already ends with it in any letter case.
std::string NormaliseSessionPath(const std::string& path);

}  // namespace workbench
