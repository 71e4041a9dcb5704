// A growable buffer that collects a long text from many small pieces.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tolvek {

// The text is kept as UTF-8; the block size is accounted in the two-bytes-per-UTF-16-unit
// measure that callers have always seen, and grows geometrically in whole 1,000,000-byte
// steps so long outputs cost linear time.
struct Stringbuffer {
  std::string text;
  int64_t used = 0;       // bytes of text, two per UTF-16 unit
  int64_t blockSize = 0;  // always a multiple of 1,000,000 and larger than used
};

Stringbuffer* NewStringbuffer();
void StringbufferAppend(Stringbuffer* buffer, std::string_view text);
void StringbufferAppendLine(Stringbuffer* buffer, std::string_view text);  // text + CR LF
std::string Stringbuffer2String(const Stringbuffer* buffer);
void FreeStringbuffer(Stringbuffer* buffer);

}  // namespace tolvek
