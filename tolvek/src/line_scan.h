// Byte scanning for line reading: finding line breaks and validating UTF-8 in bulk.
// Logs of several gigabytes are read line by line, so the per-byte work is done 16 or 32
// bytes at a time; the wider forms are chosen at run time from what the processor offers.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstring>
#include <string_view>

#if defined(__x86_64__) || defined(__i386__)
#define TOLVEK_LINE_SCAN_X86 1
#include <immintrin.h>
#else
#define TOLVEK_LINE_SCAN_X86 0
#endif

#include "tolvek/text_codec.h"

namespace tolvek::detail {

inline bool IsLineBreak(unsigned char c) {
  return c == '\r' || c == '\n';
}

// The widest instructions the scanner may use: 2 = AVX2, 1 = SSSE3, 0 = SSE2 and plain
// code (lowered by tests to reach every path on any machine).
inline std::atomic<int> gLineScanLimit{2};

#if TOLVEK_LINE_SCAN_X86
inline bool HasAvx2() {
  static const bool has = [] {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2") != 0;
  }();
  return has && gLineScanLimit.load(std::memory_order_relaxed) >= 2;
}

inline bool HasSsse3() {
  static const bool has = [] {
    __builtin_cpu_init();
    return __builtin_cpu_supports("ssse3") != 0;
  }();
  return has && gLineScanLimit.load(std::memory_order_relaxed) >= 1;
}

// From i on, 32 bytes at a time; returns the break's offset, or the offset where fewer
// than 32 bytes are left (found false). special collects the high bits of bytes from 0x80
// up and of zero bytes.
__attribute__((target("avx2"))) inline size_t FindLineBreakAvx2(const unsigned char* p, size_t n,
                                                                unsigned& special, bool& found) {
  const __m256i cr = _mm256_set1_epi8('\r');
  const __m256i lf = _mm256_set1_epi8('\n');
  const __m256i zero = _mm256_setzero_si256();
  size_t i = 0;
  for (; i + 32 <= n; i += 32) {
    __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + i));
    auto breaks = static_cast<unsigned>(
        _mm256_movemask_epi8(_mm256_or_si256(_mm256_cmpeq_epi8(v, cr), _mm256_cmpeq_epi8(v, lf))));
    auto odd =
        static_cast<unsigned>(_mm256_movemask_epi8(_mm256_or_si256(v, _mm256_cmpeq_epi8(v, zero))));
    if (breaks) {
      unsigned at = static_cast<unsigned>(__builtin_ctz(breaks));
      special |= odd & ((1u << at) - 1);
      found = true;
      return i + at;
    }
    special |= odd;
  }
  found = false;
  return i;
}
#endif

// Offset of the first CR or LF, or n. plain tells whether every byte before it is ASCII
// and not zero, so the line can be taken as it stands.
inline size_t FindLineBreak(const unsigned char* p, size_t n, bool& plain) {
  unsigned special = 0;
  size_t i = 0;
#if TOLVEK_LINE_SCAN_X86
  if (n >= 32 && HasAvx2()) {
    bool found = false;
    i = FindLineBreakAvx2(p, n, special, found);
    if (found) {
      plain = special == 0;
      return i;
    }
  }
#endif
#if defined(__SSE2__)
  const __m128i cr = _mm_set1_epi8('\r');
  const __m128i lf = _mm_set1_epi8('\n');
  const __m128i zero = _mm_setzero_si128();
  for (; i + 16 <= n; i += 16) {
    __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
    auto breaks = static_cast<unsigned>(
        _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(v, cr), _mm_cmpeq_epi8(v, lf))));
    auto odd = static_cast<unsigned>(_mm_movemask_epi8(_mm_or_si128(v, _mm_cmpeq_epi8(v, zero))));
    if (breaks) {
      unsigned at = static_cast<unsigned>(__builtin_ctz(breaks));
      special |= odd & ((1u << at) - 1);
      plain = special == 0;
      return i + at;
    }
    special |= odd;
  }
#endif
  for (; i < n; ++i) {
    unsigned char c = p[i];
    if (IsLineBreak(c)) break;
    special |= c == 0 || c >= 0x80;
  }
  plain = special == 0;
  return i;
}

// Unit index of the first CR or LF unit among `units` UTF-16LE units, or units.
inline size_t FindLineBreak16(const unsigned char* p, size_t units) {
  size_t i = 0;
#if defined(__SSE2__)
  const __m128i cr = _mm_set1_epi16('\r');
  const __m128i lf = _mm_set1_epi16('\n');
  for (; i + 8 <= units; i += 8) {
    __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 2 * i));
    int m = _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi16(v, cr), _mm_cmpeq_epi16(v, lf)));
    if (m) return i + static_cast<size_t>(__builtin_ctz(static_cast<unsigned>(m))) / 2;
  }
#endif
  for (; i < units; ++i) {
    if (p[2 * i + 1] == 0 && IsLineBreak(p[2 * i])) return i;
  }
  return units;
}

