#include "tolvek/text_codec.h"

#include "line_scan.h"

#include <cstdint>
#include <cstring>

namespace tolvek {
namespace {

// Windows-1252 from 0x80 to 0x9F; the five undefined bytes keep their C1 code points,
// as the system's own conversion does, so they survive a round trip.
constexpr char16_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  //
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,  //
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  //
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

int AnsiByteOf(char32_t cp) {
  if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) return static_cast<int>(cp);
  for (int i = 0; i < 32; ++i) {
    if (kCp1252High[i] == cp) return 0x80 + i;
  }
  return -1;
}

// Length of the valid UTF-8 sequence at p (1..4), or 0 when it is invalid or cut short.
size_t ValidSequence(const unsigned char* p, size_t avail) {
  unsigned char c = p[0];
  if (c < 0x80) return 1;
  if (c < 0xC2) return 0;
  if (c < 0xE0) return (avail >= 2 && (p[1] & 0xC0) == 0x80) ? 2 : 0;
  if (c < 0xF0) {
    if (avail < 3 || (p[1] & 0xC0) != 0x80 || (p[2] & 0xC0) != 0x80) return 0;
    if (c == 0xE0 && p[1] < 0xA0) return 0;   // overlong
    if (c == 0xED && p[1] >= 0xA0) return 0;  // surrogate
    return 3;
  }
  if (c < 0xF5) {
    if (avail < 4 || (p[1] & 0xC0) != 0x80 || (p[2] & 0xC0) != 0x80 || (p[3] & 0xC0) != 0x80)
      return 0;
    if (c == 0xF0 && p[1] < 0x90) return 0;
    if (c == 0xF4 && p[1] >= 0x90) return 0;
    return 4;
  }
  return 0;
}

// Length of the maximal invalid subpart at p, so each one becomes a single U+FFFD.
size_t InvalidRun(const unsigned char* p, size_t avail) {
  unsigned char c = p[0];
  size_t need = c >= 0xF0 && c < 0xF5 ? 4 : c >= 0xE0 ? 3 : c >= 0xC2 ? 2 : 1;
  size_t i = 1;
  while (i < need && i < avail && (p[i] & 0xC0) == 0x80) {
    if (i == 1) {
      if (c == 0xE0 && p[1] < 0xA0) break;
      if (c == 0xED && p[1] >= 0xA0) break;
      if (c == 0xF0 && p[1] < 0x90) break;
      if (c == 0xF4 && p[1] >= 0x90) break;
    }
    ++i;
  }
  return i;
}

char32_t DecodeValid(const unsigned char* p, size_t len) {
  switch (len) {
    case 1:
      return p[0];
    case 2:
      return ((p[0] & 0x1Fu) << 6) | (p[1] & 0x3Fu);
    case 3:
      return ((p[0] & 0x0Fu) << 12) | ((p[1] & 0x3Fu) << 6) | (p[2] & 0x3Fu);
    default:
      return ((p[0] & 0x07u) << 18) | ((p[1] & 0x3Fu) << 12) | ((p[2] & 0x3Fu) << 6) |
             (p[3] & 0x3Fu);
  }
}

// Bytes before the first non-ASCII byte, eight at a time.
size_t AsciiPrefix(const unsigned char* p, size_t n) {
  size_t i = 0;
  while (i + 8 <= n) {
    uint64_t w;
    std::memcpy(&w, p + i, 8);
    if (w & 0x8080808080808080ull) break;
    i += 8;
  }
  while (i < n && p[i] < 0x80) ++i;
  return i;
}

}  // namespace

