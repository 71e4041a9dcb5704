// Text storage and small text procedures shared by the converter's phases.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "tolvek/text_utils.h"

namespace evtweave {

// Append-only storage for texts that the phases create (rewritten fields, joined records).
// Views into it stay valid until Clear, so rows can hold views instead of strings.
class TextArena {
 public:
  std::string_view Store(std::string_view text);
  // Takes over other's texts; views into them stay valid.
  void Adopt(TextArena&& other);
  void Clear();

 private:
  static constexpr size_t kChunkSize = 1 << 20;
  std::vector<std::unique_ptr<char[]>> m_chunks;
  size_t m_used = kChunkSize;
  size_t m_capacity = kChunkSize;
};

// The whole log as UTF-8: text it owns, or the file's own bytes mapped read-only when they
// are UTF-8 already, so a log of gigabytes is neither copied nor held twice.
class LogText {
 public:
  LogText() = default;
  LogText(LogText&& other) noexcept { *this = std::move(other); }
  LogText& operator=(LogText&& other) noexcept;
  LogText& operator=(std::string text);
  ~LogText() { Release(); }

  // Maps the regular file open at fd, of size bytes (more than zero); false when it cannot
  // be mapped, and the caller reads the file instead.
  bool MapFile(int fd, size_t size);
  // Drops the first count bytes (a byte-order mark).
  void SkipPrefix(size_t count) { m_view.remove_prefix(count); }
  // Every byte as it came, a skipped prefix included.
  std::string_view Whole() const;
  // The bytes are taken for UTF-8 before anything has checked them; the reader checks them
  // as it goes.
  void MarkUnchecked() { m_unchecked = true; }
  bool Unchecked() const { return m_unchecked; }
  std::string_view View() const { return m_view; }
  operator std::string_view() const { return m_view; }
  size_t size() const { return m_view.size(); }

 private:
  void Release();

  std::string m_owned;
  void* m_mapping = nullptr;
  size_t m_mappedSize = 0;
  std::string_view m_view;
  bool m_unchecked = false;
};

// Transparent hashing, so maps keyed by std::string can be searched with a view.
struct TextHash {
  using is_transparent = void;
  size_t operator()(std::string_view text) const { return std::hash<std::string_view>{}(text); }
};
template <class Value>
using TextMap = std::unordered_map<std::string, Value, TextHash, std::equal_to<>>;

// Few distinct texts met many times (process names, operations, results) become numbers.
class TextInterner {
 public:
  TextInterner();
  uint32_t Intern(std::string_view text);  // text must outlive the interner (or be stored)
  std::string_view Text(uint32_t id) const { return m_texts[id]; }
  // Id of text, or kNone.
  uint32_t Find(std::string_view text) const;
  size_t size() const { return m_texts.size(); }
  void Clear();
  static constexpr uint32_t kNone = 0xFFFFFFFF;

 private:
  std::unordered_map<std::string_view, uint32_t> m_ids;
  std::vector<std::string_view> m_texts;
};

// Lower case as the log's paths need it: ASCII, Latin-1, Latin Extended-A, Greek and
// Cyrillic letters; everything else is kept as it is.
std::string LowerCase(std::string_view text);
void LowerCaseInto(std::string_view text, std::string& out);
std::string AsciiLowerCase(std::string_view text);

// Text from the 1-based position start on, at most length characters (bytes); empty when
// start lies past the end, so cutting past a short field never fails.
std::string_view Mid(std::string_view text, size_t start, size_t length = std::string_view::npos);
// Text before the first occurrence of separator (the whole text when it has none).
std::string_view BeforeFirst(std::string_view text, std::string_view separator);
// Field number index (1-based) of text split at separator; empty when there are fewer.
std::string_view SplitField(std::string_view text, char separator, size_t index);
std::string_view TrimBlanks(std::string_view text);
bool Contains(std::string_view text, std::string_view part);
using tolvek::ReplaceAll;

}  // namespace evtweave