#if TOLVEK_LINE_SCAN_X86
// UTF-8 validation by table look-ups on the nibbles of each byte and its predecessor, after
// Keiser and Lemire, "Validating UTF-8 in less than one instruction per byte" (2021): lines
// in other scripts would otherwise cost a branch per character. Each look-up gives the set
// of errors a byte pair may belong to; the pair is wrong where all three sets share one.
namespace utf8_check {

constexpr char kTooShort = 1 << 0;  // a lead byte not followed by a continuation byte
constexpr char kTooLong = 1 << 1;   // a continuation byte after ASCII
constexpr char kOverlong3 = 1 << 2;
constexpr char kTooLarge = 1 << 3;
constexpr char kSurrogate = 1 << 4;
constexpr char kOverlong2 = 1 << 5;
constexpr char kTooLarge1000 = 1 << 6;
constexpr char kOverlong4 = 1 << 6;
constexpr char kTwoConts = static_cast<char>(1 << 7);  // fine only inside 3- and 4-byte forms
constexpr char kCarry = kTooShort | kTooLong | kTwoConts;
constexpr char kLarge = kCarry | kTooLarge | kTooLarge1000;
constexpr char kCont = kTooLong | kOverlong2 | kTwoConts;

// Indexed by the high nibble of the first byte of a pair.
#define TOLVEK_UTF8_BYTE1_HIGH                                                               \
  kTooLong, kTooLong, kTooLong, kTooLong, kTooLong, kTooLong, kTooLong, kTooLong, kTwoConts, \
      kTwoConts, kTwoConts, kTwoConts, kTooShort | kOverlong2, kTooShort,                    \
      kTooShort | kOverlong3 | kSurrogate, kTooShort | kTooLarge | kTooLarge1000 | kOverlong4
// Indexed by the low nibble of the first byte.
#define TOLVEK_UTF8_BYTE1_LOW                                                             \
  kCarry | kOverlong3 | kOverlong2 | kOverlong4, kCarry | kOverlong2, kCarry, kCarry,     \
      kCarry | kTooLarge, kLarge, kLarge, kLarge, kLarge, kLarge, kLarge, kLarge, kLarge, \
      kLarge | kSurrogate, kLarge, kLarge
// Indexed by the high nibble of the second byte.
#define TOLVEK_UTF8_BYTE2_HIGH                                                              \
  kTooShort, kTooShort, kTooShort, kTooShort, kTooShort, kTooShort, kTooShort, kTooShort,   \
      kCont | kOverlong3 | kTooLarge1000 | kOverlong4, kCont | kOverlong3 | kTooLarge,      \
      kCont | kSurrogate | kTooLarge, kCont | kSurrogate | kTooLarge, kTooShort, kTooShort, \
      kTooShort, kTooShort
// A block that ends in bytes above these leaves a sequence open: the last byte from 0xC0,
// the one before from 0xE0, the one before that from 0xF0.
#define TOLVEK_UTF8_OPEN_AT_END \
  static_cast<char>(0xEF), static_cast<char>(0xDF), static_cast<char>(0xBF)

struct State128 {
  __m128i prev = _mm_setzero_si128();
  __m128i error = _mm_setzero_si128();
  __m128i open = _mm_setzero_si128();
};

__attribute__((target("ssse3"))) inline void Check(State128& s, __m128i in) {
  if (_mm_movemask_epi8(in) == 0) {
    s.error = _mm_or_si128(s.error, s.open);
    s.open = _mm_setzero_si128();
    s.prev = in;
    return;
  }
  const __m128i byte1High = _mm_setr_epi8(TOLVEK_UTF8_BYTE1_HIGH);
  const __m128i byte1Low = _mm_setr_epi8(TOLVEK_UTF8_BYTE1_LOW);
  const __m128i byte2High = _mm_setr_epi8(TOLVEK_UTF8_BYTE2_HIGH);
  const __m128i openAtEnd =
      _mm_setr_epi8(-1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, TOLVEK_UTF8_OPEN_AT_END);
  const __m128i nibble = _mm_set1_epi8(0x0F);
  __m128i prev1 = _mm_alignr_epi8(in, s.prev, 15);
  __m128i special = _mm_and_si128(
      _mm_and_si128(_mm_shuffle_epi8(byte1High, _mm_and_si128(_mm_srli_epi16(prev1, 4), nibble)),
                    _mm_shuffle_epi8(byte1Low, _mm_and_si128(prev1, nibble))),
      _mm_shuffle_epi8(byte2High, _mm_and_si128(_mm_srli_epi16(in, 4), nibble)));
  // Where two continuation bytes meet, a three- or four-byte lead must stand before them.
  __m128i third = _mm_subs_epu8(_mm_alignr_epi8(in, s.prev, 14), _mm_set1_epi8(0x60));
  __m128i fourth = _mm_subs_epu8(_mm_alignr_epi8(in, s.prev, 13), _mm_set1_epi8(0x70));
  __m128i must = _mm_and_si128(_mm_or_si128(third, fourth), _mm_set1_epi8(-128));
  s.error = _mm_or_si128(s.error, _mm_xor_si128(must, special));
  s.open = _mm_subs_epu8(in, openAtEnd);
  s.prev = in;
}

__attribute__((target("ssse3"))) inline bool IsValidSsse3(const unsigned char* p, size_t n) {
  State128 s;
  size_t i = 0;
  for (; i + 16 <= n; i += 16) Check(s, _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i)));
  if (i < n) {
    // Zeros after the end read as ASCII, so a sequence cut short there is an error.
    alignas(16) unsigned char tail[16] = {};
    std::memcpy(tail, p + i, n - i);
    Check(s, _mm_load_si128(reinterpret_cast<const __m128i*>(tail)));
  }
  __m128i error = _mm_or_si128(s.error, s.open);
  return _mm_movemask_epi8(_mm_cmpeq_epi8(error, _mm_setzero_si128())) == 0xFFFF;
}