void AppendCodePoint(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out.push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else if (cp < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}

// UTF-8 form of every Windows-1252 byte, built once: ANSI logs can be gigabytes long.
struct AnsiTable {
  char bytes[256][3];
  unsigned char length[256];
  AnsiTable() {
    for (int b = 0; b < 256; ++b) {
      std::string utf8;
      AppendCodePoint(utf8, b >= 0x80 && b < 0xA0 ? kCp1252High[b - 0x80] : char32_t(b));
      length[b] = static_cast<unsigned char>(utf8.size());
      std::memcpy(bytes[b], utf8.data(), utf8.size());
    }
  }
};

std::string AnsiToUtf8(std::string_view bytes) {
  static const AnsiTable table;
  const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
  size_t n = bytes.size();
  size_t ascii = AsciiPrefix(p, n);
  if (ascii == n) return std::string(bytes);
  std::string out;
  out.resize(ascii + (n - ascii) * 3);
  std::memcpy(out.data(), bytes.data(), ascii);
  char* w = out.data() + ascii;
  for (size_t i = ascii; i < n; ++i) {
    unsigned char c = p[i];
    if (c < 0x80) {
      *w++ = static_cast<char>(c);
    } else {
      std::memcpy(w, table.bytes[c], 3);
      w += table.length[c];
    }
  }
  out.resize(static_cast<size_t>(w - out.data()));
  return out;
}

std::string Utf8ToAnsi(std::string_view utf8) {
  const auto* p = reinterpret_cast<const unsigned char*>(utf8.data());
  size_t n = utf8.size();
  size_t ascii = AsciiPrefix(p, n);
  if (ascii == n) return std::string(utf8);
  std::string out(utf8.substr(0, ascii));
  for (size_t i = ascii; i < n;) {
    size_t len = ValidSequence(p + i, n - i);
    if (len == 0) {
      out.push_back('?');
      i += InvalidRun(p + i, n - i);
      continue;
    }
    int b = AnsiByteOf(DecodeValid(p + i, len));
    out.push_back(b < 0 ? '?' : static_cast<char>(b));
    i += len;
  }
  return out;
}

std::string Utf16LeToUtf8(const void* data, size_t units) {
  const auto* p = static_cast<const unsigned char*>(data);
  std::string out;
  out.reserve(units);
  for (size_t i = 0; i < units; ++i) {
    char32_t u = p[2 * i] | (p[2 * i + 1] << 8);
    if (u >= 0xD800 && u <= 0xDBFF && i + 1 < units) {
      char32_t lo = p[2 * i + 2] | (p[2 * i + 3] << 8);
      if (lo >= 0xDC00 && lo <= 0xDFFF) {
        AppendCodePoint(out, 0x10000 + ((u - 0xD800) << 10) + (lo - 0xDC00));
        ++i;
        continue;
      }
    }
    if (u >= 0xD800 && u <= 0xDFFF) u = 0xFFFD;
    AppendCodePoint(out, u);
  }
  return out;
}

std::string Utf8ToUtf16Le(std::string_view utf8) {
  const auto* p = reinterpret_cast<const unsigned char*>(utf8.data());
  size_t n = utf8.size();
  std::string out;
  out.reserve(n * 2);
  auto unit = [&out](char32_t u) {
    out.push_back(static_cast<char>(u & 0xFF));
    out.push_back(static_cast<char>(u >> 8));
  };
  for (size_t i = 0; i < n;) {
    size_t len = ValidSequence(p + i, n - i);
    if (len == 0) {
      unit(0xFFFD);
      i += InvalidRun(p + i, n - i);
      continue;
    }
    char32_t cp = DecodeValid(p + i, len);
    i += len;
    if (cp >= 0x10000) {
      cp -= 0x10000;
      unit(0xD800 + (cp >> 10));
      unit(0xDC00 + (cp & 0x3FF));
    } else {
      unit(cp);
    }
  }
  return out;
}

bool IsValidUtf8(std::string_view text) {
  const auto* p = reinterpret_cast<const unsigned char*>(text.data());
  size_t n = text.size();
  // Whole logs are checked: the vector forms take 16 or 32 bytes per step.
#if TOLVEK_LINE_SCAN_X86
  if (detail::HasAvx2()) return detail::utf8_check::IsValidAvx2(p, n);
  if (detail::HasSsse3()) return detail::utf8_check::IsValidSsse3(p, n);
#endif
  size_t i = AsciiPrefix(p, n);
  while (i < n) {
    if (p[i] < 0x80) {
      i += 1 + AsciiPrefix(p + i + 1, n - i - 1);
      continue;
    }
    size_t len = ValidSequence(p + i, n - i);
    if (len == 0) return false;
    i += len;
  }
  return true;
}

void AppendSanitizedUtf8(std::string& out, std::string_view text) {
  const auto* p = reinterpret_cast<const unsigned char*>(text.data());
  size_t n = text.size();
  size_t i = 0;
  while (i < n) {
    size_t run = i + AsciiPrefix(p + i, n - i);
    // Copy the valid stretch from i in one go.
    size_t j = run;
    while (j < n) {
      if (p[j] < 0x80) {
        j += 1 + AsciiPrefix(p + j + 1, n - j - 1);
        continue;
      }
      size_t len = ValidSequence(p + j, n - j);
      if (len == 0) break;
      j += len;
    }
    out.append(text.data() + i, j - i);
    if (j >= n) break;
    out.append("\xEF\xBF\xBD");
    i = j + InvalidRun(p + j, n - j);
  }
}

std::string SanitizeUtf8(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  AppendSanitizedUtf8(out, text);
  return out;
}

size_t CountCodePoints(std::string_view utf8) {
  size_t count = 0;
  for (unsigned char c : utf8) count += (c & 0xC0) != 0x80;
  return count;
}

size_t Utf16Length(std::string_view utf8) {
  size_t count = 0;
  for (unsigned char c : utf8) count += ((c & 0xC0) != 0x80) + (c >= 0xF0);
  return count;
}

}  // namespace tolvek
