// A memory block holding a whole text, read line by line like a file, without copying it.
#pragma once

#include <cstdint>
#include <string>

namespace tolvek {

// Text format codes shared by every reader; any other value reads like kFormatAnsi.
enum TextFormat : int { kFormatUtf8 = 2, kFormatAnsi = 24, kFormatUtf16 = 25 };

// Default argument meaning "the block's allocated size" / "detect the format".
constexpr int64_t kMemoryStringDefault = -65535;

bool OpenMemoryString(const void* memory, int64_t size = kMemoryStringDefault,
                      int format = kMemoryStringDefault);
// The next line without its terminator (UTF-8); "" at the end or for an unknown block.
std::string ReadMemoryString(const void* memory);
bool EOM(const void* memory);
int64_t MemoryStringLoc(const void* memory);
void CloseMemoryString(const void* memory);
// The terminator that ended the calling thread's last line: CR, LF, CR LF, LF CR or "".
std::string ReadMemoryStringEndMarker();
int DetectStringFormat4MemoryString(const void* memory, int64_t size = kMemoryStringDefault);

// True when the bytes (up to the first zero byte) declare charset=UTF-8 or
// encoding="UTF-8" (case-insensitive, blanks and one optional quote allowed).
bool DeclaresUtf8Charset(const void* data, size_t size);

namespace detail {
// Test seam: caps the vector instructions of the line scanner (2 = AVX2, 1 = SSSE3,
// 0 = SSE2 and plain code); the processor's own limits still apply.
void LimitLineScan(int level);
}  // namespace detail

}  // namespace tolvek
