// Line reading from a memory block in every text format: every line must come out as valid
// UTF-8, and every read must move forward.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "tolvek/memory.h"
#include "tolvek/memory_string.h"
#include "tolvek/text_codec.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  static const int kFormats[] = {tolvek::kMemoryStringDefault, tolvek::kFormatUtf8,
                                 tolvek::kFormatAnsi, tolvek::kFormatUtf16, 7};
  int format = kFormats[data[0] % 5];
  ++data;
  --size;
  if (size == 0) return 0;
  void* block = tolvek::AllocateMemoryWithCheck(static_cast<int64_t>(size), tolvek::kMemoryNoClear);
  std::memcpy(block, data, size);
  tolvek::DetectStringFormat4MemoryString(block);
  tolvek::DeclaresUtf8Charset(block, size);
  tolvek::OpenMemoryString(block, tolvek::kMemoryStringDefault, format);
  size_t reads = 0;
  int64_t last = -1;
  while (!tolvek::EOM(block)) {
    std::string line = tolvek::ReadMemoryString(block);
    if (!tolvek::IsValidUtf8(line)) std::abort();
    int64_t pos = tolvek::MemoryStringLoc(block);
    if (pos <= last || ++reads > size + 1) std::abort();  // no progress: a hang
    last = pos;
  }
  tolvek::CloseMemoryString(block);
  tolvek::FreeMemory(block);
  return 0;
}
