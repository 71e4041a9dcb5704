#include "tolvek/memory_string.h"

#include <cstring>
#include <mutex>
#include <unordered_map>

#include "line_scan.h"
#include "tolvek/callstack.h"
#include "tolvek/memory.h"
#include "tolvek/text_codec.h"

namespace tolvek {
namespace {

struct Entry {
  int64_t size = 0;
  int64_t pos = 0;
  int format = 0;
};

// Keyed by the block's address. Readers ask for the same block line after line, so the
// last entry found is kept at hand (map nodes do not move when the table grows).
struct Registry {
  std::recursive_mutex mutex;
  std::unordered_map<const void*, Entry> entries;
  const void* lastKey = nullptr;
  Entry* lastEntry = nullptr;

  Entry* Find(const void* key) {
    if (key == lastKey && lastEntry) return lastEntry;
    auto it = entries.find(key);
    if (it == entries.end()) return nullptr;
    lastKey = key;
    lastEntry = &it->second;
    return lastEntry;
  }
  void Erase(const void* key) {
    if (key == lastKey) lastEntry = nullptr;
    entries.erase(key);
  }
};

// Never destroyed: a finalizer or another thread may still read a block while the
// process ends.
Registry& MemoryStrings() {
  static Registry* registry = new Registry;
  return *registry;
}

// The terminator of the thread's last line; plain bytes, so no per-thread destructor.
struct EndMarker {
  char text[2];
  unsigned char length;
};
thread_local EndMarker tEndMarker{};

int64_t ResolveSize(const void* memory, int64_t size) {
  if (size == kMemoryStringDefault) return MemorySize(memory);
  return size < 0 ? 0 : size;
}

// Bytes a UTF-8 unit starting with this byte spans: one plus its bits 0x40, 0x20, 0x10.
size_t Utf8UnitLength(unsigned char c) {
  if (c < 0x80) return 1;
  return 1 + ((c >> 6) & 1) + ((c >> 5) & 1) + ((c >> 4) & 1);
}

// Length of the text that ends with complete UTF-8 units, when n bytes are all there is.
// A byte below 0x80 is never taken as a continuation byte, so units can only run together
// within the final stretch of high bytes; the walk starts where that stretch starts.
size_t CompleteUtf8Length(const unsigned char* p, size_t n) {
  size_t j = n;
  while (j > 0 && p[j - 1] >= 0x80) --j;
  while (j < n) {
    size_t len = Utf8UnitLength(p[j]);
    if (len > n - j) return j;
    j += len;
  }
  return n;
}

// The line's bytes as UTF-8, cut at the first zero byte.
std::string DecodeBytes(const unsigned char* p, size_t n, bool plain, bool utf8) {
  const char* s = reinterpret_cast<const char*>(p);
  if (plain) return std::string(s, n);
  if (const void* zero = std::memchr(p, 0, n)) {
    n = static_cast<size_t>(static_cast<const unsigned char*>(zero) - p);
  }
  if (!utf8) return AnsiToUtf8(std::string_view(s, n));
  if (detail::IsValidUtf8Bytes(p, n)) return std::string(s, n);
  std::string out;
  out.reserve(n);
  AppendSanitizedUtf8(out, std::string_view(s, n));
  return out;
}

std::string DecodeUnits(const unsigned char* p, size_t units) {
  for (size_t i = 0; i < units; ++i) {
    if (p[2 * i] == 0 && p[2 * i + 1] == 0) {
      units = i;
      break;
    }
  }
  return Utf16LeToUtf8(p, units);
}

void SetEndMarker(unsigned char first, unsigned char second) {
  tEndMarker.text[0] = static_cast<char>(first);
  tEndMarker.text[1] = static_cast<char>(second);
  tEndMarker.length = second ? 2 : 1;
}

// Reads one line of a byte-unit block (UTF-8 or ANSI) from p[0, n); consumed receives
// the bytes to step over, terminator included.
std::string ReadByteLine(const unsigned char* p, size_t n, bool utf8, size_t& consumed) {
  bool plain = true;
  size_t end = detail::FindLineBreak(p, n, plain);
  if (end == n) {
    consumed = n;
    if (utf8 && !plain && p[n - 1] >= 0x80) end = CompleteUtf8Length(p, n);
    return DecodeBytes(p, end, plain, utf8);
  }
  unsigned char first = p[end];
  unsigned char second = 0;
  consumed = end + 1;
  if (consumed < n && detail::IsLineBreak(p[consumed]) && p[consumed] != first)
    second = p[consumed++];
  SetEndMarker(first, second);
  // What follows the last terminator may be one incomplete sequence and nothing else: it
  // would read as one more, empty line, so it is stepped over with this one.
  size_t rest = n - consumed;
  if (utf8 && rest > 0 && rest < 4 && CompleteUtf8Length(p + consumed, rest) == 0) consumed = n;
  return DecodeBytes(p, end, plain, utf8);
}

std::string ReadUnitLine(const unsigned char* p, size_t n, size_t& consumed) {
  size_t units = n / 2;
  size_t end = detail::FindLineBreak16(p, units);
  if (end == units) {
    consumed = n;  // an odd last byte is half a unit: not text
    return DecodeUnits(p, units);
  }
  unsigned char first = p[2 * end];
  unsigned char second = 0;
  consumed = 2 * (end + 1);
  if (end + 1 < units && p[consumed + 1] == 0 && detail::IsLineBreak(p[consumed]) &&
      p[consumed] != first) {
    second = p[consumed];
    consumed += 2;
  }
  SetEndMarker(first, second);
  if (n - consumed == 1) consumed = n;
  return DecodeUnits(p, end);
}

bool IsPcreSpace(unsigned char c) {
  return c == ' ' || (c >= '\t' && c <= '\r');
}

unsigned char LowerAscii(unsigned char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<unsigned char>(c + ('a' - 'A')) : c;
}

// word is lower case.
bool MatchesCaseless(const unsigned char* p, std::string_view word) {
  for (size_t i = 0; i < word.size(); ++i) {
    if (LowerAscii(p[i]) != static_cast<unsigned char>(word[i])) return false;
  }
  return true;
}

bool EndsWithCaseless(const unsigned char* begin, const unsigned char* end, std::string_view word) {
  return static_cast<size_t>(end - begin) >= word.size() &&
         MatchesCaseless(end - word.size(), word);
}

}  // namespace

bool DeclaresUtf8Charset(const void* data, size_t size) {
  TOLVEK_TRACE("DeclaresUtf8Charset");
  const auto* begin = static_cast<const unsigned char*>(data);
  if (!begin) return false;
  if (const void* zero = std::memchr(begin, 0, size)) {
    size = static_cast<size_t>(static_cast<const unsigned char*>(zero) - begin);
  }
  const unsigned char* end = begin + size;
  // Every declaration has an "=" at its heart, and "=" is rare in bulk text: look around
  // each one rather than matching a pattern at every byte.
  for (const unsigned char* eq = begin; eq < end; ++eq) {
    eq = static_cast<const unsigned char*>(std::memchr(eq, '=', static_cast<size_t>(end - eq)));
    if (!eq) break;
    const unsigned char* name = eq;
    while (name > begin && IsPcreSpace(name[-1])) --name;
    if (!EndsWithCaseless(begin, name, "charset") && !EndsWithCaseless(begin, name, "encoding")) {
      continue;
    }
    const unsigned char* value = eq + 1;
    while (value < end && IsPcreSpace(*value)) ++value;
    if (value < end && *value == '"') ++value;
    if (end - value >= 5 && MatchesCaseless(value, "utf-8")) return true;
  }
  return false;
}

int DetectStringFormat4MemoryString(const void* memory, int64_t size) {
  TOLVEK_TRACE("DetectStringFormat4MemoryString");
  int64_t n = memory ? ResolveSize(memory, size) : 0;
  if (n < 2) return kFormatUtf16;
  const auto* p = static_cast<const unsigned char*>(memory);
  if (n >= 3 && p[0] == 0xEF && p[1] == 0xBB && p[2] == 0xBF) return kFormatUtf8;
  if (p[0] == 0xFF && p[1] == 0xFE) return kFormatUtf16;
  const auto count = static_cast<size_t>(n);
  const void* zero = std::memchr(p, 0, count);
  if (zero) {
    size_t after = static_cast<size_t>(static_cast<const unsigned char*>(zero) - p) + 1;
    if (std::memchr(p + after, 0, count - after)) return kFormatUtf16;
  }
  return DeclaresUtf8Charset(p, count) ? kFormatUtf8 : kFormatAnsi;
}

bool OpenMemoryString(const void* memory, int64_t size, int format) {
  TOLVEK_TRACE("OpenMemoryString");
  if (!memory) return false;
  Registry& registry = MemoryStrings();
  std::lock_guard<std::recursive_mutex> lock(registry.mutex);
  Entry entry;
  entry.size = ResolveSize(memory, size);
  int64_t skip = 0;
  if (format != kMemoryStringDefault) {
    entry.format = format;  // the caller knows: a byte-order mark is text then
  } else {
    entry.format = DetectStringFormat4MemoryString(memory, entry.size);
    struct Mark {
      unsigned char bytes[4];
      int length;
      int format;  // 0: keep the detected one
    };
    static constexpr Mark kMarks[] = {
        {{0xEF, 0xBB, 0xBF}, 3, kFormatUtf8}, {{0xFE, 0xFF}, 2, 0},
        {{0x00, 0x00, 0xFE, 0xFF}, 4, 0},     {{0xFF, 0xFE, 0x00, 0x00}, 4, 0},
        {{0xFF, 0xFE}, 2, kFormatUtf16},      {{0x2B, 0x2F, 0x76, 0x38}, 4, 0},
        {{0x2B, 0x2F, 0x76, 0x39}, 4, 0},     {{0x2B, 0x2F, 0x76, 0x2B}, 4, 0},
        {{0x2B, 0x2F, 0x76, 0x2F}, 4, 0},     {{0xF7, 0x64, 0x4C}, 3, 0},
        {{0xDD, 0x73, 0x66, 0x73}, 4, 0},     {{0x0E, 0xFE, 0xFF}, 3, 0},
        {{0xFB, 0xEE, 0x28}, 3, 0},           {{0x84, 0x31, 0x95, 0x33}, 4, 0},
    };
    for (const Mark& mark : kMarks) {
      if (entry.size >= mark.length && std::memcmp(memory, mark.bytes, mark.length) == 0) {
        skip = mark.length;
        if (mark.format) entry.format = mark.format;
        break;
      }
    }
  }
  entry.pos = skip;
  registry.entries.insert_or_assign(memory, entry);
  return true;
}

std::string ReadMemoryString(const void* memory) {
  TOLVEK_TRACE("ReadMemoryString");
  Registry& registry = MemoryStrings();
  std::lock_guard<std::recursive_mutex> lock(registry.mutex);
  tEndMarker.length = 0;
  Entry* entry = registry.Find(memory);
  if (!entry || entry->pos >= entry->size) return {};
  const auto* p = static_cast<const unsigned char*>(memory) + entry->pos;
  const auto n = static_cast<size_t>(entry->size - entry->pos);
  size_t consumed = 0;
  std::string line = entry->format == kFormatUtf16
                         ? ReadUnitLine(p, n, consumed)
                         : ReadByteLine(p, n, entry->format == kFormatUtf8, consumed);
  entry->pos += static_cast<int64_t>(consumed);
  return line;
}

bool EOM(const void* memory) {
  TOLVEK_TRACE("EOM");
  Registry& registry = MemoryStrings();
  std::lock_guard<std::recursive_mutex> lock(registry.mutex);
  const Entry* entry = registry.Find(memory);
  return !entry || entry->pos >= entry->size;
}

int64_t MemoryStringLoc(const void* memory) {
  TOLVEK_TRACE("MemoryStringLoc");
  Registry& registry = MemoryStrings();
  std::lock_guard<std::recursive_mutex> lock(registry.mutex);
  const Entry* entry = registry.Find(memory);
  return entry ? entry->pos : 0;
}

void CloseMemoryString(const void* memory) {
  TOLVEK_TRACE("CloseMemoryString");
  Registry& registry = MemoryStrings();
  std::lock_guard<std::recursive_mutex> lock(registry.mutex);
  registry.Erase(memory);
}

void detail::LimitLineScan(int level) {
  gLineScanLimit.store(level);
}

std::string ReadMemoryStringEndMarker() {
  TOLVEK_TRACE("ReadMemoryStringEndMarker");
  return std::string(tEndMarker.text, tEndMarker.length);
}

}  // namespace tolvek