struct State256 {
  __m256i prev;
  __m256i error;
  __m256i open;
};

__attribute__((target("avx2"))) inline void Check(State256& s, __m256i in) {
  if (_mm256_movemask_epi8(in) == 0) {
    s.error = _mm256_or_si256(s.error, s.open);
    s.open = _mm256_setzero_si256();
    s.prev = in;
    return;
  }
  const __m256i byte1High = _mm256_setr_epi8(TOLVEK_UTF8_BYTE1_HIGH, TOLVEK_UTF8_BYTE1_HIGH);
  const __m256i byte1Low = _mm256_setr_epi8(TOLVEK_UTF8_BYTE1_LOW, TOLVEK_UTF8_BYTE1_LOW);
  const __m256i byte2High = _mm256_setr_epi8(TOLVEK_UTF8_BYTE2_HIGH, TOLVEK_UTF8_BYTE2_HIGH);
  const __m256i openAtEnd =
      _mm256_setr_epi8(-1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1,
                       -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, TOLVEK_UTF8_OPEN_AT_END);
  const __m256i nibble = _mm256_set1_epi8(0x0F);
  // The byte shifts work per 128-bit lane: the lane boundary takes the bytes from before.
  __m256i before = _mm256_permute2x128_si256(s.prev, in, 0x21);
  __m256i prev1 = _mm256_alignr_epi8(in, before, 15);
  __m256i special = _mm256_and_si256(
      _mm256_and_si256(
          _mm256_shuffle_epi8(byte1High, _mm256_and_si256(_mm256_srli_epi16(prev1, 4), nibble)),
          _mm256_shuffle_epi8(byte1Low, _mm256_and_si256(prev1, nibble))),
      _mm256_shuffle_epi8(byte2High, _mm256_and_si256(_mm256_srli_epi16(in, 4), nibble)));
  __m256i third = _mm256_subs_epu8(_mm256_alignr_epi8(in, before, 14), _mm256_set1_epi8(0x60));
  __m256i fourth = _mm256_subs_epu8(_mm256_alignr_epi8(in, before, 13), _mm256_set1_epi8(0x70));
  __m256i must = _mm256_and_si256(_mm256_or_si256(third, fourth), _mm256_set1_epi8(-128));
  s.error = _mm256_or_si256(s.error, _mm256_xor_si256(must, special));
  s.open = _mm256_subs_epu8(in, openAtEnd);
  s.prev = in;
}

__attribute__((target("avx2"))) inline bool IsValidAvx2(const unsigned char* p, size_t n) {
  State256 s{_mm256_setzero_si256(), _mm256_setzero_si256(), _mm256_setzero_si256()};
  size_t i = 0;
  for (; i + 32 <= n; i += 32) {
    Check(s, _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + i)));
  }
  if (i < n) {
    alignas(32) unsigned char tail[32] = {};
    std::memcpy(tail, p + i, n - i);
    Check(s, _mm256_load_si256(reinterpret_cast<const __m256i*>(tail)));
  }
  __m256i error = _mm256_or_si256(s.error, s.open);
  return _mm256_testz_si256(error, error) != 0;
}

#undef TOLVEK_UTF8_BYTE1_HIGH
#undef TOLVEK_UTF8_BYTE1_LOW
#undef TOLVEK_UTF8_BYTE2_HIGH
#undef TOLVEK_UTF8_OPEN_AT_END

}  // namespace utf8_check
#endif

inline bool IsValidUtf8Bytes(const unsigned char* p, size_t n) {
#if TOLVEK_LINE_SCAN_X86
  if (HasAvx2()) return utf8_check::IsValidAvx2(p, n);
  if (HasSsse3()) return utf8_check::IsValidSsse3(p, n);
#endif
  return IsValidUtf8(std::string_view(reinterpret_cast<const char*>(p), n));
}

}  // namespace tolvek::detail
