#include "tolvek/text_utils.h"

#include <cmath>
#include <cstring>
#include <utility>

#include "tolvek/callstack.h"
#include "tolvek/memory.h"
#include "tolvek/text_codec.h"

namespace tolvek {
namespace {

// Style strings and colour pictures are handled per character (code point), not per byte.
std::u32string Decode(std::string_view text) {
  std::u32string out;
  std::string valid = SanitizeUtf8(text);
  const auto* p = reinterpret_cast<const unsigned char*>(valid.data());
  size_t n = valid.size();
  for (size_t i = 0; i < n;) {
    unsigned char c = p[i];
    int len = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
    char32_t cp = len == 1 ? c : len == 2 ? c & 0x1F : len == 3 ? c & 0x0F : c & 0x07;
    for (int k = 1; k < len; ++k) cp = (cp << 6) | (p[i + k] & 0x3F);
    out.push_back(cp);
    i += len;
  }
  return out;
}

std::string Encode(const std::u32string& text) {
  std::string out;
  out.reserve(text.size());
  for (char32_t cp : text) AppendCodePoint(out, cp);
  return out;
}

std::string Lower(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return out;
}

void RemoveAll(std::string& text, char c) {
  std::erase(text, c);
}

// The i-th field (from 1) of text split at sep; "" past the end.
std::string_view Field(std::string_view text, size_t index, char sep) {
  size_t start = 0;
  for (size_t i = 1; i < index; ++i) {
    size_t pos = text.find(sep, start);
    if (pos == std::string_view::npos) return {};
    start = pos + 1;
  }
  size_t end = text.find(sep, start);
  return text.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start);
}

}  // namespace

// Built into a new string: one pass however many matches, and no in-place replace, whose
// inlined copies GCC 12 misreads as overlapping.
std::string ReplaceAll(std::string_view text, std::string_view from, std::string_view to) {
  if (from.empty()) return std::string(text);
  std::string out;
  out.reserve(text.size());
  size_t done = 0;
  for (size_t pos; (pos = text.find(from, done)) != std::string_view::npos;
       done = pos + from.size()) {
    out.append(text.substr(done, pos - done)).append(to);
  }
  out.append(text.substr(done));
  return out;
}

std::string_view TrimBlanks(std::string_view text, std::string_view blanks) {
  size_t first = text.find_first_not_of(blanks);
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}

bool StartsWith(std::string_view text, std::string_view prefix) {
  TOLVEK_TRACE("StartsWith");
  return text.substr(0, prefix.size()) == prefix;
}

std::string TranslateString(std::string_view value, std::string_view pattern,
                            std::string_view target, bool group) {
  TOLVEK_TRACE("TranslateString");
  std::u32string v = Decode(value);
  std::u32string p = Decode(pattern);
  std::u32string t = Decode(target);
  size_t length = t.size();
  for (size_t i = 0; i < length; ++i) {
    char32_t c = t[i];
    if (c == U' ') continue;
    size_t j = i;
    if (group) {
      while (j + 1 < length && t[j + 1] == c) ++j;
    }
    size_t at = p.find(c);
    if (at != std::u32string::npos) {
      // A run longer than what value still has keeps its own characters for the rest.
      for (size_t k = 0; k <= j - i && at + k < v.size(); ++k) t[i + k] = v[at + k];
    }
    i = j;
  }
  return Encode(t);
}

void CssStyleParser(std::string_view style, std::vector<CssStyle>& list, bool removeSpaces) {
  TOLVEK_TRACE("CssStyleParser");
  std::string text(style);
  if (removeSpaces) RemoveAll(text, ' ');
  list.clear();
  if (size_t open = text.find('{'); open != std::string::npos) text.erase(0, open + 1);
  if (size_t close = text.find('}'); close != std::string::npos) text.resize(close);
  while (text.find("; ") != std::string::npos || text.find(" ;") != std::string::npos) {
    text = ReplaceAll(text, "; ", ";");
    text = ReplaceAll(text, " ;", ";");
  }
  RemoveAll(text, '\t');
  text = ReplaceAll(text, "\n", ";");
  text = ReplaceAll(text, "\r", ";");
  while (text.find(";;") != std::string::npos) text = ReplaceAll(text, ";;", ";");

  for (size_t i = 1;; ++i) {
    std::string_view field = Field(text, i, ';');
    if (field.empty()) break;
    CssStyle entry;
    size_t colon = field.find(':');
    entry.name = Lower(field.substr(0, colon));
    if (colon != std::string_view::npos) {
      std::string_view rest = field.substr(colon + 1);
      entry.value = Lower(rest.substr(0, rest.find(':')));
    }
    if (StartsWith(entry.value, "#bgr#")) {
      entry.value = TranslateString(entry.value, "#bgr#BBGGRR", "#RRGGBB", true);
    } else if (StartsWith(entry.value, "#rgb#")) {
      entry.value = TranslateString(entry.value, "#rgb#RRGGBB", "#RRGGBB", true);
    } else if (StartsWith(entry.value, "$")) {
      entry.value = TranslateString(entry.value, "$BBGGRR", "#RRGGBB", true);
    }
    list.push_back(std::move(entry));
  }
}

int64_t MaxI(int64_t a, int64_t b) {
  TOLVEK_TRACE("MaxI");
  return a > b ? a : b;
}

double MaxD(double a, double b) {
  TOLVEK_TRACE("MaxD");
  if (b < a || std::isnan(a) || std::isnan(b)) return a;
  return b;
}

void* ToAscii(std::string_view text) {
  TOLVEK_TRACE("ToAscii");
  std::string ansi = Utf8ToAnsi(text);
  auto* block = static_cast<char*>(AllocateMemoryWithCheck(static_cast<int64_t>(ansi.size()) + 1));
  std::memcpy(block, ansi.data(), ansi.size());
  return block;
}

int64_t FindCharacterInMemory(const void* memory, uint16_t character, bool returnPointer) {
  TOLVEK_TRACE("FindCharacterInMemory");
  const auto* p = static_cast<const unsigned char*>(memory);
  int64_t size = MemorySize(memory);
  for (int64_t off = 0; off + 2 <= size; off += 2) {
    if ((p[off] | (p[off + 1] << 8)) == character) {
      return returnPointer ? static_cast<int64_t>(reinterpret_cast<intptr_t>(p + off)) : off;
    }
  }
  return -1;
}

}  // namespace tolvek
